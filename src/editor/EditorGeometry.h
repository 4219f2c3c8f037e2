#pragma once
#include <QColor>
#include <QPoint>
#include <QRect>
#include <QVector>

#include "platform/Units.h"

// Layout rules of the report editor as pure functions. Window-level panel
// rectangles are in twips; panel insides are in pixels (15 twips = 1 pixel).
namespace EditorGeometry {

using Units::kTwipsPerPixel;
using Units::px;       // nearest pixel, halves to even
using Units::pxRect;   // twips rectangle to pixels
using Units::whole;    // nearest integer, halves to even

// Load on a tall screen: panels move down by d pixels, report boxes grow by half.
struct TallScreen {
    int d = 0;
    int half = 0;
};
TallScreen TallScreenDelta(int screenHeightPx);

// Quick-phrase buttons (twips): positions of count buttons of one size.
int PhraseAvailableWidth(int layoutMode, int screenWidthPx, int picdataWidthTw, int rptWidthTw);
int PhraseButtonsPerRow(int availableTw, int buttonWidthTw);   // at least 1
QVector<QPoint> PhraseButtonPositions(int count, int availableTw, int buttonWidthTw, int buttonHeightTw);

// Form_Resize: the window-level panels (twips).
struct Panels {
    QRect Picpic, Picdata2, Picdata, RptPictureBox, Pictitle;
    int PicbottomHeight = 495;
};
struct WindowSize {
    int outerWidth = 0, outerHeight = 0;   // twips, with the frame
    int scaleWidth = 0, scaleHeight = 0;   // twips, client area
};
void FormResizePanels(Panels& p, const WindowSize& w, int layoutMode, int pageFlag);

// The video area inside Picpic (pixels).
struct VideoArea {
    int width = 0, height = 0;   // PicVideo
    int vfwWidth = 0, vfwHeight = 0;
    int buttonsLeft = 0;   // BVidOn .. BVidavi
};
VideoArea VideoAreaFor(int picpicWidthPx, int picpicHeightPx, int picycHeightPx, int bvidOnWidthPx);

// Picdata2_Resize (pixels): whether the side panel follows the page's height.
bool SidePanelFollowsHeight(int picmcRectTopPx, int pageHeightPx);

// ShowViewPanels: where the capture store goes (twips for Picyc, pixels inside).
struct StorePlacement {
    QRect picyc;           // twips, window coordinates
    int picyc2Width = 0;   // pixels
    int picyc3Left = 0;    // pixels
};
StorePlacement PlaceStore(int page, const QRect& pageRect, int picmcRectTopPx, int picmcRectHeightTw,
                          int picVideoWidthPx);

// Gradient colour of row i of n: To + (From - To) * i / n, halves to even.
// n <= 0 gives From (a strip too low for a gradient).
QColor GradientColor(const QColor& from, const QColor& to, int i, int n);
}
