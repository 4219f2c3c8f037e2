// The workload statistics: the sheet built from answers on its own, the six
// statistics run through the window on a seeded database (dates, months, Null
// groups, no rows, the index that answers them), and the window itself: list
// selection, resizing, caption strips, printing refusals and reopening.
#include "core/Database.h"
#include "core/Money.h"
#include "core/Openers.h"
#include "core/Palette.h"
#include "core/ReportList.h"
#include "core/ReportRecord.h"
#include "core/SkinPanel.h"
#include "platform/Environment.h"
#include "platform/MessageBox.h"
#include "platform/Opener.h"
#include "query/FrmTJ.h"
#include "query/QueryOpeners.h"
#include "query/WorkloadSheet.h"
#include "report/FrmfindGrid.h"
#include "report/PrinterBackend.h"
#include "report/ProgramPrinter.h"
#include "report/ReportOpeners.h"
#include "support/CoreKit.h"
#include "support/PdfKit.h"

#include <QDateEdit>
#include <QLocale>
#include <QPainter>
#include <QTableView>
#include <QTest>

#include <limits>

using namespace kit;
using Workload::Sheet;

namespace {
const QDate kToday(2010, 7, 26);

RecordSetPtr answer(const QVector<QVector<QVariant>>& rows)
{
    return std::make_shared<RecordSet>(QStringList{QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c")},
                                       rows);
}

QStringList row(const Sheet& s, int r) { return {s.text(r, 0), s.text(r, 1), s.text(r, 2)}; }

// A stored report with the columns the statistics read (a null QVariant is Null).
void seed(const QString& rpdate, const QVariant& exam, const QVariant& name, const QVariant& fee,
          const QVariant& physician = QStringLiteral("张医生"), const QVariant& doctor = QStringLiteral("ys01"),
          const QVariant& section = QStringLiteral("内科"))
{
    const QueryResult r = Database::ExecuteSql(
        QStringLiteral("INSERT INTO reports (rpdate, obligate5, brname, times, utpatientid, rpdr, sectionoffice) "
                       "VALUES (?, ?, ?, ?, ?, ?, ?)"),
        {rpdate, exam, name, fee, physician, doctor, section});
    QVERIFY2(r.ok(), qPrintable(r.description));
}

FrmTJ& openWindow()
{
    FrmTJ& w = FrmTJ::instance();
    w.ensureLoaded();
    w.show();
    w.setWindowState(Qt::WindowNoState);
    w.resize(1024, 700);
    return w;
}

// Runs statistic k from first to last through the list button and 统 计.
const Sheet& run(FrmTJ& w, int k, const QDate& first, const QDate& last)
{
    QTest::mouseClick(w.BtnList[k], Qt::LeftButton);
    w.DTPicker1->setDate(first);
    w.DTPicker2->setDate(last);
    QTest::mouseClick(w.CmdTJ, Qt::LeftButton);
    return w.sheet();
}

QString grid(const FrmTJ& w, int r, int c) { return w.MGrid->model()->index(r, c).data().toString(); }

QColor pixel(const QImage& img, int x, int y) { return img.pixelColor(x, y); }

// How many pixel columns of area hold ink (dark pixels), from the first to the last.
int inkWidth(const QImage& img, const QRect& area)
{
    int first = -1, last = -1;
    for (int x = area.left(); x <= area.right(); ++x)
        for (int y = area.top(); y <= area.bottom(); ++y)
            if (qGray(img.pixel(x, y)) < 128) {
                if (first < 0)
                    first = x;
                last = x;
                break;
            }
    return first < 0 ? 0 : last - first + 1;
}

// The width of a text's ink drawn whole in font.
int inkWidth(const QString& text, const QFont& font)
{
    QImage img(QFontMetrics(font).horizontalAdvance(text) + 40, QFontMetrics(font).height() + 10, QImage::Format_RGB32);
    img.fill(Qt::white);
    QPainter p(&img);
    p.setFont(font);
    p.setPen(Qt::black);
    p.drawText(QPoint(20, QFontMetrics(font).ascent() + 5), text);
    p.end();
    return inkWidth(img, img.rect());
}

// Prints the window's sheet with 打印报表 to a PDF; its file.
QString printSheet(FrmTJ& w, const QString& file)
{
    auto backend = std::make_shared<PdfPrinterBackend>();
    backend->addPrinter(PdfPrinterBackend::standardPrinter(QStringLiteral("默认打印机")));
    backend->setOutputFile(file);
    ProgramPrinter::setBackend(backend);
    MessageBox::clearShown();
    QTest::mouseClick(w.CmdPrint, Qt::LeftButton);
    ProgramPrinter::setBackend(nullptr);
    return MessageBox::shownBoxes().isEmpty() ? file : MessageBox::shownBoxes().last().text;
}
}

class tst_FrmTJ : public QObject {
    Q_OBJECT
private:
    std::unique_ptr<TestFolder> folder_;

private slots:
    void init()
    {
        folder_ = freshFolder(kToday);
        QVERIFY(folder_->ok());
    }
    void cleanup()
    {
        if (FrmTJ::instance().isLoaded())
            FrmTJ::instance().ButtnQuit_Click();
        flushDeletes();
        folder_.reset();
    }

