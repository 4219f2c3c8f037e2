#include "core/Database.h"

namespace Database {

// Each statement must be safe to run again (IF NOT EXISTS) and also be in
// data/schema.sql for new databases; an existing data.db gets the missing ones
// when the program opens it. Append, never edit a released line.
QStringList SchemaAdditions()
{
    return {
        QStringLiteral("CREATE INDEX IF NOT EXISTS reports_rpdate ON reports(rpdate)"),
        // The report query's conditions: equal numbers, and every condition column
        // in one index so that a query never reads a row it does not show.
        QStringLiteral("CREATE INDEX IF NOT EXISTS reports_inpatientid ON reports(inpatientid)"),
        QStringLiteral("CREATE INDEX IF NOT EXISTS reports_obligate3 ON reports(obligate3)"),
        QStringLiteral("CREATE INDEX IF NOT EXISTS reports_find ON reports(pgdate, brname, sex, age, sectionoffice, "
                       "part, rpdr, checkname, inpatientid, obligate3, obligate5, checkconclusion, checksymptom)"),
        // The workload statistics, answered from the index alone.
        QStringLiteral("CREATE INDEX IF NOT EXISTS reports_stats ON reports(rpdate, obligate5, brname, times, "
                       "utpatientid, rpdr, sectionoffice)"),
    };
}

}
