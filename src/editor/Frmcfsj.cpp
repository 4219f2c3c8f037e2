#include "editor/Frmcfsj.h"

#include "editor/ReportLoader.h"
#include "editor/EditorGeometry.h"

#include "core/Database.h"
#include "core/ListGrid.h"
#include "core/Palette.h"
#include "core/QvButton.h"
#include "core/ReportList.h"
#include "core/ReportStore.h"
#include "core/SkinPaint.h"
#include "platform/MessageBox.h"
#include "platform/Opener.h"

#include <QAbstractTableModel>
#include <QGuiApplication>
#include <QHeaderView>
#include <QScreen>
#include <QTableView>

#include <vector>

using EditorGeometry::px;
using EditorGeometry::pxRect;

namespace {
struct Column {
    const char* header;
    int twips;
};
constexpr Column kCols[Frmcfsj::kColumns] = {{"检查号", 920},    {"病人姓名", 1100}, {"性别", 790},      {"年龄", 790},
                                             {"检查部位", 1400}, {"检查日期", 1200}, {"报告医师", 1100}, {"序号", 0}};

// The fields the list reads, by name: never a picture.
const QList<int> kListFields = {ReportRecord::ctid, ReportRecord::obligate5, ReportRecord::brname,
                                ReportRecord::sex,  ReportRecord::age,       ReportRecord::ageunit,
                                ReportRecord::part, ReportRecord::pgdate,    ReportRecord::rpdr};

// The list's rows: the answer of the list's query, whose cell texts are made
// when they are read, and blank rows (the empty list's one) with texts of
// their own.
class RelatedModel final : public QAbstractTableModel {
public:
    using QAbstractTableModel::QAbstractTableModel;

    void setAnswer(const RecordSetPtr& rs)
    {
        beginResetModel();
        answer_ = rs;
        rows_.clear();
        const int n = rs ? rs->recordCount() : 0;
        rows_.reserve(size_t(n));
        for (int i = 0; i < n; ++i)
            rows_.push_back({i, {}});
        endResetModel();
    }

    int rowCount(const QModelIndex& parent = QModelIndex()) const override
    {
        return parent.isValid() ? 0 : int(rows_.size());
    }
    int columnCount(const QModelIndex& parent = QModelIndex()) const override
    {
        return parent.isValid() ? 0 : Frmcfsj::kColumns;
    }

    QVariant data(const QModelIndex& index, int role) const override
    {
        if (!index.isValid())
            return {};
        if (role == Qt::TextAlignmentRole)
            return int(Qt::AlignCenter);
        if (role != Qt::DisplayRole && role != Qt::EditRole)
            return {};
        const Row& row = rows_[size_t(index.row())];
        if (!row.own.isEmpty())
            return row.own.value(index.column());
        return row.record >= 0 ? cellText(row.record, index.column()) : QString();
    }

    bool setData(const QModelIndex& index, const QVariant& value, int role) override
    {
        if (!index.isValid() || role != Qt::EditRole)
            return false;
        Row& row = rows_[size_t(index.row())];
        if (row.own.isEmpty()) {
            for (int c = 0; c < Frmcfsj::kColumns; ++c)
                row.own.append(row.record >= 0 ? cellText(row.record, c) : QString());
        }
        row.own[index.column()] = value.toString();
        emit dataChanged(index, index);
        return true;
    }

    QVariant headerData(int section, Qt::Orientation orientation, int role) const override
    {
        if (orientation != Qt::Horizontal || section < 0 || section >= Frmcfsj::kColumns)
            return {};
        if (role == Qt::DisplayRole)
            return QString::fromUtf8(kCols[section].header);
        if (role == Qt::TextAlignmentRole)
            return int(Qt::AlignCenter);
        return {};
    }

    Qt::ItemFlags flags(const QModelIndex& index) const override
    {
        return index.isValid() ? Qt::ItemIsEnabled | Qt::ItemIsSelectable : Qt::NoItemFlags;
    }

    bool insertRows(int row, int count, const QModelIndex& parent) override
    {
        if (parent.isValid() || row < 0 || row > rowCount() || count <= 0)
            return false;
        beginInsertRows(parent, row, row + count - 1);
        rows_.insert(rows_.begin() + row, size_t(count), Row{-1, {}});
        endInsertRows();
        return true;
    }

    bool removeRows(int row, int count, const QModelIndex& parent) override
    {
        if (parent.isValid() || row < 0 || count <= 0 || row + count > rowCount())
            return false;
        beginRemoveRows(parent, row, row + count - 1);
        rows_.erase(rows_.begin() + row, rows_.begin() + row + count);
        endRemoveRows();
        return true;
    }

private:
    struct Row {
        int record;
        QStringList own;
    };

    QString cellText(int record, int column) const
    {
        const RecordSet& rs = *answer_;
        switch (column) {
        case 0: return rs.text(record, 1);   // obligate5
        case 1: return rs.text(record, 2);
        case 2: return rs.text(record, 3);
        case 3: return ReportList::AgeText(rs.value(record, 4)) + rs.text(record, 5);
        case 4: return rs.text(record, 6);
        case 5: return ReportList::DateText(rs.value(record, 7));
        case 6: return rs.text(record, 8);
        case 7: return rs.text(record, 0);
        default: return QString();
        }
    }

