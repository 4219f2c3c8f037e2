#include "editor/Frmcfsj.h"

#include "editor/ReportLoader.h"
#include "editor/EditorGeometry.h"

#include "core/Database.h"
#include "core/ListGrid.h"
#include "core/Palette.h"
#include "core/QvButton.h"
#include "core/ReportGrid.h"
#include "core/ReportRecord.h"
#include "core/ReportStore.h"
#include "core/SkinPaint.h"
#include "platform/MessageBox.h"
#include "platform/Opener.h"

#include <QGuiApplication>
#include <QHeaderView>
#include <QScreen>
#include <QTableView>

using EditorGeometry::px;
using EditorGeometry::pxRect;

namespace {
using ReportGrid::Column;
using ReportGrid::Form;

constexpr Column kCols[Frmcfsj::kColumns] = {
    {"检查号", "obligate5", Form::Text, 920}, {"病人姓名", "brname", Form::Text, 1100},
    {"性别", "sex", Form::Text, 790},         {"年龄", "age", Form::Age, 790},
    {"检查部位", "part", Form::Text, 1400},   {"检查日期", "pgdate", Form::Date, 1200},
    {"报告医师", "rpdr", Form::Text, 1100},   {"序号", "ctid", Form::Text, 0},
};
constexpr std::pair<Frmcfsj::Col, const char*> kNames[Frmcfsj::kColumns] = {
    {Frmcfsj::kExamColumn, "obligate5"}, {Frmcfsj::kNameColumn, "brname"}, {Frmcfsj::kSexColumn, "sex"},
    {Frmcfsj::kAgeColumn, "age"},        {Frmcfsj::kPartColumn, "part"},   {Frmcfsj::kDateColumn, "pgdate"},
    {Frmcfsj::kDoctorColumn, "rpdr"},    {Frmcfsj::kKeyColumn, "ctid"},
};
static_assert(ReportGrid::Matches(kCols, kNames), "the related-records columns and their names disagree");

// The fields the list reads, by number: never a picture.
QList<int> listFields()
{
    const QStringList names = ReportGrid::Fields(kCols);
    QList<int> fields;
    for (int f = 0; f < ReportRecord::kFirstPictureField; ++f)
        if (names.contains(ReportRecord::ColumnName(f)))
            fields.append(f);
    return fields;
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
    MSHFlexGrid1->setModel(new ReportGrid::Model(kCols, MSHFlexGrid1));
    ListGrid::SetListLook(MSHFlexGrid1);
    MSHFlexGrid1->horizontalHeader()->setDefaultAlignment(Qt::AlignCenter);
    // Every save and delete the store announces: the listed report's row rewritten or removed.
    ReportGrid::Follow how;
    how.keyColumn = kKeyColumn;
    ReportGrid::FollowStore(MSHFlexGrid1, std::move(how));

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
    auto* model = static_cast<ReportGrid::Model*>(grid->model());
    model->setAnswer(nullptr);
    for (int c = 0; c < kColumns; ++c)
        grid->setColumnWidth(c, px(kCols[c].twips));
    grid->setColumnHidden(kKeyColumn, true);
    grid->horizontalHeader()->setFixedHeight(Palette::gCaptionHeight > 0 ? Palette::gCaptionHeight : 21);
    ListGrid::SetEmptyState(grid);

    const int field = by_ == By::ExamNumber ? ReportRecord::obligate5 : ReportRecord::brname;
    static const QList<int> fields = listFields();
    const QueryResult r = ReportStore::RowsWith(field, value_, fields);
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
