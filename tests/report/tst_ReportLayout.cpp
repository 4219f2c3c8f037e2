// Layout of the report page on a surface that records what is drawn.
#include "core/Mmain.h"
#include "platform/MessageBox.h"
#include "report/ReportPaperWidget.h"
#include "report/ReportRenderer.h"
#include "report/ReportSurface.h"
#include "support/TestFolder.h"

#include <QFile>
#include <QImage>
#include <QtTest>

namespace {

// Text is 0.35 mm wide per point of font size and character, lines are 0.5 mm
// per point high: simple numbers that make the layout checkable by hand.
class RecordingSurface : public ReportSurface {
public:
    struct Op {
        QString kind;   // print, line, picture, cls, newPage, endDoc, killDoc
        QString text;
        double x = 0, y = 0, x2 = 0, y2 = 0;
        int width = 0;
    };
    QList<Op> ops;
    void mark(const QString& kind)
    {
        Op o;
        o.kind = kind;
        ops.append(o);
    }
    int failOnNewPage = 0;   // the n-th newPage throws a printer failure
    int newPages = 0;

    double textWidth(const QString& t) override { return t.size() * font_.pointSizeF() * 0.35; }
    double textHeight(const QString&) override { return font_.pointSizeF() * 0.5; }
    void printLine(const QString& t) override
    {
        ops.append({QStringLiteral("print"), t, currentX, currentY, 0, 0, 0});
        currentY += textHeight(t);
        currentX = 0;
    }
    void line(double x1, double y1, double x2, double y2) override
    {
        ops.append({QStringLiteral("line"), QString(), x1, y1, x2, y2, drawWidth_});
    }
    void paintPicture(const QString& f, double x, double y, double w, double h) override
    {
        ops.append({QStringLiteral("picture"), f, x, y, x + w, y + h, 0});
    }
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
    QList<Op> lines() const
    {
        QList<Op> l;
        for (const Op& o : ops)
            if (o.kind == QLatin1String("line"))
                l.append(o);
        return l;
    }
    // The lines printed under a caption up to the footer's print date.
    QList<Op> body(const QString& caption = QStringLiteral("检查所见: ")) const
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
            inBody = inBody || o.text == caption;
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

// A layout with round numbers: every font 10 pt (text 3.5 mm per character, lines 5 mm).
PrintSettings plainSettings()
{
    PrintSettings s;
    s.left = s.right = s.top = s.bottom = 10;
    s.hjj = 2;
    s.hjj2 = 1;
    s.djj = {4, 4, 4, 4};
    s.picWidth = 40;
    s.picHeight = 30;
    s.pageWidth = 200;
    s.pageHeight = 287;
    s.zoom = 1;
    s.printPictures = true;
    for (FontSet& f : s.fonts) {
        f.name = QStringLiteral("宋体");
        f.size = 10;
        f.bold = false;
    }
    return s;
}

void setSlot(PrintSettings& s, int slot, const QString& caption, int field)
{
    s.slotCaptions[slot - 1] = caption;
    s.slotFields[slot - 1] = QString::number(field);
}
}

class tst_ReportLayout : public QObject {
    Q_OBJECT

private slots:
    void init()
    {
        folder_.reset(new TestFolder(false));
        QVERIFY(folder_->ok());
        QFile::remove(folder_->file(QStringLiteral("head.bmp")));
        Mmain::gHospitalName = QStringLiteral("东方市人民医院");
    }
    void cleanup() { folder_.reset(); }

    void onePageAndPaging()
    {
        PrintSettings s = plainSettings();
        setSlot(s, 21, QStringLiteral("检查所见"), 18);
        setSlot(s, 22, QStringLiteral("诊断意见"), 19);
        ReportContent c;
        c.values[18] = QStringLiteral("心肺未见异常。");
        c.values[19] = QStringLiteral("胸部正位片未见异常。");
        ReportRenderer r(s, c);
        RecordingSurface one;
        QVERIFY(r.renderOn(one, ReportRenderer::Mode::Print, 0, 0));
        QCOMPARE(s.pageCount, 1);
        QCOMPARE(one.count(QStringLiteral("print"), ReportRenderer::kTitle), 1);
        QCOMPARE(one.count(QStringLiteral("print"), QStringLiteral("打印日期： ")), 1);
        QCOMPARE(one.count(QStringLiteral("newPage")), 0);
        QCOMPARE(one.ops.last().kind, QStringLiteral("endDoc"));

        // A body that ends with a line break in the middle of page 2: every page has its footer.
        QStringList paras;
        for (int i = 0; i < 60; ++i)
            paras << QStringLiteral("段落%1").arg(i, 2, 10, QLatin1Char('0'));
        c.values[18] = paras.join(QLatin1Char('\n')) + QLatin1Char('\n');
        c.values[19].clear();
        RecordingSurface two;
        QVERIFY(r.renderOn(two, ReportRenderer::Mode::Print, 0, 0));
        QCOMPARE(s.pageCount, 2);
        QCOMPARE(two.count(QStringLiteral("newPage")), 1);
        QCOMPARE(two.count(QStringLiteral("print"), QStringLiteral("打印日期")), 2);
        QVERIFY(two.find(QStringLiteral("段落59")));

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

        // A printer failure abandons the job with one message.
        MessageBox::clearShown();
        RecordingSurface failing;
        failing.failOnNewPage = 1;
        QVERIFY(!r.renderOn(failing, ReportRenderer::Mode::Print, 0, 0));
        QCOMPARE(failing.ops.last().kind, QStringLiteral("killDoc"));
        QCOMPARE(failing.count(QStringLiteral("endDoc")), 0);
        QCOMPARE(MessageBox::shownBoxes().size(), 1);
        QCOMPARE(MessageBox::shownBoxes().first().text, QStringLiteral("482:打印机错误"));
    }

