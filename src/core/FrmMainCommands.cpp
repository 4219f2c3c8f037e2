// The main window's menus, tool bar, rights and the commands behind them.
#include "core/FrmAbout.h"
#include "core/FrmJCpz.h"
#include "core/FrmMain.h"
#include "core/MenuSkin.h"
#include "core/Palette.h"
#include "core/QvButton.h"
#include "core/QvMenuBar.h"
#include "core/SkinPaint.h"
#include "core/SkinPanel.h"
#include "core/SkinWindows.h"
#include "core/FrmPassword.h"
#include "core/Mmain.h"
#include "core/Database.h"
#include "core/ModBackup.h"
#include "core/Modini.h"
#include "core/Openers.h"
#include "core/ReportList.h"
#include "platform/AppPaths.h"
#include "platform/Environment.h"
#include "platform/MessageBox.h"
#include "platform/Opener.h"

#include <QApplication>
#include <QDateEdit>
#include <QDir>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QScopedValueRollback>
#include <QTableView>

QAction* FrmMain::addItem(QMenu* menu, const QString& name, const QString& caption, const QKeySequence& key,
                          void (FrmMain::*handler)())
{
    QAction* a = menu->addAction(caption);
    a->setObjectName(name);
    if (!key.isEmpty())
        a->setShortcut(key);
    if (handler)
        connect(a, &QAction::triggered, this, [this, handler] { (this->*handler)(); });
    actions_.insert(name, a);
    return a;
}

QAction* FrmMain::action(const QString& name) const { return actions_.value(name); }
QMenu* FrmMain::menu(const QString& name) const { return menus_.value(name); }

