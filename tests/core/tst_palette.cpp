// The theme palette: loading the skin id from the settings file, colour splitting and adjusting.
#include "core/Modini.h"
#include "core/Palette.h"
#include "support/CoreKit.h"
#include "support/TestFolder.h"

#include <QApplication>
#include <QtTest>

using namespace Palette;

class tst_palette : public QObject {
    Q_OBJECT

private slots:
    // Must run first: nothing has filled the palette yet.
    void startupWithUnusableIdGivesFirstSkin()
    {
        TestFolder folder;
        QVERIFY(folder.ok());
        QVERIFY(!PaletteFilled());
        QCOMPARE(gCaptionHeight, 0);
        QVERIFY(Modini::SetIniValue(QStringLiteral("system"), QStringLiteral("skinid"), QStringLiteral("4")));
        LoadSkin();
        QCOMPARE(gSkinId, 1);
        QCOMPARE(gCaptionHeight, 21);
        QCOMPARE(gLineColor, 0x00404040);
    }

    // An id outside 1..3 that converts keeps the palette of the skin before;
    // one that does not convert gives the first skin.
    void loadSkinConversions_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("present");
        QTest::addColumn<int>("expectedId");
        QTest::addColumn<qint32>("expectedLine");   // after skin 3 was loaded
        QTest::newRow("2") << "2" << true << 2 << 0x009C3801;
        QTest::newRow("2.7 floors") << "2.7" << true << 2 << 0x009C3801;
        QTest::newRow("blanks") << " 3 " << true << 3 << 0x00004000;
        QTest::newRow("-0.5 keeps the palette") << "-0.5" << true << -1 << 0x00004000;
        QTest::newRow("0 keeps the palette") << "0" << true << 0 << 0x00004000;
        QTest::newRow("4 keeps the palette") << "4" << true << 4 << 0x00004000;
        QTest::newRow("missing") << "" << false << 1 << 0x00404040;
        QTest::newRow("empty") << "" << true << 1 << 0x00404040;
        QTest::newRow("not a number") << "ocean" << true << 1 << 0x00404040;
        QTest::newRow("too large") << "1e30" << true << 1 << 0x00404040;
    }
    void loadSkinConversions()
    {
        QFETCH(QString, text);
        QFETCH(bool, present);
        QFETCH(int, expectedId);
        QFETCH(qint32, expectedLine);
        TestFolder folder;
        QVERIFY(folder.ok());
        SetSkinColors(3);
        if (present)
            QVERIFY(Modini::SetIniValue(QStringLiteral("system"), QStringLiteral("skinid"), text));
        else
            QVERIFY(corekit::writeBytes(folder.file(QStringLiteral("options.ini")), "[system]\r\nhname=x\r\n"));
        LoadSkin();
        QCOMPARE(gSkinId, expectedId);
        QCOMPARE(gLineColor, expectedLine);
        QCOMPARE(gCaptionHeight, 21);
        // The file is never rewritten by loading.
        if (!present)
            QVERIFY(Modini::GetIniValue(QStringLiteral("system"), QStringLiteral("skinid")).isEmpty());
    }

    void colorToRGB_data()
    {
        QTest::addColumn<qint32>("color");
        QTest::addColumn<int>("r");
        QTest::addColumn<int>("g");
        QTest::addColumn<int>("b");
        QTest::newRow("ocean from") << qint32(0x00F2BA6F) << 111 << 186 << 242;
        QTest::newRow("system highlight") << qint32(0x8000000D) << 13 << 0 << -32767;
        QTest::newRow("white") << qint32(0x00FFFFFF) << 255 << 255 << 255;
    }
    void colorToRGB()
    {
        QFETCH(qint32, color);
        QFETCH(int, r);
        QFETCH(int, g);
        QFETCH(int, b);
        const RGBTriple t = ColorToRGB(color);
        QCOMPARE(int(t.R), r);
        QCOMPARE(int(t.G), g);
        QCOMPARE(int(t.B), b);
    }

    void adjustColor_data()
    {
        QTest::addColumn<qint32>("color");
        QTest::addColumn<int>("delta");
        QTest::addColumn<qint32>("expected");
        QTest::newRow("lighter") << qint32(0x00A0A0A0) << 30 << qint32(0x00BEBEBE);
        QTest::newRow("clamped at 255") << qint32(0x00F8F8F8) << 30 << qint32(0x00FFFFFF);
        QTest::newRow("clamped at 0") << qint32(0x00102030) << -40 << qint32(0x00000008);
        QTest::newRow("blue stays 0") << qint32(0x0000D080) << -20 << qint32(0x0000BC6C);
    }
    void adjustColor()
    {
        QFETCH(qint32, color);
        QFETCH(int, delta);
        QFETCH(qint32, expected);
        QCOMPARE(AdjustColor(color, delta), expected);
    }

    void qcolorsAndSystemReferences()
    {
        QCOMPARE(ToQColor(0x00F2BA6F), QColor(111, 186, 242));
        QCOMPARE(FromQColor(QColor(111, 186, 242)), qint32(0x00F2BA6F));
        QCOMPARE(RGB(249, 253, 182), qint32(0x00B6FDF9));
        const QPalette pal = QApplication::palette();
        QCOMPARE(ToQColor(kSysHighlight), pal.color(QPalette::Highlight));
        QCOMPARE(ToQColor(kSys3DLight), pal.color(QPalette::Midlight));
        QCOMPARE(ToQColor(kSysButtonShadow), pal.color(QPalette::Dark));
        QCOMPARE(ToQColor(kSysButtonFace), pal.color(QPalette::Button));
    }
};

QTEST_MAIN(tst_palette)
#include "tst_palette.moc"
