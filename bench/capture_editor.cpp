// F9 in the report editor while the live 1920x1080 picture runs, as a user
// captures, timed to what the user waits for, against a reference that does
// the same work plainly. Goal: at most 1.2 times the reference.
//
//     build/bench/bench_capture_editor [ROUNDS]        (default 40)
//
// The editor runs on a fresh program folder (offscreen unless QT_QPA_PLATFORM
// says otherwise), its video on the 1920x1080 30 fps test source, shown on the
// picture page. Two frames:
//   natural  a camera-like picture (natural_frame.h) held as the latest frame
//            while the live pipeline keeps delivering frames
//            (VideoCaptureTesting::holdFrame), so the capture competes with the live
//            video as it does for a user, on a picture a camera would give;
//   pattern  the live test pattern itself (mostly black: a cheap encode),
//            converted from the source's 4:2:0 frame when captured.
// A round empties capture slot 0 (untimed), waits for a new live frame, fills
// the caches with other data and pauses, then sends the F9 key event to the
// editor and times
//   thumbnail  until the slot's thumbnail has been painted (the event loop
//              runs until the slot receives its paint event);
//   durable    until the capture's BMP and JPEG are on the disk
//              (DataRecord::settleCaptures: the capture writer has written
//              both, each through a synced temporary file renamed in place).
// Then the reference, on the same frame: the BMP just written is read back
// (untimed), and timed: libjpeg-turbo encodes its pixels (tjCompress2, BGR
// bottom-up rows, 4:2:0, quality 90, one handle and one output buffer for all
// rounds), the BMP's bytes are written to a new file and synced, the JPEG
// written to another and synced (open, write, fsync, close; in the same
// folder). The capture's JPEG must equal the reference's. Printed per frame:
// medians and minima, and the median and minimum of the per-round ratios.
#include "common.h"
#include "editor_video.h"
#include "natural_frame.h"

#include "core/Database.h"
#include "core/Mmain.h"
#include "core/Modini.h"
#include "core/Palette.h"
#include "editor/DataRecord.h"
#include "imaging/Bitmap24.h"
#include "imaging/BmpFile.h"
#include "imaging/JpegWriter.h"
#include "imaging/VideoCapture.h"
#include "imaging/VideoCaptureTesting.h"
#include "imaging/VideoSettings.h"
#include "platform/AppPaths.h"
#include "platform/MessageBox.h"

#include <QApplication>
#include <QDir>
#include <QKeyEvent>
#include <QTemporaryDir>
#include <QThread>

#include <turbojpeg.h>

#include <fcntl.h>
#include <unistd.h>

namespace {
using bench::die;

void settle()
{
    static std::vector<char> other(64 << 20);
    for (std::size_t i = 0; i < other.size(); i += 64)
        other[i] = char(other[i] + 1);
    QThread::msleep(20);
}

struct Figures {
    std::vector<double> thumbnail, durable, reference, thumbRatio, durableRatio;
    qint64 jpegBytes = 0;
};

struct Encoder {
    tjhandle handle = tjInitCompress();
    unsigned long capacity;
    unsigned char* buffer;
    Encoder(int w, int h) : capacity(tjBufSize(w, h, TJSAMP_420)), buffer(tjAlloc(int(capacity))) {}
    ~Encoder()
    {
        tjFree(buffer);
        tjDestroy(handle);
    }
};

// Notes the first paint of a widget.
class PaintSeen : public QObject {
public:
    bool seen = false;
    bool eventFilter(QObject*, QEvent* e) override
    {
        if (e->type() == QEvent::Paint)
            seen = true;
        return false;
    }
};

void writeSynced(const QString& path, const void* data, std::size_t size)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0 || ::write(fd, data, size) != ssize_t(size) || ::fsync(fd) != 0)
        die("capture_editor: the reference cannot write", path);
    ::close(fd);
}

