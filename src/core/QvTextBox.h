#pragma once
#include <QLineEdit>

// The workstation's single-line text box (login user code and password).
//
// Usage:
//   auto* Text1 = new QvTextBox(this);
//   Text1->setGeometry(x, y, 150, 22);
//   connect(Text1, &QvTextBox::KeyPress, this, [this](int keyAscii) {
//       if (keyAscii == 13) Text2->setFocus();      // Enter; the key itself goes on as usual
//   });
//   Text2->setPasswordChar(true);
//   QString code = Text1->Text(); Text1->setText(QString());
//
// It draws a one-pixel frame in gLineColor on a white field; Skin routines need not touch it
// (it reads the palette when it paints).
class QvTextBox : public QLineEdit {
    Q_OBJECT
public:
    explicit QvTextBox(QWidget* parent = nullptr);

    QString Text() const { return text(); }
    void setPasswordChar(bool on) { setEchoMode(on ? QLineEdit::Password : QLineEdit::Normal); }

signals:
    // A typed character: its character code (Enter 13, Backspace 8, Esc 27, Tab 9, or the
    // Unicode code of the character). Raised before the box handles the key.
    void KeyPress(int keyAscii);

protected:
    void keyPressEvent(QKeyEvent* e) override;
    void paintEvent(QPaintEvent* e) override;
};
