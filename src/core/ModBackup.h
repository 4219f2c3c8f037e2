#pragma once
#include "platform/AppError.h"

#include <QString>

class QWidget;

// Backup, restore and clear of the whole database.
namespace ModBackup {

enum class Outcome { Done, Cancelled, Refused, Failed };

// A failed file operation: number and description as the command's trap reports them
// (None when the operation succeeded).
struct FileError : AppError {
    using AppError::AppError;
};

// The failure of a file operation from the system's error code.
FileError FromErrno(int err);

inline const QString kFilter = QStringLiteral("自定义数据库文件(*.BAK *.bak);;All Files (*)");

// Copies source to target, replacing target through a temporary file in the
// target's folder and a rename, so target is never left half written: on any
// failure (a full disk included) the target is as it was and no copy is left.
// A new target is owner-only; a replaced one keeps its permissions.
FileError CopyOverwrite(const QString& source, const QString& target);

// The message of the trap for a failure, or an empty text for none.
QString TrapMessage(const FileError& e);

// The name offered by the next dialog (the previous choice), or the program folder.
QString DialogStart();

Outcome Backup(QWidget* parent);
Outcome Restore(QWidget* parent);
Outcome Clear(QWidget* parent);
}
