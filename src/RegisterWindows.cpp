#include "RegisterWindows.h"

#include "editor/EditorOpeners.h"
#include "imaging/ImagingOpeners.h"

void registerWindows()
{
    // Each upper layer registers its windows here (refdata and query to come).
    ImagingOpeners::registerAll();
    EditorOpeners::registerAll();
}
