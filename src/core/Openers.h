#pragma once
#include <QList>
#include <QString>
#include <functional>

// How a command opens a window that a higher layer owns. Each window is known
// by an id named after its class; the subsystem that owns it puts its opener
// into this table at start-up (the editor's EditorOpeners::registerAll()), so
// core never links the windows it opens. Every window is registered before
// start-up (registerWindows()); a command whose window is missing from the
// table is a programming error, which tests/core/tst_commands catches.
namespace Openers {

enum class Window {
    DataRecord,     // the report editor
    Frmreport,      // the report preview
    Frmprintset,    // report print settings
    FrmfindGrid,    // grid print settings
    FrmComset,      // the foot switch's port
    FrmdcmConv,     // DICOM conversion settings
    FrmdcmSend,     // DICOM send settings
    FrmJCdoctor,    // users
    FrmJCsection,   // sections
    FrmJCbgdc,      // requesting physicians
    Frmbgxm,        // report items
    FrmMBpart,      // template body parts
    FrmMBassort,    // template kinds
    Frmck,          // phrases
    FrmMBmanager,   // the template manager
    Frmfind,        // the report query
    FrmTJ,          // statistics
};

// How a window is opened, where it has an opening property.
enum class How {
    Plain,        // no opening property
    New,          // DataRecord: a new report
    View,         // DataRecord: the main list's row, read-only
    Modify,       // DataRecord: the main list's row, editable
    FromMain,     // Frmreport: OpenStatus "frmmain"
    FromEditor,   // Frmreport: OpenStatus "datarecord"
    Load,         // FrmMBmanager: pick a template for the editor
    Insert,       // FrmMBmanager: offer the editor's texts as a template
};

// The window's class name and the opening's text ("" for Plain; "new",
// "view", "modify", "frmmain", "datarecord", "load", "insert"), for messages,
// logs and the windows that keep the text as their opening property.
QString name(Window window);
QString name(How how);

using Opener = std::function<void(How how)>;

// Registers the opener of a window, replacing an earlier one; an empty
// function removes it.
void setOpener(Window window, Opener opener);
// The windows registered.
QList<Window> registered();
// Opens a window through its opener. A window nobody registered is reported
// as the programming error it is: a warning in the log ("no window registered
// as ...") and a critical message box, so the command never fails silently.
void open(Window window, How how = How::Plain);

// The commands of the lower layers, by what they do.

// Report editor (DataRecord).
void EditorNewReport();                     // the editor side of the main window's new-report command
void EditorOpenFromMainList(bool modify);   // view (false) or modify (true) the main list's current row

// Report printing.
void OpenPreview(How openStatus);   // Frmreport, FromMain or FromEditor
void OpenPrintSettings();           // Frmprintset
void OpenGridPrintSettings();       // FrmfindGrid

// Imaging settings dialogs.
void OpenComset();    // FrmComset
void OpenDcmConv();   // FrmdcmConv
void OpenDcmSend();   // FrmdcmSend

// Reference data and templates: FrmJCdoctor, FrmJCsection, FrmJCbgdc, Frmbgxm,
// FrmMBpart, FrmMBassort or Frmck.
void OpenMaintenance(Window window);
void OpenTemplateManager();   // FrmMBmanager for maintenance

// Query and statistics.
void OpenFind();         // Frmfind
void OpenStatistics();   // FrmTJ

// The main list's current report, which the view, modify and print commands
// of the main window act on. Only this is offered: the list itself belongs to
// the main window, which keeps it in step with the report store.
struct ListedReport {
    bool empty = true;   // no current report: the list is empty, or no main window is open
    QString key;         // 序号 (ctid), as the list shows it
    QString owner;       // 检查医师 (rpdr)
};
ListedReport MainListCurrent();
// Registered by the main window while it is open; an empty function removes it.
void SetMainListSource(std::function<ListedReport()> source);
}
