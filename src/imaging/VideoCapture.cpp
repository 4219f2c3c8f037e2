#include "imaging/VideoCapture.h"

#include "imaging/BmpFile.h"
#include "imaging/Bitmap24.h"
#include "imaging/JpegWriter.h"
#include "imaging/VideoCompressionDialog.h"
#include "imaging/VideoFormatDialog.h"
#include "imaging/VideoSettings.h"
#include "imaging/VideoSourceDialog.h"
#include "core/ModBackup.h"
#include "platform/EventWait.h"
#include "platform/Opener.h"
#include "platform/PrivateFile.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPainter>
#include <QScopeGuard>

#include <gst/app/gstappsink.h>
#include <gst/gst.h>
#include <gst/video/video.h>

#include <QThread>

#include <atomic>
#include <cmath>
#include <functional>
#include <mutex>

#include <cerrno>
#include <cstring>

#include <utility>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {
constexpr int kConnectTimeoutMs = 3000;
// How long ending a recording may wait for the end of the stream to reach the
// file (the queue in front of the encoder holds about a second of video).
constexpr int kStopTimeoutMs = 10000;
// Elements of the recording branch carry this prefix, so that their errors are
// told apart from those of the live picture.
constexpr char kRecPrefix[] = "rec-";

bool ensureGst()
{
    if (gst_is_initialized())
        return true;
    GError* err = nullptr;
    const bool ok = gst_init_check(nullptr, nullptr, &err);
    if (err)
        g_error_free(err);
    return ok;
}

GstElement* make(const char* factory, const char* name = nullptr) { return gst_element_factory_make(factory, name); }

// Why a file could not be made or written, in the user's words.
QString fileReason(int err)
{
    if (err == EISDIR)
        return QStringLiteral("同名的文件夹已存在");
    const ModBackup::FileError e = ModBackup::FromErrno(err);
    return e.number == AppError::PathFileAccess && err != ENAMETOOLONG ? QString::fromLocal8Bit(strerror(err))
                                                                       : e.description;
}

// Why the recording branch failed, from its error message: the file sink says
// "no space left" by its code, other write errors by the system's text.
QString recordingFailure(const GError* err, const gchar* debug)
{
    if (err && err->domain == GST_RESOURCE_ERROR && err->code == GST_RESOURCE_ERROR_NO_SPACE_LEFT)
        return fileReason(ENOSPC);
    const QByteArray detail(debug ? debug : "");
    for (int e : {ENOSPC, EFBIG, EDQUOT, EACCES, EPERM, EROFS, EIO, ENOENT})
        if (detail.contains(g_strerror(e)))
            return fileReason(e);
    return err ? QString::fromUtf8(err->message) : QStringLiteral("录像出错");
}

bool isRecordingElement(GstObject* obj)
{
    if (!obj || !GST_IS_ELEMENT(obj))
        return false;
    gchar* name = gst_object_get_name(obj);
    const bool rec = name && g_str_has_prefix(name, kRecPrefix);
    g_free(name);
    return rec;
}
}

namespace {
// The recording's file while it is written: a new owner-only file under a
// short fixed hidden name beside the chosen one, ending in .avi so that what a
// killed program left plays (kept when it does not get its name), written only
// through its descriptor and named through the folder's descriptor once complete.
struct RecordingFile {
    PrivateFile::Folder folder;   // the folder of the chosen name, opened once
    std::unique_ptr<PrivateFile::NewFile> file;
    QString temp;        // the temporary name, for messages
    QByteArray target;   // the chosen name in folder (through a link, the name it points at)

    bool isOpen() const { return file != nullptr; }
    QString path(const QByteArray& name) const { return QDir::toNativeSeparators(folder.pathOf(name)); }
    bool targetExists() const
    {
        struct stat st {};
        return folder.stat(target, &st) == 0;
    }
};
}

struct VideoCapture::Private {
    VideoCapture* q = nullptr;
    QString aviFile;
    QString frameFile;
    QString source;

    GstElement* pipeline = nullptr;
    GstElement* src = nullptr;
    GstElement* tee = nullptr;
    GstElement* viewCaps = nullptr;   // the size the view branch scales to

    // The recording branch while it exists.
    GstPad* teePad = nullptr;
    GstElement* recQueue = nullptr;
    QList<GstElement*> recElements;   // queue first, the file sink last
    RecordingFile rec;                // the file being written and where it goes

    // Shared with the streaming threads.
    mutable std::mutex m;
    // The latest frame at full resolution as the source delivers it (its
    // buffer is only referenced: converted to a BMP's layout when captured).
    GstSample* latest = nullptr;
    quint64 latestSerial = 0;
    // The latest frame at the size it is shown, 32-bit (wraps a GStreamer buffer).
    QImage view;
    // A frame handed in (tests, benchmarks): the latest frame until the source delivers another.
    std::shared_ptr<const Bitmap24> presented;
    QSize sourceSize;
    quint64 frames = 0;
    QString error;
    // The source stopped delivering (an error or the end of its stream, as
    // when a camera is unplugged): there is no current frame until the next
    // Connect.
    bool lost = false;
    bool eosAtFile = false;
    bool recordingFailed = false;
    bool failureSeen = false;   // recordingFailed is set just after the failure is queued for the GUI thread
    quint64 recordings = 0;     // recordings started: which one a failure belongs to
    // GUI thread: the last recording that was not completed left the file of
    // the chosen name as it was, and one was there.
    bool earlierKept = false;
    // A frame handed in that the live picture does not replace (benchmarks).
    bool held = false;
    int slowWriteMs = 0;   // for tests
    std::atomic<bool> repaintPending{false};
    // Shown on screen: while hidden, no frame is scaled for the view.
    std::atomic<bool> shown{false};
    // A view frame not painted yet: the next one is not scaled until it is.
    std::atomic<bool> viewPending{false};
    // A wait is in progress: what it may wait for wakes it.
    std::atomic<bool> waitArmed{false};
    // A wake is on its way to the GUI thread: no second one is posted.
    std::atomic<bool> wakePosted{false};
    // Frames handed to the control to paint (tests and benchmarks count them).
    std::atomic<quint64> framesToPaint{0};

    // GUI thread only.
    bool waiting = false;               // Connect or StopRecording is waiting
    bool stopping = false;              // StopRecording is ending the recording
    quint64 failureTold = 0;            // the last recording whose failure was signalled
    std::function<void()> onStopping;   // tests
    bool disconnectPending = false;     // a Disconnect asked for while waiting
    QSize viewSize;                     // what viewCaps asks for
    int testPattern = 18;               // ball: consecutive frames differ
    // The last frame converted for a capture, so a second grab of it is free.
    mutable std::mutex convertLock;
    mutable quint64 convertedSerial = 0;
    mutable std::shared_ptr<const Bitmap24> converted;
    mutable GstVideoConverter* converter = nullptr;
    mutable GstVideoInfo convertedFrom{};
    mutable QImage presentedView;   // a handed-in frame scaled to the view

