#include "imaging/BmpFile.h"

#include "imaging/Bitmap24.h"
#include "platform/PrivateFile.h"

#include <QFile>
#include <QImage>
#include <QtEndian>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <vector>

namespace {
constexpr int kFileHeader = 14;
constexpr int kInfoHeader = 40;

void put16(uchar* p, quint16 v) { qToLittleEndian(v, p); }
void put32(uchar* p, quint32 v) { qToLittleEndian(v, p); }

// The 54 bytes in front of the pixel array of a 24-bit bottom-up BMP.
std::array<uchar, kFileHeader + kInfoHeader> headerFor(const Bitmap24& dib)
{
    std::array<uchar, kFileHeader + kInfoHeader> head{};
    const quint32 imageSize = quint32(dib.BytesPerScanLine()) * quint32(dib.Height());
    head[0] = 'B';
    head[1] = 'M';
    put32(head.data() + 2, kFileHeader + kInfoHeader + imageSize);
    put32(head.data() + 10, kFileHeader + kInfoHeader);
    uchar* ih = head.data() + kFileHeader;
    put32(ih, kInfoHeader);
    put32(ih + 4, quint32(dib.Width()));
    put32(ih + 8, quint32(dib.Height()));
    put16(ih + 12, 1);
    put16(ih + 14, 24);
    put32(ih + 20, imageSize);
    put32(ih + 24, 3780);   // 96 dpi
    put32(ih + 28, 3780);
    return head;
}

// Runs pread or pwrite until the whole range is done; false on an error or end of file.
template <typename Buffer, typename Io>
bool wholeRange(int fd, Buffer* data, std::size_t size, off_t offset, Io io)
{
    while (size > 0) {
        const ssize_t n = io(fd, data, size, offset);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        data += n;
        size -= std::size_t(n);
        offset += n;
    }
    return true;
}

bool writeAll(int fd, const uchar* data, std::size_t size, off_t offset)
{
    return wholeRange(fd, data, size, offset, ::pwrite);
}

bool readAll(int fd, uchar* data, std::size_t size, off_t offset)
{
    return wholeRange(fd, data, size, offset, ::pread);
}

thread_local int writeError = 0;
}

namespace BmpFile {

bool write(const Bitmap24& dib, const QString& path)
{
    writeError = 0;
    if (!dib.DIBSectionBitsPtr())
        return false;
    const auto head = headerFor(dib);
    const std::size_t imageSize = std::size_t(dib.BytesPerScanLine()) * std::size_t(dib.Height());
    // Written beside an existing file, which it replaces once complete: a
    // write that fails (a full disk) leaves the previous frame.
    PrivateFile::Replacement out(path);
    if (out.fd() >= 0
        && !(writeAll(out.fd(), head.data(), head.size(), 0)
             && writeAll(out.fd(), dib.DIBSectionBitsPtr(), imageSize, off_t(head.size()))))
        out.fail(errno);
    writeError = out.commit();
    return writeError == 0;
}

int lastWriteError() { return writeError; }

bool holds(const QString& path, const Bitmap24& dib)
{
    if (!dib.DIBSectionBitsPtr())
        return false;
    const auto head = headerFor(dib);
    const std::size_t imageSize = std::size_t(dib.BytesPerScanLine()) * std::size_t(dib.Height());
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    struct stat st {};
    bool same = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && std::size_t(st.st_size) == head.size() + imageSize;
    // Compared piece by piece through a small buffer that stays in the cache.
    constexpr std::size_t kPiece = 256 * 1024;
    std::vector<uchar> buffer(same ? kPiece : 0);
    same =
        same && readAll(fd, buffer.data(), head.size(), 0) && std::memcmp(buffer.data(), head.data(), head.size()) == 0;
    const uchar* bits = dib.DIBSectionBitsPtr();
    for (std::size_t done = 0; same && done < imageSize;) {
        const std::size_t n = std::min(kPiece, imageSize - done);
        same =
            readAll(fd, buffer.data(), n, off_t(head.size() + done)) && std::memcmp(buffer.data(), bits + done, n) == 0;
        done += n;
    }
    ::close(fd);
    return same;
}

bool write24(const QImage& picture, const QString& path)
{
    Bitmap24 dib;
    dib.CreateFromPicture(picture);
    return write(dib, path);
}

bool read(const QString& path, Bitmap24& dib)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return false;
    uchar head[kFileHeader + kInfoHeader];
    if (f.read(reinterpret_cast<char*>(head), sizeof head) == qint64(sizeof head) && head[0] == 'B' && head[1] == 'M') {
        const uchar* ih = head + kFileHeader;
        const quint32 offBits = qFromLittleEndian<quint32>(head + 10);
        const quint32 infoSize = qFromLittleEndian<quint32>(ih);
        const qint32 w = qFromLittleEndian<qint32>(ih + 4);
        const qint32 h = qFromLittleEndian<qint32>(ih + 8);
        const quint16 bpp = qFromLittleEndian<quint16>(ih + 14);
        const quint32 compression = qFromLittleEndian<quint32>(ih + 16);
        if (infoSize >= kInfoHeader && bpp == 24 && compression == 0 && w > 0 && h > 0 && w <= 0x8000 && h <= 0x8000) {
            const qint64 size = qint64(Bitmap24::bytesPerScanLine(w)) * h;
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
