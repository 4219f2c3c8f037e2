#include "core/Openers.h"

#include "platform/MessageBox.h"

#include <QHash>

#include <algorithm>

namespace {
QHash<Openers::Window, Openers::Opener>& table()
{
    static QHash<Openers::Window, Openers::Opener> openers;
    return openers;
}
std::function<std::optional<QString>()>& serviceDownWords()
{
    static std::function<std::optional<QString>()> words;
    return words;
}
}

namespace Openers {

QString name(Window window)
{
    switch (window) {
    case Window::DataRecord: return QStringLiteral("DataRecord");
    case Window::Frmreport: return QStringLiteral("Frmreport");
    case Window::Frmprintset: return QStringLiteral("Frmprintset");
    case Window::FrmfindGrid: return QStringLiteral("FrmfindGrid");
    case Window::FrmComset: return QStringLiteral("FrmComset");
    case Window::FrmdcmConv: return QStringLiteral("FrmdcmConv");
    case Window::FrmdcmSend: return QStringLiteral("FrmdcmSend");
    case Window::FrmJCdoctor: return QStringLiteral("FrmJCdoctor");
    case Window::FrmJCsection: return QStringLiteral("FrmJCsection");
    case Window::FrmJCbgdc: return QStringLiteral("FrmJCbgdc");
    case Window::Frmbgxm: return QStringLiteral("Frmbgxm");
    case Window::FrmMBpart: return QStringLiteral("FrmMBpart");
    case Window::FrmMBassort: return QStringLiteral("FrmMBassort");
    case Window::Frmck: return QStringLiteral("Frmck");
    case Window::FrmMBmanager: return QStringLiteral("FrmMBmanager");
    case Window::Frmfind: return QStringLiteral("Frmfind");
    case Window::FrmTJ: return QStringLiteral("FrmTJ");
    }
    return QString();
}

QString name(How how)
{
    switch (how) {
    case How::Plain: return QString();
    case How::New: return QStringLiteral("new");
    case How::View: return QStringLiteral("view");
    case How::Modify: return QStringLiteral("modify");
    case How::FromMain: return QStringLiteral("frmmain");
    case How::FromEditor: return QStringLiteral("datarecord");
    case How::Load: return QStringLiteral("load");
    case How::Insert: return QStringLiteral("insert");
    }
    return QString();
}

void setOpener(Window window, Opener opener)
{
    if (opener)
        table().insert(window, std::move(opener));
    else
        table().remove(window);
}

QList<Window> registered()
{
    QList<Window> windows = table().keys();
    std::sort(windows.begin(), windows.end());
    return windows;
}

void open(Window window, How how, const ListedReport& report)
{
    // A copy: the opener may replace itself while its window is open.
    const Opener opener = table().value(window);
    if (opener) {
        opener(how, report);
        return;
    }
    qWarning("no window registered as %s", qPrintable(name(window)));
    MessageBox::critical(QStringLiteral("程序错误：窗口 %1 没有登记。").arg(name(window)), MessageBox::kErrorTitle);
}

void EditorNewReport() { open(Window::DataRecord, How::New); }
void EditorOpenFromMainList(bool modify, const ListedReport& current)
{
    open(Window::DataRecord, modify ? How::Modify : How::View, current);
}
void OpenPreview(How openStatus, const QString& key)
{
    ListedReport report;
    report.empty = key.isEmpty();
    report.key = key;
    open(Window::Frmreport, openStatus, report);
}
void OpenPrintSettings() { open(Window::Frmprintset); }
void OpenGridPrintSettings() { open(Window::FrmfindGrid); }
std::optional<QString> PrintServiceDown() { return serviceDownWords() ? serviceDownWords()() : std::nullopt; }
void setPrintServiceDown(std::function<std::optional<QString>()> words) { serviceDownWords() = std::move(words); }
void OpenComset() { open(Window::FrmComset); }
void OpenDcmConv() { open(Window::FrmdcmConv); }
void OpenDcmSend() { open(Window::FrmdcmSend); }
void OpenMaintenance(Window window) { open(window); }
void OpenTemplateManager() { open(Window::FrmMBmanager); }
void OpenFind() { open(Window::Frmfind); }
void OpenStatistics() { open(Window::FrmTJ); }
}
