#include "core/Modini.h"
#include "imaging/BmpFile.h"
#include "imaging/ImagingError.h"
#include "imaging/VideoCapture.h"
#include "imaging/VideoCaptureTesting.h"
#include "imaging/VideoCompressionDialog.h"
#include "imaging/VideoFormatDialog.h"
#include "imaging/VideoSettings.h"
#include "imaging/VideoSourceDialog.h"
#include "imaging/Bitmap24.h"
#include "imaging/JpegWriter.h"
#include "platform/AppPaths.h"
#include "platform/MessageBox.h"
#include "platform/Opener.h"
#include "support/CoreKit.h"
#include "support/OtherAccount.h"

#include <QComboBox>
#include <QDir>
#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTimer>
#include <QtTest>

#include <gst/gst.h>

#include <atomic>
#include <optional>

#include <sys/stat.h>

using namespace kit;
using kit::checkAviFinalised;

namespace {
// The longest a running source may take for its next frame: generous, so
// that a machine busy with other tests only makes them slower, and short, so
// that a source that stalls fails the test soon. What the tests wait for is
// otherwise bounded in frames (kFrames), which hold on a busy machine too.
constexpr int kFrameMs = 10000;
constexpr int kFrames = 300;   // ten seconds of video at the usual rate

bool nextFrame(VideoCapture& v)
{
    return VideoCaptureTesting::waitForFrame(v, VideoCaptureTesting::framesReceived(v), kFrameMs);
}

// done() holds within kFrames frames of the running source.
bool within(VideoCapture& v, const std::function<bool()>& done)
{
    return VideoCaptureTesting::waitUntil(v, done, kFrames, kFrameMs);
}

// The JPEG (quality 90) of what the BMP file holds.
QByteArray jpegOfFile(const QString& bmp)
{
    Bitmap24 dib;
    return BmpFile::read(bmp, dib) ? JpegWriter::encode(dib, JpegWriter::kCaptureQuality) : QByteArray();
}

// The given number of frames went by (false at once when one does not come).
[[nodiscard]] bool recordFor(VideoCapture& v, int frames)
{
    for (int i = 0; i < frames; ++i)
        if (!nextFrame(v))
            return false;
    return true;
}

// Records about the given number of frames to path; sizes gets the indexed
// frame sizes of the finished file. False (the test failed) when it did not
// start, frames stopped coming or the file is not a finished AVI.
[[nodiscard]] bool recordTo(VideoCapture& v, const QString& path, int frames, QList<quint32>* sizes = nullptr)
{
    v.setAviFileName(path);
    if (!v.StartRecording())
        return QTest::qFail("the recording did not start", __FILE__, __LINE__), false;
    if (!recordFor(v, frames))
        return QTest::qFail("no frames while recording", __FILE__, __LINE__), false;
    v.StopRecording();
    const QList<quint32> found = checkAviFinalised(path);
    if (sizes)
        *sizes = found;
    return !QTest::currentTestFailed();
}

// Descriptors this process holds open.
int openDescriptors()
{
    return int(QDir(QStringLiteral("/proc/self/fd")).entryList(QDir::NoDotAndDotDot | QDir::AllEntries).size());
}

// GStreamer elements, pads, buses and buffer pools alive,
// as the leaks tracer the test runs with counts them; -1 without the tracer.
int liveGstObjects()
{
    int count = -1;
    GList* tracers = gst_tracing_get_active_tracers();
    for (GList* l = tracers; l; l = l->next) {
        if (count >= 0 || g_strcmp0(G_OBJECT_TYPE_NAME(l->data), "GstLeaksTracer") != 0)
            continue;
        GstStructure* info = nullptr;
        g_signal_emit_by_name(l->data, "get-live-objects", &info);
        if (info) {
            const GValue* list = gst_structure_get_value(info, "live-objects-list");
            count = list ? int(gst_value_list_get_size(list)) : 0;
            gst_structure_free(info);
        }
    }
    g_list_free_full(tracers, gst_object_unref);
    return count;
}

// The dark area a ball of the test pattern leaves out: the bounding box of the
// light pixels inside r.
QRect lightArea(const QImage& img, const QRect& r)
{
    QRect box;
    for (int y = r.top(); y <= r.bottom(); ++y)
        for (int x = r.left(); x <= r.right(); ++x)
            if (qGray(img.pixel(x, y)) > 128)
                box |= QRect(x, y, 1, 1);
    return box;
}

bool darkRows(const QImage& img, int from, int to)
{
    for (int y = from; y < to; ++y)
        for (int x = 0; x < img.width(); ++x)
            if (qGray(img.pixel(x, y)) > 16)
                return false;
    return true;
}

// The unfinished recordings beside path: hidden, named by the program, not by the user.
QStringList unfinishedBeside(const QString& path)
{
    return QDir(QFileInfo(path).absolutePath())
        .entryList({QStringLiteral(".pelrand-??????.avi")}, QDir::Files | QDir::Hidden | QDir::System);
}

// Starts recording to path and lets the given number of frames go by; the
// temporary file the recording is written to meanwhile (empty, the test
// failed, when it did not start or there is not exactly one).
QString recordingInto(VideoCapture& v, const QString& path, int frames)
{
    v.setAviFileName(path);
    const QStringList temps = v.StartRecording() && recordFor(v, frames) ? unfinishedBeside(path) : QStringList();
    if (temps.size() != 1)
        return QTest::qFail("not one recording under way", __FILE__, __LINE__), QString();
    return QFileInfo(path).absolutePath() + QLatin1Char('/') + temps.first();
}

// The frames a player gets out of a video file; -1 when it cannot be played.
// Waits for the end of the file, however long the machine takes.
int decodedFrames(const QString& path)
{
    GError* err = nullptr;
    GstElement* pipeline = gst_parse_launch("filesrc name=in ! decodebin ! fakesink name=out", &err);
    if (err)
        g_error_free(err);
    if (!pipeline)
        return -1;
    GstElement* in = gst_bin_get_by_name(GST_BIN(pipeline), "in");
    g_object_set(in, "location", QFile::encodeName(path).constData(), nullptr);
    gst_object_unref(in);
    std::atomic<int> frames{0};
    GstElement* out = gst_bin_get_by_name(GST_BIN(pipeline), "out");
    GstPad* pad = gst_element_get_static_pad(out, "sink");
    gst_pad_add_probe(
        pad, GST_PAD_PROBE_TYPE_BUFFER,
        [](GstPad*, GstPadProbeInfo*, gpointer count) {
            ++*static_cast<std::atomic<int>*>(count);
            return GST_PAD_PROBE_OK;
        },
        &frames, nullptr);
    gst_object_unref(pad);
    gst_object_unref(out);
    GstBus* bus = gst_element_get_bus(pipeline);
    int result = -1;
    if (gst_element_set_state(pipeline, GST_STATE_PLAYING) != GST_STATE_CHANGE_FAILURE) {
        GstMessage* msg =
            gst_bus_timed_pop_filtered(bus, GST_CLOCK_TIME_NONE, GstMessageType(GST_MESSAGE_EOS | GST_MESSAGE_ERROR));
        if (msg && GST_MESSAGE_TYPE(msg) == GST_MESSAGE_EOS)
            result = frames;
        if (msg)
            gst_message_unref(msg);
    }
    gst_element_set_state(pipeline, GST_STATE_NULL);
    gst_object_unref(bus);
    gst_object_unref(pipeline);
    return result;
}

// Answers the next modal dialog with the given function.
template <typename D, typename F>
void answerNext(F f)
{
    Opener::setHook([f](QDialog* dlg) {
        auto* d = qobject_cast<D*>(dlg);
        return d ? (f(d), d->result()) : int(QDialog::Rejected);
    });
}
}

