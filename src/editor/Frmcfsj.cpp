#include "editor/Frmcfsj.h"

#include "editor/ReportLoader.h"
#include "editor/EditorGeometry.h"

#include "core/Database.h"
#include "core/ListGrid.h"
#include "core/Palette.h"
#include "core/QvButton.h"
#include "core/RecordSetModel.h"
#include "core/ReportRecord.h"
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
enum class Form {
    Text,
    Age,    // the age, then ageunit
    Date,   // the date part
};
struct Column {
    const char* header;
    int twips;
    int field;   // of ReportRecord
    Form form;
};
constexpr Column kCols[Frmcfsj::kColumns] = {
    {"检查号", 920, ReportRecord::obligate5, Form::Text}, {"病人姓名", 1100, ReportRecord::brname, Form::Text},
    {"性别", 790, ReportRecord::sex, Form::Text},         {"年龄", 790, ReportRecord::age, Form::Age},
    {"检查部位", 1400, ReportRecord::part, Form::Text},   {"检查日期", 1200, ReportRecord::pgdate, Form::Date},
    {"报告医师", 1100, ReportRecord::rpdr, Form::Text},   {"序号", 0, ReportRecord::ctid, Form::Text},
};

// Every row of the table is written (a table one row short leaves its last
// row empty) and each named column shows its field.
constexpr bool tableMatchesNames()
{
    for (const Column& c : kCols)
        if (!c.header)
            return false;
    return kCols[Frmcfsj::kExamColumn].field == ReportRecord::obligate5
           && kCols[Frmcfsj::kNameColumn].field == ReportRecord::brname
           && kCols[Frmcfsj::kSexColumn].field == ReportRecord::sex
           && kCols[Frmcfsj::kAgeColumn].field == ReportRecord::age
           && kCols[Frmcfsj::kPartColumn].field == ReportRecord::part
           && kCols[Frmcfsj::kDateColumn].field == ReportRecord::pgdate
           && kCols[Frmcfsj::kDoctorColumn].field == ReportRecord::rpdr
           && kCols[Frmcfsj::kKeyColumn].field == ReportRecord::ctid && kCols[Frmcfsj::kKeyColumn].twips == 0;
}
static_assert(tableMatchesNames(), "the related-records columns and their names disagree");

// The fields the list reads, by name: never a picture.
const QList<int> kListFields = {ReportRecord::ctid, ReportRecord::obligate5, ReportRecord::brname,
                                ReportRecord::sex,  ReportRecord::age,       ReportRecord::ageunit,
                                ReportRecord::part, ReportRecord::pgdate,    ReportRecord::rpdr};

// The list's rows: the answer of the list's query, and blank rows (the empty
// list's one). Fields are found by name, so a row the store announces (with
// more fields, in another order) reads as the list's own.
class RelatedModel final : public RecordSetModel {
public:
    using RecordSetModel::RecordSetModel;

    // Rewrites a row with the report of rs's current record.
    void setRow(int row, const RecordSet& rs)
    {
        if (row < 0 || row >= rowCount() || rs.recordCount() < 1)
            return;
        const FieldMap m = mapFields(rs);
        QStringList texts;
        for (int c = 0; c < Frmcfsj::kColumns; ++c)
            texts.append(cellText(c, rs, rs.position(), m));
        setOwnTexts(row, std::move(texts));
    }

protected:
    int columns() const override { return Frmcfsj::kColumns; }
    QString headerText(int column) const override { return QString::fromUtf8(kCols[column].header); }
    QString recordText(int record, int column) const override { return cellText(column, *answer(), record, map_); }
    void answerChanged() override { map_ = answer() ? mapFields(*answer()) : FieldMap{}; }

private:
    struct FieldMap {
        int index[Frmcfsj::kColumns] = {};
        int ageUnit = -1;
    };
    static FieldMap mapFields(const RecordSet& rs)
    {
        FieldMap m;
        for (int c = 0; c < Frmcfsj::kColumns; ++c)
            m.index[c] = rs.fieldIndex(ReportRecord::ColumnName(kCols[c].field));
        m.ageUnit = rs.fieldIndex(ReportRecord::ColumnName(ReportRecord::ageunit));
        return m;
    }
    static QString cellText(int column, const RecordSet& rs, int record, const FieldMap& m)
    {
        const int f = m.index[column];
        if (f < 0)
            return QString();
        switch (kCols[column].form) {
        case Form::Age:
            return ReportList::AgeText(rs.value(record, f)) + (m.ageUnit >= 0 ? rs.text(record, m.ageUnit) : QString());
        case Form::Date: return ReportList::DateText(rs.value(record, f));
        case Form::Text: break;
        }
        return rs.text(record, f);
    }

    FieldMap map_;
};

// Keeps the list in step with every change the store announces: the row of a
// saved report rewritten, the row of a deleted one removed.
void followStore(QTableView* grid)
{
    ReportList::FollowByKey(
        grid, Frmcfsj::kKeyColumn,
        [grid](int r, const RecordSet& row) { static_cast<RelatedModel*>(grid->model())->setRow(r, row); },
        [grid](int r) { ListGrid::RemoveRow(grid, r); });
}
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
    followStore(MSHFlexGrid1);

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
