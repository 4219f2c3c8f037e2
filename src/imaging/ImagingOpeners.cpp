#include "imaging/ImagingOpeners.h"

#include "core/Openers.h"
#include "imaging/FrmComset.h"
#include "imaging/FrmdcmConv.h"
#include "imaging/FrmdcmSend.h"
#include "platform/Opener.h"

namespace ImagingOpeners {
void registerAll()
{
    Openers::setOpener(QStringLiteral("FrmdcmConv"), [](const QString&) { FrmdcmConv::instance().showModally(); });
    Openers::setOpener(QStringLiteral("FrmdcmSend"), [](const QString&) { FrmdcmSend::instance().showModally(); });
    Openers::setOpener(QStringLiteral("FrmComset"), [](const QString&) {
        FrmComset& dialog = FrmComset::instance();
        dialog.Form_Load();
        Opener::showModal(&dialog);
    });
}
}
