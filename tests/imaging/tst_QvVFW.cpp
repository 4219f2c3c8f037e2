#include "core/Modini.h"
#include "imaging/BmpFile.h"
#include "imaging/ImagingError.h"
#include "imaging/QvVFW.h"
#include "imaging/VideoCompressionDialog.h"
#include "imaging/VideoFormatDialog.h"
#include "imaging/VideoSettings.h"
#include "imaging/VideoSourceDialog.h"
#include "imaging/cDIBSection.h"
#include "imaging/mIntelJPEGLibrary.h"
#include "platform/Opener.h"
#include "support/TestFolder.h"

#include <QComboBox>
#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QSpinBox>
#include <QtTest>

#include <random>

namespace {
// Deadline for anything the tests wait for: frames, the discoverer. Generous,
// so that a machine busy with other tests only makes them slower.
constexpr int kWaitMs = 60000;

void setVideo(const char* key, const QString& value)
{
    QVERIFY(Modini::SetIniValue(QStringLiteral("video"), QString::fromLatin1(key), value));
}

// The sizes of the video frames an AVI's idx1 index lists, in order.
QList<quint32> aviFrameSizes(const QByteArray& all)
{
    QList<quint32> sizes;
    // The top-level chunks after "RIFF" <size> "AVI ".
    for (qsizetype at = 12; at + 8 <= all.size();) {
        const QByteArray id = all.mid(at, 4);
        const quint32 size = qFromLittleEndian<quint32>(all.constData() + at + 4);
        if (id == "idx1") {
            for (qsizetype e = at + 8; e + 16 <= at + 8 + qsizetype(size) && e + 16 <= all.size(); e += 16) {
                const QByteArray ckid = all.mid(e, 4);
                if (ckid == "00dc" || ckid == "00db")
                    sizes.append(qFromLittleEndian<quint32>(all.constData() + e + 12));
            }
            break;
        }
        at += 8 + qsizetype(size) + (size & 1);
    }
    return sizes;
}

QByteArray contents(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// What a finished AVI must have: the RIFF/AVI header whose size is the file's,
// the idx1 index listing the frames, and the header's frame count agreeing
// with it. Gives the indexed frame sizes.
QList<quint32> checkAviFinalised(const QString& path)
{
    const QByteArray all = contents(path);
    const QList<quint32> sizes = aviFrameSizes(all);
    [&] {
        QVERIFY2(all.size() > 1000 && all.startsWith("RIFF") && all.mid(8, 4) == "AVI ", qPrintable(path));
        // The muxer rewrites the RIFF size at the end: nothing else is in the file.
        QCOMPARE(qFromLittleEndian<quint32>(all.constData() + 4) + 8, quint32(all.size()));
        QVERIFY2(!sizes.isEmpty(), "no idx1 index with frames: the file was not finalised");
        // avih: dwTotalFrames is the fifth field of the main header.
        const qsizetype avih = all.indexOf("avih");
        QVERIFY(avih > 0);
        QCOMPARE(qFromLittleEndian<quint32>(all.constData() + avih + 8 + 16), quint32(sizes.size()));
    }();
    return sizes;
}

// The duration gst-discoverer-1.0 reports, in seconds (negative when none).
double discoveredSeconds(const QString& path)
{
    QProcess p;
    p.start(QStringLiteral("gst-discoverer-1.0"), {QStringLiteral("-t"), QString::number(kWaitMs / 1000), path});
    if (!p.waitForFinished(2 * kWaitMs))
        return -1;
    const QString out = QString::fromUtf8(p.readAllStandardOutput());
    const QRegularExpressionMatch m =
        QRegularExpression(QStringLiteral("Duration: (\\d+):(\\d+):(\\d+\\.\\d+)")).match(out);
    if (!m.hasMatch())
        return -1;
    return m.captured(1).toDouble() * 3600 + m.captured(2).toDouble() * 60 + m.captured(3).toDouble();
}

// A noisy picture, different for each seed.
QImage noisyPicture(int seed, int w = 200, int h = 150)
{
    QImage img(w, h, QImage::Format_RGB32);
    std::mt19937 gen{quint32(seed)};
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            img.setPixel(x, y, qRgb(int(gen() % 256), (x + y + seed * 40) % 256, int(gen() % 64)));
    return img;
}

// The JPEG (quality 90) of what the BMP file holds.
QByteArray jpegOfFile(const QString& bmp)
{
    cDIBSection dib;
    return BmpFile::read(bmp, dib) ? mIntelJPEGLibrary::encode(dib, mIntelJPEGLibrary::kCaptureQuality)
                                   : QByteArray();
}

void recordFor(QvVFW& v, int frames)
{
    for (int i = 0; i < frames; ++i)
        QVERIFY(v.waitForFrame(v.framesReceived(), kWaitMs));
}

// Records about the given number of frames to path; gives the indexed frame sizes of the finished file.
QList<quint32> recordTo(QvVFW& v, const QString& path, int frames)
{
    v.setAviFileName(path);
    if (!v.StartRecording()) {
        QTest::qFail("the recording did not start", __FILE__, __LINE__);
        return {};
    }
    recordFor(v, frames);
    v.StopRecording();
    return checkAviFinalised(path);
}

// Answers the next modal dialog with the given function.
template <typename D, typename F>
void answerNext(F f)
{
    Opener::setHook([f](QDialog* dlg) {
        auto* d = qobject_cast<D*>(dlg);
        if (!d)
            return int(QDialog::Rejected);
        f(d);
        return d->result();
    });
}
}

class tst_QvVFW : public QObject {
    Q_OBJECT
private:
    std::unique_ptr<TestFolder> tf;

private slots:
    void init()
    {
        tf = std::make_unique<TestFolder>(false);
        QVERIFY(tf->ok());
        setVideo("device", VideoSettings::testPattern());
        setVideo("width", QStringLiteral("320"));
        setVideo("height", QStringLiteral("240"));
        setVideo("fps", QStringLiteral("30"));
    }
    void cleanup()
    {
        Opener::setHook([](QDialog*) { return 0; });
        tf.reset();
    }

