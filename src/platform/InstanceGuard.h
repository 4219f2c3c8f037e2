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

private:
    std::unique_ptr<QLockFile> lock_;
    QString path_;
    QString fallbackPath_;
};
