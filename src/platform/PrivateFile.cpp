#include "platform/PrivateFile.h"

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

#include <dirent.h>
#include <fcntl.h>
#include <stdio.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {
constexpr mode_t kFileMode = 0600;
constexpr mode_t kFolderMode = 0700;
constexpr int kMostLinks = 40;   // as the kernel's ELOOP
const QByteArray kTemporaryStem = QByteArrayLiteral(".pelrand-");

int injectedFault(const QByteArray& target)
{
    std::function<int(const QString&)> fault;
    {
        const std::lock_guard<std::mutex> lock(PrivateFile::internal::faults().mutex);
        fault = PrivateFile::internal::faults().commitFault;
    }
    return fault ? fault(QFile::decodeName(target)) : 0;
}

int lastError() { return errno != 0 ? errno : EIO; }

// Gives the unnamed file behind fd the name entry in folder (EEXIST when it is taken).
int linkUnnamed(int fd, int folder, const QByteArray& entry)
{
    // With the right to look up any file the descriptor links directly; a
    // normal user goes through the descriptor's entry in /proc.
    if (::linkat(fd, "", folder, entry.constData(), AT_EMPTY_PATH) == 0)
        return 0;
    if (errno == EEXIST)
        return EEXIST;
    const QByteArray self = "/proc/self/fd/" + QByteArray::number(fd);
    if (::linkat(AT_FDCWD, self.constData(), folder, entry.constData(), AT_SYMLINK_FOLLOW) == 0)
        return 0;
    return lastError();
}

// Renames within one folder; over: replaces an existing to, otherwise EEXIST.
int renameIn(int folder, const QByteArray& from, const QByteArray& to, bool over)
{
    if (over)
        return ::renameat(folder, from.constData(), folder, to.constData()) == 0 ? 0 : lastError();
    if (::renameat2(folder, from.constData(), folder, to.constData(), RENAME_NOREPLACE) == 0)
        return 0;
    if (errno != EINVAL)
        return lastError();
    // A file system without RENAME_NOREPLACE: a hard link refuses a taken name as well.
    if (::linkat(folder, from.constData(), folder, to.constData(), 0) != 0)
        return lastError();
    (void)::unlinkat(folder, from.constData(), 0);
    return 0;
}

QString joined(const QString& folder, const QString& entry)
{
    if (entry.isEmpty() || entry == QLatin1String("."))
        return folder;
    return folder.endsWith(QLatin1Char('/')) ? folder + entry : folder + QLatin1Char('/') + entry;
}

// The link rule: a link in the last component is followed when it is this
// user's or the folder owner's, or no other account may write the folder.
bool mayFollow(const struct stat& link, const struct stat& folder)
{
    return link.st_uid == ::geteuid() || link.st_uid == folder.st_uid || !(folder.st_mode & (S_IWGRP | S_IWOTH));
}

// Opens entry of dir once, without following it, and reads through that one
// descriptor what it is (*st: for a link, the link's own owner) and, for a
// link, where it leads: nobody can swap the entry between the two. 0, ENOENT
// for no such entry, or the system's error code.
int lookAt(int dir, const QByteArray& entry, struct stat* st, QByteArray* target)
{
    const int fd = ::openat(dir, entry.constData(), O_PATH | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0)
        return lastError();
    int err = ::fstat(fd, st) == 0 ? 0 : lastError();
    if (err == 0 && S_ISLNK(st->st_mode)) {
        target->resize(PATH_MAX);
        const ssize_t n = ::readlinkat(fd, "", target->data(), size_t(target->size()));
        if (n > 0)
            target->truncate(n);
        else
            err = n == 0 ? EIO : lastError();
    }
    ::close(fd);
    return err;
}

// A descriptor of the folder itself, for reading or syncing it (fd may be O_PATH).
int readableFolder(int fd) { return ::openat(fd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC); }

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
}

