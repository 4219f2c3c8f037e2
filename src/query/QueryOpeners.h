#pragma once

// The query and statistics windows in the opener table (core/Openers.h).
namespace QueryOpeners {
// Registers FrmTJ, opened by the main window's 统计报告 command. Called at start-up.
void registerAll();
}
