// bench_day_list PROGRAM_FOLDER [DATE] [REPEATS]
//
// Times the main window's day list, the reports of one report date, with the
// statement the window issues (ReportList::DaySql: the thirteen fields the list
// needs, in key order):
//   A. through Database::QueryData(sql, params), as the program reads it;
//   B. the same statement on the bare sqlite3 C API (prepare, bind, step, every
//      column copied into plain C++ values, finalize);
// and, to tell where the time goes,
//   C. the bare C API copying into QVariant/QString rows as the program's layer does;
//   E. A, then every text of the list's eleven visible columns made by the
//      list's own model (ReportList::Model), as painting all rows would;
//   F. B, then the same texts made QString from the plain values;
//   D. QueryData with "select *" in key order, pictures included (in a separate
//      loop, because the pictures push the day's pages out of the connection's
//      page cache): what the list would cost if it read every field.
// Prints the medians and the ratios A / B and E / F. DATE defaults (also when
// given as "-") to the latest report date with at least 150 reports.
#include "common.h"

#include "core/Database.h"
#include "core/ReportList.h"
#include "platform/AppPaths.h"

#include <QCoreApplication>
#include <QDate>
#include <QDir>
#include <QFileInfo>
#include <QVariant>
#include <QVector>

#include <string>
#include <vector>

namespace {

using bench::die;

// Every field of the day's rows (D); the window's statement is ReportList::DaySql().
const char* const kDayListAllSql = "select * from reports where rpdate = ? order by ctid";

// One value as a plain C++ program would keep it.
struct Cell {
    int type = SQLITE_NULL;
    long long integer = 0;
    double real = 0;
    std::string bytes;   // text (UTF-8) or blob
};
using Row = std::vector<Cell>;

std::vector<Row> bareQuery(sqlite3* db, const QByteArray& sql, const std::string& date)
{
    sqlite3_stmt* st = nullptr;
    if (sqlite3_prepare_v2(db, sql.constData(), int(sql.size()), &st, nullptr) != SQLITE_OK)
        die("prepare failed", QString::fromUtf8(sqlite3_errmsg(db)));
    sqlite3_bind_text(st, 1, date.data(), int(date.size()), SQLITE_TRANSIENT);
    const int columns = sqlite3_column_count(st);
    std::vector<Row> rows;
    int rc;
    while ((rc = sqlite3_step(st)) == SQLITE_ROW) {
        Row row(static_cast<size_t>(columns));
        for (int c = 0; c < columns; ++c) {
            Cell& cell = row[size_t(c)];
            cell.type = sqlite3_column_type(st, c);
            switch (cell.type) {
            case SQLITE_INTEGER: cell.integer = sqlite3_column_int64(st, c); break;
            case SQLITE_FLOAT: cell.real = sqlite3_column_double(st, c); break;
            case SQLITE_TEXT:
            case SQLITE_BLOB: {
                const void* p = cell.type == SQLITE_TEXT ? static_cast<const void*>(sqlite3_column_text(st, c))
                                                         : sqlite3_column_blob(st, c);
                cell.bytes.assign(static_cast<const char*>(p), size_t(sqlite3_column_bytes(st, c)));
                break;
            }
            default: break;
            }
        }
        rows.push_back(std::move(row));
    }
    if (rc != SQLITE_DONE)
        die("step failed", QString::fromUtf8(sqlite3_errmsg(db)));
    sqlite3_finalize(st);
    return rows;
}

// The bare API again, but keeping rows the way the program's record set keeps them.
QVector<QVector<QVariant>> bareQueryVariants(sqlite3* db, const QByteArray& sql, const std::string& date)
{
    sqlite3_stmt* st = nullptr;
    if (sqlite3_prepare_v2(db, sql.constData(), int(sql.size()), &st, nullptr) != SQLITE_OK)
        die("prepare failed", QString::fromUtf8(sqlite3_errmsg(db)));
    sqlite3_bind_text(st, 1, date.data(), int(date.size()), SQLITE_TRANSIENT);
    const int columns = sqlite3_column_count(st);
    QVector<QVector<QVariant>> rows;
    while (sqlite3_step(st) == SQLITE_ROW) {
        QVector<QVariant> row;
        row.reserve(columns);
        for (int c = 0; c < columns; ++c) {
            switch (sqlite3_column_type(st, c)) {
            case SQLITE_INTEGER: row.append(QVariant(qlonglong(sqlite3_column_int64(st, c)))); break;
            case SQLITE_FLOAT: row.append(QVariant(sqlite3_column_double(st, c))); break;
            case SQLITE_TEXT:
                row.append(QVariant(QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(st, c)),
                                                      sqlite3_column_bytes(st, c))));
                break;
            case SQLITE_BLOB:
                row.append(QVariant(
                    QByteArray(static_cast<const char*>(sqlite3_column_blob(st, c)), sqlite3_column_bytes(st, c))));
                break;
            default: row.append(QVariant()); break;
            }
        }
        rows.append(std::move(row));
    }
    sqlite3_finalize(st);
    return rows;
}

