#include "platform/InstanceGuard.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include <QStandardPaths>
#include <QSysInfo>

#include <cerrno>
#include <csignal>

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {
// The same folder reached through a link or "..": one name for it.
QString folderKey(const QString& programFolder)
{
    const QFileInfo fi(programFolder);
    const QString canonical = fi.canonicalFilePath();
    return canonical.isEmpty() ? QDir(programFolder).absolutePath() : canonical;
}

// The lock file is made owner-only whatever the umask (the lock makes it with
// the umask's permissions). The umask belongs to the whole process, so it is
// only narrowed for the instant of the call: a file another thread makes
// then comes out more private, never less.
bool tryLockPrivately(QLockFile& lock)
{
    const mode_t previous = ::umask(077);
    const bool locked = lock.tryLock(0);
    ::umask(previous);
    return locked;
}

// The account that owns the file at path when it is not this user, else empty.
QString otherOwner(const QString& path)
{
    struct stat st {};
    if (::lstat(QFile::encodeName(path).constData(), &st) != 0 || st.st_uid == ::geteuid())
        return QString();
    passwd entry{};
    passwd* found = nullptr;
    char buffer[4096];
    if (::getpwuid_r(st.st_uid, &entry, buffer, sizeof buffer, &found) == 0 && found)
        return QString::fromLocal8Bit(found->pw_name);
    return QString::number(st.st_uid);
}
}

InstanceGuard::InstanceGuard(const QString& programFolder)
{
    const QString folder = folderKey(programFolder);
    path_ = folder + QStringLiteral("/pelrand.lock");
    const QByteArray hash = QCryptographicHash::hash(folder.toUtf8(), QCryptographicHash::Sha1).toHex().left(16);
    // The user's own runtime folder (owner-only): a name another account could
    // take first in a shared folder such as /tmp would lock this user out.
    // Without one (Qt refuses a runtime folder that is not the user's own)
    // there is no second place.
    const QString runtime = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    fallbackPath_ = runtime.isEmpty()
                        ? path_
                        : runtime + QStringLiteral("/pelrand-") + QString::fromLatin1(hash) + QStringLiteral(".lock");
    lock_ = std::make_unique<QLockFile>(path_);
}

InstanceGuard::~InstanceGuard() = default;

bool InstanceGuard::tryAcquire()
{
    foreignOwner_.clear();
    if (lock_->isLocked())
        return true;
    // A lock left by a copy that no longer runs is taken over by tryLock itself.
    if (tryLockPrivately(*lock_))
        return true;
    if (lock_->error() == QLockFile::LockFailedError || path_ == fallbackPath_) {
        // Another account's lock may be neither read nor taken over: whose
        // it is can be told, and (only when it can be read) whether its copy runs.
        qint64 pid = 0;
        QString host;
        QString app;
        const bool running = lock_->getLockInfo(&pid, &host, &app) && host == QSysInfo::machineHostName() && pid > 0
                             && (::kill(pid_t(pid), 0) == 0 || errno == EPERM);
        if (!running)
            foreignOwner_ = otherOwner(path_);
        return false;
    }
    // A program folder this user may not write to: the lock goes to the
    // user's runtime folder, named after the program folder, so copies on it still meet.
    path_ = fallbackPath_;
    lock_ = std::make_unique<QLockFile>(path_);
    return tryLockPrivately(*lock_);
}

void InstanceGuard::release() { lock_->unlock(); }
QString InstanceGuard::lockPath() const { return path_; }
