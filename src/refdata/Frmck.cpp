#include "refdata/Frmck.h"

#include "core/SkinPanel.h"

#include <QLabel>
#include <QLineEdit>

Frmck& Frmck::instance()
{
    static Frmck* window = new Frmck();
    return *window;
}

Frmck::Frmck() : DictionaryWindow({QStringLiteral("词库维护"), KeyKind::Number}) {}

QList<DictGrid::Column> Frmck::gridColumns() const
{
    return {{QStringLiteral("编号"), 650},
            {QStringLiteral("专业词汇"), 2030, DictGrid::Left},
            {QStringLiteral("关键词"), 990, DictGrid::Left}};
}

QString Frmck::listingSql() const { return QStringLiteral("SELECT id, name, fl FROM zymc"); }

void Frmck::buildInputs(PaintPanel* p)
{
    Label2 = addLabel(p, QStringLiteral("专业词汇:"), 120, 450, "Label2");
    Text1 = addLineEdit(p, twips(1080, 360, 2055, 360), "Text1");
    Label1 = addLabel(p, QStringLiteral("关键词："), 240, 915, "Label1");
    Text2 = addLineEdit(p, twips(1080, 840, 2055, 375), "Text2");
    bindColumn(1, Text1);
    bindColumn(2, Text2);
}

bool Frmck::checkInputs()
{
    if (Text1->text().isEmpty())
        return fail(Text1, QStringLiteral("专业名词不能为空,请输入"));
    return true;
}

DictionaryWindow::Statement Frmck::insertStatement() const
{
    return {QStringLiteral("INSERT INTO zymc(name, fl) VALUES(?, ?)"),
            {textValue(Text1->text()), textValue(Text2->text())}};
}

DictionaryWindow::Statement Frmck::updateStatement(const QString& key) const
{
    return {QStringLiteral("UPDATE zymc SET name = ?, fl = ? WHERE id = ?"),
            {textValue(Text1->text()), textValue(Text2->text()), key.toLongLong()}};
}

DictionaryWindow::Statement Frmck::deleteStatement(const QString& key) const
{
    return {QStringLiteral("DELETE FROM zymc WHERE id = ?"), {key.toLongLong()}};
}

QString Frmck::deleteQuestion(const QString& key) const
{
    return QStringLiteral("你将删除编号为 ") + key + QStringLiteral(" 的词汇,删除后将不能恢复,请确认是否删除?");
}

QString Frmck::deleteNoKeyMessage() const { return QStringLiteral("没有选择要删除的词汇"); }
