// The editor's layout rules as properties: what they promise, not the numbers they use.
// (Where the panels go as the window changes is checked on the real window in tst_datarecord.)
#include "editor/EditorGeometry.h"

#include <QtTest>

using namespace EditorGeometry;

class tst_EditorGeometry : public QObject {
    Q_OBJECT
private slots:
    void twipsBecomeNearestPixels()
    {
        // 15 twips to the pixel, the nearest whole pixel, halves to the even one
        // (a half never rounds away from zero, as qRound would).
        QCOMPARE(px(1000), 67);
        QCOMPARE(px(990), 66);
        QCOMPARE(px(22.5), 2);
        QCOMPARE(px(37.5), 2);
        QCOMPARE(px(-22.5), -2);
        QCOMPARE(pxRect(120, 7, 8, 7335), QRect(8, 0, 1, 489));
        QCOMPARE(Units::twips(px(1005)), 1005);
    }

    void quickPhraseButtonsWrapWithoutOverlap()
    {
        for (const int avail : {100, 3050, 9000}) {   // 100: too narrow for one button
            const QVector<QPoint> pos = PhraseButtonPositions(7, avail, 970, 300);
            QCOMPARE(pos.size(), 7);
            const int perRow = PhraseButtonsPerRow(avail, 970);
            QVERIFY(perRow >= 1);
            for (int i = 0; i < pos.size(); ++i) {
                if (i % perRow == 0)   // each row starts at the left, below the last
                    QVERIFY(pos[i].x() == pos[0].x() && (i == 0 || pos[i].y() >= pos[i - 1].y() + 300));
                else
                    QVERIFY(pos[i].x() >= pos[i - 1].x() + 970 && pos[i].y() == pos[i - 1].y());
                if (perRow > 1 || avail >= 1000)
                    QVERIFY(pos[i].x() + 970 <= avail + 30);
            }
        }
    }

    void videoBoxIsTheLargest4by3ThatFits()
    {
        for (const QSize panel : {QSize(1200, 500), QSize(400, 1200), QSize(100, 100)}) {
            const VideoArea v = VideoAreaFor(panel.width(), panel.height(), 188, 81);
            QVERIFY(v.width >= 0 && v.height >= 0);
            QVERIFY(std::abs(v.width * 3 - v.height * 4) <= 4);
            QVERIFY(v.width <= std::max(0, panel.width() - 81 - 49));
            QVERIFY(v.height <= std::max(0, panel.height() - 188 - 26));
            QVERIFY(v.width == panel.width() - 81 - 49 || v.height == panel.height() - 188 - 26 || v.width == 0);
            QVERIFY(v.buttonsLeft > v.width);
        }
    }

    void gradientEndsAndLowStrips()
    {
        const QColor from(200, 100, 0), to(100, 0, 50);
        QCOMPARE(GradientColor(from, to, 0, 20), to);
        QCOMPARE(GradientColor(from, to, 20, 20), from);
        QCOMPARE(GradientColor(from, to, 1, 8).red(), 112);   // 112.5 halves to even
        QCOMPARE(GradientColor(from, to, 0, 0), from);        // no division by zero
    }
};

QTEST_APPLESS_MAIN(tst_EditorGeometry)
#include "tst_editorgeometry.moc"
