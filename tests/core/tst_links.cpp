// Files that users name, in folders shared with other accounts: a link is
// followed only when it is the user's own or the folder owner's.
#include "imaging/VideoCapture.h"
#include "imaging/VideoSettings.h"
#include "core/Database.h"
#include "core/Modini.h"
#include "platform/AppPaths.h"
#include "platform/PrivateFile.h"
#include "support/CoreKit.h"
#include "support/OtherAccount.h"
#include "support/TestFolder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

#include <cerrno>
#include <utility>

#include <sys/stat.h>
#include <unistd.h>

using namespace kit;

namespace {
// Replaces each name with its own name as contents and tells, per name, the
// error code and what the file behind the links holds afterwards.
QByteArray replaceEach(const QStringList& names, const QString& behind)
{
    QByteArray out;
    for (const QString& name : names) {
        const int err = PrivateFile::replace(name, QFileInfo(name).fileName().toUtf8());
        out += QFileInfo(name).fileName().toUtf8() + '=' + QByteArray::number(err) + ':' + readBytes(behind) + ' ';
    }
    return out.trimmed();
}
}

class tst_Links : public QObject {
    Q_OBJECT

private slots:
    // As an account without rights of its own, in a sticky folder that root
    // owns: its own link and root's are followed, a third account's is not,
    // also when the file behind it is the user's own. In a sticky folder of
    // the third account, that account's link is followed (it owns the
    // folder). Every link of a chain is taken by the rule: the user's own
    // link that leads to a third account's link is not followed past it.
    // Links to folders on the way are the kernel's to guard.
    void followedOnlyForTheUserOrTheFolderOwner()
    {
        if (!canActAsOthers())
            QSKIP("acting as other accounts needs root");
        const SharedFolder shared;
        const SharedFolder daemons(kDaemon);
        QVERIFY(shared.ok() && daemons.ok());
        const QString mine = shared.file(QStringLiteral("mine"));
        QVERIFY(fileAs(mine, "old", kNobody));
        QVERIFY(linkAs(mine, shared.file(QStringLiteral("other")), kDaemon));
        QVERIFY(linkAs(mine, shared.file(QStringLiteral("own")), kNobody));
        QVERIFY(linkAs(mine, shared.file(QStringLiteral("owners")), 0));
        QVERIFY(linkAs(mine, daemons.file(QStringLiteral("daemons")), kDaemon));
        QVERIFY(linkAs(shared.file(QStringLiteral("other")), shared.file(QStringLiteral("chain")), kNobody));

        const QStringList names = {shared.file(QStringLiteral("chain")), shared.file(QStringLiteral("other")),
                                   shared.file(QStringLiteral("own")), shared.file(QStringLiteral("owners")),
                                   daemons.file(QStringLiteral("daemons"))};
        const QByteArray got = runAs(kNobody, kNobody, [&] { return replaceEach(names, mine); });
        QCOMPARE(got, QByteArray("chain=13:old other=13:old own=0:own owners=0:owners daemons=0:daemons"));
        for (const QString& name : names)
            QVERIFY(QFileInfo(name).isSymLink());
    }

    // In a folder that only its owner may write (the user's own home), a
    // link there can only be the owner's or the administrator's: it is
    // followed, as the kernel follows it. In one that others of a group may
    // write, another account's link is not.
    void followedInAFolderOnlyItsOwnerWrites()
    {
        if (!canActAsOthers())
            QSKIP("acting as other accounts needs root");
        const SharedFolder shared;
        QVERIFY(shared.ok());
        const QString home = QFileInfo(shared.path()).path() + QStringLiteral("/home");
        const QString group = QFileInfo(shared.path()).path() + QStringLiteral("/group");
        for (const auto& [folder, mode] : {std::pair{home, 0755}, std::pair{group, 0775}})
            QVERIFY(QDir().mkdir(folder) && ::chmod(QFile::encodeName(folder).constData(), mode_t(mode)) == 0
                    && ::chown(QFile::encodeName(folder).constData(), kNobody, kNobody) == 0);
        const QString mine = shared.file(QStringLiteral("mine"));
        QVERIFY(fileAs(mine, "old", kNobody));
        QVERIFY(linkAs(mine, home + QStringLiteral("/admins"), 0));
        QVERIFY(linkAs(mine, group + QStringLiteral("/other"), kDaemon));
        const QStringList names = {home + QStringLiteral("/admins"), group + QStringLiteral("/other")};
        const QByteArray got = runAs(kNobody, kNobody, [&] { return replaceEach(names, mine); });
        QCOMPARE(got, QByteArray("admins=0:admins other=13:admins"));
    }

