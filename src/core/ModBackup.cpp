#include "core/ModBackup.h"

#include "core/Database.h"
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
#include <cstring>
#include <vector>

#include <fcntl.h>
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
        MessageBox::show(text, MessageBox::kCancelledTitle, MessageBox::Icon::Critical, MessageBox::Buttons::Ok, parent);
}

// The wait cursor while a whole database file is copied or checked.
struct Busy {
    Busy() { QGuiApplication::setOverrideCursor(QCursor(Qt::WaitCursor)); }
    ~Busy() { QGuiApplication::restoreOverrideCursor(); }
    Busy(const Busy&) = delete;
    Busy& operator=(const Busy&) = delete;
};

bool endsInBak(const QString& name) { return name.right(3).toUpper() == QLatin1String("BAK"); }

// Whether every page of the file decrypts and every table and index is whole:
// a backup cut short or damaged on its way would otherwise replace a good
// database and fail later, on the first report that lives in the bad page.
bool IsWholeDatabase(const QString& path)
{
    sqlite3* db = Database::OpenKeyedHandle(path, SQLITE_OPEN_READONLY);
    if (!db)
        return false;
    bool ok = false;
    sqlite3_stmt* st = nullptr;
    if (sqlite3_prepare_v2(db, "PRAGMA quick_check", -1, &st, nullptr) == SQLITE_OK && sqlite3_step(st) == SQLITE_ROW) {
        const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(st, 0));
        ok = text && std::strcmp(text, "ok") == 0 && sqlite3_step(st) == SQLITE_DONE;
    }
    sqlite3_finalize(st);
    sqlite3_close(db);
    return ok;
}
}

QString TrapMessage(const FileError& e)
{
    switch (e.number) {
    case AppError::None:
    case AppError::DialogCancelled:
        return QString();
    case AppError::PermissionDenied:
    case AppError::FileAlreadyOpen:
        return QStringLiteral("数据库文件正在使用中，请关闭相关的应用再进行操作");
    case AppError::FileNotFound:
        return QStringLiteral("文件未找到");
    default:
        return QStringLiteral("错误 ") + e.text();
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
    case EROFS:
    case EBUSY:
    case ETXTBSY: return {AppError::PermissionDenied, QStringLiteral("没有权限")};
    case ENOSPC:
    case EDQUOT:
    case EFBIG: return {AppError::DiskFull, QStringLiteral("磁盘已满")};
    case EIO: return {AppError::DeviceIo, QStringLiteral("设备 I/O 错误")};
    default: return {AppError::PathFileAccess, QStringLiteral("路径/文件访问错误")};
    }
}

FileError CopyOverwrite(const QString& source, const QString& target)
{
    if (!QFileInfo(source).isFile())
        return {AppError::FileNotFound, QStringLiteral("文件未找到")};
    // The copy goes to a new owner-only file beside the target and replaces
    // it by one rename once every byte is on the disk.
    PrivateFile::Replacement out(target);
    if (out.error() != 0)
        return FromErrno(out.error());
    const int in = ::open(QFile::encodeName(source).constData(), O_RDONLY | O_CLOEXEC);
    if (in < 0)
        return FromErrno(errno);
    std::vector<char> buffer(1 << 20);
    for (;;) {
        const ssize_t got = ::read(in, buffer.data(), buffer.size());
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            out.fail(errno);
        if (got <= 0 || !out.write(buffer.data(), got))
            break;
    }
    ::close(in);
    return FromErrno(out.commit());
}

QString DialogStart()
{
    return previousName().isEmpty() ? AppPaths::programFolder() : previousName();
}

Outcome Backup(QWidget* parent)
{
    const QString name = FileDialogs::getSaveFileName(parent, QStringLiteral("备份数据库"), DialogStart(), kFilter,
                                                       /*confirmOverwrite=*/false);
    if (name.isEmpty())
        return Outcome::Cancelled;
    previousName() = name;
    if (!endsInBak(name)) {
        MessageBox::show(QStringLiteral("请设置备份文件的后缀名为BAK"), MessageBox::kCancelledTitle, MessageBox::Icon::Critical,
                         MessageBox::Buttons::Ok, parent);
        return Outcome::Refused;
    }
    FileError e;
    {
        const Busy busy;
        Database::CloseDatabase();
        e = CopyOverwrite(AppPaths::databaseFile(), name);
        // The database is open again whatever the copy did.
        const FileError r = reopen();
        if (e.number == 0)
            e = r;
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
        MessageBox::show(refuse, MessageBox::kCancelledTitle, MessageBox::Icon::Critical, MessageBox::Buttons::Ok, parent);
        return Outcome::Refused;
    }
    if (!QFileInfo(name).isFile()) {
        showTrap({AppError::FileNotFound, QString()}, parent);
        return Outcome::Failed;
    }
    // Only a whole database of ours replaces the current one. It is copied
    // beside data.db first and checked there; data.db is replaced by one rename.
    const QString target = AppPaths::databaseFile();
    const QString staged = target + QStringLiteral(".restore");
    FileError e;
    bool sound = true;
    {
        const Busy busy;
        sound = Database::IsOurDatabase(name);
        QFile::remove(staged);   // a new, owner-only file
        if (sound)
            e = CopyOverwrite(name, staged);
        if (sound && e.number == 0)
            sound = IsWholeDatabase(staged);
        if (sound && e.number == 0) {
            Database::CloseDatabase();
            e = FromErrno(PrivateFile::renameOver(staged, target));
            const FileError r = reopen();
            if (e.number == 0)
                e = r;
        }
    }
    if (!sound) {
        QFile::remove(staged);
        MessageBox::show(refuse, MessageBox::kCancelledTitle, MessageBox::Icon::Critical, MessageBox::Buttons::Ok, parent);
        return Outcome::Refused;
    }
    QFile::remove(staged);
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
            r = Database::ExecuteSql(
                QStringLiteral("UPDATE Study SET Status = NULL WHERE Status IN (SELECT CAST(ctid AS TEXT) FROM reports)"));
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
