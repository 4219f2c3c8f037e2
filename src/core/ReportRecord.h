#pragma once
#include <QDate>
#include <QString>
#include <QVariant>
#include <QVariantList>
#include <array>
#include <optional>

// One row of table reports, for every reader and writer: field numbers and
// column names, the report items that name the fields, the captions of the
// fields, and how the texts of a record become bound values of the insert and
// update statements.
namespace ReportRecord {

enum Field : int {
    ctid = 0,
    brname = 1,
    sex = 2,
    age = 3,
    ageunit = 4,
    bedid = 5,   // contact
    sectionoffice = 6,
    utpatientid = 7,   // requesting physician
    inpatientid = 8,
    pgdate = 9,    // examination date
    rpdate = 10,   // report date, set by the insert only
    pgdr = 11,
    rpdr = 12,
    facility = 13,
    times = 14,   // fee
    part = 15,
    checktechnique = 16,   // result
    checkname = 17,
    checksymptom = 18,      // findings
    checkconclusion = 19,   // diagnosis
    obligate1 = 20,         // examination count
    obligate2 = 21,         // bed number
    obligate3 = 22,         // out-patient number
    obligate4 = 23,         // allergy test
    obligate5 = 24,         // examination number
    picture1 = 29,
    picture2 = 30,
    picture3 = 31,
    picture4 = 32,
};
inline constexpr int kFieldCount = 33;
inline constexpr int kFirstPictureField = picture1;

// Report items 1..23 (bgxm rows in xmid order) and the field each one names:
// the map the print layout stores for its item slots.
inline constexpr int kItemCount = 23;
inline constexpr std::array<int, kItemCount> kItemFields = {24, 1,  2,  3,  5,  6,  7,  21, 8,  22, 9, 20,
                                                            12, 11, 14, 23, 15, 16, 18, 19, 17, 13, 10};

QString ColumnName(int field);    // "brname"; "" for the unused columns 25..28
QString DesignLabel(int field);   // the caption of the field's label, e.g. "性　　别"
int FieldOfItem(int item);        // the field number of report item 1..23, or -1

// Strict parsers used by the editor's validation.
// A number, by the program's number test (core/NumberText.h).
std::optional<double> ParseNumber(const QString& text);
// A date: y-m-d with '-', '/' or '.', or "yyyy年m月d日"; it must be a real calendar day.
// The year has four digits or two (00-29 are 20xx, 30-99 are 19xx).
std::optional<QDate> ParseDate(const QString& text);
QString DateText(const QDate& d);   // yyyy-MM-dd

// The texts of an open record, as its controls hold them; index = field number 1..24.
// Field 10 (report date) and 13 (facility) are not taken from here.
struct Texts {
    std::array<QString, 25> field;
    QString& operator[](int f) { return field[size_t(f)]; }
    const QString& operator[](int f) const { return field[size_t(f)]; }
};

// Value rules:
//   text: the exact text; an empty text is Null
//   age, examination count: a number; empty is Null
//   fee: a number, stored to the cent (Money); empty is 0
//   examination date: normalised to yyyy-MM-dd; empty is Null
//   report date: today, on insert only
//   facility: the equipment name, never Null
QVariant EncodeText(const QString& text);
std::optional<QVariant> EncodeNumber(const QString& text);   // nullopt: not a number
std::optional<QVariant> EncodeFee(const QString& text);
std::optional<QVariant> EncodeDate(const QString& text);

// The insert and update statements over fields 1..24 (the update leaves rpdate alone).
QString InsertSql();
QString UpdateSql();   // last parameter: ctid

// The bound values; false with *badField set when a number or date text does not parse.
bool InsertParams(const Texts& texts, const QString& facilityName, const QDate& today, QVariantList& out,
                  int* badField = nullptr);
bool UpdateParams(const Texts& texts, const QString& facilityName, qint64 key, QVariantList& out,
                  int* badField = nullptr);

// Pictures: one statement for the four picture fields of a row (values then ctid).
QString PicturesSql();
// The same for the picture fields whose flag is set (slot 0..3 = picture1..4),
// in slot order; "" when no flag is set.
QString PicturesSql(const std::array<bool, 4>& write);

// How a stored value is shown in a control: Null is empty, numbers in plain
// decimal (30, 12.5), text unchanged.
QString ValueText(const QVariant& v);
// The fee shown with two decimals, rounded to the cent on its decimal value
// (Money); Null stays empty, a text that is no number stays as it is.
QString FeeText(const QVariant& v);

// A key from a list cell: decimal digits only (blanks around are allowed).
std::optional<qint64> ParseKey(const QString& text);
}
