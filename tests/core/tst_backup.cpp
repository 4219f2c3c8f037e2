// Backup, restore and clear from the main window's menu, against real database files.
#include "core/FrmMain.h"
#include "core/Database.h"
#include "core/ModBackup.h"
#include "core/ModBackupTesting.h"
#include "core/Palette.h"
#include "core/ReportList.h"
#include "core/WorkNotice.h"
#include "platform/AppPaths.h"
#include "platform/Environment.h"
#include "platform/FileDialogs.h"
#include "platform/MessageBox.h"
#include "platform/PrivateFile.h"
#include "platform/PrivateFileTesting.h"
#include "support/CoreKit.h"
#include "support/OtherAccount.h"
#include "support/TestFolder.h"

#include <QDateEdit>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QTableView>
#include <QTest>

#include <csignal>
#include <functional>
#include <fcntl.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace kit;

namespace {
const QDate kToday(2024, 5, 2);
// The refusal users know, then why the file is not taken.
QString wrongFile(const char* why) { return QStringLiteral("请选择正确的备份文件\r\n\r\n") + QString::fromUtf8(why); }
const QString kWrongFile = QStringLiteral("请选择正确的备份文件");   // a name that is no backup's
const QString kNotWhole =
    wrongFile("这个文件不是本程序完整无损的备份（可能还没有写完、已经损坏，或是别的程序的文件）。");
const QString kChanged = wrongFile("这个文件在恢复的过程中被改动了（可能正在写入），请等它写完再恢复。");

void addReport(const QString& exam)
{
    QVERIFY(Database::ExecuteSql(QStringLiteral("INSERT INTO reports (obligate5, brname, rpdate) VALUES (?, '某', ?)"),
                                 {exam, kToday.toString(Qt::ISODate)})
                .ok());
}

// Adds reports with a picture of about 1 MB each, so that copying the
// database takes a while.
void addBigReports(int count, const QString& prefix)
{
    QVERIFY(TestFolder::exec(QStringLiteral("BEGIN")));
    for (int i = 0; i < count; ++i)
        QVERIFY(Database::ExecuteSql(QStringLiteral("INSERT INTO reports (obligate5, brname, rpdate, picture1) "
                                                    "VALUES (?, '某', ?, randomblob(1000000))"),
                                     {prefix + QString::number(i), kToday.toString(Qt::ISODate)})
                    .ok());
    QVERIFY(TestFolder::exec(QStringLiteral("COMMIT")));
}

using Step = ModBackup::internal::Step;
constexpr Step kSteps[] = {Step::Opened, Step::Copied, Step::Written, Step::InPlace};

// Runs work in a child process that is killed (SIGKILL, as by kill -9 or a
// power cut) the first time the copy reaches step. True when it ended there.
bool killedAt(Step step, const std::function<void()>& work)
{
    const pid_t pid = ::fork();
    if (pid == 0) {
        ModBackup::setStepHook([step](Step now, qint64) {
            if (now == step)
                ::raise(SIGKILL);
        });
        work();
        ::_exit(0);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL;
}

bool hasUnnamedFiles(const QString& folder)
{
    const int probe = ::open(QFile::encodeName(folder).constData(), O_TMPFILE | O_RDWR, 0600);
    if (probe >= 0)
        ::close(probe);
    return probe >= 0;
}

// Overwrites 4 KB of a file in place at offset and sets its modification
// time back, as a program that keeps the time would.
bool scribble(const QString& path, qint64 offset)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_WRONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    struct stat st {};
    const QByteArray junk(4096, 'x');
    bool ok = ::fstat(fd, &st) == 0 && ::pwrite(fd, junk.constData(), size_t(junk.size()), offset) == junk.size();
    const timespec times[2] = {st.st_atim, st.st_mtim};
    ok = ok && ::futimens(fd, times) == 0;
    ::close(fd);
    return ok;
}

QStringList filesIn(const QString& folder)
{
    return QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::System, QDir::Name);
}
}

class tst_Backup : public QObject {
    Q_OBJECT

    // Restoring from this file is refused with a box that begins with this text, and nothing changes.
    void restoreRefused(const QString& file, const QString& text)
    {
        const QByteArray before = readBytes(AppPaths::databaseFile());
        const int reports = countReports();
        MessageBox::clearShown();
        FileDialogs::queueAnswer(file);
        window_->还原数据_Click();
        QVERIFY2(lastText().startsWith(text), qPrintable(lastText()));
        QCOMPARE(lastTitle(), QStringLiteral("操作取消"));
        QVERIFY(Database::isOpen());
        QCOMPARE(readBytes(AppPaths::databaseFile()), before);
        QCOMPARE(countReports(), reports);
        QVERIFY(!QFile::exists(AppPaths::databaseFile() + QStringLiteral(".restore")));
        QVERIFY(!QGuiApplication::overrideCursor());
    }