void FrmMain::buildMenus()
{
    ucQvmenuBarV31 = new QvMenuBar(Pictool);
    ucQvmenuBarV31->setObjectName(QStringLiteral("ucQvmenuBarV31"));
    ucQvmenuBarV31->setNativeMenuBar(false);
    auto top = [this](const QString& name, const QString& caption) {
        QMenu* m = ucQvmenuBarV31->addMenu(caption);
        m->setObjectName(name);
        menus_.insert(name, m);
        return m;
    };
    auto openMaintenance = [this](QMenu* m, const QString& name, const QString& caption, const QKeySequence& key,
                                  Openers::Window window) {
        QAction* a = addItem(m, name, caption, key, nullptr);
        connect(a, &QAction::triggered, this, [window] { Openers::OpenMaintenance(window); });
    };

    QMenu* rep = top(QStringLiteral("报告"), QStringLiteral("报告(&R)"));
    addItem(rep, QStringLiteral("新建报告"), QStringLiteral("新建报告"), Qt::Key_F2, &FrmMain::新建报告_Click);
    addItem(rep, QStringLiteral("查看报告m"), QStringLiteral("查看报告"), Qt::Key_F4, &FrmMain::查看报告_Click);
    addItem(rep, QStringLiteral("修改报告m"), QStringLiteral("修改报告"), Qt::Key_F3, &FrmMain::修改报告_Click);
    addItem(rep, QStringLiteral("删除报告m"), QStringLiteral("删除报告"), Qt::Key_Delete, &FrmMain::删除报告_Click);
    addItem(rep, QStringLiteral("打印报告m"), QStringLiteral("打印报告"), Qt::Key_F8, &FrmMain::打印报告_Click);

    QMenu* set = top(QStringLiteral("设置"), QStringLiteral("设置(&S)"));
    openMaintenance(set, QStringLiteral("用户设置"), QStringLiteral("用户设置"), QKeySequence(Qt::CTRL | Qt::Key_U),
                    Openers::Window::FrmJCdoctor);
    openMaintenance(set, QStringLiteral("科室设置"), QStringLiteral("科室设置"), QKeySequence(Qt::CTRL | Qt::Key_K),
                    Openers::Window::FrmJCsection);
    openMaintenance(set, QStringLiteral("开单医师设置"), QStringLiteral("申请医师设置"),
                    QKeySequence(Qt::CTRL | Qt::Key_M), Openers::Window::FrmJCbgdc);
    set->addSeparator();
    openMaintenance(set, QStringLiteral("报告项目设置"), QStringLiteral("报告项目设置"), QKeySequence(),
                    Openers::Window::Frmbgxm);
    addItem(set, QStringLiteral("打印纸张设置"), QStringLiteral("打印选项设置"), QKeySequence(),
            &FrmMain::打印纸张设置_Click);
    set->addSeparator();
    connect(
        addItem(set, QStringLiteral("DICOM图像转换参数"), QStringLiteral("DICOM图像转换参数"), QKeySequence(), nullptr),
        &QAction::triggered, this, [] { Openers::OpenDcmConv(); });
    connect(
        addItem(set, QStringLiteral("DICOM图像发送参数"), QStringLiteral("DICOM图像发送参数"), QKeySequence(), nullptr),
        &QAction::triggered, this, [] { Openers::OpenDcmSend(); });
    connect(addItem(set, QStringLiteral("脚踏开关端口设置"), QStringLiteral("脚踏开关端口设置..."), QKeySequence(),
                    nullptr),
            &QAction::triggered, this, [] { Openers::OpenComset(); });
    set->addSeparator();
    addItem(set, QStringLiteral("系统设置"), QStringLiteral("系统设置..."), QKeySequence(), &FrmMain::系统设置_Click);
    addItem(set, QStringLiteral("密码设置"), QStringLiteral("密码设置..."), QKeySequence(), &FrmMain::密码设置_Click);

    QMenu* tpl = top(QStringLiteral("模板"), QStringLiteral("模板(&M)"));
    openMaintenance(tpl, QStringLiteral("检查部位设置"), QStringLiteral("检查部位设置"),
                    QKeySequence(Qt::CTRL | Qt::Key_B), Openers::Window::FrmMBpart);
    openMaintenance(tpl, QStringLiteral("部位分类设置"), QStringLiteral("部位分类设置"),
                    QKeySequence(Qt::CTRL | Qt::Key_L), Openers::Window::FrmMBassort);
    tpl->addSeparator();
    addItem(tpl, QStringLiteral("模板管理"), QStringLiteral("模板管理"), QKeySequence(), &FrmMain::模板管理_Click);
    openMaintenance(tpl, QStringLiteral("词库维护"), QStringLiteral("词库维护"), QKeySequence(),
                    Openers::Window::Frmck);

    QMenu* fix = top(QStringLiteral("维护"), QStringLiteral("维护(&F)"));
    addItem(fix, QStringLiteral("查询报告"), QStringLiteral("查询报告"), Qt::Key_F9, &FrmMain::查询报告_Click);
    addItem(fix, QStringLiteral("统计报告"), QStringLiteral("统计报告"), Qt::Key_F12, &FrmMain::统计报告_Click);
    fix->addSeparator();
    addItem(fix, QStringLiteral("备份数据"), QStringLiteral("备份数据"), QKeySequence(), &FrmMain::备份数据_Click);
    addItem(fix, QStringLiteral("还原数据"), QStringLiteral("还原数据"), QKeySequence(), &FrmMain::还原数据_Click);
    addItem(fix, QStringLiteral("清空数据"), QStringLiteral("清空数据"), QKeySequence(), &FrmMain::清空数据_Click);

    QMenu* sys = top(QStringLiteral("系统"), QStringLiteral("系统(&Y)"));
    addItem(sys, QStringLiteral("关于本软件"), QStringLiteral("关于本软件"), QKeySequence(),
            &FrmMain::关于本软件_Click);
    addItem(sys, QStringLiteral("主题帮助"), QStringLiteral("主题帮助"), Qt::Key_F1, &FrmMain::主题帮助_Click);
    sys->addSeparator();
    QMenu* skins = sys->addMenu(QStringLiteral("皮肤选择"));
    skins->setObjectName(QStringLiteral("皮肤选择"));
    menus_.insert(QStringLiteral("皮肤选择"), skins);
    const struct {
        const char* name;
        const char* caption;
        int id;
    } skinItems[] = {{"金属", "金属时代", 1}, {"秋实", "山野春色", 3}, {"海洋", "海洋世界", 2}};
    for (const auto& s : skinItems) {
        QAction* a = addItem(skins, QString::fromUtf8(s.name), QString::fromUtf8(s.caption), QKeySequence(), nullptr);
        a->setCheckable(true);
        const int id = s.id;
        connect(a, &QAction::triggered, this, [this, id] { ChangeSkin(id); });
    }
    sys->addSeparator();
    addItem(sys, QStringLiteral("重新登录"), QStringLiteral("重新登录"), QKeySequence(), &FrmMain::重新登录_Click);
    addItem(sys, QStringLiteral("退出"), QStringLiteral("退出"), QKeySequence(Qt::CTRL | Qt::Key_E),
            &FrmMain::退出_Click);

    popupmenut = new QMenu(this);
    popupmenut->setObjectName(QStringLiteral("popupmenut"));
    addItem(popupmenut, QStringLiteral("查看报告"), QStringLiteral("查看报告"), QKeySequence(),
            &FrmMain::查看报告_Click);
    addItem(popupmenut, QStringLiteral("修改报告"), QStringLiteral("修改报告"), QKeySequence(),
            &FrmMain::修改报告_Click);
    addItem(popupmenut, QStringLiteral("删除报告"), QStringLiteral("删除报告"), QKeySequence(),
            &FrmMain::删除报告_Click);
    addItem(popupmenut, QStringLiteral("打印报告"), QStringLiteral("打印报告"), QKeySequence(),
            &FrmMain::打印报告_Click);
}

