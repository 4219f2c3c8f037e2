#include "report/PageRoom.h"

#include <QLocale>
#include <cmath>

namespace PageRoom {

namespace {
// One side: the margins a (top or left) and b (bottom or right) on a length that must
// keep `needed` free between them.
std::optional<Refusal> checkSide(double length, double a, double b, double needed, Margin aName, Margin bName)
{
    const double together = length - needed;
    if (std::isfinite(a) && std::isfinite(b) && a + b <= together)
        return std::nullopt;
    // The larger margin is the one to come down; a value that is no number counts as larger.
    const bool bLarger = std::isfinite(a) && (!std::isfinite(b) || b > a);
    Refusal r;
    r.margin = bLarger ? bName : aName;
    const double other = bLarger ? a : b;
    r.largest = std::isfinite(other) ? together - other : -1;
    r.together = together;
    return r;
}
}

std::optional<Refusal> check(const QSizeF& page, const Margins& m, const Needed& needed)
{
    if (auto r = checkSide(page.height(), m.top, m.bottom, needed.height, Margin::Top, Margin::Bottom))
        return r;
    return checkSide(page.width(), m.left, m.right, needed.width, Margin::Left, Margin::Right);
}

QString marginName(Margin margin)
{
    switch (margin) {
    case Margin::Top: return QStringLiteral("上边距");
    case Margin::Bottom: return QStringLiteral("下边距");
    case Margin::Left: return QStringLiteral("左边距");
    case Margin::Right: break;
    }
    return QStringLiteral("右边距");
}

QString millimetreText(double mm)
{
    // Rounded down to a tenth, so that typing the value shown is accepted; a hair above a
    // tenth (a sum that came out 47.99999) still counts as that tenth.
    const double tenths = std::floor(mm * 10 + 1e-6);
    QString text = QLocale::c().toString(tenths / 10, 'f', 1);
    if (text.endsWith(QStringLiteral(".0")))
        text.chop(2);
    return text;
}

QString refusalText(const Refusal& r)
{
    const QString name = marginName(r.margin);
    const bool vertical = r.margin == Margin::Top || r.margin == Margin::Bottom;
    if (r.largest >= 0)
        return QStringLiteral("%1过大，所选纸张上留不下一行文字：%1最大为 %2 毫米")
            .arg(name, millimetreText(r.largest));
    const QString pair = vertical ? QStringLiteral("上边距与下边距") : QStringLiteral("左边距与右边距");
    if (r.together < 0)
        return QStringLiteral("所选纸张太小，留不下一行文字（%1都为 0 也不够）").arg(pair);
    return QStringLiteral("%1过大，所选纸张上留不下一行文字：%2合计最大为 %3 毫米")
        .arg(name, pair, millimetreText(r.together));
}
}