    void backupTo(const QString& file)
    {
        FileDialogs::queueAnswer(file);
        window_->备份数据_Click();
    }

private slots:
    void init()
    {
        folder_ = freshFolder(kToday);
        QVERIFY(folder_->ok());
        actAsAdmin();
        addReport(QStringLiteral("B1"));
        window_ = FrmMain::ShowMain();
    }
    void cleanup()
    {
        ModBackup::setStepHook({});
        PrivateFile::setUnnamedTemporaries(true);
        closeWindows();
        folder_.reset();
    }

    void backupNamesAndCancel()
    {
        // Cancel: nothing shown, the database still open.
        backupTo(QString());
        QVERIFY(MessageBox::shownBoxes().isEmpty());
        QVERIFY(Database::isOpen());
        QCOMPARE(FileDialogs::asked().last().title, QStringLiteral("备份数据库"));
        QCOMPARE(FileDialogs::asked().last().folder, AppPaths::programFolder());

        // Another ending is refused.
        backupTo(folder_->file(QStringLiteral("copy.mdb")));
        QCOMPARE(lastText(), QStringLiteral("请设置备份文件的后缀名为BAK"));
        QCOMPARE(lastTitle(), QStringLiteral("操作取消"));
        QVERIFY(!QFile::exists(folder_->file(QStringLiteral("copy.mdb"))));

        // Any case of "bak", with or without a dot; an existing file is replaced.
        const QString target = folder_->file(QStringLiteral("copybAk"));
        QVERIFY(writeBytes(target, "old contents"));
        MessageBox::clearShown();
        backupTo(target);
        QVERIFY(MessageBox::shownBoxes().isEmpty());
        QCOMPARE(readBytes(target), readBytes(AppPaths::databaseFile()));
        // A name that links to another file writes that file and keeps the link.
        const QString link = folder_->file(QStringLiteral("latest.bak"));
        QVERIFY(QFile::link(target, link));
        QVERIFY(writeBytes(target, QByteArray()));
        backupTo(link);
        QVERIFY(MessageBox::shownBoxes().isEmpty());
        QVERIFY(QFileInfo(link).isSymLink());
        QCOMPARE(readBytes(target), readBytes(AppPaths::databaseFile()));
        // The next dialog offers the previous name.
        FileDialogs::queueAnswer(QString());
        window_->还原数据_Click();
        QCOMPARE(FileDialogs::asked().last().folder, link);
        QCOMPARE(FileDialogs::asked().last().title, QStringLiteral("恢复数据库"));
    }

    // In a folder shared with other accounts, a name that is another
    // account's link is neither written nor read through: that account
    // could point it at any file of ours. The message names the link; the
    // file it points at, the link and the database stay as they were, also
    // behind the user's own link. The user's own links, and the folder
    // owner's, are followed.
    void othersLinksAreNotFollowed()
    {
        if (!canActAsOthers())
            QSKIP("making another account's link needs root");
        const SharedFolder shared;
        QVERIFY(shared.ok());
        const QString precious = QFileInfo(shared.path()).path() + QStringLiteral("/precious");
        QVERIFY(writeBytes(precious, "root's own file"));
        const QString link = shared.file(QStringLiteral("x.BAK"));
        QVERIFY(linkAs(precious, link, kNobody));
        // The box begins with its number and the link it names.
        const QString refused = QStringLiteral("错误 75:") + link;

        MessageBox::clearShown();
        backupTo(link);
        QVERIFY2(lastText().startsWith(refused), qPrintable(lastText()));
        QCOMPARE(lastTitle(), QStringLiteral("操作取消"));
        QCOMPARE(readBytes(precious), QByteArray("root's own file"));
        QVERIFY(QFileInfo(link).isSymLink());
        QVERIFY(Database::isOpen());
        QCOMPARE(filesIn(shared.path()), QStringList{QStringLiteral("x.BAK")});
        // Nor through the user's own link that leads to it: the box names it.
        const QString chain = QFileInfo(shared.path()).path() + QStringLiteral("/chain.BAK");
        QVERIFY(QFile::link(link, chain));
        backupTo(chain);
        QVERIFY2(lastText().startsWith(refused), qPrintable(lastText()));
        QCOMPARE(readBytes(precious), QByteArray("root's own file"));
        QVERIFY(QFile::remove(chain));

        // A whole backup behind another account's link is not restored.
        const QString backup = QFileInfo(shared.path()).path() + QStringLiteral("/whole.BAK");
        backupTo(backup);
        addReport(QStringLiteral("B2"));
        const QString restoreLink = shared.file(QStringLiteral("y.BAK"));
        QVERIFY(linkAs(backup, restoreLink, kNobody));
        restoreRefused(restoreLink, QStringLiteral("错误 75:") + restoreLink);

        // The user's own link in the shared folder is followed both ways.
        const QString own = shared.file(QStringLiteral("own.BAK"));
        QVERIFY(QFile::link(backup, own));
        MessageBox::clearShown();
        FileDialogs::queueAnswer(own);
        window_->还原数据_Click();
        QVERIFY(MessageBox::shownBoxes().isEmpty());
        QCOMPARE(countReports(), 1);
        backupTo(own);
        QVERIFY(MessageBox::shownBoxes().isEmpty());
        QCOMPARE(readBytes(backup), readBytes(AppPaths::databaseFile()));
    }

