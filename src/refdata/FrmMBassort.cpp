#include "refdata/FrmMBassort.h"

#include "core/ReportStore.h"
#include "core/SkinPanel.h"
#include "platform/MessageBox.h"
#include "refdata/PickCombo.h"

#include <QLabel>
#include <QLineEdit>

namespace {
const QString kChoosePart = QStringLiteral("请在部位列表中选择所属检查部位");
}

FrmMBassort& FrmMBassort::instance()
{
    static FrmMBassort* window = new FrmMBassort();
    return *window;
}

FrmMBassort::FrmMBassort() : DictionaryWindow({QStringLiteral("检查部位分类设置"), KeyKind::Number}) {}

QList<DictGrid::Column> FrmMBassort::gridColumns() const
{
    return {{QStringLiteral("自编号"), 650},
            {QStringLiteral("分类名称"), 1820, DictGrid::Left},
            {QStringLiteral("所属部位"), 1200, DictGrid::Left}};
}

// Only categories whose part exists; the part's number follows, unshown.
QString FrmMBassort::listingSql() const
{
    return QStringLiteral("SELECT a.assortid, a.assortname, b.partname, a.partid "
                          "FROM assortpart a JOIN bodypart b ON a.partid = b.partid ORDER BY a.assortid");
}

QVariant FrmMBassort::listedRowData(const RecordSet& rows, int row) const { return rows.text(row, 3); }

void FrmMBassort::buildInputs(PaintPanel* p)
{
    Label2 = addLabel(p, QStringLiteral("分类名称:"), 240, 300, "Label2");
    Text1 = addLineEdit(p, twips(1200, 240, 2175, 360), "Text1");
    Label1 = addLabel(p, QStringLiteral("所属部位："), 240, 780, "Label1");
    Text2 = new PickCombo(p);
    Text2->setObjectName(QStringLiteral("Text2"));
    Text2->setGeometry(twips(1200, 720, 2175, 330));
    connect(Text2, &PickCombo::Click, this, &FrmMBassort::Text2_Click);
    partIds_.clear();
    bindColumn(1, Text1);
    bindColumn(2, Text2);
}

// The part list, filled once per opening after the first row is shown; then
// that row's part is chosen in it.
void FrmMBassort::loadExtras()
{
    const QueryResult r = ReportStore::Choices(ReportStore::Choice::BodyParts);
    if (r.failed()) {
        MessageBox::critical(r.description, MessageBox::kErrorTitle);
        return;
    }
    if (r.hasRows()) {
        const QString shown = Text2->currentText();
        Text2->addEntries(*r.data, partIds_);
        Text2->setTypedText(shown);
    }
    if (MSHFlexGrid1->hasRows())
        SelectPartByText(MSHFlexGrid1->endRow());
}

void FrmMBassort::Text2_Click(int index)
{
    tag_ = index >= 0 && index < partIds_.size() ? QString::number(partIds_[index]) : QString();
}

void FrmMBassort::SelectPartByText(int row)
{
    // The row keeps its part's number as text; one that is not a number's own
    // text matches no entry, and the box's text alone chooses.
    const QString id = MSHFlexGrid1->rowData(row).toString();
    bool ok = false;
    const qint64 n = id.toLongLong(&ok);
    Text2->chooseByIdOrText(partIds_, ok && QString::number(n) == id ? std::optional<qint64>(n) : std::nullopt);
}

void FrmMBassort::showCells(int row)
{
    DictionaryWindow::showCells(row);
    SelectPartByText(row);
}

void FrmMBassort::clearInputs(bool forNew)
{
    Text1->clear();
    // The box's text goes, no entry stays chosen; the tag is kept.
    Text2->setTypedText(QString());
    (void)forNew;
}

bool FrmMBassort::checkInputs()
{
    if (Text1->text().isEmpty())
        return fail(Text1, QStringLiteral("分类名称不能为空,请输入"));
    if (Text2->currentText().isEmpty())
        return fail(Text2, kChoosePart);
    // A name typed into the box, even one on the list, is no pick.
    if (Text2->chosen() < 0 || tag_.isEmpty()) {
        Text2->setTypedText(QString());
        return fail(Text2, kChoosePart);
    }
    return true;
}

DictionaryWindow::Statement FrmMBassort::insertStatement() const
{
    return {QStringLiteral("INSERT INTO assortpart(assortname, partid) VALUES(?, ?)"),
            {Text1->text(), tag_.toLongLong()}};
}

DictionaryWindow::Statement FrmMBassort::updateStatement(const QString& key) const
{
    return {QStringLiteral("UPDATE assortpart SET assortname = ?, partid = ? WHERE assortid = ?"),
            {Text1->text(), tag_.toLongLong(), key.toLongLong()}};
}

DictionaryWindow::Statement FrmMBassort::deleteStatement(const QString& key) const
{
    return {QStringLiteral("DELETE FROM assortpart WHERE assortid = ?"), {key.toLongLong()}};
}

QString FrmMBassort::deleteQuestion(const QString& key) const
{
    return QStringLiteral("你将删除自动编号为 ") + key + QStringLiteral(" 的分类名称,删除后将不能恢复.\r\n")
           + QStringLiteral("并且这个部位分类所对应的模板将成为不可使用的模板,请确认是否删除?");
}

QString FrmMBassort::deleteNoKeyMessage() const { return QStringLiteral("请选择你要删除的分类名称"); }

QVariant FrmMBassort::inputRowData() const { return tag_; }
