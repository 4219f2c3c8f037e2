#include "core/Database.h"

namespace Database {

// Each statement must be safe to run again (IF NOT EXISTS) and also be in
// data/schema.sql for new databases; an existing data.db gets the missing ones
// when the program opens it. Append, never edit a released line.
QStringList SchemaAdditions()
{
    return {
        QStringLiteral("CREATE INDEX IF NOT EXISTS reports_rpdate ON reports(rpdate)"),
        // The workload statistics, answered from the index alone.
        QStringLiteral("CREATE INDEX IF NOT EXISTS reports_stats ON reports(rpdate, obligate5, brname, times, "
                       "utpatientid, rpdr, sectionoffice)"),
    };
}

}