    void roundTripIsByteExact()
    {
        // Backups and the restored database are owner-only whatever the umask.
        const UmaskScope umask(022);
        const QString backup = folder_->file(QStringLiteral("day.BAK"));
        backupTo(backup);
        const QByteArray saved = readBytes(backup);
        QCOMPARE(fileMode(backup), 0600);
        QVERIFY(
            QFile::setPermissions(AppPaths::databaseFile(), QFile::ReadOwner | QFile::WriteOwner | QFile::ReadOther));

        addReport(QStringLiteral("B2"));
        window_->LoadDayList(kToday);
        QCOMPARE(ListGrid::RowCount(window_->MSHFlexGrid1), 2);

        FileDialogs::queueAnswer(backup);
        window_->还原数据_Click();
        QVERIFY(MessageBox::shownBoxes().isEmpty());
        QCOMPARE(readBytes(AppPaths::databaseFile()), saved);
        QCOMPARE(fileMode(AppPaths::databaseFile()), 0600);
        QCOMPARE(countReports(), 1);
        // The list shows the restored day at once.
        QCOMPARE(ListGrid::RowCount(window_->MSHFlexGrid1), 1);
        QCOMPARE(ListGrid::Cell(window_->MSHFlexGrid1, 0, ReportList::kExamColumn), QStringLiteral("B1"));
    }

    void foreignAndDamagedFilesAreRefused()
    {
        // Not a database, a database of another key or without reports, a wrong ending, a missing file.
        const QString junk = folder_->file(QStringLiteral("junk.bak"));
        QVERIFY(writeBytes(junk, QByteArray(8192, 'j')));
        restoreRefused(junk, kNotWhole);
        // One that is no whole number of pages is not even copied.
        QVERIFY(writeBytes(junk, QByteArray(8000, 'j')));
        bool copied = false;
        ModBackup::setStepHook([&](Step, qint64) { copied = true; });
        restoreRefused(junk, kNotWhole);
        QVERIFY(!copied);
        ModBackup::setStepHook({});
        const QString other = folder_->file(QStringLiteral("other.bak"));
        QVERIFY(Database::CreateDatabaseFile(other, QStringLiteral("CREATE TABLE t (a);")).isEmpty());
        restoreRefused(other, kNotWhole);
        restoreRefused(folder_->file(QStringLiteral("data.db")), kWrongFile);
        restoreRefused(folder_->file(QStringLiteral("gone.bak")), QStringLiteral("文件未找到"));

        // Enough reports to spread over many pages, then a backup of them.
        QVERIFY(TestFolder::exec(QStringLiteral("BEGIN")));
        for (int i = 0; i < 400; ++i)
            QVERIFY(Database::ExecuteSql(
                        QStringLiteral(
                            "INSERT INTO reports (obligate5, brname, rpdate, checkconclusion) VALUES (?, '某', ?, ?)"),
                        {QStringLiteral("M%1").arg(i), QStringLiteral("2024-05-01"), QString(300, QChar(0x4e00 + i))})
                        .ok());
        QVERIFY(TestFolder::exec(QStringLiteral("COMMIT")));
        const QString backup = folder_->file(QStringLiteral("whole.bak"));
        backupTo(backup);
        const QByteArray whole = readBytes(backup);
        QVERIFY(whole.size() > 64 * 1024);
        QVERIFY(Database::ExecuteSql(QStringLiteral("DELETE FROM reports WHERE obligate5 <> 'B1'")).ok());

        // Cut short, and one page damaged in the middle.
        const QString cut = folder_->file(QStringLiteral("cut.bak"));
        QVERIFY(writeBytes(cut, whole.left(whole.size() / 2)));
        restoreRefused(cut, kNotWhole);
        QByteArray damaged = whole;
        damaged.replace(damaged.size() / 2, 64, QByteArray(64, 'z'));
        QVERIFY(writeBytes(cut, damaged));
        restoreRefused(cut, kNotWhole);
        // A whole backup that this account may not read is refused as such.
        if (canActAsOthers()) {
            const SharedFolder shared;
            QVERIFY(shared.ok() && fileAs(shared.file(QStringLiteral("theirs.bak")), whole, kDaemon));
            const QByteArray why = runAs(kNobody, kNobody, [&] {
                bool refused = false;
                QString text;
                ModBackup::RestoreFrom(shared.file(QStringLiteral("theirs.bak")), &refused, &text);
                return refused ? text.toUtf8() : QByteArray("taken");
            });
            QCOMPARE(QString::fromUtf8(why), QStringLiteral("本账户没有读取这个文件的权限。"));
        }

        // The whole one restores, and the list shows the day it showed before.
        window_->DTPicker1->setDate(QDate(2024, 5, 1));
        QVERIFY(ReportList::IsEmpty(window_->MSHFlexGrid1));
        MessageBox::clearShown();
        FileDialogs::queueAnswer(backup);
        window_->还原数据_Click();
        QVERIFY(MessageBox::shownBoxes().isEmpty());
        QCOMPARE(countReports(), 401);
        QCOMPARE(ListGrid::RowCount(window_->MSHFlexGrid1), 400);
        QCOMPARE(window_->DTPicker1->date(), QDate(2024, 5, 1));
    }

