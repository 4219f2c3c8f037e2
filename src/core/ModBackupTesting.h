#pragma once
// What tests do to a backup or restore while it runs.
#include "core/ModBackup.h"

#include <utility>

namespace ModBackup {
// Called at each step a backup or restore reaches (internal::Step), in the
// process that runs it: tests change or replace the backup there, or end the
// process at a known point. An empty function: none.
inline void setStepHook(internal::StepHook hook) { internal::stepHook() = std::move(hook); }
}
