#include "imaging/DicomSend.h"

#include "imaging/DicomFile.h"

#include <dcmtk/config/osconfig.h>
#include <dcmtk/dcmdata/dcdeftag.h>
#include <dcmtk/dcmdata/dcfilefo.h>
#include <dcmtk/dcmdata/dcuid.h>
#include <dcmtk/dcmnet/dcmtrans.h>
#include <dcmtk/dcmnet/dcmlayer.h>
#include <dcmtk/dcmnet/scu.h>
#include <dcmtk/oflog/oflog.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <climits>
#include <csignal>
#include <cstring>
#include <mutex>

#include <linux/sockios.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace Dicom {
namespace {

bool fail(QString* why, const QString& text)
{
    if (why)
        *why = text;
    return false;
}

QString conditionText(const OFCondition& c) { return QString::fromLocal8Bit(c.text()); }

const QString kCancelled = QStringLiteral("用户按了“取消”，发送已中止");

bool storedStatus(Uint16 status)
{
    return status == STATUS_Success || status == STATUS_STORE_Warning_CoercionOfDataElements
           || status == STATUS_STORE_Warning_ElementsDiscarded
           || status == STATUS_STORE_Warning_DataSetDoesNotMatchSOPClass;
}

// The peer's refusal in words: the status classes of the storage service.
QString statusText(Uint16 status)
{
    QString meaning;
    if ((status & 0xFF00) == 0xA700)
        meaning = QStringLiteral("服务器存储空间或资源不足");
    else if ((status & 0xFF00) == 0xA900)
        meaning = QStringLiteral("图像与服务器要求的类别不符");
    else if ((status & 0xF000) == 0xC000)
        meaning = QStringLiteral("服务器无法处理此图像");
    else if (status == 0x0122)
        meaning = QStringLiteral("服务器不支持此类图像");
    else if (status == 0x0124)
        meaning = QStringLiteral("服务器不允许本机保存图像");
    else if (status == 0x0111)
        meaning = QStringLiteral("服务器上已有同一图像");
    const QString code =
        QStringLiteral("0x") + QString::number(status, 16).toUpper().rightJustified(4, QLatin1Char('0'));
    return meaning.isEmpty() ? QStringLiteral("服务器拒绝保存图像（状态 %1）").arg(code)
                             : QStringLiteral("服务器拒绝保存图像（状态 %1：%2）").arg(code, meaning);
}

int replyTimeout() { return internal::sendHooks().replyTimeout.load(); }

int connectTimeout() { return internal::sendHooks().connectTimeout.load(); }

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

using SteadyClock = std::chrono::steady_clock;

// How often a wait looks whether the peer has taken more of what was written.
constexpr std::chrono::milliseconds kProgressLook{50};

// What an association's connections share with it, on the sending thread.
struct LinkState {
    explicit LinkState(const SendCancel& c) : cancel(c) {}
    const SendCancel& cancel;
    int socket = -1;           // of the connection open now
    bool givenUp = false;      // the association is being aborted: no more waiting on the peer
    bool peerClosed = false;   // the peer closed or reset the connection
    bool timedOut = false;     // a wait for the peer ran out
    void reset() { givenUp = peerClosed = timedOut = false; }
};

// The toolkit's connection to the peer, with a deadline of our own for each
// read and each write: the reply timeout from the moment the call begins, or
// from the last data the peer took of what was written. The
// socket is only ever waited on through poll() with the time left, so a peer
// that stops reading or answering is given up on when that time is over, not
// when the kernel's own socket timeout happens to fire; a cancel wakes every
// wait at once. Tells what became of the connection (closed or reset by the
// peer, a wait that ran out).
class WatchedConnection : public DcmTCPConnection {
public:
    WatchedConnection(DcmNativeSocketType socket, LinkState& link, int timeoutSeconds)
        : DcmTCPConnection(socket), link_(link), timeout_(std::chrono::seconds(timeoutSeconds))
    {
        link_.socket = int(socket);
    }
    ~WatchedConnection() override { forget(); }
    void close() override
    {
        forget();
        DcmTCPConnection::close();
    }
    ssize_t read(void* buf, size_t nbyte) override
    {
        auto deadline = SteadyClock::now() + timeout_;
        for (;;) {
            // Acknowledged at once: a peer with Nagle's algorithm on holds the
            // rest of an answer it writes in pieces until the first piece is
            // acknowledged, which the kernel would delay by up to 40 ms.
            const int on = 1;
            (void)::setsockopt(socket(), IPPROTO_TCP, TCP_QUICKACK, &on, sizeof on);
            const ssize_t n = ::recv(socket(), buf, nbyte, MSG_DONTWAIT);
            if (n < 0 && errno == EINTR)
                continue;
            if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK) && ready(POLLIN, deadline, timeout_))
                continue;
            note(n, nbyte);
            return n;
        }
    }
    // A write waits for as long as the peer keeps taking data: its deadline is
    // the reply timeout after the last byte the peer took.
    ssize_t write(void* buf, size_t nbyte) override
    {
        auto deadline = SteadyClock::now() + timeout_;
        const char* data = static_cast<const char*>(buf);
        size_t done = 0;
        while (done < nbyte) {
            const ssize_t n = ::send(socket(), data + done, nbyte - done, MSG_DONTWAIT | MSG_NOSIGNAL);
            if (n > 0) {
                done += size_t(n);
                deadline = SteadyClock::now() + timeout_;
                continue;
            }
            if (n < 0 && errno == EINTR)
                continue;
            if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK) && ready(POLLOUT, deadline, timeout_))
                continue;
            note(n, nbyte);
            // Part of the data went: the toolkit takes the short count as the failure it is.
            return done > 0 ? ssize_t(done) : n;
        }
        return ssize_t(done);
    }
    // The wait for an answer (timeout in seconds) counts from the moment the
    // peer has taken all that was written: over a slow line the last megabytes
    // of a picture may still be on their way when the last write returns.
    OFBool networkDataAvailable(int timeout) override
    {
        const std::chrono::seconds limit(std::max(timeout, 0));
        auto deadline = SteadyClock::now() + limit;
        return ready(POLLIN, deadline, limit) ? OFTrue : OFFalse;
    }