RecordSetPtr layerQuery(const QString& sql, const QVariantList& params)
{
    const QueryResult r = Database::QueryData(sql, params);
    if (r.failed())
        die("QueryData failed", r.description);
    return r.data;
}

// Both readings must give the same values, or the comparison means nothing.
void checkSame(const RecordSet& a, const std::vector<Row>& b)
{
    if (a.recordCount() != int(b.size()))
        die("QueryData and the C API disagree on the number of rows");
    for (int i = 0; i < a.recordCount(); ++i) {
        if (a.fieldCount() != int(b[size_t(i)].size()))
            die("QueryData and the C API disagree on the number of fields");
        for (int c = 0; c < a.fieldCount(); ++c) {
            const QVariant v = a.value(i, c);
            const Cell& cell = b[size_t(i)][size_t(c)];
            bool same = false;
            switch (cell.type) {
            case SQLITE_NULL: same = !v.isValid(); break;
            case SQLITE_INTEGER: same = v.toLongLong() == cell.integer; break;
            case SQLITE_FLOAT: same = v.toDouble() == cell.real; break;
            case SQLITE_TEXT: same = v.toString().toStdString() == cell.bytes; break;
            default: same = v.toByteArray().toStdString() == cell.bytes; break;
            }
            if (!same)
                die("QueryData and the C API disagree on a value", QStringLiteral("row %1, field %2").arg(i).arg(c));
        }
    }
}

QString defaultDate(sqlite3* db)
{
    sqlite3_stmt* st = nullptr;
    sqlite3_prepare_v2(db,
                       "select rpdate from reports group by rpdate having count(*) >= 150"
                       " order by rpdate desc limit 1",
                       -1, &st, nullptr);
    QString date;
    if (sqlite3_step(st) == SQLITE_ROW)
        date = QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(st, 0)));
    sqlite3_finalize(st);
    if (date.isEmpty()) {
        sqlite3_prepare_v2(db, "select max(rpdate) from reports", -1, &st, nullptr);
        if (sqlite3_step(st) == SQLITE_ROW && sqlite3_column_type(st, 0) == SQLITE_TEXT)
            date = QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(st, 0)));
        sqlite3_finalize(st);
    }
    return date;
}

volatile size_t gSink = 0;   // keeps the timed results from being optimised away

// The list's texts, as its model makes them for painting: every cell of the
// eleven visible columns (the twelfth, the key, is hidden).
size_t readGrid(ReportList::Model& model, const RecordSetPtr& rs)
{
    model.setAnswer(rs);
    size_t chars = 0;
    for (int r = 0; r < model.rowCount(); ++r)
        for (int c = 0; c < ReportList::kColumns; ++c)
            if (c != ReportList::kKeyColumn)
                chars += size_t(model.text(r, c).size());
    return chars;
}

// The same texts from the plain values: the statement's field of each visible
// column of the list's column table, the age with its unit appended.
struct GridField {
    size_t field;
    bool age;
};
std::vector<GridField> gridFields()
{
    std::vector<GridField> fields;
    for (int c = 0; c < ReportList::kColumns; ++c)
        if (c != ReportList::kKeyColumn)
            fields.push_back(
                {size_t(ReportList::StatementField(c)), ReportList::kColumnTable[c].form == ReportList::Form::Age});
    return fields;
}

QString plainText(const Cell& cell)
{
    switch (cell.type) {
    case SQLITE_TEXT: return QString::fromUtf8(cell.bytes.data(), qsizetype(cell.bytes.size()));
    case SQLITE_INTEGER: return QString::number(cell.integer);
    case SQLITE_FLOAT: return QString::number(cell.real, 'g', 15);
    default: return QString();
    }
}

