// Layout of the report page on a surface that records what is drawn.
#include "core/Mmain.h"
#include "platform/MessageBox.h"
#include "report/PageRoom.h"
#include "report/ReportRenderer.h"
#include "report/ReportSurface.h"
#include "support/TestFolder.h"

#include <QtTest>
#include <cmath>
#include <limits>

namespace {

// Text is 0.35 mm wide per point of font size and character, lines are 0.5 mm
// per point high: simple numbers that make the layout checkable by hand (and exact
// where the product is a whole number of twentieths).
class RecordingSurface : public ReportSurface {
public:
    struct Op {
        QString kind;   // print, line, newPage, endDoc, killDoc
        QString text;
        double x = 0, y = 0;
        double size = 0;   // font size of a printed text
    };
    QList<Op> ops;
    int failOnNewPage = 0;   // the n-th newPage throws a printer failure
    int newPages = 0;
    qint64 measured = 0;   // characters measured, all texts together

    void mark(const QString& kind, const QString& text = QString(), double x = 0, double y = 0)
    {
        ops.append({kind, text, x, y, font_.pointSizeF()});
    }
    double textWidth(const QString& t) override
    {
        measured += t.size();
        return t.size() * font_.pointSizeF() * 7 / 20;
    }
    double textHeight(const QString&) override { return font_.pointSizeF() * 0.5; }
    void printLine(const QString& t) override
    {
        mark(QStringLiteral("print"), t, currentX, currentY);
        currentY += textHeight(t);
        currentX = 0;
    }
    void line(double x1, double y1, double, double) override { mark(QStringLiteral("line"), QString(), x1, y1); }
    void paintPicture(const QString&, double, double, double, double) override {}
    void newPage() override
    {
        if (++newPages == failOnNewPage)
            throw ReportError{ReportError::PrinterFailure, QStringLiteral("打印机错误")};
        mark(QStringLiteral("newPage"));
    }
    void endDoc() override { mark(QStringLiteral("endDoc")); }
    void killDoc() override { mark(QStringLiteral("killDoc")); }

    int count(const QString& kind, const QString& text = QString()) const
    {
        int n = 0;
        for (const Op& o : ops)
            n += o.kind == kind && (text.isEmpty() || o.text.startsWith(text)) ? 1 : 0;
        return n;
    }
    const Op* find(const QString& text) const
    {
        for (const Op& o : ops)
            if (o.kind == QLatin1String("print") && o.text == text)
                return &o;
        return nullptr;
    }
    QList<double> lineYs() const
    {
        QList<double> l;
        for (const Op& o : ops)
            if (o.kind == QLatin1String("line"))
                l.append(o.y);
        return l;
    }
    // The lines printed under the findings caption up to the footer's print date.
    QList<Op> body() const
    {
        QList<Op> out;
        bool inBody = false;
        for (const Op& o : ops) {
            if (o.kind != QLatin1String("print"))
                continue;
            if (inBody && o.text.startsWith(QStringLiteral("打印日期")))
                break;
            if (inBody)
                out << o;
            inBody = inBody || o.text == QStringLiteral("检查所见: ");
        }
        return out;
    }
    QStringList bodyTexts() const
    {
        QStringList t;
        for (const Op& o : body())
            t << o.text;
        return t;
    }
};

void setSlot(PrintSettings& s, int slot, const QString& caption, int field)
{
    s.slotCaptions[slot - 1] = caption;
    s.slotFields[slot - 1] = QString::number(field);
}

// A layout with round numbers: every font 10 pt (text 3.5 mm per character, lines 5 mm),
// findings in slot 21.
PrintSettings plainSettings()
{
    PrintSettings s;   // a 200 x 287 mm page
    s.left = s.right = s.top = s.bottom = 10;
    s.hjj = 2;
    s.hjj2 = 1;
    for (FontSet& f : s.fonts)
        f.size = 10;
    setSlot(s, 21, QStringLiteral("检查所见"), 18);
    return s;
}
}

class tst_ReportLayout : public QObject {
    Q_OBJECT

private slots:
    void init()
    {
        folder_.reset(new TestFolder(false));
        QVERIFY(folder_->ok());
        Mmain::gHospitalName = QStringLiteral("东方市人民医院");
        MessageBox::clearShown();
    }
    void cleanup() { folder_.reset(); }

