// The main window and the report editor under each skin: the colours their skin routines give
// to panels, lines and buttons, what a skin change repaints, and screenshots of both windows.
#include "EditorTestKit.h"

#include "core/FrmMain.h"
#include "core/MenuSkin.h"
#include "core/Modini.h"
#include "core/Palette.h"
#include "core/QvMenuBar.h"
#include "platform/Environment.h"
#include "support/TestFolder.h"

#include <QApplication>
#include <QFrame>
#include <QtTest>

using namespace Palette;

namespace {
QRgb px(const QImage& img, int x, int y) { return img.pixel(x, y) & 0xFFFFFF; }
QRgb rgbOf(qint32 c) { return ToQColor(c).rgb() & 0xFFFFFF; }

void flushDeletes()
{
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QCoreApplication::processEvents();
}

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

const char* skinName(int id)
{
    return id == 1 ? "metal" : id == 2 ? "ocean" : "spring";
}
}

class tst_WindowSkins : public QObject {
    Q_OBJECT
private slots:
    void init()
    {
        folder_ = new TestFolder();
        QVERIFY(folder_->ok());
        kit::loginAs(QStringLiteral("admin"));
        Mmain::gUserName = QStringLiteral("张医生");
        Palette::LoadSkin();
        Environment::setTodayOverride(QDate(2025, 3, 4));
        Environment::setScreenSizeOverride(QSize(1024, 768));
        Environment::setPrinterInstalledOverride(true);
    }
    void cleanup()
    {
        kit::closeEditor();
        if (FrmMain* w = FrmMain::current())
            w->close();
        flushDeletes();
        MessageBox::clearShown();
        delete folder_;
        folder_ = nullptr;
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
            QVERIFY(shot.save(testOutputFolder() + QStringLiteral("/mainwindow_skin%1_%2.png").arg(skin).arg(
                                                       QString::fromLatin1(skinName(skin)))));
            // Tool bar and status strip in the new colours (their painting is checked in tst_skinpaint).
            QCOMPARE(px(shot, w->width() - 3, w->Pictool->height() - 3), rgbOf(gToolBackColor));
            QCOMPARE(px(shot, w->width() - 3, w->PicStatusBar->y()), rgbOf(gStatusColorTo));
            // Buttons, menu bar and menu skin carry the new palette.
            for (QvButton* b : {w->ButtnNew, w->ButtnDel, w->ButtnFind, w->ButtnGraph, w->ButtnPrint, w->buttnview,
                                w->buttnfix})
                QCOMPARE(b->color(ButtonProp(0x68030014)), gButtonColor1);
            QCOMPARE(w->ucQvmenuBarV31->color(MenuBarProp::HoverBackColor), gMenuBarColor3);
            QCOMPARE(gMenuSkin.skinColor2(), gCaptionColorFrom);
            QVERIFY(w->ucQvmenuBarV31->isAttached() && gMenuSkin.isAttached(w));
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
            QVERIFY(ed.isLoaded());
            ed.setWindowState(Qt::WindowNoState);
            ed.resize(1024, 738);
            ed.show();
            ed.Form_Resize();
            QVERIFY(QTest::qWaitForWindowExposed(&ed));

            // Each button group wears its scheme: tool bar, picture and video buttons, tabs.
            for (EdButton* b : {ed.ButtnNew, ed.ButtnEnable, ed.ButtnSave, ed.ButtnDel, ed.ButtnPrint, ed.Buttnmbzr,
                                ed.ButtnSwmb, ed.ButtnBack, ed.ButtnClear})
                QCOMPARE(b->color(ButtonProp(0x68030014)), gButtonColor1);
            for (EdButton* b : {ed.BVidOn, ed.BVidForm, ed.BVidSet, ed.ButtonAddPic, ed.BVidCapture, ed.Bpicview1,
                                ed.Bpicview2, ed.ButtonDelPic, ed.ButtonDelPicR, ed.ButtonConvert, ed.BVidavi,
                                ed.Bcodec, ed.Bpicback})
                QVERIFY2(b->color(ButtonProp(0x68030014)) == gButtonColor3 && !b->hasColor(ButtonProp(0x6803000B)),
                         qPrintable(b->text()));
            for (EdButton* b : {ed.Buttninfo, ed.Buttnpic, ed.btnMS, ed.btnFH, ed.btnCK, ed.btnYC})
                QCOMPARE(b->color(ButtonProp(0x6803000F)), gButtonColor5);
            QCOMPARE(ed.Pictool->backColor(), gToolBackColor);
            for (EdPanel* p : {ed.Picpic, ed.Picdata, ed.Picdata2, ed.RptPictureBox, ed.Picmc, ed.Picts, ed.Picms,
                               ed.Picyc3, ed.Picyc})
                QCOMPARE(p->backColor(), gPanelBackColor);
            for (QFrame* line : {ed.Linetool1, ed.Linetool2, ed.PicdataLine, ed.RptPictureBoxLine})
                QCOMPARE(line->palette().color(QPalette::Window), ToQColor(gLineColor));

            const QImage shot = ed.grab().toImage().convertToFormat(QImage::Format_RGB32);
            QVERIFY(shot.save(testOutputFolder() + QStringLiteral("/editor_skin%1_%2.png").arg(skin).arg(
                                                       QString::fromLatin1(skinName(skin)))));
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
    TestFolder* folder_ = nullptr;
};

QTEST_MAIN(tst_WindowSkins)
#include "tst_windowskins.moc"
