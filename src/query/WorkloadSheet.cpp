#include "query/WorkloadSheet.h"

#include "core/Money.h"
#include "platform/Units.h"

#include <QFont>
#include <QFontMetricsF>
#include <QImage>
#include <QLocale>

#include <algorithm>
#include <cmath>
#include <numeric>

namespace Workload {

namespace {
struct Statistic {
    const char* title;
    const char* key;      // header 0
    const char* second;   // header 1
};
constexpr Statistic kStats[kStatistics] = {
    {"工作量明细统计", "检查号", "姓名"},     {"工作量日分类统计", "日期", "人次"},
    {"工作量月分类统计", "月份", "人次"},     {"申请医师分类统计", "申请医师", "人次"},
    {"检查医师分类统计", "检查医师", "人次"}, {"开单科室分类统计", "开单科室", "人次"},
};

bool valid(int statistic) { return statistic >= 0 && statistic < kStatistics; }

// The date range every statistic filters on: bare comparisons of the stored
// 'yyyy-MM-dd' texts, so the index on rpdate answers it.
const char* const kRange = " FROM reports WHERE rpdate >= ? AND rpdate < ?";

QString dayText(const QDate& d) { return d.toString(QStringLiteral("yyyy-MM-dd")); }

// A stored report date ("yyyy-MM-dd", perhaps with a time) in the short date
// format of the Chinese locale the whole program speaks ("2010/7/26"), whatever
// the machine's own locale; a text that is no such date is shown as it is.
QString shortDate(const QString& stored)
{
    if (stored.size() >= 10 && stored.at(4) == QLatin1Char('-') && stored.at(7) == QLatin1Char('-')) {
        const QDate d(QStringView(stored).mid(0, 4).toInt(), QStringView(stored).mid(5, 2).toInt(),
                      QStringView(stored).mid(8, 2).toInt());
        static const QLocale locale(QLocale::Chinese, QLocale::China);
        if (d.isValid())
            return locale.toString(d, QLocale::ShortFormat);
    }
    return stored;
}

qint64 count(const RecordSet& rs, int row, int column)
{
    const QVariant v = rs.value(row, column);
    bool ok = false;
    const qint64 n = v.toLongLong(&ok);
    return ok ? n : 0;
}

// A cell's text stands this far from its edges: 3 pixels each side on the
// screen (the printer's inset is smaller), and 4 pixels more of room for the
// rounding of glyph widths from one resolution to another.
constexpr int kAmountRoomTwips = (2 * 3 + 4) * Units::kTwipsPerPixel;

// The width in twips of a text of amounts in font, any digit taken as the
// font's widest: on the screen and at the printer's resolution, the wider.
double amountTwips(const QString& text, const QFont& font)
{
    static const QImage paper = [] {
        QImage i(1, 1, QImage::Format_RGB32);
        constexpr int kDotsPerMeter = 47244;   // 1200 dpi
        i.setDotsPerMeterX(kDotsPerMeter);
        i.setDotsPerMeterY(kDotsPerMeter);
        return i;
    }();
    auto measure = [&text](const QFontMetricsF& fm) {
        QChar widest(u'0');
        for (char16_t d = u'1'; d <= u'9'; ++d)
            if (fm.horizontalAdvance(QChar(d)) > fm.horizontalAdvance(widest))
                widest = QChar(d);
        QString t = text;
        for (QChar& c : t)
            if (c.isDigit())
                c = widest;
        return fm.horizontalAdvance(t);
    };
    constexpr double kTwipsPerPaperDot = 1440.0 / 1200.0;
    return std::max(measure(QFontMetricsF(font)) * Units::kTwipsPerPixel,
                    measure(QFontMetricsF(font, &paper)) * kTwipsPerPaperDot);
}

bool isNumberText(const QString& s)
{
    if (s.isEmpty())
        return false;
    bool ok = false;
    s.toDouble(&ok);
    return ok;
}
}

QString Title(int statistic) { return valid(statistic) ? QString::fromUtf8(kStats[statistic].title) : QString(); }

QString Header(int statistic, int column)
{
    if (!valid(statistic))
        return QString();
    switch (column) {
    case 0: return QString::fromUtf8(kStats[statistic].key);
    case 1: return QString::fromUtf8(kStats[statistic].second);
    case 2: return QStringLiteral("金额");
    default: return QString();
    }
}

QString Sql(int statistic)
{
    const QString range = QString::fromLatin1(kRange);
    switch (statistic) {
    case 0: return QStringLiteral("SELECT obligate5, brname, times") + range;
    case 1:
        return QStringLiteral("SELECT rpdate, COUNT(rpdate), fee_total(times)") + range
               + QStringLiteral(" GROUP BY rpdate ORDER BY rpdate");
    case 2:
        // Months by year and month number, labelled "2010年7月": 2010年9月 comes
        // before 2010年10月, which the labels' own order would not give.
        return QStringLiteral("SELECT y || '年' || m || '月', COUNT(*), fee_total(times) FROM (SELECT "
                              "CAST(substr(rpdate, 1, 4) AS INTEGER) AS y, CAST(substr(rpdate, 6, 2) AS INTEGER) AS m, "
                              "times")
               + range + QStringLiteral(") GROUP BY y, m ORDER BY y, m");
    case 3:
        return QStringLiteral("SELECT utpatientid, COUNT(*), fee_total(times)") + range + QStringLiteral(" GROUP BY 1");
    case 4: return QStringLiteral("SELECT rpdr, COUNT(*), fee_total(times)") + range + QStringLiteral(" GROUP BY 1");
    case 5:
        return QStringLiteral("SELECT sectionoffice, COUNT(*), fee_total(times)") + range
               + QStringLiteral(" GROUP BY 1");
    default: return QString();
    }
}

QVariantList Params(const QDate& first, const QDate& last)
{
    // The day after 9999-12-31 has no four-digit year; "9999-12-32" still sorts
    // after every text stored for that last day.
    const QDate after = last.addDays(1);
    const QString end = after.isValid() && after.year() <= 9999 ? dayText(after) : QStringLiteral("9999-12-32");
    return {dayText(first), end};
}

QueryResult Read(int statistic, const QDate& first, const QDate& last)
{
    return Database::QueryData(Sql(statistic), Params(first, last));
}

QueryResult ReadUnreadableFees(const QDate& first, const QDate& last)
{
    return Database::QueryData(QStringLiteral("SELECT obligate5, brname, ctid, times") + QString::fromLatin1(kRange)
                                   + QStringLiteral(" AND not_money(times) ORDER BY ctid"),
                               Params(first, last));
}

QString UnreadableFeesText(const RecordSet& reports)
{
    constexpr int kNamed = 20;
    const int n = reports.recordCount();
    QString t = QStringLiteral("下列报告的收费金额不是有效金额，未计入金额合计：");
    for (int i = 0; i < n && i < kNamed; ++i)
        t += QStringLiteral("\n检查号 %1，姓名 %2，序号 %3：“%4”")
                 .arg(reports.text(i, 0), reports.text(i, 1), reports.text(i, 2), reports.text(i, 3));
    if (n > kNamed)
        t += QStringLiteral("\n……共 %1 份报告").arg(n);
    return t;
}

QString DateRangeText(const QDate& first, const QDate& last)
{
    const QString f = QStringLiteral("yyyy年MM月dd日");
    return QStringLiteral("统计日期: ") + first.toString(f) + QStringLiteral(" - ") + last.toString(f);
}

QString MoneyText(Money::WideCents cents) { return Money::Text(cents); }

QString TotalsText(Money::WideCents amountCents, qint64 personTimes)
{
    return QStringLiteral("金额合计：") + MoneyText(amountCents) + QStringLiteral("   人次合计：")
           + QString::number(personTimes);
}

std::array<int, kColumns> ColumnTwips(const Sheet& sheet, const QFont& font)
{
    std::array<int, kColumns> w;
    w.fill(kColumnTwips);
    if (sheet.blank())
        return w;
    auto room = [&font](const QString& text) { return int(std::ceil(amountTwips(text, font))) + kAmountRoomTwips; };
    const auto [widest, widestNegative] = sheet.widestAmounts();
    const int rows = std::max({room(MoneyText(widest)), room(MoneyText(widestNegative)), room(sheet.widestOtherFee())});
    const int totals = room(TotalsText(sheet.amountCents(), sheet.personTimes())) - w[0] - w[1];
    w[2] = std::max({kColumnTwips, rows, totals});
    return w;
}

Sheet Sheet::build(int statistic, const QDate& first, const QDate& last, const RecordSetPtr& rows)
{
    Sheet s;
    if (!valid(statistic))
        return s;
    s.statistic_ = statistic;
    s.answer_ = rows;
    s.dateRange_ = DateRangeText(first, last);
    const int n = s.resultRows();
    // Whole cents: the total is exactly the sum of the amounts the rows show.
    Money::WideCents amount = 0, widest = 0, widestNegative = 0;
    qint64 persons = statistic == 0 ? n : 0;
    qint64 unreadable = 0;
    qsizetype otherRoom = 0;
    for (int i = 0; i < n; ++i) {
        const std::optional<Money::Total> fee = s.fee(i);
        if (!fee) {
            ++unreadable;
            const QString shown = s.dataText(i, 2);
            const qsizetype room = std::accumulate(shown.begin(), shown.end(), qsizetype(0), [](qsizetype r, QChar c) {
                return r + (c.unicode() >= 0x1100 ? 2 : 1);
            });
            if (room > otherRoom) {
                otherRoom = room;
                s.widestOther_ = shown;
            }
        } else {
            amount += fee->cents;
            unreadable += fee->unreadable;
            widest = std::max(widest, fee->cents);
            widestNegative = std::min(widestNegative, fee->cents);
        }
        if (statistic != 0)
            persons += count(*rows, i, 1);
    }
    s.amountCents_ = amount;
    s.personTimes_ = persons;
    s.unreadableFees_ = unreadable;
    s.widestAmounts_ = {widest, widestNegative};
    return s;
}

QString Sheet::dataText(int record, int column) const
{
    const RecordSet& rs = *answer_;
    if (column == 2) {
        const std::optional<Money::Total> f = fee(record);
        // A fee that is no amount shows as it is stored; the window names its report.
        return f ? MoneyText(f->cents) : rs.text(record, 2);
    }
    if (column == 1 && statistic_ != 0)
        return QString::number(count(rs, record, 1));
    if (column == 0 && statistic_ == 1)
        return shortDate(rs.text(record, 0));
    return rs.text(record, column);   // a Null key or name reads as ""
}

QString Sheet::text(int row, int column) const
{
    if (row < 0 || row >= rows() || column < 0 || column >= kColumns)
        return QString();
    const int n = resultRows();
    if (row == 0)
        return title();
    if (row == 1)
        return dateRange_;
    if (row == 2)
        return Header(statistic_, column);
    if (row == n + 3)
        return TotalsText(amountCents_, personTimes_);
    return dataText(row - 3, column);
}

std::optional<Money::Total> Sheet::fee(int record) const
{
    const QVariant v = answer_->value(record, 2);
    // The grouped statistics give the exact sum of their fees as fee_total(times)
    // writes it, with how many of them are no amount.
    if (statistic_ != 0)
        return Money::ReadTotal(v);
    const Money::Stored f = Money::Read(v);
    if (f.kind == Money::Stored::Unreadable)
        return std::nullopt;
    return Money::Total{f.cents, 0};
}

bool Sheet::mergeRow(int row) const { return !blank() && (row == 0 || row == 1 || row == resultRows() + 3); }

double Sheet::fontSize(int row, int column) const
{
    if (blank() || column != 0)
        return 0;
    return row == 0 ? kTitleFontSize : row == 1 ? kDateFontSize : 0;
}

int Sheet::alignment(int row, int column) const
{
    return !blank() && row == 0 && column == 0 ? kAlignCenterCenter : kAlignGeneral;
}

int Sheet::rowHeightTwips(int row) const { return !blank() && row == 0 ? kTitleRowTwips : 0; }

// ---------------------------------------------------------------------------

int SheetGrid::rowHeight(int row) const
{
    const int own = sheet_.rowHeightTwips(row);
    return own > 0 ? own : rowTwips_;
}

GridFont SheetGrid::cellFont(int row, int col) const
{
    GridFont f = font_;
    const double size = sheet_.fontSize(row, col);
    if (size > 0)
        f.size = size;
    return f;
}

// ---------------------------------------------------------------------------

void SheetModel::setSheet(Sheet sheet)
{
    beginResetModel();
    sheet_ = std::move(sheet);
    endResetModel();
}

int SheetModel::rowCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : sheet_.rows(); }

int SheetModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : sheet_.cols(); }

QVariant SheetModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid())
        return QVariant();
    const int r = index.row(), c = index.column();
    switch (role) {
    case Qt::DisplayRole: return sheet_.text(r, c);
    case Qt::FontRole: {
        const double size = sheet_.fontSize(r, c);
        if (size <= 0)
            return QVariant();
        QFont f = baseFont_;
        f.setPointSizeF(size);
        return f;
    }
    case Qt::TextAlignmentRole: return int(cellAlignment(r, c, sheet_.text(r, c)));
    default: return QVariant();
    }
}

Qt::Alignment SheetModel::cellAlignment(int row, int column, const QString& text) const
{
    if (sheet_.alignment(row, column) == kAlignCenterCenter)
        return Qt::AlignCenter;
    return (isNumberText(text) ? Qt::AlignRight : Qt::AlignLeft) | Qt::AlignVCenter;
}

Qt::ItemFlags SheetModel::flags(const QModelIndex& index) const
{
    return index.isValid() ? Qt::ItemIsEnabled | Qt::ItemIsSelectable : Qt::NoItemFlags;
}

}
