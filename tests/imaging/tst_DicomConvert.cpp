// The editor's DICOM conversion against a real storescp and a peer of our own:
// files, attributes read back with dcmdump and checked by a DICOM validator,
// counters, study and series rules, values that do not fit their attributes,
// the no-overwrite rule, one association per conversion, send failures, a
// stalled peer and 取消, CreatePaths.
#include "support/EditorKit.h"

#include "core/Database.h"
#include "core/Modini.h"
#include "imaging/BmpFile.h"
#include "imaging/DicomConversion.h"
#include "imaging/DicomFile.h"
#include "imaging/DicomSend.h"
#include "imaging/DicomSendTesting.h"
#include "imaging/JpegWriter.h"
#include "imaging/VideoCapture.h"
#include "imaging/VideoCaptureTesting.h"
#include "platform/AppPaths.h"
#include "platform/PrivateFile.h"
#include "platform/PrivateFileTesting.h"
#include "support/DicomPeer.h"
#include "support/OtherAccount.h"

#include <dcmtk/config/osconfig.h>
#include <dcmtk/dcmdata/dcdeftag.h>
#include <dcmtk/dcmdata/dcfilefo.h>
#include <dcmtk/dcmdata/dcuid.h>
#include <dcmtk/dcmnet/scp.h>

#include <QDir>
#include <QElapsedTimer>
#include <QProgressDialog>
#include <QPushButton>
#include <QTimer>
#include <QFileInfo>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QSemaphore>
#include <QThreadPool>
#include <QStandardPaths>
#include <QThread>

#include <atomic>
#include <condition_variable>
#include <csignal>
#include <functional>
#include <mutex>
#include <thread>

#include <random>

#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <sys/types.h>
#include <sys/wait.h>

using namespace kit;
using dicompeer::validatorErrors;
using dicompeer::value;
using Answer = MessageBox::Answer;

namespace {
const QString kJoinQuestion = QStringLiteral("是否加入上次转换的图像序列？和上次转换如果是同一病人请选是，否则请选否");
const QString kSendFailed = QStringLiteral("图像发送失败，请检查网络和发送参数是否正确，操作取消");

// The send failure's box: the sentence users know and the cause.
QString sendFailed(const QString& cause) { return kSendFailed + QStringLiteral("\n原因：") + cause; }
const QString kSent = QStringLiteral("转换完成并发送成功！");

void setOutput(const char* key, const QString& v)
{
    Modini::SetIniValue(QStringLiteral("output"), QString::fromLatin1(key), v);
}

int counter(const char* name)
{
    return queryInt(QStringLiteral("SELECT CSid FROM DCMConvertCS WHERE CSname = ?"), {QString::fromLatin1(name)});
}

QImage solid(QColor c, int w = 64, int h = 48)
{
    QImage img(w, h, QImage::Format_RGB32);
    img.fill(c);
    return img;
}

// Fills capture slot k through its Tag contract (img/image<k+1>.bmp and .jpg) and selects it.
void fillSlot(DataRecord& ed, int k, const QImage& picture)
{
    const QString base = AppPaths::imageFolder() + QStringLiteral("/image%1").arg(k + 1);
    QVERIFY(BmpFile::write24(picture, base + QStringLiteral(".bmp")));
    QVERIFY(picture.save(base + QStringLiteral(".jpg"), "JPG", 95));
    ed.Pictmp[size_t(k)]->setPicture(picture);
    ed.Pictmp[size_t(k)]->Tag = base;
    // Selected as the user selects it: a left click, which also enables the store's buttons.
    QTest::mouseClick(ed.Pictmp[size_t(k)], Qt::LeftButton, {}, QPoint(5, 5));
}

// The first pixel of a DICOM file's RGB data.
QColor firstPixel(const QString& file)
{
    DcmFileFormat ff;
    const Uint8* px = nullptr;
    if (ff.loadFile(QFile::encodeName(file).constData()).bad()
        || ff.getDataset()->findAndGetUint8Array(DCM_PixelData, px).bad() || !px)
        return QColor();
    return QColor(px[0], px[1], px[2]);
}

// A text attribute read whole (dcmdump shortens long values).
QString text(const QString& file, const DcmTagKey& key)
{
    DcmFileFormat ff;
    OFString v;
    if (ff.loadFile(QFile::encodeName(file).constData()).bad()
        || ff.getDataset()->findAndGetOFStringArray(key, v).bad())
        return QString();
    return QString::fromUtf8(v.c_str());
}

int boxesWith(const QString& text)
{
    return int(std::count_if(MessageBox::shownBoxes().begin(), MessageBox::shownBoxes().end(),
                             [&](const MessageBox::Shown& b) { return b.text == text; }));
}

// Kills a process at once and waits until it is gone (its sockets closed): callable from any thread.
void killNow(qint64 pid)
{
    ::kill(pid_t(pid), SIGKILL);
    for (int i = 0; i < 500; ++i) {
        QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
        if (!stat.open(QIODevice::ReadOnly) || stat.readAll().contains(") Z "))
            return;
        QThread::msleep(2);
    }
}

// Ends a wait that should have ended by itself: when it is still alive after
// the given seconds, it runs rescue (on a thread of its own) and says so, so a
// test fails with its message instead of hanging until ctest kills it.
class Watchdog {
public:
    Watchdog(int seconds, std::function<void()> rescue)
        : thread_([this, seconds, rescue = std::move(rescue)] {
              std::unique_lock lock(mutex_);
              if (!woken_.wait_for(lock, std::chrono::seconds(seconds), [this] { return done_; })) {
                  fired_ = true;
                  rescue();
              }
          })
    {}
    ~Watchdog()
    {
        {
            const std::lock_guard lock(mutex_);
            done_ = true;
        }
        woken_.notify_all();
        thread_.join();
    }
    bool fired() const { return fired_; }

private:
    std::mutex mutex_;
    std::condition_variable woken_;
    bool done_ = false;
    std::atomic<bool> fired_{false};
    std::thread thread_;   // last: starts once the rest is there
};

// A PACS of our own: takes C-STORE requests of secondary captures and answers
// with the status it is given; counts associations and stores; can drop each
// association right after answering a store; can stall: take a store's command
// and then neither read its data nor answer until the test frees it.
class TestPacs : public DcmSCP {
public:
    std::atomic<Uint16> status{STATUS_Success};
    std::atomic<bool> dropAfterStore{false};
    std::atomic<int> associations{0};
    std::atomic<int> stores{0};
    std::atomic<bool> stall{false};
    std::atomic<int> stalled{0};   // stores stalled so far
    std::atomic<int> freed{0};     // of those, the ones the test let go

    bool start()
    {
        port_ = dicompeer::freePort();
        setPort(Uint16(port_));
        setAETitle("PEL");
        setConnectionBlockingMode(DUL_NOBLOCK);
        setConnectionTimeout(1);
        OFList<OFString> syntaxes;
        syntaxes.push_back(UID_LittleEndianExplicitTransferSyntax);
        syntaxes.push_back(UID_LittleEndianImplicitTransferSyntax);
        if (addPresentationContext(UID_SecondaryCaptureImageStorage, syntaxes).bad() || openListenPort().bad())
            return false;
        thread_ = std::thread([this] { acceptAssociations(); });
        return true;
    }
    int port() const { return port_; }
    ~TestPacs() override
    {
        stop_ = true;
        if (thread_.joinable())
            thread_.join();
    }

protected:
    OFCondition handleIncomingCommand(T_DIMSE_Message* msg, const DcmPresentationContextInfo& info) override
    {
        if (msg->CommandField != DIMSE_C_STORE_RQ)
            return DcmSCP::handleIncomingCommand(msg, info);
        if (stall) {
            const int me = ++stalled;
            while (freed < me && !stop_)
                QThread::msleep(5);
            return EC_IllegalCall;   // a stalled store is never stored: the association is aborted
        }
        DcmDataset* ds = nullptr;
        OFCondition c = receiveSTORERequest(msg->msg.CStoreRQ, info.presentationContextID, ds);
        delete ds;
        if (c.good()) {
            ++stores;
            c = sendSTOREResponse(info.presentationContextID, msg->msg.CStoreRQ, status);
        }
        // Any failure here makes the toolkit abort the association.
        return c.good() && dropAfterStore ? EC_IllegalCall : c;
    }
    void notifyAssociationAcknowledge() override { ++associations; }
    OFBool stopAfterConnectionTimeout() override { return stop_; }
    OFBool stopAfterCurrentAssociation() override { return stop_; }

private:
    int port_ = 0;
    std::atomic<bool> stop_{false};
    std::thread thread_;
};
}

