#pragma once
#include "core/Database.h"
#include "core/ReportGrid.h"

#include <QStyledItemDelegate>

class QTableView;

// The query window's result grid: its 22 columns, the two looks and the model
// over the query's answer.
namespace FrmfindResults {

// The columns by position; column c is ticked by chooser box xm(c + 1). A
// column is added, moved or removed here and in the table of the .cpp file,
// which a static_assert ties to these names.
enum Col : int {
    kExamColumn,         // X线号 (obligate5)
    kNameColumn,         // 病人姓名
    kSexColumn,          // 性别
    kAgeColumn,          // 年龄, with its unit
    kContactColumn,      // 联系方式 (bedid)
    kSectionColumn,      // 科室
    kRequesterColumn,    // 申请医师 (utpatientid)
    kBedColumn,          // 床号 (obligate2)
    kInpatientColumn,    // 住院号
    kOutpatientColumn,   // 门诊号 (obligate3)
    kExamDateColumn,     // 检查日期 (pgdate)
    kExamCountColumn,    // 检查次数 (obligate1)
    kReviewerColumn,     // 复核医师 (pgdr)
    kDoctorColumn,       // 报告医师 (rpdr)
    kFeeColumn,          // 收费金额 (times)
    kAllergyColumn,      // 过敏试验 (obligate4)
    kPartColumn,         // 检查部位
    kTechniqueColumn,    // 结果 (checktechnique)
    kSymptomColumn,      // X线征象
    kConclusionColumn,   // 诊断意见
    kCheckNameColumn,    // 检查名称
    kKeyColumn,          // 序号 (ctid), never shown
    kColumns
};
constexpr int kChooserBoxes = kKeyColumn;   // xm1..xm21 for columns 0..20

// Header of a result column.
QString HeaderText(int column);
// Width (twips) a query gives a ticked column, and the width a tick gives it.
int QueryWidthTwips(int column);
int TickWidthTwips(int column);
// Whether the box of the column is ticked when the window opens.
bool TickedAtOpening(int column);

// Grid "mode": 0 the empty look, 2 results.
constexpr int kEmptyLook = 0;
constexpr int kResultsLook = 2;

// The rows of the grid. The empty look is one column headed "查询结果" over
// one blank row. The results look is one row per record of the answer; a
// cell's text is made from the answer when it is read (painted, printed or
// looked up), so a result of any size costs one model reset.
class Model final : public ReportGrid::Model {
public:
    // In the empty look.
    explicit Model(QObject* parent = nullptr);

    void setEmpty();
    // The results look over rs; the empty look when it has no records.
    void setAnswer(const RecordSetPtr& rs) override;
    bool hasResults() const { return answer() != nullptr; }
    // A cell's text (text()) is as the grid holds it: the long texts end with CR LF.

protected:
    int columns() const override;
    QString headerText(int column) const override;
    QVariant cellAlignment(int column) const override;
    QVariant headerAlignment(int column) const override;
};

// Shows a cell on one line: the line breaks of a long text are shown as blanks.
class OneLineDelegate final : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    QString displayText(const QVariant& value, const QLocale& locale) const override;
};

// The grid view with its model, in the empty look.
QTableView* CreateView(QWidget* parent);
Model* ModelOf(const QTableView* grid);

// The empty look: the placeholder column as wide as the grid, nothing selected.
void SetEmptyLook(QTableView* grid);
// The results look over rs: widths of the ticked columns from the query's
// table (unticked ones 0, the key hidden), the header row gCaptionHeight
// high, the first row current and selected.
void SetResultsLook(QTableView* grid, const RecordSetPtr& rs, const bool (&ticked)[kChooserBoxes]);
// Sets the width of one column in twips (0 hides it).
void SetColumnWidthTwips(QTableView* grid, int column, int twips);
int ColumnWidthTwips(const QTableView* grid, int column);
int Mode(const QTableView* grid);
// The key of the current result row; "" in the empty look.
QString CurrentKey(const QTableView* grid);

// Keeps the results in step with every change the store announces: the row of
// a saved report rewritten, the row of a deleted one removed (the empty look
// once no result is left). A new report is not a result of the query shown.
void FollowStore(QTableView* grid);
}
