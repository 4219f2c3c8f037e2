#pragma once
#include <QString>
#include <exception>

// A run-time failure of the imaging code, raised to the caller with the
// number, source and description the caller shows ("<number>:<description>").
struct ImagingError : std::exception {
    ImagingError(int n, QString src, QString desc)
        : number(n), source(std::move(src)), description(std::move(desc)) {}
    const char* what() const noexcept override { return "imaging error"; }
    // "<number>:<description>", as caught failures are reported.
    QString text() const { return QString::number(number) + QLatin1Char(':') + description; }

    int number;
    QString source;
    QString description;
};