    void wrappedLinesStayInsideTheMargins()
    {
        PrintSettings s = plainSettings();
        setSlot(s, 21, QStringLiteral("检查所见"), 18);
        s.fonts[5].size = 14;   // 4.9 mm a character: 36 make 176.4 mm, 37 would pass 180 mm
        ReportContent c;
        ReportRenderer r(s, c);

        // Chinese text and a long address without a blank: every line ends before the right margin.
        const QString url = QStringLiteral("https://pacs.example.org/viewer?study=") + QString(200, QLatin1Char('7'));
        c.values[18] = QString(100, QChar(0x80BA)) + QLatin1Char('\n') + url;
        RecordingSurface a;
        QVERIFY(r.renderOn(a, ReportRenderer::Mode::Print, 0, 0));
        const auto lines = a.body();
        QVERIFY(lines.size() >= 6);
        for (const auto& o : lines) {
            QVERIFY2(o.x + o.text.size() * 4.9 <= 190.0 + 1e-9, qPrintable(o.text));
            QCOMPARE(o.x, 10.0);
        }
        QCOMPARE(lines.first().text.size(), 36);
        QCOMPARE(a.bodyTexts().join(QString()), QString(100, QChar(0x80BA)) + url);   // nothing lost or doubled

        // Emoji (surrogate pairs and joined sequences) and accented letters are never cut apart.
        const QString family = QStringLiteral("\U0001F468\u200D\U0001F469\u200D\U0001F467");   // 8 units
        const QString mixed = (QStringLiteral("\U0001F600甲") + family + QStringLiteral("e\u0301")).repeated(40);
        c.values[18] = mixed;
        RecordingSurface b;
        QVERIFY(r.renderOn(b, ReportRenderer::Mode::Print, 0, 0));
        for (const QString& t : b.bodyTexts()) {
            QVERIFY(!t.isEmpty());
            QVERIFY2(!t.front().isLowSurrogate() && !t.back().isHighSurrogate(), qPrintable(t));
            QVERIFY(t.front() != QChar(0x200D) && t.back() != QChar(0x200D) && t.front() != QChar(0x0301));
        }
        QCOMPARE(b.bodyTexts().join(QString()), mixed);

        // Every kind of line break breaks; two in a row give an empty line.
        c.values[18] = QStringLiteral("甲\r\n乙\n丙\r丁\n\n戊");
        RecordingSurface breaks;
        QVERIFY(r.renderOn(breaks, ReportRenderer::Mode::Print, 0, 0));
        QCOMPARE(breaks.bodyTexts(), QStringList({QStringLiteral("甲"), QStringLiteral("乙"), QStringLiteral("丙"),
                                                  QStringLiteral("丁"), QString(), QStringLiteral("戊")}));

        // A page narrower than its margins still moves on: one character a line, no endless loop.
        s.left = 100;
        s.right = 100;
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

        // Rows 2 to 5 unused: the second separator lies S1 below the first plus one
        // caption line for row 1 only.
        const auto l = a.lines();
        QCOMPARE(l.size(), 3);
        QCOMPARE(l[1].y - l[0].y, 2.0);
        QCOMPARE(l[0].y, a.find(QStringLiteral("项1: "))->y + 5 + 1);   // S1/2 below row 1

        // One used slot in row 3 adds one caption line plus S1.
        setSlot(s, 9, QStringLiteral("项9"), 9);
        RecordingSurface b;
        QVERIFY(r.renderOn(b, ReportRenderer::Mode::Print, 0, 0));
        QCOMPARE(b.lines()[1].y - b.lines()[0].y, 2.0 + 5 + 2);
        QCOMPARE(b.find(QStringLiteral("项9: "))->y, b.lines()[0].y + 2);
        QCOMPARE(b.lines()[0].width, 10);

        // A slot field number outside 0..25 is reported; the rest of the page goes on.
        s.slotFields[8] = QStringLiteral("30");
        MessageBox::clearShown();
        RecordingSurface bad;
        QVERIFY(r.renderOn(bad, ReportRenderer::Mode::Print, 0, 0));
        QCOMPARE(MessageBox::shownBoxes().size(), 1);
        QVERIFY(MessageBox::shownBoxes().first().text.startsWith(QStringLiteral("9:")));
        QVERIFY(bad.find(QStringLiteral("V10")));   // the footer is there
        QCOMPARE(bad.ops.last().kind, QStringLiteral("endDoc"));
    }

