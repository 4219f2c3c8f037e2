#include "editor/EditorControls.h"

#include <QPainter>
#include <QStyleOptionButton>
#include <algorithm>

EdPanel::EdPanel(QWidget* parent)
    : QWidget(parent)
{
    setAttribute(Qt::WA_OpaquePaintEvent, false);
}

void EdPanel::setBackColor(const QColor& c)
{
    back_ = c;
    drawings_.clear();
    update();
}

void EdPanel::cls()
{
    drawings_.clear();
    update();
}

void EdPanel::setDrawing(const QString& key, Drawing drawing)
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

bool EdPanel::hasDrawing(const QString& key) const
{
    return std::any_of(drawings_.begin(), drawings_.end(), [&](const auto& d) { return d.first == key; });
}

void EdPanel::paintSurface(QPainter& p) const
{
    if (back_.isValid())
        p.fillRect(rect(), back_);
    for (const auto& d : drawings_)
        d.second(p, size(), font());
}

QImage EdPanel::renderImage() const
{
    QImage img(size(), QImage::Format_RGB32);
    img.fill(Qt::white);
    QPainter p(&img);
    paintSurface(p);
    return img;
}

void EdPanel::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    paintSurface(p);
}

void EdPanel::resizeEvent(QResizeEvent* e)
{
    QWidget::resizeEvent(e);
    emit Resize();
}

EdButton::EdButton(const QString& caption, QWidget* parent)
    : QPushButton(caption, parent)
{
    setAutoDefault(false);
    setDefault(false);
    setFocusPolicy(Qt::NoFocus);
}

void EdButton::setColor(quint32 prop, const QColor& c)
{
    colors_[prop] = c;
    update();
}

void EdButton::paintEvent(QPaintEvent* e)
{
    const QColor top = colors_.value(0x68030014);
    const QColor bottom = colors_.value(0x68030017);
    if (!top.isValid() || !bottom.isValid()) {
        QPushButton::paintEvent(e);
        return;
    }
    QPainter p(this);
    QLinearGradient g(0, 0, 0, height());
    g.setColorAt(0, top);
    g.setColorAt(1, bottom);
    p.fillRect(rect(), g);
    p.setPen(EditorColors::line());
    p.drawRect(rect().adjusted(0, 0, -1, -1));
    p.setPen(isEnabled() ? QColor(Qt::black) : QColor(128, 128, 128));
    p.drawText(rect(), Qt::AlignCenter | Qt::TextWordWrap, text());
}

EdPicture::EdPicture(QWidget* parent)
    : QWidget(parent)
{
}

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

void EdPicture::setBackColor(const QColor& c)
{
    back_ = c;
    update();
}

void EdPicture::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.fillRect(rect(), back_);
    if (!image_.isNull())
        p.drawImage(rect(), image_);   // stretched, the aspect ratio is not kept
    p.setPen(EditorColors::line());
    p.drawRect(rect().adjusted(0, 0, -1, -1));
}

namespace EditorColors {
// Skin 1 until the theme palette is wired in.
QColor line() { return QColor(128, 128, 128); }
QColor captionFrom() { return QColor(196, 206, 220); }
QColor captionTo() { return QColor(240, 243, 248); }
QColor statusFrom() { return QColor(190, 198, 210); }
QColor statusTo() { return QColor(236, 239, 244); }
QColor formBack() { return QColor(232, 235, 240); }
QColor toolBack() { return QColor(244, 246, 250); }
QColor panelBack() { return QColor(250, 250, 252); }
int captionHeight() { return 21; }
QColor adjust(const QColor& c, int delta)
{
    auto f = [delta](int v) { return std::clamp(v + delta, 0, 255); };
    return QColor(f(c.red()), f(c.green()), f(c.blue()));
}
}
