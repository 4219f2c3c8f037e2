// The editor's DICOM conversion: the selected captures become DICOM files in a
// folder per exam number and, when the settings ask for it, go to the PACS.
#include "editor/DataRecord.h"

#include "core/Database.h"
#include "core/ModBackup.h"
#include "core/Modini.h"
#include "core/NumberText.h"
#include "core/ReportRecord.h"
#include "imaging/DicomFile.h"
#include "imaging/DicomSend.h"
#include "imaging/DicomSettings.h"
#include "platform/AppError.h"
#include "platform/Environment.h"
#include "platform/MessageBox.h"
#include "platform/PrivateFile.h"

#include <QComboBox>
#include <QDateTime>
#include <QFileInfo>
#include <QLineEdit>

#include <cerrno>
#include <cmath>
#include <limits>
#include <optional>

using namespace DicomSettings;

namespace {
using MessageBox::kErrorTitle;
using MessageBox::kSystemErrorTitle;
const QString kTypeMismatch = AppError::format(AppError::TypeMismatch, QStringLiteral("类型不匹配"));
const QString kOverflow = AppError::format(AppError::Overflow, QStringLiteral("溢出"));

// A settings number read as the conversion reads it: whole part rounded down,
// within the given range. The box is shown when it is not.
std::optional<long> settingNumber(const IniSetting& key, long low, long high)
{
    const auto v = NumberText::Parse(Modini::GetIniValue(key));
    if (!v) {
        MessageBox::critical(kTypeMismatch, kErrorTitle);
        return std::nullopt;
    }
    const double whole = std::floor(*v);
    if (whole < double(low) || whole > double(high)) {
        MessageBox::critical(kOverflow, kErrorTitle);
        return std::nullopt;
    }
    return long(whole);
}

// The picture a capture slot shows: its BMP, unless that is missing or older
// than the slot's JPEG (a slot refilled from a report picture has only a JPEG
// of its own). A capture writes the JPEG right after the BMP, so the BMP
// counts as older only when it is older by more than a moment.
QString slotPicture(const QString& tag)
{
    const QFileInfo bmp(tag + QStringLiteral(".bmp"));
    const QFileInfo jpg(tag + QStringLiteral(".jpg"));
    if (!bmp.exists())
        return jpg.filePath();
    if (jpg.exists() && bmp.lastModified().msecsTo(jpg.lastModified()) > 2000)
        return jpg.filePath();
    return bmp.filePath();
}

QString imageFile(const QString& folder, int n) { return folder + QStringLiteral("/image%1.dcm").arg(n); }
}

void DataRecord::forgetDicomStudy()
{
    DcmStudyId.clear();
    DcmSeriesId.clear();
    dcmStudyUid_.clear();
}

bool DataRecord::CreatePaths(const QString& path)
{
    if (QFileInfo::exists(path))
        return true;
    const int slash = path.lastIndexOf(QLatin1Char('/'));
    int error = ENOENT;   // a name without a folder part
    if (slash >= 0) {
        CreatePaths(slash == 0 ? QStringLiteral("/") : path.left(slash));
        error = PrivateFile::makeOneFolder(path);
        if (error == 0)
            return true;
    }
    MessageBox::critical(ModBackup::FromErrno(error).text(), kErrorTitle);
    return false;
}