    void paging()
    {
        PrintSettings s = plainSettings();
        ReportContent c;
        ReportRenderer r(s, c);
        // A body that ends with a line break in the middle of page 2: every page has its footer,
        // and no paragraph is left out.
        QStringList paras;
        for (int i = 0; i < 60; ++i)
            paras << QStringLiteral("段落%1").arg(i, 2, 10, QLatin1Char('0'));
        c.values[18] = paras.join(QLatin1Char('\n')) + QLatin1Char('\n');
        RecordingSurface two;
        QVERIFY(r.renderOn(two));
        QCOMPARE(s.pageCount, 2);
        QCOMPARE(two.count(QStringLiteral("newPage")), 1);
        QCOMPARE(two.count(QStringLiteral("print"), QStringLiteral("打印日期")), 2);
        QCOMPARE(two.count(QStringLiteral("print"), QStringLiteral("段落")), 60);
        QCOMPARE(two.ops.last().kind, QStringLiteral("endDoc"));

        // The body never reaches into the footer: on every page its last line ends above the
        // footer's first row (report date and doctors at H - (2 h78 + h9 + 2.5 S1 + B)).
        setSlot(s, 26, QStringLiteral("报告日期"), 10);
        setSlot(s, 27, QStringLiteral("报告医师"), 12);
        RecordingSurface footed;
        QVERIFY(r.renderOn(footed));
        QVERIFY(s.pageCount >= 2);
        const double footerTop = 287 - (2 * 5 + 5 + 2.5 * 2 + 10);
        double lastBottom = 0;
        int pagesSeen = 0;
        for (const auto& o : footed.ops) {
            if (o.kind != QLatin1String("print"))
                continue;
            if (o.text == QStringLiteral("报告日期: ")) {
                QCOMPARE(o.y, footerTop);
                QVERIFY2(lastBottom <= footerTop, qPrintable(QStringLiteral("%1 > %2").arg(lastBottom).arg(footerTop)));
                ++pagesSeen;
                lastBottom = 0;
            } else if (o.text.startsWith(QStringLiteral("段落"))) {
                lastBottom = o.y + 5;
            }
        }
        QCOMPARE(pagesSeen, s.pageCount);
        // ... and it fills the page down to there: the next line would have passed the reserve.
        const double reserve = 10 + 5 + 5 + 2 * 5 + 3.5 * 2;   // B + h9 + h6 + 2 h78 + 3.5 S1
        QVERIFY(s.pageCount == 2 && footed.count(QStringLiteral("newPage")) == 1);
        double bottomOfPage1 = 0;
        for (const auto& o : footed.ops) {
            if (o.kind == QLatin1String("newPage"))
                break;
            if (o.kind == QLatin1String("print") && o.text.startsWith(QStringLiteral("段落")))
                bottomOfPage1 = o.y + 5;
        }
        QVERIFY2(bottomOfPage1 + 1 > 287 - reserve, qPrintable(QString::number(bottomOfPage1)));
        setSlot(s, 26, QString(), 0);
        setSlot(s, 27, QString(), 0);
        s.slotFields[25].clear();
        s.slotFields[26].clear();

        // A printer failure on the way abandons the job with one message.
        RecordingSurface failing;
        failing.failOnNewPage = 1;
        QVERIFY(!r.renderOn(failing));
        QCOMPARE(failing.ops.last().kind, QStringLiteral("killDoc"));
        QCOMPARE(failing.count(QStringLiteral("endDoc")), 0);
        QCOMPARE(r.takeFailures(), QStringList({QStringLiteral("482:打印机错误")}));
        QVERIFY(MessageBox::shownBoxes().isEmpty());   // the renderer shows nothing itself
    }

