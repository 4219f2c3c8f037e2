#include "core/ListGrid.h"

#include "core/Palette.h"

#include <QHeaderView>
#include <QItemSelectionModel>
#include <QPalette>
#include <QTableView>
#include <algorithm>

namespace ListGrid {

namespace {
const char* const kHighLight = "HighLight";
const char* const kBackColorSel = "BackColorSel";
}

bool IsEmpty(const QTableView* grid) { return !grid || grid->property(kHighLight).toInt() == 0; }

unsigned SelectionColor(const QTableView* grid) { return grid ? grid->property(kBackColorSel).toUInt() : kSelWhite; }

void SetHighlight(QTableView* grid, int highlight, unsigned selColor)
{
    const QVariant was = grid->property(kHighLight);
    if (was.isValid() && was.toInt() == highlight && SelectionColor(grid) == selColor)
        return;
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

void SetListLook(QTableView* grid)
{
    grid->setSelectionBehavior(QAbstractItemView::SelectRows);
    grid->setSelectionMode(QAbstractItemView::SingleSelection);
    grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    grid->verticalHeader()->setVisible(false);
    grid->verticalHeader()->setDefaultSectionSize(20);
    grid->horizontalHeader()->setHighlightSections(false);
    grid->setWordWrap(false);
}

void SetEmptyState(QTableView* grid)
{
    QAbstractItemModel* m = grid->model();
    grid->clearSelection();
    m->removeRows(0, m->rowCount());
    m->insertRows(0, 1);
    SetHighlight(grid, 0, kSelWhite);
    grid->selectionModel()->setCurrentIndex(m->index(0, 0), QItemSelectionModel::NoUpdate);
}

int RowCount(const QTableView* grid) { return grid && grid->model() ? grid->model()->rowCount() : 0; }

int SelectedRow(const QTableView* grid)
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
        r = grid->currentIndex().row();
    return r >= 0 && r < RowCount(grid) ? r : -1;
}

int CurrentRow(const QTableView* grid) { return grid ? grid->currentIndex().row() : -1; }

QString Cell(const QTableView* grid, int row, int column)
{
    if (!grid || row < 0 || row >= RowCount(grid))
        return QString();
    return grid->model()->index(row, column).data().toString();
}

QString SelectedText(const QTableView* grid, int column) { return Cell(grid, SelectedRow(grid), column); }

void SetCell(QTableView* grid, int row, int column, const QString& text)
{
    grid->model()->setData(grid->model()->index(row, column), text);
}

void SelectRow(QTableView* grid, int row)
{
    const QAbstractItemModel* m = grid->model();
    if (row < 0 || row >= m->rowCount())
        return;
    QItemSelectionModel* sel = grid->selectionModel();
    sel->setCurrentIndex(m->index(row, 0), QItemSelectionModel::NoUpdate);
    sel->select(QItemSelection(m->index(row, 0), m->index(row, m->columnCount() - 1)),
                QItemSelectionModel::ClearAndSelect);
}

int NewRow(QTableView* grid, unsigned filledSelColor)
{
    QAbstractItemModel* m = grid->model();
    if (IsEmpty(grid)) {
        if (m->rowCount() < 1)
            m->insertRows(0, 1);
        SetHighlight(grid, 1, filledSelColor);
        return 0;
    }
    m->insertRows(m->rowCount(), 1);
    return m->rowCount() - 1;
}

void RemoveRow(QTableView* grid, int row)
{
    if (row < 0 || row >= RowCount(grid))
        return;
    if (RowCount(grid) == 1) {
        SetEmptyState(grid);
        return;
    }
    const int selected = SelectedRow(grid);
    grid->model()->removeRows(row, 1);
    // The selection stays on its row; the removed selected row gives way to the next one.
    const int next = selected < 0 || selected == row ? row : (selected > row ? selected - 1 : selected);
    SelectRow(grid, std::min(next, RowCount(grid) - 1));
}
}
