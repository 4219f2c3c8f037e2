// bench_query PROGRAM_FOLDER [REPEATS] [CASE]
//
// The report query window against the bare sqlite3 C API, on a database made
// by bench_gen_reports. First opens the database as the program does, which
// adds the indexes an older data.db lacks, and prints what that took. Then,
// case by case, in rounds of four whose order rotates:
//   window   click to rows painted: Frmfind::buttonYes_Click with the case's
//            conditions typed in (statement chosen and run through QueryData,
//            the grid's model and columns set), then the grid's visible rows
//            painted (viewport repaint)
//   bare     the statement the window issues, with the same bound values, on
//            a connection of its own opened as the program opens its one:
//            prepare, bind, step, every column kept as plain C++ strings,
//            finalize
//   bare+    bare, then those rows shown in a plain QTableView over a simple
//            model of the same size, columns and font, its first row
//            selected as the window's is, painted the same way
//   plain    the plain full-table statement of the same conditions,
//            "SELECT <columns> FROM reports NOT INDEXED WHERE ... ORDER BY ctid"
// Prints medians and each round's own ratios (their median and minimum):
// window / bare, window / bare+ and window / plain. With WS_BENCH_PROBE set it
// also times the window's steps apart (QueryData, the grid set, the paint).
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
#include "query/FrmfindResults.h"
#include "editor/DataRecord.h"
#include "report/PrinterBackend.h"
#include "report/ProgramPrinter.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QDir>
#include <QHeaderView>
#include <QLineEdit>
#include <QTableView>

#include <array>
#include <functional>
#include <string>

namespace {
using bench::Clock;
using bench::die;
using bench::millisecondsSince;

using Rows = std::vector<std::vector<std::string>>;

// One SELECT on the bare C API, every column kept as text; returns the rows.
Rows bareQuery(sqlite3* db, const QString& sql, const QVariantList& params)
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
    Rows rows;
    while (sqlite3_step(st) == SQLITE_ROW) {
        std::vector<std::string> row(static_cast<size_t>(columns));
        for (int c = 0; c < columns; ++c) {
            const unsigned char* t = sqlite3_column_text(st, c);
            row[size_t(c)].assign(t ? reinterpret_cast<const char*>(t) : "", size_t(sqlite3_column_bytes(st, c)));
        }
        rows.push_back(std::move(row));
    }
    sqlite3_finalize(st);
    return rows;
}

// The plain list: the answer's strings, a QString made for each cell painted,
// the grid's headers; grid column c shows the statement's column of the same name.
class PlainModel final : public QAbstractTableModel {
public:
    explicit PlainModel(const QAbstractItemModel* grid)
    {
        const QStringList names = FrmfindQuery::Columns().split(QStringLiteral(", "));
        static const char* fields[FrmfindResults::kColumns] = {"obligate5",    "brname",
                                                               "sex",          "age",
                                                               "bedid",        "sectionoffice",
                                                               "utpatientid",  "obligate2",
                                                               "inpatientid",  "obligate3",
                                                               "pgdate",       "obligate1",
                                                               "pgdr",         "rpdr",
                                                               "times",        "obligate4",
                                                               "part",         "checktechnique",
                                                               "checksymptom", "checkconclusion",
                                                               "checkname",    "ctid"};
        for (int c = 0; c < FrmfindResults::kColumns; ++c) {
            field_[size_t(c)] = int(names.indexOf(QString::fromLatin1(fields[c])));
            header_[size_t(c)] = grid->headerData(c, Qt::Horizontal).toString();
        }
        unit_ = int(names.indexOf(QStringLiteral("ageunit")));
    }
    void setRows(Rows rows)
    {
        beginResetModel();
        rows_ = std::move(rows);
        endResetModel();
    }
    int rowCount(const QModelIndex& parent = QModelIndex()) const override
    {
        return parent.isValid() ? 0 : int(rows_.size());
    }
    int columnCount(const QModelIndex& parent = QModelIndex()) const override
    {
        return parent.isValid() ? 0 : FrmfindResults::kColumns;
    }
    QVariant data(const QModelIndex& index, int role) const override
    {
        if (role != Qt::DisplayRole)
            return QVariant();
        const auto& row = rows_[size_t(index.row())];
        const std::string& s = row[size_t(field_[size_t(index.column())])];
        QString t = QString::fromUtf8(s.data(), qsizetype(s.size()));
        if (index.column() == 3)
            t += QString::fromUtf8(row[size_t(unit_)].data(), qsizetype(row[size_t(unit_)].size()));
        return t;
    }
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override
    {
        if (orientation == Qt::Horizontal && role == Qt::DisplayRole)
            return header_[size_t(section)];
        return QAbstractTableModel::headerData(section, orientation, role);
    }

private:
    Rows rows_;
    std::array<int, FrmfindResults::kColumns> field_{};
    std::array<QString, FrmfindResults::kColumns> header_;
    int unit_ = 0;
};

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
    std::vector<double> window, bare, barePainted, plain;
    std::vector<double> perBare, perBarePainted, perPlain;   // each round's own ratio
    QString plan;
    int rows = 0;
};