    void wrapping()
    {
        PrintSettings s = plainSettings();
        s.right = 13;   // text width 177, limit 175 = 50 characters of 3.5 mm exactly
        ReportContent c;
        ReportRenderer r(s, c);
        auto bodyOf = [&](const QString& text) {
            c.values[18] = text;
            RecordingSurface a;
            r.renderOn(a);
            return a.bodyTexts();
        };
        auto sizes = [](const QStringList& lines) {
            QList<qsizetype> n;
            for (const QString& l : lines)
                n << l.size();
            return n;
        };

        // The character that reaches the limit exactly stays on its line; the next one moves on.
        QCOMPARE(sizes(bodyOf(QString(101, QChar(0x80BA)))), QList<qsizetype>({50, 50, 1}));
        // One that passes the limit (and the right margin) by part of its width stays as well:
        // at 18 pt (6.3 mm) with margins of 15 mm (limit 168), 27 characters make 170.1 mm.
        s.left = s.right = 15;
        s.fonts[5].size = 18;
        QCOMPARE(sizes(bodyOf(QString(60, QChar(0x80BA)))), QList<qsizetype>({27, 27, 6}));

        // Chinese text, emoji (surrogate pairs and joined sequences) and accented letters:
        // no character is cut apart, nothing is lost or doubled.
        const QString family = QStringLiteral("\U0001F468\u200D\U0001F469\u200D\U0001F467");   // 8 units
        const QString text = (QStringLiteral("\U0001F600甲") + family + QStringLiteral("e\u0301")).repeated(40);
        const QStringList lines = bodyOf(text);
        QVERIFY(lines.size() >= 6);
        for (const QString& t : lines) {
            QVERIFY2(!t.front().isLowSurrogate() && !t.back().isHighSurrogate(), qPrintable(t));
            QVERIFY(t.front() != QChar(0x200D) && t.back() != QChar(0x200D) && t.front() != QChar(0x0301));
        }
        QCOMPARE(lines.join(QString()), text);

        // Every kind of line break breaks; two in a row give an empty line.
        QCOMPARE(bodyOf(QStringLiteral("甲\r\n乙\n丙\r丁\n\n戊")),
                 QStringList({QStringLiteral("甲"), QStringLiteral("乙"), QStringLiteral("丙"), QStringLiteral("丁"),
                              QString(), QStringLiteral("戊")}));

        // A page narrower than its margins is refused before anything is laid out.
        s.left = s.right = 100;
        QCOMPARE(bodyOf(QStringLiteral("一二三四五")), QStringList());

        // A page far wider than any paper makes a line as wide as anything typed: a paragraph
        // of 100,000 characters is one line, whole, measured a few times over (not once
        // for every character it holds), so that the page comes at once.
        s.left = 0;
        s.right = 10;
        s.pageWidth = 1e8;
        c.values[18] = QString(100000, QChar(0x80BA)) + QStringLiteral("末\n次段");
        RecordingSurface wide;
        QVERIFY(r.renderOn(wide));
        QCOMPARE(wide.bodyTexts(), QStringList({c.values[18].left(100001), QStringLiteral("次段")}));
        QVERIFY2(wide.measured < 100 * c.values[18].size(), qPrintable(QString::number(wide.measured)));
    }

    void headerRowsAndColumns()
    {
        PrintSettings s = plainSettings();
        for (int i = 1; i <= 4; ++i)
            setSlot(s, i, QStringLiteral("项%1").arg(i), i);
        setSlot(s, 26, QStringLiteral("报告日期"), 10);
        setSlot(s, 28, QStringLiteral("复核医师"), 11);
        ReportContent c;
        for (int i = 0; i < 26; ++i)
            c.values[i] = QStringLiteral("V%1").arg(i);
        ReportRenderer r(s, c);
        RecordingSurface a;
        QVERIFY(r.renderOn(a));
        // D = 180: columns at 10, 55, 100 and 145 - 5 = 140; the last column of the footer at 145.
        QCOMPARE(a.find(QStringLiteral("项4: "))->x, 140.0);
        QVERIFY(a.find(QStringLiteral("报告日期: "))->x == 145.0 && a.find(QStringLiteral("复核医师: "))->x == 145.0);

        // Rows 2 to 5 unused take no room: the second separator lies S1 below the first;
        // one used slot in row 3 adds one caption line plus S1.
        QCOMPARE(a.lineYs()[1] - a.lineYs()[0], 2.0);
        setSlot(s, 9, QStringLiteral("项9"), 9);
        RecordingSurface b;
        QVERIFY(r.renderOn(b));
        QCOMPARE(b.lineYs()[1] - b.lineYs()[0], 2.0 + 5 + 2);
        QCOMPARE(b.find(QStringLiteral("项9: "))->y, b.lineYs()[0] + 2);

        // A slot field number outside 0..25 is reported; the rest of the page goes on.
        s.slotFields[8] = QStringLiteral("30");
        RecordingSurface bad;
        QVERIFY(r.renderOn(bad));
        const QStringList failures = r.takeFailures();
        QCOMPARE(failures.size(), 1);
        QVERIFY(failures.first().startsWith(QStringLiteral("9:")));
        QVERIFY(bad.find(QStringLiteral("V10")));   // the footer is there
        QCOMPARE(bad.ops.last().kind, QStringLiteral("endDoc"));
    }

