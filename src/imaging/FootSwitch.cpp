#include "imaging/FootSwitch.h"

#include "imaging/ImagingError.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QRegularExpression>
#include <QThreadPool>
#include <QtConcurrent/QtConcurrentRun>

#include <algorithm>
#include <cerrno>
#include <ctime>
#include <fcntl.h>
#include <functional>
#include <limits>
#include <linux/serial.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

// --- the detector -------------------------------------------------------------

bool FootSwitchDetector::onCtsChange(quint32 tick)
{
    bool press = false;
    if (count_ == 0)
        first_ = tick;
    if (count_ > 0) {
        last_ = tick;
        const quint32 length = last_ - first_;   // modulo 2^32: right across the tick's wrap
        if (length >= 50 && length <= 700) {
            press = true;
            count_ = -1;
        } else if (length > 700) {
            // Too long for a press: this change starts the next measurement.
            first_ = tick;
            count_ = 0;
        }
    }
    if (count_ < std::numeric_limits<qint32>::max())
        ++count_;
    return press;
}

// --- ports --------------------------------------------------------------------

namespace {
const QString kSource = QStringLiteral("MSComm");

QString& devFolderOverride() { return FootSwitch::internal::hooks().devFolder; }

QString& consolesOverride() { return FootSwitch::internal::hooks().consolesFile; }

QString devFolder() { return devFolderOverride().isEmpty() ? QStringLiteral("/dev") : devFolderOverride(); }

// The names of the terminals the system uses as its consoles ("tty0 ttyS0").
QStringList consoleNames()
{
    QFile f(consolesOverride().isEmpty() ? QStringLiteral("/sys/class/tty/console/active") : consolesOverride());
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return QString::fromLocal8Bit(f.readAll()).split(QRegularExpression(QStringLiteral("\\s+")), Qt::SkipEmptyParts);
}

// ttyUSB<n> and ttyACM<n>: the names USB serial adapters get.
bool isAdapterName(const QString& name)
{
    static const QRegularExpression re(QStringLiteral("^tty(USB|ACM)[0-9]+$"));
    return re.match(name).hasMatch();
}

QString byIdFolder() { return devFolder() + QStringLiteral("/serial/by-id"); }

std::function<std::unique_ptr<CtsSource>()>& factory() { return FootSwitch::internal::hooks().portFactory; }

ImagingError portError(int number)
{
    switch (number) {
    case CtsSource::kInvalidPort: return ImagingError(number, kSource, QStringLiteral("无效的端口号"));
    case CtsSource::kPortInUse: return ImagingError(number, kSource, QStringLiteral("端口已被占用"));
    default: return ImagingError(number, kSource, QStringLiteral("端口无法使用"));
    }
}

// How often a watcher reads the port: the ticks of the changes it reports are
// this late at most.
constexpr long kPollMs = 5;

// The watchers' own pool: each open port keeps one thread busy for as long as
// it is open, which must never hold up the work of the program's shared pool.
// A thread left idle ends at once (ports open and close seldom). Never
// destroyed: a port still open when the program ends keeps its thread.
QThreadPool& watcherPool()
{
    static QThreadPool* const pool = [] {
        auto* p = new QThreadPool;
        p->setObjectName(QStringLiteral("FootSwitch"));
        p->setMaxThreadCount(64);   // more than ports a machine has
        p->setExpiryTimeout(0);
        return p;
    }();
    return *pool;
}

std::atomic<int>& watchersRunning() { return FootSwitch::internal::hooks().watchersRunning; }
}

namespace FootSwitch {

quint32 tickCount()
{
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return quint32(quint64(ts.tv_sec) * 1000u + quint64(ts.tv_nsec) / 1000000u);
}

QString devicePath(const QString& setting)
{
    const QString value = setting.trimmed();
    bool number = false;
    const int port = value.toInt(&number);
    if (number)
        return port >= 1 && port <= 8 ? devFolder() + QStringLiteral("/ttyS%1").arg(port - 1) : QString();
    const QFileInfo info(value);
    if (!info.isAbsolute())
        return QString();
    // Only adapter names: another terminal (the program's own, a console) is never opened.
    if (info.path() == devFolder() && isAdapterName(info.fileName()))
        return value;
    if (info.path() == byIdFolder() && !info.fileName().startsWith(QLatin1Char('.'))
        && (!info.isSymLink() || isAdapterName(QFileInfo(info.symLinkTarget()).fileName())))
        return value;
    return QString();
}

QList<Adapter> adapters()
{
    // The stable by-id name of each adapter that has one.
    QHash<QString, QString> stable;
    const QDir byId(byIdFolder());
    for (const QFileInfo& link : byId.entryInfoList(QDir::Files | QDir::System | QDir::NoDotAndDotDot, QDir::Name))
        if (link.isSymLink())
            stable.insert(QFileInfo(link.symLinkTarget()).fileName(), link.absoluteFilePath());
    QStringList names;
    for (const QString& name : QDir(devFolder()).entryList(QDir::Files | QDir::System, QDir::NoSort))
        if (isAdapterName(name))
            names.append(name);
    // ttyACM before ttyUSB, and ttyUSB2 before ttyUSB10.
    std::sort(names.begin(), names.end(), [](const QString& a, const QString& b) {
        return std::pair(a.left(6), a.mid(6).toInt()) < std::pair(b.left(6), b.mid(6).toInt());
    });
    QList<Adapter> out;
    for (const QString& name : names)
        out.append({QStringLiteral("USB串口 ") + name, stable.value(name, devFolder() + QLatin1Char('/') + name)});
    return out;
}

QString adapterName(const QString& setting)
{
    const QFileInfo info(setting);
    if (info.path() == byIdFolder() && info.isSymLink()) {
        const QString target = QFileInfo(info.symLinkTarget()).fileName();
        if (isAdapterName(target))
            return target;
    }
    return info.fileName();
}

std::unique_ptr<CtsSource> makePort()
{
    if (factory())
        return factory()();
    return std::make_unique<SerialCtsSource>();
}

// Never destroyed: a watcher may still end as the program ends.
internal::Hooks& internal::hooks()
{
    static Hooks* const h = new Hooks;
    return *h;
}
}

