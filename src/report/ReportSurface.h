#pragma once
#include <QColor>
#include <QFont>
#include <QImage>
#include <QString>

class QPaintDevice;
class QPainter;
class QPrinter;

// What the report page draws on: the printer or the preview's page. Lengths are
// millimetres from the top-left corner of the printable area. Text lines are
// printed with their top at CurrentY; afterwards CurrentX is 0 and CurrentY is one
// line lower. Operations that fail throw ReportError.
class ReportSurface {
public:
    virtual ~ReportSurface() = default;

    double currentX = 0;
    double currentY = 0;

    // Font and colour of the next text. A size the surface cannot use is skipped.
    void setFontName(const QString& name);
    void setFontSize(double points);
    void setFontBold(bool on) { font_.setBold(on); }
    void setFontItalic(bool on) { font_.setItalic(on); }
    void setFontStrikeout(bool on) { font_.setStrikeOut(on); }
    void setFontUnderline(bool on) { font_.setUnderline(on); }
    void setForeColor(const QColor& c) { foreColor_ = c; }
    const QFont& font() const { return font_; }
    QColor foreColor() const { return foreColor_; }

    // Width of the lines drawn by line(), in device dots, and their colour.
    void setDrawWidth(int dots) { drawWidth_ = dots < 1 ? 1 : dots; }
    int drawWidth() const { return drawWidth_; }
    void setDrawColor(const QColor& c) { drawColor_ = c; }
    QColor drawColor() const { return drawColor_; }

    virtual double textWidth(const QString& text) = 0;
    virtual double textHeight(const QString& text) = 0;
    virtual void printLine(const QString& text) = 0;
    virtual void line(double x1, double y1, double x2, double y2) = 0;
    // Paints a picture file stretched to w by h; a file that cannot be read throws.
    virtual void paintPicture(const QString& file, double x, double y, double w, double h) = 0;
    // Preview: the size of the page in millimetres; clears it.
    virtual void setPageSize(double widthMm, double heightMm) { (void)widthMm; (void)heightMm; }
    virtual void cls() {}
    virtual void newPage() {}
    virtual void endDoc() {}
    virtual void killDoc() {}
    // While off, nothing is put on the output (measuring goes on).
    void setOutputEnabled(bool on) { outputEnabled_ = on; }
    bool outputEnabled() const { return outputEnabled_; }

protected:
    QFont font_;
    QColor foreColor_ = Qt::black;
    QColor drawColor_ = Qt::black;
    int drawWidth_ = 1;
    bool outputEnabled_ = true;
};

// A surface that paints on a Qt paint device with a painter, converting
// millimetres to device dots itself (fonts keep their point sizes).
class PainterSurface : public ReportSurface {
public:
    double textWidth(const QString& text) override;
    double textHeight(const QString& text) override;
    void printLine(const QString& text) override;
    void line(double x1, double y1, double x2, double y2) override;
    void paintPicture(const QString& file, double x, double y, double w, double h) override;

protected:
    // The device the text is measured on and its resolution in dots per inch.
    virtual QPaintDevice* metricsDevice() = 0;
    virtual double metricsDpi() const { return dpi(); }
    // The resolution drawn at.
    virtual double dpi() const = 0;
    // A painter ready to draw, or nullptr when nothing is to be drawn.
    virtual QPainter* beginPaint() = 0;
    virtual void endPaint(QPainter* painter) = 0;
    double dots(double mm) const;
};

// The printer: one print job on a QPrinter. In a trial run nothing is sent:
// everything is measured and every picture is read, so that a report that
// cannot be laid out never starts a job.
class PrinterSurface : public PainterSurface {
public:
    PrinterSurface(QPrinter& printer, bool trialRun);
    ~PrinterSurface() override;

    void newPage() override;
    void endDoc() override;
    // Abandons the job: nothing more is sent and a half-written output file is removed.
    void killDoc() override;
    bool jobStarted() const;

protected:
    QPaintDevice* metricsDevice() override;
    double dpi() const override;
    QPainter* beginPaint() override;
    void endPaint(QPainter*) override {}

private:
    void startJob();
    QPrinter& printer_;
    QPainter* painter_ = nullptr;
    bool trial_;
    bool ended_ = false;
};

// The preview's page: an image at the screen's 96 dots per inch. Text is measured
// at a printer's resolution, so that lines and pages break where they do on paper
// (faces with screen bitmaps have other line heights at screen sizes).
class PreviewSurface : public PainterSurface {
public:
    PreviewSurface();
    void setPageSize(double widthMm, double heightMm) override;
    void cls() override;
    const QImage& image() const { return image_; }

protected:
    QPaintDevice* metricsDevice() override { return &measure_; }
    double metricsDpi() const override;
    double dpi() const override;
    QPainter* beginPaint() override;
    void endPaint(QPainter* painter) override;

private:
    QImage image_;
    QImage measure_;
};
