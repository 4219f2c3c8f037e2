#include "refdata/FrmJCdoctor.h"

#include "core/Database.h"
#include "core/Palette.h"
#include "core/SkinPaint.h"
#include "core/SkinPanel.h"
#include "platform/MessageBox.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>

namespace {
const QString kAdmin = QStringLiteral("admin");
// Listing and row display read the same columns; passwords are never read.
const QString kColumns = QStringLiteral("userid, username, qx1, qx2, qx3, qx4, qx5, qx6, qx7, qx8");
constexpr int kFirstRight = 2;   // the field of qx1 in kColumns
}

FrmJCdoctor& FrmJCdoctor::instance()
{
    static FrmJCdoctor* window = new FrmJCdoctor();
    return *window;
}

FrmJCdoctor::FrmJCdoctor() : DictionaryWindow({QStringLiteral("用户管理")}) {}

std::array<QCheckBox*, 8> FrmJCdoctor::rightBoxes() const
{
    return {Checkqx1, Checkqx2, Checkqx3, Checkqx4, Checkqx5, Checkqx6, Checkqx7, Checkqx8};
}

QList<DictGrid::Column> FrmJCdoctor::gridColumns() const
{
    return {{QStringLiteral("用户代号"), 1200}, {QStringLiteral("用户姓名"), 2000}};
}

QString FrmJCdoctor::listingSql() const { return QStringLiteral("SELECT ") + kColumns + QStringLiteral(" FROM user"); }

void FrmJCdoctor::buildInputs(PaintPanel* p)
{
    Label1 = addLabel(p, QStringLiteral("用户代号："), 240, 300, "Label1");
    Text1 = addLineEdit(p, twips(1200, 240, 1695, 360), "Text1");
    Label2 = addLabel(p, QStringLiteral("用户姓名："), 240, 780, "Label2");
    Text2 = addLineEdit(p, twips(1200, 720, 1695, 360), "Text2");
    bindColumn(0, Text1);
    bindColumn(1, Text2);

    Picqx = new PaintPanel(p);
    Picqx->setObjectName(QStringLiteral("Picqx"));
    Picqx->setGeometry(twips(240, 1200, 3495, 2775));
    Label4 = addLabel(Picqx, QStringLiteral("一般权限："), 300, 160, "Label4");
    Label3 = addLabel(Picqx, QStringLiteral("管理员权限："), 120, 1840, "Label3");
    Line1 = new QWidget(Picqx);
    Line1->setObjectName(QStringLiteral("Line1"));
    Line1->setGeometry(twips(120, 1680, 3240, 15));
    auto box = [this](const char* name, const char* caption, const char* hint, int top) {
        auto* b = new QCheckBox(QString::fromUtf8(caption), Picqx);
        b->setObjectName(QString::fromLatin1(name));
        if (*hint)
            b->setToolTip(QString::fromUtf8(hint));
        b->setGeometry(twips(1320, top, 1980, 270));
        return b;
    };
    Checkqx1 = box("Checkqx1", "浏览报告权限", "可以查看、打印已经有的报告", 120);
    Checkqx2 = box("Checkqx2", "编辑报告权限", "可以新建、修改、删除自己的报告", 420);
    Checkqx6 = box("Checkqx6", "编辑模板词库权限", "可以新建、修改、删除模板和词库", 720);
    Checkqx4 = box("Checkqx4", "视频管理权限", "", 1020);
    Checkqx7 = box("Checkqx7", "查询统计权限", "", 1320);
    Checkqx5 = box("Checkqx5", "基础数据维护", "可以编辑包括用户、科室、医师、部位分类、二级分类等的基本设置", 1800);
    Checkqx3 = box("Checkqx3", "编辑他人报告", "可以修改、删除他人写的报告", 2100);
    Checkqx8 = box("Checkqx8", "数据备份还原", "", 2400);
    addInput(Picqx);
}

void FrmJCdoctor::applySkin()
{
    DictionaryWindow::applySkin();
    Skin::SetBackColor(Picqx, Palette::gPanelBackColor);
    Skin::DrawDataFrame(Picqx);
    Skin::SetLineColor(Line1, Palette::gLineColor);
}

