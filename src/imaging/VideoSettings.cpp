#include "imaging/VideoSettings.h"

#include "core/Modini.h"

#include <QSize>

#include <gst/gst.h>

#include <algorithm>

namespace {
int readInt(const IniSetting& setting, int def, int lo, int hi)
{
    bool ok = false;
    const int v = Modini::GetIniValue(setting).trimmed().toInt(&ok);
    return ok && v >= lo && v <= hi ? v : def;
}

void ensureGst()
{
    if (!gst_is_initialized())
        gst_init(nullptr, nullptr);
}

QString deviceProperty(GstDevice* dev, const char* key)
{
    QString value;
    if (GstStructure* props = gst_device_get_properties(dev)) {
        if (const gchar* s = gst_structure_get_string(props, key))
            value = QString::fromUtf8(s);
        gst_structure_free(props);
    }
    return value;
}

QString devicePath(GstDevice* dev)
{
    QString p = deviceProperty(dev, "device.path");
    if (p.isEmpty())
        p = deviceProperty(dev, "api.v4l2.path");
    return p;
}

// Calls f for each V4L2 video source; f returns true to stop.
template <typename F>
void forEachCamera(F f)
{
    ensureGst();
    GstDeviceMonitor* mon = gst_device_monitor_new();
    gst_device_monitor_add_filter(mon, "Video/Source", nullptr);
    if (gst_device_monitor_start(mon)) {
        GList* devices = gst_device_monitor_get_devices(mon);
        bool stop = false;
        for (GList* l = devices; l; l = l->next) {
            GstDevice* dev = GST_DEVICE(l->data);
            if (!stop && !devicePath(dev).isEmpty())
                stop = f(dev);
        }
        g_list_free_full(devices, gst_object_unref);
        gst_device_monitor_stop(mon);
    }
    gst_object_unref(mon);
}

void addRates(const GstStructure* st, int w, int h, bool jpeg, QList<VideoDevices::Mode>& out)
{
    const GValue* rate = gst_structure_get_value(st, "framerate");
    auto add = [&](const GValue* v) {
        if (v && GST_VALUE_HOLDS_FRACTION(v)) {
            const int n = gst_value_get_fraction_numerator(v);
            const int d = gst_value_get_fraction_denominator(v);
            if (n > 0 && d > 0 && n % d == 0)
                out.append({w, h, n / d, jpeg});
        }
    };
    if (rate && GST_VALUE_HOLDS_LIST(rate)) {
        for (guint i = 0; i < gst_value_list_get_size(rate); ++i)
            add(gst_value_list_get_value(rate, i));
    } else {
        add(rate);
    }
}
}

VideoSettings VideoSettings::load()
{
    VideoSettings s;
    s.device = Modini::GetIniValue(IniKey::VideoDevice).trimmed();
    s.width = readInt(IniKey::VideoWidth, s.width, 16, 4096);
    s.height = readInt(IniKey::VideoHeight, s.height, 16, 4096);
    s.fps = readInt(IniKey::VideoFps, s.fps, 1, 240);
    const QString codec = Modini::GetIniValue(IniKey::VideoCodec).trimmed().toLower();
    if (codec == QLatin1String("raw") || codec == QLatin1String("mjpeg"))
        s.codec = codec;
    s.quality = readInt(IniKey::VideoQuality, s.quality, 1, 100);
    return s;
}

bool VideoSettings::save() const
{
    return Modini::SetIniValue(IniKey::VideoDevice, device)
        && Modini::SetIniValue(IniKey::VideoWidth, QString::number(width))
        && Modini::SetIniValue(IniKey::VideoHeight, QString::number(height))
        && Modini::SetIniValue(IniKey::VideoFps, QString::number(fps))
        && Modini::SetIniValue(IniKey::VideoCodec, codec)
        && Modini::SetIniValue(IniKey::VideoQuality, QString::number(quality));
}

namespace VideoDevices {

QList<Device> list()
{
    QList<Device> out;
    forEachCamera([&](GstDevice* dev) {
        gchar* name = gst_device_get_display_name(dev);
        out.append({QString::fromUtf8(name), devicePath(dev)});
        g_free(name);
        return false;
    });
    return out;
}

QList<Mode> modes(const QString& device)
{
    QList<Mode> out;
    if (device == VideoSettings::testPattern()) {
        for (const QSize sz : {QSize(1920, 1080), QSize(1280, 720), QSize(1024, 768), QSize(800, 600),
                               QSize(640, 480), QSize(320, 240)})
            for (int fps : {30, 25, 15})
                out.append({sz.width(), sz.height(), fps, false});
        return out;
    }
    forEachCamera([&](GstDevice* dev) {
        if (devicePath(dev) != device)
            return false;
        if (GstCaps* caps = gst_device_get_caps(dev)) {
            for (guint i = 0; i < gst_caps_get_size(caps); ++i) {
                const GstStructure* st = gst_caps_get_structure(caps, i);
                const bool raw = gst_structure_has_name(st, "video/x-raw");
                const bool jpeg = gst_structure_has_name(st, "image/jpeg");
                int w = 0, h = 0;
                if ((raw || jpeg) && gst_structure_get_int(st, "width", &w) && gst_structure_get_int(st, "height", &h))
                    addRates(st, w, h, jpeg, out);
            }
            gst_caps_unref(caps);
        }
        return true;
    });
    // Largest first; a mode offered raw as well as JPEG is kept as raw.
    std::stable_sort(out.begin(), out.end(), [](const Mode& a, const Mode& b) {
        if (a.width * a.height != b.width * b.height)
            return a.width * a.height > b.width * b.height;
        if (a.fps != b.fps)
            return a.fps > b.fps;
        return !a.jpeg && b.jpeg;
    });
    QList<Mode> unique;
    for (const Mode& m : out)
        if (std::none_of(unique.begin(), unique.end(), [&](const Mode& u) {
                return u.width == m.width && u.height == m.height && u.fps == m.fps;
            }))
            unique.append(m);
    return unique;
}

QString resolve(const VideoSettings& s)
{
    if (!s.device.isEmpty())
        return s.device;
    const QList<Device> cams = list();
    return cams.isEmpty() ? VideoSettings::testPattern() : cams.first().path;
}
}
