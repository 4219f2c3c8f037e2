// A print service that takes connections and never answers (a stopped or hung cupsd): every
// print command waits for it while the window goes on, and then says that it does not answer.
#include "core/FrmMain.h"
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

#include <QPrinter>
#include <QtTest>

#include <arpa/inet.h>
#include <cerrno>
#include <cups/cups.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {
const QString kPrinter = QStringLiteral("报告打印机");

// A listening socket on the loopback that takes connections and never answers them.
// Closing it ends those it holds.
class SilentService {
public:
    SilentService()
    {
        fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t size = sizeof a;
        if (fd_ < 0 || ::bind(fd_, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 || ::listen(fd_, 64) != 0
            || ::getsockname(fd_, reinterpret_cast<sockaddr*>(&a), &size) != 0)
            return;
        address_ = "127.0.0.1:" + QByteArray::number(ntohs(a.sin_port));
    }
    ~SilentService()
    {
        for (const int c : calls_)
            ::close(c);
        if (fd_ >= 0)
            ::close(fd_);
    }
    QByteArray address() const { return address_; }
    // Whether the first question that reached it still waits for its answer (its connection is
    // still open): the asker is waiting. A program that waited for it on its only thread runs
    // again only once it gave up and closed the connection.
    bool firstQuestionWaiting()
    {
        for (int c; (c = ::accept4(fd_, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC)) >= 0;)
            calls_.append(c);
        if (calls_.isEmpty() || firstClosed_)
            return false;
        char buffer[4096];
        ssize_t got;
        while ((got = ::recv(calls_.first(), buffer, sizeof buffer, 0)) > 0) {
        }
        firstClosed_ = got == 0 || (errno != EAGAIN && errno != EWOULDBLOCK);
        return !firstClosed_;
    }

private:
    int fd_ = -1;
    QByteArray address_;
    QList<int> calls_;
    bool firstClosed_ = false;
};

// An address where no service runs (the connection is refused at once).
QByteArray nowhere() { return SilentService().address(); }

// The program's printer as a service that answered before it stopped left it: the printer
// list and its papers known, the queue the system's.
class KnownPrinter : public SystemPrinterBackend {
public:
    // Made while no service runs, so that making it asks nobody.
    KnownPrinter() : ready_(PrinterBackend::newJobPrinter()) {}
    QStringList printerNames() const override { return {kPrinter}; }
    QString defaultPrinterName() const override { return kPrinter; }
    std::optional<QList<PaperInfo>> papers(const QString&) const override
    {
        return PdfPrinterBackend::standardPrinter(kPrinter).papers;
    }
    QPageSize defaultPageSize(const QString&) const override { return QPageSize(QPageSize::A4); }
    QMarginsF minimumMargins(const QString&, const QPageSize&, QPageLayout::Orientation) const override
    {
        return {5, 5, 5, 5};
    }
    QList<int> resolutions(const QString&) const override { return {300}; }
    bool supportsColor(const QString&) const override { return true; }
    std::shared_ptr<QPrinter> newJobPrinter() const override { return ready_; }

private:
    std::shared_ptr<QPrinter> ready_;
};
}

class tst_SilentPrintService : public QObject {
    Q_OBJECT

private slots:
    void initTestCase()
    {
        ReportOpeners::registerAll();
        PrintService::setDeadlineMs(2000);
    }

    void init()
    {
        // Each case starts where no service runs: nothing waits, nothing is known.
        QTRY_VERIFY_WITH_TIMEOUT(!PrintService::stalled(), 120000);
        cupsSetServer(nowhere().constData());
        folder_ = kit::freshFolder(QDate(2026, 3, 2), QSize(1280, 1024));
        QVERIFY(folder_->ok());
        MessageBox::clearShown();
    }

    void cleanup()
    {
        ProgramPrinter::setBackend(nullptr);
        folder_.reset();
    }

    void printReportFromTheMainWindow()
    {
        // 打印报告 asks for the printers: the list waits for the silent service with the
        // window's events going on, then one error says the service does not answer.
        ProgramPrinter::setBackend(nullptr);
        FrmMain* w = FrmMain::ShowMain();
        SilentService silent;
        cupsSetServer(silent.address().constData());
        ProgramPrinter::instance().forget();
        const int ticks = ticksWhileAsked(silent, [w] { w->打印报告_Click(); });
        QVERIFY(ticks > 0);
        checkSaidNoAnswer(QStringLiteral("打印服务没有应答，无法取得打印机"));
    }

    void printFromThePreview()
    {
        // The printer was known; the service stopped since. The job is written, and handing it
        // to the queue waits for the service with the window's events going on.
        ProgramPrinter::setBackend(std::make_shared<KnownPrinter>());
        QVERIFY(kit::setIni("printer", "mPrinter", kPrinter));
        const qint64 key = kit::insertReport(QStringLiteral("X-1"), QStringLiteral("王五"), QStringLiteral("李医生"));
        QVERIFY(key > 0);
        SilentService silent;
        int ticks = 0;
        kit::inPreview(key, [&](Frmreport& w) {
            cupsSetServer(silent.address().constData());
            ticks = ticksWhileAsked(silent, [&w] { w.CmdPrint->click(); });
        });
        QVERIFY(ticks > 0);
        checkSaidNoAnswer(QStringLiteral("打印服务没有应答，打印作业没有送到打印机“报告打印机”"));
    }

    void watchedJob()
    {
        // A job the queue took; then the service stops answering. The watch asks on a worker:
        // the window goes on while it waits, and the end is said once.
        auto backend = std::make_shared<SystemPrinterBackend>();
        SilentService silent;
        cupsSetServer(silent.address().constData());
        const int ticks = ticksWhileAsked(silent, [&] {
            PrintQueue::watch(backend, kPrinter, 7);
            QTRY_VERIFY_WITH_TIMEOUT(!MessageBox::shownBoxes().isEmpty(), 60000);
        });
        QVERIFY(ticks > 0);
        QCOMPARE(PrintQueue::watching(), 0);
        checkSaidNoAnswer(
            QStringLiteral("打印服务没有应答，无法得知打印机“报告打印机”上的打印作业（7 号）是否打印出来"));
    }

private:
    // Runs command; counts the ticks of a timer that came while the first question to the
    // silent service waited and nothing had been said yet.
    static int ticksWhileAsked(SilentService& silent, const std::function<void()>& command)
    {
        int ticks = 0;
        QTimer ticker;
        QObject::connect(&ticker, &QTimer::timeout,
                         [&] { ticks += silent.firstQuestionWaiting() && MessageBox::shownBoxes().isEmpty(); });
        ticker.start(10);
        command();
        return ticks;
    }

    // One error box, saying that the print service does not answer, naming no other cause.
    static void checkSaidNoAnswer(const QString& words)
    {
        const auto shown = MessageBox::shownBoxes();
        QCOMPARE(shown.size(), 1);
        QCOMPARE(shown[0].title, MessageBox::kErrorTitle);
        QVERIFY2(shown[0].text.contains(words), qPrintable(shown[0].text));
        for (const QString& other : {QStringLiteral("删除"), QStringLiteral("拒绝"), QStringLiteral("没有运行")})
            QVERIFY2(!shown[0].text.contains(other), qPrintable(shown[0].text));
        MessageBox::clearShown();
    }

    std::unique_ptr<TestFolder> folder_;
};

QTEST_MAIN(tst_SilentPrintService)
#include "tst_SilentPrintService.moc"