    void sheetLayout()
    {
        const QDate first(2010, 7, 26), last(2010, 7, 27);
        // Fees of 10, 20.5 and 30; a Null exam number, name and fee read as "", "" and 0.
        Sheet s = Sheet::build(0, first, last,
                               answer({{QStringLiteral("A1"), QStringLiteral("王一"), 10},
                                       {QStringLiteral("A2"), QStringLiteral("王二"), 20.5},
                                       {QStringLiteral("A3"), QStringLiteral("王三"), 30.0},
                                       {QVariant(), QVariant(), QVariant()}}));
        QCOMPARE(s.rows(), 8);
        QCOMPARE(s.cols(), 3);
        QCOMPARE(row(s, 0), QStringList(3, QStringLiteral("工作量明细统计")));
        QCOMPARE(row(s, 1), QStringList(3, QStringLiteral("统计日期: 2010年07月26日 - 2010年07月27日")));
        QCOMPARE(row(s, 2), (QStringList{QStringLiteral("检查号"), QStringLiteral("姓名"), QStringLiteral("金额")}));
        QCOMPARE(row(s, 3), (QStringList{QStringLiteral("A1"), QStringLiteral("王一"), QStringLiteral("10.00")}));
        QCOMPARE(s.text(4, 2), QStringLiteral("20.50"));
        QCOMPARE(s.text(5, 2), QStringLiteral("30.00"));
        QCOMPARE(row(s, 6), (QStringList{QString(), QString(), QStringLiteral("0.00")}));
        QCOMPARE(row(s, 7), QStringList(3, QStringLiteral("金额合计：60.50   人次合计：4")));
        for (int r = 0; r < s.rows(); ++r)
            QCOMPARE(s.mergeRow(r), r == 0 || r == 1 || r == 7);
        QCOMPARE(s.fontSize(0, 0), 18.0);
        QCOMPARE(s.fontSize(1, 0), 9.0);
        QCOMPARE(s.fontSize(0, 1), 0.0);
        QCOMPARE(s.fontSize(3, 0), 0.0);
        QCOMPARE(s.alignment(0, 0), Workload::kAlignCenterCenter);
        QCOMPARE(s.rowHeightTwips(0), 450);
        QCOMPARE(s.rowHeightTwips(1), 0);

        // One result row: five rows, the totals in row 4; a grouped statistic
        // counts its field 1 and sums its field 2, the exact sum as a text.
        s = Sheet::build(3, first, first, answer({{QVariant(), 7, QStringLiteral("70.25")}}));
        QCOMPARE(s.rows(), 5);
        QCOMPARE(row(s, 3), (QStringList{QString(), QStringLiteral("7"), QStringLiteral("70.25")}));
        QVERIFY(s.mergeRow(4) && !s.mergeRow(3));
        QCOMPARE(s.text(4, 1), QStringLiteral("金额合计：70.25   人次合计：7"));
        QVERIFY(Sheet().blank() && Sheet().rows() == 0 && Sheet().cols() == 0);
    }

    // Money to the cent: each fee rounded half up on its decimal value, and the
    // total the exact sum of the amounts shown, however many there are.
    void moneyToTheCent()
    {
        // 1.005 and 2.675 are held just below their halves in binary.
        const std::pair<double, qint64> cents[] = {
            {1.005, 101},  {0.125, 13},   {2.675, 268}, {1000000.0, 100000000}, {1000000.005, 100000001}, {-0.005, -1},
            {0.004999, 0}, {99.99, 9999}, {1e-9, 0}};
        for (const auto& [yuan, c] : cents)
            QVERIFY2(Money::Cents(yuan) == std::optional<qint64>(c), qPrintable(QString::number(yuan, 'g', 17)));
        QVERIFY(!Money::Cents(std::numeric_limits<double>::infinity()) && !Money::Cents(1e300)
                && Money::Read(QVariant()).kind == Money::Stored::None
                && Money::Read(QVariant(QStringLiteral("十元"))).kind == Money::Stored::Unreadable);
        const Money::Stored typed = Money::Read(QVariant(QStringLiteral(" 2.675 ")));
        QVERIFY(typed.kind == Money::Stored::Amount && typed.cents == 268);
        QCOMPARE(Money::Text(-50), QStringLiteral("-0.50"));
        QCOMPARE(Money::Text(100000000), QStringLiteral("1000000.00"));
        QCOMPARE(Money::Value(1000), QVariant(qlonglong(10)));
        QCOMPARE(Money::Value(101), QVariant(1.01));

        // The detail sheet: the rows and their total.
        Sheet s = Sheet::build(0, kToday, kToday,
                               answer({{QStringLiteral("A"), QStringLiteral("甲"), 1.005},
                                       {QStringLiteral("B"), QStringLiteral("乙"), 0.125},
                                       {QStringLiteral("C"), QStringLiteral("丙"), 2.675},
                                       {QStringLiteral("D"), QStringLiteral("丁"), qlonglong(1000000)}}));
        QCOMPARE((QStringList{s.text(3, 2), s.text(4, 2), s.text(5, 2), s.text(6, 2)}),
                 (QStringList{"1.01", "0.13", "2.68", "1000000.00"}));
        QCOMPARE(s.text(7, 0), QStringLiteral("金额合计：1000003.82   人次合计：4"));

        // Many fees whose binary sum drifts: a plain running sum of 100,000 ×
        // 0.01 is 999.9999999992, and with 1.005 beside them it shows 1001.00,
        // one cent below the amounts shown.
        QVector<QVector<QVariant>> tenths(100000, QVector<QVariant>{QStringLiteral("X"), QStringLiteral("Y"), 0.10});
        s = Sheet::build(0, kToday, kToday, answer(tenths));
        QVERIFY(s.amountCents() == 1000000);
        QCOMPARE(s.text(100003, 0), QStringLiteral("金额合计：10000.00   人次合计：100000"));
        QVector<QVector<QVariant>> mix(100000, QVector<QVariant>{QStringLiteral("X"), QStringLiteral("Y"), 0.01});
        mix.append({QStringLiteral("X"), QStringLiteral("Y"), 1.005});
        s = Sheet::build(0, kToday, kToday, answer(mix));
        QCOMPARE(s.text(100003, 2), QStringLiteral("1.01"));
        QCOMPARE(s.text(100004, 0), QStringLiteral("金额合计：1001.01   人次合计：100001"));
        mix = tenths + mix;
        s = Sheet::build(0, kToday, kToday, answer(mix));
        QVERIFY(s.amountCents() == 1000000 + 100000 + 101);
        // 500,000 fees of 99.99: exactly 49995000.00.
        QVector<QVector<QVariant>> rows(500000, QVector<QVariant>{QStringLiteral("X"), QStringLiteral("Y"), 99.99});
        s = Sheet::build(0, kToday, kToday, answer(rows));
        QCOMPARE(s.text(500003, 0), QStringLiteral("金额合计：49995000.00   人次合计：500000"));

        // On the database, stored with three decimals by an earlier program:
        // every statistic shows the amounts to the cent and the same total.
        const QVariant fees[] = {1.005, 0.125, 2.675, qlonglong(1000000)};
        for (int i = 0; i < 4; ++i)
            seed(QStringLiteral("2010-07-26"), QStringLiteral("M%1").arg(i), QStringLiteral("钱"), fees[i]);
        FrmTJ& w = openWindow();
        for (int k = 0; k < Workload::kStatistics; ++k) {
            const Sheet& sheet = run(w, k, kToday, kToday);
            QCOMPARE(grid(w, sheet.rows() - 1, 0), QStringLiteral("金额合计：1000003.82   人次合计：4"));
        }
        QCOMPARE(grid(w, 3, 2), QStringLiteral("1000003.82"));   // the one section
        run(w, 0, kToday, kToday);
        QCOMPARE((QStringList{grid(w, 3, 2), grid(w, 4, 2), grid(w, 5, 2), grid(w, 6, 2)}),
                 (QStringList{"1.01", "0.13", "2.68", "1000000.00"}));
        w.ButtnQuit_Click();
    }

