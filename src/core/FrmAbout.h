#pragma once
#include <QDialog>

class QLabel;
class PaintPanel;
class QvButton;

// Product name and version.
class FrmAbout : public QDialog {
    Q_OBJECT
public:
    explicit FrmAbout(QWidget* parent = nullptr);
    void Form_Load();
    void ButtnSave_Click();

    PaintPanel* Picdata = nullptr;
    QLabel* Label1 = nullptr;   // product name
    QLabel* Label2 = nullptr;   // version
    QLabel* Label3 = nullptr;   // maker
    QLabel* Label4 = nullptr;   // usage notice
    QvButton* ButtnSave = nullptr;
};
