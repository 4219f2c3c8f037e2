#include "refdata/SectionCode.h"

#include "core/NumberText.h"
#include "platform/Units.h"

#include <limits>

namespace SectionCode {

bool IsNumeric(const QString& text) { return NumberText::Parse(text).has_value(); }

std::optional<qint32> ToInt32(const QString& text)
{
    const auto v = NumberText::Parse(text);
    if (!v)
        return std::nullopt;
    const double r = Units::roundEven(*v);
    if (r < double(std::numeric_limits<qint32>::min()) || r > double(std::numeric_limits<qint32>::max()))
        return std::nullopt;
    return qint32(r);
}
}
