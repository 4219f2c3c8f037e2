#pragma once
#include "core/Database.h"
#include "core/ReportRecord.h"

#include <QDate>
#include <QList>
#include <QObject>
#include <QString>
#include <QVariant>
#include <QStringList>
#include <array>
#include <optional>

// The stored reports: reading, saving and deleting one, who may change one,
// and the reference lists a record is typed from. Every statement on table
// reports that a window needs is here; the functions return what happened and
// show nothing, the windows decide what the user sees.
namespace ReportStore {

// Whether the logged-in user may modify or delete a report whose reporting
// doctor is owner: with right 2 any report, otherwise only the user's own
// (the name compared exactly).
bool MayChange(const QString& owner);

// The whole row (select *, addressed by field number) of the report whose key
// is keyText, decimal digits with blanks around allowed. A text that is no key
// gives the no-rows answer, as a key without a row does.
QueryResult Load(const QString& keyText);
QueryResult Load(qint64 key);

// What a save stores in picture fields 1..4: the bytes of a picture, Null (an
// invalid QVariant, for an empty slot), or, left unset, nothing at all (the
// stored picture is kept).
using PictureWrites = std::array<std::optional<QVariant>, 4>;

struct SaveResult {
    QueryResult result;     // ok, or the failure to report
    int badField = 0;       // set when a number or date text of that field did not parse
    qint64 key = 0;         // the saved row's key
    RecordSetPtr listRow;   // the saved row as the lists read it (ListedRow)
};

// The saved report's fields that the report lists show (every field but the
// pictures, by name), read inside the save's transaction so that a failed
// read rolls the save back.
QueryResult ListedRow(qint64 key);

// What the store announces to the lists that show reports (the main window's
// day list, the query window's and the related-records window's grids), after
// the change is committed and only then: every save and every delete, by key,
// whichever window made it. Each list keeps itself in step.
class Notifier final : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

signals:
    // A report was stored: row is its row as the lists read it
    // (SaveResult::listRow), inserted tells a new report from a rewritten one.
    void reportSaved(const RecordSet& row, bool inserted);
    // The report with this key was deleted.
    void reportDeleted(qint64 key);
};
Notifier* notifier();

// Stores a new report: the row with today as its report date, its key and its
// pictures in one transaction, nothing of it when a step fails.
SaveResult Insert(const ReportRecord::Texts& texts, const QString& facility, const QDate& today,
                  const PictureWrites& pictures);
// Rewrites the report with this key, keeping its report date; a key without a
// row fails with the no-rows answer and changes nothing.
SaveResult Update(qint64 key, const ReportRecord::Texts& texts, const QString& facility, const PictureWrites& pictures);

// Deletes the report whose key is keyText and clears the study link that
// points at it (Study.Status, compared with the key text without its blanks),
// both or neither. A text that is no key gives the no-rows answer.
QueryResult Delete(const QString& keyText);

// The reports whose field (a text field of ReportRecord, such as the
// examination number or the patient name) equals value: how many, and their
// given fields in key order.
QueryResult CountWith(int field, const QString& value);
QueryResult RowsWith(int field, const QString& value, const QList<int>& fields);

// The captions of the report items: bgxm in xmid order, one per row (item n is
// captions[n - 1]); a complete table has ReportRecord::kItemCount rows.
QueryResult ItemCaptions(QStringList& captions);

// The lists a record's fields offer, key in column 0 and name in column 1.
enum class Choice {
    Sections,
    Users,
    Doctors,
    BodyParts
};
QueryResult Choices(Choice list);
// The requesting physicians of one section (doctor.ksid), as Choices gives them.
QueryResult DoctorsOf(const QString& sectionKey);
// The quick phrases of the editor's phrase buttons (zymc, class "V", by id):
// the phrase in column 1.
QueryResult QuickPhrases();
}
