#pragma once
#include <QString>

// The program folder holds everything the workstation keeps on disk:
// data.db, options.ini, img/, head.bmp, help.chm and backups.
namespace AppPaths {
// The folder of the executable unless a test has set another one.
QString programFolder();
void setProgramFolder(const QString& folder);
// programFolder() + "/" + relative
QString file(const QString& relative);
QString databaseFile();   // data.db
QString iniFile();        // options.ini
QString imageFolder();    // img
}
