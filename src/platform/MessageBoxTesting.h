#pragma once
// How tests and benchmarks answer the program's message boxes and read back
// what was shown.
#include "platform/MessageBox.h"

#include <QList>

namespace MessageBox {

// In scripted mode no box is shown: the next queued answer is returned, or,
// when the queue is empty, the safe one (Ok for a plain box, otherwise Cancel/No).
inline void setScripted(bool on)
{
    internal::script().scripted = on;
    internal::script().queue.clear();
}
inline void queueAnswer(Answer a) { internal::script().queue.append(a); }
inline QList<Shown>& shownBoxes() { return internal::script().shown; }
inline void clearShown() { internal::script().shown.clear(); }
}
