#pragma once

// The imaging windows in the opener table (core/Openers.h).
namespace ImagingOpeners {
// Registers FrmdcmConv, FrmdcmSend and FrmComset, the main window's DICOM and
// foot-switch settings commands. Called at start-up.
void registerAll();
}
