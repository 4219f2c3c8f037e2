#pragma once
#include <QPointer>
#include <QString>
#include <QWidget>
#include <vector>

class QObject;

// The shared menu-skin object: it colours the menus (menu bars, pop-up and context menus)
// of the windows attached to it, from three colours.
//
// Usage:
//   // main window load, after the list is loaded:
//   gMenuSkin.SkinColor1(Palette::gLineColor);
//   gMenuSkin.SkinColor2(Palette::gCaptionColorFrom);
//   gMenuSkin.SkinColor3(Palette::gCaptionColorTo);
//   gMenuSkin.SkinFlag(0);
//   gMenuSkin.AttachForm(this);
//   // every attached window: load -> gMenuSkin.AttachForm(this); unload -> gMenuSkin.DetachForm(this);
//   // skin change: SkinColor1..3 again; attached windows follow at once.
//
// Only the menus themselves are styled, never the window: the window's own colours (set
// through palettes by the skin routines) stay exactly as its skin routine left them. Menus
// created later inside an attached window are coloured when they are first polished. A menu
// that carries a style of its own (the main window's skinned menu bar and its menus) keeps
// it. A window that is destroyed while attached simply drops out. No call ever fails.
class MenuSkin {
public:
    void SkinColor1(qint32 color) { setAndRestyle(color1_, color); }   // lines and frames
    void SkinColor2(qint32 color) { setAndRestyle(color2_, color); }   // selection, dark end
    void SkinColor3(qint32 color) { setAndRestyle(color3_, color); }   // selection, light end
    // 0: gradient selection; any other value: flat selection.
    void SkinFlag(qint32 flag) { setAndRestyle(flag_, flag); }
    qint32 skinColor1() const { return color1_; }
    qint32 skinColor2() const { return color2_; }
    qint32 skinColor3() const { return color3_; }
    qint32 skinFlag() const { return flag_; }

    void AttachForm(QWidget* form);
    void DetachForm(QWidget* form);
    bool isAttached(const QWidget* form) const;
    int attachedCount() const;

    // The style rules given to the menus of attached windows.
    QString styleSheet() const;

    // Whether w (a menu or menu bar) lies inside an attached window.
    bool insideAttachedForm(const QWidget* w) const;
    // Styles one menu or menu bar (used for menus polished after their window attached).
    void styleMenuWidget(QWidget* w) const;

private:
    // Takes the new colour or flag and restyles every attached window at once.
    void setAndRestyle(qint32& value, qint32 to);
    void restyleAll();
    void apply(QWidget* form) const;
    static void remove(QWidget* form);
    void prune();
    void watchNewMenus();

    qint32 color1_ = 0x00404040;
    qint32 color2_ = 0x00A0A0A0;
    qint32 color3_ = 0x00F8F8F8;
    qint32 flag_ = 0;
    std::vector<QPointer<QWidget>> forms_;
    QPointer<QObject> watcher_;
};

extern MenuSkin gMenuSkin;
