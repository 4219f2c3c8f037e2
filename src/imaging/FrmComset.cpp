#include "imaging/FrmComset.h"

#include "core/Modini.h"
#include "core/NumberText.h"
#include "core/QvButton.h"
#include "core/SkinPaint.h"
#include "core/SkinPanel.h"
#include "imaging/FootSwitch.h"
#include "platform/AppError.h"
#include "platform/MessageBox.h"

#include <QComboBox>
#include <QFileInfo>
#include <QAbstractItemView>
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
        Comport->addItem(QStringLiteral("COM%1").arg(n), QString::number(n));
    // USB serial adapters plugged in now follow the built-in ports.
    for (const FootSwitch::Adapter& a : FootSwitch::adapters())
        Comport->addItem(a.caption, a.setting);
    LoadComport();
    // The list is as wide as its longest name (an adapter's stable name can be long).
    Comport->view()->setMinimumWidth(Comport->view()->sizeHintForColumn(0) + 8);
}

void FrmComset::LoadComport()
{
    const QString stored = Modini::GetIniValue(IniKey::ComPort).trimmed();
    if (const auto port = NumberText::ParseWhole(stored)) {
        Comport->setCurrentIndex(Comport->findData(QString::number(*port)));
        return;
    }
    // An adapter: selected even while it is unplugged, so the window shows what is set.
    if (FootSwitch::devicePath(stored).isEmpty()) {
        Comport->setCurrentIndex(-1);
        return;
    }
    int i = Comport->findData(stored);
    // Kept by its device name while the list shows its stable name, or the other way round.
    const QString device = QFileInfo(stored).canonicalFilePath();
    for (int j = 8; i < 0 && !device.isEmpty() && j < Comport->count(); ++j)
        if (QFileInfo(Comport->itemData(j).toString()).canonicalFilePath() == device)
            i = j;
    if (i < 0) {
        Comport->addItem(QStringLiteral("（未连接）") + FootSwitch::adapterName(stored), stored);
        i = Comport->count() - 1;
    }
    Comport->setCurrentIndex(i);
}

void FrmComset::ButtnSave_Click()
{
    try {
        if (Comport->currentIndex() < 0)
            throw AppError(kNoPortChosen, QStringLiteral("没有选择连接端口"));
        const QString port = Comport->currentData().toString();
        MSComm1 = FootSwitch::makePort();
        MSComm1->open(port);
        if (!Modini::SetIniValue(IniKey::ComPort, port))
            throw AppError(AppError::PathFileAccess, Modini::LastFailureText());
        MSComm1->close();
        accept();
    } catch (const AppError& e) {
        if (MSComm1)
            MSComm1->close();
        MessageBox::critical(e.text(), MessageBox::kErrorTitle);
    }
}

void FrmComset::ButtnQuit_Click() { reject(); }
