// The editor's picture work on its real widgets: captures into the store,
// selection, moving pictures between the store and the report slots, the
// viewer's openers, live video and recording on the test pattern, and the
// foot switch on a port whose CTS changes the test injects.
#include "support/EditorKit.h"
#include "support/FakePort.h"

#include "core/Modini.h"
#include "editor/DataRecordTesting.h"
#include "imaging/CaptureStore.h"
#include "imaging/FrmpicView.h"
#include "imaging/VideoCapture.h"
#include "imaging/VideoCaptureTesting.h"
#include "imaging/VideoSettings.h"
#include "imaging/VideoSourceDialog.h"
#include "platform/AppPaths.h"
#include "platform/FileDialogs.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QScopeGuard>
#include <QSemaphore>
#include <QThread>

#include <csignal>
#include <optional>

using kit::lastText;
using kit::lastTitle;

namespace {
// Deadline for what runs on other threads (the capture writer): generous, so
// that a busy machine only makes the tests slower.
constexpr int kWaitMs = 60000;
// The longest a running source may take for its next frame: a source that
// stalls fails the test soon. What the video brings is waited for in frames.
constexpr int kFrameMs = 10000;
constexpr int kFrames = 300;

QImage frame(QColor c)
{
    QImage f(320, 240, QImage::Format_RGB32);
    f.fill(c);
    return f;
}

void press(QWidget* box, Qt::MouseButton b) { QTest::mouseClick(box, b, {}, QPoint(5, 5)); }

QColor centre(const QImage& img) { return img.pixelColor(img.width() / 2, img.height() / 2); }

bool near(QColor a, QColor b)
{
    return qAbs(a.red() - b.red()) < 8 && qAbs(a.green() - b.green()) < 8 && qAbs(a.blue() - b.blue()) < 8;
}

QString jpg(const QString& base) { return base + QStringLiteral(".jpg"); }

// The descriptors open once the pools' threads (each holds one) have ended.
int openDescriptors(DataRecord& ed)
{
    QThreadPool::globalInstance()->waitForDone();
    DataRecordTesting::captureWriter(ed).waitForDone();
    return int(QDir(QStringLiteral("/proc/self/fd")).entryList(QDir::NoDotAndDotDot | QDir::AllEntries).size());
}
}

class tst_Capture : public QObject {
    Q_OBJECT
private:
    std::unique_ptr<TestFolder> folder_;
    std::shared_ptr<kit::FakePort::Log> ports_;
    DataRecord* ed = nullptr;   // new for each case (the kit gives the case new windows)

    // A new report on the picture page.
    void openNew()
    {
        ed->ensureLoaded();
        ed->ButtnNew_Click();
        ed->Buttnpic_Click();
        ed->show();
    }
    void capture(QColor c)
    {
        VideoCaptureTesting::presentFrame(*ed->VideoCapture1, frame(c));
        ed->BVidCapture_Click();
    }
    bool nextFrame()
    {
        return VideoCaptureTesting::waitForFrame(*ed->VideoCapture1,
                                                 VideoCaptureTesting::framesReceived(*ed->VideoCapture1), kFrameMs);
    }
    bool frameShown(int i) const { return !ed->ShapeSel[size_t(i)]->isHidden(); }
    bool storeButtons() const
    {
        return ed->ButtonAddPic->isEnabled() && ed->ButtonDelPic->isEnabled() && ed->Bpicview1->isEnabled()
               && ed->ButtonConvert->isEnabled();
    }
    bool reportButtons() const
    {
        return ed->ButtonDelPicR->isEnabled() && ed->Bpicview2->isEnabled() && ed->Bpicback->isEnabled();
    }

private slots:
    void init()
    {
        folder_ = kit::editorFolder();
        QVERIFY(folder_->ok());
        ed = &DataRecord::instance();
        QVERIFY(ed->UpdateIdout().isEmpty());   // a new window: no report of an earlier case
        ports_ = kit::FakePort::install();
        QVERIFY(kit::setIni("video", "device", QStringLiteral("test")));
        QVERIFY(kit::setIni("video", "width", QStringLiteral("320")));
        QVERIFY(kit::setIni("video", "height", QStringLiteral("240")));
        QVERIFY(kit::setIni("system", "comport", QStringLiteral("2")));
    }
    void cleanup()
    {
        kit::closeEditor();
        Opener::setHook([](QDialog*) { return 0; });
        FootSwitch::setPortFactory({});
        folder_.reset();
    }

