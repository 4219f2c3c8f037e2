#include "imaging/CaptureStore.h"

#include "imaging/Bitmap24.h"
#include "imaging/BmpFile.h"
#include "imaging/ImagingError.h"
#include "platform/AppPaths.h"
#include "platform/PrivateFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>

#include <algorithm>

namespace {
const QString kSource = QStringLiteral("CaptureStore");

QString shown(const QString& path) { return QDir::toNativeSeparators(path); }

ImagingError notReadable(const QString& path)
{
    return ImagingError(AppError::FileNotFound, kSource, QStringLiteral("无法读取文件：") + shown(path));
}

ImagingError notWritten(const QString& path)
{
    return ImagingError(AppError::PathFileAccess, kSource, QStringLiteral("无法写入文件：") + shown(path));
}

}

namespace CaptureStore {

QString captureBase(int n) { return AppPaths::imageFolder() + QStringLiteral("/image%1").arg(n); }
QString reportFile(int n) { return AppPaths::imageFolder() + QStringLiteral("/rpt%1.jpg").arg(n); }

bool ensureFolder()
{
    const QString folder = AppPaths::imageFolder();
    return QFileInfo(folder).isDir() || PrivateFile::makeFolder(folder);
}

void copyPicture(const QString& from, const QString& to)
{
    QFile in(from);
    if (!in.open(QIODevice::ReadOnly))
        throw notReadable(from);
    const QByteArray bytes = in.readAll();
    if (in.error() != QFileDevice::NoError)
        throw notReadable(from);
    // Owner-only, and replaced whole: a failed write leaves the old file.
    if (PrivateFile::replace(to, bytes) != 0)
        throw notWritten(to);
}

void writeBmpOfJpeg(const QString& jpg, const QString& bmp)
{
    if (!QFileInfo::exists(jpg))
        throw notReadable(jpg);
    const QImage picture(jpg);
    if (picture.isNull())
        throw ImagingError(AppError::InvalidPicture, kSource, QStringLiteral("不是有效的图像文件：") + shown(jpg));
    if (!BmpFile::write24(picture, bmp))
        throw notWritten(bmp);
}

QImage thumbnail(const Bitmap24& frame, QSize size)
{
    const int w = frame.Width(), h = frame.Height();
    const uint8_t* bits = frame.DIBSectionBitsPtr();
    if (!bits || w <= 0 || h <= 0 || size.isEmpty())
        return QImage();
    const int bpl = frame.BytesPerScanLine();
    QImage out(size, QImage::Format_RGB32);
    // Up to 4 x 4 samples per thumbnail pixel, spread over the frame's pixels under it.
    const int sx = std::clamp(w / size.width(), 1, 4);
    const int sy = std::clamp(h / size.height(), 1, 4);
    for (int ty = 0; ty < size.height(); ++ty) {
        auto* line = reinterpret_cast<QRgb*>(out.scanLine(ty));
        for (int tx = 0; tx < size.width(); ++tx) {
            int b = 0, g = 0, r = 0;
            for (int j = 0; j < sy; ++j) {
                const int y = int((qint64(ty) * sy + j) * h / (qint64(size.height()) * sy));
                const uint8_t* row = bits + std::size_t(h - 1 - y) * std::size_t(bpl);   // bottom-up
                for (int i = 0; i < sx; ++i) {
                    const int x = int((qint64(tx) * sx + i) * w / (qint64(size.width()) * sx));
                    b += row[3 * x];
                    g += row[3 * x + 1];
                    r += row[3 * x + 2];
                }
            }
            const int n = sx * sy;
            line[tx] = qRgb((r + n / 2) / n, (g + n / 2) / n, (b + n / 2) / n);
        }
    }
    return out;
}

QImage loadScaled(const QString& path, QSize size)
{
    QImageReader reader(path);
    if (reader.size().isValid() && !size.isEmpty())
        reader.setScaledSize(size);
    return reader.read();
}
}
