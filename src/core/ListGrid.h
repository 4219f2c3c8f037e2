#pragma once
#include <QString>
#include <Qt>

class QTableView;

// The conventions shared by the program's record lists (the main window's
// report list, the query result grid, the related-records list), each a table
// view over a model that can insert blank rows, remove rows and take texts:
//  - the column captions are the horizontal header, so the first data row is
//    table row 0; every row addressed here is a table row;
//  - the list's state lives on the view itself, where every window that works
//    on the list can read it:
//      dynamic property "HighLight"    0 = empty (one blank row), 1 = filled
//      dynamic property "BackColorSel" the selection colour as a colour value
//                                      (0x00FFFFFF white, 0x80000010 button
//                                      shadow, 0x8000000F button face)
//  - the selected row (RowSel) is the end row of the selection, or the
//    current row when nothing is selected.
namespace ListGrid {

constexpr unsigned kSelWhite = 0x00FFFFFFu;
constexpr unsigned kSelButtonShadow = 0x80000010u;
constexpr unsigned kSelButtonFace = 0x8000000Fu;

// True for an empty list, and for no grid at all.
bool IsEmpty(const QTableView* grid);
unsigned SelectionColor(const QTableView* grid);
// Highlight mode 1 (filled) or 0 (empty) with a selection colour value.
void SetHighlight(QTableView* grid, int highlight, unsigned selColor);
// The look of a record list: one whole row selected at a time, no editing, no
// row headers, rows 20 pixels high, headers never highlighted, no word wrap.
void SetListLook(QTableView* grid);
// One blank data row, highlight off, white selection, the blank row current.
void SetEmptyState(QTableView* grid);

int RowCount(const QTableView* grid);
// RowSel; -1 when the grid has no such row.
int SelectedRow(const QTableView* grid);
// The current row; -1 when there is none.
int CurrentRow(const QTableView* grid);
QString Cell(const QTableView* grid, int row, int column);
QString SelectedText(const QTableView* grid, int column);
// Writes the text of a cell.
void SetCell(QTableView* grid, int row, int column, const QString& text);
// Selects row r whole and makes it current.
void SelectRow(QTableView* grid, int row);

// The row a new record goes to: the blank row of an empty list, which turns the
// list filled with the given selection colour, or a new row at the end.
int NewRow(QTableView* grid, unsigned filledSelColor);
// Removes a row. The selection stays on the row it was on; when it was this
// row, the row that takes its place (the new last one at the end) is selected.
// Removing the only row leaves the empty state.
void RemoveRow(QTableView* grid, int row);
}
