#include "editor/EditorControls.h"

#include "core/Palette.h"

#include <QMouseEvent>
#include <QPainter>
#include <algorithm>
#include <cmath>

EdPicture::EdPicture(QWidget* parent) : QWidget(parent) {}

void EdPicture::setPicture(const QImage& img)
{
    image_ = img;
    update();
}

void EdPicture::Cls()
{
    image_ = QImage();
    update();
}

void EdPicture::mousePressEvent(QMouseEvent* e)
{
    int button = 0;
    switch (e->button()) {
    case Qt::LeftButton: button = 1; break;
    case Qt::RightButton: button = 2; break;
    case Qt::MiddleButton: button = 4; break;
    default: break;
    }
    const Qt::KeyboardModifiers m = e->modifiers();
    const int shift =
        (m & Qt::ShiftModifier ? 1 : 0) | (m & Qt::ControlModifier ? 2 : 0) | (m & Qt::AltModifier ? 4 : 0);
    emit MouseDown(button, shift, int(e->position().x()), int(e->position().y()));
    e->accept();
}

void EdPicture::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.fillRect(rect(), palette().color(QPalette::Window));
    if (!image_.isNull())
        p.drawImage(rect(), image_);   // stretched, the aspect ratio is not kept
    p.setPen(EditorColors::line());
    p.drawRect(rect().adjusted(0, 0, -1, -1));
}

namespace {
double luminance(const QColor& c)
{
    auto channel = [](double v) { return v <= 0.04045 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4); };
    return 0.2126 * channel(c.redF()) + 0.7152 * channel(c.greenF()) + 0.0722 * channel(c.blueF());
}

QColor mix(const QColor& from, const QColor& to, double t)
{
    return QColor::fromRgbF(float(from.redF() + (to.redF() - from.redF()) * t),
                            float(from.greenF() + (to.greenF() - from.greenF()) * t),
                            float(from.blueF() + (to.blueF() - from.blueF()) * t));
}

// The contrast ratio of two colours, 1 to 21, from their relative luminance (sRGB).
double contrastRatio(const QColor& a, const QColor& b)
{
    const double la = luminance(a), lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}
}

void keepLegibleWhenDisabled(QWidget* field)
{
    // Far above 4.5 by colour: antialiasing draws the thin strokes of a short
    // value ("女", "admin") lighter than the colour, in the thinnest of them
    // about half way to the background (#606060 on #EFEFEF, 5.47:1 by colour,
    // measured 2.7 to 3.0:1 in such strokes). At 12:1 by colour every glyph
    // drawn still keeps 4.5:1.
    constexpr double kLegible = 12.0;
    QPalette pal = field->palette();
    const QColor back = pal.color(QPalette::Disabled, QPalette::Base);
    if (contrastRatio(pal.color(QPalette::Disabled, QPalette::Text), back) >= kLegible)
        return;
    // The platform's greyed text is too pale: start from the enabled text
    // and lighten it toward the background while it stays legible.
    const QColor text = pal.color(QPalette::Active, QPalette::Text);
    QColor best = text;
    for (int step = 1; step <= 20; ++step) {
        const QColor c = mix(text, back, step / 20.0);
        if (contrastRatio(c, back) < kLegible)
            break;
        best = c;
    }
    // Only this one colour becomes the field's own; the others keep
    // following the window's (the theme sets the window's colours later).
    pal.setResolveMask(0);
    pal.setColor(QPalette::Disabled, QPalette::Text, best);
    field->setPalette(pal);
}

void nameElement(QObject* control, const QString& array, int index)
{
    control->setObjectName(QStringLiteral("%1(%2)").arg(array).arg(index));
}

namespace EditorColors {
using namespace Palette;
QColor line() { return ToQColor(gLineColor); }
QColor captionFrom() { return ToQColor(gCaptionColorFrom); }
QColor captionTo() { return ToQColor(gCaptionColorTo); }
QColor statusFrom() { return ToQColor(gStatusColorFrom); }
QColor statusTo() { return ToQColor(gStatusColorTo); }
QColor formBack() { return ToQColor(gFormBackColor); }
QColor toolBack() { return ToQColor(gToolBackColor); }
QColor panelBack() { return ToQColor(gPanelBackColor); }
int captionHeight() { return gCaptionHeight > 0 ? gCaptionHeight : 21; }
}
