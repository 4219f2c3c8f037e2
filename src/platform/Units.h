#pragma once
#include <QRect>

// Lengths on the screen. Window layouts are given in twips, 1440 to the inch,
// so 15 twips to the pixel at 96 dpi; a length in twips becomes the nearest
// whole pixel, halves going to the even neighbour, here and nowhere else.
namespace Units {
constexpr int kTwipsPerInch = 1440;
constexpr int kScreenDpi = 96;
constexpr int kTwipsPerPixel = kTwipsPerInch / kScreenDpi;

// The nearest whole number, halves to the even neighbour (std::nearbyint; not qRound).
double roundEven(double v);
int whole(double v);

// A length in twips as the nearest whole pixel.
int px(double twips);
// A rectangle in twips as pixels.
QRect pxRect(int left, int top, int width, int height);
// A length in pixels as twips (exact).
constexpr int twips(int pixels) { return pixels * kTwipsPerPixel; }

// Puts a control at its place given in twips; returns it.
template <class W>
W* place(W* w, int left, int top, int width, int height)
{
    w->setGeometry(pxRect(left, top, width, height));
    return w;
}
}
