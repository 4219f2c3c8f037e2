#pragma once
#include "report/PageRoom.h"
#include "report/PrintableGrid.h"
#include "platform/AppError.h"

#include <QColor>
#include <QFont>
#include <QHash>
#include <QString>
#include <memory>

class QFontMetricsF;
class QPainter;
class QPrinter;
class PrintJob;

// What the grid printer draws on, in twips from the top-left corner of the
// printable area. Lines take the colour of the font last set. Failures throw AppError.
class GridSurface {
public:
    virtual ~GridSurface() = default;
    virtual void setDrawWidth(int dots) = 0;
    // Font and colour of the next texts and lines.
    virtual void setFont(const GridFont& font) = 0;
    virtual double textWidth(const QString& text) = 0;
    // The height of a line of text in the current font.
    virtual double textHeight() = 0;
    // A text whose top-left corner is at (x, y).
    virtual void print(double x, double y, const QString& text) = 0;
    virtual void line(double x1, double y1, double x2, double y2) = 0;
    virtual void newPage() = 0;
    // Ends the document; a document without anything on it sends nothing.
    virtual void endDoc() = 0;
    // Abandons the document: nothing of it is printed.
    virtual void killDoc() = 0;
};

// The grid surface of one print job on the program's printer.
class PrinterGridSurface : public GridSurface {
public:
    explicit PrinterGridSurface(QPrinter& printer);
    // The surface of a job of the program's printer (ProgramPrinter::newJob).
    explicit PrinterGridSurface(std::unique_ptr<PrintJob> job);
    ~PrinterGridSurface() override;

    void setDrawWidth(int dots) override;
    void setFont(const GridFont& font) override;
    double textWidth(const QString& text) override;
    double textHeight() override;
    void print(double x, double y, const QString& text) override;
    void line(double x1, double y1, double x2, double y2) override;
    void newPage() override;
    void endDoc() override;
    void killDoc() override;

private:
    QPainter* painter();
    const QFontMetricsF& metrics();

    QPrinter& printer_;
    std::unique_ptr<PrintJob> job_;
    double dotsPerTwip_;
    QFont font_;
    QColor color_ = Qt::black;
    double drawWidth_ = 1;   // device dots
    bool penSet_ = false;
    bool fontSet_ = false;
    std::unique_ptr<QFontMetricsF> metrics_;
    // Widths of the texts measured in the current font: list columns repeat their texts.
    QHash<QString, double> widths_;
};

// The grid print settings as the last setup read them. Margins are twips; the page
// is the printer's printable area in whole twips, 0 until a setup has succeeded.
struct GridPrintSettings {
    QString printerName;
    qint32 paperCode = 0;
    QString colorMode;
    QString orientation;
    QString quality;
    float top = 0, bottom = 0, left = 0, right = 0;
    qint32 pageWidth = 0, pageHeight = 0;
};

// Prints any list grid on the program's printer within the [gridprint] settings.
// Each window that prints a grid owns one and calls SetupGridPrinter when it loads
// and again right before every PrintGrid.
class GridPrinter {
public:
    // Reads [gridprint], selects and prepares the program's printer and takes its
    // printable size; a setting the file lacks takes the shipped one. A malformed
    // margin or paper, or margins that leave no room on the page, are reported
    // ("<number>:<description>", "错误") and leave the printer unprepared:
    // printing is refused until a setup succeeds.
    void SetupGridPrinter();

    // Prints the grid as one document on the program's printer. Refused with the
    // setup's message while the setup has not succeeded. A failure abandons the
    // document and is reported. The job carries the document name given, else the
    // grid's own (the print queue and a PDF printer's file show it).
    void PrintGrid(const PrintableGrid& grid, const QString& documentName = QString());
    // The same on any surface.
    void PrintGrid(const PrintableGrid& grid, GridSurface& surface);

    const GridPrintSettings& settings() const { return settings_; }
    bool ready() const { return settings_.pageWidth > 0 && settings_.pageHeight > 0; }

    // What a page of the grid print keeps free between its margins: one line of text in the
    // grid's standard font with the cell's insets, down and across, in millimetres.
    static PageRoom::Needed roomForALine();

    // The message text of a failure: "<number>:<description>", as every print message
    // and every other caught error of the program says it.
    static QString messageText(const AppError& e);

private:
    bool refuseUnlessReady();
    void report(const AppError& e);
    void layOut(const PrintableGrid& grid, GridSurface& surface) const;

    GridPrintSettings settings_;
    QString setupFailure_ = QStringLiteral("打印设置尚未读取");
    bool setupFailureShown_ = false;
};
