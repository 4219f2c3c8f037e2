#include "core/Openers.h"

#include "platform/MessageBox.h"

#include <QHash>
#include <QPointer>
#include <QTableView>

namespace {
QHash<QString, Openers::Opener>& table()
{
    static QHash<QString, Openers::Opener> openers;
    return openers;
}

QPointer<QTableView>& mainList()
{
    static QPointer<QTableView> grid;
    return grid;
}
}

namespace Openers {

void setOpener(const QString& window, Opener opener)
{
    if (opener)
        table().insert(window, std::move(opener));
    else
        table().remove(window);
}

QStringList registered()
{
    QStringList names = table().keys();
    names.sort();
    return names;
}

void open(const QString& window, const QString& how)
{
    // A copy: the opener may replace itself while its window is open.
    const Opener opener = table().value(window);
    if (opener) {
        opener(how);
        return;
    }
    qWarning("no window registered as %s", qPrintable(window));
    MessageBox::critical(QStringLiteral("程序错误：窗口 %1 没有登记。").arg(window), MessageBox::kErrorTitle);
}

void EditorNewReport() { open(QStringLiteral("DataRecord"), QStringLiteral("new")); }
void EditorOpenFromMainList(bool modify)
{
    open(QStringLiteral("DataRecord"), modify ? QStringLiteral("modify") : QStringLiteral("view"));
}
void OpenPreview(const QString& openStatus) { open(QStringLiteral("Frmreport"), openStatus); }
void OpenPrintSettings() { open(QStringLiteral("Frmprintset")); }
void OpenGridPrintSettings() { open(QStringLiteral("FrmfindGrid")); }
void OpenComset() { open(QStringLiteral("FrmComset")); }
void OpenDcmConv() { open(QStringLiteral("FrmdcmConv")); }
void OpenDcmSend() { open(QStringLiteral("FrmdcmSend")); }
void OpenMaintenance(const QString& name) { open(name); }
void OpenTemplateManager() { open(QStringLiteral("FrmMBmanager")); }
void OpenFind() { open(QStringLiteral("Frmfind")); }
void OpenStatistics() { open(QStringLiteral("FrmTJ")); }

QTableView* MainReportList() { return mainList().data(); }
void SetMainReportList(QTableView* grid) { mainList() = grid; }
}
