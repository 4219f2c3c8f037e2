#include "query/Frmfind.h"

#include "core/Database.h"
#include "core/MenuSkin.h"
#include "core/Mmain.h"
#include "core/Openers.h"
#include "core/QvButton.h"
#include "core/SkinPanel.h"
#include "editor/ReportLoader.h"
#include "platform/Environment.h"
#include "platform/MessageBox.h"
#include "platform/Opener.h"
#include "report/PrintableGrid.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QResizeEvent>
#include <QScreen>
#include <QTableView>

using namespace FrmfindLayout;

Frmfind& Frmfind::instance()
{
    static Frmfind* window = new Frmfind();
    return *window;
}

Frmfind::Frmfind() : QDialog(nullptr)
{
    setWindowTitle(QStringLiteral("请输入查询条件"));
    resize(px(15240), px(9300));
}

void Frmfind::ensureLoaded()
{
    if (loaded_)
        return;
    buildControls();
    sql_.clear();
    loaded_ = true;
    Form_Load();
    lastSize_ = size();
    Form_Resize();
}

int Frmfind::showModally()
{
    ensureLoaded();
    if (!isVisible()) {
        // Without a window manager the maximised state alone leaves the
        // window at its own size.
        if (QScreen* screen = QGuiApplication::primaryScreen())
            setGeometry(screen->availableGeometry());
        setWindowState(windowState() | Qt::WindowMaximized);
    }
    return Opener::showModal(this);
}

// ---------------------------------------------------------------------------

void Frmfind::Form_Load()
{
    // Colours and the conditions panel. The window is maximised when shown
    // (showModally); the grid lays out its header row in each of its looks.
    ApplySkin();
    ShowPanel(1);
    // The shared menu skin.
    gMenuSkin.AttachForm(this);
    // Today in both pickers.
    const QDate today = Environment::today();
    DT1->setDate(today);
    DT2->setDate(today);
    // The sexes.
    Text11->addItems({QStringLiteral("男"), QStringLiteral("女")});
    Text11->setCurrentIndex(-1);
    // The section, part and user lists; a failed list ends the loading here.
    if (!fillList(Text3, ReportStore::Choice::Sections) || !fillList(Text4, ReportStore::Choice::BodyParts)
        || !fillList(Text13, ReportStore::Choice::Users))
        return;
    // The grid printer reads its settings.
    SetupGridPrinter();
}

bool Frmfind::fillList(QComboBox* list, ReportStore::Choice choice)
{
    const QueryResult r = ReportStore::Choices(choice);
    if (r.failed()) {
        MessageBox::critical(r.description, MessageBox::kErrorTitle);
        return false;
    }
    if (r.hasRows()) {
        QStringList items;
        items.reserve(r.data->recordCount());
        for (int i = 0; i < r.data->recordCount(); ++i)
            items << r.data->text(i, 1);
        list->addItems(items);
    }
    list->setCurrentIndex(-1);
    return true;
}

void Frmfind::Form_Unload() { gMenuSkin.DetachForm(this); }

void Frmfind::done(int r)
{
    QDialog::done(r);
    if (loaded_)
        Form_Unload();
    // The next opening builds the controls and loads again.
    loaded_ = false;
}

bool Frmfind::event(QEvent* e)
{
    // The window closes by its close button and 退 出 only: a stray Escape
    // while typing conditions must not throw them away.
    if (e->type() == QEvent::KeyPress && static_cast<QKeyEvent*>(e)->key() == Qt::Key_Escape) {
        e->accept();
        return true;
    }
    return QDialog::event(e);
}

void Frmfind::ButtnQuit_Click() { done(QDialog::Rejected); }

// ---------------------------------------------------------------------------

void Frmfind::resizeEvent(QResizeEvent* e)
{
    QDialog::resizeEvent(e);
    if (form_)
        form_->setGeometry(0, 0, width(), height());
    // Only a real change of the window's size empties the grid, not every
    // event the window system sends while it maximises the window.
    if (!loaded_ || size() == lastSize_)
        return;
    lastSize_ = size();
    Form_Resize();
}

