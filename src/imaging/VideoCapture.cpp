#include "imaging/VideoCapture.h"

#include "imaging/BmpFile.h"
#include "imaging/CaptureJpeg.h"
#include "imaging/Bitmap24.h"
#include "imaging/JpegWriter.h"
#include "imaging/VideoCompressionDialog.h"
#include "imaging/VideoFormatDialog.h"
#include "imaging/VideoSettings.h"
#include "imaging/VideoSourceDialog.h"
#include "platform/Opener.h"
#include "platform/PrivateFile.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QPainter>

#include <gst/app/gstappsink.h>
#include <gst/gst.h>
#include <gst/video/video.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>

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

GstElement* make(const char* factory, const char* name = nullptr)
{
    return gst_element_factory_make(factory, name);
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

struct VideoCapture::Private {
    VideoCapture* q = nullptr;
    QString aviFile;
    QString frameFile;
    QString source;

    GstElement* pipeline = nullptr;
    GstElement* src = nullptr;
    GstElement* tee = nullptr;

    // The recording branch while it exists.
    GstPad* teePad = nullptr;
    GstElement* recQueue = nullptr;
    QList<GstElement*> recElements;   // queue first, filesink last

    // Shared with the streaming threads.
    mutable std::mutex m;
    std::condition_variable cv;
    // The latest frame, already in the bottom-up 24-bit layout of a BMP.
    std::shared_ptr<const Bitmap24> frame;
    quint64 frames = 0;
    QString error;
    // The source stopped delivering (an error or the end of its stream, as
    // when a camera is unplugged): there is no current frame until the next
    // Connect.
    bool lost = false;
    bool eosAtFile = false;
    bool recordingFailed = false;
    // A frame handed in that the live picture does not replace (benchmarks).
    bool held = false;
    int slowWriteMs = 0;   // for tests
    std::atomic<bool> repaintPending{false};

    // GUI thread only.
    std::shared_ptr<const Bitmap24> saved;   // the frame the last SaveFrame wrote
    bool waiting = false;                    // Connect or StopRecording is waiting
    bool disconnectPending = false;          // a Disconnect asked for while waiting

    // Waits until done() holds or the time is up,
    // handling events other than user input meanwhile, so that the window
    // keeps painting and the live picture keeps running. True when done.
    template <typename Done>
    bool waitResponsive(int timeoutMs, Done done);

    static GstFlowReturn onNewSample(GstAppSink* sink, gpointer user);
    static void onViewEos(GstAppSink* sink, gpointer user);
    static GstBusSyncReply onBusMessage(GstBus* bus, GstMessage* msg, gpointer user);
    static GstPadProbeReturn onEosAtFile(GstPad* pad, GstPadProbeInfo* info, gpointer user);
    static GstPadProbeReturn onSlowWrite(GstPad* pad, GstPadProbeInfo* info, gpointer user);
    static GstPadProbeReturn onTeePadIdle(GstPad* pad, GstPadProbeInfo* info, gpointer user);
    static GstPadProbeReturn onRecordingData(GstPad* pad, GstPadProbeInfo* info, gpointer user);

    bool buildPipeline(const VideoSettings& s);
    void destroyPipeline();
    void removeRecordingBranch();
    void markLost(const QString& text);
};

// --- streaming-thread callbacks ----------------------------------------------

GstFlowReturn VideoCapture::Private::onNewSample(GstAppSink* sink, gpointer user)
{
    auto* p = static_cast<Private*>(user);
    GstSample* sample = gst_app_sink_pull_sample(sink);
    if (!sample)
        return GST_FLOW_EOS;
    GstVideoInfo info;
    GstBuffer* buffer = gst_sample_get_buffer(sample);
    GstVideoFrame vf;
    if (buffer && gst_video_info_from_caps(&info, gst_sample_get_caps(sample))
        && gst_video_frame_map(&vf, &info, buffer, GST_MAP_READ)) {
        const int w = GST_VIDEO_FRAME_WIDTH(&vf);
        const int h = GST_VIDEO_FRAME_HEIGHT(&vf);
        const int stride = GST_VIDEO_FRAME_PLANE_STRIDE(&vf, 0);
        const auto* data = static_cast<const uchar*>(GST_VIDEO_FRAME_PLANE_DATA(&vf, 0));
        // The view branch delivers BGR rows flipped upside down: memory rows
        // bottom-up, as a DIB holds them; the rows only need their padding.
        auto dib = std::make_shared<Bitmap24>();
        const bool made = dib->Create(w, h);
        if (made) {
            const int bpl = dib->BytesPerScanLine();
            if (stride == bpl)
                std::memcpy(dib->DIBSectionBitsPtr(), data, std::size_t(bpl) * h);
            else
                for (int y = 0; y < h; ++y)
                    std::memcpy(dib->DIBSectionBitsPtr() + std::size_t(y) * bpl, data + std::size_t(y) * stride,
                                std::size_t(w) * 3);
        }
        gst_video_frame_unmap(&vf);
        if (made) {
            {
                std::lock_guard lock(p->m);
                if (p->lost) {
                    gst_sample_unref(sample);
                    return GST_FLOW_OK;
                }
                if (!p->held)
                    p->frame = std::move(dib);
                ++p->frames;
            }
            p->cv.notify_all();
            if (!p->repaintPending.exchange(true)) {
                VideoCapture* q = p->q;
                QMetaObject::invokeMethod(q, [q] {
                    q->d->repaintPending = false;
                    q->update();
                    emit q->frameArrived();
                }, Qt::QueuedConnection);
            }
        }
    }
    gst_sample_unref(sample);
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
        frame.reset();
        if (error.isEmpty())
            error = text;
    }
    cv.notify_all();
    QMetaObject::invokeMethod(q, [q = q, text] {
        q->update();
        emit q->sourceLost(text);
    }, Qt::QueuedConnection);
}

