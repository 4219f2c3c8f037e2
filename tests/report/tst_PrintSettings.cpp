// The print layout settings, the program's printer with its lists, and reading a report for the page.
#include "core/Database.h"
#include "core/Modini.h"
#include "core/ReportRecord.h"
#include "platform/AppPaths.h"
#include "platform/MessageBox.h"
#include "report/PrintLists.h"
#include "report/PrintSettings.h"
#include "report/ProgramPrinter.h"
#include "report/ReportData.h"
#include "support/CoreKit.h"

#include <QComboBox>
#include <QFile>
#include <QGuiApplication>
#include <QtTest>

using kit::setIni;

class tst_PrintSettings : public QObject {
    Q_OBJECT

private slots:
    void init()
    {
        folder_.reset(new TestFolder);
        QVERIFY(folder_->ok());
        auto backend = std::make_shared<PdfPrinterBackend>();
        auto mono = PdfPrinterBackend::standardPrinter(QStringLiteral("黑白打印机"));
        mono.color = false;
        mono.defaultPaperCode = 11;   // A5
        mono.margins = QMarginsF(3, 4, 3, 4);
        PdfPrinterBackend::Printer none, broken;   // no paper; a paper query that fails
        none.name = QStringLiteral("无纸打印机");
        none.papers = QList<PaperInfo>();
        broken.name = QStringLiteral("故障打印机");
        for (const auto& printer :
             {PdfPrinterBackend::standardPrinter(QStringLiteral("默认打印机")), mono, none, broken})
            backend->addPrinter(printer);
        ProgramPrinter::setBackend(backend);
        MessageBox::clearShown();
        QVERIFY(!ReportData::loadItemCaptions(captions_).failed());
    }
    void cleanup()
    {
        ProgramPrinter::setBackend(nullptr);
        folder_.reset();
    }

    void shippedFileIsComplete()
    {
        // Every key the layout reads is in the shipped options.ini with the built-in default,
        // and each shipped slot names the field its item prints.
        const IniFile shipped(AppPaths::iniFile());
        for (const QString& sk : PrintSettings::allKeys()) {
            const QString section = sk.section(QLatin1Char('/'), 0, 0), key = sk.section(QLatin1Char('/'), 1);
            QVERIFY2(shipped.contains(section, key), qPrintable(sk));
            if (section != QLatin1String("rptxm"))
                QCOMPARE(Modini::GetIniValue(section, key), PrintSettings::defaultValue(section, key));
        }
        for (int slot = 1; slot <= PrintSettings::kSlots; ++slot) {
            const QString item = Modini::GetIniValue(QStringLiteral("rptxm"), QStringLiteral("xm%1").arg(slot));
            const QString id = Modini::GetIniValue(QStringLiteral("rptxm"), QStringLiteral("id%1").arg(slot));
            QCOMPARE(id, item.isEmpty() ? QString() : QString::number(ReportRecord::FieldOfItem(item.toInt())));
        }
    }

    void readingTheLayout()
    {
        const char* const values[][3] = {{"font1", "mFontsize", "10.5"},
                                         {"font1", "mforecolor", "16711680"},
                                         {"font2", "mFontsize", "10.5"},
                                         {"font2", "mforecolor", "16711681"},
                                         {"font3", "mFontItalic", "true"},
                                         {"font4", "mFontBold", "也许"},
                                         {"font5", "mFontname", ""},
                                         {"rptxm", "xm3", "7"},
                                         {"rptxm", "id3", "15"},
                                         {"rptxm", "xm5", "7.9"},
                                         {"parameter", "bLeft", "左"},
                                         {"parameter", "hjj", "1e999"},
                                         {"parameter", "bRight", " 20.5 "},
                                         {"parameter", "LineColor", "99999999999"},
                                         {"printer", "mPaper", "A4"}};
        for (const auto& v : values)
            setIni(v[0], v[1], v[2]);
        PrintSettings s;
        s.load(captions_);
        // Only font set 1 (the hospital name) is kept from light colours and sizes below 12.
        QVERIFY(s.fonts[0].size == 12.0 && s.fonts[0].color == 16711680);
        QVERIFY(s.fonts[1].size == 10.5 && s.fonts[1].color == 16711681);
        QVERIFY(s.fonts[2].italic && !s.fonts[3].bold);
        QCOMPARE(s.slotCaptions[2], QStringLiteral("申请医师"));
        QCOMPARE(s.slotFields[2], QStringLiteral("15"));
        QCOMPARE(s.slotCaptions[4], QStringLiteral("申请医师"));   // whole part of 7.9
        // Malformed or out-of-range numbers and an empty face name take their defaults.
        QVERIFY(s.left == 15.0 && s.hjj == 3.0 && s.right == 20.5);
        QVERIFY(s.lineColor == 0 && s.paperCode == 9);
        QCOMPARE(s.fonts[4].name, QStringLiteral("宋体"));

        setIni("font1", "mforecolor", "16711681");
        // An item number outside 1..23 keeps the caption of the previous load; "" clears it.
        setIni("rptxm", "xm3", "30");
        setIni("rptxm", "xm5", "");
        s.load(captions_);
        QCOMPARE(s.fonts[0].color, 0);
        QCOMPARE(s.slotCaptions[2], QStringLiteral("申请医师"));
        QVERIFY(s.slotCaptions[4].isEmpty());
    }

