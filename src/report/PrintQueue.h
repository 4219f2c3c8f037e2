#pragma once
#include <QPageSize>
#include <QString>

#include <memory>

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

// The queue's answer to a submission: the job's number, or why it was refused.
struct Answer {
    int jobId = 0;
    QString error;   // empty when the queue took the job
    bool accepted() const { return jobId > 0 && error.isEmpty(); }
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
};

// A new, empty, owner-only spool file in folder (made when missing); empty with *error
// set when none can be made there.
QString newSpoolFile(const QString& folder, QString* error);

// Removes the spool files a killed program left in folder (patient pages): those not
// touched for ten minutes, so the job of another copy printing now stays.
void removeStaleSpoolFiles(const QString& folder);

// Whether the PDF job file at path is on the disk whole: every byte synced, its
// cross-reference table where the trailer says, and every object where the table
// says. Empty when it is; else what is wrong with it.
QString checkWhole(const QString& path);

// Follows an accepted job for a few seconds without holding up the window; when the
// queue aborts or cancels it, says so under "错误" and lets the backend forget what it
// knew of its printers.
void watch(std::shared_ptr<PrinterBackend> backend, const QString& printer, int jobId);

// The message of a job the queue refused, aborted or canceled.
QString refusedText(const QString& printer, const QString& reason);
QString endedText(const QString& printer, int jobId, const JobStatus& status);

// The system's queues (CUPS).
namespace Cups {
Answer submit(const QString& printer, const QString& file, const JobOptions& options);
JobStatus status(int jobId);
}
}
