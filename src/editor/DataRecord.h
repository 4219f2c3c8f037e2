#pragma once
#include "editor/EditorControls.h"
#include "editor/EditorGeometry.h"
#include "core/ReportRecord.h"
#include "editor/StockDescriptions.h"
#include "imaging/DicomStudy.h"
#include "imaging/FootSwitch.h"

#include <QDialog>
#include <QFuture>
#include <QList>
#include <QThreadPool>
#include <array>
#include <functional>
#include <memory>
#include <optional>

class QComboBox;
class QFrame;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QTableWidget;
class QTreeWidget;
class QTreeWidgetItem;
class VideoCapture;

// The report editor (caption "报告信息"): one examination record with its
// findings, diagnosis and four report pictures. One instance lives for the
// whole program; its controls are rebuilt and its load runs again at every
// opening, while its own variables keep their values.
//
// Openers: ensureLoaded(), then open() with the opening (page, list link,
// edit mode, key and the edit state), then showModally() where the window is
// not open yet.
class DataRecord : public QDialog {
    Q_OBJECT
public:
    // Savebj: how Save stores the record; None until an opener or a command sets it.
    enum class EditMode {
        None,
        Insert,
        Update
    };

    // The edit state: which record controls and command buttons are enabled.
    // Every change of it goes through applyState().
    struct EditState {
        enum class Stage {
            Designed,   // as built at load: record controls off, every button on
            Editing,    // a new or modified record: record controls on, editing buttons on
            Viewing,    // a stored record, read-only: editing buttons off
            Empty,      // the record was deleted: only New
        };
        Stage stage = Stage::Designed;
        // Editing: ButtnSwmb as built, off without the templates right (the
        // openers), rather than on regardless (New, Modify, a copied record).
        bool templateByRight = false;
        // Viewing: New, Modify and Delete on (a loader gives them by right 1, Save always).
        bool recordCommands = true;
        // Viewing: Print on (a loader always, Save by right 0).
        bool print = true;

        static EditState editing(bool templateByRight) { return {Stage::Editing, templateByRight, false, false}; }
        static EditState viewing(bool recordCommands, bool print)
        {
            return {Stage::Viewing, false, recordCommands, print};
        }
    };

    // What an opener sets before the window shows: ViewSytle, Savebj and
    // UpdateId, and the edit state that goes with them. (The lists follow
    // every save and delete through the store, whoever opened the editor.)
    struct Opening {
        int page = 0;   // 0 the information page, 1 the picture page
        EditMode mode = EditMode::None;
        QString key;
        EditState state;
    };

    static DataRecord& instance();
    // Tests: the window is deleted, and the next instance() is a new one, as
    // at the program's start.
    static void discardInstance();

    // The first touch of a control: builds the controls and runs the load
    // unless the window is already loaded.
    void ensureLoaded();
    bool isLoaded() const { return loaded_; }

    // Opening protocol: loads the window when needed and takes the opening.
    void open(const Opening& opening);
    // The opening properties one by one (the page as text: "0" or "1"; other texts are ignored).
    void setViewSytle(const QString& page);
    void setUpdateId(const QString& key) { recordKey_ = key; }
    QString UpdateIdout() const { return recordKey_; }

    int pageFlag() const { return pageFlag_; }
    QString savebj() const;   // "insert", "update" or "" (none set)
    int sidePanelTab() const { return sidePanelTab_; }
    int descriptionCategory() const { return category_; }
    int layoutMode() const { return layoutMode_; }
    QString machineName() const { return machine_; }

    // Shows the window modally through the program's opener (Activate shows the page).
    int showModally();

    // The record controls by field number (1..24 but 10 and 13).
    QWidget* control(int field) const;
    QString controlText(int field) const;
    // Sets a record control's text as a program does, raising its change
    // handler: the section's lists all physicians, the body part's memory
    // restarts from the text. The template manager appends body parts this way.
    void setControlText(int field, const QString& text);
    // The 21 record controls the edit states switch (all but Text12).
    QList<QWidget*> inputControls() const;
    bool editing() const;   // the edit state: Text1 enabled

    // Empties the four report slots on screen (files are kept).
    void clearSlots();
    // The stored picture of slot k (0..3) could not be put on screen when the
    // record was opened: the slot is empty, and saving the record again keeps
    // the stored picture instead of clearing it. Reset by clearSlots().
    void keepStoredPicture(int k, bool keep) { keepStored_[size_t(k)] = keep; }
    bool keepsStoredPicture(int k) const { return keepStored_[size_t(k)]; }
    // Shows a picture file in slot k (0..3) and sets its Tag; false when it cannot be decoded.
    bool showSlotFile(int k, const QString& path);

