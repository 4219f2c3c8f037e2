#include <limits>

#include "core/Mmain.h"
#include "core/NumberText.h"
#include "platform/AppPaths.h"
#include "report/FontColorDialogs.h"
#include "report/ProgramPrinter.h"
#include "report/ReportFonts.h"
#include "report/ReportPaperWidget.h"
#include "report/ReportRenderer.h"

#include <QDateTime>
#include <QFile>
#include <QImageReader>
#include <QPrinter>
#include <QTextBoundaryFinder>
#include <cmath>
#include <utility>

const QString ReportRenderer::kTitle = QStringLiteral("放 射 检 查 报 告 单");
const QString ReportRenderer::kPreviewMode = QStringLiteral("预览");
const QString ReportRenderer::kPrintMode = QStringLiteral("打印");

namespace {
const QString kMeasureText = QStringLiteral("国");
const QString kAt = QStringLiteral("@");
const QString kCaptionEnd = QStringLiteral(": ");

// The fewest characters of a text for which reaches(count) holds (a width that
// grows with the count), or one more than the text has when none does: found by
// doubling, then halving, the count measured (from start), so that a text of any
// length is measured a few times, in pieces not much longer than the answer.
// take(count) looks at up to count characters and says how many there are.
template <typename Take, typename Reaches>
qsizetype firstReaching(qsizetype start, Take take, Reaches reaches)
{
    qsizetype below = 0;   // a count known not to reach
    for (qsizetype want = start;; want *= 2) {
        const qsizetype have = take(want);
        if (have > below && reaches(have)) {
            qsizetype at = have;
            while (at - below > 1) {
                const qsizetype mid = (below + at) / 2;
                (reaches(mid) ? at : below) = mid;
            }
            return at;
        }
        if (have < want)
            return have + 1;
        below = have;
    }
}

// The whole characters a text starts with, as many as fit in a room.
class Prefixes {
public:
    explicit Prefixes(const QString& text) : text_(text), characters_(QTextBoundaryFinder::Grapheme, text) {}

