// bench_editorsave PROGRAM_FOLDER [ROUNDS]
//
// Saving a new report with four pictures of 150 KB, on a large data.db (make
// it with bench_gen_reports), timed two ways, interleaved round by round (the
// side that goes first alternates):
//   editor  DataRecord::ButtnSave_Click on a filled editor: validation, the
//           four picture files read, the insert, the new key, the pictures
//           written, the list row read back, one transaction;
//   bare    the same row on the bare sqlite3 C API: the four files read, BEGIN,
//           one INSERT of every field and the pictures prepared, bound and
//           stepped, the new key, COMMIT.
// Only the save is timed, not filling the editor's fields. The bare side
// inserts exactly what the editor stored in its first round (read back
// untimed), with its own examination number. The bare side has a connection
// of its own, opened as the program opens its own; each side's commit makes
// the other's page cache stale, so both start every save with the same cold
// connection cache. Both commit with the engine's default journal and syncs,
// to the file system the database is on.
//
// The reports written are deleted again at the end, so the database keeps its
// reports (the file keeps its size: the freed pages are reused).
#include "common.h"
#include "core/Database.h"
#include "core/Mmain.h"
#include "core/Palette.h"
#include "editor/DataRecord.h"
#include "core/ReportRecord.h"
#include "platform/AppPaths.h"
#include "platform/MessageBox.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <cstdio>
#include <string>
#include <vector>

