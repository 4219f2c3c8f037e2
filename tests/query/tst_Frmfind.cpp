// The report query: the statement its conditions make, and the window on a
// real encrypted database (results, messages, the column chooser, the panels,
// resizing, the view in the editor and the indexes its statement relies on).
#include "support/EditorKit.h"

#include "core/QvButton.h"
#include "core/SkinPanel.h"
#include "query/Frmfind.h"
#include "query/FrmfindQuery.h"
#include "query/QueryOpeners.h"
#include "report/FrmfindGrid.h"
#include "report/ProgramPrinter.h"
#include "report/ReportOpeners.h"
#include "support/PdfKit.h"

#include <QCheckBox>
#include <QDateEdit>
#include <QHeaderView>

using kit::lastText;
using kit::lastTitle;
using namespace FrmfindQuery;

namespace {
const QDate kDay(2025, 3, 4);   // today in the tests

qint64 addReport(const QString& exam, const QString& name, const QString& pgdate, const QVariant& age = 45,
                 const QString& conclusion = QString())
{
    const QueryResult r = Database::ExecuteSql(
        QStringLiteral(
            "INSERT INTO reports (obligate5, brname, sex, age, ageunit, sectionoffice, pgdate, rpdate, rpdr, "
            "times, part, checkconclusion, obligate1, picture1) "
            "VALUES (?, ?, '男', ?, '岁', '内科', ?, ?, 'admin', 12.5, '胸部', ?, 1, ?)"),
        {exam, name, age, pgdate, pgdate, conclusion, QByteArray(5000, 'p')});
    if (!r.ok())
        qWarning("%s", qPrintable(r.description));
    return Database::LastInsertId();
}

QStringList keys(Frmfind& w)
{
    QStringList out;
    for (int r = 0; r < w.MGrid->model()->rowCount(); ++r)
        out << ListGrid::Cell(w.MGrid, r, FrmfindResults::kKeyColumn);
    return out;
}

// Runs a query with only a name condition (dates unticked).
void findName(Frmfind& w, const QString& name)
{
    w.DT1Check->setChecked(false);
    w.DT2Check->setChecked(false);
    w.Text6->setText(name);
    MessageBox::clearShown();
    w.buttonYes_Click();
}

QString plan(const Statement& s)
{
    const QueryResult r = Database::QueryData(QStringLiteral("EXPLAIN QUERY PLAN ") + s.sql, s.params);
    QStringList rows;
    for (int i = 0; r.hasRows() && i < r.data->recordCount(); ++i)
        rows << r.data->text(i, 3);
    return rows.join(QLatin1Char('\n'));
}
}

class tst_Frmfind : public QObject {
    Q_OBJECT
private slots:
    // ---- the statement ----------------------------------------------------

