#pragma once
#include "imaging/DicomFile.h"
#include "imaging/DicomSend.h"

#include <QList>
#include <QString>

#include <functional>

// One conversion's pictures turned into DICOM files in the exam folder and,
// when asked, sent to the PACS over one association. Runs on any thread and
// shows nothing: the caller is told of each picture done and gets the outcome.
namespace Dicom {

struct SendSettings {
    bool send = false;
    QString host;
    int port = 0;
    QString title;   // calling and called AE title alike
};

struct Slot {
    int index = 0;    // the capture slot
    QString source;   // the picture it shows
};

struct Outcome {
    enum class Stop {
        None,
        Convert,
        Full,
        Send
    };
    Stop stop = Stop::None;
    QString why;         // the reason of a stop
    QList<int> done;     // the capture slots converted (and sent), in order
    QStringList files;   // their files
    int associations = 0;
};

// Converts the slots' pictures in order into the exam folder, numbered after the files already there
// (image<n>.dcm, never replacing one), each sent right after it is written when
// settings.send. Stops at the first failure; the slots after it are not touched.
// common holds the patient, study and series; each picture gets its own content
// date and time. done(slot, count) is called on the running thread after each slot.
// cancel (any thread) ends the sending at once: the slot being sent fails as a
// send, and one whose picture is still being made takes no file.
// A conversion killed meanwhile leaves whole files only (Image::stage).
Outcome Convert(const Picture& common, const QList<Slot>& pictures, const ExamFolder& folder,
                const SendSettings& settings, const std::function<void(int slot, int count)>& done = {},
                const std::shared_ptr<SendCancel>& cancel = nullptr);
}
