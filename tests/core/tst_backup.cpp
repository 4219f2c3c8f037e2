#include "core/FrmMain.h"
#include "core/Mmain.h"
#include "core/ModADOconnect.h"
#include "core/ModBackup.h"
#include "core/Palette.h"
#include "core/ReportList.h"
#include "platform/AppPaths.h"
#include "platform/Environment.h"
#include "platform/FileDialogs.h"
#include "platform/MessageBox.h"
#include "support/TestFolder.h"

#include <QDateEdit>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <sys/resource.h>

namespace {
const QDate kToday(2024, 5, 2);

QByteArray bytes(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

int reportCount()
{
    const QueryResult r = ModADOconnect::QueryData(QStringLiteral("SELECT count(*) FROM reports"));
    return r.hasRows() ? r.data->value(0, 0).toInt() : -1;
}

void addReport(const QString& exam)
{
    QVERIFY(ModADOconnect::ExecuteSql(QStringLiteral("INSERT INTO reports (obligate5, brname, rpdate) VALUES (?, '某', ?)"),
                                      {exam, kToday.toString(Qt::ISODate)})
                .ok());
}

QString lastText() { return MessageBox::shownBoxes().isEmpty() ? QString() : MessageBox::shownBoxes().last().text; }
}

class TestBackup : public QObject {
    Q_OBJECT
private slots:
    void init()
    {
        folder_ = std::make_unique<TestFolder>();
        QVERIFY(folder_->ok());
        Palette::LoadSkin();
        Environment::setTodayOverride(kToday);
        Mmain::gRights.fill(true);
        Mmain::gUserName = QStringLiteral("admin");
        addReport(QStringLiteral("B1"));
        window_ = FrmMain::ShowMain();
    }
    void cleanup()
    {
        if (FrmMain* w = FrmMain::current())
            w->close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        folder_.reset();
    }

    void backupNamesAndCancel()
    {
        // Cancel: nothing shown, the database still open.
        FileDialogs::queueAnswer(QString());
        window_->备份数据_Click();
        QVERIFY(MessageBox::shownBoxes().isEmpty());
        QVERIFY(ModADOconnect::isOpen());
        QCOMPARE(FileDialogs::asked().last().title, QStringLiteral("备份数据库"));
        QCOMPARE(FileDialogs::asked().last().kind, QStringLiteral("save"));
        QCOMPARE(FileDialogs::asked().last().folder, AppPaths::programFolder());

        // Another ending is refused.
        FileDialogs::queueAnswer(folder_->file(QStringLiteral("copy.mdb")));
        window_->备份数据_Click();
        QCOMPARE(lastText(), QStringLiteral("请设置备份文件的后缀名为BAK"));
        QCOMPARE(MessageBox::shownBoxes().last().title, QStringLiteral("操作取消"));
        QVERIFY(!QFile::exists(folder_->file(QStringLiteral("copy.mdb"))));

        // Any case of "bak", with or without a dot; an existing file is replaced.
        const QString target = folder_->file(QStringLiteral("copybAk"));
        QFile old(target);
        QVERIFY(old.open(QIODevice::WriteOnly));
        old.write("old contents");
        old.close();
        MessageBox::clearShown();
        FileDialogs::queueAnswer(target);
        window_->备份数据_Click();
        QVERIFY(MessageBox::shownBoxes().isEmpty());
        QVERIFY(ModADOconnect::isOpen());
        QCOMPARE(bytes(target), bytes(AppPaths::databaseFile()));
        // A name that links to another file writes that file and keeps the link.
        const QString link = folder_->file(QStringLiteral("latest.bak"));
        QVERIFY(QFile::link(target, link));
        QVERIFY(QFile::remove(target) && QFile(target).open(QIODevice::WriteOnly));
        FileDialogs::queueAnswer(link);
        window_->备份数据_Click();
        QVERIFY(MessageBox::shownBoxes().isEmpty());
        QVERIFY(QFileInfo(link).isSymLink());
        QCOMPARE(bytes(target), bytes(AppPaths::databaseFile()));
        // The next dialog offers the previous name.
        FileDialogs::queueAnswer(QString());
        window_->还原数据_Click();
        QCOMPARE(FileDialogs::asked().last().folder, link);
        QCOMPARE(FileDialogs::asked().last().title, QStringLiteral("恢复数据库"));
    }

