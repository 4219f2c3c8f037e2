#include "core/Money.h"

#include <sqlcipher/sqlite3.h>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace Money {

namespace {
// Rounds |yuan| * 100 half up on its fifteen significant decimal digits.
qint64 decimalCents(double magnitude)
{
    // d.dddddddddddddde±XX: fifteen digits and the power of ten of the first.
    char buf[40];
    std::snprintf(buf, sizeof buf, "%.14e", magnitude);
    char digits[15];
    digits[0] = buf[0];
    for (int i = 0; i < 14; ++i)
        digits[i + 1] = buf[2 + i];
    const int exponent = std::atoi(buf + 17);
    // The digits that make whole cents: those down to 10^-2.
    const int whole = exponent + 3;
    if (whole <= 0)
        return whole == 0 && digits[0] >= '5' ? 1 : 0;
    qint64 cents = 0;
    for (int i = 0; i < whole; ++i)
        cents = cents * 10 + (i < 15 ? digits[i] - '0' : 0);
    if (whole < 15 && digits[whole] >= '5')
        ++cents;
    return cents;
}

// The digits of a decimal number as written: [+-]digits[.digits][e[+-]digits],
// blanks around it allowed. Its amount in whole cents, rounded half away from
// zero on the digits themselves; nullopt for a text of another form or an
// amount beyond max, which has at most maxDigits digits.
std::optional<WideCents> decimalTextCents(const char* s, size_t n, long maxDigits = 29, WideCents max = kMaxWideCents)
{
    size_t i = 0;
    auto blank = [&](size_t k) { return s[k] == ' ' || s[k] == '\t' || s[k] == '\r' || s[k] == '\n'; };
    while (i < n && blank(i))
        ++i;
    while (n > i && blank(n - 1))
        --n;
    bool negative = false;
    if (i < n && (s[i] == '+' || s[i] == '-'))
        negative = s[i++] == '-';
    // The significant digits (leading zeros dropped) and how many of them stand
    // after the point.
    std::string digits;
    int fraction = 0;
    bool anyDigit = false, point = false;
    for (; i < n; ++i) {
        const char c = s[i];
        if (c >= '0' && c <= '9') {
            anyDigit = true;
            if (point)
                ++fraction;
            if (!digits.empty() || c != '0')   // zeros before the first significant digit drop
                digits.push_back(c);
        } else if (c == '.' && !point) {
            point = true;
        } else {
            break;
        }
    }
    if (!anyDigit)
        return std::nullopt;
    long exponent = 0;
    if (i < n && (s[i] == 'e' || s[i] == 'E')) {
        ++i;
        bool negExp = false;
        if (i < n && (s[i] == '+' || s[i] == '-'))
            negExp = s[i++] == '-';
        if (i >= n)
            return std::nullopt;
        for (; i < n && s[i] >= '0' && s[i] <= '9'; ++i)
            exponent = std::min(exponent * 10 + (s[i] - '0'), 100000L);
        if (negExp)
            exponent = -exponent;
    }
    if (i != n)
        return std::nullopt;
    if (digits.empty())
        return WideCents(0);
    // cents = digits × 10^scale
    const long scale = exponent + 2 - fraction;
    const long wholeDigits = long(digits.size()) + scale;   // digits of the cents before rounding
    if (wholeDigits > maxDigits)
        return std::nullopt;
    WideCents cents = 0;
    for (long k = 0; k < wholeDigits; ++k)
        cents = cents * 10 + (k < long(digits.size()) ? digits[size_t(k)] - '0' : 0);
    if (wholeDigits >= 0 && wholeDigits < long(digits.size()) && digits[size_t(wholeDigits)] >= '5')
        ++cents;
    if (cents > max)
        return std::nullopt;
    return negative ? -cents : cents;
}

Stored amount(WideCents c) { return {Stored::Amount, c}; }
Stored unreadable() { return {Stored::Unreadable, 0}; }

Stored readInteger(qint64 v) { return amount(WideCents(v) * 100); }

Stored readDouble(double d)
{
    if (!std::isfinite(d))
        return unreadable();
    if (const std::optional<qint64> c = Cents(d))
        return amount(*c);
    // Beyond kMaxYuan: the shortest decimal text that reads back as this double.
    char buf[64];
    const std::to_chars_result r = std::to_chars(buf, buf + sizeof buf, d);
    const std::optional<WideCents> c = decimalTextCents(buf, size_t(r.ptr - buf));
    return c ? amount(*c) : unreadable();
}

Stored readText(const char* s, size_t n)
{
    const bool empty = std::all_of(s, s + n, [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; });
    if (empty)
        return {};
    const std::optional<WideCents> c = decimalTextCents(s, n);
    return c ? amount(*c) : unreadable();
}

Stored readValue(sqlite3_value* v)
{
    switch (sqlite3_value_type(v)) {
    case SQLITE_NULL: return {};
    case SQLITE_INTEGER: return readInteger(sqlite3_value_int64(v));
    case SQLITE_FLOAT: return readDouble(sqlite3_value_double(v));
    case SQLITE_TEXT:
        return readText(reinterpret_cast<const char*>(sqlite3_value_text(v)), size_t(sqlite3_value_bytes(v)));
    default: return unreadable();
    }
}

// What fee_total keeps of a group while it reads it, in SQLite's aggregate buffer.
// That buffer is aligned for 8 bytes only, less than a WideCents needs, so the sum is
// kept as its bytes and copied out and in.
struct Group {
    unsigned char centsBytes[sizeof(WideCents)];
    qint64 unreadable;

