// Layout of the report page on a surface that records what is drawn.
#include "core/Mmain.h"
#include "platform/MessageBox.h"
#include "report/ReportRenderer.h"
#include "report/ReportSurface.h"
#include "support/TestFolder.h"

#include <QtTest>

namespace {

// Text is 0.35 mm wide per point of font size and character, lines are 0.5 mm
// per point high: simple numbers that make the layout checkable by hand.
class RecordingSurface : public ReportSurface {
public:
    struct Op {
        QString kind;   // print, line, cls, newPage, endDoc, killDoc
        QString text;
        double x = 0, y = 0;
    };
    QList<Op> ops;
    int failOnNewPage = 0;   // the n-th newPage throws a printer failure
    int newPages = 0;

    void mark(const QString& kind, const QString& text = QString(), double x = 0, double y = 0)
    {
        ops.append({kind, text, x, y});
    }
    double textWidth(const QString& t) override { return t.size() * font_.pointSizeF() * 0.35; }
    double textHeight(const QString&) override { return font_.pointSizeF() * 0.5; }
    void printLine(const QString& t) override
    {
        mark(QStringLiteral("print"), t, currentX, currentY);
        currentY += textHeight(t);
        currentX = 0;
    }
    void line(double x1, double y1, double, double) override { mark(QStringLiteral("line"), QString(), x1, y1); }
    void paintPicture(const QString&, double, double, double, double) override {}
    void cls() override { mark(QStringLiteral("cls")); }
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
        QVERIFY(r.renderOn(two, ReportRenderer::Mode::Print, 0, 0));
        QCOMPARE(s.pageCount, 2);
        QCOMPARE(two.count(QStringLiteral("newPage")), 1);
        QCOMPARE(two.count(QStringLiteral("print"), QStringLiteral("打印日期")), 2);
        QCOMPARE(two.count(QStringLiteral("print"), QStringLiteral("段落")), 60);
        QCOMPARE(two.ops.last().kind, QStringLiteral("endDoc"));

        // Preview: counting leaves the last page; showing page 1 stops after its footer.
        RecordingSurface preview;
        QVERIFY(r.renderOn(preview, ReportRenderer::Mode::Preview, 0, 0));
        QCOMPARE(preview.count(QStringLiteral("cls")), 2);
        RecordingSurface page1;
        QVERIFY(r.renderOn(page1, ReportRenderer::Mode::Preview, 1, 0));
        QCOMPARE(page1.count(QStringLiteral("cls")), 1);
        QVERIFY(page1.ops.last().text.startsWith(QStringLiteral("打印日期")));
        QCOMPARE(s.pageCount, 2);   // a stopped rendering keeps the count
        QVERIFY(!page1.find(QStringLiteral("段落59")));

        // Page 2 alone is one whole job.
        RecordingSurface second;
        QVERIFY(r.renderOn(second, ReportRenderer::Mode::Print, 0, 2));
        QVERIFY(second.count(QStringLiteral("newPage")) == 0 && second.ops.last().kind == QStringLiteral("endDoc"));

        // A printer failure on the way abandons the job with one message.
        RecordingSurface failing;
        failing.failOnNewPage = 1;
        QVERIFY(!r.renderOn(failing, ReportRenderer::Mode::Print, 0, 0));
        QCOMPARE(failing.ops.last().kind, QStringLiteral("killDoc"));
        QCOMPARE(failing.count(QStringLiteral("endDoc")), 0);
        QCOMPARE(MessageBox::shownBoxes().size(), 1);
        QCOMPARE(MessageBox::shownBoxes().first().text, QStringLiteral("482:打印机错误"));
    }

