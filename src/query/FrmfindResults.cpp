#include "query/FrmfindResults.h"

#include "core/ListGrid.h"
#include "core/Palette.h"
#include "core/ReportGrid.h"
#include "platform/Units.h"

#include <QHeaderView>
#include <QScrollBar>
#include <QTableView>

#include <cmath>
#include <utility>

namespace FrmfindResults {

namespace {
using ReportGrid::Column;
using ReportGrid::Form;

// Header, field, how the text is made, the width a query gives a ticked
// column, and the chooser's width and box at opening.
constexpr Column kCols[kColumns] = {
    {"X线号", "obligate5", Form::Text, 900, false, 900, true},
    {"病人姓名", "brname", Form::Text, 1000, false, 1000, true},
    {"性别", "sex", Form::Text, 600, false, 600, true},
    {"年龄", "age", Form::Age, 600, false, 600, true},
    {"联系方式", "bedid", Form::Text, 1000, false, 1000, false},
    {"科室", "sectionoffice", Form::Text, 1000, false, 1000, true},
    {"申请医师", "utpatientid", Form::Text, 1000, false, 1000, true},
    {"床号", "obligate2", Form::Text, 1000, false, 1000, false},
    {"住院号", "inpatientid", Form::Text, 900, false, 900, true},
    {"门诊号", "obligate3", Form::Text, 1000, false, 1000, false},
    {"检查日期", "pgdate", Form::Date, 1300, false, 1200, true},
    {"检查次数", "obligate1", Form::Number, 950, false, 1000, false},
    {"复核医师", "pgdr", Form::Text, 950, false, 1000, false},
    {"报告医师", "rpdr", Form::Text, 1000, false, 1000, true},
    {"收费金额", "times", Form::Fee, 1000, false, 1000, true},
    {"过敏试验", "obligate4", Form::Text, 1000, false, 1000, false},
    {"检查部位", "part", Form::LongText, 1200, false, 1200, true},
    {"结果", "checktechnique", Form::LongText, 2000, false, 2000, false},
    {"X线征象", "checksymptom", Form::LongText, 3500, false, 3500, false},
    {"诊断意见", "checkconclusion", Form::LongText, 3500, false, 3500, false},
    {"检查名称", "checkname", Form::LongText, 3500, false, 3500, false},
    {"序号", "ctid", Form::Text, 0, false, 0, false},
};
constexpr std::pair<Col, const char*> kNames[kColumns] = {
    {kExamColumn, "obligate5"},
    {kNameColumn, "brname"},
    {kSexColumn, "sex"},
    {kAgeColumn, "age"},
    {kContactColumn, "bedid"},
    {kSectionColumn, "sectionoffice"},
    {kRequesterColumn, "utpatientid"},
    {kBedColumn, "obligate2"},
    {kInpatientColumn, "inpatientid"},
    {kOutpatientColumn, "obligate3"},
    {kExamDateColumn, "pgdate"},
    {kExamCountColumn, "obligate1"},
    {kReviewerColumn, "pgdr"},
    {kDoctorColumn, "rpdr"},
    {kFeeColumn, "times"},
    {kAllergyColumn, "obligate4"},
    {kPartColumn, "part"},
    {kTechniqueColumn, "checktechnique"},
    {kSymptomColumn, "checksymptom"},
    {kConclusionColumn, "checkconclusion"},
    {kCheckNameColumn, "checkname"},
    {kKeyColumn, "ctid"},
};
static_assert(ReportGrid::Matches(kCols, kNames), "the result columns and the names of Col disagree");

const QString kPlaceholder = QStringLiteral("查询结果");

bool validColumn(int c) { return c >= 0 && c < kColumns; }
}

QString HeaderText(int column) { return validColumn(column) ? QString::fromUtf8(kCols[column].header) : QString(); }
int QueryWidthTwips(int column) { return validColumn(column) ? kCols[column].twips : 0; }
int TickWidthTwips(int column) { return validColumn(column) ? kCols[column].tickTwips : 0; }
bool TickedAtOpening(int column) { return validColumn(column) && kCols[column].ticked; }

// ---------------------------------------------------------------------------

Model::Model(QObject* parent) : ReportGrid::Model(kCols, parent) { takeAnswer(nullptr, 1); }

void Model::setEmpty()
{
    beginResetModel();
    takeAnswer(nullptr, 1);
    endResetModel();
}

void Model::setAnswer(const RecordSetPtr& rs)
{
    const RecordSetPtr next = rs && rs->recordCount() > 0 ? rs : nullptr;
    if (!answer() || !next) {
        beginResetModel();
        takeAnswer(next, next ? 0 : 1);
        endResetModel();
        return;
    }
    // Results after results: the columns stay, so the view keeps its header
    // as it is (a reset would lay it out again); rows beyond the new count go,
    // missing ones come, and the rows both answers have change their texts.
    // The rows the views know: the followed grid may have lost some since the
    // last answer.
    const int before = rowCount();
    const int after = next->recordCount();
    if (after < before) {
        beginRemoveRows(QModelIndex(), after, before - 1);
        takeAnswer(next);
        endRemoveRows();
    } else if (after > before) {
        beginInsertRows(QModelIndex(), before, after - 1);
        takeAnswer(next);
        endInsertRows();
    } else {
        takeAnswer(next);
    }
    const int common = std::min(before, after);
    emit dataChanged(index(0, 0), index(common - 1, kColumns - 1));
}

QString Model::headerText(int column) const { return answer() ? HeaderText(column) : kPlaceholder; }

int Model::columns() const { return answer() ? kColumns : 1; }

// Column 0 keeps the centring of the empty look; the others the grid's general alignment.
QVariant Model::cellAlignment(int column) const { return column == 0 ? QVariant(int(Qt::AlignCenter)) : QVariant(); }

QVariant Model::headerAlignment(int column) const
{
    return column == 0 ? int(Qt::AlignCenter) : int(Qt::AlignLeft | Qt::AlignVCenter);
}

QString OneLineDelegate::displayText(const QVariant& value, const QLocale& locale) const
{
    QString t = QStyledItemDelegate::displayText(value, locale);
    for (QChar& ch : t)
        if (ch == QLatin1Char('\r') || ch == QLatin1Char('\n') || ch == QChar::LineSeparator)
            ch = QLatin1Char(' ');
    return t;
}

// ---------------------------------------------------------------------------

namespace {
// The header row is always gCaptionHeight high: its size is not measured
// from the captions' texts, which the view would otherwise do for every
// column after each query.
class FixedHeader final : public QHeaderView {
public:
    explicit FixedHeader(QWidget* parent) : QHeaderView(Qt::Horizontal, parent) {}
    QSize sizeHint() const override { return QSize(length(), height()); }
};
}

QTableView* CreateView(QWidget* parent)
{
    auto* grid = new QTableView(parent);
    grid->setHorizontalHeader(new FixedHeader(grid));
    auto* model = new Model(grid);
    grid->setModel(model);
    grid->setItemDelegate(new OneLineDelegate(grid));
    ListGrid::SetListLook(grid);
    grid->horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    SetEmptyLook(grid);
    FollowStore(grid);
    return grid;
}

Model* ModelOf(const QTableView* grid) { return grid ? dynamic_cast<Model*>(grid->model()) : nullptr; }

int Mode(const QTableView* grid) { return grid ? grid->property("HighLight").toInt() : kEmptyLook; }

QString CurrentKey(const QTableView* grid)
{
    const Model* model = ModelOf(grid);
    if (!model || !model->hasResults() || Mode(grid) == kEmptyLook)
        return QString();
    return model->text(ListGrid::CurrentRow(grid), kKeyColumn);
}

void FollowStore(QTableView* grid)
{
    ReportGrid::Follow how;
    how.keyColumn = kKeyColumn;
    how.setEmpty = SetEmptyLook;
    ReportGrid::FollowStore(grid, std::move(how));
}

static void setHeaderHeight(QTableView* grid)
{
    QHeaderView* header = grid->horizontalHeader();
    const int h = Palette::gCaptionHeight;
    if (h > 0 && (header->minimumHeight() != h || header->maximumHeight() != h))
        header->setFixedHeight(h);
}

void SetEmptyLook(QTableView* grid)
{
    Model* model = ModelOf(grid);
    if (!model)
        return;
    grid->clearSelection();
    model->setEmpty();
    grid->setColumnHidden(0, false);
    grid->setColumnWidth(0, std::max(0, grid->width() - 2 * grid->frameWidth()));
    setHeaderHeight(grid);
    ListGrid::SetHighlight(grid, kEmptyLook, ListGrid::kSelWhite);
    grid->selectionModel()->setCurrentIndex(QModelIndex(), QItemSelectionModel::NoUpdate);
}

void SetResultsLook(QTableView* grid, const RecordSetPtr& rs, const bool (&ticked)[kChooserBoxes])
{
    Model* model = ModelOf(grid);
    if (!model)
        return;
    model->setAnswer(rs);
    for (int c = 0; c < kChooserBoxes; ++c)
        SetColumnWidthTwips(grid, c, ticked[c] ? QueryWidthTwips(c) : 0);
    SetColumnWidthTwips(grid, kKeyColumn, 0);
    setHeaderHeight(grid);
    ListGrid::SetHighlight(grid, kResultsLook, ListGrid::kSelButtonShadow);
    ListGrid::SelectRow(grid, 0);
    // The new answer shows from its first row and column.
    grid->verticalScrollBar()->setValue(0);
    grid->horizontalScrollBar()->setValue(0);
}

void SetColumnWidthTwips(QTableView* grid, int column, int twips)
{
    const int px = Units::px(twips);
    if (px <= 0) {
        grid->setColumnHidden(column, true);
        return;
    }
    grid->setColumnHidden(column, false);
    grid->setColumnWidth(column, px);
}

int ColumnWidthTwips(const QTableView* grid, int column)
{
    if (!grid || column < 0 || column >= grid->model()->columnCount() || grid->isColumnHidden(column))
        return 0;
    return Units::twips(grid->columnWidth(column));
}
}
