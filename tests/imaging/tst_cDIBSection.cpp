#include "imaging/cDIBSection.h"
#include "platform/MessageBox.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QtTest>

// Pixel (x, memory row y) of a section, as blue, green, red.
static const uint8_t* px(const cDIBSection& d, int x, int memRow)
{
    return d.DIBSectionBitsPtr() + std::size_t(memRow) * d.BytesPerScanLine() + 3 * x;
}

class tst_cDIBSection : public QObject {
    Q_OBJECT
private slots:
    void init()
    {
        MessageBox::setScripted(true);
        MessageBox::clearShown();
    }

    void createAndScanLines()
    {
        cDIBSection d;
        QCOMPARE(d.hDC(), qintptr(0));
        // Rows of three bytes a pixel, padded to four.
        for (const auto& [w, bpl] : {std::pair{1, 4}, std::pair{2, 8}, std::pair{4, 12}, std::pair{7, 24}}) {
            QVERIFY(d.Create(w, 3));
            QVERIFY(d.BytesPerScanLine() == bpl && d.Width() == w);
            QCOMPARE(d.header().biSizeImage, quint32(3 * bpl));
            QVERIFY(d.hDC() != 0 && d.hDIb() != 0 && d.DIBSectionBitsPtr() != nullptr);
        }
        // A size that is not positive makes nothing and leaves the instance empty.
        QVERIFY(!d.Create(0, 5));
        QVERIFY(!d.Create(5, -1));
        QVERIFY(d.Width() == 0 && d.hDC() == 0 && d.hDIb() == 0 && d.DIBSectionBitsPtr() == nullptr);
        QVERIFY(d.Resample(0, 3) == nullptr);
    }

    void pictureRoundTripIsUpright()
    {
        QImage pic(5, 4, QImage::Format_RGB32);
        pic.fill(Qt::blue);
        for (int x = 0; x < 5; ++x)
            pic.setPixel(x, 0, qRgb(255, 0, 0));   // red top row
        pic.setPixel(4, 3, qRgb(0, 255, 0));       // green bottom-right
        cDIBSection d;
        d.CreateFromPicture(pic);
        QCOMPARE(d.Width(), 5);
        QCOMPARE(d.Height(), 4);
        // Bottom-up memory: the top image row is the last memory row.
        const uint8_t* top = px(d, 0, 3);
        QCOMPARE(int(top[0]), 0);
        QCOMPARE(int(top[2]), 255);
        const uint8_t* br = px(d, 4, 0);
        QCOMPARE(int(br[1]), 255);
        QCOMPARE(d.toImage().convertToFormat(QImage::Format_RGB32), pic);

        // Painting a block of the section.
        QImage canvas(10, 10, QImage::Format_RGB32);
        canvas.fill(Qt::white);
        {
            QPainter p(&canvas);
            d.PaintPicture(p, 2, 3, 2, 2, 3, 2);
        }
        QCOMPARE(canvas.pixel(2, 3), qRgb(0, 0, 255));
        QCOMPARE(canvas.pixel(3, 4), qRgb(0, 255, 0));
        QCOMPARE(canvas.pixel(4, 3), qRgb(255, 255, 255));
    }

    void loadBlockOfPicture()
    {
        // Pixel (x, y) of the source holds (x * 10, y * 10, 200).
        QImage src(6, 5, QImage::Format_RGB32);
        for (int y = 0; y < 5; ++y)
            for (int x = 0; x < 6; ++x)
                src.setPixel(x, y, qRgb(x * 10, y * 10, 200));
        cDIBSection d;
        QVERIFY(d.Create(3, 2));
        // The block at (2, 1) lands at the section's top left; the rest of the
        // section is the source's block as far as it reaches.
        d.LoadPictureBlt(src, 2, 1, -1, -1);
        for (int y = 0; y < 2; ++y)
            for (int x = 0; x < 3; ++x) {
                const uint8_t* p = px(d, x, 1 - y);   // image row y is memory row 1 - y
                QCOMPARE(int(p[0]), 200);
                QCOMPARE(int(p[1]), (y + 1) * 10);
                QCOMPARE(int(p[2]), (x + 2) * 10);
            }
        // A block running off the source's edge copies only what exists.
        QVERIFY(d.Create(3, 2));
        d.LoadPictureBlt(src, 4, 4, -1, -1);
        QCOMPARE(int(px(d, 0, 1)[2]), 40);
        QCOMPARE(int(px(d, 1, 1)[2]), 50);
        QCOMPARE(int(px(d, 2, 1)[2]), 0);
        QCOMPARE(int(px(d, 0, 0)[2]), 0);
    }