    // How many waits run (GUI thread; nested ones too).
    int waits = 0;
    // Waits until done() holds or the time is up (EventWait), woken by what
    // the streaming threads report; true when done.
    bool waitFor(int timeoutMs, const std::function<bool()>& done, QEventLoop::ProcessEventsFlags flags);
    // Connect's and StopRecording's wait: events other than user input are
    // handled meanwhile, so that the window keeps painting and the live
    // picture keeps running. True when done.
    bool waitResponsive(int timeoutMs, const std::function<bool()>& done);
    // Any thread: something a wait may be waiting for has happened (a frame,
    // a state change, an error, the end of a recording at the file): an empty
    // queued call wakes the GUI thread, which checks. Nothing is posted while
    // no wait runs, nor while a wake is still on its way.
    void wake();

    static GstFlowReturn onNewSample(GstAppSink* sink, gpointer user);
    static void onViewEos(GstAppSink* sink, gpointer user);
    static GstBusSyncReply onBusMessage(GstBus* bus, GstMessage* msg, gpointer user);
    static GstPadProbeReturn onSourceFrame(GstPad* pad, GstPadProbeInfo* info, gpointer user);
    static GstPadProbeReturn onViewFrame(GstPad* pad, GstPadProbeInfo* info, gpointer user);
    static GstPadProbeReturn onEosAtFile(GstPad* pad, GstPadProbeInfo* info, gpointer user);
    static GstPadProbeReturn onSlowWrite(GstPad* pad, GstPadProbeInfo* info, gpointer user);
    static GstPadProbeReturn onTeePadIdle(GstPad* pad, GstPadProbeInfo* info, gpointer user);
    static GstPadProbeReturn onRecordingData(GstPad* pad, GstPadProbeInfo* info, gpointer user);

    bool buildPipeline(const VideoSettings& s);
    void destroyPipeline();
    void removeRecordingBranch();
    // Makes rec, the file a new recording of aviFile is written to.
    bool makeRecordingFile();
    enum RecordingEnd {
        RecordingComplete,
        RecordingFailed,
        RecordingInterrupted
    };
    // True when the recording is complete under the chosen name.
    bool finishRecordingFile(RecordingEnd end);
    void markLost(const QString& text);
    void clearFramesLocked();
    void updateViewCaps();
    std::shared_ptr<const Bitmap24> convertLatest() const;
};

namespace {
// The frame of a sample in a BMP's layout: 24-bit blue-green-red rows, bottom-up.
// converter and convertedFrom keep the converter (and its threads) from one
// capture to the next while the source's format stays.
std::shared_ptr<Bitmap24> bitmapOfSample(GstSample* sample, GstVideoConverter*& converter, GstVideoInfo& convertedFrom)
{
    GstVideoInfo in;
    GstBuffer* buffer = gst_sample_get_buffer(sample);
    if (!buffer || !gst_video_info_from_caps(&in, gst_sample_get_caps(sample)))
        return nullptr;
    const int w = GST_VIDEO_INFO_WIDTH(&in), h = GST_VIDEO_INFO_HEIGHT(&in);
    auto dib = std::make_shared<Bitmap24>();
    if (!dib->Create(w, h))
        return nullptr;
    const int bpl = dib->BytesPerScanLine();
    // The bitmap's memory as a BGR frame whose first line is the last row in
    // memory: the converter writes the picture upright into the bottom-up rows.
    GstVideoInfo out;
    gst_video_info_set_format(&out, GST_VIDEO_FORMAT_BGR, guint(w), guint(h));
    GST_VIDEO_INFO_FPS_N(&out) = GST_VIDEO_INFO_FPS_N(&in);
    GST_VIDEO_INFO_FPS_D(&out) = GST_VIDEO_INFO_FPS_D(&in);
    out.stride[0] = -bpl;
    out.offset[0] = gsize(bpl) * gsize(h - 1);
    out.size = gsize(bpl) * gsize(h);
    GstBuffer* target = gst_buffer_new_wrapped_full(GstMemoryFlags(0), dib->DIBSectionBitsPtr(), out.size, 0, out.size,
                                                    nullptr, nullptr);
    GstVideoFrame from, to;
    bool ok = false;
    if (gst_video_frame_map(&from, &in, buffer, GST_MAP_READ)) {
        if (gst_video_frame_map(&to, &out, target, GST_MAP_WRITE)) {
            if (converter && !gst_video_info_is_equal(&convertedFrom, &in)) {
                gst_video_converter_free(converter);
                converter = nullptr;
            }
            if (!converter) {
                GstStructure* config = gst_structure_new("config", GST_VIDEO_CONVERTER_OPT_THREADS, G_TYPE_UINT,
                                                         guint(std::clamp(QThread::idealThreadCount(), 1, 4)), nullptr);
                converter = gst_video_converter_new(&in, &out, config);
                convertedFrom = in;
            }
            if (converter) {
                gst_video_converter_frame(converter, &from, &to);
                ok = true;
            }
            gst_video_frame_unmap(&to);
        }
        gst_video_frame_unmap(&from);
    }
    gst_buffer_unref(target);
    return ok ? dib : nullptr;
}

// The area a picture of the given size takes in a box, its proportions kept
// and centred (bars at the sides or at the top and bottom).
QRect fitInto(QSize picture, const QRect& box)
{
    if (picture.isEmpty() || box.isEmpty())
        return box;
    const double scale = std::min(double(box.width()) / picture.width(), double(box.height()) / picture.height());
    const int w = std::max(1, int(std::nearbyint(picture.width() * scale)));
    const int h = std::max(1, int(std::nearbyint(picture.height() * scale)));
    return QRect(box.x() + (box.width() - w) / 2, box.y() + (box.height() - h) / 2, w, h);
}
}

QRect VideoCapture::pictureArea(QSize picture, const QRect& box) { return fitInto(picture, box); }

// --- streaming-thread callbacks ----------------------------------------------

