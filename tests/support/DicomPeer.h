#pragma once
// A real PACS for the DICOM tests: DCMTK's storescp on a free loopback port,
// receiving into a temporary folder, and dcmdump / dciodvfy to read files back.
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <atomic>
#include <thread>
#include <vector>

namespace dicompeer {

class StoreScp {
public:
    StoreScp() = default;
    ~StoreScp();
    // Starts storescp (AE title aeTitle) and waits until it listens. False with
    // the reason in error() when storescp is missing or does not come up.
    bool start(const QString& aeTitle = QStringLiteral("PEL"), const QStringList& extra = {});
    // Variables ("NAME=value") added to storescp's environment; before start().
    void setEnvironment(const QStringList& variables);
    // Ends storescp; its port is closed afterwards.
    void stop();
    int port() const { return port_; }
    // The process id of storescp (0 when it is not running).
    qint64 pid() const { return process_.processId(); }
    QString folder() const { return dir_.path(); }
    QString error() const { return error_; }
    // The files received so far.
    QStringList received() const;

private:
    QTemporaryDir dir_;
    QProcess process_;
    int port_ = 0;
    QString error_;
};

// A loopback port nobody listens on at the moment.
int freePort();

// A loopback port that listens and accepts nothing, its queue of connections
// to accept full: the kernel drops every new request unanswered, as from a
// host that is off. close() ends it; the kernel then refuses the requests it
// sends again.
class FullPort {
public:
    FullPort();
    ~FullPort();
    FullPort(const FullPort&) = delete;
    FullPort& operator=(const FullPort&) = delete;
    // Whether the queue is full (a request of its own is waiting).
    bool ok() const;
    int port() const { return port_; }
    void close();

private:
    int listener_ = -1;
    int port_ = 0;
    std::vector<int> queued_;
};

// A loopback port that passes every connection on to another port, and
// what the client sends at no more than bytesPerSecond, as a slow line would
// (the answers pass at once).
class SlowRelay {
public:
    SlowRelay(int toPort, int bytesPerSecond);
    ~SlowRelay();
    SlowRelay(const SlowRelay&) = delete;
    SlowRelay& operator=(const SlowRelay&) = delete;
    bool ok() const { return listener_ >= 0; }
    int port() const { return port_; }
    // The bytes of the clients passed on so far.
    qint64 passed() const { return passed_; }
    // Whether a client's connection ended with a reset, not closed in order.
    bool clientReset() const { return reset_; }

private:
    void pass(int client);

    int listener_ = -1;
    int port_ = 0;
    int to_ = 0;
    int rate_ = 0;
    std::atomic<bool> stop_{false};
    std::atomic<qint64> passed_{0};
    std::atomic<bool> reset_{false};
    std::vector<std::thread> passes_;   // only the accepting thread adds to them
    std::thread accepting_;
};

// The value of one attribute ("0010,0010") as dcmdump prints it; null when absent
// or when dcmdump cannot read the file.
QString value(const QString& file, const QString& tag);
// dciodvfy's error lines for the file ("dciodvfy missing" when it is not installed).
QStringList validatorErrors(const QString& file);
}