    void failedCopyReopensTheDatabase()
    {
        backupTo(folder_->file(QStringLiteral("no/such/folder/x.bak")));
        QCOMPARE(lastText(), QStringLiteral("错误 76:路径未找到"));
        QCOMPARE(lastTitle(), QStringLiteral("操作取消"));
        QVERIFY(Database::isOpen());
        QCOMPARE(countReports(), 1);
        // A name longer than the file system takes says so.
        backupTo(folder_->file(QString(300, QChar(0x533B)) + QStringLiteral(".BAK")));
        QCOMPARE(lastText(), QStringLiteral("错误 75:文件名太长"));
        QVERIFY(Database::isOpen());

        // A disk that fills up during the copy: the old backup stays as it was
        // and no half copy is left (a file size limit stands in for the full disk).
        const QString old = folder_->file(QStringLiteral("old.bak"));
        QVERIFY(writeBytes(old, "the backup of last week"));
        const QStringList before = QDir(folder_->path()).entryList(QDir::Files | QDir::Hidden);
        {
            const FileSizeLimit limit(16 * 1024);
            QVERIFY(limit.ok());
            backupTo(old);
        }
        QCOMPARE(lastText(), QStringLiteral("错误 61:磁盘已满"));
        QCOMPARE(lastTitle(), QStringLiteral("操作取消"));
        QVERIFY(!QGuiApplication::overrideCursor());
        QCOMPARE(readBytes(old), QByteArray("the backup of last week"));
        QCOMPARE(QDir(folder_->path()).entryList(QDir::Files | QDir::Hidden), before);
        QVERIFY(Database::isOpen());
        QCOMPARE(countReports(), 1);

        QCOMPARE(ModBackup::TrapMessage({70, QString()}),
                 QStringLiteral("数据库文件正在使用中，请关闭相关的应用再进行操作"));
        // An access refused here is a place this account may not write (a
        // read-only program folder, another account's folder): said as such.
        // A file in use keeps the sentence users know.
        const QString noWrite = QStringLiteral("错误 70:没有权限：本账户不能写入所选的位置或程序文件夹。"
                                               "请换一个位置，或请系统管理员给本账户写入权限。");
        QCOMPARE(ModBackup::TrapMessage(ModBackup::FromErrno(EACCES)), noWrite);
        QCOMPARE(ModBackup::TrapMessage(ModBackup::FromErrno(EROFS)), noWrite);
        QCOMPARE(ModBackup::TrapMessage(ModBackup::FromErrno(EBUSY)),
                 QStringLiteral("数据库文件正在使用中，请关闭相关的应用再进行操作"));
    }

