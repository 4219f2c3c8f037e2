#include "query/QueryOpeners.h"

#include "core/Openers.h"
#include "query/FrmTJ.h"
#include "query/Frmfind.h"

namespace QueryOpeners {
namespace {
template <typename Window>
void registerWindow(const QString& name)
{
    Openers::setOpener(name, [](const QString&) {
        Window& w = Window::instance();
        w.ensureLoaded();
        w.showModally();
    });
}
}

void registerAll()
{
    registerWindow<Frmfind>(QStringLiteral("Frmfind"));
    registerWindow<FrmTJ>(QStringLiteral("FrmTJ"));
}
}
