// What the print service answers, in the program's words; and a job that a real queue
// stops, told as the preview prints it.
#include "core/Openers.h"
#include "core/QvButton.h"
#include "platform/MessageBox.h"
#include "platform/Opener.h"
#include "report/Frmreport.h"
#include "report/PrintQueue.h"
#include "report/PrintService.h"
#include "report/PrinterBackend.h"
#include "report/ProgramPrinter.h"
#include "report/ReportOpeners.h"
#include "support/CoreKit.h"
#include "support/PreviewKit.h"

#include <QDir>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

#include <cups/ipp.h>
#include <cstring>

#include <csignal>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

using PrintQueue::Answer;
using PrintQueue::JobStatus;
using PrintQueue::ServiceAnswer;
using PrintQueue::Telling;

Q_DECLARE_METATYPE(PrintQueue::ServiceAnswer)

namespace {
const QString kPrinter = QStringLiteral("报告打印机");

ServiceAnswer submission(Answer::Failure why, const QString& detail, int jobId = 0)
{
    return {kPrinter, 0, Answer{jobId, why, detail}, std::nullopt, std::nullopt};
}

// A job (number 7) in IPP job-state ipp, with its reasons and the printer's words at it.
ServiceAnswer job(JobStatus::State state, int ipp, const QStringList& reasons = {}, const QString& reason = {})
{
    JobStatus s;
    s.state = state;
    s.ippState = ipp;
    s.reasons = reasons;
    s.reason = reason;
    return {kPrinter, 7, std::nullopt, s, std::nullopt};
}

// A waiting job (pending, 3) whose printer is stopped, or reports reasons, with its words.
ServiceAnswer atPrinter(bool stopped, bool begun, const QStringList& reasons, const QString& message)
{
    ServiceAnswer a = job(JobStatus::Waiting, 3, {QStringLiteral("printer-stopped")});
    a.job->printerPaused = stopped;
    a.job->begun = begun;
    a.job->printerReasons = reasons;
    a.job->printerMessage = message;
    return a;
}

// A private print service: cupsd in a folder of its own, listening on a socket file, with
// queues whose file: devices cannot be written. Started only where it can run (as root, with
// cupsd installed); why not otherwise.
class PrivateCups {
public:
    QString whyNot;

