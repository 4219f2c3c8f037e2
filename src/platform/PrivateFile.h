#pragma once
#include <QByteArray>
#include <QList>
#include <QString>

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>

#include <sys/types.h>

struct stat;

// Files that hold patient data (the database, its backups, pictures, videos)
// are created readable and writable by their owner only (0600; folders 0700),
// whatever the umask. A file is replaced through a new file beside it that
// takes its place by one rename once every byte is on the disk, so a failed
// write leaves the old file as it was.
namespace PrivateFile {

// Makes the folder and any missing parent; each folder made here is owner-only.
// True when the folder exists afterwards.
bool makeFolder(const QString& path);
// Makes one owner-only folder in a parent that exists. 0, or the system's error code.
int makeOneFolder(const QString& path);

// Creates path as an empty owner-only file when nothing is there; an existing
// file is left as it is. 0, or the system's error code.
int ensureFile(const QString& path);

// Writes bytes to a new owner-only file; fails (EEXIST) when path exists.
// Nothing is left behind by a failure. 0, or the system's error code.
int writeNew(const QString& path, const QByteArray& bytes);

// Replaces path with bytes (a Replacement). 0, or the system's error code.
int replace(const QString& path, const QByteArray& bytes);

// Removes the temporary files that a killed program left in folder, one of
// the program's own: regular files of this user named ".pelrand-" + six
// letters or digits, or (earlier builds) "." + base + "-" + six letters or
// digits for a base that ours() accepts, unless a running program still
// holds their lock. Gives how many were removed.
int removeLeftovers(const QString& folder, const std::function<bool(const QString& base)>& ours);
// Removes one such file by its full name under the same conditions; true when it went.
bool removeLeftover(const QString& path);

// A name the user gives outside the program folder (a backup, a restore
// source, a recording, the DICOM folders, the print spool) is looked up once
// and then used only through the descriptor of the folder that holds it:
//  - The folder is opened once (O_PATH | O_DIRECTORY). Links on the way to it
//    are left to the kernel, which guards shared sticky folders itself.
//  - The last component is a file of ours or a link. A link there is
//    followed only when it is this user's, or the folder owner's, or no other
//    account may write the folder (then only its owner or the administrator
//    can have put it there). Another account's link is never followed: its
//    owner could point it at a file of ours, which would then be read or
//    replaced in its place. The rule holds for the last component of every
//    link of a chain (the folders a link's target passes through are the
//    kernel's to follow, as above), and each link is opened once
//    (O_PATH | O_NOFOLLOW): its owner and where it leads are read through
//    that descriptor, never by its name again. One
//    rule for every file of the program (the settings file, the database,
//    the spool folder too), one message that names the link (refusedLinkText).
//  - Afterwards everything goes through the folder's descriptor: openat with
//    O_NOFOLLOW, renameat2, unlinkat, fstatat without following, linkat. A
//    link put in place after the look-up stands in the way (ELOOP), it is
//    never followed.
//  - A new file has no name while it is written (O_TMPFILE) and gets its
//    name when whole, so a program killed meanwhile leaves nothing. Where the
//    file system has no unnamed files, it is named ".pelrand-" + six letters
//    or digits, a short fixed name that is never built from the user's name
//    (every name the file system takes is taken; one it does not take is
//    ENAMETOOLONG, "文件名太长"), and locked while it lives.
class Folder {
public:
    Folder() = default;
    ~Folder();
    Folder(Folder&& other) noexcept;
    Folder& operator=(Folder&& other) noexcept;
    Folder(const Folder&) = delete;
    Folder& operator=(const Folder&) = delete;

    // The folder at path, its last component taken by the link rule.
    static Folder open(const QString& path);
    // A folder inside this one, by the same rule.
    Folder openFolder(const QByteArray& entry) const;
    // A folder the caller opened and checked by rules of its own; the
    // descriptor is the Folder's from now on.
    static Folder adopt(int fd, const QString& path);

