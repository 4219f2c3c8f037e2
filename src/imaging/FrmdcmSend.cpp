#include "imaging/FrmdcmSend.h"

#include "core/Modini.h"
#include "core/NumberText.h"
#include "core/QvButton.h"
#include "core/SkinPaint.h"
#include "core/SkinPanel.h"
#include "core/TypedText.h"
#include "platform/AppPaths.h"
#include "platform/MessageBox.h"
#include "platform/Opener.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>

#include <cmath>

FrmdcmSend& FrmdcmSend::instance()
{
    static FrmdcmSend* dialog = new FrmdcmSend();
    return *dialog;
}

FrmdcmSend::FrmdcmSend(QWidget* parent) : QDialog(parent)
{
    setWindowTitle(QStringLiteral("DICOM图像发送参数"));
    setFixedSize(360, 226);
    Picdata = new PaintPanel(this);
    Picdata->setObjectName(QStringLiteral("Picdata"));
    Picdata->setGeometry(8, 8, 344, 162);
    const QString captions[] = {QStringLiteral("服务器IP："), QStringLiteral("服务器Title："),
                                QStringLiteral("服务器Port：")};
    const QString names[] = {QStringLiteral("TxtIp"), QStringLiteral("TxtTitle"), QStringLiteral("TxtPort")};
    QLabel** labels[] = {&Label1, &Label2, &Label3};
    QLineEdit** boxes[] = {&TxtIp, &TxtTitle, &TxtPort};
    for (int i = 0; i < 3; ++i) {
        auto* l = new QLabel(captions[i], Picdata);
        l->setObjectName(QStringLiteral("Label%1").arg(i + 1));
        l->setGeometry(16, 16 + i * 36, 100, 24);
        *labels[i] = l;
        auto* t = new QLineEdit(Picdata);
        t->setObjectName(names[i]);
        t->setGeometry(116, 16 + i * 36, 208, 24);
        *boxes[i] = t;
    }
    Chksend = new QCheckBox(QStringLiteral("图像转换后自动发送"), Picdata);
    Chksend->setObjectName(QStringLiteral("Chksend"));
    Chksend->setGeometry(116, 124, 208, 24);
    ButtnSave = new QvButton(QStringLiteral("保 存"), this);
    ButtnSave->setObjectName(QStringLiteral("ButtnSave"));
    ButtnSave->setGeometry(168, 182, 86, 32);
    ButtnQuit = new QvButton(QStringLiteral("退 出"), this);
    ButtnQuit->setObjectName(QStringLiteral("ButtnQuit"));
    ButtnQuit->setGeometry(264, 182, 86, 32);
    connect(ButtnSave, &QvButton::clicked, this, [this] { ButtnSave_Click(); });
    connect(ButtnQuit, &QvButton::clicked, this, [this] { ButtnQuit_Click(); });
}

int FrmdcmSend::showModally()
{
    Form_Load();
    return Opener::showModal(this);
}

void FrmdcmSend::Form_Load()
{
    Skin::ApplyDialogSkin(this, Picdata, {ButtnSave, ButtnQuit});
    LoadSendSettings();
}

void FrmdcmSend::LoadSendSettings()
{
    TxtIp->setText(Modini::GetIniValue(IniKey::DicomServerIp));
    TxtTitle->setText(Modini::GetIniValue(IniKey::DicomServerTitle));
    TxtPort->setText(Modini::GetIniValue(IniKey::DicomServerPort));
    // Only 1 sends; a missing, empty or other value shows the box clear.
    const auto send = Modini::GetIniNumber(IniKey::DicomAutoSend);
    Chksend->setChecked(send && std::floor(*send) == 1.0);
}

void FrmdcmSend::ButtnSave_Click()
{
    if (!TypedText::LinesClean({{TxtIp, QStringLiteral("服务器IP")}, {TxtTitle, QStringLiteral("服务器Title")}}))
        return;
    if (!NumberText::Parse(TxtPort->text())) {
        MessageBox::show(QStringLiteral("服务器端口号必须为数字"), MessageBox::kNoticeTitle,
                         MessageBox::Icon::Information, MessageBox::Buttons::Ok, this);
        TxtPort->setFocus();
        TxtPort->selectAll();
        return;
    }
    // The four keys are written in one go: all of them or none.
    IniFile ini = IniFile::forSaving(AppPaths::iniFile());
    if (!ini.unreadable()) {
        auto set = [&ini](const IniSetting& s, const QString& v) { ini.setValue(s.section, s.key, v); };
        set(IniKey::DicomServerIp, TxtIp->text().trimmed());
        set(IniKey::DicomServerTitle, TxtTitle->text().trimmed());
        set(IniKey::DicomServerPort, TxtPort->text().trimmed());
        set(IniKey::DicomAutoSend, Chksend->isChecked() ? QStringLiteral("1") : QStringLiteral("0"));
    }
    if (!ini.save()) {   // refuses an unreadable file and says why
        MessageBox::critical(ini.failureText(), MessageBox::kErrorTitle);
        return;
    }
    accept();
}

void FrmdcmSend::ButtnQuit_Click() { reject(); }
