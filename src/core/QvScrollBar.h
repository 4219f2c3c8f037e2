#pragma once
#include <QScrollBar>

// The workstation's flat scroll bar (the print preview's HScroll1 and VScroll1).
//
// Usage:
//   auto* VScroll1 = new QvScrollBar(Qt::Vertical, Picprview);
//   VScroll1->setGeometry(...);                       // 17 pixels thick
//   VScroll1->setMax(n);                               // range 0..n
//   VScroll1->setBackColor(Palette::gToolBackColor);
//   connect(VScroll1, &QvScrollBar::Change, this, &Frmreport::VScroll1_Change);
//   VScroll1->setValue(0);                             // raises Change when the value differs
//
// Value and Max follow QScrollBar (value() / setValue(), maximum()); values outside 0..Max are
// clamped. Arrows, track and thumb are painted from the theme palette.
class QvScrollBar : public QScrollBar {
    Q_OBJECT
public:
    explicit QvScrollBar(Qt::Orientation orientation, QWidget* parent = nullptr);

    int Value() const { return value(); }
    int Max() const { return maximum(); }
    void setMax(int max);

    // Colour of the track (0x00BBGGRR).
    void setBackColor(qint32 color);
    qint32 backColor() const { return backColor_; }

signals:
    // The value changed (by the user or by setValue).
    void Change();

protected:
    void paintEvent(QPaintEvent* e) override;

private:
    qint32 backColor_ = 0x00E0E0E0;
};
