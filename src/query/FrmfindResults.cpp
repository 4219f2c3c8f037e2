#include "query/FrmfindResults.h"

#include "core/ListGrid.h"
#include "core/Palette.h"
#include "core/ReportList.h"
#include "core/ReportRecord.h"
#include "platform/Units.h"

#include <QHeaderView>
#include <QScrollBar>
#include <QTableView>

#include <cmath>
#include <iterator>
#include <utility>

namespace FrmfindResults {

namespace {
enum class Kind {
    Text,
    Age,
    Date,
    Number,
    Fee,
    LongText
};

struct Column {
    const char* header;
    const char* field;
    int queryTwips;
    int tickTwips;
    bool ticked;
    Kind kind;
};

constexpr Column kCols[kColumns] = {
    {"X线号", "obligate5", 900, 900, true, Kind::Text},
    {"病人姓名", "brname", 1000, 1000, true, Kind::Text},
    {"性别", "sex", 600, 600, true, Kind::Text},
    {"年龄", "age", 600, 600, true, Kind::Age},
    {"联系方式", "bedid", 1000, 1000, false, Kind::Text},
    {"科室", "sectionoffice", 1000, 1000, true, Kind::Text},
    {"申请医师", "utpatientid", 1000, 1000, true, Kind::Text},
    {"床号", "obligate2", 1000, 1000, false, Kind::Text},
    {"住院号", "inpatientid", 900, 900, true, Kind::Text},
    {"门诊号", "obligate3", 1000, 1000, false, Kind::Text},
    {"检查日期", "pgdate", 1300, 1200, true, Kind::Date},
    {"检查次数", "obligate1", 950, 1000, false, Kind::Number},
    {"复核医师", "pgdr", 950, 1000, false, Kind::Text},
    {"报告医师", "rpdr", 1000, 1000, true, Kind::Text},
    {"收费金额", "times", 1000, 1000, true, Kind::Fee},
    {"过敏试验", "obligate4", 1000, 1000, false, Kind::Text},
    {"检查部位", "part", 1200, 1200, true, Kind::LongText},
    {"结果", "checktechnique", 2000, 2000, false, Kind::LongText},
    {"X线征象", "checksymptom", 3500, 3500, false, Kind::LongText},
    {"诊断意见", "checkconclusion", 3500, 3500, false, Kind::LongText},
    {"检查名称", "checkname", 3500, 3500, false, Kind::LongText},
    {"序号", "ctid", 0, 0, false, Kind::Text},
};

constexpr bool tableMatchesNames()
{
    constexpr std::pair<Col, const char*> named[] = {{kExamColumn, "obligate5"},
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
                                                     {kKeyColumn, "ctid"}};
    static_assert(std::size(named) == kColumns);
    return ReportList::ColumnsMatchNames(kCols, named) && kCols[kKeyColumn].queryTwips == 0
           && kCols[kKeyColumn].tickTwips == 0;
}
static_assert(tableMatchesNames(), "the result columns and the names of Col disagree");

const QString kPlaceholder = QStringLiteral("查询结果");
const QString kCrLf = QStringLiteral("\r\n");

bool validColumn(int c) { return c >= 0 && c < kColumns; }
}

QString HeaderText(int column) { return validColumn(column) ? QString::fromUtf8(kCols[column].header) : QString(); }
int QueryWidthTwips(int column) { return validColumn(column) ? kCols[column].queryTwips : 0; }
int TickWidthTwips(int column) { return validColumn(column) ? kCols[column].tickTwips : 0; }
bool TickedAtOpening(int column) { return validColumn(column) && kCols[column].ticked; }

// ---------------------------------------------------------------------------

void Model::setEmpty()
{
    beginResetModel();
    takeAnswer(nullptr, 1);
    endResetModel();
}

void Model::answerChanged()
{
    if (!answer())
        return;
    // Every query of the window has the same columns: they are looked up
    // again only when they differ from the last answer's.
    const RecordSet& rs = *answer();
    bool same = rs.fieldCount() == mappedNames_.size();
    for (int i = 0; same && i < rs.fieldCount(); ++i)
        same = rs.fieldName(i) == mappedNames_[i];
    if (same)
        return;
    mappedNames_.clear();
    for (int i = 0; i < rs.fieldCount(); ++i)
        mappedNames_ << rs.fieldName(i);
    map_ = mapFields(rs);
}

Model::FieldMap Model::mapFields(const RecordSet& rs)
{
    FieldMap m;
    for (int c = 0; c < kColumns; ++c)
        m.index[c] = rs.fieldIndex(QString::fromLatin1(kCols[c].field));
    m.ageUnit = rs.fieldIndex(QStringLiteral("ageunit"));
    return m;
}

void Model::setRow(int row, const RecordSet& rs)
{
    if (!answer() || row < 0 || row >= rowCount() || rs.recordCount() < 1)
        return;
    const FieldMap m = mapFields(rs);
    QStringList texts;
    texts.reserve(kColumns);
    for (int c = 0; c < kColumns; ++c)
        texts.append(cellText(c, rs, rs.position(), m));
    setOwnTexts(row, std::move(texts));
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

QString Model::recordText(int record, int column) const { return cellText(column, *answer(), record, map_); }

QString Model::cellText(int column, const RecordSet& rs, int record, const FieldMap& m)
{
    const int f = m.index[column];
    if (f < 0)
        return QString();
    switch (kCols[column].kind) {
    case Kind::Text: return rs.text(record, f);
    case Kind::Age:
        return ReportList::AgeText(rs.value(record, f)) + (m.ageUnit >= 0 ? rs.text(record, m.ageUnit) : QString());
    case Kind::Date: return ReportList::DateText(rs.value(record, f));
    case Kind::Number: return ReportRecord::ValueText(rs.value(record, f));
    case Kind::Fee: return ReportRecord::FeeText(rs.value(record, f));
    case Kind::LongText: return rs.text(record, f) + kCrLf;
    }
    return QString();
}

QString Model::headerText(int column) const { return answer() ? HeaderText(column) : kPlaceholder; }

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
    ReportList::FollowByKey(
        grid, kKeyColumn,
        [grid](int r, const RecordSet& row) {
            if (Model* model = ModelOf(grid); model && model->hasResults())
                model->setRow(r, row);
        },
        [grid](int r) {
            Model* model = ModelOf(grid);
            if (!model || !model->hasResults())
                return;
            if (model->rowCount() == 1) {
                SetEmptyLook(grid);
                return;
            }
            const int current = ListGrid::CurrentRow(grid);
            model->removeRows(r, 1);
            // The current row stays on its report; the removed current row gives way to the next.
            ListGrid::SelectRow(grid, std::min(current > r ? current - 1 : current, model->rowCount() - 1));
        });
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
