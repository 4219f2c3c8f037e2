#include "report/PrintQueue.h"

#include "platform/MessageBox.h"
#include "platform/PrivateFile.h"
#include "report/PrinterBackend.h"
#include "report/ReportUnits.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryFile>
#include <QTimer>
#include <QCoreApplication>

#include <cups/cups.h>
#include <cstring>
#include <unistd.h>

namespace PrintQueue {

namespace {
// How long and how often an accepted job is followed in its queue.
constexpr int kWatchIntervalMs = 250;
constexpr int kWatchRounds = 20;
// A spool file lives for the seconds of one print; one this old was left by a killed program.
constexpr int kStaleSeconds = 600;
}

QString newSpoolFile(const QString& folder, QString* error)
{
    if (!PrivateFile::makeFolder(folder)) {
        *error = QStringLiteral("无法建立文件夹 %1").arg(folder);
        return QString();
    }
    // The jobs hold patient data: the folder must be this user's own, not one laid in our way.
    const QFileInfo info(folder);
    if (info.isSymLink() || !info.isDir() || info.ownerId() != ::getuid()
        || (info.permissions()
            & (QFileDevice::ReadOther | QFileDevice::WriteOther | QFileDevice::ReadGroup | QFileDevice::WriteGroup))) {
        *error = QStringLiteral("文件夹 %1 不是本用户独有的文件夹").arg(folder);
        return QString();
    }
    QTemporaryFile file(folder + QStringLiteral("/job-XXXXXX.pdf"));   // owner-only
    file.setAutoRemove(false);
    if (!file.open()) {
        *error = file.errorString();
        return QString();
    }
    return file.fileName();
}

void removeStaleSpoolFiles(const QString& folder)
{
    const QDateTime before = QDateTime::currentDateTimeUtc().addSecs(-kStaleSeconds);
    const QFileInfoList jobs = QDir(folder).entryInfoList({QStringLiteral("job-*.pdf")}, QDir::Files | QDir::Hidden);
    for (const QFileInfo& f : jobs)
        if (!f.isSymLink() && f.ownerId() == ::getuid() && f.lastModified().toUTC() < before)
            QFile::remove(f.filePath());
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

QString refusedText(const QString& printer, const QString& reason)
{
    return QStringLiteral("打印机“%1”拒绝了打印作业：%2").arg(printer, reason);
}

QString endedText(const QString& printer, int jobId, const JobStatus& status)
{
    const QString how = status.state == JobStatus::Canceled ? QStringLiteral("已被取消") : QStringLiteral("已中止");
    const QString reason = status.reason.isEmpty() ? QStringLiteral("打印机没有说明原因") : status.reason;
    return QStringLiteral("打印机“%1”上的打印作业（%2 号）%3，没有打印出来：%4")
        .arg(printer)
        .arg(jobId)
        .arg(how, reason);
}

void watch(std::shared_ptr<PrinterBackend> backend, const QString& printer, int jobId)
{
    auto* timer = new QTimer(QCoreApplication::instance());
    timer->setInterval(kWatchIntervalMs);
    auto rounds = std::make_shared<int>(0);
    QObject::connect(timer, &QTimer::timeout, timer, [timer, rounds, backend, printer, jobId] {
        const JobStatus s = backend->jobStatus(printer, jobId);
        const bool failed = s.state == JobStatus::Aborted || s.state == JobStatus::Canceled;
        if (s.state != JobStatus::Waiting || ++*rounds >= kWatchRounds) {
            timer->stop();
            timer->deleteLater();
        }
        if (failed) {
            backend->forget();
            MessageBox::critical(ReportError{ReportError::PrinterFailure, endedText(printer, jobId, s)}.text(),
                                 MessageBox::kErrorTitle);
        }
    });
    timer->start();
}

// --- CUPS ----------------------------------------------------------------------------------

namespace Cups {

namespace {
QString lastError()
{
    const char* e = cupsLastErrorString();
    return e && *e ? QString::fromUtf8(e) : QStringLiteral("打印服务没有说明原因");
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
    const int id = cupsPrintFile2(CUPS_HTTP_DEFAULT, queue.constData(), QFile::encodeName(file).constData(),
                                  options.title.toUtf8().constData(), n, opts);
    cupsFreeOptions(n, opts);
    Answer a;
    a.jobId = id;
    if (id <= 0)
        a.error = lastError();
    return a;
}

JobStatus status(int jobId)
{
    ipp_t* request = ippNewRequest(IPP_OP_GET_JOB_ATTRIBUTES);
    char uri[HTTP_MAX_URI];
    httpAssembleURIf(HTTP_URI_CODING_ALL, uri, sizeof uri, "ipp", nullptr, "localhost", 0, "/jobs/%d", jobId);
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_URI, "job-uri", nullptr, uri);
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_NAME, "requesting-user-name", nullptr, cupsUser());
    static const char* const wanted[] = {"job-state", "job-state-reasons", "job-printer-state-message"};
    ippAddStrings(request, IPP_TAG_OPERATION, IPP_TAG_KEYWORD, "requested-attributes", 3, nullptr, wanted);
    ipp_t* response = cupsDoRequest(CUPS_HTTP_DEFAULT, request, "/");
    JobStatus s;
    if (!response)
        return s;
    if (ippGetStatusCode(response) <= IPP_STATUS_OK_EVENTS_COMPLETE) {
        if (ipp_attribute_t* a = ippFindAttribute(response, "job-state", IPP_TAG_ENUM)) {
            switch (ippGetInteger(a, 0)) {
            case IPP_JSTATE_COMPLETED: s.state = JobStatus::Completed; break;
            case IPP_JSTATE_CANCELED: s.state = JobStatus::Canceled; break;
            case IPP_JSTATE_ABORTED: s.state = JobStatus::Aborted; break;
            default: s.state = JobStatus::Waiting;
            }
        }
        if (ipp_attribute_t* a = ippFindAttribute(response, "job-printer-state-message", IPP_TAG_TEXT))
            s.reason = QString::fromUtf8(ippGetString(a, 0, nullptr)).trimmed();
        if (s.reason.isEmpty()) {
            if (ipp_attribute_t* a = ippFindAttribute(response, "job-state-reasons", IPP_TAG_KEYWORD)) {
                QStringList reasons;
                for (int i = 0; i < ippGetCount(a); ++i)
                    reasons << QString::fromUtf8(ippGetString(a, i, nullptr));
                s.reason = reasons.join(QStringLiteral(", "));
            }
        }
    }
    ippDelete(response);
    return s;
}
}
}