GstBusSyncReply VideoCapture::Private::onBusMessage(GstBus*, GstMessage* msg, gpointer user)
{
    auto* p = static_cast<Private*>(user);
    if (GST_MESSAGE_TYPE(msg) == GST_MESSAGE_ERROR) {
        GError* err = nullptr;
        gchar* debug = nullptr;
        gst_message_parse_error(msg, &err, &debug);
        const QString text = err ? QString::fromUtf8(err->message) : QStringLiteral("error");
        if (err)
            g_error_free(err);
        g_free(debug);
        const bool recording = isRecordingElement(GST_MESSAGE_SRC(msg));
        if (recording) {
            // The recording failed (file not writable, disk full): the live picture goes on.
            {
                std::lock_guard lock(p->m);
                p->recordingFailed = true;
                p->error = text;
            }
            p->cv.notify_all();
        } else {
            {
                std::lock_guard lock(p->m);
                p->error = text;
            }
            p->markLost(text);
        }
        VideoCapture* q = p->q;
        QMetaObject::invokeMethod(q, [q, text, recording] {
            emit q->errorOccurred(text);
            if (recording)
                emit q->recordingFailed(text);
        }, Qt::QueuedConnection);
    }
    // Nobody pops the bus: everything of interest is handled here.
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
        p->cv.notify_all();
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
    GstElement* viewConv = make("videoconvert");
    GstElement* viewFlip = make("videoflip");
    GstElement* viewCaps = make("capsfilter");
    GstElement* view = make("appsink");
    GstElement* dec = nullptr;
    pipeline = gst_pipeline_new("video");

    QList<GstElement*> all = {src, caps, conv, tee, viewQueue, viewConv, viewFlip, viewCaps, view};
    bool jpeg = false;
    GstCaps* wanted = nullptr;
    if (test) {
        g_object_set(src, "is-live", TRUE, "pattern", 18 /* ball: consecutive frames differ */, nullptr);
        wanted = gst_caps_new_simple("video/x-raw", "width", G_TYPE_INT, s.width, "height", G_TYPE_INT, s.height,
                                     "framerate", GST_TYPE_FRACTION, s.fps.num, s.fps.den, nullptr);
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
        pipeline = tee = src = nullptr;
        return false;
    }
    g_object_set(caps, "caps", wanted, nullptr);
    gst_caps_unref(wanted);
    g_object_set(viewQueue, "leaky", 2 /* downstream */, "max-size-buffers", 1, "max-size-bytes", 0,
                 "max-size-time", guint64(0), nullptr);
    g_object_set(viewFlip, "method", 5 /* vertical-flip */, nullptr);
    GstCaps* bgr = gst_caps_new_simple("video/x-raw", "format", G_TYPE_STRING, "BGR", nullptr);
    g_object_set(viewCaps, "caps", bgr, nullptr);
    gst_caps_unref(bgr);
    g_object_set(view, "sync", FALSE, "max-buffers", 1, "drop", TRUE, nullptr);
    GstAppSinkCallbacks callbacks{};
    callbacks.new_sample = &Private::onNewSample;
    callbacks.eos = &Private::onViewEos;
    gst_app_sink_set_callbacks(GST_APP_SINK(view), &callbacks, this, nullptr);

    gst_bin_add_many(GST_BIN(pipeline), src, caps, conv, tee, viewQueue, viewConv, viewFlip, viewCaps, view, nullptr);
    bool linked = true;
    if (dec) {
        gst_bin_add(GST_BIN(pipeline), dec);
        linked = gst_element_link_many(src, caps, dec, conv, tee, nullptr);
    } else {
        linked = gst_element_link_many(src, caps, conv, tee, nullptr);
    }
    linked = linked && gst_element_link_many(tee, viewQueue, viewConv, viewFlip, viewCaps, view, nullptr);

    GstBus* bus = gst_element_get_bus(pipeline);
    gst_bus_set_sync_handler(bus, &Private::onBusMessage, this, nullptr);
    gst_object_unref(bus);
    if (!linked) {
        destroyPipeline();
        return false;
    }
    return true;
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
    gst_object_unref(pipeline);
    pipeline = nullptr;
    tee = nullptr;
    src = nullptr;
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

template <typename Done>
bool VideoCapture::Private::waitResponsive(int timeoutMs, Done done)
{
    const bool outer = !waiting;
    waiting = true;
    QElapsedTimer timer;
    timer.start();
    bool ok = false;
    for (;;) {
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
        if (done()) {
            ok = true;
            break;
        }
        if (timer.elapsed() > timeoutMs)
            break;
        std::unique_lock lock(m);
        cv.wait_for(lock, std::chrono::milliseconds(10));
    }
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

VideoCapture::~VideoCapture()
{
    Disconnect();
}

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

std::shared_ptr<const Bitmap24> VideoCapture::lastSavedFrame() const { return d->saved; }

void VideoCapture::holdFrame(const QImage& picture)
{
    presentFrame(picture);
    std::lock_guard lock(d->m);
    d->held = !picture.isNull();
}
QString VideoCapture::currentSource() const { return d->source; }

quint64 VideoCapture::framesReceived() const
{
    std::lock_guard lock(d->m);
    return d->frames;
}

QImage VideoCapture::currentFrame() const
{
    std::shared_ptr<const Bitmap24> frame;
    {
        std::lock_guard lock(d->m);
        frame = d->frame;
    }
    return frame ? frame->toImage() : QImage();
}

void VideoCapture::presentFrame(const QImage& picture)
{
    auto dib = std::make_shared<Bitmap24>();
    dib->CreateFromPicture(picture);
    if (!dib->DIBSectionBitsPtr())
        return;
    {
        std::lock_guard lock(d->m);
        d->frame = std::move(dib);
        ++d->frames;
    }
    d->cv.notify_all();
    update();
    emit frameArrived();
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
        d->frame.reset();
        d->frames = 0;
        d->error.clear();
        d->lost = false;
        d->held = false;
    }
    if (d->source != VideoSettings::testPattern() && !QFileInfo::exists(d->source))
        return false;
    if (!d->buildPipeline(s))
        return false;

    if (gst_element_set_state(d->pipeline, GST_STATE_PLAYING) == GST_STATE_CHANGE_FAILURE) {
        d->destroyPipeline();
        return false;
    }
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
    if (!ok)
        d->destroyPipeline();
    return ok;
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
        d->frame.reset();
        d->held = false;
    }
    update();
}