void DataRecord::ButtonConvert_Click()
{
    ensureLoaded();
    settleCaptures();
    // 1. The question.
    if (MessageBox::show(QStringLiteral("请确认是否将选中的图像转换为相应的DICOM数字图像？"), MessageBox::kNoticeTitle,
                         MessageBox::Icon::Information, MessageBox::Buttons::YesNo, this)
        != MessageBox::Answer::Yes)
        return;
    // 2. The patient fields as typed.
    if (Text1->text().trimmed().isEmpty()) {
        failField(Text1, QStringLiteral("DICOM数字图像象需要提供相关基本信息，超声检查号不能为空"), false);
        return;
    }
    if (Text2->text().trimmed().isEmpty()) {
        failField(Text2, QStringLiteral("DICOM数字图像需要提供相关基本信息，姓名不能为空"), false);
        return;
    }
    if (Text3->currentText().isEmpty()) {
        failField(Text3, QStringLiteral("DICOM数字图像需要提供相关基本信息，姓别不能为空"), false);
        return;
    }
    if (Text4->text().isEmpty()) {
        failField(Text4, QStringLiteral("DICOM数字图像需要提供相关基本信息，年龄不能为空"), false);
        return;
    }
    if (!ReportRecord::ParseNumber(Text4->text())) {
        failField(Text4, QStringLiteral("年龄应该为数字，请重新输入"), true);
        return;
    }
    // 3. The exam number names a folder below the output folder: it must stay there.
    const QString exam = Text1->text().trimmed();
    if (!SafeFolderName(exam)) {
        failField(Text1, QStringLiteral("检查号不能含有 / \\ : * ? \" < > | 或 ..，请重新输入"), true);
        return;
    }
    const QString name = Text2->text().trimmed();
    const QString age = Text4->text().trimmed();
    const QString sex = Text3->currentText().trimmed();

    // 4. The settings; port and automatic sending must be numbers even when nothing is sent.
    const QString ip = Modini::GetIniValue(IniKey::DicomServerIp);
    const QString title = Modini::GetIniValue(IniKey::DicomServerTitle);
    const auto port =
        settingNumber(IniKey::DicomServerPort, std::numeric_limits<int>::min(), std::numeric_limits<int>::max());
    if (!port)
        return;
    const auto autoSend =
        settingNumber(IniKey::DicomAutoSend, std::numeric_limits<qint16>::min(), std::numeric_limits<qint16>::max());
    if (!autoSend)
        return;
    QString folder = Modini::GetIniValue(IniKey::DicomFolder);

    // 5.-9. The counters: read, advanced and the study chosen in one transaction.
    QString studyId = DcmStudyId;
    QString studyUid = dcmStudyUid_;
    QString seriesId;
    int seriesNo = DcmSeriesNo;
    {
        Database::Transaction t;
        if (!t.started()) {
            MessageBox::critical(t.beginResult().description, kSystemErrorTitle);
            return;
        }
        const auto study = ReadCounter(kStudyCounter);
        if (!study)
            return;
        const auto series = ReadCounter(kSeriesCounter);
        if (!series)
            return;
        auto advance = [](const QString& counter) {
            const QueryResult r = Database::ExecuteSql(
                QStringLiteral("update DCMConvertCS set CSid = CSid + 1 where CSname = ?"), {counter});
            if (!r.ok())
                MessageBox::critical(r.description, kSystemErrorTitle);
            return r.ok();
        };
        if (!advance(kSeriesCounter))
            return;
        if (*series == std::numeric_limits<int>::max()) {
            MessageBox::critical(kOverflow, kErrorTitle);
            return;
        }
        seriesId = QString::number(*series + 1);
        bool newStudy = DcmStudyId.isEmpty();
        if (!newStudy) {
            const auto join = MessageBox::show(
                QStringLiteral("是否加入上次转换的图像序列？和上次转换如果是同一病人请选是，否则请选否"),
                MessageBox::kNoticeTitle, MessageBox::Icon::Information, MessageBox::Buttons::YesNo, this);
            if (join == MessageBox::Answer::Yes)
                seriesNo = DcmSeriesNo + 1;
            else
                newStudy = true;
        }
        if (newStudy) {
            if (!advance(kStudyCounter))
                return;
            if (*study == std::numeric_limits<int>::max()) {
                MessageBox::critical(kOverflow, kErrorTitle);
                return;
            }
            studyId = QString::number(*study + 1);
            studyUid = Dicom::NewUid(Dicom::Uid::Study);
            seriesNo = 1;
        }
        const QueryResult done = t.commit();
        if (!done.ok()) {
            MessageBox::critical(done.description, kSystemErrorTitle);
            return;
        }
    }
    DcmSeriesId = seriesId;
    DcmStudyId = studyId;
    dcmStudyUid_ = studyUid;
    DcmSeriesNo = seriesNo;

    // 11.-12. The output folder and the exam's folder below it.
    if (!OutputFolderUsable(folder)) {
        MessageBox::critical(QStringLiteral("存储目录不正确，请重新设置"), kErrorTitle);
        return;
    }
    folder = CutTrailingSeparator(folder);
    if (!CreatePaths(folder))
        return;
    const QString examFolder = folder + QLatin1Char('/') + exam;
    if (!CreatePaths(examFolder))
        return;

    // 13.-14. Every selected capture in slot order, numbered after the files
    // already there; an existing file is never replaced.
    int n = 1;
    const QString seriesUid = Dicom::NewUid(Dicom::Uid::Series);
    for (size_t i = 0; i < Pictmp.size(); ++i) {
        if (ShapeSel[i]->isHidden() || Pictmp[i]->Tag.isEmpty())
            continue;
        while (QFileInfo::exists(imageFile(examFolder, n)) && n < std::numeric_limits<qint16>::max())
            ++n;
        if (QFileInfo::exists(imageFile(examFolder, n))) {
            MessageBox::critical(kOverflow, kErrorTitle);
            return;
        }
        Dicom::Picture p;
        p.file = imageFile(examFolder, n);
        p.source = slotPicture(Pictmp[i]->Tag);
        p.examNumber = exam;
        p.patientName = name;
        p.age = age;
        p.sex = sex;
        p.studyId = DcmStudyId;
        p.seriesNumber = DcmSeriesNo;
        p.date = Environment::today();
        p.time = QTime::currentTime();
        p.imageNumber = n;
        p.studyUid = dcmStudyUid_;
        p.seriesUid = seriesUid;
        QString why;
        if (!Dicom::Coverttodcm(p, &why)) {
            MessageBox::critical(QStringLiteral("DICOM图像转换失败：%1").arg(why), kErrorTitle);
            return;
        }
        if (*autoSend == 1 && !Dicom::dcmfileSend(ip, int(*port), title, title, p.file, &why)) {
            qWarning("DICOM send of %s failed: %s", qPrintable(p.file), qPrintable(why));
            MessageBox::critical(QStringLiteral("图像发送失败，请检查网络和发送参数是否正确，操作取消"), kErrorTitle);
            return;
        }
        ShapeSel[i]->hide();
        if (n < std::numeric_limits<qint16>::max())
            ++n;
    }
    // 15.-16.
    for (QvButton* b : {ButtonAddPic, ButtonDelPic, Bpicview1, ButtonConvert})
        b->setEnabled(false);
    if (*autoSend == 1)
        MessageBox::information(QStringLiteral("转换完成并发送成功！"), MessageBox::kNoticeTitle);
    else if (*autoSend == 0)
        MessageBox::information(QStringLiteral("转换完成！"), MessageBox::kNoticeTitle);
}
