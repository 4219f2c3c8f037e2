// The report printing windows that other layers open by name.
#include "report/ReportOpeners.h"

#include "core/Openers.h"
#include "platform/Opener.h"
#include "report/FrmfindGrid.h"

namespace ReportOpeners {
void registerAll()
{
    // The query and statistics windows' print-settings buttons.
    Openers::setOpener(QStringLiteral("FrmfindGrid"), [](const QString&) {
        FrmfindGrid& dialog = FrmfindGrid::instance();
        dialog.Form_Load();
        Opener::showModal(&dialog);
    });
}
}