    void blankHospitalName()
    {
        PrintSettings s = plainSettings();
        ReportContent c;
        ReportRenderer r(s, c);
        Mmain::gHospitalName = QString();
        RecordingSurface a;
        QVERIFY(r.renderOn(a, ReportRenderer::Mode::Print, 0, 0));
        QCOMPARE(a.count(QStringLiteral("print"), ReportRenderer::kTitle), 2);
        const double w = ReportRenderer::kTitle.size() * 3.5;
        QCOMPARE(a.ops.at(0).x, (200 - w) / 2);   // printed in the name's place, centred
        QCOMPARE(a.ops.at(0).y, 10.0);
        QCOMPARE(Mmain::gHospitalName, QString());   // the stored name stays as it was

        Mmain::gHospitalName = QStringLiteral("   ");
        RecordingSurface b;
        QVERIFY(r.renderOn(b, ReportRenderer::Mode::Print, 0, 0));
        QCOMPARE(b.ops.at(0).text, QStringLiteral("   "));
        QCOMPARE(b.count(QStringLiteral("print"), ReportRenderer::kTitle), 1);
    }

    void previewScaleAndSeparators()
    {
        PrintSettings s = plainSettings();
        ReportContent c;
        ReportRenderer r(s, c);
        s.zoom = 1.5;
        RecordingSurface a;
        QVERIFY(r.renderOn(a, ReportRenderer::Mode::Preview, 0, 0));
        QCOMPARE(r.metrics().W, 300.0);
        QCOMPARE(r.metrics().L, 15.0);
        QCOMPARE(a.lines().first().width, 3);
        QCOMPARE(a.ops.first().kind, QStringLiteral("cls"));

        s.zoom = 0.55;
        RecordingSurface b;
        QVERIFY(r.renderOn(b, ReportRenderer::Mode::Preview, 0, 0));
        QCOMPARE(b.lines().first().width, 1);

        // A zoom of 0 would divide by zero: it is taken as 1.
        s.zoom = 0;
        RecordingSurface z;
        QVERIFY(r.renderOn(z, ReportRenderer::Mode::Preview, 0, 0));
        QCOMPARE(r.metrics().W, 200.0);
    }

    void damagedPicturesLeaveTheirPlaceEmpty()
    {
        PrintSettings s = plainSettings();
        setSlot(s, 21, QStringLiteral("检查所见"), 18);
        ReportContent c;
        c.values[18] = QStringLiteral("心肺未见异常。");
        QImage green(20, 10, QImage::Format_RGB32);
        green.fill(Qt::green);
        c.pictures[0] = folder_->file(QStringLiteral("img/p1.jpg"));
        c.pictures[1] = folder_->file(QStringLiteral("img/p2.jpg"));
        QVERIFY(green.save(c.pictures[1], "JPEG"));
        for (const auto& [file, bytes] :
             {std::pair{c.pictures[0], QByteArray("\xff\xd8\xff\xe0 not a picture")},
              std::pair{folder_->file(QStringLiteral("head.bmp")), QByteArray("BM broken")}}) {
            QFile f(file);   // a damaged picture and a damaged logo
            QVERIFY(f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size());
        }

        ReportRenderer r(s, c);
        r.setPreviewWidget(&paper_);
        MessageBox::clearShown();
        r.RenderReport(ReportRenderer::kPreviewMode, 0, 0);
        r.RenderReport(ReportRenderer::kPreviewMode, 1, 0);
        // Each failure is told once, in words, and the page is drawn whole without them.
        QCOMPARE(MessageBox::shownBoxes().size(), 2);
        QCOMPARE(MessageBox::shownBoxes().at(0).text.left(4), QStringLiteral("481:"));
        QVERIFY(MessageBox::shownBoxes().at(0).text.contains(QStringLiteral("head.bmp")));
        QVERIFY(MessageBox::shownBoxes().at(1).text.startsWith(QStringLiteral("481:报告图片 1 ")));
        QCOMPARE(s.pageCount, 1);

        RecordingSurface a;
        MessageBox::clearShown();
        QVERIFY(r.renderOn(a, ReportRenderer::Mode::Print, 0, 0));
        QVERIFY(a.find(Mmain::gHospitalName));
        QVERIFY(a.find(QStringLiteral("心肺未见异常。")));
        QCOMPARE(a.ops.last().kind, QStringLiteral("endDoc"));
        QVERIFY(a.count(QStringLiteral("picture")) > 0);
        // Without the picture-row flag nothing is painted.
        s.printPictures = false;
        RecordingSurface b;
        QVERIFY(r.renderOn(b, ReportRenderer::Mode::Print, 0, 0));
        QCOMPARE(b.count(QStringLiteral("picture")), 0);
    }

private:
    std::unique_ptr<TestFolder> folder_;
    ReportPaperWidget paper_;
};

QTEST_MAIN(tst_ReportLayout)
#include "tst_ReportLayout.moc"
