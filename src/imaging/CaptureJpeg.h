#pragma once
#include <QByteArray>
#include <QString>
#include <memory>
#include <optional>

class Bitmap24;

// The JPEG of the frame just saved as BMP, encoded on a thread of its own
// while the BMP is being written, so that converting that BMP right after
// mostly waits for an encoding already under way. Only the last frame is kept,
// and its JPEG is used only when the BMP file holds exactly that frame: the
// file is compared with it byte for byte (file times cannot promise that: they
// are coarse, and a file rewritten in place keeps its size and identity), so a
// file replaced or changed in the meantime is converted from what it holds.
namespace CaptureJpeg {
// Starts encoding the frame about to be written to bmpPath at the quality.
void offer(const QString& bmpPath, std::shared_ptr<const Bitmap24> frame, int quality);
// Drops the offer (its BMP could not be written).
void withdraw();
// The encoded JPEG of bmpPath when it was offered at this quality and the
// file holds exactly the offered frame; nothing otherwise (then encode from
// the file). Either way the offer is used up.
std::optional<QByteArray> take(const QString& bmpPath, int quality);
}
