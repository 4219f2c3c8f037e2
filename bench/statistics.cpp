// bench_statistics PROGRAM_FOLDER [REPEATS]
//
// The six workload statistics over one year and over every report date of the
// database, each timed five ways (goal: window and layer at most 1.3 times plain):
//   plain   the statistic's statement with SQLite's own SUM(times) in place of the
//           program's fee function, on the bare sqlite3 C API: prepare, bind the
//           two days, step, every column copied into plain values (std::string,
//           long long, double), finalize. What the database gives by itself;
//   bare    the program's statement (fee_total(times), which reads each fee once
//           for its sum and its count of fees that are no amount), the same way;
//   twice   the statement as it was before, the sum and the count read by two
//           functions, fee_total(times) and SUM(not_money(times)), the same way;
//   layer   what the 统 计 button computes: Database::QueryData with the
//           program's statement and parameters, then the sheet
//           (Workload::Sheet::build, which sums the amounts and counts);
//   window  FrmTJ::CmdTJ_Click on the window shown maximised on a 1920x1080 screen
//           of the offscreen platform, then MGrid rendered at its size into an
//           image: what the user waits for until the sheet shows.
// The variants run interleaved, their order rotating from round to round, after
// one round that is not counted; the event loop runs untimed between them. Each
// ratio is that of one round against the round's plain run (the runs of a round
// share the machine's load): their median and, in brackets, their minimum. Before
// timing, each statistic's plan is printed and the window's totals and row count
// are checked against the bare answer. The first opening adds the index
// reports_stats to a database made before it existed; that time is printed. Make
// the database with bench_gen_reports.
//
// With WS_BENCH_PRINT=DIR, each statistic's sheet is also printed once with the
// 打印报表 button to a PDF printer (DIR/<range>-<k>.pdf, the shipped [gridprint]:
// A4 portrait, 10 mm margins); the time, the page count (pdfinfo) and how often
// the title occurs in the text (pdftotext) are printed. WS_BENCH_SHOTS=DIR saves
// the window as it stands at the end.
#include "common.h"
#include "core/Database.h"
#include "core/Money.h"
#include "core/Palette.h"
#include "platform/AppPaths.h"
#include "platform/MessageBox.h"
#include "query/FrmTJ.h"
#include "query/WorkloadSheet.h"
#include "report/PrinterBackend.h"
#include "report/ProgramPrinter.h"

#include <cmath>

#include <QApplication>
#include <QDate>
#include <QDateEdit>
#include <QImage>
#include <QProcess>
#include <QScreen>
#include <QTableView>
#include <QTemporaryFile>

#include <sqlcipher/sqlite3.h>

#include <cstdio>
#include <string>
#include <variant>
#include <vector>

namespace {
using bench::die;

using Value = std::variant<std::monostate, long long, double, std::string>;
struct BareAnswer {
    std::vector<std::vector<Value>> rows;
    Money::WideCents cents = 0;   // field 2 summed as the sheet sums it, in cents
    long long persons = 0;        // field 1 summed (statistics 1 to 5)
};

BareAnswer bare(sqlite3* db, const QByteArray& sql, const std::string& first, const std::string& end)
{
    sqlite3_stmt* st = nullptr;
    if (sqlite3_prepare_v2(db, sql.constData(), int(sql.size()), &st, nullptr) != SQLITE_OK)
        die("prepare failed", QString::fromUtf8(sqlite3_errmsg(db)));
    sqlite3_bind_text(st, 1, first.data(), int(first.size()), SQLITE_TRANSIENT);
    sqlite3_bind_text(st, 2, end.data(), int(end.size()), SQLITE_TRANSIENT);
    const int columns = sqlite3_column_count(st);
    BareAnswer a;
    while (sqlite3_step(st) == SQLITE_ROW) {
        std::vector<Value>& row = a.rows.emplace_back(size_t(columns));
        for (int c = 0; c < columns; ++c) {
            switch (sqlite3_column_type(st, c)) {
            case SQLITE_INTEGER: row[size_t(c)] = (long long)sqlite3_column_int64(st, c); break;
            case SQLITE_FLOAT: row[size_t(c)] = sqlite3_column_double(st, c); break;
            case SQLITE_NULL: break;
            default: {
                const unsigned char* t = sqlite3_column_text(st, c);
                row[size_t(c)] = std::string(reinterpret_cast<const char*>(t), size_t(sqlite3_column_bytes(st, c)));
            }
            }
        }
    }
    sqlite3_finalize(st);
    return a;
}

// The bare answer's totals, for the check against the window's sheet.
void totals(BareAnswer& a, int statistic)
{
    for (const auto& row : a.rows) {
        const Value& v = row[2];
        // Statistic 0 lists the fees; the others give their exact sum as a text.
        const QVariant stored = std::holds_alternative<double>(v)      ? QVariant(std::get<double>(v))
                                : std::holds_alternative<long long>(v) ? QVariant(qlonglong(std::get<long long>(v)))
                                : std::holds_alternative<std::string>(v)
                                    ? QVariant(QString::fromStdString(std::get<std::string>(v)))
                                    : QVariant();
        const Money::Stored fee = Money::Read(stored);
        if (fee.kind == Money::Stored::Amount)
            a.cents += fee.cents;
        if (statistic != 0 && std::holds_alternative<long long>(row[1]))
            a.persons += std::get<long long>(row[1]);
    }
    if (statistic == 0)
        a.persons = (long long)a.rows.size();
}

void plan(sqlite3* db, const QByteArray& sql)
{
    sqlite3_stmt* st = nullptr;
    const QByteArray explain = "EXPLAIN QUERY PLAN " + sql;
    if (sqlite3_prepare_v2(db, explain.constData(), -1, &st, nullptr) != SQLITE_OK)
        die("prepare failed", QString::fromUtf8(sqlite3_errmsg(db)));
    sqlite3_bind_text(st, 1, "2000-01-01", -1, SQLITE_STATIC);
    sqlite3_bind_text(st, 2, "2000-01-02", -1, SQLITE_STATIC);
    while (sqlite3_step(st) == SQLITE_ROW)
        std::printf("    plan: %s\n", reinterpret_cast<const char*>(sqlite3_column_text(st, 3)));
    sqlite3_finalize(st);
}

QDate dateAt(sqlite3* db, const char* sql)
{
    sqlite3_stmt* st = nullptr;
    sqlite3_prepare_v2(db, sql, -1, &st, nullptr);
    QDate d;
    if (sqlite3_step(st) == SQLITE_ROW)
        d = QDate::fromString(QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(st, 0))).left(10),
                              Qt::ISODate);
    sqlite3_finalize(st);
    return d;
}