    void builderOrderAndValues()
    {
        Conditions c;
        c.DT1 = kDay;
        Statement s = Build(c);
        QCOMPARE(s.where, QStringLiteral("pgdate >= ?"));
        QCOMPARE(s.params, QVariantList{QStringLiteral("2025-03-04")});
        QVERIFY(s.sql.endsWith(QStringLiteral("FROM reports WHERE ctid IN (SELECT ctid FROM reports WHERE pgdate >= ?) "
                                              "ORDER BY ctid")));
        QVERIFY(!s.sql.contains(QStringLiteral("picture")) && !s.sql.contains(QLatin1Char('*')));

        // All fifteen, in the window's order; text exactly as typed (blanks too).
        c.DT2 = QDate(9999, 12, 31);
        const std::pair<QString Conditions::*, const char*> typed[] = {
            {&Conditions::Text3, "内科"}, {&Conditions::Text4, "胸"},   {&Conditions::Text5, "50%_\\"},
            {&Conditions::Text6, "  "},   {&Conditions::Text7, "X1"},   {&Conditions::Text8, "Z1"},
            {&Conditions::Text9, " 60 "}, {&Conditions::Text10, "2.5"}, {&Conditions::Text11, "男"},
            {&Conditions::Text12, "影"},  {&Conditions::Text13, "王"},  {&Conditions::Text14, "DR"},
            {&Conditions::Text15, "M1"}};
        for (const auto& [box, text] : typed)
            c.*box = QString::fromUtf8(text);
        s = Build(c);
        const QString like = QStringLiteral(" LIKE ? ESCAPE '\\'");
        QCOMPARE(s.where.split(QStringLiteral(" AND ")),
                 QStringList({"pgdate >= ?", "pgdate < ?", "sectionoffice = ?", "part" + like, "checkconclusion" + like,
                              "brname" + like, "obligate5 = ?", "inpatientid = ?", "age <= ?", "age >= ?", "sex = ?",
                              "checksymptom" + like, "rpdr" + like, "checkname" + like, "obligate3 = ?"}));
        QCOMPARE(s.whereParams, QVariantList({"2025-03-04", "9999-12-31~", "内科", "%胸%", "%50\\%\\_\\\\%", "%  %",
                                              "X1", "Z1", qlonglong(60), 2.5, "男", "%影%", "%王%", "%DR%", "M1"}));
        // The exact numbers narrow: their values first, for the inner statement.
        QCOMPARE(s.plan, Plan::Numbers);
        QCOMPARE(s.params.mid(0, 3), QVariantList({"X1", "Z1", "M1"}));

        // Nothing given; an age that is no number stops the query.
        QVERIFY(Build(Conditions{}).noConditions() && Build(Conditions{}).sql.isEmpty());
        // An age beyond every number (1e999 reads as infinity) is no number either.
        for (const char* bad : {"1 or 1=1", "abc", "  ", "1e999", "-1e999", "inf", "Infinity", "nan", "1e400"}) {
            Conditions lower;
            lower.Text10 = QString::fromUtf8(bad);
            s = Build(lower);
            QVERIFY2(s.sql.isEmpty() && s.error.contains(QStringLiteral("年龄下限")), bad);
            Conditions upper;
            upper.Text9 = QString::fromUtf8(bad);
            s = Build(upper);
            QVERIFY2(s.sql.isEmpty() && s.error.contains(QStringLiteral("年龄上限")), bad);
            QVERIFY2(!AgeValue(QString::fromUtf8(bad)), bad);
        }
        QCOMPARE(AgeValue(QStringLiteral("1e2")), std::optional<QVariant>(QVariant(100.0)));
        Conditions both;
        both.Text9 = QStringLiteral("x");
        both.Text10 = QStringLiteral("y");
        QVERIFY(Build(both).error.startsWith(QStringLiteral("年龄上限")));
    }

    // ---- the window -------------------------------------------------------

    void init()
    {
        folder_ = kit::editorFolder();
        QVERIFY(folder_->ok());
        QueryOpeners::registerAll();
        ReportOpeners::registerAll();
        printer_ = std::make_shared<PdfPrinterBackend>();
        printer_->addPrinter(PdfPrinterBackend::standardPrinter(QStringLiteral("默认打印机")));
        printer_->setOutputFile(folder_->file(QStringLiteral("list.pdf")));
        ProgramPrinter::setBackend(printer_);
        opened_.clear();
        Opener::setHook([this](QDialog* d) {
            opened_ << d;
            return 0;
        });
    }

    void cleanup()
    {
        kit::closeEditor();
        Frmfind& w = Frmfind::instance();
        if (w.isLoaded())
            w.ButtnQuit_Click();
        ProgramPrinter::setBackend(nullptr);
        folder_.reset();
    }