// Every frame of the source passes here on its way into the tee: it becomes
// the latest frame by reference only; nothing is copied or converted.
GstPadProbeReturn VideoCapture::Private::onSourceFrame(GstPad* pad, GstPadProbeInfo* info, gpointer user)
{
    auto* p = static_cast<Private*>(user);
    if (GST_PAD_PROBE_INFO_TYPE(info) & GST_PAD_PROBE_TYPE_EVENT_DOWNSTREAM) {
        GstEvent* ev = GST_PAD_PROBE_INFO_EVENT(info);
        GstCaps* caps = nullptr;
        GstVideoInfo vi;
        if (ev && GST_EVENT_TYPE(ev) == GST_EVENT_CAPS) {
            gst_event_parse_caps(ev, &caps);
            if (caps && gst_video_info_from_caps(&vi, caps)) {
                const QSize size(GST_VIDEO_INFO_WIDTH(&vi), GST_VIDEO_INFO_HEIGHT(&vi));
                {
                    std::lock_guard lock(p->m);
                    if (p->sourceSize == size)
                        return GST_PAD_PROBE_OK;
                    p->sourceSize = size;
                }
                VideoCapture* q = p->q;
                QMetaObject::invokeMethod(
                    q, [q] { q->d->updateViewCaps(); }, Qt::QueuedConnection);
            }
        }
        return GST_PAD_PROBE_OK;
    }
    GstBuffer* buffer = GST_PAD_PROBE_INFO_BUFFER(info);
    GstCaps* caps = buffer ? gst_pad_get_current_caps(pad) : nullptr;
    if (!caps)
        return GST_PAD_PROBE_OK;
    GstSample* sample = gst_sample_new(buffer, caps, nullptr, nullptr);
    gst_caps_unref(caps);
    GstSample* old = nullptr;
    {
        std::lock_guard lock(p->m);
        if (p->lost) {
            old = sample;
        } else {
            old = std::exchange(p->latest, sample);
            ++p->latestSerial;
            if (!p->held)
                p->presented.reset();
            ++p->frames;
        }
    }
    if (old)
        gst_sample_unref(old);
    p->wake();
    return GST_PAD_PROBE_OK;
}

// In front of the view branch: a frame nobody will see (the control hidden,
// or the last one not painted yet) is dropped before it is scaled.
GstPadProbeReturn VideoCapture::Private::onViewFrame(GstPad*, GstPadProbeInfo*, gpointer user)
{
    auto* p = static_cast<Private*>(user);
    return p->shown.load() && !p->viewPending.load() ? GST_PAD_PROBE_OK : GST_PAD_PROBE_DROP;
}

// A frame scaled to the shown size: kept as it is, the image wrapping the
// buffer, and painted by the GUI thread.
GstFlowReturn VideoCapture::Private::onNewSample(GstAppSink* sink, gpointer user)
{
    auto* p = static_cast<Private*>(user);
    GstSample* sample = gst_app_sink_pull_sample(sink);
    if (!sample)
        return GST_FLOW_EOS;
    GstVideoInfo info;
    GstBuffer* buffer = gst_sample_get_buffer(sample);
    auto* frame = new GstVideoFrame;
    if (!buffer || !gst_video_info_from_caps(&info, gst_sample_get_caps(sample))
        || !gst_video_frame_map(frame, &info, buffer, GST_MAP_READ)) {
        delete frame;
        gst_sample_unref(sample);
        return GST_FLOW_OK;
    }
    struct Held {
        GstVideoFrame* frame;
        GstSample* sample;
    };
    auto* held = new Held{frame, sample};
    // BGRx rows are the 32-bit pixels of Format_RGB32 on this byte order.
    QImage image(
        static_cast<const uchar*>(GST_VIDEO_FRAME_PLANE_DATA(frame, 0)), GST_VIDEO_FRAME_WIDTH(frame),
        GST_VIDEO_FRAME_HEIGHT(frame), GST_VIDEO_FRAME_PLANE_STRIDE(frame, 0), QImage::Format_RGB32,
        [](void* data) {
            auto* h = static_cast<Held*>(data);
            gst_video_frame_unmap(h->frame);
            delete h->frame;
            gst_sample_unref(h->sample);
            delete h;
        },
        held);
    {
        std::lock_guard lock(p->m);
        if (p->lost)
            return GST_FLOW_OK;   // the image lets go of the buffer
        std::swap(p->view, image);
        p->viewPending = true;
    }
    if (!p->repaintPending.exchange(true)) {
        VideoCapture* q = p->q;
        QMetaObject::invokeMethod(
            q,
            [q] {
                q->d->repaintPending = false;
                if (!q->isVisible())
                    return;   // scaled just before the control was hidden
                q->update();
                ++q->d->framesToPaint;
            },
            Qt::QueuedConnection);
    }
    return GST_FLOW_OK;
}

void VideoCapture::Private::onViewEos(GstAppSink*, gpointer user)
{
    static_cast<Private*>(user)->markLost(QStringLiteral("end of stream"));
}

// Called on whichever thread found the source gone.
void VideoCapture::Private::markLost(const QString& text)
{
    {
        std::lock_guard lock(m);
        if (lost)
            return;
        lost = true;
        clearFramesLocked();
        if (error.isEmpty())
            error = text;
    }
    wake();
    QMetaObject::invokeMethod(
        q,
        [q = q, text] {
            q->update();
            emit q->sourceLost(text);
        },
        Qt::QueuedConnection);
}

GstBusSyncReply VideoCapture::Private::onBusMessage(GstBus*, GstMessage* msg, gpointer user)
{
    auto* p = static_cast<Private*>(user);
    if (GST_MESSAGE_TYPE(msg) == GST_MESSAGE_STATE_CHANGED)
        p->wake();   // Connect waits for the pipeline to play
    if (GST_MESSAGE_TYPE(msg) == GST_MESSAGE_ERROR) {
        GError* err = nullptr;
        gchar* debug = nullptr;
        gst_message_parse_error(msg, &err, &debug);
        const bool recording = isRecordingElement(GST_MESSAGE_SRC(msg));
        const QString text = recording ? recordingFailure(err, debug)
                             : err     ? QString::fromUtf8(err->message)
                                       : QStringLiteral("error");
        if (err)
            g_error_free(err);
        g_free(debug);
        if (recording) {
            // The recording failed (file not writable, disk full): the live
            // picture goes on. The first error is the cause; the branch's
            // elements report their stopped data flow after it.
            bool first = false;
            quint64 which = 0;
            {
                std::lock_guard lock(p->m);
                first = !std::exchange(p->failureSeen, true);
                if (first)
                    p->error = text;
                which = p->recordings;
            }
            // Queued before the failure is marked, so that a stop that sees the
            // failure finds it queued. It is told only while that recording
            // runs and nobody stops it: a stop tells its failure by its result.
            if (first) {
                VideoCapture* q = p->q;
                QMetaObject::invokeMethod(
                    q,
                    [q, which, text] {
                        Private& d = *q->d;
                        {
                            std::lock_guard lock(d.m);
                            if (which != d.recordings)
                                return;
                        }
                        if (!q->isRecording() || d.stopping || std::exchange(d.failureTold, which) == which)
                            return;
                        emit q->recordingFailed(text);
                    },
                    Qt::QueuedConnection);
            }
            {
                std::lock_guard lock(p->m);
                p->recordingFailed = true;
            }
            p->wake();
        } else {
            {
                std::lock_guard lock(p->m);
                p->error = text;
            }
            p->markLost(text);
        }
        VideoCapture* q = p->q;
        QMetaObject::invokeMethod(
            q, [q, text] { emit q->errorOccurred(text); }, Qt::QueuedConnection);
    }
    // Nobody pops the bus: everything of interest is handled here. A message
    // dropped here is ours to release (it holds its element, and through it
    // the whole pipeline, alive).
    gst_message_unref(msg);
    return GST_BUS_DROP;
}

