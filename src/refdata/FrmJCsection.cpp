#include "refdata/FrmJCsection.h"

#include "core/SkinPanel.h"
#include "refdata/SectionCode.h"

#include <QLabel>
#include <QLineEdit>

FrmJCsection& FrmJCsection::instance()
{
    static FrmJCsection* window = new FrmJCsection();
    return *window;
}

FrmJCsection::FrmJCsection() : DictionaryWindow({QStringLiteral("科室设置")}) {}

QList<DictGrid::Column> FrmJCsection::gridColumns() const
{
    return {{QStringLiteral("科室编号"), 1200}, {QStringLiteral("科室名称"), 2000}};
}

QString FrmJCsection::listingSql() const { return QStringLiteral("SELECT ksid, ksname FROM section"); }

void FrmJCsection::buildInputs(PaintPanel* p)
{
    Label1 = addLabel(p, QStringLiteral("科室编号："), 240, 300, "Label1");
    Text1 = addLineEdit(p, twips(1200, 240, 2175, 360), "Text1");
    Label2 = addLabel(p, QStringLiteral("科室名称："), 240, 780, "Label2");
    Text2 = addLineEdit(p, twips(1200, 720, 2175, 360), "Text2");
    bindColumn(0, Text1);
    bindColumn(1, Text2);
}

bool FrmJCsection::checkInputs()
{
    if (Text1->text().isEmpty())
        return fail(Text1, QStringLiteral("科室编号不能为空,请输入"));
    if (!SectionCode::IsNumeric(Text1->text()))
        return fail(Text1, QStringLiteral("科室编号必须为数字,请重新输入"), true);
    if (Text2->text().isEmpty())
        return fail(Text2, QStringLiteral("科室名称名称不能为空,请输入"));
    return true;
}

DictionaryWindow::Statement FrmJCsection::insertStatement() const
{
    return {QStringLiteral("INSERT INTO section(ksid, ksname) VALUES(?, ?)"),
            {textValue(Text1->text()), textValue(Text2->text())}};
}

DictionaryWindow::Statement FrmJCsection::updateStatement(const QString& key) const
{
    return {QStringLiteral("UPDATE section SET ksid = ?, ksname = ? WHERE ksid = ?"),
            {textValue(Text1->text()), textValue(Text2->text()), key}};
}

DictionaryWindow::Statement FrmJCsection::deleteStatement(const QString& key) const
{
    return {QStringLiteral("DELETE FROM section WHERE ksid = ?"), {key}};
}

QString FrmJCsection::deleteQuestion(const QString& key) const
{
    return QStringLiteral("你将删除科室编号为 ") + key + QStringLiteral(" 的科室,删除后将不能恢复,请确认是否删除?");
}

QString FrmJCsection::deleteNoKeyMessage() const { return QStringLiteral("请先选择要删除的科室"); }