void Frmfind::Form_Resize()
{
    if (!loaded_)
        return;
    const int w = Units::twips(width());
    const int h = Units::twips(height());
    Pictool->setGeometry(0, 0, width(), px(kToolbarHeight));
    if (w > 8000)
        MGrid->resize(px(w - kPanelWidth - 180), MGrid->height());
    if (h > 6000) {
        MGrid->resize(MGrid->width(), px(h - kToolbarHeight - 120));
        const int panelHeight = px(h - kToolbarHeight - 440);
        Picturexm->resize(Picturexm->width(), panelHeight);
        Pictiaojian->resize(Pictiaojian->width(), panelHeight);
    }
    ResetResultGrid();
}

void Frmfind::ResetResultGrid() { FrmfindResults::SetEmptyLook(MGrid); }

// ---------------------------------------------------------------------------

FrmfindQuery::Conditions Frmfind::conditions() const
{
    FrmfindQuery::Conditions c;
    if (DT1Check->isChecked())
        c.DT1 = DT1->date();
    if (DT2Check->isChecked())
        c.DT2 = DT2->date();
    c.Text3 = Text3->currentText();
    c.Text4 = Text4->currentText();
    c.Text5 = Text5->text();
    c.Text6 = Text6->text();
    c.Text7 = Text7->text();
    c.Text8 = Text8->text();
    c.Text9 = Text9->text();
    c.Text10 = Text10->text();
    c.Text11 = Text11->currentText();
    c.Text12 = Text12->text();
    c.Text13 = Text13->currentText();
    c.Text14 = Text14->text();
    c.Text15 = Text15->text();
    return c;
}

FrmfindQuery::Statement Frmfind::statement() const
{
    const FrmfindQuery::Conditions c = conditions();
    // Unread stored dates leave a date range counted as narrowing.
    std::optional<FrmfindQuery::StoredDates> stored;
    if (c.DT1 || c.DT2)
        stored = FrmfindQuery::ReadStoredDates();
    return FrmfindQuery::Build(c, stored);
}

void Frmfind::buttonYes_Click()
{
    const FrmfindQuery::Statement s = statement();
    sql_ = s.where;
    if (s.noConditions()) {
        MessageBox::information(QStringLiteral("请输入有效查询条件"), MessageBox::kNoticeTitle);
        return;
    }
    if (!s.error.isEmpty()) {
        MessageBox::critical(s.error, MessageBox::kErrorTitle);
        return;
    }
    const QueryResult r = Database::QueryData(s.sql, s.params);
    if (!r.hasRows()) {
        // Nothing found is reported like a failure; the grid keeps what it shows.
        MessageBox::critical(r.description, MessageBox::kErrorTitle);
        return;
    }
    bool ticked[FrmfindResults::kChooserBoxes];
    for (int c = 0; c < FrmfindResults::kChooserBoxes; ++c)
        ticked[c] = xm[size_t(c)]->isChecked();
    FrmfindResults::SetResultsLook(MGrid, r.data, ticked);
    if (Mmain::gRights[Mmain::RightViewPrint])
        buttnview->setEnabled(true);
    CmdPrint->setEnabled(true);
}

void Frmfind::xm_Click(int n)
{
    if (n < 1 || n > FrmfindResults::kChooserBoxes || MGrid->model()->columnCount() == 1)
        return;
    const int column = n - 1;
    FrmfindResults::SetColumnWidthTwips(MGrid, column,
                                        xm[size_t(column)]->isChecked() ? FrmfindResults::TickWidthTwips(column) : 0);
}

void Frmfind::buttnview_Click() { ReportLoader::QueryView(FrmfindResults::CurrentKey(MGrid)); }

void Frmfind::CmdPrint_Click()
{
    const QAbstractItemModel* m = MGrid->model();
    if (FrmfindResults::Mode(MGrid) == FrmfindResults::kEmptyLook || m->rowCount() == 0 || m->columnCount() == 0) {
        MessageBox::information(QStringLiteral("当前没有查询数据"), MessageBox::kNoticeTitle);
        return;
    }
    SetupGridPrinter();
    PrintGrid();
}

void Frmfind::CmdPrintSet_Click() { Openers::OpenGridPrintSettings(); }

void Frmfind::SetupGridPrinter() { printer_.SetupGridPrinter(); }

// The grid prints as it stands: its header row, the rows found, the columns
// at their widths (hidden ones not at all).
void Frmfind::PrintGrid() { printer_.PrintGrid(TableViewGrid(MGrid), QStringLiteral("查询结果")); }
