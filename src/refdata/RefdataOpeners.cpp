#include "refdata/RefdataOpeners.h"

#include "refdata/FrmJCbgdc.h"
#include "refdata/FrmJCdoctor.h"
#include "refdata/FrmJCsection.h"
#include "refdata/Frmbgxm.h"
#include "refdata/Frmck.h"

namespace RefdataOpeners {
namespace {
DictionaryWindow* window(const QString& name)
{
    if (name == QLatin1String("FrmJCdoctor"))
        return &FrmJCdoctor::instance();
    if (name == QLatin1String("FrmJCsection"))
        return &FrmJCsection::instance();
    if (name == QLatin1String("FrmJCbgdc"))
        return &FrmJCbgdc::instance();
    if (name == QLatin1String("Frmck"))
        return &Frmck::instance();
    if (name == QLatin1String("Frmbgxm"))
        return &Frmbgxm::instance();
    return nullptr;
}
}

bool Open(const QString& name)
{
    DictionaryWindow* w = window(name);
    if (!w)
        return false;
    w->ensureLoaded();
    w->showModally();
    return true;
}
}
