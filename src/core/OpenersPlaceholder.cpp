// Commands whose windows are not part of this build yet say so plainly. A new
// window takes its place by registering its opener (Openers::setOpener).
#include "core/Openers.h"

#include "platform/MessageBox.h"

#include <QHash>

namespace Openers {

void NotAvailable(const QString& what)
{
    MessageBox::information(QStringLiteral("“%1”功能尚未提供。").arg(what), MessageBox::kNoticeTitle);
}

QString PlaceholderCaption(const QString& window)
{
    // Named to the user by the menu command that opens it.
    static const QHash<QString, QString> captions{
        {QStringLiteral("Frmreport"), QStringLiteral("打印报告")},
        {QStringLiteral("Frmprintset"), QStringLiteral("打印纸张设置")},
        {QStringLiteral("FrmfindGrid"), QStringLiteral("列表打印设置")},
        {QStringLiteral("FrmComset"), QStringLiteral("脚踏开关端口设置")},
        {QStringLiteral("FrmdcmConv"), QStringLiteral("DICOM图像转换参数")},
        {QStringLiteral("FrmdcmSend"), QStringLiteral("DICOM图像发送参数")},
        {QStringLiteral("FrmJCdoctor"), QStringLiteral("用户设置")},
        {QStringLiteral("FrmJCsection"), QStringLiteral("科室设置")},
        {QStringLiteral("FrmJCbgdc"), QStringLiteral("开单医师设置")},
        {QStringLiteral("Frmbgxm"), QStringLiteral("报告项目设置")},
        {QStringLiteral("FrmMBpart"), QStringLiteral("检查部位设置")},
        {QStringLiteral("FrmMBassort"), QStringLiteral("部位分类设置")},
        {QStringLiteral("Frmck"), QStringLiteral("词库维护")},
        {QStringLiteral("FrmMBmanager"), QStringLiteral("模板管理")},
        {QStringLiteral("Frmfind"), QStringLiteral("查询报告")},
        {QStringLiteral("FrmTJ"), QStringLiteral("统计报告")},
    };
    return captions.value(window, window);
}

}