    void captureIntoTheStore()
    {
        openNew();
        capture(Qt::red);
        // The slot is taken and its thumbnail shown at once; the files follow.
        const QString base = AppPaths::imageFolder() + QStringLiteral("/image1");
        QCOMPARE(ed->Pictmp[0]->Tag, base);
        QVERIFY(near(centre(ed->Pictmp[0]->picture()), Qt::red));
        ed->settleCaptures();
        QVERIFY(near(centre(QImage(base + QStringLiteral(".bmp"))), Qt::red)
                && near(centre(QImage(jpg(base))), Qt::red));
        for (const QString& f : {base + QStringLiteral(".bmp"), jpg(base)})
            QVERIFY(!(QFileInfo(f).permissions() & (QFile::ReadGroup | QFile::ReadOther)));
        for (int i = 1; i < 18; ++i)
            capture(QColor::fromHsv(i * 20, 200, 200));
        ed->settleCaptures();
        // Full: the message, and nothing written.
        const QByteArray last = kit::readBytes(ed->Pictmp[17]->Tag + QStringLiteral(".bmp"));
        capture(Qt::white);
        QCOMPARE(lastText(), QStringLiteral("图片暂存区已满，请删除一些后再进行此操作"));
        QCOMPARE(lastTitle(), QStringLiteral("操作取消"));
        QCOMPARE(kit::readBytes(ed->Pictmp[17]->Tag + QStringLiteral(".bmp")), last);

        // Slot 4 removed (Cancel first keeps it): the next capture goes there, as image5.
        press(ed->Pictmp[4], Qt::LeftButton);
        MessageBox::queueAnswer(MessageBox::Answer::Cancel);
        ed->ButtonDelPic_Click();
        QVERIFY(!ed->Pictmp[4]->Tag.isEmpty() && frameShown(4));
        MessageBox::queueAnswer(MessageBox::Answer::Ok);
        ed->ButtonDelPic_Click();
        QVERIFY(ed->Pictmp[4]->Tag.isEmpty() && !ed->Pictmp[4]->hasPicture() && !frameShown(4) && !storeButtons());
        capture(Qt::blue);
        QVERIFY(ed->Pictmp[4]->Tag.endsWith(QStringLiteral("/img/image5")));
        ed->settleCaptures();
        QVERIFY(near(centre(QImage(jpg(ed->Pictmp[4]->Tag))), Qt::blue));

        // The JPEG cannot be written: "26001:<why>：<its file>", the thumbnail erased, the slot free.
        press(ed->Pictmp[0], Qt::LeftButton);
        MessageBox::queueAnswer(MessageBox::Answer::Ok);
        ed->ButtonDelPic_Click();
        QVERIFY(QFile::remove(jpg(base)) && QDir().mkdir(jpg(base)));
        capture(Qt::green);
        QVERIFY(ed->Pictmp[0]->Tag == base && ed->Pictmp[0]->hasPicture());
        // Told on the GUI thread once the writer has failed, without anything waiting for it.
        QTRY_VERIFY_WITH_TIMEOUT(!ed->capturesBeingWritten(), kWaitMs);
        QTRY_VERIFY(lastText().startsWith(QStringLiteral("26001:")));
        QVERIFY2(lastText().endsWith(QStringLiteral("：") + jpg(base)), qPrintable(lastText()));
        QCOMPARE(lastTitle(), QStringLiteral("错误"));
        QVERIFY(ed->Pictmp[0]->Tag.isEmpty() && !ed->Pictmp[0]->hasPicture() && ed->isVisible());

        // Closing the editor right after a capture still writes its files.
        QVERIFY(QDir().rmdir(jpg(base)));
        capture(Qt::magenta);
        kit::closeEditor();
        QVERIFY(near(centre(QImage(jpg(base))), Qt::magenta));
    }

