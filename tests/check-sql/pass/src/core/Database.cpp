#include <QString>
#include <QStringList>

// A service holds statements of every kind.
QString listing(const QStringList& conditions, const QString& table)
{
    QString sql = QStringLiteral("SELECT * FROM ") + table;
    sql += QStringLiteral(" WHERE ") + conditions.join(QStringLiteral(" AND "));
    return sql + QStringLiteral(" ORDER BY %1 LIMIT ?").arg(conditions.value(0));
}

QString byKey() { return QStringLiteral("reportid = ?"); }
