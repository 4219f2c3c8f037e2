#include <limits>
#include "report/ReportRenderer.h"

#include "core/Mmain.h"
#include "platform/AppPaths.h"
#include "platform/MessageBox.h"
#include "report/FontColorDialogs.h"
#include "report/ProgramPrinter.h"
#include "report/ReportFonts.h"
#include "report/ReportPaperWidget.h"

#include <QDateTime>
#include <QFile>
#include <QImageReader>
#include <QPrinter>
#include <QTextBoundaryFinder>
#include <cmath>

const QString ReportRenderer::kTitle = QStringLiteral("放 射 检 查 报 告 单");
const QString ReportRenderer::kPreviewMode = QStringLiteral("预览");
const QString ReportRenderer::kPrintMode = QStringLiteral("打印");

namespace {
const QString kMeasureText = QStringLiteral("国");
const QString kAt = QStringLiteral("@");
const QString kCaptionEnd = QStringLiteral(": ");
}

ReportRenderer::ReportRenderer(PrintSettings& settings, ReportContent& content) : s_(settings), c_(content)
{
    ReportFonts::installSubstitutions();
}

// --- slots -------------------------------------------------------------------------

bool ReportRenderer::slotShown(int slot) const
{
    return !s_.slotCaptions[slot - 1].isEmpty() && !s_.slotFields[slot - 1].isEmpty();
}

bool ReportRenderer::slotUsed(int slot) const
{
    return !s_.slotCaptions[slot - 1].isEmpty() || !s_.slotFields[slot - 1].isEmpty();
}

QString ReportRenderer::slotCaption(int slot) const
{
    return s_.slotCaptions[slot - 1] + kCaptionEnd;
}

QString ReportRenderer::slotValue(int slot) const
{
    const QString field = s_.slotFields[slot - 1];
    const auto n = ReportUnits::toNumber(field);
    if (!n)
        throw ReportError{ReportError::TypeMismatch,
                          QStringLiteral("类型不匹配（项目 %1 的字段号“%2”）").arg(slot).arg(field)};
    const double k = std::floor(*n);
    if (k < 0 || k >= PrintSettings::kValues)
        throw ReportError{ReportError::SubscriptOutOfRange,
                          QStringLiteral("下标越界（项目 %1 的字段号 %2）").arg(slot).arg(field)};
    return c_.values[int(k)];
}

int ReportRenderer::largerFontSet(int a, int b) const
{
    return s_.fonts[a - 1].size > s_.fonts[b - 1].size ? a : b;
}

void ReportRenderer::report(const ReportError& e)
{
    const QString text = e.text();
    if (reported_.contains(text))
        return;
    reported_.insert(text);
    MessageBox::critical(text, MessageBox::kErrorTitle);
}

// --- fonts and metrics ----------------------------------------------------------------

void ReportRenderer::applyFont(int fontSet, double factor)
{
    const FontSet& f = s_.fonts[fontSet - 1];
    surface_->setFontName(f.name);
    surface_->setFontSize(f.size * factor);
    surface_->setForeColor(storedColorToQColor(f.color));
    surface_->setFontBold(f.bold);
    surface_->setFontItalic(f.italic);
    surface_->setFontStrikeout(f.strikeout);
    surface_->setFontUnderline(f.underline);
}

void ReportRenderer::ApplyReportFont(int fontSet, Mode mode)
{
    applyFont(fontSet, mode == Mode::Preview ? m_.Z : 1.0);
}

void ReportRenderer::ApplyMeasureFont(int fontSet)
{
    applyFont(fontSet, 1.0);
}

void ReportRenderer::ComputeLineMetrics(Mode mode)
{
    double r = 1;
    double extra = 0;
    if (mode == Mode::Preview) {
        ApplyMeasureFont(6);
        const double a = surface_->textWidth(kMeasureText);
        ApplyReportFont(6, mode);
        const double b = surface_->textWidth(kMeasureText);
        r = a > 0 && b > 0 ? b / a : m_.Z;

        auto heights = [this](double factor) {
            auto h = [&](int set) {
                applyFont(set, factor);
                return surface_->textHeight(kMeasureText);
            };
            return h(1) + h(2) + 3 * h(largerFontSet(3, 4)) + h(5) + 2 * h(largerFontSet(7, 8)) + h(9);
        };
        const double U = heights(1.0);
        const double V = heights(m_.Z);
        extra = V - r * U;
        m_.OX = r * s_.offsetX;
        m_.OY = r * s_.offsetY;
    }
    m_.L = r * s_.left;
    m_.R = r * s_.right;
    m_.T = r * s_.top;
    m_.B = r * s_.bottom;
    m_.S1 = r * s_.hjj;
    m_.S2 = r * s_.hjj2;
    for (int i = 0; i < 4; ++i)
        m_.P[i] = r * s_.djj[i];
    m_.PW = r * s_.picWidth;
    m_.PH = r * s_.picHeight;
    m_.W = r * s_.pageWidth;
    m_.H = r * s_.pageHeight + extra;
}

