#include "core/FrmAbout.h"

#include "core/Mmain.h"
#include "core/QvButton.h"
#include "core/SkinPaint.h"
#include "core/SkinPanel.h"
#include "core/SkinWindows.h"

#include <QLabel>

FrmAbout::FrmAbout(QWidget* parent) : QDialog(parent)
{
    setWindowTitle(QStringLiteral("关于本软件"));
    setFixedSize(360, 220);
    Picdata = new PaintPanel(this);
    Picdata->setObjectName(QStringLiteral("Picdata"));
    Picdata->setGeometry(8, 8, 344, 156);
    Label1 = new QLabel(QString::fromLatin1(Mmain::kProgramName), Picdata);
    QFont big = Label1->font();
    big.setPointSize(big.pointSize() + 8);
    big.setBold(true);
    Label1->setFont(big);
    Label1->setGeometry(24, 14, 300, 40);
    Label2 = new QLabel(QStringLiteral("版  本： V4.0b"), Picdata);
    Label2->setGeometry(24, 62, 300, 22);
    Label3 = new QLabel(QStringLiteral("X 线室报告工作站"), Picdata);
    Label3->setGeometry(24, 88, 300, 22);
    Label4 = new QLabel(QStringLiteral("本软件仅供本院放射科使用。"), Picdata);
    Label4->setGeometry(24, 114, 300, 22);
    ButtnSave = new QvButton(QStringLiteral("关 闭"), this);
    ButtnSave->setObjectName(QStringLiteral("ButtnSave"));
    ButtnSave->setGeometry(266, 176, 86, 32);
    connect(ButtnSave, &QvButton::clicked, this, [this] { ButtnSave_Click(); });
}

void FrmAbout::Form_Load() { Skin::FrmAboutApplyDialogSkin(this, Picdata, ButtnSave); }

void FrmAbout::ButtnSave_Click() { accept(); }
