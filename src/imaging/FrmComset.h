#pragma once
#include <QDialog>
#include <memory>

class CtsSource;
class PaintPanel;
class QComboBox;
class QLabel;
class QvButton;

// The foot switch's port (caption "脚踏开关端口设置"): COM1 .. COM8, kept as
// [system] comport "1" .. "8", followed by the USB serial adapters plugged in
// now, kept by their device names. Saving opens the chosen port as a test
// first; a port that cannot be opened is reported and nothing is written. The
// editor opens the port at its next load. One instance; Form_Load runs at
// every opening.
class FrmComset : public QDialog {
    Q_OBJECT
public:
    static FrmComset& instance();

    void Form_Load();
    // Selects the stored port; a missing, out-of-range or unknown value selects
    // nothing. A stored adapter that is unplugged is listed as such and selected.
    void LoadComport();

public slots:
    void ButtnSave_Click();
    void ButtnQuit_Click();

public:
    PaintPanel* Picdata = nullptr;
    QLabel* Label1 = nullptr;
    QComboBox* Comport = nullptr;
    QvButton *ButtnSave = nullptr, *ButtnQuit = nullptr;
    // The port the save tests.
    std::unique_ptr<CtsSource> MSComm1;

private:
    FrmComset();
};