    void resampleThreeToSix()
    {
        // Blue varies by column (0, 90, 255), green by memory row (0, 60, 240).
        cDIBSection d;
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
        QVERIFY(r);
        QVERIFY(r->Width() == 6 && r->Height() == 6);
        // Scale 2/6: targets 0..2 read columns 0 and 1, 3..5 read columns 1 and 2.
        const int expectBlue[6] = {0, 30, 60, 90, 145, 200};
        const int expectGreen[6] = {0, 20, 40, 60, 120, 180};
        for (int y = 0; y < 6; ++y)
            for (int x = 0; x < 6; ++x) {
                QCOMPARE(int(px(*r, x, y)[0]), expectBlue[x]);
                QCOMPARE(int(px(*r, x, y)[1]), expectGreen[y]);
                QCOMPARE(int(px(*r, x, y)[2]), 7);
            }
    }

    void resampleRoundsHalfToEven()
    {
        // 3 -> 4 columns: scale 0.5, so targets 1 and 3 fall half-way.
        cDIBSection d;
        QVERIFY(d.Create(3, 1));
        const int cols[3] = {0, 5, 0};
        for (int x = 0; x < 3; ++x)
            d.DIBSectionBitsPtr()[3 * x] = uint8_t(cols[x]);
        auto r = d.Resample(1, 4);
        QVERIFY(r);
        QCOMPARE(int(px(*r, 1, 0)[0]), 2);   // 2.5 -> 2
        QCOMPARE(int(px(*r, 2, 0)[0]), 5);
        QCOMPARE(int(px(*r, 3, 0)[0]), 2);   // 2.5 -> 2
    }

    void resampleOnePixelWideOrHigh()
    {
        cDIBSection tall;
        QVERIFY(tall.Create(1, 5));
        for (int y = 0; y < 5; ++y)
            std::memset(tall.DIBSectionBitsPtr() + y * 4, 77, 3);
        auto r = tall.Resample(10, 3);
        QVERIFY(r);
        for (int y = 0; y < 10; ++y)
            for (int x = 0; x < 3; ++x)
                QCOMPARE(int(px(*r, x, y)[0]), 77);

        cDIBSection wide;
        QVERIFY(wide.Create(5, 1));
        wide.RandomiseBits(true);
        auto r2 = wide.Resample(4, 12);
        QVERIFY(r2);
        QCOMPARE(int(px(*r2, 0, 3)[0]), int(px(wide, 0, 0)[0]));
    }

    void randomFillLeavesThePadding()
    {
        cDIBSection d;
        QVERIFY(d.Create(7, 9));   // 21 bytes of pixels, 3 of padding per row
        const int bpl = d.BytesPerScanLine();
        for (int y = 0; y < 9; ++y)
            std::memset(d.DIBSectionBitsPtr() + y * bpl + 21, 0xAB, 3);
        for (bool grey : {true, false}) {
            d.RandomiseBits(grey);
            bool varied = false;
            for (int y = 0; y < 9; ++y) {
                for (int x = 0; x < 7; ++x) {
                    const uint8_t* p = px(d, x, y);
                    // Grey: three equal bytes; colour: no blue.
                    QVERIFY(grey ? p[0] == p[1] && p[1] == p[2] : p[0] == 0);
                    varied = varied || (grey ? p[0] != px(d, 0, 0)[0] : p[1] != p[2]);
                }
                for (int k = 21; k < 24; ++k)
                    QCOMPARE(int(d.DIBSectionBitsPtr()[y * bpl + k]), 0xAB);
            }
            QVERIFY(varied);
        }
    }

    void clipboard()
    {
        QClipboard* cb = QGuiApplication::clipboard();
        cb->setText(QStringLiteral("unchanged"));
        cDIBSection d;
        QVERIFY(d.Create(4, 3));
        d.RandomiseBits(false);

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

QTEST_MAIN(tst_cDIBSection)
#include "tst_cDIBSection.moc"
