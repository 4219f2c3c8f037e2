#pragma once
#include <QImage>
#include <QSize>
#include <QString>

class Bitmap24;

// The picture files behind the editor's two groups of picture slots, in the
// folder img of the program folder:
//   image1 .. image18   capture slot n-1: image<n>.bmp (the frame as grabbed)
//                       and image<n>.jpg (its JPEG); the slot's Tag is the
//                       path without extension
//   rpt1.jpg .. rpt4.jpg report slot k-1; the slot's Tag is the full path
// A slot whose Tag is "" is empty. Emptying a slot deletes no file; a file
// of an empty slot is overwritten by the next picture put into that slot.
// Every copy is checked, so a slot is only filled when its file was written.
namespace CaptureStore {
inline constexpr int kCaptureSlots = 18;
inline constexpr int kReportSlots = 4;
// The boxes' sizes in pixels.
inline constexpr QSize kThumbnailSize{77, 57};
inline constexpr QSize kReportPictureSize{160, 120};

QString captureBase(int n);   // <img>/image<n>, n = 1..18
QString reportFile(int n);    // <img>/rpt<n>.jpg, n = 1..4

// Creates the folder when it is missing; false when it cannot be made.
bool ensureFolder();

// Copies a picture file over the target. Raises ImagingError 53 when the
// source cannot be read, 75 when the target cannot be written (it then keeps
// what it held before).
void copyPicture(const QString& from, const QString& to);
// Writes the 24-bit BMP of a JPEG file, so that a slot's two files show the
// same picture. Raises ImagingError 53 (missing), 481 (not a picture) or 75.
void writeBmpOfJpeg(const QString& jpg, const QString& bmp);

// The frame reduced to a thumbnail of the size, each pixel the mean of the
// frame's pixels under it (sampled on a small grid).
QImage thumbnail(const Bitmap24& frame, QSize size);
// A picture file decoded at about the size (JPEGs are decoded scaled down);
// null when the file is missing or not a picture.
QImage loadScaled(const QString& path, QSize size);
}