QString tool(const QString& program, const QStringList& args)
{
    QProcess p;
    p.start(program, args);
    if (!p.waitForFinished(600000))
        return QString();
    return QString::fromUtf8(p.readAllStandardOutput());
}

struct Range {
    const char* name;
    QDate first, last;
};
}

int main(int argc, char* argv[])
{
    QTemporaryFile screenConfig;
    bench::useFullHdScreen(screenConfig);
    QApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() < 2)
        die("usage: bench_statistics PROGRAM_FOLDER [REPEATS]");
    AppPaths::setProgramFolder(args[1]);
    const int repeats = args.size() > 2 ? std::max(1, args[2].toInt()) : 7;
    MessageBox::setScripted(true);

    const auto t0 = bench::Clock::now();
    try {
        Database::OpenDatabase();
    } catch (const DbOpenError& e) {
        die("OpenDatabase failed", e.description);
    }
    std::printf("opening with the schema additions (the first one makes reports_stats): %.2f s\n",
                bench::secondsSince(t0));
    sqlite3* db = bench::openKeyed(AppPaths::databaseFile());
    const QDate oldest = dateAt(db, "SELECT min(rpdate) FROM reports");
    const QDate newest = dateAt(db, "SELECT max(rpdate) FROM reports");
    if (!oldest.isValid() || !newest.isValid())
        die("the database holds no reports with readable dates");
    const int year = newest.year() - 1;
    const Range ranges[] = {{"one year", QDate(year, 1, 1), QDate(year, 12, 31)}, {"all years", oldest, newest}};

    Palette::LoadSkin();
    const QString printDir = qEnvironmentVariable("WS_BENCH_PRINT");
    if (!printDir.isEmpty() && !QFile::exists(AppPaths::iniFile()))
        die("printing reads [gridprint] of options.ini: copy data/options.ini into", AppPaths::programFolder());
    auto pdf = std::make_shared<PdfPrinterBackend>();
    pdf->addPrinter(PdfPrinterBackend::standardPrinter(QStringLiteral("PDF")));
    ProgramPrinter::setBackend(pdf);
    FrmTJ& w = FrmTJ::instance();
    w.ensureLoaded();
    w.setGeometry(QGuiApplication::primaryScreen()->availableGeometry());
    w.show();
    QCoreApplication::processEvents();
    QImage image(w.MGrid->size(), QImage::Format_RGB32);

    std::printf("%d repetitions per variant; window %dx%d, MGrid %dx%d pixels\n", repeats, w.width(), w.height(),
                w.MGrid->width(), w.MGrid->height());
    for (const Range& range : ranges) {
        const QVariantList params = Workload::Params(range.first, range.last);
        const std::string first = params[0].toString().toStdString(), end = params[1].toString().toStdString();
        std::printf("\n%s: %s .. %s\n", range.name, qPrintable(range.first.toString(Qt::ISODate)),
                    qPrintable(range.last.toString(Qt::ISODate)));
        for (int k = 0; k < Workload::kStatistics; ++k) {
            const QByteArray sql = Workload::Sql(k).toUtf8();
            w.DTPicker1->setDate(range.first);
            w.DTPicker2->setDate(range.last);
            w.SelectReport(k);
            // Once untimed: the plan, and the window's sheet against the bare answer.
            BareAnswer check = bare(db, sql, first, end);
            totals(check, k);
            w.CmdTJ_Click();
            const Workload::Sheet& s = w.sheet();
            if (s.resultRows() != int(check.rows.size()) || s.personTimes() != check.persons
                || s.amountCents() != check.cents)
                die("the window's sheet and the bare answer disagree", Workload::Title(k));
            std::printf("  %d %s: %zu rows, %s\n", k, qPrintable(Workload::Title(k)), check.rows.size(),
                        qPrintable(Workload::TotalsText(s.amountCents(), s.personTimes())));
            plan(db, sql);

            const QByteArray fee = "fee_total(times)";
            const QByteArray plainSql = QByteArray(sql).replace(fee, "SUM(times)");
            const QByteArray twiceSql = QByteArray(sql).replace(fee, fee + ", SUM(not_money(times))");

            enum {
                Plain,
                Bare,
                Twice,
                Layer,
                Window,
                Variants
            };
            std::vector<double> t[Variants];
            volatile size_t sink = 0;
            // Round 0 is not counted: it fills the caches (the sheet's glyphs among them).
            for (int i = -1; i < repeats; ++i) {
                for (int v = 0; v < Variants; ++v) {
                    const int variant = (i + 1 + v) % Variants;
                    const auto start = bench::Clock::now();
                    switch (variant) {
                    case Plain: sink = sink + bare(db, plainSql, first, end).rows.size(); break;
                    case Bare: sink = sink + bare(db, sql, first, end).rows.size(); break;
                    case Twice: sink = sink + bare(db, twiceSql, first, end).rows.size(); break;
                    case Layer: {
                        const QueryResult r = Database::QueryData(Workload::Sql(k), params);
                        const Workload::Sheet sheet = Workload::Sheet::build(k, range.first, range.last, r.data);
                        sink = sink + size_t(sheet.rows());
                        break;
                    }
                    case Window:
                        w.CmdTJ_Click();
                        w.MGrid->render(&image);
                        break;
                    }
                    if (i >= 0)
                        t[variant].push_back(bench::millisecondsSince(start));
                    QCoreApplication::processEvents();
                }
            }
            // Each round's own ratio against its plain run: median [minimum].
            auto ratio = [&t](int variant) {
                std::vector<double> r;
                for (size_t i = 0; i < t[Plain].size(); ++i)
                    r.push_back(t[variant][i] / t[Plain][i]);
                return std::pair{bench::median(r), bench::minimum(r)};
            };
            std::printf("    plain %8.2f ms (min %8.2f)", bench::median(t[Plain]), bench::minimum(t[Plain]));
            for (const auto& [variant, name] : {std::pair{Bare, "bare"}, std::pair{Twice, "twice"},
                                                std::pair{Layer, "layer"}, std::pair{Window, "window"}}) {
                const auto [median, minimum] = ratio(variant);
                std::printf("   %s %8.2f ms %.2fx [%.2f]", name, bench::median(t[variant]), median, minimum);
            }
            std::printf("\n");
            if (!printDir.isEmpty()) {
                const QString file =
                    QStringLiteral("%1/%2-%3.pdf")
                        .arg(printDir)
                        .arg(range.first.year() == range.last.year() ? QStringLiteral("year") : QStringLiteral("all"))
                        .arg(k);
                pdf->setOutputFile(file);
                MessageBox::clearShown();
                const auto t = bench::Clock::now();
                w.CmdPrint_Click();
                const double ms = bench::millisecondsSince(t);
                const QString info = tool(QStringLiteral("pdfinfo"), {file});
                const QString pages =
                    info.section(QStringLiteral("Pages:"), 1).section(QLatin1Char('\n'), 0, 0).trimmed();
                const int titles =
                    tool(QStringLiteral("pdftotext"), {file, QStringLiteral("-")}).count(Workload::Title(k));
                std::printf("    printed: %.0f ms, %s pages, title %d time(s)%s\n", ms, qPrintable(pages), titles,
                            MessageBox::shownBoxes().isEmpty()
                                ? ""
                                : qPrintable(QStringLiteral(", message: ") + MessageBox::shownBoxes().last().text));
            }
        }
    }
    const QString shots = qEnvironmentVariable("WS_BENCH_SHOTS");
    if (!shots.isEmpty())
        w.grab().save(shots + QStringLiteral("/statistics_window.png"));
    w.hide();
    ProgramPrinter::setBackend(nullptr);
    sqlite3_close(db);
    return 0;
}
