// The settings file behaves like the profile functions the stored files were written for.
#include "core/Modini.h"
#include "platform/AppPaths.h"
#include "platform/PrivateFileTesting.h"
#include "support/CoreKit.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringEncoder>
#include <QTemporaryDir>
#include <QtTest>

#include <cerrno>

using kit::readBytes;

namespace {
QString s(const char* utf8) { return QString::fromUtf8(utf8); }
QByteArray gb(const char* utf8)
{
    QStringEncoder e("GB18030");
    return e.encode(QString::fromUtf8(utf8));
}
}

class tst_Settings : public QObject {
    Q_OBJECT

    QTemporaryDir dir_;
    QString ini_;

    QString get(const char* section, const char* key, const char* dflt = "") const
    {
        return Modini::GetIniValue(s(section), s(key), s(dflt), ini_);
    }
    bool set(const char* section, const char* key, const QString& value) const
    {
        return Modini::SetIniValue(s(section), s(key), value, ini_);
    }
    void write(const QByteArray& bytes) const { QVERIFY(kit::writeBytes(ini_, bytes)); }

private slots:
    void init()
    {
        ini_ = dir_.filePath(QStringLiteral("options.ini"));
        QFile::remove(ini_);
    }

    void reading()
    {
        write("hname=before any section\n"
              "[System]\n"
              "; hname=commented out\n"
              "HName = 第一人民医院 \n"
              "empty=\n"
              "quoted=\"  a b \"\n"
              "single=' x '\n"
              "mixed=\"x'\n"
              "inner=a \"b\" c\n"
              "twice=\"\"x\"\"\n"
              "equals = a=b \n"
              "hname=second\n"
              "[system]\n"
              "skinid=3\n");
        // A key line before the first section belongs to no section; comments are
        // not keys; the first key and the first section of a name win.
        QCOMPARE(get("SYSTEM", "hname", "x"), s("第一人民医院"));
        QCOMPARE(get("system", "skinid", "1"), s("1"));
        QCOMPARE(get("system", "empty", "dflt"), s("dflt"));
        QCOMPARE(get("nosuch", "hname", "d"), s("d"));
        // One pair of quotes, double or single, is taken off; unpaired quotes stay.
        QCOMPARE(get("system", "quoted"), s("  a b "));
        QCOMPARE(get("system", "single"), s(" x "));
        QCOMPARE(get("system", "mixed"), s("\"x'"));
        QCOMPARE(get("system", "inner"), s("a \"b\" c"));
        QCOMPARE(get("system", "twice"), s("\"x\""));
        QCOMPARE(get("system", "equals"), s("a=b"));
        // A file from an older Chinese Windows tool (GB18030) still reads.
        write(QByteArray("[system]\r\nhname=\xB5\xDA\xD2\xBB\xD2\xBD\xD4\xBA\r\n"));
        QCOMPARE(get("system", "hname"), s("第一医院"));
    }

    void numbersInSettings()
    {
        // Every setting read as a number goes through one test: blanks around it,
        // a sign, digits, a point and an exponent; whole-number settings take
        // digits only, within the range of int.
        AppPaths::setProgramFolder(dir_.path());
        write("[system]\n"
              "kz= 1 \n"
              "mrms=-7\n"
              "fzindex=1.5\n"
              "skinid=2e0\n"
              "machine=1,000\n"
              "hname=99999999999\n"
              "comport=\n");
        auto key = [](const char* k) { return IniSetting{s("system"), s(k)}; };
        QCOMPARE(Modini::GetIniWhole(key("kz")), std::optional<int>(1));
        QCOMPARE(Modini::GetIniWhole(key("mrms")), std::optional<int>(-7));
        QCOMPARE(Modini::GetIniWhole(key("fzindex")), std::nullopt);
        QCOMPARE(Modini::GetIniWhole(key("skinid")), std::nullopt);
        QCOMPARE(Modini::GetIniWhole(key("hname")), std::nullopt);
        QCOMPARE(Modini::GetIniWhole(key("comport")), std::nullopt);
        QCOMPARE(Modini::GetIniWhole(key("nosuch")), std::nullopt);
        QCOMPARE(Modini::GetIniNumber(key("fzindex")), std::optional<double>(1.5));
        QCOMPARE(Modini::GetIniNumber(key("skinid")), std::optional<double>(2.0));
        QCOMPARE(Modini::GetIniNumber(key("hname")), std::optional<double>(99999999999.0));
        QCOMPARE(Modini::GetIniNumber(key("machine")), std::nullopt);
        QCOMPARE(Modini::GetIniNumber(key("comport")), std::nullopt);
    }