    // A capture's outcome is told from the event loop, whether its files are
    // written before the click asks for it or after: the click returns with
    // the slot taken, and a failed write frees it later, with its message.
    // The half of the pair it did write goes too.
    void captureFailsAfterTheClick()
    {
        openNew();
        const QString base = CaptureStore::captureBase(1);
        const QString bmp = base + QStringLiteral(".bmp");
        for (const bool finishedFirst : {true, false}) {
            QVERIFY(QDir().mkpath(jpg(base)));   // no JPEG can take the folder's place
            MessageBox::clearShown();
            QSemaphore held;
            const auto release = qScopeGuard([&held] {
                held.release();
                DataRecordTesting::onCaptureStarted({});
            });
            if (finishedFirst)
                DataRecordTesting::onCaptureStarted([](QFuture<void> job) { job.waitForFinished(); });
            else
                DataRecordTesting::captureWriter(*ed).start([&held] { held.acquire(); });
            capture(Qt::green);
            DataRecordTesting::onCaptureStarted({});
            QVERIFY2(ed->Pictmp[0]->Tag == base && ed->Pictmp[0]->hasPicture(), finishedFirst ? "finished first" : "");
            QVERIFY(MessageBox::shownBoxes().isEmpty());
            held.release();
            QTRY_VERIFY_WITH_TIMEOUT(ed->Pictmp[0]->Tag.isEmpty(), kWaitMs);
            QVERIFY(lastText().startsWith(QStringLiteral("26001:")) && lastTitle() == QStringLiteral("错误"));
            QVERIFY(!ed->Pictmp[0]->hasPicture() && !QFileInfo::exists(bmp));
            QVERIFY(QDir().rmdir(jpg(base)));
        }
        // Written whole: the slot stays taken.
        capture(Qt::blue);
        ed->settleCaptures();
        QVERIFY(ed->Pictmp[0]->Tag == base && near(centre(QImage(bmp)), Qt::blue)
                && near(centre(QImage(jpg(base))), Qt::blue));
    }

    // A capture whose files cannot be written (a folder that may not be
    // written, a full disk, a file-size limit) says why, titled 错误, and
    // leaves its slot free with no file half written.
    void captureNotWritten()
    {
        openNew();
        const QString img = AppPaths::imageFolder();
        {
            kit::Unwritable ro(img);
            QVERIFY(ro.ok());
            MessageBox::clearShown();
            capture(Qt::red);
            ed->settleCaptures();
        }
        QCOMPARE(lastTitle(), QStringLiteral("错误"));
        QVERIFY2(lastText().startsWith(QStringLiteral("70:没有权限"))
                     && lastText().contains(QStringLiteral("image1.bmp")),
                 qPrintable(lastText()));
        QVERIFY(ed->Pictmp[0]->Tag.isEmpty() && !ed->Pictmp[0]->hasPicture());
        capture(Qt::green);
        ed->settleCaptures();
        QCOMPARE(ed->Pictmp[0]->Tag, CaptureStore::captureBase(1));

        // Past a file-size limit, with SIGXFSZ ignored as the start-up does:
        // the write fails like a full disk instead of ending the program.
        MessageBox::clearShown();
        {
            const kit::FileSizeLimit limit(64 * 1024);   // a 320 x 240 frame's BMP is 230 KB
            QVERIFY(limit.ok());
            capture(Qt::blue);
            ed->settleCaptures();
        }
        QCOMPARE(lastTitle(), QStringLiteral("错误"));
        QVERIFY2(lastText().startsWith(QStringLiteral("61:磁盘已满")), qPrintable(lastText()));
        QVERIFY(ed->Pictmp[1]->Tag.isEmpty() && !ed->Pictmp[1]->hasPicture());
        const QStringList left = QDir(img).entryList(QDir::Files | QDir::Hidden);
        QVERIFY2(!left.contains(QStringLiteral("image2.bmp")) && !left.contains(QStringLiteral("image2.jpg"))
                     && std::none_of(left.begin(), left.end(), [](const QString& f) { return f.startsWith('.'); }),
                 qPrintable(left.join(' ')));
        capture(Qt::blue);
        ed->settleCaptures();
        QCOMPARE(ed->Pictmp[1]->Tag, CaptureStore::captureBase(2));

        // The free slot still has the files of a picture deleted from the store: a capture
        // into it that fails leaves no half of either pair.
        const QString third = CaptureStore::captureBase(3);
        QVERIFY(kit::writeBytes(third + QStringLiteral(".bmp"), "an earlier BMP")
                && kit::writeBytes(jpg(third), "an earlier JPEG"));
        {
            const kit::FileSizeLimit limit(64 * 1024);
            QVERIFY(limit.ok());
            capture(Qt::blue);
            ed->settleCaptures();
        }
        QVERIFY(ed->Pictmp[2]->Tag.isEmpty() && lastText().startsWith(QStringLiteral("61:磁盘已满")));
        QVERIFY(!QFileInfo::exists(third + QStringLiteral(".bmp")) && !QFileInfo::exists(jpg(third)));
    }

