#include "imaging/JpegWriter.h"

#include "imaging/BmpFile.h"
#include "imaging/CaptureJpeg.h"
#include "imaging/ImagingError.h"
#include "imaging/Bitmap24.h"
#include "platform/MessageBox.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QFile>
#include <QFileInfo>

#include <turbojpeg.h>

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
        || tjCompress2(enc.handle, dib.DIBSectionBitsPtr(), dib.Width(), dib.BytesPerScanLine(), dib.Height(),
                       TJPF_BGR, &enc.out, &enc.size, TJSAMP_420, quality, TJFLAG_BOTTOMUP) != 0)
        raiseSaveFailed(-1);
    return QByteArray(reinterpret_cast<const char*>(enc.out), qsizetype(enc.size));
}

bool writeFile(const QByteArray& jpeg, const QString& fileName)
{
    // Keep an existing file's identity: its times and permissions.
    const QFileInfo old(fileName);
    const bool existed = old.exists();
    QDateTime accessed, modified;
    QFile::Permissions permissions;
    if (existed) {
        accessed = old.lastRead();
        modified = old.lastModified();
        permissions = old.permissions();
        // A read-only file (no write permission for its owner) is not replaced.
        if (!old.isFile() || !old.isWritable() || !(permissions & QFileDevice::WriteOwner)
            || !QFile::remove(fileName))
            raiseSaveFailed(-2);
    }

    QFile out(fileName);
    if (!out.open(QIODevice::WriteOnly | QIODevice::Truncate))
        raiseSaveFailed(-3);
    if (out.write(jpeg) != jpeg.size() || !out.flush()) {
        out.close();
        QFile::remove(fileName);
        raiseSaveFailed(-3);
    }
    if (existed) {
        // Times that cannot be set do not make the write fail.
        out.setFileTime(accessed, QFileDevice::FileAccessTime);
        out.setFileTime(modified, QFileDevice::FileModificationTime);
    }
    out.close();
    if (existed)
        QFile::setPermissions(fileName, permissions);
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
    // A frame the video control has just saved is usually encoded already.
    if (const std::optional<QByteArray> ready = CaptureJpeg::take(fileName, JpegWriter::kCaptureQuality))
        return JpegWriter::writeFile(*ready, jpgName);
    Bitmap24 dib;
    if (!BmpFile::read(fileName, dib)) {
        if (!QFileInfo::exists(fileName))
            throw ImagingError(AppError::FileNotFound, errorSource(), QStringLiteral("文件未找到"));
        throw ImagingError(AppError::InvalidPicture, errorSource(), QStringLiteral("无效图片"));
    }
    JpegWriter::SaveJPG(dib, jpgName, JpegWriter::kCaptureQuality);
    return true;
}
