#pragma once
#include <QString>
#include <memory>

class QLockFile;

// Refuses a second copy of the workstation on the same program folder. The
// lock file lies in the program folder (in the user's runtime folder when the
// program folder cannot be written).
class InstanceGuard {
public:
    explicit InstanceGuard(const QString& programFolder);
    ~InstanceGuard();
    // True when this process now holds the lock; false when another copy runs.
    bool tryAcquire();
    void release();
    QString lockPath() const;
    // After a refusal: the account that owns the lock when it is not this
    // user's (its name, or its number without one) and no copy of it is
    // seen running, else empty. Such a lock is owner-only: as a rule it can
    // be neither read nor taken over, so whether its copy still runs cannot
    // be told.
    QString foreignOwner() const { return foreignOwner_; }

private:
    std::unique_ptr<QLockFile> lock_;
    QString path_;
    QString fallbackPath_;
    QString foreignOwner_;
};