    void printerSelectionAndPage()
    {
        ProgramPrinter& p = ProgramPrinter::instance();
        auto setPrinter = [](const char* name, const char* paper, const char* direction) {
            setIni("printer", "mPrinter", QString::fromUtf8(name));
            setIni("printer", "mPaper", QString::fromUtf8(paper));
            setIni("printer", "mDirection", QString::fromUtf8(direction));
        };
        // An unknown printer keeps the current one, with the stored paper (A3) and modes.
        setPrinter("不存在", "8", "2");
        PrintSettings s;
        s.load(captions_);
        QCOMPARE(p.printerName(), QStringLiteral("默认打印机"));
        QVERIFY(p.paperCode() == 8 && p.orientationCode() == 2);
        // The page is the landscape A3 less the printer's margins.
        QVERIFY(s.pageWidth == 420.0 - 10 && s.pageHeight == 297.0 - 10 && s.offsetX == 5.0);

        // A named printer; colour refused by a monochrome printer; a paper it lacks is skipped.
        setPrinter("黑白打印机", "4711", "1");
        setIni("printer", "mColor", "2");
        s.load(captions_);
        QCOMPARE(p.printerName(), QStringLiteral("黑白打印机"));
        QCOMPARE(p.paperCode(), 11);                            // its own A5
        QCOMPARE(p.colorCode(), int(ProgramPrinter::Colour));   // kept: the refusal changes nothing
        QVERIFY(!p.setColorCode(ProgramPrinter::Colour));
        QVERIFY(s.pageWidth == 148.0 - 6 && s.offsetY == 4.0);

        // A paper without a Windows number keeps its own code through the settings.
        const auto papers = p.papers();
        QVERIFY(papers);
        int custom = 0;
        for (const PaperInfo& paper : *papers)
            if (paper.name == QStringLiteral("胶片报告纸"))
                custom = paper.code;
        QVERIFY(custom >= 1000);
        setIni("printer", "mPaper", QByteArray::number(custom).constData());
        s.load(captions_);
        QCOMPARE(p.paperCode(), custom);
        QCOMPARE(s.pageWidth, 190.0 - 6);

        // Modes that are missing or not numbers leave the printer's own.
        setIni("printer", "mColor", "1");
        setIni("printer", "mDirection", "2");
        setIni("printer", "mQuality", "-1");
        s.load(captions_);
        for (const char* bad : {"", "横向"}) {
            for (const char* key : {"mColor", "mDirection", "mQuality"})
                setIni("printer", key, bad);
            s.load(captions_);
            QVERIFY(p.colorCode() == 1 && p.orientationCode() == 2 && p.qualityCode() == -1);
        }

        // A printer that reports no paper keeps its default page; printers go by exact names only.
        QVERIFY(p.selectPrinter(QStringLiteral("无纸打印机")));
        QVERIFY(!p.setPaperCode(9));
        QVERIFY(!p.selectPrinter(QStringLiteral("默认")));
    }

