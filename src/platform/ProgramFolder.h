#pragma once
#include <QString>

#include <sys/types.h>

// The program folder holds the database, the settings and the pictures of
// one account: data.db is owner-only, so two accounts can never share it.
// A folder that another account may write would only let that account plant
// files and links among ours, so the start refuses one; inside a folder that
// is the user's alone, every name (data.db, options.ini, img/, the lock) is
// the user's by construction and needs no link check of its own.
namespace ProgramFolder {

// What the rule looks at, as the folder's stat and its file system give it.
struct Facts {
    uid_t owner = 0;
    gid_t group = 0;
    mode_t mode = 0;                 // the permission bits (with set-id and sticky)
    bool groupHoldsOthers = false;   // an account other than the user is in the group
    QString foreignFileSystem;       // a file system without Unix owners and modes ("vfat" …); empty otherwise
    QString aclWriter;               // an ACL entry that lets another account write ("user:nobody"); empty if none
};

enum class Verdict {
    Ours,                // the user's alone
    NotOwner,            // another account owns it
    GroupMayWrite,       // writable by a group that holds other accounts
    AnyoneMayWrite,      // writable by every account (sticky or not)
    AclMayWrite,         // an ACL entry lets another account write
    NoUnixPermissions,   // refused, on a file system where chmod cannot change that
};

// The rule: owned by user and writable by no other account (its mode, and
// the entries of its access ACL, which check() reads). A folder
// writable by its group is the user's alone when the group holds no other
// account (Debian gives every user a group of their own, and umask 002 makes
// folders group-writable).
Verdict judge(const Facts& facts, uid_t user);

// Whether the group holds an account other than user: a listed member or an
// account whose primary group it is.
bool groupHoldsOthers(gid_t group, uid_t user);

// The name of a file system (statfs's f_type) that keeps no Unix owners and
// modes of its own, such as vfat or a network share; empty for one that does.
// A FUSE file system is one only when it is a block device's (mountType
// "fuseblk": ntfs-3g, exFAT); sshfs, bindfs and the like take chmod.
QString foreignFileSystem(long type, const QString& mountType = QString());

// Why the start refuses the folder, and what to do, for the user.
QString refusalText(const QString& folder, const Facts& facts, Verdict verdict);

// Checks the program folder: empty when it is the user's alone (effective
// user id), otherwise the text that says why the program does not start.
QString check(const QString& folder);

// The folder of the running executable as the kernel reaches it
// (/proc/self/exe); empty when it cannot be read.
QString executableFolder();

// The start's check, before any Qt object exists: the executable's folder,
// which Qt reads qt.conf and plugins from. Empty when it is the user's alone
// (it is then noted as checked), otherwise why the program does not start.
QString checkExecutableFolder();

// check(), unless the folder is the one checkExecutableFolder() accepted.
QString checkUnlessChecked(const QString& folder);

// Shows why the program does not start (title 对不起) and gives the exit
// status 1. The application built for the box reads nothing from the
// executable's folder: no qt.conf (the program carries its own, naming the
// system's Qt) and no plugin. The box is shown from a copy of the executable
// in memory, run again (so the folder is not even looked at); where that
// cannot be done, here, with the folder taken out of the plugin folders.
int refuseStart(int& argc, char** argv, const QString& text);

// Whether this process is that copy: main() then gives the box its text
// (the one argument) through refuseStart, and checks nothing.
bool isRefusalCopy();
}
