#pragma once
#include <QString>

// Opens the reference data windows from the main window's menu commands.
namespace RefdataOpeners {
// Opens the dictionary window of that class name ("FrmJCdoctor", "FrmJCsection",
// "FrmJCbgdc", "Frmck", "Frmbgxm") modally; false for any other name.
bool Open(const QString& window);
}
