#include "core/login.h"

#include "core/FrmMain.h"
#include "core/Palette.h"
#include "core/QvButton.h"
#include "core/QvTextBox.h"
#include "core/SkinPaint.h"
#include "core/SkinPanel.h"
#include "core/SkinWindows.h"
#include "core/Mmain.h"
#include "core/Database.h"
#include "core/ModPassword.h"
#include "platform/MessageBox.h"

#include <QCloseEvent>
#include <QEvent>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPointer>
#include <QPushButton>
#include <QScreen>

namespace {
QPointer<login>& currentWindow()
{
    static QPointer<login> w;
    return w;
}

const QString kHint = QStringLiteral("初始用户代号为\"admin\",密码为空");

}

login* login::current() { return currentWindow().data(); }

login::login()
{
    currentWindow() = this;
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("用户登录"));
    setFixedSize(340, 220);

    Pictitle = new PaintPanel(this);
    Pictitle->setObjectName(QStringLiteral("Pictitle"));
    Pictitle->setGeometry(0, 0, width(), kTitleHeight);
    Skin::DrawLoginTitle(Pictitle);

    Label3 = new QLabel(QString::fromLatin1(Mmain::kProgramName), this);
    QFont big = Label3->font();
    big.setPointSize(big.pointSize() + 10);
    big.setBold(true);
    Label3->setFont(big);
    Label3->setGeometry(28, 34, 200, 44);
    Label4 = new QLabel(QStringLiteral("V4.0b"), this);
    Label4->setGeometry(232, 52, 80, 22);

    Label1 = new QLabel(QStringLiteral("代  号："), this);
    Label1->setGeometry(40, 96, 70, 24);
    Text1 = new QvTextBox(this);
    Text1->setObjectName(QStringLiteral("Text1"));
    Text1->setGeometry(112, 96, 180, 24);
    Label2 = new QLabel(QStringLiteral("密  码："), this);
    Label2->setGeometry(40, 130, 70, 24);
    Text2 = new QvTextBox(this);
    Text2->setObjectName(QStringLiteral("Text2"));
    Text2->setGeometry(112, 130, 180, 24);
    ModPassword::MaskWithStars(Text2);

    buttonlogin = new QvButton(QStringLiteral("登 录"), this);
    buttonlogin->setObjectName(QStringLiteral("buttonlogin"));
    buttonlogin->setGeometry(112, 172, 84, 32);
    buttonquit = new QvButton(QStringLiteral("退 出"), this);
    buttonquit->setObjectName(QStringLiteral("buttonquit"));
    buttonquit->setGeometry(208, 172, 84, 32);

    connect(Text1, &QvTextBox::KeyPress, this, [this](int key) {
        if (key == 13)
            Text2->setFocus();
    });
    connect(Text2, &QvTextBox::KeyPress, this, [this](int key) {
        if (key == 13)
            buttonlogin_Click();
    });
    connect(buttonlogin, &QvButton::clicked, this, [this] { buttonlogin_Click(); });
    connect(buttonquit, &QvButton::clicked, this, [this] { buttonquit_Click(); });
    Form_Load();
}

login::~login() = default;

void login::Form_Load() { Skin::LoginApplyDialogSkin(this, buttonlogin, buttonquit); }

void login::buttonlogin_Click()
{
    if (Text1->text().isEmpty()) {
        MessageBox::critical(QStringLiteral("用户代号不能为空！\r\n") + kHint, MessageBox::kErrorTitle);
        Text2->clear();
        Text1->setFocus();
        return;
    }
    // The code matches without regard to case (the column's collation); the
    // password is checked against its stored hash.
    const QueryResult r = ModPassword::ReadUser(Text1->text());
    if (r.failed()) {
        MessageBox::critical(r.description, MessageBox::kSystemErrorTitle);
        failed();
        return;
    }
    const bool match =
        r.hasRows() && r.data->recordCount() > 0 && ModPassword::PasswordMatches(r.data->value(0, 2), Text2->text());
    if (!match) {
        MessageBox::critical(QStringLiteral("用户登录的用户代号或密码错误！\r\n") + kHint, MessageBox::kErrorTitle);
        failed();
        return;
    }
    const RecordSet& rs = *r.data;
    Mmain::gUserId = rs.value(0, 0).toString();
    Mmain::gUserName = rs.value(0, 1).toString();
    for (int k = 0; k < 8; ++k) {
        const QVariant v = rs.value(0, 3 + k);
        Mmain::gRights[k] = v.isValid() && !v.isNull() && v.toDouble() != 0.0;
    }
    FrmMain::ShowMain();
    loggedIn_ = true;
    close();
}

void login::failed()
{
    Text1->clear();
    Text2->clear();
    Text1->setFocus();
}

void login::buttonquit_Click() { close(); }

void login::closeEvent(QCloseEvent* event)
{
    event->accept();
    // Leaving the login with no main window open ends the program.
    if (!loggedIn_ && !FrmMain::current())
        Mmain::Quit(0);
}

namespace {
// For timing the start-up from outside: with WS_EXIT_AFTER_LOGIN_PAINT set in
// the environment the program quits as soon as the login window has been
// painted for the first time.
class QuitAfterFirstPaint final : public QObject {
public:
    using QObject::QObject;
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Paint) {
            watched->removeEventFilter(this);
            // Queued: the window's children and the flush to the screen come first.
            QMetaObject::invokeMethod(
                QCoreApplication::instance(), [] { Mmain::Quit(0); }, Qt::QueuedConnection);
        }
        return false;
    }
};
}

bool Mmain::ShowLogin()
{
    auto* w = new login;
    if (qEnvironmentVariableIsSet("WS_EXIT_AFTER_LOGIN_PAINT"))
        w->installEventFilter(new QuitAfterFirstPaint(w));
    if (QScreen* screen = QGuiApplication::primaryScreen())
        w->move(screen->availableGeometry().center() - w->rect().center());
    w->show();
    w->activateWindow();
    w->Text1->setFocus();
    return true;
}
