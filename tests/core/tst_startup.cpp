// The start-up sequence against real program folders.
#include "core/FrmMain.h"
#include "core/Mmain.h"
#include "core/QvTextBox.h"
#include "core/login.h"
#include "core/ModADOconnect.h"
#include "platform/AppPaths.h"
#include "platform/InstanceGuard.h"
#include "platform/MessageBox.h"
#include "support/TestFolder.h"

#include <QFile>
#include <QTableWidget>
#include <QTimer>
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
    void reloginWithoutDatabaseEnds();
    void quittingReloginWindowEnds();
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

namespace {
// Logs admin in through a real login window and returns the main window.
FrmMain* logInAsAdmin()
{
    if (!Mmain::ShowLogin() || !login::current())
        return nullptr;
    login::current()->Text1->setText(QStringLiteral("admin"));
    login::current()->buttonlogin_Click();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    return FrmMain::current();
}
}

void TestStartup::reloginWithoutDatabaseEnds()
{
    TestFolder f;
    FrmMain* w = logInAsAdmin();
    QVERIFY(w);
    QVERIFY(QFile::remove(AppPaths::databaseFile()));
    QTimer::singleShot(0, w, [w] { w->重新登录_Click(); });
    const int code = QCoreApplication::exec();
    QVERIFY(code != 0);
    QVERIFY(!FrmMain::current());
    QVERIFY(!login::current());
    QVERIFY(!ModADOconnect::isOpen());
    const auto& boxes = MessageBox::shownBoxes();
    QVERIFY(!boxes.isEmpty());
    QVERIFY(boxes.last().text.contains(QStringLiteral("3000")));
    QVERIFY(boxes.last().text.contains(QStringLiteral("未能连接到数据库，数据库被更名或损坏！")));
    QVERIFY(!QFile::exists(AppPaths::databaseFile()));
}

void TestStartup::quittingReloginWindowEnds()
{
    TestFolder f;
    FrmMain* w = logInAsAdmin();
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
    QVERIFY(!ModADOconnect::isOpen());
}

QTEST_MAIN(TestStartup)
#include "tst_startup.moc"
