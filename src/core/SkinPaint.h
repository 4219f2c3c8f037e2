#pragma once
#include "core/Palette.h"
#include "core/QvButton.h"
#include "core/SkinPanel.h"

#include <QFont>
#include <QList>
#include <QPainter>
#include <QSize>
#include <QString>

// The theme routines every window uses to colour itself (one implementation each).
//
// A window with a toolbar panel and a data panel, in its load handler before it fills its data:
//   Pictool = new PaintPanel(this);  Picdata = new PaintPanel(this);      // the two panels
//   ButtnNew = new QvButton(QStringLiteral("新 增"), Pictool); ...          // buttons on them
//   Skin::ApplySkin(this, Pictool, Picdata, {ButtnNew, ButtnUpdate, ButtnSave, ButtnDel, ButtnQuit});
//   gMenuSkin.AttachForm(this);                                           // where the window attaches
//   // and when Pictool is resized (connect PaintPanel::Resize) nothing is needed: drawings follow
//   // the panel's size by themselves; calling Skin::DrawToolbarLine(Pictool) again is harmless.
// A dialog:
//   Skin::ApplyDialogSkin(this, Picdata, {ButtnSave, ButtnQuit});
// A caption strip at the top of a panel:
//   Skin::DrawGradientCaption(PicTree, QStringLiteral("模板分类"));
// Single steps:
//   Skin::SetBackColor(anyWidget, Palette::gFormBackColor);   // window, panel or line control
//   Skin::SetLineColor(Linetool1, Palette::gLineColor);       // a thin QWidget/QFrame used as a line
//   Skin::ToolbarScheme(button); Skin::DialogScheme(button); Skin::TabScheme(button);
//
// The Paint* functions draw the same pictures on any QPainter (a window's own paintEvent, an
// image in a test). Rows are whole pixel rows; colours are taken from the palette when called.
namespace Skin {

// The colour of a gradient at fraction t between to (t = 0) and from (t = 1): each component
// is to + rnd((from - to) * t), rounded to the nearest whole number, halves to even.
QColor GradientColor(qint32 from, qint32 to, double t);

// --- painting on any QPainter (size = the panel's pixel size) ---
void PaintToolbarLine(QPainter& p, const QSize& size);   // bottom row in gLineColor
void PaintTopLine(QPainter& p, const QSize& size);       // top row in gLineColor
void PaintDataFrame(QPainter& p, const QSize& size);     // one-pixel frame in gLineColor
// Caption strip: border rows 0 and G (G = gCaptionHeight), gradient rows 1..G-1 from
// gCaptionColorTo to gCaptionColorFrom, side and bottom frame of the whole panel, the caption
// in black centred over the width and within rows 0..G.
void PaintGradientCaption(QPainter& p, const QSize& size, const QString& caption, const QFont& font);
// Its parts, which the editor's caption strips use too: the border rows 0 and G with the
// gradient rows between them over the width; the left and right edges of the panel; the caption
// (none when empty) in black, centred over the width and within rows 0..G.
void PaintCaptionGradient(QPainter& p, int width);
void PaintSideEdges(QPainter& p, const QSize& size);
void PaintCentredCaption(QPainter& p, const QSize& size, const QString& caption, const QFont& font);
// Status bar: the whole panel as a gradient from gStatusColorTo (row 0) to gStatusColorFrom
// (last row), left, right and bottom edges in gLineColor.
void PaintStatusBar(QPainter& p, const QSize& size);
// Gradient rows first..last (inclusive), row first + i of n steps = GradientColor(from, to, i/n);
// n <= 0 paints every row in the 'to' colour.
void PaintGradientRows(QPainter& p, int width, int first, int last, int n, qint32 from, qint32 to);

// --- the routines on painted panels (each adds its drawing and repaints) ---
void DrawToolbarLine(PaintPanel* Pictool);
void DrawTopLine(PaintPanel* Pictool);   // toolbars whose line is along the top edge
void DrawDataFrame(PaintPanel* panel);
void DrawGradientCaption(PaintPanel* panel, const QString& caption);
void DrawStatusBar(PaintPanel* PicStatusBar);

// --- colours of widgets ---
// Back colour of a window, a painted panel (which clears its drawings), a QvScrollBar (its track)
// or any other widget.
void SetBackColor(QWidget* w, qint32 color);
// Colour of a line control: a thin widget filled with the colour.
void SetLineColor(QWidget* line, qint32 color);

// --- the three button colour schemes ---
void ToolbarScheme(QvButton* b);
void DialogScheme(QvButton* b);
void TabScheme(QvButton* b);
// The face colours of a button: at rest, and under the mouse and while pressed.
void SetFaceColors(QvButton* b, qint32 top, qint32 bottom, qint32 activeTop, qint32 activeBottom);

// --- the two standard skin routines (null panels or buttons are skipped) ---
// Pictool = gToolBackColor, window = gFormBackColor, Picdata = gPanelBackColor,
// toolbar line, data frame, toolbar scheme for each button in order.
void ApplySkin(QWidget* window, PaintPanel* Pictool, PaintPanel* Picdata, const QList<QvButton*>& buttons);
// window = gPanelBackColor, Picdata white with a frame, dialog scheme for each button in order.
void ApplyDialogSkin(QWidget* window, PaintPanel* Picdata, const QList<QvButton*>& buttons);

}
