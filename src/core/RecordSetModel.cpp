#include "core/RecordSetModel.h"

#include <algorithm>

void RecordSetModel::takeAnswer(const RecordSetPtr& rs, int blankRows)
{
    const int n = rs ? rs->recordCount() : 0;
    answer_ = n > 0 ? rs : nullptr;
    answerChanged();
    kept_ = false;
    blankRows_ = std::max(0, blankRows);
    rows_.clear();
}

void RecordSetModel::keepRows()
{
    if (kept_)
        return;
    const int n = answer_ ? answer_->recordCount() : 0;
    rows_.assign(size_t(n + blankRows_), Row{});
    for (int r = 0; r < n; ++r)
        rows_[size_t(r)].record = r;
    kept_ = true;
}

void RecordSetModel::setAnswer(const RecordSetPtr& rs)
{
    beginResetModel();
    takeAnswer(rs);
    endResetModel();
}

QString RecordSetModel::text(int row, int column) const
{
    if (row < 0 || row >= rowCount() || column < 0 || column >= columnCount())
        return QString();
    if (!kept_)
        return answer_ && row < answer_->recordCount() ? recordText(row, column) : QString();
    const Row& r = rows_[size_t(row)];
    if (!r.texts.isEmpty())
        return r.texts.value(column);
    return r.record >= 0 && answer_ ? recordText(r.record, column) : QString();
}

void RecordSetModel::setOwnTexts(int row, QStringList texts)
{
    if (row < 0 || row >= rowCount())
        return;
    keepRows();
    rows_[size_t(row)] = Row{-1, std::move(texts)};
    emit dataChanged(index(row, 0), index(row, columnCount() - 1));
}

int RecordSetModel::rowCount(const QModelIndex& parent) const
{
    if (parent.isValid())
        return 0;
    return kept_ ? int(rows_.size()) : (answer_ ? answer_->recordCount() : 0) + blankRows_;
}

int RecordSetModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : columns(); }

QVariant RecordSetModel::cellAlignment(int) const { return int(Qt::AlignCenter); }

QVariant RecordSetModel::headerAlignment(int) const { return int(Qt::AlignCenter); }

QVariant RecordSetModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid())
        return QVariant();
    switch (role) {
    case Qt::DisplayRole:
    case Qt::EditRole: return text(index.row(), index.column());
    case Qt::TextAlignmentRole: return cellAlignment(index.column());
    default: return QVariant();
    }
}

bool RecordSetModel::setData(const QModelIndex& index, const QVariant& value, int role)
{
    if (!index.isValid() || index.row() >= rowCount() || index.column() >= columnCount()
        || (role != Qt::EditRole && role != Qt::DisplayRole))
        return false;
    keepRows();
    Row& r = rows_[size_t(index.row())];
    if (r.texts.isEmpty()) {
        QStringList texts;
        for (int c = 0; c < columnCount(); ++c)
            texts.append(text(index.row(), c));
        r = Row{-1, std::move(texts)};
    }
    r.texts[index.column()] = value.toString();
    emit dataChanged(index, index);
    return true;
}

QVariant RecordSetModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || section < 0 || section >= columnCount())
        return QAbstractTableModel::headerData(section, orientation, role);
    switch (role) {
    case Qt::DisplayRole: return headerText(section);
    case Qt::TextAlignmentRole: return headerAlignment(section);
    default: return QVariant();
    }
}

Qt::ItemFlags RecordSetModel::flags(const QModelIndex& index) const
{
    return index.isValid() ? Qt::ItemIsEnabled | Qt::ItemIsSelectable : Qt::NoItemFlags;
}

bool RecordSetModel::insertRows(int row, int count, const QModelIndex& parent)
{
    if (parent.isValid() || row < 0 || row > rowCount() || count < 1)
        return false;
    keepRows();
    beginInsertRows(parent, row, row + count - 1);
    rows_.insert(rows_.begin() + row, size_t(count), Row{});
    endInsertRows();
    return true;
}

bool RecordSetModel::removeRows(int row, int count, const QModelIndex& parent)
{
    if (parent.isValid() || row < 0 || count < 1 || row + count > rowCount())
        return false;
    keepRows();
    beginRemoveRows(parent, row, row + count - 1);
    rows_.erase(rows_.begin() + row, rows_.begin() + row + count);
    endRemoveRows();
    return true;
}
