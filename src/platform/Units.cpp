#include "platform/Units.h"

#include <cmath>

namespace Units {
double roundEven(double v) { return std::nearbyint(v); }
int whole(double v) { return int(roundEven(v)); }
int px(double twips) { return whole(twips / kTwipsPerPixel); }
QRect pxRect(int left, int top, int width, int height) { return QRect(px(left), px(top), px(width), px(height)); }
}
