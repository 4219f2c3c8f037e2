#include "core/FrmMainSkin.h"

#include <QPainter>
#include <cmath>

namespace FrmMainSkin {

namespace {
int gSkin = 1;
int rnd(double v) { return int(std::nearbyint(v)); }
}

int SkinId() { return gSkin; }
int CaptionHeight() { return 21; }
QColor LineColor() { return QColor(0x40, 0x40, 0x40); }
QColor CaptionColorFrom() { return QColor(0xA0, 0xA0, 0xA0); }
QColor CaptionColorTo() { return QColor(0xF8, 0xF8, 0xF8); }
QColor StatusColorFrom() { return QColor(0xA0, 0xA0, 0xA0); }
QColor StatusColorTo() { return QColor(0xF0, 0xF0, 0xF0); }
QColor ToolBackColor() { return QColor(0xE0, 0xE0, 0xE0); }
void SetSkin(int id) { gSkin = id; }
void AttachMenuSkin(QWidget*) {}
void DetachMenuSkin(QWidget*) {}

void DrawStatusBar(QPainter& p, const QSize& size, const QColor& from, const QColor& to, const QColor& line)
{
    const int w = size.width();
    const int h = size.height();
    const int dR = from.red() - to.red(), dG = from.green() - to.green(), dB = from.blue() - to.blue();
    const int n = h - 1;
    for (int i = 0; i <= n; ++i) {
        const double t = h > 1 ? double(i) / double(h - 1) : 0.0;
        p.setPen(QColor(to.red() + rnd(dR * t), to.green() + rnd(dG * t), to.blue() + rnd(dB * t)));
        p.drawLine(0, i, w, i);
    }
    p.setPen(line);
    p.drawLine(0, 0, 0, h);
    p.drawLine(w - 1, 0, w - 1, h);
    p.drawLine(0, h - 1, w, h - 1);
}

void DrawTitleStrip(QPainter& p, const QSize& size, const QColor& from, const QColor& to, const QColor& line)
{
    const int w = size.width();
    const int h = size.height();
    const int dR = from.red() - to.red(), dG = from.green() - to.green(), dB = from.blue() - to.blue();
    const int n = h - 2;
    for (int i = 1; i <= n; ++i) {
        const double t = double(i) / double(n);
        p.setPen(QColor(to.red() + rnd(dR * t), to.green() + rnd(dG * t), to.blue() + rnd(dB * t)));
        p.drawLine(0, i, w, i);
    }
    p.setPen(line);
    p.drawLine(0, h - 1, w, h - 1);
}
}
