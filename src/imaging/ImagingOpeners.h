#pragma once

// The imaging windows in the opener table (core/Openers.h).
namespace ImagingOpeners {
// Registers FrmdcmConv and FrmdcmSend, the main window's two DICOM settings
// commands. Called at start-up.
void registerAll();
}
