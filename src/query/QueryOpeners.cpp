#include "query/QueryOpeners.h"

#include "core/Openers.h"
#include "query/FrmTJ.h"

namespace QueryOpeners {
void registerAll()
{
    Openers::setOpener(QStringLiteral("FrmTJ"), [](const QString&) {
        FrmTJ& w = FrmTJ::instance();
        w.ensureLoaded();
        w.showModally();
    });
}
}
