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
    static const QString columns = [] {
        QStringList fields;
        for (const Column& c : kColumnTable) {
            fields.append(QString::fromLatin1(c.field));
            if (c.form == Form::Age)
                fields.append(QString::fromLatin1(kAgeUnitField));
        }
        return fields.join(QStringLiteral(", "));
    }();
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

QString AgeText(const QVariant& age)
{
    if (!age.isValid() || age.isNull())
        return QString();
    switch (age.typeId()) {
    case QMetaType::Double:
    case QMetaType::Float: return QString::number(age.toDouble(), 'g', 15);
    default: return age.toString();
    }
}

namespace {
QString textOf(const QVariant& v) { return (!v.isValid() || v.isNull()) ? QString() : v.toString(); }

QString dateText(const QString& text)
{
    // Stored dates are "yyyy-MM-dd", sometimes with a time after them: the
    // date part is read by hand, as a date parser per row costs more than the
    // rest of the row.
    if (text.size() >= 10 && text.at(4) == QLatin1Char('-') && text.at(7) == QLatin1Char('-')) {
        bool y = false, m = false, d = false;
        const QDate date(QStringView(text).mid(0, 4).toInt(&y), QStringView(text).mid(5, 2).toInt(&m),
                         QStringView(text).mid(8, 2).toInt(&d));
        if (y && m && d && date.isValid() && text.at(0).isDigit() && text.at(5).isDigit() && text.at(8).isDigit())
            return text.size() == 10 ? text : text.left(10);
    }
    return text;
}
}

QString DateText(const QVariant& rpdate) { return dateText(textOf(rpdate)); }

// ---------------------------------------------------------------------------

Model::FieldMap Model::mapFields(const RecordSet& rs)
{
    FieldMap m{};
    for (int c = 0; c < kColumns; ++c)
        m.index[c] = rs.fieldIndex(QString::fromLatin1(kColumnTable[c].field));
    m.ageUnit = rs.fieldIndex(QString::fromLatin1(kAgeUnitField));
    return m;
}

QString Model::cellText(int column, const RecordSet& rs, int record, const FieldMap& m)
{
    const int i = m.index[column];
    if (i < 0)
        return QString();
    switch (kColumnTable[column].form) {
    case Form::Age: return AgeText(rs.value(record, i)) + (m.ageUnit >= 0 ? rs.text(record, m.ageUnit) : QString());
    case Form::Date: return dateText(rs.text(record, i));
    case Form::Text: break;
    }
    return rs.text(record, i);
}

void Model::answerChanged() { map_ = answer() ? mapFields(*answer()) : FieldMap{}; }

QString Model::recordText(int record, int column) const { return cellText(column, *answer(), record, map_); }

QString Model::headerText(int column) const { return HeaderText(column); }

QVariant Model::cellAlignment(int column) const
{
    return kColumnTable[column].left ? int(Qt::AlignLeft | Qt::AlignVCenter) : int(Qt::AlignCenter);
}

void Model::setRow(int row, const RecordSet& rs, bool keepReportDate)
{
    if (row < 0 || row >= rowCount())
        return;
    const FieldMap m = mapFields(rs);
    QStringList texts;
    texts.reserve(kColumns);
    for (int c = 0; c < kColumns; ++c)
        texts.append(keepReportDate && c == kDateColumn ? text(row, c) : cellText(c, rs, rs.position(), m));
    setOwnTexts(row, std::move(texts));
}

// ---------------------------------------------------------------------------

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

void WriteSavedRow(QTableView* grid, const RecordSet& rs, bool insert)
{
    Model* model = ModelOf(grid);
    if (!model || rs.recordCount() < 1)
        return;
    const auto key = KeyOf(rs);
    if (!key)
        return;
    // An update never overwrites the row of another report.
    const int row = insert ? ListGrid::NewRow(grid, kSelButtonFace) : RowOfReport(grid, *key);
    if (row < 0)
        return;
    model->setRow(row, rs, !insert);
    if (insert)
        ListGrid::SelectRow(grid, row);
}

int RowOfKey(const QTableView* grid, int keyColumn, qint64 key)
{
    if (ListGrid::IsEmpty(grid))
        return -1;
    auto holds = [&](int r) { return ReportRecord::ParseKey(ListGrid::Cell(grid, r, keyColumn)) == key; };
    const int selected = ListGrid::SelectedRow(grid);
    if (selected >= 0 && holds(selected))
        return selected;
    for (int r = 0; r < ListGrid::RowCount(grid); ++r)
        if (holds(r))
            return r;
    return -1;
}

std::optional<qint64> KeyOf(const RecordSet& rs)
{
    const int keyField = rs.fieldIndex(QString::fromLatin1(kColumnTable[kKeyColumn].field));
    if (keyField < 0 || rs.recordCount() < 1)
        return std::nullopt;
    return ReportRecord::ParseKey(textOf(rs.value(rs.position(), keyField)));
}

int RowOfReport(const QTableView* grid, qint64 key) { return RowOfKey(grid, kKeyColumn, key); }

void RemoveReportRow(QTableView* grid, qint64 key) { ListGrid::RemoveRow(grid, RowOfReport(grid, key)); }

void FollowByKey(QTableView* grid, int keyColumn, std::function<void(int row, const RecordSet& saved)> rewrite,
                 std::function<void(int row)> remove)
{
    ReportStore::Notifier* store = ReportStore::notifier();
    QObject::connect(store, &ReportStore::Notifier::reportSaved, grid,
                     [grid, keyColumn, rewrite = std::move(rewrite)](const RecordSet& row, bool inserted) {
                         const auto key = KeyOf(row);
                         if (inserted || !key)
                             return;
                         if (const int r = RowOfKey(grid, keyColumn, *key); r >= 0)
                             rewrite(r, row);
                     });
    QObject::connect(store, &ReportStore::Notifier::reportDeleted, grid,
                     [grid, keyColumn, remove = std::move(remove)](qint64 key) {
                         if (const int r = RowOfKey(grid, keyColumn, key); r >= 0)
                             remove(r);
                     });
}

QList<QMetaObject::Connection> FollowStore(QTableView* grid, std::function<QDate()> listedDate)
{
    ReportStore::Notifier* store = ReportStore::notifier();
    auto saved = [grid, listedDate = std::move(listedDate)](const RecordSet& row, bool inserted) {
        if (!inserted) {
            WriteSavedRow(grid, row, false);
            return;
        }
        const int dateField = row.fieldIndex(QString::fromLatin1(kColumnTable[kDateColumn].field));
        if (listedDate && DateText(row.value(row.position(), dateField)) == DayParams(listedDate()).value(0).toString())
            WriteSavedRow(grid, row, true);
    };
    return {QObject::connect(store, &ReportStore::Notifier::reportSaved, grid, saved),
            QObject::connect(store, &ReportStore::Notifier::reportDeleted, grid,
                             [grid](qint64 key) { RemoveReportRow(grid, key); })};
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
