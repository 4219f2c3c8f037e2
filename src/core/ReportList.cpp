#include "core/ReportList.h"

#include "core/ModADOconnect.h"
#include "core/Palette.h"
#include "platform/Environment.h"

#include <QApplication>
#include <QDate>
#include <QHeaderView>
#include <QPalette>
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

QColor colorValue(unsigned v) { return Palette::ToQColor(qint32(v)); }

void applySelection(QTableWidget* grid, int highlight, unsigned color)
{
    grid->setProperty("HighLight", highlight);
    grid->setProperty("BackColorSel", color);
    QPalette pal = grid->palette();
    const QColor c = colorValue(color);
    pal.setColor(QPalette::Active, QPalette::Highlight, c);
    pal.setColor(QPalette::Inactive, QPalette::Highlight, c);
    pal.setColor(QPalette::Active, QPalette::HighlightedText, highlight ? QColor(Qt::white) : QColor(Qt::black));
    pal.setColor(QPalette::Inactive, QPalette::HighlightedText, highlight ? QColor(Qt::white) : QColor(Qt::black));
    grid->setPalette(pal);
}

QTableWidgetItem* cell(const QString& text, int column)
{
    auto* item = new QTableWidgetItem(text);
    item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
    item->setTextAlignment(kCols[column].left ? Qt::Alignment(Qt::AlignLeft | Qt::AlignVCenter) : Qt::Alignment(Qt::AlignCenter));
    return item;
}
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
    }
    grid->setColumnHidden(kKeyColumn, true);
    if (headerHeightPx > 0)
        grid->horizontalHeader()->setFixedHeight(headerHeightPx);
}

bool IsEmpty(const QTableWidget* grid) { return grid->property("HighLight").toInt() == 0; }

unsigned SelectionColor(const QTableWidget* grid) { return grid->property("BackColorSel").toUInt(); }

void SetEmptyState(QTableWidget* grid)
{
    grid->clearContents();
    grid->setRowCount(1);
    for (int c = 0; c < kColumns; ++c)
        grid->setItem(0, c, cell(QString(), c));
    applySelection(grid, 0, kSelWhite);
    grid->setCurrentCell(0, 0, QItemSelectionModel::NoUpdate);
}

void SetFilledState(QTableWidget* grid, unsigned selColor) { applySelection(grid, 1, selColor); }

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

void fillRowFrom(QTableWidget* grid, int tableRow, const RecordSet& rs, int record, const FieldMap& m)
{
    for (int c = 0; c < kColumns; ++c) {
        const int i = m.index[c];
        QString text;
        if (i >= 0) {
            const QVariant v = rs.value(record, i);
            if (c == 3) {
                text = AgeText(v);
                if (m.ageUnit >= 0)
                    text += textOf(rs.value(record, m.ageUnit));
            } else if (c == 8) {
                text = textOf(v);
                const QDate d = QDate::fromString(text.left(10), QStringLiteral("yyyy-MM-dd"));
                if (d.isValid())
                    text = d.toString(QStringLiteral("yyyy-MM-dd"));
            } else {
                text = textOf(v);
            }
        }
        grid->setItem(tableRow, c, cell(text, c));
    }
}
}

void FillRow(QTableWidget* grid, int tableRow, const RecordSet& rs)
{
    fillRowFrom(grid, tableRow, rs, rs.position(), mapFields(rs));
}

void FillRows(QTableWidget* grid, const RecordSet& rs)
{
    const FieldMap m = mapFields(rs);
    const int n = rs.recordCount();
    grid->setRowCount(n);
    for (int r = 0; r < n; ++r)
        fillRowFrom(grid, r, rs, r, m);
}

int SelectedRow(const QTableWidget* grid)
{
    const auto rows = grid->selectionModel() ? grid->selectionModel()->selectedRows() : QModelIndexList();
    if (!rows.isEmpty())
        return rows.last().row();
    return grid->currentRow();
}

QString SelectedText(const QTableWidget* grid, int column)
{
    const int r = SelectedRow(grid);
    if (r < 0)
        return QString();
    const QTableWidgetItem* it = grid->item(r, column);
    return it ? it->text() : QString();
}
}
