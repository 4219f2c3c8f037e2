#pragma once
// Acting as other accounts, for the rules that depend on who owns a file.
// The tests run as root in CI; as any other user these cases are skipped.
#include <QByteArray>
#include <QString>
#include <QTemporaryDir>

#include <functional>

#include <sys/types.h>

namespace kit {

inline constexpr uid_t kNobody = 65534;   // nobody:nogroup
inline constexpr uid_t kDaemon = 1;       // a second account with a name

// Whether this process may make files of other accounts and act as them.
bool canActAsOthers();

// Runs work in a child process that is the account uid (group gid, no
// other groups) and gives back what work returned. Empty, with the test
// failed, when the child could not become the account or did not finish.
QByteArray runAs(uid_t uid, gid_t gid, const std::function<QByteArray()>& work);

// Makes a symbolic link at link to target, owned by uid.
bool linkAs(const QString& target, const QString& link, uid_t uid);

// Makes a regular file with bytes, owned by uid and readable by its owner only.
bool fileAs(const QString& path, const QByteArray& bytes, uid_t uid);

// A folder every account may reach, holding a sticky folder that every
// account may write to (as /tmp), owned by owner.
class SharedFolder {
public:
    explicit SharedFolder(uid_t owner = 0);
    bool ok() const { return ok_; }
    // The sticky folder that every account writes to.
    QString path() const { return shared_; }
    QString file(const QString& name) const { return shared_ + QLatin1Char('/') + name; }

private:
    QTemporaryDir dir_;
    QString shared_;
    bool ok_ = false;
};
}
