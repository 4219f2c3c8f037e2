#include "report/PrintQueue.h"

#include "platform/MessageBox.h"
#include "report/PrintService.h"
#include "report/PrinterBackend.h"
#include "report/ReportUnits.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QFile>
#include <QFileInfo>
#include <QTimer>

#include <cups/cups.h>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

namespace PrintQueue {

namespace {
// How long an accepted job is followed in its queue: for as long as a device may take to be
// found unreachable. It is asked often at first (a queue refuses or stops a job within a
// second), then less often (WatchTiming).
constexpr int kWatchMs = 60000;
// A spool file lives for the seconds of one print; one this old was left by a killed program.
constexpr int kStaleSeconds = 600;

QString systemText(int err) { return QString::fromLocal8Bit(std::strerror(err)); }

// The spool folder opened for use, or -1 with *error set. Its name is taken by the one
// link rule, the folder opened without following a link put there after that, and checked
// through the open descriptor, so that what is checked is what is used: another account's
// link, another account's folder, or one that other accounts may write, is refused with
// what to do. A folder of this user's that others may only read or enter (made
// with the usual umask) is closed to them here: nobody else can have put anything in it,
// and the job files in it are owner-only already.
int openSpoolFolder(const QString& folder, bool make, QString* error)
{
    // The folder's name is looked up once, by the one link rule.
    const PrivateFile::Name name = PrivateFile::resolve(folder);
    if (!name.refusedLink.isEmpty()) {
        *error = PrivateFile::refusedLinkText(name.refusedLink, PrivateFile::Remedy::Administrator)
                 + QStringLiteral("，下次打印时会重新建立文件夹");
        return -1;
    }
    if (const int err = name.ok() && make ? name.folder.makeFolder(name.entry) : 0; err != 0 && err != EEXIST) {
        *error = QStringLiteral("无法建立存放打印作业的文件夹 %1（%2）").arg(folder, systemText(err));
        return -1;
    }
    errno = name.error;
    const int fd =
        name.ok() ? ::openat(name.folder.fd(), name.entry.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC)
                  : -1;
    struct stat st {};
    if (fd < 0 || ::fstat(fd, &st) != 0) {
        const int err = errno;
        if (fd >= 0)
            ::close(fd);
        struct stat link {};
        if (name.ok() && name.folder.stat(name.entry, &link) == 0 && S_ISLNK(link.st_mode))
            *error = QStringLiteral("存放打印作业的文件夹 %1 是一个链接，打印作业不能放在它指向的地方；"
                                    "请系统管理员删除这个链接，下次打印时会重新建立文件夹")
                         .arg(folder);
        else if (err == ENOTDIR)
            *error = QStringLiteral(
                         "%1 应是存放打印作业的文件夹，却是一个文件；请系统管理员删除它，下次打印时会重新建立文件夹")
                         .arg(folder);
        else
            *error = QStringLiteral("无法打开存放打印作业的文件夹 %1（%2）").arg(folder, systemText(err));
        return -1;
    }
    const auto refuse = [&](const QString& text) {
        ::close(fd);
        *error = text;
        return -1;
    };
    if (st.st_uid != ::geteuid())
        return refuse(QStringLiteral("存放打印作业的文件夹 %1 属于另一个帐户，不能存放本帐户的打印作业；"
                                     "请系统管理员删除它，下次打印时会重新建立文件夹")
                          .arg(folder));
    if (st.st_mode & (S_IWGRP | S_IWOTH))
        return refuse(QStringLiteral("存放打印作业的文件夹 %1 其他帐户也可以写入，不能存放病人资料；"
                                     "请删除这个文件夹（连同其中的文件），下次打印时会重新建立")
                          .arg(folder));
    if ((st.st_mode & 07777) != 0700 && ::fchmod(fd, 0700) != 0)
        return refuse(QStringLiteral("存放打印作业的文件夹 %1 其他帐户也可以读取，也无法改为仅本帐户可用（%2）；"
                                     "请删除这个文件夹，下次打印时会重新建立")
                          .arg(folder, systemText(errno)));
    return fd;
}

// Removes what a killed program left in the checked spool folder: the hidden job files
// that no running program holds, and the named ones of earlier builds (this user's
// "job-….pdf") not touched for a while.
void removeStale(const PrivateFile::Folder& folder)
{
    PrivateFile::removeLeftovers(folder, [](const QString&) { return false; });
    QList<QByteArray> names;
    if (!folder.list(&names))
        return;
    const time_t before = ::time(nullptr) - kStaleSeconds;
    for (const QByteArray& name : names) {
        struct stat st {};
        if (name.startsWith("job-") && name.endsWith(".pdf") && folder.stat(name, &st) == 0 && S_ISREG(st.st_mode)
            && st.st_uid == ::geteuid() && st.st_mtime < before)
            (void)folder.remove(name);
    }
}
}

QString SpoolFile::path() const
{
    // Without /proc (never on a usual system) only the name is left to the writer.
    const QString name = file_.temporaryPath();
    return name.isEmpty() || ::access("/proc/self/fd", X_OK) == 0 ? QStringLiteral("/proc/self/fd/%1").arg(fd()) : name;
}

std::shared_ptr<SpoolFile> newSpoolFile(const QString& folder, QString* error)
{
    const int dir = openSpoolFolder(folder, true, error);
    if (dir < 0)
        return nullptr;
    const PrivateFile::Folder checked = PrivateFile::Folder::adopt(dir, folder);
    removeStale(checked);
    // The jobs hold patient data: owner-only, and never a name that is already there.
    auto spool = std::make_shared<SpoolFile>(checked);
    if (spool->error() == 0)
        return spool;
    *error = QStringLiteral("无法在 %1 建立打印作业的临时文件（%2）").arg(folder, systemText(spool->error()));
    return nullptr;
}

void removeStaleSpoolFiles(const QString& folder)
{
    QString ignored;   // a folder that cannot be used is said by the next print
    const int dir = openSpoolFolder(folder, false, &ignored);
    if (dir < 0)
        return;
    removeStale(PrivateFile::Folder::adopt(dir, folder));
}

QString checkWhole(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QStringLiteral("无法读取：") + file.errorString();
    // What the writer left in the system's buffers goes to the disk now, or its failure shows.
    if (::fsync(file.handle()) != 0)
        return QStringLiteral("无法写入磁盘：") + QString::fromLocal8Bit(std::strerror(errno));
    const qint64 size = file.size();
    if (size == 0)
        return QStringLiteral("文件是空的");
    const uchar* data = file.map(0, size);
    if (!data)
        return QStringLiteral("无法读取：") + file.errorString();
    const QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char*>(data), size);
    const QString cut = QStringLiteral("文件在第 %1 字节处中断").arg(size);
    if (!bytes.trimmed().endsWith("%%EOF"))
        return cut;
    const qsizetype start = bytes.lastIndexOf("startxref");
    if (start < 0)
        return cut;
    bool ok = false;
    const qint64 xref = bytes.mid(start + 9, 24).trimmed().split('\n').value(0).trimmed().toLongLong(&ok);
    if (!ok || xref <= 0 || xref >= size || !bytes.mid(xref, 4).startsWith("xref"))
        return cut;
    // "xref", "0 N", then N entries of 20 bytes: "oooooooooo ggggg n \n".
    const qsizetype header = bytes.indexOf('\n', xref + 4);
    const QList<QByteArray> range = bytes.mid(header + 1, 40).split('\n').value(0).trimmed().split(' ');
    const int first = range.value(0).toInt(), count = range.value(1).toInt(&ok);
    const qsizetype entries = bytes.indexOf('\n', header + 1) + 1;
    if (!ok || count <= 0 || entries <= 0 || entries + qint64(count) * 20 > size)
        return cut;
    for (int i = 0; i < count; ++i) {
        const QByteArray entry = bytes.mid(entries + qsizetype(i) * 20, 20);
        if (entry.size() < 18 || entry.at(17) != 'n')
            continue;
        const qint64 at = entry.left(10).toLongLong(&ok);
        const QByteArray obj = QByteArray::number(first + i) + ' ';
        if (!ok || at <= 0 || at >= size || !bytes.mid(at, obj.size()).startsWith(obj))
            return cut;
    }
    return QString();
}

