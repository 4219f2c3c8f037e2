#include "core/Palette.h"

#include "core/Modini.h"

#include <QGuiApplication>
#include <QPalette>
#include <cmath>
#include <limits>

namespace Palette {

qint32 gSkinId = 0;

qint32 gCaptionHeight = 0;
qint32 gLineColor = 0;
qint32 gCaptionColorFrom = 0;
qint32 gCaptionColorTo = 0;
qint32 gStatusColorFrom = 0;
qint32 gStatusColorTo = 0;
qint32 gFormBackColor = 0;
qint32 gToolBackColor = 0;
qint32 gPanelBackColor = 0;
qint32 gMenuBarColor1 = 0;
qint32 gMenuBarColor2 = 0;
qint32 gMenuBarColor3 = 0;
qint32 gMenuBarColor4 = 0;
qint32 gButtonColor1 = 0;
qint32 gButtonColor2 = 0;
qint32 gButtonColor3 = 0;
qint32 gButtonColor4 = 0;
qint32 gButtonColor5 = 0;
qint32 gButtonColor6 = 0;
qint32 gButtonColor7 = 0;
qint32 gSelectColor = 0;

namespace {

bool filled = false;

struct Skin {
    qint32 captionHeight, line, captionFrom, captionTo, statusFrom, statusTo, formBack, toolBack, panelBack;
    qint32 menuBar1, menuBar2, menuBar3, menuBar4;
    qint32 button1, button2, button3, button4, button5, button6, button7;
    qint32 select;
};

constexpr Skin kSkins[3] = {
    // 1 金属时代
    {21,         0x00404040, 0x00A0A0A0, 0x00F8F8F8,  0x00A0A0A0, 0x00F0F0F0, 0x00C8C8C8,
     0x00E0E0E0, 0x00F0F0F0, 0x00909090, kSys3DLight, 0x0040D0FF, 0x00404080, 0x00E0E0E0,
     0x00E0E0E0, 0x00FFFFFF, 0x00C6C6C6, 0x00000000,  0x00000080, 0x00000000, 0x00E6E6E6},
    // 2 海洋世界
    {21,         0x009C3801, 0x00F2BA6F,    0x00FFF7EB,  0x00F2BA6F, 0x00FFEDD5, 0x00EED8BA,
     0x00FFEAD0, 0x00FDF1E7, kSysHighlight, kSys3DLight, 0x0090FF90, 0x00006000, 0x00FFEAD0,
     0x00FFEAD0, 0x00FFFFFF, 0x00F2BA6F,    0x00000000,  0x00802000, 0x00000000, 0x00FFF7EB},
    // 3 山野春色
    {21,         0x00004000, 0x0000D080, 0x00C0FFFF, 0x0000D080, 0x00A0FFF0, 0x00E1F1E1,
     0x00A0FFF0, 0x00D0F0F0, 0x00009000, 0x00FFFFFF, 0x00C0E0FF, 0x00800080, 0x00A0FFF0,
     0x00A0FFF0, 0x00FFFFFF, 0x0000E096, 0x00000000, 0x00800080, 0x00000000, 0x00C0FFFF},
};
}

void LoadSkin()
{
    qint32 id = 1;
    if (const auto number = Modini::GetIniNumber(IniKey::SkinId)) {
        const double f = std::floor(*number);
        if (f >= double(std::numeric_limits<qint32>::min()) && f <= double(std::numeric_limits<qint32>::max()))
            id = qint32(f);
    }
    gSkinId = id;
    SetSkinColors(gSkinId);
    if (!filled) {
        // Never leave the windows black: an unusable id at start-up means the first skin.
        gSkinId = 1;
        SetSkinColors(gSkinId);
    }
}

void SetSkinColors(qint32 skinId)
{
    if (skinId < 1 || skinId > 3)
        return;
    const Skin& s = kSkins[skinId - 1];
    gCaptionHeight = s.captionHeight;
    gLineColor = s.line;
    gCaptionColorFrom = s.captionFrom;
    gCaptionColorTo = s.captionTo;
    gStatusColorFrom = s.statusFrom;
    gStatusColorTo = s.statusTo;
    gFormBackColor = s.formBack;
    gToolBackColor = s.toolBack;
    gPanelBackColor = s.panelBack;
    gMenuBarColor1 = s.menuBar1;
    gMenuBarColor2 = s.menuBar2;
    gMenuBarColor3 = s.menuBar3;
    gMenuBarColor4 = s.menuBar4;
    gButtonColor1 = s.button1;
    gButtonColor2 = s.button2;
    gButtonColor3 = s.button3;
    gButtonColor4 = s.button4;
    gButtonColor5 = s.button5;
    gButtonColor6 = s.button6;
    gButtonColor7 = s.button7;
    gSelectColor = s.select;
    filled = true;
}

bool PaletteFilled() { return filled; }

RGBTriple ColorToRGB(qint32 color)
{
    RGBTriple t;
    t.R = qint16(color & 0xFF);
    t.G = qint16(std::trunc(double(color & 0xFFFF) / 256.0));
    t.B = qint16(std::trunc(double(color) / 65536.0));
    return t;
}

qint32 AdjustColor(qint32 color, qint32 delta)
{
    qint64 r = qint64(color & 0xFF) + delta;
    qint64 g = qint64((color / 256) % 256) + delta;
    qint64 b = qint64((color / 65536) % 256) + delta;
    if (delta >= 1) {
        r = std::min<qint64>(r, 255);
        g = std::min<qint64>(g, 255);
        b = std::min<qint64>(b, 255);
    } else if (delta < 0) {
        r = std::max<qint64>(r, 0);
        g = std::max<qint64>(g, 0);
        b = std::max<qint64>(b, 0);
    }
    const qint64 result = g * 256 + r + b * 65536;
    if (result < std::numeric_limits<qint32>::min() || result > std::numeric_limits<qint32>::max())
        return color;
    return qint32(result);
}

QColor ToQColor(qint32 color)
{
    if ((quint32(color) & 0xFF000000u) == 0x80000000u) {
        const QPalette pal = QGuiApplication::palette();
        switch (color & 0xFF) {
        case 0x05: return pal.color(QPalette::Base);              // window
        case 0x08: return pal.color(QPalette::Text);              // window text
        case 0x0D: return pal.color(QPalette::Highlight);         // highlight
        case 0x0E: return pal.color(QPalette::HighlightedText);   // highlight text
        case 0x0F: return pal.color(QPalette::Button);            // button face
        case 0x10: return pal.color(QPalette::Dark);              // button shadow
        case 0x11: return pal.color(QPalette::PlaceholderText);   // grey text
        case 0x12: return pal.color(QPalette::ButtonText);        // button text
        case 0x14: return pal.color(QPalette::Light);             // 3-D highlight
        case 0x15: return pal.color(QPalette::Shadow);            // 3-D dark shadow
        case 0x16: return pal.color(QPalette::Midlight);          // 3-D light
        default: return pal.color(QPalette::Window);
        }
    }
    return QColor(color & 0xFF, (color >> 8) & 0xFF, (color >> 16) & 0xFF);
}

qint32 FromQColor(const QColor& c) { return RGB(c.red(), c.green(), c.blue()); }

}
