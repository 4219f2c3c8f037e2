// The editor's DICOM conversion: the selected captures become DICOM files in a
// folder per exam number and, when the settings ask for it, go to the PACS.
// The numbers are issued by the study book, the files are written and sent on
// the program's thread pool while a modal progress dialog holds the window.
#include "editor/DataRecord.h"

#include "core/Modini.h"
#include "core/ModBackup.h"
#include "core/ReportRecord.h"
#include "core/TypedText.h"
#include "imaging/DicomConversion.h"
#include "imaging/DicomSettings.h"
#include "platform/AppError.h"
#include "platform/Environment.h"
#include "platform/EventWait.h"
#include "platform/MessageBox.h"
#include "platform/PrivateFile.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QFutureWatcher>
#include <QLineEdit>
#include <QPointer>
#include <QProgressDialog>
#include <QPushButton>
#include <QScopeGuard>
#include <QThreadPool>
#include <QtConcurrent/QtConcurrentRun>

#include <cerrno>
#include <cmath>
#include <limits>

using namespace DicomSettings;

namespace {
using MessageBox::kErrorTitle;
const QString kTypeMismatch = AppError::format(AppError::TypeMismatch, QStringLiteral("类型不匹配"));
const QString kOverflow = AppError::format(AppError::Overflow, QStringLiteral("溢出"));

// A settings number read as the conversion reads it: whole part rounded down,
// within the given range; otherwise the box to show, naming the setting by its
// caption in the send settings dialog (on a fresh machine none is set yet).
std::optional<long> settingNumber(const IniSetting& key, const QString& caption, long low, long high, QString* failure)
{
    const auto v = Modini::GetIniNumber(key);
    if (!v) {
        *failure = kTypeMismatch
                   + QStringLiteral("（DICOM图像发送参数中的“%1”未设置或不是数字，请在“设置 → "
                                    "DICOM图像发送参数”中设置并保存）")
                         .arg(caption);
        return std::nullopt;
    }
    const double whole = std::floor(*v);
    if (whole < double(low) || whole > double(high)) {
        *failure = kOverflow + QStringLiteral("（DICOM图像发送参数中的“%1”超出了范围）").arg(caption);
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

// The progress shown while pictures are converted and sent: modal, with no way
// to close it before the work is done. While pictures are sent, its 取消 ends
// the sending (the conversion then ends as a failed send) and the wait for it.
class BusyDialog : public QProgressDialog {
public:
    BusyDialog(const QString& text, int count, const std::shared_ptr<Dicom::SendCancel>& cancel, QWidget* parent)
        : QProgressDialog(text, QString(), 0, count, parent)
    {
        setWindowTitle(MessageBox::kNoticeTitle);
        setWindowModality(Qt::ApplicationModal);
        if (cancel) {
            auto* button = new QPushButton(QStringLiteral("取消"), this);
            button->setObjectName(QStringLiteral("ButtnCancel"));
            setCancelButton(button);
            // Not QProgressDialog's own cancel, which would hide the dialog at once.
            disconnect(this, &QProgressDialog::canceled, this, &QProgressDialog::cancel);
            connect(this, &QProgressDialog::canceled, this, [button, cancel] {
                button->setEnabled(false);
                cancel->cancel();
            });
        } else {
            setCancelButton(nullptr);
        }
        setAutoClose(false);
        setAutoReset(false);
        setMinimumDuration(0);
        setValue(0);
    }

protected:
    void closeEvent(QCloseEvent* e) override { e->ignore(); }
    void keyPressEvent(QKeyEvent*) override {}
};
}

// The steps of the convert command, each one a function of its own.
struct DataRecord::DicomCommand {
    DataRecord& ed;
    Dicom::Picture common;   // patient, study and series of every file
    Dicom::SendSettings send;
    long autoSend = 0;
    QString folder;
    Dicom::ExamFolder exam;   // opened once by makeFolders()

    // The patient fields as typed, and whether they fit their DICOM attributes.
    bool takeFields()
    {
        if (ed.Text1->text().trimmed().isEmpty())
            return ed.failField(ed.Text1, QStringLiteral("DICOM数字图像象需要提供相关基本信息，超声检查号不能为空"),
                                false);
        if (ed.Text2->text().trimmed().isEmpty())
            return ed.failField(ed.Text2, QStringLiteral("DICOM数字图像需要提供相关基本信息，姓名不能为空"), false);
        if (ed.Text3->currentText().isEmpty())
            return ed.failField(ed.Text3, QStringLiteral("DICOM数字图像需要提供相关基本信息，姓别不能为空"), false);
        if (ed.Text4->text().isEmpty())
            return ed.failField(ed.Text4, QStringLiteral("DICOM数字图像需要提供相关基本信息，年龄不能为空"), false);
        if (!ReportRecord::ParseNumber(ed.Text4->text()))
            return ed.failField(ed.Text4, QStringLiteral("年龄应该为数字，请重新输入"), true);
        // The exam number names a folder below the output folder: it must stay there.
        common.examNumber = ed.Text1->text().trimmed();
        if (!SafeFolderName(common.examNumber))
            return ed.failField(ed.Text1, QStringLiteral("检查号不能含有 / \\ : * ? \" < > | 或 ..，请重新输入"), true);
        common.patientName = ed.Text2->text().trimmed();
        common.age = ed.Text4->text().trimmed();
        common.ageUnit = ed.ComboAge->currentText().trimmed();
        common.sex = ed.Text3->currentText().trimmed();
        return checkValues();
    }

    // Each value against its DICOM attribute: too long, a character it may not
    // hold, or not of its form; the field named, a typed one focused and selected.
    bool checkValues()
    {
        const Dicom::Mismatch m = Dicom::CheckValues(common);
        switch (m.field) {
        case Dicom::Misfit::PatientId:
            return failTyped(ed.Text1, QStringLiteral("检查号"), QStringLiteral("DICOM病人ID"), Dicom::kMaxPatientId,
                             m.fit);
        case Dicom::Misfit::PatientName:
            return failTyped(ed.Text2, QStringLiteral("姓名"), QStringLiteral("DICOM病人姓名"), Dicom::kMaxNameGroup,
                             m.fit);
        case Dicom::Misfit::Institution:
            MessageBox::critical(
                QStringLiteral("机构名称最多%1个字符且不能含有控制字符（DICOM机构名称）").arg(Dicom::kMaxInstitution),
                kErrorTitle);
            return false;
        case Dicom::Misfit::Modality:
            MessageBox::critical(QStringLiteral("设备类型“%1”不是DICOM代码").arg(common.modality), kErrorTitle);
            return false;
        case Dicom::Misfit::Age: {
            // Never a file without the age the report has: the unit or the number is named.
            const bool unitKnown = Dicom::AgeString(QStringLiteral("0"), common.ageUnit).size() == 4;
            return ed.failField(
                unitKnown ? static_cast<QWidget*>(ed.Text4) : ed.ComboAge,
                QStringLiteral("年龄“%1%2”不能写入DICOM图像（DICOM年龄为0到999天、周、月或岁），请重新输入")
                    .arg(common.age, common.ageUnit),
                true);
        }
        case Dicom::Misfit::StudyId:   // a study number has at most 10 digits
        case Dicom::Misfit::None: break;
        }
        return true;
    }

    // A typed value too long for its attribute, or holding a character it may not.
    bool failTyped(QWidget* field, const QString& label, const QString& attribute, int longest, const Dicom::Fit& fit)
    {
        if (fit.kind == Dicom::Fit::Kind::Length)
            return ed.failField(
                field, QStringLiteral("%1最多%2个字符（%3），请重新输入").arg(label).arg(longest).arg(attribute), true);
        return ed.failField(field,
                            QStringLiteral("%1含有%2不允许的字符（%3），请重新输入")
                                .arg(label, attribute, TypedText::CharacterName(fit.character)),
                            true);
    }

    // The settings; port and automatic sending must be numbers even when nothing
    // is sent, and the AE title must be one when something is.
    bool takeSettings()
    {
        send.host = Modini::GetIniValue(IniKey::DicomServerIp);
        send.title = Modini::GetIniValue(IniKey::DicomServerTitle);
        QString failure;
        const auto port = settingNumber(IniKey::DicomServerPort, QStringLiteral("服务器Port"),
                                        std::numeric_limits<int>::min(), std::numeric_limits<int>::max(), &failure);
        const auto automatic =
            port ? settingNumber(IniKey::DicomAutoSend, QStringLiteral("图像转换后自动发送"),
                                 std::numeric_limits<qint16>::min(), std::numeric_limits<qint16>::max(), &failure)
                 : std::nullopt;
        if (!automatic) {
            MessageBox::critical(failure, kErrorTitle);
            return false;
        }
        send.port = int(*port);
        autoSend = *automatic;
        send.send = autoSend == 1;
        folder = Modini::GetIniValue(IniKey::DicomFolder);
        if (send.send && !Dicom::ValidTitle(send.title)) {
            MessageBox::critical(
                QStringLiteral("服务器Title应为1到%1个英文字符，请在DICOM图像发送参数中重新设置").arg(Dicom::kMaxTitle),
                kErrorTitle);
            return false;
        }
        return true;
    }

    // The study number and series id, and the study the pictures belong to.
    bool issueNumbers()
    {
        auto askJoin = [this] {
            return MessageBox::show(
                       QStringLiteral("是否加入上次转换的图像序列？和上次转换如果是同一病人请选是，否则请选否"),
                       MessageBox::kNoticeTitle, MessageBox::Icon::Information, MessageBox::Buttons::YesNo, &ed)
                   == MessageBox::Answer::Yes;
        };
        Dicom::StudyBook& book = ed.dcmStudy_;
        if (const auto f = book.issue(common.examNumber, common.patientName, askJoin, Environment::today(),
                                      QTime::currentTime())) {
            MessageBox::critical(f->text, f->title);
            return false;
        }
        common.studyId = book.DcmStudyId;
        common.seriesNumber = book.DcmSeriesNo;
        common.studyUid = book.studyUid;
        common.studyDate = book.studyDate;
        common.studyTime = book.studyTime;
        common.seriesUid = book.seriesUid;
        common.seriesDate = book.seriesDate;
        common.seriesTime = book.seriesTime;
        return true;
    }

    // The output folder, made where missing and then opened once, and the
    // exam's folder below it, made and opened through it. Either may be a
    // link in a folder that other accounts may write: another account's link
    // is not followed, and nothing is made or written where it points.
    bool makeFolders()
    {
        if (!OutputFolderUsable(folder)) {
            MessageBox::critical(QStringLiteral("存储目录不正确，请重新设置"), kErrorTitle);
            return false;
        }
        folder = CutTrailingSeparator(folder);
        PrivateFile::Folder output = PrivateFile::Folder::open(folder);
        if (output.error() == ENOENT && output.refusedLink().isEmpty()) {
            if (!ed.CreatePaths(folder))
                return false;
            output = PrivateFile::Folder::open(folder);
        }
        if (!opened(output))
            return false;
        const QByteArray entry = QFile::encodeName(common.examNumber);
        if (const int err = output.makeFolder(entry); err != 0 && err != EEXIST) {
            MessageBox::critical(ModBackup::FromErrno(err).text(), kErrorTitle);
            return false;
        }
        exam = std::make_shared<const PrivateFile::Folder>(output.openFolder(entry));
        return opened(*exam);
    }

    // False after the box that says why the folder cannot be used.
    static bool opened(const PrivateFile::Folder& f)
    {
        if (f.isOpen())
            return true;
        if (!f.refusedLink().isEmpty())
            MessageBox::critical(
                AppError::format(AppError::PathFileAccess,
                                 PrivateFile::refusedLinkText(f.refusedLink(), PrivateFile::Remedy::DicomSettings)),
                kErrorTitle);
        else
            MessageBox::critical(ModBackup::FromErrno(f.error()).text(), kErrorTitle);
        return false;
    }

    // Every selected capture in slot order, converted and sent on the thread
    // pool; each slot done is deselected as it is done.
    Dicom::Outcome convert()
    {
        QList<Dicom::Slot> pictures;
        for (size_t i = 0; i < ed.Pictmp.size(); ++i)
            if (!ed.ShapeSel[i]->isHidden() && !ed.Pictmp[i]->Tag.isEmpty())
                pictures.append({int(i), slotPicture(ed.Pictmp[i]->Tag)});
        const QString text =
            send.send ? QStringLiteral("正在转换并发送图像，请稍候……") : QStringLiteral("正在转换图像，请稍候……");
        const auto cancel = send.send ? std::make_shared<Dicom::SendCancel>() : nullptr;
        BusyDialog busy(text, int(pictures.size()), cancel, &ed);
        busy.show();
        // The dialog keeps keys and clicks away; the foot switch is told here.
        ed.dicomRunning_ = true;
        const auto running = qScopeGuard([this] { ed.dicomRunning_ = false; });
        // The task reports each slot done through the editor's events; once the
        // wait has ended, what it still reports is dropped (heard only here, on
        // the window's thread).
        QPointer<DataRecord> editor(&ed);
        QPointer<QProgressDialog> progress(&busy);
        const auto heard = std::make_shared<bool>(true);
        auto done = [editor, progress, heard](int slot, int count) {
            QMetaObject::invokeMethod(
                editor,
                [editor, progress, heard, slot, count] {
                    if (!*heard)
                        return;
                    if (editor)
                        editor->ShapeSel[size_t(slot)]->hide();
                    if (progress)
                        progress->setValue(count);
                },
                Qt::QueuedConnection);
        };
        // The watcher's report of the end, or 取消, wakes the wait. The task owns
        // what it works on: after 取消 it ends by itself (a connection being
        // made, within its timeout) and its outcome is dropped.
        QFutureWatcher<Dicom::Outcome> watcher;
        watcher.setFuture(
            QtConcurrent::run(QThreadPool::globalInstance(), [c = common, pictures, f = exam, s = send, done, cancel] {
                return Dicom::Convert(c, pictures, f, s, done, cancel);
            }));
        EventWait::until([&watcher, &cancel] { return watcher.isFinished() || (cancel && cancel->cancelled()); },
                         EventWait::kNoLimit, QEventLoop::AllEvents);
        // The task posted its slots' deselections before it finished; those the wait
        // has not yet delivered are delivered now, so none arrives after a later selection.
        QCoreApplication::sendPostedEvents(&ed, QEvent::MetaCall);
        *heard = false;
        if (!watcher.isFinished()) {
            Dicom::Outcome out;
            out.stop = Dicom::Outcome::Stop::Send;
            out.why = Dicom::cancelledReason();
            return out;
        }
        const Dicom::Outcome out = watcher.result();
        for (int slot : out.done)
            ed.ShapeSel[size_t(slot)]->hide();
        return out;
    }

    // The outcome's messages and the store's buttons.
    void finish(const Dicom::Outcome& out)
    {
        switch (out.stop) {
        case Dicom::Outcome::Stop::Convert:
            MessageBox::critical(QStringLiteral("DICOM图像转换失败：%1").arg(out.why), kErrorTitle);
            return;
        case Dicom::Outcome::Stop::Full: MessageBox::critical(kOverflow, kErrorTitle); return;
        case Dicom::Outcome::Stop::Send:
            // The sentence users know, and what actually happened.
            MessageBox::critical(
                QStringLiteral("图像发送失败，请检查网络和发送参数是否正确，操作取消\n原因：%1").arg(out.why),
                kErrorTitle);
            return;
        case Dicom::Outcome::Stop::None: break;
        }
        ed.setStoreButtons(false);
        if (autoSend == 1)
            MessageBox::information(QStringLiteral("转换完成并发送成功！"), MessageBox::kNoticeTitle);
        else if (autoSend == 0)
            MessageBox::information(QStringLiteral("转换完成！"), MessageBox::kNoticeTitle);
    }
};

void DataRecord::forgetDicomStudy() { dcmStudy_.forget(); }

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

// The question, the patient fields, the settings, the numbers (all checked
// before any counter moves but the folder), the folders, then the pictures.
void DataRecord::ButtonConvert_Click()
{
    ensureLoaded();
    settleCaptures();
    if (MessageBox::show(QStringLiteral("请确认是否将选中的图像转换为相应的DICOM数字图像？"), MessageBox::kNoticeTitle,
                         MessageBox::Icon::Information, MessageBox::Buttons::YesNo, this)
        != MessageBox::Answer::Yes)
        return;
    DicomCommand command{*this, {}, {}, 0, {}, {}};
    if (!command.takeFields() || !command.takeSettings() || !command.issueNumbers() || !command.makeFolders())
        return;
    command.finish(command.convert());
}
