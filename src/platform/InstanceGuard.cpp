#include "platform/InstanceGuard.h"

#include <QCryptographicHash>
#include <QDir>
#include <QLockFile>

InstanceGuard::InstanceGuard(const QString& programFolder)
{
    const QByteArray hash = QCryptographicHash::hash(QDir(programFolder).absolutePath().toUtf8(),
                                                     QCryptographicHash::Sha1).toHex().left(16);
    path_ = QDir::tempPath() + QStringLiteral("/pelrand-") + QString::fromLatin1(hash) + QStringLiteral(".lock");
    lock_ = std::make_unique<QLockFile>(path_);
}

InstanceGuard::~InstanceGuard() = default;

bool InstanceGuard::tryAcquire()
{
    if (lock_->isLocked())
        return true;
    // A lock left by a copy that no longer runs is taken over by tryLock itself.
    return lock_->tryLock(0);
}

void InstanceGuard::release() { lock_->unlock(); }
QString InstanceGuard::lockPath() const { return path_; }
