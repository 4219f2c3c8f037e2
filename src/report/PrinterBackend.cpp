#include "report/PrinterBackend.h"

#include "report/PrintService.h"

#include <QDir>
#include <QFile>
#include <QPrinter>
#include <QPrinterInfo>
#include <unistd.h>

int paperCodeFor(const QPageSize& size, int indexInPrinterList)
{
    const int id = size.windowsId();
    if (id > 0 && id != 256)
        return id;
    return 1000 + indexInPrinterList;
}

QString PrinterBackend::spoolFolder() const
{
    return QDir::tempPath() + QStringLiteral("/ws-print-%1").arg(::getuid());
}

std::shared_ptr<QPrinter> PrinterBackend::newJobPrinter() const
{
    return std::make_shared<QPrinter>(QPrinter::HighResolution);
}

// --- system printers --------------------------------------------------------

QStringList SystemPrinterBackend::printerNames() const
{
    if (names_)
        return *names_;
    const auto names = PrintService::ask<QStringList>(
        [](const PrintService::Question&) { return QPrinterInfo::availablePrinterNames(); });
    if (names)
        names_ = names;
    return names.value_or(QStringList());
}

const SystemPrinterBackend::Facts& SystemPrinterBackend::facts(const QString& printer) const
{
    if (const auto it = facts_.constFind(printer); it != facts_.cend())
        return *it;
    // Making the printer's description fetches its PPD from the service; what is read from it
    // afterwards is read from that copy.
    const auto asked = PrintService::ask<Facts>([printer](const PrintService::Question&) {
        Facts f;
        const QPrinterInfo i = QPrinterInfo::printerInfo(printer);
        f.known = !i.isNull();
        if (!f.known)
            return f;
        const QList<QPageSize> sizes = i.supportedPageSizes();
        for (int k = 0; k < sizes.size(); ++k)
            f.papers.append(PaperInfo{sizes[k].name(), paperCodeFor(sizes[k], k), sizes[k]});
        f.defaultSize = i.defaultPageSize();
        f.resolutions = i.supportedResolutions();
        std::sort(f.resolutions.begin(), f.resolutions.end());
        f.color = i.supportedColorModes().contains(QPrinter::Color);
        return f;
    });
    if (!asked)
        return unanswered_;
    return *facts_.insert(printer, *asked);
}

void SystemPrinterBackend::forget()
{
    names_.reset();
    facts_.clear();
    margins_.clear();
}

QString SystemPrinterBackend::defaultPrinterName() const
{
    const QString d = PrintService::ask<QString>([](const PrintService::Question&) {
                          return QPrinterInfo::defaultPrinterName();
                      }).value_or(QString());
    if (!d.isEmpty() || PrintService::stalled())
        return d;
    const QStringList all = printerNames();
    return all.isEmpty() ? QString() : all.first();
}

std::optional<QList<PaperInfo>> SystemPrinterBackend::papers(const QString& printer) const
{
    const Facts& f = facts(printer);
    return f.known ? std::optional(f.papers) : std::nullopt;
}

QPageSize SystemPrinterBackend::defaultPageSize(const QString& printer) const
{
    const QPageSize s = facts(printer).defaultSize;
    return s.isValid() ? s : QPageSize(QPageSize::A4);
}

QMarginsF SystemPrinterBackend::minimumMargins(const QString& printer, const QPageSize& size,
                                               QPageLayout::Orientation orientation) const
{
    const QSizeF pt = size.size(QPageSize::Point);
    const QString key =
        QStringLiteral("%1\n%2x%3\n%4").arg(printer).arg(pt.width()).arg(pt.height()).arg(int(orientation));
    if (const auto it = margins_.constFind(key); it != margins_.cend())
        return *it;
    const auto asked = PrintService::ask<QMarginsF>([printer, size, orientation](const PrintService::Question&) {
        QPrinter p;
        p.setPrinterName(printer);
        p.setPageSize(size);
        p.setPageOrientation(orientation);
        QPageLayout layout = p.pageLayout();
        layout.setUnits(QPageLayout::Millimeter);
        return layout.minimumMargins();
    });
    return asked ? *margins_.insert(key, *asked) : QMarginsF();
}

QList<int> SystemPrinterBackend::resolutions(const QString& printer) const { return facts(printer).resolutions; }

bool SystemPrinterBackend::supportsColor(const QString& printer) const { return facts(printer).color; }

void SystemPrinterBackend::prepare(QPrinter& job, const QString&) const
{
    // Qt would hand its own file to the queue and not say when the queue refuses it: the
    // job is written to a file of ours, checked and submitted by us (PrintJob).
    job.setOutputFormat(QPrinter::PdfFormat);
}

std::shared_ptr<QPrinter> SystemPrinterBackend::newJobPrinter() const
{
    // Making a printer asks the service for its default printer and that printer's PPD.
    return PrintService::ask<std::shared_ptr<QPrinter>>([](const PrintService::Question&) {
               auto p = std::make_shared<QPrinter>(QPrinter::HighResolution);
               p->setOutputFormat(QPrinter::PdfFormat);
               return p;
           })
        .value_or(nullptr);
}

PrintQueue::Answer SystemPrinterBackend::submit(const QString& printer, const QString& file,
                                                const PrintQueue::JobOptions& options)
{
    // Opened here, so that a worker still sending when it is given up reads this file and
    // never whatever may later take its name or descriptor.
    auto pages = std::make_shared<QFile>(file);
    if (!pages->open(QIODevice::ReadOnly))
        return PrintQueue::Answer{0, PrintQueue::Answer::NotWhole, pages->errorString()};
    const auto a = PrintService::ask<PrintQueue::Answer>([printer, pages, options](const PrintService::Question& q) {
        return PrintQueue::Cups::submit(printer, *pages, options, q);
    });
    return a.value_or(PrintQueue::Answer{0, PrintQueue::Answer::NoAnswer, QString()});
}