bool VideoCapture::StartRecording()
{
    if (!d->pipeline || isRecording() || d->aviFile.isEmpty())
        return false;
    {
        // A source that has stopped would only give an empty file.
        std::lock_guard lock(d->m);
        if (d->lost)
            return false;
    }
    const VideoSettings s = VideoSettings::load();
    GstElement* queue = make("queue", "rec-queue");
    GstElement* conv = make("videoconvert", "rec-convert");
    GstElement* enc = make(s.codec == QLatin1String("raw") ? "capsfilter" : "jpegenc", "rec-encoder");
    GstElement* mux = make("avimux", "rec-mux");
    GstElement* sink = make("filesink", "rec-file");
    const QList<GstElement*> chain = {queue, conv, enc, mux, sink};
    if (chain.contains(nullptr)) {
        for (GstElement* e : chain)
            if (e)
                gst_object_unref(e);
        return false;
    }
    if (s.codec == QLatin1String("raw")) {
        // Uncompressed: 24-bit DIB frames.
        GstCaps* bgr = gst_caps_new_simple("video/x-raw", "format", G_TYPE_STRING, "BGR", nullptr);
        g_object_set(enc, "caps", bgr, nullptr);
        gst_caps_unref(bgr);
    } else {
        g_object_set(enc, "quality", s.quality, nullptr);
    }
    // A new recording file is owner-only (the sink keeps the permissions of a
    // file that is there); one that cannot be made fails in the sink as before.
    PrivateFile::ensureFile(d->aviFile);
    g_object_set(sink, "location", QFile::encodeName(d->aviFile).constData(), "async", FALSE, "sync", FALSE,
                 nullptr);
    gst_bin_add_many(GST_BIN(d->pipeline), queue, conv, enc, mux, sink, nullptr);
    d->recElements = chain;
    d->recQueue = queue;
    {
        std::lock_guard lock(d->m);
        d->eosAtFile = false;
        d->recordingFailed = false;
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
        return false;
    }
    return true;
}

