#include "imaging/CaptureJpeg.h"

#include "imaging/BmpFile.h"
#include "imaging/Bitmap24.h"
#include "imaging/JpegWriter.h"

#include <QFileInfo>

#include <condition_variable>
#include <deque>
#include <future>
#include <mutex>
#include <thread>

#include <pthread.h>
#include <sched.h>

namespace {
// One encoding thread for the life of the program. A thread started for each
// frame would only begin once the thread that started it pauses, that is after
// the BMP has been written; a waiting thread starts at once, provided it is not
// woken on the caller's own processor (where it would again wait for the
// caller, or push it aside): each job therefore keeps it off that processor.
class Encoder {
public:
    ~Encoder()
    {
        {
            std::lock_guard g(m_);
            stop_ = true;
        }
        cv_.notify_one();
        if (thread_.joinable())
            thread_.join();
    }

    std::shared_future<QByteArray> start(std::shared_ptr<const Bitmap24> frame, int quality)
    {
        std::packaged_task<QByteArray()> job([frame = std::move(frame), quality] {
            return JpegWriter::encode(*frame, quality);
        });
        std::shared_future<QByteArray> result = job.get_future().share();
        {
            std::lock_guard g(m_);
            // Only the newest frame is wanted: one still waiting is dropped.
            jobs_.clear();
            jobs_.push_back(std::move(job));
            if (!thread_.joinable())
                thread_ = std::thread([this] { run(); });
            keepOffCallersProcessor();
        }
        cv_.notify_one();
        return result;
    }

private:
    void keepOffCallersProcessor()
    {
        cpu_set_t allowed;
        CPU_ZERO(&allowed);
        const int here = sched_getcpu();
        if (here < 0 || sched_getaffinity(0, sizeof allowed, &allowed) != 0 || !CPU_ISSET(here, &allowed)
            || CPU_COUNT(&allowed) < 2)
            return;
        CPU_CLR(here, &allowed);
        pthread_setaffinity_np(thread_.native_handle(), sizeof allowed, &allowed);   // only a hint
    }

    void run()
    {
        std::unique_lock lock(m_);
        for (;;) {
            cv_.wait(lock, [this] { return stop_ || !jobs_.empty(); });
            if (stop_)
                return;
            std::packaged_task<QByteArray()> job = std::move(jobs_.front());
            jobs_.pop_front();
            lock.unlock();
            job();   // a failure is kept in the job's result
            lock.lock();
        }
    }

    std::mutex m_;
    std::condition_variable cv_;
    std::deque<std::packaged_task<QByteArray()>> jobs_;
    bool stop_ = false;
    std::thread thread_;
};

struct Offer {
    QString path;
    int quality = 0;
    std::shared_ptr<const Bitmap24> frame;
    std::shared_future<QByteArray> jpeg;
};

std::mutex& lock()
{
    static std::mutex m;
    return m;
}
Offer& current()
{
    static Offer o;
    return o;
}

QString key(const QString& path)
{
    return QFileInfo(path).absoluteFilePath();
}

Offer takeCurrent()
{
    std::lock_guard g(lock());
    return std::exchange(current(), Offer());
}
}

namespace CaptureJpeg {

void offer(const QString& bmpPath, std::shared_ptr<const Bitmap24> frame, int quality)
{
    static Encoder encoder;
    Offer o;
    o.path = key(bmpPath);
    o.quality = quality;
    o.jpeg = encoder.start(frame, quality);
    o.frame = std::move(frame);
    std::lock_guard g(lock());
    current() = std::move(o);
}

void withdraw()
{
    takeCurrent();
}

std::optional<QByteArray> take(const QString& bmpPath, int quality)
{
    const Offer o = takeCurrent();
    if (!o.frame || o.path != key(bmpPath) || o.quality != quality || !BmpFile::holds(bmpPath, *o.frame))
        return std::nullopt;
    try {
        return o.jpeg.get();
    } catch (...) {
        return std::nullopt;   // encoded again from the file, which reports the failure
    }
}
}
