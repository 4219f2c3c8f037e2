// The editor's picture work: live video and recording, the capture store and
// the report picture slots, the picture viewer's openers and the foot switch.
#include "editor/DataRecord.h"

#include "core/ModBackup.h"
#include "core/Modini.h"
#include "imaging/Bitmap24.h"
#include "imaging/BmpFile.h"
#include "imaging/CaptureStore.h"
#include "imaging/FrmpicView.h"
#include "imaging/JpegWriter.h"
#include "imaging/VideoCapture.h"
#include "platform/AppError.h"
#include "platform/FileDialogs.h"
#include "platform/MessageBox.h"
#include "platform/Opener.h"

#include <QCoreApplication>
#include <QDir>
#include <QFutureWatcher>
#include <QPointer>
#include <QtConcurrent/QtConcurrentRun>
#include <QTimer>

#include <exception>

namespace {
constexpr int kCaptures = CaptureStore::kCaptureSlots;
constexpr int kReports = CaptureStore::kReportSlots;

// The slots as the picture viewer works on them while it is open.
class EditorSlots : public PictureSlots {
public:
    explicit EditorSlots(DataRecord& ed) : ed_(ed) {}

    QString tag(Group group, int i) const override
    {
        if (group == Capture) {
            // A capture taken (foot switch) while the viewer is open is read once written.
            ed_.settleCaptures();
            return i >= 0 && i < kCaptures ? ed_.Pictmp[size_t(i)]->Tag : QString();
        }
        return i >= 0 && i < kReports ? ed_.Picload[size_t(i)]->Tag : QString();
    }
    void empty(Group group, int i) override
    {
        const int n = group == Capture ? kCaptures : kReports;
        if (i < 0 || i >= n)
            return;
        EdPicture* box = group == Capture ? ed_.Pictmp[size_t(i)] : ed_.Picload[size_t(i)];
        box->Tag.clear();
        box->Cls();
        (group == Capture ? ed_.ShapeSel[size_t(i)] : ed_.ShapeSelR[size_t(i)])->hide();
    }
    bool showReportPicture(int k, const QString& path) override { return ed_.showSlotFile(k, path); }

private:
    DataRecord& ed_;
};

bool shown(const QWidget* frame) { return !frame->isHidden(); }

// A recording that could not be completed (the earlier file of its name stays).
// The file, why, and whether an earlier recording of that name is still there.
void tellRecordingLost(const VideoCapture& video)
{
    QString text = QStringLiteral("录像文件写入失败：") + QDir::toNativeSeparators(video.AviFileName());
    const QString why = video.lastError();
    if (!why.isEmpty())
        text += QStringLiteral("（") + why + QStringLiteral("）");
    text += QStringLiteral("。");
    if (video.earlierRecordingKept())
        text += QStringLiteral("原有的同名录像已保留。");
    MessageBox::critical(AppError::format(AppError::PathFileAccess, text), MessageBox::kErrorTitle);
}

bool confirmed(const QString& question, QWidget* parent)
{
    return MessageBox::show(question, MessageBox::kNoticeTitle, MessageBox::Icon::Information,
                            MessageBox::Buttons::OkCancel, parent)
           == MessageBox::Answer::Ok;
}
}

// Called by buildControls at every load: the starting state of the video and
// picture buttons, and their handlers.
void DataRecord::wireCapture()
{
    videoOn_ = false;
    recording_ = false;
    connect(BVidOn, &QAbstractButton::clicked, this, &DataRecord::BVidOn_Click);
    connect(BVidForm, &QAbstractButton::clicked, this, &DataRecord::BVidForm_Click);
    connect(BVidSet, &QAbstractButton::clicked, this, &DataRecord::BVidSet_Click);
    connect(Bcodec, &QAbstractButton::clicked, this, &DataRecord::Bcodec_Click);
    connect(BVidavi, &QAbstractButton::clicked, this, &DataRecord::BVidavi_Click);
    connect(BVidCapture, &QAbstractButton::clicked, this, &DataRecord::BVidCapture_Click);
    connect(ButtonAddPic, &QAbstractButton::clicked, this, &DataRecord::ButtonAddPic_Click);
    connect(ButtonDelPic, &QAbstractButton::clicked, this, &DataRecord::ButtonDelPic_Click);
    connect(Bpicview1, &QAbstractButton::clicked, this, &DataRecord::Bpicview1_Click);
    connect(ButtonDelPicR, &QAbstractButton::clicked, this, &DataRecord::ButtonDelPicR_Click);
    connect(Bpicview2, &QAbstractButton::clicked, this, &DataRecord::Bpicview2_Click);
    connect(Bpicback, &QAbstractButton::clicked, this, &DataRecord::Bpicback_Click);
    for (int i = 0; i < kCaptures; ++i)
        connect(Pictmp[size_t(i)], &EdPicture::MouseDown, this,
                [this, i](int b, int s, int x, int y) { Pictmp_MouseDown(i, b, s, x, y); });
    for (int k = 0; k < kReports; ++k)
        connect(Picload[size_t(k)], &EdPicture::MouseDown, this,
                [this, k](int b, int s, int x, int y) { Picload_MouseDown(k, b, s, x, y); });
    connect(VideoCapture1, &VideoCapture::sourceLost, this, &DataRecord::videoLost);
    connect(VideoCapture1, &VideoCapture::recordingFailed, this, &DataRecord::recordingLost);
}

