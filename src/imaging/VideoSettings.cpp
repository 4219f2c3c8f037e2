#include "imaging/VideoSettings.h"

#include "core/Modini.h"
#include "core/NumberText.h"

#include <QSize>

#include <gst/gst.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <numeric>

namespace {
int readInt(const IniSetting& setting, int def, int lo, int hi)
{
    const auto v = Modini::GetIniWhole(setting);
    return v && *v >= lo && *v <= hi ? *v : def;
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

// What a range of sizes or rates is offered as.
const QSize kUsualSizes[] = {{1920, 1080}, {1600, 1200}, {1280, 1024}, {1280, 960}, {1280, 720}, {1024, 768},
                             {800, 600},   {720, 576},   {720, 480},   {640, 480},  {352, 288},  {320, 240}};
const FrameRate kUsualRates[] = {{60, 1}, {50, 1}, {30, 1}, {30000, 1001}, {25, 1},
                                 {24, 1}, {20, 1}, {15, 1}, {10, 1},       {5, 1}};

// Whether a size value (an int, a list of ints or an int range) admits v.
bool admits(const GValue* value, int v)
{
    if (G_VALUE_HOLDS_INT(value))
        return g_value_get_int(value) == v;
    if (GST_VALUE_HOLDS_INT_RANGE(value)) {
        const int lo = gst_value_get_int_range_min(value);
        const int hi = gst_value_get_int_range_max(value);
        const int step = std::max(1, gst_value_get_int_range_step(value));
        return v >= lo && v <= hi && (v - lo) % step == 0;
    }
    if (GST_VALUE_HOLDS_LIST(value)) {
        for (guint i = 0; i < gst_value_list_get_size(value); ++i)
            if (admits(gst_value_list_get_value(value, i), v))
                return true;
    }
    return false;
}

// The fixed values of a size field (none when it holds a range).
QList<int> fixedValues(const GValue* value)
{
    QList<int> out;
    if (G_VALUE_HOLDS_INT(value)) {
        out.append(g_value_get_int(value));
    } else if (GST_VALUE_HOLDS_LIST(value)) {
        for (guint i = 0; i < gst_value_list_get_size(value); ++i) {
            const QList<int> inner = fixedValues(gst_value_list_get_value(value, i));
            if (inner.isEmpty())
                return {};
            out.append(inner);
        }
    }
    return out;
}

QList<QSize> sizesOf(const GstStructure* st)
{
    const GValue* w = gst_structure_get_value(st, "width");
    const GValue* h = gst_structure_get_value(st, "height");
    if (!w || !h)
        return {};
    const QList<int> ws = fixedValues(w), hs = fixedValues(h);
    if (ws.size() == 1 && hs.size() == 1)
        return {QSize(ws.first(), hs.first())};
    QList<QSize> out;
    for (const QSize& sz : kUsualSizes)
        if (admits(w, sz.width()) && admits(h, sz.height()))
            out.append(sz);
    return out;
}

std::optional<FrameRate> fractionOf(const GValue* v)
{
    return GST_VALUE_HOLDS_FRACTION(v)
               ? FrameRate::of(gst_value_get_fraction_numerator(v), gst_value_get_fraction_denominator(v))
               : std::nullopt;
}

void ratesOf(const GValue* value, QList<FrameRate>& out)
{
    if (!value)
        return;
    if (const auto f = fractionOf(value)) {
        out.append(*f);
    } else if (GST_VALUE_HOLDS_FRACTION_RANGE(value)) {
        const auto lo = fractionOf(gst_value_get_fraction_range_min(value));
        const auto hi = fractionOf(gst_value_get_fraction_range_max(value));
        if (!hi)
            return;
        const double min = lo ? lo->value() : 0.0;
        // The top of the range, unless it is a placeholder for "any rate".
        if (hi->value() <= 240)
            out.append(*hi);
        for (const FrameRate& r : kUsualRates)
            if (r.value() >= min && r.value() <= hi->value())
                out.append(r);
    } else if (GST_VALUE_HOLDS_LIST(value)) {
        for (guint i = 0; i < gst_value_list_get_size(value); ++i)
            ratesOf(gst_value_list_get_value(value, i), out);
    }
}

void collectModes(const GstCaps* caps, QList<VideoDevices::Mode>& out)
{
    for (guint i = 0; i < gst_caps_get_size(caps); ++i) {
        const GstStructure* st = gst_caps_get_structure(caps, i);
        const bool raw = gst_structure_has_name(st, "video/x-raw");
        const bool jpeg = gst_structure_has_name(st, "image/jpeg");
        if (!raw && !jpeg)
            continue;
        QList<FrameRate> rates;
        ratesOf(gst_structure_get_value(st, "framerate"), rates);
        for (const QSize& sz : sizesOf(st))
            for (const FrameRate& r : rates)
                out.append({sz.width(), sz.height(), r, jpeg});
    }
}

// Largest first, then fastest; a mode offered raw as well as JPEG is kept as raw.
QList<VideoDevices::Mode> sortedUnique(QList<VideoDevices::Mode> modes)
{
    using VideoDevices::Mode;
    std::stable_sort(modes.begin(), modes.end(), [](const Mode& a, const Mode& b) {
        if (a.width * a.height != b.width * b.height)
            return a.width * a.height > b.width * b.height;
        if (a.fps != b.fps)
            return a.fps.value() > b.fps.value();
        return !a.jpeg && b.jpeg;
    });
    QList<Mode> unique;
    for (const Mode& m : modes)
        if (std::none_of(unique.begin(), unique.end(),
                         [&](const Mode& u) { return u.width == m.width && u.height == m.height && u.fps == m.fps; }))
            unique.append(m);
    return unique;
}
}

std::optional<FrameRate> FrameRate::of(qint64 num, qint64 den)
{
    if (num <= 0 || den <= 0)
        return std::nullopt;
    const qint64 g = std::gcd(num, den);
    num /= g;
    den /= g;
    if (num > std::numeric_limits<int>::max() || den > std::numeric_limits<int>::max())
        return std::nullopt;
    return FrameRate{int(num), int(den)};
}

std::optional<FrameRate> FrameRate::parse(const QString& text)
{
    const QString t = text.trimmed();
    const qsizetype slash = t.indexOf(QLatin1Char('/'));
    bool ok1 = false, ok2 = false;
    if (slash >= 0) {
        const qint64 n = t.left(slash).trimmed().toLongLong(&ok1);
        const qint64 d = t.mid(slash + 1).trimmed().toLongLong(&ok2);
        return ok1 && ok2 ? of(n, d) : std::nullopt;
    }
    const auto number = NumberText::Parse(t);
    if (!number || *number <= 0 || *number > 1e6)
        return std::nullopt;
    const double v = *number;
    if (v == std::floor(v))
        return of(qint64(v), 1);
    // 29.97, 59.94, 23.976: the NTSC rates n/1001.
    const qint64 n1001 = std::llround(v * 1001.0);
    if (n1001 % 1000 == 0 && std::abs(double(n1001) / 1001.0 - v) < 0.005)
        return of(n1001, 1001);
    return of(std::llround(v * 1000.0), 1000);
}

QString FrameRate::text() const { return den == 1 ? QString::number(num) : QStringLiteral("%1/%2").arg(num).arg(den); }

QString FrameRate::caption() const
{
    QString v = den == 1 ? QString::number(num) : QString::number(value(), 'f', 2);
    if (v.contains(QLatin1Char('.'))) {
        while (v.endsWith(QLatin1Char('0')))
            v.chop(1);
        if (v.endsWith(QLatin1Char('.')))
            v.chop(1);
    }
    return v + QStringLiteral(" 帧/秒");
}

VideoSettings VideoSettings::load()
{
    VideoSettings s;
    s.device = Modini::GetIniValue(IniKey::VideoDevice).trimmed();
    s.width = readInt(IniKey::VideoWidth, s.width, 16, 4096);
    s.height = readInt(IniKey::VideoHeight, s.height, 16, 4096);
    const auto fps = FrameRate::parse(Modini::GetIniValue(IniKey::VideoFps));
    if (fps && fps->value() >= 1 && fps->value() <= 240)
        s.fps = *fps;
    const QString codec = Modini::GetIniValue(IniKey::VideoCodec).trimmed().toLower();
    if (codec == QLatin1String("raw") || codec == QLatin1String("mjpeg"))
        s.codec = codec;
    s.quality = readInt(IniKey::VideoQuality, s.quality, 1, 100);
    return s;
}

bool VideoSettings::save() const
{
    // Every key in one write: a file that cannot be written keeps all of its old values.
    return Modini::SetIniValues({
        {IniKey::VideoDevice, device},
        {IniKey::VideoWidth, QString::number(width)},
        {IniKey::VideoHeight, QString::number(height)},
        {IniKey::VideoFps, fps.text()},
        {IniKey::VideoCodec, codec},
        {IniKey::VideoQuality, QString::number(quality)},
    });
}

bool VideoSettings::saveOrTell(QWidget* parent) const
{
    if (save())
        return true;
    Modini::TellNotSaved(parent);
    return false;
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
        for (const QSize sz :
             {QSize(1920, 1080), QSize(1280, 720), QSize(1024, 768), QSize(800, 600), QSize(640, 480), QSize(320, 240)})
            for (int fps : {30, 25, 15})
                out.append({sz.width(), sz.height(), FrameRate{fps, 1}, false});
        return out;
    }
    forEachCamera([&](GstDevice* dev) {
        if (devicePath(dev) != device)
            return false;
        if (GstCaps* caps = gst_device_get_caps(dev)) {
            collectModes(caps, out);
            gst_caps_unref(caps);
        }
        return true;
    });
    return sortedUnique(out);
}

QList<Mode> modesFromCaps(const QString& text)
{
    ensureGst();
    QList<Mode> out;
    if (GstCaps* caps = gst_caps_from_string(text.toUtf8().constData())) {
        collectModes(caps, out);
        gst_caps_unref(caps);
    }
    return sortedUnique(out);
}

QString resolve(const VideoSettings& s)
{
    if (!s.device.isEmpty())
        return s.device;
    const QList<Device> cams = list();
    return cams.isEmpty() ? QString() : cams.first().path;
}
}
