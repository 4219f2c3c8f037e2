#pragma once
#include "core/ListGrid.h"

#include "core/Database.h"
#include "core/Openers.h"
#include "core/RecordSetModel.h"

#include <QList>
#include <QMetaObject>
#include <QString>
#include <QStringList>
#include <QVariantList>

#include <functional>
#include <iterator>
#include <optional>
#include <string_view>
#include <utility>
#include <vector>

class QDate;
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

// How a column's text is made from its field.
enum class Form {
    Text,   // the field's text
    Age,    // the age as plain decimal text (AgeText), then the field kAgeUnitField
    Date,   // the date part of the field (DateText)
};

struct Column {
    const char* header;   // header text
    int twips;            // width; 0 for the hidden key
    const char* field;    // the field of table reports it shows
    Form form;
    bool left;   // aligned left (else centred)
};

inline constexpr Column kColumnTable[kColumns] = {
    {"检查号", 1100, "obligate5", Form::Text, false},
    {"病人姓名", 1000, "brname", Form::Text, false},
    {"性别", 660, "sex", Form::Text, false},
    {"年龄", 660, "age", Form::Age, false},
    {"科室", 1400, "sectionoffice", Form::Text, false},
    {"住院号", 1400, "inpatientid", Form::Text, false},
    {"门诊号", 1400, "obligate3", Form::Text, false},
    {"申请医师", 1200, "utpatientid", Form::Text, false},
    {"报告日期", 1310, "rpdate", Form::Date, false},
    {"检查医师", 1200, "rpdr", Form::Text, false},
    {"诊断意见", 4000, "checkconclusion", Form::Text, true},
    {"序号", 0, "ctid", Form::Text, false},
};
inline constexpr const char* kAgeUnitField = "ageunit";

// Whether every row of a column table is written (a table one row short
// leaves its last row empty) and each named column shows its field; named
// holds one (column, field) pair for every column.
template <typename Table, typename Named>
constexpr bool ColumnsMatchNames(const Table& table, const Named& named)
{
    for (const auto& c : table)
        if (!c.header || !c.field)
            return false;
    for (const auto& [column, field] : named)
        if (std::string_view(table[column].field) != field)
            return false;
    return true;
}

namespace detail {
constexpr bool tableMatchesNames()
{
    constexpr std::pair<Col, const char*> named[] = {{kExamColumn, "obligate5"},
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
                                                     {kKeyColumn, "ctid"}};
    static_assert(std::size(named) == kColumns);
    return ColumnsMatchNames(kColumnTable, named) && kColumnTable[kAgeColumn].form == Form::Age
           && kColumnTable[kDateColumn].form == Form::Date && kColumnTable[kKeyColumn].twips == 0;
}
}
static_assert(detail::tableMatchesNames(), "kColumnTable and the names of Col disagree");

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

// After a save: writes the report of rs (a row of at least ListColumns(), such
// as the store's ListedRow) into the list. An insert takes the blank row of an
// empty list, which turns filled with the selection colour button face, or a
// new last row, and selects it. An update rewrites the report's row, wherever
// it is, and keeps its report date column; a list without the report is left
// as it is.
void WriteSavedRow(QTableView* grid, const RecordSet& rs, bool insert);
// The row of a list whose keyColumn holds key: the selected row when it does,
// else the first that does; -1 when the list does not show it.
int RowOfKey(const QTableView* grid, int keyColumn, qint64 key);
// The key (ctid) of rs's current record; none when it holds no key.
std::optional<qint64> KeyOf(const RecordSet& rs);
// Keeps a list of reports that holds their keys in keyColumn (the query
// window's and the related-records window's) in step with the store: a saved
// report's row is found by key and given to rewrite with the announced record,
// a deleted report's row to remove. New reports are not the list's business.
void FollowByKey(QTableView* grid, int keyColumn, std::function<void(int row, const RecordSet& saved)> rewrite,
                 std::function<void(int row)> remove);
int RowOfReport(const QTableView* grid, qint64 key);
// After a delete: removes the report's row as ListGrid::RemoveRow does (the
// selection stays on its report, or moves to the next row when it was this one).
void RemoveReportRow(QTableView* grid, qint64 key);

// Keeps the day list grid in step with every change the store announces: a
// saved report's row rewritten, a deleted report's row removed, and a new
// report added when its report date is the date the list shows (listedDate).
// The connections end with the grid or when the caller drops them.
QList<QMetaObject::Connection> FollowStore(QTableView* grid, std::function<QDate()> listedDate);
// The selected report of grid, as the main window offers it to the commands
// that act on its current report (Openers::EditorOpenFromMainList, OpenPreview).
Openers::ListedReport CurrentOf(const QTableView* grid);
}
