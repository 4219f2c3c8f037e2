#include "core/FrmJCpz.h"

#include "core/Mmain.h"
#include "core/QvButton.h"
#include "core/SkinPaint.h"
#include "core/SkinPanel.h"
#include "core/SkinWindows.h"
#include "core/Modini.h"
#include "core/TypedText.h"
#include "platform/MessageBox.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>

FrmJCpz::FrmJCpz(QWidget* parent) : QDialog(parent)
{
    setWindowTitle(QStringLiteral("系统设置"));
    setFixedSize(400, 200);
    Picdata = new PaintPanel(this);
    Picdata->setObjectName(QStringLiteral("Picdata"));
    Picdata->setGeometry(8, 8, 384, 130);
    auto* l1 = new QLabel(QStringLiteral("医院名称："), Picdata);
    l1->setGeometry(16, 18, 80, 24);
    Text1 = new QLineEdit(Picdata);
    Text1->setObjectName(QStringLiteral("Text1"));
    Text1->setGeometry(100, 18, 260, 24);
    auto* l2 = new QLabel(QStringLiteral("机器名称："), Picdata);
    l2->setGeometry(16, 54, 80, 24);
    Text2 = new QLineEdit(Picdata);
    Text2->setObjectName(QStringLiteral("Text2"));
    Text2->setGeometry(100, 54, 260, 24);
    Checkkz = new QCheckBox(QStringLiteral("编辑报告框适应窗口大小"), Picdata);
    Checkkz->setObjectName(QStringLiteral("Checkkz"));
    Checkkz->setGeometry(100, 90, 260, 24);
    ButtnSave = new QvButton(QStringLiteral("保 存"), this);
    ButtnSave->setObjectName(QStringLiteral("ButtnSave"));
    ButtnSave->setGeometry(208, 152, 86, 32);
    ButtnQuit = new QvButton(QStringLiteral("退 出"), this);
    ButtnQuit->setObjectName(QStringLiteral("ButtnQuit"));
    ButtnQuit->setGeometry(304, 152, 86, 32);
    connect(ButtnSave, &QvButton::clicked, this, [this] { ButtnSave_Click(); });
    connect(ButtnQuit, &QvButton::clicked, this, [this] { ButtnQuit_Click(); });
}

void FrmJCpz::Form_Load()
{
    Skin::ApplyDialogSkin(this, Picdata, {ButtnSave, ButtnQuit});
    Text1->setText(Mmain::gHospitalName);
    Text2->setText(Modini::GetIniValue(IniKey::Machine));
    // Only "1" ticks the box; a missing or odd value reads as clear.
    const QString kz = Modini::GetIniValue(IniKey::LayoutMode);
    Checkkz->setChecked(kz.trimmed() == QLatin1String("1"));
}

void FrmJCpz::ButtnSave_Click()
{
    // The hospital name heads every printed report, the machine name is stored with each.
    if (!TypedText::LinesClean({{Text1, QStringLiteral("医院名称")}, {Text2, QStringLiteral("机器名称")}}))
        return;
    if (Text1->text().isEmpty()) {
        MessageBox::critical(QStringLiteral("医院名称不能为空"), MessageBox::kErrorTitle);
        return;
    }
    if (Text2->text().isEmpty()) {
        MessageBox::critical(QStringLiteral("机器名称不能为空"), MessageBox::kErrorTitle);
        return;
    }
    // The three settings in one write: a file that cannot be written keeps
    // every old value, and so does the program.
    const bool written = Modini::SetIniValues({
        {IniKey::HospitalName, Text1->text()},
        {IniKey::Machine, Text2->text()},
        {IniKey::LayoutMode, Checkkz->isChecked() ? QStringLiteral("1") : QStringLiteral("0")},
    });
    if (!written) {
        Modini::TellNotSaved(this);
        return;
    }
    Mmain::gHospitalName = Text1->text();
    accept();
}

void FrmJCpz::ButtnQuit_Click() { reject(); }