    WideCents cents() const
    {
        WideCents c;
        std::memcpy(&c, centsBytes, sizeof c);
        return c;
    }
    void add(WideCents c)
    {
        c += cents();
        std::memcpy(centsBytes, &c, sizeof c);
    }
};
static_assert(alignof(Group) <= 8);

void feeTotalStep(sqlite3_context* ctx, int, sqlite3_value** argv)
{
    auto* group = static_cast<Group*>(sqlite3_aggregate_context(ctx, sizeof(Group)));
    if (!group) {
        sqlite3_result_error_nomem(ctx);
        return;
    }
    const Stored s = readValue(argv[0]);
    if (s.kind == Stored::Amount)
        group->add(s.cents);
    else if (s.kind == Stored::Unreadable)
        ++group->unreadable;
}

void feeTotalFinal(sqlite3_context* ctx)
{
    const auto* group = static_cast<const Group*>(sqlite3_aggregate_context(ctx, 0));
    QByteArray text = Text(group ? group->cents() : 0).toLatin1();
    if (group && group->unreadable > 0)
        text += ';' + QByteArray::number(group->unreadable);
    sqlite3_result_text(ctx, text.constData(), int(text.size()), SQLITE_TRANSIENT);
}

void notMoneyFunction(sqlite3_context* ctx, int, sqlite3_value** argv)
{
    sqlite3_result_int(ctx, readValue(argv[0]).kind == Stored::Unreadable ? 1 : 0);
}
}

std::optional<qint64> Cents(double yuan)
{
    if (!std::isfinite(yuan) || std::fabs(yuan) > kMaxYuan)
        return std::nullopt;
    const double hundredfold = yuan * 100.0;
    const double nearest = std::nearbyint(hundredfold);
    // Far from a half cent the binary error cannot matter; near one, the
    // decimal digits decide.
    if (std::fabs(hundredfold - nearest) < 0.4)
        return qint64(nearest);
    const qint64 c = decimalCents(std::fabs(yuan));
    return yuan < 0 ? -c : c;
}

Stored Read(const QVariant& stored)
{
    if (!stored.isValid() || stored.isNull())
        return {};
    switch (stored.metaType().id()) {
    case QMetaType::LongLong:
    case QMetaType::Int:
    case QMetaType::UInt: return readInteger(stored.toLongLong());
    case QMetaType::ULongLong: {
        const qulonglong v = stored.toULongLong();
        return amount(WideCents(v) * 100);
    }
    case QMetaType::Double:
    case QMetaType::Float: return readDouble(stored.toDouble());
    case QMetaType::QString: {
        const QByteArray t = stored.toString().toUtf8();
        return readText(t.constData(), size_t(t.size()));
    }
    default: return unreadable();
    }
}

std::optional<Total> ReadTotal(const QVariant& v)
{
    const QByteArray t = v.toString().toLatin1();
    const qsizetype mark = t.indexOf(';');
    Total total;
    if (mark >= 0) {
        bool ok = false;
        total.unreadable = t.mid(mark + 1).toLongLong(&ok);
        if (!ok || total.unreadable < 0)
            return std::nullopt;
    }
    // A sum goes beyond the largest fee: up to 38 digits of cents.
    constexpr WideCents kMaxSum = WideCents(10000000000000000000ULL) * WideCents(10000000000000000000ULL) - 1;
    const QByteArray digits = t.left(mark >= 0 ? mark : t.size()).trimmed();
    if (digits.isEmpty())
        return total;
    const std::optional<WideCents> sum = decimalTextCents(digits.constData(), size_t(digits.size()), 38, kMaxSum);
    if (!sum)
        return std::nullopt;
    total.cents = *sum;
    return total;
}

QString Text(WideCents cents)
{
    // Digits from the last: cents, then yuan; the magnitude as unsigned, so the
    // most negative value has one too.
    unsigned __int128 a = cents < 0 ? -static_cast<unsigned __int128>(cents) : static_cast<unsigned __int128>(cents);
    char buf[48];
    char* p = buf + sizeof buf;
    int place = 0;
    do {
        *--p = char('0' + int(a % 10));
        a /= 10;
        if (++place == 2)
            *--p = '.';
    } while (a != 0 || place < 3);
    if (cents < 0)
        *--p = '-';
    return QString::fromLatin1(p, int(buf + sizeof buf - p));
}

QVariant Value(qint64 cents)
{
    if (cents % 100 == 0)
        return QVariant(qlonglong(cents / 100));
    return QVariant(double(cents) / 100.0);
}

bool RegisterSql(sqlite3* db)
{
    constexpr int flags = SQLITE_UTF8 | SQLITE_DETERMINISTIC;
    return sqlite3_create_function_v2(db, "fee_total", 1, flags, nullptr, nullptr, feeTotalStep, feeTotalFinal, nullptr)
               == SQLITE_OK
           && sqlite3_create_function_v2(db, "not_money", 1, flags, nullptr, notMoneyFunction, nullptr, nullptr,
                                         nullptr)
                  == SQLITE_OK;
}
}
