#include "core/SkinPaint.h"

#include "core/QvScrollBar.h"

#include <QFontMetrics>
#include <cmath>

using namespace Palette;

namespace Skin {

namespace {
QColor lineColor() { return ToQColor(gLineColor); }

int component(int to, int diff, double t) { return to + int(std::nearbyint(double(diff) * t)); }

// The left, right and bottom edges of a panel in the line colour.
void sidesAndBottom(QPainter& p, const QSize& size)
{
    PaintSideEdges(p, size);
    p.fillRect(QRect(0, size.height() - 1, size.width(), 1), lineColor());
}

// Widgets without a back colour of their own take it through their palette; a line control
// also draws in it.
void fillThroughPalette(QWidget* w, qint32 color, bool alsoText)
{
    QPalette pal = w->palette();
    pal.setColor(QPalette::Window, ToQColor(color));
    if (alsoText)
        pal.setColor(QPalette::WindowText, ToQColor(color));
    w->setPalette(pal);
    w->setAutoFillBackground(true);
    w->update();
}

// The border and text colours every button scheme starts with; `active` is the text under
// the mouse and while pressed.
void setFrameAndText(QvButton* b, qint32 active)
{
    b->setColor(ButtonProp::BorderColor, gLineColor);
    b->setColor(ButtonProp::HoverForeColor, active);
    b->setColor(ButtonProp::DownForeColor, active);
    b->setColor(ButtonProp::ForeColor, gButtonColor5);
}
}

QColor GradientColor(qint32 from, qint32 to, double t)
{
    const RGBTriple f = ColorToRGB(from);
    const RGBTriple s = ColorToRGB(to);
    const int r = component(s.R, f.R - s.R, t);
    const int g = component(s.G, f.G - s.G, t);
    const int b = component(s.B, f.B - s.B, t);
    return QColor(std::clamp(r, 0, 255), std::clamp(g, 0, 255), std::clamp(b, 0, 255));
}

void PaintGradientRows(QPainter& p, int width, int first, int last, int n, qint32 from, qint32 to)
{
    for (int y = first; y <= last; ++y) {
        const double t = n > 0 ? double(y - first) / double(n) : 0.0;
        p.fillRect(QRect(0, y, width, 1), GradientColor(from, to, t));
    }
}

void PaintToolbarLine(QPainter& p, const QSize& size)
{
    p.fillRect(QRect(0, size.height() - 1, size.width(), 1), lineColor());
}

void PaintTopLine(QPainter& p, const QSize& size) { p.fillRect(QRect(0, 0, size.width(), 1), lineColor()); }

void PaintDataFrame(QPainter& p, const QSize& size)
{
    const int w = size.width(), h = size.height();
    const QColor c = lineColor();
    p.fillRect(QRect(0, 0, w, 1), c);       // top
    p.fillRect(QRect(0, 0, 1, h - 1), c);   // left, ends above the last row
    p.fillRect(QRect(0, h - 1, w, 1), c);   // bottom
    p.fillRect(QRect(w - 1, 0, 1, h), c);   // right
}

void PaintCaptionGradient(QPainter& p, int width)
{
    const int g = gCaptionHeight;
    const QColor c = lineColor();
    p.fillRect(QRect(0, 0, width, 1), c);
    p.fillRect(QRect(0, g, width, 1), c);
    // Rows 1..G-1; with G = 2 the single row is the 'from' colour (t = 1).
    for (int y = 1; y <= g - 1; ++y) {
        const double t = g - 1 > 0 ? double(y) / double(g - 1) : 1.0;
        p.fillRect(QRect(0, y, width, 1), GradientColor(gCaptionColorFrom, gCaptionColorTo, t));
    }
}

void PaintSideEdges(QPainter& p, const QSize& size)
{
    const QColor c = lineColor();
    p.fillRect(QRect(0, 0, 1, size.height()), c);
    p.fillRect(QRect(size.width() - 1, 0, 1, size.height()), c);
}

void PaintCentredCaption(QPainter& p, const QSize& size, const QString& caption, const QFont& font)
{
    if (caption.isEmpty())
        return;
    const QFontMetrics fm(font);
    const int x = int(std::nearbyint((size.width() - fm.horizontalAdvance(caption)) / 2.0));
    const int y = int(std::nearbyint((gCaptionHeight - fm.height()) / 2.0));
    p.setFont(font);
    p.setPen(Qt::black);
    p.drawText(QPoint(x, y + fm.ascent()), caption);
}

void PaintGradientCaption(QPainter& p, const QSize& size, const QString& caption, const QFont& font)
{
    PaintCaptionGradient(p, size.width());
    sidesAndBottom(p, size);
    PaintCentredCaption(p, size, caption, font);
}

void PaintStatusBar(QPainter& p, const QSize& size)
{
    const int w = size.width(), h = size.height();
    if (h <= 0)
        return;
    PaintGradientRows(p, w, 0, h - 1, h - 1, gStatusColorFrom, gStatusColorTo);
    sidesAndBottom(p, size);
}

void DrawToolbarLine(PaintPanel* Pictool)
{
    if (Pictool)
        Pictool->setDrawing(QStringLiteral("toolbarline"),
                            [](QPainter& p, const QSize& s, const QFont&) { PaintToolbarLine(p, s); });
}

void DrawTopLine(PaintPanel* Pictool)
{
    if (Pictool)
        Pictool->setDrawing(QStringLiteral("topline"),
                            [](QPainter& p, const QSize& s, const QFont&) { PaintTopLine(p, s); });
}

void DrawDataFrame(PaintPanel* panel)
{
    if (panel)
        panel->setDrawing(QStringLiteral("frame"),
                          [](QPainter& p, const QSize& s, const QFont&) { PaintDataFrame(p, s); });
}

void DrawGradientCaption(PaintPanel* panel, const QString& caption)
{
    if (panel)
        panel->setDrawing(QStringLiteral("caption"), [caption](QPainter& p, const QSize& s, const QFont& f) {
            PaintGradientCaption(p, s, caption, f);
        });
}

void DrawStatusBar(PaintPanel* PicStatusBar)
{
    if (PicStatusBar)
        PicStatusBar->setDrawing(QStringLiteral("statusbar"),
                                 [](QPainter& p, const QSize& s, const QFont&) { PaintStatusBar(p, s); });
}

void SetBackColor(QWidget* w, qint32 color)
{
    if (!w)
        return;
    if (auto* panel = qobject_cast<PaintPanel*>(w)) {
        panel->setBackColor(color);
        return;
    }
    if (auto* bar = qobject_cast<QvScrollBar*>(w)) {
        bar->setBackColor(color);
        return;
    }
    fillThroughPalette(w, color, false);
}

void SetLineColor(QWidget* line, qint32 color)
{
    if (!line)
        return;
    if (auto* panel = qobject_cast<PaintPanel*>(line))
        panel->setBackColor(color);
    else
        fillThroughPalette(line, color, true);
}

void SetFaceColors(QvButton* b, qint32 top, qint32 bottom, qint32 activeTop, qint32 activeBottom)
{
    if (!b)
        return;
    b->setColor(ButtonProp::FaceTop, top);
    b->setColor(ButtonProp::FaceBottom, bottom);
    b->setColor(ButtonProp::HoverTop, activeTop);
    b->setColor(ButtonProp::DownTop, activeTop);
    b->setColor(ButtonProp::HoverBottom, activeBottom);
    b->setColor(ButtonProp::DownBottom, activeBottom);
}

void ToolbarScheme(QvButton* b)
{
    if (!b)
        return;
    setFrameAndText(b, gButtonColor6);
    SetFaceColors(b, gButtonColor1, gButtonColor2, gButtonColor3, gButtonColor4);
    b->setColor(ButtonProp::FocusColor, gButtonColor7);
}

void DialogScheme(QvButton* b)
{
    if (!b)
        return;
    setFrameAndText(b, gButtonColor6);
    SetFaceColors(b, gButtonColor3, gButtonColor4, gButtonColor4, gButtonColor3);
}

void TabScheme(QvButton* b)
{
    if (b)
        setFrameAndText(b, gButtonColor5);
}

void ApplySkin(QWidget* window, PaintPanel* Pictool, PaintPanel* Picdata, const QList<QvButton*>& buttons)
{
    SetBackColor(Pictool, gToolBackColor);
    SetBackColor(window, gFormBackColor);
    SetBackColor(Picdata, gPanelBackColor);
    DrawToolbarLine(Pictool);
    DrawDataFrame(Picdata);
    for (QvButton* b : buttons)
        ToolbarScheme(b);
}

void ApplyDialogSkin(QWidget* window, PaintPanel* Picdata, const QList<QvButton*>& buttons)
{
    SetBackColor(window, gPanelBackColor);
    SetBackColor(Picdata, 0x00FFFFFF);
    DrawDataFrame(Picdata);
    for (QvButton* b : buttons)
        DialogScheme(b);
}

}
