// The settings file behaves like the profile functions the stored files were written for.
#include "core/Mmain.h"
#include "core/Modini.h"
#include "support/TestFolder.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <unistd.h>

using Modini::GetIniValue;
using Modini::SetIniValue;

namespace {
void writeFile(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(bytes);
}
QByteArray readFile(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}
}

class TestSettings : public QObject {
    Q_OBJECT
private slots:
    void reading();
    void writingKeepsTheRest();
    void valuesRoundTrip();
    void missingFileAndFailedWrite();
    void profileEdgeCases();
    void fileFormKept();
    void unwritableFileUnchanged();
    void largeFile();
    void hospitalName();
};

void TestSettings::reading()
{
    QTemporaryDir d;
    const QString ini = d.filePath(QStringLiteral("options.ini"));
    writeFile(ini, "; comment\r\n[System]\r\nHName = 第一人民医院 \r\nempty=\r\nquoted=\"  a b \"\r\nhname=second\r\n"
                   "[system]\r\nskinid=3\r\n");
    QCOMPARE(GetIniValue(QStringLiteral("SYSTEM"), QStringLiteral("hname"), QStringLiteral("x"), ini),
             QStringLiteral("第一人民医院"));
    QCOMPARE(GetIniValue(QStringLiteral("system"), QStringLiteral("empty"), QStringLiteral("dflt"), ini), QStringLiteral("dflt"));
    QCOMPARE(GetIniValue(QStringLiteral("system"), QStringLiteral("missing"), QStringLiteral("dflt"), ini), QStringLiteral("dflt"));
    QCOMPARE(GetIniValue(QStringLiteral("system"), QStringLiteral("quoted"), QString(), ini), QStringLiteral("  a b "));
    // The first section of that name wins.
    QCOMPARE(GetIniValue(QStringLiteral("system"), QStringLiteral("skinid"), QStringLiteral("1"), ini), QStringLiteral("1"));
    QCOMPARE(GetIniValue(QStringLiteral("nosuch"), QStringLiteral("hname"), QStringLiteral("d"), ini), QStringLiteral("d"));
}

void TestSettings::writingKeepsTheRest()
{
    QTemporaryDir d;
    const QString ini = d.filePath(QStringLiteral("options.ini"));
    const QByteArray before = "; keep me\r\n[printer]\r\nname=HP\r\n\r\n[System]\r\nHName=old\r\nkz=1\r\n\r\n[font1]\r\nsize=9\r\n";
    writeFile(ini, before);
    QVERIFY(SetIniValue(QStringLiteral("system"), QStringLiteral("hname"), QStringLiteral("新医院"), ini));
    QVERIFY(SetIniValue(QStringLiteral("system"), QStringLiteral("machine"), QStringLiteral("DR-1"), ini));
    QVERIFY(SetIniValue(QStringLiteral("output"), QStringLiteral("path"), QStringLiteral("/srv/dcm"), ini));
    QCOMPARE(readFile(ini), QByteArray("; keep me\r\n[printer]\r\nname=HP\r\n\r\n[System]\r\nHName=新医院\r\nkz=1\r\n"
                                       "machine=DR-1\r\n\r\n[font1]\r\nsize=9\r\n\r\n[output]\r\npath=/srv/dcm\r\n"));
}

void TestSettings::valuesRoundTrip()
{
    QTemporaryDir d;
    const QString ini = d.filePath(QStringLiteral("options.ini"));
    const QStringList values = {
        QStringLiteral("放射科，第二病区"), QStringLiteral("a,b;c"), QStringLiteral("say \"hi\""), QStringLiteral("C:\\img\\x"),
        QStringLiteral("50% off = yes"), QString(150, QLatin1Char('x')), QString(150, QChar(0x533B)), QStringLiteral("😀"),
    };
    for (int i = 0; i < values.size(); ++i)
        QVERIFY(SetIniValue(QStringLiteral("system"), QStringLiteral("k%1").arg(i), values[i], ini));
    for (int i = 0; i < values.size(); ++i)
        QCOMPARE(GetIniValue(QStringLiteral("system"), QStringLiteral("k%1").arg(i), QString(), ini), values[i]);
    // A file from an older Chinese Windows tool (GB18030) still reads.
    writeFile(ini, QByteArray("[system]\r\nhname=\xB5\xDA\xD2\xBB\xD2\xBD\xD4\xBA\r\n"));
    QCOMPARE(GetIniValue(QStringLiteral("system"), QStringLiteral("hname"), QString(), ini), QStringLiteral("第一医院"));
}

