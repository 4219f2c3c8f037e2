#include "refdata/FrmMBpart.h"

#include "core/SkinPanel.h"

#include <QLabel>
#include <QLineEdit>

FrmMBpart& FrmMBpart::instance()
{
    static FrmMBpart* window = new FrmMBpart();
    return *window;
}

FrmMBpart::FrmMBpart() : DictionaryWindow({QStringLiteral("检查部位设置"), KeyKind::Number}) {}

QList<DictGrid::Column> FrmMBpart::gridColumns() const
{
    return {{QStringLiteral("自动编号"), 990}, {QStringLiteral("检查部位名称"), 2000}};
}

QString FrmMBpart::listingSql() const { return QStringLiteral("SELECT partid, partname FROM bodypart"); }

void FrmMBpart::buildInputs(PaintPanel* p)
{
    Label1 = addLabel(p, QStringLiteral("检查部位："), 240, 300, "Label1");
    Text1 = addLineEdit(p, twips(1200, 240, 2055, 360), "Text1");
    bindColumn(1, Text1);
}

bool FrmMBpart::checkInputs()
{
    if (Text1->text().isEmpty())
        return fail(Text1, QStringLiteral("检查部位名称不能为空,请输入"));
    return true;
}

// The new row's number is the one the database gives (the cycle reads it back
// by key), so a name that another part has already is never mistaken for it.
DictionaryWindow::Statement FrmMBpart::insertStatement() const
{
    return {QStringLiteral("INSERT INTO bodypart(partname) VALUES(?)"), {Text1->text()}};
}

DictionaryWindow::Statement FrmMBpart::updateStatement(const QString& key) const
{
    return {QStringLiteral("UPDATE bodypart SET partname = ? WHERE partid = ?"), {Text1->text(), key.toLongLong()}};
}

DictionaryWindow::Statement FrmMBpart::deleteStatement(const QString& key) const
{
    return {QStringLiteral("DELETE FROM bodypart WHERE partid = ?"), {key.toLongLong()}};
}

QString FrmMBpart::deleteQuestion(const QString& key) const
{
    return QStringLiteral("你将删除自动编号为 ") + key + QStringLiteral(" 的检查部位,删除后将不能恢复.\r\n")
           + QStringLiteral("并且这个检查部位所对应的模板将成为不可使用的模板,请确认是否删除?");
}

QString FrmMBpart::deleteNoKeyMessage() const { return QStringLiteral("请选择你要删除的检查部位"); }
