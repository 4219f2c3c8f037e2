#pragma once
#include <QString>

class QTableView;

// How windows of one subsystem open windows of another. Each function is
// defined by the subsystem that owns the window.
namespace Openers {

// Report editor (DataRecord).
void EditorNewReport();                  // the editor side of the main window's new-report command
void EditorOpenFromMainList(bool modify); // view (false) or modify (true) the main list's current row

// Report printing.
void OpenPreview(const QString& openStatus);   // Frmreport, "frmmain" or "datarecord"
void OpenPrintSettings();                      // Frmprintset
void OpenGridPrintSettings();                  // FrmfindGrid

// Imaging settings dialogs.
void OpenComset();     // FrmComset
void OpenDcmConv();    // FrmdcmConv
void OpenDcmSend();    // FrmdcmSend

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
}
