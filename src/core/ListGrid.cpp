#include "core/ListGrid.h"

#include "core/Palette.h"

#include <QPalette>
#include <QTableWidget>
#include <QVariantList>
#include <algorithm>

namespace ListGrid {

namespace {
const char* const kHighLight = "HighLight";
const char* const kBackColorSel = "BackColorSel";
const char* const kColAlignment = "ColAlignment";

QTableWidgetItem* newCell(const QTableWidget* grid, int column, const QString& text)
{
    auto* item = new QTableWidgetItem(text);
    item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
    item->setTextAlignment(ColumnAlignment(grid, column));
    return item;
}
}

bool IsEmpty(const QTableWidget* grid) { return !grid || grid->property(kHighLight).toInt() == 0; }

unsigned SelectionColor(const QTableWidget* grid) { return grid ? grid->property(kBackColorSel).toUInt() : kSelWhite; }

void SetHighlight(QTableWidget* grid, int highlight, unsigned selColor)
{
    grid->setProperty(kHighLight, highlight);
    grid->setProperty(kBackColorSel, selColor);
    const QColor c = Palette::ToQColor(qint32(selColor));
    // The selected row's text stays legible on a light selection colour (button face).
    const double luminance = 0.299 * c.redF() + 0.587 * c.greenF() + 0.114 * c.blueF();
    const QColor text = highlight && luminance < 0.75 ? QColor(Qt::white) : QColor(Qt::black);
    QPalette pal = grid->palette();
    for (auto group : {QPalette::Active, QPalette::Inactive}) {
        pal.setColor(group, QPalette::Highlight, c);
        pal.setColor(group, QPalette::HighlightedText, text);
    }
    grid->setPalette(pal);
}

void SetEmptyState(QTableWidget* grid)
{
    grid->clearSelection();
    grid->clearContents();
    grid->setRowCount(1);
    for (int c = 0; c < grid->columnCount(); ++c)
        grid->setItem(0, c, newCell(grid, c, QString()));
    SetHighlight(grid, 0, kSelWhite);
    grid->setCurrentCell(0, 0, QItemSelectionModel::NoUpdate);
}

void SetColumnAlignment(QTableWidget* grid, int column, Qt::Alignment alignment)
{
    QVariantList list = grid->property(kColAlignment).toList();
    while (list.size() <= column)
        list.append(int(Qt::AlignCenter));
    list[column] = int(alignment);
    grid->setProperty(kColAlignment, list);
}

Qt::Alignment ColumnAlignment(const QTableWidget* grid, int column)
{
    const QVariantList list = grid->property(kColAlignment).toList();
    if (column < 0 || column >= list.size())
        return Qt::AlignCenter;
    return Qt::Alignment(list[column].toInt());
}

int SelectedRow(const QTableWidget* grid)
{
    if (!grid)
        return -1;
    int r = -1;
    if (const QItemSelectionModel* sel = grid->selectionModel()) {
        const QModelIndexList rows = sel->selectedRows();
        if (!rows.isEmpty())
            r = rows.last().row();
    }
    if (r < 0)
        r = grid->currentRow();
    return r >= 0 && r < grid->rowCount() ? r : -1;
}

QString Cell(const QTableWidget* grid, int row, int column)
{
    if (!grid || row < 0 || row >= grid->rowCount())
        return QString();
    const QTableWidgetItem* it = grid->item(row, column);
    return it ? it->text() : QString();
}

QString SelectedText(const QTableWidget* grid, int column) { return Cell(grid, SelectedRow(grid), column); }

void SetCell(QTableWidget* grid, int row, int column, const QString& text)
{
    if (QTableWidgetItem* it = grid->item(row, column)) {
        it->setText(text);
        it->setTextAlignment(ColumnAlignment(grid, column));
    } else {
        grid->setItem(row, column, newCell(grid, column, text));
    }
}

void SelectRow(QTableWidget* grid, int row)
{
    if (row < 0 || row >= grid->rowCount())
        return;
    grid->clearSelection();
    grid->setCurrentCell(row, 0, QItemSelectionModel::NoUpdate);
    grid->setRangeSelected(QTableWidgetSelectionRange(row, 0, row, grid->columnCount() - 1), true);
}

int NewRow(QTableWidget* grid, unsigned filledSelColor)
{
    if (IsEmpty(grid)) {
        if (grid->rowCount() < 1)
            grid->setRowCount(1);
        SetHighlight(grid, 1, filledSelColor);
        return 0;
    }
    grid->setRowCount(grid->rowCount() + 1);
    return grid->rowCount() - 1;
}

void RemoveSelectedRow(QTableWidget* grid)
{
    const int r = SelectedRow(grid);
    if (r < 0)
        return;
    if (grid->rowCount() == 1) {
        SetEmptyState(grid);
        return;
    }
    grid->removeRow(r);
    SelectRow(grid, std::min(r, grid->rowCount() - 1));
}
}