void round(DataRecord& ed, Encoder& enc, Figures& f)
{
    EdPicture* slot = ed.Pictmp[0];
    slot->Tag.clear();
    slot->Cls();
    VideoCapture* video = ed.VideoCapture1;
    if (!VideoCaptureTesting::waitForFrame(*video, VideoCaptureTesting::framesReceived(*video), 5000))
        die("capture_editor: the live video stopped");
    QCoreApplication::processEvents();
    settle();
    PaintSeen paint;
    slot->installEventFilter(&paint);
    QKeyEvent f9(QEvent::KeyPress, Qt::Key_F9, Qt::NoModifier);
    const auto t0 = bench::Clock::now();
    QApplication::sendEvent(&ed, &f9);
    while (!paint.seen && bench::millisecondsSince(t0) < 5000)
        QCoreApplication::processEvents();
    const double thumbnail = bench::millisecondsSince(t0);
    ed.settleCaptures();
    const double durable = bench::millisecondsSince(t0);
    slot->removeEventFilter(&paint);
    if (slot->Tag.isEmpty() || !slot->hasPicture() || !paint.seen)
        die("capture_editor: F9 did not fill the slot",
            MessageBox::shownBoxes().isEmpty() ? QString() : MessageBox::shownBoxes().last().text);

    // The reference, on the same frame.
    const QString bmp = slot->Tag + QStringLiteral(".bmp");
    Bitmap24 pixels;
    QFile bmpFile(bmp);
    if (!BmpFile::read(bmp, pixels) || !bmpFile.open(QIODevice::ReadOnly))
        die("capture_editor: the BMP does not read back");
    const QByteArray bmpBytes = bmpFile.readAll();
    const QString refBmp = AppPaths::imageFolder() + QStringLiteral("/reference.bmp");
    const QString refJpg = AppPaths::imageFolder() + QStringLiteral("/reference.jpg");
    settle();
    const auto t1 = bench::Clock::now();
    unsigned char* out = enc.buffer;
    unsigned long size = enc.capacity;
    if (tjCompress2(enc.handle, pixels.DIBSectionBitsPtr(), pixels.Width(), pixels.BytesPerScanLine(), pixels.Height(),
                    TJPF_BGR, &out, &size, TJSAMP_420, JpegWriter::kCaptureQuality, TJFLAG_BOTTOMUP | TJFLAG_NOREALLOC)
        != 0)
        die("capture_editor: tjCompress2 failed");
    writeSynced(refBmp, bmpBytes.constData(), std::size_t(bmpBytes.size()));
    writeSynced(refJpg, out, size);
    const double reference = bench::millisecondsSince(t1);
    QFile written(slot->Tag + QStringLiteral(".jpg"));
    if (!written.open(QIODevice::ReadOnly)
        || written.readAll() != QByteArray::fromRawData(reinterpret_cast<const char*>(out), qsizetype(size)))
        die("capture_editor: the capture's JPEG differs from the reference's");
    f.thumbnail.push_back(thumbnail);
    f.durable.push_back(durable);
    f.reference.push_back(reference);
    f.thumbRatio.push_back(thumbnail / reference);
    f.durableRatio.push_back(durable / reference);
    f.jpegBytes = qint64(size);
}

void line(const char* what, const std::vector<double>& v, const std::vector<double>& ratio = {})
{
    std::printf("  %-44s median %7.2f ms  min %7.2f ms", what, bench::median(v), bench::minimum(v));
    if (!ratio.empty())
        std::printf("   ratio per round: median %.2f, min %.2f", bench::median(ratio), bench::minimum(ratio));
    std::printf("\n");
}

void report(const char* name, const Figures& f)
{
    std::printf("%s frame (JPEG %lld KB), live 1920x1080 video shown, %zu rounds\n", name, f.jpegBytes / 1024,
                f.thumbnail.size());
    line("F9 -> thumbnail painted", f.thumbnail, f.thumbRatio);
    line("F9 -> BMP and JPEG on the disk", f.durable, f.durableRatio);
    line("reference: encode, write and fsync both", f.reference);
    std::printf("  ratio of the medians: thumbnail %.2f, files %.2f (goal <= 1.20)\n",
                bench::median(f.thumbnail) / bench::median(f.reference),
                bench::median(f.durable) / bench::median(f.reference));
}
}

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int rounds = argc > 1 ? std::max(3, atoi(argv[1])) : 40;
    constexpr int kWidth = 1920, kHeight = 1080;

    QTemporaryDir dir;
    AppPaths::setProgramFolder(dir.path());
    QDir(dir.path()).mkpath(QStringLiteral("img"));
    DataRecord& ed = bench::editorOnTestVideo("capture_editor", kWidth, kHeight);
    ed.resize(1280, 1024);
    ed.show();
    ed.BVidOn_Click();
    if (!ed.videoOn() || !VideoCaptureTesting::waitForFrame(*ed.VideoCapture1, 0, 5000))
        die("capture_editor: no live video");

    Encoder enc(kWidth, kHeight);
    Figures natural, pattern;
    VideoCaptureTesting::holdFrame(*ed.VideoCapture1, bench::naturalFrame(kWidth, kHeight));
    for (int i = 0; i < rounds; ++i)
        round(ed, enc, natural);
    VideoCaptureTesting::holdFrame(*ed.VideoCapture1, QImage());
    for (int i = 0; i < rounds; ++i)
        round(ed, enc, pattern);
    ed.BVidOn_Click();

    std::printf("capture_editor: %dx%d, F9 through the editor against the plain encode and synced writes\n", kWidth,
                kHeight);
    report("natural", natural);
    report("pattern", pattern);
    return 0;
}
