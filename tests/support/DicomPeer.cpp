#include "support/DicomPeer.h"

#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QDir>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QThread>

#include <algorithm>
#include <cerrno>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace dicompeer {
namespace {

sockaddr_in loopback(int port)
{
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    a.sin_port = htons(quint16(port));
    return a;
}

// Whether something listens on the TCP port: a connection is accepted
// (storescp takes one that closes before it asks for an association).
bool listening(int port)
{
    const int s = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const sockaddr_in a = loopback(port);
    const bool accepted = s >= 0 && ::connect(s, reinterpret_cast<const sockaddr*>(&a), sizeof a) == 0;
    if (s >= 0)
        ::close(s);
    return accepted;
}

// Whether the socket of ours still waits for its peer to accept its connection.
bool waitsForPeer(int s)
{
    tcp_info info{};
    socklen_t len = sizeof info;
    return ::getsockopt(s, IPPROTO_TCP, TCP_INFO, &info, &len) == 0 && info.tcpi_state == TCP_SYN_SENT;
}

QString run(const QString& program, const QStringList& args, bool* ok = nullptr)
{
    QProcess p;
    p.start(program, args);
    const bool done = p.waitForStarted(5000) && p.waitForFinished(60000);
    if (!done)
        p.kill();
    if (ok)
        *ok = done && p.exitStatus() == QProcess::NormalExit;
    return QString::fromUtf8(p.readAllStandardOutput() + p.readAllStandardError());
}
}

int freePort()
{
    const int s = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a = loopback(0);
    socklen_t len = sizeof a;
    int port = 0;
    if (s >= 0 && ::bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0
        && ::getsockname(s, reinterpret_cast<sockaddr*>(&a), &len) == 0)
        port = ntohs(a.sin_port);
    if (s >= 0)
        ::close(s);
    return port;
}

FullPort::FullPort()
{
    listener_ = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a = loopback(0);
    socklen_t len = sizeof a;
    if (listener_ < 0 || ::bind(listener_, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0
        || ::listen(listener_, 0) != 0 || ::getsockname(listener_, reinterpret_cast<sockaddr*>(&a), &len) != 0)
        return;
    port_ = ntohs(a.sin_port);
    // A queue of none holds one connection; the ones after it wait.
    for (int k = 0; k < 3; ++k) {
        queued_.push_back(::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0));
        (void)::connect(queued_.back(), reinterpret_cast<sockaddr*>(&a), sizeof a);
    }
    for (int waited = 0; waited < 10000 && !ok(); waited += 10)
        QThread::msleep(10);
}

FullPort::~FullPort() { close(); }

bool FullPort::ok() const
{
    return port_ != 0 && std::any_of(queued_.begin(), queued_.end(), [](int s) { return waitsForPeer(s); });
}

void FullPort::close()
{
    for (int s : queued_)
        ::close(s);
    queued_.clear();
    if (listener_ >= 0)
        ::close(listener_);
    listener_ = -1;
}

