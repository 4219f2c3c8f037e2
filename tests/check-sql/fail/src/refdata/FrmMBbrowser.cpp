#include "refdata/FrmMBbrowser.h"

QString FrmMBbrowser::listingSql() const
{
    return QStringLiteral("SELECT * FROM template");   // flagged
}
