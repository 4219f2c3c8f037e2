// The grid printer on a recording surface and on PDF, and its settings dialog.
#include "core/Modini.h"
#include "core/Openers.h"
#include "core/Palette.h"
#include "platform/AppPaths.h"
#include "platform/MessageBox.h"
#include "platform/Opener.h"
#include "report/FrmfindGrid.h"
#include "report/GridPrinter.h"
#include "report/ProgramPrinter.h"
#include "support/GridSamples.h"
#include "support/TestFolder.h"

#include <QComboBox>
#include <QFile>
#include <QHeaderView>
#include <QLineEdit>
#include <QProcess>
#include <QRegularExpression>
#include <QTableWidget>
#include <QtTest>

namespace {

// Draws nothing: records what is drawn, page by page, in twips. A character is
// 10 twips per point wide, a line of text 20 twips per point high.
class RecordingSurface : public GridSurface {
public:
    struct Text {
        int page;
        double x, y;
        QString text;
        GridFont font;
    };
    struct Line {
        int page;
        QLineF line;
    };
    QList<Text> texts;
    QList<Line> lines;
    int page = 1;
    int failAtPage = 0;
    bool ended = false, killed = false;
    GridFont font{QStringLiteral("初始"), 10};

    void setDrawWidth(int) override {}
    void setFont(const GridFont& f) override { font = f; }
    double textWidth(const QString& t) override { return t.size() * font.size * 10; }
    double textHeight() override { return font.size * 20; }
    void print(double x, double y, const QString& t) override { texts.append({page, x, y, t, font}); }
    void line(double x1, double y1, double x2, double y2) override { lines.append({page, QLineF(x1, y1, x2, y2)}); }
    void newPage() override
    {
        if (++page == failAtPage)
            throw ReportError{ReportError::PrinterFailure, QStringLiteral("打印机脱机")};
    }
    void endDoc() override { ended = true; }
    void killDoc() override { killed = true; }

    QStringList textsOn(int p) const
    {
        QStringList out;
        for (const Text& t : texts)
            if (t.page == p)
                out << t.text;
        return out;
    }
    const Text* find(const QString& s) const
    {
        for (const Text& t : texts)
            if (t.text == s)
                return &t;
        return nullptr;
    }
    bool hasLine(int p, QLineF l) const
    {
        for (const Line& x : lines)
            if (x.page == p && (x.line == l || QLineF(x.line.p2(), x.line.p1()) == l))
                return true;
        return false;
    }
};

QString run(const QString& program, const QStringList& args)
{
    QProcess p;
    p.start(program, args);
    p.waitForFinished(120000);
    return QString::fromUtf8(p.readAllStandardOutput());
}

QString pdfInfo(const QString& pdf, const QString& field)
{
    const auto m = QRegularExpression(field + QStringLiteral(":\\s+(.*)")).match(run(QStringLiteral("pdfinfo"), {pdf}));
    return m.captured(1).trimmed();
}

// The text of a page (0 = all) in drawing order, without white space.
QString pdfText(const QString& pdf, int page = 0)
{
    QStringList args{QStringLiteral("-raw")};
    if (page > 0)
        args << QStringLiteral("-f") << QString::number(page) << QStringLiteral("-l") << QString::number(page);
    return run(QStringLiteral("pdftotext"), args << pdf << QStringLiteral("-")).remove(QRegularExpression(QStringLiteral("\\s")));
}

void setGridKey(const QString& key, const QString& value)
{
    Modini::SetIniValue(GridPrintKeys::Section, key, value);
}

QByteArray iniBytes()
{
    QFile f(AppPaths::iniFile());
    f.open(QIODevice::ReadOnly);
    return f.readAll();
}
}

class tst_GridPrinter : public QObject {
    Q_OBJECT

private slots:
    void init()
    {
        folder_.reset(new TestFolder(false));
        QVERIFY(folder_->ok());
        backend_ = std::make_shared<PdfPrinterBackend>();
        backend_->addPrinter(PdfPrinterBackend::standardPrinter(QStringLiteral("默认打印机")));
        backend_->addPrinter(PdfPrinterBackend::standardPrinter(QStringLiteral("激光打印机")));
        backend_->setOutputFile(folder_->file(QStringLiteral("grid.pdf")));
        ProgramPrinter::setBackend(backend_);
        MessageBox::clearShown();
    }
    void cleanup()
    {
        ProgramPrinter::setBackend(nullptr);
        folder_.reset();
    }

