#pragma once
#include <QByteArray>
#include <QDeadlineTimer>
#include <QString>

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>

// Every question to the print service (CUPS) runs on a worker thread of its own and is
// waited for with a deadline. libcups blocks for minutes on a service that takes the
// connection and never answers (stopped, hung): the window goes on meanwhile, and when the
// deadline passes the question is given up and the service counts as not answering until
// that question ends, so that the next ones do not wait for it again.
namespace PrintService {

// How long a question may take, in milliseconds (30 s; tests shorten it).
int deadlineMs();
void setDeadlineMs(int ms);

// One question on its way. The worker sees whether the asker gave up on it (a job it
// then still handed to a queue is withdrawn, as the user was told it was not printed).
class Question {
public:
    bool abandoned() const { return abandoned_.load(); }
    // Takes the service's answer as the question's: false when the asker gave the question
    // up first. Once claimed, the asker waits for the worker's result whatever the deadline
    // (it has only its result left to write), so that an answer is never told as none.
    bool claim() const;
    // The milliseconds left to the question's deadline (at least 1), for libcups's own waits.
    int msLeft() const;

private:
    friend struct Asking;
    std::atomic<bool> abandoned_{false};
    std::atomic<bool> finished_{false};
    mutable std::mutex ending_;
    mutable bool claimed_ = false;
    QDeadlineTimer deadline_;
};

// Whether a question given up on is still waiting for the service.
bool stalled();
// How many questions have been given up on so far in this run: a command that asked
// compares it before and after to tell "no answer" from other empty results.
int givenUp();

// Runs work on a worker (which reaches the print service this thread reaches) and waits for
// it: the window is painted and its timers run, user input waits; after a second a small
// notice says what the program waits for. False when the deadline passed (work goes on
// alone and its result is dropped) or when an earlier question is still unanswered (work
// does not run).
bool run(const std::function<void(const Question&)>& work);

// The same for work with a result; nullopt when the service did not answer.
template <class T>
std::optional<T> ask(std::function<T(const Question&)> work)
{
    auto out = std::make_shared<std::optional<T>>();
    if (!run([out, work = std::move(work)](const Question& q) { *out = work(q); }))
        return std::nullopt;
    return std::move(*out);
}

// Runs work on a worker without waiting: then(true) follows on this thread when it ended in
// time, then(false) when the deadline passed first or an earlier question is unanswered.
void runLater(const std::function<void(const Question&)>& work, const std::function<void(bool answered)>& then);
}
