#include "report/ReportUnits.h"

#include <QLocale>
#include <QRegularExpression>
#include <cmath>

namespace ReportUnits {

double roundEven(double v)
{
    return std::nearbyint(v);
}

namespace {
QString normalised(const QString& text)
{
    QString t = text.trimmed();
    const QString sysPoint = QLocale::system().decimalPoint();
    if (sysPoint != QLatin1String(".") && !sysPoint.isEmpty())
        t.replace(sysPoint, QStringLiteral("."));
    return t;
}
}

bool isNumericText(const QString& text)
{
    static const QRegularExpression re(
        QStringLiteral("^[+-]?(\\d+\\.?\\d*|\\.\\d+)([eE][+-]?\\d+)?$"));
    return re.match(normalised(text)).hasMatch();
}

std::optional<double> toNumber(const QString& text)
{
    if (!isNumericText(text))
        return std::nullopt;
    bool ok = false;
    const double v = QLocale::c().toDouble(normalised(text), &ok);
    if (!ok || !std::isfinite(v))
        return std::nullopt;
    return v;
}

std::optional<int> toCode16(const QString& text)
{
    const auto v = toNumber(text);
    if (!v)
        return std::nullopt;
    const double r = roundEven(*v);
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
    if (const auto n = toNumber(t))
        return *n != 0.0;
    return std::nullopt;
}
}