void TestSettings::missingFileAndFailedWrite()
{
    QTemporaryDir d;
    const QString ini = d.filePath(QStringLiteral("options.ini"));
    QCOMPARE(GetIniValue(QStringLiteral("system"), QStringLiteral("hname"), QStringLiteral("d"), ini), QStringLiteral("d"));
    QVERIFY(!QFile::exists(ini));   // reading creates nothing
    QVERIFY(SetIniValue(QStringLiteral("system"), QStringLiteral("hname"), QStringLiteral("x"), ini));
    QCOMPARE(readFile(ini), QByteArray("[system]\r\nhname=x\r\n"));
    // A folder that does not exist cannot take the file: the caller is told.
    QVERIFY(!SetIniValue(QStringLiteral("system"), QStringLiteral("hname"), QStringLiteral("x"),
                         d.filePath(QStringLiteral("no/such/options.ini"))));
}

void TestSettings::profileEdgeCases()
{
    QTemporaryDir d;
    const QString ini = d.filePath(QStringLiteral("options.ini"));
    writeFile(ini, "hname=before any section\n"
                   "[system]\n"
                   "; hname=commented out\n"
                   "\n"
                   "single=' x '\n"
                   "mixed=\"x'\n"
                   "inner=a \"b\" c\n"
                   "twice=\"\"x\"\"\n"
                   "equals = a=b \n"
                   "hname=in section\n");
    auto get = [&](const char* key) {
        return GetIniValue(QStringLiteral("system"), QString::fromLatin1(key), QStringLiteral("<d>"), ini);
    };
    // A key line before the first section belongs to no section; comments are not keys.
    QCOMPARE(get("hname"), QStringLiteral("in section"));
    // One pair of quotes, double or single, is taken off; unpaired quotes stay.
    QCOMPARE(get("single"), QStringLiteral(" x "));
    QCOMPARE(get("mixed"), QStringLiteral("\"x'"));
    QCOMPARE(get("inner"), QStringLiteral("a \"b\" c"));
    QCOMPARE(get("twice"), QStringLiteral("\"x\""));
    QCOMPARE(get("equals"), QStringLiteral("a=b"));
    // Writing the section leaves the stray line where it was.
    QVERIFY(SetIniValue(QStringLiteral("SYSTEM"), QStringLiteral("HNAME"), QStringLiteral("new"), ini));
    const QByteArray after = readFile(ini);
    QVERIFY(after.startsWith("hname=before any section\n[system]\n; hname=commented out\n\n"));
    QVERIFY(after.contains("\nhname=new\n"));
    QCOMPARE(get("hname"), QStringLiteral("new"));
}

void TestSettings::fileFormKept()
{
    QTemporaryDir d;
    const QString ini = d.filePath(QStringLiteral("options.ini"));
    // A file saved by a Windows editor: byte-order mark and CR LF.
    writeFile(ini, "\xEF\xBB\xBF[system]\r\nhname=\xE5\x8C\xBB\xE9\x99\xA2\r\n");
    QCOMPARE(GetIniValue(QStringLiteral("system"), QStringLiteral("hname"), QString(), ini), QStringLiteral("医院"));
    QVERIFY(SetIniValue(QStringLiteral("system"), QStringLiteral("kz"), QStringLiteral("1"), ini));
    QCOMPARE(readFile(ini), QByteArray("\xEF\xBB\xBF[system]\r\nhname=\xE5\x8C\xBB\xE9\x99\xA2\r\nkz=1\r\n"));
    // A file with bare line feeds keeps them.
    writeFile(ini, "[system]\nhname=x\n\n[output]\ndcmDir=/srv\n");
    QVERIFY(SetIniValue(QStringLiteral("output"), QStringLiteral("dcmDir"), QStringLiteral("/tmp"), ini));
    QCOMPARE(readFile(ini), QByteArray("[system]\nhname=x\n\n[output]\ndcmDir=/tmp\n"));
}

