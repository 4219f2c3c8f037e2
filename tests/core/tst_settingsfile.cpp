// What the program makes of its settings file in every state the user may
// leave it in: what the start says, the settings in use, and what the
// commands that remember settings by themselves (the skin menu, a renamed
// description category, the editor's side tab) leave on the disk.
#include "core/FrmJCpz.h"
#include "core/FrmMain.h"
#include "core/Mmain.h"
#include "core/Modini.h"
#include "editor/DataRecord.h"
#include "platform/AppPaths.h"
#include "platform/MessageBox.h"
#include "support/EditorKit.h"

#include <QAction>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QStringEncoder>
#include <QTemporaryDir>
#include <QTreeWidget>
#include <QtTest>

#include <unistd.h>

using namespace kit;

namespace {

enum class Setup {
    Plain,
    ReadOnly,
};
enum class Disk {
    Unchanged,      // byte for byte, as the user left it
    MadeShipped,    // made from the shipped file at start, then written
    ChangedLines,   // only the lines of the settings changed differ
};

QByteArray shippedBytes() { return readBytes(QStringLiteral(WS_SOURCE_DIR "/data/options.ini")); }

QByteArray gb18030(const QString& text)
{
    QStringEncoder gb("GB18030");
    return gb.encode(text);
}

// The shipped file with a hospital name.
QByteArray withHospital(const QByteArray& hnameLine)
{
    QByteArray b = shippedBytes();
    b.replace("hname=\n", hnameLine + '\n');
    return b;
}

// Lines, each with its break.
QList<QByteArray> lines(const QByteArray& b)
{
    QList<QByteArray> out;
    for (qsizetype from = 0; from < b.size();) {
        const qsizetype lf = b.indexOf('\n', from);
        const qsizetype end = lf < 0 ? b.size() : lf + 1;
        out.append(b.mid(from, end - from));
        from = end;
    }
    return out;
}

const QString kRenamed = QStringLiteral("胸片");
}

Q_DECLARE_METATYPE(Setup)
Q_DECLARE_METATYPE(Disk)

class tst_SettingsFile : public QObject {
    Q_OBJECT

    std::unique_ptr<TestFolder> folder_;

    // The commands that remember settings by themselves: the skin menu (海洋),
    // renaming description category 2 in the editor, and leaving the editor
    // on another side tab.
    void driveCommands()
    {
        FrmMain* w = FrmMain::ShowMain();
        QVERIFY(w);
        w->action(QStringLiteral("海洋"))->trigger();
        closeWindows();
        if (!Database::isOpen())
            Database::OpenDatabase();

        Openers::EditorNewReport();
        DataRecord& ed = DataRecord::instance();
        QVERIFY(ed.isLoaded());
        QTest::mouseClick(ed.btnMS, Qt::LeftButton);
        QTreeWidgetItem* node = ed.TreeMS->topLevelItem(1);
        ed.TreeMS->setCurrentItem(node);
        ed.TreeMS->editItem(node);
        auto* edit = ed.TreeMS->viewport()->findChild<QLineEdit*>();
        QVERIFY(edit);
        edit->setText(kRenamed);
        QTest::keyClick(edit, Qt::Key_Return);
        QCoreApplication::processEvents();
        QCOMPARE(node->text(0), kRenamed);
        QTest::mouseClick(ed.btnFH, Qt::LeftButton);
        closeEditor();
        QVERIFY(!ed.isLoaded());
    }

private slots:
    void cleanup()
    {
        Mmain::ReleaseInstanceLock();
        closeEditor();
        closeWindows();
        folder_.reset();
    }

