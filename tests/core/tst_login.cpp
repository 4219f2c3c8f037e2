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
#include "support/TestFolder.h"

#include <QApplication>
#include <QLabel>
#include <QPainter>
#include <QStyle>
#include <QTest>

namespace {
const QString kHint = QStringLiteral("初始用户代号为\"admin\",密码为空");

void flushDeletes()
{
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QCoreApplication::processEvents();
}

login* openLogin()
{
    Mmain::ShowLogin();
    login* w = login::current();
    if (w) {
        w->activateWindow();
        (void)QTest::qWaitForWindowActive(w);
    }
    return w;
}

void closeAll()
{
    if (FrmMain* m = FrmMain::current())
        m->close();
    if (login* l = login::current())
        l->close();
    flushDeletes();
}

QString lastText() { return MessageBox::shownBoxes().isEmpty() ? QString() : MessageBox::shownBoxes().last().text; }
QString lastTitle() { return MessageBox::shownBoxes().isEmpty() ? QString() : MessageBox::shownBoxes().last().title; }
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
        closeAll();
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

        w->Text1->setText(QStringLiteral("admin"));
        w->Text2->setText(QStringLiteral("wrong"));
        w->buttonlogin->click();
        QCOMPARE(lastText(), QStringLiteral("用户登录的用户代号或密码错误！\r\n") + kHint);
        QCOMPARE(lastTitle(), QStringLiteral("错误"));
        QVERIFY(w->Text1->text().isEmpty());
        QVERIFY(w->Text2->text().isEmpty());
        QVERIFY(login::current());
        QVERIFY(!FrmMain::current());
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

        login* w = openLogin();
        // An empty password does not match a stored empty text.
        w->Text1->setText(QStringLiteral("blank"));
        w->buttonlogin->click();
        QCOMPARE(lastText(), QStringLiteral("用户登录的用户代号或密码错误！\r\n") + kHint);
        // Injection strings are plain text.
        for (const QString& attack : {QStringLiteral("' or ''='"), QStringLiteral("x' OR 1=1 --")}) {
            w->Text1->setText(QStringLiteral("li"));
            w->Text2->setText(attack);
            w->buttonlogin->click();
            QCOMPARE(lastText(), QStringLiteral("用户登录的用户代号或密码错误！\r\n") + kHint);
            w->Text1->setText(attack);
            w->buttonlogin->click();
            QCOMPARE(lastTitle(), QStringLiteral("错误"));
            QVERIFY(!FrmMain::current());
        }
        // The password is exact, the code is not case sensitive.
        w->Text1->setText(QStringLiteral("LI"));
        w->Text2->setText(QStringLiteral("S3CR'ET"));
        w->buttonlogin->click();
        QVERIFY(!FrmMain::current());
        const int shown = MessageBox::shownBoxes().size();
        w->Text1->setText(QStringLiteral("LI"));
        w->Text2->setText(QStringLiteral("s3cr'et"));
        w->buttonlogin->click();
        flushDeletes();
        QCOMPARE(MessageBox::shownBoxes().size(), shown);
        QVERIFY(FrmMain::current());
        QCOMPARE(Mmain::gUserId, QStringLiteral("Li"));
        const std::array<bool, 8> expected{true, false, true, false, false, false, true, false};
        for (int k = 0; k < 8; ++k)
            QCOMPARE(Mmain::gRights[k], expected[k]);
    }

    void quitWithoutMainWindowCloses()
    {
        login* w = openLogin();
        w->buttonquit->click();
        flushDeletes();
        QVERIFY(!login::current());
        QVERIFY(!ModADOconnect::isOpen());
    }

    void titleStrip()
    {
        login* w = openLogin();
        QCOMPARE(w->Pictitle->height(), login::kTitleHeight);
        const QImage img = w->Pictitle->renderImage();
        const int x = img.width() / 2;
        QCOMPARE(img.pixelColor(x, 22), Palette::ToQColor(Palette::gLineColor));
        QCOMPARE(img.pixelColor(x, 21), Palette::ToQColor(Palette::gCaptionColorFrom));
        // Row 1 is one step of 21 away from the top colour.
        const QColor from = Palette::ToQColor(Palette::gCaptionColorFrom);
        const QColor to = Palette::ToQColor(Palette::gCaptionColorTo);
        const int r1 = to.red() + int(std::nearbyint((from.red() - to.red()) / 21.0));
        QCOMPARE(img.pixelColor(x, 1).red(), r1);
        w->grab().save(testOutputFolder() + QStringLiteral("/login.png"));
    }

private:
    std::unique_ptr<TestFolder> folder_;
};

QTEST_MAIN(TestLogin)
#include "tst_login.moc"
