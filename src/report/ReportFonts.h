#pragma once

// The report layout names its faces as the workstations it came from did ("宋体",
// "黑体"). Those faces are not installed here: each name is mapped to an installed
// Chinese face of the same style whose Latin letters and digits come from the same face.
namespace ReportFonts {

// Installs the mappings once per process; later calls do nothing.
void installSubstitutions();
}
