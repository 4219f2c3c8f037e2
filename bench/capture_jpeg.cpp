// One 1920x1080 frame through the video control's own calls - VideoCapture::grabFrame
// and writeFrame writing the 24-bit BMP, then ConvertBmpToJpg reading it back and writing the
// JPEG (quality 90) beside it - timed against libjpeg-turbo encoding the same
// pixels alone. The capture button no longer goes this way (its writer
// encodes from the frame it holds, see bench_capture_editor); this times the
// stand-alone conversion of a BMP file.
//
//     build/bench/bench_capture_jpeg [ROUNDS]        (default 60)
//
// Two frames are captured, ROUNDS times each:
//   natural  a synthetic picture with the statistics of a camera frame: shading
//            at every scale, objects with hard and soft edges, captions and
//            sensor noise (about 450 KB, 1.8 bits per pixel, at quality 90). It
//            is handed to the control as its latest frame (VideoCaptureTesting::presentFrame);
//            no pipeline runs meanwhile.
//   pattern  the live test pattern (a ball on black) from a running 1920x1080
//            30 fps pipeline. Mostly black: the encode alone is cheap (about
//            35 KB of JPEG), so the fixed cost of writing 6 MB of BMP weighs
//            more than it does for a camera picture.
// A round times the capture (both calls, into the program folder's img/), then
// reads the BMP just written back (untimed) and times the encode alone on
// exactly those pixels: tjCompress2 from BGR bottom-up rows, 4:2:0, quality 90,
// one handle and one output buffer kept for all rounds, no file written; the
// capture's JPEG file must equal its output byte for byte. Before each timed
// part the caches are filled with other data and the program pauses, as
// between two presses of the capture button, so that neither side finds the
// pixels where the other left them.
//
// Printed per frame: median and minimum of both times, the ratio of the
// medians and the median of the per-round ratios; for the natural frame also
// the CPU time of the capture summed over its threads. Quote the figures
// together with how loaded the machine was.
#include "common.h"
#include "editor_video.h"
#include "natural_frame.h"
#include "imaging/BmpFile.h"
#include "imaging/VideoCapture.h"
#include "imaging/VideoCaptureTesting.h"
#include "imaging/VideoSettings.h"
#include "imaging/Bitmap24.h"
#include "imaging/JpegWriter.h"
#include "platform/AppPaths.h"

#include <QApplication>
#include <QDir>
#include <QFont>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QTemporaryDir>
#include <QThread>

#include <turbojpeg.h>

#include <cmath>
#include <cstdio>
#include <ctime>
#include <random>
#include <vector>

