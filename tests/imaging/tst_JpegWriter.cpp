#include "imaging/BmpFile.h"
#include "imaging/ImagingError.h"
#include "imaging/Bitmap24.h"
#include "imaging/JpegWriter.h"
#include "platform/MessageBox.h"
#include "platform/PrivateFile.h"
#include "support/CoreKit.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QtTest>

using namespace kit;

namespace {
// A picture with a red top band over a blue field, plus some detail.
QImage testPicture(int w = 96, int h = 64)
{
    QImage img(w, h, QImage::Format_RGB32);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const int n = (x * 7 + y * 13) % 40;
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

}

class tst_JpegWriter : public QObject {
    Q_OBJECT
private slots:
    // The JPEG replaces an older file of its name, keeping that file's times and
    // its owner's permissions; group and others lose theirs (patient pictures).
    void conversionAndNameRule()
    {
        TestFolder tf(false);
        QVERIFY(tf.ok());
        const QString bmp = tf.file(QStringLiteral("img/IMAGE1.BMP"));
        const QString jpgName = tf.file(QStringLiteral("img/IMAGE1.jpg"));
        const QImage pic = testPicture();
        QVERIFY(BmpFile::write24(pic, bmp));
        QVERIFY(writeBytes(jpgName, "old content"));
        const QDateTime a(QDate(2019, 5, 6), QTime(7, 8, 9)), m(QDate(2020, 1, 2), QTime(3, 4, 5));
        {
            QFile old(jpgName);
            QVERIFY(old.open(QIODevice::Append) && old.setFileTime(a, QFileDevice::FileAccessTime));
            QVERIFY(old.setFileTime(m, QFileDevice::FileModificationTime));
        }
        const auto perms = QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup;
        QVERIFY(QFile::setPermissions(jpgName, perms));

        QVERIFY(ConvertBmpToJpg(bmp));
        QVERIFY(MessageBox::shownBoxes().isEmpty());
        // Read the times before anything reads the new file.
        const QFileInfo after(jpgName);
        QVERIFY(after.lastModified() == m && after.lastRead() == a);
        QCOMPARE(after.permissions() & QFile::Permissions(0x7077), QFile::ReadOwner | QFile::WriteOwner);
        const QImage jpg(jpgName);
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

        // A name not ending in BMP is refused with a message and nothing is written.
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
        QCOMPARE(QFileInfo(tf.file(QStringLiteral("img/x.jpg"))).size(), QFileInfo(bmp).size());
    }

    // Every failure is raised, and an existing JPEG is left as it was.
    void failuresAreRaisedAndKeepTheOldFile()
    {
        TestFolder tf(false);
        const QString jpg = tf.file(QStringLiteral("img/e.jpg"));
        QVERIFY(writeBytes(jpg, "keep me"));
        Bitmap24 empty, d;
        QVERIFY(d.Create(8, 8));
        QCOMPARE(raised([&] { JpegWriter::SaveJPG(empty, jpg, 90); }),
                 QStringLiteral("26001:Failed to save to JPG -1"));
        QCOMPARE(readBytes(jpg), QByteArray("keep me"));
        QVERIFY(QFile::setPermissions(jpg, QFile::ReadOwner));   // read-only: not replaced
        // A file that cannot be written keeps the writer's number and names the file and why.
        const QString nowhere = tf.file(QStringLiteral("nowhere/e.jpg"));
        QCOMPARE(raised([&] { JpegWriter::SaveJPG(d, jpg, 90); }), QStringLiteral("26001:没有权限：") + jpg);
        QCOMPARE(readBytes(jpg), QByteArray("keep me"));
        QCOMPARE(raised([&] { JpegWriter::SaveJPG(d, nowhere, 90); }), QStringLiteral("26001:路径未找到：") + nowhere);
        // A missing or broken BMP (cut short inside its header, or not a picture): the old JPEG stays.
        QVERIFY(raised([&] { ConvertBmpToJpg(tf.file(QStringLiteral("img/missing.bmp"))); }).startsWith("53:"));
        const QString junk = tf.file(QStringLiteral("img/junk.bmp"));
        QVERIFY(writeBytes(tf.file(QStringLiteral("img/junk.jpg")), "keep me"));
        QVERIFY(BmpFile::write(d, junk) && QFile::resize(junk, 40));
        QVERIFY(raised([&] { ConvertBmpToJpg(junk); }).startsWith("481:"));
        QVERIFY(writeBytes(junk, "BMnot really a bitmap"));
        QVERIFY(raised([&] { ConvertBmpToJpg(junk); }).startsWith("481:"));
        QCOMPARE(readBytes(tf.file(QStringLiteral("img/junk.jpg"))), QByteArray("keep me"));
    }

