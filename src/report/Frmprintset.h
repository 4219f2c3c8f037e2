#pragma once
#include "report/PageRoom.h"
#include "report/PrintSettings.h"

#include <QDialog>
#include <array>
#include <optional>
#include <utility>
#include <vector>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class PaintPanel;
class QvButton;

// The print layout settings dialog ("打印设置"): printer, paper and print modes,
// margins and spacings, picture size, preview zoom, the nine font sets, the line
// colour, the two free texts and the 28 item slots of the report page, read from
// options.ini at every opening and written back whole by 保 存.
//
// One instance for the program's life:
//   Frmprintset& d = Frmprintset::instance();
//   d.showModally();            // loads, then shows modally
//   if (d.Bset()) ...           // saved: the layout changed
class Frmprintset : public QDialog {
    Q_OBJECT
public:
    static Frmprintset& instance();

    // Runs the load and shows the dialog modally.
    int showModally();
    // True when the last closing was by 保 存. Every load sets it false, so a dialog
    // closed any other way counts as 退 出.
    bool Bset() const { return bset_; }

    void Form_Load();
    void ButtnSave_Click();
    void ButtnQuit_Click();
    void LineSet_Click();
    void Comboxm_Click(int index);
    void cboPrinter_Click();
    // Font set n (1..9) through the font dialog; a cancelled dialog keeps the set.
    void ChooseFontSet(int n);
    bool ValidatePrintSettings();
    // Whether the lengths typed keep the report on the paper chosen, with the header, the
    // pictures and the footer the other settings of the dialog give the page, measured as
    // the preview measures the stored settings.
    std::optional<PageRoom::Refusal> roomRefusal() const;

    // The dialog's working font sets and line colour (index 0 = font set 1).
    const std::array<FontSet, PrintSettings::kFontSets>& fontSets() const { return fonts_; }
    qint32 lineColor() const { return lineColor_; }

    // Controls.
    PaintPanel* Picprinter = nullptr;
    PaintPanel* Picfont = nullptr;
    PaintPanel* Picrpt = nullptr;
    PaintPanel* Pictool = nullptr;
    QComboBox* cboPrinter = nullptr;
    QComboBox* ComboPaper = nullptr;
    QComboBox* ComboColor = nullptr;
    QComboBox* ComboDirection = nullptr;
    QComboBox* ComboQuality = nullptr;
    QLineEdit* Ttop = nullptr;
    QLineEdit* Tbotton = nullptr;
    QLineEdit* Tleft = nullptr;
    QLineEdit* Tright = nullptr;
    QLineEdit* Thjj = nullptr;
    QLineEdit* Thjj2 = nullptr;
    std::array<QLineEdit*, 4> Tdjj{};   // Tdjj1 .. Tdjj4
    QLineEdit* Tpicwidth = nullptr;
    QLineEdit* Tpicheight = nullptr;
    QLineEdit* Tzoom = nullptr;
    QCheckBox* Chkpic = nullptr;
    QLineEdit* Tlinecolor = nullptr;
    QLineEdit* Txthead = nullptr;
    QLineEdit* Txtfoot = nullptr;
    QvButton* A1Fontset = nullptr;
    QvButton* B1Fontset = nullptr;
    QvButton* C1Fontset = nullptr;
    QvButton* C2Fontset = nullptr;
    QvButton* D1Fontset = nullptr;
    QvButton* D2Fontset = nullptr;
    QvButton* E1Fontset = nullptr;
    QvButton* E2Fontset = nullptr;
    QvButton* F1Fontset = nullptr;
    QvButton* LineSet = nullptr;
    std::array<QComboBox*, PrintSettings::kSlots> Comboxm{};
    QvButton* ButtnSave = nullptr;
    QvButton* ButtnQuit = nullptr;

private:
    Frmprintset();
    void buildControls();
    void buildMockup();
    void ApplySkin();
    void FillItemCombos();
    void LoadDialogSettings();
    std::vector<std::pair<QLineEdit*, IniSetting>> numberBoxes() const;
    void showLineColor();

    std::array<FontSet, PrintSettings::kFontSets> fonts_{};
    qint32 lineColor_ = 0;
    bool bset_ = false;
};