    bool start(const QStringList& queues, const QStringList& devices)
    {
        if (::geteuid() != 0)
            return fail(QStringLiteral("cupsd runs its jobs as the lp account only when started as root"));
        const QString cupsd = QStandardPaths::findExecutable(QStringLiteral("cupsd"), {"/usr/sbin", "/sbin"});
        if (cupsd.isEmpty() || !QFileInfo::exists(QStringLiteral("/usr/lib/cups/daemon/cups-exec")))
            return fail(QStringLiteral("no cupsd here (Debian package cups-daemon)"));
        if (!dir_.isValid())
            return fail(QStringLiteral("no temporary folder"));
        // The lp account, which runs the filters, must reach into the folder.
        QFile::setPermissions(dir_.path(), QFileDevice::Permissions(0x7755));
        const QString root = dir_.path();
        for (const char* sub : {"spool", "cache", "state", "tmp", "log", "ppd", "bin/filter", "bin/backend"})
            QDir(root).mkpath(QString::fromLatin1(sub));
        QFile::link(QStringLiteral("/usr/lib/cups/daemon"), root + QStringLiteral("/bin/daemon"));
        QString printers;
        for (int i = 0; i < queues.size(); ++i) {
            printers += QStringLiteral("<Printer %1>\nDeviceURI file://%2\nState Idle\nAccepting Yes\nShared No\n"
                                       "</Printer>\n")
                            .arg(queues[i], devices[i]);
            if (!write(QStringLiteral("ppd/%1.ppd").arg(queues[i]), ppd()))
                return fail(QStringLiteral("cannot write the queue's description"));
        }
        const bool written =
            write(QStringLiteral("cupsd.conf"),
                  QStringLiteral("Listen %1\nLogLevel warn\nErrorPolicy stop-printer\nWebInterface No\nBrowsing Off\n"
                                 "<Location />\nOrder allow,deny\nAllow all\n</Location>\n")
                      .arg(socket()))
            && write(QStringLiteral("cups-files.conf"),
                     QStringLiteral("ServerRoot %1\nRequestRoot %1/spool\nCacheDir %1/cache\nStateDir %1/state\n"
                                    "TempDir %1/tmp\nErrorLog %1/log/error_log\nAccessLog %1/log/access_log\n"
                                    "PageLog %1/log/page_log\nServerBin %1/bin\nDataDir /usr/share/cups\n"
                                    "FileDevice Yes\nSystemGroup root\nUser lp\nGroup lp\n")
                         .arg(root))
            && write(QStringLiteral("printers.conf"), printers)
            && write(QStringLiteral("bin/filter/passthru"),
                     QStringLiteral("#!/bin/sh\nif [ -n \"$6\" ]; then exec cat \"$6\"; else exec cat; fi\n"))
            && QFile::setPermissions(root + QStringLiteral("/bin/filter/passthru"), QFileDevice::Permissions(0x7755));
        if (!written)
            return fail(QStringLiteral("cannot write the print service's settings"));
        // The service ends with the test, however the test ends.
        server_.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGTERM); });
        server_.start(cupsd, {QStringLiteral("-f"), QStringLiteral("-c"), root + QStringLiteral("/cupsd.conf"),
                              QStringLiteral("-s"), root + QStringLiteral("/cups-files.conf")});
        if (!server_.waitForStarted(60000))
            return fail(QStringLiteral("cupsd does not start: ") + server_.errorString());
        return true;
    }

    // Whether the service takes connections on its socket yet.
    bool answers() const
    {
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        const QByteArray path = QFile::encodeName(socket());
        if (path.size() >= qsizetype(sizeof address.sun_path))
            return false;
        std::memcpy(address.sun_path, path.constData(), size_t(path.size()));
        const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        const bool connected = fd >= 0 && ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
        if (fd >= 0)
            ::close(fd);
        return connected;
    }
    bool running() const { return server_.state() == QProcess::Running; }
    // Stops the service where it stands (it keeps its connections and answers none), or lets
    // it go on.
    void pause(bool paused) { ::kill(pid_t(server_.processId()), paused ? SIGSTOP : SIGCONT); }

    // Ends the service (the process this fixture started) and waits until it is gone.
    bool stop()
    {
        if (server_.state() == QProcess::NotRunning)
            return true;
        server_.terminate();
        return server_.waitForFinished(60000);
    }
    QString socket() const { return dir_.path() + QStringLiteral("/cups.sock"); }
    QString log() const { return QString::fromUtf8(kit::readBytes(dir_.path() + QStringLiteral("/log/error_log"))); }
    QString path(const QString& rel) const { return dir_.path() + QLatin1Char('/') + rel; }

private:
    bool fail(const QString& why)
    {
        whyNot = why;
        return false;
    }
    bool write(const QString& rel, const QString& text)
    {
        return kit::writeBytes(dir_.path() + QLatin1Char('/') + rel, text.toUtf8());
    }
    // An A4 printer whose filter passes the PDF on unchanged to its device.
    static QString ppd()
    {
        return QStringLiteral(
            "*PPD-Adobe: \"4.3\"\n*FormatVersion: \"4.3\"\n*FileVersion: \"1.0\"\n*LanguageVersion: English\n"
            "*LanguageEncoding: ISOLatin1\n*PCFileName: \"TEST.PPD\"\n*Manufacturer: \"Test\"\n*Product: \"(Test)\"\n"
            "*ModelName: \"Test\"\n*ShortNickName: \"Test\"\n*NickName: \"Test\"\n*PSVersion: \"(3010.000) 0\"\n"
            "*LanguageLevel: \"3\"\n*ColorDevice: False\n*DefaultColorSpace: Gray\n*FileSystem: False\n"
            "*Throughput: \"1\"\n*cupsFilter2: \"application/pdf application/vnd.cups-raw 0 passthru\"\n"
            "*OpenUI *PageSize: PickOne\n*DefaultPageSize: A4\n*PageSize A4: \"<</PageSize[595 842]>>setpagedevice\"\n"
            "*CloseUI: *PageSize\n*DefaultImageableArea: A4\n*ImageableArea A4: \"0 0 595 842\"\n"
            "*DefaultPaperDimension: A4\n*PaperDimension A4: \"595 842\"\n");
    }

    QTemporaryDir dir_;
    QProcess server_;
};
}

