#pragma once
#include "report/PrintQueue.h"

#include <QColor>
#include <QDateTime>
#include <QFont>
#include <QFontMetricsF>
#include <QHash>
#include <QImage>
#include <QList>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>
#include <optional>

class QPainter;
class QPrinter;
class PrinterBackend;

// The resolution the report page is measured at, whatever it is drawn on: the preview
// and every print quality show the same lines and the same page breaks. Lines given
// in dots are dots of this resolution.
namespace ReportMeasure {
constexpr double kDpi = 1200;
}

// What the report page is laid out on. Lengths are millimetres from the top-left
// corner of the printable area. Text lines are printed with their top at CurrentY;
// afterwards CurrentX is 0 and CurrentY is one line lower. Operations that fail
// throw ReportError.
class ReportSurface {
public:
    virtual ~ReportSurface() = default;

    double currentX = 0;
    double currentY = 0;

    // Font and colour of the next text. A size the surface cannot use is skipped. Bold
    // text may be drawn in another face of the same style (ReportFonts::faces).
    void setFontName(const QString& name);
    void setFontSize(double points);
    void setFontBold(bool on);
    void setFontItalic(bool on) { font_.setItalic(on); }
    void setFontStrikeout(bool on) { font_.setStrikeOut(on); }
    void setFontUnderline(bool on) { font_.setUnderline(on); }
    void setForeColor(const QColor& c) { foreColor_ = c; }
    const QFont& font() const { return font_; }
    QColor foreColor() const { return foreColor_; }

    // Width of the lines drawn by line(), in dots at the measuring resolution (so a
    // physical width, the same on every printer), and their colour.
    void setDrawWidth(int dots) { drawWidth_ = dots < 1 ? 1 : dots; }
    int drawWidth() const { return drawWidth_; }
    void setDrawColor(const QColor& c) { drawColor_ = c; }
    QColor drawColor() const { return drawColor_; }

    virtual double textWidth(const QString& text) = 0;
    virtual double textHeight(const QString& text) = 0;
    virtual void printLine(const QString& text) = 0;
    // The footer's last line: "打印日期： ", the date and time of printing, then tail.
    virtual void printDateLine(const QString& tail);
    virtual void line(double x1, double y1, double x2, double y2) = 0;
    // Paints a picture file stretched to w by h; a file that cannot be read throws.
    virtual void paintPicture(const QString& file, double x, double y, double w, double h) = 0;
    virtual void newPage() {}
    virtual void endDoc() {}
    virtual void killDoc() {}

    // The print-date line's text at a given time.
    static QString printDateText(const QDateTime& when, const QString& tail);

protected:
    QFont font_;
    QString fontName_;   // the face as the layout names it
    QColor foreColor_ = Qt::black;
    QColor drawColor_ = Qt::black;
    int drawWidth_ = 1;
};

// The report's pages as laid out once: what each page shows, in millimetres of the
// printable area. The preview and the printer paint it, each at its own resolution.
class ReportLayout {
public:
    struct Item {
        enum Kind {
            Text,
            Line,
            Picture
        };
        Kind kind = Text;
        QString text;             // Text: the line; for the print-date line what follows the date
        bool printDate = false;   // the footer's print-date line (the date is the painting's)
        QFont font;               // Text: face and size in points
        QColor color;
        double x = 0, y = 0;     // Text: left end of the baseline; Line: start; Picture: top left
        double x2 = 0, y2 = 0;   // Line: end; Picture: width and height
        double width = 0;        // Line: width in millimetres
        int picture = -1;        // Picture: index into pictures
    };
    struct Page {
        QList<Item> items;
    };

    QList<Page> pages;
    QList<QImage> pictures;                 // each picture decoded once, no larger than the measuring resolution needs
    double pageWidth = 0, pageHeight = 0;   // the printable area
    bool complete = false;                  // false: a failure ended the layout

