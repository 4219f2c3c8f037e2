#pragma once

// The report printing windows in the opener table (core/Openers.h).
namespace ReportOpeners {
// Registers Frmreport (the opening property is its OpenStatus: "frmmain" or
// "datarecord") and Frmprintset. Called at start-up.
void registerAll();
}
