#pragma once
#include <QString>

class QTableWidget;

// The editor's view of a report list grid (the main window's list, the query
// and related-records lists): data rows are table rows; the grid's dynamic
// property "HighLight" is 0 while the list is empty (one blank row) and 1 when
// it holds reports; "BackColorSel" is the selection colour value.
namespace MainListRows {
constexpr int kKeyColumn = 11;
constexpr int kDoctorColumn = 9;
constexpr unsigned kSelWhite = 0x00FFFFFFu;
constexpr unsigned kSelButtonFace = 0x8000000Fu;

bool IsEmpty(const QTableWidget* grid);   // also true for no grid
int SelectedRow(const QTableWidget* grid);   // RowSel; -1 when none
QString Cell(const QTableWidget* grid, int row, int column);
void SetCell(QTableWidget* grid, int row, int column, const QString& text);
// Highlight on (1) or off (0) with a selection colour value.
void SetHighlight(QTableWidget* grid, int highlight, unsigned selColor);
// Selects row r whole and makes it current.
void SelectRow(QTableWidget* grid, int row);
// Removes the selected row; the last row leaves one blank row in the empty state.
void RemoveSelectedRow(QTableWidget* grid);
}
