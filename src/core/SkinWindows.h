#pragma once
#include "core/QvButton.h"
#include "core/QvMenuBar.h"
#include "core/SkinPanel.h"

#include <QList>
#include <QWidget>
#include <array>

// Skin routines of the windows whose colouring differs from the standard ApplySkin and
// ApplyDialogSkin. Each window fills the structure with its own controls (names as in the
// window) and calls the routine from its load handler; null members are skipped, so a window
// can pass only what it has. A skin routine only colours: each window applies the user's
// rights in a routine of its own (ApplyRights). A window added later adds its routine here
// when the standard ones do not fit it.
//
// Which window uses what:
//   FrmMain                       FrmMainApplySkin (load and skin change)
//   login                         LoginApplyDialogSkin
//   DataRecord                    DataRecordApplySkin
//   FrmJCpz, FrmPassword          Skin::ApplyDialogSkin(this, Picdata, {ButtnSave, ButtnQuit})
//   FrmAbout                      FrmAboutApplyDialogSkin
//
// Example, the main window's load and skin change:
//   Skin::FrmMainSkin s;
//   s.window = this; s.Pictool = Pictool; s.PicStatusBar = PicStatusBar; s.Linetool2 = Linetool2;
//   s.buttons = {ButtnNew, ButtnDel, ButtnFind, ButtnGraph, ButtnPrint, buttnview, buttnfix};
//   s.ucQvmenuBarV31 = ucQvmenuBarV31;
//   Skin::FrmMainApplySkin(s);
namespace Skin {

struct FrmMainSkin {
    QWidget* window = nullptr;
    PaintPanel* Pictool = nullptr;
    PaintPanel* PicStatusBar = nullptr;
    QWidget* Linetool2 = nullptr;
    // ButtnNew, ButtnDel, ButtnFind, ButtnGraph, ButtnPrint, buttnview, buttnfix
    QList<QvButton*> buttons;
    QvMenuBar* ucQvmenuBarV31 = nullptr;
};

// Window and Pictool = gToolBackColor, the toolbar's top line, the status bar, Linetool2,
// the toolbar scheme for the buttons, the nine menu-bar colours.
void FrmMainApplySkin(const FrmMainSkin& s);
// FrmMain.Pictool_Resize: the top-edge line of the main window's toolbar.
void FrmMainPictoolResize(PaintPanel* Pictool);

// Window = gToolBackColor; dialog scheme for the two buttons. No panel, no frame.
void LoginApplyDialogSkin(QWidget* window, QvButton* buttonlogin, QvButton* buttonquit);

// The login window's title strip (Pictitle): rows 1..N (N = height - 2) a gradient from
// gCaptionColorTo to gCaptionColorFrom, the last row in gLineColor; row 0 keeps the back colour.
void PaintLoginTitle(QPainter& p, const QSize& size);
void DrawLoginTitle(PaintPanel* Pictitle);

// The standard dialog skin with the one button ButtnSave.
void FrmAboutApplyDialogSkin(QWidget* window, PaintPanel* Picdata, QvButton* ButtnSave);

// The report editor's own strips (pixels of the panel):
void DrawInfoCaption(PaintPanel* Picdata);                // caption strip "基本信息" with side edges
void DrawReportImageCaption(PaintPanel* RptPictureBox);   // caption strip "报告图像" with side edges
void LayoutBottomBar(PaintPanel* Picbottom);              // status strip below a 4-row margin
// Paints the caption strip the editor's panels share (rows 0 and H borders, H-1 gradient rows),
// and the caption centred when not empty; no side edges.
void PaintEditorCaptionStrip(QPainter& p, const QSize& size, const QString& caption, const QFont& font);

// The editor's side-panel tabs (btnCK, btnFH, btnMS, btnYC): pressed or not.
void SetTabButtonColors(QvButton* b, bool pressed);
// The editor's page buttons (Buttninfo, Buttnpic): page shown or not.
void SetPageButtonColors(QvButton* b, bool selected);

struct DataRecordSkin {
    QWidget* window = nullptr;
    QWidget* Pictitle = nullptr;
    PaintPanel* Pictool = nullptr;
    // Panels with gPanelBackColor: Picpic, Picdata, Picdata2, RptPictureBox, Picmc, Picts,
    // Picms, Picyc3, Picyc.
    QWidget* Picpic = nullptr;
    PaintPanel* Picdata = nullptr;
    QWidget* Picdata2 = nullptr;
    PaintPanel* RptPictureBox = nullptr;
    QWidget* Picmc = nullptr;
    QWidget* Picts = nullptr;
    QWidget* Picms = nullptr;
    QWidget* Picyc3 = nullptr;
    QWidget* Picyc = nullptr;
    QWidget* Linetool1 = nullptr;
    QWidget* Linetool2 = nullptr;
    std::array<QWidget*, 4> Picload{};
    QWidget* PicdataLine = nullptr;
    QWidget* RptPictureBoxLine = nullptr;
    PaintPanel* Picbottom = nullptr;
    // ButtnNew, ButtnEnable, ButtnSave, ButtnDel, ButtnPrint, Buttnmbzr, ButtnSwmb, ButtnBack, ButtnClear
    QList<QvButton*> toolbarButtons;
    // BVidOn, BVidForm, BVidSet, ButtonAddPic, BVidCapture, Bpicview1, Bpicview2, ButtonDelPic,
    // ButtonDelPicR, ButtonConvert, BVidavi, Bcodec, Bpicback
    QList<QvButton*> dialogButtons;
    // Buttninfo, Buttnpic, btnMS, btnFH, btnCK, btnYC
    QList<QvButton*> tabButtons;
};
// The editor's colours: back colours, lines, the report pictures, strips and buttons; the page
// and tab buttons are recoloured afterwards by the editor (SetPageButtonColors / SetTabButtonColors).
void DataRecordApplySkin(const DataRecordSkin& s);

}
