#include "imaging/BmpFile.h"
#include "imaging/ImagingError.h"
#include "imaging/cDIBSection.h"
#include "imaging/mIntelJPEGLibrary.h"
#include "platform/MessageBox.h"
#include "support/TestFolder.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QtTest>

#include <random>

namespace {
// A picture with a red top band over a blue field, plus some detail.
QImage testPicture(int w = 96, int h = 64)
{
    QImage img(w, h, QImage::Format_RGB32);
    std::mt19937 gen(7);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const int n = int(gen() % 40);
            img.setPixel(x, y, y < 16 ? qRgb(220 + n / 2, n, n) : qRgb(n, 60 + n, 180 + n));
        }
    return img;
}

// The error a call raises ("" when none).
template <typename F>
QString raised(F f)
{
    try {
        f();
    } catch (const ImagingError& e) {
        return e.text();
    }
    return QString();
}

void writeFile(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size());
}
}

class tst_JpegWriter : public QObject {
    Q_OBJECT
private slots:
    void nameRules()
    {
        TestFolder tf(false);
        QVERIFY(tf.ok());
        const QString bmp = tf.file(QStringLiteral("img/IMAGE2.BMP"));
        QVERIFY(BmpFile::write24(testPicture(), bmp));
        QVERIFY(ConvertBmpToJpg(bmp));
        QVERIFY(QFileInfo::exists(tf.file(QStringLiteral("img/IMAGE2.jpg"))));
        QVERIFY(MessageBox::shownBoxes().isEmpty());

        for (const QString& bad : {QStringLiteral("img/x.bmp "), QStringLiteral("img/x.jpg")}) {
            MessageBox::clearShown();
            QFile::copy(bmp, tf.file(bad));
            QVERIFY(!ConvertBmpToJpg(tf.file(bad)));
            QCOMPARE(MessageBox::shownBoxes().size(), 1);
            const MessageBox::Shown s = MessageBox::shownBoxes().first();
            QCOMPARE(s.text, QStringLiteral("截取的图片格式不正确"));
            QVERIFY(s.title == QStringLiteral("错误") && s.icon == MessageBox::Icon::Exclamation);
        }
        QVERIFY(!QFileInfo::exists(tf.file(QStringLiteral("img/x.bmp jpg"))));
        QVERIFY(!QFileInfo::exists(tf.file(QStringLiteral("img/x.jpg"))) ||
                QFileInfo(tf.file(QStringLiteral("img/x.jpg"))).size() == QFileInfo(bmp).size());
    }

    void outputIsUpright()
    {
        TestFolder tf(false);
        const QString bmp = tf.file(QStringLiteral("img/image1.bmp"));
        const QImage pic = testPicture();
        QVERIFY(BmpFile::write24(pic, bmp));
        // The BMP itself reads back as written.
        QCOMPARE(QImage(bmp).convertToFormat(QImage::Format_RGB32), pic);
        QVERIFY(ConvertBmpToJpg(bmp));
        const QImage jpg(tf.file(QStringLiteral("img/image1.jpg")));
        QCOMPARE(jpg.size(), pic.size());
        const QColor top = jpg.pixelColor(10, 4);
        const QColor bottom = jpg.pixelColor(10, 60);
        QVERIFY2(top.red() > 180 && top.blue() < 80, qPrintable(top.name()));
        QVERIFY2(bottom.blue() > 150 && bottom.red() < 80, qPrintable(bottom.name()));

        // Other BMP layouts (here 32-bit) go through the image reader.
        const QString bmp32 = tf.file(QStringLiteral("img/image2.bmp"));
        QVERIFY(QImage(pic).convertToFormat(QImage::Format_ARGB32).save(bmp32, "BMP"));
        QVERIFY(ConvertBmpToJpg(bmp32));
        QVERIFY(QImage(tf.file(QStringLiteral("img/image2.jpg"))).pixelColor(10, 4).red() > 180);
    }

    void replacingKeepsTimesAndPermissions()
    {
        TestFolder tf(false);
        const QString bmp = tf.file(QStringLiteral("img/image3.bmp"));
        const QString jpg = tf.file(QStringLiteral("img/image3.jpg"));
        writeFile(jpg, "old content");
        const QDateTime a(QDate(2019, 5, 6), QTime(7, 8, 9));
        const QDateTime m(QDate(2020, 1, 2), QTime(3, 4, 5));
        {
            QFile old(jpg);
            QVERIFY(old.open(QIODevice::Append));
            QVERIFY(old.setFileTime(a, QFileDevice::FileAccessTime));
            QVERIFY(old.setFileTime(m, QFileDevice::FileModificationTime));
        }
        const auto perms = QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup;
        QVERIFY(QFile::setPermissions(jpg, perms));

        QVERIFY(BmpFile::write24(testPicture(), bmp));
        QVERIFY(ConvertBmpToJpg(bmp));
        // Read the times before anything reads the new file.
        const QFileInfo after(jpg);
        QCOMPARE(after.lastModified(), m);
        QCOMPARE(after.lastRead(), a);
        QCOMPARE(after.permissions() & QFile::Permissions(0x7077), perms);
        QVERIFY(after.size() > 100);
        QVERIFY(!QImage(jpg).isNull());
    }

