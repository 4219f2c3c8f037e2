#include "core/SkinPanel.h"

#include "core/Palette.h"

#include <QImage>
#include <QPaintEvent>

PaintPanel::PaintPanel(QWidget* parent) : QWidget(parent) { setAttribute(Qt::WA_OpaquePaintEvent); }

void PaintPanel::setBackColor(qint32 color)
{
    backColor_ = color;
    drawings_.clear();
    update();
}

qint32 PaintPanel::backColor() const
{
    return backColor_ ? *backColor_ : Palette::FromQColor(palette().color(QPalette::Window));
}

void PaintPanel::cls()
{
    drawings_.clear();
    update();
}

void PaintPanel::setDrawing(const QString& key, Drawing drawing)
{
    for (auto& d : drawings_) {
        if (d.first == key) {
            d.second = std::move(drawing);
            update();
            return;
        }
    }
    drawings_.emplace_back(key, std::move(drawing));
    update();
}

QStringList PaintPanel::drawings() const
{
    QStringList keys;
    for (const auto& d : drawings_)
        keys << d.first;
    return keys;
}

QImage PaintPanel::renderImage() const
{
    QImage img(size(), QImage::Format_RGB32);
    img.fill(Qt::black);
    QPainter p(&img);
    paintSurface(p);
    return img;
}

void PaintPanel::paintSurface(QPainter& p) const
{
    const QColor back = backColor_ ? Palette::ToQColor(*backColor_) : palette().color(QPalette::Window);
    p.fillRect(QRect(QPoint(0, 0), size()), back);
    for (const auto& d : drawings_) {
        p.save();
        p.setFont(font());
        d.second(p, size(), font());
        p.restore();
    }
}

void PaintPanel::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    paintSurface(p);
}

void PaintPanel::resizeEvent(QResizeEvent* e)
{
    QWidget::resizeEvent(e);
    update();
    emit Resize();
}