    void pageBlocks()
    {
        // Shipped settings: A4 portrait, 5 mm unprintable, 10 mm margins: 10205 x 15137 twips of room.
        GridPrinter p;
        p.SetupGridPrinter();
        QVERIFY(MessageBox::shownBoxes().isEmpty());
        QCOMPARE(p.settings().pageWidth, 11339);
        QCOMPARE(p.settings().pageHeight, 16271);
        const double left = 567, top = 567;

        // Columns: 3000, hidden, 40 (no text), 3000 x 3 -> blocks [0..4] [5]. Rows: 15 of 1000 fit,
        // row 15 is taller than the room and stands alone, rows 16-17 follow.
        MemoryGrid g(18, 6, 1000, 3000);
        g.widths[1] = 0;
        g.widths[2] = 40;
        g.heights[15] = 16000;
        for (int r = 0; r < 18; ++r)
            for (int c = 0; c < 6; ++c)
                g.at(r, c) = QStringLiteral("r%1c%2").arg(r).arg(c);
        RecordingSurface s;
        p.PrintGrid(g, s);
        QVERIFY(s.ended && !s.killed);
        QCOMPARE(s.page, 6);
        auto cells = [](int r0, int r1, QList<int> cols) {
            QStringList out;
            for (int r = r0; r <= r1; ++r)
                for (int c : cols)
                    out << QStringLiteral("r%1c%2").arg(r).arg(c);
            return out;
        };
        QCOMPARE(s.textsOn(1), cells(0, 14, {0, 3, 4}));
        QCOMPARE(s.textsOn(2), cells(0, 14, {5}));
        QCOMPARE(s.textsOn(3), cells(15, 15, {0, 3, 4}));
        QCOMPARE(s.textsOn(4), cells(15, 15, {5}));
        QCOMPARE(s.textsOn(5), cells(16, 17, {0, 3, 4}));
        QCOMPARE(s.textsOn(6), cells(16, 17, {5}));
        // Every page starts again at the margins; text is general: 20 twips in, centred vertically.
        for (const char* first : {"r0c0", "r0c5", "r16c0", "r16c5"}) {
            const auto* t = s.find(QString::fromLatin1(first));
            QCOMPARE(t->x, left + 20);
            QCOMPARE(t->y, top + (1000 - 180) / 2.0);
        }
        QCOMPARE(s.find(QStringLiteral("r1c3"))->x, left + 3000 + 40 + 20);
        // The tall row runs past the bottom margin; the hidden column's edges lie on its neighbour's.
        QVERIFY(s.hasLine(3, QLineF(left, top, left, top + 16000)));
        QVERIFY(s.hasLine(1, QLineF(left + 3000, top, left + 3000, top + 1000)));
    }