    // Makes the folder with every missing parent. True when it exists or was
    // made (a file of that name counts as present); false after an error box
    // for each level that could not be made.
    bool CreatePaths(const QString& path);

    // Caption texts of the field labels, for checks.
    QString labelCaption(int field) const;

    // Entry aids (DataRecordAids.cpp).
    QString lastReportBox() const { return lastReportBox_; }
    QString bodyPartMemory() const { return bodyPartMemory_; }
    bool phraseInserted() const { return phraseInserted_; }
    int phraseLabelCount() const { return phraseLabelCount_; }
    // The phrase panel's scroll position and height (twips).
    int phrasePanelTop() const { return phraseTopTw_; }
    int phrasePanelHeight() const { return phraseHeightTw_; }
    const StockDescriptions::GridGeometry& stockGrid() const { return stockGrid_; }
    int editRow() const { return editRow_; }
    int editCol() const { return editCol_; }
    QString TextMatrix(int row, int col) const;   // a cell of Gridms

public slots:
    void ButtnNew_Click();
    void ButtnEnable_Click();
    void ButtnDel_Click();
    void ButtnPrint_Click();
    void ButtnSave_Click();
    void ButtnClear_Click();
    void ButtnBack_Click();
    void Buttninfo_Click();
    void Buttnpic_Click();
    void btnYC_Click();
    void ButtonConvert_Click();

    // Entry aids: Enter to the next field, the duplicate checks, physicians
    // of a section, the body-part memory (DataRecordAids.cpp).
    void Text1_KeyPress(int keyAscii);
    void Text2_KeyPress(int keyAscii);
    // Text3_KeyPress .. Combojs_KeyPress: the seventeen fields Enter leaves.
    void NextField_KeyPress(int keyAscii);
    void Text6_Click(int index);
    void Text6_Change();
    void Combopart_Click(int index);
    void Combopart_Change();

    // The phrase panel.
    void Text15_GotFocus();
    void Text16_GotFocus();
    void Text15_Change();
    void Text16_Change();
    void Labelzych_Click(int index);
    void butnCKup_Click();
    void butnCKdown_Click();

    // Side-panel tabs, symbols and stock descriptions.
    void btnCK_Click();
    void btnFH_Click();
    void btnMS_Click();
    void btnTS_Click(int index);
    void TreeMS_NodeClick(QTreeWidgetItem* node);
    void TreeMS_AfterLabelEdit(QTreeWidgetItem* node);
    void Gridms_KeyPress(int keyAscii);
    void Gridms_Click();
    void Gridms_DblClick();
    void Textedit_KeyPress(int keyAscii);
    void Picms_Resize();

    // The template buttons hand over to the template manager (FrmMBmanager)
    // through the opener table: "载入模板" opens it with How::Load once the
    // record is being edited, "设为模板" with How::Insert. The manager reads
    // the editor's Text14, Text15 and Text16 and writes back through setControlText.
    void Buttnmbzr_Click();
    void ButtnSwmb_Click();
    void ShowViewPanels();
    void Form_Resize();

    // Video, capture store, report pictures, foot switch (DataRecordCapture.cpp).
    void BVidOn_Click();
    void BVidForm_Click();
    void BVidSet_Click();
    void Bcodec_Click();
    void BVidavi_Click();
    void BVidCapture_Click();
    void Pictmp_MouseDown(int Index, int Button, int Shift, int X, int Y);
    void Picload_MouseDown(int Index, int Button, int Shift, int X, int Y);
    void ButtonAddPic_Click();
    void ButtonDelPic_Click();
    void ButtonDelPicR_Click();
    void Bpicback_Click();
    void Bpicview1_Click();
    void Bpicview2_Click();
    void MSComm1_OnComm(quint32 tick);

public:
    bool videoOn() const { return videoOn_; }
    bool recording() const { return recording_; }
    // A capture takes its slot and shows its thumbnail at once; its BMP and
    // JPEG are written on the capture writer's thread, one capture after the
    // other. Waits until every capture's files are written, and empties the
    // slots of those that could not be, with their messages. Everything that
    // reads the capture files and the window's close wait this way first.
    void settleCaptures();
    // Some capture's files are still being written (its outcome not told yet).
    bool capturesBeingWritten() const;

public:
    // ---- controls, under their established names (CONTRIBUTING.md, "Inherited names") ----
    PaintPanel* Pictool = nullptr;
    QvButton *ButtnNew = nullptr, *ButtnEnable = nullptr, *ButtnDel = nullptr, *ButtnPrint = nullptr,
             *ButtnClear = nullptr, *ButtnSave = nullptr, *Buttnmbzr = nullptr, *ButtnSwmb = nullptr,
             *ButtnBack = nullptr;
    QFrame *Linetool1 = nullptr, *Linetool2 = nullptr;

