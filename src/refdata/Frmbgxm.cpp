#include "refdata/Frmbgxm.h"

#include "core/SkinPanel.h"

#include <QLabel>
#include <QLineEdit>

Frmbgxm& Frmbgxm::instance()
{
    static Frmbgxm* window = new Frmbgxm();
    return *window;
}

Frmbgxm::Frmbgxm() : DictionaryWindow({QStringLiteral("报告项目名称设置"), KeyKind::Text, false}) {}

QList<DictGrid::Column> Frmbgxm::gridColumns() const
{
    return {{QStringLiteral("项目代号"), 990},
            {QStringLiteral("项目名称"), 1670, DictGrid::Left},
            {QStringLiteral("数据类型"), 990}};
}

QString Frmbgxm::listingSql() const { return QStringLiteral("SELECT xmid, xmmc, xmlx FROM bgxm ORDER BY xmid"); }

void Frmbgxm::buildInputs(PaintPanel* p)
{
    Label1 = addLabel(p, QStringLiteral("项目代号："), 240, 300, "Label1");
    Text1 = addLineEdit(p, twips(1200, 240, 1935, 360), "Text1");
    Label2 = addLabel(p, QStringLiteral("项目名称："), 240, 780, "Label2");
    Text2 = addLineEdit(p, twips(1200, 720, 1935, 360), "Text2");
    Label3 = addLabel(p, QStringLiteral("数据类型："), 240, 1260, "Label3");
    Comboks = addLineEdit(p, twips(1200, 1200, 1935, 375), "Comboks");
    bindColumn(0, Text1);
    bindColumn(1, Text2);
    bindColumn(2, Comboks);
}

void Frmbgxm::lockInputs(bool locked)
{
    Text1->setEnabled(false);
    Comboks->setEnabled(false);
    Text2->setEnabled(!locked);
}

QWidget* Frmbgxm::firstInput() const { return Text2; }

bool Frmbgxm::checkInputs()
{
    if (Text2->text().isEmpty())
        return fail(Text2, QStringLiteral("请输入项目名称"), false, Notice::Information);
    return true;
}

DictionaryWindow::Statement Frmbgxm::updateStatement(const QString& key) const
{
    return {QStringLiteral("UPDATE bgxm SET xmmc = ? WHERE xmid = ?"), {textValue(Text2->text()), key}};
}