    void mergedRunsAndClipping()
    {
        GridPrinter p;
        p.SetupGridPrinter();
        const double left = 567, top = 567;
        // Row 0 merges "甲" over three columns and is centred; the two empty cells after it do not
        // merge. Column 5 does not fit beside the others and prints on a page of its own.
        MemoryGrid g(4, 6, 600);
        g.widths = {1000, 1000, 1000, 900, 60, 8000};
        g.mergedRow(0, QString());
        g.at(0, 0) = g.at(0, 1) = g.at(0, 2) = QStringLiteral("甲");
        g.rowAlignments[0] = PrintableGrid::CenterCenter;
        g.at(1, 0) = QStringLiteral("abc\r\ndef");
        g.at(1, 1) = QStringLiteral("ab\ncd");
        g.at(1, 2) = QStringLiteral("0123456789ABCDEF");
        g.at(1, 3) = QStringLiteral("😀😀😀😀😀😀");   // room for 9 half characters: four whole emoji
        g.at(2, 0) = QString(100000, QChar(0x957F));
        g.at(2, 4) = QStringLiteral("x");   // wider than 40, yet no character fits
        // Column 5 merges down: "丙" twice then "丁".
        g.mergeCols.insert(5);
        g.at(0, 5) = g.at(1, 5) = QStringLiteral("丙");
        g.at(2, 5) = QStringLiteral("丁");
        RecordingSurface s;
        p.PrintGrid(g, s);

        const auto* run = s.find(QStringLiteral("甲"));
        QCOMPARE(run->x, left + (3000 - 90) / 2.0);
        QCOMPARE(run->y, top + (600 - 180) / 2.0);
        QCOMPARE(s.textsOn(1).count(QStringLiteral("甲")), 1);
        QVERIFY(!s.hasLine(1, QLineF(left + 1000, top, left + 1000, top + 600)));
        QVERIFY(s.hasLine(1, QLineF(left + 3000, top, left + 3000, top + 600)));
        QVERIFY(s.hasLine(1, QLineF(left + 3900, top + 600, left + 3900, top)));   // empty cells keep their edges
        QCOMPARE(s.find(QStringLiteral("abc"))->text, QStringLiteral("abc"));
        QVERIFY(s.find(QStringLiteral("ab")));
        QVERIFY(s.find(QStringLiteral("0123456789")));
        QVERIFY(s.find(QStringLiteral("😀😀😀😀")));
        QVERIFY(s.find(QString(10, QChar(0x957F))));
        QVERIFY(!s.find(QStringLiteral("x")));
        // Column 5 is on a page of its own: "丙" once over two rows, no line between them.
        QCOMPARE(s.textsOn(2), QStringList({QStringLiteral("丙"), QStringLiteral("丁")}));
        QCOMPARE(s.find(QStringLiteral("丙"))->y, top + (1200 - 180) / 2.0);
        QVERIFY(!s.hasLine(2, QLineF(left, top + 600, left + 8000, top + 600)));

        // A run split by a page's edge shows its text again on the next page.
        MemoryGrid wide(1, 3, 600, 4000);
        wide.mergedRow(0, QStringLiteral("合计"));
        RecordingSurface w;
        p.PrintGrid(wide, w);
        QCOMPARE(w.page, 2);
        QCOMPARE(w.textsOn(1), QStringList{QStringLiteral("合计")});
        QCOMPARE(w.textsOn(2), QStringList{QStringLiteral("合计")});
        QCOMPARE(w.texts[0].x, left + 20);
        QVERIFY(w.hasLine(1, QLineF(left + 8000, top, left + 8000, top + 600)));
    }

