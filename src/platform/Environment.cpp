#include "platform/Environment.h"

#include <QDesktopServices>
#include <QGuiApplication>
#include <QPrinterInfo>
#include <QScreen>
#include <QUrl>

namespace {
std::optional<bool>& printerOverride()
{
    static std::optional<bool> v;
    return v;
}
std::optional<QSize>& screenOverride()
{
    static std::optional<QSize> v;
    return v;
}
std::optional<QDate>& todayOverride()
{
    static std::optional<QDate> v;
    return v;
}
}

namespace Environment {

bool anyPrinterInstalled()
{
    if (printerOverride())
        return *printerOverride();
    return !QPrinterInfo::availablePrinterNames().isEmpty();
}
void setPrinterInstalledOverride(std::optional<bool> value) { printerOverride() = value; }

QSize screenSizePixels()
{
    if (screenOverride())
        return *screenOverride();
    if (QScreen* s = QGuiApplication::primaryScreen())
        return s->size();
    return QSize(1024, 768);
}
void setScreenSizeOverride(std::optional<QSize> value) { screenOverride() = value; }

QDate today()
{
    if (todayOverride())
        return *todayOverride();
    return QDate::currentDate();
}
void setTodayOverride(std::optional<QDate> value) { todayOverride() = value; }

bool openWithDesktop(const QString& path) { return QDesktopServices::openUrl(QUrl::fromLocalFile(path)); }
}