    // Results, their cells, widths and the buttons; the last day counts whole;
    // quotes, "%" and emoji in a name are plain text.
    void queryShowsResults()
    {
        const qint64 before = addReport(QStringLiteral("A0"), QStringLiteral("甲"), QStringLiteral("2025-03-03"));
        const qint64 day = addReport(QStringLiteral("A1"), QStringLiteral("O'Neil"), QStringLiteral("2025-03-04"), 45,
                                     QStringLiteral("未见异常"));
        const qint64 late =
            addReport(QStringLiteral("A2"), QStringLiteral("50%😀"), QStringLiteral("2025-03-04 23:59:59"), 30.0);
        addReport(QStringLiteral("A3"), QStringLiteral("500"), QStringLiteral("2025-03-05"));
        Frmfind& w = Frmfind::instance();
        Openers::OpenFind();
        QCOMPARE(opened_, QList<QDialog*>{&w});
        QVERIFY(w.DT1->date() == kDay && w.DT2->date() == kDay && !w.CmdPrint->isEnabled()
                && !w.buttnview->isEnabled());
        QCOMPARE(w.Text13->itemText(0), QStringLiteral("系统管理员"));

        w.buttonYes_Click();
        QVERIFY2(MessageBox::shownBoxes().isEmpty(), qPrintable(lastText()));
        QCOMPARE(keys(w), QStringList({QString::number(day), QString::number(late)}));
        QCOMPARE(w.Sql(), QStringLiteral("pgdate >= ? AND pgdate < ?"));
        QVERIFY(w.CmdPrint->isEnabled() && w.buttnview->isEnabled());
        QCOMPARE(FrmfindResults::Mode(w.MGrid), FrmfindResults::kResultsLook);
        auto* model = FrmfindResults::ModelOf(w.MGrid);
        QCOMPARE(model->text(0, FrmfindResults::kAgeColumn), QStringLiteral("45岁"));
        QCOMPARE(model->text(1, FrmfindResults::kAgeColumn), QStringLiteral("30岁"));
        QCOMPARE(model->text(1, FrmfindResults::kExamDateColumn), QStringLiteral("2025-03-04"));
        QCOMPARE(model->text(0, FrmfindResults::kFeeColumn), QStringLiteral("12.50"));
        QCOMPARE(model->text(0, FrmfindResults::kConclusionColumn), QStringLiteral("未见异常\r\n"));
        QCOMPARE(model->text(0, FrmfindResults::kContactColumn), QString());   // Null contact
        // Ticked columns at the query's widths, the others and the key hidden.
        QCOMPARE(FrmfindResults::ColumnWidthTwips(w.MGrid, FrmfindResults::kExamColumn), 900);
        QCOMPARE(FrmfindResults::ColumnWidthTwips(w.MGrid, FrmfindResults::kExamDateColumn),
                 1305);   // 1300 twips in whole pixels
        using namespace FrmfindResults;
        for (int c : {kContactColumn, kBedColumn, kOutpatientColumn, kExamCountColumn, kReviewerColumn, kAllergyColumn,
                      kTechniqueColumn, kSymptomColumn, kConclusionColumn, kCheckNameColumn, kKeyColumn})
            QVERIFY2(w.MGrid->isColumnHidden(c), qPrintable(QString::number(c)));

        // Any stored fee to the cent, however large; one that is no amount as it is stored.
        const QString fee = QStringLiteral("UPDATE reports SET times = ? WHERE ctid = ?");
        QVERIFY(Database::ExecuteSql(fee, {1e20, day}).ok()
                && Database::ExecuteSql(fee, {QStringLiteral("abc"), late}).ok());
        w.buttonYes_Click();
        model = FrmfindResults::ModelOf(w.MGrid);
        QCOMPARE(model->text(0, FrmfindResults::kFeeColumn), QStringLiteral("100000000000000000000.00"));
        QCOMPARE(model->text(1, FrmfindResults::kFeeColumn), QStringLiteral("abc"));
        QVERIFY(Database::ExecuteSql(fee, {12.5, day}).ok() && Database::ExecuteSql(fee, {12.5, late}).ok());

        // Without dates: a quote, a "%" and an emoji match only themselves.
        findName(w, QStringLiteral("O'N"));
        QCOMPARE(keys(w), QStringList{QString::number(day)});
        findName(w, QStringLiteral("0%"));
        QCOMPARE(keys(w), QStringList{QString::number(late)});
        findName(w, QStringLiteral("😀"));
        QCOMPARE(keys(w), QStringList{QString::number(late)});
        QVERIFY(!keys(w).contains(QString::number(before)));

        // More than a 16-bit counter holds: every row is listed.
        QVERIFY(TestFolder::exec(QStringLiteral(
            "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 33000) "
            "INSERT INTO reports (brname, rpdate, pgdate) SELECT '批量', '2025-01-01', '2025-01-01' FROM n")));
        findName(w, QStringLiteral("批量"));
        QCOMPARE(w.MGrid->model()->rowCount(), 33000);
        QCOMPARE(ListGrid::Cell(w.MGrid, 32999, FrmfindResults::kNameColumn), QStringLiteral("批量"));
    }