    void liveFramesAndSaveFrame()
    {
        QvVFW v;
        v.resize(160, 120);
        v.setFrameFileName(tf->file(QStringLiteral("img/image1.bmp")));
        // Nothing connected, no frame: nothing is written.
        QVERIFY(!v.SaveFrame());
        QVERIFY(!QFileInfo::exists(v.FrameFileName()));

        QVERIFY(v.Connect() && v.isConnected());
        QCOMPARE(v.currentSource(), VideoSettings::testPattern());
        QVERIFY(v.waitForFrame(0, kWaitMs));
        const QImage first = v.currentFrame();
        QCOMPARE(first.size(), QSize(320, 240));
        QVERIFY(v.waitForFrame(v.framesReceived() + 2, kWaitMs));
        QVERIFY2(v.currentFrame() != first, "the test pattern should move");

        // The live picture is painted, stretched into the control.
        const QImage shot = v.grab().toImage();
        shot.save(testOutputFolder() + QStringLiteral("/video_live.png"));
        int lit = 0;
        for (int y = 0; y < shot.height(); y += 4)
            for (int x = 0; x < shot.width(); x += 4)
                lit += qGray(shot.pixel(x, y)) > 100;
        QVERIFY(lit > 0);

        // The frame saved, and the capture's next step: the JPEG beside it, showing the same picture.
        QVERIFY(v.SaveFrame());
        const QImage saved(v.FrameFileName());
        QCOMPARE(saved.size(), QSize(320, 240));
        QVERIFY(ConvertBmpToJpg(v.FrameFileName()));
        const QImage jpg(tf->file(QStringLiteral("img/image1.jpg")));
        QCOMPARE(jpg.size(), QSize(320, 240));
        for (const QPoint pt : {QPoint(5, 5), QPoint(160, 120), QPoint(300, 200)})
            QVERIFY(qAbs(qGray(jpg.pixel(pt)) - qGray(saved.pixel(pt))) < 40);

        // A file that cannot be written; a switched-off video.
        v.setFrameFileName(tf->file(QStringLiteral("missing/image2.bmp")));
        QVERIFY(!v.SaveFrame());
        v.Disconnect();
        QVERIFY(!v.isConnected());
        v.setFrameFileName(tf->file(QStringLiteral("img/image3.bmp")));
        QVERIFY(!v.SaveFrame());
    }

