#pragma once

// The report layout names its faces as the workstations it came from did ("宋体",
// "黑体"). Those faces are not installed here: each name is mapped to an installed
// Chinese face of the same style whose Latin letters and digits come from the same face.
#include <QString>
#include <QStringList>

namespace ReportFonts {

// Installs the mappings once per process; later calls do nothing.
void installSubstitutions();

// The installed face a stored face name is drawn in: the name itself when installed,
// else the face it is mapped to, else the one the system falls back to.
QString installedFace(const QString& name);

// The faces text of a stored face name is drawn in. Bold text whose face has no bold of
// its own is drawn in the first installed face of the same style that has one (a Song
// face for 宋体, a Hei face for 黑体): a made-up bold is a second copy of each glyph
// shifted by a hair, barely darker on paper. Where no face of the style has a bold,
// the name stays and the toolkit makes the bold up. Regular text keeps its face.
QStringList faces(const QString& name, bool bold);
}
