#pragma once
#include <QDialog>

class QLabel;
class QLineEdit;
class PaintPanel;
class QvButton;

// DICOM conversion settings (caption "DICOM图像转换参数"): the last study number
// and series id issued (table DCMConvertCS) and the output folder (dcmDir).
// One instance for the program; its fields are read anew at every opening.
class FrmdcmConv : public QDialog {
    Q_OBJECT
public:
    static FrmdcmConv& instance();
    // Loads the fields and shows the dialog modally through the program's opener.
    int showModally();

    void Form_Load();
    void LoadDcmDir();
    void ApplyDialogSkin();
    void ButtnDir_Click();
    void ButtnSave_Click();
    void ButtnQuit_Click();

    PaintPanel* Picdata = nullptr;
    QLabel *Label1 = nullptr, *Label2 = nullptr, *Label3 = nullptr;
    QLineEdit* Text1 = nullptr;   // studyid
    QLineEdit* Text2 = nullptr;   // seriesid
    QLineEdit* Text3 = nullptr;   // dcmDir
    QvButton* ButtnDir = nullptr;
    QvButton* ButtnSave = nullptr;
    QvButton* ButtnQuit = nullptr;

private:
    explicit FrmdcmConv(QWidget* parent = nullptr);
    bool refuse(QLineEdit* field, const QString& text);
    bool store(int study, int series, const QString& folder);
};
