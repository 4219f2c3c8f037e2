#include "report/ProgramPrinter.h"

#include "report/ReportSurface.h"

#include <QPrinter>

ProgramPrinter::ProgramPrinter() : backend_(std::make_shared<SystemPrinterBackend>()) { resetToDefault(); }

ProgramPrinter& ProgramPrinter::instance()
{
    static ProgramPrinter p;
    return p;
}

void ProgramPrinter::setBackend(std::shared_ptr<PrinterBackend> backend)
{
    ProgramPrinter& p = instance();
    p.backend_ = backend ? std::move(backend) : std::make_shared<SystemPrinterBackend>();
    p.reusable_.reset();
    p.resetToDefault();
}

PrinterBackend& ProgramPrinter::backend() { return *instance().backend_; }

void ProgramPrinter::resetToDefault()
{
    color_ = Colour;
    orientation_ = QPageLayout::Portrait;
    quality_ = 0;
    resolution_ = 0;
    adoptPrinter(backend_->defaultPrinterName());
}

void ProgramPrinter::adoptPrinter(const QString& name)
{
    name_ = name;
    pageSize_ = name.isEmpty() ? QPageSize(QPageSize::A4) : backend_->defaultPageSize(name);
}

QStringList ProgramPrinter::printerNames() const { return backend_->printerNames(); }

QString ProgramPrinter::printerName() const { return name_; }

bool ProgramPrinter::selectPrinter(const QString& name)
{
    if (name_.isEmpty()) {
        // There was none when last asked (the print service was not running then): the
        // printers are asked again, and the default is taken as at the start.
        backend_->forget();
        adoptPrinter(backend_->defaultPrinterName());
    }
    if (name.isEmpty() || !backend_->printerNames().contains(name))
        return false;
    adoptPrinter(name);
    return true;
}

bool ProgramPrinter::selectPrinterAt(int index)
{
    const QStringList names = backend_->printerNames();
    if (index < 0 || index >= names.size())
        return false;
    adoptPrinter(names.at(index));
    return true;
}

std::optional<QList<PaperInfo>> ProgramPrinter::papers() const
{
    if (name_.isEmpty())
        return std::nullopt;
    return backend_->papers(name_);
}

int ProgramPrinter::paperCode() const
{
    if (const auto list = papers()) {
        for (const PaperInfo& p : *list)
            if (p.size.isEquivalentTo(pageSize_) && p.size.name() == pageSize_.name())
                return p.code;
        for (const PaperInfo& p : *list)
            if (p.size.isEquivalentTo(pageSize_))
                return p.code;
    }
    return paperCodeFor(pageSize_, 0);
}

bool ProgramPrinter::setPaperCode(int code)
{
    const auto list = papers();
    if (!list)
        return false;
    for (const PaperInfo& p : *list) {
        if (p.code == code) {
            pageSize_ = p.size;
            return true;
        }
    }
    return false;
}

bool ProgramPrinter::setColorCode(int code)
{
    if (code == Monochrome || (code == Colour && (name_.isEmpty() || backend_->supportsColor(name_)))) {
        color_ = code;
        return true;
    }
    return false;
}

bool ProgramPrinter::setOrientationCode(int code)
{
    if (code != Portrait && code != Landscape)
        return false;
    orientation_ = code == Landscape ? QPageLayout::Landscape : QPageLayout::Portrait;
    return true;
}

bool ProgramPrinter::setQualityCode(int code)
{
    if (code > QualityDraft || code < QualityHigh)
        return false;
    quality_ = code;
    const QList<int> res = name_.isEmpty() ? QList<int>() : backend_->resolutions(name_);
    if (res.isEmpty()) {
        resolution_ = 0;   // the device keeps its own resolution
        return true;
    }
    // Draft takes the lowest resolution, high the highest, the two between spread evenly.
    const int step = -code - 1;   // 0..3
    const int index = int(std::lround(double(step) * double(res.size() - 1) / 3.0));
    resolution_ = res.at(std::clamp(index, 0, int(res.size()) - 1));
    return true;
}

