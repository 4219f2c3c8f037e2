#include "core/FrmMain.h"

#include "core/Mmain.h"
#include "core/Database.h"
#include "core/Openers.h"
#include "core/ReportList.h"
#include "core/ReportStore.h"
#include "core/MenuSkin.h"
#include "core/Palette.h"
#include "core/QvButton.h"
#include "core/QvMenuBar.h"
#include "core/SkinPaint.h"
#include "core/SkinPanel.h"
#include "core/SkinWindows.h"
#include "platform/Environment.h"
#include "platform/Units.h"
#include "platform/MessageBox.h"

#include <QCloseEvent>
#include <QDateEdit>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPainter>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QGuiApplication>
#include <QTableView>

namespace {
QPointer<FrmMain>& currentWindow()
{
    static QPointer<FrmMain> w;
    return w;
}
}

FrmMain* FrmMain::current() { return currentWindow().data(); }

FrmMain* FrmMain::ShowMain()
{
    if (FrmMain* w = current())
        return w;
    auto* w = new FrmMain;
    currentWindow() = w;
    w->Form_Load();
    if (QScreen* screen = QGuiApplication::primaryScreen())
        w->setGeometry(screen->availableGeometry());
    w->showMaximized();
    w->activateWindow();   // the keys of the menus work at once, also without a window manager
    return w;
}

FrmMain::FrmMain()
{
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QString::fromLatin1(Mmain::kProgramName));
    buildControls();
    buildMenus();
    // The menu keys act wherever the focus is: the date picker (which has the
    // focus after login) and the list would otherwise keep Del, Ctrl+E, Ctrl+K
    // and the like for their own editing.
    for (QWidget* w : {static_cast<QWidget*>(DTPicker1), static_cast<QWidget*>(MSHFlexGrid1)})
        w->installEventFilter(this);
}

bool FrmMain::isMenuKey(const QKeyEvent* event) const
{
    const QKeySequence pressed(QKeyCombination(event->modifiers() & ~Qt::KeypadModifier, Qt::Key(event->key())));
    for (const QAction* a : actions_)
        if (a->isEnabled() && a->shortcuts().contains(pressed))
            return true;
    return false;
}

FrmMain::~FrmMain()
{
    if (!unloaded_)
        Form_Unload();
}

void FrmMain::buildControls()
{
    Pictool = new PaintPanel(this);
    Pictool->setObjectName(QStringLiteral("Pictool"));
    connect(Pictool, &PaintPanel::Resize, this, [this] { Skin::FrmMainPictoolResize(Pictool); });
    Linetool2 = new QWidget(Pictool);
    Linetool2->setObjectName(QStringLiteral("Linetool2"));

    auto makeButton = [this](const char* name, const QString& caption) {
        auto* b = new QvButton(caption, Pictool);
        b->setObjectName(QString::fromLatin1(name));
        b->setFixedSize(kToolButtonSize, kToolButtonSize);
        b->setFocusPolicy(Qt::NoFocus);
        return b;
    };
    ButtnNew = makeButton("ButtnNew", QStringLiteral("新建报告"));
    buttnview = makeButton("buttnview", QStringLiteral("查看报告"));
    buttnfix = makeButton("buttnfix", QStringLiteral("修改报告"));
    ButtnDel = makeButton("ButtnDel", QStringLiteral("删除报告"));
    ButtnPrint = makeButton("ButtnPrint", QStringLiteral("打印报告"));
    ButtnFind = makeButton("ButtnFind", QStringLiteral("查询报告"));
    ButtnGraph = makeButton("ButtnGraph", QStringLiteral("统计报告"));
    connect(ButtnNew, &QvButton::clicked, this, [this] { 新建报告_Click(); });
    connect(buttnview, &QvButton::clicked, this, [this] { 查看报告_Click(); });
    connect(buttnfix, &QvButton::clicked, this, [this] { 修改报告_Click(); });
    connect(ButtnDel, &QvButton::clicked, this, [this] { 删除报告_Click(); });
    connect(ButtnPrint, &QvButton::clicked, this, [this] { 打印报告_Click(); });
    connect(ButtnFind, &QvButton::clicked, this, [this] { 查询报告_Click(); });
    connect(ButtnGraph, &QvButton::clicked, this, [this] { 统计报告_Click(); });

    Label1 = new QLabel(QStringLiteral("列表日期："), Pictool);
    Label1->setObjectName(QStringLiteral("Label1"));
    DTPicker1 = new QDateEdit(Pictool);
    DTPicker1->setObjectName(QStringLiteral("DTPicker1"));
    DTPicker1->setCalendarPopup(true);
    DTPicker1->setDisplayFormat(QStringLiteral("yyyy-MM-dd"));
    DTPicker1->setFixedWidth(120);
    connect(DTPicker1, &QDateEdit::dateChanged, this, [this] { DTPicker1_Change(); });

    MSHFlexGrid1 = ReportList::CreateView(this);
    MSHFlexGrid1->setObjectName(QStringLiteral("MSHFlexGrid1"));
    MSHFlexGrid1->viewport()->installEventFilter(this);

    PicStatusBar = new PaintPanel(this);
    PicStatusBar->setObjectName(QStringLiteral("PicStatusBar"));
    LabUser = new QLabel(PicStatusBar);
    LabUser->setObjectName(QStringLiteral("LabUser"));
    LabUser->setGeometry(8, 4, 400, kStatusBarHeight - 8);
    LabUser->setAttribute(Qt::WA_TranslucentBackground);
}

