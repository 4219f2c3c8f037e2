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
void put(Openers::Window id)
{
    Openers::setOpener(id, [](Openers::How) {
        Window& w = Window::instance();
        w.ensureLoaded();
        w.showModally();
    });
}
}

void registerAll()
{
    using Openers::Window;
    put<FrmJCdoctor>(Window::FrmJCdoctor);
    put<FrmJCsection>(Window::FrmJCsection);
    put<FrmJCbgdc>(Window::FrmJCbgdc);
    put<Frmck>(Window::Frmck);
    put<Frmbgxm>(Window::Frmbgxm);
    put<FrmMBpart>(Window::FrmMBpart);
    put<FrmMBassort>(Window::FrmMBassort);
    // The template manager: plain from the main window, Load and Insert from
    // the editor's 载入模板 and 设为模板 (the latter offers the editor's texts).
    Openers::setOpener(Window::FrmMBmanager, [](Openers::How how) {
        FrmMBmanager& w = FrmMBmanager::instance();
        if (how == Openers::How::Load) {
            w.openForPicking();
        } else if (how == Openers::How::Insert) {
            const DataRecord& ed = DataRecord::instance();
            w.openForOffer(ed.controlText(ReportRecord::checkname), ed.controlText(ReportRecord::checksymptom),
                           ed.controlText(ReportRecord::checkconclusion));
        } else {
            w.openForMaintenance();
        }
    });
}
}
