#pragma once
// What tests do with the editor beyond what the program does: the order in
// which a capture's files are written and its outcome asked for. The program
// itself never calls these.
#include "editor/DataRecord.h"

#include <QFuture>
#include <QThreadPool>

#include <functional>

struct DataRecordTesting {
    // Called on the GUI thread right after a capture's writer job has been
    // started, before the editor asks for its outcome (a test makes the job
    // finish first); an empty function removes it.
    static void onCaptureStarted(std::function<void(QFuture<void>)> hook)
    {
        DataRecord::captureStartedHook() = std::move(hook);
    }
    // The one thread the captures' files are written on: a task a test puts
    // there first keeps the next capture's job from starting until it ends.
    static QThreadPool& captureWriter(DataRecord& ed) { return ed.captureWriter_; }
};
