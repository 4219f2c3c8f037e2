#pragma once
#include <QFuture>
#include <QList>
#include <QObject>
#include <QString>

#include <atomic>
#include <functional>
#include <memory>

// The foot switch: a pedal wired to the clear-to-send (CTS) line of a serial
// port. A press shows as CTS changes; the editor feeds each change, with the
// millisecond tick it happened at, to a FootSwitchDetector, which tells when a
// change completes a press.

// Times one press from its first CTS change to the next change at least
// 50 ms later. Changes sooner than that are contact bounce and only counted;
// a change 50..700 ms after the first completes a press. A change more than
// 700 ms after the first ends that measurement without a press and is itself
// the first change of a new one: a press held too long, a lone glitch or a
// change lost while the port was closed never leaves the detector timing the
// gap between two presses instead of a press. After a press the next change
// starts a new measurement. Ticks wrap at 2^32 ms; differences are taken
// modulo 2^32.
class FootSwitchDetector {
public:
    // One CTS change at the tick; true when it completes a press.
    bool onCtsChange(quint32 tick);

private:
    qint32 count_ = 0;   // changes seen in the current measurement
    quint32 first_ = 0;
    quint32 last_ = 0;
};

// A serial port whose CTS changes are reported, each with its tick.
class CtsSource : public QObject {
    Q_OBJECT
public:
    // The errors opening a port raises (ImagingError), with the numbers the
    // program has always shown for them:
    static constexpr int kInvalidPort = 8002;       // no such port
    static constexpr int kPortInUse = 8005;         // opened by another program (or this one)
    static constexpr int kPortUnavailable = 8010;   // there, but it cannot be used

    // Opens the port a [system] comport value names (FootSwitch::devicePath);
    // raises ImagingError with one of the numbers above. An open port is
    // closed first.
    virtual void open(const QString& port) = 0;
    // Closes the port; changes that happened before are no longer reported.
    virtual void close() = 0;
    virtual bool isOpen() const = 0;

signals:
    void ctsChanged(quint32 tick);
};

namespace FootSwitch {
// The millisecond tick of the monotonic clock, cut to 32 bits.
quint32 tickCount();
// The device a [system] comport value names: "1" .. "8" are COM1 .. COM8,
// the built-in ports /dev/ttyS0 .. /dev/ttyS7; a USB serial adapter is kept
// by its device path (/dev/ttyUSB<n>, /dev/ttyACM<n>, or its stable name in
// /dev/serial/by-id). Empty for anything else, an empty value included (no
// foot switch), so no other terminal is ever opened.
QString devicePath(const QString& setting);

// A USB serial adapter present now: what the port window shows for it and
// the value [system] comport keeps for it (its stable by-id name where the
// system gives one, else its device path).
struct Adapter {
    QString caption;
    QString setting;
};
// The adapters present, in the order of their device names.
QList<Adapter> adapters();
// The device name of a comport value that names an adapter ("ttyUSB0"); the
// stable name itself while that adapter is unplugged.
QString adapterName(const QString& setting);

// A new port of the kind the program uses (a SerialCtsSource unless a test
// put another kind in, FootSwitchTesting.h).
std::unique_ptr<CtsSource> makePort();

namespace internal {
// What tests and benchmarks change and read in the foot switch
// (FootSwitchTesting.h); the program itself leaves it as it is.
struct Hooks {
    QString devFolder;                                         // empty: /dev
    QString consolesFile;                                      // empty: /sys/class/tty/console/active
    std::function<std::unique_ptr<CtsSource>()> portFactory;   // empty: SerialCtsSource
    std::atomic<int> watchersRunning{0};                       // the serial ports' watcher tasks running now
};
Hooks& hooks();
}
}

// A real serial port through termios. It is opened exclusively (TIOCEXCL, and
// an flock that holds for every process), so a second opener sees it in use;
// a port that is the system's console counts as in use and is left alone.
// A task on the foot switch's own thread pool watches CTS while the port is
// open: every 5 ms it reads the driver's count of CTS changes (TIOCGICOUNT),
// so a pulse shorter than that is still counted, or, where the driver keeps no
// count, the line itself (TIOCMGET). Each change is reported, with the tick of
// the reading that found it, on the thread that owns the port. Closing stops
// the task at its next reading and returns once it has ended.
class SerialCtsSource : public CtsSource {
    Q_OBJECT
public:
    SerialCtsSource() = default;
    ~SerialCtsSource() override;

    void open(const QString& port) override;
    void close() override;
    bool isOpen() const override { return fd_ >= 0; }
    // Opens a device by its path (open(port) maps the comport value to it).
    void openPath(const QString& path);

private:
    void watch(int fd, quint64 generation);
    void report(quint64 generation, quint32 tick);

    int fd_ = -1;
    quint64 generation_ = 0;   // changes of an earlier opening are dropped
    QFuture<void> watcher_;
    std::atomic<bool> stop_{false};
};