    // Whatever another program stored as a fee is summed and shown exactly, far
    // beyond what the editor saves; what is no amount at all is left out of the
    // totals and its report named, never dropped in silence.
    void everyStoredFee()
    {
        using Money::Stored;
        auto read = [](const QVariant& v) { return Money::Read(v); };
        auto cents = [&](const QVariant& v) { return Money::Text(read(v).cents); };
        QCOMPARE(cents(2e13), QStringLiteral("20000000000000.00"));
        QCOMPARE(cents(qlonglong(9223372036854775807LL)), QStringLiteral("9223372036854775807.00"));
        QCOMPARE(cents(1e20), QStringLiteral("100000000000000000000.00"));
        QCOMPARE(cents(20000000000000.01), QStringLiteral("20000000000000.01"));
        QCOMPARE(cents(-2e13), QStringLiteral("-20000000000000.00"));
        QCOMPARE(cents(QStringLiteral(" 123456789012345678901.005 ")), QStringLiteral("123456789012345678901.01"));
        QCOMPARE(cents(QStringLiteral("2e13")), QStringLiteral("20000000000000.00"));
        QCOMPARE(cents(QStringLiteral("-.125")), QStringLiteral("-0.13"));
        QCOMPARE(cents(1.005), QStringLiteral("1.01"));
        for (const QVariant& none : {QVariant(), QVariant(QString()), QVariant(QStringLiteral("  "))})
            QCOMPARE(read(none).kind, Stored::None);
        for (const QVariant& bad : {QVariant(QStringLiteral("abc")), QVariant(QStringLiteral("5元")),
                                    QVariant(QStringLiteral("1e")), QVariant(QStringLiteral("1e40")),
                                    QVariant(QByteArray("\x01")), QVariant(std::numeric_limits<double>::infinity())})
            QVERIFY2(read(bad).kind == Stored::Unreadable, qPrintable(bad.toString()));
        QCOMPARE(ReportRecord::FeeText(QVariant(2e13)), QStringLiteral("20000000000000.00"));

        // 2e13, 5 and an empty fee: every statistic shows and sums all of them.
        seed(QStringLiteral("2010-07-26"), QStringLiteral("G1"), QStringLiteral("大"), 2e13);
        seed(QStringLiteral("2010-07-26"), QStringLiteral("G2"), QStringLiteral("小"), 5);
        seed(QStringLiteral("2010-07-26"), QStringLiteral("G3"), QStringLiteral("空"), QVariant());
        seed(QStringLiteral("2010-07-26"), QStringLiteral("G4"), QStringLiteral("更大"), 1e20, QStringLiteral("李医生"),
             QStringLiteral("ys02"), QStringLiteral("外科"));
        seed(QStringLiteral("2010-07-26"), QStringLiteral("G5"), QStringLiteral("负"), -1e20, QStringLiteral("李医生"),
             QStringLiteral("ys02"), QStringLiteral("外科"));
        FrmTJ& w = openWindow();
        MessageBox::clearShown();
        const QString total = QStringLiteral("金额合计：20000000000005.00   人次合计：5");
        for (int k = 0; k < Workload::kStatistics; ++k) {
            const Sheet& s = run(w, k, kToday, kToday);
            QCOMPARE(grid(w, s.rows() - 1, 0), total);
            QVERIFY(s.unreadableFees() == 0);
        }
        QVERIFY2(MessageBox::shownBoxes().isEmpty(), qPrintable(lastText()));
        QCOMPARE(grid(w, 3, 2), QStringLiteral("20000000000005.00"));   // 内科 in statistic 5
        run(w, 0, kToday, kToday);
        QCOMPARE((QStringList{grid(w, 3, 2), grid(w, 4, 2), grid(w, 5, 2), grid(w, 6, 2)}),
                 (QStringList{"20000000000000.00", "5.00", "0.00", "100000000000000000000.00"}));

        // A fee that is no amount: shown as stored, left out, its report named.
        seed(QStringLiteral("2010-07-26"), QStringLiteral("G9"), QStringLiteral("坏"), QStringLiteral("abc"));
        const qint64 key = queryInt(QStringLiteral("SELECT ctid FROM reports WHERE obligate5 = 'G9'"));
        for (int k = 0; k < Workload::kStatistics; ++k) {
            MessageBox::clearShown();
            const Sheet& s = run(w, k, kToday, kToday);
            QCOMPARE(grid(w, s.rows() - 1, 0), QStringLiteral("金额合计：20000000000005.00   人次合计：6"));
            QCOMPARE(MessageBox::shownBoxes().size(), 1);
            QCOMPARE(lastText(), QStringLiteral("下列报告的收费金额不是有效金额，未计入金额合计：\n"
                                                "检查号 G9，姓名 坏，序号 %1：“abc”")
                                     .arg(key));
            QCOMPARE(lastTitle(), QStringLiteral("提示"));
            QCOMPARE(MessageBox::shownBoxes().last().icon, MessageBox::Icon::Exclamation);
        }
        run(w, 0, kToday, kToday);
        QCOMPARE(grid(w, 8, 0) + QLatin1Char('/') + grid(w, 8, 2), QStringLiteral("G9/abc"));
        w.ButtnQuit_Click();
    }