    // The capture's JPEG is encoded from the frame while the BMP is written;
    // whatever happens to the BMP before the conversion, the JPEG is always
    // the one of the file as the conversion finds it.
    void captureConvertsWhatTheFileHolds()
    {
        QvVFW v;   // not connected: the frames are handed in
        const QString bmp = tf->file(QStringLiteral("img/image1.bmp"));
        const QString jpg = tf->file(QStringLiteral("img/image1.jpg"));
        v.setFrameFileName(bmp);
        const QImage a = noisyPicture(1), b = noisyPicture(2);
        v.presentFrame(a);
        QCOMPARE(v.framesReceived(), quint64(1));
        QCOMPARE(v.currentFrame().convertToFormat(QImage::Format_RGB32), a);

        QVERIFY(v.SaveFrame());
        QVERIFY(ConvertBmpToJpg(bmp));
        const QByteArray jpegA = contents(jpg);
        QVERIFY(jpegA.startsWith("\xff\xd8"));
        QCOMPARE(jpegA, jpegOfFile(bmp));

        // Changed after the save: one pixel byte in place (the modification time put back), or
        // another picture of the same size over it. The JPEG is the one of the file.
        for (bool wholePicture : {false, true}) {
            QVERIFY(v.SaveFrame());
            if (wholePicture) {
                QVERIFY(BmpFile::write24(b, bmp));
            } else {
                const QDateTime modified = QFileInfo(bmp).lastModified();
                QFile f(bmp);
                char c = 0;
                QVERIFY(f.open(QIODevice::ReadWrite) && f.seek(f.size() / 2) && f.getChar(&c));
                QVERIFY(f.seek(f.size() / 2) && f.putChar(char(~c)) && f.flush());
                QVERIFY(f.setFileTime(modified, QFileDevice::FileModificationTime));
            }
            QVERIFY(ConvertBmpToJpg(bmp));
            QCOMPARE(contents(jpg), jpegOfFile(bmp));
            QVERIFY(contents(jpg) != jpegA);
        }

        // Cut short inside its header: no longer a picture, and no JPEG of the frame is written.
        const QByteArray jpegB = contents(jpg);
        QVERIFY(v.SaveFrame());
        QVERIFY(QFile::resize(bmp, 40));
        int raised = 0;
        try {
            ConvertBmpToJpg(bmp);
        } catch (const ImagingError& e) {
            raised = e.number;
        }
        QCOMPARE(raised, 481);
        QCOMPARE(contents(jpg), jpegB);

        // Two frames saved before either is converted: each JPEG shows its own file.
        const QString bmp2 = tf->file(QStringLiteral("img/image2.bmp"));
        const QString bmp3 = tf->file(QStringLiteral("img/image3.bmp"));
        for (const auto& [frame, file] : {std::pair{b, bmp2}, std::pair{a, bmp3}}) {
            v.presentFrame(frame);
            v.setFrameFileName(file);
            QVERIFY(v.SaveFrame());
        }
        QVERIFY(ConvertBmpToJpg(bmp2) && ConvertBmpToJpg(bmp3));
        QCOMPARE(contents(tf->file(QStringLiteral("img/image2.jpg"))), jpegOfFile(bmp2));
        QCOMPARE(contents(tf->file(QStringLiteral("img/image3.jpg"))), jpegA);

        // A frame that could not be saved leaves the old BMP to be converted.
        v.presentFrame(b);
        v.setFrameFileName(tf->file(QStringLiteral("missing/image4.bmp")));
        QVERIFY(!v.SaveFrame());
        QVERIFY(ConvertBmpToJpg(bmp3));
        QCOMPARE(contents(tf->file(QStringLiteral("img/image3.jpg"))), jpegA);
    }

