#pragma once
#include <QString>
#include <initializer_list>
#include <optional>
#include <utility>

class QLineEdit;

// What a text the user typed may hold, for every place that stores or writes
// one: the same rule for the editor, the dictionary and template windows, the
// settings dialogs and the DICOM files.
//
// A one-line text holds no control character (C0 with U+0000, DEL, C1), no
// line or paragraph separator (U+2028, U+2029), no character that changes the
// direction of the text around it (U+061C, U+200E, U+200F, U+202A..U+202E,
// U+2066..U+2069), no zero-width space (U+200B), no byte order mark (U+FEFF),
// and no half of a surrogate pair on its own (it has no UTF-8 form). The
// zero-width joiner is kept where it joins two emoji into one. A free text
// (findings, diagnosis, a template's texts) holds the same and may also hold
// tabs and line breaks.
namespace TypedText {

enum class Kind {
    OneLine,
    Free
};

// The first character a text may not hold: its position (in UTF-16 units)
// and its code (a lone surrogate as itself, U+D800..U+DFFF).
struct Refused {
    qsizetype at = 0;
    char32_t character = 0;
};
std::optional<Refused> FirstRefused(const QString& text, Kind kind);

// A character as users know it: tab and line breaks by name, the refused ones
// by a name and their code ("控制字符 U+001B", "空字符 U+0000"), any other as itself.
QString CharacterName(char32_t ch);

// The message for a typed field: "病人姓名含有不允许的字符（控制字符 U+001B），请重新输入".
QString RefusedText(const QString& field, char32_t ch);
// The message for a value taken from what another window stores:
// "科室含有不允许的字符（控制字符 U+001B），请在 科室设置 中改正".
QString RefusedStoredText(const QString& field, char32_t ch, const QString& window);
// A dialog's one-line boxes at its save, each with its field's name: true when every one is
// clean; else the first refused is said (a critical box titled "错误"), focused and selected.
bool LinesClean(std::initializer_list<std::pair<QLineEdit*, QString>> fields);
// A label's caption as a field name: without blanks, full-width blanks and a trailing colon.
QString FieldName(const QString& caption);
}
