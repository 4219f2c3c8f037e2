#include "report/ReportSurface.h"

#include "report/ReportUnits.h"

#include <QFile>
#include <QFontMetricsF>
#include <QImageReader>
#include <QPainter>
#include <QPrinter>
#include <cmath>

// --- common state ------------------------------------------------------------

void ReportSurface::setFontName(const QString& name)
{
    if (!name.trimmed().isEmpty())
        font_.setFamilies({name});
}

void ReportSurface::setFontSize(double points)
{
    if (std::isfinite(points) && points > 0 && points < 2000)
        font_.setPointSizeF(points);
}

// --- painting on a Qt device ---------------------------------------------------

double PainterSurface::dots(double mm) const
{
    return ReportUnits::mmToDots(mm, dpi());
}

double PainterSurface::textWidth(const QString& text)
{
    const QFontMetricsF fm(font_, metricsDevice());
    return ReportUnits::dotsToMm(fm.horizontalAdvance(text), metricsDpi());
}

double PainterSurface::textHeight(const QString&)
{
    const QFontMetricsF fm(font_, metricsDevice());
    return ReportUnits::dotsToMm(fm.lineSpacing(), metricsDpi());
}

void PainterSurface::printLine(const QString& text)
{
    if (outputEnabled_ && !text.isEmpty()) {
        if (QPainter* p = beginPaint()) {
            p->setFont(font_);
            p->setPen(foreColor_);
            const QFontMetricsF fm(font_, metricsDevice());
            const double ascent = ReportUnits::dotsToMm(fm.ascent(), metricsDpi());
            p->drawText(QPointF(dots(currentX), dots(currentY + ascent)), text);
            endPaint(p);
        }
    }
    currentY += textHeight(text);
    currentX = 0;
}

void PainterSurface::line(double x1, double y1, double x2, double y2)
{
    if (!outputEnabled_)
        return;
    if (QPainter* p = beginPaint()) {
        QPen pen(drawColor_);
        pen.setWidthF(drawWidth_);
        pen.setCapStyle(Qt::FlatCap);
        p->setPen(pen);
        p->drawLine(QPointF(dots(x1), dots(y1)), QPointF(dots(x2), dots(y2)));
        endPaint(p);
    }
}

void PainterSurface::paintPicture(const QString& file, double x, double y, double w, double h)
{
    if (!outputEnabled_)
        return;
    QImageReader reader(file);
    reader.setAutoTransform(true);
    // A picture larger than its place is decoded at the size it is drawn: a camera
    // picture of many megapixels is neither held whole in memory nor sent whole to the printer.
    const QSize target(std::max(1, int(std::ceil(dots(w)))), std::max(1, int(std::ceil(dots(h)))));
    const QSize source = reader.size();
    if (source.isValid() && (source.width() > target.width() || source.height() > target.height()))
        reader.setScaledSize(target);
    const QImage img = reader.read();
    if (img.isNull())
        throw ReportError{ReportError::InvalidPicture, QStringLiteral("无效的图片：") + file};
    if (QPainter* p = beginPaint()) {
        p->setRenderHint(QPainter::SmoothPixmapTransform);
        p->drawImage(QRectF(dots(x), dots(y), dots(w), dots(h)), img);
        endPaint(p);
    }
}

// --- printer ---------------------------------------------------------------------

PrinterSurface::PrinterSurface(QPrinter& printer, bool trialRun) : printer_(printer), trial_(trialRun) {}

PrinterSurface::~PrinterSurface()
{
    if (painter_ && painter_->isActive() && !ended_)
        killDoc();
    delete painter_;
}

bool PrinterSurface::jobStarted() const
{
    return painter_ && painter_->isActive();
}

void PrinterSurface::startJob()
{
    if (jobStarted() || trial_)
        return;
    if (!painter_)
        painter_ = new QPainter;
    if (!painter_->begin(&printer_))
        throw ReportError{ReportError::PrinterFailure, QStringLiteral("打印机错误，打印作业无法开始")};
}

QPaintDevice* PrinterSurface::metricsDevice()
{
    return &printer_;
}

double PrinterSurface::dpi() const
{
    return printer_.resolution();
}

QPainter* PrinterSurface::beginPaint()
{
    if (trial_ || ended_)
        return nullptr;
    startJob();
    return painter_;
}

void PrinterSurface::newPage()
{
    if (trial_ || ended_)
        return;
    startJob();
    if (!printer_.newPage() || printer_.printerState() == QPrinter::Error)
        throw ReportError{ReportError::PrinterFailure, QStringLiteral("打印机错误，无法开始新的一页")};
}

void PrinterSurface::endDoc()
{
    if (trial_ || ended_)
        return;
    startJob();
    ended_ = true;
    const bool ok = painter_->end();
    if (!ok || printer_.printerState() == QPrinter::Error)
        throw ReportError{ReportError::PrinterFailure, QStringLiteral("打印机错误，打印作业未能完成")};
}

void PrinterSurface::killDoc()
{
    if (trial_ || ended_)
        return;
    ended_ = true;
    printer_.abort();
    if (painter_ && painter_->isActive())
        painter_->end();
    if (!printer_.outputFileName().isEmpty())
        QFile::remove(printer_.outputFileName());
}

// --- preview -----------------------------------------------------------------------

namespace {
constexpr double kPreviewMeasureDpi = 1200;
}

PreviewSurface::PreviewSurface() : measure_(1, 1, QImage::Format_RGB32)
{
    const int dpm = int(ReportUnits::roundEven(kPreviewMeasureDpi / 0.0254));
    measure_.setDotsPerMeterX(dpm);
    measure_.setDotsPerMeterY(dpm);
    setPageSize(10, 10);
}

double PreviewSurface::metricsDpi() const
{
    return measure_.logicalDpiY();
}

double PreviewSurface::dpi() const
{
    return ReportUnits::kScreenDpi;
}

void PreviewSurface::setPageSize(double widthMm, double heightMm)
{
    const int w = std::max(1, int(ReportUnits::roundEven(ReportUnits::mmToDots(widthMm, dpi()))));
    const int h = std::max(1, int(ReportUnits::roundEven(ReportUnits::mmToDots(heightMm, dpi()))));
    if (image_.size() != QSize(w, h)) {
        image_ = QImage(w, h, QImage::Format_RGB32);
        const int dpm = int(ReportUnits::roundEven(dpi() / 0.0254));
        image_.setDotsPerMeterX(dpm);
        image_.setDotsPerMeterY(dpm);
    }
    cls();
}

void PreviewSurface::cls()
{
    image_.fill(Qt::white);
    currentX = 0;
    currentY = 0;
}

QPainter* PreviewSurface::beginPaint()
{
    auto* p = new QPainter(&image_);
    p->setRenderHint(QPainter::Antialiasing);
    p->setRenderHint(QPainter::TextAntialiasing);
    return p;
}

void PreviewSurface::endPaint(QPainter* painter)
{
    painter->end();
    delete painter;
}
