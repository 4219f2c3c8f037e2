#pragma once
// How tests and benchmarks answer the program's message boxes and read back
// what was shown.
#include "platform/MessageBox.h"

#include <QList>

namespace MessageBox {

struct Shown {
    QString text;
    QString title;
    Icon icon;
    Buttons buttons;
};

// In scripted mode no box is shown: the next queued answer is returned, or,
// when the queue is empty, the safe one (Ok for a plain box, otherwise Cancel/No).
void setScripted(bool on);
void queueAnswer(Answer a);
QList<Shown>& shownBoxes();
void clearShown();
}
