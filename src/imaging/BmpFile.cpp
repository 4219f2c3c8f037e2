#include "imaging/BmpFile.h"

#include "imaging/cDIBSection.h"

#include <QFile>
#include <QImage>
#include <QtEndian>

#include <cstring>

namespace {
constexpr int kFileHeader = 14;
constexpr int kInfoHeader = 40;

void put16(uchar* p, quint16 v) { qToLittleEndian(v, p); }
void put32(uchar* p, quint32 v) { qToLittleEndian(v, p); }
}

namespace BmpFile {

bool write(const cDIBSection& dib, const QString& path)
{
    if (!dib.DIBSectionBitsPtr())
        return false;
    uchar head[kFileHeader + kInfoHeader] = {};
    const quint32 imageSize = quint32(dib.BytesPerScanLine()) * quint32(dib.Height());
    head[0] = 'B';
    head[1] = 'M';
    put32(head + 2, kFileHeader + kInfoHeader + imageSize);
    put32(head + 10, kFileHeader + kInfoHeader);
    uchar* ih = head + kFileHeader;
    put32(ih, kInfoHeader);
    put32(ih + 4, quint32(dib.Width()));
    put32(ih + 8, quint32(dib.Height()));
    put16(ih + 12, 1);
    put16(ih + 14, 24);
    put32(ih + 20, imageSize);
    put32(ih + 24, 3780);   // 96 dpi
    put32(ih + 28, 3780);
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    bool ok = f.write(reinterpret_cast<const char*>(head), sizeof head) == qint64(sizeof head);
    ok = ok && f.write(reinterpret_cast<const char*>(dib.DIBSectionBitsPtr()), imageSize) == qint64(imageSize);
    f.close();
    if (!ok || f.error() != QFileDevice::NoError) {
        QFile::remove(path);
        return false;
    }
    return true;
}

bool write24(const QImage& picture, const QString& path)
{
    cDIBSection dib;
    dib.CreateFromPicture(picture);
    return write(dib, path);
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