class tst_DicomConvert : public QObject {
    Q_OBJECT
private slots:
    void initTestCase()
    {
        for (const char* tool : {"storescp", "dcmdump", "dciodvfy"})
            if (QStandardPaths::findExecutable(QString::fromLatin1(tool)).isEmpty())
                QFAIL(qPrintable(QStringLiteral("%1 is not installed (packages dcmtk and dicom3tools, see "
                                                "scripts/setup-deps)")
                                     .arg(QString::fromLatin1(tool))));
    }
    void init()
    {
        folder_ = editorFolder();
        out_ = std::make_unique<QTemporaryDir>();
        QVERIFY(folder_->ok() && out_->isValid());
        exam_ = out_->path() + QStringLiteral("/dicom/X2025001/image%1.dcm");
        setOutput("dcmDir", out_->path() + QStringLiteral("/dicom/"));
        for (const char* key : {"svrIp", "svrTitle"})
            setOutput(key, QString());
        setOutput("svrPort", QStringLiteral("104"));
        setOutput("autoSend", QStringLiteral("0"));
        DataRecord& ed = DataRecord::instance();
        ed.ensureLoaded();
        ed.ButtnNew_Click();
        typeRecord(ed, QStringLiteral("X2025001"), QStringLiteral("张三"));
        ed.Text3->setEditText(QStringLiteral("男"));
    }
    void cleanup()
    {
        Dicom::setSendObserver(nullptr);
        Dicom::setConnectionObserver(nullptr);
        Dicom::setReplyTimeout(0);
        Dicom::setConnectTimeout(0);
        closeEditor();
        folder_.reset();
    }

    // Slots 2 and 6 with image1, image2 and image4 already there: image3 and
    // image5, the existing files untouched; slot 6's BMP is older than its
    // JPEG (refilled from a report), so the JPEG is what is converted.
    void convertsWithoutSending()
    {
        DataRecord& ed = DataRecord::instance();
        QVERIFY(QDir().mkpath(QFileInfo(exam_).path()));
        for (int n : {1, 2, 4})
            QVERIFY(writeBytes(exam_.arg(n), "keep"));
        QImage upright = solid(QColor(20, 200, 40), 31, 17);   // the bottom row blue: rows go top down
        for (int x = 0; x < upright.width(); ++x)
            upright.setPixelColor(x, upright.height() - 1, Qt::blue);
        fillSlot(ed, 2, upright);
        fillSlot(ed, 6, solid(Qt::blue));
        QVERIFY(solid(QColor(230, 30, 30)).save(ed.Pictmp[6]->Tag + QStringLiteral(".jpg"), "JPG", 95));
        QFile bmp(ed.Pictmp[6]->Tag + QStringLiteral(".bmp"));
        QVERIFY(bmp.open(QIODevice::ReadWrite)
                && bmp.setFileTime(QDateTime::currentDateTime().addSecs(-3600), QFileDevice::FileModificationTime));
        bmp.close();

        QCOMPARE(convert({Answer::Yes}), QStringLiteral("转换完成！"));
        QCOMPARE(MessageBox::shownBoxes().first().text,
                 QStringLiteral("请确认是否将选中的图像转换为相应的DICOM数字图像？"));
        for (int n : {1, 2, 4})
            QCOMPARE(readBytes(exam_.arg(n)), QByteArray("keep"));
        QVERIFY(!QFile::exists(exam_.arg(6)));
        QVERIFY(ed.ShapeSel[2]->isHidden() && ed.ShapeSel[6]->isHidden());
        QVERIFY(!ed.ButtonConvert->isEnabled() && !ed.ButtonAddPic->isEnabled());
        QVERIFY(counter("studyid") == 1 && counter("seriesid") == 1);

        const QString first = exam_.arg(3), second = exam_.arg(5);
        QCOMPARE(QFileInfo(first).permissions() & (QFile::ReadGroup | QFile::ReadOther), QFile::Permissions());
        const std::pair<const char*, const char*> expected[] = {{"0002,0010", "1.2.840.10008.1.2.1"},
                                                                {"0008,0016", "1.2.840.10008.5.1.4.1.1.7"},
                                                                {"0008,0005", "ISO_IR 192"},
                                                                {"0010,0010", "张三"},
                                                                {"0010,0020", "X2025001"},
                                                                {"0010,0040", "M"},
                                                                {"0010,0030", ""},
                                                                {"0010,1010", "042Y"},
                                                                {"0008,0060", "DX"},
                                                                {"0008,0064", "DV"},
                                                                {"0020,0010", "1"},
                                                                {"0020,0011", "1"},
                                                                {"0020,0013", "3"},
                                                                {"0008,0020", "20250304"},
                                                                {"0028,0004", "RGB"},
                                                                {"0028,0010", "17"},
                                                                {"0028,0011", "31"}};
        for (const auto& [tag, v] : expected)
            QCOMPARE(value(first, QString::fromLatin1(tag)), QString::fromUtf8(v));
        QCOMPARE(value(second, QStringLiteral("0020,0013")), QStringLiteral("5"));
        for (const char* tag : {"0020,000d", "0020,000e"})   // one study, one series
            QCOMPARE(value(first, QString::fromLatin1(tag)), value(second, QString::fromLatin1(tag)));
        QVERIFY(value(first, QStringLiteral("0008,0018")) != value(second, QStringLiteral("0008,0018")));
        QCOMPARE(firstPixel(first), QColor(20, 200, 40));
        const QColor jpeg = firstPixel(second);
        QVERIFY2(jpeg.red() > 200 && jpeg.blue() < 60, qPrintable(jpeg.name()));
        for (const QString& f : {first, second}) {
            const QStringList errors = validatorErrors(f);
            QVERIFY2(errors.isEmpty(), qPrintable(errors.join(QLatin1Char('\n'))));
        }
    }

