#pragma once
#include <QColor>
#include <QImage>
#include <QMap>
#include <QPushButton>
#include <QWidget>
#include <functional>
#include <vector>

// The editor's building blocks: a painted panel, a push button with
// numbered colour properties, and a picture slot.

// A panel that fills itself with its back colour and then runs its drawings,
// in pixels, in the order they were added (a drawing added again under the same
// key replaces the earlier one).
class EdPanel : public QWidget {
    Q_OBJECT
public:
    using Drawing = std::function<void(QPainter& p, const QSize& size, const QFont& font)>;
    explicit EdPanel(QWidget* parent = nullptr);
    void setBackColor(const QColor& c);
    QColor backColor() const { return back_; }
    void cls();
    void setDrawing(const QString& key, Drawing drawing);
    bool hasDrawing(const QString& key) const;
    QImage renderImage() const;

signals:
    void Resize();

protected:
    void paintEvent(QPaintEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;

private:
    void paintSurface(QPainter& p) const;
    QColor back_;
    std::vector<std::pair<QString, Drawing>> drawings_;
};

// A push button that is never a dialog default; its colours are numbered properties
// (0x68030012 .. 0x68030017 the face colours).
class EdButton : public QPushButton {
    Q_OBJECT
public:
    explicit EdButton(const QString& caption, QWidget* parent = nullptr);
    void setColor(quint32 prop, const QColor& c);
    QColor color(quint32 prop) const { return colors_.value(prop); }
    const QMap<quint32, QColor>& colors() const { return colors_; }

protected:
    void paintEvent(QPaintEvent* e) override;

private:
    QMap<quint32, QColor> colors_;
};

// A report picture slot (Picload): shows its picture stretched to the whole box.
// Tag is the full path of the slot's JPEG file, or "" when the slot is empty.
class EdPicture : public QWidget {
    Q_OBJECT
public:
    explicit EdPicture(QWidget* parent = nullptr);
    QString Tag;
    void setPicture(const QImage& img);
    void Cls();   // clears the drawing
    bool hasPicture() const { return !image_.isNull(); }
    const QImage& picture() const { return image_; }
    void setBackColor(const QColor& c);

protected:
    void paintEvent(QPaintEvent* e) override;

private:
    QImage image_;
    QColor back_ = QColor(255, 255, 255);
};

// The editor's colours, from the theme palette.
namespace EditorColors {
QColor line();
QColor captionFrom();
QColor captionTo();
QColor statusFrom();
QColor statusTo();
QColor formBack();
QColor toolBack();
QColor panelBack();
int captionHeight();
// Adds delta to each component, clamped to 0..255.
QColor adjust(const QColor& c, int delta);
}
