#pragma once
#include <QList>
#include <QString>
#include <concepts>
#include <cstddef>
#include <functional>
#include <optional>

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

// The report an opening acts on: the main list's current report for the main
// window's view, modify and print, the editor's record for its print. The
// opening carries it to the window; no window asks another for it.
struct ListedReport {
    bool empty = true;   // no current report: the list is empty
    QString key;         // 序号 (ctid), as the list shows it
    QString owner;       // 检查医师 (rpdr)
};

// A window's opener: a function of the opening's How, or of the How and the
// report it acts on.
class Opener {
public:
    Opener() = default;
    Opener(std::nullptr_t) {}
    template <class F>
    requires std::invocable<F&, How, const ListedReport&> Opener(F f) : run_(std::move(f)) {}
    template <class F>
    requires(std::invocable<F&, How> && !std::invocable<F&, How, const ListedReport&>) Opener(F f)
        : run_([f = std::move(f)](How how, const ListedReport&) mutable { f(how); })
    {}
    explicit operator bool() const { return bool(run_); }
    void operator()(How how, const ListedReport& report) const { run_(how, report); }

private:
    std::function<void(How, const ListedReport&)> run_;
};

// Registers the opener of a window, replacing an earlier one; an empty
// function removes it.
void setOpener(Window window, Opener opener);
// The windows registered.
QList<Window> registered();
// Opens a window through its opener. A window nobody registered is reported
// as the programming error it is: a warning in the log ("no window registered
// as ...") and a critical message box, so the command never fails silently.
void open(Window window, How how = How::Plain, const ListedReport& report = {});

// The commands of the lower layers, by what they do.

// Report editor (DataRecord).
void EditorNewReport();   // the editor side of the main window's new-report command
// View (false) or modify (true) the main list's current report.
void EditorOpenFromMainList(bool modify, const ListedReport& current);

// Report printing.
// Frmreport on the report whose key is given: FromMain (the main list's
// current report) or FromEditor (the editor's record).
void OpenPreview(How openStatus, const QString& key);
void OpenPrintSettings();       // Frmprintset
void OpenGridPrintSettings();   // FrmfindGrid
// Why a print command finds no printer, when it is that the print service does not answer:
// the printing layer's words, which it puts here at start-up with its windows; nullopt
// while the service answers (or when no printing layer is there to ask).
std::optional<QString> PrintServiceDown();
void setPrintServiceDown(std::function<std::optional<QString>()> words);

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
}
