#pragma once
#include <QString>

class QWidget;

// Backup, restore and clear of the whole database.
namespace ModBackup {

enum class Outcome { Done, Cancelled, Refused, Failed };

// A failed file operation: number and text as the command's trap reports them.
struct FileError {
    int number = 0;   // 0 = none; 53 file not found; 70 permission denied; others as they come
    QString text;
};

inline const QString kFilter = QStringLiteral("自定义数据库文件(*.BAK *.bak);;All Files (*)");

// Copies source to target, replacing target through a temporary file in the
// target's folder and a rename, so target is never left half written.
FileError CopyOverwrite(const QString& source, const QString& target);

// The message of the trap for a failure, or an empty text for none.
QString TrapMessage(const FileError& e);

// The name offered by the next dialog (the previous choice), or the program folder.
QString DialogStart();

Outcome Backup(QWidget* parent);
Outcome Restore(QWidget* parent);
Outcome Clear(QWidget* parent);
}
