#include "editor/StockDescriptions.h"

#include "editor/EditorGeometry.h"

using EditorGeometry::kTwipsPerPixel;
using EditorGeometry::whole;

namespace StockDescriptions {

GridGeometry Geometry(int layoutMode, const QSize& screenPx, int picdataWidthTw, int rptWidthTw, int gridLeftTw)
{
    double screenTw = 1024.0 * kTwipsPerPixel;
    double a = 0;
    double b = 0;
    if (layoutMode == 1 && screenPx.width() > 0 && screenPx.height() > 0) {
        screenTw = double(screenPx.width()) * kTwipsPerPixel;
        a = (screenPx.width() / 1024.0 - 1) * 2 / 5;
        b = (screenPx.height() / 768.0 - 1) / 2;
    }
    const int w = whole(screenTw - picdataWidthTw - rptWidthTw - 290 - gridLeftTw);
    const int h = 2865;
    const int c = whole((a + 1) * 1600);
    const int r = whole((b + 1) * 270);
    GridGeometry g;
    if (w <= 0 || c <= 0 || r <= 0)
        return g;
    const int n = w / c;
    const int rc = w % c;
    const int m = h / r;
    const int rr = h % r;
    for (int i = 0; i < n; ++i)
        g.colWidths.append(i >= n - 2 ? whole(c + rc / 2.0 - 5) : c);
    for (int j = 0; j < m; ++j)
        g.rowHeights.append(whole(r + double(rr) / m));
    return g;
}

EditorPlace PlaceEditor(const GridGeometry& g, int topRow, int leftCol, int row, int col, int gridLeftTw,
                        int gridHeightTw)
{
    EditorPlace e;
    if (row < 0 || col < 0 || row >= g.rowHeights.size() || col >= g.colWidths.size())
        return e;
    int x = 0;
    for (int i = leftCol; i < col; ++i)
        x += g.colWidths[i];
    int y = 0;
    for (int j = topRow; j < row; ++j)
        y += g.rowHeights[j];
    e.left = gridLeftTw + x;
    e.height = g.rowHeights[row] - 10;
    e.width = g.colWidths[col] - 10;
    if (gridHeightTw < y)
        return e;
    if (gridHeightTw < y + e.height + 1) {
        e.scroll = true;
        y -= e.height + 1;
    }
    e.top = y;
    e.open = true;
    return e;
}

QueryResult Load(int category)
{
    return Database::QueryData(QStringLiteral("SELECT * FROM cyms WHERE flid = ?"), {category});
}

QueryResult Save(int category, int row, int col, const QString& text)
{
    const QString t = TrimSpaces(text);
    Database::Transaction tx;
    if (!tx.started())
        return tx.beginResult();
    QueryResult r = Database::ExecuteSql(
        QStringLiteral("UPDATE cyms SET txtms = ? WHERE flid = ? AND row = ? AND col = ?"), {t, category, row, col});
    if (r.ok() && Database::ChangedRows() == 0)
        r = Database::ExecuteSql(QStringLiteral("INSERT INTO cyms (flid, row, col, txtms) VALUES (?, ?, ?, ?)"),
                                 {category, row, col, t});
    if (!r.ok())
        return r;
    return tx.commit();
}

QString TrimSpaces(const QString& text)
{
    qsizetype first = 0;
    qsizetype last = text.size();
    while (first < last && text.at(first) == QLatin1Char(' '))
        ++first;
    while (last > first && text.at(last - 1) == QLatin1Char(' '))
        --last;
    return text.mid(first, last - first);
}
}