void ReportRenderer::ComputeFooterHeight(Mode mode)
{
    ApplyReportFont(9, mode);
    double F = m_.B + surface_->textHeight(kMeasureText);
    ApplyReportFont(6, mode);
    F += surface_->textHeight(kMeasureText);
    ApplyReportFont(largerFontSet(7, 8), mode);
    const double h = surface_->textHeight(kMeasureText);
    if (slotUsed(26))
        F += 2 * h + 3.5 * m_.S1;
    else if (slotUsed(27) || slotUsed(28))
        F += h + 2.5 * m_.S1;
    else
        F += 1.5 * m_.S1;
    m_.F = F;
}

// --- page header -------------------------------------------------------------------------

void ReportRenderer::drawSeparator()
{
    surface_->setDrawWidth(separatorWidth_);
    surface_->setDrawColor(storedColorToQColor(s_.lineColor));
    surface_->line(m_.L, surface_->currentY, m_.W - m_.R, surface_->currentY);
}

void ReportRenderer::printHeaderValue(Mode mode, const QString& value, double x, double edge)
{
    ReportSurface& sf = *surface_;
    const double f = mode == Mode::Preview ? m_.Z : 1.0;
    const double room = edge - x - f;   // 1 mm clear of the next caption
    const double step = 0.5 * f;
    const double smallest = 7 * f;
    double size = sf.font().pointSizeF();
    while (sf.textWidth(value) > room && size > smallest) {
        size = std::max(smallest, size - step);
        sf.setFontSize(size);
    }
    QString shown = value;
    if (sf.textWidth(shown) > room) {
        // Cut between whole characters.
        QTextBoundaryFinder characters(QTextBoundaryFinder::Grapheme, shown);
        characters.toEnd();
        while (!shown.isEmpty() && sf.textWidth(shown) > room) {
            const qsizetype at = characters.toPreviousBoundary();
            shown.truncate(at < 0 ? 0 : at);
        }
    }
    sf.currentX = x;
    sf.currentY -= sf.textHeight(kAt);
    sf.printLine(shown);
}

void ReportRenderer::drawHeaderRow(Mode mode, int row, const std::array<double, 4>& columns)
{
    ReportSurface& sf = *surface_;
    const int first = (row - 1) * 4 + 1;
    const double gap = row > 1 ? m_.S1 : 0;

    if (slotShown(first)) {
        ApplyReportFont(3, mode);
        sf.currentY += gap;
        sf.currentX = columns[0];
        const QString caption = slotCaption(first);
        const QString value = slotValue(first);
        sf.printLine(caption);
        ApplyReportFont(4, mode);
        printHeaderValue(mode, value, columns[0] + sf.textWidth(caption), columns[1]);
    } else {
        ApplyReportFont(3, mode);
        sf.currentY += sf.textHeight(kAt) + gap;
    }
    for (int k = 1; k < 4; ++k) {
        const int slot = first + k;
        if (!slotShown(slot))
            continue;
        const QString caption = slotCaption(slot);
        const QString value = slotValue(slot);
        ApplyReportFont(3, mode);
        sf.currentX = columns[k];
        sf.currentY -= sf.textHeight(kAt);
        sf.printLine(caption);
        ApplyReportFont(4, mode);
        printHeaderValue(mode, value, columns[k] + sf.textWidth(caption), k < 3 ? columns[k + 1] : m_.W - m_.R);
    }
    if (!slotUsed(first) && !slotUsed(first + 1) && !slotUsed(first + 2) && !slotUsed(first + 3)) {
        // A row without any item in use takes no space (the current font is font set 3 or 4).
        sf.currentY -= sf.textHeight(kAt) + gap;
    }
}

