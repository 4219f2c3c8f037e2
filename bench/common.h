#pragma once
// Small helpers shared by the benchmark programs.
#include <QByteArray>
#include <QFile>
#include <QString>
#include <QTemporaryFile>

#include "core/Database.h"
#include "platform/FileDialogsTesting.h"
#include "platform/MessageBoxTesting.h"

#include <sqlcipher/sqlite3.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace bench {

[[noreturn]] inline void die(const char* what, const QString& why = QString())
{
    if (why.isEmpty())
        std::fprintf(stderr, "%s\n", what);
    else
        std::fprintf(stderr, "%s: %s\n", what, qPrintable(why));
    std::exit(1);
}

// A direct connection to an encrypted data.db, bypassing the program's layer.
// The default flags are the program's own connection's: read-write, used by one
// thread, so without the engine's per-call locking.
inline sqlite3* openKeyed(const QString& path, int flags = SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX)
{
    QString why;
    sqlite3* db = Database::OpenKeyedHandle(path, flags, &why);
    if (!db)
        die("the database does not open with the program's key", why);
    return db;
}

inline void exec(sqlite3* db, const char* sql)
{
    char* err = nullptr;
    if (sqlite3_exec(db, sql, nullptr, nullptr, &err) != SQLITE_OK) {
        const QString why = QString::fromUtf8(err ? err : sqlite3_errmsg(db));
        sqlite3_free(err);
        die(sql, why);
    }
}

using Clock = std::chrono::steady_clock;

inline double secondsSince(Clock::time_point start)
{
    return std::chrono::duration<double>(Clock::now() - start).count();
}

inline double millisecondsSince(Clock::time_point start)
{
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

inline double median(std::vector<double> v)
{
    if (v.empty())
        return 0;
    std::sort(v.begin(), v.end());
    const size_t n = v.size();
    return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

// The offscreen platform's screen as a user's: 1920x1080 at 96 dpi.
inline void useFullHdScreen(QTemporaryFile& config)
{
    if (!qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        return;
    if (!config.open())
        die("no temporary file for the screen's configuration");
    config.write(R"({"screens": [{"name": "screen", "x": 0, "y": 0, "width": 1920, "height": 1080,)"
                 R"( "logicalDpi": 96, "logicalBaseDpi": 96}]})");
    config.close();
    qputenv("QT_QPA_PLATFORM", "offscreen:configfile=" + QFile::encodeName(config.fileName()));
}

inline double minimum(const std::vector<double>& v) { return v.empty() ? 0 : *std::min_element(v.begin(), v.end()); }

}
