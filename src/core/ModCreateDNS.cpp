#include "core/ModCreateDNS.h"

#include <QHash>

namespace {
QHash<QString, QString>& sources()
{
    static QHash<QString, QString> s;
    return s;
}
}

namespace ModCreateDNS {
// There is no driver manager to register with: the name only maps to the file.
void CreateDSN(const QString& name, const QString& path) { sources().insert(name.toLower(), path); }
QString DataSourcePath(const QString& name) { return sources().value(name.toLower()); }
}
