#pragma once
#include "platform/AppError.h"
#include "platform/Units.h"

#include <QString>
#include <optional>

// Small helpers shared by the report page, its settings and the printer layer.
namespace ReportUnits {

constexpr double kMmPerInch = 25.4;
constexpr double kPointsPerInch = 72.0;
constexpr double kScreenDpi = Units::kScreenDpi;

inline double mmToDots(double mm, double dpi) { return mm * dpi / kMmPerInch; }
inline double dotsToMm(double dots, double dpi) { return dots * kMmPerInch / dpi; }

// Numbers are read by the program's number test (core/NumberText.h).
// A stored print code (paper, colour mode, orientation, quality) as a 16-bit whole
// number, halves to even; nullopt when the text is none or out of range.
std::optional<int> toCode16(const QString& text);
// "True"/"False" (any case) or a number (true when not 0).
std::optional<bool> toBoolean(const QString& text);
}

// A failure inside the report page or the printer layer, reported as "<number>:<description>":
// SubscriptOutOfRange, TypeMismatch, InvalidPicture or PrinterFailure.
struct ReportError : AppError {
    ReportError(int n, QString desc) : AppError(n, std::move(desc)) {}
};
