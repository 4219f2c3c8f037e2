#pragma once
#include "refdata/DictionaryWindow.h"

class FrmJCuser : public DictionaryWindow {
protected:
    QString listingSql() const override;
    Statement rowStatement(const QString& key) const override;
    Statement insertStatement() const override;
    Statement updateStatement(const QString& key) const override;
    Statement deleteStatement(const QString& key) const override;
    void showRow();
};

// A window derived from a dictionary window is one too.
class FrmJCadmin final : public FrmJCuser {
protected:
    QString listingSql() const override;
};

// A hook may be defined in the class's body.
class FrmJCnote : public DictionaryWindow {
protected:
    QString listingSql() const override { return QStringLiteral("SELECT id, note FROM note ORDER BY id"); }
};