private:
    int socket() { return int(getSocket()); }
    void forget()
    {
        if (link_.socket == socket())
            link_.socket = -1;
    }

    // Waits until the socket is ready for events or the deadline has passed
    // (then false, and a wait with a limit counted as run out). While the peer
    // takes more of what was written, the deadline moves on to limit after
    // that: the kernel says a socket is ready to write only once a good part of
    // its send buffer (megabytes) has gone, and a peer on a slow line takes the
    // last of it long after the last write. A cancel ends the wait at once,
    // and an association being aborted is not waited on at all.
    bool ready(short events, SteadyClock::time_point& deadline, std::chrono::seconds limit)
    {
        const int wake = link_.cancel.wakeDescriptor();
        int queued = unsent();
        for (;;) {
            if (link_.givenUp || link_.cancel.cancelled()) {
                errno = ECANCELED;
                return false;
            }
            auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - SteadyClock::now());
            left = std::max(left, std::chrono::milliseconds(0));
            // Without a descriptor to wake it, the wait looks for a cancel now and then.
            if (queued > 0 || wake < 0)
                left = std::min(left, kProgressLook);
            pollfd p[2] = {{socket(), events, 0}, {wake, POLLIN, 0}};
            const int r = ::poll(p, 2, int(std::min<std::chrono::milliseconds::rep>(left.count(), INT_MAX)));
            if (r > 0 && p[0].revents != 0)
                return true;   // ready, or an error the next call reports
            if (r < 0 && errno != EINTR)
                return false;
            if (queued > 0) {
                const int now = unsent();
                if (now >= 0 && now < queued)
                    deadline = SteadyClock::now() + limit;
                queued = now;
            }
            if (r == 0 && SteadyClock::now() >= deadline)
                break;
        }
        if (limit.count() > 0)
            expired();
        errno = EAGAIN;
        return false;
    }
    // The bytes written to the socket that the peer has not yet acknowledged; -1 when unknown.
    int unsent()
    {
        int n = 0;
        return ::ioctl(socket(), SIOCOUTQ, &n) == 0 ? n : -1;
    }
    void expired()
    {
        link_.timedOut = true;
        ++internal::sendHooks().expiredWaits;
    }
    void note(ssize_t n, size_t asked)
    {
        const int err = errno;
        if (n == 0 && asked > 0)
            link_.peerClosed = true;
        else if (n < 0 && (err == ECONNRESET || err == EPIPE || err == ENOTCONN))
            link_.peerClosed = true;
        errno = err;
    }

    LinkState& link_;
    const std::chrono::seconds timeout_;
};