    // The refusal of another account's link names the link and says what to
    // do, in the words users read: another name, or for the DICOM output
    // another folder in the DICOM settings.
    void refusedLinkWording()
    {
        QCOMPARE(PrivateFile::refusedLinkText(QStringLiteral("/srv/x.BAK")),
                 QStringLiteral("/srv/x.BAK 是另一个账户的链接，程序不经由它读写文件，请另选一个名字"));
        QCOMPARE(
            PrivateFile::refusedLinkText(QStringLiteral("/srv/dicom"), PrivateFile::Remedy::DicomSettings),
            QStringLiteral("/srv/dicom 是另一个账户的链接，程序不经由它读写文件，请在 DICOM 设置中另选输出文件夹"));
        QCOMPARE(
            PrivateFile::refusedLinkText(QStringLiteral("/opt/ws/options.ini"), PrivateFile::Remedy::Administrator),
            QStringLiteral("/opt/ws/options.ini 是另一个账户的链接，程序不经由它读写文件，请系统管理员删除这个链接"));
    }

    // A name is looked up once: a link put in its place afterwards is never
    // followed, not to read the file nor to replace it.
    void linkPutThereAfterTheLookUp_data()
    {
        QTest::addColumn<bool>("write");
        QTest::newRow("read") << false;
        QTest::newRow("replace") << true;
    }
    void linkPutThereAfterTheLookUp()
    {
        QFETCH(bool, write);
        const QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QString precious = dir.filePath(QStringLiteral("precious")), name = dir.filePath(QStringLiteral("x"));
        QVERIFY(writeBytes(precious, "kept") && writeBytes(name, "mine"));
        PrivateFile::Name looked = PrivateFile::resolve(name);
        QVERIFY(looked.ok());
        QVERIFY(QFile::remove(name) && QFile::link(precious, name));
        if (write) {
            // The link stands in the way: it stays, and nothing is written.
            PrivateFile::Replacement out(std::move(looked));
            QVERIFY(out.targetRefused() && !out.write("new", 3) && out.commit() != 0);
            QVERIFY(QFileInfo(name).isSymLink());
        } else {
            const int fd = looked.folder.openRead(looked.entry);
            if (fd >= 0)
                ::close(fd);
            QCOMPARE(fd, -ELOOP);
        }
        QCOMPARE(readBytes(precious), QByteArray("kept"));
    }

    // A recording is not started through another account's link; the reason names it.
    void recordingNotThroughAnotherAccountsLink()
    {
        if (!canActAsOthers())
            QSKIP("making another account's link needs root");
        const TestFolder tf(false);
        QVERIFY(tf.ok());
        QVERIFY(setIni("video", "device", VideoSettings::testPattern()));
        const SharedFolder shared;
        QVERIFY(shared.ok());
        const QString precious = QFileInfo(shared.path()).path() + QStringLiteral("/precious.avi");
        QVERIFY(writeBytes(precious, "root's own file"));
        const QString link = shared.file(QStringLiteral("clip.avi"));
        QVERIFY(linkAs(precious, link, kNobody));
        VideoCapture v;
        QVERIFY(v.Connect());
        v.setAviFileName(link);
        QVERIFY(!v.StartRecording() && !v.isRecording());
        QVERIFY2(v.lastError().contains(link), qPrintable(v.lastError()));
        QCOMPARE(readBytes(precious), QByteArray("root's own file"));
        QCOMPARE(QDir(shared.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot),
                 QStringList{QStringLiteral("clip.avi")});
    }