void FrmMain::layoutToolbar()
{
    const int menuHeight = ucQvmenuBarV31 ? ucQvmenuBarV31->sizeHint().height() : 22;
    if (ucQvmenuBarV31)
        ucQvmenuBarV31->setGeometry(0, 1, width(), menuHeight);
    const int top = menuHeight + 4;
    int x = 8;
    const int gap = 4;
    for (QvButton* b : {ButtnNew, buttnview, buttnfix, ButtnDel, ButtnPrint, ButtnFind, ButtnGraph}) {
        if (b == ButtnFind)
            x += 16;
        b->move(x, top);
        x += kToolButtonSize + gap;
    }
    x += 24;
    Label1->adjustSize();
    Label1->move(x, top + (kToolButtonSize - Label1->height()) / 2);
    DTPicker1->move(x + Label1->width() + 4, top + (kToolButtonSize - DTPicker1->sizeHint().height()) / 2);
    Pictool->setGeometry(0, 0, width(), top + kToolButtonSize + 6);
    Linetool2->setGeometry(0, menuHeight + 1, width(), 1);
}

// ---------------------------------------------------------------------------

void FrmMain::Form_Load()
{
    // The window is maximised when shown (ShowMain). Colours and rights first.
    ApplySkin();
    ApplyRights();
    // The menu bar, with the current skin ticked.
    layoutToolbar();
    ucQvmenuBarV31->AttachMenu(this);
    tickSkin(Palette::gSkinId);
    // The logged-in user.
    LabUser->setText(QStringLiteral("用户: ") + Mmain::gUserName);
    // Nothing of the backup is read here: the backup dialog keeps its settings
    // in ModBackup. The list shows today's reports.
    {
        const QSignalBlocker block(DTPicker1);
        DTPicker1->setDate(Environment::today());
    }
    LoadDayList(DTPicker1->date());
    // Every save and delete reaches the list through the store, whichever
    // window opened the editor; a new report joins it when it is of the date
    // the list shows, and takes the selection only from this window's editor.
    storeLinks_ = ReportList::FollowStore(
        MSHFlexGrid1, [this] { return DTPicker1->date(); }, [this] { return ownEditorOpen_; });
    // The shared menu skin in this skin's colours.
    gMenuSkin.SkinColor1(Palette::gLineColor);
    gMenuSkin.SkinColor2(Palette::gCaptionColorFrom);
    gMenuSkin.SkinColor3(Palette::gCaptionColorTo);
    gMenuSkin.SkinFlag(0);
    gMenuSkin.AttachForm(this);
    Form_Resize();
}

void FrmMain::LoadDayList(const QDate& date) { LoadReportList(ReportList::DaySql(), ReportList::DayParams(date)); }

void FrmMain::LoadReportList(const QString& sql, const QVariantList& params)
{
    QTableView* g = MSHFlexGrid1;
    const QueryResult r = Database::QueryData(sql, params);
    ReportList::SetupColumns(g, Environment::screenSizePixels().width(), Palette::gCaptionHeight);
    ReportList::FillRows(g, r.hasRows() ? r.data : nullptr);
    if (r.failed())
        MessageBox::critical(r.description, MessageBox::kSystemErrorTitle);
}

void FrmMain::DTPicker1_Change() { LoadDayList(DTPicker1->date()); }

