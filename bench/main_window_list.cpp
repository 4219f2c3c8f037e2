// bench_main_window_list PROGRAM_FOLDER [DATE] [REPEATS]
//
// Times the main window's day list as the window loads it (query, grid rows,
// list state) against the same statement on the bare sqlite3 C API (prepare,
// bind, step, every column copied, finalize). Prints the medians and the
// ratio; the program's query layer alone is shown to tell where the time
// goes. DATE defaults to the report date with the most reports.
// Make the database to measure on with bench_gen_reports.
#include "common.h"
#include "core/FrmMain.h"
#include "core/Mmain.h"
#include "core/Database.h"
#include "core/Palette.h"
#include "core/ReportList.h"
#include "platform/AppPaths.h"

#include <QApplication>
#include <QDate>
#include <QFile>
#include <QTableView>

#include <sqlcipher/sqlite3.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

namespace {
using bench::die;
using bench::openKeyed;
using Clock = std::chrono::steady_clock;

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.empty() ? 0.0 : v[v.size() / 2];
}

// The bare statement: every column of every row copied out.
size_t bareDayList(sqlite3* db, const std::string& date)
{
    const QByteArray sql = ReportList::DaySql().toUtf8();
    sqlite3_stmt* st = nullptr;
    if (sqlite3_prepare_v2(db, sql.constData(), -1, &st, nullptr) != SQLITE_OK)
        die("prepare failed");
    sqlite3_bind_text(st, 1, date.data(), int(date.size()), SQLITE_TRANSIENT);
    const int columns = sqlite3_column_count(st);
    size_t bytes = 0;
    std::vector<std::string> row(static_cast<size_t>(columns));
    while (sqlite3_step(st) == SQLITE_ROW) {
        for (int c = 0; c < columns; ++c) {
            const unsigned char* t = sqlite3_column_text(st, c);
            row[size_t(c)].assign(t ? reinterpret_cast<const char*>(t) : "", size_t(sqlite3_column_bytes(st, c)));
            bytes += row[size_t(c)].size();
        }
    }
    sqlite3_finalize(st);
    return bytes;
}

}

int main(int argc, char* argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() < 2)
        die("usage: bench_main_window_list PROGRAM_FOLDER [DATE] [REPEATS]");
    AppPaths::setProgramFolder(args[1]);
    const int repeats = args.size() > 3 ? args[3].toInt() : 50;

    sqlite3* db = openKeyed(AppPaths::databaseFile());
    QString date = args.size() > 2 && args[2] != QLatin1String("-") ? args[2] : QString();
    if (date.isEmpty()) {
        sqlite3_stmt* st = nullptr;
        sqlite3_prepare_v2(db, "SELECT rpdate FROM reports GROUP BY rpdate ORDER BY count(*) DESC LIMIT 1", -1, &st,
                           nullptr);
        if (sqlite3_step(st) == SQLITE_ROW)
            date = QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(st, 0)));
        sqlite3_finalize(st);
    }
    const std::string day = date.toStdString();

    Database::OpenDatabase();
    Palette::LoadSkin();
    Mmain::gRights.fill(true);
    FrmMain* w = FrmMain::ShowMain();
    const QDate d = QDate::fromString(date, Qt::ISODate);

    // Warm both paths once.
    bareDayList(db, day);
    w->LoadDayList(d);
    std::vector<double> bare, window, layer;
    for (int i = 0; i < repeats; ++i) {
        auto t0 = Clock::now();
        bareDayList(db, day);
        auto t1 = Clock::now();
        w->LoadDayList(d);
        auto t2 = Clock::now();
        Database::QueryData(ReportList::DaySql(), ReportList::DayParams(d));
        auto t3 = Clock::now();
        layer.push_back(std::chrono::duration<double, std::milli>(t3 - t2).count());
        bare.push_back(std::chrono::duration<double, std::milli>(t1 - t0).count());
        window.push_back(std::chrono::duration<double, std::milli>(t2 - t1).count());
    }
    const int rows = ReportList::IsEmpty(w->MSHFlexGrid1) ? 0 : ListGrid::RowCount(w->MSHFlexGrid1);
    std::printf("day %s: %d reports\n", qPrintable(date), rows);
    std::printf("bare SQL        median %.3f ms\n", median(bare));
    std::printf("query layer     median %.3f ms (QueryData alone)\n", median(layer));
    std::printf("main window     median %.3f ms\n", median(window));
    std::printf("ratio window / bare: %.2f\n", median(window) / std::max(median(bare), 1e-9));
    w->close();
    sqlite3_close(db);
    return 0;
}
