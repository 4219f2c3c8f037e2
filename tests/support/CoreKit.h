#pragma once
// Steps the core tests share: message boxes read back, deferred deletes,
// logging in through the real login window, whole-file reads and writes, and
// files made unwritable or unreadable (also when the tests run as root).
#include <QFile>
#include <QString>
#include <QVariantList>

class FrmMain;
class login;

namespace corekit {

// Runs the deferred deletes of closed windows.
void flushDeletes();

// The text and title of the last message box shown; empty when none was.
QString lastText();
QString lastTitle();

// Sets the signed-in user's globals: the administrator with every right.
void actAsAdmin(const QString& userName = QStringLiteral("系统管理员"));

// Shows the login window and gives it the focus.
login* openLogin();

// Logs in through the login window (shown first when none is up) and returns
// the main window, active; null when the login was refused.
FrmMain* logIn(const QString& code, const QString& password = QString());

// Closes the main and login windows and runs the deferred deletes.
void closeWindows();

// The first value of the first row as a number; -1 when no row came back.
int queryInt(const QString& sql, const QVariantList& params = {});

QByteArray readBytes(const QString& path);
bool writeBytes(const QString& path, const QByteArray& bytes);

// Makes a file or folder unwritable for this process while it lives: through
// permissions, or the immutable attribute when the process runs as root.
class Unwritable {
public:
    explicit Unwritable(const QString& path);
    ~Unwritable();
    Unwritable(const Unwritable&) = delete;
    Unwritable& operator=(const Unwritable&) = delete;
    bool ok() const { return ok_; }
    // Gives the write permission back before the end of its life.
    void undo();

private:
    QString path_;
    QFile::Permissions perms_;
    bool ok_ = false;
};

// Makes a file unreadable for this process while it lives: write permission
// only, and as root the capabilities that pass over permissions are set aside
// for the calling thread.
class Unreadable {
public:
    explicit Unreadable(const QString& path);
    ~Unreadable();
    Unreadable(const Unreadable&) = delete;
    Unreadable& operator=(const Unreadable&) = delete;
    bool ok() const { return ok_; }

private:
    QString path_;
    QFile::Permissions perms_;
    quint32 effective_ = 0;   // the capabilities set aside (root)
    bool ok_ = false;
};

}
