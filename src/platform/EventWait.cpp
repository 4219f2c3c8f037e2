#include "platform/EventWait.h"

#include <QCoreApplication>
#include <QTimer>

namespace EventWait {

bool until(const std::function<bool()>& done, int timeoutMs, QEventLoop::ProcessEventsFlags flags)
{
    bool late = false;
    QTimer timer;
    timer.setSingleShot(true);
    QObject::connect(&timer, &QTimer::timeout, [&late] { late = true; });
    if (timeoutMs != kNoLimit)
        timer.start(timeoutMs);
    QCoreApplication::processEvents(flags);
    while (!done()) {
        if (late)
            return false;
        QCoreApplication::processEvents(flags | QEventLoop::WaitForMoreEvents);
    }
    return true;
}
}
