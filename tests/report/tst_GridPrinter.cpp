// The grid printer on a recording surface and on PDF, and its settings dialog.
#include "core/Modini.h"
#include "core/Openers.h"
#include "platform/AppPaths.h"
#include "platform/Environment.h"
#include "platform/MessageBox.h"
#include "platform/Opener.h"
#include "report/FrmfindGrid.h"
#include "report/GridPrinter.h"
#include "report/ProgramPrinter.h"
#include "report/ReportOpeners.h"
#include "support/CoreKit.h"
#include "support/GridSamples.h"
#include "support/PdfKit.h"
#include "support/TestFolder.h"

#include <QComboBox>
#include <QFile>
#include <QHeaderView>
#include <QLineEdit>
#include <QRegularExpression>
#include <QTableWidget>
#include <QtTest>

namespace {
// Draws nothing: records what is drawn, page by page, in twips. A character is
// 10 twips per point wide, a line of text 20 twips per point high.
struct RecordingSurface : GridSurface {
    struct Text {
        int page;
        double x, y;
        QString text;
        GridFont font;
    };
    QList<Text> texts;
    QList<std::pair<int, QLineF>> lines;
    int page = 1, failAtPage = 0;
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
            throw AppError{AppError::PrinterFailure, QStringLiteral("打印机脱机")};
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
    // The first text printed whole as s; an empty record when there is none.
    const Text& find(const QString& s) const
    {
        static const Text none{};
        const auto it = std::find_if(texts.begin(), texts.end(), [&](const Text& t) { return t.text == s; });
        return it == texts.end() ? none : *it;
    }
    bool hasLine(int p, QLineF l) const
    {
        return lines.contains(std::pair(p, l)) || lines.contains(std::pair(p, QLineF(l.p2(), l.p1())));
    }
};

void setGridKey(const IniSetting& key, const QString& value) { Modini::SetIniValue(key, value); }
}