    // The messages, each leaving the grid and the buttons as they were.
    void messagesKeepTheGrid()
    {
        const qint64 key = addReport(QStringLiteral("B1"), QStringLiteral("乙"), QStringLiteral("2025-03-04"));
        Frmfind& w = Frmfind::instance();
        w.ensureLoaded();
        w.buttonYes_Click();
        QCOMPARE(keys(w), QStringList{QString::number(key)});

        auto expect = [&](const QString& text, const QString& title) {
            QCOMPARE(lastText(), text);
            QCOMPARE(lastTitle(), title);
            QCOMPARE(keys(w), QStringList{QString::number(key)});
            QVERIFY(w.CmdPrint->isEnabled());
        };
        findName(w, QStringLiteral("无此人"));
        expect(QStringLiteral("没有符合条件的数据返回"), QStringLiteral("错误"));
        QCOMPARE(MessageBox::shownBoxes().last().icon, MessageBox::Icon::Critical);
        findName(w, QString(16000, QChar(0x4E01)));   // as long as the engine's LIKE takes
        expect(QStringLiteral("没有符合条件的数据返回"), QStringLiteral("错误"));
        findName(w, QString(100000, QChar(0x4E01)));
        expect(QStringLiteral("病人姓名的查询内容太长，请缩短后再查询。"), QStringLiteral("错误"));
        w.Text6->clear();
        w.Text9->setText(QStringLiteral("1 or 1=1"));
        w.buttonYes_Click();
        expect(QStringLiteral("年龄上限只能填写数字，请重新输入。"), QStringLiteral("错误"));
        w.Text9->setText(QStringLiteral("1e999"));
        w.buttonYes_Click();
        expect(QStringLiteral("年龄上限只能填写数字，请重新输入。"), QStringLiteral("错误"));
        w.Text9->clear();
        w.buttonYes_Click();
        expect(QStringLiteral("请输入有效查询条件"), QStringLiteral("提示"));
        QCOMPARE(w.Sql(), QString());
        // Ages bound as numbers: 45 is within [45, 45], not within [46, 200] nor [0, 44].
        w.Text9->setText(QStringLiteral("45"));
        w.Text10->setText(QStringLiteral("45"));
        MessageBox::clearShown();
        w.buttonYes_Click();
        QVERIFY(MessageBox::shownBoxes().isEmpty());
        for (const auto& [upper, lower] : {std::pair("200", "46"), std::pair("44", "0")}) {
            w.Text9->setText(QString::fromLatin1(upper));
            w.Text10->setText(QString::fromLatin1(lower));
            w.buttonYes_Click();
            QCOMPARE(lastText(), QStringLiteral("没有符合条件的数据返回"));
        }

        // A list that fails while loading ends the loading there.
        w.ButtnQuit_Click();
        QVERIFY(TestFolder::exec(QStringLiteral("INSERT INTO section VALUES ('01', '内科')")));
        QVERIFY(TestFolder::exec(QStringLiteral("DROP TABLE bodypart")));
        MessageBox::clearShown();
        w.ensureLoaded();
        QCOMPARE(lastTitle(), QStringLiteral("错误"));
        QCOMPARE(MessageBox::shownBoxes().size(), 1);
        QVERIFY(w.Text3->count() == 1 && w.Text4->count() == 0 && w.Text13->count() == 0);
        QCOMPARE(w.Text11->count(), 2);
    }

