#pragma once
#include <QPageSize>
#include <QString>

#include <memory>
#include <optional>

class PrinterBackend;

// A print job on its way to a printer: written by Qt into a file of our own (the spool
// file), checked to be whole, handed to the printer's queue, and followed there for a
// few seconds. Every step that fails says why.
namespace PrintQueue {

// What a job asks of the queue besides its pages.
struct JobOptions {
    QString title;     // the job's name in the queue
    QPageSize paper;   // the sheet the pages are laid out for
    bool monochrome = false;
    int quality = 0;   // 0 the printer's own, else -1 draft .. -4 high
};

// The queue's answer to a submission: the job's number, or why it was not taken.
struct Answer {
    enum Failure {
        None,
        Refused,       // the printer's queue said no (not accepting jobs …)
        NoPrinter,     // the print service no longer has the printer
        ServiceDown,   // the print service does not answer at all
        SpoolFull,     // the print service has no room for the job
        NotWhole       // the job's pages did not all reach the queue (the queue's space, most likely)
    };
    int jobId = 0;
    Failure failure = None;
    QString detail;   // the print service's own words, when it said anything
    bool accepted() const { return jobId > 0 && failure == None; }
};

// A submitted job's state as the queue knows it.
struct JobStatus {
    enum State {
        Waiting,   // pending, held or processing
        Completed,
        Canceled,
        Aborted,
        Unknown   // the queue no longer knows the job (or cannot be asked)
    };
    State state = Unknown;
    QString reason;
    // A waiting job whose printer is paused: it stays in the queue until the printer goes on.
    bool printerPaused = false;
};

// A new, empty, owner-only spool file in folder (made when missing); empty with *error
// set, saying what is wrong and what to do, when none can be made there. The folder is
// checked first (this user's own, not a link, no other account may write in it), then
// the job files a killed program left in it are removed, then the new one is made.
QString newSpoolFile(const QString& folder, QString* error);

// Removes the spool files a killed program left in folder (patient pages): those not
// touched for ten minutes, so the job of another copy printing now stays. A folder that
// fails the check above is left alone, whatever it holds.
void removeStaleSpoolFiles(const QString& folder);

// Whether the PDF job file at path is on the disk whole: every byte synced, its
// cross-reference table where the trailer says, and every object where the table
// says. Empty when it is; else what is wrong with it.
QString checkWhole(const QString& path);

// Follows an accepted job for a few seconds without holding up the window; when the
// queue aborts or cancels it, says so under "错误" and lets the backend forget what it
// knew of its printers. A job held by a paused printer is said once (the job stays in
// its queue) and followed no further.
void watch(std::shared_ptr<PrinterBackend> backend, const QString& printer, int jobId);

// The messages of a job the queue did not take, ended without printing, or holds.
QString refusedText(const QString& printer, const Answer& answer);
QString endedText(const QString& printer, int jobId, const JobStatus& status);
QString pausedText(const QString& printer, int jobId, const JobStatus& status);
// A job file that could not be written whole (step: what failed), and why as far as the disk tells.
QString notWrittenText(const QString& printer, const QString& spoolFile, const QString& step);

// The system's queues (CUPS).
namespace Cups {
Answer submit(const QString& printer, const QString& file, const JobOptions& options);
JobStatus status(const QString& printer, int jobId);
// What the print service says when it does not answer (not running); nullopt when it does.
std::optional<QString> serviceDown();
}
}