SlowRelay::SlowRelay(int toPort, int bytesPerSecond) : to_(toPort), rate_(bytesPerSecond)
{
    listener_ = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a = loopback(0);
    socklen_t len = sizeof a;
    // As a slow line: what the client sent waits on the client's side, not
    // in a large buffer of ours (the connections take this from the port).
    const int small = 8192;
    if (listener_ < 0 || ::setsockopt(listener_, SOL_SOCKET, SO_RCVBUF, &small, sizeof small) != 0
        || ::bind(listener_, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 || ::listen(listener_, 8) != 0
        || ::getsockname(listener_, reinterpret_cast<sockaddr*>(&a), &len) != 0) {
        if (listener_ >= 0)
            ::close(listener_);
        listener_ = -1;
        return;
    }
    port_ = ntohs(a.sin_port);
    accepting_ = std::thread([this] {
        while (!stop_) {
            pollfd p{listener_, POLLIN, 0};
            if (::poll(&p, 1, 20) <= 0)
                continue;
            const int client = ::accept(listener_, nullptr, nullptr);
            if (client >= 0)
                passes_.emplace_back([this, client] { pass(client); });
        }
    });
}

SlowRelay::~SlowRelay()
{
    stop_ = true;
    if (accepting_.joinable())
        accepting_.join();
    for (std::thread& t : passes_)
        t.join();
    if (listener_ >= 0)
        ::close(listener_);
}

void SlowRelay::pass(int client)
{
    const int server = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a = loopback(to_);
    if (server < 0 || ::connect(server, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
        ::close(client);
        if (server >= 0)
            ::close(server);
        return;
    }
    auto sendAll = [](int fd, const char* data, ssize_t n) {
        while (n > 0) {
            const ssize_t w = ::send(fd, data, size_t(n), MSG_NOSIGNAL);
            if (w <= 0)
                return false;
            data += w;
            n -= w;
        }
        return true;
    };
    QElapsedTimer clock;
    clock.start();
    qint64 passed = 0;
    char buf[65536];
    bool open = true;
    while (open && !stop_) {
        // The client's bytes only while the rate allows some.
        const bool allowed = passed < clock.elapsed() * rate_ / 1000;
        pollfd p[2] = {{server, POLLIN, 0}, {client, short(allowed ? POLLIN : 0), 0}};
        ::poll(p, 2, 5);
        if (p[0].revents) {
            const ssize_t n = ::recv(server, buf, sizeof buf, 0);
            open = n > 0 && sendAll(client, buf, n);
        }
        if (open && p[1].revents) {
            const ssize_t n = ::recv(client, buf, 4096, 0);
            if (n < 0 && errno == ECONNRESET)
                reset_ = true;
            open = n > 0 && sendAll(server, buf, n);
            passed += std::max<ssize_t>(n, 0);
            passed_ += std::max<ssize_t>(n, 0);
        }
    }
    ::close(client);
    ::close(server);
}

StoreScp::~StoreScp() { stop(); }

void StoreScp::setEnvironment(const QStringList& variables)
{
    process_.setEnvironment(QProcess::systemEnvironment() + variables);
}

bool StoreScp::start(const QString& aeTitle, const QStringList& extra)
{
    const QString program = QStandardPaths::findExecutable(QStringLiteral("storescp"));
    if (program.isEmpty()) {
        error_ = QStringLiteral("storescp is not installed (package dcmtk, see scripts/setup-deps)");
        return false;
    }
    port_ = freePort();
    if (!dir_.isValid() || port_ == 0) {
        error_ = QStringLiteral("no temporary folder or free port for storescp");
        return false;
    }
    process_.setProcessChannelMode(QProcess::MergedChannels);
    process_.start(program, QStringList{QStringLiteral("-aet"), aeTitle, QStringLiteral("-od"), dir_.path(),
                                        QStringLiteral("-dhl")}
                                + extra + QStringList{QString::number(port_)});
    if (!process_.waitForStarted(5000)) {
        error_ = QStringLiteral("storescp did not start: ") + process_.errorString();
        return false;
    }
    const QDeadlineTimer deadline(10000);
    while (!listening(port_)) {
        if (process_.state() != QProcess::Running || deadline.hasExpired()) {
            error_ = QStringLiteral("storescp is not listening on port %1: %2")
                         .arg(port_)
                         .arg(QString::fromLocal8Bit(process_.readAll()));
            stop();
            return false;
        }
        QThread::msleep(20);
    }
    return true;
}

void StoreScp::stop()
{
    if (process_.state() == QProcess::NotRunning)
        return;
    process_.kill();
    process_.waitForFinished(5000);
}

QStringList StoreScp::received() const
{
    QStringList files;
    for (const QFileInfo& f : QDir(dir_.path()).entryInfoList(QDir::Files))
        files << f.filePath();
    return files;
}

QString value(const QString& file, const QString& tag)
{
    const QString out =
        run(QStringLiteral("dcmdump"), {QStringLiteral("-q"), QStringLiteral("-Un"), QStringLiteral("+P"), tag, file});
    const QString first = out.section(QLatin1Char('\n'), 0, 0);
    if (!first.startsWith(QLatin1Char('(')))
        return QString();
    // "(0010,0010) PN [text]  # ..." for texts, "(0028,0010) US 17  # ..." for numbers,
    // "(no value available)" for an empty one.
    static const QRegularExpression line(QStringLiteral("^\\([0-9a-fA-F,]+\\) \\w\\w (.*?)\\s+#"));
    const QString shown = line.match(first).captured(1);
    if (shown.startsWith(QLatin1Char('[')) && shown.endsWith(QLatin1Char(']')))
        return shown.mid(1, shown.size() - 2);
    return shown.startsWith(QLatin1Char('(')) ? QStringLiteral("") : shown;
}

QStringList validatorErrors(const QString& file)
{
    if (QStandardPaths::findExecutable(QStringLiteral("dciodvfy")).isEmpty())
        return {QStringLiteral("dciodvfy missing (package dicom3tools, see scripts/setup-deps)")};
    QStringList errors;
    for (const QString& line : run(QStringLiteral("dciodvfy"), {file}).split(QLatin1Char('\n')))
        if (line.startsWith(QLatin1String("Error")))
            errors << line;
    return errors;
}
}
