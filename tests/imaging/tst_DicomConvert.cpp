// The editor's DICOM conversion against a real storescp: files, attributes read
// back with dcmdump and checked by a DICOM validator, counters, study and series
// rules, refusals before any counter moves, send failures, CreatePaths.
#include "support/EditorKit.h"

#include "core/Modini.h"
#include "imaging/BmpFile.h"
#include "imaging/DicomSend.h"
#include "imaging/JpegWriter.h"
#include "imaging/VideoCapture.h"
#include "platform/AppPaths.h"
#include "support/DicomPeer.h"

#include <dcmtk/config/osconfig.h>
#include <dcmtk/dcmdata/dcdeftag.h>
#include <dcmtk/dcmdata/dcfilefo.h>

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

using namespace kit;
using dicompeer::value;

namespace {
const QString kConvertQuestion = QStringLiteral("请确认是否将选中的图像转换为相应的DICOM数字图像？");
const QString kJoinQuestion = QStringLiteral("是否加入上次转换的图像序列？和上次转换如果是同一病人请选是，否则请选否");
const QString kSendFailed = QStringLiteral("图像发送失败，请检查网络和发送参数是否正确，操作取消");

void setOutput(const QString& key, const QString& v) { Modini::SetIniValue(QStringLiteral("output"), key, v); }

int counter(const QString& name)
{
    const QueryResult r = Database::QueryData(QStringLiteral("SELECT CSid FROM DCMConvertCS WHERE CSname = ?"), {name});
    return r.hasRows() ? r.data->field(0).toInt() : -1;
}

// Fills capture slot k through its Tag contract: img/image<k+1>.bmp and .jpg, selected.
void fillSlot(DataRecord& ed, int k, const QImage& picture)
{
    const QString base = AppPaths::imageFolder() + QStringLiteral("/image%1").arg(k + 1);
    QVERIFY(BmpFile::write24(picture, base + QStringLiteral(".bmp")));
    QVERIFY(picture.save(base + QStringLiteral(".jpg"), "JPG", 90));
    ed.Pictmp[size_t(k)]->setPicture(picture);
    ed.Pictmp[size_t(k)]->Tag = base;
    ed.ShapeSel[size_t(k)]->show();
}

QImage solid(QColor c, int w = 64, int h = 48)
{
    QImage img(w, h, QImage::Format_RGB32);
    img.fill(c);
    return img;
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

bool near(QColor a, QColor b)
{
    return qAbs(a.red() - b.red()) < 12 && qAbs(a.green() - b.green()) < 12 && qAbs(a.blue() - b.blue()) < 12;
}

int boxesWith(const QString& text)
{
    int n = 0;
    for (const auto& b : MessageBox::shownBoxes())
        n += b.text == text;
    return n;
}
}

class tst_DicomConvert : public QObject {
    Q_OBJECT
private slots:
    void initTestCase()
    {
        for (const char* tool : {"storescp", "dcmdump", "dciodvfy"})
            if (QStandardPaths::findExecutable(QString::fromLatin1(tool)).isEmpty())
                QFAIL(qPrintable(QStringLiteral("%1 is not installed (packages dcmtk and dicom3tools, see "
                                                "scripts/setup-deps)").arg(QString::fromLatin1(tool))));
    }
    void init()
    {
        folder_ = editorFolder();
        QVERIFY(folder_->ok());
        out_ = std::make_unique<QTemporaryDir>();
        QVERIFY(out_->isValid());
        setOutput(QStringLiteral("dcmDir"), out_->path() + QStringLiteral("/dicom/"));
        setOutput(QStringLiteral("svrIp"), QString());
        setOutput(QStringLiteral("svrTitle"), QString());
        setOutput(QStringLiteral("svrPort"), QStringLiteral("104"));
        setOutput(QStringLiteral("autoSend"), QStringLiteral("0"));
        DataRecord& ed = DataRecord::instance();
        ed.ensureLoaded();
        ed.ButtnNew_Click();
        typeRecord(ed, QStringLiteral("X2025001"), QStringLiteral("张三"));
        ed.Text3->setEditText(QStringLiteral("男"));
        MessageBox::clearShown();
    }
    void cleanup()
    {
        Dicom::setSendObserver(nullptr);
        closeEditor();
        folder_.reset();
    }

