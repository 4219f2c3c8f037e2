#pragma once
#include "core/Database.h"
#include "refdata/DictGrid.h"

#include <QDialog>
#include <QList>
#include <QRect>
#include <QString>
#include <QVariantList>
#include <functional>

class PaintPanel;
class QKeyEvent;
class QLabel;
class QLineEdit;
class QvButton;
class RecordSet;

// The editing cycle the dictionary windows share: a list of the table's rows on
// the left, the selected row's inputs on the right, and New, Update, Delete,
// Save and Quit on the tool bar. Rows are added, changed and deleted one at a
// time; every write is checked first, every delete asked first, and after a
// write the list is brought up to date from the inputs, never read again.
//
// A window derives from it and gives what is its own:
//
//   class FrmJCsection : public DictionaryWindow {
//   public:
//       static FrmJCsection& instance();      // the one window of the program
//   protected:
//       FrmJCsection() : DictionaryWindow({QStringLiteral("科室设置")}) {}
//       QList<DictGrid::Column> gridColumns() const override;  // key in column 0
//       QString listingSql() const override;                    // columns in grid order
//       void buildInputs(PaintPanel* Picdata) override {
//           Text1 = addLineEdit(Picdata, twips(1200, 240, 2175, 360), "Text1");
//           bindColumn(0, Text1); ...                          // cell <-> input
//       }
//       bool checkInputs() override {                          // in the window's order
//           if (Text1->text().isEmpty()) return fail(Text1, QStringLiteral("…"));
//           return true;
//       }
//       Statement insertStatement() const override;            // bound values only
//       Statement updateStatement(const QString& key) const override;
//       Statement deleteStatement(const QString& key) const override;
//       QString deleteQuestion(const QString& key) const override;
//       QString deleteNoKeyMessage() const override;
//   };
//
// A table keyed by the database's autonumber passes KeyKind::Number: its key
// has no input, and a saved new row gets the number the database gave it in
// column 0. A window with Update, Save and Quit only passes newAndDelete = false
// (ButtnNew and ButtnDel are then null). The window's opener goes into
// RefdataOpeners::registerAll().
//
// The other hooks (showRow, showCells, clearInputs, lockInputs, setButtons,
// refuseUpdate/refuseDelete, listedRow, loadExtras, inputRowTexts/inputRowData,
// applySkin) have the cycle's behaviour and are overridden only where a window
// departs from it. Opening: instance().ensureLoaded(), then showModally(); the
// controls are rebuilt and the load runs at every opening, and the edit mode and
// current key start empty each time. Rows of the list are counted from 0.
class DictionaryWindow : public QDialog {
    Q_OBJECT
public:
    // The current key: a text (none = "") or a number the database gave (none = 0).
    enum class KeyKind {
        Text,
        Number
    };
    enum class State {
        Empty,
        Browse,
        Editing
    };
    // Which message kind a window uses for Update without a row and Save with
    // nothing pending: critical "错误" or information "提示".
    enum class Notice {
        Critical,
        Information
    };
    struct Design {
        QString caption;
        KeyKind key = KeyKind::Text;
        bool newAndDelete = true;   // false: Update, Save and Quit only
    };
    struct Statement {
        QString sql;
        QVariantList params;
    };

    ~DictionaryWindow() override;

    // Asks the question (OK or Cancel) and on OK runs the delete; false when the
    // user cancelled or the delete failed (with the database's message).
    static bool ConfirmAndDelete(QWidget* parent, const QString& question,
                                 const std::function<QueryResult()>& deleteRows);

    // Builds the controls and runs the load unless the window is already loaded.
    void ensureLoaded();
    bool isLoaded() const { return loaded_; }
    // Shows the window modally through the program's opener.
    int showModally();

    QString editMode() const { return mode_; }   // "insert", "update" or ""
    QString currentKey() const { return key_; }
    bool hasCurrentKey() const;

    // Controls, under their established names. ButtnNew and ButtnDel are
    // null in a window without New and Delete.
    PaintPanel* Pictool = nullptr;
    QvButton* ButtnNew = nullptr;
    QvButton* ButtnUpdate = nullptr;
    QvButton* ButtnDel = nullptr;
    QvButton* ButtnSave = nullptr;
    QvButton* ButtnQuit = nullptr;
    DictGrid* MSHFlexGrid1 = nullptr;
    PaintPanel* Picdata = nullptr;

public slots:
    void ButtnNew_Click();
    void ButtnUpdate_Click();
    void ButtnDel_Click();
    void ButtnSave_Click();
    void ButtnQuit_Click();
    void MSHFlexGrid1_SelChange();
    void MSHFlexGrid1_MouseUp();

protected:
    explicit DictionaryWindow(Design design);