// ---------------------------------------------------------------------------
// Colours, and the rights of the logged-in user (rights only ever disable).

void FrmMain::ApplySkin()
{
    Skin::FrmMainSkin s;
    s.window = this;
    s.Pictool = Pictool;
    s.PicStatusBar = PicStatusBar;
    s.Linetool2 = Linetool2;
    s.buttons = {ButtnNew, ButtnDel, ButtnFind, ButtnGraph, ButtnPrint, buttnview, buttnfix};
    s.ucQvmenuBarV31 = ucQvmenuBarV31;
    Skin::FrmMainApplySkin(s);
}

void FrmMain::ApplyRights()
{
    auto disable = [this](std::initializer_list<const char*> items) {
        for (const char* n : items)
            if (QAction* a = action(QString::fromUtf8(n)))
                a->setEnabled(false);
    };
    if (!Mmain::gRights[Mmain::RightEditOwn]) {
        disable({"新建报告", "修改报告m", "删除报告m", "修改报告", "删除报告"});
        for (QWidget* w : {buttnfix, ButtnDel, ButtnNew})
            w->setEnabled(false);
    }
    if (!Mmain::gRights[Mmain::RightViewPrint]) {
        disable({"查看报告m", "打印报告m", "查看报告", "打印报告", "打印纸张设置"});
        for (QWidget* w : {buttnview, ButtnPrint})
            w->setEnabled(false);
    }
    if (!Mmain::gRights[Mmain::RightBasicData])
        disable({"用户设置", "科室设置", "开单医师设置", "系统设置", "报告项目设置", "检查部位设置", "部位分类设置"});
    if (!Mmain::gRights[Mmain::RightTemplates])
        disable({"词库维护", "模板管理"});
    if (!Mmain::gRights[Mmain::RightQuery]) {
        disable({"查询报告", "统计报告"});
        ButtnGraph->setEnabled(false);
        ButtnFind->setEnabled(false);
    }
    if (!Mmain::gRights[Mmain::RightBackup])
        disable({"备份数据", "还原数据", "清空数据"});
}

void FrmMain::tickSkin(int id)
{
    const char* names[] = {"金属", "海洋", "秋实"};
    if (id < 1 || id > 3)
        return;
    for (int i = 0; i < 3; ++i)
        action(QString::fromUtf8(names[i]))->setChecked(i == id - 1);
}

void FrmMain::ChangeSkin(int id)
{
    // Remember the choice and fill the palette. A choice that cannot be
    // remembered still colours this run.
    if (!Modini::RememberIniValue(IniKey::SkinId, QString::number(id), this))
        Modini::TellNotSaved(this);
    Palette::gSkinId = id;
    Palette::SetSkinColors(id);
    // The window's own colours.
    ApplySkin();
    // The shared menu skin.
    gMenuSkin.SkinColor1(Palette::gLineColor);
    gMenuSkin.SkinColor2(Palette::gCaptionColorFrom);
    gMenuSkin.SkinColor3(Palette::gCaptionColorTo);
    // The list.
    MSHFlexGrid1->viewport()->update();
    // The menu bar in its new colours.
    ucQvmenuBarV31->DetachMenu();
    ucQvmenuBarV31->AttachMenu(this);
    // The tick moves to the chosen skin.
    tickSkin(id);
    // Every open window shows the new palette.
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w->isVisible())
            w->update();
}

// ---------------------------------------------------------------------------
// Report commands.

void FrmMain::新建报告_Click()
{
    const QDate today = Environment::today();
    if (DTPicker1->date() != today) {
        {
            const QSignalBlocker block(DTPicker1);
            DTPicker1->setDate(today);
        }
        LoadDayList(today);
    }
    const QScopedValueRollback<bool> own(ownEditorOpen_, true);
    Openers::EditorNewReport();
}

void FrmMain::查看报告_Click()
{
    const QScopedValueRollback<bool> own(ownEditorOpen_, true);
    Openers::EditorOpenFromMainList(false, ReportList::CurrentOf(MSHFlexGrid1));
}

