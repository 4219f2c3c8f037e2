// The main window and the report editor under each skin: the colours their skin routines give
// to panels, lines and buttons, what a skin change repaints, and screenshots of both windows.
#include "support/EditorKit.h"

#include "core/FrmMain.h"
#include "core/Modini.h"

#include <QApplication>
#include <QMenu>
#include <QtTest>

using namespace Palette;

namespace {
QRgb px(const QImage& img, int x, int y) { return img.pixel(x, y) & 0xFFFFFF; }
QRgb rgbOf(qint32 c) { return ToQColor(c).rgb() & 0xFFFFFF; }

// Counts the paint events of a set of widgets.
class PaintCounter : public QObject {
public:
    int count = 0;
    bool eventFilter(QObject*, QEvent* e) override
    {
        if (e->type() == QEvent::Paint)
            ++count;
        return false;
    }
};
}

class tst_WindowSkins : public QObject {
    Q_OBJECT
private slots:
    void init()
    {
        folder_ = kit::editorFolder();
        QVERIFY(folder_->ok());
        Mmain::gUserName = QStringLiteral("张医生");
    }
    void cleanup()
    {
        kit::closeEditor();
        if (FrmMain* w = FrmMain::current())
            w->close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QCoreApplication::processEvents();
        folder_.reset();
        SetSkinColors(1);
    }

    void mainWindowUnderEachSkin()
    {
        FrmMain* w = FrmMain::ShowMain();
        QVERIFY(QTest::qWaitForWindowExposed(w));
        PaintCounter painted;
        for (QWidget* c : {static_cast<QWidget*>(w->Pictool), static_cast<QWidget*>(w->PicStatusBar),
                           static_cast<QWidget*>(w->ButtnNew)})
            c->installEventFilter(&painted);
        for (int skin : {2, 3, 1}) {
            QApplication::processEvents();
            painted.count = 0;
            w->ChangeSkin(skin);
            // The open window shows the new skin at once: its panels and buttons repaint.
            QTRY_VERIFY(painted.count >= 3);

            const QImage shot = w->grab().toImage().convertToFormat(QImage::Format_RGB32);
            QVERIFY(shot.save(testOutputFolder() + QStringLiteral("/mainwindow_skin%1.png").arg(skin)));
            // Tool bar and status strip in the new colours (their painting is checked in tst_SkinPaint).
            QCOMPARE(px(shot, w->width() - 3, w->Pictool->height() - 3), rgbOf(gToolBackColor));
            QCOMPARE(px(shot, w->width() - 3, w->PicStatusBar->y()), rgbOf(gStatusColorTo));
            // The list's context menu wears the menu skin's new frame colour.
            w->popupmenut->popup(w->mapToGlobal(QPoint(40, 200)));
            QVERIFY(QTest::qWaitForWindowExposed(w->popupmenut));
            const QImage menu = w->popupmenut->grab().toImage().convertToFormat(QImage::Format_RGB32);
            w->popupmenut->close();
            QCOMPARE(px(menu, 0, menu.height() / 2), rgbOf(gLineColor));
        }
    }

    void editorUnderEachSkin()
    {
        for (int skin = 1; skin <= 3; ++skin) {
            QVERIFY(Modini::SetIniValue(QStringLiteral("system"), QStringLiteral("skinid"), QString::number(skin)));
            Palette::LoadSkin();
            Openers::EditorNewReport();
            DataRecord& ed = DataRecord::instance();
            ed.setWindowState(Qt::WindowNoState);
            ed.resize(1024, 738);
            ed.show();
            ed.Form_Resize();
            QVERIFY(QTest::qWaitForWindowExposed(&ed));

            // Each button group wears its scheme: tool bar, picture and video buttons, tabs.
            QCOMPARE(ed.ButtnClear->color(ButtonProp::FaceTop), gButtonColor1);
            QCOMPARE(ed.Bpicback->color(ButtonProp::FaceTop), gButtonColor3);
            QCOMPARE(ed.btnYC->color(ButtonProp::ForeColor), gButtonColor5);
            const QImage shot = ed.grab().toImage().convertToFormat(QImage::Format_RGB32);
            QVERIFY(shot.save(testOutputFolder() + QStringLiteral("/editor_skin%1.png").arg(skin)));
            // The information caption strip, the tool bar's bottom line and the status strip are painted.
            const QPoint d = ed.Picdata->mapTo(&ed, QPoint(0, 0));
            QCOMPARE(px(shot, d.x() + 10, d.y() + 20), rgbOf(gCaptionColorFrom));
            QCOMPARE(px(shot, d.x(), d.y() + 100), rgbOf(gLineColor));   // side edge
            QCOMPARE(px(shot, ed.width() - 3, ed.Pictool->height() - 1), rgbOf(gLineColor));
            QCOMPARE(px(shot, ed.width() / 2, ed.Picbottom->mapTo(&ed, QPoint(0, 0)).y() + 5), rgbOf(gStatusColorTo));
            kit::closeEditor();
        }
    }

private:
    std::unique_ptr<TestFolder> folder_;
};

QTEST_MAIN(tst_WindowSkins)
#include "tst_windowskins.moc"
