// Printing a saved report to PDF and showing it in the preview page.
#include "core/ModADOconnect.h"
#include "core/Mmain.h"
#include "core/Modini.h"
#include "editor/ReportRecord.h"
#include "platform/MessageBox.h"
#include "report/ProgramPrinter.h"
#include "report/ReportData.h"
#include "report/ReportPaperWidget.h"
#include "report/ReportRenderer.h"
#include "support/TestFolder.h"

#include <QBuffer>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QRegularExpression>
#include <QtTest>

namespace {

QString run(const QString& program, const QStringList& args)
{
    QProcess p;
    p.start(program, args);
    if (!p.waitForFinished(60000))
        return QString();
    return QString::fromUtf8(p.readAllStandardOutput());
}

int pdfPages(const QString& pdf)
{
    const QString info = run(QStringLiteral("pdfinfo"), {pdf});
    const auto m = QRegularExpression(QStringLiteral("Pages:\\s+(\\d+)")).match(info);
    return m.hasMatch() ? m.captured(1).toInt() : -1;
}

// The text of a page (0 = all), without any white space.
QString pdfText(const QString& pdf, int page = 0)
{
    QStringList args;
    if (page > 0)
        args << QStringLiteral("-f") << QString::number(page) << QStringLiteral("-l") << QString::number(page);
    QString t = run(QStringLiteral("pdftotext"), args << pdf << QStringLiteral("-"));
    t.remove(QRegularExpression(QStringLiteral("\\s")));
    return t;
}

QImage pdfPageImage(const QString& pdf, int page, int dpi, const QString& prefix)
{
    run(QStringLiteral("pdftoppm"), {QStringLiteral("-r"), QString::number(dpi), QStringLiteral("-png"),
                                     QStringLiteral("-f"), QString::number(page), QStringLiteral("-l"),
                                     QString::number(page), QStringLiteral("-singlefile"), pdf, prefix});
    return QImage(prefix + QStringLiteral(".png"));
}

// Bounding box in millimetres of the pixels close to a colour.
QRectF colourBox(const QImage& img, QColor c, double dpi, int tolerance = 40)
{
    int x0 = img.width(), y0 = img.height(), x1 = -1, y1 = -1;
    for (int y = 0; y < img.height(); ++y) {
        for (int x = 0; x < img.width(); ++x) {
            const QColor p = img.pixelColor(x, y);
            if (std::abs(p.red() - c.red()) < tolerance && std::abs(p.green() - c.green()) < tolerance &&
                std::abs(p.blue() - c.blue()) < tolerance) {
                x0 = std::min(x0, x);
                y0 = std::min(y0, y);
                x1 = std::max(x1, x);
                y1 = std::max(y1, y);
            }
        }
    }
    if (x1 < 0)
        return QRectF();
    const double mm = 25.4 / dpi;
    return QRectF(x0 * mm, y0 * mm, (x1 - x0 + 1) * mm, (y1 - y0 + 1) * mm);
}

QByteArray jpeg(QColor c)
{
    QImage img(320, 240, QImage::Format_RGB32);
    img.fill(c);
    QByteArray bytes;
    QBuffer buf(&bytes);
    buf.open(QIODevice::WriteOnly);
    img.save(&buf, "JPEG", 95);
    return bytes;
}

const QColor kPictureColours[4] = {QColor(220, 30, 30), QColor(30, 170, 60), QColor(200, 40, 200),
                                   QColor(230, 200, 20)};
const QColor kLogoBlue(0x1f, 0x5a, 0x96);

// The stored report without findings and pictures: field and value. The page shows each value as it
// is, the age with its unit.
const std::pair<int, QVariant> kStored[] = {
    {1, QStringLiteral("张三丰")}, {2, QStringLiteral("男")}, {3, 45}, {4, QStringLiteral("岁")},
    {5, QStringLiteral("8812345")}, {6, QStringLiteral("呼吸内科")}, {7, QStringLiteral("李时珍")},
    {8, QStringLiteral("ZY0305")}, {9, QStringLiteral("2024-03-05")}, {10, QStringLiteral("2024-03-06")},
    {11, QStringLiteral("华佗")}, {12, QStringLiteral("扁鹊")}, {13, QStringLiteral("DR-1号机")}, {14, 30},
    {15, QStringLiteral("胸部")}, {16, QStringLiteral("阳性")}, {17, QStringLiteral("胸部正侧位")},
    {19, QStringLiteral("右下肺炎症，建议抗炎治疗后复查。")}, {20, 2}, {21, QStringLiteral("12床")},
    {22, QStringLiteral("MZ0098")}, {23, QStringLiteral("阴性")}, {24, QStringLiteral("X2024-0305")}};

QString printedValue(int field)
{
    for (const auto& [f, value] : kStored)
        if (f == field)
            return field == 3 ? QStringLiteral("45岁") : value.toString();
    return QString();
}
}

