#include "RegisterWindows.h"

#include "editor/EditorOpeners.h"

void registerWindows()
{
    // Each upper layer registers its windows here (refdata and query to come).
    EditorOpeners::registerAll();
}
