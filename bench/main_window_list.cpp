// bench_main_window_list PROGRAM_FOLDER [DATE] [REPEATS]
//
// The main window's day list, shown maximised on a 1920x1080 screen of the
// offscreen platform, timed two ways:
//
// Load (goal: at most 1.3 times the bare side)
//   window  FrmMain::LoadDayList: the window's statement through the query
//           layer, the list's rows, its state, the first row selected;
//   bare    the same statement on the bare sqlite3 C API (prepare, bind, step,
//           every column copied, finalize);
//   layer   Database::QueryData alone, to tell where the time goes.
//
// Load and paint, what the user waits for after picking a date
//   window  LoadDayList, then the list rendered at its size into an image (the
//           visible rows painted, as the window's repaint does);
//   plain   the bare statement, its texts (the list's eleven visible columns,
//           the age with its unit) put into a simple table model, and a plain
//           QTableView of the same size, column widths, row height, header
//           height and font rendered into an image of the same size.
//
// The variants run interleaved, their order rotating from round to round;
// between two timed runs the event loop runs untimed, so that neither side
// pays for the repaints the other side's changes asked for. Prints medians,
// minima and the ratios. DATE defaults to the report date with the most
// reports. Make the database to measure on with bench_gen_reports.
#include "common.h"
#include "core/Database.h"
#include "core/FrmMain.h"
#include "core/Mmain.h"
#include "core/Palette.h"
#include "core/ReportList.h"
#include "platform/AppPaths.h"

#include <QAbstractTableModel>
#include <QApplication>
#include <QDate>
#include <QHeaderView>
#include <QImage>
#include <QTableView>
#include <QTemporaryFile>

#include <sqlcipher/sqlite3.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {
using bench::die;

using ReportList::kColumnTable;

// Every column of every row copied out, as a plain program keeps them.
std::vector<std::vector<std::string>> bareDayList(sqlite3* db, const QByteArray& sql, const std::string& date)
{
    sqlite3_stmt* st = nullptr;
    if (sqlite3_prepare_v2(db, sql.constData(), int(sql.size()), &st, nullptr) != SQLITE_OK)
        die("prepare failed", QString::fromUtf8(sqlite3_errmsg(db)));
    sqlite3_bind_text(st, 1, date.data(), int(date.size()), SQLITE_TRANSIENT);
    const int columns = sqlite3_column_count(st);
    std::vector<std::vector<std::string>> rows;
    while (sqlite3_step(st) == SQLITE_ROW) {
        std::vector<std::string>& row = rows.emplace_back(size_t(columns));
        for (int c = 0; c < columns; ++c) {
            const unsigned char* t = sqlite3_column_text(st, c);
            row[size_t(c)].assign(t ? reinterpret_cast<const char*>(t) : "", size_t(sqlite3_column_bytes(st, c)));
        }
    }
    sqlite3_finalize(st);
    return rows;
}

// A plain table model: one QString per cell, the list's alignment per column.
class PlainModel final : public QAbstractTableModel {
public:
    void setRows(const std::vector<std::vector<std::string>>& rows)
    {
        beginResetModel();
        rows_ = int(rows.size());
        texts_.clear();
        texts_.reserve(qsizetype(rows.size()) * ReportList::kColumns);
        // The statement's fields by the list's column table: the age's unit
        // right after the age.
        static const std::vector<size_t> fields = [] {
            std::vector<size_t> f;
            for (int c = 0; c < ReportList::kColumns; ++c)
                f.push_back(size_t(ReportList::StatementField(c)));
            return f;
        }();
        const size_t unitField = size_t(ReportList::AgeUnitStatementField());
        for (const auto& row : rows) {
            for (int c = 0; c < ReportList::kColumns; ++c) {
                const std::string& s = row[fields[size_t(c)]];
                QString t = QString::fromUtf8(s.data(), qsizetype(s.size()));
                if (kColumnTable[c].form == ReportList::Form::Age)
                    t += QString::fromUtf8(row[unitField].data(), qsizetype(row[unitField].size()));
                texts_.append(std::move(t));
            }
        }
        endResetModel();
    }
    int rowCount(const QModelIndex& parent = QModelIndex()) const override { return parent.isValid() ? 0 : rows_; }
    int columnCount(const QModelIndex& parent = QModelIndex()) const override
    {
        return parent.isValid() ? 0 : ReportList::kColumns;
    }
    QVariant data(const QModelIndex& index, int role) const override
    {
        if (role == Qt::DisplayRole)
            return texts_.at(index.row() * ReportList::kColumns + index.column());
        if (role == Qt::TextAlignmentRole)
            return kColumnTable[index.column()].left ? int(Qt::AlignLeft | Qt::AlignVCenter) : int(Qt::AlignCenter);
        return QVariant();
    }
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override
    {
        if (orientation == Qt::Horizontal && role == Qt::DisplayRole)
            return ReportList::HeaderText(section);
        return QAbstractTableModel::headerData(section, orientation, role);
    }

private:
    int rows_ = 0;
    QStringList texts_;
};

void line(const char* what, const std::vector<double>& v)
{
    std::printf("  %-34s median %7.3f ms   min %7.3f ms\n", what, bench::median(v), bench::minimum(v));
}

}