    // Where the last whole character that fits ends (0: none does).
    qsizetype fittingEnd(ReportSurface& sf, double room)
    {
        const qsizetype fitting =
            firstReaching(
                16, [this](qsizetype count) { return take(count); },
                [&](qsizetype count) { return sf.textWidth(text_.left(ends_[count - 1])) > room; })
            - 1;
        return fitting == 0 ? 0 : ends_[fitting - 1];
    }

private:
    qsizetype take(qsizetype count)
    {
        while (ends_.size() < count) {
            const qsizetype at = characters_.toNextBoundary();
            if (at <= 0)
                break;
            ends_.append(at);
        }
        return std::min(count, ends_.size());
    }
    const QString& text_;
    QTextBoundaryFinder characters_;
    QList<qsizetype> ends_;   // where its characters end, as far as looked at
};
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

QString ReportRenderer::slotCaption(int slot) const { return s_.slotCaptions[slot - 1] + kCaptionEnd; }

QString ReportRenderer::slotValue(int slot) const
{
    const QString field = s_.slotFields[slot - 1];
    const auto n = NumberText::Parse(field);
    if (!n)
        throw ReportError{ReportError::TypeMismatch,
                          QStringLiteral("类型不匹配（项目 %1 的字段号“%2”）").arg(slot).arg(field)};
    const double k = std::floor(*n);
    if (k < 0 || k >= PrintSettings::kValues)
        throw ReportError{ReportError::SubscriptOutOfRange,
                          QStringLiteral("下标越界（项目 %1 的字段号 %2）").arg(slot).arg(field)};
    return c_.values[int(k)];
}

int ReportRenderer::largerFontSet(int a, int b) const { return s_.fonts[a - 1].size > s_.fonts[b - 1].size ? a : b; }

void ReportRenderer::report(const ReportError& e)
{
    const QString text = e.text();
    if (reported_.contains(text))
        return;
    reported_.insert(text);
    failures_.append(text);
}

QStringList ReportRenderer::takeFailures() { return std::exchange(failures_, QStringList()); }

// --- fonts and metrics ----------------------------------------------------------------

void ReportRenderer::ApplyReportFont(int fontSet)
{
    const FontSet& f = s_.fonts[fontSet - 1];
    surface_->setFontName(f.name);
    surface_->setFontSize(f.size);
    surface_->setForeColor(storedColorToQColor(f.color));
    surface_->setFontBold(f.bold);
    surface_->setFontItalic(f.italic);
    surface_->setFontStrikeout(f.strikeout);
    surface_->setFontUnderline(f.underline);
}

void ReportRenderer::ComputeLineMetrics()
{
    m_.L = s_.left;
    m_.R = s_.right;
    m_.T = s_.top;
    m_.B = s_.bottom;
    m_.S1 = s_.hjj;
    m_.S2 = s_.hjj2;
    for (int i = 0; i < 4; ++i)
        m_.P[i] = s_.djj[i];
    m_.PW = s_.picWidth;
    m_.PH = s_.picHeight;
    m_.W = s_.pageWidth;
    m_.H = s_.pageHeight;
    m_.OX = s_.offsetX;
    m_.OY = s_.offsetY;
}

void ReportRenderer::ComputeFooterHeight()
{
    ApplyReportFont(9);
    double F = m_.B + surface_->textHeight(kMeasureText);
    ApplyReportFont(6);
    F += surface_->textHeight(kMeasureText);
    ApplyReportFont(largerFontSet(7, 8));
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
    // 10 dots of the measuring resolution: about 0.2 mm on every printer.
    surface_->setDrawWidth(10);
    surface_->setDrawColor(storedColorToQColor(s_.lineColor));
    surface_->line(m_.L, surface_->currentY, m_.W - m_.R, surface_->currentY);
}

void ReportRenderer::printHeaderValue(const QString& value, double x, double edge)
{
    ReportSurface& sf = *surface_;
    const double room = edge - x - 1;   // 1 mm clear of the next caption
    const double step = 0.5;
    const double smallest = 7;
    double size = sf.font().pointSizeF();
    Prefixes prefixes(value);
    qsizetype fitting = prefixes.fittingEnd(sf, room);
    while (fitting < value.size() && size > smallest) {
        size = std::max(smallest, size - step);
        sf.setFontSize(size);
        fitting = prefixes.fittingEnd(sf, room);
    }
    // Too long even so: cut between whole characters, after the last one that fits.
    const QString shown = value.left(fitting);
    sf.currentX = x;
    sf.currentY -= sf.textHeight(kAt);
    sf.printLine(shown);
}

void ReportRenderer::drawHeaderRow(int row, const std::array<double, 4>& columns)
{
    ReportSurface& sf = *surface_;
    const int first = (row - 1) * 4 + 1;
    const double gap = row > 1 ? m_.S1 : 0;

    if (slotShown(first)) {
        ApplyReportFont(3);
        sf.currentY += gap;
        sf.currentX = columns[0];
        const QString caption = slotCaption(first);
        const QString value = slotValue(first);
        sf.printLine(caption);
        ApplyReportFont(4);
        printHeaderValue(value, columns[0] + sf.textWidth(caption), columns[1]);
    } else {
        ApplyReportFont(3);
        sf.currentY += sf.textHeight(kAt) + gap;
    }
    for (int k = 1; k < 4; ++k) {
        const int slot = first + k;
        if (!slotShown(slot))
            continue;
        const QString caption = slotCaption(slot);
        const QString value = slotValue(slot);
        ApplyReportFont(3);
        sf.currentX = columns[k];
        sf.currentY -= sf.textHeight(kAt);
        sf.printLine(caption);
        ApplyReportFont(4);
        printHeaderValue(value, columns[k] + sf.textWidth(caption), k < 3 ? columns[k + 1] : m_.W - m_.R);
    }
    if (!slotUsed(first) && !slotUsed(first + 1) && !slotUsed(first + 2) && !slotUsed(first + 3)) {
        // A row without any item in use takes no space (the current font is font set 3 or 4).
        sf.currentY -= sf.textHeight(kAt) + gap;
    }
}

void ReportRenderer::DrawPageHeader(bool newPage)
{
    ReportSurface& sf = *surface_;
    try {
        if (newPage)
            sf.newPage();

        // Logo: as tall as the hospital name and the title together.
        const QString logo = AppPaths::file(QStringLiteral("head.bmp"));
        if (!measuring_ && QFile::exists(logo)) {
            // A damaged logo is reported and left out; the header goes on without it.
            try {
                ApplyReportFont(1);
                double side = sf.textHeight(kMeasureText);
                ApplyReportFont(2);
                side += sf.textHeight(kMeasureText) + s_.hjj + 2;
                const QSize size = QImageReader(logo).size();
                if (!size.isValid() || size.isEmpty())
                    throw ReportError{ReportError::InvalidPicture, logo};
                sf.paintPicture(logo, s_.left + 2, s_.top - 1, side, side * size.height() / size.width());
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
        ApplyReportFont(1);
        sf.currentX = (m_.W - sf.textWidth(name)) / 2;
        sf.currentY = m_.T;
        sf.printLine(name);
        if (name.trimmed().isEmpty() && name.size() < 3)
            sf.printLine(kTitle);   // printLine has moved CurrentX to the left edge

        ApplyReportFont(2);
        sf.currentX = (m_.W - sf.textWidth(kTitle)) / 2;
        sf.currentY += m_.S1;
        sf.printLine(kTitle);
        sf.currentY += m_.S1;

        const double D = m_.W - m_.L - m_.R;
        const std::array<double, 4> columns{m_.L, m_.L + D / 4, m_.L + 2 * D / 4, m_.L + 3 * D / 4 - 5};
        drawHeaderRow(1, columns);

        sf.currentX = m_.L;
        sf.currentY += m_.S1 / 2;
        drawSeparator();

        for (int row = 2; row <= 5; ++row)
            drawHeaderRow(row, columns);

        sf.currentY += m_.S1;
        drawSeparator();

        sf.currentX = m_.L;
        sf.currentY += m_.S1;
        ApplyReportFont(6);
    } catch (const ReportError& e) {
        if (e.number == ReportError::PrinterFailure)
            throw;
        report(e);   // the rest of this header stays undrawn; the page goes on
    }
}

// --- body ------------------------------------------------------------------------------------

void ReportRenderer::PrintWrappedText(const QString& text, int lineLimit, int fontSet)
{
    ReportSurface& sf = *surface_;
    QString t = text;
    t.replace(QStringLiteral("\r\n"), QStringLiteral("\r"));
    t.replace(QLatin1Char('\n'), QLatin1Char('\r'));
    const qsizetype n = t.size();
    qsizetype i = 0;
    int lines = 0;
    const double limit = m_.W - m_.L - m_.R - 2;
    // Lines are cut between whole characters only: a surrogate pair, an emoji
    // sequence or a letter with its marks is never split.
    QTextBoundaryFinder characters(QTextBoundaryFinder::Grapheme, t);
    auto characterEnd = [&characters](qsizetype at) {
        characters.setPosition(at);
        const qsizetype end = characters.toNextBoundary();
        return end > at ? end : at + 1;
    };

    while (i < n) {
        ApplyReportFont(fontSet);
        if (lines >= lineLimit)
            break;
        // Characters are added while the line is shorter than the limit: the one that
        // makes it reach the limit stays on the line, the next one starts the next line.
        // A line always takes at least one character, so that the text moves on
        // however narrow the page is. The line is found by doubling and halving the
        // characters taken, so that a line of any length is measured a few times only.
        QList<qsizetype> ends;   // where the characters from i end, up to the line break
        auto take = [&](qsizetype count) {
            while (ends.size() < count) {
                const qsizetype from = ends.isEmpty() ? i : ends.last();
                if (from >= n || t.at(from) == QLatin1Char('\r'))
                    break;
                ends.append(characterEnd(from));
            }
            return ends.size();
        };
        auto widthOf = [&](qsizetype count) { return count == 0 ? 0.0 : sf.textWidth(t.mid(i, ends[count - 1] - i)); };
        // The characters up to the one that makes the line reach the limit, or all of them.
        const qsizetype reaching = firstReaching(1, take, [&](qsizetype c) { return widthOf(c) >= limit; });
        const qsizetype count = std::min(reaching, ends.size());
        const QString line = t.mid(i, count == 0 ? 0 : ends[count - 1] - i);
        const double width = widthOf(count);
        i += line.size();
        sf.printLine(line);
        const bool atBreak = i < n && t.at(i) == QLatin1Char('\r');
        if (!atBreak && width >= limit) {
            sf.currentX = m_.L;
            sf.currentY += m_.S2;
            CheckPageBreak();
            ++lines;
        }
        if (atBreak) {
            CheckPageBreak();
            sf.currentX = m_.L;
            sf.currentY += m_.S2;
            ++lines;
            ++i;
        }
    }
}

void ReportRenderer::CheckPageBreak()
{
    // The body comes down to the footer reserve at most, which keeps the footer's rows,
    // its separator and the print date clear of it.
    if (!(surface_->currentY > m_.H - m_.F))
        return;
    DrawPageFooter();
    DrawPageHeader(true);
    s_.pageCounter += 1;
}

// --- footer ---------------------------------------------------------------------------------

void ReportRenderer::drawFooterValue(int slot, double x)
{
    ReportSurface& sf = *surface_;
    const QString caption = slotCaption(slot);
    const QString value = slotValue(slot);
    sf.printLine(caption);
    ApplyReportFont(8);
    sf.currentX = x + sf.textWidth(caption);
    sf.currentY -= sf.textHeight(kAt);
    sf.printLine(value);
}

void ReportRenderer::DrawPageFooter()
{
    ReportSurface& sf = *surface_;
    ApplyReportFont(largerFontSet(7, 8));
    const double h78 = sf.textHeight(kAt);
    ApplyReportFont(9);
    const double h9 = sf.textHeight(kAt);
    sf.currentY = m_.H - (2 * h78 + h9 + 2.5 * m_.S1 + m_.B);

    const double D = m_.W - m_.L - m_.R;
    const double quarter3 = m_.L + 3 * D / 4;
    const double fifth2 = m_.L + 2 * D / 5;

    if (slotShown(26)) {
        ApplyReportFont(7);
        sf.currentX = quarter3;
        drawFooterValue(26, quarter3);
    } else {
        ApplyReportFont(7);
        sf.currentY += sf.textHeight(kAt);
    }
    if (slotShown(27)) {
        ApplyReportFont(7);
        sf.currentX = fifth2;
        sf.currentY += m_.S1;
        drawFooterValue(27, fifth2);
    } else {
        ApplyReportFont(7);
        sf.currentY += m_.S1 + sf.textHeight(kAt);
    }
    if (slotShown(28)) {
        ApplyReportFont(7);
        sf.currentX = quarter3;
        sf.currentY -= sf.textHeight(kAt);
        drawFooterValue(28, quarter3);
    }

    sf.currentX = m_.L;
    sf.currentY += m_.S1;
    drawSeparator();

    ApplyReportFont(9);
    sf.currentX = m_.L;
    sf.currentY += m_.S1 / 2;
    sf.printDateLine(QStringLiteral("     ") + s_.rptfoot);
}

// --- room on the page ------------------------------------------------------------------------

ReportRenderer::Room ReportRenderer::measureRoom()
{
    // The header and footer are laid out on a scratch layout and measured there, with both
    // margins at 0 (a margin of 1e308 would swallow what it is added to) and line spacing
    // one at 0 and at 1 mm: every length the header and footer take grows with it in step.
    // What they meet on the way is said by the layout that draws them for real, not here.
    ReportLayout scratch;
    LayoutSurface surface(scratch);
    ReportSurface* const previous = std::exchange(surface_, &surface);
    const QStringList failures = failures_;
    const QSet<QString> reported = reported_;
    measuring_ = true;
    Room room;
    try {
        double taken[2] = {0, 0};
        for (int s1 = 0; s1 < 2; ++s1) {
            ComputeLineMetrics();
            m_.T = m_.B = 0;
            m_.S1 = s1;
            ComputeFooterHeight();
            DrawPageHeader(false);
            taken[s1] = surface.currentY + m_.F;
        }
        room.fixed = taken[0];
        room.perSpacing = taken[1] - taken[0];
        ApplyReportFont(6);
        room.line = surface.textHeight(kMeasureText);
        room.character = surface.textWidth(kMeasureText) + 2;
        room.measured = true;
    } catch (const ReportError&) {
        room = Room();   // what cannot be measured is told by the layout
    }
    ComputeLineMetrics();
    measuring_ = false;
    surface_ = previous;
    failures_ = failures;
    reported_ = reported;
    return room;
}

std::optional<PageRoom::Refusal> ReportRenderer::roomRefusal()
{
    using PageRoom::Field;
    using PageRoom::Refusal;
    const Room room = measureRoom();
    const Metrics m = m_;
    const std::pair<double, Field> lengths[] = {
        {m.T, Field::Top},           {m.B, Field::Bottom},        {m.L, Field::Left},
        {m.R, Field::Right},         {m.S1, Field::LineSpacing},  {m.S2, Field::TextSpacing},
        {m.P[0], Field::Paragraph1}, {m.P[1], Field::Paragraph2}, {m.P[2], Field::Paragraph3},
        {m.P[3], Field::Paragraph4}, {m.PW, Field::PicWidth},     {m.PH, Field::PicHeight}};
    for (const auto& [value, field] : lengths)
        if (value < 0)
            return Refusal{field, Refusal::Kind::Negative};
    if (!room.measured)
        return PageRoom::check(QSizeF(m.W, m.H), {m.T, m.B, m.L, m.R}, {});

    auto whole = [](Refusal r) {
        r.wholePage = true;
        return r;
    };
    if (auto r = downRefusal(room))
        return whole(*r);
    if (auto r = PageRoom::checkSide(m.W, m.L, m.R, room.character, Field::Left, Field::Right))
        return whole(*r);
    return std::nullopt;
}

std::optional<PageRoom::Refusal> ReportRenderer::downRefusal(const Room& room) const
{
    using PageRoom::Field;
    using PageRoom::Refusal;
    // Down the page the first page holds the header, the picture row and the gap below it
    // above the footer reserve (else the footer is drawn over the pictures), and every page
    // the header and one line of text with the gap after it (else every line begins a page
    // of its own). Each is linear in the lengths; H is the printable height.
    struct Down {
        double T, B, S1, S2, PH;
    };
    const bool pictures = s_.printPictures;
    auto firstPage = [&](const Down& d) { return room.fixed + (room.perSpacing + 1) * d.S1 + (pictures ? d.PH : 0); };
    auto everyPage = [&](const Down& d) { return room.fixed + room.perSpacing * d.S1 + room.line + d.S2; };
    auto fits = [&](const Down& d) {
        return d.T + d.B + std::max(firstPage(d), everyPage(d)) <= m_.H;   // false for NaN
    };
    const Down now{m_.T, m_.B, m_.S1, m_.S2, m_.PH};
    if (fits(now))
        return std::nullopt;

    // The largest value of each length with the others as they are (-1: none fits), and how
    // much more room than at its shipped default it takes; the length that fits alone and
    // takes the most is named.
    const double H = m_.H;
    const double firstRest = H - now.T - now.B - room.fixed - (pictures ? now.PH : 0);
    const double everyRest = H - now.T - now.B - room.fixed - room.line - now.S2;
    const double spacingLargest =
        std::min(firstRest / (room.perSpacing + 1),
                 room.perSpacing > 0 ? everyRest / room.perSpacing : (everyRest >= 0 ? firstRest : -1.0));
    auto shipped = [](const IniSetting& k) {
        return NumberText::Parse(PrintSettings::defaultValue(k.section, k.key)).value_or(0.0);
    };
    const Down defaults{shipped(PrintKey::Top), shipped(PrintKey::Bottom), shipped(PrintKey::LineSpacing),
                        shipped(PrintKey::TextSpacing), shipped(PrintKey::PicHeight)};
    struct Candidate {
        Field field;
        double value, shipped;
        double largest;
        double weight;   // mm of the page per mm of the length
    };
    const Candidate candidates[] = {
        {Field::Top, now.T, defaults.T, H - now.B - std::max(firstPage(now), everyPage(now)), 1},
        {Field::Bottom, now.B, defaults.B, H - now.T - std::max(firstPage(now), everyPage(now)), 1},
        {Field::LineSpacing, now.S1, defaults.S1, spacingLargest, room.perSpacing + 1},
        {Field::TextSpacing, now.S2, defaults.S2,
         firstRest - (room.perSpacing + 1) * now.S1 >= 0 ? everyRest + now.S2 - room.perSpacing * now.S1 : -1, 1},
        {Field::PicHeight, now.PH, defaults.PH,
         pictures && everyRest - room.perSpacing * now.S1 >= 0 ? firstRest + now.PH - (room.perSpacing + 1) * now.S1
                                                               : -1,
         pictures ? 1.0 : 0.0}};
    auto excess = [](const Candidate& c) {
        const double e = c.weight * (c.value - c.shipped);
        return std::isnan(e) ? std::numeric_limits<double>::infinity() : e;
    };
    const Candidate* named = nullptr;
    const Candidate* namedAlone = nullptr;
    for (const Candidate& c : candidates) {
        if (c.weight == 0)
            continue;
        const bool alone = std::isfinite(c.largest) && c.largest >= 0;
        if (alone && (!namedAlone || excess(c) > excess(*namedAlone)))
            namedAlone = &c;
        if (!named || excess(c) > excess(*named))
            named = &c;
    }
    if (namedAlone)
        return Refusal{namedAlone->field, Refusal::Kind::TooLarge, namedAlone->largest};
    if (!fits(defaults))
        return Refusal{Field::Top, Refusal::Kind::PageTooSmall, -1};
    return Refusal{named->field, Refusal::Kind::OthersTooLarge, -1};
}

// --- the whole report -----------------------------------------------------------------------

bool ReportRenderer::renderOn(ReportSurface& surface)
{
    surface_ = &surface;
    ReportSurface& sf = surface;
    s_.pageCounter = 1;
    layoutFailure_.reset();

    try {
        if (const auto refusal = roomRefusal())
            throw ReportError{AppError::InvalidPropertyValue,
                              QStringLiteral("无效的属性值（打印设置中的%1，请在“打印设置”中改正后再预览和打印）")
                                  .arg(PageRoom::refusalText(*refusal))};
        ComputeLineMetrics();
        ComputeFooterHeight();

        DrawPageHeader(false);

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
                                                                "该位置留空")
                                                     .arg(k + 1)});
                }
                sf.currentX += m_.PW + m_.S1 / 2;
            }
            if (count > 0)
                sf.currentY += m_.PH;
        }

        sf.currentY += m_.S1;
        CheckPageBreak();

        sf.currentX = m_.L;
        for (int slot = 21; slot <= 25; ++slot) {
            if (!slotShown(slot))
                continue;
            const QString value = slotValue(slot);
            if (slot > 21) {
                sf.currentY += m_.P[slot - 22];
                CheckPageBreak();
            }
            sf.currentX = m_.L;
            ApplyReportFont(5);
            sf.printLine(slotCaption(slot));
            sf.currentX = m_.L;
            sf.currentY += m_.S1;
            CheckPageBreak();
            ApplyReportFont(6);
            // Findings and diagnosis are printed whole, however many pages they take.
            PrintWrappedText(value, std::numeric_limits<int>::max(), 6);
        }

        DrawPageFooter();
        sf.endDoc();
        s_.pageCount = s_.pageCounter;
        return true;
    } catch (const ReportError& e) {
        report(e);
        layoutFailure_ = e;
        sf.killDoc();
        return false;
    }
}

