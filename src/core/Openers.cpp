#include "core/Openers.h"

#include <QPointer>
#include <QTableWidget>

namespace {
QPointer<QTableWidget>& mainList()
{
    static QPointer<QTableWidget> grid;
    return grid;
}
}

namespace Openers {
QTableWidget* MainReportList() { return mainList().data(); }
void SetMainReportList(QTableWidget* grid) { mainList() = grid; }
}
