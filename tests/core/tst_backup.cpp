// Backup, restore and clear from the main window's menu, against real database files.
#include "core/FrmMain.h"
#include "core/Database.h"
#include "core/ModBackup.h"
#include "core/Palette.h"
#include "core/ReportList.h"
#include "platform/AppPaths.h"
#include "platform/Environment.h"
#include "platform/FileDialogs.h"
#include "platform/MessageBox.h"
#include "support/CoreKit.h"
#include "support/TestFolder.h"

#include <QDateEdit>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QTableView>
#include <QTest>

#include <csignal>
#include <sys/resource.h>

using namespace kit;

namespace {
const QDate kToday(2024, 5, 2);
const QString kWrongFile = QStringLiteral("请选择正确的备份文件");

void addReport(const QString& exam)
{
    QVERIFY(Database::ExecuteSql(QStringLiteral("INSERT INTO reports (obligate5, brname, rpdate) VALUES (?, '某', ?)"),
                                      {exam, kToday.toString(Qt::ISODate)})
                .ok());
}
}

class tst_Backup : public QObject {
    Q_OBJECT

    // Restoring from this file is refused with this text, and nothing changes.
    void restoreRefused(const QString& file, const QString& text)
    {
        const QByteArray before = readBytes(AppPaths::databaseFile());
        const int reports = countReports();
        MessageBox::clearShown();
        FileDialogs::queueAnswer(file);
        window_->还原数据_Click();
        QCOMPARE(lastText(), text);
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

    void roundTripIsByteExact()
    {
        // Backups and the restored database are owner-only whatever the umask.
        const UmaskScope umask(022);
        const QString backup = folder_->file(QStringLiteral("day.BAK"));
        backupTo(backup);
        const QByteArray saved = readBytes(backup);
        QCOMPARE(fileMode(backup), 0600);
        QVERIFY(QFile::setPermissions(AppPaths::databaseFile(), QFile::ReadOwner | QFile::WriteOwner | QFile::ReadOther));

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
        QCOMPARE(ListGrid::Cell(window_->MSHFlexGrid1, 0, 0), QStringLiteral("B1"));
    }

    void foreignAndDamagedFilesAreRefused()
    {
        // Not a database, a database of another key or without reports, a wrong ending, a missing file.
        const QString junk = folder_->file(QStringLiteral("junk.bak"));
        QVERIFY(writeBytes(junk, QByteArray(8192, 'j')));
        restoreRefused(junk, kWrongFile);
        const QString other = folder_->file(QStringLiteral("other.bak"));
        QVERIFY(Database::CreateDatabaseFile(other, QStringLiteral("CREATE TABLE t (a);")).isEmpty());
        restoreRefused(other, kWrongFile);
        restoreRefused(folder_->file(QStringLiteral("data.db")), kWrongFile);
        restoreRefused(folder_->file(QStringLiteral("gone.bak")), QStringLiteral("文件未找到"));

        // Enough reports to spread over many pages, then a backup of them.
        QVERIFY(TestFolder::exec(QStringLiteral("BEGIN")));
        for (int i = 0; i < 400; ++i)
            QVERIFY(Database::ExecuteSql(
                        QStringLiteral("INSERT INTO reports (obligate5, brname, rpdate, checkconclusion) VALUES (?, '某', ?, ?)"),
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
        restoreRefused(cut, kWrongFile);
        QByteArray damaged = whole;
        damaged.replace(damaged.size() / 2, 64, QByteArray(64, 'z'));
        QVERIFY(writeBytes(cut, damaged));
        restoreRefused(cut, kWrongFile);

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

        // A disk that fills up during the copy: the old backup stays as it was
        // and no half copy is left (a file size limit stands in for the full disk).
        const QString old = folder_->file(QStringLiteral("old.bak"));
        QVERIFY(writeBytes(old, "the backup of last week"));
        const QStringList before = QDir(folder_->path()).entryList(QDir::Files | QDir::Hidden);
        {
            const auto previous = std::signal(SIGXFSZ, SIG_IGN);
            rlimit saved{};
            QCOMPARE(getrlimit(RLIMIT_FSIZE, &saved), 0);
            rlimit small = saved;
            small.rlim_cur = 16 * 1024;
            QCOMPARE(setrlimit(RLIMIT_FSIZE, &small), 0);
            backupTo(old);
            QCOMPARE(setrlimit(RLIMIT_FSIZE, &saved), 0);
            std::signal(SIGXFSZ, previous);
        }
        QCOMPARE(lastText(), QStringLiteral("错误 61:磁盘已满"));
        QCOMPARE(lastTitle(), QStringLiteral("操作取消"));
        QVERIFY(!QGuiApplication::overrideCursor());
        QCOMPARE(readBytes(old), QByteArray("the backup of last week"));
        QCOMPARE(QDir(folder_->path()).entryList(QDir::Files | QDir::Hidden), before);
        QVERIFY(Database::isOpen());
        QCOMPARE(countReports(), 1);

        QCOMPARE(ModBackup::TrapMessage({70, QString()}), QStringLiteral("数据库文件正在使用中，请关闭相关的应用再进行操作"));
    }

    void clearAll()
    {
        addReport(QStringLiteral("B2"));
        QVERIFY(TestFolder::exec(QStringLiteral("INSERT INTO Study (StudyUID, Status) VALUES ('s1', '1'), ('s2', '99')")));
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
