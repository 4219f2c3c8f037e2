#pragma once
#include "refdata/DictionaryWindow.h"

class QLabel;
class QLineEdit;

// Body parts ("检查部位设置", table bodypart): names numbered by the database.
// Names need not be unique. A deleted part takes nothing else with it: its
// categories and templates stay stored but are listed nowhere any more.
class FrmMBpart : public DictionaryWindow {
    Q_OBJECT
public:
    static FrmMBpart& instance();

    QLabel* Label1 = nullptr;
    QLineEdit* Text1 = nullptr;   // the part's name

protected:
    FrmMBpart();
    QList<DictGrid::Column> gridColumns() const override;
    QString listingSql() const override;
    void buildInputs(PaintPanel* Picdata) override;
    bool checkInputs() override;
    Statement insertStatement() const override;
    Statement updateStatement(const QString& key) const override;
    Statement deleteStatement(const QString& key) const override;
    QString deleteQuestion(const QString& key) const override;
    QString deleteNoKeyMessage() const override;
};
