#include "imaging/JpegWriter.h"

#include "imaging/BmpFile.h"
#include "imaging/ImagingError.h"
#include "imaging/Bitmap24.h"
#include "core/ModBackup.h"
#include "platform/MessageBox.h"
#include "platform/PrivateFile.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QFile>
#include <QFileInfo>

#include <turbojpeg.h>

#include <sys/stat.h>

namespace {
QString errorSource()
{
    QString exe = QFileInfo(QCoreApplication::applicationFilePath()).completeBaseName();
    if (exe.isEmpty())
        exe = QStringLiteral("pelrand");
    return exe + QStringLiteral(".JpegWriter");
}

[[noreturn]] void raiseSaveFailed(int code)
{
    throw ImagingError(JpegWriter::kErrorNumber, errorSource(),
                       QStringLiteral("Failed to save to JPG ") + QString::number(code));
}

// The file could not be written: the writer's number, with the file and the
// system's reason in the words of every other file the program writes.
[[noreturn]] void raiseNotWritten(const QString& fileName, int err, const QString& refusedLink = {})
{
    const QString why = refusedLink.isEmpty() ? ModBackup::NotWritten(fileName, err).description
                                              : PrivateFile::refusedLinkText(refusedLink);
    throw ImagingError(JpegWriter::kErrorNumber, errorSource(), why);
}

timespec timespecOf(const QDateTime& t)
{
    const qint64 ms = t.toMSecsSinceEpoch();
    return timespec{time_t(ms / 1000), long(ms % 1000) * 1000000};
}

// Releases the encoder and its output buffer however the write ends.
struct Encoder {
    tjhandle handle = tjInitCompress();
    unsigned char* out = nullptr;
    unsigned long size = 0;
    ~Encoder()
    {
        if (out)
            tjFree(out);
        if (handle)
            tjDestroy(handle);
    }
};
}

namespace JpegWriter {

QByteArray encode(const Bitmap24& dib, int quality)
{
    Encoder enc;
    if (!enc.handle)
        throw ImagingError(kErrorNumber, errorSource(), QStringLiteral("Failed to initialise the IJL library: -1"));
    if (!dib.DIBSectionBitsPtr()
        || tjCompress2(enc.handle, dib.DIBSectionBitsPtr(), dib.Width(), dib.BytesPerScanLine(), dib.Height(), TJPF_BGR,
                       &enc.out, &enc.size, TJSAMP_420, quality, TJFLAG_BOTTOMUP)
               != 0)
        raiseSaveFailed(-1);
    return QByteArray(reinterpret_cast<const char*>(enc.out), qsizetype(enc.size));
}

bool writeFile(const QByteArray& jpeg, const QString& fileName)
{
    // The new file is written beside the old one and takes its place at the
    // end: a write that fails (a full disk) leaves the previous picture. An
    // existing file keeps its identity, its times and permissions.
    const QFileInfo old(fileName);
    const bool existed = old.exists();
    const QDateTime accessed = existed ? old.lastRead() : QDateTime();
    const QDateTime modified = existed ? old.lastModified() : QDateTime();
    PrivateFile::Replacement out(fileName);
    if (out.targetRefused())   // read-only, not a file, or another account's link: not replaced
        raiseNotWritten(fileName, out.error(), out.refusedLink());
    out.write(jpeg.constData(), jpeg.size());
    if (existed && out.fd() >= 0) {
        // Times that cannot be set do not make the write fail.
        const timespec times[2] = {timespecOf(accessed), timespecOf(modified)};
        (void)::futimens(out.fd(), times);
    }
    if (const int err = out.commit(); err != 0)
        raiseNotWritten(fileName, err);
    return true;
}

bool SaveJPG(const Bitmap24& dib, const QString& fileName, int quality)
{
    // Encode first: a failed encoding leaves an existing file as it was.
    return writeFile(encode(dib, quality), fileName);
}
}

bool ConvertBmpToJpg(const QString& fileName, QWidget* parent)
{
    if (fileName.right(3).toUpper() != QLatin1String("BMP")) {
        MessageBox::show(QStringLiteral("截取的图片格式不正确"), MessageBox::kErrorTitle, MessageBox::Icon::Exclamation,
                         MessageBox::Buttons::Ok, parent);
        return false;
    }
    const QString jpgName = fileName.left(fileName.size() - 3) + QStringLiteral("jpg");
    Bitmap24 dib;
    if (!BmpFile::read(fileName, dib)) {
        if (!QFileInfo::exists(fileName))
            throw ImagingError(AppError::FileNotFound, errorSource(), QStringLiteral("文件未找到"));
        throw ImagingError(AppError::InvalidPicture, errorSource(), QStringLiteral("无效图片"));
    }
    JpegWriter::SaveJPG(dib, jpgName, JpegWriter::kCaptureQuality);
    return true;
}
