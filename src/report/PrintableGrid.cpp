#include "report/PrintableGrid.h"

#include "platform/Units.h"
#include "report/ReportUnits.h"

#include <QBrush>
#include <QHeaderView>
#include <QTableView>
#include <QVariant>

namespace {
constexpr int kTwipsPerPixel = Units::kTwipsPerPixel;
double points(const QFont& f)
{
    if (f.pointSizeF() > 0)
        return f.pointSizeF();
    return f.pixelSize() > 0 ? f.pixelSize() * ReportUnits::kPointsPerInch / ReportUnits::kScreenDpi : 9.0;
}

GridFont fromQt(const QFont& f, const QColor& color)
{
    GridFont g;
    g.name = f.family();
    g.size = points(f);
    g.bold = f.bold();
    g.italic = f.italic();
    g.strikeout = f.strikeOut();
    g.underline = f.underline();
    g.color = color;
    return g;
}

int alignmentCode(const QVariant& v)
{
    if (!v.isValid())
        return PrintableGrid::General;
    const Qt::Alignment a = Qt::Alignment(v.toInt());
    const int column = (a & Qt::AlignRight) ? 2 : (a & Qt::AlignHCenter) ? 1 : 0;
    const int row = (a & Qt::AlignBottom) ? 2 : (a & Qt::AlignTop) ? 0 : 1;
    return column * 3 + row;
}
}

TableViewGrid::TableViewGrid(const QTableView* view) : view_(view) {}

QString PrintableGrid::documentName() const
{
    if (rows() < 1 || cols() < 1 || !mergeRow(0))
        return QString();
    const QString title = text(0, 0);
    for (int c = 1; c < cols(); ++c)
        if (text(0, c) != title)
            return QString();
    return title.trimmed();
}

int TableViewGrid::headerRows() const { return view_->horizontalHeader()->isHidden() ? 0 : 1; }

int TableViewGrid::rows() const { return view_->model() ? headerRows() + view_->model()->rowCount() : 0; }

int TableViewGrid::cols() const { return view_->model() ? view_->model()->columnCount() : 0; }

int TableViewGrid::rowHeight(int row) const
{
    if (row < headerRows()) {
        const QHeaderView* h = view_->horizontalHeader();
        return (h->height() > 0 ? h->height() : h->sizeHint().height()) * kTwipsPerPixel;
    }
    const int r = row - headerRows();
    return view_->isRowHidden(r) ? 0 : view_->rowHeight(r) * kTwipsPerPixel;
}

int TableViewGrid::colWidth(int col) const
{
    return view_->isColumnHidden(col) ? 0 : view_->columnWidth(col) * kTwipsPerPixel;
}

QString TableViewGrid::text(int row, int col) const
{
    if (row < headerRows())
        return view_->model()->headerData(col, Qt::Horizontal, Qt::DisplayRole).toString();
    return view_->model()->index(row - headerRows(), col).data(Qt::DisplayRole).toString();
}

// A table view's cells are never merged.
bool TableViewGrid::mergeRow(int) const { return false; }

bool TableViewGrid::mergeCol(int) const { return false; }

GridFont TableViewGrid::cellFont(int row, int col) const
{
    if (row < headerRows()) {
        const QHeaderView* h = view_->horizontalHeader();
        const QVariant f = view_->model()->headerData(col, Qt::Horizontal, Qt::FontRole);
        return fromQt(f.isValid() ? f.value<QFont>() : h->font(), h->palette().color(QPalette::ButtonText));
    }
    const QModelIndex i = view_->model()->index(row - headerRows(), col);
    const QVariant f = i.data(Qt::FontRole);
    const QVariant c = i.data(Qt::ForegroundRole);
    return fromQt(f.isValid() ? f.value<QFont>() : view_->font(),
                  c.isValid() ? c.value<QBrush>().color() : view_->palette().color(QPalette::Text));
}

int TableViewGrid::cellAlignment(int row, int col) const
{
    if (row < 0 || col < 0 || row >= rows() || col >= cols())
        return General;
    if (row < headerRows()) {
        const QVariant a = view_->model()->headerData(col, Qt::Horizontal, Qt::TextAlignmentRole);
        return alignmentCode(a.isValid() ? a : QVariant(int(view_->horizontalHeader()->defaultAlignment())));
    }
    return alignmentCode(view_->model()->index(row - headerRows(), col).data(Qt::TextAlignmentRole));
}

GridFont TableViewGrid::gridFont() const { return fromQt(view_->font(), view_->palette().color(QPalette::Text)); }

std::pair<int, int> TableViewGrid::currentCell() const
{
    const QModelIndex i = view_->currentIndex();
    if (!i.isValid())
        return {headerRows(), 0};
    return {i.row() + headerRows(), i.column()};
}
