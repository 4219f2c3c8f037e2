// The picture viewer on slots of its own: stepping over empty slots, delete,
// add to the report, where the picture is placed, and missing files.
#include "core/QvButton.h"
#include "imaging/CaptureStore.h"
#include "imaging/FrmpicView.h"
#include "platform/AppPaths.h"
#include "platform/MessageBox.h"
#include "support/CoreKit.h"

#include <QDir>
#include <QLabel>
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

    // A picture narrower than the window is centred below the tool bar; one
    // wider than the window less 240 twips gets a box 120 twips in from each side.
    void fitRules()
    {
        slots_.capture[0] = makeCapture(1, {620, 300}, Qt::green);
        slots_.capture[1] = makeCapture(2, {800, 700}, Qt::gray);
        open("yc", 0, false);
        QCOMPARE(v.Picbox->geometry(), QRect(50, (540 - 48 - 300) / 2 + 48, 620, 300));
        v.Bdown_Click();
        QCOMPARE(v.Picbox->geometry(), QRect(8, 56, 720 - 16, 540 - 53));
        QImage shot = v.grab().toImage();
        shot.save(testOutputFolder() + QStringLiteral("/picview.png"));
        QVERIFY(qAbs(QColor(shot.pixel(360, 300)).value() - QColor(Qt::gray).value()) <= 4);
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
