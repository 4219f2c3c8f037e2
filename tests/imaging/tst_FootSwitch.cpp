// The foot switch: the press detector's timing rules, the serial port's
// exclusive opening and its watcher (on a pseudo-terminal, which has no modem
// lines), and the port settings dialog.
#include "core/Modini.h"
#include "core/Openers.h"
#include "core/QvButton.h"
#include "imaging/FootSwitch.h"
#include "imaging/FootSwitchTesting.h"
#include "imaging/FrmComset.h"
#include "imaging/ImagingOpeners.h"
#include "platform/MessageBox.h"
#include "platform/Opener.h"
#include "support/CoreKit.h"
#include "support/FakePort.h"

#include <QComboBox>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QSettings>
#include <QTemporaryDir>
#include <QtTest>

#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

using namespace kit;

namespace {
// The presses a series of changes gives: the indexes of the changes that completed one.
QList<int> presses(const QList<quint32>& ticks)
{
    FootSwitchDetector d;
    QList<int> out;
    for (int i = 0; i < ticks.size(); ++i)
        if (d.onCtsChange(ticks[i]))
            out.append(i);
    return out;
}

// The threads of this process.
int threadCount()
{
    int n = 0;
    for (QDirIterator it(QStringLiteral("/proc/self/task"), QDir::Dirs | QDir::NoDotAndDotDot); it.hasNext(); it.next())
        ++n;
    return n;
}

int errorNumber(const std::function<void()>& f)
{
    try {
        f();
    } catch (const AppError& e) {
        return e.number;
    }
    return 0;
}
}

class tst_FootSwitch : public QObject {
    Q_OBJECT
private slots:
    void detectorTimings()
    {
        // Bounce inside 50 ms is only counted; the change 300 ms after the first completes the press.
        QCOMPARE(presses({1000, 1049, 1300}), QList<int>{2});
        QCOMPARE(presses({1000, 1050}), QList<int>{1});
        QCOMPARE(presses({1000, 1700}), QList<int>{1});
        // 701 ms ends the measurement, and that change starts the next one.
        QCOMPARE(presses({1000, 1701, 1800}), QList<int>{2});
        QCOMPARE(presses({1000, 1701, 2500, 2600}), QList<int>{3});
        // After a press the next change starts a new measurement.
        QCOMPARE(presses({0, 100, 200, 300, 400}), (QList<int>{1, 3}));
        // Across the wrap of the 32-bit tick: 0xFFFFFF00 to 0x64 is 356 ms.
        QCOMPARE(presses({0xFFFFFF00u, 0x00000064u}), QList<int>{1});
        QCOMPARE(presses({0xFFFFFFF0u, 0x00000300u}), QList<int>{});   // 784 ms
    }

    // What a pedal does in a working day: every normal press after a glitch
    // still captures once; the detector never stays out of step.
    void detectorStaysInStep()
    {
        // A 30 ms tap, then three 200 ms presses 1.5 .. 3 s apart: three captures.
        QCOMPARE(presses({0, 30, 1500, 1700, 3500, 3700, 6500, 6700}), (QList<int>{3, 5, 7}));
        // The same with contact bounce on every edge.
        QCOMPARE(presses({0, 2, 30, 33, 1500, 1503, 1700, 1702, 3500, 3501, 3700, 3704, 6500, 6502, 6700, 6703}),
                 (QList<int>{6, 10, 14}));
        // A quick double press: two normal presses 150 ms apart, then a normal one.
        QCOMPARE(presses({0, 150, 300, 450, 2500, 2700}), (QList<int>{1, 3, 5}));
        // Two quick jabs of 40 ms each count as one press; the presses after them each capture.
        QCOMPARE(presses({0, 40, 100, 140, 2000, 2200, 4000, 4200}), (QList<int>{2, 5, 7}));
        // A press held 900 ms captures nothing; the next normal press captures once.
        QCOMPARE(presses({0, 900, 2500, 2700}), QList<int>{3});
        QCOMPARE(presses({0, 900, 1300, 1500, 3000, 3200}), (QList<int>{2, 5}));
        // A press whose first change was lost (the port closed): the presses after it capture.
        QCOMPARE(presses({0, 200, 450, 2000, 2200, 4000, 4200}), (QList<int>{1, 4, 6}));
    }