    void selectAddRemoveAndSendBack()
    {
        openNew();
        for (QColor c : {Qt::red, Qt::green, Qt::blue, Qt::yellow})
            capture(c);
        QVERIFY(!storeButtons() && !reportButtons());
        // Left selects (several at once), right deselects; an empty slot ignores clicks.
        press(ed->Pictmp[1], Qt::LeftButton);
        QVERIFY(frameShown(1) && storeButtons());
        press(ed->Pictmp[1], Qt::RightButton);
        QVERIFY(!frameShown(1) && !storeButtons());
        press(ed->Pictmp[7], Qt::LeftButton);
        QVERIFY(!frameShown(7) && !storeButtons());

        // Report slots 0 and 2 taken; three selected captures: the first two
        // move into slots 1 and 3 in order, the third stays, deselected.
        const QString other = folder_->file(QStringLiteral("other.jpg"));
        QVERIFY(kit::writeBytes(other, kit::jpegBytes(160, 120, Qt::gray)));
        QVERIFY(ed->showSlotFile(0, other) && ed->showSlotFile(2, other));
        // Adding waits for the captures' files still being written.
        for (int i : {0, 2, 3})
            press(ed->Pictmp[size_t(i)], Qt::LeftButton);
        ed->ButtonAddPic_Click();
        const QByteArray red = kit::readBytes(jpg(CaptureStore::captureBase(1))),
                         blue = kit::readBytes(jpg(CaptureStore::captureBase(3)));
        QVERIFY(near(centre(QImage::fromData(red)), Qt::red));
        QCOMPARE(ed->Picload[1]->Tag, CaptureStore::reportFile(2));
        QVERIFY(kit::readBytes(CaptureStore::reportFile(2)) == red
                && kit::readBytes(CaptureStore::reportFile(4)) == blue);
        QVERIFY(ed->Pictmp[0]->Tag.isEmpty() && ed->Pictmp[2]->Tag.isEmpty() && !ed->Pictmp[3]->Tag.isEmpty());
        QVERIFY(!frameShown(3) && !storeButtons() && near(centre(ed->Picload[3]->picture()), Qt::blue));
        ed->ButtonAddPic_Click();
        QCOMPARE(lastText(), QStringLiteral("报告区图片已满,操作取消"));

        // One report picture selected at a time; right leaves none.
        press(ed->Picload[1], Qt::LeftButton);
        press(ed->Picload[3], Qt::LeftButton);
        QVERIFY(ed->ShapeSelR[1]->isHidden() && !ed->ShapeSelR[3]->isHidden() && reportButtons());
        press(ed->Picload[3], Qt::RightButton);
        QVERIFY(ed->ShapeSelR[3]->isHidden() && !reportButtons());

        // Saved: adding and removing report pictures is refused, sending back is not.
        kit::typeRecord(*ed, QStringLiteral("C1"), QStringLiteral("甲"));
        ed->ButtnSave_Click();
        QVERIFY(!ed->editing());
        press(ed->Pictmp[1], Qt::LeftButton);
        ed->ButtonAddPic_Click();
        QCOMPARE(lastText(), QStringLiteral("请在编辑状态下对报告图片进行添加"));
        press(ed->Picload[1], Qt::LeftButton);
        ed->ButtonDelPicR_Click();
        QCOMPARE(lastText(), QStringLiteral("请在编辑状态下对报告图片进行删除"));
        ed->Bpicback_Click();
        // To the first free capture slot, its BMP written from the JPEG.
        const QString back = CaptureStore::captureBase(1);
        QCOMPARE(ed->Pictmp[0]->Tag, back);
        QCOMPARE(kit::readBytes(jpg(back)), red);
        QCOMPARE(QImage(back + QStringLiteral(".bmp")).convertToFormat(QImage::Format_RGB32),
                 QImage(jpg(back)).convertToFormat(QImage::Format_RGB32));
        QVERIFY(ed->Picload[1]->Tag.isEmpty() && ed->ShapeSelR[1]->isHidden() && !reportButtons());

        // A full store: sending back only deselects.
        while (std::any_of(ed->Pictmp.begin(), ed->Pictmp.end(), [](EdPicture* p) { return p->Tag.isEmpty(); }))
            capture(Qt::cyan);
        press(ed->Picload[3], Qt::LeftButton);
        ed->Bpicback_Click();
        QVERIFY(!ed->Picload[3]->Tag.isEmpty() && ed->ShapeSelR[3]->isHidden());

        // A copy that fails (img read-only) leaves both slots as they were.
        ed->ButtnEnable_Click();
        MessageBox::queueAnswer(MessageBox::Answer::Ok);
        press(ed->Picload[3], Qt::LeftButton);
        ed->ButtonDelPicR_Click();
        QVERIFY(ed->Picload[3]->Tag.isEmpty());
        {
            kit::Unwritable ro(AppPaths::imageFolder());
            QVERIFY(ro.ok());
            ed->ButtonAddPic_Click();   // slot 1 is still selected from above
        }
        QVERIFY(lastText().startsWith(QStringLiteral("75:")) && lastTitle() == QStringLiteral("错误"));
        QVERIFY(ed->Picload[1]->Tag.isEmpty() && ed->Picload[3]->Tag.isEmpty());
        QVERIFY(!ed->Pictmp[1]->Tag.isEmpty() && frameShown(1) && storeButtons());
    }

