#pragma once
#include <QList>
#include <QString>
#include <QStringList>
#include <QTableWidget>
#include <QVariant>

// The list of a dictionary window. The column captions are the header, so data
// row 0 is the first record; whole rows are selected, one at a time.
//
// Two looks, which are also the window's record of whether the list holds
// records: the empty look has exactly one blank row and shows no selection; the
// filled look shows the selected row highlighted.
//
// SelChange is raised when the user changes the selection (a click on a cell,
// also on the row already selected; a move with the keys), never by the calls
// below, so the window decides itself when its row display runs. MouseUp is
// raised when a mouse button is released over the list.
class DictGrid : public QTableWidget {
    Q_OBJECT
public:
    // Alignment codes the windows use: 4 centred, 1 left and vertically centred.
    enum Align {
        Left = 1,
        Centre = 4
    };
    struct Column {
        QString header;
        // In twips, shown as the nearest whole pixel; the widths the windows
        // give are whole pixels (multiples of 15 twips).
        int widthTwips = 990;
        int dataAlign = Centre;
        int headerAlign = Centre;
    };

    explicit DictGrid(QWidget* parent = nullptr);

    // Empties the list and sets its columns: one blank row, empty look.
    void setColumns(const QList<Column>& columns);

    bool hasRows() const { return filled_; }
    // The empty look: exactly one blank row, nothing shown selected.
    void setEmptyLook();
    void setFilledLook();

    int rows() const { return rowCount(); }
    QString cell(int row, int column) const;
    void setCell(int row, int column, const QString& text);
    void setRowTexts(int row, const QStringList& texts);
    // Adds a row at the bottom and returns its number.
    int appendRow(const QStringList& texts);
    // A value kept with a row that the list does not show.
    QVariant rowData(int row) const;
    void setRowData(int row, const QVariant& value);

    // The selection's end row: the row the inputs show; -1 when none.
    int endRow() const;
    // Selects a row across all columns, without SelChange.
    void selectWholeRow(int row);
    // Removes a row and selects the one that takes its place (or the new last
    // row), without SelChange.
    void removeRecord(int row);
    // Removes the end row after its record was deleted: the list's only row
    // turns the empty look instead. True when the list is now empty.
    bool removeDeletedRow();

signals:
    void SelChange();
    void MouseUp();

protected:
    void mousePressEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;
    void currentChanged(const QModelIndex& current, const QModelIndex& previous) override;

private:
    QTableWidgetItem* makeItem(int column, const QString& text) const;
    void applyLookColours();

    QList<Column> columns_;
    bool filled_ = false;
    bool pressing_ = false;
    int quiet_ = 0;
};