QString notWrittenText(const QString& printer, const SpoolFile& spool, const QString& step)
{
    struct statvfs fs {};
    const bool full = ::fstatvfs(spool.fd(), &fs) == 0 && fs.f_bavail == 0;
    return QStringLiteral("打印作业没有完整写入临时文件夹 %1 中的临时文件（%2；%3），没有送往打印机“%4”")
        .arg(spool.folder(), step,
             full ? QStringLiteral("临时文件夹所在的磁盘已满") : QStringLiteral("临时文件夹可能已满"), printer);
}

namespace {
WatchTiming& timing()
{
    static WatchTiming t;
    return t;
}

int& followed()
{
    static int n = 0;
    return n;
}

qint64 nowMs() { return timing().clockMs ? timing().clockMs() : QDeadlineTimer::current().deadline(); }

// One accepted job followed in its queue.
struct Watch {
    std::shared_ptr<PrinterBackend> backend;
    QString printer;
    int jobId = 0;
    qint64 since = 0;
    int intervalMs = 0;
    bool warned = false;
};

void answered(const std::shared_ptr<Watch>& w, const JobStatus& s);

// The next question after the interval; its answer arrives while the window goes on.
void askLater(const std::shared_ptr<Watch>& w)
{
    QTimer::singleShot(w->intervalMs, QCoreApplication::instance(), [w] {
        w->backend->jobStatusLater(w->printer, w->jobId, [w](const JobStatus& s) { answered(w, s); });
    });
}

void answered(const std::shared_ptr<Watch>& w, const JobStatus& s)
{
    const Telling told = tell({w->printer, w->jobId, std::nullopt, s, std::nullopt});
    if (s.state == JobStatus::Waiting && told.kind != Telling::Error && nowMs() - w->since < kWatchMs) {
        w->intervalMs = std::min(w->intervalMs * 3 / 2, timing().longestIntervalMs);
        askLater(w);
    } else {
        --followed();
    }
    if (told.kind == Telling::Error) {
        w->backend->forget();
        MessageBox::critical(ReportError{ReportError::PrinterFailure, told.text}.text(), MessageBox::kErrorTitle);
    } else if (told.kind == Telling::Warning && !w->warned) {
        // Not a failure: the job stays in its queue and prints once the printer is seen to;
        // it is followed on (a later end is said), its waiting said this once.
        w->warned = true;
        MessageBox::show(told.text, MessageBox::kPrintTitle, MessageBox::Icon::Exclamation);
    }
}
}

