#pragma once
#include <QMap>
#include <QMenuBar>
#include <QPointer>

// The main window's skinned menu bar (ucQvmenuBarV31). The window adds its top-level menus
// to it like to any QMenuBar; the nine colour properties give its look while it is attached.
//
// Usage in the main window:
//   ucQvmenuBarV31 = new QvMenuBar(Pictool);
//   QMenu* m = ucQvmenuBarV31->addMenu(QStringLiteral("报告管理"));   // menus are children of the bar
//   Skin::FrmMainApplySkin(parts);          // writes the nine colours
//   ucQvmenuBarV31->AttachMenu(this);       // load, and at the end of a skin change
//   ucQvmenuBarV31->DetachMenu();           // unload, and at the start of a skin change
//
// Attached, the bar and every pop-up menu reachable from it draw in the skin colours;
// detached, they fall back to the plain platform look.
enum class MenuBarProp : quint32 {
    SeparatorColor = 0x68030000,   // separators and ticks of the pop-up menus
    OpenBottom = 0x68030005,       // a top-level item whose menu is open: face bottom
    OpenTop = 0x68030006,          // ... and face top
    OpenForeColor = 0x6803000D,    // ... and its caption
    HoverForeColor = 0x6803000E,   // caption of the item under the mouse
    ForeColor = 0x6803000F,        // captions
    HoverBackColor = 0x68030010,   // face of the item under the mouse
    PopupBackColor = 0x68030011,   // pop-up menu background
    FrameColor = 0x68030013,       // frames of pop-up menus and of the item under the mouse
};

class QvMenuBar : public QMenuBar {
    Q_OBJECT
public:
    explicit QvMenuBar(QWidget* parent = nullptr);

    // Shows the skinned menu for form (the window that owns the menu commands).
    // imageList is accepted for the call's shape and not used.
    void AttachMenu(QWidget* form, QObject* imageList = nullptr, bool flag = true);
    void DetachMenu();
    bool isAttached() const { return attached_; }
    QWidget* attachedForm() const { return form_; }

    void setColor(MenuBarProp prop, qint32 color);
    void setColor(quint32 propNumber, qint32 color);
    qint32 color(MenuBarProp prop) const;
    const QMap<quint32, qint32>& colors() const { return colors_; }

    // The style sheet the colours give (applied while attached).
    QString skinStyleSheet() const;

private:
    void restyle();
    void styleMenus(QMenu* menu, const QString& sheet, int depth);

    QMap<quint32, qint32> colors_;
    QPointer<QWidget> form_;
    bool attached_ = false;
};
