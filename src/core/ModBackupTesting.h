#pragma once
// What tests do to a backup while it is being restored.
#include <QtGlobal>

#include <functional>

namespace ModBackup {
// Called while a backup is copied: with 0 before the file is opened (for a
// restore, after the backup was looked at), then after each part with the
// bytes copied so far.
// Tests change or replace the backup here. An empty function: none.
void setCopyHook(std::function<void(qint64 copied)> hook);
}
