#include "report/PrinterBackend.h"

#include <QPrinter>
#include <QPrinterInfo>

int paperCodeFor(const QPageSize& size, int indexInPrinterList)
{
    const int id = size.windowsId();
    if (id > 0 && id != 256)
        return id;
    return 1000 + indexInPrinterList;
}

// --- system printers --------------------------------------------------------

QStringList SystemPrinterBackend::printerNames() const { return QPrinterInfo::availablePrinterNames(); }

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
    const QPrinterInfo info = QPrinterInfo::printerInfo(printer);
    if (info.isNull())
        return std::nullopt;
    QList<PaperInfo> out;
    const QList<QPageSize> sizes = info.supportedPageSizes();
    for (int i = 0; i < sizes.size(); ++i)
        out.append(PaperInfo{sizes[i].name(), paperCodeFor(sizes[i], i), sizes[i]});
    return out;
}

QPageSize SystemPrinterBackend::defaultPageSize(const QString& printer) const
{
    const QPrinterInfo info = QPrinterInfo::printerInfo(printer);
    const QPageSize s = info.isNull() ? QPageSize() : info.defaultPageSize();
    return s.isValid() ? s : QPageSize(QPageSize::A4);
}

QMarginsF SystemPrinterBackend::minimumMargins(const QString& printer, const QPageSize& size,
                                               QPageLayout::Orientation orientation) const
{
    QPrinter p;
    p.setPrinterName(printer);
    p.setPageSize(size);
    p.setPageOrientation(orientation);
    QPageLayout layout = p.pageLayout();
    layout.setUnits(QPageLayout::Millimeter);
    return layout.minimumMargins();
}

QList<int> SystemPrinterBackend::resolutions(const QString& printer) const
{
    QList<int> r = QPrinterInfo::printerInfo(printer).supportedResolutions();
    std::sort(r.begin(), r.end());
    return r;
}

bool SystemPrinterBackend::supportsColor(const QString& printer) const
{
    return QPrinterInfo::printerInfo(printer).supportedColorModes().contains(QPrinter::Color);
}

void SystemPrinterBackend::prepare(QPrinter& job, const QString& printer) const
{
    job.setOutputFormat(QPrinter::NativeFormat);
    job.setPrinterName(printer);
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
    QStringList n;
    for (const Printer& p : printers_)
        n.append(p.name);
    return n;
}

QString PdfPrinterBackend::defaultPrinterName() const
{
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
