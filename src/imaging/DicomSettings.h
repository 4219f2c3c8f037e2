#pragma once
#include "core/Database.h"

#include <QString>
#include <optional>

// What the DICOM conversion and its two settings dialogs share besides their
// settings (IniKey::Dicom*): the two counters of table DCMConvertCS and the
// tests of the output folder and of an exam number used as a folder name.
namespace DicomSettings {

inline const QString kStudyCounter = QStringLiteral("studyid");
inline const QString kSeriesCounter = QStringLiteral("seriesid");
// The largest value a counter may be given: one more must still fit a 32-bit signed number.
inline constexpr int kCounterMax = 2147483646;

// The output folder is usable when it has at least two characters, is absolute
// and its first component (the "/mnt" of "/mnt/dicom") exists.
bool OutputFolderUsable(const QString& folder);
// The folder without one trailing "/".
QString CutTrailingSeparator(const QString& folder);

// False for an exam number that would leave the output folder as a folder
// name: "/", "\", "..", NUL or any of ? * < > | " :, or "." alone.
bool SafeFolderName(const QString& name);

// A counter text as typed in the settings dialog: a whole number 0..kCounterMax,
// blanks around it allowed.
std::optional<int> CounterText(const QString& text);

// The value of a counter row read through QueryData: its CSid at position 1.
// Nothing on failure, with the text of the error box to show (title "错误") in
// *failure: "参数表数据错误！" when the row is missing.
std::optional<int> ReadCounter(const QString& name, QString* failure);
// Sets a counter row's CSid to value.
QueryResult WriteCounter(const QString& name, int value);
}