    void wrapping()
    {
        PrintSettings s = plainSettings();
        s.fonts[5].size = 14;   // 4.9 mm a character: 36 make 176.4 mm, 37 would pass 180 mm
        ReportContent c;
        ReportRenderer r(s, c);

        // Chinese text, emoji (surrogate pairs and joined sequences) and accented letters: every
        // line ends before the right margin, no character is cut apart, nothing is lost or doubled.
        const QString family = QStringLiteral("\U0001F468\u200D\U0001F469\u200D\U0001F467");   // 8 units
        const QString text = QString(100, QChar(0x80BA)) +
                             (QStringLiteral("\U0001F600甲") + family + QStringLiteral("e\u0301")).repeated(40);
        c.values[18] = text.left(100) + QLatin1Char('\n') + text.mid(100);
        RecordingSurface a;
        QVERIFY(r.renderOn(a, ReportRenderer::Mode::Print, 0, 0));
        const auto lines = a.body();
        QVERIFY(lines.size() >= 6);
        QCOMPARE(lines.first().text.size(), 36);
        for (const auto& o : lines) {
            const QString& t = o.text;
            QVERIFY2(!t.isEmpty() && o.x == 10.0 && o.x + t.size() * 4.9 <= 190.0 + 1e-9, qPrintable(t));
            QVERIFY2(!t.front().isLowSurrogate() && !t.back().isHighSurrogate(), qPrintable(t));
            QVERIFY(t.front() != QChar(0x200D) && t.back() != QChar(0x200D) && t.front() != QChar(0x0301));
        }
        QCOMPARE(a.bodyTexts().join(QString()), text);

        // Every kind of line break breaks; two in a row give an empty line.
        c.values[18] = QStringLiteral("甲\r\n乙\n丙\r丁\n\n戊");
        RecordingSurface breaks;
        QVERIFY(r.renderOn(breaks, ReportRenderer::Mode::Print, 0, 0));
        QCOMPARE(breaks.bodyTexts(), QStringList({QStringLiteral("甲"), QStringLiteral("乙"), QStringLiteral("丙"),
                                                  QStringLiteral("丁"), QString(), QStringLiteral("戊")}));

        // A page narrower than its margins still moves on: one character a line, no endless loop.
        s.left = s.right = 100;
        s.fonts[5].size = 10;
        c.values[18] = QStringLiteral("一二三四五");
        RecordingSurface narrow;
        QVERIFY(r.renderOn(narrow, ReportRenderer::Mode::Print, 0, 0));
        QCOMPARE(narrow.bodyTexts().join(QLatin1Char('|')), QStringLiteral("一|二|三|四|五"));
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
        QVERIFY(r.renderOn(a, ReportRenderer::Mode::Print, 0, 0));
        // D = 180: columns at 10, 55, 100 and 145 - 5 = 140.
        QCOMPARE(a.find(QStringLiteral("项1: "))->x, 10.0);
        QCOMPARE(a.find(QStringLiteral("项2: "))->x, 55.0);
        QCOMPARE(a.find(QStringLiteral("项4: "))->x, 140.0);
        // Caption and value share the bottom edge; the value follows the caption.
        QCOMPARE(a.find(QStringLiteral("V4"))->y, a.find(QStringLiteral("项4: "))->y);
        QCOMPARE(a.find(QStringLiteral("V4"))->x, 140.0 + 4 * 3.5);
        QVERIFY(a.find(QStringLiteral("报告日期: "))->x == 145.0 && a.find(QStringLiteral("复核医师: "))->x == 145.0);

        // Rows 2 to 5 unused: the second separator lies S1 below the first, which lies
        // one caption line and S1/2 below row 1.
        const auto l = a.lineYs();
        QCOMPARE(l.size(), 3);
        QCOMPARE(l[1] - l[0], 2.0);
        QCOMPARE(l[0], a.find(QStringLiteral("项1: "))->y + 5 + 1);

        // One used slot in row 3 adds one caption line plus S1.
        setSlot(s, 9, QStringLiteral("项9"), 9);
        RecordingSurface b;
        QVERIFY(r.renderOn(b, ReportRenderer::Mode::Print, 0, 0));
        QCOMPARE(b.lineYs()[1] - b.lineYs()[0], 2.0 + 5 + 2);
        QCOMPARE(b.find(QStringLiteral("项9: "))->y, b.lineYs()[0] + 2);

        // A slot field number outside 0..25 is reported; the rest of the page goes on.
        s.slotFields[8] = QStringLiteral("30");
        RecordingSurface bad;
        QVERIFY(r.renderOn(bad, ReportRenderer::Mode::Print, 0, 0));
        QCOMPARE(MessageBox::shownBoxes().size(), 1);
        QVERIFY(MessageBox::shownBoxes().first().text.startsWith(QStringLiteral("9:")));
        QVERIFY(bad.find(QStringLiteral("V10")));   // the footer is there
        QCOMPARE(bad.ops.last().kind, QStringLiteral("endDoc"));
    }

private:
    std::unique_ptr<TestFolder> folder_;
};

QTEST_MAIN(tst_ReportLayout)
#include "tst_ReportLayout.moc"