    RecordSetPtr answer_;
    std::vector<Row> rows_;
};
}

Frmcfsj& Frmcfsj::instance()
{
    static Frmcfsj* window = new Frmcfsj();
    return *window;
}

Frmcfsj::Frmcfsj()
    : QDialog(nullptr, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint)
{
    setWindowTitle(QStringLiteral("相关报告记录"));
    setFixedSize(px(7605), px(3885));

    MSHFlexGrid1 = new QTableView(this);
    MSHFlexGrid1->setObjectName(QStringLiteral("MSHFlexGrid1"));
    MSHFlexGrid1->setGeometry(pxRect(120, 120, 7335, 2985));
    MSHFlexGrid1->setModel(new RelatedModel(MSHFlexGrid1));
    MSHFlexGrid1->setSelectionBehavior(QAbstractItemView::SelectRows);
    MSHFlexGrid1->setSelectionMode(QAbstractItemView::SingleSelection);
    MSHFlexGrid1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    MSHFlexGrid1->setWordWrap(false);
    MSHFlexGrid1->verticalHeader()->setVisible(false);
    MSHFlexGrid1->verticalHeader()->setDefaultSectionSize(20);
    MSHFlexGrid1->horizontalHeader()->setHighlightSections(false);
    MSHFlexGrid1->horizontalHeader()->setDefaultAlignment(Qt::AlignCenter);

    auto button = [this](const char* name, const QString& caption, int left) {
        auto* b = new QvButton(caption, this);
        b->setObjectName(QString::fromLatin1(name));
        b->setToolTip(caption);
        b->setGeometry(pxRect(left, 3240, 1335, 450));
        return b;
    };
    ButtnCopy = button("ButtnCopy", QStringLiteral("复制报告"), 2760);
    ButtnViewer = button("ButtnViewer", QStringLiteral("查看报告"), 4440);
    ButtnClose = button("ButtnClose", QStringLiteral("关 闭"), 6120);
    connect(ButtnCopy, &QAbstractButton::clicked, this, &Frmcfsj::ButtnCopy_Click);
    connect(ButtnViewer, &QAbstractButton::clicked, this, &Frmcfsj::ButtnViewer_Click);
    connect(ButtnClose, &QAbstractButton::clicked, this, &Frmcfsj::ButtnClose_Click);
}

void Frmcfsj::setSql(By by, const QString& value)
{
    by_ = by;
    value_ = value;
}

int Frmcfsj::showModally()
{
    Form_Load();
    if (QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect s = screen->availableGeometry();
        move(s.center() - QPoint(width() / 2, height() / 2));
    }
    return Opener::showModal(this);
}

void Frmcfsj::Form_Load()
{
    ApplyDialogSkin();
    LoadRelatedGrid();
}

void Frmcfsj::ApplyDialogSkin()
{
    Skin::ApplyDialogSkin(this, nullptr, {ButtnClose, ButtnViewer, ButtnCopy});
    // The grid's own back colour, behind its cells.
    QPalette pal = MSHFlexGrid1->palette();
    pal.setColor(QPalette::Window, Palette::ToQColor(Palette::gPanelBackColor));
    MSHFlexGrid1->setPalette(pal);
}

void Frmcfsj::LoadRelatedGrid()
{
    QTableView* grid = MSHFlexGrid1;
    auto* model = static_cast<RelatedModel*>(grid->model());
    model->setAnswer(nullptr);
    for (int c = 0; c < kColumns; ++c)
        grid->setColumnWidth(c, px(kCols[c].twips));
    grid->setColumnHidden(kKeyColumn, true);
    grid->horizontalHeader()->setFixedHeight(Palette::gCaptionHeight > 0 ? Palette::gCaptionHeight : 21);
    ListGrid::SetEmptyState(grid);

    const int field = by_ == By::ExamNumber ? ReportRecord::obligate5 : ReportRecord::brname;
    const QueryResult r = ReportStore::RowsWith(field, value_, kListFields);
    if (!r.hasRows()) {
        grid->setCurrentIndex(model->index(0, 0));
        if (r.failed())
            MessageBox::critical(r.description, MessageBox::kSystemErrorTitle);
        return;
    }
    model->setAnswer(r.data);
    ListGrid::SetHighlight(grid, 1, ListGrid::kSelButtonShadow);
    ListGrid::SelectRow(grid, 0);
    grid->selectionModel()->setCurrentIndex(model->index(0, kKeyColumn), QItemSelectionModel::NoUpdate);
}

void Frmcfsj::ButtnCopy_Click()
{
    if (ReportLoader::RelatedCopy(MSHFlexGrid1))
        done(QDialog::Accepted);
}

void Frmcfsj::ButtnViewer_Click()
{
    if (ReportLoader::RelatedView(MSHFlexGrid1))
        done(QDialog::Accepted);
}

void Frmcfsj::ButtnClose_Click() { done(QDialog::Rejected); }
