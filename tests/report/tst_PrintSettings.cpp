// The print layout settings, the program's printer and reading a report for the page.
#include "core/ModADOconnect.h"
#include "core/Modini.h"
#include "editor/ReportRecord.h"
#include "platform/AppPaths.h"
#include "report/PrintSettings.h"
#include "report/ProgramPrinter.h"
#include "report/ReportData.h"
#include "support/TestFolder.h"

#include <QFile>
#include <QtTest>

namespace {
void set(const char* section, const char* key, const QString& value)
{
    Modini::SetIniValue(QString::fromLatin1(section), QString::fromLatin1(key), value);
}
}

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
        for (const char* k : {"bTop", "bBotton", "bLeft", "bRight", "mPrinter", "mPaper", "mColor", "mDirection",
                              "mQuality"})
            QVERIFY(IniFile(AppPaths::iniFile()).contains(QStringLiteral("gridprint"), QString::fromLatin1(k)));

        // Each shipped slot names its item's caption and the field that item prints.
        PrintSettings s;
        s.load(captions_);
        for (int slot = 1; slot <= 28; ++slot) {
            const QString item = Modini::GetIniValue(QStringLiteral("rptxm"), QStringLiteral("xm%1").arg(slot));
            const QString id = Modini::GetIniValue(QStringLiteral("rptxm"), QStringLiteral("id%1").arg(slot));
            QCOMPARE(s.slotCaptions[slot - 1], item.isEmpty() ? QString() : captions_[item.toInt() - 1]);
            QCOMPARE(id, item.isEmpty() ? QString() : QString::number(ReportRecord::FieldOfItem(item.toInt())));
            QCOMPARE(s.slotFields[slot - 1], id);
        }
        QVERIFY(s.fonts[0].bold && s.printPictures);
    }

    void fontSetOneAndSlots()
    {
        set("font1", "mFontsize", QStringLiteral("10.5"));
        set("font1", "mforecolor", QStringLiteral("16711680"));
        set("font2", "mFontsize", QStringLiteral("10.5"));
        set("font2", "mforecolor", QStringLiteral("16711681"));
        set("font3", "mFontItalic", QStringLiteral("true"));
        set("rptxm", "xm3", QStringLiteral("7"));
        set("rptxm", "id3", QStringLiteral("15"));
        set("rptxm", "xm5", QStringLiteral("7.9"));
        set("parameter", "bpic", QStringLiteral("0"));
        PrintSettings s;
        s.load(captions_);
        QVERIFY(s.fonts[0].size == 12.0 && s.fonts[0].color == 16711680);
        QVERIFY(s.fonts[1].size == 10.5 && s.fonts[1].color == 16711681);   // only font set 1 is corrected
        QVERIFY(s.fonts[2].italic && !s.printPictures);
        QCOMPARE(s.slotCaptions[2], QStringLiteral("申请医师"));
        QCOMPARE(s.slotFields[2], QStringLiteral("15"));
        QCOMPARE(s.slotCaptions[4], QStringLiteral("申请医师"));   // whole part of 7.9

        set("font1", "mforecolor", QStringLiteral("16711681"));
        // An item number outside 1..23 keeps the caption of the previous load; "" clears it.
        set("rptxm", "xm3", QStringLiteral("30"));
        set("rptxm", "xm5", QString());
        s.load(captions_);
        QCOMPARE(s.fonts[0].color, 0);
        QCOMPARE(s.slotCaptions[2], QStringLiteral("申请医师"));
        QVERIFY(s.slotCaptions[4].isEmpty());
    }

    void malformedNumbersTakeDefaults()
    {
        set("parameter", "bLeft", QStringLiteral("左"));
        set("parameter", "hjj", QStringLiteral("1e999"));
        set("parameter", "bRight", QStringLiteral(" 20.5 "));
        set("parameter", "LineColor", QStringLiteral("99999999999"));
        set("printer", "mPaper", QStringLiteral("A4"));
        set("font4", "mFontBold", QStringLiteral("也许"));
        set("font5", "mFontname", QString());
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
        set("printer", "mPrinter", QStringLiteral("不存在"));
        set("printer", "mPaper", QStringLiteral("8"));   // A3
        set("printer", "mDirection", QStringLiteral("2"));
        PrintSettings s;
        s.pageCount = 5;
        s.currentPage = 3;
        s.load(captions_);
        QCOMPARE(p.printerName(), QStringLiteral("默认打印机"));
        QVERIFY(p.paperCode() == 8 && p.orientationCode() == 2);
        // The page is the landscape A3 less the printer's margins; a new load starts at page 1.
        QVERIFY(s.pageWidth == 420.0 - 10 && s.pageHeight == 297.0 - 10 && s.offsetX == 5.0);
        QVERIFY(s.pageCount == 0 && s.currentPage == 1);

        // A named printer; colour refused by a monochrome printer; a paper it lacks is skipped.
        set("printer", "mPrinter", QStringLiteral("黑白打印机"));
        set("printer", "mPaper", QStringLiteral("4711"));
        set("printer", "mDirection", QStringLiteral("1"));
        set("printer", "mColor", QStringLiteral("2"));
        s.load(captions_);
        QCOMPARE(p.printerName(), QStringLiteral("黑白打印机"));
        QCOMPARE(p.paperCode(), 11);   // its own A5
        QCOMPARE(p.colorCode(), int(ProgramPrinter::Colour));   // kept: the refusal changes nothing
        QVERIFY(!p.setColorCode(ProgramPrinter::Colour));
        QVERIFY(p.setColorCode(ProgramPrinter::Monochrome));
        QVERIFY(s.pageWidth == 148.0 - 6 && s.offsetY == 4.0);

        // A paper without a Windows number keeps its own code through the settings.
        const auto papers = p.papers();
        QVERIFY(papers);
        int custom = 0;
        for (const PaperInfo& paper : *papers)
            if (paper.name == QStringLiteral("胶片报告纸"))
                custom = paper.code;
        QVERIFY(custom >= 1000);
        set("printer", "mPaper", QString::number(custom));
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
        QVERIFY(stale.open(QIODevice::WriteOnly) && stale.write("old") == 3);
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
        const QStringList expected = {QStringLiteral("O'Brien"), QStringLiteral(" 45岁"), QStringLiteral("2024-03-05"),
                                      QStringLiteral("2024-03-06"), QStringLiteral(" 30"), QString(),
                                      QStringLiteral("甲\n乙"), QString(), QString()};
        const int fields[] = {1, 3, 9, 10, 14, 20, 18, 0, 25};
        for (int i = 0; i < expected.size(); ++i)
            QCOMPARE(c.values[fields[i]], expected[i]);
        QCOMPARE(c.pictures[0], ReportData::previewPictureFile(1));
        QVERIFY(c.pictures[1].isEmpty());
        QCOMPARE(c.pictures[2], ReportData::previewPictureFile(3));
        QVERIFY(!QFile::exists(ReportData::previewPictureFile(2)));
        QFile f3(c.pictures[2]);
        QVERIFY(f3.open(QIODevice::ReadOnly));
        QCOMPARE(f3.readAll(), pic3);

        QCOMPARE(ReportData::signedNumberText(-2.5), QStringLiteral("-2.5"));

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