PrintQueue::JobStatus SystemPrinterBackend::jobStatus(const QString& printer, int jobId)
{
    return PrintService::ask<PrintQueue::JobStatus>([printer, jobId](const PrintService::Question& q) {
               return PrintQueue::Cups::status(printer, jobId, q);
           })
        .value_or(PrintQueue::JobStatus::noAnswer());
}

void SystemPrinterBackend::jobStatusLater(const QString& printer, int jobId,
                                          const std::function<void(const PrintQueue::JobStatus&)>& then)
{
    auto out = std::make_shared<PrintQueue::JobStatus>();
    PrintService::runLater(
        [out, printer, jobId](const PrintService::Question& q) { *out = PrintQueue::Cups::status(printer, jobId, q); },
        [out, then](bool answered) { then(answered ? *out : PrintQueue::JobStatus::noAnswer()); });
}

std::optional<PrintQueue::Outage> SystemPrinterBackend::serviceDown() const
{
    if (PrintService::stalled())
        return PrintQueue::Outage(QString(), true);
    return PrintService::ask<std::optional<PrintQueue::Outage>>(
               [](const PrintService::Question& q) { return PrintQueue::Cups::serviceDown(q); })
        .value_or(PrintQueue::Outage(QString(), true));
}

// --- PDF printers -------------------------------------------------------------

PdfPrinterBackend::Printer PdfPrinterBackend::standardPrinter(const QString& name)
{
    Printer p;
    p.name = name;
    QList<PaperInfo> papers;
    const QList<QPageSize> sizes{
        QPageSize(QPageSize::A4),     QPageSize(QPageSize::A3),
        QPageSize(QPageSize::A5),     QPageSize(QPageSize::B5),
        QPageSize(QPageSize::Letter), QPageSize(QSizeF(190, 270), QPageSize::Millimeter, QStringLiteral("胶片报告纸"))};
    for (int i = 0; i < sizes.size(); ++i)
        papers.append(PaperInfo{sizes[i].name(), paperCodeFor(sizes[i], i), sizes[i]});
    p.papers = papers;
    return p;
}

const PdfPrinterBackend::Printer* PdfPrinterBackend::find(const QString& name) const
{
    for (const Printer& p : printers_)
        if (p.name == name)
            return &p;
    return nullptr;
}

QStringList PdfPrinterBackend::printerNames() const
{
    if (down_ || listedNone_)
        return {};
    QStringList n;
    for (const Printer& p : printers_)
        n.append(p.name);
    return n;
}

QString PdfPrinterBackend::defaultPrinterName() const
{
    if (down_ || listedNone_)
        return QString();
    if (find(default_))
        return default_;
    return printers_.isEmpty() ? QString() : printers_.first().name;
}

std::optional<QList<PaperInfo>> PdfPrinterBackend::papers(const QString& printer) const
{
    const Printer* p = find(printer);
    if (!p)
        return std::nullopt;
    return p->papers;
}

QPageSize PdfPrinterBackend::defaultPageSize(const QString& printer) const
{
    if (const Printer* p = find(printer); p && p->papers) {
        for (const PaperInfo& paper : *p->papers)
            if (paper.code == p->defaultPaperCode)
                return paper.size;
    }
    return QPageSize(QPageSize::A4);
}

QMarginsF PdfPrinterBackend::minimumMargins(const QString& printer, const QPageSize&,
                                            QPageLayout::Orientation orientation) const
{
    const Printer* p = find(printer);
    if (!p)
        return {};
    if (orientation == QPageLayout::Landscape)
        return QMarginsF(p->margins.top(), p->margins.right(), p->margins.bottom(), p->margins.left());
    return p->margins;
}

QList<int> PdfPrinterBackend::resolutions(const QString& printer) const
{
    const Printer* p = find(printer);
    return p ? p->resolutions : QList<int>();
}

bool PdfPrinterBackend::supportsColor(const QString& printer) const
{
    const Printer* p = find(printer);
    return p && p->color;
}

void PdfPrinterBackend::prepare(QPrinter& job, const QString& printer) const
{
    job.setOutputFormat(QPrinter::PdfFormat);
    job.setOutputFileName(output_);
    job.setCreator(printer);
}

QString PdfPrinterBackend::spoolFolder() const { return spool_.isEmpty() ? PrinterBackend::spoolFolder() : spool_; }

PrintQueue::Answer PdfPrinterBackend::submit(const QString&, const QString& file, const PrintQueue::JobOptions&)
{
    PrintQueue::Answer a;
    if (refusal_ != PrintQueue::Answer::None) {
        a.failure = refusal_;
        a.detail = refusalDetail_;
        return a;
    }
    // The queue takes the job file as the output file (copied when it lies on another disk).
    QFile::remove(output_);
    QFile in(file);
    if (output_.isEmpty() || !(in.rename(output_) || in.copy(output_))) {
        a.failure = PrintQueue::Answer::Refused;
        a.detail = output_.isEmpty() ? QStringLiteral("没有输出文件") : in.errorString();
        QFile::remove(output_);
        return a;
    }
    a.jobId = ++submitted_;
    return a;
}

PrintQueue::JobStatus PdfPrinterBackend::jobStatus(const QString&, int)
{
    ++statusAsked_;
    if (states_.isEmpty()) {
        PrintQueue::JobStatus done;
        done.state = PrintQueue::JobStatus::Completed;
        return done;
    }
    return states_.size() > 1 ? states_.takeFirst() : states_.first();
}