class tst_ReportPrint : public QObject {
    Q_OBJECT

private slots:
    void init()
    {
        folder_.reset(new TestFolder);
        QVERIFY(folder_->ok());
        backend_ = std::make_shared<PdfPrinterBackend>();
        backend_->addPrinter(PdfPrinterBackend::standardPrinter(QStringLiteral("报告打印机")));
        backend_->setOutputFile(folder_->file(QStringLiteral("out.pdf")));
        ProgramPrinter::setBackend(backend_);
        Mmain::gHospitalName = QStringLiteral("东方市第一人民医院");
        MessageBox::clearShown();
    }
    void cleanup()
    {
        ProgramPrinter::setBackend(nullptr);
        folder_.reset();
    }

    void fullReport()
    {
        useEveryItem();
        const qint64 id = addReport(longFindings(), true);
        QVERIFY(print(id));
        const QString pdf = folder_->file(QStringLiteral("out.pdf"));
        QCOMPARE(MessageBox::shownBoxes().size(), 0);

        const int pages = pdfPages(pdf);
        QVERIFY2(pages >= 3, qPrintable(QString::number(pages)));
        QCOMPARE(pages, settings_.pageCount);

        // Every page: hospital name, title, header items, footer and print date.
        const QStringList captions = itemCaptions();
        for (int page = 1; page <= pages; ++page) {
            const QString t = pdfText(pdf, page);
            QVERIFY(t.startsWith(QStringLiteral("东方市第一人民医院放射检查报告单")));
            for (int item = 0; item < 23; ++item) {
                if (item == 18 || item == 19)
                    continue;   // the body items
                QVERIFY2(t.contains(captions[item] + QLatin1Char(':')), qPrintable(captions[item]));
                const QString value = printedValue(ReportRecord::kItemFields[size_t(item)]);
                QVERIFY2(t.contains(value), qPrintable(value));
            }
            QVERIFY(t.contains(QStringLiteral("打印日期：")));
            QVERIFY(t.contains(QStringLiteral("本报告仅供临床参考")));
        }

        // The findings flow on over pages 2 and 3, in order, and the diagnosis follows.
        const QRegularExpression sentence(QStringLiteral("第(\\d{4})句"));
        int last = 0;
        for (int page = 1; page <= pages; ++page) {
            const QString t = pdfText(pdf, page);
            int onPage = 0;
            for (auto it = sentence.globalMatch(t); it.hasNext();) {
                const int n = it.next().captured(1).toInt();
                // A sentence number cut by the page break is not matched on either page.
                if (onPage == 0 && n == last + 2)
                    ++last;
                QCOMPARE(n, last + 1);
                last = n;
                ++onPage;
            }
            if (page <= 3)
                QVERIFY2(onPage > 0, qPrintable(QStringLiteral("page %1").arg(page)));
        }
        const QString all = pdfText(pdf);
        // The whole findings text is there, up to its last sentence.
        const QString findings = longFindings();
        const QString lastSentence = findings.mid(findings.lastIndexOf(QStringLiteral("第")), 5);
        QVERIFY2(all.contains(lastSentence), qPrintable(lastSentence));
        QVERIFY(all.indexOf(QStringLiteral("诊断意见:")) > all.lastIndexOf(QStringLiteral("句")));
        QVERIFY(all.contains(QStringLiteral("右下肺炎症，建议抗炎治疗后复查。")));

        // The pictures in a centred row below the header, in their order, at 40 x 30 mm.
        const QImage page1 = pdfPageImage(pdf, 1, 100, testOutputFolder() + QStringLiteral("/report-page-1"));
        QVERIFY(!page1.isNull());
        const double rowLeft = 5 + (200 - (4 * 40 + 3 * 1.5)) / 2;
        double top = -1;
        for (int k = 0; k < 4; ++k) {
            const QRectF box = colourBox(page1, kPictureColours[k], 100);
            QVERIFY2(!box.isNull(), qPrintable(QStringLiteral("picture %1").arg(k + 1)));
            QVERIFY2(std::abs(box.left() - (rowLeft + k * 41.5)) < 1.0, qPrintable(QString::number(box.left())));
            QVERIFY(std::abs(box.width() - 40) < 1.0 && std::abs(box.height() - 30) < 1.0);
            if (top < 0)
                top = box.top();
            QVERIFY(std::abs(box.top() - top) < 0.5);
        }
        QVERIFY(top > 45 && top < 120);
        // The logo in the top left corner.
        const QRectF logo = colourBox(page1, kLogoBlue, 100, 30);
        QVERIFY(!logo.isNull() && std::abs(logo.left() - (5 + 15 + 2)) < 1.5 &&
                std::abs(logo.top() - (5 + 12 - 1)) < 1.5);
        // Page 2 has no picture row.
        const QImage page2 = pdfPageImage(pdf, 2, 100, folder_->file(QStringLiteral("p2")));
        QVERIFY(colourBox(page2, kPictureColours[0], 100).isNull());

        // The document for people to look at.
        QFile::remove(testOutputFolder() + QStringLiteral("/report.pdf"));
        QFile::copy(pdf, testOutputFolder() + QStringLiteral("/report.pdf"));
    }

