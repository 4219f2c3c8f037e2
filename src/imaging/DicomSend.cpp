#include "imaging/DicomSend.h"
#include "imaging/DicomSendTesting.h"

#include "imaging/DicomFile.h"

#include <dcmtk/config/osconfig.h>
#include <dcmtk/dcmdata/dcdeftag.h>
#include <dcmtk/dcmdata/dcfilefo.h>
#include <dcmtk/dcmdata/dcuid.h>
#include <dcmtk/dcmnet/dcmtrans.h>
#include <dcmtk/dcmnet/dcmlayer.h>
#include <dcmtk/dcmnet/diutil.h>
#include <dcmtk/dcmnet/scu.h>
#include <dcmtk/oflog/oflog.h>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <mutex>

#include <fcntl.h>
#include <sys/socket.h>

namespace Dicom {
namespace {

std::function<void(const QString&)>& observer()
{
    static std::function<void(const QString&)> o;
    return o;
}

bool fail(QString* why, const QString& text)
{
    if (why)
        *why = text;
    return false;
}

QString conditionText(const OFCondition& c) { return QString::fromLocal8Bit(c.text()); }

bool storedStatus(Uint16 status)
{
    return status == STATUS_Success || status == STATUS_STORE_Warning_CoercionOfDataElements
           || status == STATUS_STORE_Warning_ElementsDiscarded
           || status == STATUS_STORE_Warning_DataSetDoesNotMatchSOPClass;
}

std::atomic<int>& replyTimeoutSetting()
{
    static std::atomic<int> seconds{kReplyTimeoutSeconds};
    return seconds;
}

int replyTimeout() { return replyTimeoutSetting().load(); }

void setUpOnce()
{
    // A peer that drops the connection must end the send, not the program.
    // The toolkit's progress notes stay quiet; its warnings and errors still show.
    static std::once_flag once;
    std::call_once(once, [] {
        std::signal(SIGPIPE, SIG_IGN);
        OFLog::configure(OFLogger::WARN_LOG_LEVEL);
    });
}

// The toolkit's connection to the peer, telling what became of it: closed or
// reset by the peer, or a wait for it that timed out; its socket known to the
// cancel while it is open.
class WatchedConnection : public DcmTCPConnection {
public:
    WatchedConnection(DcmNativeSocketType socket, SendCancel& cancel, std::atomic<bool>& peerClosed,
                      std::atomic<bool>& timedOut)
        : DcmTCPConnection(socket), cancel_(cancel), peerClosed_(peerClosed), timedOut_(timedOut)
    {
        cancel_.attach(int(socket));
    }
    ~WatchedConnection() override { cancel_.detach(int(getSocket())); }
    void close() override
    {
        cancel_.detach(int(getSocket()));
        DcmTCPConnection::close();
    }
    ssize_t read(void* buf, size_t nbyte) override
    {
        const ssize_t n = DcmTCPConnection::read(buf, nbyte);
        note(n, nbyte);
        return n;
    }
    ssize_t write(void* buf, size_t nbyte) override
    {
        const ssize_t n = DcmTCPConnection::write(buf, nbyte);
        note(n, nbyte);
        // A blocking socket writes less than asked only when its send timeout
        // passed with part of the data written: the peer stopped reading.
        if (n > 0 && size_t(n) < nbyte)
            timedOut_ = true;
        return n;
    }
    OFBool networkDataAvailable(int timeout) override
    {
        const OFBool available = DcmTCPConnection::networkDataAvailable(timeout);
        if (!available && timeout > 0)
            timedOut_ = true;
        return available;
    }

private:
    void note(ssize_t n, size_t asked)
    {
        const int err = errno;
        if (n == 0 && asked > 0)
            peerClosed_ = true;
        else if (n < 0 && (err == ECONNRESET || err == EPIPE || err == ENOTCONN))
            peerClosed_ = true;
        else if (n < 0 && (err == EAGAIN || err == EWOULDBLOCK))
            timedOut_ = true;   // the socket's send or receive timeout
        errno = err;
    }