    // Slots 2 and 6 with image1, image2 and image4 already there: image3 and
    // image5, the existing files untouched; slot 6's BMP is older than its
    // JPEG (refilled from a report), so the JPEG is what is converted.
    void convertsWithoutSending()
    {
        DataRecord& ed = DataRecord::instance();
        const QString exam = out_->path() + QStringLiteral("/dicom/X2025001");
        QVERIFY(QDir().mkpath(exam));
        for (int n : {1, 2, 4})
            QVERIFY(writeBytes(exam + QStringLiteral("/image%1.dcm").arg(n), "keep"));
        QImage upright = solid(QColor(20, 200, 40), 31, 17);   // the bottom row blue: rows go top down
        for (int x = 0; x < upright.width(); ++x)
            upright.setPixelColor(x, upright.height() - 1, Qt::blue);
        fillSlot(ed, 2, upright);
        fillSlot(ed, 6, solid(QColor(0, 0, 255)));
        QVERIFY(solid(QColor(230, 30, 30)).save(ed.Pictmp[6]->Tag + QStringLiteral(".jpg"), "JPG", 95));
        QFile bmp(ed.Pictmp[6]->Tag + QStringLiteral(".bmp"));
        QVERIFY(bmp.open(QIODevice::ReadWrite));
        QVERIFY(bmp.setFileTime(QDateTime::currentDateTime().addSecs(-3600), QFileDevice::FileModificationTime));
        bmp.close();

        MessageBox::queueAnswer(MessageBox::Answer::Yes);
        ed.ButtonConvert_Click();
        QCOMPARE(lastText(), QStringLiteral("转换完成！"));
        QCOMPARE(MessageBox::shownBoxes().first().text, kConvertQuestion);
        QCOMPARE(boxesWith(kJoinQuestion), 0);
        QCOMPARE(readBytes(exam + QStringLiteral("/image4.dcm")), QByteArray("keep"));
        QVERIFY(!QFile::exists(exam + QStringLiteral("/image6.dcm")));
        QVERIFY(ed.ShapeSel[2]->isHidden() && ed.ShapeSel[6]->isHidden());
        QVERIFY(!ed.ButtonConvert->isEnabled() && !ed.ButtonAddPic->isEnabled());
        QCOMPARE(counter(QStringLiteral("studyid")), 1);
        QCOMPARE(counter(QStringLiteral("seriesid")), 1);

        const QString first = exam + QStringLiteral("/image3.dcm");
        const QString second = exam + QStringLiteral("/image5.dcm");
        QCOMPARE(QFileInfo(first).permissions() & (QFile::ReadGroup | QFile::ReadOther), QFile::Permissions());
        const QList<std::pair<const char*, QString>> expected = {
            {"0002,0010", "1.2.840.10008.1.2.1"},     {"0008,0016", "1.2.840.10008.5.1.4.1.1.7"},
            {"0008,0005", "ISO_IR 192"},              {"0010,0010", "张三"},
            {"0010,0020", "X2025001"},                {"0010,0040", "M"},
            {"0010,1010", "042Y"},                    {"0008,0060", "DX"},
            {"0008,0064", "DV"},                      {"0020,0010", "1"},
            {"0020,0011", "1"},                       {"0020,0013", "3"},
            {"0008,0020", "20250304"},                {"0028,0004", "RGB"},
            {"0028,0010", "17"},                      {"0028,0011", "31"},
        };
        for (const auto& [tag, v] : expected)
            QCOMPARE(value(first, QString::fromLatin1(tag)), v);
        QCOMPARE(value(second, QStringLiteral("0020,0013")), QStringLiteral("5"));
        QCOMPARE(value(first, QStringLiteral("0020,000d")), value(second, QStringLiteral("0020,000d")));
        QCOMPARE(value(first, QStringLiteral("0020,000e")), value(second, QStringLiteral("0020,000e")));
        QVERIFY(value(first, QStringLiteral("0008,0018")) != value(second, QStringLiteral("0008,0018")));
        QCOMPARE(firstPixel(first), QColor(20, 200, 40));
        QVERIFY2(near(firstPixel(second), QColor(230, 30, 30)), qPrintable(firstPixel(second).name()));
        for (const QString& f : {first, second}) {
            const QStringList errors = dicompeer::validatorErrors(f);
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
        QVERIFY(video.Connect());
        for (int k : {0, 1}) {
            QVERIFY(video.waitForFrame(video.framesReceived(), 10000));
            const QString base = AppPaths::imageFolder() + QStringLiteral("/image%1").arg(k + 1);
            video.setFrameFileName(base + QStringLiteral(".bmp"));
            QVERIFY(video.SaveFrame());
            QVERIFY(ConvertBmpToJpg(base + QStringLiteral(".bmp")));
            ed.Pictmp[size_t(k)]->setPicture(QImage(base + QStringLiteral(".jpg")));
            ed.Pictmp[size_t(k)]->Tag = base;
            ed.ShapeSel[size_t(k)]->show();
        }
        video.Disconnect();
        ed.Picyc->grab().save(testOutputFolder() + QStringLiteral("/dicom-capture-store.png"));
        const QSize frame = QImage(ed.Pictmp[0]->Tag + QStringLiteral(".bmp")).size();

        const QString exam = out_->path() + QStringLiteral("/dicom/X2025001/image%1.dcm");
        auto convert = [&](std::initializer_list<MessageBox::Answer> answers) {
            MessageBox::clearShown();
            for (auto a : answers)
                MessageBox::queueAnswer(a);
            ed.ButtonConvert_Click();
        };
        convert({MessageBox::Answer::Yes});
        QCOMPARE(lastText(), QStringLiteral("转换完成并发送成功！"));
        QCOMPARE(boxesWith(kJoinQuestion), 0);
        QCOMPARE(pacs.received().size(), 2);
        const QString first = received(pacs, exam.arg(1));
        QCOMPARE(value(first, QStringLiteral("0010,0010")), QStringLiteral("张三"));
        QCOMPARE(value(first, QStringLiteral("0010,0020")), QStringLiteral("X2025001"));
        QCOMPARE(value(first, QStringLiteral("0008,0060")), QStringLiteral("DX"));
        QCOMPARE(value(first, QStringLiteral("0008,0016")), QStringLiteral("1.2.840.10008.5.1.4.1.1.7"));
        QCOMPARE(value(first, QStringLiteral("0028,0010")).toInt(), frame.height());
        QCOMPARE(value(received(pacs, exam.arg(2)), QStringLiteral("0020,0013")), QStringLiteral("2"));
        const QString studyUid = value(first, QStringLiteral("0020,000d"));

        fillSlot(ed, 5, solid(Qt::yellow));
        convert({MessageBox::Answer::Yes, MessageBox::Answer::Yes});
        QCOMPARE(boxesWith(kJoinQuestion), 1);
        const QString joined = received(pacs, exam.arg(3));
        QCOMPARE(value(joined, QStringLiteral("0020,000d")), studyUid);
        QCOMPARE(value(joined, QStringLiteral("0020,0010")), QStringLiteral("1"));
        QCOMPARE(value(joined, QStringLiteral("0020,0011")), QStringLiteral("2"));
        QVERIFY(value(joined, QStringLiteral("0020,000e")) != value(first, QStringLiteral("0020,000e")));

        fillSlot(ed, 5, solid(Qt::cyan));
        convert({MessageBox::Answer::Yes, MessageBox::Answer::No});
        const QString other = received(pacs, exam.arg(4));
        QVERIFY(value(other, QStringLiteral("0020,000d")) != studyUid);
        QCOMPARE(value(other, QStringLiteral("0020,0010")), QStringLiteral("2"));
        QCOMPARE(value(other, QStringLiteral("0020,0011")), QStringLiteral("1"));

        ed.ButtnNew_Click();
        typeRecord(ed, QStringLiteral("X2025001"), QStringLiteral("李四"));
        fillSlot(ed, 5, solid(Qt::gray));
        convert({MessageBox::Answer::Yes});
        QCOMPARE(boxesWith(kJoinQuestion), 0);
        QCOMPARE(value(received(pacs, exam.arg(5)), QStringLiteral("0020,0010")), QStringLiteral("3"));

        closeEditor();
        ed.ensureLoaded();
        typeRecord(ed, QStringLiteral("X2025001"), QStringLiteral("王五"));
        fillSlot(ed, 5, solid(Qt::gray));
        convert({MessageBox::Answer::Yes});
        QCOMPARE(boxesWith(kJoinQuestion), 0);
        QCOMPARE(lastText(), QStringLiteral("转换完成并发送成功！"));
        QCOMPARE(counter(QStringLiteral("studyid")), 4);
        QCOMPARE(counter(QStringLiteral("seriesid")), 5);
        QCOMPARE(pacs.received().size(), 6);
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
        int sends = 0;
        Dicom::setSendObserver([&](const QString&) {
            if (++sends == 2)
                pacs.stop();
        });
        MessageBox::queueAnswer(MessageBox::Answer::Yes);
        ed.ButtonConvert_Click();
        QCOMPARE(lastText(), kSendFailed);
        QCOMPARE(lastTitle(), QStringLiteral("错误"));
        QCOMPARE(pacs.received().size(), 1);
        QVERIFY(ed.ShapeSel[0]->isHidden() && !ed.ShapeSel[1]->isHidden() && !ed.ShapeSel[2]->isHidden());
        const QString exam = out_->path() + QStringLiteral("/dicom/X2025001/image%1.dcm");
        QVERIFY(QFile::exists(exam.arg(2)) && !QFile::exists(exam.arg(3)));
        QVERIFY(ed.ButtonConvert->isEnabled());

        dicompeer::StoreScp refusing;
        QVERIFY2(refusing.start(QStringLiteral("PEL"), {QStringLiteral("--refuse")}), qPrintable(refusing.error()));
        sendTo(refusing.port());
        MessageBox::clearShown();
        MessageBox::queueAnswer(MessageBox::Answer::Yes);
        MessageBox::queueAnswer(MessageBox::Answer::Yes);
        ed.ButtonConvert_Click();
        QCOMPARE(lastText(), kSendFailed);
        QVERIFY(QFile::exists(exam.arg(3)) && !ed.ShapeSel[1]->isHidden());
    }

    // Bad fields, exam numbers that would leave the output folder and settings
    // that are no numbers stop before any counter moves; a bad output folder
    // stops after them (they are used up); a converter failure says so.
    void refusals()
    {
        DataRecord& ed = DataRecord::instance();
        fillSlot(ed, 0, solid(Qt::red));
        auto convert = [&] {
            MessageBox::clearShown();
            MessageBox::queueAnswer(MessageBox::Answer::Yes);
            ed.ButtonConvert_Click();
            return lastText();
        };
        const QString unsafe = QStringLiteral("检查号不能含有 / \\ : * ? \" < > | 或 ..，请重新输入");
        for (const char* exam : {"../x", "a/b", "a\\b", "x:y", ".."}) {
            ed.Text1->setText(QString::fromUtf8(exam));
            QCOMPARE(convert(), unsafe);
            QCOMPARE(ed.Text1->selectedText(), ed.Text1->text());
        }
        ed.Text1->setText(QStringLiteral("X1"));
        ed.Text4->setText(QStringLiteral("四十"));
        QCOMPARE(convert(), QStringLiteral("年龄应该为数字，请重新输入"));
        QCOMPARE(ed.Text4->selectedText(), QStringLiteral("四十"));
        ed.Text4->setText(QStringLiteral("42"));
        ed.Text2->setText(QStringLiteral("  "));
        QCOMPARE(convert(), QStringLiteral("DICOM数字图像需要提供相关基本信息，姓名不能为空"));
        ed.Text2->setText(QStringLiteral("张三"));
        setOutput(QStringLiteral("svrPort"), QString());
        QCOMPARE(convert(), QStringLiteral("13:类型不匹配"));
        setOutput(QStringLiteral("svrPort"), QStringLiteral("104.9"));
        setOutput(QStringLiteral("autoSend"), QStringLiteral("yes"));
        QCOMPARE(convert(), QStringLiteral("13:类型不匹配"));
        MessageBox::clearShown();
        MessageBox::queueAnswer(MessageBox::Answer::No);
        ed.ButtonConvert_Click();
        QCOMPARE(MessageBox::shownBoxes().size(), 1);
        QCOMPARE(counter(QStringLiteral("studyid")), 0);
        QCOMPARE(counter(QStringLiteral("seriesid")), 0);

        setOutput(QStringLiteral("autoSend"), QStringLiteral("0"));
        for (const char* dir : {"", "/", "dicom/out"}) {
            setOutput(QStringLiteral("dcmDir"), QString::fromUtf8(dir));
            QCOMPARE(convert(), QStringLiteral("存储目录不正确，请重新设置"));
        }
        QCOMPARE(counter(QStringLiteral("seriesid")), 3);
        QVERIFY(!ed.ShapeSel[0]->isHidden());

        setOutput(QStringLiteral("dcmDir"), out_->path());
        QFile::remove(ed.Pictmp[0]->Tag + QStringLiteral(".bmp"));
        QFile::remove(ed.Pictmp[0]->Tag + QStringLiteral(".jpg"));
        QVERIFY(convert().startsWith(QStringLiteral("DICOM图像转换失败：")));
        QCOMPARE(lastTitle(), QStringLiteral("错误"));
        QVERIFY(!ed.ShapeSel[0]->isHidden() && !QFile::exists(out_->path() + QStringLiteral("/X1/image1.dcm")));
    }

    // Missing parents are made; an existing file counts as present; under a
    // read-only parent every failing level shows its box.
    void createPaths()
    {
        DataRecord& ed = DataRecord::instance();
        QVERIFY(ed.CreatePaths(out_->path() + QStringLiteral("/a/b/c")));
        QVERIFY(QFileInfo(out_->path() + QStringLiteral("/a/b/c")).isDir());
        const auto others = QFile::ReadGroup | QFile::ExeGroup | QFile::ReadOther | QFile::ExeOther;
        QCOMPARE(QFileInfo(out_->path() + QStringLiteral("/a/b")).permissions() & others, QFile::Permissions());
        QVERIFY(writeBytes(out_->path() + QStringLiteral("/file"), "x"));
        QVERIFY(ed.CreatePaths(out_->path() + QStringLiteral("/file")));
        QVERIFY(MessageBox::shownBoxes().isEmpty());

        QVERIFY(QDir().mkpath(out_->path() + QStringLiteral("/ro")));
        kit::Unwritable ro(out_->path() + QStringLiteral("/ro"));
        QVERIFY(ro.ok());
        QVERIFY(!ed.CreatePaths(out_->path() + QStringLiteral("/ro/x/y")));
        QCOMPARE(MessageBox::shownBoxes().size(), 2);
        QCOMPARE(MessageBox::shownBoxes()[0].text, QStringLiteral("70:没有权限"));
        QCOMPARE(MessageBox::shownBoxes()[1].text, QStringLiteral("76:路径未找到"));
        QVERIFY(!ed.CreatePaths(QStringLiteral("relative")));
        QCOMPARE(lastText(), QStringLiteral("76:路径未找到"));
    }

private:
    void sendTo(int port)
    {
        setOutput(QStringLiteral("svrIp"), QStringLiteral("127.0.0.1"));
        setOutput(QStringLiteral("svrTitle"), QStringLiteral("PEL"));
        setOutput(QStringLiteral("svrPort"), QString::number(port));
        setOutput(QStringLiteral("autoSend"), QStringLiteral("1"));
    }
    // The file the PACS received for a file written here (same SOP Instance UID).
    static QString received(const dicompeer::StoreScp& pacs, const QString& local)
    {
        const QString uid = value(local, QStringLiteral("0008,0018"));
        for (const QString& f : pacs.received())
            if (!uid.isEmpty() && value(f, QStringLiteral("0008,0018")) == uid)
                return f;
        return QString();
    }

    std::unique_ptr<TestFolder> folder_;
    std::unique_ptr<QTemporaryDir> out_;
};

QTEST_MAIN(tst_DicomConvert)
#include "tst_DicomConvert.moc"
