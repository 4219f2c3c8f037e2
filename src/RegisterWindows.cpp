#include "RegisterWindows.h"

#include "editor/EditorOpeners.h"
#include "refdata/RefdataOpeners.h"
#include "report/ReportOpeners.h"

void registerWindows()
{
    // Each upper layer registers its windows here (query to come).
    ReportOpeners::registerAll();
    EditorOpeners::registerAll();
    RefdataOpeners::registerAll();
}
