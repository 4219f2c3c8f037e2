// The editor side of the main window's new, view and modify commands.
#include "editor/EditorOpeners.h"

#include "core/Openers.h"
#include "editor/DataRecord.h"
#include "editor/ReportLoader.h"
#include "report/Frmreport.h"

namespace {
void newReport()
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
}

namespace EditorOpeners {
void registerAll()
{
    Openers::setOpener(QStringLiteral("DataRecord"), [](const QString& how) {
        if (how == QLatin1String("new"))
            newReport();
        else if (how == QLatin1String("view"))
            ReportLoader::ViewFromMainList();
        else if (how == QLatin1String("modify"))
            ReportLoader::ModifyFromMainList();
    });
    // The preview opened by the editor's print button prints the record open here.
    Frmreport::setEditorKeySource([] { return DataRecord::instance().UpdateIdout(); });
}
}
