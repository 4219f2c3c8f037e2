// The theme palette: loading the skin id, the three skins, colour splitting and adjusting.
#include "core/Modini.h"
#include "core/Palette.h"
#include "support/TestFolder.h"

#include <QApplication>
#include <QtTest>

using namespace Palette;

class tst_palette : public QObject {
    Q_OBJECT

    void setSkinText(const QString& text)
    {
        QVERIFY(Modini::SetIniValue(QStringLiteral("system"), QStringLiteral("skinid"), text));
    }

private slots:
    // Must run first: nothing has filled the palette yet.
    void startupWithUnusableIdGivesFirstSkin()
    {
        TestFolder folder;
        QVERIFY(folder.ok());
        QVERIFY(!PaletteFilled());
        QCOMPARE(gCaptionHeight, 0);
        setSkinText(QStringLiteral("4"));
        LoadSkin();
        QCOMPARE(gSkinId, 1);
        QCOMPARE(gCaptionHeight, 21);
        QCOMPARE(gLineColor, 0x00404040);
        QCOMPARE(gToolBackColor, 0x00E0E0E0);
    }

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
        if (present) {
            setSkinText(text);
        } else {
            // A settings file without the key.
            QFile f(folder.file(QStringLiteral("options.ini")));
            QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
            f.write("[system]\r\nhname=x\r\n");
            f.close();
        }
        LoadSkin();
        QCOMPARE(gSkinId, expectedId);
        QCOMPARE(gLineColor, expectedLine);
        QCOMPARE(gCaptionHeight, 21);
        // The file is never rewritten by loading.
        if (!present)
            QVERIFY(Modini::GetIniValue(QStringLiteral("system"), QStringLiteral("skinid")).isEmpty());
    }

    void setSkinColorsIgnoresOtherIds()
    {
        SetSkinColors(3);
        SetSkinColors(4);
        SetSkinColors(0);
        SetSkinColors(-1);
        QCOMPARE(gCaptionHeight, 21);
        QCOMPARE(gLineColor, 0x00004000);
        QCOMPARE(gCaptionColorFrom, 0x0000D080);
        QCOMPARE(gCaptionColorTo, 0x00C0FFFF);
        QCOMPARE(gMenuBarColor2, 0x00FFFFFF);
        QCOMPARE(gButtonColor4, 0x0000E096);
        QCOMPARE(gSelectColor, 0x00C0FFFF);
    }

    void skinsHoldTheirColours()
    {
        struct Row {
            int id;
            qint32 from, to, statusTo, form, tool, panel, mb1, mb2, mb3, mb4, b4, b6, select;
        };
        const Row rows[] = {
            {1, 0x00A0A0A0, 0x00F8F8F8, 0x00F0F0F0, 0x00C8C8C8, 0x00E0E0E0, 0x00F0F0F0, 0x00909090, kSys3DLight,
             0x0040D0FF, 0x00404080, 0x00C6C6C6, 0x00000080, 0x00E6E6E6},
            {2, 0x00F2BA6F, 0x00FFF7EB, 0x00FFEDD5, 0x00EED8BA, 0x00FFEAD0, 0x00FDF1E7, kSysHighlight, kSys3DLight,
             0x0090FF90, 0x00006000, 0x00F2BA6F, 0x00802000, 0x00FFF7EB},
            {3, 0x0000D080, 0x00C0FFFF, 0x00A0FFF0, 0x00E1F1E1, 0x00A0FFF0, 0x00D0F0F0, 0x00009000, 0x00FFFFFF,
             0x00C0E0FF, 0x00800080, 0x0000E096, 0x00800080, 0x00C0FFFF},
        };
        for (const Row& r : rows) {
            SetSkinColors(r.id);
            QCOMPARE(gCaptionColorFrom, r.from);
            QCOMPARE(gStatusColorFrom, r.from);
            QCOMPARE(gCaptionColorTo, r.to);
            QCOMPARE(gStatusColorTo, r.statusTo);
            QCOMPARE(gFormBackColor, r.form);
            QCOMPARE(gToolBackColor, r.tool);
            QCOMPARE(gButtonColor1, r.tool);
            QCOMPARE(gButtonColor2, r.tool);
            QCOMPARE(gPanelBackColor, r.panel);
            QCOMPARE(gMenuBarColor1, r.mb1);
            QCOMPARE(gMenuBarColor2, r.mb2);
            QCOMPARE(gMenuBarColor3, r.mb3);
            QCOMPARE(gMenuBarColor4, r.mb4);
            QCOMPARE(gButtonColor3, 0x00FFFFFF);
            QCOMPARE(gButtonColor4, r.b4);
            QCOMPARE(gButtonColor5, 0);
            QCOMPARE(gButtonColor6, r.b6);
            QCOMPARE(gButtonColor7, 0);
            QCOMPARE(gSelectColor, r.select);
        }
    }

    void colorToRGB_data()
    {
        QTest::addColumn<qint32>("color");
        QTest::addColumn<int>("r");
        QTest::addColumn<int>("g");
        QTest::addColumn<int>("b");
        QTest::newRow("ocean from") << qint32(0x00F2BA6F) << 111 << 186 << 242;
        QTest::newRow("spring from") << qint32(0x0000D080) << 128 << 208 << 0;
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
        QTest::newRow("zero delta") << qint32(0x00123456) << 0 << qint32(0x00123456);
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
