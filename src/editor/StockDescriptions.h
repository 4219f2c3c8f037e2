#pragma once
#include "core/Database.h"

#include <QSize>
#include <QString>
#include <QVector>

// The stock descriptions of the editor's side panel: eight categories of
// texts in a grid (table cyms, one row per cell: flid, row, col, txtms). The
// grid's geometry and the place of its cell editor are pure rules in twips.
namespace StockDescriptions {

// Column widths and row heights of the grid. With layout mode 1 the grid
// follows the screen's size; any other mode lays it out for 1024 x 768.
struct GridGeometry {
    QVector<int> colWidths;
    QVector<int> rowHeights;
};
GridGeometry Geometry(int layoutMode, const QSize& screenPx, int picdataWidthTw, int rptWidthTw, int gridLeftTw);

// Where the cell editor opens over cell (row, col) of a grid scrolled to
// (topRow, leftCol) whose top left is at (gridLeftTw, 0) and gridHeightTw high.
struct EditorPlace {
    bool open = false;     // false: the cell lies below the grid's visible part
    bool scroll = false;   // the grid scrolls one row so the editor fits
    int left = 0, top = 0, width = 0, height = 0;
};
EditorPlace PlaceEditor(const GridGeometry& g, int topRow, int leftCol, int row, int col, int gridLeftTw,
                        int gridHeightTw);

// The cells of one category.
QueryResult Load(int category);
// Stores one cell's text (blanks around it removed); a cell without its row
// gets one. The answer of the statement that failed, or success.
QueryResult Save(int category, int row, int col, const QString& text);
// Spaces removed at both ends (other blanks stay).
QString TrimSpaces(const QString& text);
}
