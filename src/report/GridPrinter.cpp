#include "report/GridPrinter.h"

#include "core/Modini.h"
#include "core/NumberText.h"
#include "platform/MessageBox.h"
#include "platform/Units.h"
#include "report/ProgramPrinter.h"
#include "report/ReportFonts.h"
#include "report/ReportSurface.h"
#include "report/ReportUnits.h"

#include <QFontMetricsF>
#include <QImage>
#include <QPainter>
#include <QPrinter>
#include <QTextBoundaryFinder>
#include <cfloat>
#include <cmath>
#include <vector>

namespace {

constexpr double kTwipsPerInch = Units::kTwipsPerInch;
constexpr double kTwipsPerMm = kTwipsPerInch / ReportUnits::kMmPerInch;
constexpr int kLineDots = 5;   // width of the cell lines in dots at 1200 dpi (about 0.1 mm)
constexpr double kPad = 20;    // text inset from the cell's left or right edge
constexpr double kVPad = 10;   // text inset from the cell's top or bottom edge

ReportError notANumber(const IniSetting& key)
{
    return {AppError::TypeMismatch,
            QStringLiteral("类型不匹配（列表打印设置 [%1] 中的 %2 不是数字，请在“打印设置”中保存一次）")
                .arg(key.section, key.key)};
}

ReportError outOfRange(const IniSetting& key)
{
    return {AppError::Overflow,
            QStringLiteral("溢出（列表打印设置 [%1] 中的 %2 超出了范围）").arg(key.section, key.key)};
}

// A setting the file lacks takes the shipped value (A4, 10 mm margins), so a
// list prints before its settings were ever saved.
QString readText(const IniSetting& key) { return Modini::GetIniValue(key, Modini::ShippedIniValue(key)); }

qint32 readInt32(const IniSetting& key)
{
    const auto v = NumberText::Parse(readText(key));
    if (!v)
        throw notANumber(key);
    const double r = Units::roundEven(*v);
    if (r < -2147483648.0 || r > 2147483647.0)
        throw outOfRange(key);
    return qint32(r);
}

float readSingle(const IniSetting& key)
{
    const auto v = NumberText::Parse(readText(key));
    if (!v)
        throw notANumber(key);
    if (std::fabs(*v) > FLT_MAX)
        throw outOfRange(key);
    return float(*v);
}

// Row (column) blocks: runs of rows whose sizes add up to at most room; a row that
// does not fit alone is a block of its own. Each block is [first, last].
std::vector<std::pair<int, int>> blocks(const std::vector<int>& sizes, double room)
{
    std::vector<std::pair<int, int>> out;
    const int n = int(sizes.size());
    int s = 0;
    while (s < n) {
        double sum = 0;
        int e = s;
        while (e < n && sum + sizes[e] <= room) {
            sum += sizes[e];
            ++e;
        }
        if (e == s)
            e = s + 1;
        out.emplace_back(s, e - 1);
        s = e;
    }
    return out;
}

// The text as printed in a box of width box: cut before the first line break, then
// the longest prefix of whole characters whose width plus 40 twips fits. Returns
// the text and its width.
std::pair<QString, double> fitText(const QString& text, double box, GridSurface& surface)
{
    qsizetype end = text.size();
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] == QLatin1Char('\r') || text[i] == QLatin1Char('\n')) {
            end = i;
            break;
        }
    }
    const QString head = text.left(end);
    const double room = box - 2 * kPad;
    if (head.isEmpty())
        return {QString(), 0};
    if (head.size() <= 512) {
        const double w = surface.textWidth(head);
        if (w <= room)
            return {head, w};
    }
    // Prefixes end on character boundaries only (never inside a surrogate pair or
    // a combined character). Grow the prefix by doubling, then halve the gap.
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, head);
    std::vector<qsizetype> bounds{0};
    auto boundary = [&](size_t k) -> qsizetype {
        while (bounds.size() <= k) {
            const qsizetype p = finder.toNextBoundary();
            if (p < 0)
                return -1;
            bounds.push_back(p);
        }
        return bounds[k];
    };
    std::vector<double> widths{0};
    auto widthOf = [&](size_t k) {
        if (widths.size() <= k)
            widths.resize(k + 1, -1);
        if (widths[k] < 0)
            widths[k] = surface.textWidth(head.left(bounds[k]));
        return widths[k];
    };
    size_t fits = 0;
    size_t fails = 0;
    for (size_t k = 1;; k *= 2) {
        if (boundary(k) < 0) {
            const size_t last = bounds.size() - 1;
            if (last > fits && widthOf(last) <= room)
                return {head, widthOf(last)};
            fails = last;
            break;
        }
        if (widthOf(k) > room) {
            fails = k;
            break;
        }
        fits = k;
    }
    while (fails - fits > 1) {
        const size_t mid = (fits + fails) / 2;
        if (widthOf(mid) <= room)
            fits = mid;
        else
            fails = mid;
    }
    if (fits == 0 || room < 0)
        return {QString(), 0};
    return {head.left(bounds[fits]), widthOf(fits)};
}

