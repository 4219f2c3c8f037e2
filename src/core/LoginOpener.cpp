#include "core/Mmain.h"
#include "core/login.h"

#include <QGuiApplication>
#include "core/QvTextBox.h"
#include <QScreen>

namespace Mmain {
bool ShowLogin()
{
    auto* w = new login;
    if (QScreen* screen = QGuiApplication::primaryScreen())
        w->move(screen->availableGeometry().center() - w->rect().center());
    w->show();
    w->activateWindow();
    w->Text1->setFocus();
    return true;
}
}
