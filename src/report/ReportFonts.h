#pragma once

// The report layout names its faces as the workstations it came from did ("宋体",
// "黑体"). Those faces are not installed here: each name is mapped to an installed
// Chinese face of the same style whose Latin letters and digits come from the same face.
#include <QString>

namespace ReportFonts {

// Installs the mappings once per process; later calls do nothing.
void installSubstitutions();

// The installed face a stored face name is drawn in: the name itself when installed,
// else the face it is mapped to, else the one the system falls back to.
QString installedFace(const QString& name);
}
