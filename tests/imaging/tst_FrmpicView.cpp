// The picture viewer on slots of its own: stepping over empty slots, delete,
// add to the report, where the picture is placed, and missing files.
#include "core/QvButton.h"
#include "core/SkinPanel.h"
#include "imaging/CaptureStore.h"
#include "imaging/FrmpicView.h"
#include "platform/AppPaths.h"
#include "platform/MessageBox.h"
#include "support/CoreKit.h"

#include <QDir>
#include <QGuiApplication>
#include <QLabel>
#include <QScreen>
#include <QtTest>

using namespace kit;

namespace {
// Slots as plain tags; a report picture "shown" is remembered by its path.
struct Slots : PictureSlots {
    QStringList capture = QStringList(CaptureStore::kCaptureSlots, QString());
    QStringList report = QStringList(CaptureStore::kReportSlots, QString());
    QString tag(Group g, int i) const override { return (g == Capture ? capture : report).value(i); }
    void empty(Group g, int i) override { (g == Capture ? capture : report)[i].clear(); }
    bool showReportPicture(int k, const QString& path) override
    {
        if (QImage(path).isNull())
            return false;
        report[k] = path;
        return true;
    }
};

// A capture slot's files: image<n>.jpg of the size and colour.
QString makeCapture(int n, QSize size, QColor colour)
{
    const QString base = CaptureStore::captureBase(n);
    writeBytes(base + QStringLiteral(".jpg"), jpegBytes(size.width(), size.height(), colour));
    return base;
}
}

class tst_FrmpicView : public QObject {
    Q_OBJECT
private:
    std::unique_ptr<TestFolder> folder_;
    Slots slots_;
    FrmpicView& v = FrmpicView::instance();

    void open(const char* group, int id, bool edit)
    {
        v.setPictureSlots(&slots_);
        v.Picqy = QString::fromLatin1(group);
        v.PicId = id;
        v.Bedit = edit;
        v.Form_Load();
    }

private slots:
    void init()
    {
        folder_ = freshFolder();
        QVERIFY(folder_->ok() && CaptureStore::ensureFolder());
        slots_ = Slots();
        v.resize(720, 540);
        MessageBox::clearShown();
    }

    void steppingSkipsEmptySlots()
    {
        slots_.capture[2] = makeCapture(3, {200, 100}, Qt::red);
        slots_.capture[9] = makeCapture(10, {300, 150}, Qt::blue);
        open("yc", 2, false);
        QVERIFY(v.Badd->isVisibleTo(&v) && v.Label1->text() == QStringLiteral("预存图像"));
        QCOMPARE(v.Picbox->pixmap().size(), QSize(200, 100));
        v.Bdown_Click();
        QCOMPARE(v.PicId, 9);
        QCOMPARE(v.Picbox->pixmap().size(), QSize(300, 150));
        v.Bdown_Click();
        QCOMPARE(v.PicId, 9);
        v.Bup_Click();
        v.Bup_Click();
        QCOMPARE(v.PicId, 2);
        QVERIFY(MessageBox::shownBoxes().isEmpty());

        // The report group: no add button; a missing file shows an empty box.
        slots_.report[1] = CaptureStore::reportFile(2);
        open("bg", 1, false);
        QVERIFY(!v.Badd->isVisibleTo(&v) && v.Label1->text() == QStringLiteral("报告图像"));
        QVERIFY(!v.hasPicture());
        v.Bdel_Click();
        QCOMPARE(lastText(), QStringLiteral("当前没有图像载入！"));
    }

    // A picture that fits is centred below the tool bar at its natural size;
    // a larger one is scaled down to fit, its aspect kept, and centred too.
    void fitRules()
    {
        slots_.capture[0] = makeCapture(1, {620, 300}, Qt::green);
        slots_.capture[1] = makeCapture(2, {800, 700}, Qt::gray);
        open("yc", 0, false);
        v.resize(720, 540);
        v.FitPicture();
        QCOMPARE(v.Picbox->geometry(), QRect(50, (540 - 48 - 300) / 2 + 48, 620, 300));
        QCOMPARE(v.Picbox->pixmap().size(), QSize(620, 300));
        v.Bdown_Click();
        // Room: 720 - 16 by 540 - 64 pixels; 800 x 700 scaled by 476 / 700.
        QCOMPARE(v.Picbox->geometry(), QRect((720 - 544) / 2, 56, 544, 476));
        QCOMPARE(v.Picbox->pixmap().size(), QSize(544, 476));
        QImage shot = v.grab().toImage();
        QVERIFY(qAbs(QColor(shot.pixel(360, 300)).value() - QColor(Qt::gray).value()) <= 4);

        // Too large in one size only: a wide picture is scaled to the room's
        // width, a tall one to its height, each keeping its aspect and centred.
        slots_.capture[2] = makeCapture(3, {1000, 200}, Qt::red);
        slots_.capture[3] = makeCapture(4, {200, 1000}, Qt::blue);
        const int middle = 48 + (540 - 48) / 2;   // of the area below the tool bar
        v.Bdown_Click();
        QRect box = v.Picbox->geometry();
        QVERIFY2(
            box.width() == 704 && qAbs(box.height() - 704 / 5.0) <= 1 && box.left() == 8
                && qAbs(box.center().y() - middle) <= 1,
            qPrintable(QStringLiteral("%1,%2 %3x%4").arg(box.x()).arg(box.y()).arg(box.width()).arg(box.height())));
        QCOMPARE(v.Picbox->pixmap().size(), box.size());
        v.Bdown_Click();
        box = v.Picbox->geometry();
        QVERIFY2(
            box.height() == 476 && qAbs(box.width() - 476 / 5.0) <= 1 && box.top() == 56
                && qAbs(box.center().x() - 360) <= 1,
            qPrintable(QStringLiteral("%1,%2 %3x%4").arg(box.x()).arg(box.y()).arg(box.width()).arg(box.height())));
        QCOMPARE(v.Picbox->pixmap().size(), box.size());
        shot = v.grab().toImage();
        QVERIFY(QColor(shot.pixel(box.center())).blue() > 200);
    }

