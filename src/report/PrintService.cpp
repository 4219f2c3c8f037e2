#include "report/PrintService.h"

#include "core/WorkNotice.h"
#include "platform/EventWait.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QRunnable>
#include <QThreadPool>
#include <QTimer>

#include <cups/cups.h>
#include <algorithm>
#include <cstring>

namespace PrintService {

namespace {
// A question that takes longer than this gets the notice.
constexpr int kNoticeAfterMs = 1000;

std::atomic<int>& deadline()
{
    static std::atomic<int> ms{30000};
    return ms;
}

// Questions given up on whose workers still wait for the service.
std::atomic<int>& unanswered()
{
    static std::atomic<int> n{0};
    return n;
}

// Questions given up on since the start.
std::atomic<int>& givenUpCount()
{
    static std::atomic<int> n{0};
    return n;
}

QThreadPool& pool()
{
    // Never destroyed: a worker still waiting for the service when the program ends keeps
    // its thread. Room for the few questions that can be under way at once (a print and the
    // watch of an earlier job); a stalled service takes no new ones.
    static QThreadPool* const p = [] {
        auto* pool = new QThreadPool;
        pool->setObjectName(QStringLiteral("PrintService"));
        pool->setMaxThreadCount(8);
        return pool;
    }();
    return *p;
}

// Runs f on the GUI thread (a queued call: it also wakes a wait there).
void post(std::function<void()> f)
{
    if (QCoreApplication* app = QCoreApplication::instance())
        QMetaObject::invokeMethod(app, std::move(f), Qt::QueuedConnection);
}

// The service this thread reaches (libcups keeps the address per thread: a worker starts
// from the environment and the client settings, the asker may have been pointed elsewhere).
struct Address {
    QByteArray server;
    int port = 0;
    http_encryption_t encryption = HTTP_ENCRYPTION_IF_REQUESTED;

    static Address ofThisThread() { return {cupsServer(), ippPort(), cupsEncryption()}; }
    void useOnThisThread() const
    {
        // Setting the address drops the thread's connection: only when it differs.
        if (std::strcmp(cupsServer(), server.constData()) != 0)
            cupsSetServer(server.constData());
        if (ippPort() != port)
            ippSetPort(port);
        if (cupsEncryption() != encryption)
            cupsSetEncryption(encryption);
    }
};
}

struct Asking {
    static std::shared_ptr<Question> make()
    {
        auto q = std::make_shared<Question>();
        q->deadline_ = QDeadlineTimer(deadlineMs(), Qt::PreciseTimer);
        return q;
    }
    static bool finished(const Question& q) { return q.finished_.load(); }
    // Gives the question up; false when it ended meanwhile (its result stands).
    static bool abandon(Question& q)
    {
        const std::lock_guard lock(q.ending_);
        if (q.finished_ || q.claimed_)
            return false;
        q.abandoned_ = true;
        ++unanswered();
        ++givenUpCount();
        return true;
    }
    static void start(const std::shared_ptr<Question>& q, const std::function<void(const Question&)>& work,
                      std::function<void()> ended)
    {
        const Address address = Address::ofThisThread();
        pool().start([q, work, address, ended = std::move(ended)] {
            address.useOnThisThread();
            work(*q);
            {
                const std::lock_guard lock(q->ending_);
                q->finished_ = true;
                if (q->abandoned_)
                    --unanswered();
            }
            post(ended);
        });
    }
};

int deadlineMs() { return deadline().load(); }
void setDeadlineMs(int ms) { deadline() = std::max(1, ms); }

bool Question::claim() const
{
    const std::lock_guard lock(ending_);
    if (abandoned_)
        return false;
    claimed_ = true;
    return true;
}

int Question::msLeft() const { return int(std::clamp<qint64>(deadline_.remainingTime(), 1, deadlineMs())); }

bool stalled() { return unanswered().load() > 0; }
int givenUp() { return givenUpCount().load(); }

bool run(const std::function<void(const Question&)>& work)
{
    if (stalled())
        return false;
    const auto q = Asking::make();
    Asking::start(q, work, [] {});
    const auto done = [&q] { return Asking::finished(*q); };
    if (EventWait::until(done, std::min(kNoticeAfterMs, deadlineMs())))
        return true;
    bool answered = false;
    if (q->msLeft() > 1) {
        const WorkNotice notice(QStringLiteral("正在等待打印服务（CUPS）应答，请稍候……"));
        answered = EventWait::until(done, q->msLeft());
    }
    if (answered)
        return true;
    if (Asking::abandon(*q))
        return false;
    // Answered as the deadline passed: the worker has only its result left to write.
    EventWait::until(done, EventWait::kNoLimit);
    return true;
}

void runLater(const std::function<void(const Question&)>& work, const std::function<void(bool answered)>& then)
{
    if (stalled()) {
        post([then] { then(false); });
        return;
    }
    const auto q = Asking::make();
    auto settled = std::make_shared<bool>(false);
    auto* timer = new QTimer(QCoreApplication::instance());
    timer->setSingleShot(true);
    QObject::connect(timer, &QTimer::timeout, timer, [q, settled, timer, then] {
        // Answered meanwhile (ended or claimed): the end of its work settles it.
        if (*settled || !Asking::abandon(*q))
            return;
        *settled = true;
        timer->deleteLater();
        then(false);
    });
    timer->start(deadlineMs());
    Asking::start(q, work, [settled, timer, then] {
        if (*settled)
            return;
        *settled = true;
        timer->stop();
        timer->deleteLater();
        then(true);
    });
}
}
