#pragma once
#include "platform/AppError.h"

// A run-time failure of the imaging code, raised to the caller with the
// number, source and description the caller shows ("<number>:<description>").
struct ImagingError : AppError {
    ImagingError(int n, QString src, QString desc) : AppError(n, std::move(desc)), source(std::move(src)) {}

    QString source;
};