    void recordingIsFinalised()
    {
        QvVFW v;
        const QString avi = tf->file(QStringLiteral("rec.avi"));
        v.setAviFileName(avi);
        QVERIFY(!v.StartRecording());   // not connected
        QVERIFY(v.Connect());
        QVERIFY(v.StartRecording() && v.isRecording());
        QVERIFY(!v.StartRecording());   // one recording at a time
        recordFor(v, 30);               // about one second
        v.StopRecording();
        QVERIFY(!v.isRecording() && v.isConnected());
        const QList<quint32> mjpeg = checkAviFinalised(avi);
        QVERIFY(!QTest::currentTestFailed());
        for (quint32 size : mjpeg)
            QVERIFY(size > 0 && size < 320 * 240 * 3);
        QVERIFY(discoveredSeconds(avi) > 0.0);

        // The live picture went on, and a second recording works (uncompressed this time).
        const quint64 seen = v.framesReceived();
        QVERIFY(v.waitForFrame(seen, kWaitMs));
        setVideo("codec", QStringLiteral("raw"));
        const QString raw = tf->file(QStringLiteral("raw.avi"));
        // How many frames went in depends on the machine's load; each is a whole BGR picture.
        for (quint32 size : recordTo(v, raw, 5))
            QCOMPARE(size, quint32(320 * 240 * 3));
        QVERIFY(!QTest::currentTestFailed());

        // Recording again to the same file replaces it: a complete file of the
        // new (compressed) recording, nothing left of the old one.
        setVideo("codec", QStringLiteral("mjpeg"));
        for (quint32 size : recordTo(v, raw, 3))
            QVERIFY(size < 320 * 240 * 3);
        QVERIFY(!QTest::currentTestFailed());
        QVERIFY(discoveredSeconds(raw) > 0.0);

        // Stopped at once, before any frame went in: an AVI without frames, and
        // the control records on.
        const QString none = tf->file(QStringLiteral("none.avi"));
        v.setAviFileName(none);
        QVERIFY(v.StartRecording());
        v.StopRecording();
        QVERIFY(!v.isRecording());
        QCOMPARE(contents(none).left(4), QByteArray("RIFF"));
        recordTo(v, raw, 3);
    }

    void recordingToUnwritablePathFails()
    {
        QvVFW v;
        QVERIFY(v.Connect());
        v.setAviFileName(tf->file(QStringLiteral("no/such/folder/x.avi")));
        QVERIFY(!v.StartRecording() && !v.isRecording());
        // The live picture is not disturbed.
        QVERIFY(v.waitForFrame(v.framesReceived(), kWaitMs));
        v.setAviFileName(QString());
        QVERIFY(!v.StartRecording());

        // A file that takes no data (a full disk): the recording fails, its
        // stop comes back, and the live picture and the captures go on.
        if (QFileInfo(QStringLiteral("/dev/full")).isWritable()) {
            QSignalSpy errors(&v, &QvVFW::errorOccurred);
            v.setAviFileName(QStringLiteral("/dev/full"));
            QVERIFY(v.StartRecording());   // the file opens; writing fails
            QTRY_VERIFY_WITH_TIMEOUT(!errors.isEmpty(), kWaitMs);
            // Frames keep coming while the failed branch still hangs on the stream.
            recordFor(v, 10);
            QVERIFY(!v.lastError().isEmpty());
            v.StopRecording();
            QVERIFY(!v.isRecording() && v.isConnected());
            QVERIFY(v.waitForFrame(v.framesReceived(), kWaitMs));
            v.setFrameFileName(tf->file(QStringLiteral("img/image1.bmp")));
            QVERIFY(v.SaveFrame());
            recordTo(v, tf->file(QStringLiteral("after.avi")), 5);   // and the next recording works
        }
    }

