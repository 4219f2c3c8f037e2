// The theme: the palette loaded from the skin id in the settings file, colour
// splitting and adjusting, the painting routines checked pixel by pixel, the
// skin routines' effect on windows and buttons, and the skinned controls
// (button, text box, scroll bar, menu bar and the shared menu skin).
#include "core/MenuSkin.h"
#include "core/Modini.h"
#include "core/Palette.h"
#include "core/QvButton.h"
#include "core/QvMenuBar.h"
#include "core/QvScrollBar.h"
#include "core/QvTextBox.h"
#include "core/SkinPaint.h"
#include "core/SkinWindows.h"
#include "support/CoreKit.h"
#include "support/TestFolder.h"

#include <QApplication>
#include <QDialog>
#include <QMenu>
#include <QMenuBar>
#include <QSignalSpy>
#include <QtTest>

using namespace Palette;

namespace {
QRgb px(const QImage& img, int x, int y) { return img.pixel(x, y) & 0xFFFFFF; }
QRgb rgbOf(qint32 c) { return ToQColor(c).rgb() & 0xFFFFFF; }
QRgb gradient(qint32 from, qint32 to, double t) { return Skin::GradientColor(from, to, t).rgb() & 0xFFFFFF; }

// Through the panel's own paintEvent.
QImage grabPanel(PaintPanel& panel) { return panel.grab().toImage().convertToFormat(QImage::Format_RGB32); }

struct Px {
    int x, y;
    QRgb rgb;
};
// Every listed pixel of the image has its colour.
void expect(const QImage& img, std::initializer_list<Px> pixels)
{
    for (const Px& p : pixels)
        QVERIFY2(px(img, p.x, p.y) == p.rgb, qPrintable(QStringLiteral("(%1, %2) is %3, not %4")
                                                            .arg(p.x)
                                                            .arg(p.y)
                                                            .arg(px(img, p.x, p.y), 6, 16)
                                                            .arg(p.rgb, 6, 16)));
}
}

