#pragma once
#include <QColor>
#include <QSet>
#include <QString>
#include <utility>

class QTableView;

// A cell's font and text colour as the grid printer takes them over.
struct GridFont {
    QString name;
    double size = 9;   // points
    bool bold = false;
    bool italic = false;
    bool strikeout = false;
    bool underline = false;
    QColor color = Qt::black;

    bool operator==(const GridFont&) const = default;
};

// What the grid printer reads of a grid. Rows and columns are numbered from 0 as
// printed (a header row, when the grid shows one, is row 0); header rows get no
// special treatment. Lengths are twips.
class PrintableGrid {
public:
    // Cell alignment codes: horizontal (left, centre, right) by vertical (top,
    // centre, bottom), and "general", which prints like left-centre.
    enum Alignment : int {
        LeftTop = 0,
        LeftCenter,
        LeftBottom,
        CenterTop,
        CenterCenter,
        CenterBottom,
        RightTop,
        RightCenter,
        RightBottom,
        General,
    };

    virtual ~PrintableGrid() = default;
    virtual int rows() const = 0;
    virtual int cols() const = 0;
    virtual int rowHeight(int row) const = 0;   // 0 for a hidden row
    virtual int colWidth(int col) const = 0;    // 0 for a hidden column
    virtual QString text(int row, int col) const = 0;
    // Runs of equal, non-empty texts in a merging row (column) print as one box.
    virtual bool mergeRow(int row) const = 0;
    virtual bool mergeCol(int col) const = 0;
    virtual GridFont cellFont(int row, int col) const = 0;
    virtual int cellAlignment(int row, int col) const = 0;
    // The grid's own font and text colour.
    virtual GridFont gridFont() const = 0;
    // The grid's current cell (row, column); printing never changes it.
    virtual std::pair<int, int> currentCell() const = 0;
    // The name of the print job: the title row's text (row 0 merging one text across
    // every column, as a statistic's title), else none.
    virtual QString documentName() const;
};

// A table view as a printable grid: the horizontal header, when shown, is row 0,
// and the model's rows follow. Widths and heights are the view's pixels at 15 twips
// each; texts, fonts, colours and alignments come from the model's roles, falling
// back to the view's font and palette; no cell is merged. An adapter reads the view
// when it is made, so make it right before printing.
class TableViewGrid : public PrintableGrid {
public:
    explicit TableViewGrid(const QTableView* view);

    int rows() const override;
    int cols() const override;
    int rowHeight(int row) const override;
    int colWidth(int col) const override;
    QString text(int row, int col) const override;
    bool mergeRow(int row) const override;
    bool mergeCol(int col) const override;
    GridFont cellFont(int row, int col) const override;
    int cellAlignment(int row, int col) const override;
    GridFont gridFont() const override;
    std::pair<int, int> currentCell() const override;

private:
    int headerRows() const;
    const QTableView* view_;
};