GstPadProbeReturn VideoCapture::Private::onEosAtFile(GstPad*, GstPadProbeInfo* info, gpointer user)
{
    auto* p = static_cast<Private*>(user);
    GstEvent* ev = GST_PAD_PROBE_INFO_EVENT(info);
    if (ev && GST_EVENT_TYPE(ev) == GST_EVENT_EOS) {
        {
            std::lock_guard lock(p->m);
            p->eosAtFile = true;
        }
        p->wake();
    }
    return GST_PAD_PROBE_OK;
}

GstPadProbeReturn VideoCapture::Private::onSlowWrite(GstPad*, GstPadProbeInfo*, gpointer user)
{
    g_usleep(gulong(static_cast<Private*>(user)->slowWriteMs) * 1000);
    return GST_PAD_PROBE_OK;
}

GstPadProbeReturn VideoCapture::Private::onTeePadIdle(GstPad* pad, GstPadProbeInfo*, gpointer user)
{
    // No buffer is on its way into the branch: detach it and let it drain.
    // user is the branch's first sink pad, held by the probe (the branch may
    // already be gone when a stop gave up waiting).
    auto* sinkPad = static_cast<GstPad*>(user);
    gst_pad_unlink(pad, sinkPad);
    gst_pad_send_event(sinkPad, gst_event_new_eos());
    return GST_PAD_PROBE_REMOVE;
}

GstPadProbeReturn VideoCapture::Private::onRecordingData(GstPad* pad, GstPadProbeInfo* info, gpointer)
{
    // Hands the tee's data to the recording branch itself and keeps the
    // branch's result from the tee: a failed recording (disk full) would
    // otherwise return its error through the tee and stop the source. The
    // branch still holds the tee back while its queue is full.
    if (GstPad* peer = gst_pad_get_peer(pad)) {
        if (GST_PAD_PROBE_INFO_TYPE(info) & GST_PAD_PROBE_TYPE_BUFFER)
            gst_pad_chain(peer, gst_buffer_ref(GST_PAD_PROBE_INFO_BUFFER(info)));
        else if (GST_PAD_PROBE_INFO_TYPE(info) & GST_PAD_PROBE_TYPE_BUFFER_LIST)
            gst_pad_chain_list(peer, gst_buffer_list_ref(GST_PAD_PROBE_INFO_BUFFER_LIST(info)));
        gst_object_unref(peer);
    }
    return GST_PAD_PROBE_DROP;
}

// --- pipeline ---------------------------------------------------------------

bool VideoCapture::Private::buildPipeline(const VideoSettings& s)
{
    const bool test = source == VideoSettings::testPattern();
    src = make(test ? "videotestsrc" : "v4l2src");
    GstElement* caps = make("capsfilter");
    GstElement* conv = make("videoconvert");
    tee = make("tee");
    GstElement* viewQueue = make("queue");
    GstElement* viewScale = make("videoconvertscale");
    viewCaps = make("capsfilter");
    GstElement* view = make("appsink");
    GstElement* dec = nullptr;
    pipeline = gst_pipeline_new("video");

    QList<GstElement*> all = {src, caps, conv, tee, viewQueue, viewScale, viewCaps, view};
    bool jpeg = false;
    GstCaps* wanted = nullptr;
    QSize size;
    if (test) {
        // The planar 4:2:0 a camera's JPEG decodes to (left to itself the
        // pattern would pick 16 bits a channel).
        g_object_set(src, "is-live", TRUE, "pattern", testPattern, nullptr);
        wanted =
            gst_caps_new_simple("video/x-raw", "format", G_TYPE_STRING, "I420", "width", G_TYPE_INT, s.width, "height",
                                G_TYPE_INT, s.height, "framerate", GST_TYPE_FRACTION, s.fps.num, s.fps.den, nullptr);
        size = QSize(s.width, s.height);
    } else {
        g_object_set(src, "device", QFile::encodeName(source).constData(), nullptr);
        // The configured mode when the device offers it, else the nearest offer.
        const QList<VideoDevices::Mode> offered = VideoDevices::modes(source);
        const VideoDevices::Mode want{s.width, s.height, s.fps, false};
        const VideoDevices::Mode* pick = nullptr;
        for (const auto& m : offered)
            if (!pick && m.width == want.width && m.height == want.height && m.fps == want.fps)
                pick = &m;
        for (const auto& m : offered)
            if (!pick && m.width == want.width && m.height == want.height)
                pick = &m;
        if (!pick && !offered.isEmpty())
            pick = &offered.first();
        if (pick) {
            jpeg = pick->jpeg;
            wanted = gst_caps_new_simple(jpeg ? "image/jpeg" : "video/x-raw", "width", G_TYPE_INT, pick->width,
                                         "height", G_TYPE_INT, pick->height, "framerate", GST_TYPE_FRACTION,
                                         pick->fps.num, pick->fps.den, nullptr);
            size = QSize(pick->width, pick->height);
        } else {
            wanted = gst_caps_new_empty_simple("video/x-raw");
        }
        if (jpeg) {
            dec = make("jpegdec");
            all.append(dec);
        }
    }
    all.append(pipeline);
    if (all.contains(nullptr)) {
        for (GstElement* e : all)
            if (e)
                gst_object_unref(e);
        gst_caps_unref(wanted);
        pipeline = tee = src = viewCaps = nullptr;
        return false;
    }
    g_object_set(caps, "caps", wanted, nullptr);
    gst_caps_unref(wanted);
    {
        std::lock_guard lock(m);
        sourceSize = size;
    }
    // The view branch scales each frame once, in GStreamer, to the size it is
    // shown at, and converts it to the 32-bit pixels the screen takes; its
    // queue keeps only the newest frame. The full-size frame is only
    // referenced in front of the tee, for a capture.
    g_object_set(viewQueue, "leaky", 2 /* downstream */, "max-size-buffers", 1, "max-size-bytes", 0, "max-size-time",
                 guint64(0), nullptr);
    viewSize = QSize();
    updateViewCaps();
    // Not waiting for a first frame to finish starting: the view branch gets
    // none while the control is hidden.
    g_object_set(view, "sync", FALSE, "async", FALSE, "max-buffers", 1, "drop", TRUE, nullptr);
    GstAppSinkCallbacks callbacks{};
    callbacks.new_sample = &Private::onNewSample;
    callbacks.eos = &Private::onViewEos;
    gst_app_sink_set_callbacks(GST_APP_SINK(view), &callbacks, this, nullptr);

    gst_bin_add_many(GST_BIN(pipeline), src, caps, conv, tee, viewQueue, viewScale, viewCaps, view, nullptr);
    bool linked = true;
    if (dec) {
        gst_bin_add(GST_BIN(pipeline), dec);
        linked = gst_element_link_many(src, caps, dec, conv, tee, nullptr);
    } else {
        linked = gst_element_link_many(src, caps, conv, tee, nullptr);
    }
    linked = linked && gst_element_link_many(tee, viewQueue, viewScale, viewCaps, view, nullptr);
    if (linked) {
        GstPad* teeSink = gst_element_get_static_pad(tee, "sink");
        gst_pad_add_probe(teeSink, GstPadProbeType(GST_PAD_PROBE_TYPE_BUFFER | GST_PAD_PROBE_TYPE_EVENT_DOWNSTREAM),
                          &Private::onSourceFrame, this, nullptr);
        gst_object_unref(teeSink);
        GstPad* viewIn = gst_element_get_static_pad(viewQueue, "sink");
        gst_pad_add_probe(viewIn, GST_PAD_PROBE_TYPE_BUFFER, &Private::onViewFrame, this, nullptr);
        gst_object_unref(viewIn);
    }

    GstBus* bus = gst_element_get_bus(pipeline);
    gst_bus_set_sync_handler(bus, &Private::onBusMessage, this, nullptr);
    gst_object_unref(bus);
    if (!linked) {
        destroyPipeline();
        return false;
    }
    return true;
}

