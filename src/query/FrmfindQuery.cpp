#include "query/FrmfindQuery.h"

#include <QLocale>
#include <QRegularExpression>
#include <QStringList>

#include <cmath>
#include <limits>

namespace FrmfindQuery {

namespace {
// The longest pattern the engine's LIKE takes, in UTF-8 bytes.
constexpr int kMaxPatternBytes = 50000;

QString dateText(const QDate& d) { return d.toString(QStringLiteral("yyyy-MM-dd")); }

// The first text that sorts after every stored date and time of day d: the
// next day, or for the last day the picker knows (9999-12-31), the date
// followed by a character above the time's.
QString dayAfterText(const QDate& d)
{
    const QDate next = d.addDays(1);
    if (next.isValid() && next.year() <= 9999)
        return dateText(next);
    return dateText(d) + QLatin1Char('~');
}
}

QString Columns()
{
    return QStringLiteral("ctid, brname, sex, age, ageunit, bedid, sectionoffice, utpatientid, inpatientid, pgdate, "
                          "pgdr, rpdr, times, part, checktechnique, checkname, checksymptom, checkconclusion, "
                          "obligate1, obligate2, obligate3, obligate4, obligate5");
}

QString ContainsPattern(const QString& text)
{
    QString out;
    out.reserve(text.size() + 4);
    out += QLatin1Char('%');
    for (const QChar ch : text) {
        if (ch == QLatin1Char('%') || ch == QLatin1Char('_') || ch == QLatin1Char('\\'))
            out += QLatin1Char('\\');
        out += ch;
    }
    out += QLatin1Char('%');
    return out;
}

std::optional<QVariant> AgeValue(const QString& text)
{
    static const QRegularExpression number(QStringLiteral("^[+-]?(\\d+\\.?\\d*|\\.\\d+)([eE][+-]?\\d+)?$"));
    const QString t = text.trimmed();
    if (!number.match(t).hasMatch())
        return std::nullopt;
    static const QRegularExpression whole(QStringLiteral("^[+-]?\\d{1,18}$"));
    if (whole.match(t).hasMatch())
        return QVariant(t.toLongLong());
    bool ok = false;
    const double d = QLocale::c().toDouble(t, &ok);
    if (!ok || !std::isfinite(d))
        return std::nullopt;
    return QVariant(d);
}

Statement Build(const Conditions& c)
{
    Statement s;
    QStringList parts;
    auto add = [&](const QString& condition, const QVariant& value) {
        parts << condition;
        s.params << value;
    };
    auto equal = [&](const char* column, const QString& v) {
        if (!v.isEmpty())
            add(QLatin1String(column) + QStringLiteral(" = ?"), v);
    };
    auto contains = [&](const char* column, const QString& v, const char* caption) {
        if (v.isEmpty())
            return;
        const QString pattern = ContainsPattern(v);
        if (pattern.toUtf8().size() > kMaxPatternBytes && s.error.isEmpty())
            s.error = QString::fromUtf8(caption) + QStringLiteral("的查询内容太长，请缩短后再查询。");
        add(QLatin1String(column) + QStringLiteral(" LIKE ? ESCAPE '\\'"), pattern);
    };
    auto age = [&](const char* op, const QString& v, const QString& caption) {
        if (v.isEmpty())
            return;
        const std::optional<QVariant> n = AgeValue(v);
        if (!n && s.error.isEmpty())
            s.error = caption + QStringLiteral("只能填写数字，请重新输入。");
        add(QStringLiteral("age ") + QLatin1String(op) + QStringLiteral(" ?"), n.value_or(QVariant()));
    };

    if (c.DT1 && c.DT1->isValid())
        add(QStringLiteral("pgdate >= ?"), dateText(*c.DT1));
    if (c.DT2 && c.DT2->isValid())
        add(QStringLiteral("pgdate < ?"), dayAfterText(*c.DT2));
    equal("sectionoffice", c.Text3);
    contains("part", c.Text4, "检查部位");
    contains("checkconclusion", c.Text5, "诊断意见");
    contains("brname", c.Text6, "病人姓名");
    equal("obligate5", c.Text7);
    equal("inpatientid", c.Text8);
    age("<=", c.Text9, QStringLiteral("年龄上限"));
    age(">=", c.Text10, QStringLiteral("年龄下限"));
    equal("sex", c.Text11);
    contains("checksymptom", c.Text12, "X线征象");
    contains("rpdr", c.Text13, "报告医师");
    contains("checkname", c.Text14, "检查名称");
    equal("obligate3", c.Text15);

    s.where = parts.join(QStringLiteral(" AND "));
    if (s.where.isEmpty() || !s.error.isEmpty()) {
        s.params.clear();
        return s;
    }
    s.sql = QStringLiteral("SELECT ") + Columns()
            + QStringLiteral(" FROM reports WHERE ctid IN (SELECT ctid FROM reports WHERE ") + s.where
            + QStringLiteral(") ORDER BY ctid");
    return s;
}
}
