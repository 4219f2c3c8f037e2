#include "query/FrmfindQuery.h"

#include "core/Database.h"
#include "core/NumberText.h"

#include <QLocale>
#include <QRegularExpression>
#include <QStringList>

#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

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
    const QString t = text.trimmed();
    const auto number = NumberText::Parse(t);
    if (!number)
        return std::nullopt;
    static const QRegularExpression whole(QStringLiteral("^[+-]?\\d{1,18}$"));
    if (whole.match(t).hasMatch())
        return QVariant(t.toLongLong());
    return QVariant(*number);
}

bool DatesNarrow(const std::optional<QDate>& from, const std::optional<QDate>& to, const StoredDates& stored)
{
    if (!stored.first.isValid() || !stored.last.isValid() || stored.last < stored.first)
        return true;   // nothing stored: any range is as narrow as it gets
    const QDate a = from && from->isValid() ? std::max(*from, stored.first) : stored.first;
    const QDate b = to && to->isValid() ? std::min(*to, stored.last) : stored.last;
    if (b < a)
        return true;
    const qint64 span = stored.first.daysTo(stored.last) + 1;
    const qint64 covered = a.daysTo(b) + 1;
    return covered * 4 <= span;
}

std::optional<StoredDates> ReadStoredDates()
{
    // Two steps down reports_pgdate.
    const QueryResult r = Database::QueryData(
        QStringLiteral("SELECT (SELECT min(pgdate) FROM reports), (SELECT max(pgdate) FROM reports)"));
    if (!r.hasRows() || r.data->recordCount() == 0)
        return std::nullopt;
    auto day = [&](int column) { return QDate::fromString(r.data->text(0, column).left(10), Qt::ISODate); };
    return StoredDates{day(0), day(1)};
}

