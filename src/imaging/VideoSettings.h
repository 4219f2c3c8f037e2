#pragma once
#include <QList>
#include <QString>

// The choices of the video source, format and compression dialogs, kept in
// the [video] section of options.ini.
struct VideoSettings {
    // "" picks the first camera present (the test pattern when there is none),
    // "test" is the test pattern, anything else a V4L2 device path.
    QString device;
    int width = 640;
    int height = 480;
    int fps = 30;
    QString codec = QStringLiteral("mjpeg");   // "mjpeg" or "raw" (uncompressed)
    int quality = 85;                           // JPEG quality of "mjpeg", 1..100

    static VideoSettings load();
    bool save() const;

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
    int fps = 0;
    bool jpeg = false;   // the device delivers this mode as JPEG only
    bool operator==(const Mode&) const = default;
};
// The sizes and rates a device offers (the test pattern: a fixed list),
// largest size first, without repeats.
QList<Mode> modes(const QString& device);

// The source a connect will use for these settings: testPattern() or a path.
QString resolve(const VideoSettings& s);
}
