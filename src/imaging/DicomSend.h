#pragma once
#include <QString>

#include <atomic>
#include <functional>
#include <memory>

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

// The reason a cancelled send gives, in the user's words.
QString cancelledReason();

// Lets another thread (the progress dialog's 取消) stop a conversion's sending.
// Every wait of the sender on its connection wakes at once: the association is
// aborted with a reset, so what is still queued for the peer does not go on to
// it, and no later send starts. A send that waits for the peer to accept its
// connection sees the cancel when that wait ends (within the connection
// timeout), aborts what it got and fails: whoever cancelled need not wait for it.
class SendCancel {
public:
    SendCancel();
    ~SendCancel();
    SendCancel(const SendCancel&) = delete;
    SendCancel& operator=(const SendCancel&) = delete;

    void cancel();
    bool cancelled() const { return cancelled_.load(); }
    // Readable once cancelled (-1 when the system gave none): the sender's
    // waits poll it beside the connection's socket.
    int wakeDescriptor() const { return wake_; }

private:
    std::atomic<bool> cancelled_{false};
    int wake_ = -1;
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
    // Blocks while the peer makes progress: each wait (for the connection, to
    // read, to write, for an answer) ends after its timeout above, counted for
    // a write and an answer from the last data the peer took (a slow line is
    // no stall); on a cancel each ends at once but the wait for the
    // connection, which ends within its own timeout.
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

namespace internal {
// What tests and benchmarks change and read in the sender (DicomSendTesting.h);
// the program itself leaves it as it is.
struct SendHooks {
    std::function<void(const QString& file)> beforeSend;   // on the sending thread
    std::function<void(int socket)> connectionMade;        // on the sending thread
    std::atomic<int> replyTimeout{kReplyTimeoutSeconds};
    std::atomic<int> connectTimeout{kConnectTimeoutSeconds};
    std::atomic<int> expiredWaits{0};      // waits for the peer that ran out, in the whole program
    std::atomic<int> connectsWaiting{0};   // sends waiting now for a peer to accept their connection
};
SendHooks& sendHooks();
}

// Sends a converted picture over the conversion's association (Association::store):
// 0 on failure, with the reason in *why; 1 when the peer stored it.
int dcmfileSend(Association& pacs, DcmDataset& dataset, const QString& file, QString* why = nullptr);
}