    void printerAndPaperLists()
    {
        QComboBox printers, papers;
        PrintLists::FillPrinterCombo(&printers);
        QCOMPARE(printers.count(), 4);
        auto choose = [&](int row) {
            printers.setCurrentIndex(row);
            PrintLists::cboPrinter_Click(&printers, &papers);
        };
        choose(0);
        QCOMPARE(papers.currentText(), QStringLiteral("A4"));   // each printer's current paper is selected
        choose(1);
        QCOMPARE(ProgramPrinter::instance().printerName(), QStringLiteral("黑白打印机"));
        QCOMPARE(papers.currentData().toInt(), 11);

        // No paper: the message, the normal cursor, and an empty list.
        choose(2);
        QCOMPARE(papers.count(), 0);
        QCOMPARE(MessageBox::shownBoxes().size(), 1);
        QCOMPARE(MessageBox::shownBoxes().first().text, QStringLiteral("该打印机无有效的打印纸张大小"));
        QCOMPARE(MessageBox::shownBoxes().first().title, QStringLiteral("打印"));
        QVERIFY(!QGuiApplication::overrideCursor());
        // A failed query empties the list without a message.
        choose(0);
        choose(3);
        QCOMPARE(papers.count(), 0);
        QCOMPARE(MessageBox::shownBoxes().size(), 1);

        // The mode lists select by stored code; an unknown code selects nothing.
        QComboBox q;
        const auto& codes = PrintLists::PrintQualityCodes();
        PrintLists::fillCodeCombo(&q, codes);
        int code = 0;
        QVERIFY(!PrintLists::selectedCode(&q, codes, &code));
        PrintLists::selectCode(&q, codes, -3);
        QVERIFY(PrintLists::selectedCode(&q, codes, &code) && code == -3);
        PrintLists::selectCode(&q, codes, -5);
        QCOMPARE(q.currentIndex(), -1);
    }

    void readingAReport()
    {
        const UmaskScope umask(022);
        // Loose dates, numbers with a sign place, a Null and a quote from the real database.
        QVERIFY(kit::writeBytes(ReportData::previewPictureFile(2), "old"));
        const QByteArray pic1("\xff\xd8\xff\xe0 one"), pic3("\xff\xd8\xff\xe0 three");
        const QueryResult ins = Database::ExecuteSql(
            QStringLiteral("insert into reports (brname, age, ageunit, pgdate, rpdate, times, obligate1, "
                           "checksymptom, picture1, picture3) values (?,?,?,?,?,?,?,?,?,?)"),
            {QStringLiteral("O'Brien"), 45, QStringLiteral("岁"), QStringLiteral("2024-3-5"),
             QStringLiteral("2024-03-06"), 30, QVariant(), QStringLiteral("甲\n乙"), pic1, pic3});
        QVERIFY(ins.ok());
        const qint64 id = Database::LastInsertId();
        ReportContent c;
        QVERIFY(ReportData::loadReport(id, c).ok());
        const QStringList expected = {QStringLiteral("O'Brien"),
                                      QStringLiteral(" 45岁"),
                                      QStringLiteral("2024-03-05"),
                                      QStringLiteral("2024-03-06"),
                                      QStringLiteral(" 30"),
                                      QString(),
                                      QStringLiteral("甲\n乙"),
                                      QString(),
                                      QString()};
        const int fields[] = {1, 3, 9, 10, 14, 20, 18, 0, 25};
        for (int i = 0; i < expected.size(); ++i)
            QCOMPARE(c.values[fields[i]], expected[i]);
        // The stored pictures become files; a stale file of a missing one is removed.
        QVERIFY(!c.pictures[0].isEmpty() && c.pictures[1].isEmpty());
        QVERIFY(!QFile::exists(ReportData::previewPictureFile(2)));
        QCOMPARE(kit::readBytes(c.pictures[2]), pic3);
        // The decrypted copies are owner-only, and go when the preview is done with them.
        QCOMPARE(fileMode(c.pictures[2]), 0600);
        ReportData::removePreviewPictures();
        QVERIFY(!QFile::exists(c.pictures[0]) && !QFile::exists(c.pictures[2]));
        QCOMPARE(ReportData::signedNumberText(-2.5), QStringLiteral("-2.5"));
        // A fee stored with more places (an earlier build's) prints to the cent, rounded
        // on its decimal value, as the editor and the lists show it.
        for (const auto& [stored, printed] : {std::pair{1.005, " 1.01"}, std::pair{2.675, " 2.68"}}) {
            QVERIFY(
                Database::ExecuteSql(QStringLiteral("update reports set times = ? where ctid = ?"), {stored, id}).ok());
            QVERIFY(ReportData::loadReport(id, c).ok());
            QCOMPARE(c.values[14], QString::fromLatin1(printed));
        }
        ReportData::removePreviewPictures();

        // No such report: nothing read, nothing written.
        ReportContent none;
        QCOMPARE(ReportData::loadReport(id + 100, none).number, 1000);
        QVERIFY(none.values[1].isEmpty());
        QVERIFY(!QFile::exists(ReportData::previewPictureFile(1)));
    }

private:
    std::unique_ptr<TestFolder> folder_;
    QStringList captions_;
};

QTEST_MAIN(tst_PrintSettings)
#include "tst_PrintSettings.moc"
