#pragma once
#include "report/PrinterBackend.h"
#include "report/ReportUnits.h"

#include <QMarginsF>
#include <QPageLayout>
#include <QPageSize>
#include <QRectF>
#include <QSizeF>
#include <functional>
#include <memory>

class QPrinter;
class PrintJob;

// The program's current printer: chosen once, it stays for the rest of the run.
// Printing paths apply their own stored paper and modes to it before they print,
// and every print job is a QPrinter configured from it.
class ProgramPrinter {
public:
    // Colour, orientation and quality codes as stored in the settings file.
    enum : int {
        Monochrome = 1,
        Colour = 2,
        Portrait = 1,
        Landscape = 2,
        QualityDraft = -1,
        QualityLow = -2,
        QualityMedium = -3,
        QualityHigh = -4,
    };

    static ProgramPrinter& instance();
    // Replaces where printers come from (tests use PdfPrinterBackend); the current
    // printer goes back to that backend's default.
    static void setBackend(std::shared_ptr<PrinterBackend> backend);
    static PrinterBackend& backend();

    QStringList printerNames() const;
    // The current printer's device name; empty when no printer is installed.
    QString printerName() const;
    bool hasPrinter() const { return !printerName().isEmpty(); }
    // Makes the printer with exactly this device name current; false keeps the current one.
    bool selectPrinter(const QString& name);
    // Makes printer k of the collection current; false when there is none.
    bool selectPrinterAt(int index);

    // Papers of the current printer; nullopt when the query failed.
    std::optional<QList<PaperInfo>> papers() const;
    // The current paper and its code (the printer's own current paper until one is set).
    QPageSize pageSize() const { return pageSize_; }
    int paperCode() const;
    // Each setter returns false, changing nothing, when the printer refuses the value.
    bool setPaperCode(int code);
    bool setColorCode(int code);
    bool setOrientationCode(int code);
    bool setQualityCode(int code);
    int colorCode() const { return color_; }
    int orientationCode() const { return orientation_ == QPageLayout::Landscape ? Landscape : Portrait; }
    int qualityCode() const { return quality_; }
    // Dots per inch used for jobs; 0 leaves the device's own.
    int resolution() const { return resolution_; }

    // The physical page and the printable area in millimetres, for the current
    // paper and orientation; the printable rectangle is relative to the page corner.
    QSizeF paperSizeMm() const;
    QRectF printableRectMm() const;

    // The printable area in millimetres that a printer gives with a paper (a code it offers)
    // and an orientation code; nullopt when it does not offer that paper or does not answer.
    static std::optional<QSizeF> printableSizeMm(const QString& printer, int paperCode, int orientationCode);

    // Points a job at the current printer with the current paper, modes and margins.
    void configure(QPrinter& job) const;
    // A high-resolution job configured so, written to a spool file of its own and handed
    // to the current printer's queue when it ends. With no printer installed, or no spool
    // file to be had, there is none, and `fail` is told why (PrinterFailure).
    std::unique_ptr<PrintJob> newJob(const std::function<void(const ReportError&)>& fail) const;

    // Forgets what the printers answered (papers, margins, resolutions): after the print
    // settings change, the next print asks the printer again. A failed print does so itself.
    void forget()
    {
        backend_->forget();
        reusable_.reset();
    }

private:
    ProgramPrinter();
    void resetToDefault();
    void adoptPrinter(const QString& name);

    std::shared_ptr<PrinterBackend> backend_;
    QString name_;
    QPageSize pageSize_{QPageSize::A4};
    int color_ = Colour;
    QPageLayout::Orientation orientation_ = QPageLayout::Portrait;
    int quality_ = 0;
    int resolution_ = 0;
    mutable std::shared_ptr<QPrinter> reusable_;   // the session's job printer
};