void DataRecord::setStoreButtons(bool on)
{
    storeSelected_ = on;
    applyState();
}

void DataRecord::setReportButtons(bool on)
{
    reportSelected_ = on;
    applyState();
}

void DataRecord::emptyCapture(int i)
{
    Pictmp[size_t(i)]->Tag.clear();
    Pictmp[size_t(i)]->Cls();
    ShapeSel[size_t(i)]->hide();
}

void DataRecord::emptyReport(int k)
{
    Picload[size_t(k)]->Tag.clear();
    Picload[size_t(k)]->Cls();
    ShapeSelR[size_t(k)]->hide();
}

// --- live video and recording -------------------------------------------------

void DataRecord::BVidOn_Click()
{
    if (videoOn_) {
        setVideoOff();
        return;
    }
    // A source that cannot be connected (no camera, the configured one not
    // there) changes nothing; the radiologist is told why.
    if (!VideoCapture1->Connect()) {
        MessageBox::critical(
            AppError::format(AppError::DeviceIo, QStringLiteral("无法开启视频：") + VideoCapture1->lastError()),
            MessageBox::kErrorTitle);
        return;
    }
    videoOn_ = true;
    BVidOn->setCaption(QStringLiteral("关闭视频"));
    applyState();
}

void DataRecord::setVideoOff()
{
    // A recording is completed before the video goes off, so its file is whole.
    const bool wasRecording = recording_;
    videoOn_ = false;
    recording_ = false;
    BVidOn->setCaption(QStringLiteral("开启视频"));
    applyState();
    BVidavi->setCaption(QStringLiteral("开始录像"));
    if (wasRecording && !VideoCapture1->StopRecording())
        tellRecordingLost(*VideoCapture1);
    VideoCapture1->Disconnect();
}

void DataRecord::videoLost()
{
    // The camera stopped sending (unplugged): the video goes off, and says why.
    if (!videoOn_ || !VideoCapture1->hasStopped())
        return;
    setVideoOff();
    MessageBox::critical(AppError::format(AppError::DeviceIo, QStringLiteral("视频设备已断开，视频已关闭")),
                         MessageBox::kErrorTitle);
}

void DataRecord::recordingLost()
{
    // The file could not be written (disk full): the recording ends, the video goes on.
    if (!recording_)
        return;
    recording_ = false;
    BVidavi->setCaption(QStringLiteral("开始录像"));
    VideoCapture1->StopRecording();
    tellRecordingLost(*VideoCapture1);
}

void DataRecord::BVidForm_Click()
{
    VideoCapture1->ShowFormatDialog();
    // A new format restarts the video; one the source refuses leaves it off.
    if (videoOn_ && !VideoCapture1->isConnected())
        setVideoOff();
}

void DataRecord::BVidSet_Click()
{
    VideoCapture1->ShowSourceDialog();
    if (videoOn_ && !VideoCapture1->isConnected())
        setVideoOff();
}

void DataRecord::Bcodec_Click() { VideoCapture1->ShowCompressionDialog(); }

void DataRecord::BVidavi_Click()
{
    if (recording_) {
        // Not recording from here on, so that a failure the stop meets is told
        // once, below, about this recording's earlier file.
        recording_ = false;
        BVidavi->setCaption(QStringLiteral("开始录像"));
        if (!VideoCapture1->StopRecording())
            tellRecordingLost(*VideoCapture1);
        return;
    }
    // The name is used as chosen; cancelling (an empty name) records nothing.
    // An existing file is only replaced when the user says so, and only once
    // the new recording is complete.
    const QString name =
        FileDialogs::getSaveFileName(this, QStringLiteral("另存为"), QString(), QStringLiteral("视频文件(*.AVI)"));
    if (name.isEmpty())
        return;
    VideoCapture1->setAviFileName(name);
    if (!VideoCapture1->StartRecording()) {
        // Nothing changes (not recording, the caption stays); the user is told why.
        MessageBox::critical(
            AppError::format(AppError::PathFileAccess, QStringLiteral("无法开始录像：") + VideoCapture1->lastError()),
            MessageBox::kErrorTitle);
        return;
    }
    BVidavi->setCaption(QStringLiteral("停止录像"));
    recording_ = true;
}

