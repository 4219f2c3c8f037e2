// bench_query PROGRAM_FOLDER [REPEATS] [CASE]
//
// The report query window against the bare sqlite3 C API, on a database made
// by bench_gen_reports. First opens the database as the program does, which
// adds the indexes an older data.db lacks, and prints what that took. Then,
// for each case, times:
//   window  Frmfind::buttonYes_Click with the case's conditions typed in: the
//           statement built, QueryData, the grid's model and columns set (the
//           window is shown; painting is timed on its own, once per case)
//   bare    the statement the window issues, with the same bound values, on a
//           connection of its own opened as the program opens its one: prepare,
//           bind, step, every column copied into plain C++ values, finalize
//   plain   for the substring cases: the plain full-table statement with the
//           same columns, "... FROM reports WHERE <column> LIKE ?"
// and prints medians and the ratios window / bare and window / plain.
#include "common.h"
#include "core/Database.h"
#include "core/ListGrid.h"
#include "core/Mmain.h"
#include "core/Palette.h"
#include "platform/AppPaths.h"
#include "platform/MessageBox.h"
#include "platform/Opener.h"
#include "query/Frmfind.h"
#include "query/FrmfindQuery.h"
#include "editor/DataRecord.h"
#include "report/PrinterBackend.h"
#include "report/ProgramPrinter.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QDir>
#include <QLineEdit>
#include <QTableView>

#include <functional>
#include <string>

namespace {
using bench::Clock;
using bench::die;
using bench::millisecondsSince;

// One SELECT on the bare C API; returns the number of rows.
int bareQuery(sqlite3* db, const QString& sql, const QVariantList& params)
{
    const QByteArray text = sql.toUtf8();
    sqlite3_stmt* st = nullptr;
    if (sqlite3_prepare_v2(db, text.constData(), int(text.size()), &st, nullptr) != SQLITE_OK)
        die("prepare failed", QString::fromUtf8(sqlite3_errmsg(db)));
    for (int i = 0; i < params.size(); ++i) {
        const QVariant& v = params[i];
        if (v.typeId() == QMetaType::LongLong) {
            sqlite3_bind_int64(st, i + 1, v.toLongLong());
        } else if (v.typeId() == QMetaType::Double) {
            sqlite3_bind_double(st, i + 1, v.toDouble());
        } else {
            const QByteArray b = v.toString().toUtf8();
            sqlite3_bind_text(st, i + 1, b.constData(), int(b.size()), SQLITE_TRANSIENT);
        }
    }
    const int columns = sqlite3_column_count(st);
    std::vector<std::string> texts(static_cast<size_t>(columns));
    std::vector<long long> ints(static_cast<size_t>(columns));
    std::vector<double> reals(static_cast<size_t>(columns));
    int rows = 0;
    while (sqlite3_step(st) == SQLITE_ROW) {
        for (int c = 0; c < columns; ++c) {
            switch (sqlite3_column_type(st, c)) {
            case SQLITE_INTEGER: ints[size_t(c)] = sqlite3_column_int64(st, c); break;
            case SQLITE_FLOAT: reals[size_t(c)] = sqlite3_column_double(st, c); break;
            case SQLITE_NULL: texts[size_t(c)].clear(); break;
            default: {
                const auto* t = reinterpret_cast<const char*>(sqlite3_column_text(st, c));
                texts[size_t(c)].assign(t ? t : "", size_t(sqlite3_column_bytes(st, c)));
            }
            }
        }
        ++rows;
    }
    sqlite3_finalize(st);
    return rows;
}

QString firstText(sqlite3* db, const char* sql)
{
    sqlite3_stmt* st = nullptr;
    if (sqlite3_prepare_v2(db, sql, -1, &st, nullptr) != SQLITE_OK)
        die(sql, QString::fromUtf8(sqlite3_errmsg(db)));
    QString out;
    if (sqlite3_step(st) == SQLITE_ROW)
        out = QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(st, 0)));
    sqlite3_finalize(st);
    return out;
}

struct Case {
    QString name;
    std::function<void(Frmfind&)> type;   // types the conditions into a freshly cleared window
    QString plainColumn;                  // the substring's column, for the plain full-table statement
    QString plainValue;
    std::vector<double> window, bare, plain;
    double paint = 0;
    int rows = 0;
};

void clearConditions(Frmfind& w)
{
    w.DT1Check->setChecked(false);
    w.DT2Check->setChecked(false);
    for (QLineEdit* e : {w.Text5, w.Text6, w.Text7, w.Text8, w.Text9, w.Text10, w.Text12, w.Text14, w.Text15})
        e->clear();
    for (QComboBox* c : {w.Text3, w.Text4, w.Text11, w.Text13})
        c->setEditText(QString());
}

void dates(Frmfind& w, const QDate& from, const QDate& to)
{
    w.DT1Check->setChecked(true);
    w.DT2Check->setChecked(true);
    w.DT1->setDate(from);
    w.DT2->setDate(to);
}
}