    void roundTripIsByteExact()
    {
        const QString backup = folder_->file(QStringLiteral("day.BAK"));
        FileDialogs::queueAnswer(backup);
        window_->备份数据_Click();
        const QByteArray saved = bytes(backup);
        QVERIFY(!saved.isEmpty());

        addReport(QStringLiteral("B2"));
        window_->LoadDayList(kToday);
        QCOMPARE(window_->MSHFlexGrid1->rowCount(), 2);

        FileDialogs::queueAnswer(backup);
        window_->还原数据_Click();
        QVERIFY(MessageBox::shownBoxes().isEmpty());
        QVERIFY(ModADOconnect::isOpen());
        QCOMPARE(bytes(AppPaths::databaseFile()), saved);
        QCOMPARE(reportCount(), 1);
        // The list shows the restored day at once.
        QCOMPARE(window_->MSHFlexGrid1->rowCount(), 1);
        QCOMPARE(window_->MSHFlexGrid1->item(0, 0)->text(), QStringLiteral("B1"));
        QVERIFY(!QFile::exists(AppPaths::databaseFile() + QStringLiteral(".restore")));
    }

    void foreignFilesAreRefused()
    {
        const QByteArray before = bytes(AppPaths::databaseFile());
        const QString junk = folder_->file(QStringLiteral("junk.bak"));
        QFile f(junk);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(QByteArray(8192, 'j'));
        f.close();
        FileDialogs::queueAnswer(junk);
        window_->还原数据_Click();
        QCOMPARE(lastText(), QStringLiteral("请选择正确的备份文件"));
        QCOMPARE(MessageBox::shownBoxes().last().title, QStringLiteral("操作取消"));
        QVERIFY(ModADOconnect::isOpen());
        QCOMPARE(reportCount(), 1);
        QCOMPARE(bytes(AppPaths::databaseFile()), before);

        // A database of another key or without reports is refused the same way.
        const QString other = folder_->file(QStringLiteral("other.bak"));
        QVERIFY(ModADOconnect::CreateDatabaseFile(other, QStringLiteral("CREATE TABLE t (a);")).isEmpty());
        FileDialogs::queueAnswer(other);
        window_->还原数据_Click();
        QCOMPARE(lastText(), QStringLiteral("请选择正确的备份文件"));
        QCOMPARE(reportCount(), 1);

        // A wrong ending, and a missing file.
        FileDialogs::queueAnswer(folder_->file(QStringLiteral("data.db")));
        window_->还原数据_Click();
        QCOMPARE(lastText(), QStringLiteral("请选择正确的备份文件"));
        FileDialogs::queueAnswer(folder_->file(QStringLiteral("gone.bak")));
        window_->还原数据_Click();
        QCOMPARE(lastText(), QStringLiteral("文件未找到"));
        QVERIFY(ModADOconnect::isOpen());
    }

    void damagedBackupsAreRefused()
    {
        // Enough reports to spread over many pages, then a backup of them.
        QVERIFY(TestFolder::exec(QStringLiteral("BEGIN")));
        for (int i = 0; i < 400; ++i)
            QVERIFY(ModADOconnect::ExecuteSql(
                        QStringLiteral("INSERT INTO reports (obligate5, brname, rpdate, checkconclusion) VALUES (?, '某', ?, ?)"),
                        {QStringLiteral("M%1").arg(i), QStringLiteral("2024-05-01"), QString(300, QChar(0x4e00 + i))})
                        .ok());
        QVERIFY(TestFolder::exec(QStringLiteral("COMMIT")));
        const QString backup = folder_->file(QStringLiteral("whole.bak"));
        FileDialogs::queueAnswer(backup);
        window_->备份数据_Click();
        const QByteArray whole = bytes(backup);
        QVERIFY(whole.size() > 64 * 1024);

        QVERIFY(ModADOconnect::ExecuteSql(QStringLiteral("DELETE FROM reports WHERE obligate5 <> 'B1'")).ok());
        const QByteArray before = bytes(AppPaths::databaseFile());
        auto refused = [&](const QString& file, const QByteArray& content) {
            QFile f(folder_->file(file));
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(content);
            f.close();
            MessageBox::clearShown();
            FileDialogs::queueAnswer(f.fileName());
            window_->还原数据_Click();
            QCOMPARE(lastText(), QStringLiteral("请选择正确的备份文件"));
            QCOMPARE(MessageBox::shownBoxes().last().title, QStringLiteral("操作取消"));
            QVERIFY(ModADOconnect::isOpen());
            QCOMPARE(bytes(AppPaths::databaseFile()), before);
            QVERIFY(!QFile::exists(AppPaths::databaseFile() + QStringLiteral(".restore")));
            QVERIFY(!QGuiApplication::overrideCursor());
        };
        // Cut short, and one page damaged in the middle.
        refused(QStringLiteral("cut.bak"), whole.left(whole.size() / 2));
        QByteArray damaged = whole;
        for (int i = 0; i < 64; ++i)
            damaged[damaged.size() / 2 + i] = 'z';
        refused(QStringLiteral("damaged.bak"), damaged);
        QCOMPARE(reportCount(), 1);

        // The whole one restores, and the list shows the day it showed before.
        window_->DTPicker1->setDate(QDate(2024, 5, 1));
        QVERIFY(ReportList::IsEmpty(window_->MSHFlexGrid1));
        MessageBox::clearShown();
        FileDialogs::queueAnswer(backup);
        window_->还原数据_Click();
        QVERIFY(MessageBox::shownBoxes().isEmpty());
        QCOMPARE(reportCount(), 401);
        QCOMPARE(window_->MSHFlexGrid1->rowCount(), 400);
        QCOMPARE(window_->DTPicker1->date(), QDate(2024, 5, 1));
    }