    void blankHospitalName()
    {
        PrintSettings s = plainSettings();   // T = 10, S1 = 2, lines 5 mm
        s.fonts[0].size = 12;                // name: 6 mm lines
        ReportContent c;
        ReportRenderer r(s, c);
        auto header = [&](const QString& name) {
            Mmain::gHospitalName = name;
            RecordingSurface a;
            r.renderOn(a);
            return a;
        };
        const RecordingSurface named = header(QStringLiteral("医院"));

        // An empty line, the title from the left edge in the name's font, then the centred title.
        for (const QString& blank : {QString(), QStringLiteral("  ")}) {
            const RecordingSurface a = header(blank);
            QCOMPARE(a.ops[0].text, blank);
            QCOMPARE(a.ops[0].y, 10.0);
            const auto& left = a.ops[1];
            QVERIFY(left.text == ReportRenderer::kTitle && left.x == 0 && left.y == 16.0 && left.size == 12.0);
            const auto& title = a.ops[2];
            QVERIFY(title.text == ReportRenderer::kTitle && title.y == 22.0 + 2 && title.size == 10.0);
            QCOMPARE(title.x, (200 - 13 * 3.5) / 2);
            // The header is one name line taller; the stored name stays as it was.
            QCOMPARE(a.lineYs().first(), named.lineYs().first() + 6);
            QCOMPARE(Mmain::gHospitalName, blank);
        }
        // Three blanks are a name: printed, no title in its place.
        const RecordingSurface blanks = header(QStringLiteral("   "));
        QCOMPARE(blanks.count(QStringLiteral("print"), ReportRenderer::kTitle), 1);
        QCOMPARE(blanks.lineYs().first(), named.lineYs().first());
    }

    void longHeaderValues()
    {
        PrintSettings s = plainSettings();   // columns at 10, 55, 100, 140
        setSlot(s, 2, QStringLiteral("电话"), 5);
        setSlot(s, 3, QStringLiteral("收费金额"), 14);
        setSlot(s, 4, QStringLiteral("备注"), 6);
        ReportContent c;
        c.values[5] = QStringLiteral("13812345678");
        c.values[14] = QStringLiteral("30");
        c.values[6] = QStringLiteral("13812345678 / 0898-66123456");
        ReportRenderer r(s, c);
        RecordingSurface a;
        QVERIFY(r.renderOn(a));

        // "电话: " ends at 69: 11 digits of 3.5 mm would pass the next caption at 100; at 7.5 pt
        // they take 28.9 mm and end more than 1 mm before it, on the caption's bottom edge.
        const auto* caption = a.find(QStringLiteral("电话: "));
        const auto* phone = a.find(c.values[5]);
        QVERIFY(caption && phone);
        QCOMPARE(phone->size, 7.5);
        QCOMPARE(phone->x, 69.0);
        QVERIFY(phone->x + 11 * 7.5 * 0.35 <= a.find(QStringLiteral("收费金额: "))->x - 1);
        QCOMPARE(phone->y + 7.5 * 0.5, caption->y + 10 * 0.5);
        QCOMPARE(a.find(QStringLiteral("30"))->size, 10.0);   // a value that fits keeps its size

        // Too long even at 7 pt: cut 1 mm before the page's right margin (190), from x = 154.
        const QString cut = c.values[6].left(int(35 / (7 * 0.35)));
        const auto* note = a.find(cut);
        QVERIFY2(note && note->size == 7.0 && note->x == 154.0, qPrintable(a.bodyTexts().join(QLatin1Char('|'))));

        // A value of 100,000 characters (pasted, say) is cut the same way, measured in
        // pieces a little longer than what fits, never whole: its page comes at once, on
        // every page.
        c.values[6] = QString(100000, QChar(0x533B)) + QStringLiteral("末");
        RecordingSurface b;
        QVERIFY(r.renderOn(b));
        const auto* longNote = b.find(c.values[6].left(int(35 / (7 * 0.35))));
        QVERIFY(longNote && longNote->size == 7.0 && longNote->x == 154.0);
        QVERIFY2(b.measured < c.values[6].size(), qPrintable(QString::number(b.measured)));
    }

