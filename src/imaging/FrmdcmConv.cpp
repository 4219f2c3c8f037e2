#include "imaging/FrmdcmConv.h"

#include "core/Database.h"
#include "core/Modini.h"
#include "core/QvButton.h"
#include "core/SkinPaint.h"
#include "core/SkinPanel.h"
#include "core/TypedText.h"
#include "imaging/DicomSettings.h"
#include "platform/AppPaths.h"
#include "platform/FileDialogs.h"
#include "platform/MessageBox.h"
#include "platform/Opener.h"

#include <QLabel>
#include <QLineEdit>

using namespace DicomSettings;

FrmdcmConv& FrmdcmConv::instance()
{
    static FrmdcmConv* dialog = new FrmdcmConv();
    return *dialog;
}

FrmdcmConv::FrmdcmConv(QWidget* parent) : QDialog(parent)
{
    setWindowTitle(QStringLiteral("DICOM图像转换参数"));
    setFixedSize(420, 196);
    Picdata = new PaintPanel(this);
    Picdata->setObjectName(QStringLiteral("Picdata"));
    Picdata->setGeometry(8, 8, 404, 132);
    const QString captions[] = {QStringLiteral("检查序号(StudyUId)："), QStringLiteral("序列序号(SeriesUId)："),
                                QStringLiteral("转换文件存储目录：")};
    QLabel** labels[] = {&Label1, &Label2, &Label3};
    QLineEdit** boxes[] = {&Text1, &Text2, &Text3};
    for (int i = 0; i < 3; ++i) {
        auto* l = new QLabel(captions[i], Picdata);
        l->setObjectName(QStringLiteral("Label%1").arg(i + 1));
        l->setGeometry(12, 16 + i * 38, 140, 24);
        *labels[i] = l;
        auto* t = new QLineEdit(Picdata);
        t->setObjectName(QStringLiteral("Text%1").arg(i + 1));
        t->setGeometry(152, 16 + i * 38, i == 2 ? 200 : 236, 24);
        *boxes[i] = t;
    }
    ButtnDir = new QvButton(QStringLiteral("..."), Picdata);
    ButtnDir->setObjectName(QStringLiteral("ButtnDir"));
    ButtnDir->setGeometry(358, 16 + 2 * 38, 30, 24);
    ButtnSave = new QvButton(QStringLiteral("保 存"), this);
    ButtnSave->setObjectName(QStringLiteral("ButtnSave"));
    ButtnSave->setGeometry(228, 152, 86, 32);
    ButtnQuit = new QvButton(QStringLiteral("退 出"), this);
    ButtnQuit->setObjectName(QStringLiteral("ButtnQuit"));
    ButtnQuit->setGeometry(324, 152, 86, 32);
    connect(ButtnDir, &QvButton::clicked, this, [this] { ButtnDir_Click(); });
    connect(ButtnSave, &QvButton::clicked, this, [this] { ButtnSave_Click(); });
    connect(ButtnQuit, &QvButton::clicked, this, [this] { ButtnQuit_Click(); });
}

int FrmdcmConv::showModally()
{
    Form_Load();
    return Opener::showModal(this);
}

void FrmdcmConv::ApplyDialogSkin() { Skin::ApplyDialogSkin(this, Picdata, {ButtnSave, ButtnQuit, ButtnDir}); }

void FrmdcmConv::Form_Load()
{
    ApplyDialogSkin();
    for (QLineEdit* t : {Text1, Text2, Text3})
        t->clear();
    QString failure;
    const auto study = ReadCounter(kStudyCounter, &failure);
    if (!study) {
        MessageBox::critical(failure, MessageBox::kErrorTitle);
        return;
    }
    Text1->setText(QString::number(*study));
    const auto series = ReadCounter(kSeriesCounter, &failure);
    if (!series) {
        MessageBox::critical(failure, MessageBox::kErrorTitle);
        return;
    }
    Text2->setText(QString::number(*series));
    LoadDcmDir();
}

void FrmdcmConv::LoadDcmDir() { Text3->setText(Modini::GetIniValue(IniKey::DicomFolder)); }

void FrmdcmConv::ButtnDir_Click()
{
    const QString chosen =
        FileDialogs::getExistingDirectory(this, QStringLiteral("请选择文件夹"), Text3->text().trimmed());
    if (!chosen.isEmpty())
        Text3->setText(chosen);
}

bool FrmdcmConv::refuse(QLineEdit* field, const QString& text)
{
    MessageBox::critical(text, MessageBox::kErrorTitle);
    field->setFocus();
    field->selectAll();
    return false;
}

void FrmdcmConv::ButtnSave_Click()
{
    const QString folder = Text3->text().trimmed();
    if (const auto refused = TypedText::FirstRefused(folder, TypedText::Kind::OneLine)) {
        refuse(Text3, TypedText::RefusedText(QStringLiteral("转换文件存储目录"), refused->character));
        return;
    }
    if (!OutputFolderUsable(folder)) {
        refuse(Text3, QStringLiteral("存储目录不正确，请重新设置"));
        return;
    }
    static const QString special = QStringLiteral("?*<>|\"");
    for (QChar c : folder)
        if (special.contains(c)) {
            refuse(Text3, QStringLiteral("存储目录有特殊字符，请重新设置"));
            return;
        }
    const auto study = CounterText(Text1->text());
    if (!study) {
        refuse(Text1, QStringLiteral("检查序号应该为0到%1之间的整数，请重新输入").arg(kCounterMax));
        return;
    }
    const auto series = CounterText(Text2->text());
    if (!series) {
        refuse(Text2, QStringLiteral("序列序号应该为0到%1之间的整数，请重新输入").arg(kCounterMax));
        return;
    }
    if (store(*study, *series, folder))
        accept();
}

// Both counters and the folder are stored together or not at all.
bool FrmdcmConv::store(int study, int series, const QString& folder)
{
    Database::Transaction t;
    if (!t.started()) {
        MessageBox::critical(t.beginResult().description, MessageBox::kSystemErrorTitle);
        return false;
    }
    for (const auto& [value, name] : {std::pair{study, kStudyCounter}, std::pair{series, kSeriesCounter}}) {
        const QueryResult r = WriteCounter(name, value);
        if (!r.ok()) {
            MessageBox::critical(r.description, MessageBox::kSystemErrorTitle);
            return false;
        }
    }
    IniFile ini = IniFile::forSaving(AppPaths::iniFile());
    const IniSetting& key = IniKey::DicomFolder;
    const QString before = ini.value(key.section, key.key);
    ini.setValue(key.section, key.key, folder);
    if (!ini.save()) {   // refuses an unreadable file and says why
        MessageBox::critical(ini.failureText(), MessageBox::kErrorTitle);
        return false;
    }
    const QueryResult done = t.commit();
    if (!done.ok()) {
        ini.setValue(key.section, key.key, before);
        ini.save();
        MessageBox::critical(done.description, MessageBox::kSystemErrorTitle);
        return false;
    }
    return true;
}

void FrmdcmConv::ButtnQuit_Click() { reject(); }
