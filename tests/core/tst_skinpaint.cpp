// Painting of the theme routines, checked pixel by pixel, the skin routines' effect on windows
// and buttons, and screenshots of a skinned window under each skin.
#include "core/Mmain.h"
#include "core/MenuSkin.h"
#include "core/Palette.h"
#include "core/QvButton.h"
#include "core/QvMenuBar.h"
#include "core/QvScrollBar.h"
#include "core/QvTextBox.h"
#include "core/SkinPaint.h"
#include "core/SkinWindows.h"
#include "support/TestFolder.h"

#include <QApplication>
#include <QLabel>
#include <QTableWidget>
#include <QHeaderView>
#include <QTreeWidget>
#include <QComboBox>
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

QList<quint32> toolbarProps()
{
    return {0x68030011, 0x6803000D, 0x6803000E, 0x6803000F, 0x68030014, 0x68030017,
            0x68030012, 0x68030013, 0x68030015, 0x68030016, 0x6803000B};
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
        QList<QvButton*> buttons;
        for (const char* c : {"新 增", "修 改", "保 存", "删 除", "退 出"})
            buttons << new QvButton(QString::fromUtf8(c), tool);
        Skin::ApplySkin(&window, tool, data, buttons);
        QCOMPARE(window.palette().color(QPalette::Window), ToQColor(gFormBackColor));
        QVERIFY(window.autoFillBackground());
        QCOMPARE(tool->backColor(), gToolBackColor);
        QCOMPARE(data->backColor(), gPanelBackColor);
        QCOMPARE(tool->drawings(), QStringList{QStringLiteral("toolbarline")});
        QCOMPARE(data->drawings(), QStringList{QStringLiteral("frame")});
        for (QvButton* b : buttons) {
            QCOMPARE(b->colors().keys(), [] { auto l = toolbarProps(); std::sort(l.begin(), l.end()); return l; }());
            QCOMPARE(b->color(ButtonProp(0x68030011)), gLineColor);
            QCOMPARE(b->color(ButtonProp(0x6803000D)), gButtonColor6);
            QCOMPARE(b->color(ButtonProp(0x68030014)), gButtonColor1);
            QCOMPARE(b->color(ButtonProp(0x68030017)), gButtonColor2);
            QCOMPARE(b->color(ButtonProp(0x68030012)), gButtonColor3);
            QCOMPARE(b->color(ButtonProp(0x68030015)), gButtonColor4);
            QCOMPARE(b->color(ButtonProp(0x6803000B)), gButtonColor7);
        }
        // A later palette change does not reach the buttons by itself.
        SetSkinColors(1);
        QCOMPARE(buttons[0]->color(ButtonProp(0x68030015)), 0x0000E096);

        // The dialog skin.
        QWidget dialog;
        auto* picdata = new PaintPanel(&dialog);
        auto* save = new QvButton(QStringLiteral("保 存"), &dialog);
        Skin::ApplyDialogSkin(&dialog, picdata, {save});
        QCOMPARE(dialog.palette().color(QPalette::Window), ToQColor(gPanelBackColor));
        QCOMPARE(picdata->backColor(), 0x00FFFFFF);
        QCOMPARE(save->colors().size(), 10);
        QVERIFY(!save->hasColor(ButtonProp(0x6803000B)));
        QCOMPARE(save->color(ButtonProp(0x68030014)), gButtonColor3);
        QCOMPARE(save->color(ButtonProp(0x68030017)), gButtonColor4);
        QCOMPARE(save->color(ButtonProp(0x68030012)), gButtonColor4);
        QCOMPARE(save->color(ButtonProp(0x68030016)), gButtonColor3);
    }

    void mainWindowSkinKeepsRights()
    {
        SetSkinColors(1);
        QWidget window;
        auto* tool = new PaintPanel(&window);
        auto* status = new PaintPanel(&window);
        auto* line = new QWidget(&window);
        auto* bar = new QvMenuBar(tool);
        QMenu* m = bar->addMenu(QStringLiteral("报告管理"));
        QAction* newItem = m->addAction(QStringLiteral("新建报告"));
        QAction* viewItem = m->addAction(QStringLiteral("查看报告"));
        QList<QvButton*> buttons;
        for (int i = 0; i < 7; ++i)
            buttons << new QvButton(tool);
        Skin::FrmMainSkin s;
        s.window = &window;
        s.Pictool = tool;
        s.PicStatusBar = status;
        s.Linetool2 = line;
        s.buttons = buttons;
        s.ucQvmenuBarV31 = bar;
        s.right1Buttons = {buttons[6], buttons[1], buttons[0]};
        s.right1Items = {newItem};
        s.right0Buttons = {buttons[5], buttons[4]};
        s.right0Items = {viewItem};

        Mmain::gRights.fill(false);
        Mmain::gRights[Mmain::RightViewPrint] = true;
        Skin::FrmMainApplySkin(s);
        bar->AttachMenu(&window);
        QVERIFY(!buttons[0]->isEnabled() && !buttons[1]->isEnabled() && !buttons[6]->isEnabled());
        QVERIFY(!newItem->isEnabled());
        QVERIFY(buttons[4]->isEnabled() && buttons[5]->isEnabled() && viewItem->isEnabled());

        // Skin change: palette, skin routine again, the rights still hold.
        SetSkinColors(2);
        Skin::FrmMainApplySkin(s);
        QVERIFY(!buttons[0]->isEnabled() && !newItem->isEnabled());
        QCOMPARE(window.palette().color(QPalette::Window), ToQColor(0x00FFEAD0));
        QCOMPARE(tool->drawings(), QStringList{QStringLiteral("topline")});
        QCOMPARE(px(tool->renderImage(), 10, 0), rgbOf(0x009C3801));
        QCOMPARE(status->drawings(), QStringList{QStringLiteral("statusbar")});
        QCOMPARE(line->palette().color(QPalette::Window), ToQColor(0x009C3801));
        QCOMPARE(buttons[3]->color(ButtonProp::HoverForeColor), 0x00802000);
        QCOMPARE(bar->color(MenuBarProp::FrameColor), kSysHighlight);
        QCOMPARE(bar->color(MenuBarProp::HoverBackColor), 0x0090FF90);
        QCOMPARE(bar->color(MenuBarProp::OpenForeColor), 0x00006000);
        QCOMPARE(bar->color(MenuBarProp::SeparatorColor), 0x00F2BA6F);
        QVERIFY(bar->styleSheet().contains(ToQColor(0x0090FF90).name()));

        // With both rights nothing is disabled.
        for (QvButton* b : buttons)
            b->setEnabled(true);
        newItem->setEnabled(true);
        Mmain::gRights[Mmain::RightEditOwn] = true;
        Skin::FrmMainApplySkin(s);
        for (QvButton* b : buttons)
            QVERIFY(b->isEnabled());
        QVERIFY(newItem->isEnabled());
        Mmain::gRights.fill(false);
        SetSkinColors(1);
    }

    void editorButtonsGetTabSchemeThenTheirOwnColours()
    {
        SetSkinColors(2);
        QWidget window;
        Skin::DataRecordSkin s;
        s.window = &window;
        auto* tool = new PaintPanel(&window);
        auto* data = new PaintPanel(&window);
        auto* rpt = new PaintPanel(&window);
        auto* bottom = new PaintPanel(&window);
        s.Pictool = tool;
        s.Picdata = data;
        s.RptPictureBox = rpt;
        s.Picbottom = bottom;
        QvButton *info = new QvButton(&window), *pic = new QvButton(&window), *yc = new QvButton(&window),
                 *ms = new QvButton(&window), *fh = new QvButton(&window), *ck = new QvButton(&window);
        s.tabButtons = {info, pic, ms, fh, ck, yc};
        auto* save = new QvButton(&window);
        auto* capture = new QvButton(&window);
        s.toolbarButtons = {save};
        s.dialogButtons = {capture};
        Skin::DataRecordApplySkin(s);
        for (QvButton* b : s.tabButtons) {
            QCOMPARE(b->colors().size(), 4);
            QCOMPARE(b->color(ButtonProp(0x68030011)), gLineColor);
            QCOMPARE(b->color(ButtonProp(0x6803000D)), 0);
            QCOMPARE(b->color(ButtonProp(0x6803000E)), 0);
            QCOMPARE(b->color(ButtonProp(0x6803000F)), 0);
        }
        QCOMPARE(save->colors().size(), 11);
        QCOMPARE(capture->colors().size(), 10);
        QCOMPARE(tool->drawings(), QStringList{QStringLiteral("toolbarline")});
        QCOMPARE(data->drawings(), QStringList{QStringLiteral("infocaption")});
        QCOMPARE(rpt->drawings(), QStringList{QStringLiteral("imagecaption")});
        QCOMPARE(bottom->drawings(), QStringList{QStringLiteral("bottombar")});

        // Then the editor colours its page and side-panel tabs.
        Skin::SetPageButtonColors(pic, false);
        Skin::SetPageButtonColors(info, true);
        Skin::SetTabButtonColors(yc, true);
        for (QvButton* b : {ms, fh, ck})
            Skin::SetTabButtonColors(b, false);
        QCOMPARE(info->color(ButtonProp(0x68030017)), AdjustColor(gPanelBackColor, 10));
        QCOMPARE(info->color(ButtonProp(0x68030013)), AdjustColor(gCaptionColorFrom, -20));
        QCOMPARE(pic->color(ButtonProp(0x68030015)), AdjustColor(gCaptionColorFrom, 60));
        QCOMPARE(pic->color(ButtonProp(0x68030014)), AdjustColor(gCaptionColorFrom, 5));
        QCOMPARE(yc->color(ButtonProp(0x68030016)), AdjustColor(gCaptionColorFrom, 30));
        QCOMPARE(yc->color(ButtonProp(0x68030012)), AdjustColor(gCaptionColorFrom, 10));
        QCOMPARE(ck->color(ButtonProp(0x68030017)), AdjustColor(gCaptionColorFrom, 80));
        QCOMPARE(ck->color(ButtonProp(0x68030014)), AdjustColor(gCaptionColorFrom, 40));
        QCOMPARE(ck->color(ButtonProp(0x68030011)), gLineColor);   // the tab scheme's own stays

        // The editor's strips.
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

    void screenshotsUnderEachSkin()
    {
        TestFolder folder;
        QVERIFY(folder.ok());
        for (int skin = 1; skin <= 3; ++skin) {
            SetSkinColors(skin);
            QWidget window;
            window.resize(680, 430);
            auto* Pictool = new PaintPanel(&window);
            Pictool->setGeometry(0, 0, 680, 58);
            auto* bar = new QvMenuBar(Pictool);
            for (const char* t : {"报告管理", "查询统计", "基础数据", "系统维护", "帮助"})
                bar->addMenu(QString::fromUtf8(t))->addAction(QStringLiteral("…"));
            bar->setGeometry(2, 1, 400, 24);
            QList<QvButton*> tools;
            int x = 6;
            for (const char* t : {"新 增", "修 改", "保 存", "删 除", "载入模板", "退 出"}) {
                auto* b = new QvButton(QString::fromUtf8(t), Pictool);
                b->setGeometry(x, 27, 72, 26);
                x += 76;
                tools << b;
            }
            tools[3]->setEnabled(false);
            auto* PicTree = new PaintPanel(&window);
            PicTree->setGeometry(6, 64, 190, 330);
            auto* tree = new QTreeWidget(PicTree);
            tree->setHeaderHidden(true);
            tree->setFrameShape(QFrame::NoFrame);
            tree->setGeometry(1, 22, 188, 307);
            auto* top = new QTreeWidgetItem(tree, {QStringLiteral("胸部")});
            new QTreeWidgetItem(top, {QStringLiteral("胸部正位")});
            new QTreeWidgetItem(top, {QStringLiteral("胸部侧位")});
            new QTreeWidgetItem(tree, {QStringLiteral("腹部")});
            new QTreeWidgetItem(tree, {QStringLiteral("四肢")});
            tree->expandAll();
            auto* Picdata = new PaintPanel(&window);
            Picdata->setGeometry(202, 64, 472, 330);
            const char* labels[] = {"检查部位", "检查名称", "模板分类"};
            for (int i = 0; i < 3; ++i) {
                auto* l = new QLabel(QString::fromUtf8(labels[i]), Picdata);
                l->move(18, 34 + 34 * i);
                if (i == 1) {
                    auto* t = new QvTextBox(Picdata);
                    t->setGeometry(90, 30 + 34 * i, 300, 24);
                    t->setText(QStringLiteral("胸部正侧位"));
                } else {
                    auto* c = new QComboBox(Picdata);
                    c->addItem(i == 0 ? QStringLiteral("胸部") : QStringLiteral("常规检查"));
                    c->setGeometry(90, 30 + 34 * i, 300, 24);
                }
            }
            auto* grid = new QTableWidget(4, 3, Picdata);
            grid->setGeometry(18, 136, 436, 140);
            grid->setHorizontalHeaderLabels({QStringLiteral("编号"), QStringLiteral("模板名称"), QStringLiteral("检查部位")});
            grid->verticalHeader()->hide();
            grid->horizontalHeader()->setStretchLastSection(true);
            grid->horizontalHeader()->setFixedHeight(gCaptionHeight);
            const char* rows[][2] = {{"胸部正位", "胸部"}, {"胸部侧位", "胸部"}, {"腹部平片", "腹部"}, {"膝关节正侧位", "四肢"}};
            for (int r = 0; r < 4; ++r) {
                grid->setItem(r, 0, new QTableWidgetItem(QString::number(r + 1)));
                grid->setItem(r, 1, new QTableWidgetItem(QString::fromUtf8(rows[r][0])));
                grid->setItem(r, 2, new QTableWidgetItem(QString::fromUtf8(rows[r][1])));
                grid->setRowHeight(r, 22);
            }
            grid->selectRow(1);
            auto* ok = new QvButton(QStringLiteral("确 定"), Picdata);
            ok->setGeometry(290, 290, 76, 26);
            auto* cancel = new QvButton(QStringLiteral("取 消"), Picdata);
            cancel->setGeometry(378, 290, 76, 26);
            auto* status = new PaintPanel(&window);
            status->setGeometry(0, 400, 680, 30);
            auto* statusText = new QLabel(QStringLiteral("  操作员：管理员    皮肤：%1").arg(
                                              skin == 1 ? QStringLiteral("金属时代")
                                                        : skin == 2 ? QStringLiteral("海洋世界") : QStringLiteral("山野春色")),
                                          status);
            statusText->setGeometry(4, 6, 400, 18);

            Skin::FrmMBmanagerSkin s;
            s.window = &window;
            s.Pictool = Pictool;
            s.Picdata = Picdata;
            s.PicTree = PicTree;
            s.buttons = tools;
            Skin::FrmMBmanagerApplySkin(s);
            Skin::DrawGradientCaption(Picdata, QStringLiteral("模板内容"));
            Skin::DialogScheme(ok);
            Skin::DialogScheme(cancel);
            Skin::DrawStatusBar(status);
            Skin::FrmMainSkin m;
            m.ucQvmenuBarV31 = bar;
            Skin::FrmMainApplySkin(m);
            bar->AttachMenu(&window);
            gMenuSkin.SkinColor1(gLineColor);
            gMenuSkin.SkinColor2(gCaptionColorFrom);
            gMenuSkin.SkinColor3(gCaptionColorTo);
            gMenuSkin.AttachForm(&window);
            window.show();
            QVERIFY(QTest::qWaitForWindowExposed(&window));
            // One button under the mouse, one with the focus.
            QTest::mouseMove(tools[1], QPoint(20, 10));
            ok->setFocus();
            QApplication::processEvents();
            const QString file = testOutputFolder() + QStringLiteral("/skin%1_window.png").arg(skin);
            QVERIFY(window.grab().save(file));
            gMenuSkin.DetachForm(&window);

            // A dialog: white data panel with a frame, dialog buttons below.
            QWidget dialog;
            dialog.resize(340, 200);
            auto* data = new PaintPanel(&dialog);
            data->setGeometry(10, 10, 320, 140);
            const char* names[] = {"原 密 码", "新 密 码", "确认密码"};
            for (int i = 0; i < 3; ++i) {
                auto* l = new QLabel(QString::fromUtf8(names[i]), data);
                l->move(30, 24 + 36 * i);
                auto* t = new QvTextBox(data);
                t->setPasswordChar(true);
                t->setGeometry(110, 20 + 36 * i, 180, 24);
                t->setText(i ? QStringLiteral("abc") : QString());
            }
            auto* save = new QvButton(QStringLiteral("保 存"), &dialog);
            save->setGeometry(166, 162, 76, 26);
            auto* quit = new QvButton(QStringLiteral("退 出"), &dialog);
            quit->setGeometry(254, 162, 76, 26);
            Skin::ApplyDialogSkin(&dialog, data, {save, quit});
            dialog.show();
            QVERIFY(QTest::qWaitForWindowExposed(&dialog));
            QTest::mouseMove(quit, QPoint(30, 12));
            QApplication::processEvents();
            QVERIFY(dialog.grab().save(testOutputFolder() + QStringLiteral("/skin%1_dialog.png").arg(skin)));
        }
        SetSkinColors(1);
    }
};

QTEST_MAIN(tst_skinpaint)
#include "tst_skinpaint.moc"