    // New pictures are owner-only whatever the umask. A write that fails (a
    // full disk; a file size limit stands in for it) leaves the previous
    // picture whole and no part of the new one.
    void privateFilesAndFailedWritesKeepTheOldOne()
    {
        TestFolder tf(false);
        const UmaskScope umask(022);
        QVERIFY(PrivateFile::makeFolder(tf.file(QStringLiteral("img/new/deeper"))));
        QVERIFY(fileMode(tf.file(QStringLiteral("img/new"))) == 0700
                && fileMode(tf.file(QStringLiteral("img/new/deeper"))) == 0700);
        const QString bmp = tf.file(QStringLiteral("img/new/image1.bmp"));
        const QString jpg = tf.file(QStringLiteral("img/new/image1.jpg"));
        Bitmap24 small, large;
        small.CreateFromPicture(testPicture(32, 24));
        large.CreateFromPicture(testPicture(96, 64));   // 18 KiB
        QVERIFY(BmpFile::write(small, bmp));
        JpegWriter::SaveJPG(small, jpg, 90);
        QVERIFY(fileMode(bmp) == 0600 && fileMode(jpg) == 0600);
        const QByteArray oldBmp = readBytes(bmp), oldJpg = readBytes(jpg);

        bool bmpWritten = true;
        QString jpgError;
        {
            const FileSizeLimit limit(4096);
            QVERIFY(limit.ok());
            bmpWritten = BmpFile::write(large, bmp);
            jpgError = raised([&] { JpegWriter::writeFile(QByteArray(10000, 'j'), jpg); });
        }
        QVERIFY(!bmpWritten);
        QCOMPARE(jpgError, QStringLiteral("26001:磁盘已满：") + jpg);
        QVERIFY(readBytes(bmp) == oldBmp && readBytes(jpg) == oldJpg);
        QCOMPARE(QDir(tf.file(QStringLiteral("img/new"))).entryList(QDir::Files | QDir::Hidden).size(), 2);
    }

    void bmpReplacedWholeAndComparedByEveryByte()
    {
        TestFolder tf(false);
        const QString bmp = tf.file(QStringLiteral("img/image5.bmp"));
        // A new file, then a larger and a smaller picture (rows with padding) over it: each
        // time the file is exactly the new picture, whatever it held before.
        Bitmap24 dib, empty;
        for (const QSize size : {QSize(64, 48), QSize(96, 64), QSize(30, 20)}) {
            const QImage pic = testPicture(size.width(), size.height());
            dib.CreateFromPicture(pic);
            QVERIFY(BmpFile::write(dib, bmp));
            QCOMPARE(QFileInfo(bmp).size(), 54 + qint64(Bitmap24::bytesPerScanLine(size.width())) * size.height());
            QCOMPARE(QImage(bmp).convertToFormat(QImage::Format_RGB32), pic);
            QVERIFY(BmpFile::holds(bmp, dib));
        }
        QVERIFY(!BmpFile::holds(bmp, empty) && !BmpFile::holds(tf.file(QStringLiteral("img/none.bmp")), dib));
        const QByteArray good = readBytes(bmp);
        // One byte changed: a header field (resolution), the first pixel byte, one in the
        // middle, the last padding byte.
        for (const qsizetype at : {qsizetype(38), qsizetype(54), good.size() / 2, good.size() - 1}) {
            QByteArray bad = good;
            bad[at] = char(~bad[at]);
            QVERIFY(writeBytes(bmp, bad));
            QVERIFY2(!BmpFile::holds(bmp, dib), qPrintable(QString::number(at)));
        }
        QVERIFY(writeBytes(bmp, good));
        QVERIFY(BmpFile::holds(bmp, dib));
        // Longer or shorter than the picture.
        QVERIFY(QFile::resize(bmp, good.size() + 1) && !BmpFile::holds(bmp, dib));
        QVERIFY(QFile::resize(bmp, good.size() - 1) && !BmpFile::holds(bmp, dib));
    }
};

QTEST_MAIN(tst_JpegWriter)
#include "tst_JpegWriter.moc"
