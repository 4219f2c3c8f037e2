#pragma once
#include "core/ListGrid.h"

#include "core/ModADOconnect.h"

#include <QString>
#include <QVariantList>

class QDate;
class QTableWidget;

// The main window's report list: its twelve columns, the query of one report
// date, and how a stored report becomes a list row. The list's state and
// selection follow the list conventions of ListGrid. The main window's loader
// and the editor's save and delete all go through here, so a row written after
// a save is exactly the row a reload gives.
namespace ReportList {

constexpr int kColumns = 12;
constexpr int kExamColumn = 0;     // 检查号
constexpr int kDateColumn = 8;     // 报告日期
constexpr int kDoctorColumn = 9;   // 检查医师 (rpdr, the owner)
constexpr int kDiagnosisColumn = 10;
constexpr int kKeyColumn = 11;     // 序号 (ctid), hidden

using ListGrid::kSelButtonFace;
using ListGrid::kSelButtonShadow;
using ListGrid::kSelWhite;

// The columns the list shows, read by name: never a picture column.
QString ListColumns();
// The day list: reports of one report date in key order.
QString DaySql();
QVariantList DayParams(const QDate& date);
// One report's list columns by key.
QString RowSql();

// Header texts, widths and alignment. screenWidthPx widens the diagnosis column.
void SetupColumns(QTableWidget* grid, int screenWidthPx, int headerHeightPx);
int ColumnWidthTwips(int column, int screenWidthPx);
QString HeaderText(int column);

// The list state (ListGrid's, under the names the main window uses).
inline bool IsEmpty(const QTableWidget* grid) { return ListGrid::IsEmpty(grid); }
inline unsigned SelectionColor(const QTableWidget* grid) { return ListGrid::SelectionColor(grid); }
inline void SetEmptyState(QTableWidget* grid) { ListGrid::SetEmptyState(grid); }
inline void SetFilledState(QTableWidget* grid, unsigned selColor = kSelButtonShadow)
{
    ListGrid::SetHighlight(grid, 1, selColor);
}
inline int SelectedRow(const QTableWidget* grid) { return ListGrid::SelectedRow(grid); }
inline QString SelectedText(const QTableWidget* grid, int column) { return ListGrid::SelectedText(grid, column); }

// Writes the list cells of a table row from the current record of rs (a query
// of at least ListColumns()). keepReportDate leaves the date column as it is.
void FillRow(QTableWidget* grid, int tableRow, const RecordSet& rs, bool keepReportDate = false);
// Makes one table row per record and fills them all. The cells keep rs and
// make their texts when read.
void FillRows(QTableWidget* grid, const RecordSetPtr& rs);
// Age as plain decimal text: 30.0 reads "30".
QString AgeText(const QVariant& age);
// The report date as the list shows it, "yyyy-MM-dd".
QString DateText(const QVariant& rpdate);

// A saved report's list columns (RowSql), read inside the save's transaction
// so that a failed read can roll the save back.
QueryResult ReadRow(qint64 key);
// After a save: writes the report of rs (ReadRow's answer) into the list. An
// insert takes the blank row of an empty list, which turns filled with the
// selection colour button face, or a new last row, and selects it. An update
// rewrites the report's row (the selected one) and keeps its report date column.
void WriteSavedRow(QTableWidget* grid, const RecordSet& rs, bool insert);
// The row that lists report key: the selected row when it does, else the first
// that does; -1 when the list does not show it.
int RowOfReport(const QTableWidget* grid, const QString& key);
// After a delete: removes the report's row as ListGrid::RemoveSelectedRow does.
void RemoveReportRow(QTableWidget* grid, const QString& key);
}
