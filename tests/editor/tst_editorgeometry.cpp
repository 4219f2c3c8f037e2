#include "editor/EditorGeometry.h"

#include <QtTest>

using namespace EditorGeometry;

class tst_EditorGeometry : public QObject {
    Q_OBJECT
private slots:
    void tallScreens();
    void quickPhraseRows();
    void verticalStretchThreshold();
    void horizontalLayoutModes();
    void videoBoxIsLargest4by3();
    void sidePanelNearBottomKeepsItsSize();
    void storePlacement();
    void gradients();
};

void tst_EditorGeometry::tallScreens()
{
    QCOMPARE(TallScreenDelta(768).d, 0);
    QCOMPARE(TallScreenDelta(1024).d, 256);
    QCOMPARE(TallScreenDelta(1024).half, 128);
    QCOMPARE(TallScreenDelta(1080).d, 312);
    QCOMPARE(TallScreenDelta(600).half, 0);
}

void tst_EditorGeometry::quickPhraseRows()
{
    // Mode 0 always lays out for 1024 pixels; mode 1 for the real screen.
    QCOMPARE(PhraseAvailableWidth(0, 1920, 2760, 2760), 1024 * 15 - 2760 - 2760 - 230);
    QCOMPARE(PhraseAvailableWidth(1, 1920, 2760, 2760), 1920 * 15 - 2760 - 2760 - 230);
    const int avail = 1000 * 3 + 50;   // three 970-wide buttons plus gaps
    QCOMPARE(PhraseButtonsPerRow(avail, 970), 3);
    const QVector<QPoint> pos = PhraseButtonPositions(5, avail, 970, 300);
    QCOMPARE(pos.size(), 5);
    QCOMPARE(pos[0], QPoint(30, 30));
    QCOMPARE(pos[1], QPoint(30 + 1000, 30));
    QCOMPARE(pos[2], QPoint(30 + 2000, 30));
    QCOMPARE(pos[3], QPoint(30, 30 + 330));   // button P+1 starts row 2 at the left
    QCOMPARE(pos[4], QPoint(1030, 360));
    // Too narrow for one button: still one per row, no division by zero.
    QCOMPARE(PhraseButtonsPerRow(100, 970), 1);
    QCOMPARE(PhraseButtonPositions(2, 100, 970, 300)[1], QPoint(30, 360));
}

void tst_EditorGeometry::verticalStretchThreshold()
{
    for (int outerH : {8000, 8001}) {
        Panels p;
        p.Picpic = QRect(2880, 1400, 9660, 8760);
        p.Picdata2 = QRect(2880, 1400, 9615, 8430);
        p.Picdata = QRect(60, 1080, 2760, 9000);
        p.RptPictureBox = QRect(12480, 1080, 2760, 8880);
        p.Pictitle = QRect(2880, 1080, 9855, 330);
        WindowSize w{8000, outerH, 7000, 12000};
        FormResizePanels(p, w, 0, 0);
        if (outerH == 8000) {
            QCOMPARE(p.Picpic.height(), 8760);
        } else {
            QCOMPARE(p.Picpic.height(), 12000 - 1400 - 495);
            QCOMPARE(p.Picdata2.height(), p.Picpic.height());
            QCOMPARE(p.Picdata.height(), 12000 - 1080 - 495);
            QCOMPARE(p.RptPictureBox.height(), 12000 - 1080 - 495);
        }
        QCOMPARE(p.Picpic.width(), 9660);   // 8000 wide: no horizontal change
    }
}

