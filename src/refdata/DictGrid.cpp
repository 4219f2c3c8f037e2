#include "refdata/DictGrid.h"

#include "core/Palette.h"
#include "platform/Units.h"

#include <QHeaderView>
#include <QMouseEvent>
#include <QScopeGuard>

namespace {
Qt::Alignment alignment(int code)
{
    return code == DictGrid::Left ? (Qt::AlignLeft | Qt::AlignVCenter) : Qt::AlignCenter;
}
}

DictGrid::DictGrid(QWidget* parent) : QTableWidget(parent)
{
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setTabKeyNavigation(false);
    setWordWrap(false);
    verticalHeader()->hide();
    horizontalHeader()->setSectionsClickable(false);
    horizontalHeader()->setHighlightSections(false);
    horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    horizontalHeader()->setStretchLastSection(false);
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    verticalHeader()->setDefaultSectionSize(qMax(16, fontMetrics().height() + 4));
}

QTableWidgetItem* DictGrid::makeItem(int column, const QString& text) const
{
    auto* item = new QTableWidgetItem(text);
    item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
    item->setTextAlignment(alignment(columns_.value(column).dataAlign));
    return item;
}

void DictGrid::setColumns(const QList<Column>& columns)
{
    ++quiet_;
    auto done = qScopeGuard([this] { --quiet_; });
    columns_ = columns;
    clear();
    setColumnCount(int(columns.size()));
    for (int c = 0; c < columns.size(); ++c) {
        auto* header = new QTableWidgetItem(columns[c].header);
        header->setTextAlignment(alignment(columns[c].headerAlign));
        setHorizontalHeaderItem(c, header);
        setColumnWidth(c, Units::px(columns[c].widthTwips));
    }
    // The header row is as high as the palette's caption height.
    horizontalHeader()->setFixedHeight(qMax(1, int(Palette::gCaptionHeight)));
    setRowCount(1);
    for (int c = 0; c < columnCount(); ++c)
        setItem(0, c, makeItem(c, QString()));
    setEmptyLook();
}

void DictGrid::applyLookColours()
{
    QPalette p = palette();
    if (filled_) {
        const QColor sel = Palette::ToQColor(Palette::kSysButtonShadow);
        p.setColor(QPalette::Active, QPalette::Highlight, sel);
        p.setColor(QPalette::Inactive, QPalette::Highlight, sel);
        p.setColor(QPalette::Active, QPalette::HighlightedText, Qt::white);
        p.setColor(QPalette::Inactive, QPalette::HighlightedText, Qt::white);
    } else {
        // White selection on the white list: no row shows as selected.
        for (auto group : {QPalette::Active, QPalette::Inactive}) {
            p.setColor(group, QPalette::Highlight, p.color(group, QPalette::Base));
            p.setColor(group, QPalette::HighlightedText, p.color(group, QPalette::Text));
        }
    }
    setPalette(p);
}

void DictGrid::setEmptyLook()
{
    ++quiet_;
    auto done = qScopeGuard([this] { --quiet_; });
    filled_ = false;
    setRowCount(1);
    for (int c = 0; c < columnCount(); ++c)
        setItem(0, c, makeItem(c, QString()));
    clearSelection();
    setCurrentCell(-1, -1);
    applyLookColours();
}

void DictGrid::setFilledLook()
{
    filled_ = true;
    applyLookColours();
}

QString DictGrid::cell(int row, int column) const
{
    const QTableWidgetItem* it = item(row, column);
    return it ? it->text() : QString();
}

void DictGrid::setCell(int row, int column, const QString& text)
{
    if (row < 0 || row >= rowCount() || column < 0 || column >= columnCount())
        return;
    if (QTableWidgetItem* it = item(row, column))
        it->setText(text);
    else
        setItem(row, column, makeItem(column, text));
}

void DictGrid::setRowTexts(int row, const QStringList& texts)
{
    for (int c = 0; c < columnCount(); ++c)
        setCell(row, c, texts.value(c));
}

int DictGrid::appendRow(const QStringList& texts)
{
    ++quiet_;
    auto done = qScopeGuard([this] { --quiet_; });
    const int row = rowCount();
    setRowCount(row + 1);
    for (int c = 0; c < columnCount(); ++c)
        setItem(row, c, makeItem(c, texts.value(c)));
    return row;
}

QVariant DictGrid::rowData(int row) const
{
    const QTableWidgetItem* it = item(row, 0);
    return it ? it->data(Qt::UserRole) : QVariant();
}

void DictGrid::setRowData(int row, const QVariant& value)
{
    if (QTableWidgetItem* it = item(row, 0))
        it->setData(Qt::UserRole, value);
}

int DictGrid::endRow() const
{
    const int r = currentRow();
    return r >= 0 && r < rowCount() ? r : -1;
}

void DictGrid::selectWholeRow(int row)
{
    if (row < 0 || row >= rowCount())
        return;
    ++quiet_;
    auto done = qScopeGuard([this] { --quiet_; });
    setCurrentCell(row, 0, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    scrollToItem(item(row, 0));
}

void DictGrid::removeRecord(int row)
{
    if (row < 0 || row >= rowCount())
        return;
    ++quiet_;
    auto done = qScopeGuard([this] { --quiet_; });
    removeRow(row);
    selectWholeRow(qMin(row, rowCount() - 1));
}

bool DictGrid::removeDeletedRow()
{
    if (rows() == 1) {
        setEmptyLook();
        return true;
    }
    removeRecord(endRow());
    return false;
}

void DictGrid::mousePressEvent(QMouseEvent* e)
{
    // Only the left button selects.
    if (e->button() != Qt::LeftButton) {
        e->accept();
        return;
    }
    pressing_ = true;
    QTableWidget::mousePressEvent(e);
    pressing_ = false;
    if (indexAt(e->position().toPoint()).isValid()) {
        // A click shows the whole row, as the keys do.
        selectWholeRow(currentRow());
        emit SelChange();
    }
}

void DictGrid::mouseReleaseEvent(QMouseEvent* e)
{
    QTableWidget::mouseReleaseEvent(e);
    emit MouseUp();
}

void DictGrid::currentChanged(const QModelIndex& current, const QModelIndex& previous)
{
    QTableWidget::currentChanged(current, previous);
    if (!pressing_ && quiet_ == 0 && current.isValid())
        emit SelChange();
}