// --- capture store ------------------------------------------------------------

void DataRecord::BVidCapture_Click()
{
    if (!loaded_)
        return;
    int n = 1;
    while (n <= kCaptures && !Pictmp[size_t(n - 1)]->Tag.isEmpty())
        ++n;
    if (n > kCaptures) {
        MessageBox::information(QStringLiteral("图片暂存区已满，请删除一些后再进行此操作"),
                                MessageBox::kCancelledTitle);
        return;
    }
    CaptureStore::ensureFolder();
    const QString base = CaptureStore::captureBase(n);
    const QString bmp = base + QStringLiteral(".bmp");
    VideoCapture1->setFrameFileName(bmp);
    const std::shared_ptr<const Bitmap24> frame = VideoCapture1->grabFrame();
    if (!frame)
        return;   // no frame: the slot stays free
    // The slot is taken at once; its files are written on the capture writer's thread.
    const int i = n - 1;
    EdPicture* box = Pictmp[size_t(i)];
    box->setPicture(CaptureStore::thumbnail(*frame, box->size()));
    box->Tag = base;
    // The writer holds the frame: its JPEG is encoded from it and written on
    // another thread of the pool while the BMP is written (both synced).
    QFuture<CaptureOutcome> job = QtConcurrent::run(&captureWriter_, [frame, bmp, base] {
        auto attempt = [](CaptureOutcome& outcome, auto work) {
            try {
                outcome.written = work();
            } catch (const AppError& e) {
                outcome.error = e.text();
            } catch (const std::exception& e) {
                outcome.error = QString::fromLocal8Bit(e.what());
            }
        };
        QFuture<CaptureOutcome> jpeg = QtConcurrent::run([frame, base, attempt] {
            CaptureOutcome outcome;
            attempt(outcome, [&] {
                return JpegWriter::writeFile(JpegWriter::encode(*frame, JpegWriter::kCaptureQuality),
                                             base + QStringLiteral(".jpg"));
            });
            return outcome;
        });
        CaptureOutcome outcome;
        // A frame that cannot be written (a full disk, a folder that may not be
        // written) frees the slot and says why.
        attempt(outcome, [&] {
            if (!VideoCapture::writeFrame(frame, bmp))
                throw ModBackup::NotWritten(bmp, BmpFile::lastWriteError());
            return true;
        });
        const CaptureOutcome encoded = jpeg.result();
        // A pair with one half written is no picture: the slot is free, so both
        // halves go (the one this capture wrote, and what a write that failed
        // left of a picture deleted from the store), so no JPEG stays without
        // its BMP nor the reverse.
        if (!outcome.written || !encoded.written) {
            QFile::remove(bmp);
            QFile::remove(base + QStringLiteral(".jpg"));
        }
        if (outcome.written && !encoded.written)
            outcome = encoded;   // the JPEG's failure is the one told
        return outcome;
    });
    captureJobs_[size_t(i)] = job;
    if (captureStartedHook())
        captureStartedHook()(QFuture<void>(job));
    // The outcome is looked at on the GUI thread once the files are written,
    // always from the event loop: a watcher hears of the job's end by an
    // event even when the job has finished already. (A continuation attached
    // to a finished job would run at once, inside this click, and Qt 6.4 runs
    // one twice when the job finishes while it is being attached.)
    auto* watcher = new QFutureWatcher<CaptureOutcome>(this);
    connect(watcher, &QFutureWatcherBase::finished, this, [this, i, watcher] {
        watcher->deleteLater();
        if (loaded_ && captureJobs_[size_t(i)] && captureJobs_[size_t(i)]->isFinished())
            settleCapture(i);
    });
    watcher->setFuture(job);
}

