#pragma once
#include "refdata/DictionaryWindow.h"

class FrmJCuser : public DictionaryWindow {
protected:
    QString listingSql() const override;
    Statement updateStatement(const QString& key) const override;
    bool showRow(int row);
};
