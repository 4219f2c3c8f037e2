#include "report/PrintQueue.h"

#include "platform/EventWait.h"
#include "platform/MessageBox.h"
#include "report/PrinterBackend.h"
#include "report/ReportUnits.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QFutureWatcher>
#include <QThreadPool>
#include <QTimer>
#include <QtConcurrent/QtConcurrentRun>

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
// How long and how often an accepted job is followed in its queue: often at first (a queue
// refuses or stops a job within a second), then less often, for as long as a device may take
// to be found unreachable.
constexpr int kWatchFirstIntervalMs = 250;
constexpr int kWatchLongestIntervalMs = 4000;
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

void watch(std::shared_ptr<PrinterBackend> backend, const QString& printer, int jobId)
{
    auto* timer = new QTimer(QCoreApplication::instance());
    timer->setInterval(kWatchFirstIntervalMs);
    auto since = std::make_shared<QElapsedTimer>();
    since->start();
    auto warned = std::make_shared<bool>(false);
    QObject::connect(timer, &QTimer::timeout, timer, [timer, since, warned, backend, printer, jobId] {
        const JobStatus s = backend->jobStatus(printer, jobId);
        const Telling told = tell({printer, jobId, std::nullopt, s, std::nullopt});
        if (s.state != JobStatus::Waiting || told.kind == Telling::Error || since->elapsed() >= kWatchMs) {
            timer->stop();
            timer->deleteLater();
        } else {
            timer->setInterval(std::min(timer->interval() * 3 / 2, kWatchLongestIntervalMs));
        }
        if (told.kind == Telling::Error) {
            backend->forget();
            MessageBox::critical(ReportError{ReportError::PrinterFailure, told.text}.text(), MessageBox::kErrorTitle);
        } else if (told.kind == Telling::Warning && !*warned) {
            // Not a failure: the job stays in its queue and prints once the printer is seen to;
            // it is followed on (a later end is said), its waiting said this once.
            *warned = true;
            MessageBox::show(told.text, MessageBox::kPrintTitle, MessageBox::Icon::Exclamation);
        }
    });
    timer->start();
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

// Whether the print service answers at all: a failed request says "No such file or
// directory" or "Internal Server Error" whether the service is down or the printer refused.
// A connection is tried on a thread of its own (where nothing answers at the service's
// address it takes seconds), while the window is painted and its timers run.
QThreadPool& probePool()
{
    // Never destroyed: a probe still waiting when the program ends keeps its thread.
    static QThreadPool* const pool = [] {
        auto* p = new QThreadPool;
        p->setObjectName(QStringLiteral("PrintServiceProbe"));
        p->setMaxThreadCount(1);
        return p;
    }();
    return *pool;
}

bool serviceAnswers()
{
    // The service's address is this thread's setting (libcups keeps it per thread).
    const QByteArray server = cupsServer();
    const int port = ippPort();
    const http_encryption_t encryption = cupsEncryption();
    QFuture<bool> probe = QtConcurrent::run(&probePool(), [server, port, encryption] {
        http_t* http = httpConnect2(server.constData(), port, nullptr, AF_UNSPEC, encryption, 1, 5000, nullptr);
        if (!http)
            return false;
        httpClose(http);
        return true;
    });
    QFutureWatcher<bool> finished;   // its end arrives as an event, which ends the wait
    finished.setFuture(probe);
    EventWait::until([&probe] { return probe.isFinished(); }, EventWait::kNoLimit);
    return probe.result();
}

// The failure of a request to queue, in the program's terms; sending: the job was made
// and its pages were on their way. A print service without room for the pages answers
// "Request Entity Too Large" (request-value-too-long) while they are sent.
Answer failed(const QByteArray& queue, bool sending)
{
    Answer a;
    a.detail = lastError();
    const ipp_status_t status = cupsLastError();
    if (status == IPP_STATUS_ERROR_REQUEST_ENTITY || (sending && status == IPP_STATUS_ERROR_REQUEST_VALUE)) {
        a.failure = Answer::SpoolFull;
    } else if (!serviceAnswers()) {
        a.failure = Answer::ServiceDown;
    } else if (sending) {
        a.failure = Answer::NotWhole;
    } else {
        cups_dest_t* dest = cupsGetNamedDest(CUPS_HTTP_DEFAULT, queue.constData(), nullptr);
        a.failure = dest ? Answer::Refused : Answer::NoPrinter;
        cupsFreeDests(dest ? 1 : 0, dest);
    }
    return a;
}

QByteArray mediaName(const QPageSize& paper)
{
    if (paper.id() != QPageSize::Custom)
        return paper.key().toUtf8();
    const QSizeF mm = paper.size(QPageSize::Millimeter);
    return QStringLiteral("Custom.%1x%2mm").arg(mm.width(), 0, 'f', 1).arg(mm.height(), 0, 'f', 1).toUtf8();
}
}