class tst_PrintQueue : public QObject {
    Q_OBJECT

private slots:
    void initTestCase()
    {
        // The program reaches the private service as any libcups program does.
        const QStringList queues{QStringLiteral("missing"), QStringLiteral("notafolder")};
        if (cups_.start(queues, {cups_.path(QStringLiteral("nofolder/out.pdf")),
                                 cups_.path(QStringLiteral("cupsd.conf/out.pdf"))})) {
            qputenv("CUPS_SERVER", cups_.socket().toLocal8Bit());
            QTRY_VERIFY_WITH_TIMEOUT(cups_.answers() || !cups_.running(), 60000);
            if (!cups_.running())
                cups_.whyNot = QStringLiteral("cupsd ended at once: ") + cups_.log();
        }
    }
    void cleanupTestCase() { QVERIFY(cups_.stop()); }
    void cleanup() { folder_.reset(); }

    void tell_data()
    {
        QTest::addColumn<ServiceAnswer>("answer");
        QTest::addColumn<int>("kind");
        QTest::addColumn<QStringList>("said");
        QTest::addColumn<QStringList>("notSaid");
        const int nothing = Telling::Nothing, warning = Telling::Warning, error = Telling::Error;
        const QString ignored;
        const QString cups = QStringLiteral("CUPS：");
        const QString resumeAlone = QStringLiteral("打印机恢复后才会打印出来");

        // The service does not answer: a connection's errno words tell nothing after that.
        QTest::newRow("printers listed, service down")
            << ServiceAnswer{QString(), 0, std::nullopt, std::nullopt, QStringLiteral("Bad file descriptor")} << error
            << QStringList{QStringLiteral("打印服务没有运行，找不到任何打印机")} << QStringList{cups};
        QTest::newRow("submitted, service down")
            << submission(Answer::ServiceDown, QStringLiteral("No such file or directory")) << error
            << QStringList{QStringLiteral("打印服务没有运行，打印作业没有送到打印机“报告打印机”")} << QStringList{cups};
        QTest::newRow("service down with words of its own")
            << submission(Answer::ServiceDown, QStringLiteral("Unauthorized")) << error
            << QStringList{QStringLiteral("（CUPS：Unauthorized）")} << QStringList();
        // A submission the queue did not take.
        QTest::newRow("refused without a word")
            << submission(Answer::Refused, QString()) << error
            << QStringList{QStringLiteral("拒绝了打印作业（CUPS：没有说明原因）")} << QStringList();
        // Jobs that ended; CUPS's keywords in Chinese, its sentences as they are.
        QTest::newRow("completed") << job(JobStatus::Completed, 9) << nothing << QStringList() << QStringList();
        QTest::newRow("canceled by the user")
            << job(JobStatus::Canceled, 7, {QStringLiteral("job-canceled-by-user")}) << error
            << QStringList{QStringLiteral("（7 号）已被取消，没有打印出来"), QStringLiteral("（CUPS：用户取消了作业）")}
            << QStringList{QStringLiteral("job-canceled-by-user")};
        QTest::newRow("aborted by a filter")
            << job(JobStatus::Aborted, 8, {QStringLiteral("aborted-by-system")}, QStringLiteral("Filter failed"))
            << error
            << QStringList{QStringLiteral("已中止"), QStringLiteral("（CUPS：打印服务中止了作业，Filter failed）")}
            << QStringList();
        QTest::newRow("aborted without a word")
            << job(JobStatus::Aborted, 8) << error
            << QStringList{QStringLiteral("已中止，没有打印出来，打印机没有说明原因")} << QStringList{cups};
        // A job on its way: quiet.
        QTest::newRow("pending") << job(JobStatus::Waiting, 3, {QStringLiteral("none")}) << nothing << QStringList()
                                 << QStringList();
        QTest::newRow("printer only warns") << atPrinter(false, false, {QStringLiteral("toner-low-report")}, QString())
                                            << nothing << QStringList() << QStringList();
        // Stopped by the service: its device cannot be written (the printer stays idle), or
        // the printer stopped after the job began (a backend that failed): a device error.
        QTest::newRow("job stopped, printer idle")
            << job(JobStatus::Waiting, 6, {QStringLiteral("job-printing")}) << error
            << QStringList{QStringLiteral("打印机“报告打印机”的设备出错，打印作业（7 号）已停止"),
                           QStringLiteral("（CUPS：作业已停止）")}
            << QStringList{resumeAlone, QStringLiteral("job-printing")};
        QTest::newRow("printer stopped after the job began")
            << atPrinter(true, true, {QStringLiteral("paused")}, QStringLiteral("cannot reach the device")) << error
            << QStringList{QStringLiteral("的设备出错"),
                           QStringLiteral("（CUPS：打印机已停止，cannot reach the device）")}
            << QStringList{resumeAlone, QStringLiteral("paused")};
        // Waiting in the queue until somebody sees to the printer or the job.
        QTest::newRow("printer paused by somebody")
            << atPrinter(true, false, {QStringLiteral("paused")}, QStringLiteral("纸盒维护")) << warning
            << QStringList{QStringLiteral("打印机“报告打印机”已暂停，打印作业（7 号）在它的队列中等待，"
                                          "打印机恢复后才会打印出来（CUPS：纸盒维护）")}
            << QStringList();
        QTest::newRow("held") << job(JobStatus::Waiting, 4, {QStringLiteral("job-hold-until-specified")}) << warning
                              << QStringList{QStringLiteral("打印作业（7 号）被扣留"),
                                             QStringLiteral("（CUPS：作业被扣留，作业被设定为稍后打印）")}
                              << QStringList();
        QTest::newRow("out of paper")
            << atPrinter(false, false, {QStringLiteral("media-empty-error")}, QStringLiteral("Tray 2 empty")) << warning
            << QStringList{QStringLiteral("报告故障"), QStringLiteral("（CUPS：缺纸，Tray 2 empty）")} << QStringList();
        QTest::newRow("offline") << atPrinter(false, false, {QStringLiteral("offline-report")}, ignored) << warning
                                 << QStringList{QStringLiteral("（CUPS：打印机脱机）")} << QStringList();
        // The service took the request and did not answer in time: said so, and nothing else.
        const QStringList otherCauses{QStringLiteral("删除"), QStringLiteral("拒绝"), QStringLiteral("没有运行"), cups};
        QTest::newRow("submitted, no answer")
            << submission(Answer::NoAnswer, QString()) << error
            << QStringList{QStringLiteral("打印服务没有应答，打印作业没有送到打印机“报告打印机”")} << otherCauses;
        QTest::newRow("watched, no answer")
            << job(JobStatus::NoAnswer, 0) << error
            << QStringList{QStringLiteral("打印服务没有应答，无法得知打印机“报告打印机”上的打印作业（7 号）")}
            << otherCauses;
        QTest::newRow("printers listed, no answer")
            << ServiceAnswer{QString(), 0, std::nullopt, std::nullopt, PrintQueue::Outage(QString(), true)} << error
            << QStringList{QStringLiteral("打印服务没有应答")} << otherCauses;
        // The next job to a printer the service stopped on a device error waits behind the job
        // the device failed on: the same device error; CUPS's "Paused" and the device's system
        // error words add nothing to the sentence.
        ServiceAnswer behind = atPrinter(true, false, {QStringLiteral("paused")}, QStringLiteral("Paused"));
        behind.job->queueStoppedOnDevice = true;
        behind.job->reason = QStringLiteral("No such file or directory");
        QTest::newRow("next job behind a device error")
            << behind << error
            << QStringList{QStringLiteral("打印机“报告打印机”的设备出错"), QStringLiteral("（CUPS：打印机已停止）")}
            << QStringList{resumeAlone, QStringLiteral("Paused"), QStringLiteral("No such file")};
        QTest::newRow("paused by somebody, CUPS's own word")
            << atPrinter(true, false, {QStringLiteral("paused")}, QStringLiteral("Paused")) << warning
            << QStringList{resumeAlone} << QStringList{QStringLiteral("Paused"), cups};
        // The printer's and the job's words the same: said once.
        ServiceAnswer same = atPrinter(false, false, {QStringLiteral("media-jam-error")}, QStringLiteral("Tray 1 jam"));
        same.job->reason = QStringLiteral("Tray 1 jam");
        QTest::newRow("printer's and job's words the same")
            << same << warning << QStringList{QStringLiteral("（CUPS：卡纸，Tray 1 jam）")} << QStringList();
        QTest::newRow("an error CUPS has no word for")
            << atPrinter(false, false, {QStringLiteral("fuser-over-temp-error")}, ignored) << warning
            << QStringList{QStringLiteral("（CUPS：fuser-over-temp-error）")} << QStringList();
    }