// Asks the view branch for frames of the size the picture takes in the
// control, its proportions kept (GUI thread: at connect, on resize, and when
// the source's size becomes known).
void VideoCapture::Private::updateViewCaps()
{
    if (!viewCaps)
        return;
    QSize source;
    {
        std::lock_guard lock(m);
        source = sourceSize;
    }
    const QRect box(QPoint(0, 0), q->size().expandedTo(QSize(16, 16)));
    const QSize want = source.isEmpty() ? box.size() : fitInto(source, box).size();
    if (want == viewSize)
        return;
    viewSize = want;
    GstCaps* c =
        gst_caps_new_simple("video/x-raw", "format", G_TYPE_STRING, "BGRx", "width", G_TYPE_INT, want.width(), "height",
                            G_TYPE_INT, want.height(), "pixel-aspect-ratio", GST_TYPE_FRACTION, 1, 1, nullptr);
    g_object_set(viewCaps, "caps", c, nullptr);
    gst_caps_unref(c);
}

void VideoCapture::Private::clearFramesLocked()
{
    if (latest)
        gst_sample_unref(std::exchange(latest, nullptr));
    view = QImage();
    presented.reset();
    viewPending = false;
}

// The latest frame in a BMP's layout (GUI thread; converted once per frame).
std::shared_ptr<const Bitmap24> VideoCapture::Private::convertLatest() const
{
    GstSample* sample = nullptr;
    quint64 serial = 0;
    {
        std::lock_guard lock(m);
        if (presented)
            return presented;
        if (!latest)
            return nullptr;
        sample = gst_sample_ref(latest);
        serial = latestSerial;
    }
    std::lock_guard lock(convertLock);
    if (!converted || convertedSerial != serial) {
        converted = bitmapOfSample(sample, converter, convertedFrom);
        convertedSerial = serial;
    }
    gst_sample_unref(sample);
    return converted;
}

void VideoCapture::Private::destroyPipeline()
{
    if (!pipeline)
        return;
    // Stops the streaming threads before returning.
    gst_element_set_state(pipeline, GST_STATE_NULL);
    GstBus* bus = gst_element_get_bus(pipeline);
    gst_bus_set_sync_handler(bus, nullptr, nullptr, nullptr);
    gst_object_unref(bus);
    if (teePad) {
        gst_object_unref(teePad);
        teePad = nullptr;
    }
    recElements.clear();
    recQueue = nullptr;
    finishRecordingFile(RecordingInterrupted);
    gst_object_unref(pipeline);
    pipeline = nullptr;
    tee = nullptr;
    src = nullptr;
    viewCaps = nullptr;
    {
        // The frames hold buffers of the pipeline's pools.
        std::lock_guard lock(m);
        clearFramesLocked();
    }
    std::lock_guard lock(convertLock);
    converted.reset();
    presentedView = QImage();
    if (converter)
        gst_video_converter_free(std::exchange(converter, nullptr));
}

bool VideoCapture::Private::makeRecordingFile()
{
    PrivateFile::Name chosen = PrivateFile::resolve(aviFile);
    struct stat st {};
    // A folder of the chosen name would only refuse the finished recording.
    if (chosen.ok() && chosen.folder.stat(chosen.entry, &st) == 0 && S_ISDIR(st.st_mode))
        chosen.error = EISDIR;
    auto file = chosen.ok() ? std::make_unique<PrivateFile::NewFile>(chosen.folder, PrivateFile::Temporary::Kept,
                                                                     QByteArrayLiteral(".avi"))
                            : nullptr;
    const int err = file ? file->error() : chosen.error;
    if (err != 0) {
        if (file)
            file->discard();
        const QString folder = chosen.folder.isOpen() ? chosen.folder.path() : QFileInfo(aviFile).absolutePath();
        std::lock_guard lock(m);
        error = !chosen.refusedLink.isEmpty() ? PrivateFile::refusedLinkText(chosen.refusedLink)
                                              : QStringLiteral("文件夹 %1 中不能建立录像文件（%2）")
                                                    .arg(QDir::toNativeSeparators(folder), fileReason(err));
        return false;
    }
    rec.temp = QDir::toNativeSeparators(file->temporaryPath());
    rec.file = std::move(file);
    rec.folder = std::move(chosen.folder);
    rec.target = chosen.entry;
    return true;
}

