// The report printing windows that other layers open by name.
#include "report/ReportOpeners.h"

#include "core/Openers.h"
#include "platform/Environment.h"
#include "platform/Opener.h"
#include "report/FrmfindGrid.h"
#include "report/Frmprintset.h"
#include "report/Frmreport.h"
#include "report/ProgramPrinter.h"
#include "report/PrintQueue.h"
#include "report/PrinterBackend.h"

namespace ReportOpeners {
void registerAll()
{
    // Pages of a print that a killed program left in the spool folder go at the next start.
    PrintQueue::removeStaleSpoolFiles(SystemPrinterBackend().spoolFolder());
    // Whether any printer is installed is asked through the program's printers, whose every
    // question to the print service has a deadline.
    Environment::setPrinterLister([] { return !ProgramPrinter::instance().printerNames().isEmpty(); });
    // The main window's print commands that find no printer ask whether the print service runs at all.
    Openers::setPrintServiceDown([]() -> std::optional<QString> {
        const std::optional<PrintQueue::Outage> down = ProgramPrinter::backend().serviceDown();
        return down ? std::optional(PrintQueue::noPrinterText(QString(), down)) : std::nullopt;
    });
    // The main window's print command and the editor's print button.
    using Openers::Window;
    Openers::setOpener(Window::Frmreport, [](Openers::How how, const Openers::ListedReport& report) {
        Frmreport& w = Frmreport::instance();
        w.setOpenStatus(Openers::name(how));
        w.setReportKey(report.key);
        w.showModally();
    });
    // The main window's print settings menu item.
    Openers::setOpener(Window::Frmprintset, [](Openers::How) { Frmprintset::instance().showModally(); });
    // The query and statistics windows' print-settings buttons.
    Openers::setOpener(Window::FrmfindGrid, [](Openers::How) {
        FrmfindGrid& dialog = FrmfindGrid::instance();
        dialog.Form_Load();
        Opener::showModal(&dialog);
    });
}
}