    void tell()
    {
        QFETCH(ServiceAnswer, answer);
        QFETCH(int, kind);
        QFETCH(QStringList, said);
        QFETCH(QStringList, notSaid);
        const Telling t = PrintQueue::tell(answer);
        QCOMPARE(int(t.kind), kind);
        QCOMPARE(t.text.isEmpty(), kind == Telling::Nothing);
        for (const QString& s : said)
            QVERIFY2(t.text.count(s) == 1, qPrintable(t.text));
        for (const QString& s : notSaid)
            QVERIFY2(!t.text.contains(s), qPrintable(t.text));
    }

    void failure_data()
    {
        QTest::addColumn<int>("status");
        QTest::addColumn<bool>("sending");
        QTest::addColumn<int>("service");
        QTest::addColumn<bool>("printerKnown");
        QTest::addColumn<int>("failure");
        const int answers = int(PrintQueue::Reach::Answers), notRunning = int(PrintQueue::Reach::NotRunning),
                  noAnswer = int(PrintQueue::Reach::NoAnswer);
        // One row per class of the service's answers to a job being made or its pages sent.
        QTest::newRow("spool full at making")
            << int(IPP_STATUS_ERROR_REQUEST_ENTITY) << false << answers << true << int(Answer::SpoolFull);
        QTest::newRow("spool full while sending")
            << int(IPP_STATUS_ERROR_REQUEST_VALUE) << true << answers << true << int(Answer::SpoolFull);
        QTest::newRow("value refused at making")
            << int(IPP_STATUS_ERROR_REQUEST_VALUE) << false << answers << true << int(Answer::Refused);
        QTest::newRow("not accepting jobs")
            << int(IPP_STATUS_ERROR_NOT_ACCEPTING_JOBS) << false << answers << true << int(Answer::Refused);
        QTest::newRow("printer gone") << int(IPP_STATUS_ERROR_NOT_FOUND) << false << answers << false
                                      << int(Answer::NoPrinter);
        QTest::newRow("cut short while sending")
            << int(IPP_STATUS_ERROR_INTERNAL) << true << answers << true << int(Answer::NotWhole);
        QTest::newRow("service ended") << int(IPP_STATUS_ERROR_SERVICE_UNAVAILABLE) << false << notRunning << false
                                       << int(Answer::ServiceDown);
        QTest::newRow("service ended while sending")
            << int(IPP_STATUS_ERROR_INTERNAL) << true << notRunning << false << int(Answer::ServiceDown);
        QTest::newRow("no answer at making")
            << int(IPP_STATUS_ERROR_INTERNAL) << false << noAnswer << false << int(Answer::NoAnswer);
        QTest::newRow("no answer while sending")
            << int(IPP_STATUS_ERROR_REQUEST_VALUE) << true << noAnswer << true << int(Answer::NoAnswer);
    }

