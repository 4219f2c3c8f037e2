#include "platform/InstanceGuard.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>
#include <QLockFile>

namespace {
// The same folder reached through a link or "..": one name for it.
QString folderKey(const QString& programFolder)
{
    const QFileInfo fi(programFolder);
    const QString canonical = fi.canonicalFilePath();
    return canonical.isEmpty() ? QDir(programFolder).absolutePath() : canonical;
}
}

InstanceGuard::InstanceGuard(const QString& programFolder)
{
    const QString folder = folderKey(programFolder);
    path_ = folder + QStringLiteral("/pelrand.lock");
    const QByteArray hash = QCryptographicHash::hash(folder.toUtf8(), QCryptographicHash::Sha1).toHex().left(16);
    fallbackPath_ = QDir::tempPath() + QStringLiteral("/pelrand-") + QString::fromLatin1(hash) + QStringLiteral(".lock");
    lock_ = std::make_unique<QLockFile>(path_);
}

InstanceGuard::~InstanceGuard() = default;

bool InstanceGuard::tryAcquire()
{
    if (lock_->isLocked())
        return true;
    // A lock left by a copy that no longer runs is taken over by tryLock itself.
    if (lock_->tryLock(0))
        return true;
    if (lock_->error() == QLockFile::LockFailedError || path_ == fallbackPath_)
        return false;
    // A program folder this user may not write to: the lock goes beside the
    // temporary files, named after the folder, so copies on it still meet.
    path_ = fallbackPath_;
    lock_ = std::make_unique<QLockFile>(path_);
    return lock_->tryLock(0);
}

void InstanceGuard::release() { lock_->unlock(); }
QString InstanceGuard::lockPath() const { return path_; }
