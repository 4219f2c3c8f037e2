#include "RegisterWindows.h"
#include "core/Mmain.h"

#include <QApplication>

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
