// The program folder is the user's alone, and a settings file the start
// refused is left as the user found it.
#include "core/Database.h"
#include "core/FrmMain.h"
#include "core/Mmain.h"
#include "core/Modini.h"
#include "core/login.h"
#include "editor/DataRecord.h"
#include "platform/AppPaths.h"
#include "platform/MessageBox.h"
#include "platform/ProgramFolder.h"
#include "support/EditorKit.h"
#include "support/OtherAccount.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMap>
#include <QProcess>
#include <QSet>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTreeWidget>
#include <QtTest>

#include <optional>

#include <grp.h>
#include <linux/magic.h>
#include <pwd.h>
#include <sqlcipher/sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace kit;
using ProgramFolder::Verdict;

namespace {
// Every name in a folder with what it holds: a file's bytes, a link's target.
QMap<QString, QByteArray> contents(const QString& folder)
{
    QMap<QString, QByteArray> out;
    const QDir dir(folder);
    for (const QFileInfo& f : dir.entryInfoList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot))
        out.insert(f.fileName(), f.isSymLink() ? "-> " + QFile::encodeName(f.symLinkTarget())
                                 : f.isDir()   ? QByteArray("folder")
                                               : readBytes(f.filePath()));
    return out;
}

// The engine's own file access, with the database file's name given to
// another file at the instant the engine opens it (a swap in the window
// between the program's check and the engine's open).
struct SwapOnOpen {
    static inline sqlite3_vfs* real = nullptr;
    static inline QByteArray from;   // the file that takes the name, once
    sqlite3_vfs vfs{};
    SwapOnOpen(const QString& file)
    {
        real = sqlite3_vfs_find(nullptr);
        from = QFile::encodeName(file);
        vfs = *real;
        vfs.zName = "swap-on-open";
        vfs.xOpen = [](sqlite3_vfs*, const char* name, sqlite3_file* f, int flags, int* out) {
            if ((flags & SQLITE_OPEN_MAIN_DB) && !from.isEmpty() && ::rename(from.constData(), name) == 0)
                from.clear();
            return real->xOpen(real, name, f, flags, out);
        };
        sqlite3_vfs_register(&vfs, 1);
    }
    ~SwapOnOpen()
    {
        sqlite3_vfs_unregister(&vfs);
        sqlite3_vfs_register(real, 1);
    }
};

bool setOwnerAndMode(const QString& path, uid_t owner, gid_t group, mode_t mode)
{
    const QByteArray name = QFile::encodeName(path);
    return ::chown(name.constData(), owner, group) == 0 && ::chmod(name.constData(), mode) == 0;
}
}

class tst_ProgramFolder : public QObject {
    Q_OBJECT
private slots:
    void cleanup()
    {
        Mmain::ReleaseInstanceLock();
        closeEditor();
        closeWindows();
        folder_.reset();
    }