    PaintPanel* Picdata = nullptr;
    QFrame* PicdataLine = nullptr;
    QLineEdit *Text1 = nullptr, *Text2 = nullptr, *Text4 = nullptr, *Text5 = nullptr, *Text8 = nullptr,
              *Text9 = nullptr, *Text10 = nullptr, *Text13 = nullptr, *Text14 = nullptr, *Text17 = nullptr,
              *Text18 = nullptr, *Text19 = nullptr;
    QComboBox *Text3 = nullptr, *Text6 = nullptr, *Text7 = nullptr, *Text11 = nullptr, *Text12 = nullptr,
              *ComboAge = nullptr, *Combopart = nullptr, *Combojs = nullptr;
    QPlainTextEdit *Text15 = nullptr, *Text16 = nullptr;
    QLabel *Label1 = nullptr, *Label2 = nullptr, *Label3 = nullptr, *Label4 = nullptr, *Label5 = nullptr,
           *Label6 = nullptr, *Label7 = nullptr, *Label8 = nullptr, *Label9 = nullptr, *Label10 = nullptr,
           *Label11 = nullptr, *Label12 = nullptr, *Label13 = nullptr, *Label14 = nullptr, *Label15 = nullptr,
           *Label16 = nullptr, *Label17 = nullptr, *Label18 = nullptr, *Label19 = nullptr, *Label32 = nullptr,
           *Label33 = nullptr, *Label34 = nullptr;

    PaintPanel* Pictitle = nullptr;
    QvButton *Buttninfo = nullptr, *Buttnpic = nullptr;

    PaintPanel* Picdata2 = nullptr;
    PaintPanel* PicmcRect = nullptr;
    PaintPanel* Picmc = nullptr;
    QvButton *btnYC = nullptr, *btnCK = nullptr, *btnFH = nullptr, *btnMS = nullptr, *butnCKup = nullptr,
             *butnCKdown = nullptr;
    PaintPanel *Picms = nullptr, *Picts = nullptr, *Piczymc = nullptr;
    QTreeWidget* TreeMS = nullptr;
    QTableWidget* Gridms = nullptr;
    QLineEdit* Textedit = nullptr;
    QList<QvButton*> btnTS;
    QList<QLabel*> Labelzych;

    PaintPanel* Picpic = nullptr;
    QWidget* PicVideo = nullptr;
    VideoCapture* VideoCapture1 = nullptr;
    QvButton *BVidOn = nullptr, *BVidForm = nullptr, *BVidSet = nullptr, *Bcodec = nullptr, *BVidavi = nullptr;
    PaintPanel* PicRect = nullptr;

    PaintPanel* Picyc = nullptr;
    PaintPanel* Picyc2 = nullptr;
    PaintPanel* Picyc3 = nullptr;
    std::array<EdPicture*, 18> Pictmp{};
    std::array<QWidget*, 18> ShapeSel{};
    QvButton *BVidCapture = nullptr, *ButtonAddPic = nullptr, *Bpicview1 = nullptr, *ButtonDelPic = nullptr,
             *ButtonConvert = nullptr;

    PaintPanel* RptPictureBox = nullptr;
    QFrame* RptPictureBoxLine = nullptr;
    std::array<EdPicture*, 4> Picload{};
    std::array<QWidget*, 4> ShapeSelR{};
    QvButton *Bpicback = nullptr, *Bpicview2 = nullptr, *ButtonDelPicR = nullptr;

    PaintPanel* Picbottom = nullptr;

    // The foot switch's serial port (open between load and close).
    std::unique_ptr<CtsSource> MSComm1;

protected:
    void closeEvent(QCloseEvent* e) override;
    void reject() override;
    void done(int r) override;
    void resizeEvent(QResizeEvent* e) override;
    bool event(QEvent* e) override;
    bool eventFilter(QObject* watched, QEvent* e) override;

private:
    friend struct DataRecordTesting;   // tests (DataRecordTesting.h)
    // Called right after a capture's writer job has started; set only by tests.
    static std::function<void(QFuture<void>)>& captureStartedHook();
    DataRecord();