    void failure()
    {
        QFETCH(int, status);
        QFETCH(bool, sending);
        QFETCH(int, service);
        QFETCH(bool, printerKnown);
        QFETCH(int, failure);
        QCOMPARE(int(PrintQueue::failureFor(status, sending, PrintQueue::Reach(service), printerKnown)), failure);
    }

    void watchFollowsAMinute_data()
    {
        QTest::addColumn<int>("waiting");
        QTest::addColumn<int>("asked");
        // Each answer comes 5 s later on the watch's clock: a job that ends at 35 s is followed to
        // its end; one still waiting is asked until the minute is up.
        QTest::newRow("ends at 35 s") << 6 << 7;
        QTest::newRow("still waiting after a minute") << 100 << 12;
    }

    void watchFollowsAMinute()
    {
        QFETCH(int, waiting);
        QFETCH(int, asked);
        auto backend = std::make_shared<PdfPrinterBackend>();
        JobStatus pending;
        pending.state = JobStatus::Waiting;
        pending.ippState = 3;
        JobStatus done;
        done.state = JobStatus::Completed;
        QList<JobStatus> states(waiting, pending);
        states << done;
        backend->setJobStates(states);
        auto clock = std::make_shared<qint64>(0);
        PrintQueue::setWatchTiming({1, 1, [clock] { return *clock += 5000; }});
        MessageBox::clearShown();
        PrintQueue::watch(backend, kPrinter, 7);
        QTRY_COMPARE_WITH_TIMEOUT(PrintQueue::watching(), 0, 60000);
        PrintQueue::setWatchTiming({});
        QCOMPARE(backend->statusAsked(), asked);
        QVERIFY(MessageBox::shownBoxes().isEmpty());
    }

    void stoppedOnARealQueue_data()
    {
        QTest::addColumn<QString>("queue");
        QTest::newRow("device in a missing folder") << QStringLiteral("missing");
        QTest::newRow("device under a file") << QStringLiteral("notafolder");
    }

