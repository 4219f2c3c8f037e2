// The main window's two DICOM settings commands.
#include "core/Openers.h"
#include "imaging/FrmdcmConv.h"
#include "imaging/FrmdcmSend.h"

namespace Openers {
void OpenDcmConv() { FrmdcmConv::instance().showModally(); }
void OpenDcmSend() { FrmdcmSend::instance().showModally(); }
}