    int pageCount() const { return int(pages.size()); }
    // The texts of page n (1..count) in the order they are drawn, the print date at `printed`.
    QStringList texts(int n, const QDateTime& printed) const;
    // Paints page n (1..count) with the painter's origin at the printable area's corner,
    // at dpi dots per inch and the zoom factor; the preview draws its separators as it
    // always has (2 pixels at 100 %, 1 below 50 %), a printer at their physical width.
    void paintPage(QPainter& painter, int n, double dpi, double zoom, bool preview, const QDateTime& printed) const;

private:
    const QImage& pictureAt(int index, const QSize& target) const;
    mutable QHash<QString, QImage> scaled_;   // pictures scaled down for a target size
};

// Lays the page out: measures at the measuring resolution and records what would be
// drawn, page by page, into a layout. Every picture is read here, so that a report
// that cannot be laid out is known before anything is shown or printed.
class LayoutSurface : public ReportSurface {
public:
    explicit LayoutSurface(ReportLayout& layout);

    double textWidth(const QString& text) override;
    double textHeight(const QString& text) override;
    void printLine(const QString& text) override;
    void printDateLine(const QString& tail) override;
    void line(double x1, double y1, double x2, double y2) override;
    void paintPicture(const QString& file, double x, double y, double w, double h) override;
    void newPage() override;
    void endDoc() override { layout_.complete = true; }
    void killDoc() override { layout_.complete = false; }

private:
    const QFontMetricsF& metrics();
    void addText(const QString& text, bool printDate);
    ReportLayout& layout_;
    QImage measure_;
    QFont metricsFont_;
    std::unique_ptr<QFontMetricsF> metrics_;
};

// Where a job goes once its pages are written: the printer's queue, through the backend
// that named the printer, as the spool file the QPrinter writes.
struct PrintTarget {
    std::shared_ptr<PrinterBackend> backend;
    QString printer;
    std::shared_ptr<PrintQueue::SpoolFile> spool;
    PrintQueue::JobOptions options;
    std::function<void()> forget;   // after a failure: the printers are asked again, the job printer made anew
};

// One print job on a QPrinter: started by the first painting, then new pages, and
// ended or abandoned once. A job with a target is written to its spool file, checked
// whole, handed to the queue and followed there (PrintQueue); the spool file goes
// whatever happens. Failures throw ReportError (PrinterFailure) naming the printer and
// the reason, and make the backend forget what its printers answered.
class PrintJob {
public:
    // A job on a printer configured elsewhere, whose output is not submitted.
    explicit PrintJob(QPrinter& printer);
    PrintJob(std::shared_ptr<QPrinter> printer, PrintTarget target);
    ~PrintJob();   // a job neither ended nor abandoned is abandoned

    // The job's painter; the first call starts the job.
    QPainter* painter();
    void newPage();
    void endDoc();
    // Abandons the job: nothing more is sent and a half-written output file is removed.
    void killDoc();
    bool jobStarted() const;
    QPrinter& printer() { return printer_; }

private:
    void startJob();
    [[noreturn]] void fail(const QString& text);
    [[noreturn]] void failWriting(const QString& step);
    void submit();
    std::shared_ptr<QPrinter> owned_;
    QPrinter& printer_;
    std::optional<PrintTarget> target_;
    std::unique_ptr<QPainter> painter_;
    bool ended_ = false;
};

// The preview's page: an image at the screen's 96 dots per inch showing one page of
// a layout at a zoom.
class PreviewSurface {
public:
    PreviewSurface();
    // Shows page n of the layout at the zoom (an empty page when there is none).
    void showPage(const ReportLayout& layout, int n, double zoom);
    const QImage& image() const { return image_; }
    // The page shown and its texts in the order drawn.
    int page() const { return page_; }
    const QStringList& texts() const { return texts_; }

private:
    void setPageSize(double widthMm, double heightMm);
    QImage image_;
    int page_ = 0;
    QStringList texts_;
};
