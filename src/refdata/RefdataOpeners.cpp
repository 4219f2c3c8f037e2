// The main window's maintenance commands open these windows.
#include "refdata/RefdataOpeners.h"

#include "core/Openers.h"
#include "refdata/FrmJCbgdc.h"
#include "refdata/FrmJCdoctor.h"
#include "refdata/FrmJCsection.h"
#include "refdata/Frmbgxm.h"
#include "refdata/Frmck.h"

namespace RefdataOpeners {
namespace {
template <class Window>
void put(const char* name)
{
    Openers::setOpener(QString::fromLatin1(name), [](const QString&) {
        Window& w = Window::instance();
        w.ensureLoaded();
        w.showModally();
    });
}
}

void registerAll()
{
    put<FrmJCdoctor>("FrmJCdoctor");
    put<FrmJCsection>("FrmJCsection");
    put<FrmJCbgdc>("FrmJCbgdc");
    put<Frmck>("Frmck");
    put<Frmbgxm>("Frmbgxm");
}
}