void VideoCapture::StopRecording()
{
    if (!isRecording() || d->waiting)
        return;
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
    d->removeRecordingBranch();
    if (d->disconnectPending) {
        d->disconnectPending = false;
        Disconnect();
    }
}

bool VideoCapture::SaveFrame()
{
    std::shared_ptr<const Bitmap24> dib = grabFrame();
    if (!dib || !writeFrame(dib, d->frameFile))
        return false;
    d->saved = std::move(dib);
    return true;
}

std::shared_ptr<const Bitmap24> VideoCapture::grabFrame() const
{
    if (d->frameFile.isEmpty())
        return nullptr;
    std::lock_guard lock(d->m);
    return d->frame;   // null before the first frame and once the source has stopped
}

bool VideoCapture::writeFrame(const std::shared_ptr<const Bitmap24>& frame, const QString& path)
{
    // The capture converts this BMP to JPEG next: start encoding while it is written.
    CaptureJpeg::offer(path, frame, JpegWriter::kCaptureQuality);
    if (!BmpFile::write(*frame, path)) {
        CaptureJpeg::withdraw();
        return false;
    }
    return true;
}

void VideoCapture::failSourceForTest()
{
    if (!d->src)
        return;
    // What a camera unplugged while streaming does: a read error, then the
    // end of the stream from the source.
    GST_ELEMENT_ERROR(d->src, RESOURCE, READ, ("Could not read from resource."), (nullptr));
    gst_element_send_event(d->src, gst_event_new_eos());
}

void VideoCapture::slowRecordingForTest(int msPerBuffer) { d->slowWriteMs = msPerBuffer; }

bool VideoCapture::waitForFrame(quint64 after, int timeoutMs)
{
    QElapsedTimer timer;
    timer.start();
    while (framesReceived() <= after) {
        if (timer.elapsed() > timeoutMs)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        std::unique_lock lock(d->m);
        d->cv.wait_for(lock, std::chrono::milliseconds(10), [&] { return d->frames > after; });
    }
    QCoreApplication::processEvents();
    return true;
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
    std::shared_ptr<const Bitmap24> frame;
    {
        std::lock_guard lock(d->m);
        frame = d->frame;
    }
    QPainter p(this);
    if (!frame) {
        p.fillRect(rect(), Qt::black);
        return;
    }
    // Bottom-up rows: draw them through a vertical flip.
    const QImage view(frame->DIBSectionBitsPtr(), frame->Width(), frame->Height(), frame->BytesPerScanLine(),
                      QImage::Format_BGR888);
    p.translate(0, height());
    p.scale(1, -1);
    p.drawImage(QRect(0, 0, width(), height()), view);
}
