#include "core/ReportList.h"

#include "core/Database.h"
#include "core/ReportRecord.h"
#include "core/ReportStore.h"
#include "platform/Environment.h"
#include "platform/Units.h"

#include <QDate>
#include <QHeaderView>
#include <QTableView>
#include <cmath>

namespace ReportList {

QString ListColumns()
{
    // Built once: the day list's statement is made at every date change.
    static const QString columns = ReportGrid::Fields(kColumnTable).join(QStringLiteral(", "));
    return columns;
}

int StatementField(int column)
{
    int field = 0;
    for (int c = 0; c < column; ++c)
        field += kColumnTable[c].form == Form::Age ? 2 : 1;   // the age's unit follows the age
    return field;
}

int AgeUnitStatementField() { return StatementField(kAgeColumn) + 1; }

QString DaySql()
{
    return QStringLiteral("SELECT ") + ListColumns() + QStringLiteral(" FROM reports WHERE rpdate = ? ORDER BY ctid");
}

QVariantList DayParams(const QDate& date) { return {date.toString(QStringLiteral("yyyy-MM-dd"))}; }

QString HeaderText(int column) { return QString::fromUtf8(kColumnTable[column].header); }

int ColumnWidthTwips(int column, int screenWidthPx)
{
    if (column == kDiagnosisColumn && screenWidthPx > 1024)
        return kColumnTable[column].twips + Units::twips(screenWidthPx - 1024);
    return kColumnTable[column].twips;
}

void SetupColumns(QTableView* grid, int screenWidthPx, int headerHeightPx)
{
    for (int c = 0; c < kColumns; ++c)
        grid->setColumnWidth(c, Units::px(ColumnWidthTwips(c, screenWidthPx)));
    grid->setColumnHidden(kKeyColumn, true);
    QHeaderView* header = grid->horizontalHeader();
    if (headerHeightPx > 0 && (header->minimumHeight() != headerHeightPx || header->maximumHeight() != headerHeightPx))
        header->setFixedHeight(headerHeightPx);
}

QTableView* CreateView(QWidget* parent)
{
    auto* grid = new QTableView(parent);
    auto* model = new Model(grid);
    grid->setModel(model);
    ListGrid::SetListLook(grid);
    grid->setColumnHidden(kKeyColumn, true);
    ListGrid::SetEmptyState(grid);
    return grid;
}

Model* ModelOf(const QTableView* grid) { return grid ? dynamic_cast<Model*>(grid->model()) : nullptr; }

void FillRows(QTableView* grid, const RecordSetPtr& rs)
{
    Model* model = ModelOf(grid);
    if (!model)
        return;
    if (!rs || rs->recordCount() == 0) {
        model->setAnswer(nullptr);
        SetEmptyState(grid);
        return;
    }
    model->setAnswer(rs);
    SetFilledState(grid, kSelButtonShadow);
    ListGrid::SelectRow(grid, 0);
}

QList<QMetaObject::Connection> FollowStore(QTableView* grid, std::function<QDate()> listedDate,
                                           std::function<bool()> ownEditor)
{
    ReportGrid::Follow how;
    how.keyColumn = kKeyColumn;
    how.takesNew = [listedDate = std::move(listedDate)](const RecordSet& row) {
        const int dateField = row.fieldIndex(QString::fromLatin1(kColumnTable[kDateColumn].field));
        return listedDate && dateField >= 0 && ReportGrid::DateOf(row.value(row.position(), dateField)) == listedDate();
    };
    how.selectsNew = std::move(ownEditor);
    return ReportGrid::FollowStore(grid, std::move(how));
}

Openers::ListedReport CurrentOf(const QTableView* grid)
{
    Openers::ListedReport current;
    if (!grid || ListGrid::IsEmpty(grid))
        return current;
    const int row = ListGrid::SelectedRow(grid);
    current.empty = false;
    current.key = ListGrid::Cell(grid, row, kKeyColumn);
    current.owner = ListGrid::Cell(grid, row, kDoctorColumn);
    return current;
}
}