    void viewerFromTheEditor()
    {
        openNew();
        capture(Qt::red);
        capture(Qt::blue);
        ed->Bpicview1_Click();
        QCOMPARE(lastText(), QStringLiteral("请先选择需要查看的图像"));
        press(ed->Pictmp[0], Qt::LeftButton);
        press(ed->Pictmp[1], Qt::LeftButton);
        int opened = 0;
        Opener::setHook([&](QDialog* d) {
            auto* v = qobject_cast<FrmpicView*>(d);
            if (!v)
                return 0;
            ++opened;
            // Opened on the first selected slot, whose frame is hidden; the
            // second, deleted from the viewer, loses its frame too.
            [&] {
                QVERIFY(v->Picqy == QStringLiteral("yc") && v->PicId == 0 && v->Bedit && !frameShown(0));
                QVERIFY(near(centre(v->Picbox->pixmap().toImage()), Qt::red));
                v->Bdown_Click();
                MessageBox::queueAnswer(MessageBox::Answer::Ok);
                v->Bdel_Click();
                QVERIFY(ed->Pictmp[1]->Tag.isEmpty() && !frameShown(1));
            }();
            return 0;
        });
        ed->Bpicview1_Click();
        QVERIFY(opened == 1 && !storeButtons());
    }

    void liveVideoAndRecording()
    {
        openNew();
        QVERIFY(ed->BVidOn->isEnabled() && ed->BVidOn->caption() == QStringLiteral("开启视频"));
        // The four that need the live picture follow the video; the source
        // (设 置) can be chosen with the video off too.
        const QList<QvButton*> four = {ed->BVidForm, ed->BVidCapture, ed->BVidavi, ed->Bcodec};
        auto allFive = [&](bool on) {
            return ed->BVidSet->isEnabled()
                   && std::all_of(four.begin(), four.end(), [on](QvButton* b) { return b->isEnabled() == on; });
        };
        // A device that is not there: nothing changes, and the radiologist is
        // told why and what to do, in steps the window offers now.
        QVERIFY(kit::setIni("video", "device", QStringLiteral("/dev/video-not-there")));
        ed->BVidOn_Click();
        QVERIFY(!ed->videoOn() && allFive(false) && ed->BVidOn->caption() == QStringLiteral("开启视频"));
        QCOMPARE(lastText(), QStringLiteral("57:无法开启视频：视频设备不存在：/dev/video-not-there。请连接该设备，"
                                            "或在“设 置”中选择另一个设备。"));
        QCOMPARE(lastTitle(), QStringLiteral("错误"));
        // A device that is there but is no camera: GStreamer's words, and the same steps.
        QVERIFY(kit::setIni("video", "device", QStringLiteral("/dev/null")));
        ed->BVidOn_Click();
        QVERIFY(!ed->videoOn() && allFive(false));
        QVERIFY2(lastText().startsWith(QStringLiteral("57:无法开启视频：视频设备 /dev/null 无法使用（"))
                     && lastText().endsWith(QStringLiteral("）。请确认它是已连接的摄像头、没有被其他程序占用，"
                                                           "或在“设 置”中选择另一个设备。")),
                 qPrintable(lastText()));
        QCOMPARE(ed->BVidSet->caption(), QStringLiteral("设 置"));
        QVERIFY(kit::setIni("video", "device", QStringLiteral("/dev/video-not-there")));
        int sourceDialogs = 0;
        Opener::setHook([&](QDialog* d) {
            auto* source = qobject_cast<VideoSourceDialog*>(d);
            if (!source)
                return 0;
            // The device chosen is shown as not connected, beside the cameras present.
            if (source->ComboDevice->currentText() == QStringLiteral("/dev/video-not-there (未连接)")
                && source->ComboDevice->count() == VideoDevices::list().size() + 1)
                ++sourceDialogs;
            return int(QDialog::Rejected);
        });
        QTest::mouseClick(ed->BVidSet, Qt::LeftButton);
        Opener::setHook([](QDialog*) { return 0; });
        QVERIFY(sourceDialogs == 1 && !ed->videoOn() && allFive(false));
        // The shipped setting with no camera: the test pattern never stands in,
        // so F9 can store no synthetic picture for the patient. The step named
        // (开启视频 once a camera is connected) is there.
        if (VideoDevices::list().isEmpty()) {
            QVERIFY(kit::setIni("video", "device", QString()));
            ed->BVidOn_Click();
            QVERIFY(!ed->videoOn() && allFive(false) && !ed->VideoCapture1->isConnected());
            QCOMPARE(lastText(), QStringLiteral("57:无法开启视频：未找到视频设备。请连接摄像头，再按“开启视频”。"));
            QVERIFY(ed->BVidOn->isEnabled() && ed->BVidOn->caption() == QStringLiteral("开启视频"));
            QTest::keyClick(ed, Qt::Key_F9);
            QVERIFY(ed->Pictmp[0]->Tag.isEmpty());
        }
        QVERIFY(kit::setIni("video", "device", QStringLiteral("test")));
        const int descriptors = openDescriptors(*ed);
        ed->BVidOn_Click();
        QVERIFY(ed->videoOn() && allFive(true) && ed->BVidOn->caption() == QStringLiteral("关闭视频"));
        QVERIFY(nextFrame());
        QTest::keyClick(ed, Qt::Key_F9);
        ed->settleCaptures();
        QCOMPARE(QImage(ed->Pictmp[0]->Tag + QStringLiteral(".bmp")).size(), QSize(320, 240));

        // Cancelled file dialog: not recording.
        FileDialogs::queueAnswer(QString());
        ed->BVidavi_Click();
        QVERIFY(!ed->recording() && ed->BVidavi->caption() == QStringLiteral("开始录像"));
        // A folder that may not be written: not recording, and told why.
        const QString locked = folder_->file(QStringLiteral("locked"));
        QVERIFY(QDir().mkpath(locked));
        {
            kit::Unwritable ro(locked);
            QVERIFY(ro.ok());
            MessageBox::clearShown();
            FileDialogs::queueAnswer(locked + QStringLiteral("/x.avi"));
            ed->BVidavi_Click();
        }
        QVERIFY(!ed->recording() && ed->BVidavi->caption() == QStringLiteral("开始录像"));
        QCOMPARE(lastText(), QStringLiteral("75:无法开始录像：文件夹 %1 中不能建立录像文件（没有权限）")
                                 .arg(QDir::toNativeSeparators(locked)));
        QCOMPARE(lastTitle(), QStringLiteral("错误"));
        // Recorded, stopped: a finished AVI under the name as chosen.
        const QString avi = folder_->file(QStringLiteral("clip"));
        auto record = [&](const QString& file) {
            FileDialogs::queueAnswer(file);
            ed->BVidavi_Click();
            if (!ed->recording() || ed->BVidavi->caption() != QStringLiteral("停止录像"))
                return false;
            for (int i = 0; i < 5; ++i)
                if (!nextFrame())
                    return false;
            return true;
        };
        QVERIFY(record(avi));
        ed->BVidavi_Click();
        QVERIFY(!ed->recording() && ed->BVidavi->caption() == QStringLiteral("开始录像"));
        kit::checkAviFinalised(avi);
        // An existing file: the dialog asks before it is replaced. No goes back
        // to the dialog (cancelled here) and the file stays; Yes records.
        const QByteArray first = kit::readBytes(avi);
        MessageBox::clearShown();
        FileDialogs::queueAnswer(avi);
        MessageBox::queueAnswer(MessageBox::Answer::No);
        FileDialogs::queueAnswer(QString());
        ed->BVidavi_Click();
        QVERIFY(!ed->recording() && kit::readBytes(avi) == first);
        QCOMPARE(lastText(), QDir::toNativeSeparators(avi) + QStringLiteral(" 已存在。\n要替换它吗？"));
        QCOMPARE(MessageBox::shownBoxes().last().buttons, MessageBox::Buttons::YesNo);
        MessageBox::queueAnswer(MessageBox::Answer::Yes);
        QVERIFY(record(avi));
        QCOMPARE(kit::readBytes(avi), first);   // replaced only once the new recording is complete
        ed->BVidavi_Click();
        kit::checkAviFinalised(avi);
        QVERIFY(kit::readBytes(avi) != first && fileMode(avi) == 0600);
        // The disk takes no more (the file-size limit): the recording ends by
        // itself, the message says why and that the earlier recording is kept.
        const QByteArray second = kit::readBytes(avi);
        {
            const kit::FileSizeLimit limit(64 * 1024);
            QVERIFY(limit.ok());
            MessageBox::queueAnswer(MessageBox::Answer::Yes);
            QVERIFY(record(avi));
            QVERIFY(VideoCaptureTesting::waitUntil(
                *ed->VideoCapture1, [&] { return !ed->recording(); }, kFrames, kFrameMs));
        }
        QVERIFY(ed->videoOn() && ed->BVidavi->caption() == QStringLiteral("开始录像"));
        QCOMPARE(lastText(), QStringLiteral("75:录像文件写入失败：%1（磁盘已满）。原有的同名录像已保留。")
                                 .arg(QDir::toNativeSeparators(avi)));
        QCOMPARE(kit::readBytes(avi), second);
        // Switched off while recording: the file is finished; switched on again, not recording.
        QVERIFY(record(folder_->file(QStringLiteral("off.avi"))));
        ed->BVidOn_Click();
        QVERIFY(!ed->videoOn() && !ed->recording() && allFive(false));
        QVERIFY(ed->BVidOn->caption() == QStringLiteral("开启视频")
                && ed->BVidavi->caption() == QStringLiteral("开始录像"));
        kit::checkAviFinalised(folder_->file(QStringLiteral("off.avi")));
        ed->BVidOn_Click();
        QVERIFY(ed->videoOn() && !ed->recording());

        // The camera goes away: the video goes off with a message (the source
        // says so at once; the window hears of it from its event loop).
        VideoCaptureTesting::failSource(*ed->VideoCapture1);
        QVERIFY(ed->VideoCapture1->hasStopped());
        QTRY_VERIFY(!ed->videoOn());
        QVERIFY(lastText().startsWith(QStringLiteral("57:")) && allFive(false));

        // Closing the editor while recording finishes the file.
        ed->BVidOn_Click();
        QVERIFY(record(folder_->file(QStringLiteral("closed.avi"))));
        kit::closeEditor();
        QVERIFY(!ed->VideoCapture1->isConnected());
        kit::checkAviFinalised(folder_->file(QStringLiteral("closed.avi")));
        // Everything the video took is given back when the editor closes.
        QTest::qWait(300);
        QCOMPARE(openDescriptors(*ed), descriptors);
    }