class tst_VideoCapture : public QObject {
    Q_OBJECT
private:
    std::unique_ptr<TestFolder> tf;

private slots:
    void initTestCase()
    {
        // Counts GStreamer's live objects (read by switchingOffGivesEverythingBack).
        qputenv("GST_TRACERS", "leaks(GstElement,GstPad,GstBus,GstBufferPool)");
    }
    void init()
    {
        tf = std::make_unique<TestFolder>(false);
        QVERIFY(tf->ok());
        QVERIFY(setIni("video", "device", VideoSettings::testPattern()));
        QVERIFY(setIni("video", "width", QStringLiteral("320")));
        QVERIFY(setIni("video", "height", QStringLiteral("240")));
        QVERIFY(setIni("video", "fps", QStringLiteral("30")));
    }
    void cleanup()
    {
        Opener::setHook([](QDialog*) { return 0; });
        tf.reset();
    }

    // Switching the video off gives back everything it took: after 20 off/on,
    // as many descriptors are open and as many GStreamer objects alive as
    // before. So does a control that goes away while the video runs.
    void switchingOffGivesEverythingBack()
    {
        auto v = std::make_unique<VideoCapture>();
        v->resize(160, 120);
        v->show();
        v->setFrameFileName(tf->file(QStringLiteral("img/image1.bmp")));
        auto cycle = [&] {
            QVERIFY(v->Connect() && VideoCaptureTesting::waitForFrame(*v, 0, kFrameMs));
            QVERIFY(VideoCaptureTesting::waitForFrame(*v, VideoCaptureTesting::framesReceived(*v) + 2, kFrameMs)
                    && VideoCaptureTesting::saveFrame(*v));
            v->Disconnect();
        };
        // Threads that end a moment after their work, and what GStreamer sets up once.
        auto settle = [] { QTest::qWait(300); };
        cycle();
        cycle();
        settle();
        const int fds = openDescriptors(), objects = liveGstObjects();
        for (int i = 0; i < 20; ++i)
            cycle();
        settle();
        QCOMPARE(openDescriptors(), fds);
        if (objects < 0)
            QSKIP("GStreamer's leaks tracer is not there to count objects");
        QCOMPARE(liveGstObjects(), objects);

        // With a recording and a failure on the way, and the control closed while running.
        const QString avi = tf->file(QStringLiteral("leak.avi"));
        v->setAviFileName(avi);
        QVERIFY(v->Connect() && v->StartRecording());
        QVERIFY(recordFor(*v, 5));
        VideoCaptureTesting::failSource(*v);
        QTRY_VERIFY(v->hasStopped());   // told at once by the failing source
        v->Disconnect();
        QVERIFY(v->Connect());
        v.reset();
        settle();
        QCOMPARE(openDescriptors(), fds);
        QCOMPARE(liveGstObjects(), objects);
    }

    void liveFramesAndCapture()
    {
        VideoCapture v;
        v.resize(160, 120);
        v.show();
        v.setFrameFileName(tf->file(QStringLiteral("img/image1.bmp")));
        // Nothing connected, no frame: nothing is written.
        QVERIFY(!VideoCaptureTesting::saveFrame(v) && !QFileInfo::exists(v.FrameFileName()));

        QVERIFY(v.Connect() && VideoCaptureTesting::waitForFrame(v, 0, kFrameMs));
        const QImage first = VideoCaptureTesting::currentFrame(v);
        QCOMPARE(first.size(), QSize(320, 240));
        QVERIFY(VideoCaptureTesting::waitForFrame(v, VideoCaptureTesting::framesReceived(v) + 2, kFrameMs));
        QVERIFY2(VideoCaptureTesting::currentFrame(v) != first, "the test pattern should move");

        // The live picture is painted, filling a control of its proportions.
        QVERIFY(within(v, [&] { return !darkRows(v.grab().toImage(), 0, 120); }));
        const QImage shot = v.grab().toImage();
        shot.save(testOutputFolder() + QStringLiteral("/video_live.png"));
        QImage black(shot.size(), shot.format());
        black.fill(Qt::black);
        QVERIFY(shot != black);

        QVERIFY(VideoCaptureTesting::saveFrame(v));
        QCOMPARE(QImage(v.FrameFileName()).size(), QSize(320, 240));

        // A file that cannot be written; a switched-off video.
        v.setFrameFileName(tf->file(QStringLiteral("missing/image2.bmp")));
        QVERIFY(!VideoCaptureTesting::saveFrame(v));
        v.Disconnect();
        v.setFrameFileName(tf->file(QStringLiteral("img/image3.bmp")));
        QVERIFY(!v.isConnected() && !VideoCaptureTesting::saveFrame(v));
    }

