#include "core/ReportStore.h"

#include "core/Mmain.h"

namespace ReportStore {
namespace {
QueryResult noRows()
{
    QueryResult r;
    r.number = AppError::NoRows;
    r.description = QueryResult::kNoRows;
    return r;
}

// The row, its key and its pictures are stored together or not at all.
SaveResult save(bool insert, qint64 key, const ReportRecord::Texts& texts, const QString& facility, const QDate& today,
                const PictureWrites& pictures)
{
    using namespace ReportRecord;
    SaveResult out;
    QVariantList params;
    const bool encoded = insert ? InsertParams(texts, facility, today, params, &out.badField)
                                : UpdateParams(texts, facility, key, params, &out.badField);
    if (!encoded) {
        out.result.number = AppError::TypeMismatch;
        out.result.description = QStringLiteral("“%1”的内容不正确").arg(DesignLabel(out.badField));
        return out;
    }

    Database::Transaction tx;
    if (!tx.started()) {
        out.result = tx.beginResult();
        return out;
    }
    out.result = Database::ExecuteSql(insert ? InsertSql() : UpdateSql(), params);
    if (!out.result.ok())
        return out;
    if (insert) {
        key = Database::LastInsertId();
    } else if (Database::ChangedRows() != 1) {
        out.result = noRows();
        return out;
    }

    std::array<bool, 4> write{};
    QVariantList pictureParams;
    for (size_t k = 0; k < pictures.size(); ++k) {
        write[k] = pictures[k].has_value();
        if (write[k])
            pictureParams.append(*pictures[k]);
    }
    const QString picturesSql = PicturesSql(write);
    if (!picturesSql.isEmpty()) {
        pictureParams.append(QVariant(qlonglong(key)));
        out.result = Database::ExecuteSql(picturesSql, pictureParams);
        if (!out.result.ok())
            return out;
    }

    const QueryResult listRow = ListedRow(key);
    if (!listRow.hasRows()) {
        out.result = listRow;
        return out;
    }
    out.result = tx.commit();
    if (out.result.ok()) {
        out.key = key;
        out.listRow = listRow.data;
        emit notifier()->reportSaved(*out.listRow, insert);
    }
    return out;
}

QString choicesSql(Choice list)
{
    switch (list) {
    case Choice::Sections: return QStringLiteral("SELECT ksid, ksname FROM section");
    case Choice::Users: return QStringLiteral("SELECT userid, username FROM user");
    case Choice::Doctors: return QStringLiteral("SELECT dcid, dcname FROM doctor");
    case Choice::BodyParts: return QStringLiteral("SELECT partid, partname FROM bodypart");
    }
    return QString();
}
}

QueryResult ListedRow(qint64 key)
{
    // Built once: every save reads it.
    static const QString sql = [] {
        QStringList fields;
        for (int f = 0; f < ReportRecord::kFirstPictureField; ++f)
            if (!ReportRecord::ColumnName(f).isEmpty())
                fields.append(ReportRecord::ColumnName(f));
        return QStringLiteral("SELECT ") + fields.join(QStringLiteral(", "))
               + QStringLiteral(" FROM reports WHERE ctid = ?");
    }();
    return Database::QueryData(sql, {QVariant(key)});
}

Notifier* notifier()
{
    static Notifier* const instance = new Notifier;   // lives as long as the program
    return instance;
}

bool MayChange(const QString& owner) { return Mmain::gRights[Mmain::RightEditOthers] || owner == Mmain::gUserName; }

QueryResult Load(qint64 key)
{
    return Database::QueryData(QStringLiteral("SELECT * FROM reports WHERE ctid = ?"), {QVariant(qlonglong(key))});
}

QueryResult Load(const QString& keyText)
{
    const auto key = ReportRecord::ParseKey(keyText);
    if (!key) {
        // As a query that found nothing answers: no row, and rows to read.
        QueryResult r = noRows();
        r.data = std::make_shared<RecordSet>();
        return r;
    }
    return Load(*key);
}

SaveResult Insert(const ReportRecord::Texts& texts, const QString& facility, const QDate& today,
                  const PictureWrites& pictures)
{
    return save(true, 0, texts, facility, today, pictures);
}

SaveResult Update(qint64 key, const ReportRecord::Texts& texts, const QString& facility, const PictureWrites& pictures)
{
    return save(false, key, texts, facility, QDate(), pictures);
}

QueryResult Delete(const QString& keyText)
{
    const auto key = ReportRecord::ParseKey(keyText);
    if (!key)
        return noRows();
    Database::Transaction tx;
    if (!tx.started())
        return tx.beginResult();
    QueryResult r =
        Database::ExecuteSql(QStringLiteral("DELETE FROM reports WHERE ctid = ?"), {QVariant(qlonglong(*key))});
    if (r.ok())
        r = Database::ExecuteSql(QStringLiteral("UPDATE Study SET Status = NULL WHERE Status = ?"),
                                 {QVariant(keyText.trimmed())});
    if (r.ok())
        r = tx.commit();
    if (r.ok())
        emit notifier()->reportDeleted(*key);
    return r;
}

QueryResult CountWith(int field, const QString& value)
{
    return Database::QueryData(
        QStringLiteral("SELECT count(*) FROM reports WHERE %1 = ?").arg(ReportRecord::ColumnName(field)), {value});
}

QueryResult RowsWith(int field, const QString& value, const QList<int>& fields)
{
    QStringList columns;
    for (int f : fields)
        columns.append(ReportRecord::ColumnName(f));
    return Database::QueryData(QStringLiteral("SELECT %1 FROM reports WHERE %2 = ? ORDER BY ctid")
                                   .arg(columns.join(QStringLiteral(", ")), ReportRecord::ColumnName(field)),
                               {value});
}

QueryResult ItemCaptions(QStringList& captions)
{
    captions.clear();
    QueryResult r = Database::QueryData(QStringLiteral("SELECT xmid, xmmc FROM bgxm ORDER BY xmid"));
    if (r.hasRows())
        for (int i = 0; i < r.data->recordCount(); ++i)
            captions.append(r.data->text(i, 1));
    return r;
}

QueryResult Choices(Choice list) { return Database::QueryData(choicesSql(list)); }

QueryResult DoctorsOf(const QString& sectionKey)
{
    return Database::QueryData(QStringLiteral("SELECT dcid, dcname FROM doctor WHERE ksid = ?"), {sectionKey});
}

QueryResult QuickPhrases()
{
    return Database::QueryData(QStringLiteral("SELECT id, name FROM zymc WHERE fl = 'V' ORDER BY id"));
}
}