    void failedCopyReopensTheDatabase()
    {
        FileDialogs::queueAnswer(folder_->file(QStringLiteral("no/such/folder/x.bak")));
        window_->备份数据_Click();
        QCOMPARE(lastText(), QStringLiteral("错误 76:路径未找到"));
        QCOMPARE(MessageBox::shownBoxes().last().title, QStringLiteral("操作取消"));
        QVERIFY(ModADOconnect::isOpen());
        QCOMPARE(reportCount(), 1);

        // A disk that fills up during the copy: the old backup stays as it was
        // and no half copy is left (a file size limit stands in for the full disk).
        const QString old = folder_->file(QStringLiteral("old.bak"));
        QFile f(old);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("the backup of last week");
        f.close();
        const QStringList before = QDir(folder_->path()).entryList(QDir::Files);
        FileDialogs::queueAnswer(old);
        {
            const auto previous = std::signal(SIGXFSZ, SIG_IGN);
            rlimit saved{};
            QCOMPARE(getrlimit(RLIMIT_FSIZE, &saved), 0);
            rlimit small = saved;
            small.rlim_cur = 16 * 1024;
            QCOMPARE(setrlimit(RLIMIT_FSIZE, &small), 0);
            window_->备份数据_Click();
            QCOMPARE(setrlimit(RLIMIT_FSIZE, &saved), 0);
            std::signal(SIGXFSZ, previous);
        }
        QCOMPARE(lastText(), QStringLiteral("错误 61:磁盘已满"));
        QVERIFY(!QGuiApplication::overrideCursor());
        QCOMPARE(MessageBox::shownBoxes().last().title, QStringLiteral("操作取消"));
        QCOMPARE(bytes(old), QByteArray("the backup of last week"));
        QCOMPARE(QDir(folder_->path()).entryList(QDir::Files), before);
        QVERIFY(ModADOconnect::isOpen());
        QCOMPARE(reportCount(), 1);

        QCOMPARE(ModBackup::TrapMessage({70, QString()}), QStringLiteral("数据库文件正在使用中，请关闭相关的应用再进行操作"));
        QCOMPARE(ModBackup::TrapMessage({55, QString()}), QStringLiteral("数据库文件正在使用中，请关闭相关的应用再进行操作"));
        QCOMPARE(ModBackup::TrapMessage({53, QString()}), QStringLiteral("文件未找到"));
        QCOMPARE(ModBackup::TrapMessage({32755, QString()}), QString());
        QCOMPARE(ModBackup::CopyOverwrite(folder_->file(QStringLiteral("none")), folder_->file(QStringLiteral("t"))).number, 53);
    }

    void clearAll()
    {
        addReport(QStringLiteral("B2"));
        QVERIFY(TestFolder::exec(QStringLiteral("INSERT INTO Study (StudyUID, Status) VALUES ('s1', '1'), ('s2', '99')")));
        window_->LoadDayList(kToday);
        QCOMPARE(window_->MSHFlexGrid1->rowCount(), 2);

        MessageBox::queueAnswer(MessageBox::Answer::No);
        window_->清空数据_Click();
        QCOMPARE(lastText(), QStringLiteral("执行此操作,将删除数据库中全部数据,数据将永远丢失,你确认清空数据库吗?"));
        QCOMPARE(MessageBox::shownBoxes().last().title, QStringLiteral("请注意"));
        QCOMPARE(MessageBox::shownBoxes().last().buttons, MessageBox::Buttons::YesNo);
        QCOMPARE(reportCount(), 2);

        MessageBox::queueAnswer(MessageBox::Answer::Yes);
        window_->清空数据_Click();
        QCOMPARE(reportCount(), 0);
        QVERIFY(ReportList::IsEmpty(window_->MSHFlexGrid1));
        // Only the study whose report went loses its link.
        const QueryResult s = ModADOconnect::QueryData(QStringLiteral("SELECT StudyUID FROM Study WHERE Status IS NULL"));
        QVERIFY(s.hasRows());
        QCOMPARE(s.data->recordCount(), 1);
        QCOMPARE(s.data->value(0, 0).toString(), QStringLiteral("s1"));
        // The key counter goes on.
        addReport(QStringLiteral("B3"));
        QCOMPARE(ModADOconnect::LastInsertId(), 3);
    }

private:
    std::unique_ptr<TestFolder> folder_;
    FrmMain* window_ = nullptr;
};

QTEST_MAIN(TestBackup)
#include "tst_backup.moc"
