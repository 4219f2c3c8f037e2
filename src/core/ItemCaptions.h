#pragma once
#include <QStringList>

// The report item captions as a window reads them: the store's answer, with the
// window's messages. A database failure is shown (title 错误) and gives false, as
// does an empty caption table. With whole set, a table that does not hold every
// item says "打印项目设置错误" and gives false.
bool ReadItemCaptions(QStringList& captions, bool whole);