// After the recording branch has let go of the file: a complete recording is
// synced and takes the chosen name (replacing an earlier file of that name
// only now); a failed one (disk full) is removed, the earlier file kept; one
// whose end never reached the file keeps its temporary name.
bool VideoCapture::Private::finishRecordingFile(RecordingEnd end)
{
    if (!rec.isOpen())
        return false;
    RecordingFile f = std::exchange(rec, RecordingFile{});
    // Whatever went wrong, the file of the chosen name has not been touched.
    earlierKept = f.targetExists();
    const auto fail = [this](const QString& text) {
        std::lock_guard lock(m);
        error = text;
        return false;
    };
    if (end == RecordingFailed) {
        f.file->discard();
        return false;
    }
    const QByteArray temp = QFile::encodeName(QFileInfo(f.temp).fileName());
    const QString onlyHere = QStringLiteral("请把录像存到只有本账户能写入的文件夹");
    if (end == RecordingInterrupted)
        return fail(
            f.file->isAt(temp)
                ? QStringLiteral("录像未能写完，未完成的录像保留为 ") + f.temp
                : QStringLiteral("录像未能写完，它的临时文件 %1 又被另一个账户改名或换成了别的文件。").arg(f.temp)
                      + onlyHere);
    // A temporary name another account took away (a folder others may
    // write): the file itself is named through its descriptor.
    if (const int err = f.file->commit(f.target)) {
        const QString kept = f.file->temporaryPath();
        if (!kept.isEmpty()) {
            // The recording stays whole under its temporary name.
            const QString text = fileReason(err) + QStringLiteral("，录像保留为 ") + QDir::toNativeSeparators(kept);
            fail(text);
            QMetaObject::invokeMethod(
                q, [q = q, text] { emit q->errorOccurred(text); }, Qt::QueuedConnection);
            return false;
        }
        return fail(
            QStringLiteral("录像期间临时文件 %1 被另一个账户改名或换成了别的文件，录像也未能存为所选的名字（%2），"
                           "录像未能保存。")
                .arg(f.temp, fileReason(err))
            + onlyHere);
    }
    // In a folder that others may write, the name can still be swapped right
    // after the rename: what took the chosen name is looked at again, and the
    // user told when it is not the recording.
    earlierKept = false;
    if (!f.file->isAt(f.target))
        return fail(QStringLiteral("录像存为 %1 的同时，这个名字被另一个账户换成了别的文件，录像未能保存。")
                        .arg(f.path(f.target))
                    + onlyHere);
    return true;
}

void VideoCapture::Private::removeRecordingBranch()
{
    if (teePad) {
        gst_element_release_request_pad(tee, teePad);
        gst_object_unref(teePad);
        teePad = nullptr;
    }
    for (GstElement* e : recElements) {
        gst_element_set_state(e, GST_STATE_NULL);
        gst_bin_remove(GST_BIN(pipeline), e);
    }
    recElements.clear();
    recQueue = nullptr;
}

void VideoCapture::Private::wake()
{
    if (!waitArmed.load() || wakePosted.exchange(true))
        return;
    QMetaObject::invokeMethod(
        q, [q = q] { q->d->wakePosted = false; }, Qt::QueuedConnection);
}

bool VideoCapture::Private::waitFor(int timeoutMs, const std::function<bool()>& done,
                                    QEventLoop::ProcessEventsFlags flags)
{
    ++waits;
    waitArmed = true;
    const bool ok = EventWait::until(done, timeoutMs, flags);
    waitArmed = --waits > 0;
    return ok;
}

bool VideoCapture::Private::waitResponsive(int timeoutMs, const std::function<bool()>& done)
{
    const bool outer = !waiting;
    waiting = true;
    const bool ok = waitFor(timeoutMs, done, QEventLoop::ExcludeUserInputEvents);
    if (outer)
        waiting = false;
    return ok;
}

// --- the control --------------------------------------------------------------

VideoCapture::VideoCapture(QWidget* parent) : QWidget(parent), d(std::make_unique<Private>())
{
    d->q = this;
    setAttribute(Qt::WA_OpaquePaintEvent);
    // A recording still running when the program ends is completed.
    connect(qApp, &QCoreApplication::aboutToQuit, this, &VideoCapture::Disconnect);
}

VideoCapture::~VideoCapture() { Disconnect(); }

void VideoCapture::setAviFileName(const QString& path) { d->aviFile = path; }
QString VideoCapture::AviFileName() const { return d->aviFile; }
void VideoCapture::setFrameFileName(const QString& path) { d->frameFile = path; }
QString VideoCapture::FrameFileName() const { return d->frameFile; }
bool VideoCapture::isConnected() const { return d->pipeline != nullptr; }
bool VideoCapture::isRecording() const { return !d->recElements.isEmpty(); }

bool VideoCapture::hasStopped() const
{
    std::lock_guard lock(d->m);
    return d->pipeline && d->lost;
}

QString VideoCapture::lastError() const
{
    std::lock_guard lock(d->m);
    return d->error;
}

bool VideoCapture::Connect()
{
    if (d->pipeline)
        return true;
    if (!ensureGst())
        return false;
    const VideoSettings s = VideoSettings::load();
    d->source = VideoDevices::resolve(s);
    {
        std::lock_guard lock(d->m);
        d->clearFramesLocked();
        d->frames = 0;
        d->error.clear();
        d->lost = false;
        d->held = false;
    }
    QString absent;
    // What to do is said in the steps the editor offers with the video off.
    if (d->source.isEmpty())
        absent = QStringLiteral("未找到视频设备。请连接摄像头，再按“开启视频”。");
    else if (d->source != VideoSettings::testPattern() && !QFileInfo::exists(d->source))
        absent = QStringLiteral("视频设备不存在：%1。请连接该设备，或在“设 置”中选择另一个设备。").arg(d->source);
    if (!absent.isEmpty()) {
        std::lock_guard lock(d->m);
        d->error = absent;
        return false;
    }
    if (!d->buildPipeline(s)) {
        std::lock_guard lock(d->m);
        d->error = QStringLiteral("无法建立视频管道");
        return false;
    }

    // A device that is there but cannot be used (no camera, busy with another program, not
    // to be opened): GStreamer's words, and what the user can do about it.
    const auto unusable = [this] {
        d->destroyPipeline();
        std::lock_guard lock(d->m);
        d->error = QStringLiteral("视频设备 %1 无法使用（%2）。请确认它是已连接的摄像头、没有被其他程序占用，"
                                  "或在“设 置”中选择另一个设备。")
                       .arg(d->source, d->error.isEmpty() ? QStringLiteral("没有送来图像") : d->error);
        return false;
    };
    if (gst_element_set_state(d->pipeline, GST_STATE_PLAYING) == GST_STATE_CHANGE_FAILURE)
        return unusable();
    // Running means: playing, no error, and frames coming. A camera takes a
    // moment to start; the window keeps painting while it does, and a source
    // that sends nothing within the time allowed counts as not connected.
    GstElement* pipeline = d->pipeline;
    GstStateChangeReturn change = GST_STATE_CHANGE_SUCCESS;
    GstState state = GST_STATE_NULL;
    d->waitResponsive(kConnectTimeoutMs, [&] {
        change = gst_element_get_state(pipeline, &state, nullptr, 0);
        std::lock_guard lock(d->m);
        return change == GST_STATE_CHANGE_FAILURE || d->lost || (state == GST_STATE_PLAYING && d->frames > 0);
    });
    bool ok = change != GST_STATE_CHANGE_FAILURE && state == GST_STATE_PLAYING && !d->disconnectPending;
    {
        std::lock_guard lock(d->m);
        ok = ok && !d->lost && d->frames > 0;
    }
    d->disconnectPending = false;
    return ok || unusable();
}

