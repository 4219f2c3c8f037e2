#pragma once
#include <QString>
#include <functional>

class QTableView;

// How a command opens a window that a higher layer owns. Each window is known
// by its design name ("DataRecord", "Frmreport", "FrmJCdoctor" …); the
// subsystem that owns it puts its opener into this table at start-up (the
// editor's EditorOpeners::registerAll()), so core never links the windows it
// opens. A window nobody registered shows the "not yet" notice instead.
namespace Openers {

// Opens one window. `how` is the window's opening property where it has one:
// the OpenStatus of Frmreport, "new", "view" or "modify" for DataRecord;
// otherwise empty.
using Opener = std::function<void(const QString& how)>;

// Registers the opener of a window, replacing the placeholder or an earlier
// opener; an empty function puts the placeholder back.
void setOpener(const QString& window, Opener opener);
bool hasOpener(const QString& window);
// Opens a window through its opener, or shows the "not yet" notice.
void open(const QString& window, const QString& how = QString());

// The commands of the lower layers, by what they do.

// Report editor (DataRecord).
void EditorNewReport();                     // the editor side of the main window's new-report command
void EditorOpenFromMainList(bool modify);   // view (false) or modify (true) the main list's current row

// Report printing.
void OpenPreview(const QString& openStatus);   // Frmreport, "frmmain" or "datarecord"
void OpenPrintSettings();                      // Frmprintset
void OpenGridPrintSettings();                  // FrmfindGrid

// Imaging settings dialogs.
void OpenComset();    // FrmComset
void OpenDcmConv();   // FrmdcmConv
void OpenDcmSend();   // FrmdcmSend

// Reference data and templates; name is the window class name
// ("FrmJCdoctor", "FrmJCsection", "FrmJCbgdc", "Frmbgxm", "FrmMBpart", "FrmMBassort", "Frmck").
void OpenMaintenance(const QString& name);
void OpenTemplateManager();   // FrmMBmanager for maintenance

// Query and statistics.
void OpenFind();         // Frmfind
void OpenStatistics();   // FrmTJ

// The main window's report list, registered by the main window while it is open.
QTableView* MainReportList();
void SetMainReportList(QTableView* grid);

// The information box shown by a command whose window is not available.
void NotAvailable(const QString& what);
// What that box calls a window: the menu command that opens it (the window's
// own name for a window without one).
QString PlaceholderCaption(const QString& window);
}
