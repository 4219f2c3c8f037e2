#include "report/ReportSurface.h"

#include "platform/Units.h"
#include "report/PrinterBackend.h"
#include "report/ReportFonts.h"
#include "report/ReportUnits.h"

#include <QFile>
#include <QImageReader>
#include <QPainter>
#include <QPrinter>
#include <cmath>

// --- common state ------------------------------------------------------------

void ReportSurface::setFontName(const QString& name)
{
    if (name.trimmed().isEmpty())
        return;
    fontName_ = name;
    font_.setFamilies(ReportFonts::faces(name, font_.bold()));
}

void ReportSurface::setFontBold(bool on)
{
    font_.setBold(on);
    if (!fontName_.isEmpty())
        font_.setFamilies(ReportFonts::faces(fontName_, on));
}

void ReportSurface::setFontSize(double points)
{
    if (std::isfinite(points) && points > 0 && points < 2000)
        font_.setPointSizeF(points);
}

QString ReportSurface::printDateText(const QDateTime& when, const QString& tail)
{
    return QStringLiteral("打印日期： ") + when.toString(QStringLiteral("yyyy/MM/dd HH:mm")) + tail;
}

void ReportSurface::printDateLine(const QString& tail) { printLine(printDateText(QDateTime::currentDateTime(), tail)); }

// --- the layout ------------------------------------------------------------------

QStringList ReportLayout::texts(int n, const QDateTime& printed) const
{
    QStringList out;
    if (n < 1 || n > pageCount())
        return out;
    for (const Item& it : pages[n - 1].items)
        if (it.kind == Item::Text)
            out << (it.printDate ? ReportSurface::printDateText(printed, it.text) : it.text);
    return out;
}

const QImage& ReportLayout::pictureAt(int index, const QSize& target) const
{
    const QImage& full = pictures[index];
    // Drawn smaller than decoded: scaled once for that size, so that a printer or a
    // preview of lower resolution is not sent more than it shows.
    if (full.width() <= target.width() || full.height() <= target.height())
        return full;
    const QString key = QStringLiteral("%1/%2x%3").arg(index).arg(target.width()).arg(target.height());
    auto it = scaled_.find(key);
    if (it == scaled_.end())
        it = scaled_.insert(key, full.scaled(target, Qt::IgnoreAspectRatio, Qt::SmoothTransformation));
    return *it;
}

void ReportLayout::paintPage(QPainter& p, int n, double dpi, double zoom, bool preview, const QDateTime& printed) const
{
    if (n < 1 || n > pageCount())
        return;
    const double f = dpi / ReportUnits::kMmPerInch * zoom;   // dots per millimetre of the layout
    p.setRenderHint(QPainter::SmoothPixmapTransform);
    QFont lastFont;
    bool fontSet = false;
    QColor lastPen;
    bool penIsText = false;
    for (const Item& it : pages[n - 1].items) {
        switch (it.kind) {
        case Item::Text: {
            QFont font = it.font;
            if (zoom != 1.0)
                font.setPointSizeF(it.font.pointSizeF() * zoom);
            if (!fontSet || font != lastFont) {
                p.setFont(font);
                lastFont = font;
                fontSet = true;
            }
            if (!penIsText || it.color != lastPen) {
                p.setPen(it.color);
                lastPen = it.color;
                penIsText = true;
            }
            const QString text = it.printDate ? ReportSurface::printDateText(printed, it.text) : it.text;
            p.drawText(QPointF(it.x * f, it.y * f), text);
            break;
        }
        case Item::Line: {
            QPen pen(it.color);
            if (preview)
                pen.setWidthF(zoom >= 0.5 ? Units::roundEven(2 * zoom) : 1.0);
            else
                pen.setWidthF(it.width * dpi / ReportUnits::kMmPerInch);
            pen.setCapStyle(Qt::FlatCap);
            p.setPen(pen);
            penIsText = false;
            p.drawLine(QPointF(it.x * f, it.y * f), QPointF(it.x2 * f, it.y2 * f));
            break;
        }
        case Item::Picture: {
            const QRectF r(it.x * f, it.y * f, it.x2 * f, it.y2 * f);
            const QSize target(std::max(1, int(std::ceil(r.width()))), std::max(1, int(std::ceil(r.height()))));
            p.drawImage(r, pictureAt(it.picture, target));
            break;
        }
        }
    }
}

// --- laying out --------------------------------------------------------------------

