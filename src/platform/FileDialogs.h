#pragma once
#include <QList>
#include <QString>
#include <QStringList>

class QWidget;

// Open/save/folder dialogs. A cancelled dialog returns an empty text.
// Tests queue the answers (FileDialogsTesting.h). The dialogs are Qt's own
// (never the desktop's), in Chinese whatever the machine's language: their
// texts, and the sizes, types and dates of the files they list.
namespace FileDialogs {
// Installs Qt's Chinese translation of its own dialogs (file dialogs, the
// standard buttons of message boxes); once, and only where an application runs.
void loadStandardTexts();

QString getOpenFileName(QWidget* parent, const QString& title, const QString& folder, const QString& filter);
// confirmOverwrite true: choosing an existing file asks (MessageBox, Yes/No,
// the dialog's title) before it is returned; No shows the dialog again.
// false: choosing an existing file replaces it without a question.
QString getSaveFileName(QWidget* parent, const QString& title, const QString& folder, const QString& filter,
                        bool confirmOverwrite = true);
QString getExistingDirectory(QWidget* parent, const QString& title, const QString& folder);

// A dialog as it was asked for.
struct Asked {
    QString kind;   // "open", "save" or "folder"
    QString title;
    QString folder;
    QString filter;
};

namespace internal {
// The dialogs asked for, and the answers tests give in place of the user
// (FileDialogsTesting.h); the program itself never scripts them.
struct Script {
    bool scripted = false;
    QStringList queue;
    QList<Asked> asked;
};
Script& script();
}
}
