#include "report/ReportUnits.h"

#include "core/NumberText.h"
#include "platform/Units.h"

namespace ReportUnits {

std::optional<int> toCode16(const QString& text)
{
    const auto v = NumberText::Parse(text);
    if (!v)
        return std::nullopt;
    const double r = Units::roundEven(*v);
    if (r < -32768 || r > 32767)
        return std::nullopt;
    return int(r);
}

std::optional<bool> toBoolean(const QString& text)
{
    const QString t = text.trimmed();
    if (t.compare(QLatin1String("True"), Qt::CaseInsensitive) == 0)
        return true;
    if (t.compare(QLatin1String("False"), Qt::CaseInsensitive) == 0)
        return false;
    if (const auto n = NumberText::Parse(t))
        return *n != 0.0;
    return std::nullopt;
}
}
