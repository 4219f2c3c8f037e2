#pragma once
#include <QDate>
#include <QString>
#include <QVariantList>

#include <optional>

// The report query's statement: the fifteen conditions of the query window
// become one SELECT with bound values. Nothing here touches a window or the
// database, so every rule can be checked on its own.
//
// The statement narrows first and fetches afterwards:
//   SELECT <the grid's columns> FROM reports
//   WHERE ctid IN (SELECT ctid FROM reports WHERE <conditions>) ORDER BY ctid
// The inner SELECT needs only the condition columns and the key, which the
// indexes reports_find (every condition column), reports_brname,
// reports_pgdate, reports_obligate5, reports_inpatientid and
// reports_obligate3 hold: it never reads a table row, and a substring search
// over all years scans an index instead of the table, whose rows carry the
// pictures. Only the rows found are then read, by key, and never their
// picture columns.
namespace FrmfindQuery {

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
    QString sql;           // the whole statement; empty when there is nothing to run
    QVariantList params;   // one value per "?" of where, in order
    // A value that cannot be used (an age that is no number, a text longer
    // than the engine's LIKE takes): the message, and no statement.
    QString error;

    bool noConditions() const { return where.isEmpty(); }
};

Statement Build(const Conditions& c);

// The columns the result grid reads, by name: never a picture column.
QString Columns();

// A contains-pattern for LIKE ... ESCAPE '\': the text between two "%", with
// "%", "_" and "\" matching themselves.
QString ContainsPattern(const QString& text);

// A typed age as a number to compare with: a whole number when it is one,
// otherwise a decimal; nullopt when the text is not a number.
std::optional<QVariant> AgeValue(const QString& text);
}
