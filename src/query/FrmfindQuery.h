#pragma once
#include <QDate>
#include <QString>
#include <QVariantList>

#include <optional>

// The report query's statement: the fifteen conditions of the query window
// become one SELECT with bound values. Nothing here touches a window or the
// database, so every rule can be checked on its own.
//
// The plan follows what narrows. When a condition can be answered through an
// index, the statement finds the keys there first and reads only the rows
// found, by key, never their picture columns:
//   SELECT <the grid's columns> FROM reports
//   WHERE ctid IN (SELECT ctid FROM reports WHERE <narrowing>) [AND <the rest>]
//   ORDER BY ctid
// What narrows, best first:
//   Numbers    an exact exam, in-patient or out-patient number (their indexes);
//   Dates      a date range over at most a quarter of the stored examination
//              dates: every condition goes inside, answered from reports_find
//              (pgdate first, then every other condition column) alone;
//   Name       a part of the patient's name (reports_brname, a small index
//              scanned instead of the table);
//   Section    an exact section (read from reports_stats, which holds it).
// With none of these (sex, age, texts, or dates over most of the years) the
// answer is a large part of the table, and fetching it row by row after an
// index scan costs more than one pass: the plain statement reads the table
// once, in key order.
//   Plain      SELECT <the grid's columns> FROM reports WHERE <conditions>
//              ORDER BY ctid
namespace FrmfindQuery {

enum class Plan {
    None,
    Numbers,
    Dates,
    Name,
    Section,
    Plain
};

// The first and last stored examination day (min and max of pgdate); a date
// range narrows when it covers at most a quarter of that span.
struct StoredDates {
    QDate first;
    QDate last;
};

// What the condition controls hold: a date that is not ticked is no date; a
// text is used as typed (an empty text gives no condition, blanks do).
struct Conditions {
    std::optional<QDate> DT1;   // 开始日期
    std::optional<QDate> DT2;   // 结束日期
    QString Text3;              // 科室, equal
    QString Text4;              // 检查部位, contains
    QString Text5;              // 诊断意见, contains
    QString Text6;              // 病人姓名, contains
    QString Text7;              // X线号 (obligate5), equal
    QString Text8;              // 住院号, equal
    QString Text9;              // 年龄上限: age <= it
    QString Text10;             // 年龄下限: age >= it
    QString Text11;             // 性别, equal
    QString Text12;             // X线征象, contains
    QString Text13;             // 报告医师, contains
    QString Text14;             // 检查名称, contains
    QString Text15;             // 门诊号 (obligate3), equal
};

struct Statement {
    // The conditions joined by " AND " in the window's order, with a "?" for
    // each value; empty when no condition was given.
    QString where;
    QVariantList whereParams;   // one value per "?" of where, in order
    QString sql;                // the whole statement; empty when there is nothing to run
    QVariantList params;        // one value per "?" of sql, in order
    // A value that cannot be used (an age that is no number, a text longer
    // than the engine's LIKE takes): the message, and no statement.
    QString error;
    Plan plan = Plan::None;

    bool noConditions() const { return where.isEmpty(); }
};

// Without stored dates a given date range counts as narrowing.
Statement Build(const Conditions& c, const std::optional<StoredDates>& stored = std::nullopt);

// The stored examination days, read from table reports (its pgdate index
// gives both ends at once); nothing when they cannot be read.
std::optional<StoredDates> ReadStoredDates();

// Whether a date range from..to (either end open) covers at most a quarter of
// the stored days.
bool DatesNarrow(const std::optional<QDate>& from, const std::optional<QDate>& to, const StoredDates& stored);

// The columns the result grid reads, by name: never a picture column.
QString Columns();

// A contains-pattern for LIKE ... ESCAPE '\': the text between two "%", with
// "%", "_" and "\" matching themselves.
QString ContainsPattern(const QString& text);

// A typed age as a number to compare with: a whole number when it is one,
// otherwise a decimal; nullopt when the text is not a number.
std::optional<QVariant> AgeValue(const QString& text);
}