    // The capture's JPEG is encoded from the frame while the BMP is written; a
    // BMP changed before the conversion still gets the JPEG of what it holds.
    void captureConvertsWhatTheFileHolds()
    {
        VideoCapture v;   // not connected: the frame is handed in
        const QString bmp = tf->file(QStringLiteral("img/image1.bmp"));
        const QString jpg = tf->file(QStringLiteral("img/image1.jpg"));
        v.setFrameFileName(bmp);
        QImage pic(200, 150, QImage::Format_RGB32);
        for (int y = 0; y < pic.height(); ++y)
            for (int x = 0; x < pic.width(); ++x)
                pic.setPixel(x, y, qRgb((x * 7 + y * 13) % 256, (x + y) % 256, (x * y) % 64));
        VideoCaptureTesting::presentFrame(v, pic);
        QVERIFY(VideoCaptureTesting::saveFrame(v) && ConvertBmpToJpg(bmp));
        const QByteArray jpegA = readBytes(jpg);
        QCOMPARE(jpegA, jpegOfFile(bmp));

        // One pixel byte changed in place after the save, the modification time put back.
        QVERIFY(VideoCaptureTesting::saveFrame(v));
        const QDateTime modified = QFileInfo(bmp).lastModified();
        QFile f(bmp);
        char c = 0;
        QVERIFY(f.open(QIODevice::ReadWrite) && f.seek(f.size() / 2) && f.getChar(&c));
        QVERIFY(f.seek(f.size() / 2) && f.putChar(char(~c)) && f.flush());
        QVERIFY(f.setFileTime(modified, QFileDevice::FileModificationTime));
        f.close();
        QVERIFY(ConvertBmpToJpg(bmp));
        QVERIFY(readBytes(jpg) != jpegA);
        QCOMPARE(readBytes(jpg), jpegOfFile(bmp));
    }

    // Every way a recording ends completes the file: stopped, the video switched off, the window closed.
    void recordingIsFinalised()
    {
        auto window = std::make_unique<VideoCapture>();
        VideoCapture& v = *window;
        const QString avi = tf->file(QStringLiteral("rec.avi"));
        v.setAviFileName(avi);
        QVERIFY(!v.StartRecording());   // not connected
        QVERIFY(v.Connect() && v.StartRecording() && v.isRecording());
        QVERIFY(!v.StartRecording());   // one recording at a time
        QVERIFY(recordFor(v, 30));      // about one second
        v.StopRecording();
        QVERIFY(!v.isRecording() && v.isConnected());
        for (quint32 size : checkAviFinalised(avi))
            QVERIFY(size > 0 && size < 320 * 240 * 3);

        // Uncompressed: each frame a whole BGR picture (how many go in depends on the machine's load).
        QVERIFY(setIni("video", "codec", QStringLiteral("raw")));
        const QString raw = tf->file(QStringLiteral("raw.avi"));
        QList<quint32> sizes;
        QVERIFY(recordTo(v, raw, 5, &sizes));
        for (quint32 size : sizes)
            QCOMPARE(size, quint32(320 * 240 * 3));
        // Recording again to the same file replaces it: a complete file of the
        // new (compressed) recording, nothing left of the old one.
        QVERIFY(setIni("video", "codec", QStringLiteral("mjpeg")));
        QVERIFY(recordTo(v, raw, 3, &sizes));
        for (quint32 size : sizes)
            QVERIFY(size < 320 * 240 * 3);

        // Stopped at once, before any frame went in: an AVI without frames, and the control records on.
        const QString none = tf->file(QStringLiteral("none.avi"));
        v.setAviFileName(none);
        QVERIFY(v.StartRecording());
        v.StopRecording();
        QVERIFY(!v.isRecording() && readBytes(none).startsWith("RIFF"));

        const QString off = tf->file(QStringLiteral("off.avi"));
        v.setAviFileName(off);
        QVERIFY(v.StartRecording());
        QVERIFY(recordFor(v, 10));
        v.Disconnect();
        QVERIFY(!v.isRecording() && !v.isConnected());
        checkAviFinalised(off);
        QVERIFY(v.Connect() && !v.isRecording());   // switched on again: not recording

        const QString closed = tf->file(QStringLiteral("closed.avi"));
        v.setAviFileName(closed);
        QVERIFY(v.StartRecording());
        QVERIFY(recordFor(v, 10));
        window.reset();
        checkAviFinalised(closed);
    }

    // A slow disk: frames are still on their way to the file when the
    // recording is stopped; the stop returns only once they and the index are
    // in it. A new recording file is owner-only whatever the umask.
    void stopWaitsForTheWholeFile()
    {
        const UmaskScope umask(022);
        VideoCapture v;
        VideoCaptureTesting::slowRecording(v, 20);
        QVERIFY(v.Connect());
        const QString avi = tf->file(QStringLiteral("slow.avi"));
        QList<quint32> frames;
        QVERIFY(recordTo(v, avi, 15, &frames));
        QVERIFY(frames.size() >= 10);
        QCOMPARE(fileMode(avi), 0600);
    }

