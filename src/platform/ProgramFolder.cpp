#include "platform/ProgramFolder.h"

#include <QDir>
#include <QFile>

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <grp.h>
#include <linux/magic.h>
#include <pwd.h>
#include <sys/stat.h>
#include <sys/vfs.h>
#include <unistd.h>

namespace ProgramFolder {

namespace {
QString accountName(uid_t uid)
{
    if (const passwd* pw = ::getpwuid(uid))
        return QString::fromLocal8Bit(pw->pw_name);
    return QString::number(uid);
}

QString groupName(gid_t gid)
{
    if (const group* gr = ::getgrgid(gid))
        return QString::fromLocal8Bit(gr->gr_name);
    return QString::number(gid);
}

QString modeText(mode_t mode) { return QStringLiteral("%1").arg(uint(mode & 07777), 4, 8, QLatin1Char('0')); }
}

Verdict judge(const Facts& facts, uid_t user)
{
    Verdict v = Verdict::Ours;
    if (facts.owner != user)
        v = Verdict::NotOwner;
    else if (facts.mode & S_IWOTH)
        v = Verdict::AnyoneMayWrite;
    else if ((facts.mode & S_IWGRP) && facts.groupHoldsOthers)
        v = Verdict::GroupMayWrite;
    // Such a file system shows every file with the owner and mode it was
    // mounted with: only another mount, or another folder, can change them.
    if (v != Verdict::Ours && !facts.foreignFileSystem.isEmpty())
        v = Verdict::NoUnixPermissions;
    return v;
}

bool groupHoldsOthers(gid_t gid, uid_t user)
{
    if (const group* gr = ::getgrgid(gid))
        for (char** member = gr->gr_mem; member && *member; ++member) {
            const passwd* pw = ::getpwnam(*member);
            // A listed name without an account is nobody who could write.
            if (pw && pw->pw_uid != user)
                return true;
        }
    bool others = false;
    ::setpwent();
    while (const passwd* pw = ::getpwent())
        if (pw->pw_gid == gid && pw->pw_uid != user) {
            others = true;
            break;
        }
    ::endpwent();
    return others;
}

QString foreignFileSystem(long type)
{
    // ntfs and ntfs3 mark themselves differently.
    constexpr long kNtfs = 0x5346544e;
    constexpr long kNtfs3 = 0x7366746e;
    switch (type) {
    case MSDOS_SUPER_MAGIC: return QStringLiteral("vfat");
    case EXFAT_SUPER_MAGIC: return QStringLiteral("exfat");
    case kNtfs:
    case kNtfs3: return QStringLiteral("ntfs");
    case FUSE_SUPER_MAGIC: return QStringLiteral("fuseblk");
    case SMB_SUPER_MAGIC:
    case CIFS_SUPER_MAGIC:
    case SMB2_SUPER_MAGIC: return QStringLiteral("cifs");
    case V9FS_MAGIC: return QStringLiteral("9p");
    default: return QString();
    }
}

QString refusalText(const QString& folder, const Facts& facts, Verdict verdict)
{
    const QString name = QDir::toNativeSeparators(folder);
    QString why;
    switch (verdict) {
    case Verdict::Ours: return QString();
    case Verdict::NotOwner: why = QStringLiteral("不属于运行本程序的账户 %1").arg(accountName(::geteuid())); break;
    case Verdict::GroupMayWrite: why = QStringLiteral("组 %1 中的其他账户可以写入").arg(groupName(facts.group)); break;
    case Verdict::AnyoneMayWrite:
    case Verdict::NoUnixPermissions: why = QStringLiteral("其他账户可以写入"); break;
    }
    const QString head = QStringLiteral("程序文件夹 %1 属于账户 %2，权限为 %3，%4。程序文件夹存放数据库和设置，"
                                        "只能由运行本程序的账户独自使用，程序没有读取其中的任何文件，不能启动。\n")
                             .arg(name, accountName(facts.owner), modeText(facts.mode), why);
    if (verdict == Verdict::NoUnixPermissions)
        return head
               + QStringLiteral("这个文件夹在 %1 文件系统上，它不记录 Unix 权限，chmod 无法改变。"
                                "请把程序和它的文件移到只属于本账户、支持 Unix 权限的文件夹中"
                                "（例如主文件夹下新建的文件夹），然后重新启动。")
                     .arg(facts.foreignFileSystem);
    if (verdict == Verdict::NotOwner)
        return head
               + QStringLiteral("请系统管理员把这个文件夹交给本账户（chown），再执行 chmod 700 %1；"
                                "或把程序和它的文件复制到只属于本账户的文件夹中。然后重新启动。")
                     .arg(name);
    return head
           + QStringLiteral("请执行 chmod 700 %1，或把程序和它的文件移到只属于本账户的文件夹中，然后重新启动。")
                 .arg(name);
}

QString check(const QString& folder)
{
    // The folder itself, as the kernel reaches it; the folders above it are
    // left to the kernel's own rules.
    const QByteArray path = QFile::encodeName(folder);
    const int fd = ::open(path.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    struct stat st {};
    struct statfs fs {};
    const bool seen = fd >= 0 && ::fstat(fd, &st) == 0 && ::fstatfs(fd, &fs) == 0;
    const int err = errno;
    if (fd >= 0)
        ::close(fd);
    if (!seen)
        return QStringLiteral("无法检查程序文件夹 %1（%2），程序不能启动。")
            .arg(QDir::toNativeSeparators(folder), QString::fromLocal8Bit(std::strerror(err)));
    Facts facts;
    facts.owner = st.st_uid;
    facts.group = st.st_gid;
    facts.mode = st.st_mode;
    facts.foreignFileSystem = foreignFileSystem(long(fs.f_type));
    const uid_t user = ::geteuid();
    // The group's accounts are looked up only when the group may write.
    facts.groupHoldsOthers = (st.st_mode & S_IWGRP) && groupHoldsOthers(st.st_gid, user);
    return refusalText(folder, facts, judge(facts, user));
}

}
