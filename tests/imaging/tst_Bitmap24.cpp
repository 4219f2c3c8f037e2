#include "imaging/Bitmap24.h"

#include <QImage>
#include <QtTest>

// Pixel (x, memory row y) of a section, as blue, green, red.
static const uint8_t* px(const Bitmap24& d, int x, int memRow)
{
    return d.DIBSectionBitsPtr() + std::size_t(memRow) * d.BytesPerScanLine() + 3 * x;
}

class tst_Bitmap24 : public QObject {
    Q_OBJECT
private slots:
    void createAndScanLines()
    {
        Bitmap24 d;
        // Rows of three bytes a pixel, padded to four.
        for (const auto& [w, bpl] : {std::pair{1, 4}, std::pair{2, 8}, std::pair{4, 12}, std::pair{7, 24}}) {
            QVERIFY(d.Create(w, 3));
            QVERIFY(d.BytesPerScanLine() == bpl && d.Width() == w);
            QCOMPARE(d.header().biSizeImage, quint32(3 * bpl));
        }
        // A size that is not positive makes nothing and leaves the instance empty.
        QVERIFY(!d.Create(0, 5));
        QVERIFY(!d.Create(5, -1));
        QVERIFY(d.Width() == 0 && d.DIBSectionBitsPtr() == nullptr);
    }

    void pictureInAndOut()
    {
        QImage pic(5, 4, QImage::Format_RGB32);
        pic.fill(Qt::blue);
        for (int x = 0; x < 5; ++x)
            pic.setPixel(x, 0, qRgb(255, 0, 0));   // red top row
        pic.setPixel(4, 3, qRgb(0, 255, 0));       // green bottom-right
        Bitmap24 d;
        d.CreateFromPicture(pic);
        // Bottom-up memory: the top image row is the last memory row.
        QVERIFY(px(d, 0, 3)[0] == 0 && px(d, 0, 3)[2] == 255);
        QCOMPARE(int(px(d, 4, 0)[1]), 255);
        QCOMPARE(d.toImage().convertToFormat(QImage::Format_RGB32), pic);

        // Loading a block: pixel (x, y) of the source holds (x * 10, y * 10, 200); the block
        // at (2, 1) lands at the section's top left.
        QImage src(6, 5, QImage::Format_RGB32);
        for (int y = 0; y < 5; ++y)
            for (int x = 0; x < 6; ++x)
                src.setPixel(x, y, qRgb(x * 10, y * 10, 200));
        QVERIFY(d.Create(3, 2));
        d.LoadPictureBlt(src, 2, 1, -1, -1);
        QCOMPARE(d.toImage().convertToFormat(QImage::Format_RGB32), src.copy(2, 1, 3, 2));
        // A block running off the source's edge copies only what exists.
        QVERIFY(d.Create(3, 2));
        d.LoadPictureBlt(src, 4, 4, -1, -1);
        QVERIFY(px(d, 0, 1)[2] == 40 && px(d, 1, 1)[2] == 50 && px(d, 2, 1)[2] == 0 && px(d, 0, 0)[2] == 0);
    }
};

QTEST_MAIN(tst_Bitmap24)
#include "tst_Bitmap24.moc"