QSizeF ProgramPrinter::paperSizeMm() const
{
    QSizeF s = pageSize_.size(QPageSize::Millimeter);
    if (orientation_ == QPageLayout::Landscape)
        s.transpose();
    return s;
}

QRectF ProgramPrinter::printableRectMm() const
{
    const QSizeF paper = paperSizeMm();
    const QMarginsF m = name_.isEmpty() ? QMarginsF() : backend_->minimumMargins(name_, pageSize_, orientation_);
    return QRectF(QPointF(0, 0), paper).marginsRemoved(m);
}

std::optional<QSizeF> ProgramPrinter::printableSizeMm(const QString& printer, int paperCode, int orientationCode)
{
    PrinterBackend& b = backend();
    const auto list = printer.isEmpty() ? std::nullopt : b.papers(printer);
    if (!list)
        return std::nullopt;
    for (const PaperInfo& p : *list) {
        if (p.code != paperCode)
            continue;
        const auto orientation = orientationCode == Landscape ? QPageLayout::Landscape : QPageLayout::Portrait;
        QSizeF paper = p.size.size(QPageSize::Millimeter);
        if (orientation == QPageLayout::Landscape)
            paper.transpose();
        return QRectF(QPointF(0, 0), paper).marginsRemoved(b.minimumMargins(printer, p.size, orientation)).size();
    }
    return std::nullopt;
}

void ProgramPrinter::configure(QPrinter& job) const
{
    backend_->prepare(job, name_);
    if (resolution_ > 0)
        job.setResolution(resolution_);
    job.setColorMode(color_ == Monochrome ? QPrinter::GrayScale : QPrinter::Color);
    const QMarginsF m = name_.isEmpty() ? QMarginsF() : backend_->minimumMargins(name_, pageSize_, orientation_);
    job.setFullPage(false);
    job.setPageLayout(QPageLayout(pageSize_, orientation_, m, QPageLayout::Millimeter));
}

std::unique_ptr<PrintJob> ProgramPrinter::newJob(const std::function<void(const ReportError&)>& fail) const
{
    if (!hasPrinter()) {
        // No printer at all: most often the print service is not running.
        fail(ReportError{ReportError::PrinterFailure,
                         PrintQueue::noPrinterText(QStringLiteral("没有可用的打印机"), backend_->serviceDown())});
        return nullptr;
    }
    // The spool folder is checked before anything in it is touched; pages a killed program
    // left there go then.
    QString why;
    std::shared_ptr<PrintQueue::SpoolFile> spool = PrintQueue::newSpoolFile(backend_->spoolFolder(), &why);
    if (!spool) {
        fail(
            ReportError{ReportError::PrinterFailure, QStringLiteral("打印作业没有送往打印机“%1”：%2").arg(name_, why)});
        return nullptr;
    }
    // One QPrinter serves every job of the session: making one asks the system for its
    // default printer each time. A second job while one is open gets a printer of its own.
    const bool busy = reusable_ && reusable_.use_count() > 1;
    std::shared_ptr<QPrinter> printer;
    if (reusable_ && !busy && reusable_->printerState() == QPrinter::Idle) {
        printer = reusable_;
    } else {
        printer = backend_->newJobPrinter();
        if (!printer) {
            // Making one asks the print service, which did not answer.
            fail(ReportError{ReportError::PrinterFailure,
                             PrintQueue::refusedText(name_, PrintQueue::Answer{0, PrintQueue::Answer::NoAnswer, {}})});
            return nullptr;
        }
        if (!busy)
            reusable_ = printer;   // none yet, or the last one ended in an error
    }
    configure(*printer);
    PrintTarget target{backend_, name_, std::move(spool), {}, [] { instance().forget(); }};
    target.options.paper = pageSize_;
    target.options.monochrome = color_ == Monochrome;
    target.options.quality = quality_;
    return std::make_unique<PrintJob>(std::move(printer), std::move(target));
}
