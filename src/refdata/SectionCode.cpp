#include "refdata/SectionCode.h"

#include <QLocale>
#include <cmath>
#include <limits>

namespace SectionCode {
namespace {
std::optional<double> number(const QString& text)
{
    QLocale c = QLocale::c();
    c.setNumberOptions(QLocale::RejectGroupSeparator);
    bool ok = false;
    const double v = c.toDouble(text.trimmed(), &ok);
    if (!ok || !std::isfinite(v))
        return std::nullopt;
    return v;
}
}

bool IsNumeric(const QString& text) { return number(text).has_value(); }

std::optional<qint32> ToInt32(const QString& text)
{
    const auto v = number(text);
    if (!v)
        return std::nullopt;
    const double r = std::nearbyint(*v);
    if (r < double(std::numeric_limits<qint32>::min()) || r > double(std::numeric_limits<qint32>::max()))
        return std::nullopt;
    return qint32(r);
}
}