void TestSettings::unwritableFileUnchanged()
{
    QTemporaryDir d;
    const QString ini = d.filePath(QStringLiteral("options.ini"));
    const QByteArray before = "[system]\r\nhname=old\r\n";
    writeFile(ini, before);
    bool locked = false;
    if (geteuid() != 0)
        locked = QFile::setPermissions(ini, QFile::ReadOwner);
    else
        locked = QProcess::execute(QStringLiteral("chattr"), {QStringLiteral("+i"), ini}) == 0;
    if (!locked)
        QSKIP("this machine cannot make a file unwritable");
    const bool written = SetIniValue(QStringLiteral("system"), QStringLiteral("hname"), QStringLiteral("new"), ini);
    if (geteuid() != 0)
        QFile::setPermissions(ini, QFile::ReadOwner | QFile::WriteOwner);
    else
        QProcess::execute(QStringLiteral("chattr"), {QStringLiteral("-i"), ini});
    QVERIFY(!written);
    QCOMPARE(readFile(ini), before);

    // A file this process may not read is not replaced by one holding the new key alone.
    if (geteuid() != 0) {
        QVERIFY(QFile::setPermissions(ini, QFile::WriteOwner));
        QVERIFY(!SetIniValue(QStringLiteral("system"), QStringLiteral("kz"), QStringLiteral("1"), ini));
        QVERIFY(QFile::setPermissions(ini, QFile::ReadOwner | QFile::WriteOwner));
        QCOMPARE(readFile(ini), before);
    }
}

void TestSettings::largeFile()
{
    QTemporaryDir d;
    const QString ini = d.filePath(QStringLiteral("options.ini"));
    QByteArray big;
    for (int s = 0; s < 200; ++s) {
        big += "[section" + QByteArray::number(s) + "]\r\n";
        for (int k = 0; k < 500; ++k)
            big += "key" + QByteArray::number(k) + "=" + QByteArray(40, char('a' + k % 26)) + "\r\n";
    }
    big += "[system]\r\nhname=end\r\n";
    writeFile(ini, big);
    QCOMPARE(GetIniValue(QStringLiteral("system"), QStringLiteral("hname"), QString(), ini), QStringLiteral("end"));
    QCOMPARE(GetIniValue(QStringLiteral("section199"), QStringLiteral("KEY499"), QString(), ini), QString(40, QLatin1Char('f')));
    QVERIFY(SetIniValue(QStringLiteral("section0"), QStringLiteral("key0"), QStringLiteral("z"), ini));
    QByteArray expected = big;
    expected.replace(QByteArray("[section0]\r\nkey0=") + QByteArray(40, 'a'), "[section0]\r\nkey0=z");
    QCOMPARE(readFile(ini).size(), expected.size());
    QVERIFY(readFile(ini) == expected);
}

void TestSettings::hospitalName()
{
    TestFolder f(false);
    Mmain::LoadHospitalName();
    QCOMPARE(Mmain::gHospitalName, QString());
    QVERIFY(SetIniValue(QStringLiteral("system"), QStringLiteral("hname"), QStringLiteral("市第一人民医院")));
    Mmain::LoadHospitalName();
    QCOMPARE(Mmain::gHospitalName, QStringLiteral("市第一人民医院"));
}

QTEST_GUILESS_MAIN(TestSettings)
#include "tst_settings.moc"
