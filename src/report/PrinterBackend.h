#pragma once
#include <QList>
#include <QMarginsF>
#include <QPageLayout>
#include <QPageSize>
#include <QString>
#include <QStringList>
#include <optional>

class QPrinter;

// One paper a printer offers: its name, its code (the Windows paper number, or a
// code of our own from 1000 up for sizes that have none) and its size.
struct PaperInfo {
    QString name;
    int code = 0;
    QPageSize size;
};

// Where the installed printers come from. The program uses the system's printers
// (CUPS through Qt); tests and machines without printers use PDF printers.
class PrinterBackend {
public:
    virtual ~PrinterBackend() = default;
    // Device names in the system's order.
    virtual QStringList printerNames() const = 0;
    virtual QString defaultPrinterName() const = 0;
    // The papers of a printer in the order it reports them; nullopt when the query failed.
    virtual std::optional<QList<PaperInfo>> papers(const QString& printer) const = 0;
    virtual QPageSize defaultPageSize(const QString& printer) const = 0;
    // The margins the printer cannot print on, in millimetres.
    virtual QMarginsF minimumMargins(const QString& printer, const QPageSize& size,
                                     QPageLayout::Orientation orientation) const = 0;
    // Resolutions in dots per inch, lowest first; empty when the printer does not say.
    virtual QList<int> resolutions(const QString& printer) const = 0;
    virtual bool supportsColor(const QString& printer) const = 0;
    // Points a job printer at the device (or at its output file).
    virtual void prepare(QPrinter& job, const QString& printer) const = 0;
};

// Paper codes: the Windows number of a page size, or 1000 + its position in the
// printer's list when it has none, so that a stored code finds the same paper again.
int paperCodeFor(const QPageSize& size, int indexInPrinterList);

// The system's printers through QPrinterInfo.
class SystemPrinterBackend : public PrinterBackend {
public:
    QStringList printerNames() const override;
    QString defaultPrinterName() const override;
    std::optional<QList<PaperInfo>> papers(const QString& printer) const override;
    QPageSize defaultPageSize(const QString& printer) const override;
    QMarginsF minimumMargins(const QString& printer, const QPageSize& size,
                             QPageLayout::Orientation orientation) const override;
    QList<int> resolutions(const QString& printer) const override;
    bool supportsColor(const QString& printer) const override;
    void prepare(QPrinter& job, const QString& printer) const override;
};

// Named printers that write PDF files: each job replaces the output file.
class PdfPrinterBackend : public PrinterBackend {
public:
    struct Printer {
        QString name;
        std::optional<QList<PaperInfo>> papers;   // nullopt: the paper query fails
        int defaultPaperCode = 9;                 // A4
        QMarginsF margins{5, 5, 5, 5};            // millimetres
        QList<int> resolutions{150, 300, 600, 1200};
        bool color = true;
    };

    // A printer with the usual papers: A4 (current), A3, A5, B5, Letter and a
    // paper without a Windows number.
    static Printer standardPrinter(const QString& name);

    void addPrinter(const Printer& p) { printers_.append(p); }
    void setDefaultPrinter(const QString& name) { default_ = name; }
    void setOutputFile(const QString& path) { output_ = path; }
    QString outputFile() const { return output_; }

    QStringList printerNames() const override;
    QString defaultPrinterName() const override;
    std::optional<QList<PaperInfo>> papers(const QString& printer) const override;
    QPageSize defaultPageSize(const QString& printer) const override;
    QMarginsF minimumMargins(const QString& printer, const QPageSize& size,
                             QPageLayout::Orientation orientation) const override;
    QList<int> resolutions(const QString& printer) const override;
    bool supportsColor(const QString& printer) const override;
    void prepare(QPrinter& job, const QString& printer) const override;

private:
    const Printer* find(const QString& name) const;
    QList<Printer> printers_;
    QString default_;
    QString output_;
};
