#pragma once
#include "core/Database.h"

#include <QAbstractTableModel>
#include <QStringList>
#include <vector>

// The rows of a grid over a query's answer. A row of the answer makes a cell's
// text when it is read, so an answer of any size costs nothing per row until
// rows are added, removed or written; from then on each row keeps its record's
// number, or texts of its own (a blank row, a row written over, a text set
// through setData). Derived models say how a record's cell reads, and the
// grid's headers and alignment.
class RecordSetModel : public QAbstractTableModel {
public:
    using QAbstractTableModel::QAbstractTableModel;

    // One row per record of rs; no answer and no rows for null or no records.
    virtual void setAnswer(const RecordSetPtr& rs);
    const RecordSetPtr& answer() const { return answer_; }
    // A cell's text as the grid shows it; empty outside the grid.
    QString text(int row, int column) const;

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    // Blank rows.
    bool insertRows(int row, int count, const QModelIndex& parent = QModelIndex()) override;
    bool removeRows(int row, int count, const QModelIndex& parent = QModelIndex()) override;

protected:
    // The number of columns the grid shows.
    virtual int columns() const = 0;
    // The text of a cell of a record of answer().
    virtual QString recordText(int record, int column) const = 0;
    // The header's caption of a column.
    virtual QString headerText(int column) const = 0;
    // A cell's and a header's alignment (an int of Qt::Alignment, or none).
    virtual QVariant cellAlignment(int column) const;
    virtual QVariant headerAlignment(int column) const;
    // Called when the answer has changed, before any of its rows is read
    // (null when there is none): the place to look up its fields.
    virtual void answerChanged() {}

    // Takes rs as the answer, one row per record and then blankRows blank
    // rows, without telling the views: for a derived model that signals the
    // change in its own way.
    void takeAnswer(const RecordSetPtr& rs, int blankRows = 0);
    // Gives a row texts of its own, one per column.
    void setOwnTexts(int row, QStringList texts);

private:
    struct Row {
        int record = -1;     // in answer_, or -1
        QStringList texts;   // own texts when not empty
    };
    // Makes rows_ hold every row, before a row is added, removed or written.
    void keepRows();

    RecordSetPtr answer_;
    // Until keepRows(): the answer's records in order, then blankRows_ blank rows.
    bool kept_ = false;
    int blankRows_ = 0;
    std::vector<Row> rows_;
};
