#include "RegisterWindows.h"

#include "editor/EditorOpeners.h"
#include "query/QueryOpeners.h"

void registerWindows()
{
    // Each upper layer registers its windows here (refdata to come).
    EditorOpeners::registerAll();
    QueryOpeners::registerAll();
}
