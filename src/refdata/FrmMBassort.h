#pragma once
#include "refdata/DictionaryWindow.h"

#include <QVector>

class PickCombo;
class QLabel;
class QLineEdit;

// Template categories ("检查部位分类设置", table assortpart): names numbered by
// the database, each filed under a body part picked from the list of parts.
// The list of the categories keeps each row's part number, and the part box
// chooses its entry by that number, so of two parts with the same name the
// category's own stays chosen and an unrelated save never moves the category
// (and its templates) to the other part. Categories of a deleted part are not
// listed.
class FrmMBassort : public DictionaryWindow {
    Q_OBJECT
public:
    static FrmMBassort& instance();

    QLabel* Label1 = nullptr;
    QLabel* Label2 = nullptr;
    QLineEdit* Text1 = nullptr;   // the category's name
    PickCombo* Text2 = nullptr;   // the body part: an entry must be picked

    // The part number of the entry chosen last ("" when none), as the box's
    // click left it; the number a save files the category under.
    QString partTag() const { return tag_; }

public slots:
    void Text2_Click(int index);

protected:
    FrmMBassort();
    QList<DictGrid::Column> gridColumns() const override;
    QString listingSql() const override;
    QVariant listedRowData(const RecordSet& rows, int row) const override;
    void buildInputs(PaintPanel* Picdata) override;
    void loadExtras() override;
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
    // Chooses the list entry of a row's part: by its number, else the first
    // entry of the same name; none found leaves the choice as it was.
    void SelectPartByText(int row);

    QVector<qint64> partIds_;   // parallel to the part box's list
    QString tag_;
};
