#include "query/QueryOpeners.h"

#include "core/Openers.h"
#include "query/FrmTJ.h"
#include "query/Frmfind.h"

namespace QueryOpeners {
namespace {
template <typename Window>
void registerWindow(Openers::Window id)
{
    Openers::setOpener(id, [](Openers::How) {
        Window& w = Window::instance();
        w.ensureLoaded();
        w.showModally();
    });
}
}

void registerAll()
{
    registerWindow<Frmfind>(Openers::Window::Frmfind);
    registerWindow<FrmTJ>(Openers::Window::FrmTJ);
}
}
