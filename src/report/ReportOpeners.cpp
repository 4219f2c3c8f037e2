// The print preview and the print layout settings, opened by the main window and the editor.
#include "report/ReportOpeners.h"

#include "core/Openers.h"
#include "report/Frmprintset.h"
#include "report/Frmreport.h"

namespace ReportOpeners {
void registerAll()
{
    Openers::setOpener(QStringLiteral("Frmreport"), [](const QString& how) {
        Frmreport& w = Frmreport::instance();
        w.setOpenStatus(how);
        w.showModally();
    });
    Openers::setOpener(QStringLiteral("Frmprintset"), [](const QString&) { Frmprintset::instance().showModally(); });
}
}
