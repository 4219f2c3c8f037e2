#pragma once
// What tests change in how owner-only files are written.

namespace PrivateFile {
// Whether a Replacement may use an unnamed temporary file (on by default;
// off takes the path of file systems that have none).
void setUnnamedTemporaries(bool allowed);
}
