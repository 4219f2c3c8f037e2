#include "core/Mmain.h"

namespace Mmain {
// The login window registers itself here once it exists.
bool ShowLogin() { return false; }
}
