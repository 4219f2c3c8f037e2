#include "imaging/ImagingOpeners.h"

#include "core/Openers.h"
#include "imaging/FrmComset.h"
#include "imaging/FrmdcmConv.h"
#include "imaging/FrmdcmSend.h"
#include "platform/Opener.h"

namespace ImagingOpeners {
void registerAll()
{
    using Openers::Window;
    Openers::setOpener(Window::FrmdcmConv, [](Openers::How) { FrmdcmConv::instance().showModally(); });
    Openers::setOpener(Window::FrmdcmSend, [](Openers::How) { FrmdcmSend::instance().showModally(); });
    Openers::setOpener(Window::FrmComset, [](Openers::How) {
        FrmComset& dialog = FrmComset::instance();
        dialog.Form_Load();
        Opener::showModal(&dialog);
    });
}
}