    // A real change of the window's size empties the grid; view and print
    // then say there is nothing.
    void resizeEmptiesTheGrid()
    {
        addReport(QStringLiteral("C1"), QStringLiteral("丙"), QStringLiteral("2025-03-04"));
        Frmfind& w = Frmfind::instance();
        w.ensureLoaded();
        w.show();
        w.resize(1000, 700);
        QCoreApplication::processEvents();
        w.buttonYes_Click();
        QCOMPARE(w.MGrid->model()->rowCount(), 1);
        QResizeEvent same(w.size(), w.size());
        QCoreApplication::sendEvent(&w, &same);
        QCOMPARE(FrmfindResults::Mode(w.MGrid), FrmfindResults::kResultsLook);

        w.resize(1100, 720);
        QCoreApplication::processEvents();
        QCOMPARE(FrmfindResults::Mode(w.MGrid), FrmfindResults::kEmptyLook);
        QCOMPARE(w.MGrid->model()->columnCount(), 1);
        QCOMPARE(w.MGrid->model()->headerData(0, Qt::Horizontal).toString(), QStringLiteral("查询结果"));
        QVERIFY(w.CmdPrint->isEnabled() && w.buttnview->isEnabled());
        w.CmdPrint_Click();
        QCOMPARE(lastText(), QStringLiteral("当前没有查询数据"));
        MessageBox::clearShown();
        w.buttnview_Click();
        QCOMPARE(lastText(), QStringLiteral("当前没有查询数据"));
        QCOMPARE(lastTitle(), QStringLiteral("提示"));
        QVERIFY(opened_.isEmpty());
    }

    // The column chooser before and after a query; the panels keep what was typed and ticked.
    void columnChooserAndPanels()
    {
        addReport(QStringLiteral("D1"), QStringLiteral("丁"), QStringLiteral("2025-03-04"));
        Frmfind& w = Frmfind::instance();
        w.ensureLoaded();
        QVERIFY(w.Pictiaojian->isVisibleTo(&w) && !w.Picturexm->isVisibleTo(&w));
        w.Text6->setText(QStringLiteral("丁"));
        w.Buttnxm_Click();
        QVERIFY(!w.Pictiaojian->isVisibleTo(&w) && w.Picturexm->isVisibleTo(&w));
        // Before a query a click changes nothing; the next query applies the ticks.
        w.xm[FrmfindResults::kContactColumn]->click();    // 联系方式 on
        w.xm[FrmfindResults::kExamDateColumn]->click();   // 检查日期 off
        QCOMPARE(w.MGrid->model()->columnCount(), 1);
        w.Buttnxm_Click();   // the shown tab again: nothing changes
        w.Buttntj_Click();
        QCOMPARE(w.Text6->text(), QStringLiteral("丁"));
        QVERIFY(w.xm[FrmfindResults::kContactColumn]->isChecked()
                && !w.xm[FrmfindResults::kExamDateColumn]->isChecked());
        w.buttonYes_Click();
        QCOMPARE(FrmfindResults::ColumnWidthTwips(w.MGrid, FrmfindResults::kContactColumn), 1005);
        QVERIFY(w.MGrid->isColumnHidden(FrmfindResults::kExamDateColumn));
        // After it: a tick gives the chooser's width (1200, not 1300; 1000, not 950).
        w.xm[FrmfindResults::kExamDateColumn]->click();
        w.xm[FrmfindResults::kExamCountColumn]->click();
        QCOMPARE(FrmfindResults::ColumnWidthTwips(w.MGrid, FrmfindResults::kExamDateColumn), 1200);
        QCOMPARE(FrmfindResults::ColumnWidthTwips(w.MGrid, FrmfindResults::kExamCountColumn), 1005);
        w.xm[FrmfindResults::kExamColumn]->click();
        QVERIFY(w.MGrid->isColumnHidden(FrmfindResults::kExamColumn)
                && !w.MGrid->isColumnHidden(FrmfindResults::kNameColumn));
        // The 20th box stands above the 19th.
        QVERIFY(w.xm[19]->y() < w.xm[18]->y() && w.xm[18]->y() < w.xm[20]->y());

        // A new opening starts afresh.
        w.ButtnQuit_Click();
        w.ensureLoaded();
        QVERIFY(w.Text6->text().isEmpty() && w.Sql().isEmpty() && !w.xm[FrmfindResults::kContactColumn]->isChecked()
                && w.xm[FrmfindResults::kExamDateColumn]->isChecked());
        QCOMPARE(w.MGrid->model()->columnCount(), 1);
    }

