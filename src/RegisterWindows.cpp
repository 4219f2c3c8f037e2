#include "RegisterWindows.h"

#include "editor/EditorOpeners.h"
#include "imaging/ImagingOpeners.h"
#include "refdata/RefdataOpeners.h"
#include "report/ReportOpeners.h"

void registerWindows()
{
    // Each upper layer registers its windows here (query to come).
    ImagingOpeners::registerAll();
    ReportOpeners::registerAll();
    EditorOpeners::registerAll();
    RefdataOpeners::registerAll();
}
