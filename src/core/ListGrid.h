#pragma once
#include <QString>
#include <Qt>

class QTableWidget;

// The conventions shared by the program's record lists (the main window's
// report list, the query result grid, the related-records list), each a
// QTableWidget:
//  - the column captions are the horizontal header, so the first data row is
//    table row 0; every row addressed here is a table row;
//  - the list's state lives on the grid itself, where every window that works
//    on the list can read it:
//      dynamic property "HighLight"    0 = empty (one blank row), 1 = filled
//      dynamic property "BackColorSel" the selection colour as a colour value
//                                      (0x00FFFFFF white, 0x80000010 button
//                                      shadow, 0x8000000F button face)
//  - the selected row (RowSel) is the end row of the selection, or the
//    current row when nothing is selected;
//  - each column's cell alignment is kept in the dynamic property
//    "ColAlignment" (a list of Qt::Alignment values), so that every cell
//    written later is aligned like the column.
namespace ListGrid {

constexpr unsigned kSelWhite = 0x00FFFFFFu;
constexpr unsigned kSelButtonShadow = 0x80000010u;
constexpr unsigned kSelButtonFace = 0x8000000Fu;

// True for an empty list, and for no grid at all.
bool IsEmpty(const QTableWidget* grid);
unsigned SelectionColor(const QTableWidget* grid);
// Highlight mode 1 (filled) or 0 (empty) with a selection colour value.
void SetHighlight(QTableWidget* grid, int highlight, unsigned selColor);
// One blank data row, highlight off, white selection, the blank row current.
void SetEmptyState(QTableWidget* grid);

void SetColumnAlignment(QTableWidget* grid, int column, Qt::Alignment alignment);
Qt::Alignment ColumnAlignment(const QTableWidget* grid, int column);   // centred unless set

// RowSel; -1 when the grid has no such row.
int SelectedRow(const QTableWidget* grid);
QString Cell(const QTableWidget* grid, int row, int column);
QString SelectedText(const QTableWidget* grid, int column);
// Writes a read-only cell aligned like its column.
void SetCell(QTableWidget* grid, int row, int column, const QString& text);
// Selects row r whole and makes it current.
void SelectRow(QTableWidget* grid, int row);

// The row a new record goes to: the blank row of an empty list, which turns the
// list filled with the given selection colour, or a new row at the end.
int NewRow(QTableWidget* grid, unsigned filledSelColor);
// Removes the selected row and selects the row that takes its place. Removing
// the last record leaves the empty state.
void RemoveSelectedRow(QTableWidget* grid);
}
