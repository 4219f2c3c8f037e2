// The start-up sequence against real program folders.
#include "core/FrmMain.h"
#include "core/Mmain.h"
#include "core/login.h"
#include "core/Database.h"
#include "core/Modini.h"
#include "core/WorkNotice.h"
#include "platform/AppPaths.h"
#include "platform/InstanceGuard.h"
#include "platform/MessageBox.h"
#include "platform/PrivateFile.h"
#include "platform/PrivateFileTesting.h"
#include "support/CoreKit.h"
#include "support/OtherAccount.h"
#include "support/TestFolder.h"

#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QLocale>
#include <QMap>
#include <QProcess>
#include <QStandardPaths>
#include <QSysInfo>
#include <QThread>
#include <QTimer>
#include <QtTest>

#include <csignal>
#include <optional>

#include <sqlcipher/sqlite3.h>
#include <sys/file.h>
#include <sys/inotify.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <fcntl.h>
#include <unistd.h>

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

// How many of the named indexes data.db holds, read on a connection of its own.
int indexesPresent(const QStringList& names)
{
    sqlite3* db = Database::OpenKeyedHandle(AppPaths::databaseFile(), SQLITE_OPEN_READONLY);
    if (!db)
        return -1;
    int n = 0;
    for (const QString& name : names) {
        sqlite3_stmt* st = nullptr;
        const QByteArray sql = "SELECT 1 FROM sqlite_master WHERE type = 'index' AND name = '" + name.toLatin1() + "'";
        if (sqlite3_prepare_v2(db, sql.constData(), -1, &st, nullptr) == SQLITE_OK && sqlite3_step(st) == SQLITE_ROW)
            ++n;
        sqlite3_finalize(st);
    }
    sqlite3_close(db);
    return n;
}

// How long a test waits for another process: far beyond what it takes on a busy machine.
constexpr int kWait = 240000;

// An X server of the test's own (Xvfb on a display it picks itself), ended and waited for
// by pid when the object goes, also when the test fails.
class VirtualDisplay {
public:
    ~VirtualDisplay()
    {
        if (server_.state() == QProcess::NotRunning)
            return;
        server_.terminate();
        if (!server_.waitForFinished(kWait))
            server_.kill();
        server_.waitForFinished(kWait);
    }
    // Starts the server and waits until it takes clients: it then writes its display's number.
    bool start()
    {
        server_.setProcessChannelMode(QProcess::SeparateChannels);
        server_.start(QStringLiteral("Xvfb"),
                      {QStringLiteral("-displayfd"), QStringLiteral("1"), QStringLiteral("-screen"),
                       QStringLiteral("0"), QStringLiteral("1280x1024x24"), QStringLiteral("-nolisten"),
                       QStringLiteral("tcp")});
        while (!server_.canReadLine() && server_.waitForReadyRead(kWait)) {
        }
        bool ok = false;
        const int number = server_.readLine().trimmed().toInt(&ok);
        if (!ok) {
            error_ = QStringLiteral("Xvfb did not start: ") + QString::fromLocal8Bit(server_.readAllStandardError());
            return false;
        }
        display_ = QStringLiteral(":%1").arg(number);
        return true;
    }
    QString display() const { return display_; }
    QString error() const { return error_; }

private:
    QProcess server_;
    QString display_;
    QString error_;
};

// The id of the first window named name on the environment's display, once it is shown;
// empty when the program that should show it ends first or it has not come within kWait.
QString findWindow(const QProcessEnvironment& env, const QString& name, const QProcess& program)
{
    QProcess p;
    p.setProcessEnvironment(env);
    QEventLoop loop;
    QObject::connect(&p, &QProcess::finished, &loop, &QEventLoop::quit);
    QObject::connect(&program, &QProcess::finished, &loop, &QEventLoop::quit);
    QTimer::singleShot(kWait, &loop, &QEventLoop::quit);
    p.start(QStringLiteral("xdotool"), {QStringLiteral("search"), QStringLiteral("--sync"),
                                        QStringLiteral("--onlyvisible"), QStringLiteral("--name"), name});
    if (program.state() != QProcess::NotRunning)
        loop.exec();
    if (p.state() != QProcess::NotRunning) {
        p.kill();
        p.waitForFinished();
        return {};
    }
    return QString::fromLatin1(p.readAllStandardOutput()).section(QLatin1Char('\n'), 0, 0).trimmed();
}