    void states_data()
    {
        QTest::addColumn<QByteArray>("bytes");   // null: no file
        QTest::addColumn<Setup>("setup");
        QTest::addColumn<QString>("said");       // part of the start's box; empty: no box
        QTest::addColumn<QString>("hospital");   // the hospital name in use
        QTest::addColumn<Disk>("disk");
        QTest::addColumn<QString>("saveRefused");   // why 系统设置's 保存 is refused; empty: it saves

        const QString hospital = QStringLiteral("第一医院");
        const QByteArray utf8Hospital = "hname=" + hospital.toUtf8();
        const QByteArray gbHospital = "hname=" + gb18030(hospital);
        // The shipped file in GB18030, with CR LF, as an older Windows tool saved it.
        QByteArray gbFile = gb18030(QString::fromUtf8(withHospital(utf8Hospital)));
        gbFile.replace("\n", "\r\n");
        QByteArray cut = withHospital(utf8Hospital) + "note=" + QStringLiteral("报告").toUtf8();
        cut.chop(1);

        QTest::newRow("missing") << QByteArray() << Setup::Plain << QString() << QString() << Disk::MadeShipped
                                 << QString();
        QTest::newRow("empty") << QByteArray("") << Setup::Plain << QStringLiteral("是空的") << QString()
                               << Disk::Unchanged << QString();
        QTest::newRow("NUL bytes") << QByteArray(4096, '\0') << Setup::Plain << QStringLiteral("全是零字节")
                                   << QString() << Disk::Unchanged << QString();
        QTest::newRow("last character cut") << cut << Setup::Plain << QStringLiteral("最后一个字符不完整") << QString()
                                            << Disk::Unchanged << QStringLiteral("最后一个字符不完整");
        QTest::newRow("GB18030") << gbFile << Setup::Plain << QString() << hospital << Disk::ChangedLines << QString();
        QTest::newRow("UTF-8 with one GBK line")
            << withHospital(gbHospital) << Setup::Plain << QStringLiteral("第 2 行") << hospital << Disk::ChangedLines
            << QString();
        QTest::newRow("read-only") << withHospital(utf8Hospital) << Setup::ReadOnly << QStringLiteral("只读")
                                   << hospital << Disk::Unchanged << QStringLiteral("只读");
    }
    void states()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(Setup, setup);
        QFETCH(QString, said);
        QFETCH(QString, hospital);
        QFETCH(Disk, disk);
        QFETCH(QString, saveRefused);
        folder_ = editorFolder();
        QVERIFY(folder_->ok());
        const QString ini = AppPaths::iniFile();
        QVERIFY(QFile::remove(ini));
        const QString target = ini;   // the file whose bytes must stay
        if (!bytes.isNull()) {
            QVERIFY(writeBytes(ini, bytes));
        }
        if (setup == Setup::ReadOnly)
            QVERIFY(QFile::setPermissions(ini, QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther));

        // The start: its box, or none.
        const Mmain::StartResult r = Mmain::Main();
        Mmain::ReleaseInstanceLock();
        closeWindows();
        QVERIFY(r.running);
        if (said.isEmpty()) {
            QVERIFY2(MessageBox::shownBoxes().isEmpty(), qPrintable(lastText()));
        } else {
            QCOMPARE(MessageBox::shownBoxes().size(), 1);
            QCOMPARE(lastTitle(), MessageBox::kSettingsErrorTitle);
            QVERIFY2(lastText().contains(said), qPrintable(lastText()));
        }
        if (disk == Disk::MadeShipped) {
            QCOMPARE(readBytes(ini), shippedBytes());
            QCOMPARE(fileMode(ini), 0600);
        }
        MessageBox::clearShown();
        if (!Database::isOpen())
            Database::OpenDatabase();

        // The settings in use: the file's, or the shipped ones; a report and a
        // list print with their layout whatever the file's state.
        QCOMPARE(Mmain::gHospitalName, hospital);
        QCOMPARE(Modini::GetIniValue(IniKey::DescriptionName(1)), QStringLiteral("头颅"));
        QCOMPARE(Modini::GetIniValue(QStringLiteral("rptxm"), QStringLiteral("xm1")), QStringLiteral("1"));
        QCOMPARE(Modini::GetIniValue(IniKey::GridPaper), QStringLiteral("9"));

        driveCommands();

