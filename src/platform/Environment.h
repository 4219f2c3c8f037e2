#pragma once
#include <QDate>
#include <QSize>
#include <QString>
#include <functional>
#include <optional>

// Facts about the machine that windows ask for; each one can be set by tests.
namespace Environment {
// Whether any printer is installed.
bool anyPrinterInstalled();
void setPrinterInstalledOverride(std::optional<bool> value);
// Where the answer comes from: the program's printer layer (its questions to the print
// service have a deadline); without one, the system's printer list.
void setPrinterLister(std::function<bool()> anyPrinter);
// The primary screen's size in pixels.
QSize screenSizePixels();
void setScreenSizeOverride(std::optional<QSize> value);

// Today's date.
QDate today();
void setTodayOverride(std::optional<QDate> value);

// Opens a file with the program that the desktop's launcher (xdg-open) has
// for its type, or tells why it cannot: no such file, no launcher, or no
// program for the type. A launcher that starts and then fails (the program
// named for the type is not installed) is told later, through failedLater
// with the launcher's own words, on the GUI thread.
enum class DesktopOpen {
    Opened,
    Missing,
    NoLauncher,
    NoViewer
};
DesktopOpen openWithDesktop(const QString& path, std::function<void(const QString& said)> failedLater = {});
}
