#pragma once
#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVector>
#include "platform/AppError.h"

#include <memory>
#include <vector>

struct sqlite3;

// The one database connection of the process and the only ways to use it.
// data.db in the program folder is an encrypted SQLite database.

// A query's answer, copied out whole: it stays readable after later queries
// and after the connection is closed. The cells are kept flat, the texts of the
// whole answer in one buffer; a text becomes a QString when it is read.
class RecordSet {
public:
    RecordSet() = default;
    RecordSet(QStringList columns, const QVector<QVector<QVariant>>& rows);

    int recordCount() const { return rowCount_; }
    int fieldCount() const { return int(columns_.size()); }
    QString fieldName(int i) const { return columns_.value(i); }
    int fieldIndex(const QString& name) const;   // -1 when absent (case-insensitive)

    bool eof() const { return pos_ >= rowCount_ || rowCount_ == 0; }
    bool bof() const { return pos_ < 0 || rowCount_ == 0; }
    void moveFirst() { pos_ = 0; }
    void moveLast() { pos_ = rowCount_ == 0 ? 0 : rowCount_ - 1; }
    void moveNext()
    {
        if (pos_ < rowCount_)
            ++pos_;
    }
    void movePrevious()
    {
        if (pos_ >= 0)
            --pos_;
    }
    void move(int row) { pos_ = row; }
    int position() const { return int(pos_); }

    // Values of the current row. A Null field is an invalid QVariant.
    QVariant field(int i) const { return value(int(pos_), i); }
    bool isNull(int i) const { return isNull(int(pos_), i); }
    // Text of a field; Null reads as an empty text.
    QString text(int i) const { return text(int(pos_), i); }
    QByteArray blob(int i) const { return value(int(pos_), i).toByteArray(); }

    // Direct access by row and column.
    QVariant value(int row, int column) const;
    bool isNull(int row, int column) const;
    // The text of a cell as field(i)'s toString() gives it; Null and a cell
    // outside the answer read as an empty text.
    QString text(int row, int column) const;

private:
    friend class RecordSetBuilder;
    enum Kind : quint8 {
        Null,
        Integer,
        Real,
        Text,
        Blob
    };
    struct Cell {
        union {
            qint64 integer = 0;
            double real;
            qint64 offset;   // into texts_ (Text) or blobs_ (Blob)
        };
        quint32 length = 0;   // of a text, in UTF-8 bytes
        Kind kind = Null;
    };
    const Cell* cell(int row, int column) const;

    // The cells, grown with realloc: a large answer's block is then moved by
    // remapping its pages instead of being copied at every growth.
    class Cells {
    public:
        Cells() = default;
        Cells(const Cells& other) { *this = other; }
        Cells& operator=(const Cells& other);
        Cells(Cells&& other) noexcept { swap(other); }
        Cells& operator=(Cells&& other) noexcept
        {
            swap(other);
            return *this;
        }
        ~Cells();
        void reserve(std::size_t n);
        Cell& emplace_back();
        const Cell& operator[](std::size_t i) const { return data_[i]; }
        std::size_t size() const { return size_; }

    private:
        void swap(Cells& other) noexcept;
        Cell* data_ = nullptr;
        std::size_t size_ = 0, capacity_ = 0;
    };

    QStringList columns_;
    Cells cells_;        // row after row, fieldCount() cells each
    QByteArray texts_;   // every text of the answer (UTF-8), one after another
    QVector<QByteArray> blobs_;
    int rowCount_ = 0;
    qsizetype pos_ = 0;
};
using RecordSetPtr = std::shared_ptr<RecordSet>;

// The answer of QueryData and ExecuteSql: the error number, its description
// and, after a query, the rows.
class QueryResult {
public:
    static inline const QString kNoRows = QStringLiteral("没有符合条件的数据返回");

