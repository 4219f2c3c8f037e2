// The editor side of the main window's new, view and modify commands.
#include "core/Openers.h"
#include "editor/DataRecord.h"
#include "editor/ReportLoader.h"

namespace Openers {

void EditorNewReport()
{
    DataRecord& ed = DataRecord::instance();
    ed.ensureLoaded();
    for (QWidget* w : ed.inputControls())
        w->setEnabled(true);
    for (QvButton* b : {ed.ButtnNew, ed.ButtnEnable, ed.ButtnDel, ed.ButtnPrint})
        b->setEnabled(false);
    ed.setViewSytle(QStringLiteral("1"));
    ed.setUpdateTable(true);
    ed.setSavebj(QStringLiteral("insert"));
    ed.setUpdateId(QString());
    ed.showModally();
}

void EditorOpenFromMainList(bool modify)
{
    if (modify)
        ReportLoader::ModifyFromMainList();
    else
        ReportLoader::ViewFromMainList();
}
}
