#pragma once
#include "refdata/DictionaryWindow.h"

class QLabel;
class QLineEdit;

// The phrase library ("词库维护", table zymc): terms numbered by the database,
// each with an optional keyword (Null when empty). Terms whose keyword is "V"
// are the report editor's quick-insert buttons.
class Frmck : public DictionaryWindow {
    Q_OBJECT
public:
    static Frmck& instance();

    QLabel* Label1 = nullptr;
    QLabel* Label2 = nullptr;
    QLineEdit* Text1 = nullptr;   // term
    QLineEdit* Text2 = nullptr;   // keyword

protected:
    Frmck();
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