    void fontsAndAlignmentFromTheGrid()
    {
        // A real table widget: rows 0-2 take the font and alignment of their first cell, row 3
        // the grid's font; later rows keep the font and the alignment of cell (2, 0).
        GridPrinter p;
        p.SetupGridPrinter();
        QTableWidget t(6, 2);
        t.horizontalHeader()->hide();
        t.setFont(QFont(QStringLiteral("宋体"), 11));
        t.resize(400, 400);
        for (int r = 0; r < 6; ++r)
            for (int c = 0; c < 2; ++c)
                t.setItem(r, c, new QTableWidgetItem(QStringLiteral("%1-%2").arg(r).arg(c)));
        QFont title(QStringLiteral("黑体"), 18);
        title.setBold(true);
        t.item(0, 0)->setFont(title);
        t.item(0, 0)->setTextAlignment(Qt::AlignCenter);
        t.item(0, 1)->setFont(QFont(QStringLiteral("楷体"), 30));   // not the row's first cell: unused
        QFont date(QStringLiteral("宋体"), 9);
        date.setItalic(true);
        t.item(1, 0)->setFont(date);
        t.item(1, 0)->setForeground(QColor(200, 0, 0));
        t.item(2, 0)->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
        t.item(4, 1)->setFont(QFont(QStringLiteral("楷体"), 30));
        t.setCurrentCell(4, 1);
        RecordingSurface s;
        p.PrintGrid(TableViewGrid(&t), s);

        QCOMPARE(s.texts.size(), 12);
        const auto& t00 = *s.find(QStringLiteral("0-0"));
        const auto& t01 = *s.find(QStringLiteral("0-1"));
        QVERIFY(t00.font.bold && t00.font.size == 18 && t00.font.name == QStringLiteral("黑体"));
        QCOMPARE(t01.font, t00.font);
        const double w0 = t.columnWidth(0) * 15;
        QCOMPARE(t01.x, 567 + w0 + (w0 - 3 * 180) / 2);
        QVERIFY(s.find(QStringLiteral("1-1"))->font.italic);
        QCOMPARE(s.find(QStringLiteral("1-1"))->font.color, QColor(200, 0, 0));
        for (const char* later : {"3-0", "4-1", "5-1"}) {
            const auto* x = s.find(QString::fromLatin1(later));
            QCOMPARE(x->font.size, 11.0);
            QVERIFY(!x->font.italic);
        }
        const auto* t41 = s.find(QStringLiteral("4-1"));
        QCOMPARE(t41->x, 567 + 2 * w0 - 3 * 110 - 20);   // right-aligned like cell (2, 0)
        // Printing leaves the user's current cell where it was.
        QCOMPARE(t.currentRow(), 4);
        QCOMPARE(t.currentColumn(), 1);

        // Without text in row 3, later rows keep row 2's font; with no text in rows 0-2 at all,
        // they take the alignment of the grid's current cell.
        t.item(3, 0)->setText(QString());
        t.item(3, 1)->setText(QString());
        t.item(2, 0)->setFont(QFont(QStringLiteral("仿宋"), 12));
        RecordingSurface s2;
        p.PrintGrid(TableViewGrid(&t), s2);
        QCOMPARE(s2.find(QStringLiteral("5-0"))->font.name, QStringLiteral("仿宋"));
        for (int r = 0; r < 3; ++r)
            for (int c = 0; c < 2; ++c)
                t.item(r, c)->setText(QString());
        t.item(4, 1)->setTextAlignment(Qt::AlignHCenter | Qt::AlignTop);
        RecordingSurface s3;
        p.PrintGrid(TableViewGrid(&t), s3);
        QCOMPARE(s3.find(QStringLiteral("5-0"))->y, 567 + 3.0 * t.rowHeight(0) * 15 + 2 * t.rowHeight(0) * 15 + 10);
    }

    void emptyGridFailuresAndRefusals()
    {
        GridPrinter p;
        p.SetupGridPrinter();
        RecordingSurface empty;
        p.PrintGrid(MemoryGrid(0, 5), empty);
        QVERIFY(empty.ended && empty.texts.isEmpty() && empty.lines.isEmpty() && empty.page == 1);
        p.PrintGrid(MemoryGrid(0, 5));
        QVERIFY(!QFile::exists(backend_->outputFile()));

        // A job that fails on its third page is abandoned and reported, never ended.
        MemoryGrid tall(60, 2, 1000, 2000);
        RecordingSurface failing;
        failing.failAtPage = 3;
        p.PrintGrid(tall, failing);
        QVERIFY(failing.killed && !failing.ended);
        QCOMPARE(MessageBox::shownBoxes().size(), 1);
        QCOMPARE(MessageBox::shownBoxes().last().text, QStringLiteral("482：打印机脱机"));
        QCOMPARE(MessageBox::shownBoxes().last().title, QStringLiteral("错误"));

        // A missing margin: the setup says so once, and the print right after it starts nothing.
        // A second print without a new setup says it again. Never a page per cell.
        MessageBox::clearShown();
        setGridKey(GridPrintKeys::Bottom, QString());
        p.SetupGridPrinter();
        QCOMPARE(MessageBox::shownBoxes().size(), 1);
        QVERIFY(MessageBox::shownBoxes()[0].text.startsWith(QStringLiteral("13：类型不匹配")));
        QVERIFY(MessageBox::shownBoxes()[0].text.contains(GridPrintKeys::Bottom));
        QVERIFY(!p.ready());
        RecordingSurface refused;
        p.PrintGrid(tall, refused);
        p.PrintGrid(tall);
        QVERIFY(refused.lines.isEmpty() && !refused.ended);
        QVERIFY(!QFile::exists(backend_->outputFile()));
        QCOMPARE(MessageBox::shownBoxes().size(), 2);
        QCOMPARE(MessageBox::shownBoxes()[1].text, MessageBox::shownBoxes()[0].text);

        // Margins that leave nothing of the page, a paper that is no number: refused the same way.
        setGridKey(GridPrintKeys::Bottom, QStringLiteral("150"));
        setGridKey(GridPrintKeys::Top, QStringLiteral("150"));
        p.SetupGridPrinter();
        QVERIFY(MessageBox::shownBoxes().last().text.startsWith(QStringLiteral("380：")));
        setGridKey(GridPrintKeys::Top, QStringLiteral("10"));
        setGridKey(GridPrintKeys::Bottom, QStringLiteral("10"));
        setGridKey(GridPrintKeys::Paper, QStringLiteral("A4"));
        p.SetupGridPrinter();
        QVERIFY(MessageBox::shownBoxes().last().text.contains(GridPrintKeys::Paper));
        QVERIFY(!p.ready());
        setGridKey(GridPrintKeys::Paper, QStringLiteral("9"));
        p.SetupGridPrinter();
        QVERIFY(p.ready());
    }

