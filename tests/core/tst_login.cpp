// The login window: keyboard flow, refusals with their exact texts, stored
// passwords, rights, injection strings, and the title strip.
#include "core/FrmMain.h"
#include "core/Mmain.h"
#include "core/ModADOconnect.h"
#include "core/ModPassword.h"
#include "core/Palette.h"
#include "core/QvButton.h"
#include "core/QvTextBox.h"
#include "core/SkinPanel.h"
#include "core/login.h"
#include "platform/MessageBox.h"
#include "support/CoreKit.h"
#include "support/TestFolder.h"

#include <QApplication>
#include <QLabel>
#include <QStyle>
#include <QTest>

using namespace corekit;

namespace {
const QString kHint = QStringLiteral("初始用户代号为\"admin\",密码为空");
const QString kWrong = QStringLiteral("用户登录的用户代号或密码错误！\r\n") + kHint;
}

class TestLogin : public QObject {
    Q_OBJECT
private slots:
    void init()
    {
        folder_ = std::make_unique<TestFolder>();
        QVERIFY(folder_->ok());
        Palette::LoadSkin();
        Mmain::gUserId.clear();
        Mmain::gUserName.clear();
        Mmain::gRights.fill(false);
    }
    void cleanup()
    {
        closeWindows();
        folder_.reset();
    }

    void enterMovesAndLogsIn()
    {
        login* w = openLogin();
        QVERIFY(w);
        QCOMPARE(w->windowTitle(), QStringLiteral("用户登录"));
        QVERIFY(w->Text2->echoMode() == QLineEdit::Password);
        QCOMPARE(w->Text2->style()->styleHint(QStyle::SH_LineEdit_PasswordCharacter, nullptr, w->Text2), int('*'));
        w->Text1->setFocus();
        QTest::keyClicks(w->Text1, QStringLiteral("admin"));
        QTest::keyClick(w->Text1, Qt::Key_Return);
        QCOMPARE(QApplication::focusWidget(), static_cast<QWidget*>(w->Text2));
        QTest::keyClick(w->Text2, Qt::Key_Return);
        flushDeletes();
        QVERIFY(!login::current());
        QVERIFY(FrmMain::current());
        QCOMPARE(Mmain::gUserId, QStringLiteral("admin"));
        QCOMPARE(Mmain::gUserName, QStringLiteral("系统管理员"));
        QCOMPARE(FrmMain::current()->LabUser->text(), QStringLiteral("用户: 系统管理员"));
        QVERIFY(MessageBox::shownBoxes().isEmpty());
    }

    void emptyCodeAndWrongPassword()
    {
        login* w = openLogin();
        w->Text2->setText(QStringLiteral("x"));
        w->buttonlogin->click();
        QCOMPARE(lastText(), QStringLiteral("用户代号不能为空！\r\n") + kHint);
        QCOMPARE(lastTitle(), QStringLiteral("错误"));
        QCOMPARE(MessageBox::shownBoxes().last().icon, MessageBox::Icon::Critical);
        QVERIFY(w->Text2->text().isEmpty());
        QCOMPARE(QApplication::focusWidget(), static_cast<QWidget*>(w->Text1));

        QVERIFY(!logIn(QStringLiteral("admin"), QStringLiteral("wrong")));
        QCOMPARE(lastText(), kWrong);
        QCOMPARE(lastTitle(), QStringLiteral("错误"));
        QVERIFY(w->Text1->text().isEmpty());
        QVERIFY(w->Text2->text().isEmpty());
        QVERIFY(login::current());
        QVERIFY(Mmain::gUserId.isEmpty());
    }

    void passwordsAndRights()
    {
        // A hashed password, an empty-text password and rights 0, 2 and 6 only.
        const QVariant hash = ModPassword::HashPassword(QStringLiteral("s3cr'et"));
        QVERIFY(ModPassword::IsHash(hash.toString()));
        QVERIFY(ModADOconnect::ExecuteSql(QStringLiteral("INSERT INTO user VALUES (?, ?, ?, 1, 0, -1, 0, 0, 0, 1, 0)"),
                                          {QStringLiteral("Li"), QStringLiteral("李医生"), hash})
                    .ok());
        QVERIFY(TestFolder::exec(QStringLiteral("INSERT INTO user VALUES ('blank', '空', '', 1, 1, 1, 1, 1, 1, 1, 1)")));

        // An empty password does not match a stored empty text.
        QVERIFY(!logIn(QStringLiteral("blank")));
        QCOMPARE(lastText(), kWrong);
        // Injection strings are plain text, as password and as code (with the
        // empty password that the administrator's row would accept).
        for (const QString& attack : {QStringLiteral("' or ''='"), QStringLiteral("x' OR 1=1 --")}) {
            QVERIFY(!logIn(QStringLiteral("li"), attack));
            QCOMPARE(lastText(), kWrong);
            QVERIFY(!logIn(attack));
            QCOMPARE(lastText(), kWrong);
        }
        // The password is exact, the code is not case sensitive.
        QVERIFY(!logIn(QStringLiteral("LI"), QStringLiteral("S3CR'ET")));
        const int shown = MessageBox::shownBoxes().size();
        QVERIFY(logIn(QStringLiteral("LI"), QStringLiteral("s3cr'et")));
        QCOMPARE(MessageBox::shownBoxes().size(), shown);
        QCOMPARE(Mmain::gUserId, QStringLiteral("Li"));
        const std::array<bool, 8> expected{true, false, true, false, false, false, true, false};
        for (int k = 0; k < 8; ++k)
            QCOMPARE(Mmain::gRights[k], expected[k]);
    }

    void quitWithoutMainWindowCloses()
    {
        openLogin()->buttonquit->click();
        flushDeletes();
        QVERIFY(!login::current());
        QVERIFY(!ModADOconnect::isOpen());
    }

    void titleStrip()
    {
        // The strip's rows are checked in the painting test; here the window uses it.
        login* w = openLogin();
        QCOMPARE(w->Pictitle->height(), login::kTitleHeight);
        const QImage img = w->Pictitle->renderImage();
        QCOMPARE(img.pixelColor(img.width() / 2, 22), Palette::ToQColor(Palette::gLineColor));
        QCOMPARE(img.pixelColor(img.width() / 2, 21), Palette::ToQColor(Palette::gCaptionColorFrom));
        w->grab().save(testOutputFolder() + QStringLiteral("/login.png"));
    }

private:
    std::unique_ptr<TestFolder> folder_;
};

QTEST_MAIN(TestLogin)
#include "tst_login.moc"
