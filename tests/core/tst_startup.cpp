// The start-up sequence against real program folders.
#include "core/Mmain.h"
#include "core/ModADOconnect.h"
#include "platform/AppPaths.h"
#include "platform/InstanceGuard.h"
#include "platform/MessageBox.h"
#include "support/TestFolder.h"

#include <QFile>
#include <QTableWidget>
#include <QtTest>

class TestStartup : public QObject {
    Q_OBJECT
private slots:
    void cleanup()
    {
        Mmain::ReleaseInstanceLock();
        for (QWidget* w : QApplication::topLevelWidgets())
            w->close();
    }
    void secondInstanceRefused();
    void emptyDatabaseStarts();
    void databaseWithoutReports();
    void missingDatabase();
};

void TestStartup::secondInstanceRefused()
{
    TestFolder f(false);
    InstanceGuard other(AppPaths::programFolder());
    QVERIFY(other.tryAcquire());
    const Mmain::StartResult r = Mmain::Main();
    QVERIFY(!r.running);
    QVERIFY(r.exitCode != 0);
    QCOMPARE(MessageBox::shownBoxes().size(), 1);
    QCOMPARE(MessageBox::shownBoxes().first().text, QStringLiteral("此程式已经在执行中！"));
    QCOMPARE(MessageBox::shownBoxes().first().title, QStringLiteral("对不起"));
    QVERIFY(MessageBox::shownBoxes().first().icon == MessageBox::Icon::Critical);
    QVERIFY(!ModADOconnect::isOpen());
    other.release();
}

void TestStartup::emptyDatabaseStarts()
{
    TestFolder f(false);
    const Mmain::StartResult r = Mmain::Main();
    // No error of any kind; with the login window shown the program keeps running.
    QVERIFY2(MessageBox::shownBoxes().isEmpty(), qPrintable(MessageBox::shownBoxes().value(0).text));
    QCOMPARE(r.exitCode, 0);
    QCOMPARE(r.running, ModADOconnect::isOpen());
}

void TestStartup::databaseWithoutReports()
{
    TestFolder f;
    QVERIFY(TestFolder::exec(QStringLiteral("drop table reports")));
    ModADOconnect::CloseDatabase();
    const Mmain::StartResult r = Mmain::Main();
    QVERIFY(!r.running);
    QVERIFY(r.exitCode != 0);
    QCOMPARE(MessageBox::shownBoxes().size(), 1);
    QCOMPARE(MessageBox::shownBoxes().first().title, QStringLiteral("错误"));
    QVERIFY(MessageBox::shownBoxes().first().text.contains(QStringLiteral("no such table: reports")));
    QVERIFY(!ModADOconnect::isOpen());
}

void TestStartup::missingDatabase()
{
    TestFolder f(false);
    QVERIFY(QFile::remove(AppPaths::databaseFile()));
    const Mmain::StartResult r = Mmain::Main();
    QVERIFY(!r.running);
    QVERIFY(r.exitCode != 0);
    QCOMPARE(MessageBox::shownBoxes().size(), 1);
    QVERIFY(MessageBox::shownBoxes().first().text.contains(QStringLiteral("3000")));
    QVERIFY(MessageBox::shownBoxes().first().text.contains(QStringLiteral("未能连接到数据库，数据库被更名或损坏！\r\n错误")));
    QVERIFY(!QFile::exists(AppPaths::databaseFile()));
    // The lock is given back, so the user can start again once the file is restored.
    InstanceGuard again(AppPaths::programFolder());
    QVERIFY(again.tryAcquire());
}

QTEST_MAIN(TestStartup)
#include "tst_startup.moc"
