// F9 in the report editor while the live 1920x1080 picture runs, as a user
// captures: the editor's handler (BVidCapture_Click through the key) writes the
// frame as a 24-bit BMP, its quality-90 JPEG and the thumbnail of the capture
// slot. Timed against libjpeg-turbo encoding the same pixels alone in the same
// run (the goal: the capture takes at most 1.3 times the encode alone).
//
//     build/bench/bench_capture_editor [ROUNDS]        (default 40)
//
// The editor runs on a fresh program folder (offscreen unless QT_QPA_PLATFORM
// says otherwise), its video on the 1920x1080 30 fps test source. Two frames:
//   natural  a camera-like picture (natural_frame.h) held as the latest frame
//            while the live pipeline keeps delivering and converting frames
//            (VideoCapture::holdFrame), so the capture competes with the live
//            video as it does for a user, on a picture a camera would give;
//   pattern  the live test pattern itself (mostly black: a cheap encode, so
//            the fixed cost of the 6 MB BMP weighs more).
// A round empties capture slot 0 (untimed), lets the live picture paint, fills
// the caches with other data and pauses, then times the F9 key event sent to
// the editor: what the user waits for, the slot taken and its thumbnail shown
// (the files are written on the editor's capture writer thread meanwhile).
// Then, also timed but shown apart, the wait until the capture's BMP and JPEG
// are written and flushed (DataRecord::settleCaptures).
// Then the BMP just written is read back (untimed) and encoded
// alone with tjCompress2 (BGR bottom-up rows, 4:2:0, quality 90, one handle and
// one output buffer for all rounds, no file); the capture's JPEG must equal it.
#include "common.h"
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
#include "imaging/VideoSettings.h"
#include "platform/AppPaths.h"
#include "platform/MessageBox.h"

#include <QApplication>
#include <QDir>
#include <QKeyEvent>
#include <QTemporaryDir>
#include <QThread>

#include <turbojpeg.h>

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
    std::vector<double> capture, written, encode, ratio;
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

void round(DataRecord& ed, Encoder& enc, Figures& f)
{
    EdPicture* slot = ed.Pictmp[0];
    slot->Tag.clear();
    slot->Cls();
    VideoCapture* video = ed.VideoCapture1;
    if (!video->waitForFrame(video->framesReceived(), 5000))
        die("capture_editor: the live video stopped");
    settle();
    QKeyEvent f9(QEvent::KeyPress, Qt::Key_F9, Qt::NoModifier);
    const auto t0 = bench::Clock::now();
    QApplication::sendEvent(&ed, &f9);
    const double captured = bench::millisecondsSince(t0);
    ed.settleCaptures();
    const double settled = bench::millisecondsSince(t0);
    if (slot->Tag.isEmpty() || !slot->hasPicture())
        die("capture_editor: F9 did not fill the slot",
            MessageBox::shownBoxes().isEmpty() ? QString() : MessageBox::shownBoxes().last().text);

    Bitmap24 pixels;
    if (!BmpFile::read(slot->Tag + QStringLiteral(".bmp"), pixels))
        die("capture_editor: the BMP does not read back");
    settle();
    const auto t1 = bench::Clock::now();
    unsigned char* out = enc.buffer;
    unsigned long size = enc.capacity;
    if (tjCompress2(enc.handle, pixels.DIBSectionBitsPtr(), pixels.Width(), pixels.BytesPerScanLine(), pixels.Height(),
                    TJPF_BGR, &out, &size, TJSAMP_420, JpegWriter::kCaptureQuality, TJFLAG_BOTTOMUP | TJFLAG_NOREALLOC)
        != 0)
        die("capture_editor: tjCompress2 failed");
    const double encoded = bench::millisecondsSince(t1);
    QFile written(slot->Tag + QStringLiteral(".jpg"));
    if (!written.open(QIODevice::ReadOnly)
        || written.readAll() != QByteArray::fromRawData(reinterpret_cast<const char*>(out), qsizetype(size)))
        die("capture_editor: the capture's JPEG differs from the encode alone");
    f.capture.push_back(captured);
    f.written.push_back(settled);
    f.encode.push_back(encoded);
    f.ratio.push_back(captured / encoded);
    f.jpegBytes = qint64(size);
}

void report(const char* name, const Figures& f)
{
    const double c = bench::median(f.capture), e = bench::median(f.encode);
    std::printf("%s frame (JPEG %lld KB), live 1920x1080 video, %zu rounds\n", name, f.jpegBytes / 1024,
                f.capture.size());
    std::printf("  F9 in the editor (slot, thumbnail, queued) median %7.2f ms  min %7.2f ms\n", c,
                bench::minimum(f.capture));
    std::printf("  F9 until the files are written and flushed median %7.2f ms  min %7.2f ms\n",
                bench::median(f.written), bench::minimum(f.written));
    std::printf("  encode alone (tjCompress2 q90)             median %7.2f ms  min %7.2f ms\n", e,
                bench::minimum(f.encode));
    std::printf("  ratio of medians %.2f, median of round ratios %.2f (goal <= 1.30)\n", c / e, bench::median(f.ratio));
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
    const QString why = Database::CreateDatabaseFile(AppPaths::databaseFile(), Database::ShippedSchema());
    if (!why.isEmpty())
        die("capture_editor: no database", why);
    try {
        Database::OpenDatabase();
    } catch (const AppError& e) {
        die("capture_editor: OpenDatabase failed", e.description);
    }
    VideoSettings s;
    s.device = VideoSettings::testPattern();
    s.width = kWidth;
    s.height = kHeight;
    s.fps = FrameRate{30, 1};
    s.save();
    Modini::SetIniValue(IniKey::ComPort, QString());   // no foot switch
    MessageBox::setScripted(true);
    Mmain::gUserName = QStringLiteral("bench");
    Mmain::gRights.fill(true);
    Palette::LoadSkin();

    DataRecord& ed = DataRecord::instance();
    ed.ensureLoaded();
    ed.ButtnNew_Click();
    ed.Buttnpic_Click();
    ed.resize(1280, 1024);
    ed.show();
    ed.BVidOn_Click();
    if (!ed.videoOn() || !ed.VideoCapture1->waitForFrame(0, 5000))
        die("capture_editor: no live video");

    Encoder enc(kWidth, kHeight);
    Figures natural, pattern;
    ed.VideoCapture1->holdFrame(bench::naturalFrame(kWidth, kHeight));
    for (int i = 0; i < rounds; ++i)
        round(ed, enc, natural);
    ed.VideoCapture1->holdFrame(QImage());
    for (int i = 0; i < rounds; ++i)
        round(ed, enc, pattern);
    ed.BVidOn_Click();

    std::printf("capture_editor: %dx%d, F9 through the editor against the encode alone (medians)\n", kWidth, kHeight);
    report("natural", natural);
    report("pattern", pattern);
    return 0;
}