    void failedRecordingKeepsTheLivePicture()
    {
        VideoCapture v;
        QVERIFY(v.Connect());
        // A folder that is not there, or may not be written: not started, and
        // the reason names the folder.
        const QString missing = tf->file(QStringLiteral("no/such/folder"));
        v.setAviFileName(missing + QStringLiteral("/x.avi"));
        QVERIFY(!v.StartRecording() && !v.isRecording());
        QCOMPARE(v.lastError(), QStringLiteral("文件夹 %1 中不能建立录像文件（路径未找到）").arg(missing));
        const QString locked = tf->file(QStringLiteral("locked"));
        QVERIFY(QDir().mkpath(locked));
        v.setAviFileName(locked + QStringLiteral("/x.avi"));
        {
            Unwritable ro(locked);
            QVERIFY(ro.ok());
            QVERIFY(!v.StartRecording() && !v.isRecording());
        }
        QCOMPARE(v.lastError(), QStringLiteral("文件夹 %1 中不能建立录像文件（没有权限）").arg(locked));
        QVERIFY(QDir(locked).isEmpty());
        QVERIFY(nextFrame(v));

        // A file that takes no more data (a full disk; here the file-size
        // limit): the recording fails, its stop comes back, and the live
        // picture and the captures go on.
        QSignalSpy errors(&v, &VideoCapture::errorOccurred);
        v.setAviFileName(tf->file(QStringLiteral("full.avi")));
        {
            const FileSizeLimit limit(64 * 1024);
            QVERIFY(v.StartRecording());   // the file opens; writing fails
            QVERIFY(within(v, [&] { return !errors.isEmpty(); }));
            // Frames keep coming while the failed branch still hangs on the stream.
            QVERIFY(recordFor(v, 10));
            QVERIFY(!v.lastError().isEmpty());
            v.StopRecording();
        }
        QVERIFY(!v.isRecording() && v.isConnected());
        QVERIFY(nextFrame(v));
        v.setFrameFileName(tf->file(QStringLiteral("img/image1.bmp")));
        QVERIFY(VideoCaptureTesting::saveFrame(v));
        QVERIFY(recordTo(v, tf->file(QStringLiteral("after.avi")), 5));   // and the next recording works
    }

    // The disk fills just as the recording is stopped: the stop tells the
    // failure (false, and why), recordingFailed is not signalled besides, and
    // whether an earlier file was kept is true of this recording's name. A
    // failure while the recording runs is signalled once.
    void failureDuringTheStop()
    {
        VideoCapture v;
        QVERIFY(v.Connect());
        QSignalSpy failed(&v, &VideoCapture::recordingFailed);
        std::optional<FileSizeLimit> full;
        // Unhooked however the case ends, before the recorder stops in its destructor.
        const auto unhook = qScopeGuard([&v] { VideoCaptureTesting::whenStopping(v, {}); });
        VideoCaptureTesting::whenStopping(v, [&full] { full.emplace(1); });
        const QString kept = tf->file(QStringLiteral("kept.avi")), fresh = tf->file(QStringLiteral("fresh.avi"));
        QVERIFY(writeBytes(kept, QByteArray("an earlier recording")));
        for (const QString& avi : {kept, fresh}) {
            v.setAviFileName(avi);
            QVERIFY(v.StartRecording());
            QVERIFY(recordFor(v, 5));
            const bool saved = v.StopRecording();
            full.reset();
            QVERIFY2(!saved && v.lastError() == QStringLiteral("磁盘已满"), qPrintable(v.lastError()));
            QCOMPARE(v.earlierRecordingKept(), avi == kept);
            QVERIFY(unfinishedBeside(avi).isEmpty());
            QVERIFY(recordFor(v, 5));   // what the failure queued for the window is handled
            QCOMPARE(failed.count(), 0);
        }
        QVERIFY(readBytes(kept) == "an earlier recording" && !QFileInfo::exists(fresh));
        VideoCaptureTesting::whenStopping(v, {});
        {
            const FileSizeLimit limit(64 * 1024);
            QVERIFY(v.StartRecording());
            QVERIFY(within(v, [&] { return !failed.isEmpty(); }));
            QVERIFY(recordFor(v, 10));   // the branch's other elements report too
            QVERIFY(!v.StopRecording());
        }
        QVERIFY(recordFor(v, 5));
        QCOMPARE(failed.count(), 1);
        QVERIFY(recordTo(v, fresh, 5));   // and the next recording works
    }

    // A camera unplugged while streaming: the live picture stops, frames can no
    // longer be saved nor recordings started, and a running recording is
    // still completed, whether it is stopped or the video switched off.
    void sourceLostMidStream()
    {
        const QString avi = tf->file(QStringLiteral("lost.avi"));
        const QString bmp = tf->file(QStringLiteral("img/image1.bmp"));
        VideoCapture v;
        v.resize(160, 120);
        v.setAviFileName(avi);
        v.setFrameFileName(bmp);
        QVERIFY(v.Connect() && v.StartRecording());
        QVERIFY(recordFor(v, 5));
        QSignalSpy errors(&v, &VideoCapture::errorOccurred);
        VideoCaptureTesting::failSource(v);
        QTRY_VERIFY(!errors.isEmpty());   // posted at once by the failing source
        QVERIFY(!v.lastError().isEmpty());
        QVERIFY(VideoCaptureTesting::currentFrame(v).isNull() && !VideoCaptureTesting::saveFrame(v)
                && !QFileInfo::exists(bmp));
        QCOMPARE(v.grab().toImage().pixel(80, 60), qRgb(0, 0, 0));   // no picture shown
        QVERIFY(v.isRecording());
        v.StopRecording();
        QVERIFY(!v.isRecording());
        checkAviFinalised(avi);
        // A new recording would be empty: refused, no file made.
        const QString avi2 = tf->file(QStringLiteral("lost2.avi"));
        v.setAviFileName(avi2);
        QVERIFY(!v.StartRecording() && !QFileInfo::exists(avi2));
        // Switched off and on again, the video runs.
        v.Disconnect();
        QVERIFY(v.Connect() && v.lastError().isEmpty());
        QVERIFY(VideoCaptureTesting::waitForFrame(v, 0, kFrameMs) && VideoCaptureTesting::saveFrame(v));
        QCOMPARE(QImage(bmp).size(), QSize(320, 240));

        // Lost while recording, then switched off.
        QVERIFY(v.StartRecording());
        QVERIFY(recordFor(v, 5));
        VideoCaptureTesting::failSource(v);
        v.Disconnect();
        QVERIFY(!v.isRecording() && !v.isConnected());
        checkAviFinalised(avi2);
    }