void FrmMain::修改报告_Click()
{
    const QScopedValueRollback<bool> own(ownEditorOpen_, true);
    Openers::EditorOpenFromMainList(true, ReportList::CurrentOf(MSHFlexGrid1));
}

void FrmMain::打印报告_Click()
{
    if (!Environment::anyPrinterInstalled()) {
        // A print service that does not run is an error, under the title the other print
        // commands give it.
        if (const std::optional<QString> down = Openers::PrintServiceDown())
            MessageBox::critical(*down, MessageBox::kErrorTitle);
        else
            MessageBox::information(QStringLiteral("没有安装打印机，请安装后再进行此操作"), MessageBox::kNoticeTitle);
        return;
    }
    try {
        if (ReportList::IsEmpty(MSHFlexGrid1)) {
            MessageBox::critical(QStringLiteral("当前记录集为空，没有需要打印的报告"), MessageBox::kErrorTitle);
            return;
        }
        Openers::OpenPreview(Openers::How::FromMain, ReportList::CurrentOf(MSHFlexGrid1).key);
    } catch (const AppError& e) {
        MessageBox::critical(e.trapText(), MessageBox::kErrorTitle);
    } catch (const std::exception& e) {
        MessageBox::critical(AppError(0, QString::fromLocal8Bit(e.what())).trapText(), MessageBox::kErrorTitle);
    }
}

void FrmMain::打印纸张设置_Click()
{
    if (!Environment::anyPrinterInstalled()) {
        MessageBox::critical(
            Openers::PrintServiceDown().value_or(QStringLiteral("未打印机，安装打印机后才能使用打印设置功能。")),
            MessageBox::kErrorTitle);
        return;
    }
    Openers::OpenPrintSettings();
}

void FrmMain::查询报告_Click() { Openers::OpenFind(); }
void FrmMain::统计报告_Click() { Openers::OpenStatistics(); }
void FrmMain::模板管理_Click() { Openers::OpenTemplateManager(); }

void FrmMain::主题帮助_Click()
{
    const QString help = AppPaths::file(QStringLiteral("help.chm"));
    const QString shown = QDir::toNativeSeparators(help);
    QString why;
    // A viewer that is registered for the type but no longer installed is found out only
    // by the launcher, after it started.
    const auto failedLater = [shown](const QString& said) {
        MessageBox::critical(
            QStringLiteral(
                "无法打开帮助文件 %1：本机登记的 CHM 阅读器无法启动（%2）。请安装一个 CHM 阅读器（如 xchm）。")
                .arg(shown, said),
            MessageBox::kErrorTitle);
    };
    switch (Environment::openWithDesktop(help, failedLater)) {
    case Environment::DesktopOpen::Opened: return;
    case Environment::DesktopOpen::Missing:
        why = AppError::format(AppError::FileNotFound, QStringLiteral("帮助文件 %1 未找到").arg(shown));
        break;
    case Environment::DesktopOpen::NoLauncher:
        why = QStringLiteral("本机没有 xdg-open，无法打开帮助文件 %1。请安装 xdg-utils 和一个 CHM 阅读器（如 xchm）。")
                  .arg(shown);
        break;
    case Environment::DesktopOpen::NoViewer:
        why = QStringLiteral("本机没有能打开 CHM 文件的程序，无法打开帮助文件 %1。请安装一个 CHM 阅读器（如 xchm）。")
                  .arg(shown);
        break;
    }
    MessageBox::critical(why, MessageBox::kErrorTitle);
}

// ---------------------------------------------------------------------------
// Database file commands.

void FrmMain::备份数据_Click() { ModBackup::Backup(this); }

void FrmMain::还原数据_Click()
{
    if (ModBackup::Restore(this) == ModBackup::Outcome::Done)
        LoadDayList(DTPicker1->date());
}

void FrmMain::清空数据_Click()
{
    if (ModBackup::Clear(this) == ModBackup::Outcome::Done)
        LoadDayList(DTPicker1->date());
}

// ---------------------------------------------------------------------------
// Small dialogs, re-login and exit.

void FrmMain::系统设置_Click()
{
    FrmJCpz dialog(this);
    dialog.Form_Load();
    Opener::showModal(&dialog);
}

void FrmMain::密码设置_Click()
{
    FrmPassword dialog(this);
    dialog.Form_Load();
    Opener::showModal(&dialog);
}

void FrmMain::关于本软件_Click()
{
    FrmAbout dialog(this);
    dialog.Form_Load();
    Opener::showModal(&dialog);
}

void FrmMain::重新登录_Click()
{
    relogin_ = true;
    close();
    Mmain::Relogin();
}

void FrmMain::退出_Click() { close(); }