Answer submit(const QString& printer, const QString& file, const JobOptions& options)
{
    // A printer "queue/instance" prints with the instance's own options.
    const QByteArray queue = printer.section(QLatin1Char('/'), 0, 0).toUtf8();
    const QByteArray instance = printer.section(QLatin1Char('/'), 1).toUtf8();
    int n = 0;
    cups_option_t* opts = nullptr;
    if (!instance.isEmpty()) {
        if (cups_dest_t* dest = cupsGetNamedDest(CUPS_HTTP_DEFAULT, queue.constData(), instance.constData())) {
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
    const int id = cupsCreateJob(CUPS_HTTP_DEFAULT, queue.constData(), title.constData(), n, opts);
    cupsFreeOptions(n, opts);
    if (id <= 0)
        return failed(queue, false);
    QFile in(file);
    bool sent = in.open(QIODevice::ReadOnly)
                && cupsStartDocument(CUPS_HTTP_DEFAULT, queue.constData(), id, title.constData(), CUPS_FORMAT_PDF, 1)
                       == HTTP_STATUS_CONTINUE;
    QByteArray chunk(64 * 1024, Qt::Uninitialized);
    while (sent) {
        const qint64 got = in.read(chunk.data(), chunk.size());
        if (got <= 0) {
            sent = got == 0;
            break;
        }
        sent = cupsWriteRequestData(CUPS_HTTP_DEFAULT, chunk.constData(), size_t(got)) == HTTP_STATUS_CONTINUE;
    }
    // The document request is ended in every case, so that the connection is free again.
    const bool finished = cupsFinishDocument(CUPS_HTTP_DEFAULT, queue.constData()) <= IPP_STATUS_OK_EVENTS_COMPLETE;
    if (sent && finished) {
        Answer a;
        a.jobId = id;
        return a;
    }
    Answer a = failed(queue, true);
    if (!in.isOpen() || in.error() != QFileDevice::NoError)
        a = Answer{0, Answer::NotWhole, in.errorString()};
    cupsCancelJob2(CUPS_HTTP_DEFAULT, queue.constData(), id, 0);
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

// The printer's state: whether it is stopped, the reasons it reports and its words.
void askPrinter(const QString& printer, JobStatus* s)
{
    ipp_t* request = ippNewRequest(IPP_OP_GET_PRINTER_ATTRIBUTES);
    char uri[HTTP_MAX_URI];
    httpAssembleURIf(HTTP_URI_CODING_ALL, uri, sizeof uri, "ipp", nullptr, "localhost", 0, "/printers/%s",
                     printer.section(QLatin1Char('/'), 0, 0).toUtf8().constData());
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_URI, "printer-uri", nullptr, uri);
    static const char* const wanted[] = {"printer-state", "printer-state-reasons", "printer-state-message"};
    ippAddStrings(request, IPP_TAG_OPERATION, IPP_TAG_KEYWORD, "requested-attributes", 3, nullptr, wanted);
    ipp_t* response = cupsDoRequest(CUPS_HTTP_DEFAULT, request, "/");
    if (response && ippGetStatusCode(response) <= IPP_STATUS_OK_EVENTS_COMPLETE) {
        if (ipp_attribute_t* a = ippFindAttribute(response, "printer-state", IPP_TAG_ENUM))
            s->printerPaused = ippGetInteger(a, 0) == IPP_PSTATE_STOPPED;
        s->printerReasons = keywords(response, "printer-state-reasons");
        s->printerMessage = text(response, "printer-state-message");
    }
    ippDelete(response);
}
}

JobStatus status(const QString& printer, int jobId)
{
    ipp_t* request = ippNewRequest(IPP_OP_GET_JOB_ATTRIBUTES);
    char uri[HTTP_MAX_URI];
    httpAssembleURIf(HTTP_URI_CODING_ALL, uri, sizeof uri, "ipp", nullptr, "localhost", 0, "/jobs/%d", jobId);
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_URI, "job-uri", nullptr, uri);
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_NAME, "requesting-user-name", nullptr, cupsUser());
    static const char* const wanted[] = {"job-state", "job-state-reasons", "job-printer-state-message",
                                         "time-at-processing"};
    ippAddStrings(request, IPP_TAG_OPERATION, IPP_TAG_KEYWORD, "requested-attributes", 4, nullptr, wanted);
    ipp_t* response = cupsDoRequest(CUPS_HTTP_DEFAULT, request, "/");
    JobStatus s;
    if (!response)
        return s;
    if (ippGetStatusCode(response) <= IPP_STATUS_OK_EVENTS_COMPLETE) {
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
    if (s.state == JobStatus::Waiting)
        askPrinter(printer, &s);
    return s;
}

std::optional<QString> serviceDown()
{
    if (serviceAnswers())
        return std::nullopt;
    // The service's words come with a request that fails: the list of printers.
    cups_dest_t* dests = nullptr;
    cupsFreeDests(cupsGetDests2(CUPS_HTTP_DEFAULT, &dests), dests);
    return lastError();
}
}
}