    // The temporary file's name is never made from the user's: a name the
    // file system takes (here 250 bytes) is taken for a backup and a
    // restore, with unnamed temporary files and with named ones.
    void longestNameIsTaken()
    {
        const QString longest = folder_->file(QString(246, QLatin1Char('n')) + QStringLiteral(".BAK"));
        QVERIFY(writeBytes(longest, "made by touch"));
        for (const bool unnamed : {true, false}) {
            PrivateFile::setUnnamedTemporaries(unnamed);
            MessageBox::clearShown();
            backupTo(longest);
            QVERIFY2(MessageBox::shownBoxes().isEmpty(), qPrintable(lastText()));
            QCOMPARE(readBytes(longest), readBytes(AppPaths::databaseFile()));
            addReport(QStringLiteral("later"));
            FileDialogs::queueAnswer(longest);
            window_->还原数据_Click();
            QVERIFY2(MessageBox::shownBoxes().isEmpty(), qPrintable(lastText()));
            QCOMPARE(countReports(), 1);
        }
    }

    // A name is looked up once: a link put in its place while the backup is
    // written is replaced by the backup, never written through.
    void linkPutInPlaceMeanwhileIsNotFollowed()
    {
        const QString precious = folder_->file(QStringLiteral("precious"));
        QVERIFY(writeBytes(precious, "kept"));
        const QString target = folder_->file(QStringLiteral("new.bak"));
        ModBackup::setStepHook([&](Step now, qint64) {
            if (now == Step::Opened)
                QVERIFY(QFile::link(precious, target));
        });
        backupTo(target);
        QVERIFY2(MessageBox::shownBoxes().isEmpty(), qPrintable(lastText()));
        QCOMPARE(readBytes(precious), QByteArray("kept"));
        QVERIFY(!QFileInfo(target).isSymLink());
        QCOMPARE(readBytes(target), readBytes(AppPaths::databaseFile()));
    }

    // Backups and restores killed at each point they reach: the backup is
    // the old one or a whole copy, data.db is the old database or the
    // restored one, and no copy of the database is left lying about once the
    // next backup (backup folder) or the next start (program folder) has
    // tidied up. Both with unnamed temporary files and with named ones (file
    // systems without unnamed files, such as a USB stick's).
    void killedCopiesLeaveNothing_data()
    {
        QTest::addColumn<bool>("unnamed");
        QTest::newRow("unnamed temporary files") << true;
        QTest::newRow("named temporary files") << false;
    }
    void killedCopiesLeaveNothing()
    {
        QFETCH(bool, unnamed);
        if (unnamed && !hasUnnamedFiles(folder_->path()))
            QSKIP("this file system has no unnamed files");
        PrivateFile::setUnnamedTemporaries(unnamed);
        const QString backups = folder_->file(QStringLiteral("backups"));
        QVERIFY(QDir().mkpath(backups));
        // Each copy is a few of its parts long, so that a kill falls between two.
        const QString earlier = backups + QStringLiteral("/earlier.bak");
        QVERIFY(makeEarlierDatabase(earlier,
                                    Database::ShippedSchema()
                                        + QStringLiteral("INSERT INTO reports (obligate5, brname, rpdate, picture1) "
                                                         "VALUES ('E1', '张三', '2019-01-02', randomblob(2500000));")));
        addBigReports(2, QStringLiteral("K"));
        const QString target = backups + QStringLiteral("/week.BAK");
        QVERIFY(ModBackup::BackupTo(target).number == 0);
        const QByteArray restored = readBytes(target);   // the state a restore brings back
        addReport(QStringLiteral("after"));
        Database::CloseDatabase();
        const QByteArray current = readBytes(AppPaths::databaseFile());
        const QStringList programFiles = filesIn(folder_->path());
        const QStringList backupFiles = filesIn(backups);
        const auto restoreFrom = [](const QString& backup) {
            return [backup] {
                bool refused = false;
                ModBackup::RestoreFrom(backup, &refused);
            };
        };

        for (const Step step : kSteps) {
            QVERIFY(killedAt(step, [&] { ModBackup::BackupTo(target); }));
            QCOMPARE(readBytes(target), step == Step::InPlace ? current : restored);
            // A named copy is left until the next backup; an unnamed one never.
            const bool leftOne = !unnamed && step != Step::InPlace;
            QCOMPARE(filesIn(backups).size(), backupFiles.size() + (leftOne ? 1 : 0));
            QVERIFY(QFile::remove(target) && writeBytes(target, restored));
        }
        Database::OpenDatabase();
        QVERIFY(ModBackup::BackupTo(backups + QStringLiteral("/other.bak")).number == 0);
        QStringList expected = QStringList(backupFiles) << QStringLiteral("other.bak");
        expected.sort();
        QCOMPARE(filesIn(backups), expected);
        // A restore's copy always has a name (the engine checks it by its
        // name): restores are killed once, in the row that always runs.
        if (unnamed)
            return;
        Database::CloseDatabase();
        for (const QString& backup : {target, earlier}) {
            for (const Step step : kSteps) {
                QVERIFY(killedAt(step, restoreFrom(backup)));
                const QByteArray now = readBytes(AppPaths::databaseFile());
                if (step != Step::InPlace) {
                    QCOMPARE(now, current);
                    continue;
                }
                // The restored database, whole (an earlier one converted).
                QVERIFY(Database::IsWholeDatabase(AppPaths::databaseFile()));
                QVERIFY(backup == target ? now == restored : now != current);
                QVERIFY(QFile::remove(AppPaths::databaseFile()) && writeBytes(AppPaths::databaseFile(), current));
            }
        }
        // The next start removes what killed restores left.
        ModBackup::RemoveProgramFolderLeftovers();
        QCOMPARE(filesIn(folder_->path()), programFiles);
        Database::OpenDatabase();
    }