    // Owned by the user and writable by no other account. A refusal names
    // the folder, its owner and mode, and says chmod 700 where chmod can help
    // (not on a file system without Unix permissions).
    void folderRule_data()
    {
        QTest::addColumn<bool>("owned");
        QTest::addColumn<int>("mode");
        QTest::addColumn<bool>("groupHoldsOthers");
        QTest::addColumn<long>("fileSystem");
        QTest::addColumn<QString>("mountType");
        QTest::addColumn<QString>("aclWriter");
        QTest::addColumn<Verdict>("verdict");
        constexpr long ext4 = EXT4_SUPER_MAGIC;
        constexpr long vfat = MSDOS_SUPER_MAGIC;
        constexpr long fuse = FUSE_SUPER_MAGIC;
        const QString none;
        QTest::newRow("owner only") << true << 0700 << true << ext4 << none << none << Verdict::Ours;
        QTest::newRow("a group of the user's own writes")
            << true << 0775 << false << ext4 << none << none << Verdict::Ours;
        QTest::newRow("a shared group reads") << true << 0750 << true << ext4 << none << none << Verdict::Ours;
        QTest::newRow("a shared group writes")
            << true << 0770 << true << ext4 << none << none << Verdict::GroupMayWrite;
        QTest::newRow("only others write")
            << true << 0702 << false << long(TMPFS_MAGIC) << none << none << Verdict::AnyoneMayWrite;
        QTest::newRow("sticky, anyone writes")
            << true << 01777 << false << ext4 << none << none << Verdict::AnyoneMayWrite;
        QTest::newRow("another account's") << false << 0700 << false << ext4 << none << none << Verdict::NotOwner;
        QTest::newRow("vfat, anyone writes")
            << true << 0777 << false << vfat << none << none << Verdict::NoUnixPermissions;
        QTest::newRow("vfat mounted for the user") << true << 0700 << false << vfat << none << none << Verdict::Ours;
        QTest::newRow("cifs of another account")
            << false << 0755 << false << long(CIFS_SUPER_MAGIC) << none << none << Verdict::NoUnixPermissions;
        QTest::newRow("exfat, group writes")
            << true << 0770 << true << long(EXFAT_SUPER_MAGIC) << none << none << Verdict::NoUnixPermissions;
        // FUSE: only a block device's (ntfs-3g, exFAT) keeps no Unix permissions; sshfs and bindfs take chmod.
        QTest::newRow("ntfs-3g, anyone writes")
            << true << 0777 << false << fuse << QStringLiteral("fuseblk") << none << Verdict::NoUnixPermissions;
        QTest::newRow("sshfs, anyone writes")
            << true << 0777 << false << fuse << QStringLiteral("fuse.sshfs") << none << Verdict::AnyoneMayWrite;
        QTest::newRow("bindfs of another account")
            << false << 0700 << false << fuse << QStringLiteral("fuse.bindfs") << none << Verdict::NotOwner;
        QTest::newRow("an ACL lets another account write")
            << true << 0770 << false << ext4 << none << QStringLiteral("user:nobody") << Verdict::AclMayWrite;
    }
    void folderRule()
    {
        QFETCH(bool, owned);
        QFETCH(int, mode);
        QFETCH(bool, groupHoldsOthers);
        QFETCH(long, fileSystem);
        QFETCH(QString, mountType);
        QFETCH(QString, aclWriter);
        QFETCH(Verdict, verdict);
        const uid_t user = ::geteuid();
        ProgramFolder::Facts facts;
        facts.owner = owned ? user : user + 1;
        facts.mode = S_IFDIR | mode_t(mode);
        facts.groupHoldsOthers = groupHoldsOthers;
        facts.foreignFileSystem = ProgramFolder::foreignFileSystem(fileSystem, mountType);
        facts.aclWriter = aclWriter;
        QCOMPARE(ProgramFolder::judge(facts, user), verdict);
        const QString folder = QStringLiteral("/srv/pelrand");
        const QString text = ProgramFolder::refusalText(folder, facts, verdict);
        QCOMPARE(text.isEmpty(), verdict == Verdict::Ours);
        if (verdict != Verdict::Ours) {
            QVERIFY2(text.contains(folder) && text.contains(QString::number(mode, 8)), qPrintable(text));
            QCOMPARE(text.contains(QStringLiteral("chmod 700 /srv/pelrand")),
                     verdict != Verdict::NoUnixPermissions && verdict != Verdict::AclMayWrite);
            QCOMPARE(text.contains(QStringLiteral("chmod 无法改变")), verdict == Verdict::NoUnixPermissions);
            // The entry is named, with the command that removes it.
            if (verdict == Verdict::AclMayWrite)
                QVERIFY2(text.contains(aclWriter) && text.contains(QStringLiteral("setfacl -b /srv/pelrand")),
                         qPrintable(text));
        }
    }

    // A group holds another account as a listed member or as that account's
    // primary group (the group daemon is the account daemon's, and no other's).
    void groupMembers_data()
    {
        QTest::addColumn<uint>("user");
        QTest::addColumn<bool>("others");
        QTest::newRow("as daemon") << 1u << false;
        QTest::newRow("as root") << 0u << true;
    }
    void groupMembers()
    {
        QFETCH(uint, user);
        QFETCH(bool, others);
        QCOMPARE(ProgramFolder::groupHoldsOthers(gid_t(1), uid_t(user)), others);
    }

