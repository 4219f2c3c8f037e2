#include "imaging/ImagingOpeners.h"

#include "core/Openers.h"
#include "imaging/FrmdcmConv.h"
#include "imaging/FrmdcmSend.h"

namespace ImagingOpeners {
void registerAll()
{
    Openers::setOpener(QStringLiteral("FrmdcmConv"), [](const QString&) { FrmdcmConv::instance().showModally(); });
    Openers::setOpener(QStringLiteral("FrmdcmSend"), [](const QString&) { FrmdcmSend::instance().showModally(); });
}
}
