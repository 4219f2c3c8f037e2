#include "imaging/DicomSend.h"
#include "imaging/DicomSendTesting.h"

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

#include <QDir>
#include <QFile>

#include <set>
#include <vector>

#include <fcntl.h>
#include <linux/sockios.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
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

std::atomic<int>& replyTimeoutSetting()
{
    static std::atomic<int> seconds{kReplyTimeoutSeconds};
    return seconds;
}

int replyTimeout() { return replyTimeoutSetting().load(); }

std::atomic<int>& connectTimeoutSetting()
{
    static std::atomic<int> seconds{kConnectTimeoutSeconds};
    return seconds;
}

int connectTimeout() { return connectTimeoutSetting().load(); }

// What the process's open file fd is, as /proc/self/fd tells it ("socket:[inode]" for a socket).
QByteArray openFile(int fd)
{
    char target[64];
    const ssize_t n =
        ::readlink(QByteArray("/proc/self/fd/" + QByteArray::number(fd)).constData(), target, sizeof target);
    return n > 0 ? QByteArray(target, n) : QByteArray();
}

// This process's sockets that wait for the peer at port to accept their
// connection (SYN sent): their inodes from the kernel's tables, matched with
// the process's open files.
std::vector<int> connectingSockets(int port)
{
    std::set<QByteArray> inodes;
    const QByteArray remotePort = ':' + QByteArray::number(port, 16).toUpper().rightJustified(4, '0');
    for (const char* table : {"/proc/net/tcp", "/proc/net/tcp6"}) {
        QFile f(QString::fromLatin1(table));
        if (!f.open(QIODevice::ReadOnly))
            continue;
        // sl local_address rem_address st tx_queue:rx_queue tr:tm->when retrnsmt uid timeout inode
        for (const QByteArray& line : f.readAll().split('\n')) {
            const QList<QByteArray> cols = line.simplified().split(' ');
            if (cols.size() > 9 && cols[2].endsWith(remotePort) && cols[3] == "02")
                inodes.insert(cols[9]);
        }
    }
    std::vector<int> sockets;
    if (inodes.empty())
        return sockets;
    for (const QString& name : QDir(QStringLiteral("/proc/self/fd")).entryList(QDir::System | QDir::NoDotAndDotDot)) {
        const QByteArray target = openFile(name.toInt());
        if (target.startsWith("socket:[") && inodes.count(target.mid(8, target.size() - 9)) > 0)
            sockets.push_back(name.toInt());
    }
    return sockets;
}

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

std::atomic<int>& expiredWaitCount()
{
    static std::atomic<int> n{0};
    return n;
}

using SteadyClock = std::chrono::steady_clock;

// How often a wait looks whether the peer has taken more of what was written.
constexpr std::chrono::milliseconds kProgressLook{50};

// The toolkit's connection to the peer, with a deadline of our own for each
// read and each write: the reply timeout from the moment the call begins, or
// from the last data the peer took of what was written. The
// socket is only ever waited on through poll() with the time left, so a peer
// that stops reading or answering is given up on when that time is over, not
// when the kernel's own socket timeout happens to fire. Tells what became of
// the connection (closed or reset by the peer, a wait that ran out) and keeps
// its socket known to the cancel while it is open.
class WatchedConnection : public DcmTCPConnection {
public:
    WatchedConnection(DcmNativeSocketType socket, SendCancel& cancel, std::atomic<bool>& peerClosed,
                      std::atomic<bool>& timedOut, int timeoutSeconds)
        : DcmTCPConnection(socket), cancel_(cancel), peerClosed_(peerClosed), timedOut_(timedOut),
          timeout_(std::chrono::seconds(timeoutSeconds))
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

    // Waits until the socket is ready for events or the deadline has passed
    // (then false, and a wait with a limit counted as run out). While the peer
    // takes more of what was written, the deadline moves on to limit after
    // that: the kernel says a socket is ready to write only once a good part of
    // its send buffer (megabytes) has gone, and a peer on a slow line takes the
    // last of it long after the last write. A socket that the sender stopped
    // waiting on (made non-blocking before an abort) is not waited on.
    bool ready(short events, SteadyClock::time_point& deadline, std::chrono::seconds limit)
    {
        const int flags = ::fcntl(socket(), F_GETFL);
        if (flags < 0 || (flags & O_NONBLOCK)) {
            errno = EAGAIN;
            return false;
        }
        int queued = unsent();
        for (;;) {
            auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - SteadyClock::now());
            left = std::max(left, std::chrono::milliseconds(0));
            if (queued > 0)
                left = std::min(left, kProgressLook);
            pollfd p{socket(), events, 0};
            const int r = ::poll(&p, 1, int(std::min<std::chrono::milliseconds::rep>(left.count(), INT_MAX)));
            if (r > 0)
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
        timedOut_ = true;
        ++expiredWaitCount();
    }
    void note(ssize_t n, size_t asked)
    {
        const int err = errno;
        if (n == 0 && asked > 0)
            peerClosed_ = true;
        else if (n < 0 && (err == ECONNRESET || err == EPIPE || err == ENOTCONN))
            peerClosed_ = true;
        errno = err;
    }