    // Two frames of the test picture captured, converted and sent; then the
    // study rules: Yes joins the study as series 2, No starts a new study, and
    // after New or a new load of the editor no question is asked.
    void sendsAndKeepsStudies()
    {
        dicompeer::StoreScp pacs;
        QVERIFY2(pacs.start(), qPrintable(pacs.error()));
        sendTo(pacs.port());
        DataRecord& ed = DataRecord::instance();
        VideoCapture video;
        QVERIFY(setIni("video", "device", QStringLiteral("test")));   // never the stand-in for a camera
        QVERIFY(video.Connect());
        for (int k : {0, 1}) {
            QVERIFY(VideoCaptureTesting::waitForFrame(video, VideoCaptureTesting::framesReceived(video), 10000));
            const QString base = AppPaths::imageFolder() + QStringLiteral("/image%1").arg(k + 1);
            video.setFrameFileName(base + QStringLiteral(".bmp"));
            QVERIFY(VideoCaptureTesting::saveFrame(video) && ConvertBmpToJpg(base + QStringLiteral(".bmp")));
            ed.Pictmp[size_t(k)]->setPicture(QImage(base + QStringLiteral(".jpg")));
            ed.Pictmp[size_t(k)]->Tag = base;
            ed.ShapeSel[size_t(k)]->show();
        }
        video.Disconnect();
        ed.Picyc->grab().save(testOutputFolder() + QStringLiteral("/dicom-capture-store.png"));
        const int rows = QImage(ed.Pictmp[0]->Tag + QStringLiteral(".bmp")).height();

        QCOMPARE(convert({Answer::Yes}), kSent);
        QCOMPARE(boxesWith(kJoinQuestion), 0);
        QCOMPARE(pacs.received().size(), 2);
        const QString first = received(pacs, 1);
        QCOMPARE(value(first, QStringLiteral("0010,0010")), QStringLiteral("张三"));
        QCOMPARE(value(first, QStringLiteral("0010,0020")), QStringLiteral("X2025001"));
        QCOMPARE(value(first, QStringLiteral("0008,0060")), QStringLiteral("DX"));
        QCOMPARE(value(first, QStringLiteral("0028,0010")).toInt(), rows);
        QCOMPARE(value(received(pacs, 2), QStringLiteral("0020,0013")), QStringLiteral("2"));
        const QString study = value(first, QStringLiteral("0020,000d"));

        // Yes: the same study, series 2 with a series of its own.
        fillSlot(ed, 5, solid(Qt::yellow));
        QCOMPARE(convert({Answer::Yes, Answer::Yes}), kSent);
        QCOMPARE(boxesWith(kJoinQuestion), 1);
        const QString joined = received(pacs, 3);
        QCOMPARE(value(joined, QStringLiteral("0020,000d")), study);
        QCOMPARE(value(joined, QStringLiteral("0020,0010")) + value(joined, QStringLiteral("0020,0011")),
                 QStringLiteral("12"));
        QVERIFY(value(joined, QStringLiteral("0020,000e")) != value(first, QStringLiteral("0020,000e")));
        // No: a new study, series 1.
        fillSlot(ed, 5, solid(Qt::cyan));
        convert({Answer::Yes, Answer::No});
        const QString other = received(pacs, 4);
        QVERIFY(value(other, QStringLiteral("0020,000d")) != study);
        QCOMPARE(value(other, QStringLiteral("0020,0010")) + value(other, QStringLiteral("0020,0011")),
                 QStringLiteral("21"));
        // After New, and after the editor is loaded again, no question: a new study each time.
        ed.ButtnNew_Click();
        typeRecord(ed, QStringLiteral("X2025001"), QStringLiteral("李四"));
        fillSlot(ed, 5, solid(Qt::gray));
        convert({Answer::Yes});
        QCOMPARE(boxesWith(kJoinQuestion), 0);
        closeEditor();
        ed.ensureLoaded();
        typeRecord(ed, QStringLiteral("X2025001"), QStringLiteral("王五"));
        fillSlot(ed, 5, solid(Qt::gray));
        QCOMPARE(convert({Answer::Yes}), kSent);
        QCOMPARE(boxesWith(kJoinQuestion), 0);
        QCOMPARE(value(received(pacs, 6), QStringLiteral("0020,0010")), QStringLiteral("4"));
        QVERIFY(counter("studyid") == 4 && counter("seriesid") == 5);
    }

    // The PACS goes away before the second of three pictures: the first is sent
    // and deselected, the second written and still selected, the third untouched,
    // and the failure message is the last box. A peer that refuses fails alike.
    void sendFailures()
    {
        dicompeer::StoreScp pacs;
        QVERIFY2(pacs.start(), qPrintable(pacs.error()));
        sendTo(pacs.port());
        DataRecord& ed = DataRecord::instance();
        for (int k : {0, 1, 2})
            fillSlot(ed, k, solid(QColor(10 * k, 90, 200)));
        // The observer runs on the thread that sends.
        std::atomic<int> sends{0};
        const qint64 pid = pacs.pid();
        Dicom::setSendObserver([&sends, pid](const QString&) {
            if (++sends == 2)
                killNow(pid);
        });
        // The file is tried once more over a new association, which nobody takes.
        QCOMPARE(
            convert({Answer::Yes}),
            sendFailed(QStringLiteral("服务器 127.0.0.1:%1 拒绝连接（该端口上没有DICOM服务在运行）").arg(pacs.port())));
        QCOMPARE(lastTitle(), QStringLiteral("错误"));
        QCOMPARE(pacs.received().size(), 1);
        QVERIFY(ed.ShapeSel[0]->isHidden() && !ed.ShapeSel[1]->isHidden() && !ed.ShapeSel[2]->isHidden());
        QVERIFY(QFile::exists(exam_.arg(2)) && !QFile::exists(exam_.arg(3)));
        QVERIFY(ed.ButtonConvert->isEnabled());

        dicompeer::StoreScp refusing;
        QVERIFY2(refusing.start(QStringLiteral("PEL"), {QStringLiteral("--refuse")}), qPrintable(refusing.error()));
        sendTo(refusing.port());
        QCOMPARE(convert({Answer::Yes, Answer::Yes}),
                 sendFailed(
                     QStringLiteral("服务器 127.0.0.1:%1 拒绝建立DICOM连接，请检查服务器Title").arg(refusing.port())));
        QVERIFY(QFile::exists(exam_.arg(3)) && !ed.ShapeSel[1]->isHidden());
    }

    // The values as DICOM types them: 女 is F; the age is whole units completed
    // with the report's unit; Laterality present and empty; UIDs of our own (2.25.<UUID as a decimal number>);
    // Study and Series Date/Time the same in every file of a conversion.
    void valuesAsTyped()
    {
        DataRecord& ed = DataRecord::instance();
        ed.Text3->setEditText(QStringLiteral("女"));
        ed.Text4->setText(QStringLiteral("42.6"));
        fillSlot(ed, 0, solid(Qt::red));
        fillSlot(ed, 1, solid(Qt::green));
        QCOMPARE(convert({Answer::Yes}), QStringLiteral("转换完成！"));
        const QString a = exam_.arg(1), b = exam_.arg(2);
        QCOMPARE(value(a, QStringLiteral("0010,0040")), QStringLiteral("F"));
        QCOMPARE(value(a, QStringLiteral("0010,1010")), QStringLiteral("042Y"));
        QCOMPARE(value(a, QStringLiteral("0020,0060")), QStringLiteral(""));   // Laterality present, empty
        for (const char* tag : {"0020,000d", "0020,000e", "0008,0018"}) {
            const QString uid = value(a, QString::fromLatin1(tag));
            QVERIFY2(uid.size() <= 64
                         && QRegularExpression(QStringLiteral("^2\\.25\\.[1-9][0-9]*$")).match(uid).hasMatch(),
                     qPrintable(uid));
        }
        for (const char* tag : {"0008,0020", "0008,0030", "0008,0021", "0008,0031"})
            QCOMPARE(value(b, QString::fromLatin1(tag)), value(a, QString::fromLatin1(tag)));
        for (const QString& f : {a, b}) {
            const QStringList errors = validatorErrors(f);
            QVERIFY2(errors.isEmpty(), qPrintable(errors.join(QLatin1Char('\n'))));
        }

        const std::tuple<const char*, const char*, const char*> ages[] = {{"6", "月", "006M"},
                                                                          {"3", "周", "003W"},
                                                                          {"10.9", "天", "010D"},
                                                                          {"0", "岁", "000Y"},
                                                                          {"999.5", "岁", "999Y"}};
        int n = 3;
        for (const auto& [number, unit, written] : ages) {
            ed.Text4->setText(QString::fromUtf8(number));
            ed.ComboAge->setEditText(QString::fromUtf8(unit));
            fillSlot(ed, 0, solid(Qt::red));
            QCOMPARE(convert({Answer::Yes}), QStringLiteral("转换完成！"));
            const QString age = value(exam_.arg(n++), QStringLiteral("0010,1010"));
            QVERIFY2(!age.isNull() && age == QString::fromUtf8(written), qPrintable(age));
        }

        // An age Patient Age cannot hold is told before any file is written,
        // never left out of a file said to be complete; the number or the unit
        // is named and takes the focus.
        const std::tuple<const char*, const char*, bool> unwritable[] = {
            {"-3", "岁", true}, {"1000", "天", true}, {"1000", "岁", true}, {"45", "Y", false}, {"5", "年", false}};
        for (const auto& [number, unit, numberFocused] : unwritable) {
            ed.Text4->setText(QString::fromUtf8(number));
            ed.ComboAge->setEditText(QString::fromUtf8(unit));
            fillSlot(ed, 0, solid(Qt::red));
            QCOMPARE(convert({Answer::Yes}),
                     QStringLiteral("年龄“%1%2”不能写入DICOM图像（DICOM年龄为0到999天、周、月或岁），请重新输入")
                         .arg(QString::fromUtf8(number), QString::fromUtf8(unit)));
            QVERIFY(!QFile::exists(exam_.arg(n)) && !ed.ShapeSel[0]->isHidden());
            QWidget* named = numberFocused ? static_cast<QWidget*>(ed.Text4) : ed.ComboAge;
            QVERIFY(ed.focusWidget() == named || ed.focusWidget()->parentWidget() == named);
        }
    }

