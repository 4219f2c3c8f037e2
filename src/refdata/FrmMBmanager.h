#pragma once
#include <QPointer>
#include <QDialog>
#include <QString>
#include <QVector>

class DictGrid;
class PaintPanel;
class PickCombo;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QTreeWidget;
class QTreeWidgetItem;
class QvButton;
class QWidget;

// The template library ("模板管理", table templet): body parts and their
// categories as a tree, the templates of the chosen node in a list, the chosen
// template in the data panel below. A template is an exam name, a findings text
// and a diagnosis filed under a category; its part follows from the category.
//
// Three ways in, each through one entry point that loads the window, prepares
// it and shows it modally:
//   openForMaintenance()   the main window's 模板管理
//   openForPicking()       the editor's 载入模板: 载入模板 here appends the chosen
//                          template to the editor's part, exam name, findings
//                          and diagnosis and closes
//   openForOffer(...)      the editor's 设为模板: the editor's texts, ready to be
//                          filed under a part and category and saved
// New, Update and Delete follow the template right; Save and Load do not, so a
// user without it can still pick a template and save one the editor offered.
//
// A shown template is read-only (locked, enabled, dark grey text); only New and
// Update make the five fields editable. The part and category boxes choose
// their entries by number, so parts or categories of the same name are never
// mixed up. A template that cannot be read (gone, or its category or part gone)
// clears the fields and disables Update, Delete and Load, and a blank list row
// is no template: nothing stale can be changed, deleted or loaded into a report.
class FrmMBmanager : public QDialog {
    Q_OBJECT
public:
    ~FrmMBmanager() override;
    static FrmMBmanager& instance();

    void openForMaintenance();
    void openForPicking();
    void openForOffer(const QString& name, const QString& findings, const QString& diagnosis);

    // Builds the controls and runs the load unless the window is already loaded.
    void ensureLoaded();
    bool isLoaded() const { return loaded_; }
    int showModally();

    // The opening status ("load" while the editor picks a template, else "")
    // and the edit mode ("insert", "update" or "").
    void OpenStatus(const QString& status) { openStatus_ = status; }
    void Savebj(const QString& mode) { mode_ = mode; }
    QString editMode() const { return mode_; }
    // The template shown (0: none).
    qint64 templateNumber() const { return templateNo_; }
    // The part and category numbers of the entries chosen last ("" when none).
    QString partTag() const { return partTag_; }
    QString assortTag() const { return assortTag_; }
    // True while the five fields take no input.
    bool fieldsLocked() const;

    // Controls, under their established names.
    PaintPanel* Pictool = nullptr;
    QWidget* Linetool1 = nullptr;
    QvButton *ButtnNew = nullptr, *ButtnUpdate = nullptr, *ButtnDel = nullptr, *ButtnSave = nullptr,
             *ButtnLoad = nullptr, *ButtnQuit = nullptr;
    PaintPanel* PicTree = nullptr;
    QTreeWidget* TreeView1 = nullptr;
    // Compared by address only: it may be on its way out when it reports.
    QPointer<QWidget> treeViewport_;
    DictGrid* MSHFlexGrid1 = nullptr;
    PaintPanel* Picdata = nullptr;
    QLabel *Label1 = nullptr, *Label2 = nullptr, *Label3 = nullptr, *Label4 = nullptr, *Label5 = nullptr;
    PickCombo* Combopart = nullptr;
    PickCombo* Comboassort = nullptr;
    QLineEdit* Text1 = nullptr;        // exam name
    QPlainTextEdit* Text2 = nullptr;   // findings
    QPlainTextEdit* Text3 = nullptr;   // diagnosis

public slots:
    void ButtnNew_Click();
    void ButtnUpdate_Click();
    void ButtnDel_Click();
    void ButtnSave_Click();
    void ButtnLoad_Click();
    void ButtnQuit_Click();
    void TreeView1_Click();
    void MSHFlexGrid1_SelChange();
    void MSHFlexGrid1_MouseUp();
    void Combopart_Click(int index);
    void Comboassort_Click(int index);

protected:
    void done(int r) override;
    void showEvent(QShowEvent* e) override;
    void changeEvent(QEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;
    bool eventFilter(QObject* watched, QEvent* e) override;

private:
    FrmMBmanager();

    // FrmMBmanager.cpp: the window and browsing.
    void buildControls();
    void Form_Load();
    void Form_Activate();
    void Form_Unload();
    void ApplySkin();
    void LoadTemplateTree();
    void LoadItemCaptions();
    void ResetTemplateGrid();
    void loadPartBox();
    void showTemplateFailed();

    // FrmMBmanagerEdit.cpp: the field looks and the buttons.
    void lockFields(bool locked);
    void colourFields(bool readOnly);
    void setReadOnlyLook();
    void setEditableLook();
    void clearFields();
    void enableWithRight(QvButton* b);
    bool failCheck(QWidget* field, const QString& text);
    bool checkFields();

    bool loaded_ = false;
    QWidget* form_ = nullptr;

    // Window variables, kept while the window is closed.
    QString openStatus_;
    QString mode_;
    qint64 templateNo_ = 0;
    QVector<qint64> partIds_;
    QVector<qint64> assortIds_;
    QString partTag_;
    QString assortTag_;
};