void VideoCapture::Disconnect()
{
    if (!d->pipeline)
        return;
    if (d->waiting) {
        // Asked for while a connect or a stop waits (an event handled
        // meanwhile): done as soon as that wait is over.
        d->disconnectPending = true;
        return;
    }
    if (isRecording())
        StopRecording();
    d->destroyPipeline();
    {
        std::lock_guard lock(d->m);
        d->held = false;
    }
    update();
}

bool VideoCapture::StartRecording()
{
    if (isRecording())
        return false;
    auto refuse = [this](const QString& why) {
        std::lock_guard lock(d->m);
        d->error = why;
        return false;
    };
    if (!d->pipeline)
        return refuse(QStringLiteral("视频未开启"));
    if (d->aviFile.isEmpty())
        return refuse(QStringLiteral("没有录像文件名"));
    {
        // A source that has stopped would only give an empty file.
        std::lock_guard lock(d->m);
        if (d->lost) {
            d->error = QStringLiteral("视频设备已断开");
            return false;
        }
    }
    const VideoSettings s = VideoSettings::load();
    const char* const factories[] = {"queue", "videoconvert",
                                     s.codec == QLatin1String("raw") ? "capsfilter" : "jpegenc", "avimux", "fdsink"};
    const char* const names[] = {"rec-queue", "rec-convert", "rec-encoder", "rec-mux", "rec-file"};
    QList<GstElement*> chain;
    QStringList missing;
    for (size_t i = 0; i < std::size(factories); ++i) {
        chain.append(make(factories[i], names[i]));
        if (!chain.last())
            missing.append(QString::fromLatin1(factories[i]));
    }
    if (!missing.isEmpty()) {
        for (GstElement* e : chain)
            if (e)
                gst_object_unref(e);
        return refuse(QStringLiteral("缺少 GStreamer 组件 ") + missing.join(QStringLiteral("、")));
    }
    GstElement *queue = chain[0], *conv = chain[1], *enc = chain[2], *mux = chain[3], *sink = chain[4];
    if (s.codec == QLatin1String("raw")) {
        // Uncompressed: 24-bit DIB frames.
        GstCaps* bgr = gst_caps_new_simple("video/x-raw", "format", G_TYPE_STRING, "BGR", nullptr);
        g_object_set(enc, "caps", bgr, nullptr);
        gst_caps_unref(bgr);
    } else {
        g_object_set(enc, "quality", s.quality, nullptr);
    }
    // Written to a new owner-only file beside the chosen one, under a
    // temporary name: the chosen name is replaced only once the recording is
    // complete.
    if (!d->makeRecordingFile()) {
        for (GstElement* e : chain)
            gst_object_unref(e);
        return false;
    }
    // The sink writes to the file made here, by its descriptor (it seeks back
    // to complete the headers at the end); the file is ours to close.
    g_object_set(sink, "fd", d->rec.file->fd(), "async", FALSE, "sync", FALSE, nullptr);
    gst_bin_add_many(GST_BIN(d->pipeline), queue, conv, enc, mux, sink, nullptr);
    d->recElements = chain;
    d->recQueue = queue;
    {
        std::lock_guard lock(d->m);
        d->eosAtFile = false;
        d->recordingFailed = false;
        d->failureSeen = false;
        ++d->recordings;
    }
    bool ok = gst_element_link_many(queue, conv, enc, mux, sink, nullptr);
    if (ok) {
        GstPad* sinkPad = gst_element_get_static_pad(sink, "sink");
        gst_pad_add_probe(sinkPad, GST_PAD_PROBE_TYPE_EVENT_DOWNSTREAM, &Private::onEosAtFile, d.get(), nullptr);
        if (d->slowWriteMs > 0)
            gst_pad_add_probe(sinkPad, GstPadProbeType(GST_PAD_PROBE_TYPE_BUFFER | GST_PAD_PROBE_TYPE_BUFFER_LIST),
                              &Private::onSlowWrite, d.get(), nullptr);
        gst_object_unref(sinkPad);
        // Downstream first, so nothing receives data before it is ready.
        for (auto it = chain.crbegin(); ok && it != chain.crend(); ++it)
            ok = gst_element_sync_state_with_parent(*it);
    }
    if (ok) {
        GstState state = GST_STATE_NULL;
        gst_element_get_state(sink, &state, nullptr, GST_SECOND);
        ok = state == GST_STATE_PLAYING;
    }
    if (ok) {
        d->teePad = gst_element_request_pad_simple(d->tee, "src_%u");
        GstPad* queueSink = gst_element_get_static_pad(queue, "sink");
        if (d->teePad)
            gst_pad_add_probe(d->teePad, GstPadProbeType(GST_PAD_PROBE_TYPE_BUFFER | GST_PAD_PROBE_TYPE_BUFFER_LIST),
                              &Private::onRecordingData, nullptr, nullptr);
        ok = d->teePad && gst_pad_link(d->teePad, queueSink) == GST_PAD_LINK_OK;
        gst_object_unref(queueSink);
    }
    if (!ok) {
        d->removeRecordingBranch();
        d->finishRecordingFile(Private::RecordingFailed);
        std::lock_guard lock(d->m);
        if (!d->failureSeen)   // else the branch's own error says why
            d->error = QStringLiteral("录像文件无法开始写入：") + QDir::toNativeSeparators(d->aviFile);
        return false;
    }
    return true;
}

bool VideoCapture::earlierRecordingKept() const { return d->earlierKept; }

bool VideoCapture::StopRecording()
{
    if (!isRecording() || d->waiting)
        return true;
    // A failure from now on is told by the result, not by recordingFailed.
    d->stopping = true;
    if (d->onStopping)
        d->onStopping();
    if (d->teePad) {
        GstPad* queueSink = gst_element_get_static_pad(d->recQueue, "sink");
        gst_pad_add_probe(d->teePad, GST_PAD_PROBE_TYPE_IDLE, &Private::onTeePadIdle, queueSink,
                          reinterpret_cast<GDestroyNotify>(gst_object_unref));
        // The muxer writes its index on end-of-stream; wait until that reached
        // the file (or the branch failed, when no more will come). The live
        // picture and the window go on meanwhile.
        d->waitResponsive(kStopTimeoutMs, [this] {
            std::lock_guard lock(d->m);
            return d->eosAtFile || d->recordingFailed;
        });
    }
    Private::RecordingEnd end = Private::RecordingInterrupted;
    {
        std::lock_guard lock(d->m);
        if (d->recordingFailed)
            end = Private::RecordingFailed;
        else if (d->eosAtFile)
            end = Private::RecordingComplete;
    }
    d->removeRecordingBranch();   // the file sink has let go of the descriptor
    d->stopping = false;
    const bool saved = d->finishRecordingFile(end);
    if (d->disconnectPending) {
        d->disconnectPending = false;
        Disconnect();
    }
    return saved;
}

