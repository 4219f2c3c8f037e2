#pragma once
#include <functional>

class QDialog;

// Shows a window modally. Tests replace the hook to record the call and
// answer without entering a modal loop.
namespace Opener {
using Hook = std::function<int(QDialog*)>;
int showModal(QDialog* window);
void setHook(Hook hook);   // an empty hook restores the real exec()
}