    // What cameras list: fractional rates, rate and size ranges, modes offered
    // as JPEG only; other formats are not offered.
    void cameraModes()
    {
        using VideoDevices::Mode;
        const QList<Mode> m = VideoDevices::modesFromCaps(
            QStringLiteral("video/x-raw, format=YUY2, width=640, height=480, framerate={ 30/1, 30000/1001, 15/1 }; "
                           "image/jpeg, width=1920, height=1080, framerate=[ 5/1, 30/1 ]; "
                           "video/x-raw, format=YUY2, width=1920, height=1080, framerate=5/1; "
                           "image/jpeg, width=640, height=480, framerate=30/1; "
                           "video/x-h264, width=1280, height=720, framerate=60/1; "
                           "video/x-raw, format=YUY2, width=[ 160, 1280, 8 ], height=[ 120, 720, 8 ], framerate=10/1"));
        QCOMPARE(m.first(), (Mode{1920, 1080, {30, 1}, true}));
        for (const Mode& want :
             {Mode{1920, 1080, {30000, 1001}, true}, Mode{1920, 1080, {24, 1}, true}, Mode{1920, 1080, {5, 1}, false},
              Mode{640, 480, {30, 1}, false}, Mode{640, 480, {30000, 1001}, false}, Mode{1280, 720, {10, 1}, false},
              Mode{352, 288, {10, 1}, false}})
            QVERIFY2(m.contains(want),
                     qPrintable(QStringLiteral("%1x%2 %3").arg(want.width).arg(want.height).arg(want.fps.text())));
        QVERIFY(!m.contains(Mode{640, 480, {30, 1}, true}) && !m.contains(Mode{1920, 1080, {60, 1}, true}));
        QVERIFY(std::none_of(m.begin(), m.end(), [](const Mode& x) {
            return x.height > 720 && x.width < 1920;   // the size range stops at 1280 x 720
        }));
        QCOMPARE(FrameRate::parse(QStringLiteral("29.97")), (FrameRate{30000, 1001}));
        QCOMPARE(FrameRate::parse(QStringLiteral("60000/2002"))->text(), QStringLiteral("30000/1001"));
        QCOMPARE((FrameRate{30000, 1001}).caption(), QStringLiteral("29.97 帧/秒"));
        QVERIFY(!FrameRate::parse(QStringLiteral("0")) && !FrameRate::parse(QStringLiteral("x/2")));
    }

    // Connecting and ending a recording wait for the stream, handling events
    // meanwhile (the window keeps painting); a switch-off asked for then is
    // done when the wait is over, and the recording is still finished.
    void waitsKeepTheWindowResponsive()
    {
        QVERIFY(setIni("video", "fps", QStringLiteral("30000/1001")));
        VideoCapture v;
        bool inside = true, ranInside = false;
        QTimer::singleShot(0, &v, [&] { ranInside = inside; });
        QVERIFY(v.Connect());
        inside = false;
        QVERIFY(ranInside && VideoCaptureTesting::waitForFrame(v, 0, kFrameMs));

        const QString avi = tf->file(QStringLiteral("wait.avi"));
        v.setAviFileName(avi);
        QVERIFY(v.StartRecording());
        QVERIFY(recordFor(v, 5));
        inside = true;
        ranInside = false;
        QTimer::singleShot(0, &v, [&] {
            ranInside = inside;
            v.Disconnect();
            v.StopRecording();
        });
        v.StopRecording();
        inside = false;
        QVERIFY(ranInside && !v.isConnected() && !v.isRecording());
        checkAviFinalised(avi);

        // Asked to quit, the program still completes a recording it stops
        // before the event loop has gone (a command that quits, then closes).
        const QString last = tf->file(QStringLiteral("quit.avi"));
        QVERIFY(v.Connect());
        v.setAviFileName(last);
        QVERIFY(v.StartRecording());
        QVERIFY(recordFor(v, 5));
        bool stopped = false;
        QTimer::singleShot(0, &v, [&] {
            QCoreApplication::exit(0);
            stopped = v.StopRecording();
        });
        QCoreApplication::exec();
        QVERIFY(stopped && !v.isRecording());
        QVERIFY(!checkAviFinalised(last).isEmpty());
        v.Disconnect();

        // The format dialog offers the configured fractional rate and keeps it.
        answerNext<VideoFormatDialog>([](VideoFormatDialog* d) {
            QCOMPARE(d->ComboRate->currentText(), QStringLiteral("29.97 帧/秒"));
            d->ButtnOk->click();
        });
        v.ShowFormatDialog();
        QCOMPARE(Modini::GetIniValue(IniKey::VideoFps), QStringLiteral("30000/1001"));
    }