namespace PrivateFile {

QByteArray temporaryName(const QByteArray& suffix)
{
    static const char kChars[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    QByteArray name = kTemporaryStem;
    for (int i = 0; i < 6; ++i)
        name += kChars[QRandomGenerator::system()->bounded(int(sizeof kChars - 1))];
    return name + suffix;
}

QString refusedLinkText(const QString& link, Remedy remedy)
{
    const QString what = remedy == Remedy::DicomSettings ? QStringLiteral("请在 DICOM 设置中另选输出文件夹")
                         : remedy == Remedy::Administrator ? QStringLiteral("请系统管理员删除这个链接")
                                                           : QStringLiteral("请另选一个名字");
    return QStringLiteral("%1 是另一个账户的链接，程序不经由它读写文件，%2").arg(QDir::toNativeSeparators(link), what);
}

struct FolderAccess {
    static Folder opened(int fd, QString path)
    {
        Folder f;
        f.fd_ = fd;
        f.path_ = std::move(path);
        return f;
    }
    static Folder failed(int error, QString link = {})
    {
        Folder f;
        f.error_ = error != 0 ? error : EIO;
        f.refusedLink_ = std::move(link);
        return f;
    }
};

Folder::~Folder()
{
    if (fd_ >= 0)
        ::close(fd_);
}

Folder::Folder(Folder&& other) noexcept
    : fd_(std::exchange(other.fd_, -1)), error_(other.error_), path_(std::move(other.path_)),
      refusedLink_(std::move(other.refusedLink_))
{}

Folder& Folder::operator=(Folder&& other) noexcept
{
    if (this != &other) {
        if (fd_ >= 0)
            ::close(fd_);
        fd_ = std::exchange(other.fd_, -1);
        error_ = other.error_;
        path_ = std::move(other.path_);
        refusedLink_ = std::move(other.refusedLink_);
    }
    return *this;
}

namespace {
// The folder an entry resolved to, opened as a folder; never through a link
// that turned up after the look-up.
Folder openResolved(const Name& name)
{
    if (!name.ok())
        return FolderAccess::failed(name.error, name.refusedLink);
    const int fd = ::openat(name.folder.fd(), name.entry.constData(), O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0)
        return FolderAccess::failed(lastError());
    return FolderAccess::opened(fd, name.path());
}
}

Folder Folder::open(const QString& path) { return openResolved(resolve(path)); }

Folder Folder::openFolder(const QByteArray& entry) const { return openResolved(resolveIn(*this, entry)); }

Folder Folder::adopt(int fd, const QString& path) { return FolderAccess::opened(fd, path); }

QString Folder::pathOf(const QByteArray& entry) const { return joined(path_, QFile::decodeName(entry)); }

int Folder::stat(const QByteArray& entry, struct stat* st) const
{
    return ::fstatat(fd_, entry.constData(), st, AT_SYMLINK_NOFOLLOW) == 0 ? 0 : lastError();
}

int Folder::openRead(const QByteArray& entry) const
{
    // Not blocking: a FIFO put in the file's place would hang the open.
    const int fd = ::openat(fd_, entry.constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return -lastError();
    struct stat st {};
    int err = 0;
    if (::fstat(fd, &st) != 0)
        err = lastError();
    else if (!S_ISREG(st.st_mode))
        err = S_ISDIR(st.st_mode) ? EISDIR : EINVAL;
    else if (::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK) != 0)
        err = lastError();
    if (err != 0) {
        ::close(fd);
        return -err;
    }
    return fd;
}

int Folder::makeFolder(const QByteArray& entry) const
{
    if (::mkdirat(fd_, entry.constData(), kFolderMode) != 0)
        return lastError();
    // The umask may have taken bits the owner needs; the folder made here is
    // changed through its own descriptor, never through its name again.
    const int made = ::openat(fd_, entry.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (made < 0)
        return lastError();
    const int err = ::fchmod(made, kFolderMode) == 0 ? 0 : lastError();
    ::close(made);
    return err;
}

int Folder::rename(const QByteArray& from, const QByteArray& to, bool over) const
{
    return renameIn(fd_, from, to, over);
}

int Folder::remove(const QByteArray& entry) const
{
    return ::unlinkat(fd_, entry.constData(), 0) == 0 ? 0 : lastError();
}

bool Folder::list(QList<QByteArray>* names, int* error) const
{
    names->clear();
    const int fd = readableFolder(fd_);
    DIR* dir = fd >= 0 ? ::fdopendir(fd) : nullptr;
    if (!dir) {
        if (error)
            *error = lastError();
        if (fd >= 0)
            ::close(fd);
        return false;
    }
    errno = 0;
    while (const dirent* e = ::readdir(dir)) {
        const QByteArray n(e->d_name);
        if (n != "." && n != "..")
            names->append(n);
    }
    const int err = errno;
    ::closedir(dir);
    if (error)
        *error = err;
    return err == 0;
}

void Folder::sync() const
{
    const int fd = readableFolder(fd_);
    if (fd < 0)
        return;
    (void)::fsync(fd);
    ::close(fd);
}

Name resolveIn(const Folder& start, const QByteArray& first)
{
    Name out;
    if (!start.isOpen()) {
        out.error = start.error() != 0 ? start.error() : EBADF;
        out.refusedLink = start.refusedLink();
        return out;
    }
    int dir = ::fcntl(start.fd(), F_DUPFD_CLOEXEC, 0);
    if (dir < 0) {
        out.error = lastError();
        return out;
    }
    QString dirPath = start.path();
    QByteArray entry = first.isEmpty() ? QByteArray(".") : first;
    for (int links = 0;; ++links) {
        struct stat link {};
        QByteArray target;
        if (const int err = lookAt(dir, entry, &link, &target); err != 0) {
            // A name that does not exist (yet) is taken as it stands.
            if (err != ENOENT)
                out.error = err;
            break;
        }
        if (!S_ISLNK(link.st_mode))
            break;
        struct stat holder {};
        if (::fstat(dir, &holder) != 0 || !mayFollow(link, holder)) {
            out.error = EACCES;
            out.refusedLink = joined(dirPath, QFile::decodeName(entry));
            break;
        }
        if (links == kMostLinks) {
            out.error = ELOOP;
            break;
        }
        const qsizetype slash = target.lastIndexOf('/');
        QByteArray head = slash < 0 ? QByteArray() : slash == 0 ? QByteArray("/") : target.left(slash);
        entry = target.mid(slash + 1);
        if (entry.isEmpty() || entry == "." || entry == "..") {
            // A link to a folder as such: the folder is the name.
            head = target;
            entry = ".";
        }
        if (head.isEmpty())
            continue;
        const int next = ::openat(dir, head.constData(), O_PATH | O_DIRECTORY | O_CLOEXEC);
        if (next < 0) {
            out.error = lastError();
            break;
        }
        ::close(dir);
        dir = next;
        const QString to = QFile::decodeName(head);
        dirPath = QDir::cleanPath(to.startsWith(QLatin1Char('/')) ? to : dirPath + QLatin1Char('/') + to);
    }
    out.folder = FolderAccess::opened(dir, dirPath);
    out.entry = entry;
    return out;
}

Name resolve(const QString& path)
{
    Name out;
    if (path.isEmpty()) {
        out.error = ENOENT;
        return out;
    }
    const QString full = QDir::cleanPath(QFileInfo(path).absoluteFilePath());
    const qsizetype slash = full.lastIndexOf(QLatin1Char('/'));
    const QString head = slash <= 0 ? QStringLiteral("/") : full.left(slash);
    const int fd = ::open(QFile::encodeName(head).constData(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) {
        out.error = lastError();
        return out;
    }
    const Folder folder = FolderAccess::opened(fd, head);
    return resolveIn(folder, QFile::encodeName(full.mid(slash + 1)));
}

NewFile::NewFile(const Folder& folder, Temporary kind, const QByteArray& suffix)
    : folderPath_(folder.path()), suffix_(suffix), kept_(kind == Temporary::Kept)
{
    folder_ = folder.isOpen() ? ::fcntl(folder.fd(), F_DUPFD_CLOEXEC, 0) : -1;
    if (folder_ < 0) {
        error_ = folder.isOpen() ? lastError() : folder.error() != 0 ? folder.error() : EBADF;
        return;
    }
    if (kind == Temporary::Unnamed && internal::faults().unnamedTemporaries && ::access("/proc/self/fd", X_OK) == 0) {
        // Not every file system has unnamed files; those get a named one.
        fd_ = ::openat(folder_, ".", O_TMPFILE | O_RDWR | O_CLOEXEC, kFileMode);
        unnamed_ = fd_ >= 0;
    }
    for (int attempt = 0; fd_ < 0 && attempt < 100; ++attempt) {
        const QByteArray name = temporaryName(suffix_);
        fd_ = ::openat(folder_, name.constData(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, kFileMode);
        if (fd_ >= 0)
            temp_ = name;
        else if (errno != EEXIST)
            break;
    }
    struct stat st {};
    if (fd_ < 0 || ::fstat(fd_, &st) != 0) {
        error_ = lastError();
        return;
    }
    device_ = st.st_dev;
    inode_ = st.st_ino;
    // A named one is locked while it lives: removeLeftovers() leaves it
    // alone. A file system without locks still takes the file.
    if (!unnamed_)
        (void)::flock(fd_, LOCK_EX | LOCK_NB);
    if (::fchmod(fd_, kFileMode) != 0)
        error_ = lastError();
}

NewFile::~NewFile()
{
    if (fd_ >= 0)
        ::close(fd_);
    if (!kept_)
        discard();
    if (folder_ >= 0)
        ::close(folder_);
}

void NewFile::discard()
{
    if (!temp_.isEmpty() && isAt(temp_))
        (void)::unlinkat(folder_, temp_.constData(), 0);
    temp_.clear();
}

bool NewFile::isAt(const QByteArray& entry) const
{
    struct stat st {};
    return folder_ >= 0 && inode_ != 0 && ::fstatat(folder_, entry.constData(), &st, AT_SYMLINK_NOFOLLOW) == 0
           && S_ISREG(st.st_mode) && st.st_dev == device_ && st.st_ino == inode_;
}

QString NewFile::temporaryPath() const
{
    return temp_.isEmpty() ? QString() : joined(folderPath_, QFile::decodeName(temp_));
}

bool NewFile::write(const void* data, qint64 size)
{
    if (error_ != 0)
        return false;
    if (!writeAll(fd_, static_cast<const char*>(data), size))
        error_ = lastError();
    return error_ == 0;
}

void NewFile::fail(int err)
{
    if (error_ == 0)
        error_ = err != 0 ? err : EIO;
}

int NewFile::commit(const QByteArray& entry, bool over)
{
    if (done_)
        return error_;
    done_ = true;
    if (error_ == 0)
        error_ = injectedFault(QFile::encodeName(joined(folderPath_, QFile::decodeName(entry))));
    if (error_ == 0 && ::fsync(fd_) != 0)
        error_ = lastError();
    if (error_ == 0 && !unnamed_ && !isAt(temp_)) {
        // In a folder others may write, another account renamed the file
        // away or put something under its name: what stands there is never
        // renamed into place; the file itself is named through its descriptor.
        temp_.clear();
        unnamed_ = true;
    }
    if (error_ == 0 && unnamed_ && !over) {
        // A name that is taken stays as it is: the link refuses it.
        error_ = linkUnnamed(fd_, folder_, entry);
    } else if (error_ == 0) {
        // The unnamed file gets a free temporary name, for the rename.
        for (int attempt = 0; unnamed_ && attempt < 100; ++attempt) {
            const QByteArray candidate = temporaryName(suffix_);
            error_ = linkUnnamed(fd_, folder_, candidate);
            if (error_ == 0)
                temp_ = candidate;
            if (error_ != EEXIST)
                break;
        }
        if (error_ == 0)
            error_ = renameIn(folder_, temp_, entry, over);
        if (error_ == 0)
            temp_.clear();
    }
    // Closed after the rename, so a named file stays locked until it has its
    // place; the bytes are on the disk already (fsync).
    if (fd_ >= 0)
        ::close(fd_);
    fd_ = -1;
    if (error_ != 0) {
        if (!kept_)
            discard();
        return error_;
    }
    const int fd = readableFolder(folder_);
    if (fd >= 0) {
        (void)::fsync(fd);
        ::close(fd);
    }
    return 0;
}

// Never destroyed: a file may still be written on another thread as the program ends.
internal::Faults& internal::faults()
{
    static Faults* const f = new Faults;
    return *f;
}

namespace {
// Removes entry of folder (a descriptor, or AT_FDCWD for a full name) when it
// is a regular file of this user's that no running program holds (its lock
// goes with the program, killed or not), and it is still the file that was
// looked at when it goes.
bool removeHeld(int folder, const char* entry)
{
    const int fd = ::openat(folder, entry, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return false;
    bool removed = false;
    struct stat held {};
    struct stat named {};
    if (::fstat(fd, &held) == 0 && S_ISREG(held.st_mode) && held.st_uid == ::geteuid()
        && ::flock(fd, LOCK_EX | LOCK_NB) == 0 && ::fstatat(folder, entry, &named, AT_SYMLINK_NOFOLLOW) == 0
        && named.st_dev == held.st_dev && named.st_ino == held.st_ino)
        removed = ::unlinkat(folder, entry, 0) == 0;
    ::close(fd);
    return removed;
}
}

bool removeLeftover(const QString& path) { return removeHeld(AT_FDCWD, QFile::encodeName(path).constData()); }

int removeLeftovers(const Folder& folder, const std::function<bool(const QString& base)>& ours)
{
    static const QRegularExpression pattern(QStringLiteral("^\\.(.+)-[A-Za-z0-9]{6}$"));
    QList<QByteArray> names;
    if (!folder.isOpen() || !folder.list(&names))
        return 0;
    int removed = 0;
    for (const QByteArray& n : names) {
        const QRegularExpressionMatch m = pattern.match(QFile::decodeName(n));
        const bool temporary = m.hasMatch() && (m.captured(1) == QLatin1String("pelrand") || ours(m.captured(1)));
        if (temporary && removeHeld(folder.fd(), n.constData()))
            ++removed;
    }
    if (removed > 0)
        folder.sync();
    return removed;
}

int removeLeftovers(const QString& folder, const std::function<bool(const QString& base)>& ours)
{
    // One of the program's own folders, reached as the kernel reaches it.
    const int fd = ::open(QFile::encodeName(folder).constData(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return 0;
    return removeLeftovers(FolderAccess::opened(fd, folder), ours);
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

Replacement::Replacement(const QString& path, Temporary kind) : name_(resolve(path)) { start(kind); }

Replacement::Replacement(Name name, Temporary kind) : name_(std::move(name)) { start(kind); }

void Replacement::start(Temporary kind)
{
    if (!name_.ok()) {
        // A missing folder on the way is a failure to write, not a target that stands in the way.
        error_ = name_.error;
        refusedLink_ = name_.refusedLink;
        refused_ = !refusedLink_.isEmpty() || error_ == ELOOP;
        return;
    }
    struct stat st {};
    // No link is left in the name: one that turns up now stands in the way.
    existed_ = name_.folder.stat(name_.entry, &st) == 0;
    if (existed_) {
        // A file its owner made read-only is not replaced behind his back.
        if (!S_ISREG(st.st_mode))
            error_ = S_ISDIR(st.st_mode) ? EISDIR : EINVAL;
        else if (!(st.st_mode & S_IWUSR))
            error_ = EACCES;
        else if (::faccessat(name_.folder.fd(), name_.entry.constData(), W_OK, 0) != 0)
            error_ = lastError();
        refused_ = error_ != 0;
        if (refused_)
            return;
    }
    file_ = std::make_unique<NewFile>(name_.folder, kind);
    error_ = file_->error();
    // A replaced file keeps its owner bits but is never readable by others.
    if (error_ == 0 && ::fchmod(file_->fd(), existed_ ? (st.st_mode & kFileMode) : kFileMode) != 0)
        error_ = lastError();
}

Replacement::~Replacement() = default;

int Replacement::fd() const { return file_ ? file_->fd() : -1; }

QString Replacement::temporaryPath() const { return file_ ? file_->temporaryPath() : QString(); }

bool Replacement::write(const void* data, qint64 size)
{
    if (error_ != 0)
        return false;
    if (!file_->write(data, size))
        error_ = file_->error();
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
        error_ = file_->commit(name_.entry);
    file_.reset();
    return error_;
}
}
