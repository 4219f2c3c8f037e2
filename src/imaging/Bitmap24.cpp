#include "imaging/Bitmap24.h"

#include <QImage>

#include <algorithm>
#include <cstring>
#include <new>

Bitmap24::~Bitmap24() { ClearUp(); }

int Bitmap24::BytesPerScanLine() const { return bytesPerScanLine(header_.biWidth); }

bool Bitmap24::Create(int width, int height)
{
    ClearUp();
    if (width <= 0 || height <= 0)
        return false;
    // Guard the size arithmetic: the image size is a 32-bit field.
    const qint64 size = qint64(bytesPerScanLine(width)) * height;
    if (width > (0x7fffffff - 3) / 3 || size > 0x7fffffff)
        return false;
    BitmapInfoHeader h;
    h.biWidth = width;
    h.biHeight = height;
    h.biSizeImage = quint32(size);
    try {
        bits_.assign(std::size_t(size), 0);
    } catch (const std::bad_alloc&) {
        ClearUp();
        return false;
    }
    header_ = h;
    return true;
}

void Bitmap24::CreateFromPicture(const QImage& picture)
{
    if (picture.isNull())
        return;
    if (Create(picture.width(), picture.height()))
        LoadPictureBlt(picture);
}

void Bitmap24::ClearUp()
{
    bits_.clear();
    bits_.shrink_to_fit();
    header_ = BitmapInfoHeader();
}

void Bitmap24::LoadPictureBlt(const QImage& source, int srcLeft, int srcTop, int width, int height)
{
    if (bits_.empty() || source.isNull())
        return;
    if (width < 0)
        width = Width();
    if (height < 0)
        height = Height();
    // Clip to both the section and the source.
    if (srcLeft < 0) {
        width += srcLeft;
        srcLeft = 0;
    }
    if (srcTop < 0) {
        height += srcTop;
        srcTop = 0;
    }
    width = std::min({width, Width(), source.width() - srcLeft});
    height = std::min({height, Height(), source.height() - srcTop});
    if (width <= 0 || height <= 0)
        return;
    const QImage bgr =
        source.format() == QImage::Format_BGR888 ? source : source.convertToFormat(QImage::Format_BGR888);
    for (int y = 0; y < height; ++y) {
        const uchar* src = bgr.constScanLine(srcTop + y) + 3 * srcLeft;
        std::memcpy(row(Height() - 1 - y), src, std::size_t(width) * 3);
    }
}

QImage Bitmap24::toImage() const
{
    if (bits_.empty())
        return QImage();
    const QImage view(bits_.data(), Width(), Height(), BytesPerScanLine(), QImage::Format_BGR888);
    return view.mirrored(false, true);
}
