#include "RegisterWindows.h"

#include "editor/EditorOpeners.h"
#include "report/ReportOpeners.h"

void registerWindows()
{
    // Each upper layer registers its windows here (refdata and query to come).
    ReportOpeners::registerAll();
    EditorOpeners::registerAll();
}