LayoutSurface::LayoutSurface(ReportLayout& layout) : layout_(layout), measure_(1, 1, QImage::Format_RGB32)
{
    const int dpm = int(Units::roundEven(ReportMeasure::kDpi / 0.0254));
    measure_.setDotsPerMeterX(dpm);
    measure_.setDotsPerMeterY(dpm);
    layout_.pages = {ReportLayout::Page()};
    layout_.pictures.clear();
    layout_.complete = false;
}

const QFontMetricsF& LayoutSurface::metrics()
{
    if (!metrics_ || !(metricsFont_ == font_)) {
        metricsFont_ = font_;
        metrics_ = std::make_unique<QFontMetricsF>(font_, &measure_);
    }
    return *metrics_;
}

double LayoutSurface::textWidth(const QString& text)
{
    return ReportUnits::dotsToMm(metrics().horizontalAdvance(text), ReportMeasure::kDpi);
}

double LayoutSurface::textHeight(const QString&)
{
    return ReportUnits::dotsToMm(metrics().lineSpacing(), ReportMeasure::kDpi);
}

void LayoutSurface::addText(const QString& text, bool printDate)
{
    const double ascent = ReportUnits::dotsToMm(metrics().ascent(), ReportMeasure::kDpi);
    ReportLayout::Item it;
    it.kind = ReportLayout::Item::Text;
    it.text = text;
    it.printDate = printDate;
    it.font = font_;
    it.color = foreColor_;
    it.x = currentX;
    it.y = currentY + ascent;
    layout_.pages.last().items.append(it);
}

void LayoutSurface::printLine(const QString& text)
{
    if (!text.isEmpty())
        addText(text, false);
    currentY += textHeight(text);
    currentX = 0;
}

void LayoutSurface::printDateLine(const QString& tail)
{
    addText(tail, true);
    currentY += textHeight(tail);
    currentX = 0;
}

void LayoutSurface::line(double x1, double y1, double x2, double y2)
{
    ReportLayout::Item it;
    it.kind = ReportLayout::Item::Line;
    it.color = drawColor_;
    it.x = x1;
    it.y = y1;
    it.x2 = x2;
    it.y2 = y2;
    it.width = ReportUnits::dotsToMm(drawWidth_, ReportMeasure::kDpi);
    layout_.pages.last().items.append(it);
}

void LayoutSurface::paintPicture(const QString& file, double x, double y, double w, double h)
{
    QImageReader reader(file);
    reader.setAutoTransform(true);
    // A picture larger than its place at the measuring resolution is decoded at that size:
    // a camera picture of many megapixels is neither held whole in memory nor printed whole.
    const QSize target(std::max(1, int(std::ceil(ReportUnits::mmToDots(w, ReportMeasure::kDpi)))),
                       std::max(1, int(std::ceil(ReportUnits::mmToDots(h, ReportMeasure::kDpi)))));
    const QSize source = reader.size();
    if (source.isValid() && (source.width() > target.width() || source.height() > target.height()))
        reader.setScaledSize(target);
    const QImage img = reader.read();
    if (img.isNull())
        throw ReportError{ReportError::InvalidPicture, QStringLiteral("无效的图片：") + file};
    layout_.pictures.append(img);
    ReportLayout::Item it;
    it.kind = ReportLayout::Item::Picture;
    it.x = x;
    it.y = y;
    it.x2 = w;
    it.y2 = h;
    it.picture = int(layout_.pictures.size()) - 1;
    layout_.pages.last().items.append(it);
}

void LayoutSurface::newPage() { layout_.pages.append(ReportLayout::Page()); }

// --- a print job ---------------------------------------------------------------------

PrintJob::PrintJob(QPrinter& printer) : printer_(printer) {}

PrintJob::PrintJob(std::shared_ptr<QPrinter> printer, PrintTarget target)
    : owned_(std::move(printer)), printer_(*owned_), target_(std::move(target))
{
    printer_.setOutputFileName(target_->spool->path());
}

// The spool file goes with the target.
PrintJob::~PrintJob()
{
    if (jobStarted() && !ended_)
        killDoc();
}

bool PrintJob::jobStarted() const { return painter_ && painter_->isActive(); }

void PrintJob::fail(const QString& text)
{
    if (target_ && target_->forget)
        target_->forget();
    throw ReportError{ReportError::PrinterFailure, text};
}

