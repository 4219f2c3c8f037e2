#include "core/Database.h"
#include "core/Money.h"

#include "core/WorkNotice.h"
#include "platform/AppPaths.h"
#include "platform/PrivateFile.h"

#include <QDate>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QStorageInfo>

#include <sqlcipher/sqlite3.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <new>
#include <optional>
#include <type_traits>

#include <utility>

#include <sys/stat.h>
#include <unistd.h>

// The shipped data files live in a resource of this static library.
static void initDataResource() { Q_INIT_RESOURCE(data); }

// True for the integer types whose every value fits a 64-bit signed integer.
static bool isSignedFitting(const QVariant& v)
{
    switch (v.metaType().id()) {
    case QMetaType::Bool:
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::Long:
    case QMetaType::LongLong:
    case QMetaType::Short:
    case QMetaType::UShort: return true;
    default: return false;
    }
}

// Copies an answer into a RecordSet cell by cell: texts are copied as the
// engine gives them (UTF-8) into the answer's one text buffer, so reading a day
// of reports makes no object per cell and decodes only the texts that are read.
class RecordSetBuilder {
public:
    explicit RecordSetBuilder(RecordSet& rs) : rs_(rs) {}

    void reserve(qsizetype cells) { rs_.cells_.reserve(size_t(cells)); }
    void addNull() { rs_.cells_.emplace_back(); }
    void addInteger(qint64 v)
    {
        RecordSet::Cell& c = rs_.cells_.emplace_back();
        c.integer = v;
        c.kind = RecordSet::Integer;
    }
    void addReal(double v)
    {
        RecordSet::Cell& c = rs_.cells_.emplace_back();
        c.real = v;
        c.kind = RecordSet::Real;
    }
    void addText(const char* utf8, qsizetype bytes)
    {
        RecordSet::Cell& c = rs_.cells_.emplace_back();
        c.kind = RecordSet::Text;
        c.offset = used_;
        if (bytes <= 0)
            return;
        if (used_ + bytes > buffer_.size()) {
            buffer_.resize(std::max(used_ + bytes, buffer_.size() * 2 + 4096));
            base_ = buffer_.data();
        }
        std::memcpy(base_ + used_, utf8, size_t(bytes));
        used_ += bytes;
        c.length = quint32(bytes);
    }
    void addText(const QString& text)
    {
        const QByteArray utf8 = text.toUtf8();
        addText(utf8.constData(), utf8.size());
    }
    void addBlob(QByteArray bytes)
    {
        RecordSet::Cell& c = rs_.cells_.emplace_back();
        c.kind = RecordSet::Blob;
        c.offset = rs_.blobs_.size();
        rs_.blobs_.append(std::move(bytes));
    }
    void addValue(const QVariant& v)
    {
        if (!v.isValid() || v.isNull())
            return addNull();
        if (isSignedFitting(v))
            return addInteger(v.toLongLong());
        switch (v.metaType().id()) {
        case QMetaType::Double:
        case QMetaType::Float: return addReal(v.toDouble());
        case QMetaType::QByteArray: return addBlob(v.toByteArray());
        default: return addText(v.toString());
        }
    }
    void endRow() { ++rs_.rowCount_; }
    void setColumns(QStringList names) { rs_.columns_ = std::move(names); }
    void finish()
    {
        buffer_.resize(used_);
        buffer_.squeeze();
        rs_.texts_ = std::move(buffer_);
    }

private:
    RecordSet& rs_;
    // The text buffer grows ahead of its contents (the bytes past used_ are
    // not yet written) and is cut to size by finish().
    QByteArray buffer_;
    char* base_ = nullptr;
    qsizetype used_ = 0;
};

