#pragma once
#include "core/QvButton.h"
#include "core/SkinPanel.h"

#include <QColor>
#include <QImage>
#include <QMap>
#include <QPushButton>
#include <QWidget>
#include <functional>
#include <vector>

// The editor's building blocks: a painted panel, a push button with
// numbered colour properties, and a picture slot.

// Painted panels and push buttons are the theme's.

// A picture slot (Picload, Pictmp): shows its picture stretched to the whole box.
// Tag is the slot's state (the files behind it), "" when the slot is empty.
class EdPicture : public QWidget {
    Q_OBJECT
public:
    explicit EdPicture(QWidget* parent = nullptr);
    QString Tag;
    void setPicture(const QImage& img);
    void Cls();   // clears the drawing
    bool hasPicture() const { return !image_.isNull(); }
    const QImage& picture() const { return image_; }

signals:
    // Mouse pressed on the box: button 1 left, 2 right, 4 middle; shift 1 Shift,
    // 2 Ctrl, 4 Alt; x, y in pixels of the box.
    void MouseDown(int button, int shift, int x, int y);

protected:
    void paintEvent(QPaintEvent* e) override;
    void mousePressEvent(QMouseEvent* e) override;

private:
    QImage image_;
};

// A record field shown read-only (a report opened for viewing) stays
// legible: when the platform's greyed text is too pale on the field's
// background, its disabled text becomes the field's own text colour, toned
// toward the background only while the contrast stays at 12:1 or more, so
// that even the thinnest antialiased stroke of a value keeps the 4.5:1 that
// text must have. Only the disabled text changes.
void keepLegibleWhenDisabled(QWidget* field);

// Gives an element of a control array its name: "Name(index)".
void nameElement(QObject* control, const QString& array, int index);

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
}