const char* planName(FrmfindQuery::Plan p)
{
    switch (p) {
    case FrmfindQuery::Plan::Dates: return "dates (reports_find)";
    case FrmfindQuery::Plan::Numbers: return "exact number";
    case FrmfindQuery::Plan::Name: return "name (reports_brname)";
    case FrmfindQuery::Plan::Section: return "section";
    case FrmfindQuery::Plan::Plain: return "plain statement";
    default: return "none";
    }
}

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
    auto add = [&cases](const QString& name, std::function<void(Frmfind&)> type) {
        Case c;
        c.name = name;
        c.type = std::move(type);
        cases.push_back(std::move(c));
    };
    add(QStringLiteral("name \"%1\", no dates").arg(name), [&](Frmfind& w) { w.Text6->setText(name); });
    add(QStringLiteral("name \"%1\", no dates").arg(fullName), [&](Frmfind& w) { w.Text6->setText(fullName); });
    add(QStringLiteral("name \"%1\" and 男, no dates").arg(name), [&](Frmfind& w) {
        w.Text6->setText(name);
        w.Text11->setEditText(QStringLiteral("男"));
    });
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
    add(QStringLiteral("year %1, 女").arg(lastFullYear), [&](Frmfind& w) {
        dates(w, QDate(lastFullYear, 1, 1), QDate(lastFullYear, 12, 31));
        w.Text11->setEditText(QStringLiteral("女"));
    });
    add(QStringLiteral("section %1, no dates").arg(section), [&](Frmfind& w) { w.Text3->setEditText(section); });
    add(QStringLiteral("女, no dates"), [&](Frmfind& w) { w.Text11->setEditText(QStringLiteral("女")); });
    add(QStringLiteral("女, 1980-01-01 .. 2999-12-31"), [&](Frmfind& w) {
        dates(w, QDate(1980, 1, 1), QDate(2999, 12, 31));
        w.Text11->setEditText(QStringLiteral("女"));
    });
    add(QStringLiteral("age 30 .. 40, no dates"), [&](Frmfind& w) {
        w.Text10->setText(QStringLiteral("30"));
        w.Text9->setText(QStringLiteral("40"));
    });
    add(QStringLiteral("diagnosis \"%1\", no dates").arg(diagnosis), [&](Frmfind& w) { w.Text5->setText(diagnosis); });
    add(QStringLiteral("diagnosis \"%1\", no dates").arg(common), [&](Frmfind& w) { w.Text5->setText(common); });

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

    // The plain list beside the window's grid, shaped like it.
    PlainModel plainModel(w.MGrid->model());
    QTableView plainView;
    plainView.setModel(&plainModel);
    plainView.setFont(w.MGrid->font());
    plainView.verticalHeader()->setVisible(false);
    plainView.verticalHeader()->setDefaultSectionSize(w.MGrid->verticalHeader()->defaultSectionSize());
    plainView.horizontalHeader()->setFixedHeight(w.MGrid->horizontalHeader()->height());
    plainView.setWordWrap(false);
    plainView.setSelectionBehavior(QAbstractItemView::SelectRows);
    plainView.resize(w.MGrid->size());
    plainView.show();
    QCoreApplication::processEvents();

    auto runWindow = [&](Case& c) {
        clearConditions(w);
        c.type(w);
        MessageBox::clearShown();
        const auto t0 = Clock::now();
        w.buttonYes_Click();
        w.MGrid->viewport()->repaint();
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
    auto runBarePainted = [&](const FrmfindQuery::Statement& s) {
        const auto t0 = Clock::now();
        plainModel.setRows(bareQuery(db, s.sql, s.params));
        plainView.selectRow(0);   // as the window shows its answer
        plainView.viewport()->repaint();
        return millisecondsSince(t0);
    };
    auto plainSql = [](const FrmfindQuery::Statement& s) {
        return QStringLiteral("SELECT ") + FrmfindQuery::Columns() + QStringLiteral(" FROM reports NOT INDEXED WHERE ")
               + s.where + QStringLiteral(" ORDER BY ctid");
    };

    // One untimed round; the plain list's widths follow the window's.
    for (Case& c : cases) {
        const FrmfindQuery::Statement s = statement(c);
        c.plan = QString::fromLatin1(planName(s.plan));
        runWindow(c);
        for (int col = 0; col < FrmfindResults::kColumns; ++col)
            plainView.setColumnWidth(col, w.MGrid->columnWidth(col));
        runBarePainted(s);
        if (plainModel.rowCount() != c.rows)
            die("the window and the bare statement found different rows", c.name);
        QCoreApplication::processEvents();
    }
    // Case by case, in rounds of the four, the order rotating from round to
    // round, so that the machine's load of the moment weighs on all of them.
    for (Case& c : cases) {
        const FrmfindQuery::Statement s = statement(c);
        for (int i = 0; i < repeats; ++i) {
            double wms = 0, bms = 0, pms = 0, fms = 0;
            for (int k = 0; k < 4; ++k) {
                switch ((i + k) % 4) {
                case 0: wms = runWindow(c); break;
                case 1: {
                    const auto t0 = Clock::now();
                    const Rows rows = bareQuery(db, s.sql, s.params);
                    bms = millisecondsSince(t0);
                    if (int(rows.size()) != c.rows)
                        die("the window and the bare statement found different rows", c.name);
                    break;
                }
                case 2: pms = runBarePainted(s); break;
                default: {
                    const auto t0 = Clock::now();
                    const Rows rows = bareQuery(db, plainSql(s), s.whereParams);
                    fms = millisecondsSince(t0);
                    if (int(rows.size()) != c.rows)
                        die("the plain statement found other rows", c.name);
                }
                }
                QCoreApplication::processEvents();
            }
            c.window.push_back(wms);
            c.bare.push_back(bms);
            c.barePainted.push_back(pms);
            c.plain.push_back(fms);
            c.perBare.push_back(wms / std::max(bms, 1e-9));
            c.perBarePainted.push_back(wms / std::max(pms, 1e-9));
            c.perPlain.push_back(wms / std::max(fms, 1e-9));
        }
    }

    if (qEnvironmentVariableIsSet("WS_BENCH_PROBE")) {
        for (Case& c : cases) {
            const FrmfindQuery::Statement s = statement(c);
            for (int i = 0; i < 3; ++i) {
                auto t0 = Clock::now();
                const QueryResult r = Database::QueryData(s.sql, s.params);
                const double q = millisecondsSince(t0);
                t0 = Clock::now();
                const Rows rows = bareQuery(db, s.sql, s.params);
                const double b = millisecondsSince(t0);
                bool ticked[FrmfindResults::kChooserBoxes];
                for (int k = 0; k < FrmfindResults::kChooserBoxes; ++k)
                    ticked[k] = w.xm[size_t(k)]->isChecked();
                FrmfindResults::SetEmptyLook(w.MGrid);
                t0 = Clock::now();
                FrmfindResults::SetResultsLook(w.MGrid, r.data, ticked);
                const double look = millisecondsSince(t0);
                t0 = Clock::now();
                w.MGrid->viewport()->repaint();
                const double paint = millisecondsSince(t0);
                std::printf("probe %s: QueryData %.1f bare %.1f results look %.1f paint %.1f\n", qPrintable(c.name), q,
                            b, look, paint);
            }
        }
    }
    std::printf("%d rounds, medians (minimum); ratios of each round: median [min]\n", repeats);
    for (const Case& c : cases) {
        const double wm = bench::median(c.window), bm = bench::median(c.bare), pm = bench::median(c.barePainted),
                     fm = bench::median(c.plain);
        std::printf("%s: %d reports, plan: %s\n", qPrintable(c.name), c.rows, qPrintable(c.plan));
        std::printf(
            "  click to rows painted %9.3f ms (%.3f)   bare %9.3f ms (%.3f)   bare + plain list painted %9.3f ms "
            "(%.3f)\n",
            wm, bench::minimum(c.window), bm, bench::minimum(c.bare), pm, bench::minimum(c.barePainted));
        std::printf("  plain full table %9.3f ms (%.3f)\n", fm, bench::minimum(c.plain));
        std::printf("  window / bare %.2f [%.2f]   window / bare+painted %.2f [%.2f]   window / plain %.2f [%.2f]\n",
                    bench::median(c.perBare), bench::minimum(c.perBare), bench::median(c.perBarePainted),
                    bench::minimum(c.perBarePainted), bench::median(c.perPlain), bench::minimum(c.perPlain));
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