        // What the commands remembered is in use for the run.
        QCOMPARE(Modini::GetIniValue(IniKey::SkinId), QStringLiteral("2"));
        QCOMPARE(Modini::GetIniValue(IniKey::DescriptionName(2)), kRenamed);
        QCOMPARE(Modini::GetIniValue(IniKey::SidePanelTab), QStringLiteral("1"));
        // A file the program cannot write says once that such changes last
        // for the run; a file it writes says nothing. No failure either way.
        QStringList boxes;
        for (const MessageBox::Shown& box : MessageBox::shownBoxes())
            if (box.text != QStringLiteral("报告未保存，是否保存？"))
                boxes.append(box.title + QLatin1Char(':') + box.text);
        if (disk == Disk::Unchanged) {
            QCOMPARE(boxes.size(), 1);
            QVERIFY2(boxes[0].startsWith(MessageBox::kNoticeTitle)
                         && boxes[0].contains(QStringLiteral("只保留到程序关闭")),
                     qPrintable(boxes[0]));
        } else {
            QVERIFY2(boxes.isEmpty(), qPrintable(boxes.join(QLatin1Char('\n'))));
        }

        // The disk afterwards.
        const QByteArray after = readBytes(target);
        switch (disk) {
        case Disk::Unchanged:
            QCOMPARE(after, bytes);
            if (setup == Setup::ReadOnly)
                QCOMPARE(fileMode(ini), 0444);
            break;
        case Disk::MadeShipped:
        case Disk::ChangedLines: {
            // Every line but those of the three remembered settings keeps its bytes.
            const QByteArray before = disk == Disk::MadeShipped ? shippedBytes() : bytes;
            const QList<QByteArray> was = lines(before), is = lines(after);
            QCOMPARE(is.size(), was.size());
            QStringList changed;
            for (int i = 0; i < was.size(); ++i)
                if (was[i] != is[i])
                    changed.append(QString::fromLatin1(was[i].left(was[i].indexOf('='))));
            QCOMPARE(changed,
                     (QStringList{QStringLiteral("skinid"), QStringLiteral("ms2"), QStringLiteral("fzindex")}));
            // A file of GB18030 stays GB18030; a UTF-8 one UTF-8.
            const bool gb = QByteArray(QTest::currentDataTag()) == "GB18030";
            QVERIFY(after.contains("ms2=" + (gb ? gb18030(kRenamed) : kRenamed.toUtf8())));
            break;
        }
        }

        // 系统设置's 保存 writes a whole file: the settings in use with its
        // three, never a file of three keys; a file the program cannot read
        // whole is refused, and what the run remembered stays in memory.
        const QByteArray beforeSave = readBytes(target);
        MessageBox::clearShown();
        {
            FrmJCpz d;
            d.Form_Load();
            d.show();
            d.Text1->setText(QStringLiteral("第二医院"));
            d.Text2->setText(QStringLiteral("DR-7"));
            d.ButtnSave->click();
        }
        if (saveRefused.isEmpty()) {
            QVERIFY2(MessageBox::shownBoxes().isEmpty(), qPrintable(lastText()));
            const QByteArray saved = readBytes(ini);
            const QList<QByteArray> was =
                lines(beforeSave.isEmpty() || beforeSave.startsWith('\0') ? shippedBytes() : beforeSave);
            const QList<QByteArray> is = lines(saved);
            QCOMPARE(is.size(), was.size());
            int changedLines = 0;
            for (int i = 0; i < was.size(); ++i)
                changedLines += was[i] != is[i];
            QCOMPARE(changedLines, 2);   // hname and machine
            QCOMPARE(Modini::GetIniValue(IniKey::Machine), QStringLiteral("DR-7"));
            QCOMPARE(Modini::GetIniValue(QStringLiteral("rptxm"), QStringLiteral("xm1")), QStringLiteral("1"));
        } else {
            QCOMPARE(lastTitle(), MessageBox::kErrorTitle);
            QVERIFY2(lastText().contains(saveRefused) && lastText().contains(QStringLiteral("设置未保存")),
                     qPrintable(lastText()));
            QCOMPARE(readBytes(target), bytes);
        }
        QCOMPARE(Modini::GetIniValue(IniKey::SkinId), QStringLiteral("2"));
        QFile::setPermissions(ini, QFile::ReadOwner | QFile::WriteOwner);
    }
};

QTEST_MAIN(tst_SettingsFile)
#include "tst_settingsfile.moc"