    // A temporary file that is being written is no leftover: the tidying up
    // before a backup leaves it, and it still takes its place.
    void tidyingSparesFilesInUse()
    {
        PrivateFile::setUnnamedTemporaries(false);
        const QString target = folder_->file(QStringLiteral("busy.bak"));
        {
            PrivateFile::Replacement writing(target);
            QVERIFY(writing.write("abc", 3));
            QCOMPARE(ModBackup::RemoveBackupLeftovers(target), 0);
            QCOMPARE(writing.commit(), 0);
        }
        PrivateFile::setUnnamedTemporaries(true);
        QCOMPARE(readBytes(target), QByteArray("abc"));
        QCOMPARE(filesIn(folder_->path()).filter(QStringLiteral("busy")), QStringList{QStringLiteral("busy.bak")});

        // An unnamed file also takes its place for a user who may not link any
        // file he holds open (no administrator's rights): through /proc.
        {
            const QString other = folder_->file(QStringLiteral("other"));
            QVERIFY(writeBytes(other, "x"));
            kit::Unreadable asUser(other);
            QVERIFY(asUser.ok());
            QCOMPARE(PrivateFile::replace(target, "as a user"), 0);
        }
        QCOMPARE(readBytes(target), QByteArray("as a user"));
        QCOMPARE(filesIn(folder_->path()).filter(QStringLiteral("busy")), QStringList{QStringLiteral("busy.bak")});
    }

    // A backup that is changed or replaced while a restore copies it is
    // never restored from bytes that were not checked: the restore is
    // refused and data.db, the reports and the program folder stay as they
    // were.
    void changedBackupIsNotRestored()
    {
        addBigReports(4, QStringLiteral("C"));
        const QString backup = folder_->file(QStringLiteral("c.bak"));
        backupTo(backup);
        const QByteArray good = readBytes(backup);
        QVERIFY(good.size() > 3 * (1 << 20));
        addReport(QStringLiteral("C-later"));
        const QString other = folder_->file(QStringLiteral("other.bak"));
        backupTo(other);
        QVERIFY(MessageBox::shownBoxes().isEmpty());
        const QStringList programFiles = filesIn(folder_->path());

        struct Case {
            const char* what;
            Step step;
            qint64 after;   // bytes copied when it happens
            std::function<bool()> act;
        };
        const Case cases[] = {
            {"replaced before the copy", Step::Opened, 0,
             [&] { return ::rename(QFile::encodeName(other), QFile::encodeName(backup)) == 0; }},
            {"changed before the copy", Step::Opened, 0, [&] { return scribble(backup, good.size() / 2); }},
            {"changed ahead of the copy", Step::Copied, 1 << 20, [&] { return scribble(backup, good.size() - 8192); }},
            {"changed behind the copy", Step::Copied, 2 << 20, [&] { return scribble(backup, 4096); }},
        };
        for (const Case& c : cases) {
            QVERIFY(writeBytes(backup, good));
            bool acted = false;
            ModBackup::setStepHook([&](Step now, qint64 copied) {
                if (!acted && now == c.step && copied >= c.after)
                    acted = c.act();
            });
            restoreRefused(backup, kChanged);
            ModBackup::setStepHook({});
            QVERIFY2(acted, c.what);
            if (!QFile::exists(other))
                backupTo(other);
            QCOMPARE(filesIn(folder_->path()), programFiles);
        }
        // Left alone, the backup restores.
        QVERIFY(writeBytes(backup, good));
        MessageBox::clearShown();
        FileDialogs::queueAnswer(backup);
        window_->还原数据_Click();
        QVERIFY2(MessageBox::shownBoxes().isEmpty(), qPrintable(lastText()));
        QCOMPARE(readBytes(AppPaths::databaseFile()), good);
    }

