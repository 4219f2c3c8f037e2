#pragma once
#include <QColor>
#include <QtGlobal>

// The colour theme shared by every window: a caption height and twenty colours,
// chosen as a whole by the skin id 1 ("金属时代"), 2 ("海洋世界") or 3 ("山野春色").
//
// Usage:
//   using namespace Palette;
//   QColor c = ToQColor(gLineColor);              // 0x00BBGGRR (or a system colour) -> QColor
//   qint32 lighter = AdjustColor(gCaptionColorFrom, 30);
//   RGBTriple t = ColorToRGB(gCaptionColorTo);     // split into R, G, B
//   // skin switch of the main window:
//   gSkinId = id; SetSkinColors(gSkinId); ...then run the window's skin routine again.
//
// Colour values are 0x00BBGGRR (red in the lowest byte). Two entries may hold a system
// colour reference (high byte 0x80, low byte the system colour index); ToQColor resolves
// those through the application's QPalette.
namespace Palette {

struct RGBTriple {
    qint16 R = 0;
    qint16 G = 0;
    qint16 B = 0;
};

// The current skin id (1..3 once a skin is loaded).
extern qint32 gSkinId;

// The palette, in storage order. Zero until the first skin is loaded.
extern qint32 gCaptionHeight;      // pixels: caption strips and list-grid header rows
extern qint32 gLineColor;          // lines and frames
extern qint32 gCaptionColorFrom;   // bottom row of a caption gradient
extern qint32 gCaptionColorTo;     // top row of a caption gradient
extern qint32 gStatusColorFrom;    // bottom row of a status-bar gradient
extern qint32 gStatusColorTo;      // top row of a status-bar gradient
extern qint32 gFormBackColor;      // windows with a toolbar
extern qint32 gToolBackColor;      // toolbar panels, main window, login window
extern qint32 gPanelBackColor;     // data panels, dialogs
extern qint32 gMenuBarColor1;
extern qint32 gMenuBarColor2;
extern qint32 gMenuBarColor3;
extern qint32 gMenuBarColor4;
extern qint32 gButtonColor1;
extern qint32 gButtonColor2;
extern qint32 gButtonColor3;
extern qint32 gButtonColor4;
extern qint32 gButtonColor5;
extern qint32 gButtonColor6;
extern qint32 gButtonColor7;
extern qint32 gSelectColor;   // the selected statistics button

// System colour references that may appear in the palette.
inline constexpr qint32 kSysHighlight = qint32(0x8000000D);
inline constexpr qint32 kSys3DLight = qint32(0x80000016);
inline constexpr qint32 kSysButtonShadow = qint32(0x80000010);
inline constexpr qint32 kSysButtonFace = qint32(0x8000000F);

// Reads [system] skinid from options.ini and fills the palette. A missing, empty or
// non-numeric value selects skin 1; so does an id outside 1..3 while no skin has been
// loaded yet. After a skin has been loaded, an id outside 1..3 leaves the palette as it is.
void LoadSkin();

// Fills the whole palette for skin 1, 2 or 3; any other id changes nothing.
void SetSkinColors(qint32 skinId);

// True once SetSkinColors has filled the palette at least once.
bool PaletteFilled();

// Splits a colour into its components (system references are not resolved).
RGBTriple ColorToRGB(qint32 color);

// Adds delta to each component; clamps at 255 for a positive delta and at 0 for a
// negative one.
qint32 AdjustColor(qint32 color, qint32 delta);

// Builds a colour value from components (each taken modulo 256).
constexpr qint32 RGB(int r, int g, int b) { return qint32((r & 0xFF) | ((g & 0xFF) << 8) | ((b & 0xFF) << 16)); }

// The QColor a colour value stands for; system references through the application palette.
QColor ToQColor(qint32 color);

// The colour value of a QColor (alpha ignored).
qint32 FromQColor(const QColor& c);
}
