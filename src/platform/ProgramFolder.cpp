#include "platform/ProgramFolder.h"

#include "platform/MessageBox.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLibraryInfo>
#include <QtEndian>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include <fcntl.h>
#include <grp.h>
#include <linux/magic.h>
#include <pwd.h>
#include <sys/mman.h>
#include <sys/prctl.h>
#include <sys/sendfile.h>
#include <sys/stat.h>
#include <sys/vfs.h>
#include <sys/xattr.h>
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

// A folder's access ACL (its system.posix_acl_access attribute), as it
// bears on the rule: a named user other than the user, or a named group that
// holds another account, with write permission left by the mask, lets
// another account write.
struct Acl {
    bool present = false;
    bool groupObjectWrites = false;   // the owning group's entry, after the mask
    QStringList writers;              // named entries that let another account write
};

// The attribute as the kernel gives it: a 4-byte version (2), then entries of
// a 2-byte tag, 2-byte permissions and 4-byte id, little-endian. Each
// writer as getfacl names it ("user:nobody", "group:staff").
Acl parseAcl(const QByteArray& bytes, uid_t user)
{
    constexpr quint16 kUser = 0x02, kGroupObject = 0x04, kGroup = 0x08, kMask = 0x10, kWrite = 0x02;
    Acl acl;
    // Read from a copy: GCC's bounds warning takes a QByteArray's data for
    // the one-byte empty array it may share.
    const std::vector<uchar> raw(bytes.cbegin(), bytes.cend());
    const auto at = [&](qsizetype offset) { return raw.data() + offset; };
    if (bytes.size() < 4 || (bytes.size() - 4) % 8 != 0 || qFromLittleEndian<quint32>(at(0)) != 2)
        return acl;
    acl.present = true;
    quint16 mask = 07;   // no mask entry: no named entries either
    for (qsizetype i = 4; i < bytes.size(); i += 8)
        if (qFromLittleEndian<quint16>(at(i)) == kMask)
            mask = qFromLittleEndian<quint16>(at(i + 2));
    for (qsizetype i = 4; i < bytes.size(); i += 8) {
        const quint16 tag = qFromLittleEndian<quint16>(at(i));
        const bool writes = qFromLittleEndian<quint16>(at(i + 2)) & mask & kWrite;
        const quint32 id = qFromLittleEndian<quint32>(at(i + 4));
        if (tag == kGroupObject)
            acl.groupObjectWrites = writes;
        else if (writes && tag == kUser && uid_t(id) != user)
            acl.writers.append(QStringLiteral("user:") + accountName(uid_t(id)));
        else if (writes && tag == kGroup && groupHoldsOthers(gid_t(id), user))
            acl.writers.append(QStringLiteral("group:") + groupName(gid_t(id)));
    }
    return acl;
}

// The type of the mount that holds fd, as /proc/self/mountinfo names it
// ("fuseblk", "fuse.sshfs" …); empty when it cannot be told. Read with
// stdio: it runs before any Qt object exists.
QString mountType(int fd)
{
    struct statx sx {};
    if (::statx(fd, "", AT_EMPTY_PATH, STATX_MNT_ID, &sx) != 0 || !(sx.stx_mask & STATX_MNT_ID))
        return QString();
    FILE* info = std::fopen("/proc/self/mountinfo", "re");
    if (!info)
        return QString();
    QString type;
    char* line = nullptr;
    size_t size = 0;
    while (type.isEmpty() && ::getline(&line, &size, info) > 0) {
        char* end = nullptr;
        if (std::strtoull(line, &end, 10) != sx.stx_mnt_id || end == line)
            continue;
        // The optional fields end with " - ", then the type.
        if (const char* dash = std::strstr(end, " - ")) {
            const char* from = dash + 3;
            type = QString::fromLocal8Bit(from, qsizetype(std::strcspn(from, " \n")));
        }
    }
    std::free(line);
    std::fclose(info);
    return type;
}

