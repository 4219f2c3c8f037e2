#pragma once
#include <QDialog>
#include <QString>

class QTableView;
class QvButton;

// The related-records window (caption "相关报告记录"): the earlier reports
// with the exam number or the patient name just typed into the editor, one of
// which is copied into the editor as a new report or opened there as itself.
// One instance; every showing loads its list afresh.
//
// The editor's duplicate check: setSql(By::ExamNumber, Text1's text), then
// showModally(). The list's statement binds the value; no typed text ever
// becomes part of SQL.
class Frmcfsj : public QDialog {
    Q_OBJECT
public:
    enum class By {
        ExamNumber,
        PatientName
    };

    static Frmcfsj& instance();
    // Tests: the window is deleted, and the next instance() is a new one, as
    // at the program's start.
    static void discardInstance();

    // The reports listed: those whose exam number (obligate5) or patient
    // name (brname) equals value, compared as the editor's duplicate check does.
    void setSql(By by, const QString& value);
    By filterColumn() const { return by_; }
    QString filterValue() const { return value_; }

    // Loads the window (colours, then the list) and shows it modally.
    int showModally();

    // The list's columns by position.
    enum Col : int {
        kExamColumn,     // 检查号
        kNameColumn,     // 病人姓名
        kSexColumn,      // 性别
        kAgeColumn,      // 年龄, with its unit
        kPartColumn,     // 检查部位
        kDateColumn,     // 检查日期
        kDoctorColumn,   // 报告医师
        kKeyColumn,      // 序号 (ctid), hidden
        kColumns
    };

public slots:
    void ButtnCopy_Click();
    void ButtnViewer_Click();
    void ButtnClose_Click();

public:
    QTableView* MSHFlexGrid1 = nullptr;
    QvButton *ButtnCopy = nullptr, *ButtnViewer = nullptr, *ButtnClose = nullptr;

private:
    Frmcfsj();
    void Form_Load();
    void ApplyDialogSkin();
    void LoadRelatedGrid();

    By by_ = By::ExamNumber;
    QString value_;
};