    void withoutPicturesLogoOrFonts()
    {
        // No pictures, no logo, and font faces this machine does not have: one page with the text,
        // in an installed face that has the Chinese characters.
        useEveryItem();
        QFile::remove(folder_->file(QStringLiteral("head.bmp")));
        Modini::SetIniValue(QStringLiteral("font1"), QStringLiteral("mFontname"), QStringLiteral("不存在的字体"));
        Modini::SetIniValue(QStringLiteral("font6"), QStringLiteral("mFontname"), QStringLiteral("No Such Face"));
        Modini::SetIniValue(QStringLiteral("font9"), QStringLiteral("mFontname"), QString());
        const qint64 id = addReport(QStringLiteral("胸廓对称，双肺纹理清晰。\n心影不大。"), false);
        QVERIFY(print(id));
        QCOMPARE(MessageBox::shownBoxes().size(), 0);
        const QString pdf = folder_->file(QStringLiteral("out.pdf"));
        QCOMPARE(pdfPages(pdf), 1);
        const QString t = pdfText(pdf);
        QVERIFY(t.startsWith(QStringLiteral("东方市第一人民医院")));
        QVERIFY(t.contains(QStringLiteral("胸廓对称，双肺纹理清晰。心影不大。")));
        QVERIFY(t.contains(QStringLiteral("打印日期：")));
        const QString fonts = run(QStringLiteral("pdffonts"), {pdf});
        QVERIFY2(fonts.contains(QStringLiteral("WenQuanYi"), Qt::CaseInsensitive), qPrintable(fonts));
        const QImage page = pdfPageImage(pdf, 1, 100, folder_->file(QStringLiteral("np")));
        for (const QColor& c : kPictureColours)
            QVERIFY(colourBox(page, c, 100).isNull());
        QVERIFY(colourBox(page, kLogoBlue, 100, 30).isNull());
        for (int i = 1; i <= 4; ++i)
            QVERIFY(!QFile::exists(ReportData::previewPictureFile(i)));
    }