void watch(std::shared_ptr<PrinterBackend> backend, const QString& printer, int jobId)
{
    auto w = std::make_shared<Watch>();
    w->backend = std::move(backend);
    w->printer = printer;
    w->jobId = jobId;
    w->since = nowMs();
    w->intervalMs = timing().firstIntervalMs;
    ++followed();
    askLater(w);
}

void setWatchTiming(const WatchTiming& t) { timing() = t; }

int watching() { return followed(); }

Answer::Failure failureFor(int status, bool sending, Reach service, bool printerKnown)
{
    if (service == Reach::NoAnswer)
        return Answer::NoAnswer;
    // A print service without room for the pages answers "Request Entity Too Large"
    // (request-value-too-long while they are sent).
    if (status == IPP_STATUS_ERROR_REQUEST_ENTITY || (sending && status == IPP_STATUS_ERROR_REQUEST_VALUE))
        return Answer::SpoolFull;
    if (service == Reach::NotRunning)
        return Answer::ServiceDown;
    if (sending)
        return Answer::NotWhole;
    return printerKnown ? Answer::Refused : Answer::NoPrinter;
}

// --- CUPS ----------------------------------------------------------------------------------

namespace Cups {

namespace {
// What the print service said of the last request; empty when it said nothing useful
// ("successful-ok" after a request that did not succeed).
QString lastError()
{
    if (cupsLastError() <= IPP_STATUS_OK_EVENTS_COMPLETE)
        return QString();
    const char* e = cupsLastErrorString();
    return e && *e ? QString::fromUtf8(e) : QString();
}

// libcups asks whether to wait on after each second without an answer: while the question
// is neither given up nor past its deadline.
int waitOn(http_t*, void* question)
{
    const auto* q = static_cast<const PrintService::Question*>(question);
    return !q->abandoned() && q->msLeft() > 1;
}

// A connection of the question's own to the print service this thread reaches, whose every
// wait ends at the question's deadline. No connection: the service does not run there
// (refused; errno kept), or did not take it in time.
class Connection {
public:
    explicit Connection(const PrintService::Question& q) : q_(q)
    {
        http_ = httpConnect2(cupsServer(), ippPort(), nullptr, AF_UNSPEC, cupsEncryption(), 1, q.msLeft(), nullptr);
        error_ = errno;
        if (http_)
            httpSetTimeout(http_, 1.0, waitOn, const_cast<PrintService::Question*>(&q));
    }
    ~Connection()
    {
        if (http_)
            httpClose(http_);
    }
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    http_t* http() const { return http_; }
    // Whether the deadline passed (or the asker gave up) while the service was asked.
    bool late() const { return q_.abandoned() || q_.msLeft() <= 1; }
    // Takes the service's answer as the question's (false when it was given up).
    bool claim() const { return q_.claim(); }
    int error() const { return error_; }
    // How the service is found after a failed request on this connection.
    Reach reach() const
    {
        if (late())
            return Reach::NoAnswer;
        const Connection fresh(q_);
        return fresh.http() ? Reach::Answers : fresh.late() ? Reach::NoAnswer : Reach::NotRunning;
    }

private:
    const PrintService::Question& q_;
    http_t* http_ = nullptr;
    int error_ = 0;
};

// The failure of a request to queue, in the program's terms; sending: the job was made
// and its pages were on their way.
Answer failed(const Connection& c, const QByteArray& queue, bool sending)
{
    Answer a;
    a.detail = lastError();
    const int status = cupsLastError();
    const Reach reach = c.reach();
    bool known = false;
    if (reach == Reach::Answers && !sending) {
        cups_dest_t* dest = cupsGetNamedDest(c.http(), queue.constData(), nullptr);
        known = dest != nullptr;
        cupsFreeDests(dest ? 1 : 0, dest);
    }
    a.failure = failureFor(status, sending, c.late() ? Reach::NoAnswer : reach, known);
    if (a.failure == Answer::NoAnswer)
        a.detail.clear();   // what libcups says of a wait it gave up tells nothing more
    return a;
}

QByteArray mediaName(const QPageSize& paper)
{
    if (paper.id() != QPageSize::Custom)
        return paper.key().toUtf8();
    const QSizeF mm = paper.size(QPageSize::Millimeter);
    return QStringLiteral("Custom.%1x%2mm").arg(mm.width(), 0, 'f', 1).arg(mm.height(), 0, 'f', 1).toUtf8();
}

// The service cannot be reached on c: how to say so.
Answer unreachable(const Connection& c)
{
    return Answer{0, c.late() ? Answer::NoAnswer : Answer::ServiceDown, c.late() ? QString() : systemText(c.error())};
}
}

Answer submit(const QString& printer, QIODevice& pages, const JobOptions& options, const PrintService::Question& q)
{
    const Connection c(q);
    if (!c.http())
        return unreachable(c);
    // A printer "queue/instance" prints with the instance's own options.
    const QByteArray queue = printer.section(QLatin1Char('/'), 0, 0).toUtf8();
    const QByteArray instance = printer.section(QLatin1Char('/'), 1).toUtf8();
    int n = 0;
    cups_option_t* opts = nullptr;
    if (!instance.isEmpty()) {
        if (cups_dest_t* dest = cupsGetNamedDest(c.http(), queue.constData(), instance.constData())) {
            for (int i = 0; i < dest->num_options; ++i)
                n = cupsAddOption(dest->options[i].name, dest->options[i].value, n, &opts);
            cupsFreeDests(1, dest);
        }
    }
    if (options.paper.isValid())
        n = cupsAddOption("media", mediaName(options.paper).constData(), n, &opts);
    n = cupsAddOption("print-color-mode", options.monochrome ? "monochrome" : "color", n, &opts);
    if (options.quality < 0)
        n = cupsAddOption("print-quality", options.quality >= -2 ? "3" : options.quality == -3 ? "4" : "5", n, &opts);
    const QByteArray title = options.title.toUtf8();
    // The job is made first, then its pages are sent: a failure on the way is known for
    // what it is (refused, or cut short), and a job cut short is withdrawn.
    const int id = cupsCreateJob(c.http(), queue.constData(), title.constData(), n, opts);
    cupsFreeOptions(n, opts);
    if (id <= 0)
        return failed(c, queue, false);
    bool sent = cupsStartDocument(c.http(), queue.constData(), id, title.constData(), CUPS_FORMAT_PDF, 1)
                == HTTP_STATUS_CONTINUE;
    QByteArray chunk(64 * 1024, Qt::Uninitialized);
    bool unreadable = false;
    while (sent) {
        const qint64 got = pages.read(chunk.data(), chunk.size());
        if (got <= 0) {
            unreadable = got < 0;
            sent = !unreadable;
            break;
        }
        sent = cupsWriteRequestData(c.http(), chunk.constData(), size_t(got)) == HTTP_STATUS_CONTINUE;
    }
    // The document request is ended in every case, so that the connection is free again.
    const bool finished = cupsFinishDocument(c.http(), queue.constData()) <= IPP_STATUS_OK_EVENTS_COMPLETE;
    if (sent && finished && c.claim()) {
        Answer a;
        a.jobId = id;
        return a;
    }
    // Given up (the user is told it was not sent), cut short, or refused on the way.
    Answer a = failed(c, queue, true);
    if (unreadable && !c.late())
        a = Answer{0, Answer::NotWhole, pages.errorString()};
    if (!c.late()) {
        cupsCancelJob2(c.http(), queue.constData(), id, 0);
        return a;
    }
    // Given up: the user was told that the job was not sent, and this worker runs on alone.
    // The withdrawal takes a connection and waits of its own, so that a service that answers
    // late still drops the job rather than print it.
    if (http_t* own = httpConnect2(cupsServer(), ippPort(), nullptr, AF_UNSPEC, cupsEncryption(), 1, 30000, nullptr)) {
        cupsCancelJob2(own, queue.constData(), id, 0);
        httpClose(own);
    }
    return a;
}

namespace {
QStringList keywords(ipp_t* response, const char* name)
{
    QStringList list;
    if (ipp_attribute_t* a = ippFindAttribute(response, name, IPP_TAG_KEYWORD))
        for (int i = 0; i < ippGetCount(a); ++i)
            list << QString::fromUtf8(ippGetString(a, i, nullptr));
    return list;
}

QString text(ipp_t* response, const char* name)
{
    ipp_attribute_t* a = ippFindAttribute(response, name, IPP_TAG_TEXT);
    return a ? QString::fromUtf8(ippGetString(a, 0, nullptr)).trimmed() : QString();
}

QByteArray printerUri(const QString& printer)
{
    char uri[HTTP_MAX_URI];
    httpAssembleURIf(HTTP_URI_CODING_ALL, uri, sizeof uri, "ipp", nullptr, "localhost", 0, "/printers/%s",
                     printer.section(QLatin1Char('/'), 0, 0).toUtf8().constData());
    return uri;
}

// The printer's state: whether it is stopped, the reasons it reports and its words.
void askPrinter(http_t* http, const QString& printer, JobStatus* s)
{
    ipp_t* request = ippNewRequest(IPP_OP_GET_PRINTER_ATTRIBUTES);
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_URI, "printer-uri", nullptr, printerUri(printer).constData());
    static const char* const wanted[] = {"printer-state", "printer-state-reasons", "printer-state-message"};
    ippAddStrings(request, IPP_TAG_OPERATION, IPP_TAG_KEYWORD, "requested-attributes", 3, nullptr, wanted);
    ipp_t* response = cupsDoRequest(http, request, "/");
    if (response && ippGetStatusCode(response) <= IPP_STATUS_OK_EVENTS_COMPLETE) {
        if (ipp_attribute_t* a = ippFindAttribute(response, "printer-state", IPP_TAG_ENUM))
            s->printerPaused = ippGetInteger(a, 0) == IPP_PSTATE_STOPPED;
        s->printerReasons = keywords(response, "printer-state-reasons");
        s->printerMessage = text(response, "printer-state-message");
    }
    ippDelete(response);
}

// Whether the printer's queue holds a job the service began and that has not ended: the
// job the device failed on, when the printer is stopped.
bool queueHoldsBegunJob(http_t* http, const QString& printer)
{
    ipp_t* request = ippNewRequest(IPP_OP_GET_JOBS);
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_URI, "printer-uri", nullptr, printerUri(printer).constData());
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_KEYWORD, "which-jobs", nullptr, "not-completed");
    static const char* const wanted[] = {"job-id", "time-at-processing"};
    ippAddStrings(request, IPP_TAG_OPERATION, IPP_TAG_KEYWORD, "requested-attributes", 2, nullptr, wanted);
    ipp_t* response = cupsDoRequest(http, request, "/");
    bool begun = false;
    if (response && ippGetStatusCode(response) <= IPP_STATUS_OK_EVENTS_COMPLETE) {
        for (ipp_attribute_t* a = ippFirstAttribute(response); a && !begun; a = ippNextAttribute(response)) {
            const char* name = ippGetName(a);
            begun = name && std::strcmp(name, "time-at-processing") == 0 && ippGetValueTag(a) == IPP_TAG_INTEGER
                    && ippGetInteger(a, 0) > 0;
        }
    }
    ippDelete(response);
    return begun;
}
}