    void longListToPdf()
    {
        // 2,000 results on A3 landscape: every text once, in order, the title once on page 1.
        const MemoryGrid g = gridsamples::queryList(2000);
        setGridKey(GridPrintKeys::Paper, QStringLiteral("8"));
        setGridKey(GridPrintKeys::Direction, QStringLiteral("2"));
        GridPrinter p;
        p.SetupGridPrinter();
        p.PrintGrid(g);
        QVERIFY2(MessageBox::shownBoxes().isEmpty(), qPrintable(MessageBox::shownBoxes().value(0).text));
        const QString pdf = backend_->outputFile();

        QString expected;
        const double room = p.settings().pageHeight - 2 * p.settings().top;
        double used = 0;
        int pages = 1;
        for (int r = 0; r < g.rows(); ++r) {
            if (used + g.heights[r] > room) {
                ++pages;
                used = 0;
            }
            used += g.heights[r];
            for (int c = 0; c < g.cols() && !(g.mergeRows.contains(r) && c > 0); ++c)
                if (g.widths[c] > 40)
                    expected += g.text(r, c).section(QLatin1Char('\r'), 0, 0);
        }
        expected.remove(QRegularExpression(QStringLiteral("\\s")));
        QCOMPARE(pdfInfo(pdf, QStringLiteral("Pages")).toInt(), pages);
        QCOMPARE(pdfInfo(pdf, QStringLiteral("Page size")), QStringLiteral("1191 x 842 pts (A3)"));
        const QString all = pdfText(pdf);
        QVERIFY2(all == expected, qPrintable(all.left(300) + QStringLiteral(" ... ") + expected.left(300)));
        QCOMPARE(all.count(gridsamples::kTitle), 1);
        QVERIFY(pdfText(pdf, 1).startsWith(gridsamples::kTitle));
        QFile::copy(pdf, testOutputFolder() + QStringLiteral("/grid-list.pdf"));
    }