void ReportRenderer::DrawPageHeader(Mode mode, bool newPage)
{
    ReportSurface& sf = *surface_;
    try {
        if (mode == Mode::Preview)
            sf.cls();
        else if (newPage)
            sf.newPage();

        // Logo: as tall as the hospital name and the title together.
        const QString logo = AppPaths::file(QStringLiteral("head.bmp"));
        if (QFile::exists(logo)) {
            // A damaged logo is reported and left out; the header goes on without it.
            try {
                ApplyMeasureFont(1);
                double side = sf.textHeight(kMeasureText);
                ApplyMeasureFont(2);
                side += sf.textHeight(kMeasureText) + s_.hjj + 2;
                const QSize size = QImageReader(logo).size();
                if (!size.isValid() || size.isEmpty())
                    throw ReportError{ReportError::InvalidPicture, logo};
                double x = s_.left + 2, y = s_.top - 1, w = side, h = side * size.height() / size.width();
                if (mode == Mode::Preview) {
                    x *= m_.Z;
                    y *= m_.Z;
                    w *= m_.Z;
                    h *= m_.Z;
                }
                sf.paintPicture(logo, x, y, w, h);
            } catch (const ReportError& e) {
                if (e.number != ReportError::InvalidPicture)
                    throw;
                report(ReportError{e.number, QStringLiteral("页眉图标 head.bmp 无法读取（文件已损坏或不是图片），"
                                                            "报告不带图标打印")});
            }
        }

        // Hospital name. A blank one (shorter than three characters) leaves an empty
        // line and has the title from the left edge below it, in the name's font; the
        // stored name is left as it is.
        const QString name = Mmain::gHospitalName;
        ApplyReportFont(1, mode);
        sf.currentX = (m_.W - sf.textWidth(name)) / 2;
        sf.currentY = m_.T;
        sf.printLine(name);
        if (name.trimmed().isEmpty() && name.size() < 3)
            sf.printLine(kTitle);   // printLine has moved CurrentX to the left edge

        ApplyReportFont(2, mode);
        sf.currentX = (m_.W - sf.textWidth(kTitle)) / 2;
        sf.currentY += m_.S1;
        sf.printLine(kTitle);
        sf.currentY += m_.S1;

        const double D = m_.W - m_.L - m_.R;
        const std::array<double, 4> columns{m_.L, m_.L + D / 4, m_.L + 2 * D / 4, m_.L + 3 * D / 4 - 5};
        drawHeaderRow(mode, 1, columns);

        if (mode == Mode::Print)
            separatorWidth_ = 10;
        else
            separatorWidth_ = m_.Z >= 0.5 ? int(ReportUnits::roundEven(2 * m_.Z)) : 1;
        sf.currentX = m_.L;
        sf.currentY += m_.S1 / 2;
        drawSeparator();

        for (int row = 2; row <= 5; ++row)
            drawHeaderRow(mode, row, columns);

        sf.currentY += m_.S1;
        drawSeparator();

        sf.currentX = m_.L;
        sf.currentY += m_.S1;
        ApplyReportFont(6, mode);
    } catch (const ReportError& e) {
        if (e.number == ReportError::PrinterFailure)
            throw;
        report(e);   // the rest of this header stays undrawn; the page goes on
    }
}

// --- body ------------------------------------------------------------------------------------

bool ReportRenderer::PrintWrappedText(const QString& text, int lineLimit, Mode mode, int pageToShow,
                                      int pageToPrint, int fontSet)
{
    ReportSurface& sf = *surface_;
    QString t = text;
    t.replace(QStringLiteral("\r\n"), QStringLiteral("\r"));
    t.replace(QLatin1Char('\n'), QLatin1Char('\r'));
    const qsizetype n = t.size();
    qsizetype i = 0;
    int lines = 0;
    const double f = mode == Mode::Print ? 1.0 : m_.Z;
    const double limit = m_.W - m_.L - m_.R - 2 * f;
    // Lines are cut between whole characters only: a surrogate pair, an emoji
    // sequence or a letter with its marks is never split.
    QTextBoundaryFinder characters(QTextBoundaryFinder::Grapheme, t);
    auto characterEnd = [&characters](qsizetype at) {
        characters.setPosition(at);
        const qsizetype end = characters.toNextBoundary();
        return end > at ? end : at + 1;
    };

    while (i < n) {
        ApplyReportFont(fontSet, mode);
        if (lines >= lineLimit)
            break;
        QString line;
        double width = 0;
        // Characters are added while the line is shorter than the limit: the one that
        // makes it reach the limit stays on the line, the next one starts the next line.
        // A line always takes at least one character, so that the text moves on
        // however narrow the page is.
        while (i < n && (line.isEmpty() || width < limit) && t.at(i) != QLatin1Char('\r')) {
            const qsizetype end = characterEnd(i);
            line += t.mid(i, end - i);
            width = sf.textWidth(line);
            i = end;
        }
        sf.printLine(line);
        const bool atBreak = i < n && t.at(i) == QLatin1Char('\r');
        if (!atBreak && width >= limit) {
            sf.currentX = m_.L;
            sf.currentY += m_.S2;
            if (CheckPageBreak(mode, pageToShow, pageToPrint))
                return true;
            ++lines;
        }
        if (atBreak) {
            if (CheckPageBreak(mode, pageToShow, pageToPrint))
                return true;
            sf.currentX = m_.L;
            sf.currentY += m_.S2;
            ++lines;
            ++i;
        }
    }
    return false;
}

