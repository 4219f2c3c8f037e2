#include "core/MenuSkin.h"

#include "core/Palette.h"

MenuSkin gMenuSkin;

namespace {
const QString kBegin = QStringLiteral("/* menuskin */");
const QString kEnd = QStringLiteral("/* menuskin end */");

QString css(qint32 c) { return Palette::ToQColor(c).name(QColor::HexRgb); }

// The form's style sheet without our block.
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
}

void MenuSkin::SkinColor1(qint32 color)
{
    color1_ = color;
    restyleAll();
}

void MenuSkin::SkinColor2(qint32 color)
{
    color2_ = color;
    restyleAll();
}

void MenuSkin::SkinColor3(qint32 color)
{
    color3_ = color;
    restyleAll();
}

void MenuSkin::SkinFlag(qint32 flag)
{
    flag_ = flag;
    restyleAll();
}

QString MenuSkin::styleSheet() const
{
    const QString line = css(color1_), dark = css(color2_), light = css(color3_);
    const QString selection = flag_ == 0
        ? QStringLiteral("qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 %1, stop:1 %2)").arg(light, dark)
        : light;
    return QStringLiteral(
               "QMenuBar::item:selected { background: %1; border: 1px solid %2; }"
               "QMenu { background: #ffffff; border: 1px solid %2; padding: 2px; }"
               "QMenu::item { padding: 4px 28px 4px 26px; border: 1px solid transparent; color: #000000; }"
               "QMenu::item:selected { background: %1; border: 1px solid %2; }"
               "QMenu::item:disabled { color: #8c8c8c; }"
               "QMenu::separator { height: 1px; background: %3; margin: 3px 6px 3px 24px; }")
        .arg(selection, line, dark);
}

void MenuSkin::apply(QWidget* form) const
{
    form->setStyleSheet(withoutBlock(form->styleSheet()) + kBegin + styleSheet() + kEnd);
}

void MenuSkin::remove(QWidget* form) { form->setStyleSheet(withoutBlock(form->styleSheet())); }

void MenuSkin::prune()
{
    std::erase_if(forms_, [](const QPointer<QWidget>& f) { return f.isNull(); });
}

void MenuSkin::AttachForm(QWidget* form)
{
    if (!form)
        return;
    prune();
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

void MenuSkin::restyleAll()
{
    prune();
    for (const auto& f : forms_)
        apply(f.data());
}
