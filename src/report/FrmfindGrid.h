#pragma once
#include <QDialog>

class QComboBox;
class QLabel;
class QLineEdit;
class PaintPanel;
class QvButton;

// The grid print settings ("打印设置"): printer, paper, colour mode, orientation,
// print quality and the four margins in millimetres, kept in [gridprint] for the
// grid printer. One instance for the program's life; each showing loads afresh.
class FrmfindGrid : public QDialog {
    Q_OBJECT
public:
    static FrmfindGrid& instance();
    explicit FrmfindGrid(QWidget* parent = nullptr);

    void Form_Load();
    void buttonSave_Click();
    void buttonBack_Click();
    // A printer row was chosen: it becomes the program's printer and its papers are listed.
    void cboPrinter_Click();

    void LoadGridPrintSettings();
    // The nine checks in order, then whether the margins leave room for a line on the
    // paper chosen; the first failure is reported and focused.
    bool ValidateGridPrintSettings();

    PaintPanel* Picdata = nullptr;
    QComboBox* cboPrinter = nullptr;
    QComboBox* ComboPaper = nullptr;
    QComboBox* ComboColor = nullptr;
    QComboBox* ComboDirection = nullptr;
    QComboBox* ComboQuality = nullptr;
    QLineEdit* Ttop = nullptr;
    QLineEdit* Tbotton = nullptr;
    QLineEdit* Tleft = nullptr;
    QLineEdit* Tright = nullptr;
    QvButton* buttonSave = nullptr;
    QvButton* buttonBack = nullptr;
};