SerialCtsSource::~SerialCtsSource() { close(); }

void SerialCtsSource::open(const QString& port)
{
    const QString path = FootSwitch::devicePath(port);
    if (path.isEmpty())
        throw portError(kInvalidPort);
    openPath(path);
}

void SerialCtsSource::openPath(const QString& path)
{
    close();
    // The system's console (often /dev/ttyS0) belongs to the system.
    if (consoleNames().contains(QFileInfo(QFileInfo(path).canonicalFilePath()).fileName()))
        throw portError(kPortInUse);
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        const int e = errno;
        // A serial device node without a port behind it fails with EIO.
        if (e == ENOENT || e == ENXIO || e == ENODEV || e == ENOTDIR || e == EIO)
            throw portError(kInvalidPort);
        throw portError(e == EBUSY ? kPortInUse : kPortUnavailable);
    }
    if (!isatty(fd)) {
        ::close(fd);
        throw portError(kInvalidPort);
    }
    // TIOCEXCL keeps other programs out, but not one with administrator
    // rights; the lock holds for every opener that asks for it.
    if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const int e = errno;
        ::close(fd);
        throw portError(e == EWOULDBLOCK ? kPortInUse : kPortUnavailable);
    }
    ioctl(fd, TIOCEXCL);
    // Raw, no modem control: only the CTS line is read.
    termios tio{};
    if (tcgetattr(fd, &tio) == 0) {
        cfmakeraw(&tio);
        tio.c_cflag |= CLOCAL | CREAD;
        cfsetspeed(&tio, B9600);
        tcsetattr(fd, TCSANOW, &tio);
    }
    fd_ = fd;
    ++generation_;
    stop_ = false;
    watcher_ = QtConcurrent::run(&watcherPool(), [this, fd, generation = generation_] { watch(fd, generation); });
}

void SerialCtsSource::close()
{
    if (fd_ < 0)
        return;
    ++generation_;
    // The watcher sees the flag at its next reading, at most one pause from now.
    stop_ = true;
    watcher_.waitForFinished();
    watcher_ = QFuture<void>();
    ::close(fd_);
    fd_ = -1;
}

// Called on the watcher's thread: the change reaches the port's own thread
// through its event queue (and is dropped there if the port has closed or
// opened again meanwhile).
void SerialCtsSource::report(quint64 generation, quint32 tick)
{
    QMetaObject::invokeMethod(
        this,
        [this, generation, tick] {
            if (generation == generation_ && fd_ >= 0)
                emit ctsChanged(tick);
        },
        Qt::QueuedConnection);
}

void SerialCtsSource::watch(int fd, quint64 generation)
{
    ++watchersRunning();
    // The driver's count of CTS changes where it keeps one: changes that come
    // and go between two readings are counted all the same.
    serial_icounter_struct counted{};
    const bool countable = ioctl(fd, TIOCGICOUNT, &counted) == 0;
    int lines = 0;
    const bool readable = countable || ioctl(fd, TIOCMGET, &lines) == 0;
    // A pseudo-terminal has no modem lines: nothing to watch.
    while (readable && !stop_) {
        timespec pause{0, kPollMs * 1000 * 1000};
        nanosleep(&pause, nullptr);
        if (stop_)
            break;
        const quint32 tick = FootSwitch::tickCount();
        int changes = 0;
        if (countable) {
            serial_icounter_struct now{};
            if (ioctl(fd, TIOCGICOUNT, &now) != 0)
                break;
            changes = now.cts - counted.cts;
            counted = now;
        } else {
            int now = 0;
            if (ioctl(fd, TIOCMGET, &now) != 0)
                break;
            changes = (now ^ lines) & TIOCM_CTS ? 1 : 0;
            lines = now;
        }
        for (int i = 0; i < changes && !stop_; ++i)
            report(generation, tick);
    }
    --watchersRunning();
}
