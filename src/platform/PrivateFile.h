#pragma once
#include <QByteArray>
#include <QString>

#include <functional>

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

// Renames from over to (both in one folder) and makes the rename durable.
// 0, or the system's error code.
int renameOver(const QString& from, const QString& to);

// The file a name leads to, its links followed the way the kernel guards
// shared folders, and more strictly for the file named: a link is followed
// when it belongs to this user or to the owner of the folder that holds it.
// A link on the way to the file (a folder) is also followed outside folders
// that anyone may write to and that keep others' files apart (sticky); the
// file itself in a folder that no other account may write (only its owner or
// the administrator can have put the link there). Another account's link is
// otherwise never followed to the file itself: its owner could point it at a
// file of ours, which would then be read or replaced in its place.
struct Followed {
    QString path;          // the file the name leads to; empty when refused
    QString refusedLink;   // the link that was not followed
    int error = 0;         // 0; EACCES for a refused link; ELOOP for a loop
};
Followed followLinks(const QString& path);
// The message for a link that is not followed; it names the link.
QString refusedLinkText(const QString& link);

// Removes the temporary files that a killed program left in folder: regular
// files of this user named "." + base + "-" + six letters or digits, for a base
// that ours() accepts, unless a running program still holds their lock. Gives
// how many were removed.
int removeLeftovers(const QString& folder, const std::function<bool(const QString& base)>& ours);
// Removes one such file by its full name under the same conditions; true when it went.
bool removeLeftover(const QString& path);

// A new version of a file, written to a temporary file in the same folder and
// put in place by commit(). A new file is owner-only; a file that is replaced
// keeps its owner's permission bits and loses any for group and others. A name
// that is a link is written through to the file it points at, and the link
// stays, when followLinks() follows it; otherwise nothing is written
// (EACCES, refusedLink() names the link). Dropped without a commit, the
// temporary file goes and the old file is untouched.
//
// Where the file system allows, the temporary file has no name while it is
// written (O_TMPFILE): a program killed before the commit leaves nothing
// behind. It gets a name beside the target only for the instant between the
// link and the rename. Elsewhere it is named "." + name + "-XXXXXX" and locked
// while it lives, so removeLeftovers() can tell a killed program's file from
// one that is being written.
class Replacement {
public:
    // Named: the temporary file has its name from the start (other code opens
    // it by its name, such as the engine exporting a database into it).
    enum class Temporary {
        Unnamed,
        Named
    };
    explicit Replacement(const QString& path, Temporary kind = Temporary::Unnamed);
    ~Replacement();
    Replacement(const Replacement&) = delete;
    Replacement& operator=(const Replacement&) = delete;

    // The first failure's error code; 0 while there is none.
    int error() const { return error_; }
    // True when an existing file stands in the way: read-only for its owner or
    // not a regular file; or the name is a link that is not followed.
    bool targetRefused() const { return refused_; }
    bool targetExisted() const { return existed_; }
    // The link that was not followed (another account's), or empty.
    QString refusedLink() const { return refusedLink_; }
    // The temporary file (for positioned writes and times); -1 after a failure to make it.
    int fd() const { return fd_; }
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
    QByteArray target_;
    QString refusedLink_;
    QByteArray temp_;   // the temporary file's name, once it has one
    int fd_ = -1;
    bool unnamed_ = false;
    int error_ = 0;
    bool refused_ = false;
    bool existed_ = false;
    bool done_ = false;
};
}