    // Sums that leave 64 bits: two fees that each fit in 64 bits of cents, whose
    // sum does not, in one group of every statistic; a sum kept in 64 bits would
    // wrap to a negative amount.
    void sumsBeyondSixtyFourBits()
    {
        seed(QStringLiteral("2010-07-26"), QStringLiteral("W1"), QStringLiteral("甲"), 6e16);
        seed(QStringLiteral("2010-07-26"), QStringLiteral("W2"), QStringLiteral("乙"), qlonglong(60000000000000000LL));
        seed(QStringLiteral("2010-07-26"), QStringLiteral("W3"), QStringLiteral("丙"), 5);
        FrmTJ& w = openWindow();
        for (int k = 0; k < Workload::kStatistics; ++k) {
            const Sheet& s = run(w, k, kToday, kToday);
            QCOMPARE(grid(w, s.rows() - 1, 0), QStringLiteral("金额合计：120000000000000005.00   人次合计：3"));
            if (k != 0)
                QCOMPARE(grid(w, 3, 2), QStringLiteral("120000000000000005.00"));
        }
        // The sheet's own sum over the rows as given.
        const Sheet s =
            Sheet::build(0, kToday, kToday,
                         answer({{QStringLiteral("A"), QStringLiteral("甲"), qlonglong(90000000000000000LL)},
                                 {QStringLiteral("B"), QStringLiteral("乙"), qlonglong(90000000000000000LL)}}));
        QCOMPARE(s.text(5, 0), QStringLiteral("金额合计：180000000000000000.00   人次合计：2"));
    }