    void settingsDialog()
    {
        // Stored codes that are missing, malformed or unknown select nothing; an uninstalled printer
        // leaves the current one chosen; empty margins stay empty.
        setGridKey(GridPrintKeys::Printer, QStringLiteral("已拆除的打印机"));
        setGridKey(GridPrintKeys::Paper, QString());
        setGridKey(GridPrintKeys::Color, QStringLiteral("彩色"));
        setGridKey(GridPrintKeys::Quality, QStringLiteral("-5"));
        for (const QString& k : {GridPrintKeys::Top, GridPrintKeys::Bottom, GridPrintKeys::Left, GridPrintKeys::Right})
            setGridKey(k, QString());
        ProgramPrinter::instance().selectPrinter(QStringLiteral("激光打印机"));
        Palette::LoadSkin();
        QDialog* shown = nullptr;
        Opener::setHook([&shown](QDialog* d) { shown = d; return 0; });
        Openers::OpenGridPrintSettings();
        FrmfindGrid& d = FrmfindGrid::instance();
        QCOMPARE(shown, &d);
        QCOMPARE(d.cboPrinter->currentText(), QStringLiteral("激光打印机"));
        QCOMPARE(d.ComboPaper->currentIndex(), -1);
        QCOMPARE(d.ComboColor->currentIndex(), -1);
        QCOMPARE(d.ComboDirection->currentText(), QStringLiteral("纵向打印"));
        QCOMPARE(d.ComboQuality->currentIndex(), -1);
        QVERIFY(d.Ttop->text().isEmpty());

        // The checks in order; each failure writes nothing and focuses its control.
        QByteArray before = iniBytes();
        d.show();
        d.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&d));
        d.grab().save(testOutputFolder() + QStringLiteral("/FrmfindGrid.png"));
        auto saveSays = [&](const QString& text, const QString& title, QWidget* focus) {
            MessageBox::clearShown();
            d.buttonSave_Click();
            QCOMPARE(MessageBox::shownBoxes().size(), 1);
            QCOMPARE(MessageBox::shownBoxes()[0].text, text);
            QCOMPARE(MessageBox::shownBoxes()[0].title, title);
            QCOMPARE(MessageBox::shownBoxes()[0].icon, MessageBox::Icon::Critical);
            QVERIFY(focus->hasFocus());
            QCOMPARE(iniBytes(), before);
        };
        const QString setupError = QStringLiteral("设置错误");
        saveSays(QStringLiteral("请选择正确的打印纸张"), setupError, d.ComboPaper);
        d.ComboPaper->setCurrentIndex(1);
        saveSays(QStringLiteral("请选择正确的打印颜色模式设置"), setupError, d.ComboColor);
        d.ComboColor->setCurrentIndex(0);
        d.ComboDirection->setEditText(QStringLiteral("横向"));   // typed, not chosen
        saveSays(QStringLiteral("请选择正确的打印方向设置"), setupError, d.ComboDirection);
        d.ComboDirection->setCurrentIndex(1);
        saveSays(QStringLiteral("请选择正确的打印质量设置"), setupError, d.ComboQuality);
        d.ComboQuality->setCurrentIndex(3);
        saveSays(QStringLiteral("上边距应该为数字"), QStringLiteral("错误"), d.Ttop);
        d.Ttop->setText(QStringLiteral("12.5"));
        d.Tbotton->setText(QStringLiteral("十"));
        saveSays(QStringLiteral("下边距应该为数字"), QStringLiteral("错误"), d.Tbotton);
        d.Tbotton->setText(QStringLiteral("8"));
        d.Tleft->setText(QStringLiteral("-2"));
        saveSays(QStringLiteral("右边距应该为数字"), QStringLiteral("错误"), d.Tright);
        d.Tright->setText(QStringLiteral("0"));

        // 退 出 writes nothing; 保 存 writes the nine keys.
        d.buttonBack_Click();
        QCOMPARE(d.result(), int(QDialog::Rejected));
        QCOMPARE(iniBytes(), before);
        MessageBox::clearShown();
        d.buttonSave_Click();
        QVERIFY(MessageBox::shownBoxes().isEmpty());
        QCOMPARE(d.result(), int(QDialog::Accepted));
        const QStringList keys{GridPrintKeys::Top,   GridPrintKeys::Bottom, GridPrintKeys::Left,
                               GridPrintKeys::Right, GridPrintKeys::Printer, GridPrintKeys::Paper,
                               GridPrintKeys::Color, GridPrintKeys::Direction, GridPrintKeys::Quality};
        QStringList saved;
        for (const QString& k : keys)
            saved << Modini::GetIniValue(GridPrintKeys::Section, k);
        QCOMPARE(saved, QStringList({"12.5", "8", "-2", "0", "激光打印机", "8", "1", "2", "-4"}));

        // The next setup takes them: A3 landscape on the laser printer.
        GridPrinter p;
        p.SetupGridPrinter();
        QVERIFY(p.ready());
        QCOMPARE(p.settings().pageWidth, 23244);   // (420 - 10) mm
        QCOMPARE(p.settings().left, float(-2 * 1440 / 25.4));

        // No printer installed: the first check asks for one.
        before = iniBytes();
        ProgramPrinter::setBackend(std::make_shared<PdfPrinterBackend>());
        d.Form_Load();
        d.show();
        d.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&d));
        saveSays(QStringLiteral("请选择正确的打印机"), setupError, d.cboPrinter);
    }

private:
    std::unique_ptr<TestFolder> folder_;
    std::shared_ptr<PdfPrinterBackend> backend_;
};

QTEST_MAIN(tst_GridPrinter)
#include "tst_GridPrinter.moc"
