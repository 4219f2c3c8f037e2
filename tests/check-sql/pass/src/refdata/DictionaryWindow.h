#pragma once
#include <QDialog>
#include <QString>
#include <QVariantList>

// The shared editing cycle. A window derives from it:
//   class FrmJCnote : public DictionaryWindow { ... listingSql() ... };
class DictionaryWindow : public QDialog {
public:
    struct Statement {
        QString sql;
        QVariantList params;
    };

protected:
    virtual QString listingSql() const = 0;
    virtual Statement rowStatement(const QString& /*key*/) const { return {}; }
    virtual Statement insertStatement() const { return {}; }
    virtual Statement updateStatement(const QString& key) const = 0;
    virtual Statement deleteStatement(const QString& /*key*/) const { return {}; }
    QString currentKey() const;
};
