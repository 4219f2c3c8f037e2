#pragma once
#include "core/QvButton.h"
#include "query/WorkloadSheet.h"
#include "report/GridPrinter.h"

#include <QDialog>
#include <QVector>
#include <array>

class PaintPanel;
class QDateEdit;
class QLabel;
class QTableView;

// One of the statistics window's list buttons. Besides the colours of every
// button it has three selection switches (0 or 1); the third is the colour
// property the tool-bar buttons take their focus colour from. A switched-on
// button paints its face flat in its highlight colour with a full frame; a
// switched-off one shades the face from the highlight colour down to its bottom
// colour under a soft frame.
class ListButton : public QvButton {
    Q_OBJECT
public:
    using QvButton::QvButton;

    void setSwitch(int k, int value);
    int switchValue(int k) const;

protected:
    void paintEvent(QPaintEvent* e) override;

private:
    std::array<int, 2> switches_{};
};

// The workload statistics window (caption "统计报表"): six statistics in a list,
// a date range, the result sheet in MGrid and its printing. One instance lives
// for the whole program; its controls are rebuilt and its load runs again at
// every opening, while ReportIndex keeps its value.
class FrmTJ : public QDialog {
    Q_OBJECT
public:
    static FrmTJ& instance();

    // The first touch of a control builds the controls and runs the load.
    void ensureLoaded();
    bool isLoaded() const { return loaded_; }
    // Shows the window maximised and modally through the program's opener.
    int showModally();

    // The selected statistic, 0..5.
    int ReportIndex() const { return reportIndex_; }
    // The sheet MGrid shows (blank until a statistic has run).
    const Workload::Sheet& sheet() const { return model_->sheet(); }

    void Form_Load();
    void Form_Resize();
    void ApplySkin();
    void DrawConditionsCaption();
    void DrawReportSelCaption();
    void DrawBrowseCaption();
    void Pictool_Resize();
    void Pictj_Resize();
    void Pictitle_Resize();
    void BtnList_Click(int Index);
    void SelectReport(int Index);
    void CmdTJ_Click();
    void CmdPrint_Click();
    void CmdPrintSet_Click();
    void ButtnQuit_Click();

    // Controls, under their established names.
    PaintPanel* Pictool = nullptr;
    QvButton* CmdTJ = nullptr;
    QWidget* Linetool1 = nullptr;
    QvButton* CmdPrintSet = nullptr;
    QvButton* CmdPrint = nullptr;
    QvButton* ButtnQuit = nullptr;
    PaintPanel* Picrptsel = nullptr;
    QVector<ListButton*> BtnList;
    PaintPanel* Pictj = nullptr;
    QLabel* Label6 = nullptr;
    QDateEdit* DTPicker1 = nullptr;
    QLabel* Label7 = nullptr;
    QDateEdit* DTPicker2 = nullptr;
    QWidget* Pictjline = nullptr;
    PaintPanel* Pictitle = nullptr;
    PaintPanel* Picgrid = nullptr;
    QTableView* MGrid = nullptr;

protected:
    void resizeEvent(QResizeEvent* e) override;
    void done(int r) override;

private:
    FrmTJ();
    void buildControls();
    // Puts a sheet into MGrid with its spans and row heights.
    void showSheet(Workload::Sheet sheet);

    QWidget* form_ = nullptr;
    Workload::SheetModel* model_ = nullptr;
    GridPrinter printer_;
    qint16 reportIndex_ = 0;
    bool loaded_ = false;
};
