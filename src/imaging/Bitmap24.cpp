#include "imaging/Bitmap24.h"

#include "core/Mmain.h"
#include "platform/MessageBox.h"

#include <QClipboard>
#include <QDateTime>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <new>
#include <random>

Bitmap24::~Bitmap24()
{
    ClearUp();
}

int Bitmap24::BytesPerScanLine() const
{
    return bytesPerScanLine(header_.biWidth);
}

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
    if (srcLeft < 0) { width += srcLeft; srcLeft = 0; }
    if (srcTop < 0) { height += srcTop; srcTop = 0; }
    width = std::min({width, Width(), source.width() - srcLeft});
    height = std::min({height, Height(), source.height() - srcTop});
    if (width <= 0 || height <= 0)
        return;
    const QImage bgr = source.format() == QImage::Format_BGR888
        ? source : source.convertToFormat(QImage::Format_BGR888);
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

void Bitmap24::PaintPicture(QPainter& destination, int dstLeft, int dstTop, int width, int height,
                               int srcLeft, int srcTop) const
{
    if (bits_.empty())
        return;
    if (width < 0)
        width = Width();
    if (height < 0)
        height = Height();
    const QImage view(bits_.data(), Width(), Height(), BytesPerScanLine(), QImage::Format_BGR888);
    destination.drawImage(QPoint(dstLeft, dstTop), view.mirrored(false, true), QRect(srcLeft, srcTop, width, height));
}

bool Bitmap24::CopyToClipboard(bool bAsDIB)
{
    if (bAsDIB) {
        MessageBox::show(QStringLiteral("I don't know how to put a DIB on the clipboard! Copy as bitmap instead!!!"),
                         QString::fromLatin1(Mmain::kProgramName), MessageBox::Icon::None, MessageBox::Buttons::Ok);
        return false;
    }
    QClipboard* clipboard = QGuiApplication::clipboard();
    if (!clipboard || bits_.empty())
        return false;
    clipboard->setImage(toImage());
    return true;
}

void Bitmap24::RandomiseBits(bool bGray)
{
    if (bits_.empty())
        return;
    std::mt19937 gen(quint32(QDateTime::currentMSecsSinceEpoch()));
    std::uniform_real_distribution<double> rnd(0.0, 1.0);
    auto value = [&] { return uint8_t(std::clamp(std::nearbyint(rnd(gen) * 255.0), 0.0, 255.0)); };
    for (int y = 0; y < Height(); ++y) {
        uint8_t* p = row(y);
        for (int x = 0; x < Width(); ++x, p += 3) {
            if (bGray) {
                const uint8_t v = value();
                p[0] = p[1] = p[2] = v;
            } else {
                p[0] = 0;
                p[1] = value();
                p[2] = value();
            }
        }
    }
}

std::unique_ptr<Bitmap24> Bitmap24::Resample(int newHeight, int newWidth) const
{
    auto result = std::make_unique<Bitmap24>();
    if (!result->Create(newWidth, newHeight))
        return nullptr;
    if (bits_.empty())
        return result;
    if (newWidth == Width() && newHeight == Height())
        std::memcpy(result->bits_.data(), bits_.data(), bits_.size());
    else
        ResampleDib(*result);
    return result;
}

void Bitmap24::ResampleDib(Bitmap24& target) const
{
    const int srcW = Width();
    const int srcH = Height();
    const float xScale = float(srcW - 1) / float(target.Width());
    const float yScale = float(srcH - 1) / float(target.Height());
    auto round = [](float v) { return std::nearbyint(v); };

    for (int y = 0; y < target.Height(); ++y) {
        const float fy = yScale * float(y);
        const int iy = std::min(int(fy), srcH - 1);
        const float dy = fy - float(iy);
        // A source one row high has no second row: the last row is read again.
        const int iy1 = std::min(iy + 1, srcH - 1);
        const uint8_t* r0 = row(iy);
        const uint8_t* r1 = row(iy1);
        uint8_t* out = target.row(y);
        for (int x = 0; x < target.Width(); ++x) {
            const float fx = xScale * float(x);
            const int ix = std::min(int(fx), srcW - 1);
            const float dx = fx - float(ix);
            const int ix1 = std::min(ix + 1, srcW - 1);
            for (int c = 0; c < 3; ++c) {
                const float left = round((1.0f - dy) * float(r0[3 * ix + c]) + dy * float(r1[3 * ix + c]));
                const float right = round((1.0f - dy) * float(r0[3 * ix1 + c]) + dy * float(r1[3 * ix1 + c]));
                const float v = round((1.0f - dx) * left + dx * right);
                out[3 * x + c] = uint8_t(std::clamp(v, 0.0f, 255.0f));
            }
        }
    }
}
