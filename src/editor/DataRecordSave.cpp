// Save with validation, delete and print of the editor's record.
#include "editor/DataRecord.h"
#include "editor/ReportLoader.h"

#include "core/Mmain.h"
#include "core/Database.h"
#include "core/ReportStore.h"
#include "core/TypedText.h"
#include "core/Openers.h"
#include "platform/AppPaths.h"
#include "platform/Environment.h"
#include "report/ProgramPrinter.h"
#include "platform/MessageBox.h"
#include "platform/PrivateFile.h"

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTextCursor>
#include <exception>

using namespace ReportRecord;
using Mmain::gRights;

namespace {
void selectAllOf(QWidget* w)
{
    if (auto* e = qobject_cast<QLineEdit*>(w))
        e->selectAll();
    else if (auto* c = qobject_cast<QComboBox*>(w); c && c->lineEdit())
        c->lineEdit()->selectAll();
}
}

bool DataRecord::failField(QWidget* field, const QString& message, bool selectAll)
{
    MessageBox::critical(message, MessageBox::kErrorTitle);
    field->setFocus();
    if (selectAll)
        selectAllOf(field);
    return false;
}

bool DataRecord::ValidateRecord()
{
    if (Text1->text().trimmed().isEmpty())
        return failField(Text1, QStringLiteral("X线号不能为空"), false);
    if (Text2->text().trimmed().isEmpty())
        return failField(Text2, QStringLiteral("病人姓名不能为空"), false);
    if (Text3->currentText().isEmpty())
        return failField(Text3, QStringLiteral("病人姓别不能为空"), false);
    if (Text4->text().isEmpty())
        return failField(Text4, QStringLiteral("年龄不能为空"), false);
    const std::optional<double> years = ParseNumber(Text4->text());
    if (!years)
        return failField(Text4, QStringLiteral("年龄应该为数字"), true);
    if (*years < 0)
        return failField(Text4, QStringLiteral("年龄不能为负数，请重新输入"), true);
    const QString unit = ComboAge->currentText();
    if (unit.isEmpty())
        return failField(ComboAge, QStringLiteral("年龄单位不能为空"), false);
    if (unit != QStringLiteral("天") && unit != QStringLiteral("月") && unit != QStringLiteral("岁"))
        return failField(ComboAge, QStringLiteral("年龄单位不正确，请重新填写"), true);
    if (Text9->text().isEmpty())
        return failField(Text9, QStringLiteral("报告日期不能为空"), false);
    if (!ParseDate(Text9->text()))
        return failField(Text9, QStringLiteral("报告日期格式不正确，请按照“yyyy-mm-dd”填写"), true);
    if (Text10->text().isEmpty())
        return failField(Text10, QStringLiteral("检查次数不能为空"), false);
    if (!ParseNumber(Text10->text()))
        return failField(Text10, QStringLiteral("检查次数应该为数字"), true);
    if (Text12->currentText().isEmpty())
        return failField(Text12, QStringLiteral("检查医师不能为空"), false);
    if (!Text13->text().isEmpty() && !ParseNumber(Text13->text()))
        return failField(Text13, QStringLiteral("收费金额应该为数字"), true);
    return typedTextsClean();
}

namespace {
// The window that keeps the values a list field offers.
QString listOrigin(int field)
{
    switch (field) {
    case sectionoffice: return QStringLiteral("科室设置");
    case utpatientid: return QStringLiteral("申请医师设置");
    case pgdr:
    case rpdr: return QStringLiteral("用户管理");
    case part: return QStringLiteral("检查部位设置");
    default: return QString();
    }
}

// Whether the refused character came with an entry of the box's list (a part
// list joins several entries with ","): only the window that keeps the list
// can correct it.
bool fromList(const QComboBox* box, const QString& text, char32_t ch)
{
    const QString bad = QString::fromUcs4(&ch, 1);
    for (int i = 0; i < box->count(); ++i) {
        const QString entry = box->itemText(i);
        if (entry.contains(bad) && text.contains(entry))
            return true;
    }
    return false;
}
}

bool DataRecord::typedTextsClean()
{
    // Every field by the one rule of what a typed text may hold, in the order of
    // the report items; the findings and the diagnosis keep line breaks and tabs.
    const std::array<QLabel*, 21> labels = itemLabels();
    for (size_t item = 0; item < labels.size(); ++item) {
        const int field = kItemFields[item];
        for (const int f : {field, field == age ? int(ageunit) : 0}) {
            QWidget* box = control(f);
            auto* free = qobject_cast<QPlainTextEdit*>(box);
            if (!free && !qobject_cast<QLineEdit*>(box) && !qobject_cast<QComboBox*>(box))
                continue;
            const QString text = controlText(f);
            const auto refused = TypedText::FirstRefused(text, free ? TypedText::Kind::Free : TypedText::Kind::OneLine);
            if (!refused)
                continue;
            const QString name = TypedText::FieldName(labels[item]->text());
            const auto* list = qobject_cast<QComboBox*>(box);
            const QString origin = listOrigin(f);
            if (list && !origin.isEmpty() && fromList(list, text, refused->character))
                return failField(box, TypedText::RefusedStoredText(name, refused->character, origin), false);
            failField(box, TypedText::RefusedText(name, refused->character), !free);
            if (free) {
                QTextCursor at = free->textCursor();
                at.setPosition(int(refused->at));
                free->setTextCursor(at);
            }
            return false;
        }
    }
    return true;
}