namespace {

sqlite3* gConn = nullptr;
// Set while the engine works for long on gConn with the notice repainting:
// a statement that arrives from an event handled meanwhile is refused rather
// than run inside the engine's call.
bool gPreparing = false;
// Error number and text given when a statement arrives while no connection is open.
constexpr int kClosedNumber = AppError::DatabaseClosed;
const char* const kDatabaseKey = "velkora";
constexpr int kCipherPageSize = 4096;

QueryResult failure(int number, const QString& text)
{
    QueryResult r;
    r.description = text;
    r.number = number;
    return r;
}

// A plain sentence for the failures a user can do something about; the
// engine's own text follows it.
QString explanation(int extendedCode)
{
    if (extendedCode == SQLITE_READONLY_DBMOVED)
        return QStringLiteral("数据库文件在程序运行时被移走、改名或替换，修改没有保存。请退出程序后重新启动。");
    switch (extendedCode & 0xff) {
    case SQLITE_READONLY: return QStringLiteral("数据库文件是只读的，修改没有保存。");
    case SQLITE_CANTOPEN: return QStringLiteral("不能打开数据库文件或它的日志文件，数据库所在的文件夹可能不能写入。");
    case SQLITE_BUSY:
    case SQLITE_LOCKED: return QStringLiteral("数据库正被其他程序使用，请稍后再试。");
    case SQLITE_FULL: return QStringLiteral("磁盘已满。");
    default: return QString();
    }
}

QueryResult engineFailure(sqlite3* db)
{
    const int code = db ? sqlite3_errcode(db) : SQLITE_ERROR;
    QString text = db ? QString::fromUtf8(sqlite3_errmsg(db)) : QStringLiteral("unknown error");
    const QString plain = db ? explanation(sqlite3_extended_errcode(db)) : QString();
    if (!plain.isEmpty())
        text = plain + QStringLiteral("\r\n") + text;
    return failure(code == SQLITE_OK ? SQLITE_ERROR : code, text);
}

QueryResult closedFailure() { return failure(kClosedNumber, QStringLiteral("数据库连接未打开")); }

bool bindAll(sqlite3_stmt* st, const QVariantList& params)
{
    const int expected = sqlite3_bind_parameter_count(st);
    if (expected != params.size())
        return false;
    for (int i = 0; i < params.size(); ++i) {
        const QVariant& v = params[i];
        const int idx = i + 1;
        int rc = SQLITE_OK;
        if (!v.isValid() || v.isNull()) {
            rc = sqlite3_bind_null(st, idx);
        } else if (isSignedFitting(v)) {
            rc = sqlite3_bind_int64(st, idx, v.toLongLong());
        } else {
            switch (v.metaType().id()) {
            case QMetaType::ULongLong:
                if (v.toULongLong() > quint64(std::numeric_limits<qint64>::max()))
                    rc = sqlite3_bind_double(st, idx, double(v.toULongLong()));
                else
                    rc = sqlite3_bind_int64(st, idx, qint64(v.toULongLong()));
                break;
            case QMetaType::Double:
            case QMetaType::Float: rc = sqlite3_bind_double(st, idx, v.toDouble()); break;
            case QMetaType::QByteArray: {
                const QByteArray b = v.toByteArray();
                rc = sqlite3_bind_blob64(st, idx, b.constData(), sqlite3_uint64(b.size()), SQLITE_TRANSIENT);
                break;
            }
            case QMetaType::QDate:
            case QMetaType::QDateTime: {
                // No date is Null, not an empty text.
                const bool date = v.metaType().id() == QMetaType::QDate;
                const QString t = date ? v.toDate().toString(QStringLiteral("yyyy-MM-dd"))
                                       : v.toDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
                rc = t.isEmpty() ? sqlite3_bind_null(st, idx)
                                 : sqlite3_bind_text(st, idx, t.toUtf8().constData(), -1, SQLITE_TRANSIENT);
                break;
            }
            default: {
                // A value with no text form (a list, a picture object) is refused
                // rather than stored as an empty text.
                QVariant text = v;
                if (!text.convert(QMetaType::fromType<QString>()))
                    return false;
                const QByteArray t = text.toString().toUtf8();
                rc = sqlite3_bind_text64(st, idx, t.constData(), sqlite3_uint64(t.size()), SQLITE_TRANSIENT,
                                         SQLITE_UTF8);
                break;
            }
            }
        }
        if (rc != SQLITE_OK)
            return false;
    }
    return true;
}

// Prepares exactly one statement; anything after it but blanks, ';' and
// comments is refused, so a second statement never runs unseen.
sqlite3_stmt* prepareOne(const QByteArray& sql, QueryResult* fail)
{
    sqlite3_stmt* st = nullptr;
    const char* tail = nullptr;
    if (sqlite3_prepare_v2(gConn, sql.constData(), int(sql.size()), &st, &tail) != SQLITE_OK) {
        *fail = engineFailure(gConn);
        return nullptr;
    }
    if (!st) {
        *fail = failure(SQLITE_MISUSE, QStringLiteral("空的 SQL 语句"));
        return nullptr;
    }
    const char* end = sql.constData() + sql.size();
    while (tail && tail < end) {
        sqlite3_stmt* more = nullptr;
        const char* next = nullptr;
        const int rc = sqlite3_prepare_v2(gConn, tail, int(end - tail), &more, &next);
        sqlite3_finalize(more);
        if (rc != SQLITE_OK || more) {
            sqlite3_finalize(st);
            *fail = failure(SQLITE_MISUSE, QStringLiteral("一次只能执行一条 SQL 语句"));
            return nullptr;
        }
        if (next == tail)
            break;
        tail = next;
    }
    return st;
}

QueryResult run(const QString& sql, const QVariantList* params, bool wantRows)
{
    if (!gConn)
        return closedFailure();
    if (gPreparing)
        return failure(SQLITE_BUSY, QStringLiteral("数据库正在准备中，请稍后再试。"));
    QueryResult fail;
    sqlite3_stmt* st = prepareOne(sql.toUtf8(), &fail);
    if (!st)
        return fail;
    if (params && !bindAll(st, *params)) {
        sqlite3_finalize(st);
        return failure(SQLITE_RANGE, QStringLiteral("SQL 参数个数或类型不符"));
    }
    if (!params && sqlite3_bind_parameter_count(st) > 0) {
        sqlite3_finalize(st);
        return failure(SQLITE_RANGE, QStringLiteral("SQL 参数个数或类型不符"));
    }

    const int columns = sqlite3_column_count(st);
    auto data = wantRows ? std::make_shared<RecordSet>() : nullptr;
    std::optional<RecordSetBuilder> build;
    if (wantRows)
        build.emplace(*data);
    int rc;
    while ((rc = sqlite3_step(st)) == SQLITE_ROW) {
        if (!wantRows)
            continue;
        for (int c = 0; c < columns; ++c) {
            switch (sqlite3_column_type(st, c)) {
            case SQLITE_INTEGER: build->addInteger(sqlite3_column_int64(st, c)); break;
            case SQLITE_FLOAT: build->addReal(sqlite3_column_double(st, c)); break;
            case SQLITE_TEXT: {
                const char* t = reinterpret_cast<const char*>(sqlite3_column_text(st, c));
                build->addText(t, sqlite3_column_bytes(st, c));
                break;
            }
            case SQLITE_BLOB: {
                const void* b = sqlite3_column_blob(st, c);
                build->addBlob(QByteArray(static_cast<const char*>(b), sqlite3_column_bytes(st, c)));
                break;
            }
            default: build->addNull(); break;
            }
        }
        build->endRow();
    }
    if (rc != SQLITE_DONE) {
        QueryResult r = engineFailure(gConn);
        sqlite3_finalize(st);
        return r;
    }
    QStringList names;
    if (wantRows) {
        names.reserve(columns);
        for (int c = 0; c < columns; ++c)
            names.append(QString::fromUtf8(sqlite3_column_name(st, c)));
    }
    sqlite3_finalize(st);

    QueryResult r;
    if (!wantRows)
        return r;
    build->setColumns(std::move(names));
    build->finish();
    if (data->recordCount() == 0) {
        r.number = AppError::NoRows;
        r.description = QueryResult::kNoRows;
    }
    r.data = std::move(data);
    return r;
}

// enginePages: the engine's default page size, that of files made by earlier
// builds; used only to convert those.
sqlite3* openKeyed(const QString& path, int flags, QString* why, bool enginePages = false)
{
    sqlite3* db = nullptr;
    const QByteArray p = QFile::encodeName(path);
    if (sqlite3_open_v2(p.constData(), &db, flags, nullptr) != SQLITE_OK) {
        if (why)
            *why = db ? QString::fromUtf8(sqlite3_errmsg(db)) : QStringLiteral("unable to open database file");
        sqlite3_close(db);
        return nullptr;
    }
    // The key, then the page size: both must match the ones the file was made
    // with. Pages of 4 KB make scans about three times faster than the
    // engine's default of 1 KB.
    QByteArray keySql = QByteArray("PRAGMA key = '") + kDatabaseKey + "';";
    if (!enginePages)
        keySql += " PRAGMA cipher_page_size = " + QByteArray::number(kCipherPageSize) + ";";
    char* err = nullptr;
    if (sqlite3_exec(db, keySql.constData(), nullptr, nullptr, &err) != SQLITE_OK
        || sqlite3_exec(db, "SELECT count(*) FROM sqlite_master;", nullptr, nullptr, &err) != SQLITE_OK) {
        if (why)
            *why = err ? QString::fromUtf8(err) : QString::fromUtf8(sqlite3_errmsg(db));
        sqlite3_free(err);
        sqlite3_close(db);
        return nullptr;
    }
    sqlite3_busy_timeout(db, 2000);
    // The statistics sum fees exactly with fee_total(times) and find those that
    // are no amount with not_money(times).
    Money::RegisterSql(db);
    return db;
}

bool holdsReports(sqlite3* db, QString* why = nullptr)
{
    sqlite3_stmt* st = nullptr;
    const bool ok = sqlite3_prepare_v2(db, "SELECT count(*) FROM reports", -1, &st, nullptr) == SQLITE_OK
                    && sqlite3_step(st) == SQLITE_ROW;
    if (!ok && why)
        *why = QString::fromUtf8(sqlite3_errmsg(db));
    sqlite3_finalize(st);
    return ok;
}

// Lets the notice on screen repaint while the engine works for long on db.
int pumpNotice(void*)
{
    WorkNotice::pump();
    return 0;
}
void watchProgress(sqlite3* db) { sqlite3_progress_handler(db, 20000, pumpNotice, nullptr); }

// Exports a database of ours opened with the engine's default pages into the
// empty file at target, with the program's page size. 0 or the engine's code.
int exportWithOurPages(sqlite3* db, const QString& target)
{
    sqlite3_stmt* st = nullptr;
    const QByteArray name = QFile::encodeName(target);
    int rc = sqlite3_prepare_v2(db, "ATTACH DATABASE ? AS converted KEY ?", -1, &st, nullptr);
    if (rc == SQLITE_OK)
        rc = sqlite3_bind_text(st, 1, name.constData(), int(name.size()), SQLITE_TRANSIENT);
    if (rc == SQLITE_OK)
        rc = sqlite3_bind_text(st, 2, kDatabaseKey, -1, SQLITE_STATIC);
    if (rc == SQLITE_OK)
        rc = sqlite3_step(st) == SQLITE_DONE ? SQLITE_OK : sqlite3_errcode(db);
    sqlite3_finalize(st);
    if (rc != SQLITE_OK)
        return rc;
    // The target is a temporary file that is thrown away on any failure, so
    // its journal stays in memory: no second file beside it to leave behind.
    const QByteArray sql = "PRAGMA converted.cipher_page_size = " + QByteArray::number(kCipherPageSize)
                           + "; PRAGMA converted.journal_mode = MEMORY; SELECT sqlcipher_export('converted');";
    rc = sqlite3_exec(db, sql.constData(), nullptr, nullptr, nullptr);
    if (rc != SQLITE_OK)
        rc = sqlite3_extended_errcode(db) & 0xff;
    const int detached = sqlite3_exec(db, "DETACH DATABASE converted;", nullptr, nullptr, nullptr);
    return rc != SQLITE_OK ? rc : detached;
}

// data.db as earlier builds made it, with the engine's default pages of 1 KB,
// is converted once: exported into a new owner-only file beside it, which
// replaces it by one rename when it is complete and checked. The old file is
// untouched until then; a program killed meanwhile leaves the temporary file,
// which the next start removes. 0 when data.db now has the program's pages,
// else the system's error number of the failure (ENOSPC for a full disk).
int convertEarlierPages(const QString& path)
{
    PrivateFile::Replacement converted(path, PrivateFile::Replacement::Temporary::Named);
    if (converted.error() != 0)
        return converted.error();
    const QString temp = converted.temporaryPath();
    switch (Database::ExportEarlierDatabase(path, temp)) {
    case SQLITE_OK: break;
    case SQLITE_FULL: return ENOSPC;
    case SQLITE_CANTOPEN:
    case SQLITE_READONLY:
    case SQLITE_PERM: return EACCES;
    default: return EIO;
    }
    if (!Database::IsOurDatabase(temp))
        return EIO;
    return converted.commit();
}

// Why a database of an earlier build could not be converted: the file itself
// is whole, and must not be given up for a backup.
QString conversionFailureText(int err, const QString& path)
{
    QString why;
    switch (err) {
    case ENOSPC:
    case EDQUOT:
    case EFBIG: why = QStringLiteral("磁盘已满"); break;
    case EACCES:
    case EPERM:
    case EROFS: why = QStringLiteral("程序文件夹不能写入"); break;
    case EIO: why = QStringLiteral("磁盘读写出错"); break;
    default: why = QString::fromLocal8Bit(std::strerror(err)); break;
    }
    return QStringLiteral("%1 是早先版本的数据库，要转换后才能使用，但转换没有完成（%2）；它没有改动，本身完好。\r\n"
                          "请腾出磁盘空间或给程序文件夹写入权限，然后重新启动；不要用备份替换它。")
        .arg(QDir::toNativeSeparators(path), why);
}

// The name of the index a schema addition makes; empty for another statement.
QString additionIndex(const QString& sql)
{
    static const QRegularExpression name(QStringLiteral("IF NOT EXISTS\\s+(\\w+)"),
                                         QRegularExpression::CaseInsensitiveOption);
    return name.match(sql).captured(1);
}

bool hasIndex(const QString& name)
{
    const QueryResult r =
        Database::QueryData(QStringLiteral("SELECT 1 FROM sqlite_master WHERE type = 'index' AND name = ?"), {name});
    return r.hasRows();
}

// Adds the indexes and other additions the open database lacks. On a
// database with reports each index is a pass over all of them, so the notice
// is up from before the first until after the last.
void addMissingSchema()
{
    QStringList missing;
    for (const QString& sql : Database::SchemaAdditions()) {
        const QString index = additionIndex(sql);
        if (index.isEmpty() || !hasIndex(index))
            missing.append(sql);
    }
    if (missing.isEmpty())
        return;
    std::optional<WorkNotice> notice;
    if (Database::QueryData(QStringLiteral("SELECT 1 FROM reports LIMIT 1")).hasRows())
        notice.emplace(WorkNotice::preparingLine());
    watchProgress(gConn);
    gPreparing = true;
    // A missing index only costs speed: a file that cannot take one (read-only)
    // still opens, and its writes report their own failures.
    for (const QString& sql : missing)
        sqlite3_exec(gConn, sql.toUtf8().constData(), nullptr, nullptr, nullptr);
    gPreparing = false;
    sqlite3_progress_handler(gConn, 0, nullptr, nullptr);
}
}

