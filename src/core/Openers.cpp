#include "core/Openers.h"

#include <QPointer>
#include <QTableView>

namespace {
QPointer<QTableView>& mainList()
{
    static QPointer<QTableView> grid;
    return grid;
}
}

namespace Openers {
QTableView* MainReportList() { return mainList().data(); }
void SetMainReportList(QTableView* grid) { mainList() = grid; }
}