    // A device that is not there, or a path that is no capture device, fails to
    // connect; the source dialog still lists the configured one.
    void absentDeviceAndSettingsDialogs()
    {
        VideoCapture v;
        v.setFrameFileName(tf->file(QStringLiteral("img/image1.bmp")));
        for (const char* device : {"/dev/null", "/dev/video-not-there"}) {
            QVERIFY(setIni("video", "device", QString::fromLatin1(device)));
            QVERIFY(!v.Connect() && !v.isConnected() && !VideoCaptureTesting::saveFrame(v));
        }
        QCOMPARE(v.lastError(),
                 QStringLiteral("视频设备不存在：/dev/video-not-there。请连接该设备，或在“设 置”中选择另一个设备。"));
        v.Disconnect();   // harmless when not connected
        v.StopRecording();
        // The test pattern is no choice of the source dialog: a camera not
        // there is still listed, as the one configured.
        answerNext<VideoSourceDialog>([](VideoSourceDialog* d) {
            QCOMPARE(d->ComboDevice->findData(VideoSettings::testPattern()), -1);
            QCOMPARE(d->ComboDevice->currentData().toString(), QStringLiteral("/dev/video-not-there"));
            d->ButtnOk->click();
        });
        v.ShowSourceDialog();
        QCOMPARE(VideoSettings::load().device, QStringLiteral("/dev/video-not-there"));

        // The shipped setting (the first camera) with no camera: the video
        // cannot be switched on; the test pattern never stands in.
        if (VideoDevices::list().isEmpty()) {
            QVERIFY(setIni("video", "device", QString()));
            QVERIFY(VideoDevices::resolve(VideoSettings::load()).isEmpty());
            QVERIFY(!v.Connect() && !v.isConnected() && !VideoCaptureTesting::saveFrame(v));
            QCOMPARE(v.lastError(), QStringLiteral("未找到视频设备。请连接摄像头，再按“开启视频”。"));
            answerNext<VideoSourceDialog>([](VideoSourceDialog* d) {
                QCOMPARE(d->ComboDevice->count(), 1);
                QCOMPARE(d->ComboDevice->currentText(), QStringLiteral("未找到视频设备"));
                d->ButtnCancel->click();
            });
            v.ShowSourceDialog();
        }
        // Chosen explicitly, it is offered as the current choice.
        QVERIFY(setIni("video", "device", VideoSettings::testPattern()));
        answerNext<VideoSourceDialog>([](VideoSourceDialog* d) {
            QCOMPARE(d->ComboDevice->currentData().toString(), VideoSettings::testPattern());
            d->ButtnOk->click();
        });
        v.ShowSourceDialog();
        QCOMPARE(VideoSettings::load().device, VideoSettings::testPattern());

        QVERIFY(v.Connect() && VideoCaptureTesting::waitForFrame(v, 0, kFrameMs));
        answerNext<VideoFormatDialog>([](VideoFormatDialog* d) {
            QCOMPARE(d->ComboSize->currentData().toSize(), QSize(320, 240));
            d->ComboSize->setCurrentIndex(d->ComboSize->findData(QSize(640, 480)));
            // The rate list follows the size; the chosen rate is kept where offered.
            QCOMPARE(d->ComboRate->currentData().toString(), QStringLiteral("30"));
            d->ComboRate->setCurrentIndex(d->ComboRate->findData(QStringLiteral("15")));
            d->ButtnOk->click();
        });
        v.ShowFormatDialog();
        const VideoSettings s = VideoSettings::load();
        QVERIFY(s.width == 640 && s.height == 480 && s.fps == (FrameRate{15, 1}));
        QVERIFY(v.isConnected()
                && VideoCaptureTesting::waitForFrame(v, 0, kFrameMs));   // the video runs on in the new size
        QCOMPARE(VideoCaptureTesting::currentFrame(v).size(), QSize(640, 480));

        // The quality is only for compressed video.
        answerNext<VideoCompressionDialog>([](VideoCompressionDialog* d) {
            QVERIFY(d->OptionMjpeg->isChecked() && d->SpinQuality->isEnabled());
            d->OptionRaw->setChecked(true);
            QVERIFY(!d->SpinQuality->isEnabled());
            d->ButtnOk->click();
        });
        v.ShowCompressionDialog();
        QCOMPARE(VideoSettings::load().codec, QStringLiteral("raw"));
    }

    // The video dialogs save their keys in one write of options.ini: a write
    // that fails (a full disk; here the file-size limit) changes no key, says
    // so, and the dialog stays open. The format dialog's keys shrink and then
    // grow the file: saved one by one, the first ones would fit and stay.
    void settingsSavedWhole()
    {
        QVERIFY(setIni("video", "width", QStringLiteral("1000")) && setIni("video", "height", QStringLiteral("16"))
                && setIni("video", "fps", QStringLiteral("5")) && setIni("video", "codec", QStringLiteral("mjpeg"))
                && setIni("video", "quality", QStringLiteral("85")));
        const QString ini = AppPaths::iniFile();
        const QByteArray before = readBytes(ini);
        VideoCapture v;
        int result = -1;
        answerNext<VideoFormatDialog>([&](VideoFormatDialog* d) {
            d->ComboSize->setCurrentIndex(d->ComboSize->findData(QSize(800, 600)));
            QCOMPARE(d->ComboRate->currentData().toString(), QStringLiteral("30"));
            MessageBox::clearShown();
            {
                const FileSizeLimit limit(rlim_t(before.size()));
                QVERIFY(limit.ok());
                d->ButtnOk->click();
            }
            result = d->result();
        });
        v.ShowFormatDialog();
        QCOMPARE(readBytes(ini), before);
        QCOMPARE(result, int(QDialog::Rejected));
        QCOMPARE(lastTitle(), QStringLiteral("错误"));
        QVERIFY2(lastText().contains(QStringLiteral("磁盘已满")) && lastText().contains(QStringLiteral("设置未保存")),
                 qPrintable(lastText()));
        // With room, all of them are written.
        answerNext<VideoFormatDialog>([](VideoFormatDialog* d) {
            d->ComboSize->setCurrentIndex(d->ComboSize->findData(QSize(800, 600)));
            d->ButtnOk->click();
        });
        v.ShowFormatDialog();
        const VideoSettings s = VideoSettings::load();
        QVERIFY(s.width == 800 && s.height == 600 && s.fps == (FrameRate{30, 1}));

        // The source and compression dialogs tell the same way.
        const QByteArray saved = readBytes(ini);
        for (int which : {0, 1}) {
            MessageBox::clearShown();
            {
                Unwritable ro(ini);
                QVERIFY(ro.ok());
                if (which == 0) {
                    answerNext<VideoSourceDialog>([](VideoSourceDialog* d) { d->ButtnOk->click(); });
                    v.ShowSourceDialog();
                } else {
                    answerNext<VideoCompressionDialog>([](VideoCompressionDialog* d) {
                        d->OptionRaw->setChecked(true);
                        d->ButtnOk->click();
                    });
                    v.ShowCompressionDialog();
                }
            }
            QVERIFY2(lastText().contains(QStringLiteral("设置未保存")), qPrintable(lastText()));
            QCOMPARE(readBytes(ini), saved);
        }
    }