    // A backup made by an earlier build (1 KB pages) is restored by converting
    // it as the program converts such a data.db; a damaged one is refused.
    void earlierBackupIsConverted()
    {
        const QString earlier = folder_->file(QStringLiteral("2019.bak"));
        QVERIFY(makeEarlierDatabase(earlier,
                                    Database::ShippedSchema()
                                        + QStringLiteral("INSERT INTO reports (obligate5, brname, rpdate, picture1) "
                                                         "VALUES ('E1', '张三', '2024-05-02', randomblob(5000)),"
                                                         " ('E2', '李四', '2024-05-02', NULL);")));
        const QByteArray earlierBytes = readBytes(earlier);
        const QByteArray before = readBytes(AppPaths::databaseFile());
        const QStringList programFiles = filesIn(folder_->path());

        // Cut short: refused, nothing changed.
        const QString cut = folder_->file(QStringLiteral("cut2019.bak"));
        QVERIFY(writeBytes(cut, earlierBytes.left(earlierBytes.size() / 2)));
        restoreRefused(cut, kNotWhole);
        QVERIFY(QFile::remove(cut));
        QCOMPARE(filesIn(folder_->path()), programFiles);

        MessageBox::clearShown();
        FileDialogs::queueAnswer(earlier);
        window_->还原数据_Click();
        QVERIFY2(MessageBox::shownBoxes().isEmpty(), qPrintable(lastText()));
        QCOMPARE(readBytes(earlier), earlierBytes);   // the backup itself is not changed
        QVERIFY(readBytes(AppPaths::databaseFile()) != before);
        QVERIFY(readsWithPages(AppPaths::databaseFile(), 4096));
        QCOMPARE(fileMode(AppPaths::databaseFile()), 0600);
        QCOMPARE(countReports(), 2);
        QCOMPARE(queryInt(QStringLiteral("SELECT length(picture1) FROM reports WHERE obligate5 = 'E1'")), 5000);
        QCOMPARE(ListGrid::RowCount(window_->MSHFlexGrid1), 2);
        QCOMPARE(filesIn(folder_->path()), programFiles);
    }

    // A program folder on a disk that is full: an earlier build's backup,
    // which is converted on the way, is not called a wrong file but a full
    // disk, and data.db stays as it was. Needs a small file system of its own.
    void earlierBackupOnFullDisk()
    {
        const QString earlier = folder_->file(QStringLiteral("2019.bak"));
        QVERIFY(makeEarlierDatabase(earlier,
                                    Database::ShippedSchema()
                                        + QStringLiteral("INSERT INTO reports (obligate5, brname, rpdate, picture1) "
                                                         "VALUES ('E1', '张三', '2024-05-02', randomblob(600000));")));
        const QTemporaryDir small;
        const QByteArray at = QFile::encodeName(small.path());
        if (::mount("tmpfs", at.constData(), "tmpfs", 0, "size=1m") != 0)
            QSKIP("this machine cannot mount a small file system here");
        const QString program = small.path();
        Database::CloseDatabase();
        QVERIFY(QFile::copy(AppPaths::databaseFile(), program + QStringLiteral("/data.db")));
        QVERIFY(QFile::copy(AppPaths::iniFile(), program + QStringLiteral("/options.ini")));
        AppPaths::setProgramFolder(program);
        Database::OpenDatabase();
        const QByteArray before = readBytes(AppPaths::databaseFile());
        const QStringList files = filesIn(program);
        {
            // Everything but a few pages is taken.
            QFile filler(program + QStringLiteral("/filler"));
            QVERIFY(filler.open(QIODevice::WriteOnly));
            const QByteArray block(4096, 'x');
            while (filler.write(block) == block.size() && filler.flush()) {
            }
            filler.close();
            const qint64 all = QFileInfo(filler.fileName()).size();
            QVERIFY(QFile::remove(filler.fileName())
                    && writeBytes(filler.fileName(), QByteArray(all - 16 * 4096, 'x')));
        }
        bool refused = false;
        const ModBackup::FileError e = ModBackup::RestoreFrom(earlier, &refused);
        QVERIFY(QFile::remove(program + QStringLiteral("/filler")));
        const QByteArray after = readBytes(AppPaths::databaseFile());
        const QStringList left = filesIn(program);
        Database::CloseDatabase();
        AppPaths::setProgramFolder(folder_->path());
        Database::OpenDatabase();
        QVERIFY(::umount(at.constData()) == 0);
        QVERIFY(!refused);
        QCOMPARE(ModBackup::TrapMessage(e), QStringLiteral("错误 61:磁盘已满"));
        QCOMPARE(after, before);
        QCOMPARE(left, files);
    }

