#include "imaging/BmpFile.h"

#include "imaging/cDIBSection.h"

#include <QFile>
#include <QImage>
#include <QtEndian>

#include <cstring>
#include <vector>

namespace {
constexpr int kFileHeader = 14;
constexpr int kInfoHeader = 40;

void put16(uchar* p, quint16 v) { qToLittleEndian(v, p); }
void put32(uchar* p, quint32 v) { qToLittleEndian(v, p); }
}

namespace BmpFile {

bool write24(const QImage& picture, const QString& path)
{
    if (picture.isNull())
        return false;
    const QImage img = picture.format() == QImage::Format_RGB32 || picture.format() == QImage::Format_ARGB32
        ? picture : picture.convertToFormat(QImage::Format_RGB32);
    const int w = img.width();
    const int h = img.height();
    const int stride = cDIBSection::bytesPerScanLine(w);
    const quint32 imageSize = quint32(stride) * quint32(h);
    std::vector<uchar> buf(kFileHeader + kInfoHeader + std::size_t(imageSize), 0);
    uchar* p = buf.data();
    p[0] = 'B';
    p[1] = 'M';
    put32(p + 2, quint32(buf.size()));
    put32(p + 10, kFileHeader + kInfoHeader);
    uchar* ih = p + kFileHeader;
    put32(ih, kInfoHeader);
    put32(ih + 4, quint32(w));
    put32(ih + 8, quint32(h));
    put16(ih + 12, 1);
    put16(ih + 14, 24);
    put32(ih + 20, imageSize);
    put32(ih + 24, 3780);   // 96 dpi
    put32(ih + 28, 3780);
    uchar* bits = p + kFileHeader + kInfoHeader;
    for (int y = 0; y < h; ++y) {
        const quint32* src = reinterpret_cast<const quint32*>(img.constScanLine(h - 1 - y));
        uchar* dst = bits + std::size_t(y) * stride;
        for (int x = 0; x < w; ++x) {
            const quint32 px = src[x];
            dst[3 * x] = uchar(px);
            dst[3 * x + 1] = uchar(px >> 8);
            dst[3 * x + 2] = uchar(px >> 16);
        }
    }
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    const bool ok = f.write(reinterpret_cast<const char*>(buf.data()), qint64(buf.size())) == qint64(buf.size());
    f.close();
    if (!ok || f.error() != QFileDevice::NoError) {
        QFile::remove(path);
        return false;
    }
    return true;
}

bool read(const QString& path, cDIBSection& dib)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return false;
    uchar head[kFileHeader + kInfoHeader];
    if (f.read(reinterpret_cast<char*>(head), sizeof head) == qint64(sizeof head) && head[0] == 'B'
        && head[1] == 'M') {
        const uchar* ih = head + kFileHeader;
        const quint32 offBits = qFromLittleEndian<quint32>(head + 10);
        const quint32 infoSize = qFromLittleEndian<quint32>(ih);
        const qint32 w = qFromLittleEndian<qint32>(ih + 4);
        const qint32 h = qFromLittleEndian<qint32>(ih + 8);
        const quint16 bpp = qFromLittleEndian<quint16>(ih + 14);
        const quint32 compression = qFromLittleEndian<quint32>(ih + 16);
        if (infoSize >= kInfoHeader && bpp == 24 && compression == 0 && w > 0 && h > 0
            && w <= 0x8000 && h <= 0x8000) {
            const qint64 size = qint64(cDIBSection::bytesPerScanLine(w)) * h;
            if (qint64(offBits) + size <= f.size() && dib.Create(w, h) && f.seek(offBits)
                && f.read(reinterpret_cast<char*>(dib.DIBSectionBitsPtr()), size) == size)
                return true;
        }
    }
    f.close();
    QImage picture;
    if (!picture.load(path))
        return false;
    dib.CreateFromPicture(picture);
    return dib.Width() > 0;
}
}