void DataRecord::settleCapture(int i)
{
    std::optional<QFuture<CaptureOutcome>> job = std::exchange(captureJobs_[size_t(i)], std::nullopt);
    if (!job)
        return;
    job->waitForFinished();
    const CaptureOutcome outcome = job->result();
    if (outcome.written)
        return;
    // A failed capture leaves the slot free; the program goes on.
    emptyCapture(i);
    if (std::none_of(ShapeSel.begin(), ShapeSel.end(), shown))
        setStoreButtons(false);
    if (!outcome.error.isEmpty())
        MessageBox::critical(outcome.error, MessageBox::kErrorTitle);
}

bool DataRecord::capturesBeingWritten() const
{
    return std::any_of(captureJobs_.begin(), captureJobs_.end(),
                       [](const auto& job) { return job && !job->isFinished(); });
}

void DataRecord::settleCaptures()
{
    for (int i = 0; i < kCaptures; ++i)
        settleCapture(i);
}

void DataRecord::Pictmp_MouseDown(int Index, int Button, int, int, int)
{
    if (Index < 0 || Index >= kCaptures || Pictmp[size_t(Index)]->Tag.isEmpty())
        return;
    if (Button == 1) {
        ShapeSel[size_t(Index)]->show();
        if (!storeSelected_)
            setStoreButtons(true);
    } else if (Button == 2) {
        ShapeSel[size_t(Index)]->hide();
        if (std::none_of(ShapeSel.begin(), ShapeSel.end(), shown))
            setStoreButtons(false);
    }
}

void DataRecord::Picload_MouseDown(int Index, int Button, int, int, int)
{
    if (Index < 0 || Index >= kReports || Picload[size_t(Index)]->Tag.isEmpty())
        return;
    for (QWidget* frame : ShapeSelR)
        frame->hide();
    if (Button == 1) {
        ShapeSelR[size_t(Index)]->show();
        setReportButtons(true);
    } else if (Button == 2) {
        setReportButtons(false);
    }
}

void DataRecord::ButtonAddPic_Click()
{
    settleCaptures();
    if (!editing()) {
        MessageBox::information(QStringLiteral("请在编辑状态下对报告图片进行添加"), MessageBox::kCancelledTitle);
        return;
    }
    auto freeReport = [this] {
        int k = 0;
        while (k < kReports && !Picload[size_t(k)]->Tag.isEmpty())
            ++k;
        return k;
    };
    if (freeReport() == kReports) {
        MessageBox::information(QStringLiteral("报告区图片已满,操作取消"), MessageBox::kNoticeTitle);
        return;
    }
    // The selected captures move into the free report slots in slot order.
    for (int i = 0; i < kCaptures; ++i) {
        if (!shown(ShapeSel[size_t(i)]))
            continue;
        const int k = freeReport();
        if (k == kReports || Pictmp[size_t(i)]->Tag.isEmpty()) {
            ShapeSel[size_t(i)]->hide();
            continue;
        }
        const QString to = CaptureStore::reportFile(k + 1);
        try {
            CaptureStore::copyPicture(Pictmp[size_t(i)]->Tag + QStringLiteral(".jpg"), to);
            if (!showSlotFile(k, to))
                throw AppError(AppError::InvalidPicture, QStringLiteral("不是有效的图像文件：") + to);
        } catch (const AppError& e) {
            // Both slots stay as they were; the captures not yet moved stay selected.
            MessageBox::critical(e.text(), MessageBox::kErrorTitle);
            return;
        }
        emptyCapture(i);
    }
    setStoreButtons(false);
}

void DataRecord::ButtonDelPic_Click()
{
    settleCaptures();
    if (!confirmed(QStringLiteral("请确认是否删除当前选中的预存图片"), this))
        return;
    for (int i = 0; i < kCaptures; ++i)
        if (shown(ShapeSel[size_t(i)]))
            emptyCapture(i);
    setStoreButtons(false);
}

void DataRecord::ButtonDelPicR_Click()
{
    if (!editing()) {
        MessageBox::information(QStringLiteral("请在编辑状态下对报告图片进行删除"), MessageBox::kCancelledTitle);
        return;
    }
    if (!confirmed(QStringLiteral("请确认是否删除当前报告图片"), this))
        return;
    for (int k = 0; k < kReports; ++k)
        if (shown(ShapeSelR[size_t(k)]))
            emptyReport(k);
    setReportButtons(false);
}

