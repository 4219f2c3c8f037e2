// The print layout settings, the program's printer and reading a report for the page.
#include "core/ModADOconnect.h"
#include "core/Modini.h"
#include "platform/AppPaths.h"
#include "report/PrintSettings.h"
#include "report/ProgramPrinter.h"
#include "report/ReportData.h"
#include "support/TestFolder.h"

#include <QFile>
#include <QtTest>

class tst_PrintSettings : public QObject {
    Q_OBJECT

private slots:
    void init()
    {
        folder_.reset(new TestFolder);
        QVERIFY(folder_->ok());
        backend_ = std::make_shared<PdfPrinterBackend>();
        backend_->addPrinter(PdfPrinterBackend::standardPrinter(QStringLiteral("默认打印机")));
        auto mono = PdfPrinterBackend::standardPrinter(QStringLiteral("黑白打印机"));
        mono.color = false;
        mono.defaultPaperCode = 11;   // A5
        mono.margins = QMarginsF(3, 4, 3, 4);
        backend_->addPrinter(mono);
        PdfPrinterBackend::Printer none;
        none.name = QStringLiteral("无纸打印机");
        none.papers = QList<PaperInfo>();
        backend_->addPrinter(none);
        ProgramPrinter::setBackend(backend_);
        QVERIFY(!ReportData::loadItemCaptions(captions_).failed());
    }
    void cleanup()
    {
        ProgramPrinter::setBackend(nullptr);
        folder_.reset();
    }

    void shippedFileIsComplete()
    {
        // Every key the layout reads is in the shipped options.ini with the built-in default.
        for (const QString& sk : PrintSettings::allKeys()) {
            const QString section = sk.section(QLatin1Char('/'), 0, 0);
            const QString key = sk.section(QLatin1Char('/'), 1);
            QVERIFY2(IniFile(AppPaths::iniFile()).contains(section, key), qPrintable(sk));
            if (section != QLatin1String("rptxm"))
                QCOMPARE(Modini::GetIniValue(section, key), PrintSettings::defaultValue(section, key));
        }
        for (const char* k : {"bTop", "bBotton", "bLeft", "bRight", "mPrinter", "mPaper", "mColor", "mDirection", "mQuality"})
            QVERIFY(IniFile(AppPaths::iniFile()).contains(QStringLiteral("gridprint"), QString::fromLatin1(k)));

        PrintSettings s;
        s.load(captions_);
        QCOMPARE(s.slotCaptions[0], QStringLiteral("检查号"));
        QCOMPARE(s.slotFields[0], QStringLiteral("24"));
        QCOMPARE(s.slotCaptions[20], QStringLiteral("检查所见"));
        QCOMPARE(s.slotFields[20], QStringLiteral("18"));
        QCOMPARE(s.slotCaptions[26], QStringLiteral("报告医师"));
        QVERIFY(s.slotCaptions[15].isEmpty() && s.slotFields[15].isEmpty());
        QCOMPARE(s.hjj2, 1.5);
        QCOMPARE(s.fonts[2].size, 10.5);
        QVERIFY(s.fonts[0].bold);
        QCOMPARE(s.rptfoot, QStringLiteral("本报告仅供临床参考"));
        QVERIFY(s.printPictures);
    }

    void fontSetOneAndSlots()
    {
        Modini::SetIniValue(QStringLiteral("font1"), QStringLiteral("mFontsize"), QStringLiteral("10.5"));
        Modini::SetIniValue(QStringLiteral("font1"), QStringLiteral("mforecolor"), QStringLiteral("16711680"));
        Modini::SetIniValue(QStringLiteral("font2"), QStringLiteral("mFontsize"), QStringLiteral("10.5"));
        Modini::SetIniValue(QStringLiteral("font2"), QStringLiteral("mforecolor"), QStringLiteral("16711681"));
        Modini::SetIniValue(QStringLiteral("font3"), QStringLiteral("mFontItalic"), QStringLiteral("true"));
        Modini::SetIniValue(QStringLiteral("rptxm"), QStringLiteral("xm3"), QStringLiteral("7"));
        Modini::SetIniValue(QStringLiteral("rptxm"), QStringLiteral("id3"), QStringLiteral("15"));
        Modini::SetIniValue(QStringLiteral("rptxm"), QStringLiteral("xm5"), QStringLiteral("7.9"));
        Modini::SetIniValue(QStringLiteral("parameter"), QStringLiteral("bpic"), QStringLiteral("0"));
        PrintSettings s;
        s.load(captions_);
        QCOMPARE(s.fonts[0].size, 12.0);
        QCOMPARE(s.fonts[0].color, 16711680);
        QCOMPARE(s.fonts[1].size, 10.5);       // only font set 1 is corrected
        QCOMPARE(s.fonts[1].color, 16711681);
        QVERIFY(s.fonts[2].italic);
        QCOMPARE(s.slotCaptions[2], QStringLiteral("申请医师"));
        QCOMPARE(s.slotFields[2], QStringLiteral("15"));
        QCOMPARE(s.slotCaptions[4], QStringLiteral("申请医师"));   // whole part of 7.9
        QVERIFY(!s.printPictures);

        Modini::SetIniValue(QStringLiteral("font1"), QStringLiteral("mforecolor"), QStringLiteral("16711681"));
        // An item number outside 1..23 keeps the caption of the previous load; "" clears it.
        Modini::SetIniValue(QStringLiteral("rptxm"), QStringLiteral("xm3"), QStringLiteral("30"));
        Modini::SetIniValue(QStringLiteral("rptxm"), QStringLiteral("xm5"), QString());
        s.load(captions_);
        QCOMPARE(s.fonts[0].color, 0);
        QCOMPARE(s.slotCaptions[2], QStringLiteral("申请医师"));
        QVERIFY(s.slotCaptions[4].isEmpty());
    }