std::shared_ptr<const Bitmap24> VideoCapture::grabFrame() const
{
    if (d->frameFile.isEmpty())
        return nullptr;
    return d->convertLatest();   // null before the first frame and once the source has stopped
}

bool VideoCapture::writeFrame(const std::shared_ptr<const Bitmap24>& frame, const QString& path)
{
    return frame && BmpFile::write(*frame, path);
}

void VideoCapture::reconnectIfIdle()
{
    // New source or format settings take effect at once unless a recording runs
    // (then at the next connect).
    if (isConnected() && !isRecording()) {
        Disconnect();
        Connect();
    }
}

void VideoCapture::ShowSourceDialog()
{
    VideoSourceDialog dlg(this);
    dlg.load();
    if (Opener::showModal(&dlg) == QDialog::Accepted)
        reconnectIfIdle();
}

void VideoCapture::ShowFormatDialog()
{
    VideoFormatDialog dlg(this);
    dlg.load(isConnected() ? d->source : QString());
    if (Opener::showModal(&dlg) == QDialog::Accepted)
        reconnectIfIdle();
}

void VideoCapture::ShowCompressionDialog()
{
    VideoCompressionDialog dlg(this);
    dlg.load();
    Opener::showModal(&dlg);
}

void VideoCapture::paintEvent(QPaintEvent*)
{
    QImage picture;
    std::shared_ptr<const Bitmap24> presented;
    QSize source;
    {
        std::lock_guard lock(d->m);
        picture = d->view;
        presented = d->presented;
        source = d->sourceSize;
        d->viewPending = false;
    }
    QPainter p(this);
    QRect area;
    if (presented) {
        // A frame handed in: scaled here, once for each size it is shown at.
        area = fitInto(QSize(presented->Width(), presented->Height()), rect());
        std::lock_guard lock(d->convertLock);
        if (d->presentedView.size() != area.size())
            d->presentedView =
                presented->toImage().scaled(area.size(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        picture = d->presentedView;
    } else if (!picture.isNull()) {
        // Already at its size, unless the control was resized since it was scaled.
        area = fitInto(source.isEmpty() ? picture.size() : source, rect());
    }
    if (picture.isNull()) {
        p.fillRect(rect(), Qt::black);
        return;
    }
    // Bars where the picture does not reach.
    const QRegion bars = QRegion(rect()) - QRegion(area);
    for (const QRect& r : bars)
        p.fillRect(r, Qt::black);
    if (picture.size() == area.size())
        p.drawImage(area.topLeft(), picture);
    else
        p.drawImage(area, picture);
}

void VideoCapture::resizeEvent(QResizeEvent*) { d->updateViewCaps(); }

void VideoCapture::showEvent(QShowEvent*) { d->shown = true; }

void VideoCapture::hideEvent(QHideEvent*)
{
    d->shown = false;
    std::lock_guard lock(d->m);
    d->view = QImage();   // a stale picture is not shown when it comes back
    d->viewPending = false;
}

// --- tests and benchmarks -----------------------------------------------------

quint64 VideoCapture::Probe::framesReceived(const VideoCapture& v)
{
    std::lock_guard lock(v.d->m);
    return v.d->frames;
}

quint64 VideoCapture::Probe::framesToPaint(const VideoCapture& v) { return v.d->framesToPaint.load(); }

QImage VideoCapture::Probe::currentFrame(const VideoCapture& v)
{
    const std::shared_ptr<const Bitmap24> frame = v.d->convertLatest();
    return frame ? frame->toImage() : QImage();
}

bool VideoCapture::Probe::saveFrame(const VideoCapture& v)
{
    return VideoCapture::writeFrame(v.grabFrame(), v.FrameFileName());
}

bool VideoCapture::Probe::waitForFrame(VideoCapture& v, quint64 after, int timeoutMs)
{
    v.d->waitFor(
        timeoutMs, [&v, after] { return framesReceived(v) > after || !v.isConnected() || v.hasStopped(); },
        QEventLoop::AllEvents);
    // What the frame brought (a repaint) is handled too.
    QCoreApplication::processEvents();
    return framesReceived(v) > after;
}

bool VideoCapture::Probe::waitUntil(VideoCapture& v, const std::function<bool()>& done, int frames, int gapMs)
{
    for (int i = 0; !done(); ++i)
        if (i == frames || !waitForFrame(v, framesReceived(v), gapMs))
            return false;
    return true;
}

void VideoCapture::Probe::presentFrame(VideoCapture& v, const QImage& picture)
{
    auto dib = std::make_shared<Bitmap24>();
    dib->CreateFromPicture(picture);
    if (!dib->DIBSectionBitsPtr())
        return;
    {
        std::lock_guard lock(v.d->m);
        v.d->presented = std::move(dib);
        ++v.d->frames;
    }
    {
        std::lock_guard lock(v.d->convertLock);
        v.d->presentedView = QImage();
    }
    v.d->wake();
    v.update();
    ++v.d->framesToPaint;
}

void VideoCapture::Probe::holdFrame(VideoCapture& v, const QImage& picture)
{
    presentFrame(v, picture);
    std::lock_guard lock(v.d->m);
    v.d->held = !picture.isNull();
    if (!v.d->held)
        v.d->presented.reset();
}

void VideoCapture::Probe::failSource(VideoCapture& v)
{
    if (!v.d->src)
        return;
    // What a camera unplugged while streaming does: a read error, then the
    // end of the stream from the source.
    GST_ELEMENT_ERROR(v.d->src, RESOURCE, READ, ("Could not read from resource."), (nullptr));
    gst_element_send_event(v.d->src, gst_event_new_eos());
}

void VideoCapture::Probe::whenStopping(VideoCapture& v, std::function<void()> f) { v.d->onStopping = std::move(f); }

bool VideoCapture::Probe::recordingHasFailed(const VideoCapture& v)
{
    std::lock_guard lock(v.d->m);
    return v.d->recordingFailed;
}

void VideoCapture::Probe::slowRecording(VideoCapture& v, int msPerBuffer) { v.d->slowWriteMs = msPerBuffer; }

void VideoCapture::Probe::setTestPattern(VideoCapture& v, int pattern) { v.d->testPattern = pattern; }
