#include "refdata/FrmJCuser.h"

#include <QStringList>

// The lines marked "flagged" are the ones scripts/check-sql must name, and no
// others.

QString FrmJCuser::listingSql() const { return QStringLiteral("SELECT userid, username FROM user"); }

DictionaryWindow::Statement FrmJCuser::updateStatement(const QString& key) const
{
    // A lambda in a hook is part of the hook.
    const auto where = [] { return QStringLiteral(" WHERE userid = ?"); };
    return {QStringLiteral("UPDATE user SET username = ?") + where(), {key}};
}

// A dictionary window's statement outside its hooks, however it is joined on.
bool FrmJCuser::showRow(int row)
{
    const QString a = listingSql() + QStringLiteral(" WHERE userid = ?");                       // flagged
    const QString b = QStringLiteral("%1 where userid = %2").arg(listingSql(), currentKey());   // flagged
    const QString c = listingSql() % u" LIMIT 10";                                              // flagged
    QString d = listingSql();
    d += QStringLiteral(" AND qx1 = 1");    // flagged
    d.append(QStringLiteral(" LIMIT 1"));   // flagged
    // clang-format off
    const QString e = listingSql()
                      + QStringLiteral(" GROUP BY username");   // flagged
    // clang-format on
    const QString f = QStringLiteral("DELETE ") + currentKey() + QStringLiteral(" WHERE userid = ?");   // flagged
    const QString g = QStringList{a, b}.join(QStringLiteral(" OR "));                                   // flagged
    const QString h = listingSql() + QStringLiteral(" LEFT JOIN section ON ") + a;                      // flagged
    const QString i = u" OFFSET "_s % QString::number(row);                                             // flagged
    // Nor is a lambda outside a hook.
    const auto j = [] { return QStringLiteral("SELECT qx1 FROM user"); };   // flagged
    return !(a + b + c + d + e + f + g + h + i + j()).isEmpty();
}
