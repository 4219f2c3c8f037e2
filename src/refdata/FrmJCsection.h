#pragma once
#include "refdata/DictionaryWindow.h"

class QLabel;
class QLineEdit;

// Sections ("科室设置", table section): a code that must read as a number,
// stored as typed ("007" stays "007"), and a name. Its checks and its refused
// Update speak as information messages titled "提示".
class FrmJCsection : public DictionaryWindow {
    Q_OBJECT
public:
    static FrmJCsection& instance();

    QLabel* Label1 = nullptr;
    QLabel* Label2 = nullptr;
    QLineEdit* Text1 = nullptr;   // code, the key
    QLineEdit* Text2 = nullptr;   // name

protected:
    FrmJCsection();
    QList<DictGrid::Column> gridColumns() const override;
    QString listingSql() const override;
    void buildInputs(PaintPanel* Picdata) override;
    bool checkInputs() override;
    Statement insertStatement() const override;
    Statement updateStatement(const QString& key) const override;
    Statement deleteStatement(const QString& key) const override;
    QString deleteQuestion(const QString& key) const override;
    QString deleteNoKeyMessage() const override;
    Notice cycleNotice() const override { return Notice::Information; }
};
