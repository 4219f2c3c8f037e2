#include "editor/Frmcfsj.h"

#include "editor/ReportLoader.h"
#include "editor/EditorGeometry.h"

#include "core/Database.h"
#include "core/ListGrid.h"
#include "core/Palette.h"
#include "core/QvButton.h"
#include "core/RecordSetModel.h"
#include "core/ReportList.h"
#include "core/ReportStore.h"
#include "core/SkinPaint.h"
#include "platform/MessageBox.h"
#include "platform/Opener.h"

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

// The list's rows: the answer of the list's query, and blank rows (the empty
// list's one).
class RelatedModel final : public RecordSetModel {
public:
    using RecordSetModel::RecordSetModel;

protected:
    int columns() const override { return Frmcfsj::kColumns; }
    QString headerText(int column) const override { return QString::fromUtf8(kCols[column].header); }

    QString recordText(int record, int column) const override
    {
        const RecordSet& rs = *answer();
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
};
}

namespace {
Frmcfsj* theWindow = nullptr;
}

Frmcfsj& Frmcfsj::instance()
{
    if (!theWindow)
        theWindow = new Frmcfsj();
    return *theWindow;
}

void Frmcfsj::discardInstance() { delete std::exchange(theWindow, nullptr); }

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