bool ReportRenderer::CheckPageBreak(Mode mode, int pageToShow, int pageToPrint)
{
    if (!(surface_->currentY > m_.H - m_.F))
        return false;
    DrawPageFooter(mode);
    bool stop = false;
    if (mode == Mode::Preview) {
        if (pageToShow == 0 || pageToShow != s_.pageCounter)
            DrawPageHeader(mode, true);
        else
            stop = true;
    } else if (pageToPrint == 0) {
        DrawPageHeader(mode, true);
    } else if (pageToPrint == s_.pageCounter) {
        stop = true;
    } else {
        // One page only: the pages before it are laid out without output.
        surface_->setOutputEnabled(s_.pageCounter + 1 == pageToPrint);
        DrawPageHeader(mode, false);
    }
    s_.pageCounter += 1;
    return stop;
}

// --- footer ---------------------------------------------------------------------------------

void ReportRenderer::drawFooterValue(int slot, double x, Mode mode)
{
    ReportSurface& sf = *surface_;
    const QString caption = slotCaption(slot);
    const QString value = slotValue(slot);
    sf.printLine(caption);
    ApplyReportFont(8, mode);
    sf.currentX = x + sf.textWidth(caption);
    sf.currentY -= sf.textHeight(kAt);
    sf.printLine(value);
}

void ReportRenderer::DrawPageFooter(Mode mode)
{
    ReportSurface& sf = *surface_;
    ApplyReportFont(largerFontSet(7, 8), mode);
    const double h78 = sf.textHeight(kAt);
    ApplyReportFont(9, mode);
    const double h9 = sf.textHeight(kAt);
    sf.currentY = m_.H - (2 * h78 + h9 + 2.5 * m_.S1 + m_.B);

    const double D = m_.W - m_.L - m_.R;
    const double quarter3 = m_.L + 3 * D / 4;
    const double fifth2 = m_.L + 2 * D / 5;

    if (slotShown(26)) {
        ApplyReportFont(7, mode);
        sf.currentX = quarter3;
        drawFooterValue(26, quarter3, mode);
    } else {
        ApplyReportFont(7, mode);
        sf.currentY += sf.textHeight(kAt);
    }
    if (slotShown(27)) {
        ApplyReportFont(7, mode);
        sf.currentX = fifth2;
        sf.currentY += m_.S1;
        drawFooterValue(27, fifth2, mode);
    } else {
        ApplyReportFont(7, mode);
        sf.currentY += m_.S1 + sf.textHeight(kAt);
    }
    if (slotShown(28)) {
        ApplyReportFont(7, mode);
        sf.currentX = quarter3;
        sf.currentY -= sf.textHeight(kAt);
        drawFooterValue(28, quarter3, mode);
    }

    sf.currentX = m_.L;
    sf.currentY += m_.S1;
    drawSeparator();

    ApplyReportFont(9, mode);
    sf.currentX = m_.L;
    sf.currentY += m_.S1 / 2;
    sf.printLine(QStringLiteral("打印日期： ") + QDateTime::currentDateTime().toString(QStringLiteral("yyyy/MM/dd HH:mm")) +
                 QStringLiteral("     ") + s_.rptfoot);
}

// --- the whole report -----------------------------------------------------------------------

