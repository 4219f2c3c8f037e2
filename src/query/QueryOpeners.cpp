#include "query/QueryOpeners.h"

#include "core/Openers.h"
#include "query/Frmfind.h"

namespace QueryOpeners {
void registerAll()
{
    Openers::setOpener(QStringLiteral("Frmfind"), [](const QString&) {
        Frmfind& w = Frmfind::instance();
        w.ensureLoaded();
        w.showModally();
    });
}
}
