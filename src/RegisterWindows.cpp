#include "RegisterWindows.h"

#include "editor/EditorOpeners.h"
#include "imaging/ImagingOpeners.h"
#include "query/QueryOpeners.h"
#include "refdata/RefdataOpeners.h"
#include "report/ReportOpeners.h"

void registerWindows()
{
    // Each upper layer registers its windows here.
    ImagingOpeners::registerAll();
    ReportOpeners::registerAll();
    EditorOpeners::registerAll();
    RefdataOpeners::registerAll();
    QueryOpeners::registerAll();
}
