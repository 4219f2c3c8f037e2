#pragma once
#include <QDialog>

class QCheckBox;
class QLabel;
class QLineEdit;
class PaintPanel;
class QvButton;

// DICOM send settings (caption "DICOM图像发送参数"): the PACS address, AE title,
// port and whether each converted picture is sent at once (section "output").
// One instance for the program; its fields are read anew at every opening.
class FrmdcmSend : public QDialog {
    Q_OBJECT
public:
    static FrmdcmSend& instance();
    // Loads the fields and shows the dialog modally through the program's opener.
    int showModally();

    void Form_Load();
    void LoadSendSettings();
    void ButtnSave_Click();
    void ButtnQuit_Click();

    PaintPanel* Picdata = nullptr;
    QLabel *Label1 = nullptr, *Label2 = nullptr, *Label3 = nullptr;
    QLineEdit* TxtIp = nullptr;
    QLineEdit* TxtTitle = nullptr;
    QLineEdit* TxtPort = nullptr;
    QCheckBox* Chksend = nullptr;
    QvButton* ButtnSave = nullptr;
    QvButton* ButtnQuit = nullptr;

private:
    explicit FrmdcmSend(QWidget* parent = nullptr);
};