    // The check on real folders, as the account daemon (whose group holds no other account):
    // a group that holds only the user may write, and so may ACL entries of the user's own or
    // that the mask leaves without write; an entry that lets another account write is refused
    // and named.
    void folderOnDisk_data()
    {
        QTest::addColumn<QString>("group");
        QTest::addColumn<int>("mode");
        QTest::addColumn<QString>("acl");       // setfacl -m, none when empty
        QTest::addColumn<QString>("refusal");   // what the refusal names; empty: accepted
        const QString none;
        QTest::newRow("owner only") << "daemon" << 0700 << none << none;
        QTest::newRow("the user's own group writes") << "daemon" << 0770 << none << none;
        QTest::newRow("a group of others writes") << "root" << 0770 << none << QStringLiteral("组 root");
        QTest::newRow("ACL: another user writes")
            << "daemon" << 0700 << QStringLiteral("u:nobody:rwx") << QStringLiteral("user:nobody");
        QTest::newRow("ACL: another user reads") << "daemon" << 0700 << QStringLiteral("u:nobody:rx") << none;
        QTest::newRow("ACL: another user, masked") << "daemon" << 0700 << QStringLiteral("u:nobody:rwx,m::rx") << none;
        QTest::newRow("ACL: the user named") << "daemon" << 0700 << QStringLiteral("u:daemon:rwx") << none;
        QTest::newRow("ACL: a group of others writes")
            << "daemon" << 0700 << QStringLiteral("g:nogroup:rwx") << QStringLiteral("group:nogroup");
        QTest::newRow("ACL: the user's own group writes") << "daemon" << 0700 << QStringLiteral("g:daemon:rwx") << none;
        // The mode's group bits are then the mask: the owning group's own entry does not write.
        QTest::newRow("ACL: the mask writes, a group of others does not")
            << "root" << 0700 << QStringLiteral("u:daemon:rwx") << none;
    }
    void folderOnDisk()
    {
        QFETCH(QString, group);
        QFETCH(int, mode);
        QFETCH(QString, acl);
        QFETCH(QString, refusal);
        if (!canActAsOthers())
            QSKIP("acting as other accounts needs root");
        QTemporaryDir top;
        QVERIFY(top.isValid() && ::chmod(QFile::encodeName(top.path()).constData(), 0755) == 0);
        const QString folder = top.path() + QStringLiteral("/program");
        QVERIFY(QDir().mkdir(folder));
        QVERIFY(setOwnerAndMode(folder, kDaemon, group == QLatin1String("root") ? 0 : 1, mode_t(mode)));
        if (!acl.isEmpty()) {
            if (QStandardPaths::findExecutable(QStringLiteral("setfacl")).isEmpty())
                QSKIP("setfacl (package acl) is needed");
            QProcess setfacl;
            setfacl.setProcessChannelMode(QProcess::MergedChannels);
            setfacl.start(QStringLiteral("setfacl"), {QStringLiteral("-m"), acl, folder});
            QVERIFY(setfacl.waitForFinished(60000));
            if (setfacl.exitCode() != 0)
                QSKIP(qPrintable(QStringLiteral("this file system takes no ACL: ") + setfacl.readAll()));
        }
        const QString said =
            QString::fromUtf8(runAs(kDaemon, 1, [&] { return ProgramFolder::check(folder).toUtf8(); }));
        if (refusal.isEmpty())
            QVERIFY2(said.isEmpty(), qPrintable(said));
        else
            QVERIFY2(said.contains(refusal) && said.contains(folder), qPrintable(said));
        if (refusal.startsWith(QLatin1String("user:")) || refusal.startsWith(QLatin1String("group:")))
            QVERIFY2(said.contains(QStringLiteral("setfacl -b %1").arg(folder)), qPrintable(said));
    }

    // A group whose member list names only the user, and which is no account's own group, is
    // the user's: the folder it may write starts (a machine without such a group skips this).
    void groupListingOnlyTheUser()
    {
        if (!canActAsOthers())
            QSKIP("acting as other accounts needs root");
        // A group of its own whose member list names daemon alone (not daemon's own group,
        // which the account list already covers).
        const QString name = QStringLiteral("pelrand-t%1").arg(::getpid());
        const auto tool = [](const QString& program, const QStringList& args) {
            return QProcess::execute(program, args) == 0;
        };
        if (!tool(QStringLiteral("groupadd"), {name}))
            QSKIP("groupadd is not available here");
        const auto removeGroup = qScopeGuard([&] { tool(QStringLiteral("groupdel"), {name}); });
        QVERIFY(tool(QStringLiteral("gpasswd"), {QStringLiteral("-a"), QStringLiteral("daemon"), name}));
        const group* gr = ::getgrnam(name.toUtf8().constData());
        QVERIFY(gr && gr->gr_mem && gr->gr_mem[0] && !gr->gr_mem[1]);
        const gid_t gid = gr->gr_gid;
        QTemporaryDir top;
        QVERIFY(top.isValid() && ::chmod(QFile::encodeName(top.path()).constData(), 0755) == 0);
        const QString folder = top.path() + QStringLiteral("/program");
        QVERIFY(QDir().mkdir(folder) && setOwnerAndMode(folder, kDaemon, gid, 0770));
        const QByteArray said = runAs(kDaemon, 1, [&] { return ProgramFolder::check(folder).toUtf8(); });
        QVERIFY2(said.isEmpty(), said.constData());
    }

