#pragma once
#include "core/Database.h"
#include "core/Money.h"
#include "report/PrintableGrid.h"

#include <QAbstractTableModel>
#include <QDate>
#include <QFont>
#include <QString>
#include <QVariantList>

#include <array>
#include <optional>

// The six workload statistics and the sheet each one is laid out as. The sheet is
// made from the statistic, the two picked days and the query's answer alone, so it
// can be checked without a window or a database.
//
//   const QueryResult r = Workload::Read(k, first, last);
//   if (r.ok()) sheet = Workload::Sheet::build(k, first, last, r.data);
//
// A sheet has three columns and n + 4 rows for n result rows: the title (row 0), the
// date range (row 1), the headers (row 2), the result rows and the totals. The cells
// of the result rows are made from the answer when they are read, so a sheet of
// hundreds of thousands of reports costs nothing per cell.
namespace Workload {

constexpr int kStatistics = 6;
constexpr int kColumns = 3;
constexpr int kColumnTwips = 2000;
constexpr int kTitleRowTwips = 450;
constexpr int kTitleFontSize = 18;
constexpr int kDateFontSize = 9;
// Cell alignment codes of the sheet (the grid's): centre-centre, and "general",
// which puts numbers on the right and other texts on the left.
constexpr int kAlignCenterCenter = 4;
constexpr int kAlignGeneral = 9;

// "工作量明细统计", ... by statistic 0..5; the list buttons carry the same words.
QString Title(int statistic);
// The three column headers of a statistic.
QString Header(int statistic, int column);

// The statement of a statistic: reports with a report date from the first day
// through the last, bound as Params(first, last). Each is answered from the
// index reports_stats alone, without reading a report's row. The grouped ones
// (1 to 5) give the exact sum of their fees, each rounded to the cent, and how
// many of them are no amount, in the one text fee_total(times) (core/Money).
QString Sql(int statistic);
// The first day and the day after the last, as the stored date texts compare.
QVariantList Params(const QDate& first, const QDate& last);
// The answer of a statistic over the days first..last.
QueryResult Read(int statistic, const QDate& first, const QDate& last);

// The reports of the days first..last whose stored fee is no amount (a text that
// is no number, a picture): exam number, name, key and the stored value.
QueryResult ReadUnreadableFees(const QDate& first, const QDate& last);
// The message naming those reports, each by exam number, name and key.
QString UnreadableFeesText(const RecordSet& reports);

// "统计日期: 2010年07月26日 - 2010年07月27日".
QString DateRangeText(const QDate& first, const QDate& last);
// An amount in cents as the sheet shows it: "0.00".
QString MoneyText(Money::WideCents cents);
// The totals row: "金额合计：60.50   人次合计：3".
QString TotalsText(Money::WideCents amountCents, qint64 personTimes);

class Sheet;

// The widths in twips that show a sheet in font: kColumnTwips each, the amount
// column as wide as its widest amount (or stored fee that is no amount) and the
// totals row across the three need, so nothing in it is ever cut. Measured on
// the screen and at the printer's resolution, the wider of the two, so one
// width serves the grid and the paper.
std::array<int, kColumns> ColumnTwips(const Sheet& sheet, const QFont& font);

class Sheet {
public:
    // A blank sheet: no rows and no columns.
    Sheet() = default;
    // The sheet of statistic (0..5) over the answer rows (null reads as no rows).
    static Sheet build(int statistic, const QDate& first, const QDate& last, const RecordSetPtr& rows);

    int statistic() const { return statistic_; }
    int rows() const { return blank() ? 0 : resultRows() + 4; }
    int cols() const { return blank() ? 0 : kColumns; }
    bool blank() const { return statistic_ < 0; }
    int resultRows() const { return answer_ ? answer_->recordCount() : 0; }

    QString text(int row, int column) const;
    // Rows whose equal cells show and print as one: title, date range and totals.
    bool mergeRow(int row) const;
    // A cell's own font size in points; 0 for the grid's font.
    double fontSize(int row, int column) const;
    int alignment(int row, int column) const;
    // A row's own height in twips; 0 for the grid's row height.
    int rowHeightTwips(int row) const;

    // The amount total in cents: the sum of the row amounts as shown, each fee
    // rounded to the cent first (Money), however large.
    Money::WideCents amountCents() const { return amountCents_; }
    // How many fees of the range are no amount and so left out of the total.
    qint64 unreadableFees() const { return unreadableFees_; }
    qint64 personTimes() const { return personTimes_; }
    QString title() const { return Title(statistic_); }
    // The largest and the most negative amount the rows show (0 without any).
    std::pair<Money::WideCents, Money::WideCents> widestAmounts() const { return widestAmounts_; }
    // Of the stored fees that are no amount and show as they are stored, the
    // one that takes the most room (a character of the wide scripts, CJK and
    // the like, counted as two).
    QString widestOtherFee() const { return widestOther_; }

private:
    QString dataText(int record, int column) const;
    // A result row's amount; nullopt for a field that is no amount at all.
    std::optional<Money::Total> fee(int record) const;

    int statistic_ = -1;
    RecordSetPtr answer_;
    QString dateRange_;
    Money::WideCents amountCents_ = 0;
    qint64 personTimes_ = 0;
    qint64 unreadableFees_ = 0;
    std::pair<Money::WideCents, Money::WideCents> widestAmounts_{0, 0};
    QString widestOther_;
};

// The sheet as the grid printer reads it: the grid's column widths, the sheet's
// title row height, merged rows, cell font sizes and alignment codes; the other
// rows take the grid's row height and every cell the grid's font.
class SheetGrid final : public PrintableGrid {
public:
    SheetGrid(const Sheet& sheet, const GridFont& font, int rowTwips, const std::array<int, kColumns>& colTwips,
              std::pair<int, int> current)
        : sheet_(sheet), font_(font), rowTwips_(rowTwips), colTwips_(colTwips), current_(current)
    {}
    int rows() const override { return sheet_.rows(); }
    int cols() const override { return sheet_.cols(); }
    int rowHeight(int row) const override;
    int colWidth(int col) const override { return col >= 0 && col < kColumns ? colTwips_[size_t(col)] : 0; }
    QString text(int row, int col) const override { return sheet_.text(row, col); }
    bool mergeRow(int row) const override { return sheet_.mergeRow(row); }
    bool mergeCol(int) const override { return false; }
    GridFont cellFont(int row, int col) const override;
    int cellAlignment(int row, int col) const override { return sheet_.alignment(row, col); }
    GridFont gridFont() const override { return font_; }
    std::pair<int, int> currentCell() const override { return current_; }

private:
    const Sheet& sheet_;
    GridFont font_;
    int rowTwips_;
    std::array<int, kColumns> colTwips_;
    std::pair<int, int> current_;
};

// The sheet as the grid's model: texts, cell fonts and alignments; no item per cell.
class SheetModel final : public QAbstractTableModel {
public:
    using QAbstractTableModel::QAbstractTableModel;

    void setSheet(Sheet sheet);
    const Sheet& sheet() const { return sheet_; }
    // The grid's font, which cells without a size of their own use.
    void setBaseFont(const QFont& font) { baseFont_ = font; }
    // How a cell's text is placed: "general" puts numbers right, other texts left.
    Qt::Alignment cellAlignment(int row, int column, const QString& text) const;

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

private:
    Sheet sheet_;
    QFont baseFont_;
};

}
