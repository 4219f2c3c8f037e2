#pragma once

// The report printing windows in the opener table (core/Openers.h).
namespace ReportOpeners {
// Registers FrmfindGrid, the grid print settings. Called at start-up.
void registerAll();
}