// ---------------------------------------------------------------------------

RecordSet::RecordSet(QStringList columns, const QVector<QVector<QVariant>>& rows) : columns_(std::move(columns))
{
    RecordSetBuilder build(*this);
    build.reserve(qsizetype(rows.size()) * columns_.size());
    for (const QVector<QVariant>& row : rows) {
        for (int c = 0; c < columns_.size(); ++c)
            build.addValue(row.value(c));
        build.endRow();
    }
    build.finish();
}

RecordSet::Cells::~Cells() { std::free(data_); }

RecordSet::Cells& RecordSet::Cells::operator=(const Cells& other)
{
    if (this == &other)
        return *this;
    Cells copy;
    copy.reserve(other.size_);
    if (other.size_ > 0)
        std::memcpy(static_cast<void*>(copy.data_), other.data_, other.size_ * sizeof(Cell));
    copy.size_ = other.size_;
    swap(copy);
    return *this;
}

void RecordSet::Cells::swap(Cells& other) noexcept
{
    std::swap(data_, other.data_);
    std::swap(size_, other.size_);
    std::swap(capacity_, other.capacity_);
}

void RecordSet::Cells::reserve(std::size_t n)
{
    static_assert(std::is_trivially_copyable_v<Cell>, "cells are moved by realloc");
    if (n <= capacity_)
        return;
    void* grown = std::realloc(static_cast<void*>(data_), n * sizeof(Cell));
    if (!grown)
        throw std::bad_alloc();
    data_ = static_cast<Cell*>(grown);
    capacity_ = n;
}