    // A 16:9 source in a 4:3 control keeps its proportions: bars above and
    // below, the ball round. The picture is upright in the control, in the
    // frame and in the BMP.
    void pictureKeepsItsShapeAndWay()
    {
        QVERIFY(setIni("video", "width", QStringLiteral("640")));
        QVERIFY(setIni("video", "height", QStringLiteral("360")));
        VideoCapture v;
        v.resize(320, 240);
        v.show();
        QVERIFY(v.Connect());
        const QRect area = VideoCapture::pictureArea(QSize(640, 360), v.rect());
        QCOMPARE(area, QRect(0, 30, 320, 180));
        QImage shot;
        QRect ball;
        // The ball is whole inside the picture in most frames; wait for one.
        QVERIFY(within(v, [&] {
            shot = v.grab().toImage();
            ball = lightArea(shot, area.adjusted(1, 1, -1, -1));
            return !ball.isEmpty() && area.adjusted(2, 2, -2, -2).contains(ball);
        }));
        shot.save(testOutputFolder() + QStringLiteral("/video_16_9_in_4_3.png"));
        QVERIFY2(qAbs(ball.width() - ball.height()) <= 2,
                 qPrintable(QStringLiteral("ball %1 x %2").arg(ball.width()).arg(ball.height())));
        QVERIFY(darkRows(shot, 0, area.top()) && darkRows(shot, area.bottom() + 1, shot.height()));
        // The same frame in a tall control: bars at the sides.
        QCOMPARE(VideoCapture::pictureArea(QSize(640, 360), QRect(0, 0, 320, 400)), QRect(0, 110, 320, 180));
        QCOMPARE(VideoCapture::pictureArea(QSize(320, 240), QRect(0, 0, 400, 240)), QRect(40, 0, 320, 240));
        // Captured at full size.
        QCOMPARE(VideoCaptureTesting::currentFrame(v).size(), QSize(640, 360));
        // Hidden, no frame is made for the view, while the source's frames
        // still come for a capture; shown again, the picture comes back.
        v.hide();
        QCoreApplication::processEvents();
        const quint64 painted = VideoCaptureTesting::framesToPaint(v);
        QVERIFY(VideoCaptureTesting::waitForFrame(v, VideoCaptureTesting::framesReceived(v) + 5, kFrameMs));
        QCoreApplication::processEvents();
        QCOMPARE(VideoCaptureTesting::framesToPaint(v), painted);
        QCOMPARE(VideoCaptureTesting::currentFrame(v).size(), QSize(640, 360));
        v.show();
        QVERIFY(within(v, [&] { return VideoCaptureTesting::framesToPaint(v) > painted; }));
        v.Disconnect();

        // Colour bars over a dark bottom strip: upright everywhere.
        VideoCaptureTesting::setTestPattern(v, 0 /* SMPTE colour bars */);
        v.setFrameFileName(tf->file(QStringLiteral("img/image1.bmp")));
        QVERIFY(v.Connect() && VideoCaptureTesting::waitForFrame(v, 0, kFrameMs));
        auto upright = [](const QImage& img, const QRect& r) {
            const QColor top = img.pixelColor(r.left() + r.width() / 20, r.top() + r.height() / 10);
            const QColor bottom = img.pixelColor(r.left() + r.width() / 20, r.bottom() - r.height() / 20);
            return top.red() > 150 && top.green() > 150 && bottom.red() < 60 && bottom.green() < 60;
        };
        QVERIFY(upright(VideoCaptureTesting::currentFrame(v), QRect(0, 0, 640, 360)));
        QVERIFY(within(v, [&] { return upright(v.grab().toImage(), area); }));
        QVERIFY(VideoCaptureTesting::saveFrame(v));
        QVERIFY(upright(QImage(v.FrameFileName()), QRect(0, 0, 640, 360)));
    }

    // A recording never costs the file it replaces: it is written beside it
    // under a name that says it is unfinished, and takes the chosen name only
    // once complete (owner-only, whatever was there). A write that fails
    // (the file-size limit, as a full disk) leaves the earlier file whole.
    void recordingReplacesOnlyWhenComplete()
    {
        const QString avi = tf->file(QStringLiteral("study.avi"));
        QVERIFY(writeBytes(avi, QByteArray("an earlier recording")));
        QVERIFY(QFile::setPermissions(avi, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::ReadOther));
        VideoCapture v;
        QVERIFY(v.Connect());
        const QString unfinished = recordingInto(v, avi, 10);
        QVERIFY(!unfinished.isEmpty());
        QCOMPARE(fileMode(unfinished), 0600);
        // A program killed now would leave the earlier file as it was.
        QCOMPARE(readBytes(avi), QByteArray("an earlier recording"));
        QVERIFY(v.StopRecording());
        checkAviFinalised(avi);
        QCOMPARE(fileMode(avi), 0600);
        QVERIFY(unfinishedBeside(avi).isEmpty());

        // The disk takes no more: the recording fails, the file recorded before stays.
        const QByteArray before = readBytes(avi);
        QSignalSpy failed(&v, &VideoCapture::recordingFailed);
        bool started = false;
        {
            const FileSizeLimit limit(64 * 1024);
            started = v.StartRecording();
            if (started)
                QVERIFY(within(v, [&] { return !failed.isEmpty(); }));
            QVERIFY(!v.StopRecording());   // told as failed
        }
        QVERIFY(started && !v.isRecording() && v.isConnected());
        // Why, and that the earlier recording is there as it was.
        QCOMPARE(v.lastError(), QStringLiteral("磁盘已满"));
        QVERIFY(v.earlierRecordingKept());
        QCOMPARE(readBytes(avi), before);
        QVERIFY(unfinishedBeside(avi).isEmpty());
    }

