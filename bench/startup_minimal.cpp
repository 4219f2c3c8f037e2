// bench_startup_minimal [PROGRAM_FOLDER]
//
// The yardstick for the program's start-up: the least a Qt program does to
// show a window over the program's database. It opens data.db of
// PROGRAM_FOLDER (default: the folder of this executable) as the program opens
// its own (Database::OpenKeyedHandle: the program's key and page size, the
// key derivation included), runs the start-up's probe "select count(*) from
// reports", shows one QLineEdit window and quits as soon as that window has been
// painted for the first time. Time it as a whole process against the program
// started with WS_EXIT_AFTER_LOGIN_PAINT set, which quits the same way once its
// login window is painted; bench/README.md gives the commands.
#include "core/Database.h"

#include <QApplication>
#include <QDir>
#include <QEvent>
#include <QLineEdit>

#include <sqlcipher/sqlite3.h>

#include <cstdio>

namespace {
class QuitAfterFirstPaint final : public QObject {
public:
    using QObject::QObject;
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Paint) {
            watched->removeEventFilter(this);
            QMetaObject::invokeMethod(QCoreApplication::instance(), &QCoreApplication::quit, Qt::QueuedConnection);
        }
        return false;
    }
};
}

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    const QString folder = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QCoreApplication::applicationDirPath();
    QString why;
    sqlite3* db = Database::OpenKeyedHandle(QDir(folder).absoluteFilePath(QStringLiteral("data.db")),
                                            SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX, &why);
    if (!db) {
        std::fprintf(stderr, "data.db does not open: %s\n", qPrintable(why));
        return 1;
    }
    sqlite3_stmt* st = nullptr;
    if (sqlite3_prepare_v2(db, "select count(*) from reports", -1, &st, nullptr) != SQLITE_OK
        || sqlite3_step(st) != SQLITE_ROW) {
        std::fprintf(stderr, "the probe failed: %s\n", sqlite3_errmsg(db));
        return 1;
    }
    sqlite3_finalize(st);

    QLineEdit edit;
    edit.installEventFilter(new QuitAfterFirstPaint(&edit));
    edit.show();
    const int code = app.exec();
    sqlite3_close(db);
    return code;
}
