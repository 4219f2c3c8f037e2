#include "core/FrmPassword.h"

#include "core/Mmain.h"
#include "core/QvButton.h"
#include "core/SkinPaint.h"
#include "core/SkinPanel.h"
#include "core/SkinWindows.h"
#include "core/Database.h"
#include "core/ModPassword.h"
#include "platform/MessageBox.h"

#include <QLabel>
#include <QLineEdit>

FrmPassword::FrmPassword(QWidget* parent) : QDialog(parent)
{
    setWindowTitle(QStringLiteral("密码设置"));
    setFixedSize(340, 200);
    Picdata = new PaintPanel(this);
    Picdata->setObjectName(QStringLiteral("Picdata"));
    Picdata->setGeometry(8, 8, 324, 130);
    const QString labels[] = {QStringLiteral("原密码："), QStringLiteral("新密码："), QStringLiteral("确认密码：")};
    QLineEdit** boxes[] = {&Text1, &Text2, &Text3};
    for (int i = 0; i < 3; ++i) {
        auto* l = new QLabel(labels[i], Picdata);
        l->setGeometry(16, 16 + i * 36, 80, 24);
        auto* t = new QLineEdit(Picdata);
        t->setObjectName(QStringLiteral("Text%1").arg(i + 1));
        t->setGeometry(100, 16 + i * 36, 200, 24);
        ModPassword::MaskWithStars(t);
        *boxes[i] = t;
    }
    ButtnSave = new QvButton(QStringLiteral("保 存"), this);
    ButtnSave->setObjectName(QStringLiteral("ButtnSave"));
    ButtnSave->setGeometry(148, 152, 86, 32);
    ButtnQuit = new QvButton(QStringLiteral("退 出"), this);
    ButtnQuit->setObjectName(QStringLiteral("ButtnQuit"));
    ButtnQuit->setGeometry(244, 152, 86, 32);
    connect(ButtnSave, &QvButton::clicked, this, [this] { ButtnSave_Click(); });
    connect(ButtnQuit, &QvButton::clicked, this, [this] { ButtnQuit_Click(); });
}

void FrmPassword::Form_Load() { Skin::ApplyDialogSkin(this, Picdata, {ButtnSave, ButtnQuit}); }

void FrmPassword::ButtnSave_Click()
{
    if (Text2->text() != Text3->text()) {
        MessageBox::critical(QStringLiteral("两次输入的新密码不一致，请从新输入"), MessageBox::kErrorTitle);
        Text2->clear();
        Text3->clear();
        Text2->setFocus();
        return;
    }
    const QueryResult r = ModPassword::ReadUser(Mmain::gUserId);
    if (!r.hasRows()) {
        MessageBox::critical(r.description, MessageBox::kSystemErrorTitle);
        return;
    }
    if (!ModPassword::PasswordMatches(r.data->value(0, 2), Text1->text())) {
        MessageBox::critical(QStringLiteral("输入的原密码不正确，请重新输入"), MessageBox::kErrorTitle);
        Text1->setFocus();
        return;
    }
    const QVariant stored = ModPassword::HashPassword(Text2->text());
    if (!stored.isValid()) {
        MessageBox::critical(QStringLiteral("无法生成密码摘要"), MessageBox::kSystemErrorTitle);
        return;
    }
    const QueryResult u = ModPassword::StorePassword(Mmain::gUserId, stored);
    if (!u.ok()) {
        MessageBox::critical(u.description, MessageBox::kSystemErrorTitle);
        return;
    }
    accept();
}

void FrmPassword::ButtnQuit_Click() { reject(); }
