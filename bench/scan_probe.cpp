// bench_scan_probe PROGRAM_FOLDER [REPEATS]
//
// What the size of the encrypted pages costs on a large data.db. Each round
// opens a fresh connection the way the program opens its own
// (Database::OpenKeyedHandle: read-write, one thread, the program's key and
// page size) and times, on the bare sqlite3 C API:
//   open   the key derivation and the first read of the schema;
//   probe  the start-up's "select count(*) from reports", the first statement
//          on the new connection;
//   scan   the query window's search for a patient name, "select * from reports
//          where brname like '%x%'": no index helps, every row of the table is
//          read and decrypted (no generated name holds an x, so no picture is).
// The file stays in the operating system's cache after the first round (the
// first round is run and not counted), so the figures are what decrypting the
// pages costs, not the disk. Prints the page size the file was opened with,
// the table's row count, and the median and minimum of each.
#include "common.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

namespace {

using bench::Clock;
using bench::die;

// Steps a statement to its end; returns the first column of the first row and
// counts the rows in *rows.
long long run(sqlite3* db, const char* sql, long long* rows = nullptr)
{
    sqlite3_stmt* st = nullptr;
    if (sqlite3_prepare_v2(db, sql, -1, &st, nullptr) != SQLITE_OK)
        die(sql, QString::fromUtf8(sqlite3_errmsg(db)));
    long long first = 0, n = 0;
    int rc;
    while ((rc = sqlite3_step(st)) == SQLITE_ROW) {
        if (n++ == 0)
            first = sqlite3_column_int64(st, 0);
    }
    if (rc != SQLITE_DONE)
        die(sql, QString::fromUtf8(sqlite3_errmsg(db)));
    sqlite3_finalize(st);
    if (rows)
        *rows = n;
    return first;
}

void summary(const char* what, const std::vector<double>& v)
{
    std::printf("  %-44s median %8.1f ms   min %8.1f ms\n", what, bench::median(v), bench::minimum(v));
}

}

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments().mid(1);
    if (args.isEmpty() || args.size() > 2) {
        std::fprintf(stderr, "usage: bench_scan_probe PROGRAM_FOLDER [REPEATS]\n");
        return 2;
    }
    const QString file = QDir(args[0]).absoluteFilePath(QStringLiteral("data.db"));
    if (!QFileInfo::exists(file))
        die("no data.db in", args[0]);
    const int repeats = args.size() > 1 ? std::max(1, args[1].toInt()) : 5;

    const char* const probeSql = "select count(*) from reports";
    const char* const scanSql = "select * from reports where brname like '%x%'";
    std::vector<double> open, probe, scan;
    long long reports = 0, found = 0, pageSize = 0;
    for (int i = 0; i <= repeats; ++i) {
        auto t = Clock::now();
        QString why;
        sqlite3* db = Database::OpenKeyedHandle(file, SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX, &why);
        if (!db)
            die("the database does not open with the program's key and page size", why);
        const double tOpen = bench::millisecondsSince(t);
        t = Clock::now();
        reports = run(db, probeSql);
        const double tProbe = bench::millisecondsSince(t);
        t = Clock::now();
        run(db, scanSql, &found);
        const double tScan = bench::millisecondsSince(t);
        pageSize = run(db, "PRAGMA cipher_page_size");
        sqlite3_close(db);
        if (i == 0)
            continue;   // fills the operating system's cache
        open.push_back(tOpen);
        probe.push_back(tProbe);
        scan.push_back(tScan);
    }
    std::printf("%s: %lld reports, %.1f MB, cipher pages of %lld bytes, %d rounds\n", qPrintable(file), reports,
                double(QFileInfo(file).size()) / 1e6, pageSize, repeats);
    summary("open (key derivation, schema)", open);
    summary("probe \"select count(*) from reports\"", probe);
    std::printf("  scan \"select * from reports where brname like '%%x%%'\" (%lld rows found)\n", found);
    summary("", scan);
    return 0;
}
