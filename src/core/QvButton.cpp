#include "core/QvButton.h"

#include "core/Palette.h"

#include <QEnterEvent>
#include <QLinearGradient>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QStyle>

namespace {
QColor mix(const QColor& a, const QColor& b, double t)
{
    return QColor::fromRgbF(float(a.redF() * (1 - t) + b.redF() * t), float(a.greenF() * (1 - t) + b.greenF() * t),
                            float(a.blueF() * (1 - t) + b.blueF() * t));
}

int vbButton(Qt::MouseButton b)
{
    switch (b) {
    case Qt::LeftButton: return 1;
    case Qt::RightButton: return 2;
    case Qt::MiddleButton: return 4;
    default: return 0;
    }
}

int vbShift(Qt::KeyboardModifiers m)
{
    return (m & Qt::ShiftModifier ? 1 : 0) | (m & Qt::ControlModifier ? 2 : 0) | (m & Qt::AltModifier ? 4 : 0);
}
}

QvButton::QvButton(QWidget* parent) : QAbstractButton(parent)
{
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_Hover);
    setIconSize(QSize(16, 16));
}

QvButton::QvButton(const QString& caption, QWidget* parent) : QvButton(parent) { setText(caption); }

void QvButton::setColor(ButtonProp prop, qint32 color) { setColor(quint32(prop), color); }

void QvButton::setColor(quint32 propNumber, qint32 color)
{
    colors_[propNumber] = color;
    update();
}

qint32 QvButton::color(ButtonProp prop) const { return colors_.value(quint32(prop), 0); }

QColor QvButton::propColor(ButtonProp prop, const QColor& fallback) const
{
    const auto it = colors_.constFind(quint32(prop));
    return it == colors_.constEnd() ? fallback : Palette::ToQColor(*it);
}

QSize QvButton::sizeHint() const
{
    const QFontMetrics fm(font());
    QString t = text();
    t.remove(QLatin1Char('&'));
    int w = fm.horizontalAdvance(t) + 24;
    if (!icon().isNull())
        w += iconSize().width() + 4;
    return QSize(std::max(w, 60), std::max(fm.height() + 10, 24));
}

QSize QvButton::minimumSizeHint() const { return QSize(16, 16); }

void QvButton::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing, true);
    const bool enabled = isEnabled();
    const bool down = enabled && isDown();
    const bool hover = enabled && !down && (hover_ || underMouse());

    QColor top = propColor(ButtonProp::FaceTop, QColor(0xFF, 0xFF, 0xFF));
    QColor bottom = propColor(ButtonProp::FaceBottom, QColor(0xD8, 0xD8, 0xD8));
    QColor fore = propColor(ButtonProp::ForeColor, Qt::black);
    if (hover) {
        top = propColor(ButtonProp::HoverTop, top);
        bottom = propColor(ButtonProp::HoverBottom, bottom);
        fore = propColor(ButtonProp::HoverForeColor, fore);
    } else if (down) {
        // Pressed: the pressed colours, a shade deeper, and the caption moves by a pixel.
        top = propColor(ButtonProp::DownTop, top).darker(108);
        bottom = propColor(ButtonProp::DownBottom, bottom).darker(108);
        fore = propColor(ButtonProp::DownForeColor, fore);
    }
    const QColor border = propColor(ButtonProp::BorderColor, QColor(0x70, 0x70, 0x70));

    const QRectF r = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
    QPainterPath path;
    path.addRoundedRect(r, 3, 3);
    QLinearGradient grad(r.topLeft(), r.bottomLeft());
    grad.setColorAt(0, top);
    grad.setColorAt(1, bottom);
    p.fillPath(path, grad);
    // A soft frame at rest, the full line colour under the mouse and while pressed.
    QColor frame = (hover || down) ? border : mix(border, bottom, enabled ? 0.45 : 0.65);
    p.setPen(QPen(frame, 1));
    p.drawPath(path);
    if (!down && enabled) {
        // A light inner edge along the top gives the face some depth.
        QColor hi = top.lighter(112);
        hi.setAlpha(140);
        p.setPen(QPen(hi, 1));
        p.drawLine(QPointF(r.left() + 3, r.top() + 1), QPointF(r.right() - 3, r.top() + 1));
    }

    p.setRenderHint(QPainter::Antialiasing, false);
    QColor textColor = enabled ? fore : mix(fore, bottom, 0.6);
    const int shift = down ? 1 : 0;
    QRect content = rect().adjusted(4 + shift, 2 + shift, -4 + shift, -2 + shift);
    const QFontMetrics fm(font());
    const QString plain = QString(text()).remove(QLatin1Char('&'));
    if (!icon().isNull()) {
        const QPixmap pm = icon().pixmap(iconSize(), enabled ? QIcon::Normal : QIcon::Disabled);
        const int textW = plain.isEmpty() ? 0 : fm.horizontalAdvance(plain);
        if (content.height() >= iconSize().height() + fm.height() + 4 && !plain.isEmpty()) {
            // Icon above the caption.
            const int total = iconSize().height() + 2 + fm.height();
            const int y0 = content.top() + (content.height() - total) / 2;
            p.drawPixmap(content.left() + (content.width() - iconSize().width()) / 2, y0, pm);
            content = QRect(content.left(), y0 + iconSize().height() + 2, content.width(), fm.height());
        } else {
            const int total = iconSize().width() + (textW ? 4 + textW : 0);
            const int x0 = content.left() + (content.width() - total) / 2;
            p.drawPixmap(x0, content.top() + (content.height() - iconSize().height()) / 2, pm);
            content.setLeft(x0 + iconSize().width() + 4);
            content.setWidth(textW + 2);
        }
    }
    p.setPen(textColor);
    p.setFont(font());
    p.drawText(content, Qt::AlignCenter | Qt::TextShowMnemonic, text());

    if (hasFocus() && enabled) {
        QPen pen(propColor(ButtonProp::FocusColor, fore), 1, Qt::DotLine);
        p.setPen(pen);
        p.drawRect(rect().adjusted(3, 3, -4, -4));
    }
}

void QvButton::mousePressEvent(QMouseEvent* e)
{
    if (isEnabled()) {
        const QPoint pos = e->position().toPoint();
        emit MouseDown(vbButton(e->button()), vbShift(e->modifiers()), pos.x(), pos.y());
    }
    QAbstractButton::mousePressEvent(e);
}

void QvButton::enterEvent(QEnterEvent* e)
{
    hover_ = true;
    update();
    QAbstractButton::enterEvent(e);
}

void QvButton::leaveEvent(QEvent* e)
{
    hover_ = false;
    update();
    QAbstractButton::leaveEvent(e);
}

void QvButton::changeEvent(QEvent* e)
{
    if (e->type() == QEvent::EnabledChange)
        hover_ = false;
    QAbstractButton::changeEvent(e);
    update();
}
