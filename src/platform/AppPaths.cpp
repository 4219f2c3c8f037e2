#include "platform/AppPaths.h"

#include <QCoreApplication>
#include <QDir>

namespace {
QString& overrideFolder()
{
    static QString folder;
    return folder;
}
}

namespace AppPaths {

QString programFolder()
{
    if (!overrideFolder().isEmpty())
        return overrideFolder();
    return QCoreApplication::applicationDirPath();
}

void setProgramFolder(const QString& folder)
{
    overrideFolder() = folder.isEmpty() ? QString() : QDir::cleanPath(folder);
}

QString file(const QString& relative) { return programFolder() + QLatin1Char('/') + relative; }

QString databaseFile() { return file(QStringLiteral("data.db")); }
QString iniFile() { return file(QStringLiteral("options.ini")); }
QString imageFolder() { return file(QStringLiteral("img")); }

}