Texts DataRecord::recordTexts() const
{
    Texts t;
    for (int f = 1; f <= 24; ++f)
        if (control(f))
            t[f] = controlText(f);
    return t;
}

void DataRecord::ButtnSave_Click()
{
    settleCaptures();
    if (!editing())
        return;
    if (!ValidateRecord())
        return;
    const bool insert = editMode_ == EditMode::Insert;
    if (!insert && editMode_ != EditMode::Update) {
        MessageBox::critical(QStringLiteral("保存方式未设置，不能保存报告"), MessageBox::kErrorTitle);
        return;
    }
    std::optional<qint64> key;
    if (!insert) {
        key = ParseKey(recordKey_);
        if (!key) {
            MessageBox::critical(QueryResult::kNoRows, MessageBox::kErrorTitle);
            return;
        }
    }

    // Every slot file is read before anything is written. An empty slot
    // clears its field, except on an update where the stored picture could
    // not be shown when the record was opened: that one is kept.
    ReportStore::PictureWrites pictures;
    for (size_t k = 0; k < pictures.size(); ++k) {
        const QString path = Picload[k]->Tag;
        if (path.isEmpty()) {
            if (insert || !keepStored_[k])
                pictures[k] = QVariant();
            continue;
        }
        QFile f(path);
        if (!f.open(QIODevice::ReadOnly)) {
            MessageBox::critical(QStringLiteral("无法读取报告图像%1：%2\r\n%3").arg(k + 1).arg(path, f.errorString()),
                                 MessageBox::kErrorTitle);
            return;
        }
        pictures[k] = QVariant(f.readAll());
    }

    // The store announces the save to every list that shows reports, whichever
    // window opened the editor: a list that shows the report rewrites its row,
    // the day list of today takes a new report.
    const Texts texts = recordTexts();
    const ReportStore::SaveResult saved = insert ? ReportStore::Insert(texts, machine_, Environment::today(), pictures)
                                                 : ReportStore::Update(*key, texts, machine_, pictures);
    if (!saved.result.ok()) {
        MessageBox::critical(saved.result.description, MessageBox::kErrorTitle);
        return;
    }

    if (insert)
        recordKey_ = QString::number(saved.key);
    PrivateFile::makeFolder(AppPaths::imageFolder());
    setState(EditState::viewing(true, gRights[Mmain::RightViewPrint]));
    closePhrasePanel();
}

void DataRecord::closePhrasePanel()
{
    for (int k = 0; k < Labelzych.size(); ++k)
        setPhraseCaption(k, QString());
    phraseFilled_ = 0;
    setPhrasePanel(phraseTopTw_, 0);
}

void DataRecord::ButtnDel_Click()
{
    ensureLoaded();
    if (recordKey_.isEmpty()) {
        MessageBox::critical(QStringLiteral("新建状态下不能删除报告记录"), MessageBox::kSystemErrorTitle);
        return;
    }
    if (!ReportStore::MayChange(Text12->currentText())) {
        MessageBox::information(QStringLiteral("你没有删除其他人所建报告的权限，操作取消"), MessageBox::kNoticeTitle);
        return;
    }
    if (MessageBox::show(QStringLiteral("你将删除本报告,删除后将不能恢复,请确认是否删除?"), MessageBox::kNoticeTitle,
                         MessageBox::Icon::None, MessageBox::Buttons::OkCancel, this)
        != MessageBox::Answer::Ok)
        return;
    // The store announces the delete: every list that shows the report removes its row.
    const QueryResult r = ReportStore::Delete(recordKey_);
    if (!r.ok()) {
        MessageBox::critical(r.description, MessageBox::kSystemErrorTitle);
        return;
    }
    setState(EditState{EditState::Stage::Empty});
    resetRecordValues();
    clearSlots();
    ReportLoader::RemoveSlotFiles();   // the deleted report's pictures go with it
    recordKey_.clear();
}

void DataRecord::ButtnPrint_Click()
{
    ensureLoaded();
    if (!Environment::anyPrinterInstalled()) {
        MessageBox::critical(PrintQueue::noPrinterText(QStringLiteral("未打印机，安装打印机后才能使用打印设置功能。"),
                                                       ProgramPrinter::backend().serviceDown()),
                             MessageBox::kErrorTitle);
        return;
    }
    if (Text1->text().isEmpty() || Text1->isEnabled()) {
        MessageBox::critical(QStringLiteral("新建状态或修改状态下不能进行此操作，请保存报告后打印"),
                             MessageBox::kErrorTitle);
        return;
    }
    try {
        Openers::OpenPreview(Openers::How::FromEditor, recordKey_);
    } catch (const AppError& e) {
        MessageBox::critical(e.trapText(), MessageBox::kErrorTitle);
    } catch (const std::exception& e) {
        MessageBox::critical(AppError(-1, QString::fromUtf8(e.what())).trapText(), MessageBox::kErrorTitle);
    }
}