    // An amount shows whole, however long: on the screen and on paper, the
    // amount column as wide as its widest amount and the totals row needs.
    void amountsShowWhole()
    {
        QueryOpeners::registerAll();
        ReportOpeners::registerAll();
        // 2e14 and 2e15 once came out as the same cut text; 1e26 is the largest
        // amount a stored fee is read as, -1e26 one character wider.
        seed(QStringLiteral("2010-07-26"), QStringLiteral("L1"), QStringLiteral("甲"), 2e14);
        seed(QStringLiteral("2010-07-26"), QStringLiteral("L2"), QStringLiteral("乙"), 2e15);
        seed(QStringLiteral("2010-07-26"), QStringLiteral("L3"), QStringLiteral("丙"), QStringLiteral("1e26"));
        seed(QStringLiteral("2010-07-27"), QStringLiteral("L4"), QStringLiteral("丁"), -1e26);
        const QStringList amounts{QStringLiteral("200000000000000.00"), QStringLiteral("2000000000000000.00"),
                                  QStringLiteral("100000000000000000000000000.00"),
                                  QStringLiteral("-100000000000000000000000000.00")};
        const QString rowsTotal = QStringLiteral("金额合计：2200000000000000.00   人次合计：4");
        const QString dayTotal = QStringLiteral("金额合计：100000000002200000000000000.00   人次合计：3");
        FrmTJ& w = openWindow();
        // Each amount's ink on the grabbed grid is as wide as the text drawn whole.
        auto shownWhole = [&w](int r, int c, const QString& text) {
            QCOMPARE(grid(w, r, c), text);
            const QImage img = w.MGrid->viewport()->grab().toImage();
            const QRect cell = w.MGrid->visualRect(w.MGrid->model()->index(r, c)).adjusted(0, 1, -1, -1);
            QVERIFY2(img.rect().contains(cell), qPrintable(text));
            const int whole = inkWidth(text, w.MGrid->font());
            QVERIFY2(std::abs(inkWidth(img, cell) - whole) <= 1,
                     qPrintable(QStringLiteral("%1: %2 of %3 pixels").arg(text).arg(inkWidth(img, cell)).arg(whole)));
        };
        run(w, 0, kToday, kToday.addDays(1));
        for (int i = 0; i < 4; ++i)
            shownWhole(3 + i, 2, amounts[i]);
        shownWhole(7, 0, rowsTotal);
        const QString detail = printSheet(w, folder_->file(QStringLiteral("detail.pdf")));
        QCOMPARE(pdfText(detail, 1, true),
                 QStringLiteral("工作量明细统计统计日期:2010年07月26日-2010年07月27日检查号姓名金额")
                     + QStringLiteral("L1甲") + amounts[0] + QStringLiteral("L2乙") + amounts[1]
                     + QStringLiteral("L3丙") + amounts[2] + QStringLiteral("L4丁") + amounts[3]
                     + QString(rowsTotal).remove(QLatin1Char(' ')));
        // By day: the widest total is a row's and the totals row's.
        run(w, 1, kToday, kToday);
        shownWhole(3, 2, QStringLiteral("100000000002200000000000000.00"));
        shownWhole(4, 0, dayTotal);
        const QString day = printSheet(w, folder_->file(QStringLiteral("day.pdf")));
        QCOMPARE(pdfText(day, 1, true),
                 QStringLiteral("工作量日分类统计统计日期:2010年07月26日-2010年07月26日日期人次金额"
                                "2010/7/263100000000002200000000000000.00")
                     + QString(dayTotal).remove(QLatin1Char(' ')));
        QFile::copy(detail, testOutputFolder() + QStringLiteral("/statistics_whole_amounts.pdf"));
        w.MGrid->grab().save(testOutputFolder() + QStringLiteral("/statistics_whole_amounts.png"));
        // A totals row longer than the three columns of its rows would be: the
        // amount column takes what it lacks.
        const Sheet counts = Sheet::build(1, kToday, kToday,
                                          answer({{QStringLiteral("2010-07-26"), qlonglong(1000000000000000000LL),
                                                   QStringLiteral("9999999999999999999999999.99")}}));
        const auto widths = Workload::ColumnTwips(counts, w.MGrid->font());
        const QString countsTotal = counts.text(4, 0);
        QVERIFY2(widths[0] + widths[1] + widths[2]
                     >= QFontMetrics(w.MGrid->font()).horizontalAdvance(countsTotal) * 15 + 6 * 15,
                 qPrintable(countsTotal));
        // A stored fee that is no amount shows as it is stored, whole too.
        const QString note = QStringLiteral("待定：自费部分另行结算（见收费单第三联）");
        seed(QStringLiteral("2010-07-21"), QStringLiteral("T1"), QStringLiteral("戊"), note);
        run(w, 0, kToday.addDays(-5), kToday.addDays(-5));
        shownWhole(3, 2, note);
        // A sheet of small amounts keeps its columns at their usual width.
        seed(QStringLiteral("2010-07-20"), QStringLiteral("S1"), QStringLiteral("小"), 10);
        run(w, 0, kToday.addDays(-6), kToday.addDays(-6));
        QCOMPARE(w.MGrid->columnWidth(2), 133);
    }

