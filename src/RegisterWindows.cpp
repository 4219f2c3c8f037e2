#include "RegisterWindows.h"

#include "editor/EditorOpeners.h"
#include "imaging/ImagingOpeners.h"
#include "report/ReportOpeners.h"

void registerWindows()
{
    // Each upper layer registers its windows here (refdata and query to come).
    ImagingOpeners::registerAll();
    EditorOpeners::registerAll();
    ReportOpeners::registerAll();
}
