#include "platform/Environment.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QGuiApplication>
#include <QMimeDatabase>
#include <QPrinterInfo>
#include <QProcess>
#include <QScreen>
#include <QStandardPaths>

#include <memory>

namespace {
std::optional<bool>& printerOverride()
{
    static std::optional<bool> v;
    return v;
}
std::function<bool()>& printerLister()
{
    static std::function<bool()> f;
    return f;
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
    if (printerLister())
        return printerLister()();
    return !QPrinterInfo::availablePrinterNames().isEmpty();
}
void setPrinterLister(std::function<bool()> anyPrinter) { printerLister() = std::move(anyPrinter); }
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

DesktopOpen openWithDesktop(const QString& path, std::function<void(const QString& said)> failedLater)
{
    if (!QFileInfo(path).isFile())
        return DesktopOpen::Missing;
    const QString launcher = QStandardPaths::findExecutable(QStringLiteral("xdg-open"));
    if (launcher.isEmpty())
        return DesktopOpen::NoLauncher;
    // The launcher's companion says which program it would start; where it is
    // missing, the launcher is left to try.
    const QString query = QStandardPaths::findExecutable(QStringLiteral("xdg-mime"));
    if (!query.isEmpty()) {
        const QMimeType type = QMimeDatabase().mimeTypeForFile(path);
        bool known = false;
        for (const QString& name : QStringList{type.name()} + type.aliases()) {
            QProcess p;
            p.start(query, {QStringLiteral("query"), QStringLiteral("default"), name});
            if (p.waitForFinished(30000) && !p.readAllStandardOutput().trimmed().isEmpty()) {
                known = true;
                break;
            }
        }
        if (!known)
            return DesktopOpen::NoViewer;
    }
    // The launcher is followed until it ends (with some desktops it waits for the program
    // it started): one that gives up says why in the last line of its error output (only
    // that line is kept, whatever the program writes there meanwhile).
    auto* run = new QProcess(QCoreApplication::instance());
    auto said = std::make_shared<QString>();
    QObject::connect(run, &QProcess::readyReadStandardError, run, [run, said] {
        const QStringList lines =
            QString::fromLocal8Bit(run->readAllStandardError()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        if (!lines.isEmpty())
            *said = lines.last().trimmed();
    });
    QObject::connect(run, &QProcess::finished, run, [run, said, failedLater](int code, QProcess::ExitStatus status) {
        run->deleteLater();
        if ((code == 0 && status == QProcess::NormalExit) || !failedLater)
            return;
        failedLater(said->isEmpty() ? QStringLiteral("xdg-open 退出码 %1").arg(code) : *said);
    });
    run->setStandardOutputFile(QProcess::nullDevice());
    run->start(launcher, {path});
    if (!run->waitForStarted(30000)) {
        delete run;
        return DesktopOpen::NoLauncher;
    }
    return DesktopOpen::Opened;
}
}