bool FrmMain::ResizeApplies(const QSize& outer)
{
    return Units::twips(outer.width()) > 5600 && Units::twips(outer.height()) > 4000;
}

void FrmMain::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    Form_Resize();
}

void FrmMain::Form_Resize()
{
    layoutToolbar();
    PicStatusBar->setGeometry(0, height() - kStatusBarHeight, width(), kStatusBarHeight);
    const int top = Pictool->geometry().bottom() + 1;
    if (!MSHFlexGrid1->geometry().isValid() || MSHFlexGrid1->y() != top)
        MSHFlexGrid1->move(0, top);
    if (!ResizeApplies(frameGeometry().size()))
        return;
    MSHFlexGrid1->setGeometry(0, top, width(), height() - top - kStatusBarHeight);
}

bool FrmMain::eventFilter(QObject* watched, QEvent* event)
{
    // Left unaccepted, the key goes to the menu command instead of the control.
    if (event->type() == QEvent::ShortcutOverride && isMenuKey(static_cast<QKeyEvent*>(event))) {
        event->ignore();
        return true;
    }
    if (watched == MSHFlexGrid1->viewport() && event->type() == QEvent::MouseButtonRelease) {
        auto* me = static_cast<QMouseEvent*>(event);
        const Qt::MouseButton button = me->button();
        const QPoint pos = me->position().toPoint();
        // Let the grid finish its own selection first.
        QMetaObject::invokeMethod(
            this, [this, button, pos] { MSHFlexGrid1_MouseUp(button, pos); }, Qt::QueuedConnection);
    }
    return QWidget::eventFilter(watched, event);
}

void FrmMain::MSHFlexGrid1_MouseUp(Qt::MouseButton button, const QPoint& pos)
{
    QTableView* g = MSHFlexGrid1;
    const int selEnd = ReportList::SelectedRow(g);
    // A click below the last row clears the view's selection but keeps its
    // current row, which the commands then act on: show it selected again.
    const bool lostSelection = !ReportList::IsEmpty(g) && !g->selectionModel()->hasSelection();
    if (selEnd >= 0 && (ListGrid::CurrentRow(g) != selEnd || lostSelection)) {
        ListGrid::SelectRow(g, selEnd);
    }
    if (button == Qt::RightButton && !ReportList::IsEmpty(g) && ListGrid::CurrentRow(g) >= 0)
        popupmenut->popup(g->viewport()->mapToGlobal(pos));
}

void FrmMain::删除报告_Click()
{
    QTableView* g = MSHFlexGrid1;
    if (ReportList::IsEmpty(g)) {
        MessageBox::critical(QStringLiteral("当前数据记录为空，不能进行删除操作"), MessageBox::kErrorTitle);
        return;
    }
    const int row = ReportList::SelectedRow(g);
    if (row < 0)
        return;
    auto text = [g, row](int c) { return ListGrid::Cell(g, row, c); };
    if (!ReportStore::MayChange(text(ReportList::kDoctorColumn))) {
        MessageBox::information(QStringLiteral("你没有删除其他人所建报告的权限，操作取消"), MessageBox::kNoticeTitle);
        return;
    }
    const QString question = QStringLiteral("你将删除检查号为 ") + text(ReportList::kExamColumn)
                             + QStringLiteral(" 的报告,删除后将不能恢复,请确认是否删除?");
    if (MessageBox::show(question, MessageBox::kNoticeTitle, MessageBox::Icon::None, MessageBox::Buttons::OkCancel,
                         this)
        != MessageBox::Answer::Ok)
        return;

    // The report row and the study link that points at it go together; the
    // store's announcement removes the row from this list (FollowStore).
    const QueryResult r = ReportStore::Delete(text(ReportList::kKeyColumn));
    if (!r.ok())
        MessageBox::critical(r.description, MessageBox::kSystemErrorTitle);
}

// ---------------------------------------------------------------------------

void FrmMain::closeEvent(QCloseEvent* event)
{
    if (!unloaded_)
        Form_Unload();
    event->accept();
    // Re-login shows the login window itself once this window is closed.
    if (!relogin_)
        Mmain::Quit(0);
}

void FrmMain::Form_Unload()
{
    unloaded_ = true;
    gMenuSkin.DetachForm(this);
    ucQvmenuBarV31->DetachMenu();
    for (const QMetaObject::Connection& link : std::as_const(storeLinks_))
        disconnect(link);
    storeLinks_.clear();
    Database::CloseDatabase();
}
