#include "core/ReportList.h"

#include "core/ModADOconnect.h"
#include "platform/Environment.h"

#include <QDate>
#include <QHeaderView>
#include <QTableWidget>
#include <cmath>

namespace ReportList {

namespace {
struct Column {
    const char* header;
    int twips;
    const char* field;   // field name; "age" also appends ageunit
    bool left;
};
constexpr Column kCols[kColumns] = {
    {"检查号", 1100, "obligate5", false},     {"病人姓名", 1000, "brname", false},
    {"性别", 660, "sex", false},               {"年龄", 660, "age", false},
    {"科室", 1400, "sectionoffice", false},    {"住院号", 1400, "inpatientid", false},
    {"门诊号", 1400, "obligate3", false},      {"申请医师", 1200, "utpatientid", false},
    {"报告日期", 1310, "rpdate", false},       {"检查医师", 1200, "rpdr", false},
    {"诊断意见", 4000, "checkconclusion", true}, {"序号", 0, "ctid", false},
};

int toPixels(int twips) { return int(std::nearbyint(twips / double(Environment::kTwipsPerPixel))); }
}

QString ListColumns()
{
    return QStringLiteral("ctid, brname, sex, age, ageunit, sectionoffice, utpatientid, inpatientid, rpdate, "
                          "rpdr, checkconclusion, obligate3, obligate5");
}

QString DaySql()
{
    return QStringLiteral("SELECT ") + ListColumns() + QStringLiteral(" FROM reports WHERE rpdate = ? ORDER BY ctid");
}

QVariantList DayParams(const QDate& date) { return {date.toString(QStringLiteral("yyyy-MM-dd"))}; }

QString RowSql() { return QStringLiteral("SELECT ") + ListColumns() + QStringLiteral(" FROM reports WHERE ctid = ?"); }

QString HeaderText(int column) { return QString::fromUtf8(kCols[column].header); }

int ColumnWidthTwips(int column, int screenWidthPx)
{
    if (column == 10 && screenWidthPx > 1024)
        return 4000 + (screenWidthPx - 1024) * Environment::kTwipsPerPixel;
    return kCols[column].twips;
}

void SetupColumns(QTableWidget* grid, int screenWidthPx, int headerHeightPx)
{
    grid->setColumnCount(kColumns);
    for (int c = 0; c < kColumns; ++c) {
        auto* h = new QTableWidgetItem(HeaderText(c));
        h->setTextAlignment(Qt::AlignCenter);
        grid->setHorizontalHeaderItem(c, h);
        grid->setColumnWidth(c, toPixels(ColumnWidthTwips(c, screenWidthPx)));
        ListGrid::SetColumnAlignment(grid, c, kCols[c].left ? Qt::Alignment(Qt::AlignLeft | Qt::AlignVCenter)
                                                            : Qt::Alignment(Qt::AlignCenter));
    }
    grid->setColumnHidden(kKeyColumn, true);
    if (headerHeightPx > 0)
        grid->horizontalHeader()->setFixedHeight(headerHeightPx);
}

QString AgeText(const QVariant& age)
{
    if (!age.isValid() || age.isNull())
        return QString();
    switch (age.typeId()) {
    case QMetaType::Double:
    case QMetaType::Float:
        return QString::number(age.toDouble(), 'g', 15);
    default:
        return age.toString();
    }
}

namespace {
struct FieldMap {
    int index[kColumns];
    int ageUnit;
};

FieldMap mapFields(const RecordSet& rs)
{
    FieldMap m{};
    for (int c = 0; c < kColumns; ++c)
        m.index[c] = rs.fieldIndex(QString::fromLatin1(kCols[c].field));
    m.ageUnit = rs.fieldIndex(QStringLiteral("ageunit"));
    return m;
}

QString textOf(const QVariant& v) { return (!v.isValid() || v.isNull()) ? QString() : v.toString(); }

QString dateText(const QString& text);

QString cellText(int column, const RecordSet& rs, int record, const FieldMap& m)
{
    const int i = m.index[column];
    if (i < 0)
        return QString();
    switch (column) {
    case 3: return AgeText(rs.value(record, i)) + (m.ageUnit >= 0 ? rs.text(record, m.ageUnit) : QString());
    case kDateColumn: return dateText(rs.text(record, i));
    default: return rs.text(record, i);
    }
}

// A list cell: read-only, its column's alignment kept in the item itself
// rather than as item data, so that a day list makes one object per cell.
// Text or alignment set later through the item's own functions take
// precedence, as for any QTableWidgetItem.
class ListCellBase : public QTableWidgetItem {
public:
    explicit ListCellBase(Qt::Alignment alignment)
        : alignment_(int(alignment))
    {
        setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
    }
    QVariant data(int role) const override
    {
        if (role != Qt::DisplayRole && role != Qt::EditRole && role != Qt::TextAlignmentRole)
            return QTableWidgetItem::data(role);
        const QVariant set = QTableWidgetItem::data(role);
        if (set.isValid())
            return set;
        return role == Qt::TextAlignmentRole ? QVariant(alignment_) : QVariant(cellDisplay());
    }

protected:
    virtual QString cellDisplay() const = 0;

private:
    int alignment_;
};

// A cell that holds its text.
class ListCell final : public ListCellBase {
public:
    ListCell(QString text, Qt::Alignment alignment)
        : ListCellBase(alignment), text_(std::move(text))
    {
    }
    QTableWidgetItem* clone() const override { return new ListCell(*this); }

protected:
    QString cellDisplay() const override { return text_; }

private:
    QString text_;
};

void fillRowFrom(QTableWidget* grid, int tableRow, const RecordSet& rs, int record, const FieldMap& m,
                 const Qt::Alignment (&align)[kColumns], bool keepDate)
{
    for (int c = 0; c < kColumns; ++c) {
        if (keepDate && c == kDateColumn)
            continue;
        grid->setItem(tableRow, c, new ListCell(cellText(c, rs, record, m), align[c]));
    }
}

void alignments(const QTableWidget* grid, Qt::Alignment (&align)[kColumns])
{
    for (int c = 0; c < kColumns; ++c)
        align[c] = ListGrid::ColumnAlignment(grid, c);
}
}

QString DateText(const QVariant& rpdate) { return dateText(textOf(rpdate)); }

namespace {
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

void FillRow(QTableWidget* grid, int tableRow, const RecordSet& rs, bool keepReportDate)
{
    Qt::Alignment align[kColumns];
    alignments(grid, align);
    fillRowFrom(grid, tableRow, rs, rs.position(), mapFields(rs), align, keepReportDate);
}

namespace {
// A day list's answer as its cells read it.
struct ListSource {
    RecordSetPtr rs;
    FieldMap map;
};

// A cell of a filled list: it keeps its place in the answer and makes its text
// when the text is read, so that a long list makes no text for rows nobody
// looks at.
class SourceCell final : public ListCellBase {
public:
    SourceCell(std::shared_ptr<const ListSource> source, int record, int column, Qt::Alignment alignment)
        : ListCellBase(alignment), source_(std::move(source)), record_(record), column_(column)
    {
    }
    QTableWidgetItem* clone() const override { return new SourceCell(*this); }

protected:
    QString cellDisplay() const override { return cellText(column_, *source_->rs, record_, source_->map); }

private:
    std::shared_ptr<const ListSource> source_;
    int record_;
    int column_;
};
}

void FillRows(QTableWidget* grid, const RecordSetPtr& rs)
{
    const int n = rs ? rs->recordCount() : 0;
    grid->setRowCount(n);
    if (n == 0)
        return;
    const auto source = std::make_shared<const ListSource>(ListSource{rs, mapFields(*rs)});
    Qt::Alignment align[kColumns];
    alignments(grid, align);
    // One change notice for the whole list instead of one per cell.
    QAbstractItemModel* model = grid->model();
    {
        const QSignalBlocker quiet(model);
        for (int r = 0; r < n; ++r)
            for (int c = 0; c < kColumns; ++c)
                grid->setItem(r, c, new SourceCell(source, r, c, align[c]));
    }
    emit model->dataChanged(model->index(0, 0), model->index(n - 1, kColumns - 1));
}

QueryResult ReadRow(qint64 key) { return ModADOconnect::QueryData(RowSql(), {QVariant(key)}); }

void WriteSavedRow(QTableWidget* grid, const RecordSet& rs, bool insert)
{
    if (!grid || rs.recordCount() < 1)
        return;
    const QString key = textOf(rs.value(rs.position(), mapFields(rs).index[kKeyColumn]));
    // An update never overwrites the row of another report.
    const int row = insert ? ListGrid::NewRow(grid, kSelButtonFace) : RowOfReport(grid, key);
    if (row < 0)
        return;
    FillRow(grid, row, rs, !insert);
    if (insert)
        ListGrid::SelectRow(grid, row);
}

int RowOfReport(const QTableWidget* grid, const QString& key)
{
    if (ListGrid::IsEmpty(grid) || key.trimmed().isEmpty())
        return -1;
    const int selected = ListGrid::SelectedRow(grid);
    if (ListGrid::Cell(grid, selected, kKeyColumn).trimmed() == key.trimmed())
        return selected;
    for (int r = 0; r < grid->rowCount(); ++r)
        if (ListGrid::Cell(grid, r, kKeyColumn).trimmed() == key.trimmed())
            return r;
    return -1;
}

void RemoveReportRow(QTableWidget* grid, const QString& key)
{
    const int row = RowOfReport(grid, key);
    if (row < 0)
        return;
    ListGrid::SelectRow(grid, row);
    ListGrid::RemoveSelectedRow(grid);
}
}
