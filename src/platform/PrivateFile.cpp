#include "platform/PrivateFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringList>

#include <cerrno>
#include <cstdlib>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {
constexpr mode_t kFileMode = 0600;
constexpr mode_t kFolderMode = 0700;

int lastError() { return errno != 0 ? errno : EIO; }

bool writeAll(int fd, const char* data, qint64 size)
{
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size_t(size));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            if (n == 0)
                errno = EIO;
            return false;
        }
        data += n;
        size -= n;
    }
    return true;
}

QByteArray folderOf(const QByteArray& path)
{
    const qsizetype slash = path.lastIndexOf('/');
    return slash < 0 ? QByteArray(".") : slash == 0 ? QByteArray("/") : path.left(slash);
}

void syncFolderOf(const QByteArray& path)
{
    // Not every file system can sync a folder; the rename stands either way.
    const int fd = ::open(folderOf(path).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return;
    (void)::fsync(fd);
    ::close(fd);
}
}

namespace PrivateFile {

bool makeFolder(const QString& path)
{
    QString folder = QDir::cleanPath(QDir(path).absolutePath());
    QStringList missing;
    while (!QFileInfo(folder).exists()) {
        missing.prepend(folder);
        const QString parent = QFileInfo(folder).path();
        if (parent == folder)
            break;
        folder = parent;
    }
    for (const QString& f : missing)
        if (const int err = makeOneFolder(f); err != 0 && err != EEXIST)
            return false;
    return QFileInfo(path).isDir();
}

int makeOneFolder(const QString& path)
{
    const QByteArray name = QFile::encodeName(path);
    if (::mkdir(name.constData(), kFolderMode) != 0)
        return lastError();
    // The umask may have taken bits the owner needs.
    (void)::chmod(name.constData(), kFolderMode);
    return 0;
}

int ensureFile(const QString& path)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, kFileMode);
    if (fd < 0)
        return errno == EEXIST ? 0 : lastError();
    const int err = ::fchmod(fd, kFileMode) == 0 ? 0 : lastError();
    ::close(fd);
    return err;
}

int writeNew(const QString& path, const QByteArray& bytes)
{
    const QByteArray name = QFile::encodeName(path);
    const int fd = ::open(name.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, kFileMode);
    if (fd < 0)
        return lastError();
    int err = 0;
    if (::fchmod(fd, kFileMode) != 0 || !writeAll(fd, bytes.constData(), bytes.size()))
        err = lastError();
    if (::close(fd) != 0 && err == 0)
        err = lastError();
    if (err != 0)
        ::unlink(name.constData());
    return err;
}

int replace(const QString& path, const QByteArray& bytes)
{
    Replacement r(path);
    r.write(bytes.constData(), bytes.size());
    return r.commit();
}

int renameOver(const QString& from, const QString& to)
{
    const QByteArray target = QFile::encodeName(to);
    if (::rename(QFile::encodeName(from).constData(), target.constData()) != 0)
        return lastError();
    syncFolderOf(target);
    return 0;
}

void syncFolder(const QString& folder) { syncFolderOf(QFile::encodeName(folder) + "/."); }

Replacement::Replacement(const QString& path)
{
    const QFileInfo info(path);
    target_ = QFile::encodeName(info.isSymLink() ? info.symLinkTarget() : info.absoluteFilePath());
    struct stat st {};
    existed_ = ::stat(target_.constData(), &st) == 0;
    if (existed_) {
        // A file its owner made read-only is not replaced behind his back.
        if (!S_ISREG(st.st_mode))
            error_ = S_ISDIR(st.st_mode) ? EISDIR : EINVAL;
        else if (!(st.st_mode & S_IWUSR))
            error_ = EACCES;
        else if (::access(target_.constData(), W_OK) != 0)
            error_ = lastError();
        refused_ = error_ != 0;
        if (refused_)
            return;
    }
    const QByteArray folder = folderOf(target_);
    QByteArray pattern = folder + "/." + target_.mid(folder.size() + 1) + "-XXXXXX";
    fd_ = ::mkostemp(pattern.data(), O_CLOEXEC);   // made 0600
    if (fd_ < 0) {
        error_ = lastError();
        return;
    }
    temp_ = pattern;
    // A replaced file keeps its owner bits but is never readable by others.
    if (::fchmod(fd_, existed_ ? (st.st_mode & kFileMode) : kFileMode) != 0)
        error_ = lastError();
}

Replacement::~Replacement()
{
    if (done_)
        return;
    if (fd_ >= 0)
        ::close(fd_);
    if (!temp_.isEmpty())
        ::unlink(temp_.constData());
}

bool Replacement::write(const void* data, qint64 size)
{
    if (error_ != 0)
        return false;
    if (!writeAll(fd_, static_cast<const char*>(data), size))
        error_ = lastError();
    return error_ == 0;
}

void Replacement::fail(int err)
{
    if (error_ == 0)
        error_ = err != 0 ? err : EIO;
}

int Replacement::commit()
{
    if (done_)
        return error_;
    if (error_ == 0 && ::fsync(fd_) != 0)
        error_ = lastError();
    if (fd_ >= 0 && ::close(fd_) != 0 && error_ == 0)
        error_ = lastError();
    fd_ = -1;
    if (error_ == 0 && ::rename(temp_.constData(), target_.constData()) != 0)
        error_ = lastError();
    if (error_ != 0) {
        if (!temp_.isEmpty())
            ::unlink(temp_.constData());
    } else {
        syncFolderOf(target_);
    }
    done_ = true;
    return error_;
}
}