    // A program folder shared with other accounts: the settings file that is
    // another account's link is neither read nor written through; the save's
    // message names the link, and the file behind it stays as it was, even
    // where it is read-only. The user's own link is read and written through.
    void settingsNotThroughAnotherAccountsLink()
    {
        if (!canActAsOthers())
            QSKIP("making another account's link needs root");
        const SharedFolder shared;
        QVERIFY(shared.ok());
        const QString precious = QFileInfo(shared.path()).path() + QStringLiteral("/precious.ini");
        QVERIFY(writeBytes(precious, "[system]\nhospital=elsewhere\n"));
        QVERIFY(QFile::setPermissions(precious, QFile::ReadOwner));
        const QString ini = shared.file(QStringLiteral("options.ini"));
        QVERIFY(linkAs(precious, ini, kNobody));
        QCOMPARE(Modini::GetIniValue(QStringLiteral("system"), QStringLiteral("hospital"), QStringLiteral("-"), ini),
                 QStringLiteral("-"));
        QVERIFY(
            !Modini::SetIniValue(QStringLiteral("system"), QStringLiteral("hospital"), QStringLiteral("here"), ini));
        QVERIFY2(
            Modini::LastFailureText().startsWith(PrivateFile::refusedLinkText(ini, PrivateFile::Remedy::Administrator))
                && Modini::LastFailureText().contains(QStringLiteral("设置未保存")),
            qPrintable(Modini::LastFailureText()));
        // The start says it too, and goes on with the defaults.
        const QString program = AppPaths::programFolder();
        AppPaths::setProgramFolder(shared.path());
        const QString atStart = Modini::SettingsFileProblem();
        AppPaths::setProgramFolder(program);
        QVERIFY2(atStart.startsWith(PrivateFile::refusedLinkText(ini, PrivateFile::Remedy::Administrator)),
                 qPrintable(atStart));
        QCOMPARE(readBytes(precious), QByteArray("[system]\nhospital=elsewhere\n"));
        QVERIFY(QFileInfo(ini).isSymLink());

        QVERIFY(QFile::remove(ini) && QFile::setPermissions(precious, QFile::ReadOwner | QFile::WriteOwner)
                && QFile::link(precious, ini));
        QCOMPARE(Modini::GetIniValue(QStringLiteral("system"), QStringLiteral("hospital"), QStringLiteral("-"), ini),
                 QStringLiteral("elsewhere"));
        QVERIFY(Modini::SetIniValue(QStringLiteral("system"), QStringLiteral("hospital"), QStringLiteral("here"), ini));
        QCOMPARE(readBytes(precious), QByteArray("[system]\nhospital=here\n"));
        QVERIFY(QFileInfo(ini).isSymLink());
    }

    // Nor is the database opened through another account's link in the
    // program folder: the start says so, naming the link. The user's own
    // link is opened.
    void databaseNotThroughAnotherAccountsLink()
    {
        if (!canActAsOthers())
            QSKIP("making another account's link needs root");
        const TestFolder tf(false);
        QVERIFY(tf.ok());
        const SharedFolder shared;
        QVERIFY(shared.ok());
        const QString link = shared.file(QStringLiteral("data.db"));
        QVERIFY(linkAs(tf.file(QStringLiteral("data.db")), link, kNobody));
        AppPaths::setProgramFolder(shared.path());
        QString why;
        try {
            Database::OpenDatabase();
        } catch (const DbOpenError& e) {
            why = e.text();
        }
        QVERIFY(!Database::isOpen());
        QVERIFY(QFile::remove(link) && QFile::link(tf.file(QStringLiteral("data.db")), link));
        Database::OpenDatabase();
        const bool ownOpened = Database::isOpen();
        Database::CloseDatabase();
        AppPaths::setProgramFolder(tf.path());
        QCOMPARE(why, QStringLiteral("3000:") + PrivateFile::refusedLinkText(link, PrivateFile::Remedy::Administrator));
        QVERIFY(ownOpened);
    }
};

QTEST_MAIN(tst_Links)
#include "tst_links.moc"