int main(int argc, char* argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() < 2)
        die("usage: bench_query PROGRAM_FOLDER [REPEATS] [CASE]");
    AppPaths::setProgramFolder(args[1]);
    // The list prints with the settings of options.ini: the shipped one when the folder has none.
    Q_INIT_RESOURCE(data);
    if (!QFile::exists(AppPaths::iniFile()))
        QFile::copy(QStringLiteral(":/data/options.ini"), AppPaths::iniFile());
    const int repeats = args.size() > 2 ? std::max(1, args[2].toInt()) : 20;

    // The program's opening adds the indexes of the schema that an older
    // data.db lacks.
    {
        const auto t0 = Clock::now();
        try {
            Database::OpenDatabase();
        } catch (const DbOpenError& e) {
            die("data.db does not open", e.description);
        }
        std::printf("opening data.db as the program does: %.1f s\n", bench::secondsSince(t0));
    }
    sqlite3* db = bench::openKeyed(AppPaths::databaseFile());
    std::printf("%s reports\n", qPrintable(firstText(db, "SELECT count(*) FROM reports")));

    // The values of the cases, taken from the database.
    const QString name = QStringLiteral("王");
    const QString fullName = firstText(db, "SELECT brname FROM reports WHERE brname LIKE '王%' AND length(brname) = 2 "
                                           "GROUP BY brname ORDER BY count(*) DESC LIMIT 1");
    const QString exam =
        firstText(db, "SELECT obligate5 FROM reports WHERE ctid = (SELECT max(ctid) / 2 FROM reports)");
    const QDate busyDay = QDate::fromString(
        firstText(db, "SELECT pgdate FROM reports WHERE pgdate >= (SELECT date(max(pgdate), '-60 days') FROM reports) "
                      "GROUP BY pgdate ORDER BY count(*) DESC LIMIT 1"),
        Qt::ISODate);
    const int lastFullYear = firstText(db, "SELECT max(pgdate) FROM reports").left(4).toInt() - 1;
    const QString section =
        firstText(db, "SELECT sectionoffice FROM reports GROUP BY 1 ORDER BY count(*) DESC LIMIT 1");
    const QString diagnosis = QStringLiteral("输尿管结石");   // about one report in 170
    const QString common = QStringLiteral("骨折");            // about one report in 7

    std::vector<Case> cases;
    auto add = [&cases](const QString& name, std::function<void(Frmfind&)> type, const QString& column = QString(),
                        const QString& value = QString()) {
        Case c;
        c.name = name;
        c.type = std::move(type);
        c.plainColumn = column;
        c.plainValue = value;
        cases.push_back(std::move(c));
    };
    add(
        QStringLiteral("name \"%1\", no dates").arg(name), [&](Frmfind& w) { w.Text6->setText(name); },
        QStringLiteral("brname"), name);
    add(
        QStringLiteral("name \"%1\", no dates").arg(fullName), [&](Frmfind& w) { w.Text6->setText(fullName); },
        QStringLiteral("brname"), fullName);
    add(QStringLiteral("exam number %1").arg(exam), [&](Frmfind& w) { w.Text7->setText(exam); });
    add(QStringLiteral("one day %1").arg(busyDay.toString(Qt::ISODate)),
        [&](Frmfind& w) { dates(w, busyDay, busyDay); });
    add(QStringLiteral("year %1, name \"%2\", 男, %3, age <= 60").arg(lastFullYear).arg(name, section),
        [&](Frmfind& w) {
            dates(w, QDate(lastFullYear, 1, 1), QDate(lastFullYear, 12, 31));
            w.Text6->setText(name);
            w.Text11->setEditText(QStringLiteral("男"));
            w.Text3->setEditText(section);
            w.Text9->setText(QStringLiteral("60"));
        });
    add(
        QStringLiteral("diagnosis \"%1\", no dates").arg(diagnosis), [&](Frmfind& w) { w.Text5->setText(diagnosis); },
        QStringLiteral("checkconclusion"), diagnosis);
    add(
        QStringLiteral("diagnosis \"%1\", no dates").arg(common), [&](Frmfind& w) { w.Text5->setText(common); },
        QStringLiteral("checkconclusion"), common);

    // Only the cases whose name holds CASE, when given.
    if (args.size() > 3)
        std::erase_if(cases, [&](const Case& c) { return !c.name.contains(args[3]); });

    Palette::LoadSkin();
    Mmain::gRights.fill(true);
    MessageBox::setScripted(true);
    Opener::setHook([](QDialog*) { return 0; });
    Frmfind& w = Frmfind::instance();
    w.ensureLoaded();
    w.showModally();
    w.show();
    QCoreApplication::processEvents();

    auto runWindow = [&](Case& c) {
        clearConditions(w);
        c.type(w);
        MessageBox::clearShown();
        const auto t0 = Clock::now();
        w.buttonYes_Click();
        const double ms = millisecondsSince(t0);
        if (!MessageBox::shownBoxes().isEmpty())
            die("the window refused the query", MessageBox::shownBoxes().last().text);
        c.rows = w.MGrid->model()->rowCount();
        return ms;
    };
    auto statement = [&](Case& c) {
        clearConditions(w);
        c.type(w);
        return w.statement();
    };
    auto plainSql = [](const QString& column) {
        return QStringLiteral("SELECT ") + FrmfindQuery::Columns() + QStringLiteral(" FROM reports WHERE ") + column
               + QStringLiteral(" LIKE ?");
    };

    // One untimed round (and the paint of the first screen of each answer).
    for (Case& c : cases) {
        const FrmfindQuery::Statement s = statement(c);
        bareQuery(db, s.sql, s.params);
        runWindow(c);
        const auto t0 = Clock::now();
        w.MGrid->viewport()->repaint();
        c.paint = millisecondsSince(t0);
    }
    // Case by case: the window and the bare statement alternate, each going
    // first every other time; then the plain statement, which reads the whole
    // table and would leave both of them to find their pages gone.
    for (Case& c : cases) {
        const FrmfindQuery::Statement s = statement(c);
        for (int i = 0; i < repeats; ++i) {
            int bareRows = -1;
            auto bare = [&] {
                const auto t0 = Clock::now();
                bareRows = bareQuery(db, s.sql, s.params);
                c.bare.push_back(millisecondsSince(t0));
            };
            if (i % 2 == 0)
                bare();
            c.window.push_back(runWindow(c));
            if (i % 2 == 1)
                bare();
            if (bareRows != c.rows)
                die("the window and the bare statement found different rows");
        }
        if (!c.plainColumn.isEmpty()) {
            for (int i = 0; i < std::min(repeats, 5); ++i) {
                const auto t0 = Clock::now();
                bareQuery(db, plainSql(c.plainColumn), {FrmfindQuery::ContainsPattern(c.plainValue)});
                c.plain.push_back(millisecondsSince(t0));
            }
        }
    }

    std::printf("%d repetitions, medians (minimum)\n", repeats);
    for (const Case& c : cases) {
        const double wm = bench::median(c.window), bm = bench::median(c.bare);
        std::printf("%s: %d reports\n", qPrintable(c.name), c.rows);
        std::printf(
            "  window %9.3f ms (%.3f)   bare %9.3f ms (%.3f)   window / bare %.2f   first screen painted %.2f ms\n", wm,
            bench::minimum(c.window), bm, bench::minimum(c.bare), wm / std::max(bm, 1e-9), c.paint);
        if (!c.plain.empty()) {
            const double pm = bench::median(c.plain);
            std::printf("  plain full-table \"%s LIKE ?\" %9.3f ms   window / plain %.2f   bare / plain %.2f\n",
                        qPrintable(c.plainColumn), pm, wm / std::max(pm, 1e-9), bm / std::max(pm, 1e-9));
        }
    }
    // The first case's answer opened in the editor and printed, once.
    if (!cases.empty()) {
        clearConditions(w);
        cases.front().type(w);
        w.buttonYes_Click();
        for (int box : {18, 19})   // X线征象, 诊断意见 shown too
            w.xm[size_t(box)]->setChecked(true);
        w.buttonYes_Click();
        const QString shot = QDir::temp().filePath(QStringLiteral("bench_query_window.png"));
        w.grab().save(shot);
        std::printf("the window with the answer: %s\n", qPrintable(shot));
        const int row = w.MGrid->model()->rowCount() / 2;
        ListGrid::SelectRow(w.MGrid, row);
        auto t0 = Clock::now();
        w.buttnview_Click();
        const double view = millisecondsSince(t0);
        DataRecord& ed = DataRecord::instance();
        std::printf("view of row %d: %.1f ms, the editor shows %s (the grid: %s)\n", row, view,
                    qPrintable(ed.Text2->text()), qPrintable(ListGrid::Cell(w.MGrid, row, 1)));
        ed.ButtnBack_Click();

        auto pdf = std::make_shared<PdfPrinterBackend>();
        pdf->addPrinter(PdfPrinterBackend::standardPrinter(QStringLiteral("PDF")));
        pdf->setOutputFile(QDir::temp().filePath(QStringLiteral("bench_query_list.pdf")));
        ProgramPrinter::setBackend(pdf);
        MessageBox::clearShown();
        t0 = Clock::now();
        w.CmdPrint_Click();
        std::printf("list of %d reports printed to %s: %.1f s%s\n", w.MGrid->model()->rowCount(),
                    qPrintable(pdf->outputFile()), bench::secondsSince(t0),
                    MessageBox::shownBoxes().isEmpty()
                        ? ""
                        : qPrintable(QStringLiteral(", message: ") + MessageBox::shownBoxes().last().text));
        ProgramPrinter::setBackend(nullptr);
    }
    w.ButtnQuit_Click();
    sqlite3_close(db);
    return 0;
}
