#pragma once
#include <QDialog>

// Named like a dictionary window and with a hook's name, but none.
class FrmMBbrowser : public QDialog {
protected:
    QString listingSql() const;
    Statement rowStatement(const QString& key) const
    {
        return {QStringLiteral("SELECT * FROM templet WHERE mbid = ?"), {key}};   // flagged
    }
};
