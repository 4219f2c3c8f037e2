#include "platform/Opener.h"

#include <QDialog>

namespace {
Opener::Hook& hook()
{
    static Opener::Hook h;
    return h;
}
}

namespace Opener {
int showModal(QDialog* window)
{
    if (hook())
        return hook()(window);
    return window->exec();
}
void setHook(Hook h) { hook() = std::move(h); }
}
