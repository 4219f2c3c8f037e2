#pragma once

// The colour palette of the three skins.
namespace Palette {
// Reads skinid from options.ini and fills the palette.
void LoadSkin();
}
