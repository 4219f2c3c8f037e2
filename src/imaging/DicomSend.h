#pragma once
#include <QString>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>

class DcmDataset;
class OFCondition;
class DcmSCU;
class DcmTransportLayer;

// Sends DICOM data sets to the PACS by C-STORE over one association per
// conversion, without Nagle's algorithm and acknowledging the PACS's answers
// at once; every read and write on the connection has a deadline of its own.
namespace Dicom {

inline constexpr int kConnectTimeoutSeconds = 10;
inline constexpr int kReplyTimeoutSeconds = 30;   // association and DIMSE replies, each read and each write

// Lets another thread (the progress dialog's 取消) stop a conversion's sending:
// the connection in use is shut at once, so the send blocked on it ends
// without waiting for the peer, and no later send starts. A send still waiting
// for the peer to accept its connection is interrupted there.
class SendCancel {
public:
    ~SendCancel();
    void cancel();
    bool cancelled() const;

    // The calling thread waits for the peer at port to accept a new
    // connection, until endConnect(). The toolkit keeps that socket to itself
    // until the connection stands; cancel() finds it among the process's
    // sockets and shuts it, which ends the wait (again and again until
    // endConnect(), as it may not be there yet).
    void beginConnect(int port);
    void endConnect();

    // The connection's socket, while it is open (for the sender's connection).
    void attach(int socket);
    void detach(int socket);
    // Stops reading and blocking on the socket, so an abort neither waits for
    // the peer's answer nor for room to write.
    void stopWaiting();

private:
    void interruptConnect();

    mutable std::mutex mutex_;
    bool cancelled_ = false;
    int socket_ = -1;
    bool connecting_ = false;
    int connectPort_ = 0;
    std::condition_variable connectEnded_;
    std::thread interrupter_;
};

// One association to host:port, calling AE title callingTitle, called AE title
// calledTitle, opened on the first store and released when the object goes.
class Association {
public:
    // cancel: where another thread may stop the sending (none: nobody can).
    Association(const QString& host, int port, const QString& callingTitle, const QString& calledTitle,
                std::shared_ptr<SendCancel> cancel = nullptr);
    ~Association();
    Association(const Association&) = delete;
    Association& operator=(const Association&) = delete;

    // Sends the data set of file. True when the peer stored it (status 0x0000 or
    // a warning); false with the reason in *why, in the user's words, when the
    // settings are bad, the peer cannot be reached or refuses, answers with a
    // failure status, does not answer within the reply timeout, or the sending
    // was cancelled (the toolkit's own account goes to the log). Only an
    // association that the peer dropped (closed or aborted) is opened anew,
    // once, before the file fails; a peer that stalls is aborted at once.
    // Blocks for at most the timeouts above per step.
    bool store(DcmDataset& dataset, const QString& file, QString* why = nullptr);
    // Releases the association (also done by the destructor).
    void release();
    // How many associations were negotiated so far.
    int opened() const { return opened_; }

private:
    bool open(const QString& sopClass, QString* why);
    void drop();
    QString noReply() const;
    QString connectFailure(const OFCondition& c) const;

    struct Watch;
    QString host_, calling_, called_;
    int port_ = 0;
    std::shared_ptr<SendCancel> cancel_;
    std::unique_ptr<Watch> watch_;   // outlives every connection of scu_
    std::unique_ptr<DcmSCU> scu_;
    QString sopClass_;
    int opened_ = 0;
};

// Sends a converted picture over the conversion's association (Association::store):
// 0 on failure, with the reason in *why; 1 when the peer stored it.
int dcmfileSend(Association& pacs, DcmDataset& dataset, const QString& file, QString* why = nullptr);
}