class tst_GridPrinter : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { ReportOpeners::registerAll(); }
    void init()
    {
        folder_ = kit::freshFolder();
        QVERIFY(folder_->ok());
        backend_ = std::make_shared<PdfPrinterBackend>();
        backend_->addPrinter(PdfPrinterBackend::standardPrinter(QStringLiteral("默认打印机")));
        backend_->addPrinter(PdfPrinterBackend::standardPrinter(QStringLiteral("激光打印机")));
        backend_->setOutputFile(folder_->file(QStringLiteral("grid.pdf")));
        ProgramPrinter::setBackend(backend_);
        p_ = GridPrinter();
    }
    void cleanup()
    {
        ProgramPrinter::setBackend(nullptr);
        folder_.reset();
    }

    void pageBlocks()
    {
        // Shipped settings: A4 portrait, 5 mm unprintable, 10 mm margins: 10205 x 15137 twips of room.
        p_.SetupGridPrinter();
        QVERIFY(MessageBox::shownBoxes().isEmpty());
        QCOMPARE(p_.settings().pageWidth, 11339);
        QCOMPARE(p_.settings().pageHeight, 16271);

        // Columns 3000, hidden, 40 (no text), 3000 x 3: blocks [0..4] [5]. Rows: 15 of 1000 fit,
        // row 15 is taller than the room and stands alone, rows 16-17 follow.
        MemoryGrid g(18, 6, 1000, 3000);
        g.widths[1] = 0;
        g.widths[2] = 40;
        g.heights[15] = 16000;
        for (int r = 0; r < 18; ++r)
            for (int c = 0; c < 6; ++c)
                g.at(r, c) = QStringLiteral("r%1c%2").arg(r).arg(c);
        RecordingSurface s;
        p_.PrintGrid(g, s);
        QVERIFY(s.ended && !s.killed);
        QCOMPARE(s.page, 6);
        auto cells = [](int r0, int r1, QList<int> cols) {
            QStringList out;
            for (int r = r0; r <= r1; ++r)
                for (int c : cols)
                    out << QStringLiteral("r%1c%2").arg(r).arg(c);
            return out;
        };
        const QList<int> left{0, 3, 4}, right{5};
        const std::pair<int, int> rows[] = {{0, 14}, {15, 15}, {16, 17}};
        for (int b = 0; b < 3; ++b) {
            QCOMPARE(s.textsOn(2 * b + 1), cells(rows[b].first, rows[b].second, left));
            QCOMPARE(s.textsOn(2 * b + 2), cells(rows[b].first, rows[b].second, right));
            // Every page starts again at the margins: general text is 20 twips in, centred vertically.
            for (int c : {0, 5}) {
                const auto& first = s.find(QStringLiteral("r%1c%2").arg(rows[b].first).arg(c));
                QCOMPARE(first.x, kMargin + 20);
                QCOMPARE(first.y, kMargin + (g.heights[rows[b].first] - 180) / 2.0);
            }
        }
        QCOMPARE(s.find(QStringLiteral("r1c3")).x, kMargin + 3000 + 40 + 20);
        QVERIFY(s.hasLine(3, QLineF(kMargin, kMargin, kMargin, kMargin + 16000)));   // past the bottom margin
    }

    void mergedRunsAndClipping()
    {
        p_.SetupGridPrinter();
        // Row 0 merges "甲" over three columns and is centred; the two empty cells after it do not
        // merge. Column 5 merges down and, too wide to join the others, prints on a page of its own.
        MemoryGrid g(4, 6, 600);
        g.widths = {1000, 1000, 1000, 900, 60, 8000};
        g.mergeRows.insert(0);
        g.at(0, 0) = g.at(0, 1) = g.at(0, 2) = QStringLiteral("甲");
        g.rowAlignments[0] = PrintableGrid::CenterCenter;
        g.at(1, 0) = QStringLiteral("abc\r\ndef");
        g.at(1, 1) = QStringLiteral("ab\ncd");
        g.at(1, 2) = QStringLiteral("0123456789ABCDEF");
        g.at(1, 3) = QStringLiteral("😀😀😀😀😀😀");   // room for 9 half characters: four whole emoji
        g.at(2, 0) = QString(100000, QChar(0x957F));
        g.at(2, 4) = QStringLiteral("x");   // wider than 40, yet no character fits
        g.mergeCols.insert(5);
        g.at(0, 5) = g.at(1, 5) = QStringLiteral("丙");
        g.at(2, 5) = QStringLiteral("丁");
        RecordingSurface s;
        p_.PrintGrid(g, s);

        QCOMPARE(s.textsOn(1), QStringList({"甲", "abc", "ab", "0123456789", "😀😀😀😀", QString(10, QChar(0x957F))}));
        QCOMPARE(s.find(QStringLiteral("甲")).x, kMargin + (3000 - 90) / 2.0);
        QCOMPARE(s.find(QStringLiteral("甲")).y, kMargin + (600 - 180) / 2.0);
        QVERIFY(!s.hasLine(1, QLineF(kMargin + 1000, kMargin, kMargin + 1000, kMargin + 600)));
        QVERIFY(s.hasLine(1, QLineF(kMargin + 3000, kMargin, kMargin + 3000, kMargin + 600)));
        QVERIFY(s.hasLine(1, QLineF(kMargin + 3900, kMargin, kMargin + 3900, kMargin + 600)));
        QCOMPARE(s.textsOn(2), QStringList({"丙", "丁"}));
        QCOMPARE(s.find(QStringLiteral("丙")).y, kMargin + (1200 - 180) / 2.0);
        QVERIFY(!s.hasLine(2, QLineF(kMargin, kMargin + 600, kMargin + 8000, kMargin + 600)));

        // A run cut by the page's edge shows its text again on the next page.
        MemoryGrid wide(1, 3, 600, 4000);
        wide.mergedRow(0, QStringLiteral("合计"));
        RecordingSurface w;
        p_.PrintGrid(wide, w);
        QCOMPARE(w.textsOn(1), QStringList{"合计"});
        QCOMPARE(w.textsOn(2), QStringList{"合计"});
        QVERIFY(w.hasLine(1, QLineF(kMargin + 8000, kMargin, kMargin + 8000, kMargin + 600)));
    }

    void fontsAndAlignmentFromTheGrid()
    {
        // A table widget: rows 0-2 take the font and alignment of their first cell, row 3 the
        // grid's font; later rows keep that font and the alignment of cell (2, 0).
        p_.SetupGridPrinter();
        QTableWidget t(6, 2);
        t.horizontalHeader()->hide();
        t.setFont(QFont(QStringLiteral("宋体"), 11));
        for (int r = 0; r < 6; ++r)
            for (int c = 0; c < 2; ++c)
                t.setItem(r, c, new QTableWidgetItem(QStringLiteral("%1-%2").arg(r).arg(c)));
        QFont title(QStringLiteral("黑体"), 18);
        title.setBold(true);
        t.item(0, 0)->setFont(title);
        t.item(0, 0)->setTextAlignment(Qt::AlignCenter);
        t.item(0, 1)->setFont(QFont(QStringLiteral("楷体"), 30));   // not a first cell: unused
        QFont date(QStringLiteral("宋体"), 9);
        date.setItalic(true);
        t.item(1, 0)->setFont(date);
        t.item(1, 0)->setForeground(QColor(200, 0, 0));
        t.item(2, 0)->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
        t.item(4, 1)->setFont(QFont(QStringLiteral("楷体"), 30));
        t.setCurrentCell(4, 1);
        RecordingSurface s;
        p_.PrintGrid(TableViewGrid(&t), s);

        QCOMPARE(s.texts.size(), 12);
        const double w = t.columnWidth(0) * 15, h = t.rowHeight(0) * 15;
        QVERIFY(s.find(QStringLiteral("0-1")).font.bold && s.find(QStringLiteral("0-1")).font.size == 18);
        QCOMPARE(s.find(QStringLiteral("0-1")).x, kMargin + w + (w - 3 * 180) / 2);
        QVERIFY(s.find(QStringLiteral("1-1")).font.italic);
        QCOMPARE(s.find(QStringLiteral("1-1")).font.color, QColor(200, 0, 0));
        for (const char* later : {"3-0", "4-1", "5-1"})
            QCOMPARE(s.find(QString::fromLatin1(later)).font, TableViewGrid(&t).gridFont());
        QCOMPARE(s.find(QStringLiteral("4-1")).x, kMargin + 2 * w - 3 * 110 - 20);
        // Printing leaves the user's current cell where it was.
        QCOMPARE(std::pair(t.currentRow(), t.currentColumn()), std::pair(4, 1));

        // Without text in row 3 later rows keep row 2's font; without text in rows 0-2 they take
        // the alignment of the grid's current cell.
        t.item(2, 0)->setFont(QFont(QStringLiteral("仿宋"), 12));
        t.item(3, 0)->setText(QString());
        t.item(3, 1)->setText(QString());
        RecordingSurface s2;
        p_.PrintGrid(TableViewGrid(&t), s2);
        QCOMPARE(s2.find(QStringLiteral("5-0")).font.name, QStringLiteral("仿宋"));
        for (int r = 0; r < 3; ++r)
            for (int c = 0; c < 2; ++c)
                t.item(r, c)->setText(QString());
        t.item(4, 1)->setTextAlignment(Qt::AlignHCenter | Qt::AlignTop);
        RecordingSurface s3;
        p_.PrintGrid(TableViewGrid(&t), s3);
        QCOMPARE(s3.find(QStringLiteral("5-0")).y, kMargin + 5 * h + 10);
    }

    void emptyGridFailuresAndRefusals()
    {
        p_.SetupGridPrinter();
        RecordingSurface empty;
        p_.PrintGrid(MemoryGrid(0, 5), empty);
        QVERIFY(empty.ended && empty.lines.isEmpty() && empty.page == 1);
        p_.PrintGrid(MemoryGrid(0, 5));
        QVERIFY(!QFile::exists(backend_->outputFile()));

        // A job that fails on its third page is abandoned and reported, never ended.
        MemoryGrid tall(60, 2, 1000, 2000);
        RecordingSurface failing;
        failing.failAtPage = 3;
        p_.PrintGrid(tall, failing);
        QVERIFY(failing.killed && !failing.ended);
        QCOMPARE(kit::lastText(), QStringLiteral("482:打印机脱机"));
        QCOMPARE(kit::lastTitle(), QStringLiteral("错误"));

        // Settings never saved print with the shipped ones (A4, 10 mm margins), without a word.
        MessageBox::clearShown();
        setGridKey(IniKey::GridPaper, QString());
        setGridKey(IniKey::GridBottom, QString());
        p_.SetupGridPrinter();
        QVERIFY2(MessageBox::shownBoxes().isEmpty(), qPrintable(kit::lastText()));
        QCOMPARE(p_.settings().paperCode, 9);
        QCOMPARE(p_.settings().bottom, float(10 * 1440 / 25.4));

        // A margin that is no number: the setup says so once and the print right after it starts
        // nothing; a print without a new setup says it again. Never a page per cell.
        setGridKey(IniKey::GridBottom, QStringLiteral("十"));
        p_.SetupGridPrinter();
        QVERIFY(kit::lastText().startsWith(QStringLiteral("13:类型不匹配")));
        QVERIFY(kit::lastText().contains(IniKey::GridBottom.key));
        RecordingSurface refused;
        p_.PrintGrid(tall, refused);
        QCOMPARE(MessageBox::shownBoxes().size(), 1);
        p_.PrintGrid(tall);
        QVERIFY(refused.lines.isEmpty() && !refused.ended && !QFile::exists(backend_->outputFile()));
        QCOMPARE(MessageBox::shownBoxes().size(), 2);
        QCOMPARE(MessageBox::shownBoxes()[1].text, MessageBox::shownBoxes()[0].text);

        // Margins that leave nothing of the page, a paper that is no number: refused the same way.
        setGridKey(IniKey::GridBottom, QStringLiteral("150"));
        setGridKey(IniKey::GridTop, QStringLiteral("150"));
        p_.SetupGridPrinter();
        QVERIFY(kit::lastText().startsWith(QStringLiteral("380:")));
        // A negative margin would print the first rows above the paper: refused naming it.
        for (const IniSetting& key : {IniKey::GridTop, IniKey::GridLeft}) {
            setGridKey(IniKey::GridTop, QStringLiteral("10"));
            setGridKey(IniKey::GridBottom, QStringLiteral("10"));
            setGridKey(key, QStringLiteral("-50"));
            MessageBox::clearShown();
            p_.SetupGridPrinter();
            const QString name = key.key == IniKey::GridTop.key ? QStringLiteral("上边距") : QStringLiteral("左边距");
            QVERIFY2(kit::lastText().startsWith(QStringLiteral("380:")) && kit::lastText().contains(name + "不能为负数")
                         && !p_.ready(),
                     qPrintable(kit::lastText()));
            p_.PrintGrid(tall);
            QVERIFY(!QFile::exists(backend_->outputFile()));
            setGridKey(key, QStringLiteral("10"));
        }
        setGridKey(IniKey::GridTop, QStringLiteral("10"));
        setGridKey(IniKey::GridBottom, QStringLiteral("10"));
        setGridKey(IniKey::GridPaper, QStringLiteral("A4"));
        p_.SetupGridPrinter();
        QVERIFY(kit::lastText().contains(IniKey::GridPaper.key) && !p_.ready());
    }

    void unequalMarginsAndLineWidthsOnPaper()
    {
        // Top 30 mm, bottom 10 mm: A4's printable 16271 twips leave 16271 - 1701 - 567 = 14003 for
        // rows, 14 rows of 1000 twips (the top margin taken twice would leave 12, the bottom twice 15).
        setGridKey(IniKey::GridTop, QStringLiteral("30"));
        setGridKey(IniKey::GridBottom, QStringLiteral("10"));
        p_.SetupGridPrinter();
        QVERIFY(MessageBox::shownBoxes().isEmpty());
        MemoryGrid g(30, 1, 1000, 3000);
        for (int r = 0; r < 30; ++r)
            g.at(r, 0) = QStringLiteral("r%1").arg(r);
        RecordingSurface s;
        p_.PrintGrid(g, s);
        QCOMPARE(s.page, 3);
        QCOMPARE(s.textsOn(1).size(), 14);
        QCOMPARE(s.textsOn(2).first(), QStringLiteral("r14"));
        const double top = std::nearbyint(30 * 1440 / 25.4);
        QCOMPARE(s.find(QStringLiteral("r14")).y, top + (1000 - 180) / 2.0);   // page 2 starts at the top margin
        QVERIFY(s.hasLine(2, QLineF(kMargin, top, kMargin + 3000, top)));

        // The cell lines are 5 dots of 1200 dpi (0.106 mm) on paper at every print quality: printed at
        // 150 and at 1200 dpi, both come out 5 pixels thick at 1200 dpi (lines drawn in the printer's
        // dots would be 8 times thicker at 150 dpi, a hairline 1 pixel at both).
        MemoryGrid empty(3, 2, 1000, 3000);
        const QString pdf = backend_->outputFile();
        // 20 to 30 mm from the sheet's left edge, 10 to 40 mm from its top: inside the first cell.
        const QRect crop(945, 472, 472, 1417);
        for (const auto& [quality, dpi] : {std::pair(-1, 150), std::pair(-4, 1200)}) {
            setGridKey(IniKey::GridQuality, QString::number(quality));
            p_.SetupGridPrinter();
            QCOMPARE(ProgramPrinter::instance().resolution(), dpi);
            p_.PrintGrid(empty);
            QVERIFY2(MessageBox::shownBoxes().isEmpty(), qPrintable(kit::lastText()));
            const QImage img = kit::pdfPageImage(pdf, 1, folder_->file(QStringLiteral("lines%1").arg(dpi)), 1200, crop);
            QVERIFY(!img.isNull());
            const int thick = kit::thickestRun(img, [](QRgb c) { return qGray(c) < 128; });
            QVERIFY2(thick >= 4 && thick <= 6, qPrintable(QStringLiteral("%1 dpi: %2 px").arg(dpi).arg(thick)));
        }
    }

    void failuresAfterTheJobLeft()
    {
        // The list goes the report's way: a refused submission and a job file cut short by a
        // full temporary folder are said under 错误 with the printer's name; nothing is printed.
        p_.SetupGridPrinter();
        const MemoryGrid g = gridsamples::queryList(200);
        backend_->refuseSubmissions(PrintQueue::Answer::Refused, QStringLiteral("client-error-not-possible"));
        p_.PrintGrid(g);
        QCOMPARE(kit::lastTitle(), QStringLiteral("错误"));
        QCOMPARE(kit::lastText(),
                 QStringLiteral("482:打印机“默认打印机”拒绝了打印作业（CUPS：client-error-not-possible）"));
        backend_->refuseSubmissions(PrintQueue::Answer::None);
        MessageBox::clearShown();
        {
            kit::FileSizeLimit full(8 * 1024);
            QVERIFY(full.ok());
            p_.PrintGrid(g);
        }
        QCOMPARE(MessageBox::shownBoxes().size(), 1);
        QVERIFY(kit::lastText().contains(QStringLiteral("没有完整写入临时文件")));
        QVERIFY(kit::lastText().contains(QStringLiteral("“默认打印机”")));
        QVERIFY(!QFile::exists(backend_->outputFile()) && backend_->submitted() == 0);
        MessageBox::clearShown();
        p_.PrintGrid(g);
        QVERIFY(MessageBox::shownBoxes().isEmpty() && kit::pdfPages(backend_->outputFile()) >= 1);
    }

    void longListToPdf()
    {
        // 2,000 results on A3 landscape: every text once, in order, the title once on page 1.
        const MemoryGrid g = gridsamples::queryList(2000);
        setGridKey(IniKey::GridPaper, QStringLiteral("8"));
        setGridKey(IniKey::GridDirection, QStringLiteral("2"));
        p_.SetupGridPrinter();
        p_.PrintGrid(g);
        QVERIFY2(MessageBox::shownBoxes().isEmpty(), qPrintable(kit::lastText()));
        const QString pdf = backend_->outputFile();

        QString expected;
        const double room = p_.settings().pageHeight - 2 * p_.settings().top;
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
        QCOMPARE(kit::pdfPages(pdf), pages);
        QVERIFY(kit::runTool(QStringLiteral("pdfinfo"), {pdf}).contains(QStringLiteral("1191 x 842 pts (A3)")));
        const QString all = kit::pdfText(pdf, 0, true);
        QVERIFY2(all == expected, qPrintable(all.left(300) + QStringLiteral(" ... ") + expected.left(300)));
        QCOMPARE(all.count(gridsamples::kTitle), 1);
        QVERIFY(kit::pdfText(pdf, 1, true).startsWith(gridsamples::kTitle));

        // The job is named for what it prints: the grid's title row, or the name its window gives.
        auto title = [&pdf] {
            const auto m = QRegularExpression(QStringLiteral("Title:\\s+([^\\n]*)\\n"))
                               .match(kit::runTool(QStringLiteral("pdfinfo"), {pdf}));
            return m.hasMatch() ? m.captured(1) : QString();
        };
        QCOMPARE(title(), gridsamples::kTitle.trimmed());
        const MemoryGrid small = gridsamples::queryList(3);
        p_.PrintGrid(small, QStringLiteral("查询结果"));
        QCOMPARE(title(), QStringLiteral("查询结果"));
    }

    void settingsDialog()
    {
        // Stored codes that are missing, malformed or unknown select nothing; an uninstalled printer
        // leaves the current one chosen; empty margins stay empty.
        setGridKey(IniKey::GridPrinterName, QStringLiteral("已拆除的打印机"));
        setGridKey(IniKey::GridPaper, QString());
        setGridKey(IniKey::GridColor, QStringLiteral("彩色"));
        setGridKey(IniKey::GridQuality, QStringLiteral("-5"));
        for (const IniSetting& k : {IniKey::GridTop, IniKey::GridBottom, IniKey::GridLeft, IniKey::GridRight})
            setGridKey(k, QString());
        ProgramPrinter::instance().selectPrinter(QStringLiteral("激光打印机"));
        QDialog* shown = nullptr;
        Opener::setHook([&shown](QDialog* d) {
            shown = d;
            return 0;
        });
        Openers::OpenGridPrintSettings();
        FrmfindGrid& d = FrmfindGrid::instance();
        QCOMPARE(shown, &d);
        QCOMPARE(d.cboPrinter->currentText(), QStringLiteral("激光打印机"));
        for (QComboBox* c : {d.ComboPaper, d.ComboColor, d.ComboQuality})
            QCOMPARE(c->currentIndex(), -1);
        QCOMPARE(d.ComboDirection->currentText(), QStringLiteral("纵向打印"));
        QVERIFY(d.Ttop->text().isEmpty());

        // The checks in order; each failure writes nothing and focuses its control.
        d.show();
        d.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&d));
        QByteArray before = kit::readBytes(AppPaths::iniFile());
        auto saveSays = [&](const char* text, const char* title, QWidget* focus) {
            MessageBox::clearShown();
            d.buttonSave_Click();
            QCOMPARE(MessageBox::shownBoxes().size(), 1);
            QCOMPARE(kit::lastText(), QString::fromUtf8(text));
            QCOMPARE(kit::lastTitle(), QString::fromUtf8(title));
            QVERIFY(focus->hasFocus());
            QCOMPARE(kit::readBytes(AppPaths::iniFile()), before);
        };
        saveSays("请选择正确的打印纸张", "设置错误", d.ComboPaper);
        d.ComboPaper->setCurrentIndex(1);
        saveSays("请选择正确的打印颜色模式设置", "设置错误", d.ComboColor);
        d.ComboColor->setCurrentIndex(0);
        d.ComboDirection->setEditText(QStringLiteral("横向"));   // typed, not chosen
        saveSays("请选择正确的打印方向设置", "设置错误", d.ComboDirection);
        d.ComboDirection->setCurrentIndex(1);
        saveSays("请选择正确的打印质量设置", "设置错误", d.ComboQuality);
        d.ComboQuality->setCurrentIndex(3);
        saveSays("上边距应该为数字", "错误", d.Ttop);
        // A number beyond every number the page could use is none either.
        d.Ttop->setText(QStringLiteral("1e999"));
        saveSays("上边距应该为数字", "错误", d.Ttop);
        d.Ttop->setText(QStringLiteral("12.5"));
        d.Tbotton->setText(QStringLiteral("十"));
        saveSays("下边距应该为数字", "错误", d.Tbotton);
        d.Tbotton->setText(QStringLiteral("8"));
        d.Tleft->setText(QStringLiteral("-2"));
        saveSays("右边距应该为数字", "错误", d.Tright);
        d.Tright->setText(QStringLiteral("0"));
        // A negative margin would print the list beside the paper.
        saveSays("左边距不能为负数：左边距最小为 0 毫米", "错误", d.Tleft);
        d.Tleft->setText(QStringLiteral("+2"));

        // 退 出 writes nothing; 保 存 writes the nine keys, which the next setup takes.
        d.buttonBack_Click();
        QCOMPARE(kit::readBytes(AppPaths::iniFile()), before);
        MessageBox::clearShown();
        d.buttonSave_Click();
        QVERIFY(MessageBox::shownBoxes().isEmpty());
        QCOMPARE(d.result(), int(QDialog::Accepted));
        QStringList saved;
        for (const IniSetting& k :
             {IniKey::GridTop, IniKey::GridBottom, IniKey::GridLeft, IniKey::GridRight, IniKey::GridPrinterName,
              IniKey::GridPaper, IniKey::GridColor, IniKey::GridDirection, IniKey::GridQuality})
            saved << Modini::GetIniValue(k);
        QCOMPARE(saved, QStringList({"12.5", "8", "+2", "0", "激光打印机", "8", "1", "2", "-4"}));
        p_.SetupGridPrinter();
        QCOMPARE(p_.settings().pageWidth, 23244);   // A3 landscape: (420 - 10) mm
        QCOMPARE(p_.settings().left, float(2 * 1440 / 25.4));

        // No printer installed, or none because the print service does not run: said as the
        // dialog opens (without the service's words that tell nothing), and by the first check.
        const struct {
            std::optional<QString> down;
            const char* opening;
            const char* check;
        } missing[] = {
            {std::nullopt, "未打印机，安装打印机后才能使用打印设置功能。", "请选择正确的打印机"},
            {QStringLiteral("Bad file descriptor"),
             "打印服务没有运行，找不到任何打印机；请启动打印服务（CUPS）后再进行此操作",
             "打印服务没有运行，找不到任何打印机；请启动打印服务（CUPS）后再进行此操作"},
        };
        before = kit::readBytes(AppPaths::iniFile());
        for (const auto& m : missing) {
            auto none = std::make_shared<PdfPrinterBackend>();
            none->setServiceDown(m.down);
            ProgramPrinter::setBackend(none);
            MessageBox::clearShown();
            Openers::OpenGridPrintSettings();
            QCOMPARE(MessageBox::shownBoxes().size(), 1);
            QCOMPARE(kit::lastText(), QString::fromUtf8(m.opening));
            QCOMPARE(kit::lastTitle(), QStringLiteral("错误"));
            d.show();
            d.activateWindow();
            QVERIFY(QTest::qWaitForWindowActive(&d));
            saveSays(m.check, "设置错误", d.cboPrinter);
        }
    }

    void marginsAtTheLimitAndPast_data()
    {
        QTest::addColumn<int>("field");   // 0 top, 1 bottom, 2 left, 3 right
        QTest::addColumn<QString>("typed");
        QTest::newRow("top 300") << 0 << "300";
        QTest::newRow("bottom 280") << 1 << "280";
        QTest::newRow("left 250") << 2 << "250";
        QTest::newRow("right 300") << 3 << "300";
    }
    void marginsAtTheLimitAndPast()
    {
        // The grid print settings refuse at 保 存 a margin that leaves no room for a line of the
        // list on A4, naming the field and the largest value that fits; that value is saved and
        // prints, a tenth more is refused. Stored by hand, the setup says the same and no job
        // is sent.
        QFETCH(int, field);
        QFETCH(QString, typed);
        const IniSetting keys[] = {IniKey::GridTop, IniKey::GridBottom, IniKey::GridLeft, IniKey::GridRight};
        const char* const names[] = {"上边距", "下边距", "左边距", "右边距"};
        Opener::setHook([](QDialog*) { return 0; });
        Openers::OpenGridPrintSettings();
        FrmfindGrid& d = FrmfindGrid::instance();
        d.show();
        d.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&d));
        d.ComboPaper->setCurrentIndex(d.ComboPaper->findData(9));   // A4
        d.ComboDirection->setCurrentIndex(0);                       // portrait
        QLineEdit* const boxes[] = {d.Ttop, d.Tbotton, d.Tleft, d.Tright};
        for (QLineEdit* b : boxes)
            b->setText(QStringLiteral("10"));
        QLineEdit* box = boxes[field];
        const QByteArray before = kit::readBytes(AppPaths::iniFile());
        const QRegularExpression largestSaid(QStringLiteral("最大为 (\\d+(\\.\\d)?) 毫米"));
        auto refusedWith = [&](const QString& value) {
            box->setText(value);
            MessageBox::clearShown();
            d.buttonSave_Click();
            const auto shown = MessageBox::shownBoxes();
            if (shown.size() != 1 || !box->hasFocus() || kit::readBytes(AppPaths::iniFile()) != before
                || !shown.first().text.startsWith(QString::fromUtf8(names[field]))) {
                qWarning("%s", qPrintable(shown.isEmpty() ? QStringLiteral("saved") : shown.first().text));
                return QString();
            }
            return largestSaid.match(shown.first().text).captured(1);
        };
        const QString largest = refusedWith(typed);
        QVERIFY(!largest.isEmpty());
        const double mm = largest.toDouble();
        QVERIFY2(mm > 150 && mm < (field < 2 ? 287 : 200) - 10, qPrintable(largest));
        QCOMPARE(refusedWith(QString::number(mm + 0.1)), largest);

        box->setText(largest);
        MessageBox::clearShown();
        d.buttonSave_Click();
        QVERIFY(MessageBox::shownBoxes().isEmpty());
        QCOMPARE(Modini::GetIniValue(keys[field]), largest);
        p_.SetupGridPrinter();
        QVERIFY(MessageBox::shownBoxes().isEmpty() && p_.ready());
        p_.PrintGrid(MemoryGrid(3, 3, 300, 300));
        // Room for a line, not for a cell of 300 twips: a row (column) a page, never more.
        QCOMPARE(kit::pdfPages(backend_->outputFile()), 3);
        d.hide();

        QVERIFY(QFile::remove(backend_->outputFile()));
        setGridKey(keys[field], typed);
        p_.SetupGridPrinter();
        QVERIFY2(kit::lastText().startsWith(QStringLiteral("380:"))
                     && kit::lastText().contains(QString::fromUtf8(names[field]))
                     && largestSaid.match(kit::lastText()).captured(1) == largest,
                 qPrintable(kit::lastText()));
        p_.PrintGrid(MemoryGrid(3, 3, 300, 300));
        QVERIFY(!QFile::exists(backend_->outputFile()) && backend_->submitted() == 1);
    }

private:
    static constexpr double kMargin = 567;   // 10 mm in whole twips
    std::unique_ptr<TestFolder> folder_;
    std::shared_ptr<PdfPrinterBackend> backend_;
    GridPrinter p_;
};

QTEST_MAIN(tst_GridPrinter)
#include "tst_GridPrinter.moc"
