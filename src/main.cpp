#include "RegisterWindows.h"
#include "core/Mmain.h"
#include "platform/MessageBox.h"
#include "platform/ProgramFolder.h"

#include <QApplication>

int main(int argc, char* argv[])
{
    // The start's messages also go to standard error: on a display nobody
    // watches (scripts/run's virtual one), the terminal still says them.
    MessageBox::setEchoToStandardError(true);
    // Building the application reads qt.conf and loads plugins from the
    // executable's folder: that folder is checked before any Qt object exists.
    if (ProgramFolder::isRefusalCopy())
        return ProgramFolder::refuseStart(argc, argv, QString());
    if (const QString refused = ProgramFolder::checkExecutableFolder(); !refused.isEmpty())
        return ProgramFolder::refuseStart(argc, argv, refused);
    QApplication app(argc, argv);
    registerWindows();
    const Mmain::StartResult started = Mmain::Main();
    MessageBox::setEchoToStandardError(false);
    if (!started.running)
        return started.exitCode;
    const int code = app.exec();
    Mmain::ReleaseInstanceLock();
    return code;
}