size_t readGrid(const std::vector<Row>& rows)
{
    static const std::vector<GridField> fields = gridFields();
    static const size_t unitField = size_t(ReportList::AgeUnitStatementField());
    size_t chars = 0;
    for (const Row& row : rows) {
        for (const GridField& f : fields) {
            QString t = plainText(row[f.field]);
            if (f.age)
                t += plainText(row[unitField]);
            chars += size_t(t.size());
        }
    }
    return chars;
}

}

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments().mid(1);
    if (args.isEmpty() || args.size() > 3) {
        std::fprintf(stderr, "usage: bench_day_list PROGRAM_FOLDER [DATE yyyy-MM-dd] [REPEATS]\n");
        return 2;
    }
    const QString folder = QDir(args[0]).absolutePath();
    if (!QFileInfo::exists(folder + QStringLiteral("/data.db")))
        die("no data.db in", folder);
    int repeats = 200;
    if (args.size() == 3) {
        bool ok = false;
        repeats = args[2].toInt(&ok);
        if (!ok || repeats < 1)
            die("REPEATS must be a positive number");
    }

    AppPaths::setProgramFolder(folder);
    try {
        Database::OpenDatabase();
    } catch (const DbOpenError& e) {
        die("OpenDatabase failed", e.description);
    }
    sqlite3* db = bench::openKeyed(AppPaths::databaseFile());

    const bool dateGiven = args.size() >= 2 && !args[1].isEmpty() && args[1] != QStringLiteral("-");
    QString date = dateGiven ? args[1] : defaultDate(db);
    if (dateGiven && !QDate::fromString(date, QStringLiteral("yyyy-MM-dd")).isValid())
        die("DATE must be written yyyy-MM-dd", date);
    if (date.isEmpty())
        die("the database holds no reports");
    const std::string dateUtf8 = date.toStdString();
    const QString sql = ReportList::DaySql();
    const QByteArray sqlUtf8 = sql.toUtf8();
    const QVariantList params = ReportList::DayParams(QDate::fromString(date, QStringLiteral("yyyy-MM-dd")));
    ReportList::Model model;

    // The first reading on each fresh connection: pages come from the operating
    // system's cache (or the disk) and are decrypted into the connection's cache.
    auto t0 = bench::Clock::now();
    RecordSetPtr first = layerQuery(sql, params);
    const double firstA = bench::millisecondsSince(t0);
    t0 = bench::Clock::now();
    std::vector<Row> bare = bareQuery(db, sqlUtf8, dateUtf8);
    const double firstB = bench::millisecondsSince(t0);
    // Both readings must agree, and each variant runs once before timing.
    checkSame(*first, bare);
    bareQueryVariants(db, sqlUtf8, dateUtf8);
    t0 = bench::Clock::now();
    RecordSetPtr withPictures = layerQuery(QString::fromUtf8(kDayListAllSql), params);
    const double firstD = bench::millisecondsSince(t0);
    qint64 pictureBytes = 0;
    for (int row = 0; row < withPictures->recordCount(); ++row)
        for (int c = 29; c < 33; ++c)
            pictureBytes += withPictures->value(row, c).toByteArray().size();
    withPictures.reset();
    layerQuery(sql, params);
    readGrid(model, first);

    std::vector<double> a, b, c, d, e, f;
    for (int i = 0; i < repeats; ++i) {
        // Rotate the order so that no variant always runs right after another.
        for (int k = 0; k < 5; ++k) {
            const auto start = bench::Clock::now();
            switch ((i + k) % 5) {
            case 0:
                gSink = gSink + size_t(layerQuery(sql, params)->recordCount());
                a.push_back(bench::millisecondsSince(start));
                break;
            case 1:
                gSink = gSink + bareQuery(db, sqlUtf8, dateUtf8).size();
                b.push_back(bench::millisecondsSince(start));
                break;
            case 2:
                gSink = gSink + size_t(bareQueryVariants(db, sqlUtf8, dateUtf8).size());
                c.push_back(bench::millisecondsSince(start));
                break;
            case 3:
                gSink = gSink + readGrid(model, layerQuery(sql, params));
                e.push_back(bench::millisecondsSince(start));
                break;
            case 4:
                gSink = gSink + readGrid(bareQuery(db, sqlUtf8, dateUtf8));
                f.push_back(bench::millisecondsSince(start));
                break;
            }
        }
    }
    model.setAnswer(nullptr);
    for (int i = 0; i < repeats; ++i) {
        const auto start = bench::Clock::now();
        gSink = gSink + size_t(layerQuery(QString::fromUtf8(kDayListAllSql), params)->recordCount());
        d.push_back(bench::millisecondsSince(start));
    }

    sqlite3_close(db);
    Database::CloseDatabase();

    auto line = [](const char* what, const std::vector<double>& v) {
        std::printf("  %-46s median %7.3f ms   min %7.3f ms\n", what, bench::median(v), bench::minimum(v));
    };
    std::printf("day list of %s: %d reports (%lld KB of pictures not read), %d repetitions\n", qPrintable(date),
                first->recordCount(), static_cast<long long>(pictureBytes / 1024), repeats);
    std::printf("  statement: %s\n", sqlUtf8.constData());
    std::printf("  first reading after opening: QueryData %.3f ms, bare C API %.3f ms;"
                " then \"select *\" %.3f ms\n",
                firstA, firstB, firstD);
    line("A QueryData, the window's statement", a);
    line("B bare sqlite3 C API, same statement", b);
    line("C bare C API into QVariant rows", c);
    line("E A + the list model's texts, every row", e);
    line("F B + the same texts made QString", f);
    line("D QueryData \"select *\" with pictures", d);
    const double ma = bench::median(a), mb = bench::median(b), me = bench::median(e), mf = bench::median(f);
    std::printf("ratio QueryData / bare C API: %.2f (with the list's texts: %.2f)\n", mb > 0 ? ma / mb : 0.0,
                mf > 0 ? me / mf : 0.0);
    return 0;
}