    SendCancel& cancel_;
    std::atomic<bool>& peerClosed_;
    std::atomic<bool>& timedOut_;
    const std::chrono::seconds timeout_;
};

// The toolkit's SCU with our transport: every connection watched.
class WatchedScu : public DcmSCU {
public:
    OFCondition watchWith(DcmTransportLayer* layer) { return useSecureConnection(layer); }
};
}

SendCancel::~SendCancel()
{
    if (interrupter_.joinable())
        interrupter_.join();
}

void SendCancel::cancel()
{
    const std::lock_guard lock(mutex_);
    cancelled_ = true;
    if (socket_ >= 0)
        ::shutdown(socket_, SHUT_RDWR);
    if (connecting_ && !interrupter_.joinable())
        interrupter_ = std::thread([this] { interruptConnect(); });
}

void SendCancel::beginConnect(int port)
{
    const std::lock_guard lock(mutex_);
    connecting_ = true;
    connectPort_ = port;
    if (cancelled_ && !interrupter_.joinable())
        interrupter_ = std::thread([this] { interruptConnect(); });
}

void SendCancel::endConnect()
{
    std::thread interrupter;
    {
        const std::lock_guard lock(mutex_);
        connecting_ = false;
        interrupter = std::move(interrupter_);
    }
    connectEnded_.notify_all();
    if (interrupter.joinable())
        interrupter.join();
}

// Shutting a socket that waits for its connection ends the connection and
// wakes its waiter. The socket may not be made yet: looked for again until
// the connecting thread says that it no longer waits. Each one is checked to
// be the socket found right before it is shut, as its number may have gone
// to another file meanwhile.
void SendCancel::interruptConnect()
{
    std::unique_lock lock(mutex_);
    while (connecting_) {
        for (const int fd : connectingSockets(connectPort_)) {
            const QByteArray found = openFile(fd);
            struct stat st {};
            if (::fstat(fd, &st) == 0 && S_ISSOCK(st.st_mode)
                && found == "socket:[" + QByteArray::number(qulonglong(st.st_ino)) + ']')
                ::shutdown(fd, SHUT_RDWR);
        }
        connectEnded_.wait_for(lock, std::chrono::milliseconds(10));
    }
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
        // Each PDU goes out as soon as it is written: without this, the last
        // small piece of a request waits for the peer's delayed acknowledgement.
        const int on = 1;
        (void)::setsockopt(int(socket), IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
        return new WatchedConnection(socket, cancel, peerClosed, timedOut, replyTimeout());
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
    watch_->reset();
    OFCondition c = scu->addPresentationContext(sopClass.toLatin1().constData(), syntaxes);
    if (c.good())
        c = scu->initNetwork();
    if (c.good())
        c = scu->watchWith(watch_.get());
    if (c.good()) {
        cancel_->beginConnect(port_);
        c = scu->negotiateAssociation();
        cancel_->endConnect();
    }
    if (c.bad()) {
        qWarning("DICOM association with %s:%d failed: %s", qPrintable(host_), port_, c.text());
        if (cancel_->cancelled())
            return fail(why, kCancelled);
        if (watch_->timedOut)
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
    if (observer())
        observer()(file);
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
        watch_->reset();
        const T_ASC_PresentationContextID presId = scu_->findPresentationContextID(sop, "");
        Uint16 status = 0xFFFF;
        const OFCondition c = scu_->sendSTORERequest(presId, OFFilename(), &dataset, status);
        if (c.good()) {
            if (!storedStatus(status))
                return fail(why, statusText(status));
            return true;
        }
        const bool cancelled = cancel_->cancelled();
        const bool stalled = watch_->timedOut;
        const bool dropped = watch_->peerClosed || c == DUL_PEERABORTEDASSOCIATION || c == DUL_PEERREQUESTEDRELEASE;
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

void setSendObserver(std::function<void(const QString&)> o) { observer() = std::move(o); }

void setReplyTimeout(int seconds) { replyTimeoutSetting() = seconds > 0 ? seconds : kReplyTimeoutSeconds; }

void setConnectTimeout(int seconds) { connectTimeoutSetting() = seconds > 0 ? seconds : kConnectTimeoutSeconds; }

int expiredWaits() { return expiredWaitCount().load(); }
}
