#pragma once
// What tests and benchmarks change in the foot switch; the program itself
// never calls these.
#include "imaging/FootSwitch.h"

#include <functional>
#include <memory>

namespace FootSwitch {
// Puts the device folder (normally /dev) and the file listing the system's
// consoles (normally /sys/class/tty/console/active) elsewhere; empty restores
// the real ones.
inline void setDeviceFoldersForTest(const QString& dev, const QString& consoles)
{
    internal::hooks().devFolder = dev;
    internal::hooks().consolesFile = consoles;
}
// Makes makePort() give ports of another kind; an empty factory restores
// SerialCtsSource.
inline void setPortFactory(std::function<std::unique_ptr<CtsSource>()> factory)
{
    internal::hooks().portFactory = std::move(factory);
}
// The serial ports' watcher tasks running now.
inline int runningWatchers() { return internal::hooks().watchersRunning.load(); }
}