RecordSet::Cell& RecordSet::Cells::emplace_back()
{
    if (size_ == capacity_)
        reserve(std::max<std::size_t>(1024, capacity_ * 2));
    return *new (data_ + size_++) Cell();
}

int RecordSet::fieldIndex(const QString& name) const
{
    for (int i = 0; i < columns_.size(); ++i)
        if (columns_[i].compare(name, Qt::CaseInsensitive) == 0)
            return i;
    return -1;
}

const RecordSet::Cell* RecordSet::cell(int row, int column) const
{
    if (row < 0 || row >= rowCount_ || column < 0 || column >= columns_.size())
        return nullptr;
    return &cells_[size_t(row) * size_t(columns_.size()) + size_t(column)];
}

QVariant RecordSet::value(int row, int column) const
{
    const Cell* c = cell(row, column);
    if (!c)
        return QVariant();
    switch (c->kind) {
    case Integer: return QVariant(qlonglong(c->integer));
    case Real: return QVariant(c->real);
    case Text: return QVariant(QString::fromUtf8(texts_.constData() + c->offset, c->length));
    case Blob: return QVariant(blobs_[c->offset]);
    case Null: break;
    }
    return QVariant();
}

bool RecordSet::isNull(int row, int column) const
{
    const Cell* c = cell(row, column);
    return !c || c->kind == Null;
}

