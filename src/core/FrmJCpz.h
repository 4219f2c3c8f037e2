#pragma once
#include <QDialog>

class QCheckBox;
class QLabel;
class QLineEdit;
class PaintPanel;
class QvButton;

// System settings: hospital name, machine name and whether the editor's
// report boxes follow the window size.
class FrmJCpz : public QDialog {
    Q_OBJECT
public:
    explicit FrmJCpz(QWidget* parent = nullptr);
    void Form_Load();
    void ButtnSave_Click();
    void ButtnQuit_Click();

    PaintPanel* Picdata = nullptr;
    QLineEdit* Text1 = nullptr;
    QLineEdit* Text2 = nullptr;
    QCheckBox* Checkkz = nullptr;
    QvButton* ButtnSave = nullptr;
    QvButton* ButtnQuit = nullptr;
};
