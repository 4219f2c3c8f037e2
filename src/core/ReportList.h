#pragma once
#include "core/ListGrid.h"

#include "core/Database.h"
#include "core/RecordSetModel.h"

#include <QString>
#include <QStringList>
#include <QVariantList>

#include <vector>

class QDate;
class QTableView;
class QWidget;

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
constexpr int kKeyColumn = 11;   // 序号 (ctid), hidden

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

// The rows of a report list over a day's answer (a query of at least
// ListColumns()); rows written later (a saved report, a blank row) hold their
// own texts.
class Model final : public RecordSetModel {
public:
    using RecordSetModel::RecordSetModel;

    // The list texts of a row from the current record of rs; keepReportDate
    // leaves the date column as it is.
    void setRow(int row, const RecordSet& rs, bool keepReportDate);

protected:
    int columns() const override { return kColumns; }
    QString recordText(int record, int column) const override;
    QString headerText(int column) const override;
    QVariant cellAlignment(int column) const override;
    void answerChanged() override;

private:
    struct FieldMap {
        int index[kColumns];
        int ageUnit;
    };
    static FieldMap mapFields(const RecordSet& rs);
    static QString cellText(int column, const RecordSet& rs, int record, const FieldMap& m);

    FieldMap map_{};
};

// A report list view with its model, columns and selection behaviour, in the
// empty state.
QTableView* CreateView(QWidget* parent);
Model* ModelOf(const QTableView* grid);

// Header texts, widths and alignment. screenWidthPx widens the diagnosis column.
void SetupColumns(QTableView* grid, int screenWidthPx, int headerHeightPx);
int ColumnWidthTwips(int column, int screenWidthPx);
QString HeaderText(int column);

// The list state (ListGrid's, under the names the main window uses).
inline bool IsEmpty(const QTableView* grid) { return ListGrid::IsEmpty(grid); }
inline unsigned SelectionColor(const QTableView* grid) { return ListGrid::SelectionColor(grid); }
inline void SetEmptyState(QTableView* grid) { ListGrid::SetEmptyState(grid); }
inline void SetFilledState(QTableView* grid, unsigned selColor = kSelButtonShadow)
{
    ListGrid::SetHighlight(grid, 1, selColor);
}
inline int SelectedRow(const QTableView* grid) { return ListGrid::SelectedRow(grid); }
inline QString SelectedText(const QTableView* grid, int column) { return ListGrid::SelectedText(grid, column); }

// One row per record of rs, in the filled state with the first row selected;
// the empty state when rs has no records.
void FillRows(QTableView* grid, const RecordSetPtr& rs);
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
void WriteSavedRow(QTableView* grid, const RecordSet& rs, bool insert);
// The row that lists report key: the selected row when it does, else the first
// that does; -1 when the list does not show it.
int RowOfReport(const QTableView* grid, const QString& key);
// After a delete: removes the report's row as ListGrid::RemoveSelectedRow does.
void RemoveReportRow(QTableView* grid, const QString& key);
}
