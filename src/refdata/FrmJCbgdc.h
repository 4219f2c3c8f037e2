#pragma once
#include "refdata/DictionaryWindow.h"

class QComboBox;
class QLabel;
class QLineEdit;

// Requesting physicians ("申请医师设置", table doctor): a code, a name and the
// section picked from the list of sections. The physician stores the picked
// section's code as a whole number in plain decimal, the form in which the
// report editor looks a section's physicians up. The list keeps each row's
// stored section code, so of two sections with the same name the physician's
// own stays chosen.
class FrmJCbgdc : public DictionaryWindow {
    Q_OBJECT
public:
    static FrmJCbgdc& instance();

    QLabel* Label1 = nullptr;
    QLabel* Label2 = nullptr;
    QLabel* Label3 = nullptr;
    QLineEdit* Text1 = nullptr;     // physician code, the key
    QLineEdit* Text2 = nullptr;     // name
    QComboBox* Comboks = nullptr;   // section: a list entry must be picked

    // The list entry picked for the section field; -1 when none (typed text).
    int chosenSection() const { return chosen_; }

protected:
    FrmJCbgdc();
    QList<DictGrid::Column> gridColumns() const override;
    QString listingSql() const override;
    void buildInputs(PaintPanel* Picdata) override;
    void loadExtras() override;
    QVariant listedRowData(const RecordSet& rows, int row) const override;
    void showCells(int row) override;
    void clearInputs(bool forNew) override;
    bool checkInputs() override;
    Statement insertStatement() const override;
    Statement updateStatement(const QString& key) const override;
    Statement deleteStatement(const QString& key) const override;
    QString deleteQuestion(const QString& key) const override;
    QString deleteNoKeyMessage() const override;
    QVariant inputRowData() const override;

private:
    QString chosenCode() const;
    int chosen_ = -1;
};