    // Study Date/Time stay the study's when a conversion joins it, Series
    // Date/Time are the conversion's own. The join question comes only for the
    // same exam number and name as the last conversion; otherwise a new study
    // starts without a question.
    void studyTimesAndJoining()
    {
        DataRecord& ed = DataRecord::instance();
        fillSlot(ed, 0, solid(Qt::red));
        convert({Answer::Yes});
        const QString first = exam_.arg(1);
        QTest::qWait(1100);   // the next conversion's times are a second later
        fillSlot(ed, 0, solid(Qt::green));
        QCOMPARE(convert({Answer::Yes, Answer::Yes}), QStringLiteral("转换完成！"));
        QCOMPARE(boxesWith(kJoinQuestion), 1);
        const QString joined = exam_.arg(2);
        for (const char* tag : {"0020,000d", "0008,0020", "0008,0030", "0020,0010"})
            QCOMPARE(value(joined, QString::fromLatin1(tag)), value(first, QString::fromLatin1(tag)));
        QVERIFY(value(joined, QStringLiteral("0008,0031")) != value(first, QStringLiteral("0008,0031")));

        // Another exam number, then another name: no question, a new study each
        // time (a Yes would have joined).
        const QString study = value(first, QStringLiteral("0020,000d"));
        for (const auto& [exam, name] : {std::pair{"X2025002", "张三"}, std::pair{"X2025002", "李四"}}) {
            ed.Text1->setText(QString::fromLatin1(exam));
            ed.Text2->setText(QString::fromUtf8(name));
            fillSlot(ed, 0, solid(Qt::blue));
            QCOMPARE(convert({Answer::Yes, Answer::Yes}), QStringLiteral("转换完成！"));
            QCOMPARE(boxesWith(kJoinQuestion), 0);
        }
        const QString other = out_->path() + QStringLiteral("/dicom/X2025002/image%1.dcm");
        QVERIFY(value(other.arg(1), QStringLiteral("0020,000d")) != study);
        QVERIFY(value(other.arg(2), QStringLiteral("0020,000d")) != value(other.arg(1), QStringLiteral("0020,000d")));
        QCOMPARE(value(other.arg(2), QStringLiteral("0020,0010")), QStringLiteral("3"));
        QCOMPARE(value(other.arg(2), QStringLiteral("0020,0011")), QStringLiteral("1"));
    }

    // In an output folder shared with other accounts, the output folder or
    // the exam folder as another account's link is not written through: the
    // box names the link and sends the user to the DICOM settings.
    void notThroughAnotherAccountsLink()
    {
        if (!canActAsOthers())
            QSKIP("making another account's link needs root");
        const SharedFolder shared;
        QVERIFY(shared.ok());
        const QString elsewhere = QFileInfo(shared.path()).path() + QStringLiteral("/elsewhere");
        QVERIFY(QDir().mkdir(elsewhere));
        const QString outputLink = shared.file(QStringLiteral("dicom"));
        const QString examLink = shared.file(QStringLiteral("X2025001"));
        const struct {
            QString output, link;
        } cases[] = {{outputLink + QLatin1Char('/'), outputLink}, {shared.path() + QLatin1Char('/'), examLink}};
        for (const auto& c : cases) {
            QVERIFY(linkAs(elsewhere, c.link, kNobody));
            setOutput("dcmDir", c.output);
            fillSlot(DataRecord::instance(), 0, solid(Qt::red));
            const QString box = convert({Answer::Yes});
            QVERIFY2(box.startsWith(QStringLiteral("75:")) && box.contains(c.link)
                         && box.contains(QStringLiteral("DICOM 设置")),
                     qPrintable(box));
            QVERIFY(QDir(elsewhere).isEmpty(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot));
            QVERIFY(QFile::remove(c.link));
        }
    }

    // A name that is taken is never replaced, also when the check before it
    // cannot see it (a dangling link), with an unnamed temporary file and a
    // named one alike: the next number is used. A failed write leaves neither
    // a file under an image name nor a temporary one.
    void neverReplaces()
    {
        DataRecord& ed = DataRecord::instance();
        const QString folder = QFileInfo(exam_).path();
        QVERIFY(QDir().mkpath(folder));
        QVERIFY(QFile::link(folder + QStringLiteral("/nowhere"), exam_.arg(1)));
        fillSlot(ed, 0, solid(Qt::red));
        QCOMPARE(convert({Answer::Yes}), QStringLiteral("转换完成！"));
        QVERIFY(QFileInfo(exam_.arg(1)).isSymLink() && !QFile::exists(folder + QStringLiteral("/nowhere")));
        QCOMPARE(value(exam_.arg(2), QStringLiteral("0020,0013")), QStringLiteral("2"));
        const auto hidden = [&] { return QDir(folder).entryList({QStringLiteral(".*")}, QDir::Files | QDir::Hidden); };
        QVERIFY(hidden().isEmpty());

        // A link that turns up between the scan and the naming.
        Dicom::Picture p;
        p.source = ed.Pictmp[0]->Tag + QStringLiteral(".bmp");
        p.studyUid = Dicom::NewUid();
        p.seriesUid = Dicom::NewUid();
        const auto exam = std::make_shared<const PrivateFile::Folder>(PrivateFile::Folder::open(folder));
        QVERIFY(exam->isOpen());
        for (const bool unnamed : {true, false}) {
            PrivateFile::setUnnamedTemporaries(unnamed);
            Dicom::Image image;
            int n = 3;
            QString why;
            QVERIFY2(image.make(p, &why) && image.stage(exam, &n, Dicom::kMaxImageNumber, &why), qPrintable(why));
            QVERIFY(QFile::link(folder + QStringLiteral("/nowhere"), exam_.arg(n)));
            const int taken = n;
            QVERIFY2(image.commit(&n, Dicom::kMaxImageNumber, &why), qPrintable(why));
            QCOMPARE(n, taken + 1);
            QCOMPARE(value(exam_.arg(n), QStringLiteral("0020,0013")), QString::number(n));
            QVERIFY(QFileInfo(exam_.arg(taken)).isSymLink() && hidden().isEmpty());
        }
        PrivateFile::setUnnamedTemporaries(true);

        {
            Unwritable ro(folder);
            QVERIFY(ro.ok());
            fillSlot(ed, 0, solid(Qt::red));
            QVERIFY(convert({Answer::Yes}).startsWith(QStringLiteral("DICOM图像转换失败：")));
        }
        QVERIFY(!QFile::exists(exam_.arg(7)) && hidden().isEmpty() && !ed.ShapeSel[0]->isHidden());
    }