    // The disk fills as the user presses 停止录像: one box for the failure,
    // true about the earlier file of this recording's name (first a name that
    // was there, then a new one), and the video goes on.
    void recordingFailsAsItStops()
    {
        openNew();
        ed->BVidOn_Click();
        QVERIFY(ed->videoOn());
        VideoCapture& video = *ed->VideoCapture1;
        std::optional<kit::FileSizeLimit> full;
        // Unhooked whenever the case ends: a failed check leaves the recording
        // running, and the stop in cleanup must not fill the next case's disk.
        const auto unhook = qScopeGuard([&video] { VideoCaptureTesting::whenStopping(video, {}); });
        VideoCaptureTesting::whenStopping(video, [&] {
            full.emplace(1);
            // The file refuses data before the stop waits, so what that queues
            // for the window arrives while the stop waits.
            QDeadlineTimer deadline(kWaitMs);
            while (!VideoCaptureTesting::recordingHasFailed(video) && !deadline.hasExpired())
                QThread::msleep(1);
        });
        const QString kept = folder_->file(QStringLiteral("kept.avi")),
                      fresh = folder_->file(QStringLiteral("new.avi"));
        QVERIFY(kit::writeBytes(kept, QByteArray("an earlier recording")));
        for (const QString& avi : {kept, fresh}) {
            FileDialogs::queueAnswer(avi);
            if (avi == kept)
                MessageBox::queueAnswer(MessageBox::Answer::Yes);   // replace it
            ed->BVidavi_Click();
            QVERIFY(ed->recording());
            QVERIFY(nextFrame() && nextFrame());
            MessageBox::clearShown();
            ed->BVidavi_Click();
            full.reset();
            QVERIFY(nextFrame() && nextFrame());   // anything queued by the failure is handled
            QVERIFY(!ed->recording() && ed->videoOn() && ed->BVidavi->caption() == QStringLiteral("开始录像"));
            const QString told =
                QStringLiteral("75:录像文件写入失败：%1（磁盘已满）。").arg(QDir::toNativeSeparators(avi))
                + (avi == kept ? QStringLiteral("原有的同名录像已保留。") : QString());
            QCOMPARE(MessageBox::shownBoxes().size(), 1);
            QCOMPARE(lastText(), told);
            QCOMPARE(lastTitle(), QStringLiteral("错误"));
        }
        QVERIFY(kit::readBytes(kept) == "an earlier recording" && !QFileInfo::exists(fresh));
    }

