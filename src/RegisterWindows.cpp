#include "RegisterWindows.h"

#include "editor/EditorOpeners.h"
#include "query/QueryOpeners.h"
#include "report/ReportOpeners.h"

void registerWindows()
{
    // Each upper layer registers its windows here (refdata to come).
    ReportOpeners::registerAll();
    EditorOpeners::registerAll();
    QueryOpeners::registerAll();
}