    // Every name the file system takes is taken for a recording, whatever its
    // length; one it does not take, or a folder's, is said as such before
    // anything is made.
    void recordingName_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("refused");   // why; empty: taken
        QTest::newRow("250 bytes") << QString(82, QChar(0x533B)) + QStringLiteral(".avi") << QString();
        QTest::newRow("255 bytes, the most") << QString(251, QLatin1Char('a')) + QStringLiteral(".avi") << QString();
        QTest::newRow("256 bytes") << QString(252, QLatin1Char('a')) + QStringLiteral(".avi")
                                   << QStringLiteral("文件名太长");
        QTest::newRow("a folder's") << QStringLiteral("sub") << QStringLiteral("同名的文件夹已存在");
    }
    void recordingName()
    {
        QFETCH(QString, name);
        QFETCH(QString, refused);
        const QString folder = tf->file(QStringLiteral("videos"));
        QVERIFY(QDir().mkpath(folder + QStringLiteral("/sub")));
        const QString avi = folder + QLatin1Char('/') + name;
        const QStringList before = QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
        VideoCapture v;
        QVERIFY(v.Connect());
        if (refused.isEmpty()) {
            QVERIFY(recordTo(v, avi, 10));
            QVERIFY(decodedFrames(avi) > 0);
            QStringList after = QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
            QVERIFY(after.removeOne(name));
            QCOMPARE(after, before);   // nothing left beside it
        } else {
            v.setAviFileName(avi);
            QVERIFY(!v.StartRecording() && !v.isRecording());
            QCOMPARE(v.lastError(), QStringLiteral("文件夹 %1 中不能建立录像文件（%2）").arg(folder, refused));
            QCOMPARE(QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot), before);
        }
    }

    // A name that is a link of the user's own records into the file it
    // points at, its temporary file beside that one; the link stays.
    void recordingThroughOwnLink()
    {
        const QString links = tf->file(QStringLiteral("links")), kept = tf->file(QStringLiteral("kept"));
        const QString avi = links + QStringLiteral("/mine.avi");
        QVERIFY(QDir().mkpath(links) && QDir().mkpath(kept) && QFile::link(QStringLiteral("../kept/clip.avi"), avi));
        QVERIFY(writeBytes(kept + QStringLiteral("/clip.avi"), "an earlier recording"));
        VideoCapture v;
        QVERIFY(v.Connect());
        v.setAviFileName(avi);
        QVERIFY(v.StartRecording() && recordFor(v, 10));
        QVERIFY(unfinishedBeside(avi).isEmpty() && unfinishedBeside(kept + QStringLiteral("/clip.avi")).size() == 1);
        QVERIFY(v.StopRecording());
        checkAviFinalised(avi);
        QVERIFY(QFileInfo(avi).isSymLink() && unfinishedBeside(kept + QStringLiteral("/clip.avi")).isEmpty());
    }

    // A program killed while recording leaves the recording so far under its
    // temporary name, and it plays: what is on the disk mid-recording is
    // what a kill leaves.
    void killedRecordingPlays()
    {
        const QString avi = tf->file(QStringLiteral("cut.avi"));
        VideoCapture v;
        QVERIFY(v.Connect());
        const QString temp = recordingInto(v, avi, 1);
        QVERIFY(!temp.isEmpty() && within(v, [&] { return QFileInfo(temp).size() > 100000; }));
        const QString copy = tf->file(QStringLiteral("copy.avi"));
        QVERIFY(QFile::copy(temp, copy));
        QVERIFY(decodedFrames(copy) > 0);
        QVERIFY(v.StopRecording());
        QVERIFY(decodedFrames(avi) > 0);
    }

    // In a folder that every account may write and that does not keep their
    // files apart (not sticky), another account puts its link where the
    // recording goes while it runs: nothing is written through the link. A
    // temporary file renamed away is still the recording: it is put under
    // the chosen name through the program's descriptor. One removed is gone,
    // and the user is told which; a link put at the chosen name is replaced
    // by the recording.
    void recordingNotThroughALinkPutThereMeanwhile_data()
    {
        QTest::addColumn<QString>("replaced");
        QTest::newRow("temporary renamed away") << QStringLiteral("renamed");
        QTest::newRow("temporary removed") << QStringLiteral("removed");
        QTest::newRow("chosen name") << QStringLiteral("chosen");
    }
    void recordingNotThroughALinkPutThereMeanwhile()
    {
        QFETCH(QString, replaced);
        if (!canActAsOthers())
            QSKIP("making another account's link needs root");
        const QTemporaryDir top;
        const QString open = top.path() + QStringLiteral("/open");
        QVERIFY(top.isValid() && QDir().mkdir(open));
        QVERIFY(::chmod(QFile::encodeName(top.path()).constData(), 0755) == 0
                && ::chmod(QFile::encodeName(open).constData(), 0777) == 0);
        const QString precious = top.path() + QStringLiteral("/precious");
        QVERIFY(writeBytes(precious, "root's own file"));
        const QString avi = open + QStringLiteral("/clip.avi");
        VideoCapture v;
        QVERIFY(v.Connect());
        const QString temp = recordingInto(v, avi, 5);
        QVERIFY(!temp.isEmpty());
        if (replaced == QLatin1String("chosen")) {
            QVERIFY(linkAs(precious, avi, kNobody));
        } else {
            QVERIFY(replaced == QLatin1String("removed") ? QFile::remove(temp)
                                                         : QFile::rename(temp, open + QStringLiteral("/taken")));
            QVERIFY(linkAs(precious, temp, kNobody));
        }
        QVERIFY(recordFor(v, 10));
        const bool saved = v.StopRecording();
        QCOMPARE(readBytes(precious), QByteArray("root's own file"));
        if (replaced != QLatin1String("removed")) {
            QVERIFY2(saved && !QFileInfo(avi).isSymLink(), qPrintable(v.lastError()));
            QVERIFY(decodedFrames(avi) > 0);
        } else {
            QVERIFY(!saved && !QFileInfo::exists(avi));
            QVERIFY2(v.lastError().contains(temp), qPrintable(v.lastError()));
            QVERIFY(QFileInfo(temp).isSymLink());
        }
    }
};

QTEST_MAIN(tst_VideoCapture)
#include "tst_VideoCapture.moc"
