#pragma once
#include <QHash>
#include <QList>
#include <QMetaObject>
#include <QPointer>
#include <QString>
#include <QVariantList>
#include <QWidget>

class PaintPanel;
class QAction;
class QDateEdit;
class QKeyEvent;
class QLabel;
class QMenu;
class QTableView;
class QvButton;
class QvMenuBar;

// The main window: the reports of one report date, the menus, the tool bar
// and the commands behind them. It exists from a successful login until exit
// or re-login; closing it closes the database.
class FrmMain : public QWidget {
    Q_OBJECT
public:
    // Creates the window, runs its load and shows it maximised.
    static FrmMain* ShowMain();
    // The open main window, if any.
    static FrmMain* current();

    ~FrmMain() override;

    // --- the list (FrmMain.cpp) -------------------------------------------
    void LoadReportList(const QString& sql, const QVariantList& params = {});
    void LoadDayList(const QDate& date);
    void DTPicker1_Change();
    void MSHFlexGrid1_MouseUp(Qt::MouseButton button, const QPoint& pos);
    void 删除报告_Click();

    // --- commands (FrmMainCommands.cpp) -----------------------------------
    void 新建报告_Click();
    void 查看报告_Click();
    void 修改报告_Click();
    void 打印报告_Click();
    void 打印纸张设置_Click();
    void 查询报告_Click();
    void 统计报告_Click();
    void 模板管理_Click();
    void 主题帮助_Click();
    void 备份数据_Click();
    void 还原数据_Click();
    void 清空数据_Click();
    void 系统设置_Click();
    void 密码设置_Click();
    void 关于本软件_Click();
    void 重新登录_Click();
    void 退出_Click();
    void ChangeSkin(int id);
    void ApplySkin();
    void ApplyRights();

    // A menu item, pop-up item or skin item by its control name
    // ("新建报告", "查看报告m", "查看报告", "金属", ...).
    QAction* action(const QString& name) const;
    QMenu* menu(const QString& name) const;   // "报告", "设置", "模板", "维护", "系统", "皮肤选择"

    // Controls, under their established names.
    PaintPanel* Pictool = nullptr;
    QvMenuBar* ucQvmenuBarV31 = nullptr;
    QWidget* Linetool2 = nullptr;
    QvButton* ButtnNew = nullptr;
    QvButton* buttnview = nullptr;
    QvButton* buttnfix = nullptr;
    QvButton* ButtnDel = nullptr;
    QvButton* ButtnPrint = nullptr;
    QvButton* ButtnFind = nullptr;
    QvButton* ButtnGraph = nullptr;
    QLabel* Label1 = nullptr;
    QDateEdit* DTPicker1 = nullptr;
    QTableView* MSHFlexGrid1 = nullptr;
    PaintPanel* PicStatusBar = nullptr;
    QLabel* LabUser = nullptr;
    QMenu* popupmenut = nullptr;

    // The layout rules, as pure functions of sizes in pixels.
    static bool ResizeApplies(const QSize& outerSizePx);
    static constexpr int kStatusBarHeight = 25;
    static constexpr int kToolButtonSize = 58;   // 870 twips

protected:
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    FrmMain();
    void Form_Load();
    void Form_Resize();
    void Form_Unload();
    void buildControls();
    void buildMenus();
    void layoutToolbar();
    void tickSkin(int id);
    bool isMenuKey(const QKeyEvent* event) const;   // an enabled menu command's key
    QAction* addItem(QMenu* menu, const QString& name, const QString& caption, const QKeySequence& key,
                     void (FrmMain::*handler)());

    QHash<QString, QAction*> actions_;
    QHash<QString, QMenu*> menus_;
    // The list follows the reports the store announces while the window is loaded.
    QList<QMetaObject::Connection> storeLinks_;
    // While the editor this window opened (new, view, modify) is open: a new
    // report it saves becomes the list's selected row.
    bool ownEditorOpen_ = false;
    bool relogin_ = false;
    bool unloaded_ = false;
};