    void missingLayoutKeys()
    {
        // Only the system section: the layout takes its defaults and shows its fixed parts.
        QFile f(folder_->file(QStringLiteral("options.ini")));
        QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write("[system]\r\nhname=\r\n[parameter]\r\nbTop=abc\r\nZoom=\r\n[font1]\r\nmFontsize=x\r\n");
        f.close();
        Mmain::gHospitalName.clear();
        const qint64 id = addReport(QStringLiteral("正常"), true);
        QVERIFY(print(id));
        QCOMPARE(MessageBox::shownBoxes().size(), 0);
        QCOMPARE(settings_.top, 12.0);
        QCOMPARE(settings_.zoom, 1.0);
        QCOMPARE(settings_.fonts[0].size, 20.0);
        const QString pdf = folder_->file(QStringLiteral("out.pdf"));
        QCOMPARE(pdfPages(pdf), 1);
        const QString t = pdfText(pdf);
        QVERIFY(t.startsWith(QStringLiteral("放射检查报告单放射检查报告单")));
        QVERIFY(t.contains(QStringLiteral("打印日期：")));
        QVERIFY(!t.contains(QStringLiteral("检查号")));   // no item slot at all
        QVERIFY(!t.contains(QStringLiteral("张三丰")));
        QVERIFY(Mmain::gHospitalName.isEmpty());
        const QImage page = pdfPageImage(pdf, 1, 100, folder_->file(QStringLiteral("mk")));
        QVERIFY(!colourBox(page, kPictureColours[0], 100).isNull());   // the picture row stays
    }

    void failuresStopTheJob()
    {
        useEveryItem();
        const qint64 id = addReport(QStringLiteral("正常"), true);
        // The printer cannot start the job.
        backend_->setOutputFile(folder_->file(QStringLiteral("no/such/folder/out.pdf")));
        QVERIFY(print(id));
        QCOMPARE(MessageBox::shownBoxes().size(), 1);
        QVERIFY(MessageBox::shownBoxes().first().text.startsWith(QStringLiteral("482:")));
        QCOMPARE(MessageBox::shownBoxes().first().title, QStringLiteral("错误"));

        QVERIFY(!QFile::exists(folder_->file(QStringLiteral("no/such/folder/out.pdf"))));
    }