    // --- what each window gives --------------------------------------------
    virtual QList<DictGrid::Column> gridColumns() const = 0;
    // The listing; its columns in the order of the grid's (extra columns may follow).
    virtual QString listingSql() const = 0;
    // Creates the inputs on the data panel (bindColumn, addInput).
    virtual void buildInputs(PaintPanel* Picdata) = 0;
    // The window's checks in order: false after the failing one's message (fail()).
    virtual bool checkInputs() = 0;
    virtual Statement insertStatement() const { return {}; }
    virtual Statement updateStatement(const QString& key) const = 0;
    virtual Statement deleteStatement(const QString& /*key*/) const { return {}; }
    virtual QString deleteQuestion(const QString& /*key*/) const { return {}; }
    virtual QString deleteNoKeyMessage() const { return {}; }
    // The row display's read of the row with this key, for a window that reads
    // the selected row from the database instead of copying the grid's cells.
    virtual Statement rowStatement(const QString& /*key*/) const { return {}; }

    // --- where a window departs from the cycle ------------------------------
    // Form_Load's colours (default: the standard ApplySkin with the tool bar's buttons).
    virtual void applySkin();
    // Runs after the grid loader and the menu skin (e.g. a list of another table).
    virtual void loadExtras() {}
    // The grid loader's first row in the inputs (default: showCells).
    virtual void listedRow(const RecordSet& rows, int row);
    // The list keeps this value with a listed row (not shown).
    virtual QVariant listedRowData(const RecordSet& /*rows*/, int /*row*/) const { return {}; }
    // The row display's fill of the inputs; false leaves the window as it was
    // (only the current key has changed). Default: showCells.
    virtual bool showRow(int row);
    // Copies the cells of a row into the inputs bound to them.
    virtual void showCells(int row);
    // Empties the inputs; forNew: inputs that are not texts take New's defaults.
    virtual void clearInputs(bool forNew);
    // Locks (disables) or unlocks every input added with addInput.
    virtual void lockInputs(bool locked);
    // The input that New and Update put the focus into (default: the first bound).
    virtual QWidget* firstInput() const;
    // Buttons of a state (Empty: New; Browse: New, Update, Delete; Editing: Save).
    virtual void setButtons(State s);
    virtual bool refuseUpdate() { return false; }
    virtual bool refuseDelete() { return false; }
    // A saved row's cells: the bound inputs' texts (other cells as they are).
    virtual QStringList inputRowTexts() const;
    virtual QVariant inputRowData() const { return {}; }
    virtual Notice cycleNotice() const { return Notice::Critical; }

    // --- helpers for windows -------------------------------------------------
    void bindColumn(int column, QWidget* input);
    void addInput(QWidget* input);
    // A text input's value for a statement: its text, or Null when empty.
    static QVariant textValue(const QString& text);
    static QString inputText(const QWidget* input);
    static void setInputText(QWidget* input, const QString& text);
    // Shows a check's message (kind: the window's cycle notice unless given),
    // puts the focus into the input, optionally with its text selected; false.
    bool fail(QWidget* input, const QString& text, bool selectAll = false);
    bool fail(QWidget* input, const QString& text, bool selectAll, Notice kind);
    void notify(Notice kind, const QString& text) const;
    // The caption of the label on an input's line, as a field name ("科室名称").
    static QString fieldName(const QWidget* input);
    // A twips rectangle in pixels.
    static QRect twips(int left, int top, int width, int height);
    QLineEdit* addLineEdit(QWidget* parent, const QRect& geometry, const char* name);
    QLabel* addLabel(QWidget* parent, const QString& caption, int leftTw, int topTw, const char* name);

    void Form_Load();
    void Form_Unload();

    void done(int r) override;
    void keyPressEvent(QKeyEvent* e) override;

private:
    void buildControls();
    void LoadGrid();
    // Refuses the first enabled text input that holds a character a typed text may not.
    bool typedTextsClean();
    QString keyOfRow(int row, const QString& unchanged) const;
    QString noKey() const;

    Design design_;
    bool loaded_ = false;
    QWidget* form_ = nullptr;
    QString mode_;
    QString key_;
    QList<QPair<int, QWidget*>> bound_;
    QList<QWidget*> inputs_;
};