QFont toQFont(const GridFont& f, const QFont& previous)
{
    QFont q = previous;
    if (std::isfinite(f.size) && f.size > 0 && f.size < 2000)
        q.setPointSizeF(f.size);
    q.setBold(f.bold);
    if (!f.name.trimmed().isEmpty())
        q.setFamilies({f.name});
    q.setItalic(f.italic);
    q.setStrikeOut(f.strikeout);
    q.setUnderline(f.underline);
    return q;
}
}

// --- the printer's surface ------------------------------------------------------------

PrinterGridSurface::PrinterGridSurface(QPrinter& printer)
    : printer_(printer), job_(std::make_unique<PrintJob>(printer)), dotsPerTwip_(printer.resolution() / kTwipsPerInch)
{}

PrinterGridSurface::PrinterGridSurface(std::unique_ptr<PrintJob> job)
    : printer_(job->printer()), job_(std::move(job)), dotsPerTwip_(printer_.resolution() / kTwipsPerInch)
{}

PrinterGridSurface::~PrinterGridSurface() = default;

QPainter* PrinterGridSurface::painter()
{
    QPainter* p = job_->painter();
    if (!penSet_) {
        QPen pen(color_);
        pen.setWidthF(drawWidth_);
        pen.setCapStyle(Qt::SquareCap);
        p->setPen(pen);
        penSet_ = true;
    }
    if (!fontSet_) {
        p->setFont(font_);
        fontSet_ = true;
    }
    return p;
}

const QFontMetricsF& PrinterGridSurface::metrics()
{
    if (!metrics_)
        metrics_ = std::make_unique<QFontMetricsF>(font_, &printer_);
    return *metrics_;
}

void PrinterGridSurface::setDrawWidth(int dots)
{
    // Dots of the measuring resolution: the same physical width at every print quality.
    drawWidth_ = std::max(1, dots) * printer_.resolution() / ReportMeasure::kDpi;
    penSet_ = false;
}

void PrinterGridSurface::setFont(const GridFont& font)
{
    const QFont f = toQFont(font, font_);
    if (f != font_) {
        font_ = f;
        fontSet_ = false;
        metrics_.reset();
        widths_.clear();
    }
    if (font.color != color_) {
        color_ = font.color;
        penSet_ = false;
    }
}

double PrinterGridSurface::textWidth(const QString& text)
{
    if (const auto it = widths_.constFind(text); it != widths_.cend())
        return *it;
    const double w = metrics().horizontalAdvance(text) / dotsPerTwip_;
    if (text.size() <= 64) {
        if (widths_.size() >= 4096)
            widths_.clear();
        widths_.insert(text, w);
    }
    return w;
}

double PrinterGridSurface::textHeight() { return metrics().height() / dotsPerTwip_; }

void PrinterGridSurface::print(double x, double y, const QString& text)
{
    const double ascent = metrics().ascent();
    painter()->drawText(QPointF(x * dotsPerTwip_, y * dotsPerTwip_ + ascent), text);
}

void PrinterGridSurface::line(double x1, double y1, double x2, double y2)
{
    painter()->drawLine(QPointF(x1 * dotsPerTwip_, y1 * dotsPerTwip_), QPointF(x2 * dotsPerTwip_, y2 * dotsPerTwip_));
}

void PrinterGridSurface::newPage() { job_->newPage(); }

void PrinterGridSurface::endDoc()
{
    if (job_->jobStarted())
        job_->endDoc();
}