void PrintJob::failWriting(const QString& step)
{
    // A job of the program's printer is written into its spool file: what stops it there is
    // the disk, and the message says so with the printer it was meant for, on the first
    // page as on any later one.
    if (!target_)
        fail(QStringLiteral("打印机错误，") + step);
    fail(PrintQueue::notWrittenText(target_->printer, *target_->spool, step));
}

void PrintJob::startJob()
{
    if (jobStarted())
        return;
    if (!painter_)
        painter_ = std::make_unique<QPainter>();
    if (!painter_->begin(&printer_))
        failWriting(QStringLiteral("打印作业无法开始"));
}

QPainter* PrintJob::painter()
{
    if (ended_)
        throw ReportError{ReportError::PrinterFailure, QStringLiteral("打印机错误，打印作业已结束")};
    startJob();
    return painter_.get();
}

void PrintJob::newPage()
{
    if (ended_)
        return;
    startJob();
    if (!printer_.newPage() || printer_.printerState() == QPrinter::Error)
        failWriting(QStringLiteral("无法开始新的一页"));
}

void PrintJob::endDoc()
{
    if (ended_)
        return;
    startJob();
    ended_ = true;
    const bool ok = painter_->end();
    if (!ok || printer_.printerState() == QPrinter::Error)
        failWriting(QStringLiteral("打印作业未能完成"));
    if (target_)
        submit();
}

// The spool file is checked whole before the queue sees it (a full temporary folder
// leaves a cut file that would print blank), then handed over; the queue's refusal, or
// its abandoning the job at once, is the job's failure. Later ends are reported by the
// watch that follows the job.
void PrintJob::submit()
{
    const PrintTarget& t = *target_;
    const QString damage = PrintQueue::checkWhole(t.spool->path());
    if (!damage.isEmpty())
        fail(PrintQueue::notWrittenText(t.printer, *t.spool, damage));
    PrintQueue::JobOptions options = t.options;
    options.title = printer_.docName();
    const PrintQueue::Answer a = t.backend->submit(t.printer, t.spool->path(), options);
    target_->spool.reset();
    if (!a.accepted())
        fail(PrintQueue::refusedText(t.printer, a));
    const PrintQueue::JobStatus s = t.backend->jobStatus(t.printer, a.jobId);
    if (s.state == PrintQueue::JobStatus::Aborted || s.state == PrintQueue::JobStatus::Canceled
        || s.state == PrintQueue::JobStatus::NoAnswer)
        fail(PrintQueue::endedText(t.printer, a.jobId, s));
    if (s.state == PrintQueue::JobStatus::Waiting)
        PrintQueue::watch(t.backend, t.printer, a.jobId);
}

void PrintJob::killDoc()
{
    if (ended_)
        return;
    ended_ = true;
    printer_.abort();
    if (painter_ && painter_->isActive())
        painter_->end();
    // A job's spool file goes with its target; a half-written output of a printer
    // configured elsewhere goes here.
    if (!target_ && !printer_.outputFileName().isEmpty())
        QFile::remove(printer_.outputFileName());
}

// --- preview -----------------------------------------------------------------------

PreviewSurface::PreviewSurface() { setPageSize(10, 10); }

void PreviewSurface::setPageSize(double widthMm, double heightMm)
{
    const double dpi = ReportUnits::kScreenDpi;
    const int w = std::max(1, int(Units::roundEven(ReportUnits::mmToDots(widthMm, dpi))));
    const int h = std::max(1, int(Units::roundEven(ReportUnits::mmToDots(heightMm, dpi))));
    if (image_.size() != QSize(w, h)) {
        image_ = QImage(w, h, QImage::Format_RGB32);
        const int dpm = int(Units::roundEven(dpi / 0.0254));
        image_.setDotsPerMeterX(dpm);
        image_.setDotsPerMeterY(dpm);
    }
    image_.fill(Qt::white);
}

void PreviewSurface::showPage(const ReportLayout& layout, int n, double zoom)
{
    setPageSize(layout.pageWidth * zoom, layout.pageHeight * zoom);
    const QDateTime now = QDateTime::currentDateTime();
    page_ = n >= 1 && n <= layout.pageCount() ? n : 0;
    texts_ = layout.texts(page_, now);
    if (!page_)
        return;
    QPainter p(&image_);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    layout.paintPage(p, page_, ReportUnits::kScreenDpi, zoom, true, now);
}