    // A program folder another account may write is refused before anything
    // in it is read: no lock is made, no picture swept (here through another
    // account's img link), no settings file said; the start says which
    // folder, whose it is and its mode.
    void writableFolderRefusedFirst_data()
    {
        QTest::addColumn<uint>("owner");
        QTest::addColumn<uint>("group");
        QTest::addColumn<int>("mode");
        QTest::newRow("root's sticky folder anyone writes") << 0u << 0u << 01777;
        QTest::newRow("the user's, anyone writes") << uint(kNobody) << uint(kNobody) << 0777;
        QTest::newRow("the user's, daemon's group writes") << uint(kNobody) << 1u << 0770;
    }
    void writableFolderRefusedFirst()
    {
        QFETCH(uint, owner);
        QFETCH(uint, group);
        QFETCH(int, mode);
        if (!canActAsOthers())
            QSKIP("acting as other accounts needs root");
        const TestFolder f(false);
        QVERIFY(f.ok());
        QTemporaryDir top;
        QVERIFY(top.isValid() && ::chmod(QFile::encodeName(top.path()).constData(), 0755) == 0);
        const QString program = top.path() + QStringLiteral("/program");
        const QString outside = top.path() + QStringLiteral("/pictures");
        QVERIFY(QDir().mkdir(program) && QDir().mkdir(outside));
        QVERIFY(QFile::copy(f.file(QStringLiteral("data.db")), program + QStringLiteral("/data.db")));
        QVERIFY(writeBytes(program + QStringLiteral("/options.ini"), QByteArray()));
        QVERIFY(writeBytes(outside + QStringLiteral("/rpt1.jpg"), jpegBytes(8, 8, Qt::red)));
        QVERIFY(linkAs(outside, program + QStringLiteral("/img"), kDaemon));
        QVERIFY(setOwnerAndMode(outside, kNobody, kNobody, 0777));
        for (const QString& name : {QStringLiteral("data.db"), QStringLiteral("options.ini")})
            QVERIFY(setOwnerAndMode(program + QLatin1Char('/') + name, kNobody, kNobody, 0600));
        QVERIFY(setOwnerAndMode(program, uid_t(owner), gid_t(group), mode_t(mode)));
        const auto programBefore = contents(program);
        const auto outsideBefore = contents(outside);

        AppPaths::setProgramFolder(program);
        const QByteArray got = runAs(kNobody, kNobody, [] {
            MessageBox::clearShown();
            const Mmain::StartResult r = Mmain::Main();
            return QByteArray::number(r.running) + ' ' + QByteArray::number(MessageBox::shownBoxes().size()) + ' '
                   + lastTitle().toUtf8() + '\n' + lastText().toUtf8();
        });
        AppPaths::setProgramFolder(f.path());
        const QString said = QString::fromUtf8(got);
        QVERIFY2(said.startsWith(QStringLiteral("0 1 对不起\n")), qPrintable(said));
        QVERIFY2(said.contains(program)
                     && said.contains(QStringLiteral("属于账户 %1").arg(owner == 0 ? "root" : "nobody")),
                 qPrintable(said));
        QCOMPARE(contents(program), programBefore);
        QCOMPARE(contents(outside), outsideBefore);
    }

    // Only the administrator can put another account's link in a folder that
    // is the user's alone: the one link rule follows it, as the kernel would,
    // and the start reads the settings through it without a word.
    void administratorsSettingsLinkFollowed()
    {
        if (!canActAsOthers())
            QSKIP("making another account's link needs root");
        const TestFolder f(false);
        QVERIFY(f.ok());
        QTemporaryDir elsewhere;
        const QString behind = elsewhere.filePath(QStringLiteral("their.ini"));
        const QByteArray theirs = "[system]\r\nhname=elsewhere\r\n";
        QVERIFY(writeBytes(behind, theirs));
        QVERIFY(QFile::remove(AppPaths::iniFile()) && linkAs(behind, AppPaths::iniFile(), kNobody));
        const Mmain::StartResult r = Mmain::Main();
        QVERIFY(r.running);
        Mmain::ReleaseInstanceLock();
        QVERIFY2(MessageBox::shownBoxes().isEmpty(), qPrintable(lastText()));
        QCOMPARE(Mmain::gHospitalName, QStringLiteral("elsewhere"));
        QCOMPARE(readBytes(behind), theirs);
    }