    void statisticsOnDatabase()
    {
        seed(QStringLiteral("2010-07-25"), QStringLiteral("E0"), QStringLiteral("前一天"), 5);
        seed(QStringLiteral("2010-07-26"), QStringLiteral("E1"), QStringLiteral("李'一"), 10);
        seed(QStringLiteral("2010-07-26 23:59:59"), QStringLiteral("E2"), QStringLiteral("李%二"), 20.5, QVariant(),
             QStringLiteral("ys02"), QVariant());
        seed(QStringLiteral("2010-07-27"), QStringLiteral("E3"), QStringLiteral("后一天"), 7);
        FrmTJ& w = openWindow();

        // One day in both pickers: that day from 00:00:00 to 23:59:59.
        const Sheet& s0 = run(w, 0, kToday, kToday);
        QCOMPARE(s0.rows(), 6);
        QCOMPARE(grid(w, 3, 0) + grid(w, 4, 0), QStringLiteral("E1E2"));
        QCOMPARE(grid(w, 4, 1), QStringLiteral("李%二"));
        QCOMPARE(grid(w, 5, 0), QStringLiteral("金额合计：30.50   人次合计：2"));
        QVERIFY(w.CmdPrint->isEnabled());
        QCOMPARE(w.MGrid->rowSpan(0, 0), 1);
        QCOMPARE(w.MGrid->columnSpan(0, 0), 3);
        QCOMPARE(w.MGrid->columnSpan(1, 0), 3);
        QCOMPARE(w.MGrid->columnSpan(2, 0), 1);
        QCOMPARE(w.MGrid->columnSpan(5, 0), 3);
        QCOMPARE(w.MGrid->rowHeight(0), 30);
        QCOMPARE(w.MGrid->columnWidth(1), 133);
        QCOMPARE(w.MGrid->model()->index(0, 0).data(Qt::FontRole).value<QFont>().pointSizeF(), 18.0);
        QCOMPARE(w.MGrid->model()->index(1, 0).data(Qt::FontRole).value<QFont>().pointSizeF(), 9.0);
        QCOMPARE(w.MGrid->currentIndex(), w.MGrid->model()->index(0, 0));

        // By day, in the system's short date format, days in order.
        run(w, 1, kToday.addDays(-1), kToday.addDays(1));
        QCOMPARE(grid(w, 3, 0), QStringLiteral("2010/7/25"));
        QCOMPARE(grid(w, 4, 0), QStringLiteral("2010/7/26"));
        QCOMPARE(grid(w, 4, 1) + QLatin1Char('/') + grid(w, 4, 2), QStringLiteral("1/10.00"));
        QCOMPARE(grid(w, 7, 0), QStringLiteral("金额合计：42.50   人次合计：4"));

        // Requesting physicians and sections: the Null ones form one group with an empty key.
        run(w, 3, kToday.addDays(-1), kToday.addDays(1));
        QCOMPARE(grid(w, 2, 0), QStringLiteral("申请医师"));
        QCOMPARE(grid(w, 3, 0) + QLatin1Char('/') + grid(w, 3, 1) + QLatin1Char('/') + grid(w, 3, 2),
                 QStringLiteral("/1/20.50"));
        QCOMPARE(grid(w, 4, 0) + QLatin1Char('/') + grid(w, 4, 1), QStringLiteral("张医生/3"));
        QCOMPARE(grid(w, 5, 0), QStringLiteral("金额合计：42.50   人次合计：4"));
        run(w, 5, kToday, kToday);
        QCOMPARE(grid(w, 3, 0) + grid(w, 4, 0), QStringLiteral("内科"));
        run(w, 4, kToday, kToday);
        QCOMPARE(grid(w, 0, 0), QStringLiteral("检查医师分类统计"));
        QCOMPARE(grid(w, 3, 0) + grid(w, 4, 0), QStringLiteral("ys01ys02"));

        // Start after end finds nothing: the message, and the earlier sheet stays printable.
        MessageBox::clearShown();
        run(w, 0, kToday.addDays(1), kToday);
        QCOMPARE(lastText(), QStringLiteral("没有符合条件的数据返回"));
        QCOMPARE(lastTitle(), QStringLiteral("错误"));
        QCOMPARE(MessageBox::shownBoxes().last().icon, MessageBox::Icon::Critical);
        QCOMPARE(grid(w, 0, 0), QStringLiteral("检查医师分类统计"));
        QCOMPARE(grid(w, 1, 0), QStringLiteral("统计日期: 2010年07月26日 - 2010年07月26日"));
        QVERIFY(w.CmdPrint->isEnabled());

        // The last day the picker offers still finds its reports.
        seed(QStringLiteral("9999-12-31"), QStringLiteral("E9"), QStringLiteral("最后"), 1);
        run(w, 0, QDate(9999, 12, 31), QDate(9999, 12, 31));
        QCOMPARE(grid(w, 3, 0), QStringLiteral("E9"));
    }

    void monthsInOrder()
    {
        for (const char* d : {"2010-10-02", "2009-12-31", "2010-09-30", "2010-01-01", "2010-10-31", "2011-01-01"})
            seed(QString::fromLatin1(d), QStringLiteral("M"), QStringLiteral("月"), 1.5);
        FrmTJ& w = openWindow();
        run(w, 2, QDate(2009, 12, 1), QDate(2010, 12, 31));
        QStringList labels;
        for (int r = 3; r < w.sheet().rows() - 1; ++r)
            labels << grid(w, r, 0) + QLatin1Char(':') + grid(w, r, 1);
        QCOMPARE(labels, (QStringList{QStringLiteral("2009年12月:1"), QStringLiteral("2010年1月:1"),
                                      QStringLiteral("2010年9月:1"), QStringLiteral("2010年10月:2")}));
        QCOMPARE(grid(w, 7, 0), QStringLiteral("金额合计：7.50   人次合计：5"));
    }

    void answeredFromTheIndex()
    {
        // A database made before the index gets it when it is opened.
        QVERIFY(Database::ExecuteSql(QStringLiteral("DROP INDEX reports_stats")).ok());
        Database::OpenDatabase();
        QCOMPARE(queryInt(QStringLiteral("SELECT count(*) FROM sqlite_master WHERE name = 'reports_stats'")), 1);
        for (int k = 0; k < Workload::kStatistics; ++k) {
            const QueryResult r = Database::QueryData(QStringLiteral("EXPLAIN QUERY PLAN ") + Workload::Sql(k),
                                                      Workload::Params(kToday, kToday));
            QVERIFY2(r.hasRows(), qPrintable(r.description));
            QStringList steps;
            for (int i = 0; i < r.data->recordCount(); ++i)
                steps << r.data->text(i, 3);
            const QString plan = steps.join(QLatin1Char('|'));
            QVERIFY2(plan.contains(QStringLiteral("SEARCH TABLE reports USING COVERING INDEX reports_stats "
                                                  "(rpdate>? AND rpdate<?)"))
                         && !plan.contains(QStringLiteral("SCAN")),
                     qPrintable(QString::number(k) + QLatin1Char(' ') + plan));
            // Days come in index order: no sorting for statistic 1.
            if (k <= 1)
                QVERIFY2(!plan.contains(QStringLiteral("TEMP B-TREE")), qPrintable(plan));
        }
        // The main window's day list keeps its own index, which gives its rows in key order.
        const QueryResult day = Database::QueryData(QStringLiteral("EXPLAIN QUERY PLAN ") + ReportList::DaySql(),
                                                    ReportList::DayParams(kToday));
        QVERIFY(day.hasRows());
        QCOMPARE(day.data->text(0, 3), QStringLiteral("SEARCH TABLE reports USING INDEX reports_rpdate (rpdate=?)"));
        QCOMPARE(day.data->recordCount(), 1);
    }

