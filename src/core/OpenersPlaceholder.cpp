// Commands whose windows are not part of this build yet say so plainly.
#include "core/Openers.h"

#include "platform/MessageBox.h"
#include "refdata/RefdataOpeners.h"

#include <QHash>

namespace Openers {

void NotAvailable(const QString& what)
{
    MessageBox::information(QStringLiteral("“%1”功能尚未提供。").arg(what), MessageBox::kNoticeTitle);
}

void OpenPreview(const QString&) { NotAvailable(QStringLiteral("打印报告")); }
void OpenPrintSettings() { NotAvailable(QStringLiteral("打印纸张设置")); }
void OpenGridPrintSettings() { NotAvailable(QStringLiteral("列表打印设置")); }
void OpenComset() { NotAvailable(QStringLiteral("脚踏开关端口设置")); }
void OpenDcmConv() { NotAvailable(QStringLiteral("DICOM图像转换参数")); }
void OpenDcmSend() { NotAvailable(QStringLiteral("DICOM图像发送参数")); }
void OpenMaintenance(const QString& name)
{
    if (RefdataOpeners::Open(name))
        return;
    // Named to the user by the menu command that opens it.
    static const QHash<QString, QString> captions{
        {QStringLiteral("FrmJCdoctor"), QStringLiteral("用户设置")},
        {QStringLiteral("FrmJCsection"), QStringLiteral("科室设置")},
        {QStringLiteral("FrmJCbgdc"), QStringLiteral("开单医师设置")},
        {QStringLiteral("Frmbgxm"), QStringLiteral("报告项目设置")},
        {QStringLiteral("FrmMBpart"), QStringLiteral("检查部位设置")},
        {QStringLiteral("FrmMBassort"), QStringLiteral("部位分类设置")},
        {QStringLiteral("Frmck"), QStringLiteral("词库维护")},
    };
    NotAvailable(captions.value(name, name));
}
void OpenTemplateManager() { NotAvailable(QStringLiteral("模板管理")); }
void OpenFind() { NotAvailable(QStringLiteral("查询报告")); }
void OpenStatistics() { NotAvailable(QStringLiteral("统计报告")); }

}
