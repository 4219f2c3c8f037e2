// Painting of the theme routines, checked pixel by pixel, and the skin routines' effect on
// windows and buttons.
#include "core/Palette.h"
#include "core/QvButton.h"
#include "core/SkinPaint.h"
#include "core/SkinWindows.h"

#include <QApplication>
#include <QtTest>

using namespace Palette;

namespace {
QRgb px(const QImage& img, int x, int y) { return img.pixel(x, y) & 0xFFFFFF; }
QRgb rgbOf(qint32 c) { return ToQColor(c).rgb() & 0xFFFFFF; }

QImage grabPanel(PaintPanel& panel)
{
    // Through the panel's own paintEvent.
    return panel.grab().toImage().convertToFormat(QImage::Format_RGB32);
}
}

class tst_skinpaint : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { QApplication::setFont(QFont(QStringLiteral("WenQuanYi Zen Hei"), 9)); }

    void captionStripRowByRow_data()
    {
        QTest::addColumn<int>("skin");
        QTest::addColumn<int>("row");
        QTest::addColumn<qint32>("expected");
        QTest::newRow("skin 1 row 1") << 1 << 1 << qint32(0x00F4F4F4);
        QTest::newRow("skin 1 row 10") << 1 << 10 << qint32(0x00CCCCCC);
        QTest::newRow("skin 1 row 20") << 1 << 20 << qint32(0x00A0A0A0);
        QTest::newRow("skin 2 row 10 halves to even") << 2 << 10 << qint32(0x00F9D9AD);
        QTest::newRow("skin 2 row 20") << 2 << 20 << qint32(0x00F2BA6F);
        QTest::newRow("skin 3 row 1") << 3 << 1 << RGB(249, 253, 182);
        QTest::newRow("skin 3 row 20") << 3 << 20 << qint32(0x0000D080);
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
        const QImage img = grabPanel(panel);
        // Away from the side frame.
        QCOMPARE(px(img, 5, row), rgbOf(expected));
        QCOMPARE(px(img, 150, row), rgbOf(expected));
        // Borders at rows 0 and G, frame on both sides and along the bottom, panel below.
        QCOMPARE(px(img, 80, 0), rgbOf(gLineColor));
        QCOMPARE(px(img, 80, 21), rgbOf(gLineColor));
        QCOMPARE(px(img, 0, 40), rgbOf(gLineColor));
        QCOMPARE(px(img, 159, 40), rgbOf(gLineColor));
        QCOMPARE(px(img, 80, 59), rgbOf(gLineColor));
        QCOMPARE(px(img, 80, 40), rgbOf(gPanelBackColor));
    }

    void captionTextIsCentredAndBlack()
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
                    minX = std::min(minX, x); maxX = std::max(maxX, x);
                    minY = std::min(minY, y); maxY = std::max(maxY, y);
                }
        QVERIFY2(maxX > minX, "no caption drawn");
        QVERIFY(std::abs((minX + maxX) / 2 - 100) <= 3);
        QVERIFY(minY >= 1 && maxY <= 20);
    }

    void oneAndZeroPixelStripsAreSafe()
    {
        SetSkinColors(2);
        QImage img(50, 3, QImage::Format_RGB32);
        img.fill(Qt::white);
        QPainter p(&img);
        Skin::PaintStatusBar(p, QSize(50, 1));       // H = 1: one row, no division by zero
        Skin::PaintStatusBar(p, QSize(50, 0));
        const int saved = gCaptionHeight;
        gCaptionHeight = 1;                          // G = 1: no gradient rows
        Skin::PaintGradientCaption(p, QSize(50, 3), QStringLiteral("x"), QApplication::font());
        gCaptionHeight = 0;
        Skin::PaintGradientCaption(p, QSize(50, 3), QString(), QApplication::font());
        gCaptionHeight = saved;
        p.end();
        QCOMPARE(px(img, 25, 0), rgbOf(gLineColor));
        QCOMPARE(Skin::GradientColor(gStatusColorFrom, gStatusColorTo, 0.0).rgb() & 0xFFFFFF, rgbOf(gStatusColorTo));
    }

    void statusBar()
    {
        SetSkinColors(1);
        PaintPanel panel;
        panel.resize(300, 25);
        Skin::DrawStatusBar(&panel);
        const QImage img = grabPanel(panel);
        const int h = 25;
        QCOMPARE(px(img, 150, 0), 0xF0F0F0u);                       // no top border
        QCOMPARE(px(img, 150, h - 1), 0x404040u);                   // bottom edge
        QCOMPARE(px(img, 0, 10), 0x404040u);                        // left edge
        QCOMPARE(px(img, 299, 10), 0x404040u);                      // right edge
        // Row h-2 of h-1 steps; the last gradient row (under the edge) is the 'from' colour.
        QCOMPARE(px(img, 150, h - 2), Skin::GradientColor(0x00A0A0A0, 0x00F0F0F0, 23.0 / 24.0).rgb() & 0xFFFFFF);
        QCOMPARE(Skin::GradientColor(0x00A0A0A0, 0x00F0F0F0, 1.0).rgb() & 0xFFFFFF, 0xA0A0A0u);
        QImage rows(10, h, QImage::Format_RGB32);
        QPainter p(&rows);
        Skin::PaintGradientRows(p, 10, 0, h - 1, h - 1, gStatusColorFrom, gStatusColorTo);
        p.end();
        QCOMPARE(px(rows, 5, h - 1), 0xA0A0A0u);
    }

    void toolbarLineAndDataFrame()
    {
        SetSkinColors(2);
        PaintPanel tool, data;
        tool.resize(200, 40);
        data.resize(120, 80);
        Skin::ApplySkin(nullptr, &tool, &data, {});
        const QImage t = grabPanel(tool);
        QCOMPARE(px(t, 100, 39), rgbOf(gLineColor));
        QCOMPARE(px(t, 100, 38), rgbOf(gToolBackColor));
        QCOMPARE(px(t, 100, 0), rgbOf(gToolBackColor));
        const QImage d = grabPanel(data);
        QCOMPARE(px(d, 60, 0), rgbOf(gLineColor));
        QCOMPARE(px(d, 0, 40), rgbOf(gLineColor));
        QCOMPARE(px(d, 60, 79), rgbOf(gLineColor));
        QCOMPARE(px(d, 119, 40), rgbOf(gLineColor));
        QCOMPARE(px(d, 119, 79), rgbOf(gLineColor));
        QCOMPARE(px(d, 1, 1), rgbOf(gPanelBackColor));
        QCOMPARE(px(d, 118, 78), rgbOf(gPanelBackColor));
        // Resized, the drawings follow the new size.
        tool.resize(260, 30);
        QCOMPARE(px(grabPanel(tool), 250, 29), rgbOf(gLineColor));
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
        const QImage img = title.renderImage();
        QCOMPARE(px(img, 60, 0), rgbOf(gToolBackColor));
        QCOMPARE(px(img, 60, 1), Skin::GradientColor(gCaptionColorFrom, gCaptionColorTo, 1.0 / 21.0).rgb() & 0xFFFFFF);
        QCOMPARE(px(img, 60, 21), rgbOf(gCaptionColorFrom));
        QCOMPARE(px(img, 60, 22), rgbOf(gLineColor));
        SetSkinColors(1);
    }

    void panelsFollowASkinChangeAtOnce()
    {
        SetSkinColors(1);
        PaintPanel panel;
        panel.resize(100, 40);
        Skin::DrawGradientCaption(&panel, QString());
        QCOMPARE(px(grabPanel(panel), 50, 10), 0xCCCCCCu);
        SetSkinColors(2);
        QCOMPARE(px(grabPanel(panel), 50, 10), 0xADD9F9u);   // RGB(173, 217, 249)
        SetSkinColors(1);
    }

    void applySkinColoursWindowAndButtons()
    {
        SetSkinColors(3);
        QWidget window;
        auto* tool = new PaintPanel(&window);
        auto* data = new PaintPanel(&window);
        auto* add = new QvButton(QStringLiteral("新 增"), tool);
        add->resize(72, 26);
        Skin::ApplySkin(&window, tool, data, {add});
        QCOMPARE(window.palette().color(QPalette::Window), ToQColor(gFormBackColor));
        QVERIFY(window.autoFillBackground());
        QCOMPARE(tool->backColor(), gToolBackColor);
        QCOMPARE(data->backColor(), gPanelBackColor);
        // Tool bar buttons have a flat face of the tool bar colour.
        QCOMPARE(px(add->grab().toImage(), 6, 20), rgbOf(gToolBackColor));
        // A later palette change does not reach the buttons by itself.
        SetSkinColors(1);
        QCOMPARE(px(add->grab().toImage(), 6, 20), 0xF0FFA0u);

        // The dialog skin: a white data panel in a frame, buttons from white to the button colour.
        QWidget dialog;
        auto* picdata = new PaintPanel(&dialog);
        picdata->resize(100, 60);
        auto* save = new QvButton(QStringLiteral("保 存"), &dialog);
        save->resize(76, 26);
        Skin::ApplyDialogSkin(&dialog, picdata, {save});
        QCOMPARE(dialog.palette().color(QPalette::Window), ToQColor(gPanelBackColor));
        QCOMPARE(px(grabPanel(*picdata), 50, 30), 0xFFFFFFu);
        QCOMPARE(px(grabPanel(*picdata), 0, 30), rgbOf(gLineColor));
        const QImage face = save->grab().toImage();
        QVERIFY(qGray(face.pixel(6, 3)) > qGray(face.pixel(6, 22)));
        QVERIFY(!save->hasColor(ButtonProp::FocusColor));
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
        const QImage b = grabPanel(*bottom);
        QCOMPARE(px(b, 50, 3), rgbOf(gFormBackColor));
        QCOMPARE(px(b, 50, 4), rgbOf(gLineColor));
        QCOMPARE(px(b, 50, 5), rgbOf(gStatusColorTo));
        // N = SH - 5 steps from row 5; the panel ends one step before the 'from' colour.
        QCOMPARE(px(b, 50, 32), Skin::GradientColor(gStatusColorFrom, gStatusColorTo, 27.0 / 28.0).rgb() & 0xFFFFFF);
        rpt->resize(200, 100);
        const QImage r = grabPanel(*rpt);
        QCOMPARE(px(r, 50, 10), 0xADD9F9u);
        QCOMPARE(px(r, 50, 26), 0xC0C0C0u);
        QCOMPARE(px(r, 50, 27), 0xFFFFFFu);
        QCOMPARE(px(r, 0, 60), rgbOf(gLineColor));
        QCOMPARE(px(r, 199, 60), rgbOf(gLineColor));
        SetSkinColors(1);
    }
};

QTEST_MAIN(tst_skinpaint)
#include "tst_skinpaint.moc"
