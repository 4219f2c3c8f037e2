#pragma once

// The query and statistics windows in the opener table (core/Openers.h).
namespace QueryOpeners {
// Registers Frmfind (the main window's 查询报告 command) and FrmTJ (its 统计报告
// command). Called at start-up.
void registerAll();
}