    void damagedHugeAndMissingPictures()
    {
        useEveryItem();
        const qint64 id = addReport(QStringLiteral("胸廓对称。"), true);
        // Picture 1 a camera picture far larger than the page needs (its header says
        // 9000 x 9000, more than the image reader takes whole), picture 2 missing,
        // picture 3 damaged, picture 4 good.
        QByteArray huge = jpeg(kPictureColours[0]);
        const qsizetype sof = huge.indexOf(QByteArray("\xff\xc0", 2));
        QVERIFY(sof > 0);
        huge.replace(sof + 5, 4, QByteArray("\x23\x28\x23\x28", 4));
        QVERIFY(TestFolder::exec(QStringLiteral("update reports set picture1=X'%1', picture2=NULL, "
                                                "picture3=X'ffd8ffe000112233'")
                                     .arg(QString::fromLatin1(huge.toHex()))));
        QVERIFY(print(id));
        // One clear message for the damaged picture; everything else is printed.
        QCOMPARE(MessageBox::shownBoxes().size(), 1);
        QCOMPARE(MessageBox::shownBoxes().first().title, QStringLiteral("错误"));
        QVERIFY2(MessageBox::shownBoxes().first().text.startsWith(QStringLiteral("481:报告图片 3 ")),
                 qPrintable(MessageBox::shownBoxes().first().text));
        const QString pdf = folder_->file(QStringLiteral("out.pdf"));
        QCOMPARE(pdfPages(pdf), 1);
        const QString t = pdfText(pdf);
        QVERIFY(t.contains(QStringLiteral("东方市第一人民医院")) && t.contains(QStringLiteral("胸廓对称。")));
        QVERIFY(t.contains(QStringLiteral("打印日期：")));
        // Three places in the row (three pictures stored): the huge one first, an empty
        // place, the good one last.
        const QImage page = pdfPageImage(pdf, 1, 100, folder_->file(QStringLiteral("dh")));
        const double rowLeft = 5 + (200 - (3 * 40 + 2 * 1.5)) / 2;
        // (Only the first rows of the stretched-out picture hold data; the decoder fills the rest grey.)
        auto centre = [&page, top = colourBox(page, kPictureColours[3], 100).top()](double left) {
            const double dots = 100 / 25.4;
            return page.pixelColor(int((left + 20) * dots), int((top + 15) * dots));
        };
        const QColor first = centre(rowLeft), second = centre(rowLeft + 41.5);
        QVERIFY2(std::abs(first.red() - 128) < 12 && std::abs(first.blue() - 128) < 12, qPrintable(first.name()));
        QCOMPARE(second, QColor(Qt::white));
        const QRectF last = colourBox(page, kPictureColours[3], 100);
        QVERIFY(std::abs(last.left() - (rowLeft + 2 * 41.5)) < 1.0 && std::abs(last.width() - 40) < 1.0);
        QVERIFY(colourBox(page, kPictureColours[2], 100).isNull());
    }

    void bodyLinesStayInsideTheMargins()
    {
        // A body font whose characters do not divide the text width evenly (18 pt), Chinese text,
        // an address without blanks and emoji: no word of the page passes the right margin.
        useEveryItem();
        Modini::SetIniValue(QStringLiteral("font6"), QStringLiteral("mFontsize"), QStringLiteral("18"));
        QString findings = QString(120, QChar(0x80BA)) + QLatin1Char('\n') +
                           QStringLiteral("https://pacs.example.org/viewer?study=1.2.840.") +
                           QString(150, QLatin1Char('7')) + QLatin1Char('\n');
        for (int i = 0; i < 30; ++i)
            findings += QStringLiteral("右肺\U0001F600结节");
        const qint64 id = addReport(findings, false);
        QVERIFY(print(id));
        QCOMPARE(MessageBox::shownBoxes().size(), 0);
        const QString pdf = folder_->file(QStringLiteral("out.pdf"));
        const QString html = folder_->file(QStringLiteral("words.html"));
        run(QStringLiteral("pdftotext"), {QStringLiteral("-bbox"), pdf, html});
        QFile f(html);
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QString words = QString::fromUtf8(f.readAll());
        const QRegularExpression word(QStringLiteral("<word xMin=\"([\\d.]+)\" yMin=\"[\\d.]+\" xMax=\"([\\d.]+)\""));
        int n = 0;
        double right = 0;
        for (auto it = word.globalMatch(words); it.hasNext(); ++n) {
            const auto m = it.next();
            right = std::max(right, m.captured(2).toDouble() * 25.4 / 72);
        }
        QVERIFY(n > 20);
        // The sheet's printable area starts 5 mm in; the right margin is 15 mm of its 200 mm.
        QVERIFY2(right <= 5 + 200 - 15 + 0.3, qPrintable(QString::number(right)));
        QVERIFY(pdfText(pdf).contains(QString(150, QLatin1Char('7')).left(20)));
    }

