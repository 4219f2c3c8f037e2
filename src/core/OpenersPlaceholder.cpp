// Commands whose windows are not part of this build yet say so plainly.
#include "core/Openers.h"

#include "platform/MessageBox.h"

namespace Openers {

void NotAvailable(const QString& what)
{
    MessageBox::information(QStringLiteral("“%1”功能尚未提供。").arg(what), QStringLiteral("提示"));
}

void OpenPreview(const QString&) { NotAvailable(QStringLiteral("打印报告")); }
void OpenPrintSettings() { NotAvailable(QStringLiteral("打印纸张设置")); }
void OpenGridPrintSettings() { NotAvailable(QStringLiteral("列表打印设置")); }
void OpenComset() { NotAvailable(QStringLiteral("脚踏开关端口设置")); }
void OpenDcmConv() { NotAvailable(QStringLiteral("DICOM图像转换参数")); }
void OpenDcmSend() { NotAvailable(QStringLiteral("DICOM图像发送参数")); }
void OpenMaintenance(const QString& name) { NotAvailable(name); }
void OpenTemplateManager() { NotAvailable(QStringLiteral("模板管理")); }
void OpenFind() { NotAvailable(QStringLiteral("查询报告")); }
void OpenStatistics() { NotAvailable(QStringLiteral("统计报告")); }

}
