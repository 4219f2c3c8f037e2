#pragma once
#include <QString>
#include <QVariantList>

class QTableWidget;
class RecordSet;

// The main window's report list: a QTableWidget whose horizontal header is
// the fixed row 0, so data row r of the list is table row r - 1.
// The list's state is kept on the grid itself, where every window that works
// on it can read it:
//   dynamic property "HighLight"    0 = empty (one blank row), 1 = filled
//   dynamic property "BackColorSel" the selection colour as a colour value
//                                   (0x00FFFFFF white, 0x80000010 button shadow,
//                                    0x8000000F button face)
namespace ReportList {

constexpr int kColumns = 12;
constexpr int kExamColumn = 0;     // 检查号
constexpr int kDoctorColumn = 9;   // 检查医师 (rpdr, the owner)
constexpr int kKeyColumn = 11;     // 序号 (ctid), hidden

constexpr unsigned kSelWhite = 0x00FFFFFFu;
constexpr unsigned kSelButtonShadow = 0x80000010u;
constexpr unsigned kSelButtonFace = 0x8000000Fu;

// The columns the list shows, read by name: never a picture column.
QString ListColumns();
// The day list: reports of one report date in key order.
QString DaySql();
QVariantList DayParams(const QDate& date);

// Header texts, widths and alignment. screenWidthPx widens the diagnosis column.
void SetupColumns(QTableWidget* grid, int screenWidthPx, int headerHeightPx);
int ColumnWidthTwips(int column, int screenWidthPx);
QString HeaderText(int column);

bool IsEmpty(const QTableWidget* grid);
// One blank data row, highlight off, white selection.
void SetEmptyState(QTableWidget* grid);
// Highlight on with the given selection colour value.
void SetFilledState(QTableWidget* grid, unsigned selColor = kSelButtonShadow);
unsigned SelectionColor(const QTableWidget* grid);

// Writes the list cells of data row (0-based table row) from the current record.
void FillRow(QTableWidget* grid, int tableRow, const RecordSet& rs);
// Makes one table row per record and fills them all.
void FillRows(QTableWidget* grid, const RecordSet& rs);
// Age as plain decimal text: 30.0 reads "30".
QString AgeText(const QVariant& age);

// The selected table row (-1 when none) and its cells.
int SelectedRow(const QTableWidget* grid);
QString SelectedText(const QTableWidget* grid, int column);
}