    void stoppedOnARealQueue()
    {
        // The preview prints to a real queue whose file: device cannot be written: the service
        // takes the job and stops it; that is told once as a device error.
        if (!cups_.whyNot.isEmpty())
            QSKIP(qPrintable(cups_.whyNot));
        QFETCH(QString, queue);
        const qint64 key = prepare(queue);
        QVERIFY(key > 0);
        kit::inPreview(key, [&](Frmreport& w) {
            QVERIFY(ProgramPrinter::instance().selectPrinter(queue));
            w.CmdPrint->click();
            QTRY_VERIFY_WITH_TIMEOUT(!MessageBox::shownBoxes().isEmpty(), 90000);   // the watch asks for a minute
        });
        const auto shown = MessageBox::shownBoxes();
        QCOMPARE(shown.size(), 1);
        QCOMPARE(shown[0].title, QStringLiteral("错误"));
        QVERIFY2(shown[0].text.contains(QStringLiteral("打印机“%1”的设备出错").arg(queue)), qPrintable(shown[0].text));
        QVERIFY(shown[0].text.contains(QStringLiteral("已停止，没有打印出来")));
        QVERIFY(!shown[0].text.contains(QStringLiteral("打印机恢复后才会打印出来")));
        MessageBox::clearShown();
    }

    void serviceStoppedWithSignal()
    {
        // The service is stopped (SIGSTOP) while the preview is open: the print waits for it
        // with the window's events going on, then says that it does not answer, and nothing else.
        if (!cups_.whyNot.isEmpty())
            QSKIP(qPrintable(cups_.whyNot));
        const qint64 key = prepare(QStringLiteral("missing"));
        QVERIFY(key > 0);
        PrintService::setDeadlineMs(2000);
        int ticks = 0;
        QTimer ticker;
        connect(&ticker, &QTimer::timeout, [&] { ++ticks; });
        kit::inPreview(key, [&](Frmreport& w) {
            cups_.pause(true);
            ticker.start(10);
            w.CmdPrint->click();
            ticker.stop();
            cups_.pause(false);
        });
        PrintService::setDeadlineMs(30000);
        QVERIFY(ticks > 0);
        const auto shown = MessageBox::shownBoxes();
        QCOMPARE(shown.size(), 1);
        QCOMPARE(shown[0].title, QStringLiteral("错误"));
        QVERIFY2(shown[0].text.contains(QStringLiteral("打印服务没有应答，打印作业没有送到打印机“missing”")),
                 qPrintable(shown[0].text));
        for (const QString& other : {QStringLiteral("删除"), QStringLiteral("拒绝"), QStringLiteral("没有运行")})
            QVERIFY2(!shown[0].text.contains(other), qPrintable(shown[0].text));
        MessageBox::clearShown();
        // Going on, the service answers the question it held, and the next ones.
        QTRY_VERIFY_WITH_TIMEOUT(!PrintService::stalled(), 60000);
    }

    void serviceStoppedOnTheWay()
    {
        // The service ends: the next print says it does not run (the probe on its worker),
        // without words that tell nothing.
        if (!cups_.whyNot.isEmpty())
            QSKIP(qPrintable(cups_.whyNot));
        const qint64 key = prepare(QStringLiteral("missing"));
        QVERIFY(key > 0 && cups_.stop());
        kit::inPreview(key, [&](Frmreport& w) { w.CmdPrint->click(); });
        const auto shown = MessageBox::shownBoxes();
        QCOMPARE(shown.size(), 1);
        QCOMPARE(shown[0].title, QStringLiteral("错误"));
        QVERIFY2(shown[0].text.contains(QStringLiteral("打印服务没有运行")), qPrintable(shown[0].text));
        QVERIFY(!shown[0].text.contains(QStringLiteral("CUPS：")));
        MessageBox::clearShown();
    }

private:
    // A fresh program folder that prints on queue of the system's printers (the private
    // service's); the key of a report stored there, or -1.
    qint64 prepare(const QString& queue)
    {
        folder_ = kit::freshFolder();
        ReportOpeners::registerAll();
        ProgramPrinter::setBackend(nullptr);
        MessageBox::clearShown();
        if (!folder_->ok() || !kit::setIni("printer", "mPrinter", queue))
            return -1;
        return kit::insertReport(QStringLiteral("X-1"), QStringLiteral("王五"), QStringLiteral("李医生"));
    }

    PrivateCups cups_;
    std::unique_ptr<TestFolder> folder_;
};

QTEST_MAIN(tst_PrintQueue)
#include "tst_PrintQueue.moc"