    // A conversion killed at any moment leaves only whole files under image
    // names, and nothing else: the file being written had no name yet.
    void killedConversionLeavesWholeFiles()
    {
        const QString folder = out_->path() + QStringLiteral("/killed");
        QVERIFY(QDir().mkpath(folder));
        const QString bmp = out_->path() + QStringLiteral("/big.bmp");
        QVERIFY(BmpFile::write24(solid(Qt::darkGreen, 1920, 1080), bmp));
        Dicom::Picture p;
        p.source = bmp;
        p.studyUid = Dicom::NewUid();
        p.seriesUid = Dicom::NewUid();
        std::mt19937 rng(20251207);
        for (int round = 0; round < 8; ++round) {
            const pid_t child = ::fork();
            if (child == 0) {
                for (int k = 0; k < 18; ++k) {
                    int n = 1;
                    Dicom::Coverttodcm(p, folder, &n);
                }
                ::_exit(0);
            }
            QVERIFY(child > 0);
            QThread::msleep(ulong(std::uniform_int_distribution<int>(5, 120)(rng)));
            // The last child lives until it has written one file at least, however
            // slow the machine (or a sanitizer build), so there is something to check.
            for (int waited = 0; round == 7 && waited < 60000 && wholeNames(folder).isEmpty(); waited += 10)
                QThread::msleep(10);
            ::kill(child, SIGKILL);
            ::waitpid(child, nullptr, 0);
        }
        const QStringList files = wholeNames(folder);
        QVERIFY(!files.isEmpty());
        QCOMPARE(QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot), files);
        for (const QString& f : files) {
            DcmFileFormat ff;
            const Uint8* px = nullptr;
            unsigned long count = 0;
            QVERIFY2(ff.loadFile(QFile::encodeName(folder + QLatin1Char('/') + f).constData()).good()
                         && ff.getDataset()->findAndGetUint8Array(DCM_PixelData, px, &count).good()
                         && count == 1920ul * 1080ul * 3ul,
                     qPrintable(f));
        }
    }

    // Two workstations converting into one exam folder (a shared output
    // folder, the same exam number): the other's picture, staged for image1
    // before the conversion named its own there, takes the next number.
    void sharedExamFolder()
    {
        DataRecord& ed = DataRecord::instance();
        const QString folder = QFileInfo(exam_).path();
        QVERIFY(QDir().mkpath(folder));
        Dicom::Picture p;
        p.source = out_->path() + QStringLiteral("/other.bmp");
        QVERIFY(BmpFile::write24(solid(Qt::darkCyan, 640, 480), p.source));
        p.studyUid = Dicom::NewUid();
        p.seriesUid = Dicom::NewUid();
        Dicom::Image other;   // the other workstation's, staged and not yet named
        int n = 1;
        QString why;
        const auto exam = std::make_shared<const PrivateFile::Folder>(PrivateFile::Folder::open(folder));
        QVERIFY2(other.make(p, &why) && other.stage(exam, &n, Dicom::kMaxImageNumber, &why), qPrintable(why));

        fillSlot(ed, 0, solid(Qt::red));
        QCOMPARE(convert({Answer::Yes}), QStringLiteral("转换完成！"));
        QVERIFY(QFile::exists(exam_.arg(1)));
        QVERIFY2(other.commit(&n, Dicom::kMaxImageNumber, &why), qPrintable(why));
        QCOMPARE(other.file(), exam_.arg(2));
        QCOMPARE(value(exam_.arg(2), QStringLiteral("0028,0011")), QStringLiteral("640"));
    }

    // Values too long for their DICOM type, and an AE title that is none when
    // sending, are refused by a box naming the field before any counter moves.
    void valuesThatDoNotFit()
    {
        DataRecord& ed = DataRecord::instance();
        fillSlot(ed, 0, solid(Qt::red));
        ed.Text1->setText(QString(65, QLatin1Char('A')));
        QCOMPARE(convert({Answer::Yes}), QStringLiteral("检查号最多64个字符（DICOM病人ID），请重新输入"));
        QCOMPARE(ed.Text1->selectedText(), ed.Text1->text());
        ed.Text1->setText(QStringLiteral("X2025001"));
        ed.Text2->setText(QString(65, QChar(0x5F20)));
        QCOMPARE(convert({Answer::Yes}), QStringLiteral("姓名最多64个字符（DICOM病人姓名），请重新输入"));
        QCOMPARE(ed.Text2->selectedText(), ed.Text2->text());
        ed.Text2->setText(QStringLiteral("张三"));
        // Characters the attributes may not hold: a tab or another control
        // character in the exam number or the name.
        const std::tuple<QLineEdit*, QString, QString> misfits[] = {
            {ed.Text1, QStringLiteral("A\tB"),
             QStringLiteral("检查号含有DICOM病人ID不允许的字符（制表符），请重新输入")},
            {ed.Text2, QStringLiteral("王\t五"),
             QStringLiteral("姓名含有DICOM病人姓名不允许的字符（制表符），请重新输入")},
            {ed.Text2, QStringLiteral("王\x01五"),
             QStringLiteral("姓名含有DICOM病人姓名不允许的字符（控制字符 U+0001），请重新输入")},
            {ed.Text1, QStringLiteral("A\x7F"),
             QStringLiteral("检查号含有DICOM病人ID不允许的字符（控制字符 U+007F），请重新输入")},
            {ed.Text2, QStringLiteral("王") + QChar(0) + QStringLiteral("五"),
             QStringLiteral("姓名含有DICOM病人姓名不允许的字符（空字符 U+0000），请重新输入")},
            {ed.Text2, QStringLiteral("周\u202e九十"),
             QStringLiteral("姓名含有DICOM病人姓名不允许的字符（文字方向控制符 U+202E），请重新输入")}};
        for (const auto& [field, typed, message] : misfits) {
            const QString kept = field->text();
            field->setText(typed);
            QCOMPARE(convert({Answer::Yes}), message);
            QCOMPARE(field->selectedText(), typed);
            field->setText(kept);
        }
        for (const QString& title :
             {QString(), QStringLiteral("   "), QStringLiteral("PELRANDPELRANDPEL"), QStringLiteral("PEL中")}) {
            sendTo(dicompeer::freePort());
            setOutput("svrTitle", title);
            QCOMPARE(convert({Answer::Yes}),
                     QStringLiteral("服务器Title应为1到16个英文字符，请在DICOM图像发送参数中重新设置"));
        }
        QVERIFY(counter("studyid") == 0 && counter("seriesid") == 0);

        // The longest values that fit are written whole.
        setOutput("autoSend", QStringLiteral("0"));
        ed.Text1->setText(QString(64, QLatin1Char('A')));
        ed.Text2->setText(QString(64, QChar(0x5F20)));
        QCOMPARE(convert({Answer::Yes}), QStringLiteral("转换完成！"));
        const QString file = out_->path() + QStringLiteral("/dicom/%1/image1.dcm").arg(QString(64, QLatin1Char('A')));
        QCOMPARE(text(file, DCM_PatientID), QString(64, QLatin1Char('A')));
        QCOMPARE(text(file, DCM_PatientName), QString(64, QChar(0x5F20)));
        QVERIFY(!QFile::exists(out_->path() + QStringLiteral("/dicom/A\tB")));

        // The longest AE title there is, sent under it.
        TestPacs pacs;
        QVERIFY(pacs.start());
        sendTo(pacs.port());
        setOutput("svrTitle", QStringLiteral("PELRANDPELRANDPE"));
        ed.ButtonConvert->setEnabled(true);
        fillSlot(ed, 0, solid(Qt::red));
        QCOMPARE(convert({Answer::Yes, Answer::No}), kSent);
        QCOMPARE(pacs.stores.load(), 1);
    }

    // Each value representation's characters, length and form, for the values
    // the program makes itself as well as for those the user types.
    void valueRepresentations()
    {
        using Dicom::Vr;
        using Kind = Dicom::Fit::Kind;
        const std::tuple<Vr, const char*, Kind> cases[] = {{Vr::CS, "DX", Kind::Fits},
                                                           {Vr::CS, "ISO_IR 192", Kind::Fits},
                                                           {Vr::CS, "dx", Kind::Character},
                                                           {Vr::CS, "D-X", Kind::Character},
                                                           {Vr::CS, "ABCDEFGHIJKLMNOPQ", Kind::Length},
                                                           {Vr::DA, "20240229", Kind::Fits},
                                                           {Vr::DA, "20230229", Kind::Form},
                                                           {Vr::DA, "2024-2-9", Kind::Form},
                                                           {Vr::TM, "235960", Kind::Fits},
                                                           {Vr::TM, "1230", Kind::Fits},
                                                           {Vr::TM, "240000", Kind::Form},
                                                           {Vr::TM, "1261", Kind::Form},
                                                           {Vr::TM, "123000.5", Kind::Fits},
                                                           {Vr::TM, "123", Kind::Form},
                                                           {Vr::AS, "042Y", Kind::Fits},
                                                           {Vr::AS, "42Y", Kind::Form},
                                                           {Vr::AS, "042Z", Kind::Form},
                                                           {Vr::IS, "-12", Kind::Fits},
                                                           {Vr::IS, "1.5", Kind::Form},
                                                           {Vr::UI, "2.25.123", Kind::Fits},
                                                           {Vr::UI, "1.02", Kind::Form},
                                                           {Vr::UI, "1..2", Kind::Form},
                                                           {Vr::LO, "A\tB", Kind::Character},
                                                           {Vr::LO, "A\\B", Kind::Character},
                                                           {Vr::SH, "ABCDEFGHIJKLMNOPQ", Kind::Length},
                                                           {Vr::PN, "王^五=WANG^WU", Kind::Fits},
                                                           {Vr::PN, "王\r五", Kind::Character},
                                                           {Vr::LT, "a\tb\r\nc\f\\", Kind::Fits},
                                                           {Vr::ST, "a\x1B", Kind::Character},
                                                           {Vr::UT, "a\xC2\x85", Kind::Character}};
        for (const auto& [vr, value, kind] : cases) {
            const Dicom::Fit f = Dicom::CheckVr(vr, QString::fromUtf8(value));
            QVERIFY2(f.kind == kind, value);
        }
        QCOMPARE(Dicom::CheckVr(Vr::PN, QStringLiteral("王\t五")).character, char32_t(U'\t'));
        QVERIFY(Dicom::CheckVr(Vr::PN, QString(64, QChar(0x5F20)) + QLatin1Char('=') + QString(64, QLatin1Char('W')))
                    .fits());
    }

    // A peer that takes a store and never answers is reported once the reply
    // timeout has passed, whether it stops reading the data or only the answer
    // is missing, and is not tried again over a new association. 取消 in the
    // progress dialog ends a stalled send at once. Each time the conversion
    // ends as a failed send that says why: nothing claimed sent, the slot still
    // selected, its file kept, the counters used as by any failure. Ending a
    // stalled send waits for the peer no further: one wait runs out per stall,
    // none after 取消. A send that does not end by itself is ended by a
    // watchdog that frees the peer, and fails the test with what went wrong.
    void stalledPeer()
    {
        TestPacs pacs;
        QVERIFY(pacs.start());
        sendTo(pacs.port());
        pacs.stall = true;
        Dicom::setReplyTimeout(1);
        DataRecord& ed = DataRecord::instance();
        int series = counter("seriesid");
        const auto failedAsSent = [&](int slot, int n) {
            return !ed.ShapeSel[size_t(slot)]->isHidden() && ed.ButtonConvert->isEnabled()
                   && QFile::exists(exam_.arg(n)) && !QFile::exists(exam_.arg(n + 1)) && boxesWith(kSent) == 0
                   && pacs.stores == 0 && counter("seriesid") == ++series;
        };
        const auto freePeer = [&pacs] {
            pacs.stall = false;
            pacs.freed = 1 << 30;
        };
        const QString noReply = sendFailed(QStringLiteral("服务器1秒内没有应答"));

        // The answer is missing: the data fit the sockets' buffers.
        fillSlot(ed, 0, solid(Qt::red));
        int waits = Dicom::expiredWaits();
        {
            Watchdog dog(30, freePeer);
            const QString shown = convert({Answer::Yes});
            QVERIFY2(!dog.fired(), "a peer that never answers was not given up on after the reply timeout");
            QCOMPARE(shown, noReply);
        }
        QVERIFY(failedAsSent(0, 1));
        QVERIFY2(Dicom::expiredWaits() - waits == 1, "the abort of a stalled send waited for the peer again");
        pacs.freed = pacs.stalled.load();

        // Too large for the sockets' buffers: the write itself stalls.
        fillSlot(ed, 0, solid(Qt::blue, 3000, 2000));
        waits = Dicom::expiredWaits();
        {
            Watchdog dog(30, freePeer);
            const QString shown = convert({Answer::Yes, Answer::No});
            QVERIFY2(!dog.fired(), "a peer that stopped reading was not given up on after the reply timeout");
            QCOMPARE(shown, noReply);
        }
        QVERIFY(failedAsSent(0, 2));
        QVERIFY2(Dicom::expiredWaits() - waits == 1, "the abort of a stalled write waited for the peer again");
        pacs.freed = pacs.stalled.load();

        // 取消 while the large picture is stalled; no reply timeout would end it.
        Dicom::setReplyTimeout(24 * 3600);
        QTimer poll;
        QString dialog;
        cancelOnce(
            poll, [&pacs] { return pacs.stalled > pacs.freed; }, &dialog);
        waits = Dicom::expiredWaits();
        {
            Watchdog dog(30, freePeer);
            const QString shown = convert({Answer::Yes, Answer::No});
            QVERIFY2(!dog.fired(), "取消 did not end the stalled send");
            QCOMPARE(shown, sendFailed(QStringLiteral("用户按了“取消”，发送已中止")));
        }
        QCOMPARE(dialog, QStringLiteral("取消"));
        QVERIFY(failedAsSent(0, 3));
        QCOMPARE(Dicom::expiredWaits() - waits, 0);
        pacs.freed = pacs.stalled.load();

        // Each stalled send had one association, none opened again for it.
        pacs.stall = false;
        Dicom::setReplyTimeout(0);
        QCOMPARE(convert({Answer::Yes, Answer::No}), kSent);
        QCOMPARE(pacs.stores.load(), 1);
        QCOMPARE(pacs.associations.load(), 4);
    }

    // A PACS that takes the data slowly but steadily has not stalled: a
    // picture that takes several times the reply timeout to go is sent. 取消
    // during such a send aborts the association with a reset: the peer stops
    // receiving at once, not after what was already queued for it.
    void slowPeer()
    {
        TestPacs pacs;
        QVERIFY(pacs.start());
        dicompeer::SlowRelay relay(pacs.port(), 48 * 1024);
        QVERIFY(relay.ok());
        sendTo(relay.port());
        Dicom::setReplyTimeout(2);
        DataRecord& ed = DataRecord::instance();
        fillSlot(ed, 0, solid(Qt::blue, 400, 300));   // 360 KB: about 8 s
        QCOMPARE(convert({Answer::Yes}), kSent);
        QCOMPARE(pacs.stores.load(), 1);

        fillSlot(ed, 0, solid(Qt::blue, 800, 600));   // 1.4 MB: about 30 s
        const qint64 before = relay.passed();
        QTimer poll;
        cancelOnce(poll, [&relay, before] { return relay.passed() >= before + 64 * 1024; });
        QCOMPARE(convert({Answer::Yes, Answer::No}), sendFailed(QStringLiteral("用户按了“取消”，发送已中止")));
        QTRY_VERIFY_WITH_TIMEOUT(relay.clientReset(), 30000);
        QVERIFY(relay.passed() - before < 800 * 600 * 3);
        QCOMPARE(pacs.stores.load(), 1);
        QVERIFY(QThreadPool::globalInstance()->waitForDone(60000));
    }

    // 取消 while the whole picture has gone and the send waits for the PACS's
    // answer (nothing left to write): the association is aborted at once, not
    // when the reply timeout (a day here) has passed. The PACS takes the store
    // and never answers; the connection passes through a relay that sees the
    // reset.
    void cancelWhileAwaitingTheAnswer()
    {
        TestPacs pacs;
        QVERIFY(pacs.start());
        dicompeer::SlowRelay relay(pacs.port(), 64 * 1024 * 1024);
        QVERIFY(relay.ok());
        sendTo(relay.port());
        pacs.stall = true;
        Dicom::setReplyTimeout(24 * 3600);
        const auto freePeer = qScopeGuard([&pacs] {
            pacs.stall = false;
            pacs.freed = 1 << 30;
            QThreadPool::globalInstance()->waitForDone(60000);
            Dicom::setReplyTimeout(0);
        });
        DataRecord& ed = DataRecord::instance();
        fillSlot(ed, 0, solid(Qt::red));   // fits the sockets' buffers
        // 取消 once the relay has passed the whole store on and nothing more has come for a
        // while: the send has nothing left to write and waits for the answer alone.
        QTimer poll;
        QElapsedTimer still;
        qint64 seen = -1;
        cancelOnce(poll, [&] {
            if (relay.passed() != seen || pacs.stalled == 0) {
                seen = relay.passed();
                still.start();
            }
            return still.elapsed() >= 300;
        });
        QCOMPARE(convert({Answer::Yes}), sendFailed(QStringLiteral("用户按了“取消”，发送已中止")));
        QTRY_VERIFY_WITH_TIMEOUT(relay.clientReset(), 30000);
        QCOMPARE(pacs.stores.load(), 0);
    }

    // A PACS that does not accept the connection (off, or too busy to take
    // one more): its wait ends when the connection timeout has passed, with
    // that said. 取消 ends the wait of the window at once and says so, while
    // the send still waits for the connection: it ends by itself (here once the
    // port is closed and the kernel refuses the request it sends again), the
    // slot still selected as after any failed send.
    void cancelWhileConnecting()
    {
        dicompeer::FullPort peer;
        QVERIFY(peer.ok());
        const int port = peer.port();
        sendTo(port);
        DataRecord& ed = DataRecord::instance();

        Dicom::setConnectTimeout(1);
        fillSlot(ed, 0, solid(Qt::red));
        QCOMPARE(convert({Answer::Yes}),
                 sendFailed(QStringLiteral("服务器 127.0.0.1:%1 在1秒内没有接受连接").arg(port)));

        Dicom::setConnectTimeout(24 * 3600);
        QTimer poll;
        cancelOnce(poll, [] { return Dicom::connectsWaiting() > 0; });
        {
            Watchdog dog(30, [&] { peer.close(); });
            const QString shown = convert({Answer::Yes, Answer::No});
            QVERIFY2(!dog.fired(), "取消 did not end the wait for the connection");
            QCOMPARE(shown, sendFailed(QStringLiteral("用户按了“取消”，发送已中止")));
        }
        QCOMPARE(Dicom::connectsWaiting(), 1);
        peer.close();
        QVERIFY(QThreadPool::globalInstance()->waitForDone(120000));
        QCoreApplication::processEvents();
        QVERIFY(!ed.ShapeSel[0]->isHidden() && ed.ButtonConvert->isEnabled());
    }

    // One association carries a whole conversion; a peer that drops it after
    // each file gets every file over an association opened anew; a failure
    // status in the C-STORE response is a failure (not retried), and the slots
    // after it are not touched.
    void associationAndStatus()
    {
        TestPacs pacs;
        QVERIFY(pacs.start());
        sendTo(pacs.port());
        DataRecord& ed = DataRecord::instance();
        for (int k : {0, 1, 2})
            fillSlot(ed, k, solid(QColor(10 * k, 90, 200)));
        // Nagle's algorithm is off on the association's connection.
        std::atomic<int> noDelay{-1};
        Dicom::setConnectionObserver([&noDelay](int socket) {
            int on = 0;
            socklen_t len = sizeof on;
            noDelay = ::getsockopt(socket, IPPROTO_TCP, TCP_NODELAY, &on, &len) == 0 ? on : -1;
        });
        // While a file is sent, the window's thread runs its events under a
        // modal progress dialog, and the slots done so far are deselected.
        QSemaphore answered;
        QString modal;
        bool firstDeselected = false;
        Dicom::setSendObserver([&](const QString& file) {
            if (!file.endsWith(QLatin1String("image2.dcm")))
                return;
            QMetaObject::invokeMethod(
                &ed,
                [&] {
                    if (QWidget* w = QApplication::activeModalWidget())
                        modal = QString::fromLatin1(w->metaObject()->className()) + w->windowTitle();
                    firstDeselected = ed.ShapeSel[0]->isHidden() && !ed.ShapeSel[1]->isHidden();
                    answered.release();
                },
                Qt::QueuedConnection);
            answered.tryAcquire(1, 20000);
        });
        QCOMPARE(convert({Answer::Yes}), kSent);
        Dicom::setSendObserver(nullptr);
        QCOMPARE(modal, QStringLiteral("QProgressDialog提示"));
        QVERIFY(firstDeselected);
        QCOMPARE(noDelay.load(), 1);
        QCOMPARE(pacs.stores.load(), 3);
        QCOMPARE(pacs.associations.load(), 1);

        pacs.dropAfterStore = true;
        for (int k : {0, 1, 2})
            fillSlot(ed, k, solid(QColor(10 * k, 90, 200)));
        QCOMPARE(convert({Answer::Yes}), kSent);
        QCOMPARE(pacs.stores.load(), 6);
        QCOMPARE(pacs.associations.load(), 4);
        QVERIFY(ed.ShapeSel[2]->isHidden());

        pacs.dropAfterStore = false;
        pacs.status = 0xA700;   // out of resources
        ed.ButtonConvert->setEnabled(true);
        for (int k : {0, 1})
            fillSlot(ed, k, solid(QColor(10 * k, 90, 200)));
        QCOMPARE(convert({Answer::Yes}),
                 sendFailed(QStringLiteral("服务器拒绝保存图像（状态 0xA700：服务器存储空间或资源不足）")));
        QCOMPARE(pacs.stores.load(), 7);
        QVERIFY(!ed.ShapeSel[0]->isHidden() && !ed.ShapeSel[1]->isHidden());
        QVERIFY(QFile::exists(exam_.arg(7)) && !QFile::exists(exam_.arg(8)));
        QVERIFY(ed.ButtonConvert->isEnabled());
    }

    // Bad fields, exam numbers that would leave the output folder and settings
    // that are no numbers stop before any counter moves; a bad output folder
    // stops after them (they are used up); a converter failure says so.
    void refusals()
    {
        DataRecord& ed = DataRecord::instance();
        fillSlot(ed, 0, solid(Qt::red));
        for (const char* exam : {"../x", "a/b", "a\\b", "x:y", ".."}) {
            ed.Text1->setText(QString::fromUtf8(exam));
            QCOMPARE(convert({Answer::Yes}), QStringLiteral("检查号不能含有 / \\ : * ? \" < > | 或 ..，请重新输入"));
            QCOMPARE(ed.Text1->selectedText(), ed.Text1->text());
        }
        ed.Text1->setText(QStringLiteral("X1"));
        ed.Text4->setText(QStringLiteral("四十"));
        QCOMPARE(convert({Answer::Yes}), QStringLiteral("年龄应该为数字，请重新输入"));
        QCOMPARE(ed.Text4->selectedText(), QStringLiteral("四十"));
        ed.Text4->setText(QStringLiteral("42"));
        ed.Text2->setText(QStringLiteral("  "));
        QCOMPARE(convert({Answer::Yes}), QStringLiteral("DICOM数字图像需要提供相关基本信息，姓名不能为空"));
        ed.Text2->setText(QStringLiteral("张三"));
        // A fresh machine has no send settings: the box names the one to set and where.
        setOutput("svrPort", QString());
        QCOMPARE(convert({Answer::Yes}), QStringLiteral("13:类型不匹配（DICOM图像发送参数中的“服务器Port”未设置或"
                                                        "不是数字，请在“设置 → DICOM图像发送参数”中设置并保存）"));
        setOutput("svrPort", QStringLiteral("104.9"));
        setOutput("autoSend", QStringLiteral("yes"));
        QCOMPARE(convert({Answer::Yes}),
                 QStringLiteral("13:类型不匹配（DICOM图像发送参数中的“图像转换后自动发送”"
                                "未设置或不是数字，请在“设置 → DICOM图像发送参数”中设置并保存）"));
        convert({Answer::No});
        QCOMPARE(MessageBox::shownBoxes().size(), 1);
        QVERIFY(counter("studyid") == 0 && counter("seriesid") == 0);

        setOutput("autoSend", QStringLiteral("0"));
        for (const char* dir : {"", "/", "dicom/out"}) {
            setOutput("dcmDir", QString::fromUtf8(dir));
            QCOMPARE(convert({Answer::Yes}), QStringLiteral("存储目录不正确，请重新设置"));
        }
        QCOMPARE(counter("seriesid"), 3);
        QVERIFY(!ed.ShapeSel[0]->isHidden());

        setOutput("dcmDir", out_->path());
        for (const char* ext : {".bmp", ".jpg"})
            QFile::remove(ed.Pictmp[0]->Tag + QString::fromLatin1(ext));
        QVERIFY(convert({Answer::Yes}).startsWith(QStringLiteral("DICOM图像转换失败：")));
        QCOMPARE(lastTitle(), QStringLiteral("错误"));
        QVERIFY(!ed.ShapeSel[0]->isHidden() && !QFile::exists(out_->path() + QStringLiteral("/X1/image1.dcm")));

        // A counter row missing: its box, and the series counter is not advanced.
        QVERIFY(Database::ExecuteSql(QStringLiteral("DELETE FROM DCMConvertCS WHERE CSname = 'studyid'")).ok());
        const int series = counter("seriesid");
        QCOMPARE(convert({Answer::Yes}), QStringLiteral("参数表数据错误！"));
        QCOMPARE(lastTitle(), QStringLiteral("错误"));
        QCOMPARE(counter("seriesid"), series);
    }

    // Missing parents are made owner-only; an existing file counts as present;
    // under a read-only parent every failing level shows its box.
    void createPaths()
    {
        DataRecord& ed = DataRecord::instance();
        const QString out = out_->path();
        QVERIFY(ed.CreatePaths(out + QStringLiteral("/a/b/c")) && QFileInfo(out + QStringLiteral("/a/b/c")).isDir());
        const auto others = QFile::ReadGroup | QFile::ExeGroup | QFile::ReadOther | QFile::ExeOther;
        QCOMPARE(QFileInfo(out + QStringLiteral("/a/b")).permissions() & others, QFile::Permissions());
        QVERIFY(writeBytes(out + QStringLiteral("/file"), "x") && ed.CreatePaths(out + QStringLiteral("/file")));
        QVERIFY(MessageBox::shownBoxes().isEmpty());

        QVERIFY(QDir().mkpath(out + QStringLiteral("/ro")));
        Unwritable ro(out + QStringLiteral("/ro"));
        QVERIFY(ro.ok() && !ed.CreatePaths(out + QStringLiteral("/ro/x/y")));
        QCOMPARE(MessageBox::shownBoxes().size(), 2);
        QCOMPARE(MessageBox::shownBoxes()[0].text, QStringLiteral("70:没有权限"));
        QCOMPARE(MessageBox::shownBoxes()[1].text, QStringLiteral("76:路径未找到"));
        QVERIFY(!ed.CreatePaths(QStringLiteral("relative")));
        QCOMPARE(lastText(), QStringLiteral("76:路径未找到"));
    }

