#pragma once
#include "refdata/DictionaryWindow.h"

class QLabel;
class QLineEdit;

// Report item captions ("报告项目名称设置", table bgxm): the 23 fixed rows, one
// per report item, in code order. Only the caption is ever written; there is no
// New and no Delete. The editor, the template window and the printed report
// label their fields with these captions.
class Frmbgxm : public DictionaryWindow {
    Q_OBJECT
public:
    static Frmbgxm& instance();

    QLabel* Label1 = nullptr;
    QLabel* Label2 = nullptr;
    QLabel* Label3 = nullptr;
    QLineEdit* Text1 = nullptr;     // item code, never enabled
    QLineEdit* Text2 = nullptr;     // caption, enabled while an update is pending
    QLineEdit* Comboks = nullptr;   // data type, never enabled

protected:
    Frmbgxm();
    QList<DictGrid::Column> gridColumns() const override;
    QString listingSql() const override;
    void buildInputs(PaintPanel* Picdata) override;
    void lockInputs(bool locked) override;
    QWidget* firstInput() const override;
    bool checkInputs() override;
    Statement updateStatement(const QString& key) const override;
};