    // DataRecordLayout.cpp
    void buildControls();
    void buildToolBar();
    void buildRecordColumn();
    void buildReportPage();
    void buildVideoPage();
    void buildReportPictures();
    void nameControls();
    void placePanels();
    void placeStoreAndVideo();
    void Picdata_Resize();
    void RptPictureBox_Resize();
    void Picdata2_Resize();
    void Picpic_Resize();
    void PicmcRect_Resize();
    void PicRect_Resize();
    void Pictool_Resize();
    void Picbottom_Resize();
    void ApplySkin();
    void colourPageButtons();
    void ApplyRights();

    // DataRecord.cpp
    void Form_Load();
    void LoadItemCaptions();
    // The captions of report items 1..21, in item order (ReportRecord::kItemFields).
    std::array<QLabel*, 21> itemLabels() const;
    void loadLists();
    void layoutQuickPhrases(const class RecordSet& rows);
    void resetRecordValues();
    // Sets every record control and command button that the edit state, the
    // video state and the picture selections govern.
    void applyState();
    void setState(const EditState& state);
    bool handleFunctionKey(int key);
    bool queryUnload();   // the close question; false when the window stays open

    // DataRecordCapture.cpp
    void wireCapture();
    void openFootSwitch();
    void shutDownCapture();
    void setVideoOff();
    void videoLost();
    void recordingLost();
    void emptyCapture(int i);
    void emptyReport(int k);
    void setStoreButtons(bool on);    // a capture is selected
    void setReportButtons(bool on);   // a report picture is selected
    void openViewer(const QString& group, int index);
    struct CaptureOutcome {
        bool written = false;
        QString error;   // the message for the user, when there is one
    };
    void settleCapture(int i);

    // DataRecordAids.cpp
    void buildAids();
    bool aidsEvent(QObject* watched, QEvent* e);
    void addPhraseLabels(int count);
    void setPhraseCaption(int k, const QString& caption);   // shown only with a phrase
    void lookUpPhrases(QPlainTextEdit* box);
    void setPhrasePanel(int topTw, int heightTw);
    void insertAtCaret(const QString& text);
    void colourSideTabs(QvButton* pressed);
    void loadDescriptionTree();
    void SetupPhraseGrid();
    void LoadPhraseGrid(int category);
    void SavePhraseCell();
    void HideCellEditor();
    void setTextMatrix(int row, int col, const QString& text);
    void physicians(const QueryResult& r);

    // DataRecordSave.cpp
    bool ValidateRecord();
    bool failField(QWidget* field, const QString& message, bool selectAll);
    // Refuses the first field, in the order of the report items, that holds a
    // character a typed text may not hold.
    bool typedTextsClean();
    ReportRecord::Texts recordTexts() const;
    void closePhrasePanel();

    bool loaded_ = false;
    QWidget* form_ = nullptr;

    // Window variables (kept while the window is closed).
    EditMode editMode_ = EditMode::None;
    QString recordKey_;
    // Reset to the starting state at every load, with the rights the load applies.
    EditState state_;
    bool templateRight_ = true;     // right 5 as the load found it
    bool videoRight_ = true;        // right 3 as the load found it
    bool storeSelected_ = false;    // the capture-store buttons are on
    bool reportSelected_ = false;   // the report-picture buttons are on
    int pageFlag_ = 0;
    QString machine_;
    QString lastReportBox_;
    int phraseLabelCount_ = 50;
    int phraseFilled_ = 0;
    bool phraseInserted_ = false;
    bool settingBoxText_ = false;
    int phraseTopTw_ = 0;
    int phraseHeightTw_ = 0;
    QString bodyPartMemory_;
    StockDescriptions::GridGeometry stockGrid_;
    int editRow_ = 0, editCol_ = 0;
    int sidePanelTab_ = 3;
    int category_ = 0;
    bool videoOn_ = false;
    bool recording_ = false;
    FootSwitchDetector footSwitch_;   // never reset: it lives as long as the window
    QString comPort_;                 // the [system] comport value the port was opened with
    // The DICOM conversion (DataRecordDicom.cpp): the study and series of its
    // last run (DcmStudyId, DcmSeriesId, DcmSeriesNo), forgotten by the load and by New.
    Dicom::StudyBook dcmStudy_;
    bool dicomRunning_ = false;   // a conversion is running: the foot switch takes no picture
    void forgetDicomStudy();
    struct DicomCommand;
    int layoutMode_ = 0;
    std::array<bool, 4> keepStored_{};
    // The capture slots' files still being written (or written and not yet looked at).
    std::array<std::optional<QFuture<CaptureOutcome>>, 18> captureJobs_{};
    QThreadPool captureWriter_;

    // Window-level panel rectangles in twips.
    EditorGeometry::Panels panels_;
};
