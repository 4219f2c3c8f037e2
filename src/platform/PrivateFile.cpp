#include "platform/PrivateFile.h"
#include "platform/PrivateFileTesting.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QStringList>

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <mutex>
#include <utility>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {
constexpr mode_t kFileMode = 0600;
constexpr mode_t kFolderMode = 0700;

std::atomic<bool> gUnnamedAllowed{true};

std::mutex gFaultMutex;
std::function<int(const QString&)> gCommitFault;   // tests only

int injectedFault(const QByteArray& target)
{
    std::function<int(const QString&)> fault;
    {
        const std::lock_guard<std::mutex> lock(gFaultMutex);
        fault = gCommitFault;
    }
    return fault ? fault(QFile::decodeName(target)) : 0;
}

int lastError() { return errno != 0 ? errno : EIO; }

// The temporary name of a file in folder: "." + name + "-" + six letters or digits.
QByteArray temporaryName(const QByteArray& folder, const QByteArray& name)
{
    static const char kChars[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    QByteArray suffix(6, 'X');
    for (char& c : suffix)
        c = kChars[QRandomGenerator::system()->bounded(int(sizeof kChars - 1))];
    return folder + "/." + name + "-" + suffix;
}

// Gives the unnamed file behind fd the name `name` (EEXIST when it is taken).
int linkUnnamed(int fd, const QByteArray& name)
{
    // With the right to look up any file the descriptor links directly; a
    // normal user goes through the descriptor's entry in /proc.
    if (::linkat(fd, "", AT_FDCWD, name.constData(), AT_EMPTY_PATH) == 0)
        return 0;
    if (errno == EEXIST)
        return EEXIST;
    const QByteArray self = "/proc/self/fd/" + QByteArray::number(fd);
    if (::linkat(AT_FDCWD, self.constData(), AT_FDCWD, name.constData(), AT_SYMLINK_FOLLOW) == 0)
        return 0;
    return lastError();
}

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

Followed followLinks(const QString& path)
{
    constexpr int kMostLinks = 40;   // as the kernel's ELOOP
    Followed out;
    if (path.isEmpty()) {
        out.error = ENOENT;
        return out;
    }
    QStringList rest = QFileInfo(path).absoluteFilePath().split(QLatin1Char('/'), Qt::SkipEmptyParts);
    QString done;   // the part walked, without links; empty for "/"
    int links = 0;
    while (!rest.isEmpty()) {
        const QString part = rest.takeFirst();
        if (part == QLatin1String("."))
            continue;
        if (part == QLatin1String("..")) {
            done.truncate(qMax(0, done.lastIndexOf(QLatin1Char('/'))));
            continue;
        }
        const QString next = done + QLatin1Char('/') + part;
        const QByteArray name = QFile::encodeName(next);
        struct stat link {};
        // A name that does not exist (yet) is taken as it stands.
        if (::lstat(name.constData(), &link) != 0 || !S_ISLNK(link.st_mode)) {
            done = next;
            continue;
        }
        struct stat holder {};
        const bool known = ::stat(done.isEmpty() ? "/" : QFile::encodeName(done).constData(), &holder) == 0;
        // A folder on the way is followed as the kernel does; the file itself
        // only where no other account may write (a link there is its owner's
        // or the administrator's).
        const bool shared = !known || ((holder.st_mode & S_ISVTX) && (holder.st_mode & S_IWOTH));
        const bool othersWrite = !known || (holder.st_mode & (S_IWGRP | S_IWOTH));
        const bool allowed = link.st_uid == ::geteuid() || (known && link.st_uid == holder.st_uid)
                             || (rest.isEmpty() ? !othersWrite : !shared);
        if (!allowed) {
            out.refusedLink = next;
            out.error = EACCES;
            return out;
        }
        if (++links > kMostLinks) {
            out.error = ELOOP;
            return out;
        }
        QByteArray target(PATH_MAX, Qt::Uninitialized);
        const ssize_t n = ::readlink(name.constData(), target.data(), size_t(target.size()));
        if (n < 0) {
            out.error = lastError();
            return out;
        }
        target.truncate(n);
        if (target.startsWith('/'))
            done.clear();
        rest = QFile::decodeName(target).split(QLatin1Char('/'), Qt::SkipEmptyParts) + rest;
    }
    out.path = done.isEmpty() ? QStringLiteral("/") : done;
    return out;
}

QString refusedLinkText(const QString& link)
{
    return QStringLiteral("%1 是另一个账户的链接，程序不经由它读写文件，请另选一个名字")
        .arg(QDir::toNativeSeparators(link));
}

void setUnnamedTemporaries(bool allowed) { gUnnamedAllowed = allowed; }

void setCommitFault(std::function<int(const QString& target)> fault)
{
    const std::lock_guard<std::mutex> lock(gFaultMutex);
    gCommitFault = std::move(fault);
}

bool removeLeftover(const QString& path)
{
    const QByteArray name = QFile::encodeName(path);
    const int fd = ::open(name.constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return false;
    bool removed = false;
    struct stat held {};
    struct stat named {};
    // Only this user's own regular files, and none that a running program
    // still holds (its lock goes with the program, killed or not).
    if (::fstat(fd, &held) == 0 && S_ISREG(held.st_mode) && held.st_uid == ::geteuid()
        && ::flock(fd, LOCK_EX | LOCK_NB) == 0 && ::lstat(name.constData(), &named) == 0 && named.st_dev == held.st_dev
        && named.st_ino == held.st_ino)
        removed = ::unlink(name.constData()) == 0;
    ::close(fd);
    return removed;
}

int removeLeftovers(const QString& folder, const std::function<bool(const QString& base)>& ours)
{
    static const QRegularExpression pattern(QStringLiteral("^\\.(.+)-[A-Za-z0-9]{6}$"));
    int removed = 0;
    const QStringList names = QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::System);
    for (const QString& n : names) {
        const QRegularExpressionMatch m = pattern.match(n);
        if (m.hasMatch() && ours(m.captured(1)) && removeLeftover(folder + QLatin1Char('/') + n))
            ++removed;
    }
    if (removed > 0)
        syncFolderOf(QFile::encodeName(folder) + "/.");
    return removed;
}

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

Replacement::Replacement(const QString& path, Temporary kind)
{
    const Followed followed = followLinks(path);
    if (followed.error != 0) {
        error_ = followed.error;
        refusedLink_ = followed.refusedLink;
        refused_ = true;
        return;
    }
    target_ = QFile::encodeName(followed.path);
    struct stat st {};
    // No link is left in the name: one that turns up now stands in the way.
    existed_ = ::lstat(target_.constData(), &st) == 0;
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
    if (kind == Temporary::Unnamed && gUnnamedAllowed && ::access("/proc/self/fd", X_OK) == 0) {
        // Not every file system has unnamed files; those get a named one.
        fd_ = ::open(folder.constData(), O_TMPFILE | O_RDWR | O_CLOEXEC, kFileMode);
        unnamed_ = fd_ >= 0;
    }
    if (fd_ < 0) {
        QByteArray pattern = folder + "/." + target_.mid(folder.size() + 1) + "-XXXXXX";
        fd_ = ::mkostemp(pattern.data(), O_CLOEXEC);   // made 0600
        if (fd_ < 0) {
            error_ = lastError();
            return;
        }
        temp_ = pattern;
        // Locked while it lives: removeLeftovers() leaves it alone. A file
        // system without locks still takes the file.
        (void)::flock(fd_, LOCK_EX | LOCK_NB);
    }
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

QString Replacement::temporaryPath() const { return fd_ < 0 || unnamed_ ? QString() : QFile::decodeName(temp_); }

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
    done_ = true;
    if (error_ == 0)
        error_ = injectedFault(target_);
    if (error_ == 0 && ::fsync(fd_) != 0)
        error_ = lastError();
    if (error_ == 0 && unnamed_) {
        // The unnamed file gets a free name beside the target, for the rename.
        const QByteArray folder = folderOf(target_);
        const QByteArray name = target_.mid(folder.size() + 1);
        int err = EEXIST;
        for (int attempt = 0; attempt < 100 && err == EEXIST; ++attempt) {
            const QByteArray candidate = temporaryName(folder, name);
            err = linkUnnamed(fd_, candidate);
            if (err == 0)
                temp_ = candidate;
        }
        error_ = err;
    }
    if (error_ == 0 && ::rename(temp_.constData(), target_.constData()) != 0)
        error_ = lastError();
    // Closed after the rename, so the temporary file stays locked until it
    // has its place; the bytes are on the disk already (fsync).
    if (fd_ >= 0)
        ::close(fd_);
    fd_ = -1;
    if (error_ != 0) {
        if (!temp_.isEmpty())
            ::unlink(temp_.constData());
    } else {
        syncFolderOf(target_);
    }
    return error_;
}
}