void PrinterGridSurface::killDoc() { job_->killDoc(); }

// --- setup ------------------------------------------------------------------------------

void GridPrinter::SetupGridPrinter()
{
    GridPrintSettings s;
    try {
        s.printerName = Modini::GetIniValue(IniKey::GridPrinterName);
        s.paperCode = readInt32(IniKey::GridPaper);
        s.colorMode = readText(IniKey::GridColor);
        s.orientation = readText(IniKey::GridDirection);
        s.quality = readText(IniKey::GridQuality);
        const PageRoom::Margins mm{readSingle(IniKey::GridTop), readSingle(IniKey::GridBottom),
                                   readSingle(IniKey::GridLeft), readSingle(IniKey::GridRight)};
        s.top = float(mm.top * kTwipsPerMm);
        s.bottom = float(mm.bottom * kTwipsPerMm);
        s.left = float(mm.left * kTwipsPerMm);
        s.right = float(mm.right * kTwipsPerMm);

        // Each printer property the printer refuses keeps its previous value.
        ProgramPrinter& printer = ProgramPrinter::instance();
        printer.selectPrinter(s.printerName);
        printer.setPaperCode(s.paperCode);
        if (const auto c = ReportUnits::toCode16(s.colorMode))
            printer.setColorCode(*c);
        if (const auto c = ReportUnits::toCode16(s.orientation))
            printer.setOrientationCode(*c);
        if (const auto c = ReportUnits::toCode16(s.quality))
            printer.setQualityCode(*c);

        const QRectF printable = printer.printableRectMm();
        s.pageWidth = qint32(Units::roundEven(printable.width() * kTwipsPerMm));
        s.pageHeight = qint32(Units::roundEven(printable.height() * kTwipsPerMm));
        // Margins that leave no room for a line would put every row on pages of its own.
        if (const auto refusal = PageRoom::check(printable.size(), mm, roomForALine()))
            throw ReportError{
                AppError::InvalidPropertyValue,
                QStringLiteral("无效的属性值（列表打印设置中的%1）").arg(PageRoom::refusalText(*refusal))};
    } catch (const AppError& e) {
        settings_.pageWidth = 0;
        settings_.pageHeight = 0;
        setupFailure_ = messageText(e);
        setupFailureShown_ = true;
        MessageBox::critical(setupFailure_, MessageBox::kErrorTitle);
        return;
    }
    settings_ = s;
    setupFailureShown_ = false;
}

PageRoom::Needed GridPrinter::roomForALine()
{
    ReportFonts::installSubstitutions();
    QImage measure(1, 1, QImage::Format_RGB32);
    const int dpm = int(Units::roundEven(ReportMeasure::kDpi / 0.0254));
    measure.setDotsPerMeterX(dpm);
    measure.setDotsPerMeterY(dpm);
    const QFontMetricsF fm(toQFont(GridFont(), QFont()), &measure);
    const double mmPerTwip = 1 / kTwipsPerMm;
    return {ReportUnits::dotsToMm(fm.height(), ReportMeasure::kDpi) + 2 * kVPad * mmPerTwip,
            ReportUnits::dotsToMm(fm.horizontalAdvance(QStringLiteral("国")), ReportMeasure::kDpi)
                + 2 * kPad * mmPerTwip};
}

QString GridPrinter::messageText(const AppError& e) { return e.text(); }

void GridPrinter::report(const AppError& e) { MessageBox::critical(messageText(e), MessageBox::kErrorTitle); }

bool GridPrinter::refuseUnlessReady()
{
    if (ready())
        return false;
    // The setup that has just failed said why; a print without a new setup says it again.
    if (!setupFailureShown_)
        MessageBox::critical(setupFailure_, MessageBox::kErrorTitle);
    setupFailureShown_ = false;
    return true;
}

// --- printing -------------------------------------------------------------------------------

void GridPrinter::PrintGrid(const PrintableGrid& grid, const QString& documentName)
{
    if (refuseUnlessReady())
        return;
    auto job = ProgramPrinter::instance().newJob([this](const ReportError& e) { report(e); });
    if (!job)
        return;
    job->printer().setDocName(documentName.isEmpty() ? grid.documentName() : documentName);
    PrinterGridSurface surface(std::move(job));
    PrintGrid(grid, surface);
}

