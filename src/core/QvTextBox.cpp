#include "core/QvTextBox.h"

#include "core/Palette.h"

#include <QKeyEvent>
#include <QPainter>

QvTextBox::QvTextBox(QWidget* parent) : QLineEdit(parent)
{
    setFrame(false);
    setTextMargins(4, 1, 4, 1);
    QPalette pal = palette();
    pal.setColor(QPalette::Base, Qt::white);
    pal.setColor(QPalette::Text, Qt::black);
    setPalette(pal);
    setAutoFillBackground(true);
}

void QvTextBox::keyPressEvent(QKeyEvent* e)
{
    int code = 0;
    switch (e->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter: code = 13; break;
    case Qt::Key_Backspace: code = 8; break;
    case Qt::Key_Escape: code = 27; break;
    case Qt::Key_Tab: code = 9; break;
    default:
        if (!e->text().isEmpty() && !(e->modifiers() & (Qt::ControlModifier | Qt::AltModifier)))
            code = e->text().at(0).unicode();
        break;
    }
    if (code)
        emit KeyPress(code);
    QLineEdit::keyPressEvent(e);
}

void QvTextBox::paintEvent(QPaintEvent* e)
{
    QLineEdit::paintEvent(e);
    QPainter p(this);
    const bool filled = Palette::PaletteFilled();
    QColor c = filled ? Palette::ToQColor(Palette::gLineColor) : QColor(0x80, 0x80, 0x80);
    if (!hasFocus() && filled)
        c = QColor::fromRgbF(float(c.redF() * 0.55 + 0.45 * 0.75), float(c.greenF() * 0.55 + 0.45 * 0.75),
                             float(c.blueF() * 0.55 + 0.45 * 0.75));
    if (!isEnabled())
        c = c.lighter(140);
    p.setPen(c);
    p.drawRect(rect().adjusted(0, 0, -1, -1));
}