// Why the real program cannot be run here (not built, no X server or xdotool); null when it can.
const char* realProgramMissing()
{
    if (!QFile::exists(QStringLiteral(WS_BINARY_DIR "/program/pelrand")))
        return "the program has not been built";
    for (const char* tool : {"Xvfb", "xdotool"})
        if (QStandardPaths::findExecutable(QString::fromLatin1(tool)).isEmpty())
            return "Xvfb and xdotool are needed";
    return nullptr;
}

// Puts a copy of the built program into the test's program folder, executable by its owner.
bool copyProgramInto(const TestFolder& f)
{
    const QString exe = f.file(QStringLiteral("pelrand"));
    return QFile::copy(QStringLiteral(WS_BINARY_DIR "/program/pelrand"), exe)
           && QFile::setPermissions(exe, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

// Answers the box with the window id box on the environment's display with Return.
bool answerBox(const QProcessEnvironment& env, const QString& box)
{
    QProcess key;
    key.setProcessEnvironment(env);
    key.start(QStringLiteral("xdotool"),
              {QStringLiteral("key"), QStringLiteral("--window"), box, QStringLiteral("Return")});
    return key.waitForFinished(kWait);
}

// Start-up reached the login window without a message.
void checkStarted(const Mmain::StartResult& r)
{
    QVERIFY2(MessageBox::shownBoxes().isEmpty(), qPrintable(lastText()));
    QVERIFY(r.running);
    QVERIFY(login::current() && login::current()->isVisible());
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

    // A program folder handed from another account whose copy was killed:
    // its owner-only lock can be neither read nor removed, so start-up says
    // whose lock it is, where, and what to do, rather than that a copy runs.
    void anotherAccountsLockIsNamed()
    {
        if (!canActAsOthers())
            QSKIP("acting as other accounts needs root");
        TestFolder f(false);
        const SharedFolder shared(kNobody);
        QVERIFY(shared.ok() && ::chmod(QFile::encodeName(shared.path()).constData(), 0700) == 0);
        const QString lock = QDir(shared.path()).canonicalPath() + QStringLiteral("/pelrand.lock");
        QVERIFY(fileAs(lock, "999999\npelrand\nelsewhere\n", kDaemon));
        const QByteArray lockName = QFile::encodeName(lock);
        const timespec longAgo[2] = {{0, UTIME_OMIT}, {::time(nullptr) - 3600, 0}};
        QVERIFY(::utimensat(AT_FDCWD, lockName.constData(), longAgo, 0) == 0);
        const QString runtime = QFileInfo(shared.path()).path() + QStringLiteral("/runtime");
        QVERIFY(QDir().mkdir(runtime) && ::chmod(QFile::encodeName(runtime).constData(), 0700) == 0
                && ::chown(QFile::encodeName(runtime).constData(), kNobody, kNobody) == 0);
        AppPaths::setProgramFolder(shared.path());
        const QByteArray got = runAs(kNobody, kNobody, [&] {
            qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtime));
            const Mmain::StartResult r = Mmain::Main();
            return QByteArray::number(r.running) + ' ' + lastTitle().toUtf8() + ' ' + lastText().toUtf8();
        });
        // A copy of that account that is seen to run (a lock this user may
        // read, of a live process on this machine) is a copy that runs.
        QVERIFY(fileAs(lock,
                       QByteArray::number(QCoreApplication::applicationPid()) + '\n'
                           + QFileInfo(QCoreApplication::applicationFilePath()).fileName().toUtf8() + '\n'
                           + QSysInfo::machineHostName().toUtf8() + '\n',
                       kDaemon));
        MessageBox::clearShown();
        QVERIFY(::chown(QFile::encodeName(shared.path()).constData(), 0, 0) == 0);
        checkRefused(Mmain::Main());
        const QString running = lastText();
        AppPaths::setProgramFolder(f.path());
        QCOMPARE(running, QStringLiteral("此程式已经在执行中！"));
        QCOMPARE(QString::fromUtf8(got),
                 QStringLiteral("0 对不起 程序文件夹中的锁文件 %1 属于账户 daemon，无法判断该账户的程序是否仍在执行。\n"
                                "请确认该账户已退出本程序，再由该账户或管理员删除这个文件，然后重新启动。")
                     .arg(lock));
        QVERIFY(QFile::exists(lock));
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
        // Two real copies of the program on one program folder, on an X server of the test's own.
        if (const char* missing = realProgramMissing())
            QSKIP(missing);
        TestFolder f(false);
        QVERIFY(copyProgramInto(f));

        // Declared first, so that it ends after both copies, whatever the outcome.
        VirtualDisplay x;
        QVERIFY2(x.start(), qPrintable(x.error()));
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.remove(QStringLiteral("QT_QPA_PLATFORM"));
        env.insert(QStringLiteral("DISPLAY"), x.display());
        const auto copy = [&](QProcess& p) {
            p.setProcessEnvironment(env);
            p.setWorkingDirectory(f.path());
            p.setProcessChannelMode(QProcess::MergedChannels);
            p.start(f.file(QStringLiteral("pelrand")), {});
        };
        // The first copy runs until its login window is up; the second must show the
        // refusal, and end once it is answered, while the first goes on.
        QProcess first, second;
        copy(first);
        QVERIFY2(!findWindow(env, QStringLiteral("用户登录"), first).isEmpty(), first.readAll().constData());
        copy(second);
        const QString box = findWindow(env, QStringLiteral("对不起"), second);
        QVERIFY2(!box.isEmpty(), second.readAll().constData());
        QVERIFY(answerBox(env, box));
        QVERIFY2(second.waitForFinished(kWait), "the refused copy did not end once its box was answered");
        QCOMPARE(second.exitStatus(), QProcess::NormalExit);
        QCOMPARE(second.exitCode(), 1);
        QCOMPARE(first.state(), QProcess::Running);
        first.terminate();
        QVERIFY(first.waitForFinished(kWait));
    }

    // The real program in a program folder anyone may write, which holds what Qt would take
    // from an executable's folder: a qt.conf naming no plugins and plugin-shaped files. The
    // start opens none of them and loads none; it shows its box (also on standard error) and,
    // answered, ends with status 1. So also where the box cannot come from a copy of the
    // program in memory (here a file-size limit stops the copy).
    void refusedFolderReadsNothing_data()
    {
        QTest::addColumn<bool>("copyFails");
        QTest::addColumn<bool>("display");
        QTest::newRow("from a copy in memory") << false << true;
        QTest::newRow("where no copy can be made") << true << true;
        // No display at all (a plain terminal): standard error says it, no window is tried.
        QTest::newRow("without a display") << false << false;
    }
    void refusedFolderReadsNothing()
    {
        QFETCH(bool, copyFails);
        QFETCH(bool, display);
        if (const char* missing = realProgramMissing())
            QSKIP(missing);
        TestFolder f(false);
        QVERIFY(copyProgramInto(f));
        const QString exe = f.file(QStringLiteral("pelrand"));
        const QStringList planted = {QStringLiteral("platforms"), QStringLiteral("platformthemes"),
                                     QStringLiteral("platforminputcontexts"), QStringLiteral("styles"),
                                     QStringLiteral("imageformats")};
        for (const QString& sub : planted)
            QVERIFY(QDir().mkdir(f.file(sub)) && writeBytes(f.file(sub + QStringLiteral("/libx.so")), "not a plugin"));
        for (const char* conf : {"qt.conf", "qt6.conf"})
            QVERIFY(writeBytes(f.file(QString::fromLatin1(conf)), "[Paths]\nPlugins=/nonexistent\n"));
        QVERIFY(writeBytes(f.file(QStringLiteral("libx.so")), "not a plugin"));
        QVERIFY(::chmod(QFile::encodeName(f.path()).constData(), 01777) == 0);

        // Every open in the folder and its subfolders, from here on.
        const int watch = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
        QVERIFY(watch >= 0);
        QMap<int, QString> watched;
        for (const QString& sub : QStringList{QString()} + planted)
            watched.insert(::inotify_add_watch(watch, QFile::encodeName(f.file(sub)).constData(), IN_OPEN | IN_ACCESS),
                           sub);
        QVERIFY(!watched.contains(-1));

        VirtualDisplay x;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.remove(QStringLiteral("QT_QPA_PLATFORM"));
        env.remove(QStringLiteral("WAYLAND_DISPLAY"));
        env.remove(QStringLiteral("DISPLAY"));
        if (display) {
            QVERIFY2(x.start(), qPrintable(x.error()));
            env.insert(QStringLiteral("DISPLAY"), x.display());
        }
        QProcess refused;
        refused.setProcessEnvironment(env);
        refused.setWorkingDirectory(f.path());
        if (copyFails)
            refused.setChildProcessModifier([] {
                const rlimit small{1 << 20, 1 << 20};
                ::signal(SIGXFSZ, SIG_IGN);
                ::setrlimit(RLIMIT_FSIZE, &small);
            });
        refused.start(exe, {});
        if (display) {
            const QString box = findWindow(env, QStringLiteral("对不起"), refused);
            QVERIFY2(!box.isEmpty(), "the refused start showed no box");
            QVERIFY(answerBox(env, box));
        }
        QVERIFY2(refused.waitForFinished(kWait), "the refused start did not end once its box was answered");
        QCOMPARE(refused.exitStatus(), QProcess::NormalExit);
        QCOMPARE(refused.exitCode(), 1);
        const QString said = QString::fromUtf8(refused.readAllStandardError());
        QVERIFY2(said.contains(QStringLiteral("对不起\n程序文件夹 %1 ").arg(f.path())), qPrintable(said));

        // The folder itself was opened (the check), and the executable (its start); nothing else.
        QStringList opened;
        char buffer[64 * 1024];
        for (ssize_t n; (n = ::read(watch, buffer, sizeof buffer)) > 0;)
            for (const char* at = buffer; at < buffer + n;) {
                const auto* event = reinterpret_cast<const inotify_event*>(at);
                const QString name = event->len ? QFile::decodeName(event->name) : QString();
                const QString path = watched.value(event->wd) + (name.isEmpty() ? QString() : QLatin1Char('/') + name);
                if (path != QStringLiteral("/pelrand") && !path.isEmpty())
                    opened.append(path);
                at += sizeof(inotify_event) + event->len;
            }
        ::close(watch);
        QVERIFY2(opened.isEmpty(), qPrintable(opened.join(QLatin1Char(' '))));
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
        // A file-size limit fails a write rather than ending the program.
        struct sigaction xfsz {};
        QVERIFY(sigaction(SIGXFSZ, nullptr, &xfsz) == 0 && xfsz.sa_handler == SIG_IGN);
        QCOMPARE(w.failed(), readOnly);
        QCOMPARE(indexed, readOnly ? 0 : 1);
        if (readOnly)
            QVERIFY(w.description.startsWith(QStringLiteral("数据库文件是只读的")));
    }

    // The program folder the build assembles keeps its pictures and its settings to its owner.
    void builtProgramFolder()
    {
        const QString img = QStringLiteral(WS_BINARY_DIR "/program/img");
        if (!QFileInfo(img).isDir())
            QSKIP("the program folder has not been assembled");
        const auto others = ~(QFile::ReadUser | QFile::WriteUser | QFile::ExeUser);
        QCOMPARE(QFileInfo(img).permissions() & others, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        const QFileInfo ini(QStringLiteral(WS_BINARY_DIR "/program/options.ini"));
        QVERIFY(ini.exists());
        QCOMPARE(ini.permissions() & others, QFile::ReadOwner | QFile::WriteOwner);
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
        QVERIFY(lastText().endsWith(
            QStringLiteral("程序文件夹 %1 中没有数据库文件 data.db。请把最近的备份文件复制到这个文件夹并改名为 "
                           "data.db，然后重新启动。")
                .arg(QDir::toNativeSeparators(AppPaths::programFolder()))));
        QVERIFY(!QFile::exists(AppPaths::databaseFile()));
        // The lock is given back, so the user can start again once the file is restored.
        InstanceGuard again(AppPaths::programFolder());
        QVERIFY(again.tryAcquire());
    }

    // A data.db that is an empty file is a damaged database: error 3000, not
    // the engine's words about a missing table; the file is left as it is.
    void emptyDatabaseFile()
    {
        TestFolder f(false);
        QVERIFY(writeBytes(AppPaths::databaseFile(), QByteArray()));
        checkRefused(Mmain::Main());
        QVERIFY(lastText().contains(QStringLiteral("3000")));
        QVERIFY(lastText().contains(QStringLiteral("未能连接到数据库，数据库被更名或损坏！")));
        QVERIFY(!lastText().contains(QStringLiteral("no such table")));
        QCOMPARE(QFileInfo(AppPaths::databaseFile()).size(), 0);
    }

    // A data.db that is no database of this program (bytes of nothing, a
    // database of another key, one without a key) ends the start with error
    // 3000 and what to do; the file is left byte for byte.
    void foreignDatabaseFileIsKept_data()
    {
        QTest::addColumn<QByteArray>("key");   // null: bytes of nothing
        QTest::newRow("not a database") << QByteArray();
        QTest::newRow("another key") << QByteArray("another key");
        QTest::newRow("no key") << QByteArray("");
    }
    void foreignDatabaseFileIsKept()
    {
        QFETCH(QByteArray, key);
        TestFolder f(false);
        const QString path = AppPaths::databaseFile();
        QVERIFY(QFile::remove(path));
        if (key.isNull()) {
            QByteArray junk(64 * 1024, '\0');
            for (int i = 0; i < junk.size(); ++i)
                junk[i] = char((i * 7919) >> 3);
            QVERIFY(writeBytes(path, junk));
        } else {
            sqlite3* db = nullptr;
            QVERIFY(sqlite3_open(QFile::encodeName(path).constData(), &db) == SQLITE_OK);
            if (!key.isEmpty())
                QVERIFY(sqlite3_exec(db, "PRAGMA key = '" + key + "'", nullptr, nullptr, nullptr) == SQLITE_OK);
            QVERIFY(
                sqlite3_exec(db, "CREATE TABLE reports (a); INSERT INTO reports VALUES (1);", nullptr, nullptr, nullptr)
                == SQLITE_OK);
            sqlite3_close(db);
        }
        const QByteArray before = readBytes(path);
        const auto listing = [&] {
            return QDir(f.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
        };
        const QStringList files = listing();
        checkRefused(Mmain::Main());
        QVERIFY(lastText().contains(QStringLiteral("3000")));
        QVERIFY(lastText().contains(QStringLiteral("未能连接到数据库，数据库被更名或损坏！\r\n错误")));
        QVERIFY2(lastText().endsWith(
                     QStringLiteral("程序没有改动 %1。请先把它另存一份，再把最近的备份文件复制到程序文件夹 %2 "
                                    "并改名为 data.db，然后重新启动。")
                         .arg(QDir::toNativeSeparators(path), QDir::toNativeSeparators(AppPaths::programFolder()))),
                 qPrintable(lastText()));
        QCOMPARE(readBytes(path), before);
        QCOMPARE(listing(), files);
    }

    // A data.db of another account that this one may not read is not called
    // damaged: the start says whose permission is missing and not to replace
    // it with a backup.
    void othersDatabaseIsNotCalledDamaged()
    {
        if (!canActAsOthers())
            QSKIP("acting as other accounts needs root");
        TestFolder f(false);
        const SharedFolder shared(kNobody);
        QVERIFY(shared.ok() && ::chmod(QFile::encodeName(shared.path()).constData(), 0700) == 0);
        const QString db = shared.file(QStringLiteral("data.db"));
        const QByteArray bytes = readBytes(AppPaths::databaseFile());
        QVERIFY(fileAs(db, bytes, kDaemon));
        const QString runtime = QFileInfo(shared.path()).path() + QStringLiteral("/runtime");
        QVERIFY(QDir().mkdir(runtime) && ::chown(QFile::encodeName(runtime).constData(), kNobody, kNobody) == 0);
        AppPaths::setProgramFolder(shared.path());
        const QByteArray got = runAs(kNobody, kNobody, [&] {
            qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtime));
            const Mmain::StartResult r = Mmain::Main();
            return QByteArray::number(r.running) + ' ' + lastText().toUtf8();
        });
        AppPaths::setProgramFolder(f.path());
        const QString text = QString::fromUtf8(got);
        QVERIFY2(text.startsWith(QStringLiteral("0 运行时错误 '3000'")), qPrintable(text));
        QVERIFY2(
            text.endsWith(QStringLiteral("本账户没有读取 %1 的权限，程序没有改动它，它本身可能完好。"
                                         "请系统管理员给本账户读写这个文件的权限，然后重新启动；不要用备份替换它。")
                              .arg(db)),
            qPrintable(text));
        QCOMPARE(readBytes(db), bytes);
    }

    // An options.ini that is empty, not text or not readable leaves every
    // setting at its default: the start says so and what to do, reaches the
    // login window, and leaves the file as it was.
    void unusableSettingsFileIsSaid_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("said");
        QTest::newRow("binary") << QByteArray("[system]\r\nhname=\xFF\xFE\x80\x81\xFF\r\n")
                                << QStringLiteral("不是 UTF-8 或 GB18030 编码的文本");
        QTest::newRow("zeros") << QByteArray(2048, '\0') << QStringLiteral("不是 UTF-8 或 GB18030 编码的文本");
        QTest::newRow("empty") << QByteArray("") << QStringLiteral("是空的");
        QTest::newRow("a folder") << QByteArray() << QStringLiteral("无法读取设置文件 options.ini");
    }
    void unusableSettingsFileIsSaid()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, said);
        TestFolder f(false);
        QVERIFY(QFile::remove(AppPaths::iniFile()));
        if (bytes.isNull())
            QVERIFY(QDir().mkdir(AppPaths::iniFile()));
        else
            QVERIFY(writeBytes(AppPaths::iniFile(), bytes));
        const Mmain::StartResult r = Mmain::Main();
        const bool loginShown = login::current() && login::current()->isVisible();
        Mmain::ReleaseInstanceLock();
        Database::CloseDatabase();
        QVERIFY(r.running && loginShown);
        QCOMPARE(MessageBox::shownBoxes().size(), 1);
        QCOMPARE(lastTitle(), MessageBox::kSettingsErrorTitle);
        QVERIFY2(lastText().contains(said) && lastText().contains(QStringLiteral("默认值"))
                     && lastText().contains(QStringLiteral("请")),
                 qPrintable(lastText()));
        if (bytes.isNull())
            QVERIFY(QFileInfo(AppPaths::iniFile()).isDir());
        else
            QCOMPARE(readBytes(AppPaths::iniFile()), bytes);
    }

    // The first opening of a database made before the newest indexes builds
    // them with a notice on screen: painted before the build starts, gone once
    // it is done; then the login window. The next start has nothing to build.
    void olderDatabaseShowsNotice()
    {
        TestFolder f;
        QVERIFY(TestFolder::exec(QStringLiteral("BEGIN")));
        for (int i = 0; i < 300; ++i)
            QVERIFY(Database::ExecuteSql(QStringLiteral("INSERT INTO reports (obligate5, brname, rpdate, checksymptom) "
                                                        "VALUES (?, '某', '2024-05-01', ?)"),
                                         {QStringLiteral("N%1").arg(i), QString(200, QChar(0x4e00 + i))})
                        .ok());
        QVERIFY(TestFolder::exec(QStringLiteral("COMMIT")));
        QVERIFY(TestFolder::exec(QStringLiteral("DROP INDEX reports_find")));
        QVERIFY(TestFolder::exec(QStringLiteral("DROP INDEX reports_stats")));
        Database::CloseDatabase();
        const QStringList newest = {QStringLiteral("reports_find"), QStringLiteral("reports_stats")};
        {
            NoticeWatch watch([&] { return indexesPresent(newest) == 2; });
            checkStarted(Mmain::Main());
            QCOMPARE(watch.notices.size(), 1);
            QCOMPARE(watch.notices[0].name, QStringLiteral("Pelrand"));
            QCOMPARE(watch.notices[0].line, WorkNotice::preparingLine());
            QVERIFY(watch.notices[0].paintedBeforeDone);
            QVERIFY(watch.notices[0].goneAfterDone);
            QVERIFY(!WorkNotice::current());
        }
        QCOMPARE(indexesPresent(newest), 2);
        cleanup();
        Database::CloseDatabase();
        NoticeWatch again;
        checkStarted(Mmain::Main());
        QVERIFY(again.notices.isEmpty());
        Mmain::ReleaseInstanceLock();   // while its folder is still there
    }

    // A data.db of an earlier build (1 KB pages) is converted with the same
    // kind of notice: painted while the file still has the old pages.
    void earlierDatabaseShowsNotice()
    {
        TestFolder f(false);
        const QString db = AppPaths::databaseFile();
        QVERIFY(QFile::remove(db));
        QVERIFY(makeEarlierDatabase(db, Database::ShippedSchema()
                                            + QStringLiteral("INSERT INTO reports (obligate5, brname, rpdate) "
                                                             "VALUES ('E1', '张三', '2019-01-02');")));
        NoticeWatch watch([&] { return readsWithPages(db, 4096); });
        checkStarted(Mmain::Main());
        QCOMPARE(watch.notices.size(), 1);
        QCOMPARE(watch.notices[0].line, WorkNotice::convertingLine());
        QVERIFY(watch.notices[0].paintedBeforeDone);
        QVERIFY(watch.notices[0].goneAfterDone);
        QCOMPARE(countReports(), 1);
        Mmain::ReleaseInstanceLock();
    }

    // A database of an earlier build that cannot be converted (the disk is
    // full; a file size limit stands in for it) is whole: the start says why
    // and not to replace it by a backup, and leaves it and nothing else.
    void earlierDatabaseOnFullDisk()
    {
        TestFolder f(false);
        const QString db = AppPaths::databaseFile();
        QVERIFY(QFile::remove(db));
        QVERIFY(
            makeEarlierDatabase(db, Database::ShippedSchema()
                                        + QStringLiteral("INSERT INTO reports (obligate5, brname, rpdate, picture1) "
                                                         "VALUES ('E1', '张三', '2019-01-02', randomblob(400000));")));
        const QByteArray before = readBytes(db);
        const QStringList files = QDir(f.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
        {
            const FileSizeLimit limit(64 * 1024);
            QVERIFY(limit.ok());
            checkRefused(Mmain::Main());
        }
        QVERIFY2(lastText().contains(QStringLiteral("是早先版本的数据库，要转换后才能使用，但转换没有完成（"))
                     && lastText().endsWith(
                         QStringLiteral("；它没有改动，本身完好。\r\n请腾出磁盘空间或给程序文件夹写入权限，"
                                        "然后重新启动；不要用备份替换它。")),
                 qPrintable(lastText()));
        QVERIFY(!lastText().contains(QStringLiteral("损坏！")));
        QCOMPARE(readBytes(db), before);
        QCOMPARE(QDir(f.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot), files);
        // With room, the same file starts.
        MessageBox::clearShown();
        checkStarted(Mmain::Main());
        QCOMPARE(countReports(), 1);
        Mmain::ReleaseInstanceLock();
    }

    // Under any umask the lock file and a settings file the program makes are
    // the owner's alone.
    void privateModes()
    {
        const UmaskScope open(0);
        TestFolder f(false);
        QVERIFY(QFile::remove(AppPaths::iniFile()));
        checkStarted(Mmain::Main());
        QCOMPARE(fileMode(QDir(f.path()).canonicalPath() + QStringLiteral("/pelrand.lock")), 0600);
        QVERIFY(Modini::SetIniValue(IniKey::SkinId, QStringLiteral("2")));
        QCOMPARE(fileMode(AppPaths::iniFile()), 0600);
        Mmain::ReleaseInstanceLock();
    }

    // What killed restores, conversions and settings writes left in the
    // program folder goes at the next start; a file that a running program
    // still writes (locked) stays, and so does everything that is not ours.
    void leftoversGoAtStart()
    {
        TestFolder f(false);
        const QStringList left = {QStringLiteral(".data.db-Ab3dE9"), QStringLiteral(".data.db.restore-x1Y2z3"),
                                  QStringLiteral("data.db.restore"), QStringLiteral("data.db.convert"),
                                  QStringLiteral(".options.ini-q1w2e3")};
        const QStringList kept = {QStringLiteral(".data.db-InUse1"), QStringLiteral(".profile-abcdef"),
                                  QStringLiteral(".data.db-short"), QStringLiteral("old.BAK"),
                                  QStringLiteral("notes.txt")};
        for (const QString& name : left + kept)
            QVERIFY(writeBytes(f.file(name), "patient data"));
        const int held = ::open(QFile::encodeName(f.file(kept[0])).constData(), O_RDONLY | O_CLOEXEC);
        QVERIFY(held >= 0 && ::flock(held, LOCK_EX) == 0);
        checkStarted(Mmain::Main());
        Mmain::ReleaseInstanceLock();
        ::close(held);
        for (const QString& name : left)
            QVERIFY2(!QFile::exists(f.file(name)), qPrintable(name));
        for (const QString& name : kept)
            QVERIFY2(QFile::exists(f.file(name)), qPrintable(name));
    }

    // The decrypted report pictures that a killed program left in img (the
    // editor's slots and the preview's copies) go at the next start; other
    // pictures stay, and a copy refused because another one runs touches
    // nothing (the other copy may be showing them).
    void decryptedPicturesGoAtStart()
    {
        TestFolder f(false);
        QStringList left;
        for (int n = 1; n <= 4; ++n)
            left << QStringLiteral("img/rpt%1.jpg").arg(n) << QStringLiteral("img/rptview%1.jpg").arg(n);
        const QStringList kept = {QStringLiteral("img/rpt5.jpg"),       QStringLiteral("img/rpt1.png"),
                                  QStringLiteral("img/xrpt1.jpg"),      QStringLiteral("img/rptview.jpg"),
                                  QStringLiteral("img/20240502-1.jpg"), QStringLiteral("rpt1.jpg")};
        QVERIFY(QDir().mkpath(f.file(QStringLiteral("img"))));
        for (const QString& name : left + kept)
            QVERIFY(writeBytes(f.file(name), "patient picture"));
        {
            InstanceGuard other(AppPaths::programFolder());
            QVERIFY(other.tryAcquire());
            checkRefused(Mmain::Main());
            for (const QString& name : left)
                QVERIFY2(QFile::exists(f.file(name)), qPrintable(name));
        }
        MessageBox::clearShown();
        checkStarted(Mmain::Main());
        Mmain::ReleaseInstanceLock();
        for (const QString& name : left)
            QVERIFY2(!QFile::exists(f.file(name)), qPrintable(name));
        for (const QString& name : kept)
            QVERIFY2(QFile::exists(f.file(name)), qPrintable(name));
    }

    // A capture killed while it writes its pictures under temporary names
    // (file systems without unnamed files) leaves them hidden in img: the next
    // start removes them, and keeps the pictures written whole and any hidden
    // file that is not a capture's.
    void killedCaptureLeavesNothing()
    {
        TestFolder f(false);
        const QString img = f.file(QStringLiteral("img"));
        QVERIFY(QDir().mkpath(img));
        const QString other = img + QStringLiteral("/.notes.txt-abc123");
        QVERIFY(writeBytes(other, "a file of someone else's"));
        const QByteArray picture(8 << 20, 'p');
        const auto hidden = [&] {
            return QDir(img).entryList({QStringLiteral(".pelrand-*")}, QDir::Files | QDir::Hidden);
        };
        for (int tries = 0; tries < 20 && hidden().isEmpty(); ++tries) {
            const pid_t child = ::fork();
            if (child == 0) {
                PrivateFile::setUnnamedTemporaries(false);
                for (;;)
                    for (const char* name : {"/image1.jpg", "/image1.bmp"})
                        PrivateFile::replace(img + QLatin1String(name), picture);
            }
            QVERIFY(child > 0);
            for (int waited = 0; waited < 60000 && hidden().isEmpty(); waited += 1)
                QThread::msleep(1);
            ::kill(child, SIGKILL);
            ::waitpid(child, nullptr, 0);
        }
        QVERIFY(!hidden().isEmpty());
        checkStarted(Mmain::Main());
        Mmain::ReleaseInstanceLock();
        QVERIFY2(hidden().isEmpty(), qPrintable(hidden().join(QLatin1Char(' '))));
        QVERIFY(QFile::exists(other));
        for (const char* name : {"/image1.jpg", "/image1.bmp"})
            if (QFile::exists(img + QLatin1String(name)))
                QVERIFY(readBytes(img + QLatin1String(name)) == picture);
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
