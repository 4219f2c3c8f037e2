#pragma once

// The query windows in the opener table (core/Openers.h).
namespace QueryOpeners {
// Registers Frmfind, the report query of the main window's 查询报告 command.
// Called at start-up.
void registerAll();
}