    // The view opens the editor on the chosen row, read-only; without right 0 it stays off.
    void viewOpensTheChosenReport()
    {
        addReport(QStringLiteral("E1"), QStringLiteral("戊一"), QStringLiteral("2025-03-04"));
        const qint64 second = addReport(QStringLiteral("E2"), QStringLiteral("戊二"), QStringLiteral("2025-03-04"));
        Frmfind& w = Frmfind::instance();
        Mmain::gRights[Mmain::RightViewPrint] = false;
        w.ensureLoaded();
        w.buttonYes_Click();
        QVERIFY(w.CmdPrint->isEnabled() && !w.buttnview->isEnabled());
        w.ButtnQuit_Click();

        Mmain::gRights[Mmain::RightViewPrint] = true;
        w.ensureLoaded();
        w.buttonYes_Click();
        QVERIFY(w.buttnview->isEnabled());
        ListGrid::SelectRow(w.MGrid, 1);
        w.buttnview_Click();
        DataRecord& ed = DataRecord::instance();
        QCOMPARE(opened_, QList<QDialog*>{&ed});
        QCOMPARE(ed.Text2->text(), QStringLiteral("戊二"));
        QVERIFY(!ed.editing() && ed.UpdateIdout() == QString::number(second));
        QCOMPARE(w.MGrid->model()->rowCount(), 2);   // the grid is left as it was

        // The list prints as the grid shows it: header and rows, no hidden column,
        // no line break after the long texts.
        w.CmdPrintSet_Click();
        QCOMPARE(opened_.last(), &FrmfindGrid::instance());
        MessageBox::clearShown();
        w.CmdPrint_Click();
        QVERIFY2(MessageBox::shownBoxes().isEmpty(), qPrintable(lastText()));
        const QString pdf = printer_->outputFile();
        QCOMPARE(kit::pdfPages(pdf), 2);   // the columns are wider than A4 portrait
        const QString printed = kit::pdfText(pdf, 0, true);
        QCOMPARE(printed, QStringLiteral("X线号病人姓名性别年龄科室申请医师住院号检查日期报告医师收费金额"
                                         "E1戊一男45岁内科2025-03-04admin12.50E2戊二男45岁内科2025-03-04admin12.50"
                                         "检查部位胸部胸部"));

        // Each panel's top edge is open under its own tab.
        w.show();
        w.resize(1024, 700);
        QCoreApplication::processEvents();
        const QColor line = Palette::ToQColor(Palette::gLineColor);
        const QColor back = Palette::ToQColor(Palette::gPanelBackColor);
        const QImage conditions = w.Pictiaojian->grab().toImage();
        const QImage items = w.Picturexm->grab().toImage();
        const int right = items.width() - 1;
        QVERIFY(line != back);
        QCOMPARE(QColor(conditions.pixel(50, 0)), back);
        QCOMPARE(QColor(conditions.pixel(150, 0)), line);
        QCOMPARE(QColor(items.pixel(50, 0)), line);
        QCOMPARE(QColor(items.pixel(right - 50, 0)), back);
        QCOMPARE(QColor(items.pixel(right, 50)), line);
    }

    // The results follow the store: after a delete or a save the grid's view
    // shows every row its model holds, and the next query's answer shows whole,
    // however many rows the followed grid had lost. A report deleted above the
    // current row leaves the current row, which 查看报告 opens, on its report.
    void requeryAfterFollowedChanges()
    {
        const qint64 k1 = addReport(QStringLiteral("F1"), QStringLiteral("己一"), QStringLiteral("2025-03-04"));
        const qint64 k2 = addReport(QStringLiteral("F2"), QStringLiteral("己二"), QStringLiteral("2025-03-04"));
        const qint64 k3 = addReport(QStringLiteral("F3"), QStringLiteral("己三"), QStringLiteral("2025-03-04"));
        Frmfind& w = Frmfind::instance();
        w.ensureLoaded();
        w.buttonYes_Click();
        QCOMPARE(keys(w), QStringList({QString::number(k1), QString::number(k2), QString::number(k3)}));
        auto shown = [&w] { return w.MGrid->verticalHeader()->count(); };
        QCOMPARE(shown(), 3);
        ListGrid::SelectRow(w.MGrid, 1);
        QVERIFY(ReportStore::Delete(QString::number(k1)).ok());
        QCOMPARE(keys(w), QStringList({QString::number(k2), QString::number(k3)}));
        QCOMPARE(shown(), 2);
        QVERIFY(ListGrid::SelectedRow(w.MGrid) == 0 && FrmfindResults::CurrentKey(w.MGrid) == QString::number(k2));
        // The same query again: two rows, both shown.
        w.buttonYes_Click();
        QCOMPARE(keys(w), QStringList({QString::number(k2), QString::number(k3)}));
        QCOMPARE(shown(), 2);
        // A report of the day added behind the grid's back, the other deleted: three then one.
        const qint64 k4 = addReport(QStringLiteral("F4"), QStringLiteral("己四"), QStringLiteral("2025-03-04"));
        QVERIFY(ReportStore::Delete(QString::number(k2)).ok());
        QCOMPARE(shown(), 1);
        w.buttonYes_Click();
        QCOMPARE(keys(w), QStringList({QString::number(k3), QString::number(k4)}));
        QCOMPARE(shown(), 2);
    }