    void writingKeepsTheRest()
    {
        write("; keep me\r\n[printer]\r\nname=HP\r\n\r\n[System]\r\nHName=old\r\nkz=1\r\n\r\n[font1]\r\nsize=9\r\n");
        QVERIFY(set("system", "hname", s("新医院")));
        QVERIFY(set("system", "machine", s("DR-1")));
        QVERIFY(set("output", "path", s("/srv/dcm")));
        QCOMPARE(readBytes(ini_),
                 QByteArray("; keep me\r\n[printer]\r\nname=HP\r\n\r\n[System]\r\nHName=新医院\r\nkz=1\r\n"
                            "machine=DR-1\r\n\r\n[font1]\r\nsize=9\r\n\r\n[output]\r\npath=/srv/dcm\r\n"));
        // A file saved by a Windows editor keeps its byte-order mark; one with
        // bare line feeds keeps them; a stray line before any section stays.
        write("\xEF\xBB\xBF[system]\r\nhname=\xE5\x8C\xBB\xE9\x99\xA2\r\n");
        QCOMPARE(get("system", "hname"), s("医院"));
        QVERIFY(set("system", "kz", s("1")));
        QCOMPARE(readBytes(ini_), QByteArray("\xEF\xBB\xBF[system]\r\nhname=\xE5\x8C\xBB\xE9\x99\xA2\r\nkz=1\r\n"));
        write("x=stray\n[system]\nhname=x\n\n[output]\ndcmDir=/srv\n");
        QVERIFY(set("output", "dcmDir", s("/tmp")));
        QVERIFY(set("SYSTEM", "HNAME", s("new")));
        QCOMPARE(readBytes(ini_), QByteArray("x=stray\n[system]\nhname=new\n\n[output]\ndcmDir=/tmp\n"));
    }

    void valuesRoundTrip()
    {
        const QStringList values = {
            s("放射科，第二病区"),
            s("a,b;c"),
            s("say \"hi\""),
            s("C:\\img\\x"),
            s("50% off = yes"),
            QString(150, QLatin1Char('x')),
            QString(150, QChar(0x533B)),
            s("😀"),
            // Quotes around a value are the format's own: typed ones come back.
            s("\"人民医院\""),
            s("'x'"),
            s("\"a\" and \"b\""),
            s("\"\""),
        };
        for (int i = 0; i < values.size(); ++i)
            QVERIFY(set("system", qPrintable(QStringLiteral("k%1").arg(i)), values[i]));
        for (int i = 0; i < values.size(); ++i)
            QCOMPARE(get("system", qPrintable(QStringLiteral("k%1").arg(i))), values[i]);
    }

    void missingFileAndFailedWrites()
    {
        QCOMPARE(get("system", "hname", "d"), s("d"));
        QVERIFY(!QFile::exists(ini_));   // reading creates nothing
        QVERIFY(set("system", "hname", s("x")));
        QCOMPARE(readBytes(ini_), QByteArray("[system]\r\nhname=x\r\n"));
        // A folder that does not exist cannot take the file: the caller is told.
        QVERIFY(!Modini::SetIniValue(s("system"), s("hname"), s("x"),
                                     dir_.filePath(QStringLiteral("no/such/options.ini"))));

        // An unwritable file is left as it was, and the caller is told.
        const QByteArray before = "[system]\r\nhname=old\r\n";
        write(before);
        {
            kit::Unwritable locked(ini_);
            if (!locked.ok())
                QSKIP("this machine cannot make a file unwritable");
            QVERIFY(!set("system", "hname", s("new")));
        }
        QCOMPARE(readBytes(ini_), before);
        // A file this process may not read is not replaced by one holding the new key alone.
        {
            kit::Unreadable hidden(ini_);
            QVERIFY(hidden.ok());
            QVERIFY(!set("system", "kz", s("1")));
        }
        QCOMPARE(readBytes(ini_), before);
        // Nor is a folder of that name.
        QVERIFY(QFile::remove(ini_) && QDir(dir_.path()).mkdir(QStringLiteral("options.ini")));
        QVERIFY(!set("system", "kz", s("1")));
        QVERIFY(QFileInfo(ini_).isDir() && QDir(dir_.path()).rmdir(QStringLiteral("options.ini")));
    }

