#include "core/MenuSkin.h"

#include "core/Palette.h"

#include <QAction>
#include <QCoreApplication>
#include <QEvent>
#include <QMenu>
#include <QMenuBar>

MenuSkin gMenuSkin;

namespace {
const QString kBegin = QStringLiteral("/* menuskin */");
const QString kEnd = QStringLiteral("/* menuskin end */");

QString css(qint32 c) { return Palette::ToQColor(c).name(QColor::HexRgb); }

// A style sheet without our block.
QString withoutBlock(const QString& sheet)
{
    const int b = sheet.indexOf(kBegin);
    if (b < 0)
        return sheet;
    const int e = sheet.indexOf(kEnd, b);
    if (e < 0)
        return sheet.left(b);
    return sheet.left(b) + sheet.mid(e + kEnd.size());
}

bool isMenuWidget(const QObject* o) { return qobject_cast<const QMenu*>(o) || qobject_cast<const QMenuBar*>(o); }

// Every menu and menu bar of a window: its descendants, and the menus their items lead to
// (a menu added to a bar need not be the bar's child).
void collectMenus(QWidget* w, std::vector<QWidget*>& out, int depth)
{
    if (!w || depth > 16 || std::find(out.begin(), out.end(), w) != out.end())
        return;
    out.push_back(w);
    for (QAction* a : w->actions())
        if (QMenu* m = a->menu())
            collectMenus(m, out, depth + 1);
}

std::vector<QWidget*> menusOf(QWidget* form)
{
    std::vector<QWidget*> out;
    if (isMenuWidget(form))
        collectMenus(form, out, 0);
    for (QMenuBar* bar : form->findChildren<QMenuBar*>())
        collectMenus(bar, out, 0);
    for (QMenu* menu : form->findChildren<QMenu*>())
        collectMenus(menu, out, 0);
    return out;
}

// Styles the menus that are polished after their window attached (context menus made later).
class NewMenuWatcher : public QObject {
public:
    using QObject::QObject;
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Polish && isMenuWidget(watched)) {
            auto* w = static_cast<QWidget*>(watched);
            if (gMenuSkin.insideAttachedForm(w))
                gMenuSkin.styleMenuWidget(w);
        }
        return false;
    }
};
}

void MenuSkin::setAndRestyle(qint32& value, qint32 to)
{
    value = to;
    restyleAll();
}

QString MenuSkin::styleSheet() const
{
    const QString line = css(color1_), dark = css(color2_), light = css(color3_);
    const QString selection =
        flag_ == 0 ? QStringLiteral("qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 %1, stop:1 %2)").arg(light, dark)
                   : light;
    return QStringLiteral("QMenuBar::item:selected { background: %1; border: 1px solid %2; }"
                          "QMenu { background: #ffffff; border: 1px solid %2; padding: 2px; }"
                          "QMenu::item { padding: 4px 28px 4px 26px; border: 1px solid transparent; color: #000000; }"
                          "QMenu::item:selected { background: %1; border: 1px solid %2; }"
                          "QMenu::item:disabled { color: #8c8c8c; }"
                          "QMenu::separator { height: 1px; background: %3; margin: 3px 6px 3px 24px; }")
        .arg(selection, line, dark);
}

void MenuSkin::styleMenuWidget(QWidget* w) const
{
    if (!w)
        return;
    // A menu with a look of its own keeps it.
    if (!withoutBlock(w->styleSheet()).trimmed().isEmpty())
        return;
    const QString sheet = kBegin + styleSheet() + kEnd;
    if (w->styleSheet() != sheet)
        w->setStyleSheet(sheet);
}

void MenuSkin::apply(QWidget* form) const
{
    for (QWidget* m : menusOf(form))
        styleMenuWidget(m);
}

void MenuSkin::remove(QWidget* form)
{
    for (QWidget* m : menusOf(form)) {
        const QString sheet = m->styleSheet();
        if (sheet.contains(kBegin))
            m->setStyleSheet(withoutBlock(sheet));
    }
}

void MenuSkin::prune()
{
    std::erase_if(forms_, [](const QPointer<QWidget>& f) { return f.isNull(); });
}

void MenuSkin::watchNewMenus()
{
    if (watcher_ || !QCoreApplication::instance())
        return;
    // Owned by the application, so it goes with it.
    auto* watcher = new NewMenuWatcher(QCoreApplication::instance());
    QCoreApplication::instance()->installEventFilter(watcher);
    watcher_ = watcher;
}

void MenuSkin::AttachForm(QWidget* form)
{
    if (!form)
        return;
    prune();
    watchNewMenus();
    if (!isAttached(form))
        forms_.emplace_back(form);
    apply(form);
}

void MenuSkin::DetachForm(QWidget* form)
{
    if (!form)
        return;
    std::erase_if(forms_, [form](const QPointer<QWidget>& f) { return f.isNull() || f.data() == form; });
    remove(form);
}

bool MenuSkin::isAttached(const QWidget* form) const
{
    return std::any_of(forms_.begin(), forms_.end(), [form](const QPointer<QWidget>& f) { return f.data() == form; });
}

int MenuSkin::attachedCount() const
{
    return int(std::count_if(forms_.begin(), forms_.end(), [](const QPointer<QWidget>& f) { return !f.isNull(); }));
}

bool MenuSkin::insideAttachedForm(const QWidget* w) const
{
    for (const QWidget* p = w; p; p = p->parentWidget())
        if (isAttached(p))
            return true;
    return false;
}

void MenuSkin::restyleAll()
{
    prune();
    for (const auto& f : forms_)
        apply(f.data());
}
