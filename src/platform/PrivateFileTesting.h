#pragma once
// What tests change in how owner-only files are written.
#include "platform/PrivateFile.h"

#include <QString>

#include <functional>

namespace PrivateFile {
// Whether a Replacement may use an unnamed temporary file (on by default;
// off takes the path of file systems that have none).
inline void setUnnamedTemporaries(bool allowed) { internal::faults().unnamedTemporaries = allowed; }
// Called at every commit of a Replacement, before anything is synced or
// renamed, with the file it replaces: an error code other than 0 fails that
// commit as the disk would (the old file stays). An empty function: none.
inline void setCommitFault(std::function<int(const QString& target)> fault)
{
    const std::lock_guard lock(internal::faults().mutex);
    internal::faults().commitFault = std::move(fault);
}
}
