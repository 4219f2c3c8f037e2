#include "imaging/Bitmap24.h"
#include "platform/MessageBox.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
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
        QVERIFY(d.Resample(0, 3) == nullptr);
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

        // Painting a block of the section.
        QImage canvas(10, 10, QImage::Format_RGB32);
        canvas.fill(Qt::white);
        {
            QPainter p(&canvas);
            d.PaintPicture(p, 2, 3, 2, 2, 3, 2);
        }
        QVERIFY(canvas.pixel(2, 3) == qRgb(0, 0, 255) && canvas.pixel(3, 4) == qRgb(0, 255, 0));
        QCOMPARE(canvas.pixel(4, 3), qRgb(255, 255, 255));

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

    void resample()
    {
        // Blue varies by column (0, 90, 255), green by memory row (0, 60, 240).
        Bitmap24 d;
        QVERIFY(d.Create(3, 3));
        const int cols[3] = {0, 90, 255};
        const int rows[3] = {0, 60, 240};
        for (int y = 0; y < 3; ++y)
            for (int x = 0; x < 3; ++x) {
                uint8_t* p = d.DIBSectionBitsPtr() + y * d.BytesPerScanLine() + 3 * x;
                p[0] = uint8_t(cols[x]);
                p[1] = uint8_t(rows[y]);
                p[2] = 7;
            }
        // The same size is a copy.
        auto same = d.Resample(3, 3);
        QVERIFY(same && std::memcmp(same->DIBSectionBitsPtr(), d.DIBSectionBitsPtr(), 3 * d.BytesPerScanLine()) == 0);
        auto r = d.Resample(6, 6);
        QVERIFY(r && r->Width() == 6 && r->Height() == 6);
        // Scale 2/6: targets 0..2 read columns 0 and 1, 3..5 read columns 1 and 2.
        const int expectBlue[6] = {0, 30, 60, 90, 145, 200};
        const int expectGreen[6] = {0, 20, 40, 60, 120, 180};
        for (int y = 0; y < 6; ++y)
            for (int x = 0; x < 6; ++x) {
                QCOMPARE(int(px(*r, x, y)[0]), expectBlue[x]);
                QCOMPARE(int(px(*r, x, y)[1]), expectGreen[y]);
                QCOMPARE(int(px(*r, x, y)[2]), 7);
            }

        // 3 -> 4 columns: scale 0.5, so targets 1 and 3 fall half-way and round to even.
        QVERIFY(d.Create(3, 1));
        d.DIBSectionBitsPtr()[3] = 5;
        r = d.Resample(1, 4);
        QVERIFY(r && px(*r, 1, 0)[0] == 2 && px(*r, 2, 0)[0] == 5 && px(*r, 3, 0)[0] == 2);

        // A source one pixel wide or high has no second column or row to read.
        QImage grey(1, 5, QImage::Format_RGB32), wide(5, 1, QImage::Format_RGB32);
        grey.fill(qRgb(77, 77, 77));
        for (int x = 0; x < 5; ++x)
            wide.setPixel(x, 0, qRgb(x * 50, 0, 0));
        d.CreateFromPicture(grey);
        r = d.Resample(10, 3);
        QVERIFY(r && r->toImage().convertToFormat(QImage::Format_RGB32) == grey.scaled(3, 10));
        d.CreateFromPicture(wide);
        r = d.Resample(4, 12);
        QVERIFY(r && px(*r, 0, 3)[2] == 0 && px(*r, 6, 3)[2] == 100);
    }

    void randomFillAndClipboard()
    {
        // A random fill leaves the padding alone.
        Bitmap24 d;
        QVERIFY(d.Create(7, 9));   // 21 bytes of pixels, 3 of padding per row
        for (int y = 0; y < 9; ++y)
            std::memset(d.DIBSectionBitsPtr() + y * 24 + 21, 0xAB, 3);
        for (bool grey : {true, false}) {
            d.RandomiseBits(grey);
            // Grey: three equal bytes; colour: no blue. Not all alike either way.
            QSet<int> seen;
            for (int y = 0; y < 9; ++y) {
                for (int x = 0; x < 7; ++x) {
                    const uint8_t* p = px(d, x, y);
                    QVERIFY(grey ? p[0] == p[1] && p[1] == p[2] : p[0] == 0);
                    seen.insert(p[1] << 8 | p[2]);
                }
                QCOMPARE(QByteArray(reinterpret_cast<const char*>(px(d, 7, y)), 3), QByteArray(3, char(0xAB)));
            }
            QVERIFY(seen.size() > 1);
        }

        // Only the bitmap form goes to the clipboard.
        MessageBox::setScripted(true);
        MessageBox::clearShown();
        QClipboard* cb = QGuiApplication::clipboard();
        cb->setText(QStringLiteral("unchanged"));
        QVERIFY(!d.CopyToClipboard(true));
        QCOMPARE(MessageBox::shownBoxes().size(), 1);
        QCOMPARE(MessageBox::shownBoxes().first().text,
                 QStringLiteral("I don't know how to put a DIB on the clipboard! Copy as bitmap instead!!!"));
        QCOMPARE(cb->text(), QStringLiteral("unchanged"));
        QVERIFY(d.CopyToClipboard(false));
        QCOMPARE(MessageBox::shownBoxes().size(), 1);
        QCOMPARE(cb->image().convertToFormat(QImage::Format_RGB32), d.toImage().convertToFormat(QImage::Format_RGB32));
    }
};

QTEST_MAIN(tst_Bitmap24)
#include "tst_Bitmap24.moc"
