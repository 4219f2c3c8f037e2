#include "imaging/DicomConversion.h"

#include "imaging/DicomSend.h"
#include "platform/Environment.h"

#include <optional>

namespace Dicom {

Outcome Convert(const Picture& common, const QList<Slot>& pictures, const QString& folder, const SendSettings& settings,
                const std::function<void(int, int)>& done)
{
    Outcome out;
    RemoveLeftovers(folder);
    std::optional<Association> pacs;
    if (settings.send)
        pacs.emplace(settings.host, settings.port, settings.title, settings.title);
    int n = 1;
    for (const Slot& slot : pictures) {
        Picture p = common;
        p.source = slot.source;
        p.date = Environment::today();
        p.time = QTime::currentTime();
        p.imageNumber = n;
        Image image;
        bool full = false;
        if (!image.make(p, &out.why) || !image.write(folder, &n, kMaxImageNumber, &out.why, &full)) {
            out.stop = full ? Outcome::Stop::Full : Outcome::Stop::Convert;
            break;
        }
        if (pacs && !pacs->store(*image.dataset(), image.file(), &out.why)) {
            out.stop = Outcome::Stop::Send;
            break;
        }
        out.done << slot.index;
        out.files << image.file();
        if (done)
            done(slot.index, int(out.done.size()));
        ++n;
    }
    if (pacs)
        out.associations = pacs->opened();
    return out;
}
}
