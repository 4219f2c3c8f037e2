#pragma once
#include <QString>

class QImage;
class Bitmap24;

// 24-bit BMP files, whose pixel array has exactly the layout of a Bitmap24.
namespace BmpFile {
// Writes the picture as an uncompressed 24-bit bottom-up BMP. False when the
// picture is empty or the file cannot be written.
bool write24(const QImage& picture, const QString& path);
// Writes the section's memory as it is (header + pixel array). A new file is
// owner-only; an existing one is replaced only by a complete new file.
bool write(const Bitmap24& dib, const QString& path);
// Why this thread's last write failed: the system's error code (ENOSPC,
// EFBIG, EACCES ...); 0 after a write that succeeded or had no frame.
int lastWriteError();
// True when the file holds exactly what write(dib, path) writes.
bool holds(const QString& path, const Bitmap24& dib);
// Loads a BMP into the section: a 24-bit bottom-up file is read straight into
// the section's memory, any other picture through the image reader.
// False when the file is missing or not a picture.
bool read(const QString& path, Bitmap24& dib);
}
