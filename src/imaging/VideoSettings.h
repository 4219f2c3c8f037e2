#pragma once
#include <QList>
#include <QString>
#include <optional>

class QWidget;

// A frame rate as capture devices state it: a fraction of frames per second
// (30000/1001 for 29.97). Always kept in lowest terms.
struct FrameRate {
    int num = 30;
    int den = 1;

    // Null when the fraction is not a positive rate.
    static std::optional<FrameRate> of(qint64 num, qint64 den);
    // "30", "30000/1001" or "29.97" (a decimal is taken as the nearest
    // n/1001 or n/1 rate); null for anything else.
    static std::optional<FrameRate> parse(const QString& text);

    double value() const { return double(num) / double(den); }
    // As stored in options.ini: "30" or "30000/1001".
    QString text() const;
    // As the format dialog lists it: "30 帧/秒", "29.97 帧/秒".
    QString caption() const;
    bool operator==(const FrameRate&) const = default;
};

// The choices of the video source, format and compression dialogs, kept in
// the [video] section of options.ini.
struct VideoSettings {
    // "" picks the first camera present (none: the video cannot be switched
    // on), "test" is the test pattern (only when chosen: tests and
    // benchmarks), anything else a V4L2 device path.
    QString device;
    int width = 640;
    int height = 480;
    FrameRate fps;
    QString codec = QStringLiteral("mjpeg");   // "mjpeg" or "raw" (uncompressed)
    int quality = 85;                          // JPEG quality of "mjpeg", 1..100

    static VideoSettings load();
    // Writes every key at once; false (Modini::LastFailureText() says why,
    // every key as it was) when options.ini could not be written.
    bool save() const;
    // Saves; when that fails, tells the user why (a critical box titled "错误").
    bool saveOrTell(QWidget* parent) const;

    static QString testPattern() { return QStringLiteral("test"); }
};

namespace VideoDevices {
struct Device {
    QString name;   // as the driver calls it
    QString path;   // /dev/videoN
};
// The cameras present (V4L2 video sources), in the order the system lists them.
QList<Device> list();

struct Mode {
    int width = 0;
    int height = 0;
    FrameRate fps;
    bool jpeg = false;   // the device delivers this mode as JPEG only
    bool operator==(const Mode&) const = default;
};
// The sizes and rates a device offers (the test pattern: a fixed list),
// largest size first, then fastest first, without repeats.
QList<Mode> modes(const QString& device);
// The same from a device's capabilities in GStreamer's caps notation. Fixed
// values, lists and ranges are all understood: a range of sizes or rates
// offers the usual sizes and rates that lie within it (and a rate range its
// upper end). Raw and JPEG formats are read; a mode offered in both is raw.
QList<Mode> modesFromCaps(const QString& caps);

// The source a connect will use for these settings: testPattern(), a path,
// or "" when no camera is configured and none is present. The test pattern
// never stands in for a missing camera: its frames would be stored as a
// patient's pictures.
QString resolve(const VideoSettings& s);
}