double ReportRenderer::zoom() const { return std::isfinite(s_.zoom) && s_.zoom > 0 ? s_.zoom : 1.0; }

QSizeF ReportRenderer::frameSize() const
{
    return QSizeF((s_.pageWidth + 2 * s_.offsetX) * zoom(), (s_.pageHeight + 2 * s_.offsetY) * zoom());
}

QRectF ReportRenderer::paperRect() const
{
    return QRectF(s_.offsetX * zoom(), s_.offsetY * zoom(), s_.pageWidth * zoom(), s_.pageHeight * zoom());
}

QString ReportRenderer::documentName() const
{
    const QString exam = c_.values[24].trimmed();
    return exam.isEmpty() ? QString(kTitle).remove(QLatin1Char(' ')) : exam;
}

void ReportRenderer::layOut()
{
    // A failure is reported once per layout: showing its pages again does not report it again.
    reported_.clear();
    const qsizetype before = failures_.size();
    layout_ = ReportLayout();
    layout_.pageWidth = s_.pageWidth;
    layout_.pageHeight = s_.pageHeight;
    LayoutSurface surface(layout_);
    const int pages = s_.pageCount;
    if (!renderOn(surface))
        s_.pageCount = pages;   // a layout that a failure ended keeps the count it had
    layoutFailures_ = failures_.mid(before);
    surface_ = nullptr;
    laidOut_ = true;
}

