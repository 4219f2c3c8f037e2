#include "report/PageRoom.h"

#include <QLocale>
#include <cmath>

namespace PageRoom {

std::optional<Refusal> negativeMargin(const Margins& m)
{
    const std::pair<double, Field> margins[] = {
        {m.top, Field::Top}, {m.bottom, Field::Bottom}, {m.left, Field::Left}, {m.right, Field::Right}};
    for (const auto& [value, field] : margins)
        if (value < 0)
            return Refusal{field, Refusal::Kind::Negative};
    return std::nullopt;
}

std::optional<Refusal> checkSide(double length, double a, double b, double needed, Field aName, Field bName)
{
    const double together = length - needed;
    if (std::isfinite(a) && std::isfinite(b) && a + b <= together)
        return std::nullopt;
    // The larger margin is the one to come down; a value that is no number counts as larger.
    const bool bLarger = std::isfinite(a) && (!std::isfinite(b) || b > a);
    Refusal r;
    r.field = bLarger ? bName : aName;
    const double other = bLarger ? a : b;
    r.largest = std::isfinite(other) ? together - other : -1;
    r.together = together;
    r.kind = r.largest >= 0 ? Refusal::Kind::TooLarge
                            : (together < 0 ? Refusal::Kind::PaperTooSmall : Refusal::Kind::PairTooLarge);
    return r;
}

std::optional<Refusal> check(const QSizeF& page, const Margins& m, const Needed& needed)
{
    if (auto r = negativeMargin(m))
        return r;
    if (auto r = checkSide(page.height(), m.top, m.bottom, needed.height, Field::Top, Field::Bottom))
        return r;
    return checkSide(page.width(), m.left, m.right, needed.width, Field::Left, Field::Right);
}

QString fieldName(Field field)
{
    switch (field) {
    case Field::Top: return QStringLiteral("上边距");
    case Field::Bottom: return QStringLiteral("下边距");
    case Field::Left: return QStringLiteral("左边距");
    case Field::Right: return QStringLiteral("右边距");
    case Field::LineSpacing: return QStringLiteral("行距一");
    case Field::TextSpacing: return QStringLiteral("行距二");
    case Field::Paragraph1: return QStringLiteral("段距一");
    case Field::Paragraph2: return QStringLiteral("段距二");
    case Field::Paragraph3: return QStringLiteral("段距三");
    case Field::Paragraph4: return QStringLiteral("段距四");
    case Field::PicWidth: return QStringLiteral("图像宽度");
    case Field::PicHeight: break;
    }
    return QStringLiteral("图像高度");
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
    const QString name = fieldName(r.field);
    const QString room = r.wholePage ? QStringLiteral("放不下整页报告") : QStringLiteral("留不下一行文字");
    const bool vertical = r.field == Field::Top || r.field == Field::Bottom;
    const QString pair = vertical ? QStringLiteral("上边距与下边距") : QStringLiteral("左边距与右边距");
    switch (r.kind) {
    case Refusal::Kind::Negative: return QStringLiteral("%1不能为负数：%1最小为 0 毫米").arg(name);
    case Refusal::Kind::TooLarge:
        return QStringLiteral("%1过大，所选纸张上%2：%1最大为 %3 毫米").arg(name, room, millimetreText(r.largest));
    case Refusal::Kind::PairTooLarge:
        return QStringLiteral("%1过大，所选纸张上%2：%3合计最大为 %4 毫米")
            .arg(name, room, pair, millimetreText(r.together));
    case Refusal::Kind::OthersTooLarge:
        return QStringLiteral("%1过大，所选纸张上%2：其他各项不变时%1为 0 也放不下，请一并减小其他边距和间距")
            .arg(name, room);
    case Refusal::Kind::PaperTooSmall: return QStringLiteral("所选纸张太小，%1（%2都为 0 也不够）").arg(room, pair);
    case Refusal::Kind::PageTooSmall: break;
    }
    return QStringLiteral("所选纸张太小，%1（各项边距、间距和图像大小都按默认值也不够）").arg(room);
}
}