namespace {
using bench::die;

constexpr qsizetype kPictureBytes = 150 * 1024;

// Fields 1..24 and the four pictures: everything the editor writes.
QString bareInsertSql()
{
    QStringList names, marks;
    for (int f = 1; f <= ReportRecord::obligate5; ++f)
        names << ReportRecord::ColumnName(f);
    for (int f = ReportRecord::picture1; f <= ReportRecord::picture4; ++f)
        names << ReportRecord::ColumnName(f);
    for (int i = 0; i < names.size(); ++i)
        marks << QStringLiteral("?");
    return QStringLiteral("INSERT INTO reports (%1) VALUES (%2)")
        .arg(names.join(QLatin1Char(',')), marks.join(QLatin1Char(',')));
}

// One stored value, kept as the engine gave it.
struct Value {
    int type = SQLITE_NULL;
    long long integer = 0;
    double real = 0;
    std::string bytes;
};

std::vector<Value> readRow(sqlite3* db, long long key)
{
    sqlite3_stmt* st = nullptr;
    if (sqlite3_prepare_v2(db, "SELECT * FROM reports WHERE ctid = ?", -1, &st, nullptr) != SQLITE_OK)
        die("prepare failed", QString::fromUtf8(sqlite3_errmsg(db)));
    sqlite3_bind_int64(st, 1, key);
    std::vector<Value> row;
    if (sqlite3_step(st) == SQLITE_ROW) {
        for (int c = 0; c < sqlite3_column_count(st); ++c) {
            Value v;
            v.type = sqlite3_column_type(st, c);
            if (v.type == SQLITE_INTEGER)
                v.integer = sqlite3_column_int64(st, c);
            else if (v.type == SQLITE_FLOAT)
                v.real = sqlite3_column_double(st, c);
            else if (v.type != SQLITE_NULL)
                v.bytes.assign(static_cast<const char*>(sqlite3_column_blob(st, c)),
                               size_t(sqlite3_column_bytes(st, c)));
            row.push_back(std::move(v));
        }
    }
    sqlite3_finalize(st);
    return row;
}

long long scalar(sqlite3* db, const char* sql)
{
    sqlite3_stmt* st = nullptr;
    if (sqlite3_prepare_v2(db, sql, -1, &st, nullptr) != SQLITE_OK)
        die(sql, QString::fromUtf8(sqlite3_errmsg(db)));
    long long v = 0;
    if (sqlite3_step(st) == SQLITE_ROW)
        v = sqlite3_column_int64(st, 0);
    sqlite3_finalize(st);
    return v;
}

std::string readFile(const std::string& path)
{
    std::string bytes;
    if (FILE* f = std::fopen(path.c_str(), "rb")) {
        char buf[65536];
        size_t n;
        while ((n = std::fread(buf, 1, sizeof buf, f)) > 0)
            bytes.append(buf, n);
        std::fclose(f);
    }
    return bytes;
}

// The bare save: fields 1..24 of row (the editor's first report), its own
// examination number, the four pictures from their files.
void bareSave(sqlite3* db, const QByteArray& sql, const std::vector<Value>& row, const std::string& examNumber,
              const std::vector<std::string>& files)
{
    std::vector<std::string> pictures;
    for (const std::string& path : files)
        pictures.push_back(readFile(path));
    bench::exec(db, "BEGIN");
    sqlite3_stmt* st = nullptr;
    if (sqlite3_prepare_v2(db, sql.constData(), int(sql.size()), &st, nullptr) != SQLITE_OK)
        die("prepare failed", QString::fromUtf8(sqlite3_errmsg(db)));
    int p = 1;
    for (int f = 1; f <= ReportRecord::obligate5; ++f, ++p) {
        const Value& v = row[size_t(f)];
        if (f == ReportRecord::obligate5)
            sqlite3_bind_text(st, p, examNumber.data(), int(examNumber.size()), SQLITE_STATIC);
        else if (v.type == SQLITE_INTEGER)
            sqlite3_bind_int64(st, p, v.integer);
        else if (v.type == SQLITE_FLOAT)
            sqlite3_bind_double(st, p, v.real);
        else if (v.type == SQLITE_TEXT)
            sqlite3_bind_text(st, p, v.bytes.data(), int(v.bytes.size()), SQLITE_STATIC);
        else
            sqlite3_bind_null(st, p);
    }
    for (const std::string& picture : pictures)
        sqlite3_bind_blob(st, p++, picture.data(), int(picture.size()), SQLITE_STATIC);
    if (sqlite3_step(st) != SQLITE_DONE)
        die("bare insert failed", QString::fromUtf8(sqlite3_errmsg(db)));
    sqlite3_finalize(st);
    if (sqlite3_last_insert_rowid(db) <= 0)
        die("no new key");
    bench::exec(db, "COMMIT");
}

void fillEditor(DataRecord& ed, int round, const QStringList& files)
{
    ed.ButtnNew_Click();
    ed.Text1->setText(QStringLiteral("BENCH%1").arg(round, 6, 10, QLatin1Char('0')));
    ed.Text2->setText(QStringLiteral("张建国"));
    ed.Text4->setText(QStringLiteral("46"));
    ed.Text8->setText(QStringLiteral("20261207"));
    ed.Text14->setText(QStringLiteral("胸部正位"));
    ed.Text15->setPlainText(QStringLiteral("胸廓对称，气管居中。两肺纹理清晰，走行自然，未见实质性病变。两肺门不大，"
                                           "纵隔不宽。心影大小、形态未见异常。两膈面光整，肋膈角锐利。"));
    ed.Text16->setPlainText(QStringLiteral("心肺膈未见明显异常。"));
    for (int k = 0; k < 4; ++k)
        ed.Picload[size_t(k)]->Tag = files[k];
}

}

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QStringList args = app.arguments().mid(1);
    if (args.isEmpty() || args.size() > 2)
        die("usage: bench_editorsave PROGRAM_FOLDER [ROUNDS]");
    const QString folder = QDir(args[0]).absolutePath();
    if (!QFileInfo::exists(folder + QStringLiteral("/data.db")))
        die("no data.db in", folder);
    const int rounds = args.size() > 1 ? std::max(1, args[1].toInt()) : 50;

    AppPaths::setProgramFolder(folder);
    try {
        Database::OpenDatabase();
    } catch (const DbOpenError& e) {
        die("OpenDatabase failed", e.description);
    }
    sqlite3* db = bench::openKeyed(AppPaths::databaseFile());
    const long long reportsBefore = scalar(db, "SELECT count(*) FROM reports");
    const long long lastKeyBefore = scalar(db, "SELECT max(ctid) FROM reports");

    MessageBox::setScripted(true);
    Mmain::gUserName = QStringLiteral("ys01");
    Mmain::gRights.fill(true);
    Palette::LoadSkin();

    // Four pictures of 150 KB, as the capture leaves them for the editor's slots.
    QTemporaryDir pictureDir;
    QStringList files;
    std::vector<std::string> fileNames;
    for (int n = 1; n <= 4; ++n) {
        QByteArray bytes(kPictureBytes, '\0');
        QRandomGenerator rng{quint32(n)};
        for (auto& b : bytes)
            b = char(rng.bounded(256));
        const QString path = pictureDir.filePath(QStringLiteral("rpt%1.jpg").arg(n));
        QFile f(path);
        if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size())
            die("cannot write", path);
        files << path;
        fileNames.push_back(QFile::encodeName(path).toStdString());
    }
    auto keepFiles = [&] {
        for (int n = 0; n < 4; ++n)
            if (!QFileInfo::exists(files[n]))
                die("a picture file went away during the save", files[n]);
    };

    DataRecord& ed = DataRecord::instance();
    ed.ensureLoaded();
    auto editorSave = [&](int round) {
        fillEditor(ed, round, files);
        const auto t0 = bench::Clock::now();
        ed.ButtnSave_Click();
        const double ms = bench::millisecondsSince(t0);
        if (!MessageBox::shownBoxes().isEmpty())
            die("the editor's save failed", MessageBox::shownBoxes().last().text);
        keepFiles();
        return ms;
    };

    // One save of each, untimed; the bare side copies the editor's row.
    editorSave(0);
    const long long editorKey = scalar(db, "SELECT max(ctid) FROM reports");
    const std::vector<Value> row = readRow(db, editorKey);
    if (row.size() != size_t(ReportRecord::kFieldCount))
        die("the editor's report was not stored");
    for (int f = ReportRecord::picture1; f <= ReportRecord::picture4; ++f)
        if (row[size_t(f)].bytes.size() != size_t(kPictureBytes))
            die("the editor stored a picture of the wrong size");
    const QByteArray sql = bareInsertSql().toUtf8();
    bareSave(db, sql, row, "BARE000000", fileNames);

    std::vector<double> editor, bare, ratios;
    for (int i = 1; i <= rounds; ++i) {
        const std::string exam = QStringLiteral("BARE%1").arg(i, 6, 10, QLatin1Char('0')).toStdString();
        double e = 0, b = 0;
        auto timeBare = [&] {
            const auto t0 = bench::Clock::now();
            bareSave(db, sql, row, exam, fileNames);
            b = bench::millisecondsSince(t0);
        };
        if (i % 2) {
            e = editorSave(i);
            timeBare();
        } else {
            timeBare();
            e = editorSave(i);
        }
        editor.push_back(e);
        bare.push_back(b);
        ratios.push_back(e / b);
    }

    const long long added = scalar(db, "SELECT count(*) FROM reports") - reportsBefore;
    if (added != 2LL * (rounds + 1))
        die("not every save stored its report");
    Database::CloseDatabase();
    const QByteArray cleanup = "DELETE FROM reports WHERE ctid > " + QByteArray::number(lastKeyBefore);
    bench::exec(db, cleanup.constData());
    sqlite3_close(db);

    std::printf("%s: %lld reports; %d rounds, a new report with four pictures of %lld KB each\n",
                qPrintable(AppPaths::databaseFile()), reportsBefore, rounds,
                static_cast<long long>(kPictureBytes / 1024));
    std::printf("  editor save    median %7.2f ms   min %7.2f ms\n", bench::median(editor), bench::minimum(editor));
    std::printf("  bare insert    median %7.2f ms   min %7.2f ms\n", bench::median(bare), bench::minimum(bare));
    std::printf("  ratio of the medians %.2f, median of the per-round ratios %.2f\n",
                bench::median(editor) / bench::median(bare), bench::median(ratios));
    std::printf("  (the %lld reports written were deleted again)\n", added);
    return 0;
}
