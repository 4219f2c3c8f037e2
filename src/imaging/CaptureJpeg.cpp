#include "imaging/CaptureJpeg.h"

#include "imaging/cDIBSection.h"
#include "imaging/mIntelJPEGLibrary.h"

#include <QFile>
#include <QFileInfo>

#include <sys/stat.h>

#include <future>
#include <mutex>
#include <tuple>

namespace {
struct Offer {
    QString path;
    int quality = 0;
    bool written = false;
    // Identity of the written file: device, inode, size, change and modification times (ns).
    std::tuple<quint64, quint64, qint64, qint64, qint64, qint64, qint64> id{};
    std::shared_future<QByteArray> jpeg;
};

std::mutex& lock()
{
    static std::mutex m;
    return m;
}
Offer& current()
{
    static Offer o;
    return o;
}

QString key(const QString& path)
{
    return QFileInfo(path).absoluteFilePath();
}

bool identity(const QString& path, decltype(Offer::id)& id)
{
    struct stat st {};
    if (::stat(QFile::encodeName(path).constData(), &st) != 0)
        return false;
    id = {quint64(st.st_dev), quint64(st.st_ino), qint64(st.st_size), qint64(st.st_mtim.tv_sec),
          qint64(st.st_mtim.tv_nsec), qint64(st.st_ctim.tv_sec), qint64(st.st_ctim.tv_nsec)};
    return true;
}
}

namespace CaptureJpeg {

void offer(const QString& bmpPath, std::shared_ptr<const cDIBSection> frame, int quality)
{
    Offer o;
    o.path = key(bmpPath);
    o.quality = quality;
    o.jpeg = std::async(std::launch::async, [frame, quality] {
        return mIntelJPEGLibrary::encode(*frame, quality);
    }).share();
    std::lock_guard g(lock());
    current() = std::move(o);
}

void written(const QString& bmpPath, bool ok)
{
    std::lock_guard g(lock());
    Offer& o = current();
    if (o.path != key(bmpPath))
        return;
    if (!ok || !identity(bmpPath, o.id)) {
        o = Offer();
        return;
    }
    o.written = true;
}

std::optional<QByteArray> take(const QString& bmpPath, int quality)
{
    Offer o;
    {
        std::lock_guard g(lock());
        if (current().path != key(bmpPath) || !current().written || current().quality != quality)
            return std::nullopt;
        o = std::move(current());
        current() = Offer();
    }
    decltype(Offer::id) now;
    if (!identity(bmpPath, now) || now != o.id)
        return std::nullopt;
    try {
        return o.jpeg.get();
    } catch (...) {
        return std::nullopt;   // encoded again from the file, which reports the failure
    }
}
}