QString& checkedFolder()
{
    static QString folder;
    return folder;
}
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
    else if (!facts.aclWriter.isEmpty())
        v = Verdict::AclMayWrite;
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

QString foreignFileSystem(long type, const QString& mountType)
{
    // ntfs and ntfs3 mark themselves differently.
    constexpr long kNtfs = 0x5346544e;
    constexpr long kNtfs3 = 0x7366746e;
    switch (type) {
    case MSDOS_SUPER_MAGIC: return QStringLiteral("vfat");
    case EXFAT_SUPER_MAGIC: return QStringLiteral("exfat");
    case kNtfs:
    case kNtfs3: return QStringLiteral("ntfs");
    case FUSE_SUPER_MAGIC: return mountType == QLatin1String("fuseblk") ? mountType : QString();
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
    case Verdict::AclMayWrite:
        why = QStringLiteral("它的访问控制列表（ACL）中的条目 %1 让其他账户可以写入").arg(facts.aclWriter);
        break;
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
    if (verdict == Verdict::AclMayWrite)
        return head
               + QStringLiteral(
                     "请执行 setfacl -b %1 删除它的访问控制列表，或把程序和它的文件移到只属于本账户的文件夹中，"
                     "然后重新启动。")
                     .arg(name);
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
    QByteArray aclBytes(4 + 8 * 64, Qt::Uninitialized);
    ssize_t aclSize = -1;
    bool seen = fd >= 0 && ::fstat(fd, &st) == 0 && ::fstatfs(fd, &fs) == 0;
    // The access ACL, if any: a file system without ACLs has no such attribute.
    while (seen && (aclSize = ::fgetxattr(fd, "system.posix_acl_access", aclBytes.data(), aclBytes.size())) < 0
           && errno == ERANGE)
        aclBytes.resize(aclBytes.size() * 2);
    if (seen && aclSize < 0 && errno != ENODATA && errno != ENOTSUP)
        seen = false;
    const int err = errno;
    const QString type = seen && long(fs.f_type) == FUSE_SUPER_MAGIC ? mountType(fd) : QString();
    if (fd >= 0)
        ::close(fd);
    if (!seen)
        return QStringLiteral("无法检查程序文件夹 %1（%2），程序不能启动。")
            .arg(QDir::toNativeSeparators(folder), QString::fromLocal8Bit(std::strerror(err)));
    Facts facts;
    facts.owner = st.st_uid;
    facts.group = st.st_gid;
    facts.mode = st.st_mode;
    facts.foreignFileSystem = foreignFileSystem(long(fs.f_type), type);
    const uid_t user = ::geteuid();
    const Acl acl = aclSize > 0 ? parseAcl(aclBytes.left(aclSize), user) : Acl{};
    if (!acl.writers.isEmpty())
        facts.aclWriter = acl.writers.first();
    // With an ACL, the mode's group bits are its mask: the owning group may
    // write when its own entry, masked, says so.
    const bool groupWrites = acl.present ? acl.groupObjectWrites : bool(st.st_mode & S_IWGRP);
    // The group's accounts are looked up only when the group may write.
    facts.groupHoldsOthers = groupWrites && groupHoldsOthers(st.st_gid, user);
    return refusalText(folder, facts, judge(facts, user));
}

QString executableFolder()
{
    char target[PATH_MAX];
    const ssize_t n = ::readlink("/proc/self/exe", target, sizeof target);
    if (n <= 0 || size_t(n) >= sizeof target)
        return QString();
    const QString file = QFile::decodeName(QByteArray(target, n));
    const qsizetype slash = file.lastIndexOf(QLatin1Char('/'));
    return slash <= 0 ? QStringLiteral("/") : file.left(slash);
}

QString checkExecutableFolder()
{
    const QString folder = executableFolder();
    if (folder.isEmpty())
        return QStringLiteral("无法读取程序所在的文件夹（/proc/self/exe：%1），程序不能启动。")
            .arg(QString::fromLocal8Bit(std::strerror(errno)));
    QString refused = check(folder);
    if (refused.isEmpty())
        checkedFolder() = folder;
    return refused;
}

QString checkUnlessChecked(const QString& folder)
{
    if (!checkedFolder().isEmpty() && QDir::cleanPath(folder) == checkedFolder())
        return QString();
    return check(folder);
}

namespace {
// The name of the private copy a refused start shows its box from.
constexpr char kRefusalCopy[] = "pelrand-refused";

// Builds the application for the box and shows it; the exit status 1.
int showRefusal(int& argc, char** argv, const QString& text)
{
    // Qt adds the executable's folder to the plugin folders while it builds
    // the application, except a folder that was among them beforehand and
    // then left out: so it is named in QT_PLUGIN_PATH for the build and left
    // out of the folders set here.
    const QByteArray before = qgetenv("QT_PLUGIN_PATH");
    const bool hadBefore = qEnvironmentVariableIsSet("QT_PLUGIN_PATH");
    qputenv("QT_PLUGIN_PATH", QFile::encodeName(executableFolder()));
    QCoreApplication::setLibraryPaths({QLibraryInfo::path(QLibraryInfo::PluginsPath)});
    QApplication app(argc, argv);
    if (hadBefore)
        qputenv("QT_PLUGIN_PATH", before);
    else
        qunsetenv("QT_PLUGIN_PATH");
    MessageBox::show(text, MessageBox::kSorryTitle, MessageBox::Icon::Critical, MessageBox::Buttons::Ok);
    return 1;
}

// Runs this program again from a copy of its executable in memory, in the
// root folder, with the text as its one argument: Qt then finds no folder of
// the executable's to read a qt.conf or plugins from, nor to look at.
// Returns only when that cannot be done.
void runFromPrivateCopy(const QString& text)
{
    // The running executable itself, as the kernel holds it: no name in its folder is looked up.
    const int exe = ::open("/proc/self/exe", O_RDONLY | O_CLOEXEC);
    const int copy = ::memfd_create(kRefusalCopy, MFD_CLOEXEC);
    struct stat st {};
    bool copied = exe >= 0 && copy >= 0 && ::fstat(exe, &st) == 0;
    for (off_t done = 0; copied && done < st.st_size;) {
        const ssize_t n = ::sendfile(copy, exe, nullptr, size_t(st.st_size - done));
        copied = n > 0;
        done += n;
    }
    if (exe >= 0)
        ::close(exe);
    const QByteArray said = text.toLocal8Bit();
    char root[] = "/";
    char* args[] = {root, const_cast<char*>(said.constData()), nullptr};
    if (copied && ::chdir("/") == 0)
        ::fexecve(copy, args, environ);
    if (copy >= 0)
        ::close(copy);
}
}

bool isRefusalCopy()
{
    char target[64];
    const ssize_t n = ::readlink("/proc/self/exe", target, sizeof target);
    return n > 0 && QByteArray(target, n) == QByteArray("/memfd:") + kRefusalCopy + " (deleted)";
}

int refuseStart(int& argc, char** argv, const QString& text)
{
    // The refusal is on standard error before any window is tried: without a
    // display the box never comes, and the terminal still says why.
    MessageBox::setEchoToStandardError(false);
    if (isRefusalCopy()) {
        // The name ps and top show, as the program's.
        ::prctl(PR_SET_NAME, "pelrand");
        int one = 1;
        return showRefusal(one, argv, argc > 1 ? QString::fromLocal8Bit(argv[1]) : text);
    }
    MessageBox::echoToStandardError(MessageBox::kSorryTitle, text);
    // Without any display there is no box to show: standard error has said it all.
    if (qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY")
        && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        return 1;
    runFromPrivateCopy(text);
    return showRefusal(argc, argv, text);
}

}