    // A full-HD capture in the window as it opens: the window takes the
    // screen's available area, and all of the picture is shown, aspect kept.
    void wholePictureOnTheScreen()
    {
        QImage quarters(1920, 1080, QImage::Format_RGB32);
        const QColor corner[4] = {Qt::red, Qt::green, Qt::blue, Qt::yellow};   // TL, TR, BL, BR
        for (int q = 0; q < 4; ++q)
            for (int y = 0; y < 540; ++y)
                for (int x = 0; x < 960; ++x)
                    quarters.setPixel(x + (q % 2) * 960, y + (q / 2) * 540, corner[q].rgb());
        const QString base = CaptureStore::captureBase(1);
        QVERIFY(quarters.save(base + QStringLiteral(".jpg"), "JPEG", 95));
        slots_.capture[0] = base;
        open("yc", 0, false);
        const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
        QCOMPARE(v.geometry(), screen);
        const QRect box = v.Picbox->geometry();
        QVERIFY2(
            v.rect().contains(box) && box.top() >= v.Pictool->height(),
            qPrintable(QStringLiteral("%1,%2 %3x%4").arg(box.x()).arg(box.y()).arg(box.width()).arg(box.height())));
        QVERIFY(qAbs(box.width() * 1080.0 / 1920.0 - box.height()) <= 1.0);
        QCOMPARE(v.Picbox->pixmap().size(), box.size());
        // As large as the room allows: one side fills it.
        QVERIFY(box.width() >= v.width() - 17 || box.height() >= v.height() - 65);
        // Every corner of the picture is on the screen.
        const QImage shot = v.grab().toImage();
        shot.save(testOutputFolder() + QStringLiteral("/picview.png"));
        const QPoint inside[4] = {box.topLeft() + QPoint(3, 3), box.topRight() + QPoint(-3, 3),
                                  box.bottomLeft() + QPoint(3, -3), box.bottomRight() + QPoint(-3, -3)};
        for (int q = 0; q < 4; ++q) {
            const QColor seen = shot.pixelColor(inside[q]);
            QVERIFY2(qAbs(seen.red() - corner[q].red()) < 40 && qAbs(seen.green() - corner[q].green()) < 40
                         && qAbs(seen.blue() - corner[q].blue()) < 40,
                     qPrintable(seen.name()));
        }
        // The tool bar keeps its buttons and caption.
        QVERIFY(v.Bup->isVisibleTo(&v) && v.Bdown->isVisibleTo(&v) && v.Bdel->isVisibleTo(&v));
        QCOMPARE(v.Label1->text(), QStringLiteral("预存图像"));
        QCOMPARE(v.windowTitle(), QStringLiteral("图像浏览"));
    }

    void deleteAndAdd()
    {
        slots_.capture[4] = makeCapture(5, {160, 120}, Qt::yellow);
        slots_.report[0] = slots_.report[2] = QStringLiteral("/elsewhere.jpg");
        open("yc", 4, false);
        // Adding needs the edit state; deleting a capture does not.
        v.Badd_Click();
        QCOMPARE(lastText(), QStringLiteral("请在编辑状态下对报告图片进行添加"));
        open("yc", 4, true);
        v.Badd_Click();
        QCOMPARE(lastText(), QStringLiteral("添加到报告完成"));
        QCOMPARE(slots_.report[1], CaptureStore::reportFile(2));
        QCOMPARE(readBytes(slots_.report[1]), readBytes(slots_.capture[4] + QStringLiteral(".jpg")));
        QVERIFY(!slots_.capture[4].isEmpty());   // adding from the viewer copies
        v.Badd_Click();
        v.Badd_Click();
        QVERIFY(lastText() == QStringLiteral("报告区图片已满，操作取消") && lastTitle() == QStringLiteral("提示"));

        // A report folder that cannot be written: the error, the slot stays empty.
        slots_.report[3].clear();
        {
            Unwritable ro(AppPaths::imageFolder());
            QVERIFY(ro.ok());
            v.Badd_Click();
        }
        QVERIFY(lastText().startsWith(QStringLiteral("75:")) && slots_.report[3].isEmpty());

        MessageBox::queueAnswer(MessageBox::Answer::Cancel);
        v.Bdel_Click();
        QVERIFY(v.hasPicture() && !slots_.capture[4].isEmpty());
        MessageBox::queueAnswer(MessageBox::Answer::Ok);
        v.Bdel_Click();
        QVERIFY(!v.hasPicture() && slots_.capture[4].isEmpty() && v.PicId == 4);

        // Report pictures are deleted only in the edit state.
        slots_.report[3] = CaptureStore::reportFile(2);
        open("bg", 3, false);
        v.Bdel_Click();
        QCOMPARE(lastText(), QStringLiteral("请在编辑状态下对报告图片进行删除"));
        open("bg", 3, true);
        MessageBox::queueAnswer(MessageBox::Answer::Ok);
        v.Bdel_Click();
        QVERIFY(slots_.report[3].isEmpty() && lastText() == QStringLiteral("请确认是否删除当前报告图片"));
    }
};

QTEST_MAIN(tst_FrmpicView)
#include "tst_FrmpicView.moc"
