#pragma once
#include <QString>
#include <QStringList>
#include <functional>

class QTableView;

// How a command opens a window that a higher layer owns. Each window is known
// by its design name ("DataRecord", "Frmreport", "FrmJCdoctor" …); the
// subsystem that owns it puts its opener into this table at start-up (the
// editor's EditorOpeners::registerAll()), so core never links the windows it
// opens. Every window is registered before start-up (registerWindows()); a
// command whose window is missing from the table is a programming error, which
// tests/core/tst_commands catches.
namespace Openers {

// Opens one window. `how` is the window's opening property where it has one:
// the OpenStatus of Frmreport, "new", "view" or "modify" for DataRecord;
// otherwise empty.
using Opener = std::function<void(const QString& how)>;

// Registers the opener of a window, replacing an earlier one; an empty
// function removes it.
void setOpener(const QString& window, Opener opener);
// The windows registered, by name.
QStringList registered();
// Opens a window through its opener. A window nobody registered is reported
// as the programming error it is: a warning in the log ("no window registered
// as ...") and a critical message box, so the command never fails silently.
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
}