    // Each line reads in its own code; a file that ends inside a character was
    // cut short and is never rewritten (a save would lose the bytes cut off).
    void codesAndCutFiles_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("hname");   // as read
        QTest::addColumn<bool>("cut");
        QTest::addColumn<QList<int>>("gbLines");
        const QByteArray utf8 = "[system]\r\nms1=头颅\r\nhname=第一医院";
        const QByteArray gbFile = "[system]\r\nms1=" + gb("头颅") + "\r\nhname=" + gb("第一医院");
        QTest::newRow("UTF-8, no last break") << utf8 << s("第一医院") << false << QList<int>();
        QTest::newRow("UTF-8 cut") << utf8.chopped(1) << QString() << true << QList<int>();
        QTest::newRow("UTF-8 cut where GB18030 reads") << utf8.chopped(2) << QString() << true << QList<int>();
        QTest::newRow("GB18030, no last break") << gbFile << s("第一医院") << false << QList<int>();
        QTest::newRow("GB18030 cut") << gbFile.chopped(1) << QString() << true << QList<int>();
        // 头颅 in GB18030 is UTF-8 too, but as two-byte characters no such file holds.
        QTest::newRow("UTF-8 with a GBK line") << QByteArray("[system]\r\nms1=头颅\r\nhname=" + gb("第一医院") + "\r\n")
                                               << s("第一医院") << false << QList<int>{3};
    }
    void codesAndCutFiles()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, hname);
        QFETCH(bool, cut);
        QFETCH(QList<int>, gbLines);
        write(bytes);
        const IniFile ini(ini_);
        QCOMPARE(ini.cut(), cut);
        QCOMPARE(ini.sound(), !cut);
        QCOMPARE(ini.gb18030Lines(), gbLines);
        if (!cut) {
            QCOMPARE(ini.value(s("system"), s("hname")), hname);
            QCOMPARE(ini.value(s("system"), s("ms1")), s("头颅"));
        }
        QCOMPARE(set("system", "kz", s("1")), !cut);
        if (cut) {
            QCOMPARE(readBytes(ini_), bytes);
            QVERIFY2(Modini::LastFailureText().contains(s("最后一个字符不完整")),
                     qPrintable(Modini::LastFailureText()));
        }
    }

    // A save writes the changed line only: every other line keeps its bytes,
    // its blanks and its code; a changed line of a GB18030 file is GB18030.
    void linesKeepTheirBytes()
    {
        const QByteArray mixed = "[system]\r\nHName = 第一医院 \r\nms1=" + gb("头颅") + "\r\nskinid=1\r\n";
        write(mixed);
        QVERIFY(set("system", "hname", s("第一医院")));   // the same value: the line stays
        QCOMPARE(readBytes(ini_), mixed);
        QVERIFY(set("system", "skinid", s("2")));
        QByteArray expected = mixed;
        expected.replace("skinid=1", "skinid=2");
        QCOMPARE(readBytes(ini_), expected);
        QVERIFY(set("system", "ms2", s("胸部")));
        QVERIFY(readBytes(ini_).endsWith("skinid=2\r\nms2=胸部\r\n"));

        const QByteArray gbFile = "[system]\nms1=" + gb("头颅") + "\nms2=" + gb("胸部") + "\n";
        write(gbFile);
        QVERIFY(set("system", "ms2", s("胸片")));
        QCOMPARE(readBytes(ini_), "[system]\nms1=" + gb("头颅") + "\nms2=" + gb("胸片") + "\n");
    }

    // A disk that fills up while the file is written: the write fails, the old
    // file stays whole and no temporary file is left (a file size limit stands
    // in for the full disk).
    void fullDiskKeepsEverySetting()
    {
        QByteArray before = "[system]\r\nhname=第一人民医院\r\nskinid=2\r\n[printer]\r\n";
        for (int i = 0; i < 60; ++i)
            before += "key" + QByteArray::number(i) + "=a value of some length\r\n";
        write(before);
        const QStringList files = QDir(dir_.path()).entryList(QDir::Files | QDir::Hidden);
        bool written = true;
        {
            const kit::FileSizeLimit limit(512);
            QVERIFY(limit.ok());
            written = set("system", "fzindex", s("2"));
        }
        QVERIFY(!written);
        QVERIFY2(Modini::LastFailureText().contains(s("磁盘已满")), qPrintable(Modini::LastFailureText()));
        QVERIFY(Modini::LastFailureText().contains(s("设置未保存")));
        QCOMPARE(readBytes(ini_), before);
        QCOMPARE(QDir(dir_.path()).entryList(QDir::Files | QDir::Hidden), files);
        // With room again the key is written and every other line kept.
        QVERIFY(set("system", "fzindex", s("2")));
        QCOMPARE(get("system", "fzindex"), s("2"));
        QCOMPARE(get("printer", "key59"), s("a value of some length"));
    }

    // A file in neither UTF-8 nor GB18030 is read as well as it goes, but a
    // write leaves it as it is (rewriting it would replace every byte that
    // could not be read) and says the setting was not saved.
    void undecodableFileIsLeftAlone()
    {
        const QByteArray odd = "[system]\r\nhname=\xFF\xFE\x80 hospital\r\nskinid=3\r\n";
        write(odd);
        QCOMPARE(get("system", "skinid"), s("3"));
        QVERIFY(!set("system", "skinid", s("1")));
        QCOMPARE(readBytes(ini_), odd);
        QVERIFY2(Modini::LastFailureText().contains(s("UTF-8 或 GB18030")), qPrintable(Modini::LastFailureText()));
        QVERIFY(Modini::LastFailureText().contains(s("设置未保存")));
        IniFile direct(ini_);
        direct.setValue(s("system"), s("kz"), s("1"));
        QVERIFY(direct.undecodable() && !direct.save());
        QCOMPARE(readBytes(ini_), odd);
        // Zeros (what a crash can leave) and UTF-16 are no text of ours either.
        const QByteArray utf16("\xFF\xFE[\0s\0y\0s\0t\0e\0m\0]\0\r\0\n\0k\0z\0=\0\x31\0\r\0\n\0", 30);
        for (const QByteArray& other : {QByteArray(4096, '\0'), utf16}) {
            write(other);
            QVERIFY(!set("system", "skinid", s("1")));
            QCOMPARE(readBytes(ini_), other);
            QVERIFY(Modini::LastFailureText().contains(s("设置未保存")));
        }
    }

    // A file its owner made read-only (0444) is not replaced, even by a user
    // whom the system lets write any file (root, as the tests run in CI):
    // the write is refused with the reason, and the file and its mode stay.
    void readOnlyFileIsKept()
    {
        const QByteArray before = "[system]\r\nhname=old\r\nkz=1\r\n";
        write(before);
        QVERIFY(QFile::setPermissions(ini_, QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther));
        QVERIFY(!set("system", "hname", s("new")));
        QVERIFY2(Modini::LastFailureText().contains(s("只读")), qPrintable(Modini::LastFailureText()));
        QVERIFY(Modini::LastFailureText().contains(s("设置未保存")));
        QCOMPARE(readBytes(ini_), before);
        QCOMPARE(fileMode(ini_), 0444);
        // Several values saved together: none of them.
        AppPaths::setProgramFolder(dir_.path());
        QVERIFY(!Modini::SetIniValues({{IniKey::Machine, s("DR-9")}, {IniKey::LayoutMode, s("0")}}));
        QCOMPARE(readBytes(ini_), before);
        QVERIFY(QFile::setPermissions(ini_, QFile::ReadOwner | QFile::WriteOwner));
        QVERIFY(set("system", "hname", s("new")));
    }

    // Values saved together go in one replacement of the file: when it fails,
    // no key has changed.
    void valuesSavedTogether()
    {
        AppPaths::setProgramFolder(dir_.path());
        const QByteArray before = "[system]\r\nhname=old\r\nmachine=M1\r\n";
        write(before);
        int commits = 0;
        PrivateFile::setCommitFault([&](const QString&) { return ++commits == 1 ? ENOSPC : 0; });
        const bool saved = Modini::SetIniValues(
            {{IniKey::HospitalName, s("新医院")}, {IniKey::Machine, s("M2")}, {IniKey::LayoutMode, s("1")}});
        PrivateFile::setCommitFault({});
        QVERIFY(!saved);
        QCOMPARE(commits, 1);
        QVERIFY2(Modini::LastFailureText().contains(s("磁盘已满")), qPrintable(Modini::LastFailureText()));
        QCOMPARE(readBytes(ini_), before);
        QVERIFY(Modini::SetIniValues(
            {{IniKey::HospitalName, s("新医院")}, {IniKey::Machine, s("M2")}, {IniKey::LayoutMode, s("1")}}));
        QCOMPARE(readBytes(ini_), QByteArray("[system]\r\nhname=新医院\r\nmachine=M2\r\nkz=1\r\n"));
    }

    // The file the program creates is the owner's alone, whatever the umask;
    // one that is replaced keeps its owner's bits and loses the others'.
    void modes()
    {
        {
            const UmaskScope open(0);
            QVERIFY(set("output", "dcmDir", s("/srv/dcm")));
        }
        QCOMPARE(fileMode(ini_), 0600);
        QVERIFY(
            QFile::setPermissions(ini_, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::ReadOther));
        QVERIFY(set("output", "svrIp", s("10.0.0.5")));
        QCOMPARE(fileMode(ini_), 0600);
    }
};

QTEST_GUILESS_MAIN(tst_Settings)
#include "tst_settings.moc"
