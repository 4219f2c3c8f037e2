#pragma once
#include "platform/AppError.h"

#include <QString>

#include <functional>

class QWidget;

// Backup, restore and clear of the whole database.
namespace ModBackup {

enum class Outcome {
    Done,
    Cancelled,
    Refused,
    Failed
};

// A failed file operation: number and description as the command's trap reports them
// (None when the operation succeeded).
struct FileError : AppError {
    using AppError::AppError;
};

// The failure of a file operation from the system's error code.
FileError FromErrno(int err);
// A file that could not be written: the system's reason and the file, as in
// "磁盘已满：/…/img/image2.bmp"; without a code (0), "无法写入文件：<file>".
FileError NotWritten(const QString& path, int err);

inline const QString kFilter = QStringLiteral("自定义数据库文件(*.BAK *.bak);;All Files (*)");

// The file operations of the commands, without their dialogs and messages.
// Each name is looked up once (PrivateFile::resolve) and then reached only
// through the descriptor of the folder that holds it; neither file is reached
// through another account's link: that fails with 75 and a text that names
// the link.
// BackupTo: copies data.db to name (the database is closed for the copy and
// open again afterwards), replacing name through a new file in its folder and
// a rename, so name is never left half written: on any failure (a full disk
// included) it is as it was and no copy is left. A new backup is owner-only;
// a replaced one keeps its permissions. First removes what killed backups
// left in the backup's folder.
FileError BackupTo(const QString& name);
// RestoreFrom: replaces data.db by the backup at name, a database of ours or
// one of an earlier build (converted to the program's pages on the way), once
// the new file is complete and checked where it lies, beside data.db; the
// database is open afterwards. *refused is set when name is no whole backup
// of ours, or it changed while it was copied (nothing changed then); *why then
// says which, in the user's words. The backup is read only through the
// descriptor opened at the look-up; the database engine sees only the copy.
FileError RestoreFrom(const QString& name, bool* refused, QString* why = nullptr);

// Removes the temporary files that killed copies left: in the program folder
// (restores, conversions, settings; run at start, once no other copy runs)
// and in a backup's folder (backups). Files that a running program still
// writes are kept.
int RemoveProgramFolderLeftovers();
int RemoveBackupLeftovers(const QString& backupName);

// The message of the trap for a failure, or an empty text for none.
QString TrapMessage(const FileError& e);

// The name offered by the next dialog (the previous choice), or the program folder.
QString DialogStart();

Outcome Backup(QWidget* parent);
Outcome Restore(QWidget* parent);
Outcome Clear(QWidget* parent);

namespace internal {
// The points a backup or restore reaches, in this order; a test acts there
// (changes the backup, kills the copy). The program itself sets no hook.
enum class Step {
    Opened,    // the file to copy and the new file open, nothing copied yet
    Copied,    // a part copied; copied: the bytes so far
    Written,   // the new file complete (a restore: converted and checked), not yet in its place
    InPlace    // the new file has its name; the database not yet open again
};
using StepHook = std::function<void(Step step, qint64 copied)>;
StepHook& stepHook();
}
}
