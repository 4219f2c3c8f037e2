#pragma once
#include "report/PrintSettings.h"
#include "report/ReportUnits.h"

#include <QRectF>
#include <QSet>
#include <QSizeF>
#include <QString>
#include <array>

class ReportSurface;
class ReportPaperWidget;

// What one report puts on the page: the report value list (index = reports field
// number, 0..25) and the picture files of report pictures 1..4 ("" when absent).
struct ReportContent {
    std::array<QString, PrintSettings::kValues> values;
    std::array<QString, 4> pictures;
};

// Lays one report out on pages, for the preview and for the printer alike.
class ReportRenderer {
public:
    enum class Mode { Preview, Print };
    static const QString kTitle;           // "放 射 检 查 报 告 单"
    static const QString kPreviewMode;     // "预览"
    static const QString kPrintMode;       // "打印"

    // The working layout values in the surface's millimetres.
    struct Metrics {
        double L = 0, R = 0, T = 0, B = 0, S1 = 0, S2 = 0;
        std::array<double, 4> P{};
        double PW = 0, PH = 0, W = 0, H = 0, OX = 0, OY = 0;
        double F = 0;   // footer reserve
        double Z = 1;   // zoom (1 in print)
    };

    ReportRenderer(PrintSettings& settings, ReportContent& content);

    // Where the preview draws (the preview window's page widget).
    void setPreviewWidget(ReportPaperWidget* widget) { previewWidget_ = widget; }

    // Preview: page to show 0 draws every page in turn and counts them, N stops when
    // page N is complete and leaves it visible. Print: page to print 0 prints every
    // page on the program's printer, N only page N. Failures are reported in a box,
    // each once per layout (a print, or a preview counting pass and the pages shown
    // after it). A picture that cannot be read leaves its place empty and the page goes on.
    void RenderReport(Mode mode, int pageToShow, int pageToPrint);
    void RenderReport(const QString& mode, int pageToShow, int pageToPrint);

    // The layout on a given surface. False when a failure ended it (reported,
    // and for a print job the job has been abandoned).
    bool renderOn(ReportSurface& surface, Mode mode, int pageToShow, int pageToPrint);

    const Metrics& metrics() const { return m_; }
    // Preview geometry of the last rendering in millimetres: the sheet and the
    // printable page inside it.
    QSizeF frameSize() const { return QSizeF(m_.W + 2 * m_.OX, m_.H + 2 * m_.OY); }
    QRectF paperRect() const { return QRectF(m_.OX, m_.OY, m_.W, m_.H); }

private:
    void ComputeLineMetrics(Mode mode);
    void ComputeFooterHeight(Mode mode);
    void ApplyReportFont(int fontSet, Mode mode);
    void ApplyMeasureFont(int fontSet);
    void applyFont(int fontSet, double factor);
    void DrawPageHeader(Mode mode, bool newPage);
    void drawHeaderRow(Mode mode, int row, const std::array<double, 4>& columns);
    // A header value at x in font set 4, sharing the bottom edge of its caption. A value
    // that would come closer than 1 mm to the column edge is drawn smaller, down to 7 points,
    // and what still does not fit is cut there: it never runs over the next item.
    void printHeaderValue(Mode mode, const QString& value, double x, double edge);
    void drawSeparator();
    bool PrintWrappedText(const QString& text, int lineLimit, Mode mode, int pageToShow, int pageToPrint, int fontSet);
    bool CheckPageBreak(Mode mode, int pageToShow, int pageToPrint);
    void DrawPageFooter(Mode mode);
    void drawFooterValue(int slot, double x, Mode mode);
    void printRun(int pageToPrint);

    bool slotShown(int slot) const;    // slot 1..28
    bool slotUsed(int slot) const;
    QString slotCaption(int slot) const;
    QString slotValue(int slot) const;   // throws for a field number outside 0..25
    int largerFontSet(int a, int b) const;
    void report(const ReportError& e);

    PrintSettings& s_;
    ReportContent& c_;
    ReportPaperWidget* previewWidget_ = nullptr;
    ReportSurface* surface_ = nullptr;
    Metrics m_;
    int separatorWidth_ = 1;
    QSet<QString> reported_;
};
