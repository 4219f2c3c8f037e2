#pragma once
#include <QString>
#include <QVariant>

#include <optional>

struct sqlite3;

// Money is kept and added in whole cents. A fee is rounded to the cent, halves
// away from zero, on its decimal value: the number as it is written with
// fifteen significant digits (1.005, 0.125, 2.675), not the binary fraction the
// machine holds for it (1.00499999999999989...), which would round the other
// way. Fees are rounded so when they are saved, shown and summed, so a total
// is always the sum of the amounts shown.
namespace Money {

// The largest amount handled, in yuan: beyond it a double no longer holds
// every cent.
constexpr double kMaxYuan = 1e13;

// An amount in cents; nullopt for a value that is not finite or beyond kMaxYuan.
std::optional<qint64> Cents(double yuan);
// A stored value (a number, or a text holding one) in cents; nullopt for Null,
// an empty or non-numeric text and what Cents(double) refuses.
std::optional<qint64> Cents(const QVariant& stored);

// "1.01", "0.00", "-0.50", "1000000.00".
QString Text(qint64 cents);
// The value to store: whole yuan as an integer, otherwise the double nearest
// the decimal amount (1.01).
QVariant Value(qint64 cents);

// Adds the SQL function cents(x) to a connection: x in cents by the rule above,
// an integer; Null for Null, 0 for a text that is no number or an amount beyond
// kMaxYuan. The statistics sum it, so that each fee is rounded before it is added.
bool RegisterSql(sqlite3* db);
}