    void malformedNumbersTakeDefaults()
    {
        Modini::SetIniValue(QStringLiteral("parameter"), QStringLiteral("bLeft"), QStringLiteral("左"));
        Modini::SetIniValue(QStringLiteral("parameter"), QStringLiteral("hjj"), QStringLiteral("1e999"));
        Modini::SetIniValue(QStringLiteral("parameter"), QStringLiteral("bRight"), QStringLiteral(" 20.5 "));
        Modini::SetIniValue(QStringLiteral("parameter"), QStringLiteral("LineColor"), QStringLiteral("99999999999"));
        Modini::SetIniValue(QStringLiteral("printer"), QStringLiteral("mPaper"), QStringLiteral("A4"));
        Modini::SetIniValue(QStringLiteral("font4"), QStringLiteral("mFontBold"), QStringLiteral("也许"));
        Modini::SetIniValue(QStringLiteral("font5"), QStringLiteral("mFontname"), QString());
        PrintSettings s;
        s.load(captions_);
        QCOMPARE(s.left, 15.0);
        QCOMPARE(s.hjj, 3.0);
        QCOMPARE(s.right, 20.5);
        QCOMPARE(s.lineColor, 0);
        QCOMPARE(s.paperCode, 9);
        QVERIFY(!s.fonts[3].bold);
        QCOMPARE(s.fonts[4].name, QStringLiteral("宋体"));
    }

    void printerSelectionAndPage()
    {
        ProgramPrinter& p = ProgramPrinter::instance();
        QCOMPARE(p.printerName(), QStringLiteral("默认打印机"));

        // An unknown printer keeps the current one, with the stored paper and modes.
        Modini::SetIniValue(QStringLiteral("printer"), QStringLiteral("mPrinter"), QStringLiteral("不存在"));
        Modini::SetIniValue(QStringLiteral("printer"), QStringLiteral("mPaper"), QStringLiteral("8"));   // A3
        Modini::SetIniValue(QStringLiteral("printer"), QStringLiteral("mDirection"), QStringLiteral("2"));
        Modini::SetIniValue(QStringLiteral("printer"), QStringLiteral("mQuality"), QStringLiteral("-1"));
        PrintSettings s;
        s.pageCount = 5;
        s.currentPage = 3;
        s.load(captions_);
        QCOMPARE(p.printerName(), QStringLiteral("默认打印机"));
        QCOMPARE(p.paperCode(), 8);
        QCOMPARE(p.orientationCode(), 2);
        QCOMPARE(p.resolution(), 150);
        QCOMPARE(s.pageWidth, 420.0 - 10);
        QCOMPARE(s.pageHeight, 297.0 - 10);
        QCOMPARE(s.offsetX, 5.0);
        QCOMPARE(s.pageCount, 0);
        QCOMPARE(s.currentPage, 1);

        // A named printer; colour refused by a monochrome printer; a paper it lacks is skipped.
        Modini::SetIniValue(QStringLiteral("printer"), QStringLiteral("mPrinter"), QStringLiteral("黑白打印机"));
        Modini::SetIniValue(QStringLiteral("printer"), QStringLiteral("mPaper"), QStringLiteral("4711"));
        Modini::SetIniValue(QStringLiteral("printer"), QStringLiteral("mDirection"), QStringLiteral("1"));
        Modini::SetIniValue(QStringLiteral("printer"), QStringLiteral("mColor"), QStringLiteral("2"));
        Modini::SetIniValue(QStringLiteral("printer"), QStringLiteral("mQuality"), QStringLiteral("-4"));
        s.load(captions_);
        QCOMPARE(p.printerName(), QStringLiteral("黑白打印机"));
        QCOMPARE(p.paperCode(), 11);   // its own A5
        QCOMPARE(p.colorCode(), int(ProgramPrinter::Colour));   // kept: the refusal changes nothing
        QVERIFY(!p.setColorCode(ProgramPrinter::Colour));
        QVERIFY(p.setColorCode(ProgramPrinter::Monochrome));
        QCOMPARE(p.resolution(), 1200);
        QCOMPARE(s.pageWidth, 148.0 - 6);
        QCOMPARE(s.offsetY, 4.0);

        // A paper without a Windows number keeps its own code through the settings.
        const auto papers = p.papers();
        QVERIFY(papers);
        int custom = 0;
        for (const PaperInfo& paper : *papers)
            if (paper.name == QStringLiteral("胶片报告纸"))
                custom = paper.code;
        QVERIFY(custom >= 1000);
        Modini::SetIniValue(QStringLiteral("printer"), QStringLiteral("mPaper"), QString::number(custom));
        s.load(captions_);
        QCOMPARE(p.paperCode(), custom);
        QCOMPARE(s.pageWidth, 190.0 - 6);

        // A printer that reports no paper keeps its default page.
        QVERIFY(p.selectPrinter(QStringLiteral("无纸打印机")));
        QVERIFY(p.papers()->isEmpty());
        QVERIFY(!p.setPaperCode(9));
        QVERIFY(!p.selectPrinter(QStringLiteral("默认")));   // exact names only
        QVERIFY(p.selectPrinterAt(0));
        QCOMPARE(p.printerName(), QStringLiteral("默认打印机"));
    }