class tst_SkinPaint : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { QApplication::setFont(QFont(QStringLiteral("WenQuanYi Zen Hei"), 9)); }

    // Must run first: nothing has filled the palette yet.
    void startupWithUnusableIdGivesFirstSkin()
    {
        TestFolder folder;
        QVERIFY(folder.ok());
        QVERIFY(!PaletteFilled());
        QVERIFY(Modini::SetIniValue(QStringLiteral("system"), QStringLiteral("skinid"), QStringLiteral("4")));
        LoadSkin();
        QCOMPARE(gSkinId, 1);
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
        QTest::newRow("2.7 floors") << "2.7" << true << 2 << 0x009C3801;
        QTest::newRow("blanks") << " 3 " << true << 3 << 0x00004000;
        QTest::newRow("-0.5 keeps the palette") << "-0.5" << true << -1 << 0x00004000;
        QTest::newRow("0 keeps the palette") << "0" << true << 0 << 0x00004000;
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
            QVERIFY(kit::writeBytes(folder.file(QStringLiteral("options.ini")), "[system]\r\nhname=x\r\n"));
        LoadSkin();
        QCOMPARE(gSkinId, expectedId);
        QCOMPARE(gLineColor, expectedLine);
        // The file is never rewritten by loading.
        if (!present)
            QVERIFY(Modini::GetIniValue(QStringLiteral("system"), QStringLiteral("skinid")).isEmpty());
    }

    void colourArithmetic()
    {
        const struct {
            qint32 color;
            int r, g, b;
        } splits[] = {{0x00F2BA6F, 111, 186, 242}, {qint32(0x8000000D), 13, 0, -32767}, {0x00FFFFFF, 255, 255, 255}};
        for (const auto& t : splits) {
            const RGBTriple rgb = ColorToRGB(t.color);
            QCOMPARE(QList<int>({rgb.R, rgb.G, rgb.B}), QList<int>({t.r, t.g, t.b}));
        }
        const struct {
            qint32 color;
            int delta;
            qint32 expected;
        } adjusted[] = {{0x00A0A0A0, 30, 0x00BEBEBE},     // lighter
                        {0x00F8F8F8, 30, 0x00FFFFFF},     // clamped at 255
                        {0x00102030, -40, 0x00000008},    // clamped at 0
                        {0x0000D080, -20, 0x0000BC6C}};   // blue stays 0
        for (const auto& t : adjusted)
            QCOMPARE(AdjustColor(t.color, t.delta), t.expected);
        QCOMPARE(ToQColor(kSysHighlight), QApplication::palette().color(QPalette::Highlight));
    }

    void captionStripRowByRow_data()
    {
        QTest::addColumn<int>("skin");
        QTest::addColumn<int>("row");
        QTest::addColumn<qint32>("expected");
        QTest::newRow("skin 1 row 1") << 1 << 1 << qint32(0x00F4F4F4);
        QTest::newRow("skin 1 row 20") << 1 << 20 << qint32(0x00A0A0A0);
        QTest::newRow("skin 2 row 10 halves to even") << 2 << 10 << qint32(0x00F9D9AD);
        QTest::newRow("skin 3 row 1") << 3 << 1 << RGB(249, 253, 182);
    }
    void captionStripRowByRow()
    {
        QFETCH(int, skin);
        QFETCH(int, row);
        QFETCH(qint32, expected);
        SetSkinColors(skin);
        PaintPanel panel;
        panel.resize(160, 60);
        Skin::SetBackColor(&panel, gPanelBackColor);
        Skin::DrawGradientCaption(&panel, QString());
        // Away from the side frame; borders at rows 0 and G, frame at the sides and bottom, panel below.
        const QRgb line = rgbOf(gLineColor);
        expect(grabPanel(panel), {{150, row, rgbOf(expected)},
                                  {80, 0, line},
                                  {80, 21, line},
                                  {0, 40, line},
                                  {159, 40, line},
                                  {80, 59, line},
                                  {80, 40, rgbOf(gPanelBackColor)}});
    }

    void captionTextAndSkinChange()
    {
        SetSkinColors(1);
        PaintPanel panel;
        panel.resize(200, 40);
        Skin::DrawGradientCaption(&panel, QStringLiteral("模板分类"));
        const QImage img = grabPanel(panel);
        int minX = 200, maxX = -1, minY = 40, maxY = -1;
        for (int y = 1; y < 21; ++y)
            for (int x = 1; x < 199; ++x)
                if (qGray(img.pixel(x, y)) < 60) {
                    minX = std::min(minX, x);
                    maxX = std::max(maxX, x);
                    minY = std::min(minY, y);
                    maxY = std::max(maxY, y);
                }
        QVERIFY2(maxX > minX, "no caption drawn");
        QVERIFY(std::abs((minX + maxX) / 2 - 100) <= 3);
        QVERIFY(minY >= 1 && maxY <= 20);
        // The drawn panel follows a skin change at once.
        QCOMPARE(px(img, 5, 10), 0xCCCCCCu);
        SetSkinColors(2);
        QCOMPARE(px(grabPanel(panel), 5, 10), 0xADD9F9u);   // RGB(173, 217, 249)
        SetSkinColors(1);
    }

    void oneAndZeroPixelStripsAreSafe()
    {
        SetSkinColors(2);
        QImage img(50, 3, QImage::Format_RGB32);
        img.fill(Qt::white);
        QPainter p(&img);
        Skin::PaintStatusBar(p, QSize(50, 1));   // H = 1: one row, no division by zero
        Skin::PaintStatusBar(p, QSize(50, 0));
        const int saved = gCaptionHeight;
        gCaptionHeight = 1;   // G = 1: no gradient rows
        Skin::PaintGradientCaption(p, QSize(50, 3), QStringLiteral("x"), QApplication::font());
        gCaptionHeight = 0;
        Skin::PaintGradientCaption(p, QSize(50, 3), QString(), QApplication::font());
        gCaptionHeight = saved;
        p.end();
        QCOMPARE(px(img, 25, 0), rgbOf(gLineColor));
        QCOMPARE(gradient(gStatusColorFrom, gStatusColorTo, 0.0), rgbOf(gStatusColorTo));
    }

    void statusBarToolbarAndDataFrame()
    {
        SetSkinColors(1);
        PaintPanel status;
        status.resize(300, 25);
        Skin::DrawStatusBar(&status);
        // No top border; edges at the bottom and sides; row 23 is step 23 of 24.
        expect(grabPanel(status), {{150, 0, 0xF0F0F0},
                                   {150, 24, 0x404040},
                                   {299, 10, 0x404040},
                                   {150, 23, gradient(0x00A0A0A0, 0x00F0F0F0, 23.0 / 24.0)}});
        // The last gradient row is the 'from' colour.
        QImage rows(10, 25, QImage::Format_RGB32);
        QPainter p(&rows);
        Skin::PaintGradientRows(p, 10, 0, 24, 24, gStatusColorFrom, gStatusColorTo);
        p.end();
        QCOMPARE(px(rows, 5, 24), 0xA0A0A0u);

        SetSkinColors(2);
        PaintPanel tool, data;
        tool.resize(200, 40);
        data.resize(120, 80);
        Skin::ApplySkin(nullptr, &tool, &data, {});
        const QRgb line = rgbOf(gLineColor), toolBack = rgbOf(gToolBackColor), panel = rgbOf(gPanelBackColor);
        expect(grabPanel(tool), {{100, 39, line}, {100, 38, toolBack}, {100, 0, toolBack}});
        expect(grabPanel(data), {{60, 0, line}, {0, 40, line}, {119, 79, line}, {1, 1, panel}, {118, 78, panel}});
        // Resized, the drawings follow the new size.
        tool.resize(260, 30);
        QCOMPARE(px(grabPanel(tool), 250, 29), line);
        // A new back colour clears the drawings, like a picture box.
        Skin::SetBackColor(&data, 0x00FFFFFF);
        QVERIFY(data.drawings().isEmpty());
        QCOMPARE(px(grabPanel(data), 0, 40), 0xFFFFFFu);
    }

    void loginTitleStrip()
    {
        SetSkinColors(3);
        PaintPanel title;
        title.resize(120, 23);
        Skin::SetBackColor(&title, gToolBackColor);
        Skin::DrawLoginTitle(&title);
        expect(title.renderImage(), {{60, 0, rgbOf(gToolBackColor)},
                                     {60, 1, gradient(gCaptionColorFrom, gCaptionColorTo, 1.0 / 21.0)},
                                     {60, 21, rgbOf(gCaptionColorFrom)},
                                     {60, 22, rgbOf(gLineColor)}});
        SetSkinColors(1);
    }

    void applySkinColoursWindowAndButtons()
    {
        SetSkinColors(3);
        QWidget window;
        auto* tool = new PaintPanel(&window);
        auto* add = new QvButton(QStringLiteral("新 增"), tool);
        add->resize(72, 26);
        Skin::ApplySkin(&window, tool, new PaintPanel(&window), {add});
        // Tool bar buttons have a flat face of the tool bar colour; a later
        // palette change does not reach them by itself.
        QCOMPARE(px(add->grab().toImage(), 6, 20), rgbOf(gToolBackColor));
        SetSkinColors(1);
        QCOMPARE(px(add->grab().toImage(), 6, 20), 0xF0FFA0u);

        // The dialog skin: a white data panel in a frame, buttons from white to the button colour.
        QWidget dialog;
        auto* picdata = new PaintPanel(&dialog);
        picdata->resize(100, 60);
        auto* save = new QvButton(QStringLiteral("保 存"), &dialog);
        save->resize(76, 26);
        Skin::ApplyDialogSkin(&dialog, picdata, {save});
        expect(grabPanel(*picdata), {{50, 30, 0xFFFFFF}, {0, 30, rgbOf(gLineColor)}});
        const QImage face = save->grab().toImage();
        QVERIFY(qGray(face.pixel(6, 3)) > qGray(face.pixel(6, 22)));
    }

    void editorStrips()
    {
        SetSkinColors(2);
        QWidget window;
        Skin::DataRecordSkin s;
        s.window = &window;
        auto* rpt = new PaintPanel(&window);
        auto* bottom = new PaintPanel(&window);
        s.Pictool = new PaintPanel(&window);
        s.Picdata = new PaintPanel(&window);
        s.RptPictureBox = rpt;
        s.Picbottom = bottom;
        Skin::DataRecordApplySkin(s);
        bottom->resize(200, 33);
        // N = SH - 5 steps from row 5; the panel ends one step before the 'from' colour.
        expect(grabPanel(*bottom), {{50, 3, rgbOf(gFormBackColor)},
                                    {50, 4, rgbOf(gLineColor)},
                                    {50, 5, rgbOf(gStatusColorTo)},
                                    {50, 32, gradient(gStatusColorFrom, gStatusColorTo, 27.0 / 28.0)}});
        rpt->resize(200, 100);
        expect(grabPanel(*rpt),
               {{50, 10, 0xADD9F9}, {50, 26, 0xC0C0C0}, {50, 27, 0xFFFFFF}, {199, 60, rgbOf(gLineColor)}});
        SetSkinColors(1);
    }

    void buttonClicksOnlyWhileEnabled()
    {
        QWidget w;
        auto* b = new QvButton(QStringLiteral("保 存"), &w);
        b->setGeometry(10, 10, 80, 26);
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        QSignalSpy clicked(b, &QvButton::clicked);
        QSignalSpy mouse(b, &QvButton::MouseDown);
        b->setEnabled(false);
        QTest::mouseClick(b, Qt::LeftButton, {}, QPoint(20, 12));
        QCOMPARE(clicked.count() + mouse.count(), 0);
        b->setEnabled(true);
        QTest::mouseClick(b, Qt::LeftButton, Qt::ShiftModifier, QPoint(20, 12));
        QTest::mousePress(b, Qt::RightButton, Qt::ControlModifier, QPoint(5, 6));
        QCOMPARE(clicked.count(), 1);   // the right button does not click
        QCOMPARE(mouse, (QList<QList<QVariant>>{{1, 1, 20, 12}, {2, 2, 5, 6}}));
    }

    void accessKeyClicksAndEnterDoesNot()
    {
        QDialog d;
        auto* save = new QvButton(QStringLiteral("保存(&S)"), &d);
        save->setGeometry(10, 10, 90, 26);
        auto* edit = new QvTextBox(&d);
        edit->setGeometry(10, 40, 90, 22);
        d.show();
        QApplication::setActiveWindow(&d);
        QVERIFY(QTest::qWaitForWindowActive(&d));
        edit->setFocus();
        QSignalSpy clicked(save, &QvButton::clicked);
        // Enter in a dialog: no button is the default.
        QTest::keyClick(edit, Qt::Key_Return);
        QTest::qWait(50);
        QCOMPARE(clicked.count(), 0);
        QVERIFY(d.isVisible());
        // Alt+S clicks it.
        QTest::keyClick(&d, Qt::Key_S, Qt::AltModifier);
        QTRY_COMPARE(clicked.count(), 1);
        // Not while disabled.
        save->setEnabled(false);
        QTest::keyClick(&d, Qt::Key_S, Qt::AltModifier);
        QTest::qWait(200);
        QCOMPARE(clicked.count(), 1);
    }

    void scrollBarValueMaxAndChange()
    {
        QvScrollBar s(Qt::Vertical);
        s.resize(17, 200);
        QSignalSpy change(&s, &QvScrollBar::Change);
        s.setMax(12);
        s.setValue(5);
        s.setValue(5);   // no change, no event
        QCOMPARE(change.count(), 1);
        s.setValue(99);
        QCOMPARE(s.Value(), 12);
        Skin::SetBackColor(&s, 0x00FFEAD0);
        const QImage img = s.grab().toImage();
        QCOMPARE(QColor(img.pixel(8, 100)).rgb() & 0xFFFFFF, ToQColor(0x00FFEAD0).rgb() & 0xFFFFFF);
    }

    void menuBarAttachDetach()
    {
        QWidget form;
        auto* bar = new QvMenuBar(&form);
        QMenu* report = bar->addMenu(QStringLiteral("报告管理"));
        report->addAction(QStringLiteral("新建报告"));
        auto* outside = new QMenu(QStringLiteral("皮肤选择"));   // not a child of the bar
        report->addMenu(outside);
        bar->setColor(MenuBarProp::HoverBackColor, 0x0040D0FF);
        QVERIFY(bar->styleSheet().isEmpty());   // detached: no look of its own
        bar->AttachMenu(&form, nullptr, true);
        QVERIFY(bar->styleSheet().contains(QStringLiteral("#ffd040")));
        QCOMPARE(outside->styleSheet(), bar->styleSheet());
        bar->setColor(MenuBarProp::HoverBackColor, 0x0090FF90);   // while attached: at once
        QVERIFY(bar->styleSheet().contains(QStringLiteral("#90ff90")));
        QVERIFY(!bar->styleSheet().contains(QStringLiteral("#ffd040")));
        bar->DetachMenu();
        QVERIFY(bar->styleSheet().isEmpty());
        QVERIFY(outside->styleSheet().isEmpty());
        delete outside;
    }

    void menuSkinAttachDetachAndColours()
    {
        QWidget a, b;
        a.setStyleSheet(QStringLiteral("QLabel { color: red; }"));
        auto* aMenu = new QMenu(&a);
        auto* bBar = new QMenuBar(&b);
        QMenu* bMenu = bBar->addMenu(QStringLiteral("报告"));
        auto* loose = new QMenu(QStringLiteral("皮肤选择"));   // reached only through an item
        bMenu->addMenu(loose);
        gMenuSkin.SkinColor1(0x00404040);
        gMenuSkin.SkinColor2(0x00A0A0A0);
        gMenuSkin.SkinColor3(0x00F8F8F8);
        gMenuSkin.SkinFlag(0);
        gMenuSkin.AttachForm(&a);
        gMenuSkin.AttachForm(&b);
        gMenuSkin.AttachForm(&a);   // twice is once
        QCOMPARE(gMenuSkin.attachedCount(), 2);
        // The menus are coloured; the windows' own style is left alone.
        QCOMPARE(a.styleSheet(), QStringLiteral("QLabel { color: red; }"));
        QVERIFY(b.styleSheet().isEmpty());
        for (QWidget* m : {static_cast<QWidget*>(aMenu), static_cast<QWidget*>(bBar), static_cast<QWidget*>(bMenu),
                           static_cast<QWidget*>(loose)})
            QVERIFY(m->styleSheet().contains(QStringLiteral("#a0a0a0")));
        // A skin change reaches every attached window.
        gMenuSkin.SkinColor2(0x00F2BA6F);
        QVERIFY(loose->styleSheet().contains(QStringLiteral("#6fbaf2")));
        QVERIFY(!bMenu->styleSheet().contains(QStringLiteral("#a0a0a0")));
        // Detach takes the colours off; further changes pass the window by.
        gMenuSkin.DetachForm(&a);
        QVERIFY(aMenu->styleSheet().isEmpty());
        gMenuSkin.SkinColor2(0x0000D080);
        QVERIFY(aMenu->styleSheet().isEmpty());
        QVERIFY(bMenu->styleSheet().contains(QStringLiteral("#80d000")));
        // Calls that cannot do anything do not fail; a destroyed window leaves the list.
        gMenuSkin.DetachForm(&a);
        gMenuSkin.AttachForm(nullptr);
        {
            QWidget gone;
            gMenuSkin.AttachForm(&gone);
            QCOMPARE(gMenuSkin.attachedCount(), 2);
        }
        QCOMPARE(gMenuSkin.attachedCount(), 1);
        gMenuSkin.DetachForm(&b);
        QCOMPARE(gMenuSkin.attachedCount(), 0);
        QVERIFY(loose->styleSheet().isEmpty());
        delete loose;
    }

    void menuSkinColoursLaterPopupMenus()
    {
        QWidget form;
        form.resize(200, 100);
        gMenuSkin.SkinColor1(0x00FF0000);   // blue frame, to find it
        gMenuSkin.SkinColor2(0x00A0A0A0);
        gMenuSkin.SkinColor3(0x00F8F8F8);
        gMenuSkin.AttachForm(&form);
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        // A context menu made after attaching, with the window as parent.
        QMenu menu(&form);
        menu.addAction(QStringLiteral("浏览报告"));
        menu.popup(form.mapToGlobal(QPoint(10, 10)));
        QVERIFY(QTest::qWaitForWindowExposed(&menu));
        const QImage img = menu.grab().toImage();
        QCOMPARE(QColor(img.pixel(0, img.height() / 2)), QColor(0, 0, 255));
        QCOMPARE(QColor(img.pixel(img.width() / 2, img.height() - 4)), QColor(Qt::white));
        menu.close();
        gMenuSkin.DetachForm(&form);
        const QImage plain = menu.grab().toImage();
        QVERIFY(QColor(plain.pixel(0, plain.height() / 2)) != QColor(0, 0, 255));
    }
};

QTEST_MAIN(tst_SkinPaint)
#include "tst_skinpaint.moc"
