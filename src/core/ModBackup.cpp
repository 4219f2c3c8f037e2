#include "core/ModBackup.h"

#include "core/ModADOconnect.h"
#include "platform/AppPaths.h"
#include "platform/FileDialogs.h"
#include "platform/MessageBox.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <sqlcipher/sqlite3.h>
#include <cerrno>
#include <cstdio>
#include <cstring>

namespace ModBackup {

namespace {
QString& previousName()
{
    static QString name;
    return name;
}

const QString kCancelTitle = QStringLiteral("操作取消");

FileError openError(const QFile& f)
{
    if (f.error() == QFileDevice::PermissionsError || f.error() == QFileDevice::OpenError)
        return {70, f.errorString()};
    return {75, f.errorString()};
}

// Reopens the database after the file work; reports a failure the way the trap does.
FileError reopen()
{
    try {
        ModADOconnect::OpenDatabase();
    } catch (const DbOpenError& e) {
        return {e.number, e.text};
    }
    return {};
}

void showTrap(const FileError& e, QWidget* parent)
{
    const QString text = TrapMessage(e);
    if (!text.isEmpty())
        MessageBox::show(text, kCancelTitle, MessageBox::Icon::Critical, MessageBox::Buttons::Ok, parent);
}

bool endsInBak(const QString& name) { return name.right(3).toUpper() == QLatin1String("BAK"); }

// Whether every page of the file decrypts and every table and index is whole:
// a backup cut short or damaged on its way would otherwise replace a good
// database and fail later, on the first report that lives in the bad page.
bool IsWholeDatabase(const QString& path)
{
    sqlite3* db = ModADOconnect::OpenKeyedHandle(path, SQLITE_OPEN_READONLY);
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
    case 0:
    case 32755:
        return QString();
    case 70:
    case 55:
        return QStringLiteral("数据库文件正在使用中，请关闭相关的应用再进行操作");
    case 53:
        return QStringLiteral("文件未找到");
    default:
        return QStringLiteral("错误 %1:%2").arg(e.number).arg(e.text);
    }
}

FileError CopyOverwrite(const QString& source, const QString& target)
{
    QFile in(source);
    if (!QFileInfo(source).isFile())
        return {53, QStringLiteral("文件未找到")};
    if (!in.open(QIODevice::ReadOnly))
        return openError(in);
    if (!QFileInfo(target).absoluteDir().exists())
        return {76, QStringLiteral("路径未找到")};
    QSaveFile out(target);
    out.setDirectWriteFallback(false);
    if (!out.open(QIODevice::WriteOnly)) {
        if (out.error() == QFileDevice::OpenError || out.error() == QFileDevice::PermissionsError)
            return {70, out.errorString()};
        return {75, out.errorString()};
    }
    QByteArray buffer;
    while (!in.atEnd()) {
        buffer = in.read(1 << 20);
        if (buffer.isEmpty() && in.error() != QFileDevice::NoError) {
            out.cancelWriting();
            return {57, in.errorString()};
        }
        if (out.write(buffer) != buffer.size()) {
            const QString why = out.errorString();
            out.cancelWriting();
            return {61, why};
        }
    }
    if (!out.commit())
        return {70, out.errorString()};
    return {};
}

QString DialogStart()
{
    return previousName().isEmpty() ? AppPaths::programFolder() : previousName();
}

Outcome Backup(QWidget* parent)
{
    const QString name = FileDialogs::getSaveFileName(parent, QStringLiteral("备份数据库"), DialogStart(), kFilter);
    if (name.isEmpty())
        return Outcome::Cancelled;
    previousName() = name;
    if (!endsInBak(name)) {
        MessageBox::show(QStringLiteral("请设置备份文件的后缀名为BAK"), kCancelTitle, MessageBox::Icon::Critical,
                         MessageBox::Buttons::Ok, parent);
        return Outcome::Refused;
    }
    ModADOconnect::CloseDatabase();
    FileError e = CopyOverwrite(AppPaths::databaseFile(), name);
    // The database is open again whatever the copy did.
    const FileError r = reopen();
    if (e.number == 0)
        e = r;
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
        MessageBox::show(refuse, kCancelTitle, MessageBox::Icon::Critical, MessageBox::Buttons::Ok, parent);
        return Outcome::Refused;
    }
    if (!QFileInfo(name).isFile()) {
        showTrap({53, QString()}, parent);
        return Outcome::Failed;
    }
    // Only a database of ours replaces the current one.
    if (!ModADOconnect::IsOurDatabase(name)) {
        MessageBox::show(refuse, kCancelTitle, MessageBox::Icon::Critical, MessageBox::Buttons::Ok, parent);
        return Outcome::Refused;
    }
    // Copy beside data.db first; the database is replaced by one rename.
    const QString target = AppPaths::databaseFile();
    const QString staged = target + QStringLiteral(".restore");
    FileError e = CopyOverwrite(name, staged);
    if (e.number == 0 && !IsWholeDatabase(staged)) {
        QFile::remove(staged);
        MessageBox::show(refuse, kCancelTitle, MessageBox::Icon::Critical, MessageBox::Buttons::Ok, parent);
        return Outcome::Refused;
    }
    if (e.number == 0) {
        ModADOconnect::CloseDatabase();
        if (std::rename(QFile::encodeName(staged).constData(), QFile::encodeName(target).constData()) != 0) {
            const int err = errno;
            e = (err == EACCES || err == EPERM || err == EBUSY || err == EROFS)
                    ? FileError{70, QString::fromLocal8Bit(std::strerror(err))}
                    : FileError{75, QString::fromLocal8Bit(std::strerror(err))};
        }
        const FileError r = reopen();
        if (e.number == 0)
            e = r;
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
                         QStringLiteral("请注意"), MessageBox::Icon::None, MessageBox::Buttons::YesNo, parent)
        != MessageBox::Answer::Yes)
        return Outcome::Cancelled;
    QueryResult r;
    {
        ModADOconnect::Transaction tx;
        r = tx.beginResult();
        if (tx.started()) {
            // Studies lose their link to the reports that go.
            r = ModADOconnect::ExecuteSql(
                QStringLiteral("UPDATE Study SET Status = NULL WHERE Status IN (SELECT CAST(ctid AS TEXT) FROM reports)"));
            if (r.ok())
                r = ModADOconnect::ExecuteSql(QStringLiteral("DELETE FROM reports"));
            if (r.ok())
                r = tx.commit();
        }
    }
    if (!r.ok()) {
        MessageBox::critical(r.description, QStringLiteral("系统错误"));
        return Outcome::Failed;
    }
    return Outcome::Done;
}
}
