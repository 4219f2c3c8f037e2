#include "core/Mmain.h"
#include "core/login.h"

#include <QEvent>
#include <QGuiApplication>
#include "core/QvTextBox.h"
#include <QScreen>

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
            QMetaObject::invokeMethod(QCoreApplication::instance(), [] { Mmain::Quit(0); }, Qt::QueuedConnection);
        }
        return false;
    }
};
}

namespace Mmain {
bool ShowLogin()
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
}
