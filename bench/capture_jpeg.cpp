// Times the capture of one 1920x1080 frame (frame -> 24-bit BMP -> JPEG q90,
// as the capture button does) against libjpeg-turbo encoding the same frame
// alone, and prints the ratio (goal: at most 1.3).
#include "core/Modini.h"
#include "imaging/QvVFW.h"
#include "imaging/VideoSettings.h"
#include "imaging/mIntelJPEGLibrary.h"
#include "platform/AppPaths.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QTemporaryDir>

#include <turbojpeg.h>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {
double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}
}

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int rounds = argc > 1 ? std::max(3, atoi(argv[1])) : 30;

    QTemporaryDir dir;
    AppPaths::setProgramFolder(dir.path());
    QDir(dir.path()).mkpath(QStringLiteral("img"));
    VideoSettings s;
    s.device = VideoSettings::testPattern();
    s.width = 1920;
    s.height = 1080;
    s.fps = 30;
    s.save();

    QvVFW video;
    if (!video.Connect() || !video.waitForFrame(0, 5000)) {
        std::fprintf(stderr, "capture_jpeg: no video\n");
        return 1;
    }
    const QString bmp = AppPaths::imageFolder() + QStringLiteral("/image1.bmp");
    video.setFrameFileName(bmp);

    tjhandle tj = tjInitCompress();
    std::vector<double> capture, encode, save;
    for (int i = 0; i < rounds; ++i) {
        video.waitForFrame(video.framesReceived(), 3000);
        const QImage frame = video.currentFrame();

        QElapsedTimer t;
        t.start();
        unsigned char* out = nullptr;
        unsigned long size = 0;
        tjCompress2(tj, frame.constBits(), frame.width(), int(frame.bytesPerLine()), frame.height(), TJPF_BGR, &out,
                    &size, TJSAMP_420, 90, 0);
        encode.push_back(t.nsecsElapsed() / 1e6);
        tjFree(out);

        t.restart();
        const bool saved = video.SaveFrame();
        save.push_back(t.nsecsElapsed() / 1e6);
        if (!saved) {
            std::fprintf(stderr, "capture_jpeg: SaveFrame failed\n");
            return 1;
        }
        try {
            ConvertBmpToJpg(bmp);
        } catch (...) {
            std::fprintf(stderr, "capture_jpeg: conversion failed\n");
            return 1;
        }
        capture.push_back(t.nsecsElapsed() / 1e6);
    }
    tjDestroy(tj);
    video.Disconnect();

    const double c = median(capture), e = median(encode);
    std::printf("capture_jpeg: 1920x1080, %d rounds (medians)\n", rounds);
    std::printf("  frame -> BMP -> JPEG q90 : %8.2f ms\n", c);
    std::printf("    of which SaveFrame (BMP) : %8.2f ms\n", median(save));
    std::printf("  JPEG q90 encode alone    : %8.2f ms\n", e);
    std::printf("  ratio                    : %8.2f (goal <= 1.30)\n", c / e);
    return 0;
}
