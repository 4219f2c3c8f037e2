// The report printing windows that other layers open by name.
#include "report/ReportOpeners.h"

#include "core/Openers.h"
#include "platform/Opener.h"
#include "report/FrmfindGrid.h"
#include "report/Frmprintset.h"
#include "report/Frmreport.h"

namespace ReportOpeners {
void registerAll()
{
    // The main window's print command and the editor's print button.
    Openers::setOpener(QStringLiteral("Frmreport"), [](const QString& how) {
        Frmreport& w = Frmreport::instance();
        w.setOpenStatus(how);
        w.showModally();
    });
    // The main window's print settings menu item.
    Openers::setOpener(QStringLiteral("Frmprintset"), [](const QString&) { Frmprintset::instance().showModally(); });
    // The query and statistics windows' print-settings buttons.
    Openers::setOpener(QStringLiteral("FrmfindGrid"), [](const QString&) {
        FrmfindGrid& dialog = FrmfindGrid::instance();
        dialog.Form_Load();
        Opener::showModal(&dialog);
    });
}
}
