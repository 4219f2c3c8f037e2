// What the live video costs the processor: the report editor showing the
// 1920x1080 30 fps test source (ball pattern, 4:2:0) in its video box, and the
// same with the video on but the picture page hidden, each against
// gst-launch-1.0 showing the same source scaled to the same size in an X window
// (videoconvertscale ! ximagesink). Goal: at most 1.2 times the reference.
//
//     xvfb-run -a -s "-screen 0 1920x1080x24" build/bench/bench_video_cpu [ROUNDS] [SECONDS]
//
// Needs an X server (QT_QPA_PLATFORM=xcb, set when DISPLAY is there): both
// sides put every frame on the same screen. A round measures, in an order that
// rotates from round to round, for SECONDS each (default 5, after 1.5 s of
// warming up): the editor with its video shown (this process's user + system
// time, all threads), the editor with the video on and the information page
// shown (the video box hidden), and the reference process (its user + system
// time from /proc). Only one of the three runs at a time; the editor's video
// is off while the reference runs. Printed: the CPU of each as a share of one
// core, the frames the editor painted, the ratio of each round, and the
// median and minimum of the per-round ratios.
#include "common.h"
#include "editor_video.h"

#include "core/Database.h"
#include "core/Mmain.h"
#include "core/Modini.h"
#include "core/Palette.h"
#include "editor/DataRecord.h"
#include "imaging/VideoCapture.h"
#include "imaging/VideoCaptureTesting.h"
#include "imaging/VideoSettings.h"
#include "platform/AppPaths.h"
#include "platform/MessageBox.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QProcess>
#include <QScreen>
#include <QTemporaryDir>
#include <QTimer>

#include <sys/resource.h>
#include <unistd.h>

namespace {
using bench::die;

double selfCpuSeconds()
{
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) + double(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

double processCpuSeconds(qint64 pid)
{
    QFile f(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray line = f.readAll();
    // Fields after the command's closing parenthesis: utime and stime are the 12th and 13th.
    const QList<QByteArray> fields = line.mid(line.lastIndexOf(')') + 2).split(' ');
    if (fields.size() < 13)
        return -1;
    return double(fields[11].toLongLong() + fields[12].toLongLong()) / double(sysconf(_SC_CLK_TCK));
}

void runFor(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

void report(const char* name, const std::vector<double>& cpu, const std::vector<double>& ratio)
{
    std::printf("  %-34s median %5.1f %% of a core (min %5.1f %%)", name, 100 * bench::median(cpu),
                100 * bench::minimum(cpu));
    if (!ratio.empty())
        std::printf("; per-round ratio median %.2f, min %.2f", bench::median(ratio), bench::minimum(ratio));
    std::printf("\n");
}
}

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("DISPLAY"))
        die("video_cpu: needs an X server (xvfb-run -a -s \"-screen 0 1920x1080x24\" ...)");
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "xcb");
    QApplication app(argc, argv);
    const int rounds = argc > 1 ? std::max(1, atoi(argv[1])) : 5;
    const int seconds = argc > 2 ? std::max(1, atoi(argv[2])) : 5;
    constexpr int kWidth = 1920, kHeight = 1080, kWarmMs = 1500;

    QTemporaryDir dir;
    AppPaths::setProgramFolder(dir.path());
    DataRecord& ed = bench::editorOnTestVideo("video_cpu", kWidth, kHeight);
    // Maximised (an X server without a window manager does not maximise by itself).
    ed.setGeometry(QGuiApplication::primaryScreen()->availableGeometry());
    ed.show();
    runFor(1000);
    VideoCapture* video = ed.VideoCapture1;
    const QRect area = VideoCapture::pictureArea(QSize(kWidth, kHeight), video->rect());
    auto painted = [video] { return VideoCaptureTesting::framesToPaint(*video); };

    const QString pipeline =
        QStringLiteral("videotestsrc is-live=true pattern=ball ! "
                       "video/x-raw,format=I420,width=%1,height=%2,framerate=30/1 ! videoconvertscale ! "
                       "video/x-raw,width=%3,height=%4 ! ximagesink")
            .arg(kWidth)
            .arg(kHeight)
            .arg(area.width())
            .arg(area.height());
    std::printf("video_cpu: editor %dx%d, video box %dx%d, picture %dx%d; %d rounds of %d s each\n", ed.width(),
                ed.height(), video->width(), video->height(), area.width(), area.height(), rounds, seconds);
    std::printf("reference: gst-launch-1.0 %s\n", qPrintable(pipeline));

    std::vector<double> shown, hidden, reference, shownRatio, hiddenRatio, fps;
    auto measureEditor = [&](bool visible) {
        if (visible)
            ed.Buttnpic_Click();
        else
            ed.Buttninfo_Click();
        ed.BVidOn_Click();
        if (!ed.videoOn())
            die("video_cpu: the video did not go on",
                MessageBox::shownBoxes().isEmpty() ? QString() : MessageBox::shownBoxes().last().text);
        runFor(kWarmMs);
        const quint64 p0 = painted();
        const double c0 = selfCpuSeconds();
        QElapsedTimer t;
        t.start();
        runFor(seconds * 1000);
        const double share = (selfCpuSeconds() - c0) / (double(t.elapsed()) / 1000);
        if (visible)
            fps.push_back(double(painted() - p0) * 1000 / double(t.elapsed()));
        ed.BVidOn_Click();
        ed.Buttnpic_Click();
        return share;
    };
    auto measureReference = [&] {
        QProcess gst;
        gst.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        gst.setStandardOutputFile(QProcess::nullDevice());
        gst.start(QStringLiteral("gst-launch-1.0"), QProcess::splitCommand(pipeline));
        if (!gst.waitForStarted())
            die("video_cpu: gst-launch-1.0 does not start");
        runFor(kWarmMs);
        const double c0 = processCpuSeconds(gst.processId());
        QElapsedTimer t;
        t.start();
        runFor(seconds * 1000);
        const double c1 = processCpuSeconds(gst.processId());
        const double elapsed = double(t.elapsed()) / 1000;
        if (c0 < 0 || c1 < 0 || gst.state() != QProcess::Running)
            die("video_cpu: gst-launch-1.0 stopped");
        gst.terminate();
        if (!gst.waitForFinished(3000))
            gst.kill();
        gst.waitForFinished(3000);
        return (c1 - c0) / elapsed;
    };

    for (int r = 0; r < rounds; ++r) {
        double sh = 0, hi = 0, ref = 0;
        for (int k = 0; k < 3; ++k) {
            switch ((r + k) % 3) {
            case 0: sh = measureEditor(true); break;
            case 1: hi = measureEditor(false); break;
            default: ref = measureReference(); break;
            }
        }
        shown.push_back(sh);
        hidden.push_back(hi);
        reference.push_back(ref);
        shownRatio.push_back(sh / ref);
        hiddenRatio.push_back(hi / ref);
        std::printf("round %d: editor shown %5.1f %% (%4.1f frames/s painted), hidden %5.1f %%, reference %5.1f %%; "
                    "ratios %.2f / %.2f\n",
                    r + 1, 100 * sh, fps.back(), 100 * hi, 100 * ref, sh / ref, hi / ref);
        std::fflush(stdout);
    }
    report("reference (gst-launch-1.0)", reference, {});
    report("editor, video shown", shown, shownRatio);
    report("editor, video on, page hidden", hidden, hiddenRatio);
    std::printf("  frames painted by the editor: median %.1f per second\n", bench::median(fps));
    return 0;
}