    SendCancel& cancel_;
    std::atomic<bool>& peerClosed_;
    std::atomic<bool>& timedOut_;
};

// The toolkit's SCU with our transport: every connection watched.
class WatchedScu : public DcmSCU {
public:
    OFCondition watchWith(DcmTransportLayer* layer) { return useSecureConnection(layer); }
};
}

void SendCancel::cancel()
{
    const std::lock_guard lock(mutex_);
    cancelled_ = true;
    if (socket_ >= 0)
        ::shutdown(socket_, SHUT_RDWR);
}

bool SendCancel::cancelled() const
{
    const std::lock_guard lock(mutex_);
    return cancelled_;
}

void SendCancel::attach(int socket)
{
    const std::lock_guard lock(mutex_);
    socket_ = socket;
    if (cancelled_)
        ::shutdown(socket_, SHUT_RDWR);
}

void SendCancel::detach(int socket)
{
    const std::lock_guard lock(mutex_);
    if (socket_ == socket)
        socket_ = -1;
}

void SendCancel::stopWaiting()
{
    const std::lock_guard lock(mutex_);
    if (socket_ < 0)
        return;
    const int flags = ::fcntl(socket_, F_GETFL);
    if (flags >= 0)
        ::fcntl(socket_, F_SETFL, flags | O_NONBLOCK);
    ::shutdown(socket_, SHUT_RD);
}

// What the association's connections report, and the transport that makes them.
struct Association::Watch : DcmTransportLayer {
    explicit Watch(SendCancel& c) : cancel(c) {}
    DcmTransportConnection* createConnection(DcmNativeSocketType socket, OFBool) override
    {
        return new WatchedConnection(socket, cancel, peerClosed, timedOut);
    }
    void reset()
    {
        peerClosed = false;
        timedOut = false;
    }
    SendCancel& cancel;
    std::atomic<bool> peerClosed{false};
    std::atomic<bool> timedOut{false};
};

Association::Association(const QString& host, int port, const QString& callingTitle, const QString& calledTitle,
                         std::shared_ptr<SendCancel> cancel)
    : host_(host.trimmed()), calling_(callingTitle), called_(calledTitle), port_(port),
      cancel_(cancel ? std::move(cancel) : std::make_shared<SendCancel>()), watch_(std::make_unique<Watch>(*cancel_))
{}

Association::~Association() { release(); }

void Association::release()
{
    if (scu_ && scu_->isConnected())
        scu_->releaseAssociation();
    scu_.reset();
}

// An abort sends A-ABORT if the socket has room for it, and neither waits for
// room nor for the peer to close.
void Association::drop()
{
    if (scu_ && scu_->isConnected()) {
        cancel_->stopWaiting();
        scu_->abortAssociation();
    }
    scu_.reset();
}

bool Association::open(const QString& sopClass, QString* why)
{
    drop();
    if (host_.isEmpty())
        return fail(why, QStringLiteral("服务器地址为空"));
    if (port_ < 1 || port_ > 65535)
        return fail(why, QStringLiteral("服务器端口号 %1 不在 1..65535 之内").arg(port_));
    if (!ValidTitle(calling_) || !ValidTitle(called_))
        return fail(why, QStringLiteral("服务器Title应为1到16个英文字符"));
    if (cancel_->cancelled())
        return fail(why, QStringLiteral("发送已取消"));
    // Every write and read on the socket gives up after the reply timeout too.
    dcmSocketSendTimeout.set(replyTimeout());
    dcmSocketReceiveTimeout.set(replyTimeout());
    auto scu = std::make_unique<WatchedScu>();
    scu->setAETitle(calling_.toLatin1().constData());
    scu->setPeerAETitle(called_.toLatin1().constData());
    scu->setPeerHostName(host_.toLatin1().constData());
    scu->setPeerPort(Uint16(port_));
    scu->setConnectionTimeout(kConnectTimeoutSeconds);
    scu->setACSETimeout(Uint32(replyTimeout()));
    scu->setDIMSETimeout(Uint32(replyTimeout()));
    scu->setDIMSEBlockingMode(DIMSE_NONBLOCKING);
    OFList<OFString> syntaxes;
    syntaxes.push_back(UID_LittleEndianExplicitTransferSyntax);
    syntaxes.push_back(UID_LittleEndianImplicitTransferSyntax);
    OFCondition c = scu->addPresentationContext(sopClass.toLatin1().constData(), syntaxes);
    if (c.good())
        c = scu->initNetwork();
    if (c.good())
        c = scu->watchWith(watch_.get());
    if (c.good())
        c = scu->negotiateAssociation();
    if (c.bad())
        return fail(why, cancel_->cancelled() ? QStringLiteral("发送已取消")
                                              : QStringLiteral("无法与服务器建立连接：%1").arg(conditionText(c)));
    ++opened_;
    scu_ = std::move(scu);
    sopClass_ = sopClass;
    if (scu_->findPresentationContextID(sopClass.toLatin1().constData(), "") == 0) {
        release();
        return fail(why, QStringLiteral("服务器不接收此类图像"));
    }
    return true;
}

bool Association::store(DcmDataset& dataset, const QString& file, QString* why)
{
    setUpOnce();
    if (observer())
        observer()(file);
    OFString sop;
    if (dataset.findAndGetOFString(DCM_SOPClassUID, sop).bad() || sop.empty())
        return fail(why, QStringLiteral("DICOM文件没有SOP类别：%1").arg(file));
    const QString sopClass = QString::fromLatin1(sop.c_str());
    if (cancel_->cancelled())
        return fail(why, QStringLiteral("发送已取消"));
    // A peer may have closed an idle association or dropped it after the last
    // file: such a file is tried once more over a new association. A failure
    // status is the peer's answer, and a peer that does not answer in time has
    // stalled: neither is retried, nor is a cancelled send.
    const bool wasOpen = scu_ && scu_->isConnected() && sopClass_ == sopClass;
    for (int attempt = 0; attempt < 2; ++attempt) {
        const bool reused = attempt == 0 && wasOpen;
        if (!reused && !open(sopClass, why))
            return false;
        watch_->reset();
        const T_ASC_PresentationContextID presId = scu_->findPresentationContextID(sop, "");
        Uint16 status = 0xFFFF;
        const OFCondition c = scu_->sendSTORERequest(presId, OFFilename(), &dataset, status);
        if (c.good()) {
            if (!storedStatus(status))
                return fail(why,
                            QStringLiteral("服务器拒绝保存图像（状态 0x%1）").arg(status, 4, 16, QLatin1Char('0')));
            return true;
        }
        const bool cancelled = cancel_->cancelled();
        const bool stalled = watch_->timedOut;
        const bool dropped = watch_->peerClosed || c == DUL_PEERABORTEDASSOCIATION || c == DUL_PEERREQUESTEDRELEASE;
        drop();
        if (cancelled)
            return fail(why, QStringLiteral("发送已取消"));
        if (stalled)
            return fail(why, QStringLiteral("服务器%1秒内没有应答：%2").arg(replyTimeout()).arg(conditionText(c)));
        fail(why, QStringLiteral("图像发送中断：%1").arg(conditionText(c)));
        if (!dropped)
            return false;
    }
    return false;
}

int dcmfileSend(Association& pacs, DcmDataset& dataset, const QString& file, QString* why)
{
    return pacs.store(dataset, file, why) ? 1 : 0;
}

void setSendObserver(std::function<void(const QString&)> o) { observer() = std::move(o); }

void setReplyTimeout(int seconds) { replyTimeoutSetting() = seconds > 0 ? seconds : kReplyTimeoutSeconds; }
}