    void footSwitch()
    {
        openNew();
        QCOMPARE(ports_->opened, QStringList{QStringLiteral("2")});   // the load opens [system] comport
        auto* port = static_cast<kit::FakePort*>(ed->MSComm1.get());
        ed->BVidOn_Click();
        QVERIFY(nextFrame());
        // 49 ms is bounce; 300 ms after the first change the press captures.
        // The handler runs nothing else inside itself (an event posted before
        // the press runs after it), and the port stays closed until 10 ms
        // after the capture, from the event loop.
        bool ran = false;
        QVERIFY(port->change(10000) && port->change(10049));
        QVERIFY(ed->Pictmp[0]->Tag.isEmpty());
        QMetaObject::invokeMethod(
            ed, [&] { ran = true; }, Qt::QueuedConnection);
        QVERIFY(port->change(10300));
        QVERIFY(!ed->Pictmp[0]->Tag.isEmpty() && !ran && !port->isOpen());
        QVERIFY(!port->change(10310));   // the release's bounce is not seen
        QTRY_VERIFY(port->isOpen());
        QVERIFY(ports_->closes == 1 && ports_->opened == (QStringList{QStringLiteral("2"), QStringLiteral("2")}));

        // A glitch, then normal presses: each captures once.
        QVERIFY(port->change(12000) && port->change(12030));
        for (quint32 t : {14000u, 16500u}) {
            const int before = int(
                std::count_if(ed->Pictmp.begin(), ed->Pictmp.end(), [](EdPicture* p) { return !p->Tag.isEmpty(); }));
            QVERIFY(port->change(t) && port->change(t + 200));
            QTRY_VERIFY(port->isOpen());
            QCOMPARE(int(std::count_if(ed->Pictmp.begin(), ed->Pictmp.end(),
                                       [](EdPicture* p) { return !p->Tag.isEmpty(); })),
                     before + 1);
        }

        // On the information page, or with the video off: the port is closed
        // and opened again, nothing is captured.
        ed->Buttninfo_Click();
        QVERIFY(port->change(20000) && port->change(20200));
        QTRY_VERIFY(port->isOpen());
        ed->Buttnpic_Click();
        ed->BVidOn_Click();
        QVERIFY(port->change(30000) && port->change(30200));
        QTRY_VERIFY(port->isOpen());
        QVERIFY(ed->Pictmp[3]->Tag.isEmpty() && ports_->closes == 5);
        // Closed right after a press: the pause does not open the port again.
        QVERIFY(port->change(40000) && port->change(40200));
        kit::closeEditor();
        QTest::qWait(30);
        QVERIFY(!port->isOpen());

        // A port that will not open, or no port set (as shipped): the editor
        // opens without the switch, silently.
        ports_->refused.insert(QStringLiteral("2"));
        MessageBox::clearShown();
        ed->ensureLoaded();
        QVERIFY(!ed->MSComm1->isOpen() && MessageBox::shownBoxes().isEmpty());
        kit::closeEditor();
        QVERIFY(kit::setIni("system", "comport", QString()));
        const QStringList opened = ports_->opened;
        MessageBox::clearShown();
        ed->ensureLoaded();
        QVERIFY(!ed->MSComm1);
        QCOMPARE(ports_->opened, opened);
        QVERIFY2(MessageBox::shownBoxes().isEmpty(), qPrintable(lastText()));
    }
};

QTEST_MAIN(tst_Capture)
#include "tst_capture.moc"
