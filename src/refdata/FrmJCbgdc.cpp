#include "refdata/FrmJCbgdc.h"

#include "core/ReportStore.h"
#include "core/SkinPanel.h"
#include "platform/MessageBox.h"
#include "refdata/SectionCode.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>

FrmJCbgdc& FrmJCbgdc::instance()
{
    static FrmJCbgdc* window = new FrmJCbgdc();
    return *window;
}

FrmJCbgdc::FrmJCbgdc() : DictionaryWindow({QStringLiteral("申请医师设置")}) {}

QList<DictGrid::Column> FrmJCbgdc::gridColumns() const
{
    return {{QStringLiteral("医师代号"), 990}, {QStringLiteral("医师姓名"), 1340}, {QStringLiteral("所属科室"), 1320}};
}

// Physicians of a listed section with its name, the others (a section deleted
// or written otherwise) with an empty one; the stored code follows unshown.
QString FrmJCbgdc::listingSql() const
{
    return QStringLiteral(
        "SELECT a.dcid, a.dcname, b.ksname, a.ksid FROM doctor a, section b WHERE a.ksid = b.ksid "
        "UNION SELECT dcid, dcname, '', ksid FROM doctor WHERE ksid NOT IN (SELECT ksid FROM section)");
}

QVariant FrmJCbgdc::listedRowData(const RecordSet& rows, int row) const { return rows.text(row, 3); }

void FrmJCbgdc::buildInputs(PaintPanel* p)
{
    Label1 = addLabel(p, QStringLiteral("医师代号："), 240, 300, "Label1");
    Text1 = addLineEdit(p, twips(1200, 240, 1935, 360), "Text1");
    Label2 = addLabel(p, QStringLiteral("医师姓名："), 240, 780, "Label2");
    Text2 = addLineEdit(p, twips(1200, 720, 1935, 360), "Text2");
    Label3 = addLabel(p, QStringLiteral("所属科室："), 240, 1245, "Label3");
    Comboks = new QComboBox(p);
    Comboks->setObjectName(QStringLiteral("Comboks"));
    Comboks->setEditable(true);
    Comboks->setInsertPolicy(QComboBox::NoInsert);
    Comboks->setCompleter(nullptr);
    // A typed name, even one on the list, is no pick: neither Enter nor leaving
    // the field picks the entry of that name.
    Comboks->setDuplicatesEnabled(true);
    disconnect(Comboks->lineEdit(), &QLineEdit::editingFinished, Comboks, nullptr);
    Comboks->setGeometry(twips(1200, 1200, 1935, 330));
    chosen_ = -1;
    connect(Comboks, &QComboBox::activated, this, [this](int index) { chosen_ = index; });
    connect(Comboks->lineEdit(), &QLineEdit::textEdited, this, [this] { chosen_ = -1; });
    bindColumn(0, Text1);
    bindColumn(1, Text2);
    bindColumn(2, Comboks);
}

void FrmJCbgdc::loadExtras()
{
    const QueryResult r = ReportStore::Choices(ReportStore::Choice::Sections);
    if (r.failed()) {
        MessageBox::critical(r.description, MessageBox::kErrorTitle);
        return;
    }
    if (!r.ok() || !r.data)
        return;
    const QString shown = Comboks->currentText();
    for (int i = 0; i < r.data->recordCount(); ++i) {
        // A code beyond a 32-bit number is listed without one and cannot be stored.
        const auto code = SectionCode::ToInt32(r.data->text(i, 0));
        Comboks->addItem(r.data->text(i, 1), code ? QVariant(*code) : QVariant());
    }
    Comboks->setCurrentIndex(-1);
    Comboks->setEditText(shown);
    chosen_ = -1;
}

void FrmJCbgdc::showCells(int row)
{
    DictionaryWindow::showCells(row);
    // The last entry of the cell's name; of several, the one with the row's code.
    const QString name = MSHFlexGrid1->cell(row, 2);
    const QString stored = MSHFlexGrid1->rowData(row).toString();
    int byName = -1, byCode = -1;
    for (int i = 0; i < Comboks->count(); ++i) {
        if (Comboks->itemText(i) != name)
            continue;
        byName = i;
        const QVariant code = Comboks->itemData(i);
        if (code.isValid() && QString::number(code.toInt()) == stored)
            byCode = i;
    }
    chosen_ = byCode >= 0 ? byCode : byName;
    Comboks->setCurrentIndex(chosen_);
    Comboks->setEditText(name);
}

void FrmJCbgdc::clearInputs(bool forNew)
{
    DictionaryWindow::clearInputs(forNew);
    Comboks->setCurrentIndex(-1);
    Comboks->setEditText(QString());
    chosen_ = -1;
}

QString FrmJCbgdc::chosenCode() const
{
    const QVariant code = chosen_ >= 0 ? Comboks->itemData(chosen_) : QVariant();
    return code.isValid() ? QString::number(code.toInt()) : QString();
}

bool FrmJCbgdc::checkInputs()
{
    if (Text1->text().isEmpty())
        return fail(Text1, QStringLiteral("医师代号不能为空,请输入"));
    if (Text2->text().isEmpty())
        return fail(Text2, QStringLiteral("医师姓名不能为空,请输入"));
    if (Comboks->currentText().isEmpty())
        return fail(Comboks, QStringLiteral("所属科室不能为空,请输入"));
    if (chosenCode().isEmpty())
        return fail(Comboks, QStringLiteral("所属科室输入不正确"));
    return true;
}

DictionaryWindow::Statement FrmJCbgdc::insertStatement() const
{
    return {QStringLiteral("INSERT INTO doctor(dcid, dcname, ksid) VALUES(?, ?, ?)"),
            {textValue(Text1->text()), textValue(Text2->text()), chosenCode()}};
}

DictionaryWindow::Statement FrmJCbgdc::updateStatement(const QString& key) const
{
    return {QStringLiteral("UPDATE doctor SET dcid = ?, dcname = ?, ksid = ? WHERE dcid = ?"),
            {textValue(Text1->text()), textValue(Text2->text()), chosenCode(), key}};
}

DictionaryWindow::Statement FrmJCbgdc::deleteStatement(const QString& key) const
{
    return {QStringLiteral("DELETE FROM doctor WHERE dcid = ?"), {key}};
}

QString FrmJCbgdc::deleteQuestion(const QString& key) const
{
    return QStringLiteral("你将删除医师代号为 ") + key + QStringLiteral(" 的医师,删除后将不能恢复,请确认是否删除?");
}

QString FrmJCbgdc::deleteNoKeyMessage() const { return QStringLiteral("请先选择要删除的医师"); }

QVariant FrmJCbgdc::inputRowData() const { return chosenCode(); }
