#pragma once
#include <QByteArray>
#include <QString>
#include <memory>
#include <optional>

class cDIBSection;

// The JPEG of the frame just saved as BMP, encoded while the BMP is being
// written, so that converting that BMP right after costs no second pass.
// Only the last frame is kept, and only while its BMP file is unchanged.
namespace CaptureJpeg {
// Starts encoding the frame written to bmpPath at the given quality.
void offer(const QString& bmpPath, std::shared_ptr<const cDIBSection> frame, int quality);
// Marks the offer's BMP as written (its size and time identify it); a
// failed write withdraws the offer.
void written(const QString& bmpPath, bool ok);
// The encoded JPEG of bmpPath when the file is still the one offered and was
// encoded at this quality; nothing otherwise (then encode from the file).
std::optional<QByteArray> take(const QString& bmpPath, int quality);
}