// The toolkit's SCU with our transport: every connection watched.
class WatchedScu : public DcmSCU {
public:
    OFCondition watchWith(DcmTransportLayer* layer) { return useSecureConnection(layer); }
};
}

QString cancelledReason() { return kCancelled; }

SendCancel::SendCancel() : wake_(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {}

SendCancel::~SendCancel()
{
    if (wake_ >= 0)
        ::close(wake_);
}

void SendCancel::cancel()
{
    cancelled_ = true;
    if (wake_ >= 0)
        (void)::eventfd_write(wake_, 1);
}

// What the association's connections report, and the transport that makes them.
struct Association::Watch : DcmTransportLayer {
    explicit Watch(const SendCancel& c) : link(c) {}
    DcmTransportConnection* createConnection(DcmNativeSocketType socket, OFBool) override
    {
        // Each PDU goes out as soon as it is written: without this, the last
        // small piece of a request waits for the peer's delayed acknowledgement.
        const int on = 1;
        (void)::setsockopt(int(socket), IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
        if (const auto& made = internal::sendHooks().connectionMade)
            made(int(socket));
        return new WatchedConnection(socket, link, replyTimeout());
    }
    LinkState link;
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
// room nor for the peer to close. The connection ends with a reset: what is
// still queued for the peer (megabytes of a picture) is dropped, not sent on.
void Association::drop()
{
    if (scu_ && scu_->isConnected()) {
        watch_->link.givenUp = true;
        if (watch_->link.socket >= 0) {
            const linger reset{1, 0};
            (void)::setsockopt(watch_->link.socket, SOL_SOCKET, SO_LINGER, &reset, sizeof reset);
        }
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
        return fail(why, kCancelled);
    auto scu = std::make_unique<WatchedScu>();
    scu->setAETitle(calling_.toLatin1().constData());
    scu->setPeerAETitle(called_.toLatin1().constData());
    scu->setPeerHostName(host_.toLatin1().constData());
    scu->setPeerPort(Uint16(port_));
    scu->setConnectionTimeout(connectTimeout());
    scu->setACSETimeout(Uint32(replyTimeout()));
    scu->setDIMSETimeout(Uint32(replyTimeout()));
    scu->setDIMSEBlockingMode(DIMSE_NONBLOCKING);
    OFList<OFString> syntaxes;
    syntaxes.push_back(UID_LittleEndianExplicitTransferSyntax);
    syntaxes.push_back(UID_LittleEndianImplicitTransferSyntax);
    watch_->link.reset();
    OFCondition c = scu->addPresentationContext(sopClass.toLatin1().constData(), syntaxes);
    if (c.good())
        c = scu->initNetwork();
    if (c.good())
        c = scu->watchWith(watch_.get());
    if (c.good()) {
        // The toolkit's wait for the peer to accept the connection cannot be
        // woken: a cancel meanwhile is seen once it has ended.
        ++internal::sendHooks().connectsWaiting;
        c = scu->negotiateAssociation();
        --internal::sendHooks().connectsWaiting;
    }
    if (c.good() && cancel_->cancelled()) {
        ++opened_;
        scu_ = std::move(scu);
        drop();
        return fail(why, kCancelled);
    }
    if (c.bad()) {
        qWarning("DICOM association with %s:%d failed: %s", qPrintable(host_), port_, c.text());
        if (cancel_->cancelled())
            return fail(why, kCancelled);
        if (watch_->link.timedOut)
            return fail(why, noReply());
        return fail(why, connectFailure(c));
    }
    ++opened_;
    scu_ = std::move(scu);
    sopClass_ = sopClass;
    if (scu_->findPresentationContextID(sopClass.toLatin1().constData(), "") == 0) {
        release();
        return fail(why, QStringLiteral("服务器不接收此类图像（二次采集图像）"));
    }
    return true;
}

QString Association::noReply() const { return QStringLiteral("服务器%1秒内没有应答").arg(replyTimeout()); }

QString Association::connectFailure(const OFCondition& c) const
{
    const QString where = QStringLiteral("%1:%2").arg(host_).arg(port_);
    if (c == DUL_ASSOCIATIONREJECTED)
        return QStringLiteral("服务器 %1 拒绝建立DICOM连接，请检查服务器Title").arg(where);
    if (c.module() == OFM_dcmnet && c.code() == DULC_UNKNOWNHOST)
        return QStringLiteral("找不到服务器 %1").arg(host_);
    if (c.module() == OFM_dcmnet && c.code() == DULC_TCPINITERROR) {
        // The toolkit words the system's error in the system's words: the same ones strerror() gives.
        const QString text = conditionText(c);
        auto says = [&text](int err) { return text.contains(QString::fromLocal8Bit(std::strerror(err))); };
        if (says(ECONNREFUSED))
            return QStringLiteral("服务器 %1 拒绝连接（该端口上没有DICOM服务在运行）").arg(where);
        if (text.contains(QLatin1String("(Timeout)")) || says(ETIMEDOUT))
            return QStringLiteral("服务器 %1 在%2秒内没有接受连接").arg(where).arg(connectTimeout());
        if (says(EHOSTUNREACH) || says(ENETUNREACH) || says(ENETDOWN))
            return QStringLiteral("网络不通，无法到达服务器 %1").arg(host_);
    }
    return QStringLiteral("无法与服务器 %1 建立连接").arg(where);
}

bool Association::store(DcmDataset& dataset, const QString& file, QString* why)
{
    setUpOnce();
    if (const auto& sending = internal::sendHooks().beforeSend)
        sending(file);
    OFString sop;
    if (dataset.findAndGetOFString(DCM_SOPClassUID, sop).bad() || sop.empty())
        return fail(why, QStringLiteral("DICOM文件没有SOP类别：%1").arg(file));
    const QString sopClass = QString::fromLatin1(sop.c_str());
    if (cancel_->cancelled())
        return fail(why, kCancelled);
    // A peer may have closed an idle association or dropped it after the last
    // file: such a file is tried once more over a new association. A failure
    // status is the peer's answer, and a peer that does not answer in time has
    // stalled: neither is retried, nor is a cancelled send.
    const bool wasOpen = scu_ && scu_->isConnected() && sopClass_ == sopClass;
    for (int attempt = 0; attempt < 2; ++attempt) {
        const bool reused = attempt == 0 && wasOpen;
        if (!reused && !open(sopClass, why))
            return false;
        watch_->link.reset();
        const T_ASC_PresentationContextID presId = scu_->findPresentationContextID(sop, "");
        Uint16 status = 0xFFFF;
        const OFCondition c = scu_->sendSTORERequest(presId, OFFilename(), &dataset, status);
        if (c.good()) {
            if (!storedStatus(status))
                return fail(why, statusText(status));
            return true;
        }
        const bool cancelled = cancel_->cancelled();
        const bool stalled = watch_->link.timedOut;
        const bool dropped =
            watch_->link.peerClosed || c == DUL_PEERABORTEDASSOCIATION || c == DUL_PEERREQUESTEDRELEASE;
        drop();
        if (cancelled)
            return fail(why, kCancelled);
        if (stalled)
            return fail(why, noReply());
        fail(why, QStringLiteral("服务器中断了连接"));
        if (!dropped)
            return false;
    }
    return false;
}

int dcmfileSend(Association& pacs, DcmDataset& dataset, const QString& file, QString* why)
{
    return pacs.store(dataset, file, why) ? 1 : 0;
}

namespace internal {
// Never destroyed: a send left to end by itself may still run as the program ends.
SendHooks& sendHooks()
{
    static SendHooks* const hooks = new SendHooks;
    return *hooks;
}
}
}
