#include "report/PrinterBackend.h"

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

// --- system printers --------------------------------------------------------

QStringList SystemPrinterBackend::printerNames() const
{
    if (!names_)
        names_ = QPrinterInfo::availablePrinterNames();
    return *names_;
}

const QPrinterInfo& SystemPrinterBackend::info(const QString& printer) const
{
    auto it = infos_.find(printer);
    if (it == infos_.end())
        it = infos_.insert(printer, QPrinterInfo::printerInfo(printer));
    return *it;
}

void SystemPrinterBackend::forget()
{
    names_.reset();
    infos_.clear();
    papers_.clear();
    margins_.clear();
}

QString SystemPrinterBackend::defaultPrinterName() const
{
    const QString d = QPrinterInfo::defaultPrinterName();
    if (!d.isEmpty())
        return d;
    const QStringList all = printerNames();
    return all.isEmpty() ? QString() : all.first();
}

std::optional<QList<PaperInfo>> SystemPrinterBackend::papers(const QString& printer) const
{
    if (const auto it = papers_.constFind(printer); it != papers_.cend())
        return *it;
    const QPrinterInfo& i = info(printer);
    std::optional<QList<PaperInfo>> out;
    if (!i.isNull()) {
        out.emplace();
        const QList<QPageSize> sizes = i.supportedPageSizes();
        for (int k = 0; k < sizes.size(); ++k)
            out->append(PaperInfo{sizes[k].name(), paperCodeFor(sizes[k], k), sizes[k]});
    }
    papers_.insert(printer, out);
    return out;
}

QPageSize SystemPrinterBackend::defaultPageSize(const QString& printer) const
{
    const QPrinterInfo& i = info(printer);
    const QPageSize s = i.isNull() ? QPageSize() : i.defaultPageSize();
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
    QPrinter p;
    p.setPrinterName(printer);
    p.setPageSize(size);
    p.setPageOrientation(orientation);
    QPageLayout layout = p.pageLayout();
    layout.setUnits(QPageLayout::Millimeter);
    return *margins_.insert(key, layout.minimumMargins());
}

QList<int> SystemPrinterBackend::resolutions(const QString& printer) const
{
    QList<int> r = info(printer).supportedResolutions();
    std::sort(r.begin(), r.end());
    return r;
}

bool SystemPrinterBackend::supportsColor(const QString& printer) const
{
    return info(printer).supportedColorModes().contains(QPrinter::Color);
}

void SystemPrinterBackend::prepare(QPrinter& job, const QString&) const
{
    // Qt would hand its own file to the queue and not say when the queue refuses it: the
    // job is written to a file of ours, checked and submitted by us (PrintJob).
    job.setOutputFormat(QPrinter::PdfFormat);
}

PrintQueue::Answer SystemPrinterBackend::submit(const QString& printer, const QString& file,
                                                const PrintQueue::JobOptions& options)
{
    return PrintQueue::Cups::submit(printer, file, options);
}

PrintQueue::JobStatus SystemPrinterBackend::jobStatus(const QString& printer, int jobId)
{
    return PrintQueue::Cups::status(printer, jobId);
}

std::optional<QString> SystemPrinterBackend::serviceDown() const { return PrintQueue::Cups::serviceDown(); }

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