    bool isOpen() const { return fd_ >= 0; }
    // 0, or why the folder could not be opened: EACCES with refusedLink()
    // for another account's link, ENOENT, ENOTDIR, ENAMETOOLONG, ...
    int error() const { return error_; }
    QString refusedLink() const { return refusedLink_; }
    // The descriptor (O_PATH: for the *at calls, not for reading).
    int fd() const { return fd_; }
    // The folder's name, for messages only; never opened again.
    QString path() const { return path_; }
    // The name of an entry, for messages only.
    QString pathOf(const QByteArray& entry) const;

    // The entry's status, a link not followed. 0, or the system's error code.
    int stat(const QByteArray& entry, struct stat* st) const;
    // Opens a regular file in this folder for reading (never through a
    // link; a FIFO or a device is refused with EINVAL). The descriptor, or
    // minus the system's error code.
    int openRead(const QByteArray& entry) const;
    // Makes an owner-only folder. 0, or the system's error code (EEXIST too).
    int makeFolder(const QByteArray& entry) const;
    // Renames from to to within this folder; over: an existing to is
    // replaced, otherwise EEXIST. 0, or the system's error code.
    int rename(const QByteArray& from, const QByteArray& to, bool over) const;
    // Removes a file (not a folder). 0, or the system's error code.
    int remove(const QByteArray& entry) const;
    // The names in the folder, without "." and "..". false when it cannot be read (*error).
    bool list(QList<QByteArray>* names, int* error = nullptr) const;
    // Makes the folder's entries durable (best effort: not every file system syncs a folder).
    void sync() const;

private:
    friend struct FolderAccess;
    int fd_ = -1;
    int error_ = 0;
    QString path_;
    QString refusedLink_;
};

// The same in a folder opened already (a backup's), only through its descriptor.
int removeLeftovers(const Folder& folder, const std::function<bool(const QString& base)>& ours);

// A name resolved once: the folder that holds it and the entry there. When
// the last component was a link that the rule follows, folder and entry are
// where it leads.
struct Name {
    Folder folder;
    QByteArray entry;
    int error = 0;         // 0; EACCES for a refused link; ELOOP; what opening the folder gave
    QString refusedLink;   // the link that was not followed
    bool ok() const { return error == 0; }
    QString path() const { return folder.pathOf(entry); }
};
Name resolve(const QString& path);
// An entry of folder (a name made by the program inside a folder it opened), by the same rule.
Name resolveIn(const Folder& folder, const QByteArray& entry);

// A short fixed temporary name, never built from the user's: ".pelrand-" + six
// letters or digits (each call new ones), then suffix.
QByteArray temporaryName(const QByteArray& suffix = {});

// What to do about a refused link: choose another name, or another DICOM
// output folder in the DICOM settings, or (a file of the program's own, such
// as the settings file or the spool folder) ask the administrator to remove
// the link.
enum class Remedy {
    OtherName,
    DicomSettings,
    Administrator
};
// The one message for a link that is not followed; it names the link.
QString refusedLinkText(const QString& link, Remedy remedy = Remedy::OtherName);

// How a new file lives until it gets its name:
//  Unnamed: no name at all where the file system allows (O_TMPFILE);
//  Named: a hidden name (".pelrand-XXXXXX") from the start, for code that can
//   only open a file by its name (the database engine);
//  Kept: named as well, and the file stays under that name when it does not
//   get its own (dropped, failed, or the program killed): what is written of
//   a recording plays up to where it ends.
enum class Temporary {
    Unnamed,
    Named,
    Kept
};

// A new owner-only file in a folder, written and then put in place by
// commit(); dropped without a commit, it goes and nothing else changed.
class NewFile {
public:
    using Temporary = PrivateFile::Temporary;
    // suffix ends a temporary name (".avi": what a killed recording left plays).
    explicit NewFile(const Folder& folder, Temporary kind = Temporary::Unnamed, const QByteArray& suffix = {});
    ~NewFile();
    NewFile(const NewFile&) = delete;
    NewFile& operator=(const NewFile&) = delete;