void ReportRenderer::clear()
{
    layout_ = ReportLayout();
    laidOut_ = false;
    layoutFailures_.clear();
    layoutFailure_.reset();
}

bool ReportRenderer::layoutIsCurrent() const
{
    return laidOut_ && layout_.pageWidth == s_.pageWidth && layout_.pageHeight == s_.pageHeight;
}

const ReportLayout& ReportRenderer::layout()
{
    if (!layoutIsCurrent())
        layOut();
    return layout_;
}

void ReportRenderer::printRun(int pageToPrint)
{
    const bool reused = layoutIsCurrent();
    const ReportLayout& l = layout();
    // A print says again what its layout could not do (a picture left out, or what ended
    // the layout: nothing of such a report is printed).
    if (reused)
        failures_ += layoutFailures_;
    if (layoutFailure_)
        return;
    if (pageToPrint > l.pageCount())
        return;   // no such page: nothing to print
    const auto started =
        ProgramPrinter::instance().newJob([this](const ReportError& e) { failures_.append(e.text()); });
    if (!started)
        return;
    PrintJob& job = *started;
    job.printer().setDocName(documentName());
    try {
        const QDateTime now = QDateTime::currentDateTime();
        const double dpi = job.printer().resolution();
        bool first = true;
        for (int n = 1; n <= l.pageCount(); ++n) {
            if (pageToPrint > 0 && n != pageToPrint)
                continue;
            if (!first)
                job.newPage();
            first = false;
            l.paintPage(*job.painter(), n, dpi, 1.0, false, now);
        }
        job.endDoc();
    } catch (const ReportError& e) {
        job.killDoc();
        failures_.append(e.text());
    }
}

void ReportRenderer::RenderReport(Mode mode, int pageToShow, int pageToPrint)
{
    if (mode == Mode::Print) {
        printRun(pageToPrint);
        return;
    }
    if (pageToShow == 0)
        invalidate();   // the counting pass lays the report out afresh
    const ReportLayout& l = layout();
    int page = pageToShow;
    if (pageToShow == 0)
        page = l.pageCount();
    if (!previewWidget_)
        return;
    previewWidget_->surface().showPage(l, std::min(page, l.pageCount()), zoom());
    previewWidget_->refresh();
}

void ReportRenderer::RenderReport(const QString& mode, int pageToShow, int pageToPrint)
{
    RenderReport(mode == kPrintMode ? Mode::Print : Mode::Preview, pageToShow, pageToPrint);
}
