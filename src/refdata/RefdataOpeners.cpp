// The main window's maintenance commands open these windows.
#include "refdata/RefdataOpeners.h"

#include "core/Openers.h"
#include "editor/DataRecord.h"
#include "core/ReportRecord.h"
#include "refdata/FrmJCbgdc.h"
#include "refdata/FrmJCdoctor.h"
#include "refdata/FrmJCsection.h"
#include "refdata/FrmMBassort.h"
#include "refdata/FrmMBmanager.h"
#include "refdata/FrmMBpart.h"
#include "refdata/Frmbgxm.h"
#include "refdata/Frmck.h"

namespace RefdataOpeners {
namespace {
template <class Window>
void put(const char* name)
{
    Openers::setOpener(QString::fromLatin1(name), [](const QString&) {
        Window& w = Window::instance();
        w.ensureLoaded();
        w.showModally();
    });
}
}

void registerAll()
{
    put<FrmJCdoctor>("FrmJCdoctor");
    put<FrmJCsection>("FrmJCsection");
    put<FrmJCbgdc>("FrmJCbgdc");
    put<Frmck>("Frmck");
    put<Frmbgxm>("Frmbgxm");
    put<FrmMBpart>("FrmMBpart");
    put<FrmMBassort>("FrmMBassort");
    // The template manager: "" from the main window, "load" and "insert" from
    // the editor's 载入模板 and 设为模板 (the latter offers the editor's texts).
    Openers::setOpener(QStringLiteral("FrmMBmanager"), [](const QString& how) {
        FrmMBmanager& w = FrmMBmanager::instance();
        if (how == QLatin1String("load")) {
            w.openForPicking();
        } else if (how == QLatin1String("insert")) {
            const DataRecord& ed = DataRecord::instance();
            w.openForOffer(ed.controlText(ReportRecord::checkname), ed.controlText(ReportRecord::checksymptom),
                           ed.controlText(ReportRecord::checkconclusion));
        } else {
            w.openForMaintenance();
        }
    });
}
}