JobStatus status(const QString& printer, int jobId, const PrintService::Question& q)
{
    JobStatus s;
    const Connection c(q);
    if (!c.http()) {
        if (c.late())
            s.state = JobStatus::NoAnswer;
        return s;
    }
    ipp_t* request = ippNewRequest(IPP_OP_GET_JOB_ATTRIBUTES);
    char uri[HTTP_MAX_URI];
    httpAssembleURIf(HTTP_URI_CODING_ALL, uri, sizeof uri, "ipp", nullptr, "localhost", 0, "/jobs/%d", jobId);
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_URI, "job-uri", nullptr, uri);
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_NAME, "requesting-user-name", nullptr, cupsUser());
    static const char* const wanted[] = {"job-state", "job-state-reasons", "job-printer-state-message",
                                         "time-at-processing"};
    ippAddStrings(request, IPP_TAG_OPERATION, IPP_TAG_KEYWORD, "requested-attributes", 4, nullptr, wanted);
    ipp_t* response = cupsDoRequest(c.http(), request, "/");
    if (response && ippGetStatusCode(response) <= IPP_STATUS_OK_EVENTS_COMPLETE) {
        if (ipp_attribute_t* a = ippFindAttribute(response, "job-state", IPP_TAG_ENUM)) {
            s.ippState = ippGetInteger(a, 0);
            switch (s.ippState) {
            case IPP_JSTATE_COMPLETED: s.state = JobStatus::Completed; break;
            case IPP_JSTATE_CANCELED: s.state = JobStatus::Canceled; break;
            case IPP_JSTATE_ABORTED: s.state = JobStatus::Aborted; break;
            default: s.state = JobStatus::Waiting;
            }
        }
        s.reason = text(response, "job-printer-state-message");
        s.reasons = keywords(response, "job-state-reasons");
        if (ipp_attribute_t* a = ippFindAttribute(response, "time-at-processing", IPP_TAG_INTEGER))
            s.begun = ippGetInteger(a, 0) > 0;
    }
    ippDelete(response);
    // A disabled printer takes jobs and holds them, and says so only through its own state;
    // so does a printer that reports a problem.
    if (s.state == JobStatus::Waiting) {
        askPrinter(c.http(), printer, &s);
        if (s.printerPaused)
            s.queueStoppedOnDevice = queueHoldsBegunJob(c.http(), printer);
    }
    if (c.late())
        s = JobStatus::noAnswer();
    return s;
}

std::optional<Outage> serviceDown(const PrintService::Question& q)
{
    const Connection c(q);
    if (!c.http())
        return c.late() ? Outage(QString(), true) : Outage(systemText(c.error()));
    // A request every service answers (with the default printer, or that there is none).
    ippDelete(cupsDoRequest(c.http(), ippNewRequest(IPP_OP_CUPS_GET_DEFAULT), "/"));
    if (c.late())
        return Outage(QString(), true);
    return std::nullopt;
}
}
}