    void switchingOffWhileRecordingFinalises()
    {
        const QString avi = tf->file(QStringLiteral("off.avi"));
        {
            QvVFW v;
            v.setAviFileName(avi);
            QVERIFY(v.Connect() && v.StartRecording());
            recordFor(v, 10);
            v.Disconnect();
            QVERIFY(!v.isRecording() && !v.isConnected());
            checkAviFinalised(avi);
            // Switched on again: not recording.
            QVERIFY(v.Connect() && !v.isRecording());
        }

        // The window going away while recording completes the file too.
        const QString avi2 = tf->file(QStringLiteral("closed.avi"));
        auto* v = new QvVFW;
        v->setAviFileName(avi2);
        QVERIFY(v->Connect() && v->StartRecording());
        recordFor(*v, 10);
        delete v;
        checkAviFinalised(avi2);
        QVERIFY(discoveredSeconds(avi2) > 0.0);
    }

    // A camera unplugged while streaming: the live picture stops, frames can no
    // longer be saved nor recordings started, and a running recording is
    // still completed, whether it is stopped or the video switched off.
    void sourceLostMidStream()
    {
        const QString avi = tf->file(QStringLiteral("lost.avi"));
        const QString bmp = tf->file(QStringLiteral("img/image1.bmp"));
        QvVFW v;
        v.resize(160, 120);
        v.setAviFileName(avi);
        v.setFrameFileName(bmp);
        QVERIFY(v.Connect() && v.StartRecording());
        recordFor(v, 5);
        QSignalSpy errors(&v, &QvVFW::errorOccurred);
        v.failSourceForTest();
        QTRY_VERIFY_WITH_TIMEOUT(!errors.isEmpty(), kWaitMs);
        QVERIFY(!v.lastError().isEmpty());
        QVERIFY(v.currentFrame().isNull() && !v.SaveFrame());
        QVERIFY(!QFileInfo::exists(bmp));
        // The panel no longer shows a picture.
        const QImage shot = v.grab().toImage();
        QCOMPARE(shot.pixel(80, 60), qRgb(0, 0, 0));
        QVERIFY(v.isRecording());
        v.StopRecording();
        QVERIFY(!v.isRecording());
        checkAviFinalised(avi);
        // A new recording would be empty: refused, no file made.
        const QString avi2 = tf->file(QStringLiteral("lost2.avi"));
        v.setAviFileName(avi2);
        QVERIFY(!v.StartRecording() && !QFileInfo::exists(avi2));
        // Switched off and on again, the video runs.
        v.Disconnect();
        QVERIFY(v.Connect());
        QVERIFY(v.lastError().isEmpty());
        QVERIFY(v.waitForFrame(0, kWaitMs));
        QVERIFY(v.SaveFrame());
        QCOMPARE(QImage(bmp).size(), QSize(320, 240));

        // Lost while recording, then switched off.
        QVERIFY(v.StartRecording());
        recordFor(v, 5);
        v.failSourceForTest();
        v.Disconnect();
        QVERIFY(!v.isRecording() && !v.isConnected());
        checkAviFinalised(avi2);
    }

    void missingDeviceFailsToConnect()
    {
        QvVFW v;
        setVideo("device", QStringLiteral("/dev/video-not-there"));
        QVERIFY(!v.Connect() && !v.isConnected());
        // A path that is no capture device.
        setVideo("device", QStringLiteral("/dev/null"));
        QVERIFY(!v.Connect() && !v.isConnected());
        v.setFrameFileName(tf->file(QStringLiteral("img/image1.bmp")));
        QVERIFY(!v.SaveFrame());
        v.Disconnect();   // harmless when not connected
        v.StopRecording();
    }

