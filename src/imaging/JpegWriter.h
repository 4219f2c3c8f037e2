#pragma once
#include "platform/AppError.h"

#include <QString>

class Bitmap24;
class QWidget;

// The JPEG writer. Failures are raised as ImagingError number 26001 with the
// source "<executable>.JpegWriter". The encoder's failures are described as
// "Failed to initialise the IJL library: -1" or "Failed to save to JPG -1"; a
// file that cannot be written (an existing one that may not be replaced, a
// full disk) as every file of the program is, the system's reason and the
// file: "磁盘已满：/…/img/image2.jpg".
namespace JpegWriter {
inline constexpr int kErrorNumber = AppError::JpegWriterFailed;
// The quality of captured pictures.
inline constexpr int kCaptureQuality = 90;

// Encodes the section (24-bit, bottom-up) straight from its memory at the
// quality given and writes it to fileName. A new file is owner-only; when the
// file existed, the new one replaces it whole (a failed write leaves the old
// one) and gets its last-access and modification times and its owner's
// permissions, never any for group or others (Linux keeps no settable
// creation time). True when written.
bool SaveJPG(const Bitmap24& dib, const QString& fileName, int quality);

// The two halves of SaveJPG: encoding to memory, and writing encoded bytes
// to the file keeping an existing file's identity. Both raise 26001.
QByteArray encode(const Bitmap24& dib, int quality);
bool writeFile(const QByteArray& jpeg, const QString& fileName);
}

// Converts a captured BMP into a JPEG of the same name ending in "jpg"
// (quality 90). A name not ending in "BMP" (any case) is refused with a message
// and gives false. A missing BMP raises ImagingError 53, one that is not a
// picture 481; the writer's failures are raised as above. Callers catch them.
bool ConvertBmpToJpg(const QString& fileName, QWidget* parent = nullptr);