    void readingAReport()
    {
        QFile stale(ReportData::previewPictureFile(2));
        QVERIFY(stale.open(QIODevice::WriteOnly));
        stale.write("old");
        stale.close();
        const QByteArray pic1("\xff\xd8\xff\xe0 one"), pic3("\xff\xd8\xff\xe0 three");
        const QueryResult ins = ModADOconnect::ExecuteSql(
            QStringLiteral("insert into reports (brname, age, ageunit, pgdate, rpdate, times, obligate1, "
                           "checksymptom, picture1, picture3) values (?,?,?,?,?,?,?,?,?,?)"),
            {QStringLiteral("O'Brien"), 45, QStringLiteral("岁"), QStringLiteral("2024-3-5"),
             QStringLiteral("2024-03-06"), 30, QVariant(), QStringLiteral("甲\n乙"), pic1, pic3});
        QVERIFY(ins.ok());
        const qint64 id = ModADOconnect::LastInsertId();
        ReportContent c;
        QVERIFY(ReportData::loadReport(id, c).ok());
        QCOMPARE(c.values[1], QStringLiteral("O'Brien"));
        QCOMPARE(c.values[3], QStringLiteral(" 45岁"));
        QCOMPARE(c.values[9], QStringLiteral("2024-03-05"));
        QCOMPARE(c.values[10], QStringLiteral("2024-03-06"));
        QCOMPARE(c.values[14], QStringLiteral(" 30"));
        QCOMPARE(c.values[20], QString());
        QCOMPARE(c.values[18], QStringLiteral("甲\n乙"));
        QVERIFY(c.values[0].isEmpty() && c.values[25].isEmpty());
        QCOMPARE(c.pictures[0], ReportData::previewPictureFile(1));
        QVERIFY(c.pictures[1].isEmpty());
        QCOMPARE(c.pictures[2], ReportData::previewPictureFile(3));
        QVERIFY(!QFile::exists(ReportData::previewPictureFile(2)));
        QFile f3(c.pictures[2]);
        QVERIFY(f3.open(QIODevice::ReadOnly));
        QCOMPARE(f3.readAll(), pic3);

        QCOMPARE(ReportData::signedNumberText(-2.5), QStringLiteral("-2.5"));
        QCOMPARE(ReportData::signedNumberText(QVariant()), QString());
        QCOMPARE(ReportData::signedNumberText(QStringLiteral("abc")), QStringLiteral("abc"));

        // No such report: nothing read, nothing written.
        ReportContent none;
        QCOMPARE(ReportData::loadReport(id + 100, none).number, 1000);
        QVERIFY(none.values[1].isEmpty());
        QVERIFY(!QFile::exists(ReportData::previewPictureFile(1)));
    }

private:
    std::unique_ptr<TestFolder> folder_;
    std::shared_ptr<PdfPrinterBackend> backend_;
    QStringList captions_;
};

QTEST_MAIN(tst_PrintSettings)
#include "tst_PrintSettings.moc"