    // The engine opens data.db by name: a file put in its place after the
    // check is found out after the open, used for nothing and named, also
    // when the engine could not read it at all; never with the advice to
    // copy a backup over data.db, which is sound.
    void databaseSwappedWhileOpened_data()
    {
        QTest::addColumn<bool>("database");
        QTest::newRow("another database") << true;
        QTest::newRow("not a database") << false;
    }
    void databaseSwappedWhileOpened()
    {
        QFETCH(bool, database);
        const TestFolder f;
        QVERIFY(f.ok());
        Database::CloseDatabase();
        const QString sound = f.file(QStringLiteral("sound.db"));
        const QString other = f.file(QStringLiteral("other.db"));
        QVERIFY(QFile::copy(AppPaths::databaseFile(), sound));
        QVERIFY(database ? QFile::copy(AppPaths::databaseFile(), other) : writeBytes(other, QByteArray(8192, 'x')));
        QString why;
        {
            const SwapOnOpen swap(other);
            try {
                Database::OpenDatabase();
            } catch (const DbOpenError& e) {
                why = e.description;
            }
            QVERIFY(SwapOnOpen::from.isEmpty());
        }
        QVERIFY2(why.contains(AppPaths::databaseFile()) && why.contains(QStringLiteral("换成了另一个文件")),
                 qPrintable(why));
        QVERIFY(!Database::isOpen());
        Mmain::ReportOpenErrorAndQuit(Database::kOpenErrorNumber, why);
        QVERIFY2(!lastText().contains(QStringLiteral("备份")), qPrintable(lastText()));
        QVERIFY(QFile::remove(AppPaths::databaseFile()) && QFile::rename(sound, AppPaths::databaseFile()));
        Database::OpenDatabase();
        QVERIFY(Database::isOpen());
    }

    // What the program remembers by itself after the start refused the
    // settings file (the editor's description category, the skin) stays in
    // memory for the run, silently: the file is left byte for byte, and the
    // editor opened again finds what it left.
    void refusedSettingsFileLeftAsFound_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("empty") << QByteArray("");
        QTest::newRow("zeros") << QByteArray(2048, '\0');
        QTest::newRow("not text") << QByteArray("[system]\r\nmrms=2\r\nhname=\xFF\xFE\x80\r\n");
        QTest::newRow("unreadable") << QByteArray("[system]\r\nmrms=2\r\n");
    }
    void refusedSettingsFileLeftAsFound()
    {
        QFETCH(QByteArray, bytes);
        folder_ = editorFolder();
        QVERIFY(folder_->ok());
        const QString ini = AppPaths::iniFile();
        QVERIFY(writeBytes(ini, bytes));
        std::optional<Unreadable> unreadable;
        if (QByteArray(QTest::currentDataTag()) == "unreadable")
            QVERIFY(unreadable.emplace(ini).ok());
        const Mmain::StartResult r = Mmain::Main();
        Mmain::ReleaseInstanceLock();
        closeWindows();
        QVERIFY(r.running);
        QCOMPARE(MessageBox::shownBoxes().size(), 1);
        if (!Database::isOpen())
            Database::OpenDatabase();
        MessageBox::clearShown();

        Openers::EditorNewReport();
        DataRecord& ed = DataRecord::instance();
        QVERIFY(ed.isLoaded());
        ed.TreeMS_NodeClick(ed.TreeMS->topLevelItem(3));
        closeEditor();
        QVERIFY(!ed.isLoaded());
        FrmMain::ShowMain()->action(QStringLiteral("海洋"))->trigger();
        closeWindows();
        if (!Database::isOpen())
            Database::OpenDatabase();
        // Closing the new report asks about saving it, the first change kept
        // in memory says so, and nothing else is said.
        for (const MessageBox::Shown& box : MessageBox::shownBoxes())
            QVERIFY2(box.title == MessageBox::kNoticeTitle, qPrintable(box.text));
        QCOMPARE(Modini::GetIniValue(IniKey::DescriptionCategory), QStringLiteral("4"));
        QCOMPARE(Modini::GetIniValue(IniKey::SkinId), QStringLiteral("2"));
        Openers::EditorNewReport();
        QCOMPARE(ed.descriptionCategory(), 4);
        closeEditor();
        unreadable.reset();
        QCOMPARE(readBytes(ini), bytes);
    }

private:
    std::unique_ptr<TestFolder> folder_;
};

QTEST_MAIN(tst_ProgramFolder)
#include "tst_programfolder.moc"
