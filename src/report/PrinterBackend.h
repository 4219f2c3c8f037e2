#pragma once
#include "report/PrintQueue.h"

#include <QHash>
#include <QList>
#include <QMarginsF>
#include <QPageLayout>
#include <QPageSize>
#include <QPrinterInfo>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>
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
    // Makes a job printer write the PDF file that goes to the printer's queue.
    virtual void prepare(QPrinter& job, const QString& printer) const = 0;
    // A new high-resolution job printer; null when the system's printers did not answer.
    virtual std::shared_ptr<QPrinter> newJobPrinter() const;

    // Where job files wait, written whole, before they go to a queue: a folder of this
    // user's in the system's temporary folder.
    virtual QString spoolFolder() const;
    // Hands a finished job file to the printer's queue (the queue keeps its own copy).
    virtual PrintQueue::Answer submit(const QString& printer, const QString& file,
                                      const PrintQueue::JobOptions& options) = 0;
    // What the queue knows of a job it accepted.
    virtual PrintQueue::JobStatus jobStatus(const QString& printer, int jobId) = 0;
    // The same without waiting for the answer: then follows on this thread.
    virtual void jobStatusLater(const QString& printer, int jobId,
                                const std::function<void(const PrintQueue::JobStatus&)>& then)
    {
        then(jobStatus(printer, jobId));
    }
    // Forgets what the printers answered so far: the next question asks them again.
    virtual void forget() {}
    // Why the print service cannot be asked (not running, or not answering), so that no
    // printer is to be had; nullopt while it answers.
    virtual std::optional<PrintQueue::Outage> serviceDown() const { return std::nullopt; }
};

// Paper codes: the Windows number of a page size, or 1000 + its position in the
// printer's list when it has none, so that a stored code finds the same paper again.
int paperCodeFor(const QPageSize& size, int indexInPrinterList);

// The system's printers through QPrinterInfo, their queues through CUPS. Every question
// runs on a print service worker with a deadline (PrintService): a service that does not
// answer gives no printer, no paper, or a job not sent, and says so (serviceDown()). What a
// printer answers is kept for the session (asking costs milliseconds at every print) until
// forget(); what it did not answer is asked again next time.
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
    std::shared_ptr<QPrinter> newJobPrinter() const override;
    PrintQueue::Answer submit(const QString& printer, const QString& file,
                              const PrintQueue::JobOptions& options) override;
    PrintQueue::JobStatus jobStatus(const QString& printer, int jobId) override;
    void jobStatusLater(const QString& printer, int jobId,
                        const std::function<void(const PrintQueue::JobStatus&)>& then) override;
    void forget() override;
    std::optional<PrintQueue::Outage> serviceDown() const override;

private:
    // What one printer says of itself, asked at once.
    struct Facts {
        bool known = false;   // the printer was found
        QList<PaperInfo> papers;
        QPageSize defaultSize;
        QList<int> resolutions;
        bool color = false;
    };
    const Facts& facts(const QString& printer) const;
    mutable std::optional<QStringList> names_;
    mutable QHash<QString, Facts> facts_;
    mutable QHash<QString, QMarginsF> margins_;
    mutable Facts unanswered_;
};

// Named printers that write PDF files: each job replaces the output file. Its queue can
// be told to refuse submissions or to end the jobs it took in a given state.
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
    void setSpoolFolder(const QString& path) { spool_ = path; }
    // The next submissions fail so, with the print service's words (None: accepted again).
    void refuseSubmissions(PrintQueue::Answer::Failure why, const QString& detail = QString())
    {
        refusal_ = why;
        refusalDetail_ = detail;
    }
    // The print service stops answering with these words (nullopt: answers again): no
    // printer is listed meanwhile, nor afterwards until forget(), as the system's list is kept.
    void setServiceDown(const std::optional<QString>& detail)
    {
        listedNone_ = listedNone_ || down_;
        down_ = detail;
    }
    // The states the queue gives an accepted job, one per question, the last one staying.
    void setJobStates(const QList<PrintQueue::JobStatus>& states) { states_ = states; }
    // Jobs handed to the queue so far, how often a job's state was asked, and how often
    // forget() was called.
    int submitted() const { return submitted_; }
    int statusAsked() const { return statusAsked_; }
    int forgotten() const { return forgotten_; }

    QStringList printerNames() const override;
    QString defaultPrinterName() const override;
    std::optional<QList<PaperInfo>> papers(const QString& printer) const override;
    QPageSize defaultPageSize(const QString& printer) const override;
    QMarginsF minimumMargins(const QString& printer, const QPageSize& size,
                             QPageLayout::Orientation orientation) const override;
    QList<int> resolutions(const QString& printer) const override;
    bool supportsColor(const QString& printer) const override;
    void prepare(QPrinter& job, const QString& printer) const override;
    QString spoolFolder() const override;
    PrintQueue::Answer submit(const QString& printer, const QString& file,
                              const PrintQueue::JobOptions& options) override;
    PrintQueue::JobStatus jobStatus(const QString& printer, int jobId) override;
    void forget() override
    {
        ++forgotten_;
        listedNone_ = false;
    }
    std::optional<PrintQueue::Outage> serviceDown() const override
    {
        return down_ ? std::optional(PrintQueue::Outage(*down_)) : std::nullopt;
    }

private:
    const Printer* find(const QString& name) const;
    QList<Printer> printers_;
    std::optional<QString> down_;
    bool listedNone_ = false;   // the list asked while the service was down
    QString default_;
    QString output_;
    QString spool_;
    PrintQueue::Answer::Failure refusal_ = PrintQueue::Answer::None;
    QString refusalDetail_;
    QList<PrintQueue::JobStatus> states_;
    int submitted_ = 0;
    int statusAsked_ = 0;
    int forgotten_ = 0;
};