    void marginsAndRoom_data()
    {
        // A 200 x 287 mm printable page that must keep 100 mm down and 10 mm across free.
        QTest::addColumn<QList<double>>("margins");   // top, bottom, left, right
        QTest::addColumn<int>("refused");             // -1 none, else the margin named
        QTest::addColumn<QString>("said");            // what the refusal says of the value
        const double inf = std::numeric_limits<double>::infinity(), nan = std::nan("");
        const int top = int(PageRoom::Field::Top), bottom = int(PageRoom::Field::Bottom),
                  left = int(PageRoom::Field::Left), right = int(PageRoom::Field::Right);
        QTest::newRow("at the limit down") << QList<double>{87, 100, 15, 15} << -1 << QString();
        QTest::newRow("top past it") << QList<double>{100.1, 87, 15, 15} << top << "上边距最大为 100 毫米";
        QTest::newRow("bottom past it") << QList<double>{87.05, 100, 15, 15} << bottom << "下边距最大为 99.9 毫米";
        QTest::newRow("bottom the larger") << QList<double>{20, 200, 15, 15} << bottom << "下边距最大为 167 毫米";
        QTest::newRow("equal: the top") << QList<double>{150, 150, 15, 15} << top << "上边距最大为 37 毫米";
        QTest::newRow("both too large") << QList<double>{200, 190, 15, 15} << top << "合计最大为 187 毫米";
        QTest::newRow("infinite top") << QList<double>{inf, 10, 15, 15} << top << "上边距最大为 177 毫米";
        QTest::newRow("bottom no number") << QList<double>{10, nan, 15, 15} << bottom << "下边距最大为 177 毫米";
        QTest::newRow("a tenth rounded down") << QList<double>{9.04, 200, 0, 0} << bottom << "下边距最大为 177.9 毫米";
        QTest::newRow("left past it") << QList<double>{10, 10, 95.1, 95} << left << "左边距最大为 95 毫米";
        QTest::newRow("right at the limit") << QList<double>{10, 10, 0, 190} << -1 << QString();
        QTest::newRow("right past it") << QList<double>{10, 10, 0.5, 190} << right << "右边距最大为 189.5 毫米";
        QTest::newRow("top below 0") << QList<double>{-50, 10, 15, 15} << top << "上边距不能为负数";
        QTest::newRow("bottom far below 0") << QList<double>{10, -1e308, 15, 15} << bottom << "下边距不能为负数";
        QTest::newRow("left minus infinity") << QList<double>{10, 10, -inf, 15} << left << "左边距不能为负数";
        QTest::newRow("right a hair below 0") << QList<double>{10, 10, 15, -0.01} << right << "右边距不能为负数";
        QTest::newRow("negative before too large") << QList<double>{300, 10, -1, 15} << left << "左边距不能为负数";
    }
    void marginsAndRoom()
    {
        QFETCH(QList<double>, margins);
        QFETCH(int, refused);
        QFETCH(QString, said);
        const auto r = PageRoom::check(QSizeF(200, 287), {margins[0], margins[1], margins[2], margins[3]}, {100, 10});
        QCOMPARE(r ? int(r->field) : -1, refused);
        if (r)
            QVERIFY2(PageRoom::refusalText(*r).contains(said), qPrintable(PageRoom::refusalText(*r)));
    }