    // The plan follows what narrows: an index answers the keys first when a
    // condition can be answered there; otherwise one pass over the table, in
    // key order. Every plan gives the answer of the plain statement.
    void plansFollowWhatNarrows()
    {
        const StoredDates years{QDate(2017, 1, 1), QDate(2026, 12, 31)};
        QVERIFY(DatesNarrow(QDate(2024, 1, 1), QDate(2024, 12, 31), years));
        QVERIFY(DatesNarrow(QDate(2026, 12, 1), std::nullopt, years));
        QVERIFY(!DatesNarrow(QDate(1980, 1, 1), QDate(2999, 12, 31), years));
        QVERIFY(!DatesNarrow(QDate(2020, 1, 1), std::nullopt, years));
        QVERIFY(!DatesNarrow(std::nullopt, QDate(2024, 1, 1), years));
        QVERIFY(DatesNarrow(QDate(2020, 1, 1), QDate(2020, 1, 1), StoredDates{}));

        auto with = [](std::initializer_list<std::pair<QString Conditions::*, const char*>> typed) {
            Conditions c;
            for (const auto& [box, text] : typed)
                c.*box = QString::fromUtf8(text);
            return c;
        };
        auto dated = [](Conditions c, QDate from, QDate to) {
            c.DT1 = from;
            c.DT2 = to;
            return c;
        };
        const QDate y1(2024, 1, 1), y2(2024, 12, 31), all1(1980, 1, 1), all2(2999, 12, 31);
        struct Shape {
            const char* what;
            Conditions c;
            Plan plan;
            const char* index;   // the index the keys come from
        };
        const Shape shapes[] = {
            {"sex", with({{&Conditions::Text11, "女"}}), Plan::Plain, nullptr},
            {"age range", with({{&Conditions::Text9, "40"}, {&Conditions::Text10, "30"}}), Plan::Plain, nullptr},
            {"diagnosis and sex", with({{&Conditions::Text5, "骨折"}, {&Conditions::Text11, "男"}}), Plan::Plain,
             nullptr},
            {"all years and sex", dated(with({{&Conditions::Text11, "女"}}), all1, all2), Plan::Plain, nullptr},
            {"one year and sex", dated(with({{&Conditions::Text11, "女"}}), y1, y2), Plan::Dates, "reports_find"},
            {"one year, name, section, age",
             dated(with({{&Conditions::Text6, "王"}, {&Conditions::Text3, "内科"}, {&Conditions::Text9, "60"}}), y1,
                   y2),
             Plan::Dates, "reports_find"},
            {"exam number and sex", with({{&Conditions::Text7, "X1"}, {&Conditions::Text11, "男"}}), Plan::Numbers,
             "reports_obligate5"},
            {"in-patient number, all years", dated(with({{&Conditions::Text8, "Z1"}}), all1, all2), Plan::Numbers,
             "reports_inpatientid"},
            {"exam number within a year", dated(with({{&Conditions::Text7, "X1"}}), y1, y2), Plan::Numbers,
             "reports_obligate5"},
            {"out-patient number", with({{&Conditions::Text15, "M1"}}), Plan::Numbers, "reports_obligate3"},
            {"name", with({{&Conditions::Text6, "王"}}), Plan::Name, "reports_brname"},
            {"name and sex, all years",
             dated(with({{&Conditions::Text6, "王"}, {&Conditions::Text11, "男"}}), all1, all2), Plan::Name,
             "reports_brname"},
            {"section and diagnosis", with({{&Conditions::Text3, "内科"}, {&Conditions::Text5, "骨折"}}), Plan::Section,
             nullptr},
        };
        for (const Shape& shape : shapes) {
            const Statement s = Build(shape.c, years);
            QVERIFY2(s.plan == shape.plan, shape.what);
            const QString p = plan(s);
            if (shape.plan == Plan::Plain) {
                // One pass in key order: no index, no sorting.
                QVERIFY2(p == QStringLiteral("SCAN TABLE reports"),
                         qPrintable(QString::fromUtf8(shape.what) + ": " + p));
                continue;
            }
            QVERIFY2(p.contains(QStringLiteral("USING INTEGER PRIMARY KEY"))
                         && !p.contains(QStringLiteral("TEMP B-TREE"))
                         && !p.contains(QRegularExpression(QStringLiteral("SCAN TABLE reports$|SCAN TABLE reports\n"))),
                     qPrintable(QString::fromUtf8(shape.what) + ": " + p));
            if (shape.index)
                QVERIFY2(p.contains(QStringLiteral("INDEX ") + QString::fromUtf8(shape.index)),
                         qPrintable(QString::fromUtf8(shape.what) + ": " + p));
            else   // the section: from an index that holds it, without reading a row
                QVERIFY2(p.contains(QStringLiteral("COVERING INDEX")), qPrintable(p));
        }

        // The same answers whatever the plan.
        struct Row {
            const char* exam;
            const char* name;
            const char* sex;
            int age;
            const char* section;
            const char* pgdate;
            const char* conclusion;
        };
        const Row rows[] = {
            {"X1", "王敏", "男", 45, "内科", "2024-03-01", "右桡骨骨折"},
            {"X2", "王丽", "女", 33, "骨科", "2024-07-09", "未见异常"},
            {"X3", "李强", "男", 61, "内科", "2019-05-05", "骨折愈合"},
            {"X4", "张王", "女", 38, "内科", "2026-12-31", "骨折"},
            {"X5", "赵敏", "女", 29, "骨科", "2017-01-01", "肺炎"},
            {"X1", "王敏", "男", 46, "骨科", "2024-12-31", "未见异常"},
        };
        for (const Row& r : rows) {
            const QueryResult in = Database::ExecuteSql(
                QStringLiteral("INSERT INTO reports (obligate5, brname, sex, age, sectionoffice, pgdate, rpdate, "
                               "checkconclusion, inpatientid, obligate3) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?)"),
                {QString::fromUtf8(r.exam), QString::fromUtf8(r.name), QString::fromUtf8(r.sex), r.age,
                 QString::fromUtf8(r.section), QString::fromUtf8(r.pgdate), QString::fromUtf8(r.pgdate),
                 QString::fromUtf8(r.conclusion), QStringLiteral("Z") + QString::fromUtf8(r.exam).mid(1),
                 QStringLiteral("M") + QString::fromUtf8(r.exam).mid(1)});
            QVERIFY2(in.ok(), qPrintable(in.description));
        }
        auto keysOf = [](const QString& sql, const QVariantList& params) {
            const QueryResult r = Database::QueryData(sql, params);
            QStringList out;
            for (int i = 0; r.hasRows() && i < r.data->recordCount(); ++i)
                out << r.data->text(i, 0);
            return out;
        };
        for (const Shape& shape : shapes) {
            for (const std::optional<StoredDates>& stored :
                 {std::optional<StoredDates>(years), std::optional<StoredDates>()}) {
                const Statement s = Build(shape.c, stored);
                const QStringList plain = keysOf(QStringLiteral("SELECT ctid FROM reports WHERE ") + s.where
                                                     + QStringLiteral(" ORDER BY ctid"),
                                                 s.whereParams);
                QVERIFY2(keysOf(s.sql, s.params) == plain, shape.what);
            }
        }
        QCOMPARE(keysOf(Build(shapes[11].c, years).sql, Build(shapes[11].c, years).params).size(), 2);
    }

private:
    std::unique_ptr<TestFolder> folder_;
    std::shared_ptr<PdfPrinterBackend> printer_;
    QList<QDialog*> opened_;
};

QTEST_MAIN(tst_Frmfind)
#include "tst_Frmfind.moc"