    void preview()
    {
        useEveryItem();
        const qint64 id = addReport(longFindings(), true);
        QVERIFY(load(id));
        ReportPaperWidget paper;
        ReportRenderer r(settings_, content_);
        r.setPreviewWidget(&paper);
        r.RenderReport(ReportRenderer::kPreviewMode, 0, 0);
        QCOMPARE(MessageBox::shownBoxes().size(), 0);
        QVERIFY(settings_.pageCount >= 3);
        // The page is the printable area at 96 dpi: 200 x 287 mm.
        QVERIFY(std::abs(paper.width() - 200 / 25.4 * 96) <= 1);
        QCOMPARE(r.frameSize().width(), 210.0);

        settings_.zoom = 1.5;
        r.RenderReport(ReportRenderer::kPreviewMode, 1, 0);
        QVERIFY(std::abs(paper.width() - 1.5 * 200 / 25.4 * 96) <= 2);
        const QImage shot = paper.grab().toImage();
        shot.save(testOutputFolder() + QStringLiteral("/report-preview-page-1.png"));
        const QRectF pic = colourBox(shot, kPictureColours[0], 96);
        QVERIFY(!pic.isNull() && std::abs(pic.width() - 1.5 * 40) < 1.5);
    }

private:
    QStringList itemCaptions()
    {
        QStringList c;
        ReportData::loadItemCaptions(c);
        return c;
    }

    // Header slots 1..20 take every item but findings, diagnosis and report date
    // (short values before the narrow fourth column); the body shows findings and
    // diagnosis, the footer the report date and doctors.
    void useEveryItem()
    {
        auto set = [](int s, int item) {
            Modini::SetIniValue(QStringLiteral("rptxm"), QStringLiteral("xm%1").arg(s), QString::number(item));
            Modini::SetIniValue(QStringLiteral("rptxm"), QStringLiteral("id%1").arg(s),
                                QString::number(ReportRecord::kItemFields[size_t(item - 1)]));
        };
        const int header[20] = {1, 2, 3, 4, 6, 7, 9, 8, 10, 11, 17, 12, 21, 22, 18, 16, 5, 15, 13, 14};
        for (int slot = 1; slot <= 20; ++slot)
            set(slot, header[slot - 1]);
        set(21, 19);
        set(22, 20);
        set(26, 23);
        set(27, 13);
        set(28, 14);
    }

    QString longFindings()
    {
        QString t;
        for (int n = 1; t.size() < 5000; ++n)
            t += QStringLiteral("第%1句肺纹理清晰走行自然未见明显异常。").arg(n, 4, 10, QLatin1Char('0'));
        return t.left(5000);
    }

    qint64 addReport(const QString& findings, bool pictures)
    {
        QStringList columns;
        QVariantList p;
        for (const auto& [field, value] : kStored) {
            columns << ReportRecord::ColumnName(field);
            p << value;
        }
        columns << QStringLiteral("checksymptom");
        p << findings;
        for (int k = 0; k < 4; ++k) {
            columns << QStringLiteral("picture%1").arg(k + 1);
            p << (pictures ? QVariant(jpeg(kPictureColours[k])) : QVariant());
        }
        const QueryResult r = ModADOconnect::ExecuteSql(
            QStringLiteral("insert into reports (%1) values (?%2)")
                .arg(columns.join(QLatin1Char(',')), QStringLiteral(",?").repeated(columns.size() - 1)),
            p);
        if (!r.ok())
            qWarning("%s", qPrintable(r.description));
        return ModADOconnect::LastInsertId();
    }

    // Reads the layout and the report as the print command does.
    bool load(qint64 id)
    {
        QStringList captions;
        settings_ = PrintSettings();
        content_ = ReportContent();
        if (ReportData::loadItemCaptions(captions).failed())
            return false;
        settings_.load(captions);
        return !ReportData::loadReport(id, content_).failed();
    }
    bool print(qint64 id)
    {
        if (!load(id))
            return false;
        ReportRenderer(settings_, content_).RenderReport(ReportRenderer::kPrintMode, 1, 0);
        return true;
    }

    std::unique_ptr<TestFolder> folder_;
    std::shared_ptr<PdfPrinterBackend> backend_;
    PrintSettings settings_;
    ReportContent content_;
};

QTEST_MAIN(tst_ReportPrint)
#include "tst_ReportPrint.moc"
