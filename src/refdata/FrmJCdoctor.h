#pragma once
#include "refdata/DictionaryWindow.h"

#include <array>

class QCheckBox;
class QLabel;
class QLineEdit;

// Users and rights ("用户管理", table user): a code, a name and the eight rights
// the login takes. The row shown is read from the table, since the list shows
// only code and name. The account "admin" cannot be changed or deleted here;
// passwords are neither shown nor changed (a new user's is Null, i.e. empty).
class FrmJCdoctor : public DictionaryWindow {
    Q_OBJECT
public:
    static FrmJCdoctor& instance();

    QLabel* Label1 = nullptr;
    QLabel* Label2 = nullptr;
    QLineEdit* Text1 = nullptr;    // user code, the key
    QLineEdit* Text2 = nullptr;    // user name
    PaintPanel* Picqx = nullptr;   // the rights, locked and unlocked as a whole
    QLabel* Label3 = nullptr;
    QLabel* Label4 = nullptr;
    QWidget* Line1 = nullptr;
    QCheckBox *Checkqx1 = nullptr, *Checkqx2 = nullptr, *Checkqx3 = nullptr, *Checkqx4 = nullptr, *Checkqx5 = nullptr,
              *Checkqx6 = nullptr, *Checkqx7 = nullptr, *Checkqx8 = nullptr;

    // Checkqx1 .. Checkqx8 in column order (qx1 .. qx8).
    std::array<QCheckBox*, 8> rightBoxes() const;

protected:
    FrmJCdoctor();
    QList<DictGrid::Column> gridColumns() const override;
    QString listingSql() const override;
    void buildInputs(PaintPanel* Picdata) override;
    void applySkin() override;
    void listedRow(const RecordSet& rows, int row) override;
    bool showRow(int row) override;
    void clearInputs(bool forNew) override;
    bool refuseUpdate() override;
    bool refuseDelete() override;
    bool checkInputs() override;
    Statement rowStatement(const QString& key) const override;
    Statement insertStatement() const override;
    Statement updateStatement(const QString& key) const override;
    Statement deleteStatement(const QString& key) const override;
    QString deleteQuestion(const QString& key) const override;
    QString deleteNoKeyMessage() const override;

private:
    void showRights(const RecordSet& rows, int row);
    QVariantList rightValues() const;
    bool isAdministrator() const;
};
