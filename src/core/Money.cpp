#include "core/Money.h"

#include <sqlcipher/sqlite3.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>

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

void centsFunction(sqlite3_context* ctx, int, sqlite3_value** argv)
{
    switch (sqlite3_value_numeric_type(argv[0])) {
    case SQLITE_NULL: sqlite3_result_null(ctx); return;
    case SQLITE_INTEGER: {
        const sqlite3_int64 v = sqlite3_value_int64(argv[0]);
        if (std::llabs(v) <= qint64(kMaxYuan)) {
            sqlite3_result_int64(ctx, v * 100);
            return;
        }
        break;
    }
    case SQLITE_FLOAT: break;
    default: sqlite3_result_int64(ctx, 0); return;   // a text that is no number
    }
    // Beyond kMaxYuan counts as 0, as the detail list's total counts it.
    sqlite3_result_int64(ctx, Cents(sqlite3_value_double(argv[0])).value_or(0));
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

std::optional<qint64> Cents(const QVariant& stored)
{
    if (!stored.isValid() || stored.isNull())
        return std::nullopt;
    switch (stored.metaType().id()) {
    case QMetaType::LongLong:
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::ULongLong: {
        const qint64 v = stored.toLongLong();
        if (std::llabs(v) > qint64(kMaxYuan))
            return std::nullopt;
        return v * 100;
    }
    default: break;
    }
    bool ok = false;
    const double d =
        stored.metaType().id() == QMetaType::QString ? stored.toString().trimmed().toDouble(&ok) : stored.toDouble(&ok);
    if (!ok)
        return std::nullopt;
    return Cents(d);
}

QString Text(qint64 cents)
{
    const qint64 a = cents < 0 ? -cents : cents;
    QString s =
        QString::number(a / 100) + QLatin1Char('.') + QStringLiteral("%1").arg(a % 100, 2, 10, QLatin1Char('0'));
    if (cents < 0)
        s.prepend(QLatin1Char('-'));
    return s;
}

QVariant Value(qint64 cents)
{
    if (cents % 100 == 0)
        return QVariant(qlonglong(cents / 100));
    return QVariant(double(cents) / 100.0);
}

bool RegisterSql(sqlite3* db)
{
    return sqlite3_create_function_v2(db, "cents", 1, SQLITE_UTF8 | SQLITE_DETERMINISTIC, nullptr, centsFunction,
                                      nullptr, nullptr, nullptr)
           == SQLITE_OK;
}
}