    void selectionAndLayout()
    {
        seed(QStringLiteral("2010-07-26"), QStringLiteral("E1"), QStringLiteral("李一"), 10);
        // The date boxes show the query window's yyyy-MM-dd, whatever the locale.
        const QLocale before;
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
        FrmTJ& w = openWindow();
        QLocale::setDefault(before);
        QCOMPARE(w.DTPicker1->text(), QStringLiteral("2010-07-26"));
        QCOMPARE(w.DTPicker2->displayFormat(), QStringLiteral("yyyy-MM-dd"));
        w.Pictj->grab().save(testOutputFolder() + QStringLiteral("/FrmTJ_dates.png"));
        QCOMPARE(w.windowTitle(), QStringLiteral("统计报表"));
        QCOMPARE(w.BtnList[0]->text(), QStringLiteral("工作量明细统计            "));
        QCOMPARE(w.BtnList[5]->text(), QStringLiteral("开单科室分类统计          "));
        auto selected = [&](int k) {
            const ListButton* b = w.BtnList[k];
            const qint32 c = b->color(ButtonProp::FaceTop);
            const bool on = b->switchValue(0) && b->switchValue(1) && b->switchValue(2);
            const bool off = !b->switchValue(0) && !b->switchValue(1) && !b->switchValue(2);
            if (on && c == Palette::gSelectColor && b->color(ButtonProp::HoverTop) == c
                && b->color(ButtonProp::DownTop) == c)
                return 1;
            if (off && c == Palette::RGB(255, 255, 255) && b->color(ButtonProp::HoverTop) == c)
                return 0;
            return -1;
        };
        const Sheet& s = run(w, 0, kToday, kToday);
        QCOMPARE(s.rows(), 5);
        QCOMPARE(selected(0), 1);
        QTest::mouseClick(w.BtnList[0], Qt::LeftButton);
        QCOMPARE(w.ReportIndex(), 0);
        QCOMPARE(selected(0), 1);
        QTest::mouseClick(w.BtnList[3], Qt::LeftButton);
        QCOMPARE(w.ReportIndex(), 3);
        for (int k = 0; k < Workload::kStatistics; ++k)
            QCOMPARE(selected(k), k == 3 ? 1 : 0);
        QCOMPARE(grid(w, 0, 0), QStringLiteral("工作量明细统计"));   // selecting does not run it
        // The faces as painted, away from the caption.
        QCOMPARE(pixel(w.BtnList[3]->grab().toImage(), 3, 3), Palette::ToQColor(Palette::gSelectColor));
        QCOMPARE(pixel(w.BtnList[0]->grab().toImage(), 3, 3), QColor(Qt::white));

        // Resizing: an outer size of 533 x 400 (8000 x 6000 twips) is too small and keeps the sizes.
        const QSize gridBefore = w.MGrid->size(), titleBefore = w.Pictitle->size(), tjBefore = w.Pictj->size();
        const QSize frame = w.frameGeometry().size() - w.size();
        w.resize(QSize(533, 400) - frame);
        QCOMPARE(w.MGrid->size(), gridBefore);
        QCOMPARE(w.Pictitle->size(), titleBefore);
        QCOMPARE(w.Pictj->size(), tjBefore);
        for (const QSize size : {QSize(534, 401) - frame, QSize(800, 600), QSize(1280, 960)}) {
            w.resize(size);
            QCOMPARE(w.Pictitle->geometry().right(), size.width() - 5);
            QCOMPARE(w.Picgrid->width(), w.Pictitle->width());
            QCOMPARE(w.MGrid->geometry(), QRect(1, 1, w.Picgrid->width() - 2, w.Picgrid->height() - 2));
            QCOMPARE(w.Picgrid->geometry().bottom(), size.height() - 5);
            QCOMPARE(w.Pictj->geometry().bottom(), size.height() - 5);
            QCOMPARE(w.Pictjline->geometry(), QRect(0, w.Pictj->height() - 1, 228, 1));
            QCOMPARE(w.Pictool->width() - w.ButtnQuit->geometry().right() - 1, 16);
        }
    }

