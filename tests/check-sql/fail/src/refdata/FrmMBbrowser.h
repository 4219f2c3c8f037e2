#pragma once
#include <QDialog>

// Named like a dictionary window and with a hook's name, but none.
class FrmMBbrowser : public QDialog {
protected:
    QString listingSql() const;
};
