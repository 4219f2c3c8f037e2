#include "core/SkinWindows.h"

#include "core/Palette.h"
#include "core/SkinPaint.h"

#include <cmath>

using namespace Palette;

namespace Skin {

void FrmMainPictoolResize(PaintPanel* Pictool) { DrawTopLine(Pictool); }

void FrmMainApplySkin(const FrmMainSkin& s)
{
    SetBackColor(s.window, gToolBackColor);
    SetBackColor(s.Pictool, gToolBackColor);
    FrmMainPictoolResize(s.Pictool);
    DrawStatusBar(s.PicStatusBar);
    SetLineColor(s.Linetool2, gLineColor);
    for (QvButton* b : s.buttons)
        ToolbarScheme(b);
    if (QvMenuBar* m = s.ucQvmenuBarV31) {
        m->setColor(MenuBarProp::FrameColor, gMenuBarColor1);
        m->setColor(MenuBarProp::PopupBackColor, gMenuBarColor2);
        m->setColor(MenuBarProp::HoverBackColor, gMenuBarColor3);
        m->setColor(MenuBarProp::ForeColor, gButtonColor5);
        m->setColor(MenuBarProp::HoverForeColor, gButtonColor6);
        m->setColor(MenuBarProp::OpenTop, gCaptionColorTo);
        m->setColor(MenuBarProp::OpenBottom, gCaptionColorFrom);
        m->setColor(MenuBarProp::SeparatorColor, gCaptionColorFrom);
        m->setColor(MenuBarProp::OpenForeColor, gMenuBarColor4);
    }
}

void LoginApplyDialogSkin(QWidget* window, QvButton* buttonlogin, QvButton* buttonquit)
{
    SetBackColor(window, gToolBackColor);
    DialogScheme(buttonlogin);
    DialogScheme(buttonquit);
}

void PaintLoginTitle(QPainter& p, const QSize& size)
{
    const int w = size.width(), h = size.height();
    const int n = h - 2;
    for (int i = 1; i <= n; ++i)
        p.fillRect(QRect(0, i, w, 1), GradientColor(gCaptionColorFrom, gCaptionColorTo, double(i) / double(n)));
    if (h > 0)
        p.fillRect(QRect(0, h - 1, w, 1), ToQColor(gLineColor));
}

void DrawLoginTitle(PaintPanel* Pictitle)
{
    if (Pictitle)
        Pictitle->setDrawing(QStringLiteral("title"),
                             [](QPainter& p, const QSize& s, const QFont&) { PaintLoginTitle(p, s); });
}

void FrmAboutApplyDialogSkin(QWidget* window, PaintPanel* Picdata, QvButton* ButtnSave)
{
    ApplyDialogSkin(window, Picdata, {ButtnSave});
}

namespace {
// A caption strip of the editor: its caption over the side edges.
void paintSidedCaption(QPainter& p, const QSize& s, const QString& caption, const QFont& f)
{
    PaintCaptionGradient(p, s.width());
    PaintSideEdges(p, s);
    PaintCentredCaption(p, s, caption, f);
}
}

void PaintEditorCaptionStrip(QPainter& p, const QSize& size, const QString& caption, const QFont& font)
{
    PaintCaptionGradient(p, size.width());
    PaintCentredCaption(p, size, caption, font);
}

void DrawInfoCaption(PaintPanel* Picdata)
{
    if (!Picdata)
        return;
    Picdata->setDrawing(QStringLiteral("infocaption"), [](QPainter& p, const QSize& s, const QFont& f) {
        paintSidedCaption(p, s, QStringLiteral("基本信息"), f);
    });
}

void DrawReportImageCaption(PaintPanel* RptPictureBox)
{
    if (!RptPictureBox)
        return;
    RptPictureBox->setDrawing(QStringLiteral("imagecaption"), [](QPainter& p, const QSize& s, const QFont& f) {
        const int h = gCaptionHeight;
        p.fillRect(QRect(0, h + 5, s.width(), 1), QColor(192, 192, 192));
        p.fillRect(QRect(0, h + 6, s.width(), 1), Qt::white);
        paintSidedCaption(p, s, QStringLiteral("报告图像"), f);
    });
}

void LayoutBottomBar(PaintPanel* Picbottom)
{
    if (!Picbottom)
        return;
    Picbottom->setDrawing(QStringLiteral("bottombar"), [](QPainter& p, const QSize& s, const QFont&) {
        const int w = s.width();
        p.fillRect(QRect(0, 0, w, 4), ToQColor(gFormBackColor));
        p.fillRect(QRect(0, 4, w, 1), ToQColor(gLineColor));
        const int n = int(std::nearbyint(double(s.height() - 5)));
        // Rows 5 .. 5 + n; a strip too low for a gradient gets the top colour only.
        PaintGradientRows(p, w, 5, 5 + n, n, gStatusColorFrom, gStatusColorTo);
    });
}

void SetTabButtonColors(QvButton* b, bool pressed)
{
    if (!b)
        return;
    const qint32 bottom = AdjustColor(gCaptionColorFrom, pressed ? 30 : 80);
    const qint32 top = AdjustColor(gCaptionColorFrom, pressed ? 10 : 40);
    SetFaceColors(b, top, bottom, top, bottom);
}

void SetPageButtonColors(QvButton* b, bool selected)
{
    if (!b)
        return;
    const qint32 bottom = selected ? AdjustColor(gPanelBackColor, 10) : AdjustColor(gCaptionColorFrom, 60);
    const qint32 top = selected ? AdjustColor(gCaptionColorFrom, -20) : AdjustColor(gCaptionColorFrom, 5);
    SetFaceColors(b, top, bottom, top, bottom);
}

void DataRecordApplySkin(const DataRecordSkin& s)
{
    // Back colours.
    SetBackColor(s.window, gFormBackColor);
    SetBackColor(s.Pictitle, gFormBackColor);
    SetBackColor(s.Pictool, gToolBackColor);
    for (QWidget* w : {s.Picpic, static_cast<QWidget*>(s.Picdata), s.Picdata2, static_cast<QWidget*>(s.RptPictureBox),
                       s.Picmc, s.Picts, s.Picms, s.Picyc3, s.Picyc})
        SetBackColor(w, gPanelBackColor);
    // Line controls and the four report pictures.
    SetLineColor(s.Linetool1, gLineColor);
    SetLineColor(s.Linetool2, gLineColor);
    for (QWidget* w : s.Picload)
        SetBackColor(w, gPanelBackColor);
    // Strips and lines.
    DrawToolbarLine(s.Pictool);
    DrawInfoCaption(s.Picdata);
    SetLineColor(s.PicdataLine, gLineColor);
    DrawReportImageCaption(s.RptPictureBox);
    SetLineColor(s.RptPictureBoxLine, gLineColor);
    LayoutBottomBar(s.Picbottom);
    // Buttons.
    for (QvButton* b : s.toolbarButtons)
        ToolbarScheme(b);
    for (QvButton* b : s.dialogButtons)
        DialogScheme(b);
    for (QvButton* b : s.tabButtons)
        TabScheme(b);
}

}
