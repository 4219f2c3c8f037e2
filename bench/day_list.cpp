// bench_day_list PROGRAM_FOLDER [DATE] [REPEATS]
//
// Times the main window's day list, the reports of one report date, read
// without the picture columns (fields 29 to 32 come back as Null, so every
// other field keeps its number):
//   A. through ModADOconnect::QueryData(sql, params), as the program reads it;
//   B. the same statement on the bare sqlite3 C API (prepare, bind, step, every
//      column copied into plain C++ values, finalize);
// and, to tell where time goes,
//   C. the bare C API copying into QVariant/QString rows as the program's layer does;
//   D. QueryData with "select *", pictures included.
// Prints the medians and the ratio A / B. DATE defaults to the latest report
// date with at least 150 reports.
#include "common.h"

#include "core/ModADOconnect.h"
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

const char* const kDayListSql =
    "select ctid, brname, sex, age, ageunit, bedid, sectionoffice, utpatientid, inpatientid, pgdate, rpdate,"
    " pgdr, rpdr, facility, times, part, checktechnique, checkname, checksymptom, checkconclusion,"
    " obligate1, obligate2, obligate3, obligate4, obligate5, obligate6, obligate7, obligate8, obligate9,"
    " NULL AS picture1, NULL AS picture2, NULL AS picture3, NULL AS picture4"
    " from reports where rpdate = ?";

const char* const kDayListAllSql = "select * from reports where rpdate = ?";

// One value as a plain C++ program would keep it.
struct Cell {
    int type = SQLITE_NULL;
    long long integer = 0;
    double real = 0;
    std::string bytes;   // text (UTF-8) or blob
};
using Row = std::vector<Cell>;

std::vector<Row> bareQuery(sqlite3* db, const std::string& date)
{
    sqlite3_stmt* st = nullptr;
    if (sqlite3_prepare_v2(db, kDayListSql, -1, &st, nullptr) != SQLITE_OK)
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
QVector<QVector<QVariant>> bareQueryVariants(sqlite3* db, const std::string& date)
{
    sqlite3_stmt* st = nullptr;
    if (sqlite3_prepare_v2(db, kDayListSql, -1, &st, nullptr) != SQLITE_OK)
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
                row.append(QVariant(QByteArray(static_cast<const char*>(sqlite3_column_blob(st, c)),
                                               sqlite3_column_bytes(st, c))));
                break;
            default: row.append(QVariant()); break;
            }
        }
        rows.append(std::move(row));
    }
    sqlite3_finalize(st);
    return rows;
}

RecordSetPtr layerQuery(const char* sql, const QString& date)
{
    const QueryResult r = ModADOconnect::QueryData(QString::fromUtf8(sql), {date});
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
        if (a.rows()[i].size() != qsizetype(b[size_t(i)].size()) || a.rows()[i].size() != 33)
            die("the rows do not have 33 fields");
        for (int c = 0; c < 33; ++c) {
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
                die("QueryData and the C API disagree on a value",
                    QStringLiteral("row %1, field %2").arg(i).arg(c));
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
        ModADOconnect::OpenDatabase();
    } catch (const DbOpenError& e) {
        die("OpenDatabase failed", e.text);
    }
    sqlite3* db = bench::openKeyed(AppPaths::databaseFile());

    QString date = args.size() >= 2 ? args[1] : defaultDate(db);
    if (args.size() >= 2 && !QDate::fromString(date, QStringLiteral("yyyy-MM-dd")).isValid())
        die("DATE must be written yyyy-MM-dd", date);
    if (date.isEmpty())
        die("the database holds no reports");
    const std::string dateUtf8 = date.toStdString();

    // Warm both connections' page caches, and check that both readings agree.
    RecordSetPtr first = layerQuery(kDayListSql, date);
    std::vector<Row> bare = bareQuery(db, dateUtf8);
    checkSame(*first, bare);
    bareQueryVariants(db, dateUtf8);
    RecordSetPtr withPictures = layerQuery(kDayListAllSql, date);
    qint64 pictureBytes = 0;
    for (const auto& row : withPictures->rows())
        for (int c = 29; c < 33; ++c)
            pictureBytes += row.value(c).toByteArray().size();

    std::vector<double> a, b, c, d;
    for (int i = 0; i < repeats; ++i) {
        // Rotate the order so that no variant always runs right after another.
        for (int k = 0; k < 4; ++k) {
            const auto start = bench::Clock::now();
            switch ((i + k) % 4) {
            case 0: gSink = gSink + size_t(layerQuery(kDayListSql, date)->recordCount()); a.push_back(bench::millisecondsSince(start)); break;
            case 1: gSink = gSink + bareQuery(db, dateUtf8).size(); b.push_back(bench::millisecondsSince(start)); break;
            case 2: gSink = gSink + size_t(bareQueryVariants(db, dateUtf8).size()); c.push_back(bench::millisecondsSince(start)); break;
            case 3: gSink = gSink + size_t(layerQuery(kDayListAllSql, date)->recordCount()); d.push_back(bench::millisecondsSince(start)); break;
            }
        }
    }

    sqlite3_close(db);
    ModADOconnect::CloseDatabase();

    const double ma = bench::median(a), mb = bench::median(b);
    std::printf("day list of %s: %d reports (%lld KB of pictures not read), %d repetitions\n", qPrintable(date),
                first->recordCount(), static_cast<long long>(pictureBytes / 1024), repeats);
    std::printf("  A QueryData, pictures as NULL           median %8.3f ms   min %8.3f ms\n", ma, bench::minimum(a));
    std::printf("  B bare sqlite3 C API, same statement    median %8.3f ms   min %8.3f ms\n", mb, bench::minimum(b));
    std::printf("  C bare C API into QVariant rows         median %8.3f ms   min %8.3f ms\n", bench::median(c),
                bench::minimum(c));
    std::printf("  D QueryData \"select *\" with pictures    median %8.3f ms   min %8.3f ms\n", bench::median(d),
                bench::minimum(d));
    std::printf("ratio QueryData / bare C API: %.2f\n", mb > 0 ? ma / mb : 0.0);
    return 0;
}
