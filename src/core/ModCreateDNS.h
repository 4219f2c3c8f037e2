#pragma once
#include <QString>

// Records which database file a data-source name stands for.
namespace ModCreateDNS {
void CreateDSN(const QString& name, const QString& path);
QString DataSourcePath(const QString& name);
}
