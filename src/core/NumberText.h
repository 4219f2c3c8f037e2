#pragma once
#include <QString>
#include <optional>

// The program's test of a number typed into a field or read from the settings:
// blanks around it, an optional sign, digits with at most one decimal point and
// an optional exponent. The C locale's point and the system locale's decimal
// separator are both accepted. Empty is no number.
namespace NumberText {
bool IsNumber(const QString& text);
std::optional<double> Parse(const QString& text);
// A whole number written as one (blanks around it, an optional sign, digits),
// within the range of int; anything else is none.
std::optional<int> ParseWhole(const QString& text);
}