    // Backup and restore show a notice with the program's name while they
    // work: on screen before the file is touched, gone when it is done.
    void noticesWhileCopying()
    {
        addBigReports(4, QStringLiteral("N"));
        const QString target = folder_->file(QStringLiteral("n.bak"));
        const QByteArray db = readBytes(AppPaths::databaseFile());
        {
            NoticeWatch watch([&] { return readBytes(target) == db; });
            backupTo(target);
            QVERIFY(MessageBox::shownBoxes().isEmpty());
            QCOMPARE(watch.notices.size(), 1);
            QCOMPARE(watch.notices[0].name, QStringLiteral("Pelrand"));
            QCOMPARE(watch.notices[0].line, WorkNotice::backupLine());
            QVERIFY(watch.notices[0].paintedBeforeDone);
            QVERIFY(watch.notices[0].goneAfterDone);
        }
        addReport(QStringLiteral("N-later"));
        {
            NoticeWatch watch([&] { return readBytes(AppPaths::databaseFile()) == db; });
            FileDialogs::queueAnswer(target);
            window_->还原数据_Click();
            QVERIFY(MessageBox::shownBoxes().isEmpty());
            QCOMPARE(watch.notices.size(), 1);
            QCOMPARE(watch.notices[0].line, WorkNotice::restoreLine());
            QVERIFY(watch.notices[0].paintedBeforeDone);
            QVERIFY(watch.notices[0].goneAfterDone);
        }
        QVERIFY(!WorkNotice::current());
        QVERIFY(!QGuiApplication::overrideCursor());
    }

    // Clearing is one change: a failure between unlinking the studies and
    // deleting the reports, in either order, leaves both as they were.
    void clearIsOneChange()
    {
        addReport(QStringLiteral("B2"));
        QVERIFY(TestFolder::exec(QStringLiteral("INSERT INTO Study (StudyUID, Status) VALUES ('s1', '1')")));
        const QStringList triggers = {
            QStringLiteral("CREATE TRIGGER stop BEFORE DELETE ON reports BEGIN SELECT RAISE(ABORT, 'disk gone'); END"),
            QStringLiteral("CREATE TRIGGER stop BEFORE UPDATE ON Study BEGIN SELECT RAISE(ABORT, 'disk gone'); END"),
        };
        for (const QString& trigger : triggers) {
            QVERIFY(TestFolder::exec(trigger));
            MessageBox::clearShown();
            MessageBox::queueAnswer(MessageBox::Answer::Yes);
            window_->清空数据_Click();
            QCOMPARE(lastTitle(), QStringLiteral("系统错误"));
            QVERIFY(lastText().contains(QStringLiteral("disk gone")));
            QCOMPARE(countReports(), 2);
            QCOMPARE(queryInt(QStringLiteral("SELECT count(*) FROM Study WHERE Status = '1'")), 1);
            QVERIFY(TestFolder::exec(QStringLiteral("DROP TRIGGER stop")));
        }
    }

    void clearAll()
    {
        addReport(QStringLiteral("B2"));
        QVERIFY(
            TestFolder::exec(QStringLiteral("INSERT INTO Study (StudyUID, Status) VALUES ('s1', '1'), ('s2', '99')")));
        window_->LoadDayList(kToday);
        QCOMPARE(ListGrid::RowCount(window_->MSHFlexGrid1), 2);

        MessageBox::queueAnswer(MessageBox::Answer::No);
        window_->清空数据_Click();
        QCOMPARE(lastText(), QStringLiteral("执行此操作,将删除数据库中全部数据,数据将永远丢失,你确认清空数据库吗?"));
        QCOMPARE(lastTitle(), QStringLiteral("请注意"));
        QCOMPARE(MessageBox::shownBoxes().last().buttons, MessageBox::Buttons::YesNo);
        QCOMPARE(countReports(), 2);
        MessageBox::queueAnswer(MessageBox::Answer::Yes);
        window_->清空数据_Click();
        QCOMPARE(countReports(), 0);
        QVERIFY(ReportList::IsEmpty(window_->MSHFlexGrid1));
        // Only the study whose report went loses its link.
        QCOMPARE(queryInt(QStringLiteral("SELECT count(*) FROM Study WHERE Status IS NULL AND StudyUID = 's1'")), 1);
        QCOMPARE(queryInt(QStringLiteral("SELECT count(*) FROM Study WHERE Status = '99'")), 1);
        // The key counter goes on.
        addReport(QStringLiteral("B3"));
        QCOMPARE(Database::LastInsertId(), 3);
    }

private:
    std::unique_ptr<TestFolder> folder_;
    FrmMain* window_ = nullptr;
};

QTEST_MAIN(tst_Backup)
#include "tst_backup.moc"