void DataRecord::Bpicback_Click()
{
    settleCaptures();
    for (int k = 0; k < kReports; ++k) {
        if (!shown(ShapeSelR[size_t(k)]))
            continue;
        int j = 0;
        while (j < kCaptures && !Pictmp[size_t(j)]->Tag.isEmpty())
            ++j;
        if (j == kCaptures || Picload[size_t(k)]->Tag.isEmpty()) {
            ShapeSelR[size_t(k)]->hide();
            continue;
        }
        // The slot's BMP is written from the JPEG too, so both files show this picture.
        const QString base = CaptureStore::captureBase(j + 1);
        const QString jpg = base + QStringLiteral(".jpg");
        try {
            CaptureStore::ensureFolder();
            CaptureStore::copyPicture(Picload[size_t(k)]->Tag, jpg);
            CaptureStore::writeBmpOfJpeg(jpg, base + QStringLiteral(".bmp"));
        } catch (const AppError& e) {
            MessageBox::critical(e.text(), MessageBox::kErrorTitle);
            return;
        }
        Pictmp[size_t(j)]->setPicture(CaptureStore::loadScaled(jpg, Pictmp[size_t(j)]->size()));
        Pictmp[size_t(j)]->Tag = base;
        emptyReport(k);
    }
    setReportButtons(false);
}

// --- the picture viewer ---------------------------------------------------------

void DataRecord::openViewer(const QString& group, int index)
{
    settleCaptures();
    FrmpicView& viewer = FrmpicView::instance();
    EditorSlots editorSlots(*this);
    viewer.setPictureSlots(&editorSlots);
    viewer.Bedit = editing();
    viewer.Picqy = group;
    viewer.PicId = index;
    viewer.Form_Load();
    Opener::showModal(&viewer);
    viewer.setPictureSlots(nullptr);
}

void DataRecord::Bpicview1_Click()
{
    int i = 0;
    while (i < kCaptures && !(shown(ShapeSel[size_t(i)]) && !Pictmp[size_t(i)]->Tag.isEmpty()))
        ++i;
    if (i == kCaptures) {
        MessageBox::information(QStringLiteral("请先选择需要查看的图像"), MessageBox::kCancelledTitle);
        return;
    }
    ShapeSel[size_t(i)]->hide();
    openViewer(QStringLiteral("yc"), i);
    setStoreButtons(false);
}

void DataRecord::Bpicview2_Click()
{
    int k = 0;
    while (k < kReports && !(shown(ShapeSelR[size_t(k)]) && !Picload[size_t(k)]->Tag.isEmpty()))
        ++k;
    if (k == kReports) {
        MessageBox::information(QStringLiteral("请先选择需要查看的图像"), MessageBox::kCancelledTitle);
        return;
    }
    ShapeSelR[size_t(k)]->hide();
    openViewer(QStringLiteral("bg"), k);
    setReportButtons(false);
}

std::function<void(QFuture<void>)>& DataRecord::captureStartedHook()
{
    static std::function<void(QFuture<void>)> hook;
    return hook;
}

// --- the foot switch ------------------------------------------------------------

// Opened last in the editor's load: the port of [system] comport; an empty value
// (as shipped) means no foot switch, and any failure leaves the editor without it,
// silently.
void DataRecord::openFootSwitch()
{
    MSComm1.reset();
    comPort_ = Modini::GetIniValue(IniKey::ComPort).trimmed();
    if (comPort_.isEmpty())
        return;
    MSComm1 = FootSwitch::makePort();
    connect(MSComm1.get(), &CtsSource::ctsChanged, this, &DataRecord::MSComm1_OnComm);
    try {
        MSComm1->open(comPort_);
    } catch (const AppError&) {
    }
}

void DataRecord::MSComm1_OnComm(quint32 tick)
{
    if (!footSwitch_.onCtsChange(tick))
        return;
    // A press: the port is closed while the capture runs and for 10 ms after
    // it, so the release's contact bounce is not taken for the next press.
    if (MSComm1)
        MSComm1->close();
    if (loaded_ && pageFlag_ == 1 && BVidCapture->isEnabled() && !dicomRunning_)
        BVidCapture_Click();
    // The pause runs on the event loop: the handler returns at once and
    // nothing else runs inside it. A window closed meanwhile has released the
    // port, and one opened again has a port of its own.
    QTimer::singleShot(10, this, [this, port = QPointer<CtsSource>(MSComm1.get())] {
        if (!loaded_ || !port || port != MSComm1.get() || port->isOpen())
            return;
        try {
            port->open(comPort_);
        } catch (const AppError&) {
        }
    });
}

// The close path: the recording is completed, the camera and the port released.
void DataRecord::shutDownCapture()
{
    settleCaptures();
    if (MSComm1)
        MSComm1->close();
    if (VideoCapture1 && (videoOn_ || VideoCapture1->isConnected()))
        setVideoOff();
}