void tst_EditorGeometry::horizontalLayoutModes()
{
    auto base = [] {
        Panels p;
        p.Picpic = QRect(2880, 1400, 9660, 8760);
        p.Picdata2 = QRect(2880, 1400, 9615, 8430);
        p.Picdata = QRect(60, 1080, 2760, 9000);
        p.RptPictureBox = QRect(12480, 1080, 2760, 8880);
        p.Pictitle = QRect(2880, 1080, 9855, 330);
        return p;
    };
    // 9000 twips wide: nothing moves.
    Panels p = base();
    FormResizePanels(p, WindowSize{9000, 7000, 9000, 7000}, 1, 0);
    QCOMPARE(p.Picpic.width(), 9660);
    // Mode 1 stretches page, title and page 0 and keeps the picture column beside them.
    p = base();
    FormResizePanels(p, WindowSize{28800, 7000, 28800, 7000}, 1, 0);
    QCOMPARE(p.Picpic.width(), 28800 - 2760 - 2760 - 230);
    QCOMPARE(p.Picdata2.width(), p.Picpic.width());
    QCOMPARE(p.Pictitle.width(), p.Picpic.width());
    QCOMPARE(p.RptPictureBox.left(), 2880 + p.Picpic.width() + 60);
    // Mode 0: the page is never wider than its height + 120 px + 30 twips.
    p = base();
    FormResizePanels(p, WindowSize{28800, 7000, 28800, 7000}, 0, 1);
    QCOMPARE(p.Picpic.width(), 1800 + 8760 + 30);
    QCOMPARE(p.Picdata2.width(), 9615);
    QCOMPARE(p.RptPictureBox.left(), 2880 + p.Picpic.width() + 60);
    p = base();
    FormResizePanels(p, WindowSize{28800, 7000, 28800, 7000}, 0, 0);
    QCOMPARE(p.RptPictureBox.left(), 2880 + 9615 + 60);
    // Mode 0 with little room takes the room.
    p = base();
    FormResizePanels(p, WindowSize{12000, 7000, 12000, 7000}, 0, 1);
    QCOMPARE(p.Picpic.width(), 12000 - 2760 - 2760 - 230);
    // Another mode changes nothing.
    p = base();
    FormResizePanels(p, WindowSize{28800, 7000, 28800, 7000}, 2, 0);
    QCOMPARE(p.Picpic.width(), 9660);
}

void tst_EditorGeometry::videoBoxIsLargest4by3()
{
    // Wide and low: the height limits.
    VideoArea v = VideoAreaFor(1200, 500, 188, 81);
    QCOMPARE(v.height, 500 - 188 - 26);
    QCOMPARE(v.width, int(std::nearbyint((500 - 188 - 26) / 3.0 * 4)));
    QCOMPARE(v.vfwWidth, v.width - 4);
    QCOMPARE(v.buttonsLeft, v.width + 25);
    // Tall and narrow: the width limits.
    v = VideoAreaFor(400, 1200, 188, 81);
    QCOMPARE(v.width, 400 - 81 - 49);
    QCOMPARE(v.height, int(std::nearbyint((400 - 81 - 49) / 4.0 * 3)));
    QCOMPARE(v.vfwHeight, v.height - 4);
}

void tst_EditorGeometry::sidePanelNearBottomKeepsItsSize()
{
    QVERIFY(SidePanelFollowsHeight(372, 562));
    QVERIFY(!SidePanelFollowsHeight(540, 564));
    QVERIFY(SidePanelFollowsHeight(540, 565));
}

void tst_EditorGeometry::storePlacement()
{
    const QRect page0(2880, 1400, 9615, 8430);
    StorePlacement s = PlaceStore(0, page0, 372, 201 * 15, 600);
    QCOMPARE(s.picyc, QRect(2890, 1400 + 372 * 15 + 330, 9615 - 30, 201 * 15 - 330));
    QCOMPARE(s.picyc2Width, 495);
    QCOMPARE(s.picyc3Left, 495);
    const QRect page1(2880, 1400, 9660, 8760);
    s = PlaceStore(1, page1, 372, 201 * 15, 400);
    QCOMPARE(s.picyc.width(), 9660 - 240);
    QCOMPARE(s.picyc2Width, 495);   // a narrow video keeps the strip at 495
    s = PlaceStore(1, page1, 372, 201 * 15, 620);
    QCOMPARE(s.picyc2Width, 620);
    QCOMPARE(s.picyc3Left, 620);
}

void tst_EditorGeometry::gradients()
{
    const QColor from(200, 100, 0), to(100, 0, 50);
    QCOMPARE(GradientColor(from, to, 0, 20), to);
    QCOMPARE(GradientColor(from, to, 20, 20), from);
    // 100 * 1 / 8 = 12.5 rounds to 12 (halves to even).
    QCOMPARE(GradientColor(from, to, 1, 8).red(), 112);
    // A strip too low for a gradient does not divide by zero.
    QCOMPARE(GradientColor(from, to, 0, 0), from);
}

QTEST_APPLESS_MAIN(tst_EditorGeometry)
#include "tst_editorgeometry.moc"
