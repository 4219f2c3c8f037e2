#pragma once
// Steps the tests share, below the editor: a prepared program folder, message
// boxes read back, deferred deletes, logging in through the real login window,
// reports stored and read back, whole files read and written, pictures and
// settings made, and files made unwritable or unreadable (also when the tests run as root).
// The editor's own steps are in EditorKit.h.
#include "core/Database.h"
#include "support/TestFolder.h"

#include <QColor>
#include <QDate>
#include <QFile>
#include <QList>
#include <QSize>
#include <QString>
#include <QVariantList>

#include <QObject>

#include <sys/resource.h>

#include <functional>
#include <memory>

class FrmMain;
class login;

namespace kit {

// A fresh program folder (check its ok()) with the saved skin loaded and, where
// given, today's date and the screen size fixed.
std::unique_ptr<TestFolder> freshFolder(const QDate& today = QDate(), const QSize& screen = QSize());

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
int countReports();

// Stores a report with the fields the lists show; gives its key.
qint64 insertReport(const QString& exam, const QString& name, const QString& doctor, const QVariant& fee = QVariant());
// Stores pictures 1.. of a report (a null QByteArray leaves the field Null).
void storePictures(qint64 key, const QList<QByteArray>& pictures);
// The stored row of a report (all 33 fields in table order).
RecordSetPtr storedRow(qint64 key);

QByteArray readBytes(const QString& path);
bool writeBytes(const QString& path, const QByteArray& bytes);

// A JPEG picture of one colour.
QByteArray jpegBytes(int width, int height, QColor colour, int quality = 90);

// Writes a value into options.ini of the program folder.
bool setIni(const char* section, const char* key, const QString& value);

// What a finished AVI must have: the RIFF/AVI header whose size is the file's,
// the idx1 index listing the frames, and the header's frame count agreeing
// with it (failures are reported to the running test). Gives the indexed
// frame sizes.
QList<quint32> checkAviFinalised(const QString& path);

// A database as earlier builds made it: the program's key with the engine's
// default pages of 1 KB, made by the script.
bool makeEarlierDatabase(const QString& path, const QString& script);
// Whether the file reads with the program's key and this page size (0: the engine's default, 1 KB).
bool readsWithPages(const QString& path, int pageSize);

// Watches the work notice (the window "FrmNotice") while it lives: for each
// notice, its line, whether `done` held when it was first painted (on screen)
// and whether it held when it went.
class NoticeWatch : public QObject {
public:
    struct Notice {
        QString name;   // the program's name it shows
        QString line;
        bool paintedBeforeDone = false;   // painted while `done` was still false
        bool goneAfterDone = false;       // hidden once `done` was true
    };
    explicit NoticeWatch(std::function<bool()> done = [] { return false; });
    ~NoticeWatch() override;
    QList<Notice> notices;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    std::function<bool()> done_;
    QObject* current_ = nullptr;
};

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

// Files of this process take no more than the given bytes while it lives, and
// SIGXFSZ is ignored meanwhile (as the program's start-up does), so a write
// beyond fails as on a full disk instead of the signal ending the test.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes);
    ~FileSizeLimit();
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;
    bool ok() const { return ok_; }

private:
    void (*handler_)(int);
    rlimit old_{};
    bool ok_ = false;
};
}
