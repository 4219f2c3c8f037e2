#include "support/OtherAccount.h"

#include "support/CoreKit.h"

#include <QDir>
#include <QFile>
#include <QTest>

#include <cerrno>

#include <fcntl.h>
#include <grp.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace kit {

bool canActAsOthers() { return ::geteuid() == 0; }

QByteArray runAs(uid_t uid, gid_t gid, const std::function<QByteArray()>& work)
{
    int pipe[2];
    if (::pipe2(pipe, O_CLOEXEC) != 0)
        return QTest::qFail("no pipe for the child", __FILE__, __LINE__), QByteArray();
    const pid_t child = ::fork();
    if (child < 0) {
        ::close(pipe[0]);
        ::close(pipe[1]);
        return QTest::qFail("no child process", __FILE__, __LINE__), QByteArray();
    }
    if (child == 0) {
        ::close(pipe[0]);
        QByteArray out = "!could not become the account";
        // Dumpable again after the change of account, as a process started
        // by that account is (its /proc entries are its own).
        if (::setgroups(0, nullptr) == 0 && ::setresgid(gid, gid, gid) == 0 && ::setresuid(uid, uid, uid) == 0
            && ::prctl(PR_SET_DUMPABLE, 1) == 0)
            out = work();
        const char* p = out.constData();
        qint64 left = out.size();
        while (left > 0) {
            const ssize_t n = ::write(pipe[1], p, size_t(left));
            if (n <= 0)
                break;
            p += n;
            left -= n;
        }
        ::_exit(0);
    }
    ::close(pipe[1]);
    QByteArray got;
    char buffer[4096];
    for (;;) {
        const ssize_t n = ::read(pipe[0], buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        got.append(buffer, n);
    }
    ::close(pipe[0]);
    int status = 0;
    while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    if (!WIFEXITED(status) || got.startsWith('!'))
        return QTest::qFail(got.isEmpty() ? "the child did not finish" : got.constData(), __FILE__, __LINE__),
               QByteArray();
    return got;
}

bool linkAs(const QString& target, const QString& link, uid_t uid)
{
    const QByteArray name = QFile::encodeName(link);
    return ::symlink(QFile::encodeName(target).constData(), name.constData()) == 0
           && ::lchown(name.constData(), uid, gid_t(-1)) == 0;
}

bool fileAs(const QString& path, const QByteArray& bytes, uid_t uid)
{
    const QByteArray name = QFile::encodeName(path);
    return writeBytes(path, bytes) && ::chmod(name.constData(), 0600) == 0
           && ::chown(name.constData(), uid, gid_t(-1)) == 0;
}

SharedFolder::SharedFolder(uid_t owner)
{
    shared_ = dir_.path() + QStringLiteral("/shared");
    const QByteArray top = QFile::encodeName(dir_.path());
    const QByteArray shared = QFile::encodeName(shared_);
    ok_ = dir_.isValid() && ::chmod(top.constData(), 0755) == 0 && ::mkdir(shared.constData(), 0700) == 0
          && ::chmod(shared.constData(), 01777) == 0 && ::chown(shared.constData(), owner, gid_t(-1)) == 0;
}
}
