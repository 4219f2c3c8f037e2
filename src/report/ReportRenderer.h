#pragma once
#include "report/PageRoom.h"
#include "report/PrintSettings.h"
#include "report/ReportSurface.h"
#include "report/ReportUnits.h"

#include <QRectF>
#include <QSet>
#include <QSizeF>
#include <QString>
#include <QStringList>
#include <array>
#include <optional>

class ReportPaperWidget;

// What one report puts on the page: the report value list (index = reports field
// number, 0..25) and the picture files of report pictures 1..4 ("" when absent).
struct ReportContent {
    std::array<QString, PrintSettings::kValues> values;
    std::array<QString, 4> pictures;
};

// Lays one report out on pages once, and shows that layout in the preview and sends it
// to the printer: the preview is the printout, at every print quality.
class ReportRenderer {
public:
    enum class Mode {
        Preview,
        Print
    };
    static const QString kTitle;         // "放 射 检 查 报 告 单"
    static const QString kPreviewMode;   // "预览"
    static const QString kPrintMode;     // "打印"

    // The working layout values in millimetres.
    struct Metrics {
        double L = 0, R = 0, T = 0, B = 0, S1 = 0, S2 = 0;
        std::array<double, 4> P{};
        double PW = 0, PH = 0, W = 0, H = 0, OX = 0, OY = 0;
        double F = 0;   // footer reserve
    };

    ReportRenderer(PrintSettings& settings, ReportContent& content);

    // Where the preview draws (the preview window's page widget).
    void setPreviewWidget(ReportPaperWidget* widget) { previewWidget_ = widget; }

    // Preview: page to show 0 lays the report out afresh, counts its pages and shows the
    // last; N shows page N of that layout at the zoom in use. Print: every page (page to
    // print 0) or page N of the layout on the program's printer, laid out again only when
    // the printable page has changed since. Failures are kept for the caller to show
    // (takeFailures), each once per layout; a layout that a failure ended is not printed.
    // A picture that cannot be read leaves its place empty and the page goes on.
    void RenderReport(Mode mode, int pageToShow, int pageToPrint);
    void RenderReport(const QString& mode, int pageToShow, int pageToPrint);

    // Lays the report out on a surface. False when a failure ended it (kept for the caller;
    // the surface's document is abandoned).
    bool renderOn(ReportSurface& surface);

    // Whether the lengths of the settings as they are keep the report on the printable page:
    // none is negative; the first page holds the header, the picture row and the gap below it
    // above the footer, and every page the header and one line of body text with its gap; a
    // line has room for a character between the side margins.
    // Else the length to come down, and the largest value it may take with the others as they
    // are. Measured by laying the header and footer out as the pages do; a layout whose
    // lengths do not fit is refused (InvalidPropertyValue) before anything is drawn.
    std::optional<PageRoom::Refusal> roomRefusal();

    // The layout the preview shows and the printer prints, laid out when missing or stale.
    const ReportLayout& layout();
    // Whether the layout in hand was made for the printable page in use.
    bool layoutIsCurrent() const;
    // Forgets the layout: the next showing or printing lays the report out again.
    void invalidate() { laidOut_ = false; }
    // Lets go of the layout and its decoded pictures (the window closes).
    void clear();

    // The failures met since the last call, in the order met, each as its message text
    // ("<number>:<description>"). The renderer shows nothing itself: the window does.
    QStringList takeFailures();

    const Metrics& metrics() const { return m_; }
    // Preview geometry at the zoom in use, in millimetres: the sheet and the printable
    // page inside it.
    QSizeF frameSize() const;
    QRectF paperRect() const;
    // The name print jobs of this report carry: its exam number (never the patient's name,
    // since the queue is visible to every user of the machine).
    QString documentName() const;

private:
    void ComputeLineMetrics();
    void ComputeFooterHeight();
    void ApplyReportFont(int fontSet);
    void DrawPageHeader(bool newPage);
    void drawHeaderRow(int row, const std::array<double, 4>& columns);
    // A header value at x in font set 4, sharing the bottom edge of its caption. A value
    // that would come closer than 1 mm to the column edge is drawn smaller, down to 7 points,
    // and what still does not fit is cut there: it never runs over the next item.
    void printHeaderValue(const QString& value, double x, double edge);
    void drawSeparator();
    void PrintWrappedText(const QString& text, int lineLimit, int fontSet);
    void CheckPageBreak();
    void DrawPageFooter();
    void drawFooterValue(int slot, double x);
    // Down the page and across it, in millimetres, with both margins at 0: the header and
    // footer take fixed + perSpacing x line spacing one; a body line is `line` high, a
    // character with its insets `character` wide.
    struct Room {
        bool measured = false;
        double fixed = 0, perSpacing = 0, line = 0, character = 0;
    };
    Room measureRoom();
    std::optional<PageRoom::Refusal> downRefusal(const Room& room) const;
    void layOut();
    void printRun(int pageToPrint);
    double zoom() const;

    bool slotShown(int slot) const;   // slot 1..28
    bool slotUsed(int slot) const;
    QString slotCaption(int slot) const;
    QString slotValue(int slot) const;   // throws for a field number outside 0..25
    int largerFontSet(int a, int b) const;
    void report(const ReportError& e);

    PrintSettings& s_;
    ReportContent& c_;
    ReportPaperWidget* previewWidget_ = nullptr;
    ReportSurface* surface_ = nullptr;
    bool measuring_ = false;   // a header drawn only to be measured leaves out the logo
    Metrics m_;
    ReportLayout layout_;
    bool laidOut_ = false;
    std::optional<ReportError> layoutFailure_;
    QSet<QString> reported_;
    QStringList failures_;
    QStringList layoutFailures_;   // what the layout in hand met
};
