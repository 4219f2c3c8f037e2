// The start-up sequence against real program folders.
#include "core/FrmMain.h"
#include "core/Mmain.h"
#include "core/login.h"
#include "core/Database.h"
#include "platform/AppPaths.h"
#include "platform/InstanceGuard.h"
#include "platform/MessageBox.h"
#include "support/CoreKit.h"
#include "support/TestFolder.h"

#include <QDir>
#include <QFile>
#include <QLocale>
#include <QProcess>
#include <QStandardPaths>
#include <QTimer>
#include <QtTest>

#include <optional>

using namespace kit;

namespace {
// Start-up ended with exactly one message box; the database is closed.
void checkRefused(const Mmain::StartResult& r)
{
    QVERIFY(!r.running);
    QVERIFY(r.exitCode != 0);
    QCOMPARE(MessageBox::shownBoxes().size(), 1);
    QVERIFY(!Database::isOpen());
}
}

class tst_Startup : public QObject {
    Q_OBJECT
private slots:
    void cleanup()
    {
        Mmain::ReleaseInstanceLock();
        for (QWidget* w : QApplication::topLevelWidgets())
            w->close();
    }

    void secondInstanceRefused()
    {
        TestFolder f(false);
        InstanceGuard other(AppPaths::programFolder());
        QVERIFY(other.tryAcquire());
        // Chinese from the start, whatever the machine speaks.
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedKingdom));
        checkRefused(Mmain::Main());
        QCOMPARE(QLocale().language(), QLocale::Chinese);
        QCOMPARE(QLocale().territory(), QLocale::China);
        QCOMPARE(lastText(), QStringLiteral("此程式已经在执行中！"));
        QCOMPARE(lastTitle(), QStringLiteral("对不起"));
        other.release();
    }

    void oneLockPerFolder()
    {
        TestFolder f(false);
        InstanceGuard first(f.path());
        QVERIFY(first.tryAcquire());
        QVERIFY(first.lockPath().startsWith(QDir(f.path()).canonicalPath()));
        // The same folder under another spelling or through a link is the same folder.
        InstanceGuard dotted(f.path() + QStringLiteral("/img/.."));
        QVERIFY(!dotted.tryAcquire());
        const QString link = f.path() + QStringLiteral("-link");
        QVERIFY(QFile::link(f.path(), link));
        InstanceGuard linked(link);
        const bool viaLink = linked.tryAcquire();
        QFile::remove(link);
        QVERIFY(!viaLink);
        // Another folder is another program.
        QTemporaryDir other;
        InstanceGuard elsewhere(other.path());
        QVERIFY(elsewhere.tryAcquire());
        first.release();
        QVERIFY(dotted.tryAcquire());

        // A program folder that cannot take the lock file still refuses a second copy.
        dotted.release();
        elsewhere.release();
        Unwritable locked(other.path());
        InstanceGuard a(other.path()), b(other.path());
        QVERIFY(a.tryAcquire());
        QVERIFY(!b.tryAcquire());
        // The lock then goes to the user's own runtime folder, not a shared one such as /tmp.
        if (locked.ok())
            QVERIFY2(a.lockPath().startsWith(QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation) + '/'),
                     qPrintable(a.lockPath()));
        a.release();
    }

    void secondProgramRefused()
    {
        // Two real copies of the program on one program folder, on a virtual display.
        const QString program = QStringLiteral(WS_BINARY_DIR "/program/pelrand");
        if (!QFile::exists(program))
            QSKIP("the program has not been built");
        for (const char* tool : {"xvfb-run", "xdotool"})
            if (QStandardPaths::findExecutable(QString::fromLatin1(tool)).isEmpty())
                QSKIP("xvfb-run and xdotool are needed");
        TestFolder f(false);
        QVERIFY(QFile::copy(program, f.file(QStringLiteral("pelrand"))));
        QVERIFY(QFile::setPermissions(f.file(QStringLiteral("pelrand")), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));

        // The first copy runs until its login window is up; the second must show the
        // refusal, and end once it is answered, while the first goes on.
        const QString script = QStringLiteral(R"(
    cd "$1"
    wait_for() { for i in $(seq 300); do w=$(xdotool search --name "$1" 2>/dev/null | head -1); [ -n "$w" ] && echo "$w" && return 0; sleep 0.1; done; return 1; }
    ./pelrand & first=$!
    wait_for "用户登录" >/dev/null && echo "first:login"
    ./pelrand & second=$!
    box=$(wait_for "对不起") && echo "second:refused"
    xdotool key --window "$box" Return 2>/dev/null
    for i in $(seq 300); do kill -0 $second 2>/dev/null || break; sleep 0.1; done
    if kill -0 $second 2>/dev/null; then echo "second:still running"; kill $second; fi
    wait $second; echo "second:exit $?"
    kill -0 $first 2>/dev/null && echo "first:running"
    kill $first; wait $first
    )");
        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.remove(QStringLiteral("QT_QPA_PLATFORM"));
        p.setProcessEnvironment(env);
        p.start(QStringLiteral("xvfb-run"), {QStringLiteral("-a"), QStringLiteral("-s"), QStringLiteral("-screen 0 1280x1024x24"),
                                             QStringLiteral("bash"), QStringLiteral("-c"), script, QStringLiteral("twice"),
                                             f.path()});
        QVERIFY(p.waitForFinished(120000));
        const QString out = QString::fromUtf8(p.readAllStandardOutput());
        QVERIFY2(out.contains(QStringLiteral("first:login")), qPrintable(out));
        QVERIFY2(out.contains(QStringLiteral("second:refused")), qPrintable(out));
        QVERIFY2(out.contains(QStringLiteral("second:exit 1")), qPrintable(out));
        QVERIFY2(out.contains(QStringLiteral("first:running")), qPrintable(out));
    }

    // An empty database reaches the login window. So does a data.db the user
    // may only read (reports can still be looked at and printed); a change to
    // it is refused later with a sentence saying why.
    void databaseStarts_data()
    {
        QTest::addColumn<bool>("readOnly");
        QTest::newRow("writable") << false;
        QTest::newRow("read-only") << true;
    }
    void databaseStarts()
    {
        QFETCH(bool, readOnly);
        TestFolder f(false);
        // A data.db from before the query's index: the start adds it when it can.
        Database::OpenDatabase();
        QVERIFY(TestFolder::exec(QStringLiteral("DROP INDEX reports_find")));
        Database::CloseDatabase();
        std::optional<Unwritable> locked;
        if (readOnly && !locked.emplace(AppPaths::databaseFile()).ok())
            QSKIP("this machine cannot make a file unwritable");
        const Mmain::StartResult r = Mmain::Main();
        const bool loginShown = login::current() && login::current()->isVisible() && !login::current()->isModal();
        const int indexed = queryInt(QStringLiteral("SELECT count(*) FROM sqlite_master WHERE name = 'reports_find'"));
        const QueryResult w = Database::ExecuteSql(QStringLiteral("delete from bgxm where xmid = '01'"));
        Mmain::ReleaseInstanceLock();   // while its folder is still there
        Database::CloseDatabase();
        QVERIFY2(MessageBox::shownBoxes().isEmpty(), qPrintable(lastText()));
        QCOMPARE(r.exitCode, 0);
        QVERIFY(r.running);
        QVERIFY(loginShown);
        QCOMPARE(w.failed(), readOnly);
        QCOMPARE(indexed, readOnly ? 0 : 1);
        if (readOnly)
            QVERIFY(w.description.startsWith(QStringLiteral("数据库文件是只读的")));
    }

    void databaseWithoutReports()
    {
        TestFolder f;
        QVERIFY(TestFolder::exec(QStringLiteral("drop table reports")));
        Database::CloseDatabase();
        checkRefused(Mmain::Main());
        QCOMPARE(lastTitle(), QStringLiteral("错误"));
        QVERIFY(lastText().contains(QStringLiteral("no such table: reports")));
    }

    void missingDatabase()
    {
        TestFolder f(false);
        QVERIFY(QFile::remove(AppPaths::databaseFile()));
        checkRefused(Mmain::Main());
        QVERIFY(lastText().contains(QStringLiteral("3000")));
        QVERIFY(lastText().contains(QStringLiteral("未能连接到数据库，数据库被更名或损坏！\r\n错误")));
        QVERIFY(!QFile::exists(AppPaths::databaseFile()));
        // The lock is given back, so the user can start again once the file is restored.
        InstanceGuard again(AppPaths::programFolder());
        QVERIFY(again.tryAcquire());
    }

    void reloginWithoutDatabaseEnds()
    {
        TestFolder f;
        FrmMain* w = logIn(QStringLiteral("admin"));
        QVERIFY(w);
        QVERIFY(QFile::remove(AppPaths::databaseFile()));
        QTimer::singleShot(0, w, [w] { w->重新登录_Click(); });
        const int code = QCoreApplication::exec();
        QVERIFY(code != 0);
        QVERIFY(!FrmMain::current());
        QVERIFY(!login::current());
        QVERIFY(!Database::isOpen());
        QVERIFY(lastText().contains(QStringLiteral("3000")));
        QVERIFY(lastText().contains(QStringLiteral("未能连接到数据库，数据库被更名或损坏！")));
        QVERIFY(!QFile::exists(AppPaths::databaseFile()));
    }

    void quittingReloginWindowEnds()
    {
        TestFolder f;
        FrmMain* w = logIn(QStringLiteral("admin"));
        QVERIFY(w);
        QTimer::singleShot(0, w, [w] {
            w->重新登录_Click();
            QTimer::singleShot(0, [] {
                QVERIFY(login::current());
                login::current()->buttonquit_Click();
            });
        });
        // The program ends on its own when the login that re-login showed is quit.
        QTimer::singleShot(5000, [] { QCoreApplication::exit(99); });
        QCOMPARE(QCoreApplication::exec(), 0);
        QVERIFY(!FrmMain::current());
        QVERIFY(!Database::isOpen());
    }
};

QTEST_MAIN(tst_Startup)
#include "tst_startup.moc"
