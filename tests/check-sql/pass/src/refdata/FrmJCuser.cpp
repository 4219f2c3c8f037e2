#include "refdata/FrmJCuser.h"

#include <QStringList>

namespace {
const QString kColumns = QStringLiteral("userid, username, qx1, qx2");
}

// Every statement of a dictionary window is in its hooks, however it is built.
QString FrmJCuser::listingSql() const { return QStringLiteral("SELECT ") + kColumns + QStringLiteral(" FROM user"); }

DictionaryWindow::Statement FrmJCuser::rowStatement(const QString& key) const
{
    return {listingSql() + QStringLiteral(" WHERE userid = ?"), {key}};
}

DictionaryWindow::Statement FrmJCuser::insertStatement() const
{
    return {QStringLiteral("insert into user(userid, username) "
                           "values(?, ?)"),
            {}};
}

DictionaryWindow::Statement FrmJCuser::updateStatement(const QString& key) const
{
    return {QStringLiteral(R"(UPDATE user
                              SET username = ?
                              WHERE userid = ?)"),
            {key}};
}

DictionaryWindow::Statement FrmJCuser::deleteStatement(const QString& key) const
{
    if (key.isEmpty()) {
        return {QStringLiteral("DELETE FROM user WHERE userid IS NULL"), {}};
    }
    return {QStringLiteral("DELETE FROM user WHERE userid = ?"), {key}};
}

QString FrmJCadmin::listingSql() const
{
    return QStringLiteral("%1 WHERE qx5 = 1 ORDER BY %2").arg(FrmJCuser::listingSql(), QStringLiteral("userid"));
}

// Texts that only look like statements.
void FrmJCuser::showRow()
{
    // SELECT * FROM user WHERE userid = ? (a comment may show a statement)
    /* DELETE FROM user
       WHERE userid = ? */
    const QString mode = QStringLiteral("update");
    const QString other = QStringLiteral("insert");
    const QString question = QStringLiteral("你将删除用户代号为 ") + currentKey()
                             + QStringLiteral(" 的用户,删除后将不能恢复,请确认是否删除?");
    const QString pipeline = QStringLiteral("v4l2src device=") + currentKey() + QStringLiteral(" ! videoconvert");
    const QString shown = QStringLiteral("%1 of %2").arg(mode, other);
    const QString hint = QStringLiteral("Selected for printing: ") + shown;
    const QString words = QStringLiteral("请选择要删除的用户") % question % pipeline % hint;
    constexpr int kMany = 1'000'000;
    const char quote = '"';
    const QString last = QStringLiteral("the update of ") + QString::number(kMany) + quote + words;
    Q_UNUSED(last);
}
