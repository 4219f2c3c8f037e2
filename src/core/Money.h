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
//
// What the editor saves stays within kMaxYuan, but another program may have
// stored anything in the fee column: a larger number, a text holding one, or a
// text that is no number at all. Read() takes every stored number to the cent in
// WideCents, which sums even the largest of them exactly; what it cannot read as
// money it says so, and the caller names the report that holds it.
namespace Money {

// Whole cents wider than 64 bits.
__extension__ typedef __int128 WideCents;

// The largest amount the editor saves, in yuan: beyond it a double no longer
// holds every cent.
constexpr double kMaxYuan = 1e13;
// The largest stored amount read as money, in cents (10^28): billions of them
// still add up without overflow. A stored number beyond it is not money.
constexpr WideCents kMaxWideCents = WideCents(10000000000000LL) * WideCents(1000000000000000LL);

// An amount in cents; nullopt for a value that is not finite or beyond kMaxYuan.
std::optional<qint64> Cents(double yuan);

// A stored fee as read.
struct Stored {
    enum Kind {
        None,         // Null, or an empty or blank text: no fee
        Amount,       // a number, to the cent in cents
        Unreadable,   // a text that is no number, a picture, infinity, beyond kMaxWideCents
    };
    Kind kind = None;
    WideCents cents = 0;
};
// Any stored fee to the cent: a number exactly as Cents(double) rounds it
// (beyond kMaxYuan, on the shortest decimal text that gives the same double), a
// decimal text ("20000000000000.005", " 2e13 ") exactly on its digits.
Stored Read(const QVariant& stored);

// A group's fees as fee_total gives them: the sum of the amounts and how many
// fees are no amount.
struct Total {
    WideCents cents = 0;
    qint64 unreadable = 0;
};
// fee_total's text read back ("1234.50", "1234.50;2"); nullopt for another text.
std::optional<Total> ReadTotal(const QVariant& fromFeeTotal);

// "1.01", "0.00", "-0.50", "1000000.00", "20000000000000.00".
QString Text(WideCents cents);
// The value to store: whole yuan as an integer, otherwise the double nearest
// the decimal amount (1.01).
QVariant Value(qint64 cents);

// Adds two SQL functions to a connection, so that the statistics sum every
// stored fee in the statement exactly as Read reads it, each fee read once:
//   fee_total(x)   aggregate: the sum of the amounts, as the text "1234.50" (a
//                  group without any amount gives "0.00"), then, when some of
//                  the group's fees are no amount, ";" and how many: "1234.50;2";
//   not_money(x)   1 for a value Read calls Unreadable, 0 otherwise.
bool RegisterSql(sqlite3* db);
}