namespace {

// Before each timed part: the caches filled with other data and a pause, as
// between two presses of the capture button, so that neither side finds the
// pixels where the other left them.
void settle()
{
    static std::vector<char> other(64 << 20);
    for (std::size_t i = 0; i < other.size(); i += 64)
        other[i] = char(other[i] + 1);
    QThread::msleep(20);
}

double cpuMs()
{
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return double(ts.tv_sec) * 1e3 + double(ts.tv_nsec) / 1e6;
}

struct Figures {
    std::vector<double> capture, save, encode, ratio, cpu;
    qint64 jpegBytes = 0;
};

// The encode alone at its quickest: one handle, one output buffer big enough
// for any JPEG of the frame.
struct Baseline {
    tjhandle handle = tjInitCompress();
    unsigned long capacity = 0;
    unsigned char* buffer = nullptr;
    Baseline(int w, int h) : capacity(tjBufSize(w, h, TJSAMP_420)), buffer(tjAlloc(int(capacity))) {}
    ~Baseline()
    {
        tjFree(buffer);
        tjDestroy(handle);
    }
};

// One round: the capture, then the same pixels encoded alone.
void round(VideoCapture& video, Baseline& encoder, const QString& bmp, Figures& f, bool withCpu)
{
    const QString jpg = bmp.left(bmp.size() - 3) + QStringLiteral("jpg");
    settle();
    const double cpu0 = cpuMs();
    const auto t0 = bench::Clock::now();
    if (!VideoCaptureTesting::saveFrame(video))
        bench::die("capture_jpeg: the frame was not written");
    const double saved = bench::millisecondsSince(t0);
    try {
        ConvertBmpToJpg(bmp);
    } catch (...) {
        bench::die("capture_jpeg: conversion failed");
    }
    const double captured = bench::millisecondsSince(t0);
    const double cpu = cpuMs() - cpu0;

    Bitmap24 pixels;
    if (!BmpFile::read(bmp, pixels))
        bench::die("capture_jpeg: the BMP does not read back");
    settle();
    const auto t1 = bench::Clock::now();
    unsigned char* out = encoder.buffer;
    unsigned long size = encoder.capacity;
    if (tjCompress2(encoder.handle, pixels.DIBSectionBitsPtr(), pixels.Width(), pixels.BytesPerScanLine(),
                    pixels.Height(), TJPF_BGR, &out, &size, TJSAMP_420, JpegWriter::kCaptureQuality,
                    TJFLAG_BOTTOMUP | TJFLAG_NOREALLOC)
        != 0)
        bench::die("capture_jpeg: tjCompress2 failed");
    const double encoded = bench::millisecondsSince(t1);
    // The capture wrote exactly this JPEG.
    QFile written(jpg);
    if (!written.open(QIODevice::ReadOnly)
        || written.readAll() != QByteArray::fromRawData(reinterpret_cast<const char*>(out), qsizetype(size)))
        bench::die("capture_jpeg: the capture's JPEG differs from the encode alone");

    f.capture.push_back(captured);
    f.save.push_back(saved);
    f.encode.push_back(encoded);
    f.ratio.push_back(captured / encoded);
    if (withCpu)
        f.cpu.push_back(cpu);
    f.jpegBytes = qint64(size);
}

void report(const char* name, const Figures& f)
{
    const double c = bench::median(f.capture), e = bench::median(f.encode);
    std::printf("%s frame (JPEG %lld KB), %zu rounds\n", name, f.jpegBytes / 1024, f.capture.size());
    std::printf("  capture: BMP + ConvertBmpToJpg        median %7.2f ms  min %7.2f ms\n", c,
                bench::minimum(f.capture));
    std::printf("    of which the BMP                    median %7.2f ms\n", bench::median(f.save));
    if (!f.cpu.empty())
        std::printf("    CPU time of the capture, all threads median %6.2f ms\n", bench::median(f.cpu));
    std::printf("  encode alone (tjCompress2 q90)        median %7.2f ms  min %7.2f ms\n", e, bench::minimum(f.encode));
    std::printf("  ratio of medians %.2f, median of round ratios %.2f\n", c / e, bench::median(f.ratio));
}
}

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int rounds = argc > 1 ? std::max(3, atoi(argv[1])) : 60;
    constexpr int kWidth = 1920, kHeight = 1080;

    QTemporaryDir dir;
    AppPaths::setProgramFolder(dir.path());
    QDir(dir.path()).mkpath(QStringLiteral("img"));
    bench::saveTestVideo(kWidth, kHeight);

    const QString bmp = AppPaths::imageFolder() + QStringLiteral("/image1.bmp");
    Baseline encoder(kWidth, kHeight);
    if (!encoder.handle || !encoder.buffer)
        bench::die("capture_jpeg: no encoder");
    VideoCapture video;
    video.setFrameFileName(bmp);

    Figures natural;
    VideoCaptureTesting::presentFrame(video, bench::naturalFrame(kWidth, kHeight));
    for (int i = 0; i < rounds; ++i)
        round(video, encoder, bmp, natural, true);

    Figures pattern;
    if (!video.Connect() || !VideoCaptureTesting::waitForFrame(video, 0, 5000))
        bench::die("capture_jpeg: no video");
    for (int i = 0; i < rounds; ++i) {
        if (!VideoCaptureTesting::waitForFrame(video, VideoCaptureTesting::framesReceived(video), 3000))
            bench::die("capture_jpeg: the video stopped");
        round(video, encoder, bmp, pattern, false);
    }
    video.Disconnect();

    std::printf("capture_jpeg: %dx%d, capture to BMP + JPEG q90 against the encode alone (medians)\n", kWidth, kHeight);
    report("natural", natural);
    report("pattern", pattern);
    return 0;
}