    int number = 0;        // 0 rows/success, 1000 no rows, otherwise the failure's number
    QString description;   // "", kNoRows, or the failure's text
    RecordSetPtr data;     // present exactly when number is 0 or 1000 after a query

    bool ok() const { return number == AppError::None; }
    bool hasRows() const { return number == AppError::None && data; }
    bool failed() const { return number != AppError::None && number != AppError::NoRows; }
    // The answer as an error, and its "<number>:<description>".
    AppError error() const { return AppError(number, description); }
    QString text() const { return AppError::format(number, description); }
    // The query ran and found no row (the rows are there, none of them).
    bool noRows() const { return number == AppError::NoRows; }
};

// Raised by OpenDatabase when data.db cannot be opened.
struct DbOpenError : AppError {
    using AppError::AppError;
};

namespace Database {
constexpr int kOpenErrorNumber = AppError::DatabaseOpenFailed;
QString openErrorText();   // "未能连接到数据库，数据库被更名或损坏！" CR LF "错误"

// Opens data.db read-write (never creates it). Throws DbOpenError(3000) on
// failure, also for an empty (0-byte) file, which holds no database.
// A data.db of an earlier build (the engine's default page size) is converted
// to the program's page size first, keeping everything in it; an older data.db
// gets the indexes it lacks. Both can take long on a large database: a notice
// (WorkNotice) is on screen before they start and while they run.
void OpenDatabase();
// Opens a given database file; used by OpenDatabase and by checks of backup files.
void OpenDatabaseFile(const QString& path);
void CloseDatabase();
bool isOpen();

QueryResult QueryData(const QString& sql);
QueryResult QueryData(const QString& sql, const QVariantList& params);
QueryResult ExecuteSql(const QString& sql);
QueryResult ExecuteSql(const QString& sql, const QVariantList& params);

// The key the database gave the last inserted row.
qint64 LastInsertId();
// Rows changed by the last ExecuteSql.
int ChangedRows();

QueryResult BeginTrans();
QueryResult CommitTrans();
QueryResult RollbackTrans();

// Rolls back unless commit() was called. Used inside another Transaction it
// becomes a savepoint of that one.
class Transaction {
public:
    Transaction();
    ~Transaction();
    bool started() const { return started_; }
    const QueryResult& beginResult() const { return begin_; }
    QueryResult commit();
    void rollback();

private:
    bool nested_ = false;
    QueryResult begin_;
    bool started_ = false;
    bool done_ = false;
};

// Indexes and other additions made to the schema after databases were in use:
// data/schema.sql has them for new databases; the program adds the missing
// ones whenever it opens data.db.
QStringList SchemaAdditions();

// Creates a new encrypted, owner-only database at path from the given SQL script.
// Returns an empty text on success, otherwise the reason.
QString CreateDatabaseFile(const QString& path, const QString& script);
// The schema and seed rows shipped with the program.
QString ShippedSchema();
// A bare engine handle on an encrypted database, opened with the program's key
// (flags as for sqlite3_open_v2). nullptr and the reason when it does not open.
// For tools that work below this layer, such as the benchmark generator.
sqlite3* OpenKeyedHandle(const QString& path, int flags, QString* why = nullptr);
// True when path is an encrypted database of ours (our key and page size) that
// holds table reports.
bool IsOurDatabase(const QString& path, QString* why = nullptr);
// True when path is a database of ours as earlier builds made it (our key,
// the engine's default pages of 1 KB) that holds table reports.
bool IsEarlierDatabase(const QString& path);
// Exports the earlier build's database at source into the empty file at
// target, with the program's page size; source is not changed. 0, or the
// engine's result code of the failure (SQLITE_FULL for a full disk).
int ExportEarlierDatabase(const QString& source, const QString& target);
// Whether every page of the database at path decrypts and every table and
// index is whole (the engine's quick check).
bool IsWholeDatabase(const QString& path);
}

Q_DECLARE_METATYPE(RecordSetPtr)