    // A port is opened exclusively: a second opener (another program) sees it
    // in use until the first closes it; no such port, not a serial device, or
    // the system's console is refused. No test opens a real serial port.
    void serialPortIsExclusive()
    {
        const int master = posix_openpt(O_RDWR | O_NOCTTY);
        QVERIFY(master >= 0 && grantpt(master) == 0 && unlockpt(master) == 0);
        const QString path = QString::fromLocal8Bit(ptsname(master));
        SerialCtsSource first, second;
        first.openPath(path);
        QVERIFY(first.isOpen());
        QCOMPARE(errorNumber([&] { second.openPath(path); }), CtsSource::kPortInUse);
        QVERIFY(!second.isOpen());
        first.close();   // the watcher (no modem lines here) ends with it
        second.openPath(path);
        QVERIFY(second.isOpen() && !first.isOpen());
        second.close();

        QCOMPARE(errorNumber([&] { first.openPath(QStringLiteral("/dev/no-such-tty")); }), CtsSource::kInvalidPort);
        QCOMPARE(errorNumber([&] { first.openPath(QStringLiteral("/dev/null")); }), CtsSource::kInvalidPort);
        QCOMPARE(errorNumber([&] { first.open(QString()); }), CtsSource::kInvalidPort);
        QCOMPARE(errorNumber([&] { first.open(QStringLiteral("/dev/tty")); }), CtsSource::kInvalidPort);

        // The terminal the system uses as its console is left alone.
        QTemporaryDir sys;
        const QString consoles = sys.filePath(QStringLiteral("active"));
        QVERIFY(writeBytes(consoles, "tty0 " + QFileInfo(path).fileName().toLocal8Bit() + "\n"));
        FootSwitch::setDeviceFoldersForTest(QString(), consoles);
        QCOMPARE(errorNumber([&] { first.openPath(path); }), CtsSource::kPortInUse);
        QVERIFY(!first.isOpen());
        FootSwitch::setDeviceFoldersForTest(QString(), QString());
        ::close(master);
    }

    // A port's watcher ends with it: close returns once it has gone, over
    // and over, and no thread is left behind (a watcher that never woke up
    // would hang the close, one never ended would pile up).
    void watcherEndsWithThePort()
    {
        const int master = posix_openpt(O_RDWR | O_NOCTTY);
        QVERIFY(master >= 0 && grantpt(master) == 0 && unlockpt(master) == 0);
        const QString path = QString::fromLocal8Bit(ptsname(master));
        const int threads = threadCount();
        {
            SerialCtsSource port;
            for (int i = 0; i < 50; ++i) {
                port.openPath(path);
                QVERIFY(port.isOpen());
                port.close();
                QVERIFY(!port.isOpen());
                QCOMPARE(FootSwitch::runningWatchers(), 0);
            }
            port.openPath(path);
            QVERIFY(port.isOpen());
        }   // destroyed open: closed with its watcher
        QCOMPARE(FootSwitch::runningWatchers(), 0);
        // Other threads of the process (an idle pool thread expiring) may end meanwhile.
        QTRY_VERIFY(threadCount() <= threads);
        ::close(master);
    }

    // The comport value: COM1 .. COM8 keep their devices, an adapter is kept
    // by its device, anything else (empty: no foot switch) names no port.
    void portNames()
    {
        QCOMPARE(FootSwitch::devicePath(QStringLiteral("1")), QStringLiteral("/dev/ttyS0"));
        QCOMPARE(FootSwitch::devicePath(QStringLiteral(" 8 ")), QStringLiteral("/dev/ttyS7"));
        for (const char* none : {"", "0", "9", "-1", "abc", "2.5", "ttyUSB0", "/dev/tty", "/dev/ttyS0", "/dev/console",
                                 "/dev/pts/0", "/etc/passwd", "/dev/serial/by-id/../../tty"})
            QVERIFY2(FootSwitch::devicePath(QString::fromLatin1(none)).isEmpty(), none);
        for (const char* adapter : {"/dev/ttyUSB0", "/dev/ttyACM12", "/dev/serial/by-id/usb-FTDI_FT232R-if00-port0"})
            QCOMPARE(FootSwitch::devicePath(QString::fromLatin1(adapter)), QString::fromLatin1(adapter));

        // The shipped settings name no port: a fresh machine never opens its console.
        QSettings shipped(QStringLiteral(WS_SOURCE_DIR "/data/options.ini"), QSettings::IniFormat);
        QVERIFY(shipped.contains(QStringLiteral("system/comport")));
        QCOMPARE(shipped.value(QStringLiteral("system/comport")).toString(), QString());
    }

