#pragma once
#include "core/Database.h"
#include "core/RecordSetModel.h"

#include <QDate>
#include <QList>
#include <QMetaObject>
#include <QString>
#include <QStringList>

#include <cstddef>
#include <functional>
#include <optional>
#include <span>
#include <string_view>
#include <utility>
#include <vector>

class QTableView;

// What the program's lists of reports share (the main window's day list, the
// query window's results, the related-records list): a table of columns, each
// showing one field of table reports; the model whose cells are made from
// those fields; and the one way each list follows the saves and deletes the
// store announces. Each list has its own table and an enum naming its
// columns, tied together by Matches() at compile time; tests read cells by
// those names, never by number.
namespace ReportGrid {

// How a column's text is made from its field.
enum class Form {
    Text,       // the field's text
    Age,        // the age in plain decimal (30, 7.5), then the unit (kAgeUnitField)
    Date,       // the date part of a stored date, "yyyy-MM-dd"
    Number,     // a number in plain decimal
    Fee,        // the fee with two decimals
    LongText,   // the text, then CR LF (the query window's long texts)
};
inline constexpr const char* kAgeField = "age";
inline constexpr const char* kAgeUnitField = "ageunit";
inline constexpr const char* kKeyField = "ctid";

struct Column {
    const char* header;
    const char* field;   // of table reports
    Form form = Form::Text;
    int twips = 0;       // width; 0 hides the column
    bool left = false;   // cells aligned left and centred vertically (else centred)
    // The query window's column chooser: the width a tick gives the column,
    // and whether its box is ticked when the window opens.
    int tickTwips = 0;
    bool ticked = false;
};

// The check every list's table passes (static_assert): named holds its Col
// names in order, each with the field it shows; every row has a header and
// shows the field of its name; the age, and only the age, is made with its
// unit; the key (ctid) is a hidden column of its own.
template <typename Col, std::size_t N>
constexpr bool Matches(const Column (&table)[N], const std::pair<Col, const char*> (&named)[N])
{
    for (std::size_t c = 0; c < N; ++c) {
        const Column& column = table[c];
        if (!column.header || !column.field || std::size_t(named[c].first) != c
            || std::string_view(column.field) != named[c].second)
            return false;
        if ((std::string_view(column.field) == kAgeField) != (column.form == Form::Age))
            return false;
        if (std::string_view(column.field) == kKeyField && (column.twips != 0 || column.tickTwips != 0))
            return false;
    }
    return true;
}

// The fields a table's list reads, in column order, the age's unit right
// after the age: never a picture.
QStringList Fields(std::span<const Column> table);

// The date of a stored date text ("yyyy-MM-dd", perhaps with a time after
// it); invalid for any other text.
QDate DateOf(const QVariant& stored);
// The date as the lists show it: "yyyy-MM-dd", a text of another form as it is.
QString DateText(const QVariant& stored);
// An age as plain decimal text: 30.0 reads "30".
QString AgeText(const QVariant& age);

// The rows of a list over a query's answer; fields are found by name, so a
// row with more fields or in another order (the store's ListedRow) reads as
// the list's own.
class Model : public RecordSetModel {
public:
    Model(std::span<const Column> table, QObject* parent = nullptr);

    // Rewrites a row with the report of rs's current record.
    void setRow(int row, const RecordSet& rs);

protected:
    int columns() const override { return int(table_.size()); }
    QString recordText(int record, int column) const override;
    QString headerText(int column) const override;
    QVariant cellAlignment(int column) const override;
    void answerChanged() override;

private:
    struct FieldMap {
        QStringList names;        // the answer's fields the map was made for
        std::vector<int> index;   // per column
        int ageUnit = -1;
    };
    void mapFields(const RecordSet& rs, FieldMap& m) const;
    QString cellText(int column, const RecordSet& rs, int record, const FieldMap& m) const;

    std::span<const Column> table_;
    FieldMap map_;
};

// The row of a list whose keyColumn holds key: the selected row when it does,
// else the first that does; -1 when the list does not show it.
int RowOfKey(const QTableView* grid, int keyColumn, qint64 key);
// The key (ctid) of rs's current record; none when it holds no key.
std::optional<qint64> KeyOf(const RecordSet& rs);

// How a list follows the store.
struct Follow {
    int keyColumn = -1;
    // A new report joins the list when takesNew says so (by default it is
    // not the list's business): the blank row of an empty list, which turns
    // filled (selection colour button face), or a new last row. It is
    // selected when selectsNew says so, or when it is the list's only row;
    // otherwise the selection stays where it is.
    std::function<bool(const RecordSet& saved)> takesNew;
    std::function<bool()> selectsNew;
    // The list's empty look once its last report has gone (by default
    // ListGrid::SetEmptyState).
    std::function<void(QTableView*)> setEmpty;
};

// Keeps a list (a view over a Model) in step with every save and delete the
// store announces, whichever window made it: the row of a saved report is
// found by its key and rewritten from the saved row; the row of a deleted one
// removed, the selection staying on its report (or moving to the next row
// when it was this one). The connections end with the grid, or when the
// caller drops them.
QList<QMetaObject::Connection> FollowStore(QTableView* grid, Follow how);
}
