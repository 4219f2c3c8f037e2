#pragma once
#include "core/ReportStore.h"
#include "query/FrmfindQuery.h"
#include "query/FrmfindResults.h"
#include "platform/Units.h"
#include "report/GridPrinter.h"

#include <QDialog>
#include <QSize>
#include <array>

class PaintPanel;
class QCheckBox;
class QComboBox;
class QDateEdit;
class QLabel;
class QLineEdit;
class QTableView;
class QvButton;

// The report query (caption "请输入查询条件"): fifteen conditions, a result
// grid of chosen columns, a listed report opened in the editor, the list
// printed. One instance lives for the whole program; its controls are rebuilt
// and its load runs again at every opening, so conditions, results and ticks
// start afresh each time.
//
// Opener: ensureLoaded(), then showModally().
class Frmfind : public QDialog {
    Q_OBJECT
public:
    static Frmfind& instance();

    void ensureLoaded();
    bool isLoaded() const { return loaded_; }
    int showModally();

    // The condition list of the last query attempt ("" after a click without conditions).
    QString Sql() const { return sql_; }
    void setSql(const QString& text) { sql_ = text; }

    // What the condition controls hold.
    FrmfindQuery::Conditions conditions() const;
    // The statement those conditions make; a date range is weighed against
    // the examination dates stored (the first and the last, from their index).
    FrmfindQuery::Statement statement() const;

    // 1 shows the conditions panel, 2 the column chooser; other values change nothing.
    void ShowPanel(int index);

    // The colours ShowPanel gives a tab: edge, first group (face, hover and
    // pressed tops), second group (their bottoms), from the current palette.
    struct TabColors {
        qint32 edge;
        qint32 first;
        qint32 second;
    };
    static TabColors tabColors(bool active);

public slots:
    void buttonYes_Click();
    void buttnview_Click();
    void CmdPrint_Click();
    void CmdPrintSet_Click();
    void ButtnQuit_Click();
    void Buttntj_Click() { ShowPanel(1); }
    void Buttnxm_Click() { ShowPanel(2); }
    // Box xm<n> (1..21) was clicked.
    void xm_Click(int n);
    void Form_Resize();
    void ResetResultGrid();

public:
    // ---- controls, under their established names ----
    PaintPanel* Pictool = nullptr;
    QvButton *buttonYes = nullptr, *CmdPrintSet = nullptr, *CmdPrint = nullptr, *buttnview = nullptr,
             *ButtnQuit = nullptr;
    QWidget* Linetool1 = nullptr;
    QvButton *Buttntj = nullptr, *Buttnxm = nullptr;

    PaintPanel* Pictiaojian = nullptr;
    // A date condition counts while its tick is set.
    QCheckBox *DT1Check = nullptr, *DT2Check = nullptr;
    QDateEdit *DT1 = nullptr, *DT2 = nullptr;
    QLineEdit *Text7 = nullptr, *Text6 = nullptr, *Text9 = nullptr, *Text10 = nullptr, *Text8 = nullptr,
              *Text15 = nullptr, *Text5 = nullptr, *Text12 = nullptr, *Text14 = nullptr;
    QComboBox *Text11 = nullptr, *Text3 = nullptr, *Text4 = nullptr, *Text13 = nullptr;
    QList<QLabel*> captions;

    PaintPanel* Picturexm = nullptr;
    std::array<QCheckBox*, FrmfindResults::kChooserBoxes> xm{};   // xm1..xm21 = xm[0..20]

    QTableView* MGrid = nullptr;

protected:
    void resizeEvent(QResizeEvent* e) override;
    bool event(QEvent* e) override;
    void done(int r) override;

private:
    Frmfind();
    void buildControls();
    void Form_Load();
    void Form_Unload();
    void ApplySkin();
    void Pictool_Resize();
    void Pictiaojian_Resize();
    void Picturexm_Resize();
    void paintTab(QvButton* tab, bool active);
    // Fills a combo list with field 1 of each row; false (after the message) when the list failed.
    bool fillList(QComboBox* list, ReportStore::Choice choice);
    // The grid printer's two operations for this window.
    void SetupGridPrinter();
    void PrintGrid();

    QWidget* form_ = nullptr;
    // The window's grid printer keeps its setup from one print to the next.
    GridPrinter printer_;
    bool loaded_ = false;
    QString sql_;
    QSize lastSize_;
};

namespace FrmfindLayout {
// Design places in twips.
constexpr int kToolbarHeight = 1020;
constexpr int kPanelLeft = 60, kPanelTop = 1400, kPanelWidth = 3420;
constexpr int kConditionsHeight = 7155, kItemsHeight = 7215;
constexpr int kGridLeft = 3540, kGridTop = 1080;
// The pixel stretch of a panel's top edge left open under its own tab.
constexpr int kTabOpening = 111;
// Pixels between the quit button and the toolbar's right edge.
constexpr int kQuitMargin = 16;
using Units::px;
}
