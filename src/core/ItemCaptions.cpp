#include "core/ItemCaptions.h"

#include "core/ReportRecord.h"
#include "core/ReportStore.h"
#include "platform/MessageBox.h"

bool ReadItemCaptions(QStringList& captions, bool whole)
{
    const QueryResult r = ReportStore::ItemCaptions(captions);
    if (r.failed()) {
        MessageBox::critical(r.description, MessageBox::kErrorTitle);
        return false;
    }
    if (!r.hasRows())
        return false;
    if (whole && captions.size() != ReportRecord::kItemCount) {
        MessageBox::critical(QStringLiteral("打印项目设置错误"), MessageBox::kErrorTitle);
        return false;
    }
    return true;
}
