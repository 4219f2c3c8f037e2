#pragma once
#include <QString>
#include <optional>

// Section codes are texts that hold a number. The sections window accepts any
// text that reads as a number; a section list carries each code as a 32-bit
// whole number, which is what a physician's section column stores (in plain
// decimal), so "007" and "7" name the same list entry.
namespace SectionCode {

// True when the text, blanks around it ignored, is a number: a sign, digits, a
// decimal point and an exponent are accepted ("12", "007", "-3", "1.5", " 12 ");
// group separators, currency signs, hexadecimal, infinity and NaN are not.
bool IsNumeric(const QString& text);

// The whole number a code stands for: rounded halves to even, within the 32-bit
// range; nothing for a text that is no number or lies outside that range.
std::optional<qint32> ToInt32(const QString& text);
}
