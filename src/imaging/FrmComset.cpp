#include "imaging/FrmComset.h"

#include "core/Modini.h"
#include "core/QvButton.h"
#include "core/SkinPaint.h"
#include "core/SkinPanel.h"
#include "imaging/FootSwitch.h"
#include "platform/AppError.h"
#include "platform/MessageBox.h"

#include <QComboBox>
#include <QLabel>

namespace {
// Saving with no port chosen: the number the program has always shown for
// reading the item data of no list item (an invalid list index).
constexpr int kNoPortChosen = 381;
}

FrmComset& FrmComset::instance()
{
    static FrmComset* window = new FrmComset();
    return *window;
}

FrmComset::FrmComset() : QDialog(nullptr)
{
    setWindowTitle(QStringLiteral("脚踏开关端口设置"));
    setFixedSize(300, 130);
    Picdata = new PaintPanel(this);
    Picdata->setObjectName(QStringLiteral("Picdata"));
    Picdata->setGeometry(8, 8, 284, 68);
    Label1 = new QLabel(QStringLiteral("连接端口："), Picdata);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setGeometry(24, 22, 80, 24);
    Comport = new QComboBox(Picdata);
    Comport->setObjectName(QStringLiteral("Comport"));
    Comport->setGeometry(108, 22, 150, 24);
    ButtnSave = new QvButton(QStringLiteral("保 存"), this);
    ButtnSave->setObjectName(QStringLiteral("ButtnSave"));
    ButtnSave->setGeometry(110, 88, 86, 30);
    ButtnQuit = new QvButton(QStringLiteral("退 出"), this);
    ButtnQuit->setObjectName(QStringLiteral("ButtnQuit"));
    ButtnQuit->setGeometry(206, 88, 86, 30);
    connect(ButtnSave, &QvButton::clicked, this, &FrmComset::ButtnSave_Click);
    connect(ButtnQuit, &QvButton::clicked, this, &FrmComset::ButtnQuit_Click);
}

void FrmComset::Form_Load()
{
    Skin::ApplyDialogSkin(this, Picdata, {ButtnSave, ButtnQuit});
    Comport->clear();
    for (int n = 1; n <= 8; ++n)
        Comport->addItem(QStringLiteral("COM%1").arg(n), n);
    LoadComport();
}

void FrmComset::LoadComport()
{
    bool ok = false;
    const int port = Modini::GetIniValue(IniKey::ComPort).trimmed().toInt(&ok);
    Comport->setCurrentIndex(ok ? Comport->findData(port) : -1);
}

void FrmComset::ButtnSave_Click()
{
    try {
        if (Comport->currentIndex() < 0)
            throw AppError(kNoPortChosen, QStringLiteral("没有选择连接端口"));
        const int port = Comport->currentData().toInt();
        MSComm1 = FootSwitch::makePort();
        MSComm1->open(port);
        if (!Modini::SetIniValue(IniKey::ComPort, QString::number(port)))
            throw AppError(AppError::PathFileAccess, QStringLiteral("无法写入设置文件 options.ini"));
        MSComm1->close();
        accept();
    } catch (const AppError& e) {
        if (MSComm1)
            MSComm1->close();
        MessageBox::critical(e.text(), MessageBox::kErrorTitle);
    }
}

void FrmComset::ButtnQuit_Click() { reject(); }