void FrmJCdoctor::showRights(const RecordSet& rows, int row)
{
    // Granted is any value but 0 and Null (rights imported as -1 count too).
    const auto boxes = rightBoxes();
    for (int k = 0; k < 8; ++k) {
        const QVariant v = rows.value(row, kFirstRight + k);
        boxes[size_t(k)]->setChecked(v.isValid() && !v.isNull() && v.toDouble() != 0.0);
    }
}

void FrmJCdoctor::listedRow(const RecordSet& rows, int row)
{
    showCells(row);
    showRights(rows, row);
}

bool FrmJCdoctor::showRow(int)
{
    const Statement st = rowStatement(currentKey());
    const QueryResult r = Database::QueryData(st.sql, st.params);
    if (r.failed())
        MessageBox::critical(r.description, MessageBox::kErrorTitle);
    if (!r.ok() || !r.data || r.data->recordCount() == 0)
        return false;
    Text1->setText(r.data->text(0, 0));
    Text2->setText(r.data->text(0, 1));
    showRights(*r.data, 0);
    return true;
}

void FrmJCdoctor::clearInputs(bool forNew)
{
    Text1->clear();
    Text2->clear();
    // A new user gets the general rights, not the administrator's.
    for (QCheckBox* b : rightBoxes())
        b->setChecked(false);
    if (forNew)
        for (QCheckBox* b : {Checkqx1, Checkqx2, Checkqx4, Checkqx6, Checkqx7})
            b->setChecked(true);
}

// The administrator's row: the code shown, or the row the window works on.
bool FrmJCdoctor::isAdministrator() const { return Text1->text() == kAdmin || currentKey() == kAdmin; }

bool FrmJCdoctor::refuseUpdate()
{
    if (!isAdministrator())
        return false;
    MessageBox::information(QStringLiteral("不能修改管理员用户信息"), MessageBox::kNoticeTitle);
    return true;
}

bool FrmJCdoctor::refuseDelete()
{
    if (!isAdministrator())
        return false;
    MessageBox::information(QStringLiteral("不能删除管理员用户信息"), MessageBox::kNoticeTitle);
    return true;
}

bool FrmJCdoctor::checkInputs()
{
    if (Text1->text().isEmpty())
        return fail(Text1, QStringLiteral("用户代号不能为空,请输入"));
    if (Text2->text().isEmpty())
        return fail(Text2, QStringLiteral("用户名称不能为空,请输入"));
    return true;
}

QVariantList FrmJCdoctor::rightValues() const
{
    QVariantList v;
    for (QCheckBox* b : rightBoxes())
        v << (b->isChecked() ? 1 : 0);
    return v;
}

DictionaryWindow::Statement FrmJCdoctor::rowStatement(const QString& key) const
{
    return {listingSql() + QStringLiteral(" WHERE userid = ?"), {key}};
}

DictionaryWindow::Statement FrmJCdoctor::insertStatement() const
{
    return {QStringLiteral("INSERT INTO user(userid, username, userpassword, qx1, qx2, qx3, qx4, qx5, qx6, qx7, qx8) "
                           "VALUES(?, ?, NULL, ?, ?, ?, ?, ?, ?, ?, ?)"),
            QVariantList{textValue(Text1->text()), textValue(Text2->text())} + rightValues()};
}

DictionaryWindow::Statement FrmJCdoctor::updateStatement(const QString& key) const
{
    return {QStringLiteral("UPDATE user SET userid = ?, username = ?, qx1 = ?, qx2 = ?, qx3 = ?, qx4 = ?, qx5 = ?, "
                           "qx6 = ?, qx7 = ?, qx8 = ? WHERE userid = ?"),
            QVariantList{textValue(Text1->text()), textValue(Text2->text())} + rightValues() + QVariantList{key}};
}

DictionaryWindow::Statement FrmJCdoctor::deleteStatement(const QString& key) const
{
    return {QStringLiteral("DELETE FROM user WHERE userid = ?"), {key}};
}

QString FrmJCdoctor::deleteQuestion(const QString& key) const
{
    return QStringLiteral("你将删除用户代号为 ") + key + QStringLiteral(" 的用户,删除后将不能恢复,请确认是否删除?");
}

QString FrmJCdoctor::deleteNoKeyMessage() const { return QStringLiteral("请先选择要删除的用户"); }
