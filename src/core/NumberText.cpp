#include "core/NumberText.h"

#include <QLocale>
#include <QRegularExpression>
#include <cmath>

namespace NumberText {
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

bool IsNumber(const QString& text)
{
    static const QRegularExpression re(QStringLiteral("^[+-]?(\\d+\\.?\\d*|\\.\\d+)([eE][+-]?\\d+)?$"));
    return re.match(normalised(text)).hasMatch();
}

std::optional<double> Parse(const QString& text)
{
    if (!IsNumber(text))
        return std::nullopt;
    bool ok = false;
    const double v = QLocale::c().toDouble(normalised(text), &ok);
    if (!ok || !std::isfinite(v))
        return std::nullopt;
    return v;
}

std::optional<int> ParseWhole(const QString& text)
{
    static const QRegularExpression re(QStringLiteral("^[+-]?\\d+$"));
    const QString t = text.trimmed();
    if (!re.match(t).hasMatch())
        return std::nullopt;
    bool ok = false;
    const int v = t.toInt(&ok);
    if (!ok)
        return std::nullopt;
    return v;
}
}
