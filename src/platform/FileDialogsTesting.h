#pragma once
// How tests answer the program's file and folder dialogs and read back what
// was asked.
#include "platform/FileDialogs.h"

#include <QList>

namespace FileDialogs {
struct Asked {
    QString kind;   // "open", "save" or "folder"
    QString title;
    QString folder;
    QString filter;
};

// In scripted mode no dialog is shown: the next queued answer is returned (an
// empty text meaning "cancelled"), and what was asked is kept.
void setScripted(bool on);
void queueAnswer(const QString& path);
QList<Asked>& asked();
}
