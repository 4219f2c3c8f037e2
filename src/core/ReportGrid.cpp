#include "core/ReportGrid.h"

#include "core/ListGrid.h"
#include "core/ReportRecord.h"
#include "core/ReportStore.h"

#include <QTableView>

namespace ReportGrid {

namespace {
QString textOf(const QVariant& v) { return (!v.isValid() || v.isNull()) ? QString() : v.toString(); }

// Stored dates are "yyyy-MM-dd", sometimes with a time after them: the date
// part is read by hand, as a date parser per row costs more than the rest of
// the row.
QDate dateOf(const QString& text)
{
    if (text.size() < 10 || text.at(4) != QLatin1Char('-') || text.at(7) != QLatin1Char('-') || !text.at(0).isDigit()
        || !text.at(5).isDigit() || !text.at(8).isDigit())
        return QDate();
    bool y = false, m = false, d = false;
    const QDate date(QStringView(text).mid(0, 4).toInt(&y), QStringView(text).mid(5, 2).toInt(&m),
                     QStringView(text).mid(8, 2).toInt(&d));
    return y && m && d ? date : QDate();
}

QString dateText(const QString& text)
{
    if (!dateOf(text).isValid())
        return text;
    return text.size() == 10 ? text : text.left(10);
}

const QString kCrLf = QStringLiteral("\r\n");
}

QStringList Fields(std::span<const Column> table)
{
    QStringList fields;
    for (const Column& c : table) {
        fields.append(QString::fromLatin1(c.field));
        if (c.form == Form::Age)
            fields.append(QString::fromLatin1(kAgeUnitField));
    }
    return fields;
}

QDate DateOf(const QVariant& stored) { return dateOf(textOf(stored)); }

QString DateText(const QVariant& stored) { return dateText(textOf(stored)); }

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

// ---------------------------------------------------------------------------

Model::Model(std::span<const Column> table, QObject* parent) : RecordSetModel(parent), table_(table) {}

void Model::mapFields(const RecordSet& rs, FieldMap& m) const
{
    // The lists' answers come with the same fields time after time: they are
    // looked up again only when they differ from the last answer's.
    bool same = rs.fieldCount() == m.names.size() && m.index.size() == table_.size();
    for (int i = 0; same && i < rs.fieldCount(); ++i)
        same = rs.fieldName(i) == m.names[i];
    if (same)
        return;
    m.names.clear();
    for (int i = 0; i < rs.fieldCount(); ++i)
        m.names << rs.fieldName(i);
    m.index.assign(table_.size(), -1);
    for (size_t c = 0; c < table_.size(); ++c)
        m.index[c] = rs.fieldIndex(QString::fromLatin1(table_[c].field));
    m.ageUnit = rs.fieldIndex(QString::fromLatin1(kAgeUnitField));
}

QString Model::cellText(int column, const RecordSet& rs, int record, const FieldMap& m) const
{
    const int f = m.index[size_t(column)];
    if (f < 0)
        return QString();
    switch (table_[size_t(column)].form) {
    case Form::Text: break;
    case Form::Age: return AgeText(rs.value(record, f)) + (m.ageUnit >= 0 ? rs.text(record, m.ageUnit) : QString());
    case Form::Date: return dateText(rs.text(record, f));
    case Form::Number: return ReportRecord::ValueText(rs.value(record, f));
    case Form::Fee: return ReportRecord::FeeText(rs.value(record, f));
    case Form::LongText: return rs.text(record, f) + kCrLf;
    }
    return rs.text(record, f);
}

void Model::answerChanged()
{
    if (answer())
        mapFields(*answer(), map_);
}

QString Model::recordText(int record, int column) const { return cellText(column, *answer(), record, map_); }

QString Model::headerText(int column) const { return QString::fromUtf8(table_[size_t(column)].header); }

QVariant Model::cellAlignment(int column) const
{
    return table_[size_t(column)].left ? int(Qt::AlignLeft | Qt::AlignVCenter) : int(Qt::AlignCenter);
}

void Model::setRow(int row, const RecordSet& rs)
{
    if (row < 0 || row >= rowCount() || rs.recordCount() < 1)
        return;
    FieldMap m;
    mapFields(rs, m);
    QStringList texts;
    texts.reserve(columns());
    for (int c = 0; c < columns(); ++c)
        texts.append(cellText(c, rs, rs.position(), m));
    setOwnTexts(row, std::move(texts));
}

// ---------------------------------------------------------------------------

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
    const int keyField = rs.fieldIndex(QString::fromLatin1(kKeyField));
    if (keyField < 0 || rs.recordCount() < 1)
        return std::nullopt;
    return ReportRecord::ParseKey(textOf(rs.value(rs.position(), keyField)));
}

namespace {
Model* modelOf(const QTableView* grid) { return grid ? dynamic_cast<Model*>(grid->model()) : nullptr; }

void saved(QTableView* grid, const Follow& how, const RecordSet& row, bool inserted)
{
    Model* model = modelOf(grid);
    const auto key = KeyOf(row);
    if (!model || !key)
        return;
    if (!inserted) {
        // An update never overwrites the row of another report.
        model->setRow(RowOfKey(grid, how.keyColumn, *key), row);
        return;
    }
    if (!how.takesNew || !how.takesNew(row))
        return;
    const bool wasEmpty = ListGrid::IsEmpty(grid);
    const int r = ListGrid::NewRow(grid, ListGrid::kSelButtonFace);
    model->setRow(r, row);
    if (wasEmpty || (how.selectsNew && how.selectsNew()))
        ListGrid::SelectRow(grid, r);
}

void deleted(QTableView* grid, const Follow& how, qint64 key)
{
    const int r = RowOfKey(grid, how.keyColumn, key);
    if (r < 0)
        return;
    if (ListGrid::RowCount(grid) == 1) {
        if (how.setEmpty)
            how.setEmpty(grid);
        else
            ListGrid::SetEmptyState(grid);
        return;
    }
    ListGrid::RemoveRow(grid, r);
}
}

QList<QMetaObject::Connection> FollowStore(QTableView* grid, Follow how)
{
    ReportStore::Notifier* store = ReportStore::notifier();
    return {QObject::connect(store, &ReportStore::Notifier::reportSaved, grid,
                             [grid, how](const RecordSet& row, bool inserted) { saved(grid, how, row, inserted); }),
            QObject::connect(store, &ReportStore::Notifier::reportDeleted, grid,
                             [grid, how](qint64 key) { deleted(grid, how, key); })};
}
}
