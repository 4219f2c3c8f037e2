#include "refdata/TemplateStore.h"

namespace TemplateStore {

QueryResult Parts()
{
    return Database::QueryData(QStringLiteral("SELECT partid, partname FROM bodypart ORDER BY partid"));
}

QueryResult Categories()
{
    return Database::QueryData(QStringLiteral("SELECT a.assortid, a.assortname, b.partid FROM assortpart a "
                                              "JOIN bodypart b ON a.partid = b.partid ORDER BY a.assortid"));
}

QueryResult CategoriesOf(qint64 part)
{
    return Database::QueryData(
        QStringLiteral("SELECT assortid, assortname FROM assortpart WHERE partid = ? ORDER BY assortid"), {part});
}

QueryResult TemplatesOf(Node node, qint64 key)
{
    const QString sql =
        node == Node::Part
            ? QStringLiteral("SELECT a.mbid, a.checkconclusion FROM templet a "
                             "JOIN assortpart b ON a.assortid = b.assortid WHERE b.partid = ? ORDER BY a.mbid")
            : QStringLiteral("SELECT mbid, checkconclusion FROM templet WHERE assortid = ? ORDER BY mbid");
    return Database::QueryData(sql, {key});
}

QueryResult Template(qint64 key)
{
    return Database::QueryData(
        QStringLiteral("SELECT a.mbid, a.assortid, a.checkname, a.checksymptom, a.checkconclusion, b.assortname, "
                       "c.partname, b.partid FROM templet a JOIN assortpart b ON a.assortid = b.assortid "
                       "JOIN bodypart c ON b.partid = c.partid WHERE a.mbid = ?"),
        {key});
}

QueryResult Insert(const Fields& fields, qint64* key)
{
    const QueryResult r = Database::ExecuteSql(
        QStringLiteral("INSERT INTO templet(assortid, checkname, checksymptom, checkconclusion) VALUES(?, ?, ?, ?)"),
        {fields.category, fields.name, fields.findings, fields.diagnosis});
    if (r.ok() && key)
        *key = Database::LastInsertId();
    return r;
}

QueryResult Update(qint64 key, const Fields& fields)
{
    QueryResult r = Database::ExecuteSql(
        QStringLiteral("UPDATE templet SET assortid = ?, checkname = ?, checksymptom = ?, checkconclusion = ? "
                       "WHERE mbid = ?"),
        {fields.category, fields.name, fields.findings, fields.diagnosis, key});
    if (r.ok() && Database::ChangedRows() == 0) {
        r.number = AppError::NoRows;
        r.description = QStringLiteral("没有符合条件的数据记录");
    }
    return r;
}

QueryResult Delete(qint64 key)
{
    return Database::ExecuteSql(QStringLiteral("DELETE FROM templet WHERE mbid = ?"), {key});
}
}
