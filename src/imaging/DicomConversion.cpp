#include "imaging/DicomConversion.h"

#include "platform/Environment.h"
#include "platform/PrivateFile.h"

#include <QFuture>
#include <QThreadPool>
#include <QtConcurrent/QtConcurrentRun>

#include <memory>
#include <optional>

namespace Dicom {
namespace {

// A picture made and staged as a temporary file, waiting to be linked under its name.
struct Staged {
    std::shared_ptr<Image> image = std::make_shared<Image>();
    int number = 0;
    bool ok = false;
    bool full = false;
    QString why;
};

Staged stage(const Picture& common, const Slot& slot, const ExamFolder& folder, int n)
{
    Staged s;
    Picture p = common;
    p.source = slot.source;
    p.date = Environment::today();
    p.time = QTime::currentTime();
    p.imageNumber = n;
    s.number = n;
    s.ok = s.image->make(p, &s.why) && s.image->stage(folder, &s.number, kMaxImageNumber, &s.why, &s.full);
    return s;
}
}

// While one picture is sent, the next is read, encoded and staged on the thread
// pool; it is linked under its name only after the one before it was sent, so
// a failure leaves the slots after it untouched.
Outcome Convert(const Picture& common, const QList<Slot>& pictures, const ExamFolder& folder,
                const SendSettings& settings, const std::function<void(int, int)>& done,
                const std::shared_ptr<SendCancel>& cancel)
{
    Outcome out;
    std::optional<Association> pacs;
    if (settings.send)
        pacs.emplace(settings.host, settings.port, settings.title, settings.title, cancel);
    auto stageAt = [&](qsizetype k, int n) {
        return QtConcurrent::run(QThreadPool::globalInstance(),
                                 [c = common, s = pictures[k], folder, n] { return stage(c, s, folder, n); });
    };
    QFuture<Staged> next;
    if (!pictures.isEmpty())
        next = stageAt(0, 1);
    for (qsizetype k = 0; k < pictures.size(); ++k) {
        Staged cur = next.result();
        next = QFuture<Staged>();
        if (cancel && cancel->cancelled()) {
            // Cancelled while the picture was made: it takes no name.
            cur.image->discard();
            out.stop = Outcome::Stop::Send;
            out.why = cancelledReason();
            break;
        }
        int n = cur.number;
        if (!cur.ok || !cur.image->commit(&n, kMaxImageNumber, &cur.why, &cur.full)) {
            out.stop = cur.full ? Outcome::Stop::Full : Outcome::Stop::Convert;
            out.why = cur.why;
            break;
        }
        if (k + 1 < pictures.size())
            next = stageAt(k + 1, n + 1);
        if (pacs && !dcmfileSend(*pacs, *cur.image->dataset(), cur.image->file(), &out.why)) {
            out.stop = Outcome::Stop::Send;
            if (next.isValid())
                next.result().image->discard();   // the next slot stays untouched
            break;
        }
        out.done << pictures[k].index;
        out.files << cur.image->file();
        if (done)
            done(pictures[k].index, int(out.done.size()));
    }
    folder->sync();
    // Every staged file has its name or is gone by now.
    next = QFuture<Staged>();
    if (pacs)
        out.associations = pacs->opened();
    return out;
}
}
