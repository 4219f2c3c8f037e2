// The settings file behaves like the profile functions the stored files were written for.
#include "core/Mmain.h"
#include "core/Modini.h"
#include "support/TestFolder.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

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
