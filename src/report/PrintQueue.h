#pragma once
#include "platform/PrivateFile.h"

#include <QPageSize>
#include <QString>
#include <functional>
#include <QStringList>

#include <memory>
#include <optional>

class PrinterBackend;
class QIODevice;
namespace PrintService {
class Question;
}

// A print job on its way to a printer: written by Qt into a file of our own (the spool
// file), checked to be whole, handed to the printer's queue, and followed there for up to
// a minute. Every step that fails says why.
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
        NotWhole,      // the job's pages did not all reach the queue (the queue's space, most likely)
        NoAnswer       // the print service took the request and did not answer in time
    };
    int jobId = 0;
    Failure failure = None;
    QString detail;   // the print service's own words, when it said anything
    bool accepted() const { return jobId > 0 && failure == None; }
};

// A submitted job as the print service knows it, and its printer, as asked together.
struct JobStatus {
    enum State {
        Waiting,   // not ended: pending, held, processing or stopped (the facts below say which)
        Completed,
        Canceled,
        Aborted,
        Unknown,   // the queue no longer knows the job (or cannot be asked)
        NoAnswer   // the print service did not answer in time
    };
    State state = Unknown;
    QString reason;   // the printer's words at the job (job-printer-state-message)
    // The IPP job-state (3 pending, 4 pending-held, 5 processing, 6 processing-stopped, 7 ..
    // 9 ended); 0 when not known.
    int ippState = 0;
    QStringList reasons;   // job-state-reasons keywords
    // Whether the service began the job once (it has a time-at-processing): a printer that
    // stopped after that stopped on its device's failure, not because somebody paused it.
    bool begun = false;
    // Its printer, asked while the job is not ended: stopped (paused by somebody, or by the
    // service after its device failed), the reasons it reports and its words.
    bool printerPaused = false;
    QStringList printerReasons;   // printer-state-reasons keywords ("media-empty-error" …)
    QString printerMessage;       // printer-state-message
    // The printer's queue holds a job the service began and stopped (not ended): a printer
    // stopped so was stopped by the service on its device's failure, for every job after it.
    bool queueStoppedOnDevice = false;

    static JobStatus noAnswer()
    {
        JobStatus s;
        s.state = NoAnswer;
        return s;
    }
};

// The print service cannot be asked: it does not run (the connection is refused), or it
// takes the connection and does not answer in time. words: its own, when it said any.
struct Outage {
    Outage(QString w = QString(), bool late = false) : words(std::move(w)), noAnswer(late) {}
    QString words;
    bool noAnswer = false;
};

// What the program tells of an answer of the print service: nothing (the job prints, or
// nothing is known), a warning (the job waits in its queue and prints once the printer or
// the service is seen to), or an error (the job will not print as it is).
struct Telling {
    enum Kind {
        Nothing,
        Warning,
        Error
    };
    Kind kind = Nothing;
    QString text;
};

// One answer of the print service: to a submission, about an accepted job, or none at all
// when the printers are listed.
struct ServiceAnswer {
    QString printer;   // the printer the answer concerns; empty when the printers were listed
    int jobId = 0;     // the accepted job asked after; 0 for a submission or the list
    std::optional<Answer> submission;
    std::optional<JobStatus> job;
    // The service could not be asked when the printers were listed (no printer is to be
    // had), with its words.
    std::optional<Outage> serviceDown;
};

// Every answer of the print service in the program's words: what happened to the job, why,
// and what the user can do, with the service's own words after it ("（CUPS：…）", its
// keywords in Chinese, words that tell nothing left out).
Telling tell(const ServiceAnswer& answer);

// A print job's file in the spool folder, owner-only (a PrivateFile::NewFile that is
// never committed). It has no name where the file system allows (O_TMPFILE), else a
// short hidden one, locked while it lives; the PDF writer and the queue reach it through
// this program's own descriptor (path(), /proc/self/fd/…), so no name in the folder is
// looked up again after the folder's check. Without /proc they open it by its hidden name
// in the checked folder. It goes with the object.
class SpoolFile {
public:
    explicit SpoolFile(const PrivateFile::Folder& folder) : file_(folder), folderPath_(folder.path()) {}

    // 0, or why the file could not be made.
    int error() const { return file_.error(); }
    // What the writer and the queue open: the file itself, whatever names point where.
    QString path() const;
    // The spool folder, for messages.
    QString folder() const { return folderPath_; }
    int fd() const { return file_.fd(); }

private:
    PrivateFile::NewFile file_;
    QString folderPath_;
};

// A new, empty spool file in folder (made when missing); null with *error set, saying
// what is wrong and what to do, when none can be made there. The folder is opened once
// and checked through its descriptor (this user's own, not a link, no other account may
// write in it), then the job files a killed program left in it are removed, then the new
// one is made in it.
std::shared_ptr<SpoolFile> newSpoolFile(const QString& folder, QString* error);

// Removes the spool files a killed program left in folder (patient pages): those not
// touched for ten minutes, so the job of another copy printing now stays. A folder that
// fails the check above is left alone, whatever it holds.
void removeStaleSpoolFiles(const QString& folder);

// Whether the PDF job file at path is on the disk whole: every byte synced, its
// cross-reference table where the trailer says, and every object where the table
// says. Empty when it is; else what is wrong with it.
QString checkWhole(const QString& path);

// Follows an accepted job for up to a minute without holding up the window: each question
// runs on a worker (PrinterBackend::jobStatusLater), the next one after the answer. What
// tell() makes of its state is said once per job: an error under "错误" (the backend then
// forgets what it knew of its printers), a warning under "打印" (the job stays in its
// queue). A job still waiting normally when the time is up is left to its queue.
void watch(std::shared_ptr<PrinterBackend> backend, const QString& printer, int jobId);
// How often the watch asks, and the clock its minute is measured on (tests run it on a
// clock of their own; the minute itself stays).
struct WatchTiming {
    int firstIntervalMs = 250;
    int longestIntervalMs = 4000;
    std::function<qint64()> clockMs;   // empty: the monotonic clock
};
void setWatchTiming(const WatchTiming& timing);
// How many jobs are being followed now.
int watching();

// The messages of a job the queue did not take, and of one it ended without printing (tell()).
QString refusedText(const QString& printer, const Answer& answer);
QString endedText(const QString& printer, int jobId, const JobStatus& status);
// What a command that needs a printer says when there is none: usual, or, when the print
// service does not answer (down holds its words), that it is not running.
QString noPrinterText(const QString& usual, const std::optional<Outage>& down);
// A job file that could not be written whole (step: what failed), and why as far as the disk tells.
QString notWrittenText(const QString& printer, const SpoolFile& spool, const QString& step);

// How the print service was found when a request failed.
enum class Reach {
    Answers,
    NotRunning,   // the connection is refused
    NoAnswer      // it took the request and did not answer in time
};
// What a failed request to queue a job means: status is the IPP status it ended with;
// sending: the job was made and its pages were on their way; printerKnown: the service
// still has the printer.
Answer::Failure failureFor(int status, bool sending, Reach service, bool printerKnown);

// The system's queues (CUPS). Each runs on a print service worker (PrintService) over a
// connection of its own whose waits end at the question's deadline.
namespace Cups {
Answer submit(const QString& printer, QIODevice& pages, const JobOptions& options, const PrintService::Question& q);
JobStatus status(const QString& printer, int jobId, const PrintService::Question& q);
// Why the print service cannot be asked; nullopt when it answers.
std::optional<Outage> serviceDown(const PrintService::Question& q);
}
}