    void wholePageRoom_data()
    {
        // plainSettings() on a 200 x 287 mm page with the picture row, and the lengths changed.
        QTest::addColumn<QList<double>>("lengths");   // top, bottom, hjj, hjj2, picture height, left
        QTest::addColumn<bool>("pictures");
        QTest::addColumn<QSizeF>("page");
        QTest::addColumn<QString>("said");   // how the refusal begins, "" for none
        const double big = 1e308, inf = std::numeric_limits<double>::infinity();
        const QList<double> plain{10, 10, 2, 1, 30, 10};
        const QSizeF a4(200, 287);
        auto with = [&plain](int k, double v, int k2 = -1, double v2 = 0) {
            QList<double> l = plain;
            l[k] = v;
            if (k2 >= 0)
                l[k2] = v2;
            return l;
        };
        QTest::newRow("plain") << plain << true << a4 << QString();
        QTest::newRow("top") << with(0, 250) << true << a4 << "上边距过大，所选纸张上放不下整页报告：上边距最大为";
        QTest::newRow("top 1e308") << with(0, big) << true << a4
                                   << "上边距过大，所选纸张上放不下整页报告：上边距最大为";
        QTest::newRow("bottom") << with(1, 260) << true << a4 << "下边距过大，所选纸张上放不下整页报告：下边距最大为";
        QTest::newRow("spacing one") << with(2, 60) << true << a4
                                     << "行距一过大，所选纸张上放不下整页报告：行距一最大为";
        QTest::newRow("spacing two") << with(3, 300) << true << a4
                                     << "行距二过大，所选纸张上放不下整页报告：行距二最大为";
        QTest::newRow("picture height") << with(4, 300) << true << a4
                                        << "图像高度过大，所选纸张上放不下整页报告：图像高度最大为";
        QTest::newRow("picture height, no pictures") << with(4, 300) << false << a4 << QString();
        QTest::newRow("top and picture height: the one that can fit alone")
            << with(0, 201, 4, 300) << true << a4 << "图像高度过大，所选纸张上放不下整页报告：图像高度最大为";
        QTest::newRow("top and bottom: neither alone")
            << with(0, 270, 1, 280) << true << a4
            << "下边距过大，所选纸张上放不下整页报告：其他各项不变时下边距为 0 也放不下";
        QTest::newRow("left") << with(5, 195) << true << a4 << "左边距过大，所选纸张上放不下整页报告：左边距最大为";
        QTest::newRow("a strip of paper") << plain << true << QSizeF(200, 40) << "所选纸张太小，放不下整页报告";
        // A printer that does not say how large its page is: only a negative length is refused.
        QTest::newRow("page unknown") << with(0, big, 4, big) << true << QSizeF(inf, inf) << QString();
        QTest::newRow("page unknown, negative") << with(3, -1) << true << QSizeF(inf, inf) << "行距二不能为负数";
    }
    void wholePageRoom()
    {
        // The page room names the length that keeps the report off the page, and the largest
        // value it may take; the paper is blamed only when sane values do not fit either.
        QFETCH(QList<double>, lengths);
        QFETCH(bool, pictures);
        QFETCH(QSizeF, page);
        QFETCH(QString, said);
        PrintSettings s = plainSettings();
        s.top = lengths[0];
        s.bottom = lengths[1];
        s.hjj = lengths[2];
        s.hjj2 = lengths[3];
        s.picHeight = lengths[4];
        s.left = lengths[5];
        s.printPictures = pictures;
        s.pageWidth = page.width();
        s.pageHeight = page.height();
        ReportContent c;
        ReportRenderer r(s, c);
        const auto refusal = r.roomRefusal();
        const QString text = refusal ? PageRoom::refusalText(*refusal) : QString();
        QVERIFY2(said.isEmpty() ? text.isEmpty() : text.startsWith(said), qPrintable(text));
        if (refusal && refusal->kind == PageRoom::Refusal::Kind::TooLarge) {
            // The value said fits, and a tenth more does not.
            double* const values[] = {&s.top,  &s.bottom, &s.left, &s.right, &s.hjj,      &s.hjj2,
                                      nullptr, nullptr,   nullptr, nullptr,  &s.picWidth, &s.picHeight};
            double* value = values[int(refusal->field)];
            QVERIFY(value);
            const double largest = PageRoom::millimetreText(refusal->largest).toDouble();
            *value = largest;
            QVERIFY2(!r.roomRefusal(), qPrintable(QString::number(largest)));
            *value = largest + 0.1;
            QVERIFY(r.roomRefusal());
        }
    }

private:
    std::unique_ptr<TestFolder> folder_;
};

QTEST_MAIN(tst_ReportLayout)
#include "tst_ReportLayout.moc"