    void sourceDialog()
    {
        setVideo("device", QStringLiteral("/dev/video-not-there"));
        QvVFW v;
        answerNext<VideoSourceDialog>([](VideoSourceDialog* d) {
            // The configured camera is listed although absent; the test pattern comes first.
            QCOMPARE(d->ComboDevice->itemData(0).toString(), VideoSettings::testPattern());
            QCOMPARE(d->ComboDevice->currentData().toString(), QStringLiteral("/dev/video-not-there"));
            d->grab().save(testOutputFolder() + QStringLiteral("/video_source_dialog.png"));
            d->ComboDevice->setCurrentIndex(0);
            d->ButtnOk->click();
        });
        v.ShowSourceDialog();
        QCOMPARE(Modini::GetIniValue(QStringLiteral("video"), QStringLiteral("device")), VideoSettings::testPattern());
        QVERIFY(v.Connect());

        // Cancel writes nothing.
        answerNext<VideoSourceDialog>([](VideoSourceDialog* d) {
            d->ComboDevice->setCurrentIndex(d->ComboDevice->count() - 1);
            d->ButtnCancel->click();
        });
        v.ShowSourceDialog();
        QCOMPARE(Modini::GetIniValue(QStringLiteral("video"), QStringLiteral("device")), VideoSettings::testPattern());
    }

    void formatDialogAppliesAtOnce()
    {
        QvVFW v;
        QVERIFY(v.Connect() && v.waitForFrame(0, kWaitMs));
        answerNext<VideoFormatDialog>([](VideoFormatDialog* d) {
            QCOMPARE(d->ComboSize->currentData().toSize(), QSize(320, 240));
            QCOMPARE(d->ComboRate->currentData().toInt(), 30);
            d->grab().save(testOutputFolder() + QStringLiteral("/video_format_dialog.png"));
            d->ComboSize->setCurrentIndex(d->ComboSize->findData(QSize(640, 480)));
            // The rate list follows the size; the chosen rate is kept where offered.
            QCOMPARE(d->ComboRate->currentData().toInt(), 30);
            d->ComboRate->setCurrentIndex(d->ComboRate->findData(15));
            d->ButtnOk->click();
        });
        v.ShowFormatDialog();
        const VideoSettings s = VideoSettings::load();
        QCOMPARE(QSize(s.width, s.height), QSize(640, 480));
        QCOMPARE(s.fps, 15);
        QVERIFY(v.isConnected() && v.waitForFrame(0, kWaitMs));   // the video runs on in the new size
        QCOMPARE(v.currentFrame().size(), QSize(640, 480));
    }

    void compressionDialog()
    {
        QvVFW v;
        answerNext<VideoCompressionDialog>([](VideoCompressionDialog* d) {
            QVERIFY(d->OptionMjpeg->isChecked() && d->SpinQuality->value() == 85);
            d->grab().save(testOutputFolder() + QStringLiteral("/video_compression_dialog.png"));
            d->OptionRaw->setChecked(true);
            QVERIFY(!d->SpinQuality->isEnabled());
            d->ButtnOk->click();
        });
        v.ShowCompressionDialog();
        QCOMPARE(VideoSettings::load().codec, QStringLiteral("raw"));

        answerNext<VideoCompressionDialog>([](VideoCompressionDialog* d) {
            QVERIFY(d->OptionRaw->isChecked());
            d->OptionMjpeg->setChecked(true);
            QVERIFY(d->SpinQuality->isEnabled());   // the quality is only for compressed video
            d->SpinQuality->setValue(60);
            d->ButtnOk->click();
        });
        v.ShowCompressionDialog();
        QVERIFY(VideoSettings::load().codec == QStringLiteral("mjpeg") && VideoSettings::load().quality == 60);
    }
};

QTEST_MAIN(tst_QvVFW)
#include "tst_QvVFW.moc"
