#pragma once
#include <QDialog>

class QLineEdit;
class PaintPanel;
class QvButton;

// The logged-in user changes his own password.
class FrmPassword : public QDialog {
    Q_OBJECT
public:
    explicit FrmPassword(QWidget* parent = nullptr);
    void Form_Load();
    void ButtnSave_Click();
    void ButtnQuit_Click();

    PaintPanel* Picdata = nullptr;
    QLineEdit* Text1 = nullptr;   // old
    QLineEdit* Text2 = nullptr;   // new
    QLineEdit* Text3 = nullptr;   // confirmation
    QvButton* ButtnSave = nullptr;
    QvButton* ButtnQuit = nullptr;
};
