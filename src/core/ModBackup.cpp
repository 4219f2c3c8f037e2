#include "core/ModBackup.h"

#include "core/Database.h"
#include "core/WorkNotice.h"
#include "platform/AppPaths.h"
#include "platform/FileDialogs.h"
#include "platform/MessageBox.h"
#include "platform/PrivateFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QCursor>
#include <QGuiApplication>
#include <sqlcipher/sqlite3.h>
#include <cerrno>
#include <utility>
#include <vector>

#include <sys/stat.h>
#include <unistd.h>

namespace ModBackup {

namespace {
QString& previousName()
{
    static QString name;
    return name;
}

// Reopens the database after the file work; reports a failure the way the trap does.
FileError reopen()
{
    try {
        Database::OpenDatabase();
    } catch (const DbOpenError& e) {
        return {e.number, e.description};
    }
    return {};
}

void showTrap(const FileError& e, QWidget* parent)
{
    const QString text = TrapMessage(e);
    if (!text.isEmpty())
        MessageBox::show(text, MessageBox::kCancelledTitle, MessageBox::Icon::Critical, MessageBox::Buttons::Ok,
                         parent);
}

// The wait cursor while a whole database file is copied or checked.
struct Busy {
    Busy() { QGuiApplication::setOverrideCursor(QCursor(Qt::WaitCursor)); }
    ~Busy() { QGuiApplication::restoreOverrideCursor(); }
    Busy(const Busy&) = delete;
    Busy& operator=(const Busy&) = delete;
};

bool endsInBak(const QString& name) { return name.right(3).toUpper() == QLatin1String("BAK"); }

// What tells one version of a file from another. The change time moves
// with every write, also when the modification time is set back, and when
// another file takes its name (its link count drops).
struct Stamp {
    dev_t device = 0;
    ino_t inode = 0;
    off_t size = -1;
    timespec modified{};
    timespec changed{};
    bool operator==(const Stamp& o) const
    {
        return device == o.device && inode == o.inode && size == o.size && modified.tv_sec == o.modified.tv_sec
               && modified.tv_nsec == o.modified.tv_nsec && changed.tv_sec == o.changed.tv_sec
               && changed.tv_nsec == o.changed.tv_nsec;
    }
};

Stamp stampOf(const struct stat& st) { return {st.st_dev, st.st_ino, st.st_size, st.st_mtim, st.st_ctim}; }

void reached(internal::Step step, qint64 copied = 0)
{
    if (internal::stepHook())
        internal::stepHook()(step, copied);
}

// A descriptor closed when it goes out of scope.
struct OpenFile {
    explicit OpenFile(int fd) : fd(fd) {}
    ~OpenFile()
    {
        if (fd >= 0)
            ::close(fd);
    }
    OpenFile(const OpenFile&) = delete;
    OpenFile& operator=(const OpenFile&) = delete;
    const int fd;
};

// Copies the file open at in into out; a failure is recorded in out. Gives
// the version of the file that was read, taken before and after the reading
// (an empty stamp when it changed meanwhile).
Stamp copyInto(int in, PrivateFile::Replacement& out, const std::function<void()>& progress)
{
    struct stat st {};
    Stamp before;
    if (::fstat(in, &st) == 0)
        before = stampOf(st);
    reached(internal::Step::Opened);
    std::vector<char> buffer(1 << 20);
    qint64 copied = 0;
    for (;;) {
        const ssize_t got = ::read(in, buffer.data(), buffer.size());
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            out.fail(errno);
        if (got <= 0 || !out.write(buffer.data(), got))
            break;
        copied += got;
        reached(internal::Step::Copied, copied);
        if (progress)
            progress();
    }
    const bool same = ::fstat(in, &st) == 0 && stampOf(st) == before;
    return same ? before : Stamp{};
}

// A name that leads through another account's link: not read, not written.
FileError linkRefused(const QString& link) { return {AppError::PathFileAccess, PrivateFile::refusedLinkText(link)}; }

// An engine failure while converting a backup: a full disk or a failing
// device is the disk's fault; anything else means the file is no whole backup.
FileError engineFileError(int code)
{
    switch (code) {
    case SQLITE_FULL: return FromErrno(ENOSPC);
    case SQLITE_IOERR: return FromErrno(EIO);
    case SQLITE_CANTOPEN:
    case SQLITE_READONLY:
    case SQLITE_PERM: return FromErrno(EACCES);
    default: return {};
    }
}
}

namespace {
const QString kNoPermission = QStringLiteral("没有权限");
}

QString TrapMessage(const FileError& e)
{
    switch (e.number) {
    case AppError::None:
    case AppError::DialogCancelled: return QString();
    case AppError::PermissionDenied:
        // Here a file in use does not refuse access; a folder or file this
        // account may not write does, and is said as such.
        if (e.description == kNoPermission)
            return QStringLiteral("错误 ") + e.text()
                   + QStringLiteral(
                       "：本账户不能写入所选的位置或程序文件夹。请换一个位置，或请系统管理员给本账户写入权限。");
        [[fallthrough]];
    case AppError::FileAlreadyOpen: return QStringLiteral("数据库文件正在使用中，请关闭相关的应用再进行操作");
    case AppError::FileNotFound: return QStringLiteral("文件未找到");
    default: return QStringLiteral("错误 ") + e.text();
    }
}

FileError FromErrno(int err)
{
    switch (err) {
    case 0: return {};
    case ENOENT:
    case ENOTDIR: return {AppError::PathNotFound, QStringLiteral("路径未找到")};
    case EACCES:
    case EPERM:
    case EROFS: return {AppError::PermissionDenied, kNoPermission};
    case EBUSY:
    case ETXTBSY: return {AppError::PermissionDenied, QStringLiteral("文件正在使用中")};
    case ENOSPC:
    case EDQUOT:
    case EFBIG: return {AppError::DiskFull, QStringLiteral("磁盘已满")};
    case EIO: return {AppError::DeviceIo, QStringLiteral("设备 I/O 错误")};
    case ENAMETOOLONG: return {AppError::PathFileAccess, QStringLiteral("文件名太长")};
    default: return {AppError::PathFileAccess, QStringLiteral("路径/文件访问错误")};
    }
}

FileError NotWritten(const QString& path, int err)
{
    const QString file = QDir::toNativeSeparators(path);
    if (err == 0)
        return {AppError::PathFileAccess, QStringLiteral("无法写入文件：") + file};
    const FileError reason = FromErrno(err);
    return {reason.number, reason.description + QStringLiteral("：") + file};
}

int RemoveProgramFolderLeftovers()
{
    const QString folder = AppPaths::programFolder();
    const QString db = QFileInfo(AppPaths::databaseFile()).fileName();
    const QString ini = QFileInfo(AppPaths::iniFile()).fileName();
    // Temporary files of data.db (restores, conversions) and of options.ini,
    // and the staging names of earlier builds, which hold a whole database.
    const QStringList earlierStaging = {db + QStringLiteral(".restore"), db + QStringLiteral(".convert")};
    int removed = PrivateFile::removeLeftovers(
        folder, [&](const QString& base) { return base == db || base == ini || earlierStaging.contains(base); });
    for (const QString& name : earlierStaging)
        if (PrivateFile::removeLeftover(folder + QLatin1Char('/') + name))
            ++removed;
    return removed;
}

int RemoveBackupLeftovers(const QString& backupName)
{
    const PrivateFile::Name target = PrivateFile::resolve(backupName);
    return target.ok() ? PrivateFile::removeLeftovers(target.folder, endsInBak) : 0;
}

namespace {
// Opens the file name leads to for reading: the descriptor, or minus the
// system's error code.
int openRead(const PrivateFile::Name& name) { return name.ok() ? name.folder.openRead(name.entry) : -name.error; }

// Puts a new file, complete and checked, in its place.
FileError putInPlace(PrivateFile::Replacement& file)
{
    reached(internal::Step::Written);
    const int err = file.commit();
    if (err == 0)
        reached(internal::Step::InPlace);
    return FromErrno(err);
}

// Replaces data.db by a new file: the database is closed for the rename and
// open again afterwards, whatever the rename did.
FileError replaceDatabase(PrivateFile::Replacement& file)
{
    Database::CloseDatabase();
    const FileError e = putInPlace(file);
    const FileError r = reopen();
    return e.number != 0 ? e : r;
}

// Copies data.db (closed) to the backup target.
FileError copyDatabaseTo(PrivateFile::Name target)
{
    const OpenFile in(openRead(PrivateFile::resolve(AppPaths::databaseFile())));
    if (in.fd == -ENOENT)
        return {AppError::FileNotFound, QStringLiteral("文件未找到")};
    if (in.fd < 0)
        return FromErrno(-in.fd);
    // A new owner-only file in the target's folder, which replaces the
    // target by one rename once every byte is on the disk.
    PrivateFile::Replacement out(std::move(target));
    if (!out.refusedLink().isEmpty())
        return linkRefused(out.refusedLink());
    if (out.error() != 0)
        return FromErrno(out.error());
    copyInto(in.fd, out, WorkNotice::pump);
    if (out.error() != 0)
        return FromErrno(out.error());
    return putInPlace(out);
}
}

FileError BackupTo(const QString& name)
{
    PrivateFile::Name target = PrivateFile::resolve(name);
    if (!target.refusedLink.isEmpty())
        return linkRefused(target.refusedLink);
    if (target.ok())
        PrivateFile::removeLeftovers(target.folder, endsInBak);
    Database::CloseDatabase();
    const FileError e = copyDatabaseTo(std::move(target));
    // The database is open again whatever the copy did.
    const FileError r = reopen();
    return e.number != 0 ? e : r;
}

FileError RestoreFrom(const QString& chosen, bool* refused, QString* why)
{
    // A file cut short cannot always be told from another program's: one reason for both.
    static const QString kNotWhole =
        QStringLiteral("这个文件不是本程序完整无损的备份（可能还没有写完、已经损坏，或是别的程序的文件）。");
    *refused = false;
    const auto refuse = [&](const QString& reason) {
        *refused = true;
        if (why)
            *why = reason;
        return FileError{};
    };
    // The backup is looked up once and read through the descriptor opened
    // then; never through another account's link.
    const PrivateFile::Name source = PrivateFile::resolve(chosen);
    if (!source.refusedLink.isEmpty())
        return linkRefused(source.refusedLink);
    const OpenFile in(openRead(source));
    switch (-in.fd) {
    case EACCES: return refuse(QStringLiteral("本账户没有读取这个文件的权限。"));
    case ENOENT:
    case ENOTDIR:
    case EISDIR:
    case EINVAL: return {AppError::FileNotFound, QStringLiteral("文件未找到")};
    default:
        if (in.fd < 0)
            return FromErrno(-in.fd);
    }
    // A database is a whole number of pages (1 KB at the least): any other
    // file is refused before it is copied.
    struct stat st {};
    if (::fstat(in.fd, &st) != 0)
        return FromErrno(errno);
    if (st.st_size == 0 || st.st_size % 1024 != 0)
        return refuse(kNotWhole);
    // What a killed restore or conversion left goes first (no other copy of
    // the program runs on this folder).
    RemoveProgramFolderLeftovers();
    // Only a whole database of ours replaces the current one, by one rename
    // once the new data.db beside it is complete and checked there: the bytes
    // that become data.db are the bytes checked, whatever happens to the
    // backup meanwhile. The backup's bytes are copied first, and read only
    // through the descriptor: one that changed while it was copied is not
    // taken. The engine then looks only at the copy in the program folder,
    // which is the user's alone:
    //  - a backup of ours is taken as it was copied;
    //  - one of an earlier build is converted from the copy as the program
    //    converts such a data.db.
    const PrivateFile::Folder program = PrivateFile::Folder::open(AppPaths::programFolder());
    const QByteArray db = QFile::encodeName(QFileInfo(AppPaths::databaseFile()).fileName());
    // Named: the engine opens the new file by its name, which only the user
    // or the administrator could put another file under.
    PrivateFile::Replacement staged(PrivateFile::resolveIn(program, db), PrivateFile::Replacement::Temporary::Named);
    if (staged.error() != 0)
        return FromErrno(staged.error());
    const Stamp copied = copyInto(in.fd, staged, WorkNotice::pump);
    if (staged.error() != 0)
        return FromErrno(staged.error());
    if (copied.size < 0)
        return refuse(QStringLiteral("这个文件在恢复的过程中被改动了（可能正在写入），请等它写完再恢复。"));
    const QString copy = staged.temporaryPath();
    if (Database::IsOurDatabase(copy))
        return Database::IsWholeDatabase(copy) ? replaceDatabase(staged) : refuse(kNotWhole);
    if (!Database::IsEarlierDatabase(copy))
        return refuse(kNotWhole);
    PrivateFile::Replacement converted(PrivateFile::resolveIn(program, db), PrivateFile::Replacement::Temporary::Named);
    if (converted.error() != 0)
        return FromErrno(converted.error());
    if (const int rc = Database::ExportEarlierDatabase(copy, converted.temporaryPath())) {
        const FileError e = engineFileError(rc);
        return e.number != 0 ? e : refuse(kNotWhole);
    }
    if (!Database::IsOurDatabase(converted.temporaryPath()) || !Database::IsWholeDatabase(converted.temporaryPath()))
        return refuse(kNotWhole);
    return replaceDatabase(converted);
}

namespace internal {
StepHook& stepHook()
{
    static StepHook hook;
    return hook;
}
}

QString DialogStart() { return previousName().isEmpty() ? AppPaths::programFolder() : previousName(); }

Outcome Backup(QWidget* parent)
{
    const QString name = FileDialogs::getSaveFileName(parent, QStringLiteral("备份数据库"), DialogStart(), kFilter,
                                                      /*confirmOverwrite=*/false);
    if (name.isEmpty())
        return Outcome::Cancelled;
    previousName() = name;
    if (!endsInBak(name)) {
        MessageBox::show(QStringLiteral("请设置备份文件的后缀名为BAK"), MessageBox::kCancelledTitle,
                         MessageBox::Icon::Critical, MessageBox::Buttons::Ok, parent);
        return Outcome::Refused;
    }
    FileError e;
    {
        const WorkNotice notice(WorkNotice::backupLine());
        const Busy busy;
        e = BackupTo(name);
    }
    if (e.number != 0) {
        showTrap(e, parent);
        return Outcome::Failed;
    }
    return Outcome::Done;
}

Outcome Restore(QWidget* parent)
{
    const QString name = FileDialogs::getOpenFileName(parent, QStringLiteral("恢复数据库"), DialogStart(), kFilter);
    if (name.isEmpty())
        return Outcome::Cancelled;
    previousName() = name;
    const QString refuse = QStringLiteral("请选择正确的备份文件");
    if (!endsInBak(name)) {
        MessageBox::show(refuse, MessageBox::kCancelledTitle, MessageBox::Icon::Critical, MessageBox::Buttons::Ok,
                         parent);
        return Outcome::Refused;
    }
    FileError e;
    bool refused = false;
    QString why;
    {
        const WorkNotice notice(WorkNotice::restoreLine());
        const Busy busy;
        e = RestoreFrom(name, &refused, &why);
    }
    if (refused) {
        // The sentence users know, then why this file is not taken.
        MessageBox::show(refuse + QStringLiteral("\r\n\r\n") + why, MessageBox::kCancelledTitle,
                         MessageBox::Icon::Critical, MessageBox::Buttons::Ok, parent);
        return Outcome::Refused;
    }
    if (e.number != 0) {
        showTrap(e, parent);
        return Outcome::Failed;
    }
    return Outcome::Done;
}

Outcome Clear(QWidget* parent)
{
    if (MessageBox::show(QStringLiteral("执行此操作,将删除数据库中全部数据,数据将永远丢失,你确认清空数据库吗?"),
                         MessageBox::kAttentionTitle, MessageBox::Icon::None, MessageBox::Buttons::YesNo, parent)
        != MessageBox::Answer::Yes)
        return Outcome::Cancelled;
    QueryResult r;
    {
        Database::Transaction tx;
        r = tx.beginResult();
        if (tx.started()) {
            // Studies lose their link to the reports that go.
            r = Database::ExecuteSql(QStringLiteral(
                "UPDATE Study SET Status = NULL WHERE Status IN (SELECT CAST(ctid AS TEXT) FROM reports)"));
            if (r.ok())
                r = Database::ExecuteSql(QStringLiteral("DELETE FROM reports"));
            if (r.ok())
                r = tx.commit();
        }
    }
    if (!r.ok()) {
        MessageBox::critical(r.description, MessageBox::kSystemErrorTitle);
        return Outcome::Failed;
    }
    return Outcome::Done;
}
}
