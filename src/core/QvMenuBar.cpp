#include "core/QvMenuBar.h"

#include "core/Palette.h"

#include <QMenu>

namespace {
QString css(const QColor& c) { return c.name(QColor::HexRgb); }
}

QvMenuBar::QvMenuBar(QWidget* parent) : QMenuBar(parent)
{
    setNativeMenuBar(false);
    // Until the window sets them: the first skin's colours.
    colors_[quint32(MenuBarProp::SeparatorColor)] = 0x00A0A0A0;
    colors_[quint32(MenuBarProp::OpenBottom)] = 0x00A0A0A0;
    colors_[quint32(MenuBarProp::OpenTop)] = 0x00F8F8F8;
    colors_[quint32(MenuBarProp::OpenForeColor)] = 0x00404080;
    colors_[quint32(MenuBarProp::HoverForeColor)] = 0x00000080;
    colors_[quint32(MenuBarProp::ForeColor)] = 0x00000000;
    colors_[quint32(MenuBarProp::HoverBackColor)] = 0x0040D0FF;
    colors_[quint32(MenuBarProp::PopupBackColor)] = 0x00F8F8F8;
    colors_[quint32(MenuBarProp::FrameColor)] = 0x00909090;
}

void QvMenuBar::AttachMenu(QWidget* form, QObject*, bool)
{
    form_ = form;
    attached_ = true;
    restyle();
}

void QvMenuBar::DetachMenu()
{
    attached_ = false;
    form_ = nullptr;
    restyle();
}

void QvMenuBar::setColor(MenuBarProp prop, qint32 color) { setColor(quint32(prop), color); }

void QvMenuBar::setColor(quint32 propNumber, qint32 color)
{
    colors_[propNumber] = color;
    if (attached_)
        restyle();
}

qint32 QvMenuBar::color(MenuBarProp prop) const { return colors_.value(quint32(prop), 0); }

QString QvMenuBar::skinStyleSheet() const
{
    auto c = [this](MenuBarProp p) { return Palette::ToQColor(color(p)); };
    const QColor fore = c(MenuBarProp::ForeColor);
    const QColor popup = c(MenuBarProp::PopupBackColor);
    const QColor disabled = QColor::fromRgbF(float(fore.redF() * 0.4 + popup.redF() * 0.6),
                                             float(fore.greenF() * 0.4 + popup.greenF() * 0.6),
                                             float(fore.blueF() * 0.4 + popup.blueF() * 0.6));
    return QStringLiteral(
               "QMenuBar { background: transparent; color: %1; spacing: 1px; }"
               "QMenuBar::item { background: transparent; padding: 3px 10px; border: 1px solid transparent;"
               " border-radius: 2px; }"
               "QMenuBar::item:selected { background: %2; border: 1px solid %3; color: %4; }"
               "QMenuBar::item:pressed { background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 %5, stop:1 %6);"
               " border: 1px solid %3; color: %7; }"
               "QMenu { background: %8; border: 1px solid %3; color: %1; padding: 2px; }"
               "QMenu::item { padding: 4px 28px 4px 26px; border: 1px solid transparent; }"
               "QMenu::item:selected { background: %2; border: 1px solid %3; color: %4; }"
               "QMenu::item:disabled { color: %9; }"
               "QMenu::separator { height: 1px; background: %10; margin: 3px 6px 3px 24px; }")
        .arg(css(fore), css(c(MenuBarProp::HoverBackColor)), css(c(MenuBarProp::FrameColor)),
             css(c(MenuBarProp::HoverForeColor)), css(c(MenuBarProp::OpenTop)), css(c(MenuBarProp::OpenBottom)),
             css(c(MenuBarProp::OpenForeColor)), css(popup), css(disabled))
        .arg(css(c(MenuBarProp::SeparatorColor)));
}

void QvMenuBar::styleMenus(QMenu* menu, const QString& sheet, int depth)
{
    if (!menu || depth > 16)
        return;
    menu->setStyleSheet(sheet);
    for (QAction* a : menu->actions())
        styleMenus(a->menu(), sheet, depth + 1);
}

void QvMenuBar::restyle()
{
    const QString sheet = attached_ ? skinStyleSheet() : QString();
    setStyleSheet(sheet);
    // Menus that are not children of the bar do not inherit its style: give it to them too.
    for (QAction* a : actions())
        styleMenus(a->menu(), sheet, 0);
}
