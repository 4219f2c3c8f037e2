#include "core/QvScrollBar.h"

#include "core/Palette.h"

#include <QPainter>
#include <QPainterPath>
#include <QStyleOptionSlider>

QvScrollBar::QvScrollBar(Qt::Orientation orientation, QWidget* parent) : QScrollBar(orientation, parent)
{
    setRange(0, 0);
    setSingleStep(1);
    setPageStep(1);
    connect(this, &QScrollBar::valueChanged, this, [this] { emit Change(); });
}

void QvScrollBar::setMax(int max) { setMaximum(std::max(max, 0)); }

void QvScrollBar::setBackColor(qint32 color)
{
    backColor_ = color;
    update();
}

void QvScrollBar::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    QStyleOptionSlider opt;
    initStyleOption(&opt);
    const bool filled = Palette::PaletteFilled();
    const QColor back = Palette::ToQColor(backColor_);
    const QColor line = filled ? Palette::ToQColor(Palette::gLineColor) : QColor(0x70, 0x70, 0x70);
    const QColor faceTop = filled ? Palette::ToQColor(Palette::gCaptionColorTo) : QColor(0xF8, 0xF8, 0xF8);
    const QColor faceBottom = filled ? Palette::ToQColor(Palette::gCaptionColorFrom) : QColor(0xA0, 0xA0, 0xA0);
    const bool vertical = orientation() == Qt::Vertical;

    p.fillRect(rect(), back);
    p.setPen(back.darker(112));
    p.drawRect(rect().adjusted(0, 0, -1, -1));

    auto face = [&](const QRect& r, bool pressed) {
        if (r.isEmpty())
            return;
        QLinearGradient g(r.topLeft(), vertical ? r.topRight() : r.bottomLeft());
        g.setColorAt(0, pressed ? faceBottom : faceTop);
        g.setColorAt(1, pressed ? faceTop : faceBottom);
        p.fillRect(r.adjusted(1, 1, -1, -1), g);
        p.setPen(line);
        p.drawRect(r.adjusted(0, 0, -1, -1));
    };
    auto arrow = [&](const QRect& r, Qt::ArrowType dir) {
        const QPointF c = QRectF(r).center();
        const double s = std::min(r.width(), r.height()) / 5.0;
        QPainterPath path;
        switch (dir) {
        case Qt::UpArrow:
            path.moveTo(c.x() - s, c.y() + s / 2);
            path.lineTo(c.x() + s, c.y() + s / 2);
            path.lineTo(c.x(), c.y() - s / 2);
            break;
        case Qt::DownArrow:
            path.moveTo(c.x() - s, c.y() - s / 2);
            path.lineTo(c.x() + s, c.y() - s / 2);
            path.lineTo(c.x(), c.y() + s / 2);
            break;
        case Qt::LeftArrow:
            path.moveTo(c.x() + s / 2, c.y() - s);
            path.lineTo(c.x() + s / 2, c.y() + s);
            path.lineTo(c.x() - s / 2, c.y());
            break;
        default:
            path.moveTo(c.x() - s / 2, c.y() - s);
            path.lineTo(c.x() - s / 2, c.y() + s);
            path.lineTo(c.x() + s / 2, c.y());
            break;
        }
        path.closeSubpath();
        p.setRenderHint(QPainter::Antialiasing, true);
        p.fillPath(path, isEnabled() ? line : line.lighter(160));
        p.setRenderHint(QPainter::Antialiasing, false);
    };

    const QStyle* st = style();
    const QRect sub = st->subControlRect(QStyle::CC_ScrollBar, &opt, QStyle::SC_ScrollBarSubLine, this);
    const QRect add = st->subControlRect(QStyle::CC_ScrollBar, &opt, QStyle::SC_ScrollBarAddLine, this);
    const QRect thumb = st->subControlRect(QStyle::CC_ScrollBar, &opt, QStyle::SC_ScrollBarSlider, this);
    const auto pressed = opt.activeSubControls;
    const bool sunken = opt.state & QStyle::State_Sunken;
    face(sub, sunken && (pressed & QStyle::SC_ScrollBarSubLine));
    face(add, sunken && (pressed & QStyle::SC_ScrollBarAddLine));
    arrow(sub, vertical ? Qt::UpArrow : Qt::LeftArrow);
    arrow(add, vertical ? Qt::DownArrow : Qt::RightArrow);
    if (maximum() > minimum() && isEnabled())
        face(thumb, sunken && (pressed & QStyle::SC_ScrollBarSlider));
}