int main(int argc, char* argv[])
{
    QTemporaryFile screenConfig;
    bench::useFullHdScreen(screenConfig);
    QApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() < 2)
        die("usage: bench_main_window_list PROGRAM_FOLDER [DATE] [REPEATS]");
    AppPaths::setProgramFolder(args[1]);
    const int repeats = args.size() > 3 ? std::max(1, args[3].toInt()) : 200;

    sqlite3* db = bench::openKeyed(AppPaths::databaseFile());
    QString date = args.size() > 2 && args[2] != QLatin1String("-") ? args[2] : QString();
    if (date.isEmpty()) {
        sqlite3_stmt* st = nullptr;
        sqlite3_prepare_v2(db, "SELECT rpdate FROM reports GROUP BY rpdate ORDER BY count(*) DESC LIMIT 1", -1, &st,
                           nullptr);
        if (sqlite3_step(st) == SQLITE_ROW)
            date = QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(st, 0)));
        sqlite3_finalize(st);
    }
    const QDate d = QDate::fromString(date, Qt::ISODate);
    if (!d.isValid())
        die("DATE must be written yyyy-MM-dd", date);
    const std::string day = date.toStdString();
    const QByteArray sql = ReportList::DaySql().toUtf8();

    try {
        Database::OpenDatabase();
    } catch (const DbOpenError& e) {
        die("OpenDatabase failed", e.description);
    }
    Palette::LoadSkin();
    Mmain::gRights.fill(true);
    FrmMain* w = FrmMain::ShowMain();
    QTableView* grid = w->MSHFlexGrid1;
    w->LoadDayList(d);
    QCoreApplication::processEvents();

    // The plain list, shaped like the window's.
    PlainModel plainModel;
    QTableView plain;
    plain.setModel(&plainModel);
    plain.setFont(grid->font());
    plain.verticalHeader()->setVisible(false);
    plain.verticalHeader()->setDefaultSectionSize(grid->verticalHeader()->defaultSectionSize());
    plain.horizontalHeader()->setFixedHeight(grid->horizontalHeader()->height());
    plain.setSelectionBehavior(QAbstractItemView::SelectRows);
    plain.setWordWrap(false);
    plainModel.setRows(bareDayList(db, sql, day));
    for (int c = 0; c < ReportList::kColumns; ++c)
        plain.setColumnWidth(c, grid->columnWidth(c));
    plain.setColumnHidden(ReportList::kKeyColumn, true);
    plain.resize(grid->size());
    plain.show();
    QCoreApplication::processEvents();

    QImage windowImage(grid->size(), QImage::Format_RGB32), plainImage(grid->size(), QImage::Format_RGB32);
    auto loadPlain = [&] {
        plainModel.setRows(bareDayList(db, sql, day));
        plain.selectRow(0);
    };
    // Both lists once before timing; they must show the same rows.
    loadPlain();
    grid->render(&windowImage);
    plain.render(&plainImage);
    if (plainModel.rowCount() != grid->model()->rowCount())
        die("the window's list and the plain list disagree on the number of rows");
    for (int r = 0; r < plainModel.rowCount(); ++r)
        for (int c = 0; c < ReportList::kColumns; ++c)
            if (plainModel.index(r, c).data().toString() != grid->model()->index(r, c).data().toString())
                die("the window's list and the plain list disagree on a text",
                    QStringLiteral("row %1, column %2").arg(r).arg(c));
    const QString shots = qEnvironmentVariable("WS_BENCH_SHOTS");
    if (!shots.isEmpty()) {
        windowImage.save(shots + QStringLiteral("/main_list_window.png"));
        plainImage.save(shots + QStringLiteral("/main_list_plain.png"));
    }

    std::vector<double> bare, window, layer, windowPaint, plainPaint;
    volatile size_t sink = 0;
    for (int i = 0; i < repeats; ++i) {
        for (int k = 0; k < 5; ++k) {
            const auto t0 = bench::Clock::now();
            switch ((i + k) % 5) {
            case 0:
                sink = sink + bareDayList(db, sql, day).size();
                bare.push_back(bench::millisecondsSince(t0));
                break;
            case 1:
                w->LoadDayList(d);
                window.push_back(bench::millisecondsSince(t0));
                break;
            case 2:
                sink = sink + size_t(Database::QueryData(ReportList::DaySql(), ReportList::DayParams(d)).hasRows());
                layer.push_back(bench::millisecondsSince(t0));
                break;
            case 3:
                w->LoadDayList(d);
                grid->render(&windowImage);
                windowPaint.push_back(bench::millisecondsSince(t0));
                break;
            case 4:
                loadPlain();
                plain.render(&plainImage);
                plainPaint.push_back(bench::millisecondsSince(t0));
                break;
            }
            QCoreApplication::processEvents();
        }
    }

    const int visible = grid->rowAt(grid->viewport()->height() - 1) + 1;
    std::printf("day %s: %d reports, %d repetitions; list %dx%d pixels, %d rows visible\n", qPrintable(date),
                ListGrid::RowCount(grid), repeats, grid->width(), grid->height(),
                visible > 0 ? visible : ListGrid::RowCount(grid));
    std::printf("load\n");
    line("bare SQL", bare);
    line("query layer (QueryData alone)", layer);
    line("main window (LoadDayList)", window);
    std::printf("  ratio window / bare: %.2f (goal <= 1.3)\n", bench::median(window) / bench::median(bare));
    std::printf("load and paint the visible rows\n");
    line("plain QTableView, simple model", plainPaint);
    line("main window", windowPaint);
    std::printf("  ratio window / plain: %.2f\n", bench::median(windowPaint) / bench::median(plainPaint));
    w->close();
    sqlite3_close(db);
    return 0;
}
