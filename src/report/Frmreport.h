#pragma once
#include "report/PrintSettings.h"
#include "report/ReportRenderer.h"

#include <QDialog>
#include <QPointF>
#include <QRectF>
#include <QSizeF>
#include <QStringList>
#include <functional>

class QComboBox;
class QLabel;
class PaintPanel;
class QvButton;
class QvScrollBar;
class ReportPaperWidget;

// The print preview ("打印预览"): one saved report page by page as it will be printed,
// zoomed, scrolled with the bars and the wheel, printed, and laid out again after the
// print layout settings were saved.
//
// One instance for the program's life. The main window's print command and the
// editor's print button open it the same way, through Openers::OpenPreview:
//   Frmreport& w = Frmreport::instance();
//   w.setOpenStatus(QStringLiteral("frmmain"));   // the main list's current report,
//                                                 // "datarecord": the editor's record
//   w.setReportKey(key);                          // that report's key, as its window holds it
//   w.showModally();                              // loads, shows, and cleans up on closing
class Frmreport : public QDialog {
    Q_OBJECT
public:
    static Frmreport& instance();

    // Who opened the preview: "frmmain" or "datarecord"; any other text loads nothing.
    void setOpenStatus(const QString& status) { openStatus_ = status; }
    // The key (ctid as text) of the report the next load shows, as the opener gives it.
    void setReportKey(const QString& key) { reportKey_ = key; }

    // Loads, shows modally and unloads; returns the modal result.
    int showModally();

    // Handlers.
    void Form_Load();
    void Form_Resize();
    void Form_Unload();
    void ButtnQuit_Click();
    void CmdPrint_Click();
    void CmdPrintSet_Click();
    void Combosf_Click();
    // Enter in the zoom box: a typed zoom from 1 % to 500 % is taken, anything else
    // gives way to the zoom in use.
    void Combosf_KeyEnter();
    void Cmdup_Click();
    void Cmddown_Click();
    void Cpagedown_MouseDown(int button, int shift, int x, int y);
    void Cpageup_MouseDown(int button, int shift, int x, int y);
    void VScroll1_Change();
    void HScroll1_Change();
    void Pictool_Resize();
    // The wheel turned by delta (120 per notch) anywhere in the window.
    void ReportWheelProc(int delta);

    // State.
    bool loaded() const { return loaded_; }
    int pageCount() const { return settings_.pageCount; }
    int currentPage() const { return settings_.currentPage; }
    double zoom() const { return settings_.zoom; }
    const ReportContent& content() const { return content_; }

    // Where LayoutPreview puts the parts of the pane, in millimetres: pane is the
    // inner size of Picprview, frame the size of PicpaperFrame.
    struct PaneLayout {
        QRectF hscroll, vscroll, corner;
        bool hVisible = false, vVisible = false;
        QPointF frame;   // top-left corner of the frame at scroll value 0
        int hMax = 0, vMax = 0;
    };
    static PaneLayout layoutFor(const QSizeF& pane, const QSizeF& frame);
    static constexpr double kScrollThickness = 4.498;   // millimetres (17 pixels)
    static constexpr double kScrollUnit = 10;           // millimetres per scroll step

    // Controls.
    PaintPanel* Pictool = nullptr;
    QvButton* CmdPrint = nullptr;
    QvButton* CmdPrintSet = nullptr;
    QvButton* ButtnQuit = nullptr;
    QvButton* Cpageup = nullptr;
    QvButton* Cpagedown = nullptr;
    QLabel* Labelpagecount = nullptr;
    QLabel* Labelpagedq = nullptr;
    QComboBox* Combosf = nullptr;
    QvButton* Cmdup = nullptr;
    QvButton* Cmddown = nullptr;
    PaintPanel* Picprview = nullptr;
    QvScrollBar* HScroll1 = nullptr;
    QvScrollBar* VScroll1 = nullptr;
    PaintPanel* ShapeJ = nullptr;
    PaintPanel* PicpaperFrame = nullptr;
    ReportPaperWidget* Picpaper = nullptr;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    Frmreport();
    void buildControls();
    void ApplySkin();
    void HookReportWheel();
    void UnhookReportWheel();
    // Reads the report into the value list and writes its pictures; false (reported) when
    // there is no report to show.
    bool loadReportRow();
    void LoadPrintSettings();
    // Draws page (0: every page, counting them) and fits the frame around it.
    void renderPreview(int page);
    // Reads the print settings, counts the pages and shows the first, with its buttons and labels.
    void showFirstPage();
    void showLayoutFromFirstPage();
    void showPageLabels();
    void showZoomText();
    void LayoutPreview();
    void zoomBy(int step);
    void failLoading(const QString& text);
    // What the page renderer could not lay out or print, in the order it met it.
    void showFailures();

    QString reportKey_;
    QString openStatus_;
    PrintSettings settings_;
    ReportContent content_;
    ReportRenderer renderer_;
    QStringList itemCaptions_;
    QPointF frameBase_;   // frame position at scroll value 0, millimetres
    bool loaded_ = false;
    bool hooked_ = false;
};
