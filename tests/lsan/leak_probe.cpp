// Leaks on purpose, once in each kind of callback the program's own code runs
// in: a glib main-context callback, a Qt slot (Qt's event loop runs on glib),
// and on GStreamer's streaming threads a pad probe and an appsink callback, as
// the video's callbacks are called, and a GObject signal's handler. Built only
// with the sanitizers: its test passes when LeakSanitizer, under the
// suppressions the suite uses, reports exactly these five leaks, so a
// suppression that would hide a leak of ours in such a callback fails it, and
// so does a library cache the suppressions miss.
#include <QCoreApplication>
#include <QMetaObject>
#include <QTimer>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <gst/app/gstappsink.h>
#include <gst/gst.h>

namespace {
// Sizes no library allocates, so that the report names each leak.
constexpr size_t kInGlibCallback = 7001;
constexpr size_t kInQtSlot = 7002;
constexpr size_t kInPadProbe = 7003;
constexpr size_t kInAppSinkCallback = 7004;
constexpr size_t kInSignalHandler = 7005;
constexpr int kLeaks = 5;

void* volatile lastBlock = nullptr;
std::atomic<int> leaksMade{0};

// The block's only pointer is dropped at once: a plain leak.
__attribute__((noinline)) void leak(size_t size)
{
    void* p = std::malloc(size);
    std::memset(p, 0x5a, size);
    lastBlock = p;
    lastBlock = nullptr;
    // The last one ends the event loop.
    if (++leaksMade == kLeaks && QCoreApplication::instance())
        QCoreApplication::quit();
}

gboolean onIdle(gpointer)
{
    leak(kInGlibCallback);
    return G_SOURCE_REMOVE;
}

GstPadProbeReturn onBuffer(GstPad*, GstPadProbeInfo*, gpointer)
{
    static std::atomic<bool> once{false};
    if (!once.exchange(true))
        leak(kInPadProbe);
    return GST_PAD_PROBE_OK;
}

GstFlowReturn onNewSample(GstAppSink* sink, gpointer)
{
    if (GstSample* sample = gst_app_sink_pull_sample(sink))
        gst_sample_unref(sample);
    static std::atomic<bool> once{false};
    if (!once.exchange(true))
        leak(kInAppSinkCallback);
    return GST_FLOW_OK;
}

void onHandoff(GstElement*, GstBuffer*, GstPad*, gpointer)
{
    static std::atomic<bool> once{false};
    if (!once.exchange(true))
        leak(kInSignalHandler);
}

// A pipeline of one buffer, to a fakesink whose sink pad's probe and handoff
// signal leak and to an appsink whose callback leaks; runs to its end.
bool runPipeline()
{
    GstElement* pipeline = gst_parse_launch("fakesrc num-buffers=1 ! tee name=t ! queue ! fakesink name=out "
                                            "signal-handoffs=true t. ! queue ! appsink name=app",
                                            nullptr);
    if (!pipeline)
        return false;
    GstElement* out = gst_bin_get_by_name(GST_BIN(pipeline), "out");
    GstPad* pad = gst_element_get_static_pad(out, "sink");
    gst_pad_add_probe(pad, GST_PAD_PROBE_TYPE_BUFFER, onBuffer, nullptr, nullptr);
    g_signal_connect(out, "handoff", G_CALLBACK(onHandoff), nullptr);
    gst_object_unref(pad);
    gst_object_unref(out);
    GstElement* app = gst_bin_get_by_name(GST_BIN(pipeline), "app");
    GstAppSinkCallbacks callbacks{};
    callbacks.new_sample = onNewSample;
    gst_app_sink_set_callbacks(GST_APP_SINK(app), &callbacks, nullptr, nullptr);
    gst_object_unref(app);
    gst_element_set_state(pipeline, GST_STATE_PLAYING);
    GstBus* bus = gst_element_get_bus(pipeline);
    GstMessage* msg =
        gst_bus_timed_pop_filtered(bus, 60 * GST_SECOND, GstMessageType(GST_MESSAGE_EOS | GST_MESSAGE_ERROR));
    const bool ended = msg && GST_MESSAGE_TYPE(msg) == GST_MESSAGE_EOS;
    if (msg)
        gst_message_unref(msg);
    gst_object_unref(bus);
    gst_element_set_state(pipeline, GST_STATE_NULL);
    gst_object_unref(pipeline);
    return ended;
}
}

int main(int argc, char** argv)
{
    gst_init(&argc, &argv);
    QCoreApplication app(argc, argv);
    if (!runPipeline()) {
        std::fprintf(stderr, "leak_probe: the pipeline did not run to its end\n");
        return 2;
    }
    // Both run from the main thread's event loop, which dispatches through glib.
    g_idle_add(onIdle, nullptr);
    QMetaObject::invokeMethod(
        &app, [] { leak(kInQtSlot); }, Qt::QueuedConnection);
    QTimer::singleShot(120000, &app, &QCoreApplication::quit);   // a watchdog, should a callback never come
    app.exec();
    if (leaksMade != kLeaks) {
        std::fprintf(stderr, "leak_probe: %d of the %d leaks were made\n", int(leaksMade), kLeaks);
        return 2;
    }
    return 0;
}