void GridPrinter::PrintGrid(const PrintableGrid& grid, GridSurface& surface)
{
    if (refuseUnlessReady())
        return;
    ReportFonts::installSubstitutions();
    try {
        layOut(grid, surface);
    } catch (const AppError& e) {
        surface.killDoc();
        report(e);
    }
}

void GridPrinter::layOut(const PrintableGrid& g, GridSurface& s) const
{
    s.setDrawWidth(kLineDots);
    const double left = Units::roundEven(settings_.left);
    const double top = Units::roundEven(settings_.top);

    std::vector<int> heights(std::max(0, g.rows()));
    std::vector<int> widths(std::max(0, g.cols()));
    for (size_t i = 0; i < heights.size(); ++i)
        heights[i] = g.rowHeight(int(i));
    for (size_t j = 0; j < widths.size(); ++j)
        widths[j] = g.colWidth(int(j));
    if (heights.empty() || widths.empty()) {
        s.endDoc();
        return;
    }
    const auto rowBlocks = blocks(heights, double(settings_.pageHeight) - settings_.top - settings_.bottom);
    const auto colBlocks = blocks(widths, double(settings_.pageWidth) - settings_.right - settings_.left);

    // Rows 0 to 2 print in the font and alignment of their first cell, row 3 in the
    // grid's font; later rows keep the font and alignment last taken.
    std::pair<int, int> alignCell = g.currentCell();
    bool firstPage = true;
    for (const auto& [r0, r1] : rowBlocks) {
        for (const auto& [c0, c1] : colBlocks) {
            if (!firstPage)
                s.newPage();
            firstPage = false;
            double y = top;
            for (int i = r0; i <= r1; ++i) {
                double x = left;
                const double h = heights[i];
                for (int j = c0; j <= c1; ++j) {
                    const double w = widths[j];
                    const QString t = g.text(i, j);
                    double W = 0, H = 0;
                    bool showText = true;
                    if (g.mergeRow(i) && !t.isEmpty()) {
                        if (j == c0 || g.text(i, j - 1) != t)
                            s.line(x, y, x, y + h);
                        else
                            showText = false;
                        if (j == c1 || g.text(i, j + 1) != t)
                            s.line(x + w, y, x + w, y + h);
                        for (int k = j; showText && k <= c1 && g.text(i, k) == t; ++k)
                            W += widths[k];
                    } else {
                        s.line(x, y, x, y + h);
                        s.line(x + w, y, x + w, y + h);
                        W = w;
                    }
                    if (g.mergeCol(j) && !t.isEmpty()) {
                        if (i == r0 || g.text(i - 1, j) != t)
                            s.line(x, y, x + w, y);
                        else
                            showText = false;
                        if (i == r1 || g.text(i + 1, j) != t)
                            s.line(x, y + h, x + w, y + h);
                        for (int k = i; showText && k <= r1 && g.text(k, j) == t; ++k)
                            H += heights[k];
                    } else {
                        s.line(x, y, x + w, y);
                        s.line(x, y + h, x + w, y + h);
                        H = h;
                    }

                    if (w > 2 * kPad) {
                        double cx = x + kPad;
                        double cy = y + (H - s.textHeight()) / 2;
                        if (showText && !t.isEmpty()) {
                            if (i <= 2) {
                                alignCell = {i, 0};
                                s.setFont(g.cellFont(i, 0));
                            } else if (i == 3) {
                                s.setFont(g.gridFont());
                            }
                            const auto [cut, tw] = fitText(t, W, s);
                            const double th = s.textHeight();
                            const int align = g.cellAlignment(alignCell.first, alignCell.second);
                            if (align >= PrintableGrid::LeftTop && align <= PrintableGrid::General) {
                                const int column = align == PrintableGrid::General ? 0 : align / 3;
                                const int row = align == PrintableGrid::General ? 1 : align % 3;
                                cx = column == 0 ? x + kPad : column == 1 ? x + (W - tw) / 2 : x + W - tw - kPad;
                                cy = row == 0 ? y + kVPad : row == 1 ? y + (H - th) / 2 : y + H - th - kVPad;
                            }
                            if (!cut.isEmpty())
                                s.print(cx, cy, cut);
                        }
                    }
                    x += w;
                }
                y += h;
            }
        }
    }
    s.endDoc();
}
