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
// The print service's own words when it does not answer, so that no printer is to be had;
// nullopt while it answers (or while tests say which printers there are). The printing
// layer supplies the question; tests can say the service is down with the given words.
std::optional<QString> printServiceDown();
void setPrintServiceProbe(std::function<std::optional<QString>()> probe);
void setPrintServiceDownOverride(std::optional<QString> words);
// What a command that needs a printer says when there is none: its usual words, or that
// the print service is not running, with the service's words after it.
QString noPrinterText(const QString& usual);

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