    void captionStrips()
    {
        // A difference of 10 over 20 rows: offsets 0, 1, 2, 2, 2 in rows 1 to 5.
        const qint32 from = Palette::gCaptionColorFrom, to = Palette::gCaptionColorTo;
        Palette::gCaptionColorTo = Palette::RGB(100, 120, 140);
        Palette::gCaptionColorFrom = Palette::RGB(110, 130, 150);
        FrmTJ& w = openWindow();
        const QImage sel = w.Picrptsel->renderImage(), tj = w.Pictj->renderImage(), title = w.Pictitle->renderImage();
        Palette::gCaptionColorFrom = from;
        Palette::gCaptionColorTo = to;
        const QColor lineColor = Palette::ToQColor(Palette::gLineColor);
        const int offsets[] = {0, 1, 2, 2, 2};
        for (int i = 1; i <= 5; ++i) {
            QCOMPARE(pixel(sel, 50, i), QColor(100 + offsets[i - 1], 120 + offsets[i - 1], 140 + offsets[i - 1]));
            QCOMPARE(pixel(tj, 50, i), pixel(sel, 50, i));
        }
        QCOMPARE(pixel(sel, 50, 20), QColor(110, 130, 150));
        for (const QImage& img : {sel, tj}) {
            QCOMPARE(pixel(img, 50, 0), lineColor);
            QCOMPARE(pixel(img, 50, 21), lineColor);
            QCOMPARE(pixel(img, 0, 100), lineColor);
            QCOMPARE(pixel(img, img.width() - 1, 100), lineColor);
        }
        // Only the list's strip draws a bottom edge; the conditions panel has its line control.
        QCOMPARE(pixel(sel, 50, sel.height() - 1), lineColor);
        QVERIFY(pixel(tj, 50, tj.height() - 1) != lineColor);
        // The browsing strip is graded over its whole height, then framed.
        const int h = title.height();
        QCOMPARE(h, 22);
        QCOMPARE(pixel(title, 50, 0), lineColor);
        QCOMPARE(pixel(title, 50, h - 1), lineColor);
        QCOMPARE(pixel(title, 50, 1), QColor(100, 120, 140));    // 10 x 1/21 rounds to 0
        QCOMPARE(pixel(title, 50, 11), QColor(105, 125, 145));   // 10 x 11/21 to 5
        QCOMPARE(pixel(title, 50, h - 2), QColor(110, 130, 150));
    }

    void printingAndReopening()
    {
        QueryOpeners::registerAll();
        ReportOpeners::registerAll();
        auto backend = std::make_shared<PdfPrinterBackend>();
        backend->addPrinter(PdfPrinterBackend::standardPrinter(QStringLiteral("默认打印机")));
        backend->setOutputFile(folder_->file(QStringLiteral("sheet.pdf")));
        ProgramPrinter::setBackend(backend);
        QDialog* shown = nullptr;
        Opener::setHook([&shown](QDialog* d) {
            shown = d;
            return 0;
        });
        Openers::OpenStatistics();
        FrmTJ& w = FrmTJ::instance();
        QCOMPARE(shown, static_cast<QDialog*>(&w));
        QVERIFY(w.isLoaded());
        QVERIFY(!w.CmdPrint->isEnabled());
        QCOMPARE(w.sheet().rows(), 0);
        QCOMPARE(w.DTPicker1->date(), kToday);
        w.CmdPrint_Click();
        QCOMPARE(lastText(), QStringLiteral("当前没有报表数据"));
        QCOMPARE(lastTitle(), QStringLiteral("提示"));

        seed(QStringLiteral("2010-07-26"), QStringLiteral("E1"), QStringLiteral("李一"), 10);
        w.show();
        run(w, 4, kToday.addDays(-3), kToday);
        QCOMPARE(w.sheet().rows(), 5);
        // The sheet on paper: title once, merged rows as one text, the totals.
        MessageBox::clearShown();
        QTest::mouseClick(w.CmdPrint, Qt::LeftButton);
        QVERIFY2(MessageBox::shownBoxes().isEmpty(), qPrintable(lastText()));
        const QString pdf = backend->outputFile();
        QCOMPARE(pdfPages(pdf), 1);
        QCOMPARE(pdfText(pdf, 1, true),
                 QStringLiteral("检查医师分类统计统计日期:2010年07月23日-2010年07月26日检查医师人次金额ys01110.00"
                                "金额合计：10.00人次合计：1"));
        QFile::copy(pdf, testOutputFolder() + QStringLiteral("/statistics_sheet.pdf"));
        QTest::mouseClick(w.CmdPrintSet, Qt::LeftButton);
        QCOMPARE(shown, static_cast<QDialog*>(&FrmfindGrid::instance()));

        // A look at the filled window for people.
        w.resize(1024, 700);
        w.grab().save(testOutputFolder() + QStringLiteral("/statistics_window.png"));

        // Quitting discards everything but the selection's number, which the next load resets.
        QTest::mouseClick(w.ButtnQuit, Qt::LeftButton);
        QVERIFY(!w.isLoaded());
        Environment::setTodayOverride(QDate(2011, 1, 2));
        Openers::OpenStatistics();
        QCOMPARE(w.ReportIndex(), 0);
        QCOMPARE(w.BtnList[0]->color(ButtonProp::FaceTop), Palette::gSelectColor);
        QCOMPARE(w.BtnList[4]->color(ButtonProp::FaceTop), Palette::RGB(255, 255, 255));
        QCOMPARE(w.DTPicker2->date(), QDate(2011, 1, 2));
        QVERIFY(!w.CmdPrint->isEnabled());
        QCOMPARE(w.sheet().rows(), 0);
        QCOMPARE(w.MGrid->model()->rowCount(), 0);
        Openers::setOpener(Openers::Window::FrmTJ, {});
        ProgramPrinter::setBackend(nullptr);
    }
};

QTEST_MAIN(tst_FrmTJ)
#include "tst_FrmTJ.moc"