    // The first failure's error code; 0 while there is none.
    int error() const { return error_; }
    // The file (for writers that take a descriptor); -1 after a failure to make it.
    int fd() const { return fd_; }
    // The temporary name while it has one (empty for an unnamed file). A
    // Kept file whose commit failed tells here where it stays.
    QString temporaryPath() const;
    // True when entry of the folder is this file itself (not a link to it,
    // not another file put in its place).
    bool isAt(const QByteArray& entry) const;

    bool write(const void* data, qint64 size);
    // Records a failure found by the caller (a write through fd()).
    void fail(int err);
    // Syncs the file and gives it the name entry in its folder: over
    // replaces a file of that name, otherwise a name that is taken fails
    // with EEXIST. Then syncs the folder. A named file whose temporary name
    // another account took away (renamed, or replaced by something else) is
    // named through its descriptor, never by what stands under that name.
    // 0, or the first failure's error code (nothing then has changed under
    // entry).
    int commit(const QByteArray& entry, bool over = true);
    // Removes the temporary file of a Kept one (a recording that failed);
    // only the file itself, never what another account put under its name.
    void discard();

private:
    int folder_ = -1;   // a descriptor of its own
    QString folderPath_;
    QByteArray temp_;   // the temporary name, once it has one
    QByteArray suffix_;
    int fd_ = -1;
    dev_t device_ = 0;   // the file itself, for isAt()
    ino_t inode_ = 0;
    bool unnamed_ = false;
    bool kept_ = false;
    int error_ = 0;
    bool done_ = false;
};

// A new version of a file, written as a NewFile in the same folder and put in
// place by commit(). A new file is owner-only; a file that is replaced keeps
// its owner's permission bits and loses any for group and others. A name that
// is a link is written through to the file it points at, and the link stays,
// when the link rule follows it; otherwise nothing is written (EACCES,
// refusedLink() names the link). Dropped without a commit, the new file goes
// and the old file is untouched.
//
// An unnamed new file gets a name beside the target (".pelrand-XXXXXX") only
// for the instant between the link and the rename.
class Replacement {
public:
    // Named where other code opens the temporary file by its name, such as
    // the engine exporting a database into it.
    using Temporary = PrivateFile::Temporary;
    explicit Replacement(const QString& path, Temporary kind = Temporary::Unnamed);
    // The same for a name resolved already.
    explicit Replacement(Name name, Temporary kind = Temporary::Unnamed);
    ~Replacement();
    Replacement(const Replacement&) = delete;
    Replacement& operator=(const Replacement&) = delete;

    // The first failure's error code; 0 while there is none.
    int error() const { return error_; }
    // True when an existing file stands in the way: read-only for its owner or
    // not a regular file; or the name is a link that is not followed.
    bool targetRefused() const { return refused_; }
    // The link that was not followed (another account's), or empty.
    QString refusedLink() const { return refusedLink_; }
    // The temporary file (for positioned writes and times); -1 after a failure to make it.
    int fd() const;
    // The temporary file's name while it is written: only a Named one has
    // one (empty otherwise, and after a failure to make it).
    QString temporaryPath() const;

    // Appends to the temporary file; false after any failure.
    bool write(const void* data, qint64 size);
    // Records a failure found by the caller (a positioned write through fd()).
    void fail(int err);
    // Syncs the temporary file, renames it over the target and syncs the folder.
    // 0, or the first failure's error code (the old file then stays).
    int commit();

private:
    void start(Temporary kind);

    Name name_;
    std::unique_ptr<NewFile> file_;
    QString refusedLink_;
    int error_ = 0;
    bool refused_ = false;
    bool existed_ = false;
    bool done_ = false;
};

namespace internal {
// What tests change in how files are written (PrivateFileTesting.h); the
// program itself leaves it as it is.
struct Faults {
    std::atomic<bool> unnamedTemporaries{true};   // a Replacement may use an unnamed temporary file
    std::mutex mutex;                             // guards commitFault
    std::function<int(const QString& target)> commitFault;
};
Faults& faults();
}
}
