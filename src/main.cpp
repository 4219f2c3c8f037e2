#include "core/Mmain.h"
#include "editor/EditorOpeners.h"

#include <QApplication>

namespace {
// The upper layers put their windows into the opener table before anything
// can open one. Each new subsystem adds its registration here.
void registerWindows()
{
    EditorOpeners::registerAll();
}
}

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    registerWindows();
    const Mmain::StartResult started = Mmain::Main();
    if (!started.running)
        return started.exitCode;
    const int code = app.exec();
    Mmain::ReleaseInstanceLock();
    return code;
}
