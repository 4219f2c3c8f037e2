#pragma once

// The editor's windows in the opener table (core/Openers.h).
namespace EditorOpeners {
// Registers DataRecord: "new" for the main window's new-report command,
// "view" and "modify" on the main list's current row, and gives the preview
// the record its print button prints. Called at start-up.
void registerAll();
}
