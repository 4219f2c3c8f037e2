#pragma once

// The report printing windows in the opener table (core/Openers.h).
namespace ReportOpeners {
// Registers Frmreport (the opening property is its OpenStatus: "frmmain" or
// "datarecord"), Frmprintset and FrmfindGrid, the grid print settings. Called at start-up.
void registerAll();
}