private:
    // The files that took an image name.
    static QStringList wholeNames(const QString& folder)
    {
        return QDir(folder).entryList({QStringLiteral("image*.dcm")}, QDir::Files);
    }
    // Runs the convert command answering the questions in turn; the last box's text.
    static QString convert(std::initializer_list<Answer> answers)
    {
        MessageBox::clearShown();
        for (Answer a : answers)
            MessageBox::queueAnswer(a);
        DataRecord::instance().ButtonConvert_Click();
        return lastText();
    }
    // Clicks 取消 in the progress dialog once ready() holds, looked at while
    // the dialog's events run.
    void cancelOnce(QTimer& poll, std::function<bool()> ready, QString* caption = nullptr)
    {
        connect(&poll, &QTimer::timeout, this, [&poll, ready = std::move(ready), caption] {
            auto* busy = qobject_cast<QProgressDialog*>(QApplication::activeModalWidget());
            auto* cancel = busy ? busy->findChild<QPushButton*>(QStringLiteral("ButtnCancel")) : nullptr;
            if (!cancel || !ready())
                return;
            if (caption)
                *caption = cancel->text();
            poll.stop();
            QTest::mouseClick(cancel, Qt::LeftButton);
        });
        poll.start(5);
    }
    static void sendTo(int port)
    {
        setOutput("svrIp", QStringLiteral("127.0.0.1"));
        setOutput("svrTitle", QStringLiteral("PEL"));
        setOutput("svrPort", QString::number(port));
        setOutput("autoSend", QStringLiteral("1"));
    }
    // The file the PACS received for image<n>.dcm of the exam (same SOP Instance UID).
    QString received(const dicompeer::StoreScp& pacs, int n) const
    {
        const QString uid = value(exam_.arg(n), QStringLiteral("0008,0018"));
        for (const QString& f : pacs.received())
            if (!uid.isEmpty() && value(f, QStringLiteral("0008,0018")) == uid)
                return f;
        return QString();
    }

    std::unique_ptr<TestFolder> folder_;
    std::unique_ptr<QTemporaryDir> out_;
    QString exam_;   // the exam folder's image<n>.dcm
};

int main(int argc, char* argv[])
{
    QTEST_MAIN_SETUP()
    tst_DicomConvert tc;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&tc, argc, argv);
}
#include "tst_DicomConvert.moc"
