// The print service's answers in the program's words.
#include "report/PrintQueue.h"

#include <QHash>

#include <cstring>

namespace PrintQueue {

namespace {
// IPP job-state values.
constexpr int kPendingHeld = 4;
constexpr int kProcessingStopped = 6;

// CUPS's keywords (job-state-reasons, printer-state-reasons, without their -report,
// -warning or -error ending) in the program's words; an empty one tells the user nothing
// (or what the program's sentence says already) and is left out.
const QHash<QString, QString>& keywordWords()
{
    static const QHash<QString, QString> words{
        {QStringLiteral("job-canceled-by-user"), QStringLiteral("用户取消了作业")},
        {QStringLiteral("job-canceled-by-operator"), QStringLiteral("管理员取消了作业")},
        {QStringLiteral("job-canceled-at-device"), QStringLiteral("在打印机上取消了作业")},
        {QStringLiteral("aborted-by-system"), QStringLiteral("打印服务中止了作业")},
        {QStringLiteral("job-aborted-by-system"), QStringLiteral("打印服务中止了作业")},
        {QStringLiteral("job-completed-with-errors"), QStringLiteral("作业出错")},
        {QStringLiteral("document-format-error"), QStringLiteral("文件格式错误")},
        {QStringLiteral("document-unprintable-error"), QStringLiteral("文件无法打印")},
        {QStringLiteral("document-access-error"), QStringLiteral("无法读取文件")},
        {QStringLiteral("job-data-insufficient"), QStringLiteral("作业数据不全")},
        {QStringLiteral("job-hold-until-specified"), QStringLiteral("作业被设定为稍后打印")},
        {QStringLiteral("job-held-for-review"), QStringLiteral("作业等待审核")},
        {QStringLiteral("job-password-wait"), QStringLiteral("作业等待输入密码")},
        {QStringLiteral("cups-held-for-authentication"), QStringLiteral("作业等待身份验证")},
        {QStringLiteral("cups-missing-filter"), QStringLiteral("缺少转换文件的程序")},
        {QStringLiteral("cups-insecure-filter"), QStringLiteral("转换文件的程序不安全")},
        {QStringLiteral("resources-are-not-ready"), QStringLiteral("打印机的资源未就绪")},
        {QStringLiteral("media-empty"), QStringLiteral("缺纸")},
        {QStringLiteral("media-jam"), QStringLiteral("卡纸")},
        {QStringLiteral("media-needed"), QStringLiteral("需要装纸")},
        {QStringLiteral("media-low"), QStringLiteral("纸快用完")},
        {QStringLiteral("toner-empty"), QStringLiteral("墨粉已用完")},
        {QStringLiteral("toner-low"), QStringLiteral("墨粉不足")},
        {QStringLiteral("marker-supply-empty"), QStringLiteral("耗材已用完")},
        {QStringLiteral("marker-supply-low"), QStringLiteral("耗材不足")},
        {QStringLiteral("offline"), QStringLiteral("打印机脱机")},
        {QStringLiteral("door-open"), QStringLiteral("机门打开")},
        {QStringLiteral("cover-open"), QStringLiteral("机盖打开")},
        {QStringLiteral("interlock-open"), QStringLiteral("安全锁打开")},
        {QStringLiteral("input-tray-missing"), QStringLiteral("纸盒未装")},
        {QStringLiteral("output-tray-missing"), QStringLiteral("出纸盒未装")},
        {QStringLiteral("output-area-full"), QStringLiteral("出纸盒已满")},
        {QStringLiteral("shutdown"), QStringLiteral("打印机已关闭")},
        {QStringLiteral("timed-out"), QStringLiteral("打印机没有应答")},
        {QStringLiteral("connecting-to-device"), QStringLiteral("正在连接打印机")},
        {QStringLiteral("spool-area-full"), QStringLiteral("打印服务的队列空间已满")},
        {QStringLiteral("other"), QStringLiteral("其他故障")},
        {QStringLiteral("none"), QString()},
        {QStringLiteral("paused"), QString()},
        {QStringLiteral("moving-to-paused"), QString()},
        {QStringLiteral("printer-stopped"), QString()},
        {QStringLiteral("job-printing"), QString()},
        {QStringLiteral("job-incoming"), QString()},
        {QStringLiteral("job-queued"), QString()},
        {QStringLiteral("job-fetchable"), QString()},
        {QStringLiteral("job-completed-successfully"), QString()},
        {QStringLiteral("processing-to-stop-point"), QString()},
    };
    return words;
}

// The printer reasons that keep a job from printing until somebody sees to the printer,
// whatever ending they carry; any other reason counts only with an -error ending.
bool keepsJobWaiting(const QString& base)
{
    static const QStringList problems{
        QStringLiteral("media-empty"),        QStringLiteral("media-jam"),           QStringLiteral("media-needed"),
        QStringLiteral("toner-empty"),        QStringLiteral("marker-supply-empty"), QStringLiteral("offline"),
        QStringLiteral("door-open"),          QStringLiteral("cover-open"),          QStringLiteral("interlock-open"),
        QStringLiteral("input-tray-missing"), QStringLiteral("output-tray-missing"), QStringLiteral("output-area-full"),
        QStringLiteral("shutdown"),           QStringLiteral("timed-out"),           QStringLiteral("spool-area-full")};
    return problems.contains(base);
}

QString withoutSeverity(const QString& keyword)
{
    for (const char* ending : {"-error", "-warning", "-report"})
        if (keyword.endsWith(QLatin1String(ending)))
            return keyword.chopped(int(std::strlen(ending)));
    return keyword;
}

bool printerReportsProblem(const JobStatus& s)
{
    for (const QString& r : s.printerReasons)
        if (r.endsWith(QLatin1String("-error")) || keepsJobWaiting(withoutSeverity(r)))
            return true;
    return false;
}

// Whether text is only a system error's words (what a connection that failed leaves behind,
// "Bad file descriptor"): after the sentence that the service does not answer it tells nothing.
bool isSystemErrorText(const QString& text)
{
    for (int e = 1; e < 134; ++e)
        if (text == QString::fromLocal8Bit(std::strerror(e)))
            return true;
    return false;
}

// The service's words to go after the program's, "（CUPS：…）": its keywords in Chinese
// (unknown ones as they are), its own sentences as they are, each once, those that tell
// nothing left out; empty when nothing is left.
QString detail(const QStringList& said)
{
    QStringList parts;
    for (const QString& raw : said) {
        const QString item = raw.trimmed();
        if (item.isEmpty())
            continue;
        const auto known = keywordWords().constFind(withoutSeverity(item));
        const QString words = known != keywordWords().constEnd() ? *known : item;
        if (!words.isEmpty() && !parts.contains(words))
            parts << words;
    }
    return parts.isEmpty() ? QString() : QStringLiteral("（CUPS：%1）").arg(parts.join(QStringLiteral("，")));
}

QString withDetail(const QString& text, const QStringList& said) { return text + detail(said); }

QString serviceDetail(const QString& detail) { return isSystemErrorText(detail.trimmed()) ? QString() : detail; }

// The printer's and the job's words after a sentence that says the printer stopped: CUPS's
// "Paused", and a system error's words (the device's "No such file or directory"), say
// nothing more.
QStringList beyondStopped(const QStringList& said)
{
    QStringList left;
    for (const QString& item : said)
        if (item.trimmed().compare(QLatin1String("Paused"), Qt::CaseInsensitive) != 0 && serviceDetail(item) == item)
            left << item;
    return left;
}

Telling error(const QString& text) { return {Telling::Error, text}; }
Telling warning(const QString& text) { return {Telling::Warning, text}; }

Telling refused(const QString& printer, const Answer& answer)
{
    switch (answer.failure) {
    case Answer::ServiceDown:
        return error(withDetail(
            QStringLiteral("打印服务没有运行，打印作业没有送到打印机“%1”；请启动打印服务（CUPS）后再打印").arg(printer),
            {serviceDetail(answer.detail)}));
    case Answer::SpoolFull:
        return error(withDetail(
            QStringLiteral("打印服务的队列空间已满，打印机“%1”没有收下打印作业；请系统管理员清理打印服务的磁盘后再打印")
                .arg(printer),
            {answer.detail}));
    case Answer::NotWhole:
        return error(withDetail(
            QStringLiteral("打印作业没有完整送到打印机“%1”的队列（打印服务的队列空间可能已满），已撤回，没有打印")
                .arg(printer),
            {answer.detail}));
    case Answer::NoAnswer:
        return error(
            QStringLiteral("打印服务没有应答，打印作业没有送到打印机“%1”；请系统管理员检查打印服务（CUPS）后再打印")
                .arg(printer));
    case Answer::NoPrinter:
        return error(withDetail(
            QStringLiteral("打印服务中已没有打印机“%1”（可能已被删除），打印作业没有送出；请在打印设置中另选打印机")
                .arg(printer),
            {answer.detail}));
    case Answer::None:
        if (answer.accepted())
            return {};
        [[fallthrough]];
    case Answer::Refused: break;
    }
    const QString why = detail({answer.detail});
    return error(QStringLiteral("打印机“%1”拒绝了打印作业").arg(printer)
                 + (why.isEmpty() ? QStringLiteral("（CUPS：没有说明原因）") : why));
}

Telling jobTelling(const QString& printer, int jobId, const JobStatus& s)
{
    const QString job = QStringLiteral("打印作业（%1 号）").arg(jobId);
    switch (s.state) {
    case JobStatus::Completed:
    case JobStatus::Unknown: return {};
    case JobStatus::Canceled:
    case JobStatus::Aborted: {
        const bool canceled = s.state == JobStatus::Canceled;
        const QString text = QStringLiteral("打印机“%1”上的%2%3，没有打印出来")
                                 .arg(printer, job, canceled ? QStringLiteral("已被取消") : QStringLiteral("已中止"));
        const QString why = detail(QStringList(s.reasons) << s.reason);
        if (why.isEmpty())
            return error(text + QStringLiteral("，打印机没有说明原因"));
        return error(text
                     + (canceled ? QStringLiteral("；如仍需要，请重新打印") : QStringLiteral("；请排除原因后重新打印"))
                     + why);
    }
    case JobStatus::NoAnswer:
        return error(
            QStringLiteral("打印服务没有应答，无法得知打印机“%1”上的%2是否打印出来；请系统管理员检查打印服务（CUPS）")
                .arg(printer, job));
    case JobStatus::Waiting: break;
    }
    const QStringList printerSaid = QStringList(s.printerReasons) << s.printerMessage << s.reason;
    // The service stops a job whose device it cannot write or reach (a file: device in a
    // missing or read-only folder, a backend that fails), or stops the printer after such a
    // job began; resuming the printer alone would fail again.
    // A job after the one the device failed on waits behind it on the stopped printer: the
    // same device error.
    if ((s.ippState == kProcessingStopped && !s.printerPaused)
        || (s.printerPaused && (s.begun || s.queueStoppedOnDevice))) {
        QStringList said = beyondStopped(s.printerPaused ? printerSaid : QStringList(s.reasons) << s.reason);
        said.prepend(s.printerPaused ? QStringLiteral("打印机已停止") : QStringLiteral("作业已停止"));
        return error(withDetail(QStringLiteral("打印机“%1”的设备出错，%2已停止，没有打印出来；请系统管理员检查打印机的"
                                               "连接和设备设置，排除故障后在打印服务中重新开始这个作业"
                                               "（只恢复打印机会再次出错）")
                                    .arg(printer, job),
                                said));
    }
    if (s.printerPaused) {
        // Paused by somebody: the job prints when the printer is resumed.
        return warning(withDetail(
            QStringLiteral("打印机“%1”已暂停，%2在它的队列中等待，打印机恢复后才会打印出来").arg(printer, job),
            beyondStopped({s.printerMessage.isEmpty() ? s.reason : s.printerMessage})));
    }
    if (s.ippState == kPendingHeld) {
        return warning(withDetail(QStringLiteral("%1被扣留在打印机“%2”的队列中，没有打印；请在打印服务中释放这个作业，"
                                                 "或取消它后重新打印")
                                      .arg(job, printer),
                                  QStringList(QStringLiteral("作业被扣留")) << s.reasons << s.reason));
    }
    if (printerReportsProblem(s)) {
        return warning(
            withDetail(QStringLiteral("打印机“%1”报告故障，%2在它的队列中等待；请排除打印机的故障，之后会接着打印")
                           .arg(printer, job),
                       printerSaid));
    }
    return {};
}
}

Telling tell(const ServiceAnswer& answer)
{
    if (answer.serviceDown && answer.serviceDown->noAnswer)
        return error(
            QStringLiteral("打印服务没有应答，无法取得打印机；请系统管理员检查打印服务（CUPS）后再进行此操作"));
    if (answer.serviceDown)
        return error(
            withDetail(QStringLiteral("打印服务没有运行，找不到任何打印机；请启动打印服务（CUPS）后再进行此操作"),
                       {serviceDetail(answer.serviceDown->words)}));
    if (answer.submission)
        return refused(answer.printer, *answer.submission);
    if (answer.job)
        return jobTelling(answer.printer, answer.jobId, *answer.job);
    return {};
}

QString refusedText(const QString& printer, const Answer& answer)
{
    return tell({printer, 0, answer, std::nullopt, std::nullopt}).text;
}

QString endedText(const QString& printer, int jobId, const JobStatus& status)
{
    return tell({printer, jobId, std::nullopt, status, std::nullopt}).text;
}

QString noPrinterText(const QString& usual, const std::optional<Outage>& down)
{
    return down ? tell({QString(), 0, std::nullopt, std::nullopt, down}).text : usual;
}
}
