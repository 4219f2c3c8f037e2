#include "imaging/ImagingOpeners.h"

#include "core/Openers.h"
#include "imaging/FrmComset.h"
#include "platform/Opener.h"

namespace ImagingOpeners {
void registerAll()
{
    Openers::setOpener(QStringLiteral("FrmComset"), [](const QString&) {
        FrmComset& dialog = FrmComset::instance();
        dialog.Form_Load();
        Opener::showModal(&dialog);
    });
}
}
