#pragma once
#include <QString>
#include <optional>

// The program's test of a number typed into a field or read from the settings:
// optional blanks, an optional sign, digits with at most one decimal point, an
// optional exponent, optional blanks. Empty is no number.
namespace NumberText {
std::optional<double> Parse(const QString& text);
}
