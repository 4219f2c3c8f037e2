#include "core/Palette.h"

namespace Palette {
void LoadSkin() {}
}
