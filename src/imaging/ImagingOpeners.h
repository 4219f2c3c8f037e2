#pragma once

// Puts the imaging windows that lower layers open by name into the opener
// table (core/Openers.h); called once at start-up.
namespace ImagingOpeners {
void registerAll();
}