namespace {
// What a condition can be answered by, in the order the plans prefer.
enum Kind {
    Date,
    Number,
    Name,
    Section,
    Other
};

struct Part {
    QString column;
    QString test;   // " = ?", " LIKE ? ESCAPE '\\'" ...
    QVariant value;
    Kind kind;
    QString condition() const { return column + test; }
    // The same test where no index may be used for it ("+column" is no
    // longer the indexed column): the engine then keeps to the plan's order.
    QString unindexed() const { return QLatin1Char('+') + column + test; }
};

// The filled conditions in the window's order; the first input that cannot
// be used goes into s.error.
std::vector<Part> collectParts(const Conditions& c, const std::optional<QDate>& from, const std::optional<QDate>& to,
                               Statement& s)
{
    std::vector<Part> parts;
    auto add = [&](const QString& column, const QString& test, const QVariant& value, Kind kind) {
        parts.push_back({column, test, value, kind});
    };
    auto equal = [&](const char* column, const QString& v, Kind kind) {
        if (!v.isEmpty())
            add(QLatin1String(column), QStringLiteral(" = ?"), v, kind);
    };
    auto contains = [&](const char* column, const QString& v, const char* caption, Kind kind) {
        if (v.isEmpty())
            return;
        const QString pattern = ContainsPattern(v);
        if (pattern.toUtf8().size() > kMaxPatternBytes && s.error.isEmpty())
            s.error = QString::fromUtf8(caption) + QStringLiteral("的查询内容太长，请缩短后再查询。");
        add(QLatin1String(column), QStringLiteral(" LIKE ? ESCAPE '\\'"), pattern, kind);
    };
    auto age = [&](const char* op, const QString& v, const QString& caption) {
        if (v.isEmpty())
            return;
        const std::optional<QVariant> n = AgeValue(v);
        if (!n && s.error.isEmpty())
            s.error = caption + QStringLiteral("只能填写数字，请重新输入。");
        add(QStringLiteral("age"), QLatin1Char(' ') + QLatin1String(op) + QStringLiteral(" ?"), n.value_or(QVariant()),
            Other);
    };

    if (from)
        add(QStringLiteral("pgdate"), QStringLiteral(" >= ?"), dateText(*from), Date);
    if (to)
        add(QStringLiteral("pgdate"), QStringLiteral(" < ?"), dayAfterText(*to), Date);
    equal("sectionoffice", c.Text3, Section);
    contains("part", c.Text4, "检查部位", Other);
    contains("checkconclusion", c.Text5, "诊断意见", Other);
    contains("brname", c.Text6, "病人姓名", Name);
    equal("obligate5", c.Text7, Number);
    equal("inpatientid", c.Text8, Number);
    age("<=", c.Text9, QStringLiteral("年龄上限"));
    age(">=", c.Text10, QStringLiteral("年龄下限"));
    equal("sex", c.Text11, Other);
    contains("checksymptom", c.Text12, "X线征象", Other);
    contains("rpdr", c.Text13, "报告医师", Other);
    contains("checkname", c.Text14, "检查名称", Other);
    equal("obligate3", c.Text15, Number);
    return parts;
}

// The plan: the most selective kind of condition present.
Plan choosePlan(const std::vector<Part>& parts, const std::optional<QDate>& from, const std::optional<QDate>& to,
                const std::optional<StoredDates>& stored)
{
    auto has = [&](Kind k) {
        return std::any_of(parts.begin(), parts.end(), [k](const Part& p) { return p.kind == k; });
    };
    const bool datesNarrow = has(Date) && (!stored || DatesNarrow(from, to, *stored));
    if (has(Number))
        return Plan::Numbers;
    if (datesNarrow)
        return Plan::Dates;
    if (has(Name))
        return Plan::Name;
    if (has(Section))
        return Plan::Section;
    return Plan::Plain;
}

// The statement of the chosen plan and its parameters.
void writeSql(Statement& s, const std::vector<Part>& parts)
{
    const QString select = QStringLiteral("SELECT ") + Columns() + QStringLiteral(" FROM reports WHERE ");
    if (s.plan == Plan::Plain || s.plan == Plan::Dates) {
        // Plain: one pass over the table. Dates: every condition column is in
        // reports_find, so the keys come from the index alone.
        s.params = s.whereParams;
        if (s.plan == Plan::Dates) {
            s.sql = select + QStringLiteral("ctid IN (SELECT ctid FROM reports WHERE ") + s.where
                    + QStringLiteral(") ORDER BY ctid");
        } else {
            QStringList unindexed;
            for (const Part& p : parts)
                unindexed << p.unindexed();
            s.sql = select + unindexed.join(QStringLiteral(" AND ")) + QStringLiteral(" ORDER BY ctid");
        }
        return;
    }
    // The narrowing kind inside, answered by its index alone; the rest tested
    // on the rows found.
    const Kind narrow = s.plan == Plan::Numbers ? Number : s.plan == Plan::Name ? Name : Section;
    QStringList inner, outer;
    QVariantList innerParams, outerParams;
    for (const Part& p : parts) {
        if (p.kind == narrow) {
            inner << p.condition();
            innerParams << p.value;
        } else {
            outer << p.unindexed();
            outerParams << p.value;
        }
    }
    s.sql = select + QStringLiteral("ctid IN (SELECT ctid FROM reports WHERE ") + inner.join(QStringLiteral(" AND "))
            + QLatin1Char(')');
    if (!outer.isEmpty())
        s.sql += QStringLiteral(" AND ") + outer.join(QStringLiteral(" AND "));
    s.sql += QStringLiteral(" ORDER BY ctid");
    s.params = innerParams + outerParams;
}
}

Statement Build(const Conditions& c, const std::optional<StoredDates>& stored)
{
    Statement s;
    const std::optional<QDate> from = c.DT1 && c.DT1->isValid() ? c.DT1 : std::nullopt;
    const std::optional<QDate> to = c.DT2 && c.DT2->isValid() ? c.DT2 : std::nullopt;
    const std::vector<Part> parts = collectParts(c, from, to, s);

    QStringList all;
    for (const Part& p : parts) {
        all << p.condition();
        s.whereParams << p.value;
    }
    s.where = all.join(QStringLiteral(" AND "));
    if (s.where.isEmpty() || !s.error.isEmpty()) {
        s.whereParams.clear();
        return s;
    }
    s.plan = choosePlan(parts, from, to, stored);
    writeSql(s, parts);
    return s;
}
}