    void readOnlyFileIsNotReplaced()
    {
        TestFolder tf(false);
        const QString bmp = tf.file(QStringLiteral("img/image4.bmp"));
        const QString jpg = tf.file(QStringLiteral("img/image4.jpg"));
        QVERIFY(BmpFile::write24(testPicture(), bmp));
        writeFile(jpg, "keep me");
        QVERIFY(QFile::setPermissions(jpg, QFile::ReadOwner));
        QCOMPARE(raised([&] { ConvertBmpToJpg(bmp); }), QStringLiteral("26001:Failed to save to JPG -2"));
        QFile f(jpg);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), QByteArray("keep me"));
    }

    void failuresAreRaised()
    {
        TestFolder tf(false);
        cDIBSection empty, d;
        QVERIFY(d.Create(8, 8));
        QCOMPARE(raised([&] { mIntelJPEGLibrary::SaveJPG(empty, tf.file(QStringLiteral("img/e.jpg")), 90); }),
                 QStringLiteral("26001:Failed to save to JPG -1"));
        QVERIFY(!QFileInfo::exists(tf.file(QStringLiteral("img/e.jpg"))));
        QCOMPARE(raised([&] { mIntelJPEGLibrary::SaveJPG(d, tf.file(QStringLiteral("nowhere/e.jpg")), 90); }),
                 QStringLiteral("26001:Failed to save to JPG -3"));
        // A missing or broken BMP.
        QVERIFY(raised([&] { ConvertBmpToJpg(tf.file(QStringLiteral("img/missing.bmp"))); }).startsWith("53:"));
        writeFile(tf.file(QStringLiteral("img/junk.bmp")), "BMnot really a bitmap");
        QVERIFY(raised([&] { ConvertBmpToJpg(tf.file(QStringLiteral("img/junk.bmp"))); }).startsWith("481:"));
        QVERIFY(!QFileInfo::exists(tf.file(QStringLiteral("img/junk.jpg"))));
    }

    void bmpReplacedWhole()
    {
        TestFolder tf(false);
        const QString bmp = tf.file(QStringLiteral("img/image5.bmp"));
        // A new file, then a smaller and a larger picture over it: each time the
        // file is exactly the new picture, whatever it held before.
        for (const QSize size : {QSize(64, 48), QSize(7, 5), QSize(96, 64)}) {
            const QImage pic = testPicture(size.width(), size.height());
            cDIBSection dib;
            dib.CreateFromPicture(pic);
            QVERIFY(BmpFile::write(dib, bmp));
            QCOMPARE(QFileInfo(bmp).size(), 54 + qint64(cDIBSection::bytesPerScanLine(size.width())) * size.height());
            QCOMPARE(QImage(bmp).convertToFormat(QImage::Format_RGB32), pic);
            QVERIFY(BmpFile::holds(bmp, dib));
        }
    }

    void bmpHoldsComparesEveryByte()
    {
        TestFolder tf(false);
        const QString bmp = tf.file(QStringLiteral("img/image6.bmp"));
        cDIBSection dib;
        dib.CreateFromPicture(testPicture(30, 20));   // rows with padding
        QVERIFY(!BmpFile::holds(bmp, dib));           // no file
        QVERIFY(BmpFile::write(dib, bmp));
        QVERIFY(BmpFile::holds(bmp, dib));
        cDIBSection empty;
        QVERIFY(!BmpFile::holds(bmp, empty));

        auto changed = [&](qint64 at, char value) {
            QFile f(bmp);
            if (!f.open(QIODevice::ReadWrite) || !f.seek(at))
                return false;
            char was = 0;
            f.getChar(&was);
            f.seek(at);
            f.putChar(value);
            f.close();
            const bool held = BmpFile::holds(bmp, dib);
            f.open(QIODevice::ReadWrite);
            f.seek(at);
            f.putChar(was);
            return !held;
        };
        const qint64 size = QFileInfo(bmp).size();
        QVERIFY(changed(38, 0x7f));              // a header field (resolution)
        QVERIFY(changed(54, 0x01));              // the first pixel byte
        QVERIFY(changed(size / 2, char(0xee)));  // one in the middle
        QVERIFY(changed(size - 1, 0x55));        // the last padding byte
        QVERIFY(BmpFile::holds(bmp, dib));

        // Longer or shorter than the picture.
        QVERIFY(QFile::resize(bmp, size + 1) && !BmpFile::holds(bmp, dib));
        QVERIFY(QFile::resize(bmp, size - 1) && !BmpFile::holds(bmp, dib));
    }

};

QTEST_MAIN(tst_JpegWriter)
#include "tst_JpegWriter.moc"
