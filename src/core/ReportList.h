#pragma once
#include "core/ListGrid.h"
#include "core/ReportGrid.h"

#include "core/Database.h"
#include "core/Openers.h"

#include <QList>
#include <QMetaObject>
#include <QString>
#include <QStringList>
#include <QVariantList>

#include <functional>
#include <utility>

class QTableView;
class QWidget;

// The main window's report list: its twelve columns, the query of one report
// date, and how a stored report becomes a list row. The list's state and
// selection follow the list conventions of ListGrid. The main window's loader
// and the rows it writes after every save and delete the store announces
// (FollowStore) all go through here, so a row written after a save is exactly
// the row a reload gives.
namespace ReportList {

// The columns by position. A column is added, moved or removed in kColumnTable
// below and here, nowhere else: the statement, the headers, the widths, the
// alignment and the texts of a row are all made from the table.
enum Col : int {
    kExamColumn,         // 检查号
    kNameColumn,         // 病人姓名
    kSexColumn,          // 性别
    kAgeColumn,          // 年龄, with its unit
    kSectionColumn,      // 科室
    kInpatientColumn,    // 住院号
    kOutpatientColumn,   // 门诊号
    kRequesterColumn,    // 申请医师
    kDateColumn,         // 报告日期
    kDoctorColumn,       // 检查医师 (rpdr, the owner)
    kDiagnosisColumn,    // 诊断意见, the column that takes a wide screen's extra width
    kKeyColumn,          // 序号 (ctid), hidden
    kColumns
};

using ReportGrid::Column;
using ReportGrid::Form;
using ReportGrid::kAgeUnitField;

inline constexpr Column kColumnTable[kColumns] = {
    {"检查号", "obligate5", Form::Text, 1100},
    {"病人姓名", "brname", Form::Text, 1000},
    {"性别", "sex", Form::Text, 660},
    {"年龄", "age", Form::Age, 660},
    {"科室", "sectionoffice", Form::Text, 1400},
    {"住院号", "inpatientid", Form::Text, 1400},
    {"门诊号", "obligate3", Form::Text, 1400},
    {"申请医师", "utpatientid", Form::Text, 1200},
    {"报告日期", "rpdate", Form::Date, 1310},
    {"检查医师", "rpdr", Form::Text, 1200},
    {"诊断意见", "checkconclusion", Form::Text, 4000, true},
    {"序号", "ctid", Form::Text, 0},
};
inline constexpr std::pair<Col, const char*> kColumnNames[kColumns] = {
    {kExamColumn, "obligate5"},
    {kNameColumn, "brname"},
    {kSexColumn, "sex"},
    {kAgeColumn, "age"},
    {kSectionColumn, "sectionoffice"},
    {kInpatientColumn, "inpatientid"},
    {kOutpatientColumn, "obligate3"},
    {kRequesterColumn, "utpatientid"},
    {kDateColumn, "rpdate"},
    {kDoctorColumn, "rpdr"},
    {kDiagnosisColumn, "checkconclusion"},
    {kKeyColumn, "ctid"},
};
static_assert(ReportGrid::Matches(kColumnTable, kColumnNames), "kColumnTable and the names of Col disagree");

using ListGrid::kSelButtonFace;
using ListGrid::kSelButtonShadow;
using ListGrid::kSelWhite;

// The fields the list reads, never a picture field: the fields of
// kColumnTable in column order, kAgeUnitField right after the age. A row of
// the answer holds column c's field at StatementField(c).
QString ListColumns();
int StatementField(int column);
int AgeUnitStatementField();
// The day list: reports of one report date in key order.
QString DaySql();
QVariantList DayParams(const QDate& date);

// The rows of a report list over a day's answer (a query of at least
// ListColumns()); rows written later (a saved report, a blank row) hold their
// own texts.
class Model final : public ReportGrid::Model {
public:
    explicit Model(QObject* parent = nullptr) : ReportGrid::Model(kColumnTable, parent) {}
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

// Keeps the day list grid in step with every change the store announces: a
// saved report's row rewritten, a deleted report's row removed, and a new
// report added when its report date is the date the list shows (listedDate),
// selected only when ownEditor says the main window's own editor saved it (a
// report saved from another window leaves the selection where it is).
// The connections end with the grid or when the caller drops them.
QList<QMetaObject::Connection> FollowStore(QTableView* grid, std::function<QDate()> listedDate,
                                           std::function<bool()> ownEditor);
// The selected report of grid, as the main window offers it to the commands
// that act on its current report (Openers::EditorOpenFromMainList, OpenPreview).
Openers::ListedReport CurrentOf(const QTableView* grid);
}