QString RecordSet::text(int row, int column) const
{
    const Cell* c = cell(row, column);
    if (!c)
        return QString();
    switch (c->kind) {
    case Integer: return QString::number(c->integer);
    case Text: return QString::fromUtf8(texts_.constData() + c->offset, c->length);
    case Null: return QString();
    case Real:
    case Blob: break;
    }
    return value(row, column).toString();
}

namespace Database {

QString openErrorText() { return QStringLiteral("未能连接到数据库，数据库被更名或损坏！\r\n错误"); }

namespace {
// The file a name leads to, looked up once by the one link rule (a link the
// rule does not follow is refused, naming it); none when there is none.
std::optional<struct stat> checkedFile(const QString& path)
{
    const PrivateFile::Name name = PrivateFile::resolve(path);
    if (!name.refusedLink.isEmpty())
        throw DbOpenError(kOpenErrorNumber,
                          PrivateFile::refusedLinkText(name.refusedLink, PrivateFile::Remedy::Administrator));
    struct stat st {};
    if (!name.ok() || name.folder.stat(name.entry, &st) != 0)
        return std::nullopt;
    return st;
}

// Whether the name still leads to the file checked (same device and inode),
// or still to none.
bool stillChecked(const std::optional<struct stat>& checked, const QString& path)
{
    struct stat st {};
    if (::stat(QFile::encodeName(path).constData(), &st) != 0)
        return !checked;
    return checked && st.st_dev == checked->st_dev && st.st_ino == checked->st_ino;
}

DbOpenError swappedWhileOpened(const QString& path)
{
    return DbOpenError(kOpenErrorNumber,
                       QStringLiteral("数据库文件 %1 在打开的同时被换成了另一个文件，程序没有使用它，也没有改动它。"
                                      "请确认程序文件夹只有本账户在使用，然后重新启动。")
                           .arg(QDir::toNativeSeparators(path)));
}
}

void OpenDatabaseFile(const QString& path)
{
    const std::optional<struct stat> checked = checkedFile(path);
    // A fresh connection replaces the previous one.
    if (gConn) {
        sqlite3_close_v2(gConn);
        gConn = nullptr;
    }
    // The engine takes an empty file for an empty database, which would then
    // fail on its first statement in the engine's words: an empty data.db is
    // a damaged one.
    if (checked && S_ISREG(checked->st_mode) && checked->st_size == 0)
        throw DbOpenError(kOpenErrorNumber, openErrorText());
    // The connection is only ever used by the GUI thread, so it is opened
    // without the engine's own locking, which otherwise takes a mutex on every
    // column read of every row.
    gConn = openKeyed(path, SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX, nullptr);
    // The engine opens by name only, so the file is confirmed after the open
    // to be the one checked above (same device and inode); also when the open
    // failed, as a file put in its place may not decrypt: that is no damaged
    // database. A name swapped for another file and back between the two
    // looks still goes unseen; in a program folder that is the user's alone
    // only the user or the administrator can do that.
    if (!stillChecked(checked, path) || (gConn && !checked)) {
        if (gConn)
            sqlite3_close_v2(gConn);
        gConn = nullptr;
        throw swappedWhileOpened(path);
    }
    if (!gConn)
        throw DbOpenError(kOpenErrorNumber, openErrorText());
}

void OpenDatabase()
{
    const QString path = AppPaths::databaseFile();
    try {
        OpenDatabaseFile(path);
    } catch (const DbOpenError& e) {
        // Only a file that did not open as it is may be one of an earlier
        // build; a refused link or a swapped file is said as it stands.
        if (e.description != openErrorText() || !IsEarlierDatabase(path))
            throw;
        {
            const WorkNotice notice(WorkNotice::convertingLine());
            if (const int err = convertEarlierPages(path))
                throw DbOpenError(kOpenErrorNumber, conversionFailureText(err, path));
        }
        OpenDatabaseFile(path);
    }
    addMissingSchema();
}

void CloseDatabase()
{
    if (!gConn)
        return;
    if (!sqlite3_get_autocommit(gConn))
        sqlite3_exec(gConn, "ROLLBACK;", nullptr, nullptr, nullptr);
    sqlite3_close_v2(gConn);
    gConn = nullptr;
}

bool isOpen() { return gConn != nullptr; }

QueryResult QueryData(const QString& sql) { return run(sql, nullptr, true); }
QueryResult QueryData(const QString& sql, const QVariantList& params) { return run(sql, &params, true); }
QueryResult ExecuteSql(const QString& sql) { return run(sql, nullptr, false); }
QueryResult ExecuteSql(const QString& sql, const QVariantList& params) { return run(sql, &params, false); }

qint64 LastInsertId() { return gConn ? sqlite3_last_insert_rowid(gConn) : 0; }
int ChangedRows() { return gConn ? sqlite3_changes(gConn) : 0; }

QueryResult BeginTrans() { return ExecuteSql(QStringLiteral("BEGIN IMMEDIATE")); }
QueryResult CommitTrans() { return ExecuteSql(QStringLiteral("COMMIT")); }
QueryResult RollbackTrans() { return ExecuteSql(QStringLiteral("ROLLBACK")); }

// Inside a running transaction a Transaction is a savepoint of it: its commit
// keeps its changes for the outer commit, its rollback undoes only its own.
Transaction::Transaction() : nested_(gConn && !sqlite3_get_autocommit(gConn))
{
    begin_ = nested_ ? ExecuteSql(QStringLiteral("SAVEPOINT nested")) : BeginTrans();
    started_ = begin_.ok();
}

Transaction::~Transaction()
{
    if (started_ && !done_)
        rollback();
}

QueryResult Transaction::commit()
{
    if (!started_)
        return begin_;
    if (done_)
        return failure(SQLITE_MISUSE, QStringLiteral("事务已经结束"));
    QueryResult r = nested_ ? ExecuteSql(QStringLiteral("RELEASE nested")) : CommitTrans();
    if (r.ok())
        done_ = true;
    else
        rollback();
    return r;
}

void Transaction::rollback()
{
    if (!started_ || done_)
        return;
    done_ = true;
    if (!gConn || sqlite3_get_autocommit(gConn))
        return;   // the engine has already undone it
    if (nested_) {
        ExecuteSql(QStringLiteral("ROLLBACK TO nested"));
        ExecuteSql(QStringLiteral("RELEASE nested"));
    } else {
        RollbackTrans();
    }
}

QString CreateDatabaseFile(const QString& path, const QString& script)
{
    // Made owner-only before the engine creates it (the engine's change
    // journal takes the same permissions).
    if (const int err = PrivateFile::ensureFile(path))
        return QString::fromLocal8Bit(std::strerror(err));
    QString why;
    sqlite3* db = openKeyed(path, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, &why);
    if (!db)
        return why;
    char* err = nullptr;
    const QByteArray s = "BEGIN;\n" + script.toUtf8() + "\nCOMMIT;";
    if (sqlite3_exec(db, s.constData(), nullptr, nullptr, &err) != SQLITE_OK) {
        why = err ? QString::fromUtf8(err) : QStringLiteral("schema failed");
        sqlite3_free(err);
        sqlite3_close(db);
        return why;
    }
    sqlite3_close(db);
    return QString();
}

QString ShippedSchema()
{
    initDataResource();
    QFile f(QStringLiteral(":/data/schema.sql"));
    if (!f.open(QIODevice::ReadOnly))
        return QString();
    return QString::fromUtf8(f.readAll());
}

sqlite3* OpenKeyedHandle(const QString& path, int flags, QString* why) { return openKeyed(path, flags, why); }

bool IsOurDatabase(const QString& path, QString* why)
{
    if (!QFileInfo(path).isFile()) {
        if (why)
            *why = QStringLiteral("文件不存在");
        return false;
    }
    sqlite3* db = openKeyed(path, SQLITE_OPEN_READONLY, why);
    if (!db)
        return false;
    const bool ok = holdsReports(db, why);
    sqlite3_close(db);
    return ok;
}

bool IsEarlierDatabase(const QString& path)
{
    const QFileInfo file(path);
    if (!file.isFile() || file.size() == 0)
        return false;
    sqlite3* db = openKeyed(path, SQLITE_OPEN_READONLY, nullptr, /*enginePages=*/true);
    if (!db)
        return false;
    const bool ok = holdsReports(db);
    sqlite3_close(db);
    return ok;
}

int ExportEarlierDatabase(const QString& source, const QString& target)
{
    // Opened for writing so that the attached target is writable; the export
    // only reads it.
    sqlite3* old = openKeyed(source, SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX, nullptr, /*enginePages=*/true);
    if (!old)
        return SQLITE_NOTADB;
    int rc = holdsReports(old) ? SQLITE_OK : SQLITE_NOTADB;
    if (rc == SQLITE_OK) {
        watchProgress(old);
        rc = exportWithOurPages(old, target);
        // The export may say only that it failed: a disk left with less room
        // than the source takes was full.
        const QStorageInfo disk(QFileInfo(target).absolutePath());
        if (rc != SQLITE_OK && rc != SQLITE_FULL && disk.isValid() && disk.bytesAvailable() < QFileInfo(source).size())
            rc = SQLITE_FULL;
    }
    sqlite3_close(old);
    return rc;
}

bool IsWholeDatabase(const QString& path)
{
    sqlite3* db = openKeyed(path, SQLITE_OPEN_READONLY, nullptr);
    if (!db)
        return false;
    watchProgress(db);
    bool ok = false;
    sqlite3_stmt* st = nullptr;
    if (sqlite3_prepare_v2(db, "PRAGMA quick_check", -1, &st, nullptr) == SQLITE_OK && sqlite3_step(st) == SQLITE_ROW) {
        const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(st, 0));
        ok = text && std::strcmp(text, "ok") == 0 && sqlite3_step(st) == SQLITE_DONE;
    }
    sqlite3_finalize(st);
    sqlite3_close(db);
    return ok;
}
}