bool ReportRenderer::renderOn(ReportSurface& surface, Mode mode, int pageToShow, int pageToPrint)
{
    surface_ = &surface;
    ReportSurface& sf = surface;
    s_.pageCounter = 1;
    m_.Z = mode == Mode::Preview && std::isfinite(s_.zoom) && s_.zoom > 0 ? s_.zoom : 1.0;
    if (mode == Mode::Print)
        pageToShow = 0;
    else
        pageToPrint = 0;
    sf.setOutputEnabled(pageToPrint <= 1);

    try {
        ComputeLineMetrics(mode);
        ComputeFooterHeight(mode);
        if (mode == Mode::Preview)
            sf.setPageSize(m_.W, m_.H);
        separatorWidth_ = 1;

        DrawPageHeader(mode, false);

        if (s_.printPictures) {
            int count = 0;
            for (const QString& p : c_.pictures)
                count += p.isEmpty() ? 0 : 1;
            const double rowWidth = m_.PW * count + (count > 1 ? (count - 1) * m_.S1 / 2 : 0);
            sf.currentX = (m_.W - rowWidth) / 2;
            for (int k = 0; k < 4; ++k) {
                const QString& p = c_.pictures[k];
                if (p.isEmpty() || !QFile::exists(p))
                    continue;
                try {
                    sf.paintPicture(p, sf.currentX, sf.currentY, m_.PW, m_.PH);
                } catch (const ReportError& e) {
                    if (e.number != ReportError::InvalidPicture)
                        throw;
                    // A damaged picture leaves its place empty; the rest of the page goes on.
                    report(ReportError{e.number, QStringLiteral("报告图片 %1 无法读取（文件已损坏或不是图片），"
                                                                "该位置留空").arg(k + 1)});
                }
                sf.currentX += m_.PW + m_.S1 / 2;
            }
            if (count > 0)
                sf.currentY += m_.PH;
        }

        bool stopped = false;
        sf.currentY += m_.S1;
        stopped = CheckPageBreak(mode, pageToShow, pageToPrint);

        sf.currentX = m_.L;
        for (int slot = 21; slot <= 25 && !stopped; ++slot) {
            if (!slotShown(slot))
                continue;
            const QString value = slotValue(slot);
            if (slot > 21) {
                sf.currentY += m_.P[slot - 22];
                if ((stopped = CheckPageBreak(mode, pageToShow, pageToPrint)))
                    break;
            }
            sf.currentX = m_.L;
            ApplyReportFont(5, mode);
            sf.printLine(slotCaption(slot));
            sf.currentX = m_.L;
            sf.currentY += m_.S1;
            if ((stopped = CheckPageBreak(mode, pageToShow, pageToPrint)))
                break;
            ApplyReportFont(6, mode);
            // Findings and diagnosis are printed whole, however many pages they take.
            stopped = PrintWrappedText(value, std::numeric_limits<int>::max(), mode, pageToShow, pageToPrint, 6);
        }

        if (stopped) {
            // The page that just ended has its footer; a single printed page ends its job here.
            if (mode == Mode::Print)
                sf.endDoc();
            return true;
        }
        DrawPageFooter(mode);
        if (mode == Mode::Print) {
            if (pageToPrint > s_.pageCounter)
                sf.killDoc();   // no such page: nothing to print
            else
                sf.endDoc();
        }
        s_.pageCount = s_.pageCounter;
        return true;
    } catch (const ReportError& e) {
        report(e);
        if (mode == Mode::Print)
            sf.killDoc();
        return false;
    }
}

void ReportRenderer::printRun(int pageToPrint)
{
    const auto job = ProgramPrinter::instance().newJob([this](const ReportError& e) { report(e); });
    if (!job)
        return;
    {
        // Lay everything out once without sending anything: a report that cannot
        // be printed whole never starts a job.
        PrinterSurface trial(*job, true);
        if (!renderOn(trial, Mode::Print, 0, pageToPrint))
            return;
    }
    PrinterSurface live(*job, false);
    renderOn(live, Mode::Print, 0, pageToPrint);
}

void ReportRenderer::RenderReport(Mode mode, int pageToShow, int pageToPrint)
{
    // A failure is reported once per layout: the preview's later renderings of single
    // pages repeat the layout of its counting pass and do not show the same box again.
    if (mode == Mode::Print || pageToShow == 0)
        reported_.clear();
    if (mode == Mode::Print) {
        printRun(pageToPrint);
        surface_ = nullptr;
        return;
    }
    if (!previewWidget_)
        return;
    renderOn(previewWidget_->surface(), Mode::Preview, pageToShow, 0);
    previewWidget_->refresh();
}

void ReportRenderer::RenderReport(const QString& mode, int pageToShow, int pageToPrint)
{
    RenderReport(mode == kPrintMode ? Mode::Print : Mode::Preview, pageToShow, pageToPrint);
}
