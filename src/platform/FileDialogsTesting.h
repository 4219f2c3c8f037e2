#pragma once
// How tests answer the program's file and folder dialogs and read back what
// was asked.
#include "platform/FileDialogs.h"

#include <QList>

namespace FileDialogs {
// In scripted mode no dialog is shown: the next queued answer is returned (an
// empty text meaning "cancelled"), and what was asked is kept.
inline void setScripted(bool on)
{
    internal::script().scripted = on;
    internal::script().queue.clear();
    internal::script().asked.clear();
}
inline void queueAnswer(const QString& path) { internal::script().queue.append(path); }
inline QList<Asked>& asked() { return internal::script().asked; }
}