    void portDialog()
    {
        auto folder = freshFolder();
        QVERIFY(folder->ok());
        ImagingOpeners::registerAll();
        auto log = FakePort::install();
        FrmComset* shown = nullptr;
        Opener::setHook([&](QDialog* d) {
            shown = qobject_cast<FrmComset*>(d);
            return 0;
        });
        // Opened from the main window's menu command, with the stored port selected.
        QVERIFY(setIni("system", "comport", QStringLiteral("3")));
        Openers::OpenComset();
        QVERIFY(shown);
        FrmComset& d = *shown;
        QCOMPARE(d.windowTitle(), QStringLiteral("脚踏开关端口设置"));
        QVERIFY(d.Comport->count() >= 8 && d.Comport->itemText(7) == QStringLiteral("COM8"));
        QCOMPARE(d.Comport->currentText(), QStringLiteral("COM3"));
        for (const char* stored : {"", "9", "0", "abc", "2.5"}) {
            QVERIFY(setIni("system", "comport", QString::fromLatin1(stored)));
            d.Form_Load();
            QCOMPARE(d.Comport->currentIndex(), -1);
        }

        // Nothing selected, or a port in use: the error, the dialog stays, nothing written.
        MessageBox::clearShown();
        d.ButtnSave->click();
        QCOMPARE(lastTitle(), QStringLiteral("错误"));
        QVERIFY(lastText().startsWith(QStringLiteral("381:")));
        log->refused.insert(QStringLiteral("5"));
        d.Comport->setCurrentIndex(4);
        d.ButtnSave->click();
        QCOMPARE(lastText(), QStringLiteral("8005:端口已被占用"));
        QCOMPARE(Modini::GetIniValue(IniKey::ComPort), QStringLiteral("2.5"));
        QVERIFY(d.result() != QDialog::Accepted);

        // A port that opens is written, closed again and the dialog closes.
        d.Comport->setCurrentIndex(2);
        d.ButtnSave->click();
        QCOMPARE(Modini::GetIniValue(IniKey::ComPort), QStringLiteral("3"));
        QVERIFY(log->opened == QStringList{QStringLiteral("3")} && log->closes == 1);
        QCOMPARE(d.result(), int(QDialog::Accepted));

        // USB serial adapters follow COM1 .. COM8, in the order of their
        // names; one with a stable by-id name is kept by it.
        QTemporaryDir dev;
        for (const char* name : {"ttyUSB10", "ttyUSB0", "ttyACM0", "ttyUSB2", "ttyS0", "ttyprintk", "console"})
            QVERIFY(writeBytes(dev.filePath(QString::fromLatin1(name)), QByteArray()));
        QVERIFY(QDir(dev.path()).mkpath(QStringLiteral("serial/by-id")));
        const QString stable = dev.filePath(QStringLiteral("serial/by-id/usb-Pedal_Switch_A1-if00-port0"));
        QVERIFY(QFile::link(QStringLiteral("../../ttyUSB0"), stable));
        FootSwitch::setDeviceFoldersForTest(dev.path(), QString());
        d.Form_Load();
        QStringList captions;
        for (int i = 8; i < d.Comport->count(); ++i)
            captions << d.Comport->itemText(i);
        QCOMPARE(captions, (QStringList{QStringLiteral("USB串口 ttyACM0"), QStringLiteral("USB串口 ttyUSB0"),
                                        QStringLiteral("USB串口 ttyUSB2"), QStringLiteral("USB串口 ttyUSB10")}));
        QCOMPARE(d.Comport->currentText(), QStringLiteral("COM3"));   // the built-in port as before
        d.Comport->setCurrentIndex(9);
        d.ButtnSave->click();
        QCOMPARE(Modini::GetIniValue(IniKey::ComPort), stable);
        QCOMPARE(log->opened.last(), stable);
        d.Form_Load();
        QCOMPARE(d.Comport->currentText(), QStringLiteral("USB串口 ttyUSB0"));
        // Set by its device name: the same adapter is selected.
        QVERIFY(setIni("system", "comport", dev.filePath(QStringLiteral("ttyUSB0"))));
        d.Form_Load();
        QVERIFY(d.Comport->currentIndex() == 9 && d.Comport->count() == 12);
        d.Comport->setCurrentIndex(10);
        d.ButtnSave->click();
        QCOMPARE(Modini::GetIniValue(IniKey::ComPort), dev.filePath(QStringLiteral("ttyUSB2")));
        // Unplugged: still shown as the port set, marked as such.
        QVERIFY(QFile::remove(dev.filePath(QStringLiteral("ttyUSB2"))));
        d.Form_Load();
        QCOMPARE(d.Comport->currentText(), QStringLiteral("（未连接）ttyUSB2"));
        d.grab().save(testOutputFolder() + QStringLiteral("/comset.png"));
        QCOMPARE(d.Comport->count(), 8 + 3 + 1);
        FootSwitch::setDeviceFoldersForTest(QString(), QString());
        FootSwitch::setPortFactory({});
        Opener::setHook({});
    }
};

QTEST_MAIN(tst_FootSwitch)
#include "tst_FootSwitch.moc"
