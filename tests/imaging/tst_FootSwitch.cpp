// The foot switch: the press detector's timing rules, the serial port's
// exclusive opening (on a pseudo-terminal, which has no modem lines), and the
// port settings dialog.
#include "core/Modini.h"
#include "core/Openers.h"
#include "core/QvButton.h"
#include "imaging/FootSwitch.h"
#include "imaging/FrmComset.h"
#include "imaging/ImagingOpeners.h"
#include "platform/MessageBox.h"
#include "platform/Opener.h"
#include "support/CoreKit.h"
#include "support/FakePort.h"

#include <QComboBox>
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
        // 701 ms ends the measurement; the change after it starts a new one.
        QCOMPARE(presses({1000, 1701, 1800, 1900}), QList<int>{3});
        QCOMPARE(presses({1000, 1701, 1800, 2600}), QList<int>{});
        // After a press the next change starts a new measurement.
        QCOMPARE(presses({0, 100, 200, 300, 400}), (QList<int>{1, 3}));
        // Across the wrap of the 32-bit tick: 0xFFFFFF00 to 0x64 is 356 ms.
        QCOMPARE(presses({0xFFFFFF00u, 0x00000064u}), QList<int>{1});
        QCOMPARE(presses({0xFFFFFFF0u, 0x00000300u}), QList<int>{});   // 784 ms
    }

    // A port is opened exclusively: a second opener (another program) sees it
    // in use until the first closes it; no such port, or not a serial device, is refused.
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
        ::close(master);

        QCOMPARE(errorNumber([&] { first.openPath(QStringLiteral("/dev/no-such-tty")); }), CtsSource::kInvalidPort);
        QCOMPARE(errorNumber([&] { first.openPath(QStringLiteral("/dev/null")); }), CtsSource::kInvalidPort);
        QCOMPARE(errorNumber([&] { first.open(0); }), CtsSource::kInvalidPort);
        QCOMPARE(FootSwitch::devicePath(3), QStringLiteral("/dev/ttyS2"));
    }

    // A real serial port where the machine has one: the watcher sleeps in
    // TIOCMIWAIT (or reads the line), and closing the port ends it.
    void realSerialPort()
    {
        SerialCtsSource a, b;
        try {
            a.open(1);
        } catch (const AppError& e) {
            QSKIP(qPrintable(QStringLiteral("COM1: ") + e.text()));
        }
        QCOMPARE(errorNumber([&] { b.open(1); }), CtsSource::kPortInUse);
        QTest::qWait(20);   // the watcher is waiting by now
        a.close();
        QVERIFY(!a.isOpen());
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
        QVERIFY(d.Comport->count() == 8 && d.Comport->itemText(7) == QStringLiteral("COM8"));
        QCOMPARE(d.Comport->currentData().toInt(), 3);
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
        log->refused.insert(5);
        d.Comport->setCurrentIndex(4);
        d.ButtnSave->click();
        QCOMPARE(lastText(), QStringLiteral("8005:端口已被占用"));
        QCOMPARE(Modini::GetIniValue(IniKey::ComPort), QStringLiteral("2.5"));
        QVERIFY(d.result() != QDialog::Accepted);

        // A port that opens is written, closed again and the dialog closes.
        d.Comport->setCurrentIndex(2);
        d.ButtnSave->click();
        QCOMPARE(Modini::GetIniValue(IniKey::ComPort), QStringLiteral("3"));
        QVERIFY(log->opened == QList<int>{3} && log->closes == 1);
        QCOMPARE(d.result(), int(QDialog::Accepted));
        FootSwitch::setPortFactory({});
        Opener::setHook({});
    }
};

QTEST_MAIN(tst_FootSwitch)
#include "tst_FootSwitch.moc"
