#include "editor/MainListRows.h"

#include <QApplication>
#include <QTableWidget>

namespace MainListRows {

bool IsEmpty(const QTableWidget* grid) { return !grid || grid->property("HighLight").toInt() == 0; }

int SelectedRow(const QTableWidget* grid)
{
    if (!grid)
        return -1;
    const int r = grid->currentRow();
    return r >= 0 && r < grid->rowCount() ? r : -1;
}

QString Cell(const QTableWidget* grid, int row, int column)
{
    if (!grid || row < 0 || row >= grid->rowCount())
        return QString();
    const QTableWidgetItem* it = grid->item(row, column);
    return it ? it->text() : QString();
}

void SetCell(QTableWidget* grid, int row, int column, const QString& text)
{
    QTableWidgetItem* it = grid->item(row, column);
    if (!it) {
        it = new QTableWidgetItem(text);
        it->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
        it->setTextAlignment(column == 10 ? (Qt::AlignLeft | Qt::AlignVCenter) : Qt::Alignment(Qt::AlignCenter));
        grid->setItem(row, column, it);
    } else {
        it->setText(text);
    }
}

void SetHighlight(QTableWidget* grid, int highlight, unsigned selColor)
{
    grid->setProperty("HighLight", highlight);
    grid->setProperty("BackColorSel", selColor);
    QColor c;
    if ((selColor & 0xFF000000u) == 0x80000000u)
        c = (selColor & 0xFFu) == 0x0F ? QApplication::palette().color(QPalette::Button)
                                        : QApplication::palette().color(QPalette::Dark);
    else
        c = QColor(int(selColor & 0xFF), int((selColor >> 8) & 0xFF), int((selColor >> 16) & 0xFF));
    QPalette pal = grid->palette();
    for (auto group : {QPalette::Active, QPalette::Inactive}) {
        pal.setColor(group, QPalette::Highlight, c);
        pal.setColor(group, QPalette::HighlightedText, highlight ? QColor(Qt::white) : QColor(Qt::black));
    }
    grid->setPalette(pal);
}

void SelectRow(QTableWidget* grid, int row)
{
    grid->clearSelection();
    grid->setCurrentCell(row, 0);
    grid->setRangeSelected(QTableWidgetSelectionRange(row, 0, row, grid->columnCount() - 1), true);
}

void RemoveSelectedRow(QTableWidget* grid)
{
    const int r = SelectedRow(grid);
    if (r < 0)
        return;
    if (grid->rowCount() == 1) {
        grid->setRowCount(2);
        grid->removeRow(r);
        SetHighlight(grid, 0, kSelWhite);
        return;
    }
    grid->removeRow(r);
}
}
