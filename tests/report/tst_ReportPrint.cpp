// Printing a saved report to PDF and showing it in the preview page.
#include "core/Database.h"
#include "core/Mmain.h"
#include "core/Modini.h"
#include "core/ReportRecord.h"
#include "platform/MessageBox.h"
#include "report/PageRoom.h"
#include "report/ProgramPrinter.h"
#include "report/ReportData.h"
#include "report/ReportPaperWidget.h"
#include "report/ReportRenderer.h"
#include "support/CoreKit.h"
#include "support/PdfKit.h"

#include <QBuffer>
#include <QFile>
#include <QImage>
#include <QRegularExpression>
#include <QtTest>

namespace {

// Bounding box in millimetres of the pixels close to a colour.
QRectF colourBox(const QImage& img, QColor c, double dpi, int tolerance = 40)
{
    QRect box;
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x) {
            const QColor p = img.pixelColor(x, y);
            if (std::abs(p.red() - c.red()) < tolerance && std::abs(p.green() - c.green()) < tolerance
                && std::abs(p.blue() - c.blue()) < tolerance)
                box |= QRect(x, y, 1, 1);
        }
    const double mm = 25.4 / dpi;
    return box.isNull() ? QRectF() : QRectF(box.x() * mm, box.y() * mm, box.width() * mm, box.height() * mm);
}

const QColor kPictureColours[4] = {QColor(220, 30, 30), QColor(30, 170, 60), QColor(200, 40, 200),
                                   QColor(230, 200, 20)};
const QColor kLogoBlue(0x1f, 0x5a, 0x96);

// The stored report without findings and pictures: field and value. The page shows each value as it
// is, the age with its unit.
const std::pair<int, QVariant> kStored[] = {{1, QStringLiteral("张三丰")},
                                            {2, QStringLiteral("男")},
                                            {3, 45},
                                            {4, QStringLiteral("岁")},
                                            {5, QStringLiteral("+86-13812345678")},
                                            {6, QStringLiteral("呼吸内科")},
                                            {7, QStringLiteral("李时珍")},
                                            {8, QStringLiteral("ZY0305")},
                                            {9, QStringLiteral("2024-03-05")},
                                            {10, QStringLiteral("2024-03-06")},
                                            {11, QStringLiteral("华佗")},
                                            {12, QStringLiteral("扁鹊")},
                                            {13, QStringLiteral("DR-1号机")},
                                            {14, 30},
                                            {15, QStringLiteral("胸部")},
                                            {16, QStringLiteral("阳性")},
                                            {17, QStringLiteral("胸部正侧位")},
                                            {19, QStringLiteral("右下肺炎症，建议抗炎治疗后复查。")},
                                            {20, 2},
                                            {21, QStringLiteral("12床")},
                                            {22, QStringLiteral("MZ0098")},
                                            {23, QStringLiteral("阴性")},
                                            {24, QStringLiteral("X2024-0305")}};

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

    void fullReportPrintedAndPreviewed()
    {
        useEveryItem();
        QVERIFY(print(addReport(longFindings(), true)));
        const QString pdf = folder_->file(QStringLiteral("out.pdf"));
        QCOMPARE(failures_, QStringList());

        const int pages = kit::pdfPages(pdf);
        QVERIFY2(pages >= 3, qPrintable(QString::number(pages)));
        QCOMPARE(pages, settings_.pageCount);

        // Every page: hospital name, title, header items, footer and print date.
        QStringList captions;
        ReportData::loadItemCaptions(captions);
        for (int page = 1; page <= pages; ++page) {
            const QString t = kit::pdfText(pdf, page);
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

        // The findings flow on over the pages in order and whole, up to their last sentence (a
        // sentence number cut by a page break is not matched); the diagnosis follows.
        const QRegularExpression sentence(QStringLiteral("第(\\d{4})句"));
        const QString all = kit::pdfText(pdf);
        QList<int> printed, written;
        for (auto it = sentence.globalMatch(all); it.hasNext();)
            printed << it.next().captured(1).toInt();
        for (auto it = sentence.globalMatch(longFindings()); it.hasNext();)
            written << it.next().captured(1).toInt();
        for (int i = 1; i < printed.size(); ++i)
            QVERIFY(printed[i] > printed[i - 1]);
        QVERIFY2(printed.size() >= written.size() - (pages - 1), qPrintable(QString::number(printed.size())));
        QCOMPARE(printed.last(), written.last());
        QVERIFY(all.indexOf(QStringLiteral("诊断意见:")) > all.lastIndexOf(QStringLiteral("句")));
        QVERIFY(all.contains(QStringLiteral("右下肺炎症，建议抗炎治疗后复查。")));

        // The pictures in a centred row below the header, in their order, at 40 x 30 mm.
        const QImage page1 = kit::pdfPageImage(pdf, 1, testOutputFolder() + QStringLiteral("/report-page-1"));
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
        QVERIFY(!logo.isNull() && std::abs(logo.left() - (5 + 15 + 2)) < 1.5
                && std::abs(logo.top() - (5 + 12 - 1)) < 1.5);
        // Page 2 has no picture row.
        const QImage page2 = kit::pdfPageImage(pdf, 2, folder_->file(QStringLiteral("p2")));
        QVERIFY(colourBox(page2, kPictureColours[0], 100).isNull());

        // The layout's faces: the installed Song face for the values and the body, Latin letters
        // and digits included, and for its bold texts (hospital name and title in 黑体, the
        // captions in 宋体) the Hei and Song faces with a bold of their own: no other face is in
        // the document.
        const QStringList fonts = kit::runTool(QStringLiteral("pdffonts"), {pdf}).split(QLatin1Char('\n')).mid(2);
        QStringList faces;
        for (const QString& line : fonts)
            if (!line.trimmed().isEmpty())
                faces << line.section(QLatin1Char(' '), 0, 0).section(QLatin1Char('+'), -1);
        faces.removeDuplicates();
        faces.sort();
        QCOMPARE(faces, QStringList({QStringLiteral("NotoSansCJKsc-Bold"), QStringLiteral("NotoSerifCJKsc-Bold"),
                                     QStringLiteral("UMingCN")}));

        // The long phone number is drawn smaller, whole, and ends 1 mm before the next caption.
        const QString words = kit::pdfWordBoxes(pdf);
        auto wordBox = [&words](const QString& text) {
            const QRegularExpression re(QStringLiteral("<word xMin=\"([\\d.]+)\" yMin=\"([\\d.]+)\" xMax=\"([\\d.]+)\" "
                                                       "yMax=\"([\\d.]+)\">%1</word>")
                                            .arg(QRegularExpression::escape(text)));
            const auto m = re.match(words);
            return m.hasMatch() ? QRectF(QPointF(m.captured(1).toDouble(), m.captured(2).toDouble()),
                                         QPointF(m.captured(3).toDouble(), m.captured(4).toDouble()))
                                : QRectF();
        };
        const QRectF phone = wordBox(QStringLiteral("+86-13812345678")), next = wordBox(QStringLiteral("收费金额:")),
                     caption = wordBox(QStringLiteral("联系方式:"));
        QVERIFY2(!phone.isNull() && !next.isNull() && !caption.isNull(), qPrintable(words.left(3000)));
        QVERIFY2(phone.right() + 72 / 25.4 <= next.left(),
                 qPrintable(QStringLiteral("%1 %2").arg(phone.right()).arg(next.left())));
        QVERIFY(phone.height() < caption.height() * 0.95);

        // The same report in the preview page: the printable area at 96 dpi, 200 x 287 mm on a
        // 210 mm sheet, as many pages as printed.
        ReportPaperWidget paper;
        ReportRenderer r(settings_, content_);
        r.setPreviewWidget(&paper);
        r.RenderReport(ReportRenderer::kPreviewMode, 0, 0);
        QCOMPARE(r.takeFailures(), QStringList());
        QCOMPARE(settings_.pageCount, pages);
        QVERIFY(std::abs(paper.width() - 200 / 25.4 * 96) <= 1);
        QCOMPARE(r.frameSize().width(), 210.0);
        settings_.zoom = 0;   // taken as 1, never a division by zero
        r.RenderReport(ReportRenderer::kPreviewMode, 1, 0);
        QVERIFY(std::abs(paper.width() - 200 / 25.4 * 96) <= 1);
        settings_.zoom = 1.5;
        r.RenderReport(ReportRenderer::kPreviewMode, 1, 0);
        QVERIFY(std::abs(paper.width() - 1.5 * 200 / 25.4 * 96) <= 2);
        const QImage shot = paper.grab().toImage();
        const QRectF pic = colourBox(shot, kPictureColours[0], 96);
        QVERIFY(!pic.isNull() && std::abs(pic.width() - 1.5 * 40) < 1.5);
    }

    void samePagesAtEveryQuality()
    {
        // A report of a few pages whose lines fill the text width (a face whose widths differ most
        // between resolutions), printed at draft, low, medium and high quality (150, 300, 600 and
        // 1200 dpi on this printer): every page holds the texts the preview shows on it, in the
        // same order, and the separator lines are as wide on paper at every quality.
        useEveryItem();
        Modini::SetIniValue(QStringLiteral("parameter"), QStringLiteral("LineColor"), QString::number(0x00FF00));
        QString findings;
        for (int n = 1; findings.size() < 3000; ++n)
            findings += QStringLiteral("第%1句 Lung markings clear, 肺纹理清晰；").arg(n, 4, 10, QLatin1Char('0'))
                        + (n % 7 == 0 ? QStringLiteral("\n") : QString());
        const qint64 id = addReport(findings, true);
        const QRegularExpression printDate(QStringLiteral("打印日期：\\d{4}/\\d\\d/\\d\\d\\d\\d:\\d\\d"));
        auto strip = [&](QString t) { return t.remove(QRegularExpression(QStringLiteral("\\s"))).remove(printDate); };

        QList<QStringList> previewPages;
        const int qualities[4][2] = {{-1, 150}, {-2, 300}, {-3, 600}, {-4, 1200}};
        for (const auto& [code, dpi] : qualities) {
            Modini::SetIniValue(QStringLiteral("printer"), QStringLiteral("mQuality"), QString::number(code));
            QVERIFY(print(id));
            QCOMPARE(ProgramPrinter::instance().resolution(), dpi);
            QCOMPARE(failures_, QStringList());
            const QString pdf = folder_->file(QStringLiteral("out.pdf"));
            QVERIFY(QFile::copy(pdf, folder_->file(QStringLiteral("q%1.pdf").arg(dpi))));

            if (previewPages.isEmpty()) {
                // The preview's pages, shown one by one at two zooms.
                ReportPaperWidget paper;
                ReportRenderer r(settings_, content_);
                r.setPreviewWidget(&paper);
                r.RenderReport(ReportRenderer::kPreviewMode, 0, 0);
                QVERIFY(settings_.pageCount >= 2);
                for (int page = 1; page <= settings_.pageCount; ++page) {
                    settings_.zoom = page % 2 ? 0.55 : 1.5;
                    r.RenderReport(ReportRenderer::kPreviewMode, page, 0);
                    QCOMPARE(paper.surface().page(), page);
                    previewPages << paper.surface().texts();
                    if (page == 2)
                        paper.grab().save(testOutputFolder() + QStringLiteral("/preview-page-2-150.png"));
                }
                paper.grab().save(testOutputFolder() + QStringLiteral("/preview-last-page.png"));
            }
            QCOMPARE(kit::pdfPages(pdf), int(previewPages.size()));
            for (int page = 1; page <= previewPages.size(); ++page) {
                const QString shown = strip(previewPages[page - 1].join(QString()));
                const QString printed = strip(kit::pdfText(pdf, page, true));
                QVERIFY2(printed == shown,
                         qPrintable(QStringLiteral("%1 dpi, page %2:\n%3\n%4").arg(dpi).arg(page).arg(printed, shown)));
            }

            // On every page the body ends above the footer: its last line's bottom lies above the
            // top of the footer's first row.
            const QString boxes = kit::pdfWordBoxes(pdf);
            const QStringList pageBoxes = boxes.split(QStringLiteral("<page ")).mid(1);
            QCOMPARE(pageBoxes.size(), previewPages.size());
            const QRegularExpression word(QStringLiteral("<word xMin=\"[\\d.]+\" yMin=\"([\\d.]+)\" xMax=\"[\\d.]+\" "
                                                         "yMax=\"([\\d.]+)\">([^<]*)</word>"));
            for (int page = 0; page < pageBoxes.size(); ++page) {
                double bodyBottom = 0, footerTop = 1e9;
                for (auto it = word.globalMatch(pageBoxes[page]); it.hasNext();) {
                    const auto m = it.next();
                    const QString w = m.captured(3);
                    if (w.contains(QStringLiteral("句")) || w.contains(QStringLiteral("Lung"))
                        || w.contains(QStringLiteral("肺纹理")) || w.contains(QStringLiteral("诊断意见"))
                        || w.contains(QStringLiteral("复查")))
                        bodyBottom = std::max(bodyBottom, m.captured(2).toDouble());
                    if (w == QStringLiteral("报告日期:") || w.startsWith(QStringLiteral("打印日期")))
                        footerTop = std::min(footerTop, m.captured(1).toDouble());
                }
                QVERIFY2(bodyBottom > 0 && footerTop < 1e9, qPrintable(QString::number(page + 1)));
                QVERIFY2(bodyBottom <= footerTop,
                         qPrintable(QStringLiteral("%1 dpi, page %2: body to %3 pt, footer from %4 pt")
                                        .arg(dpi)
                                        .arg(page + 1)
                                        .arg(bodyBottom)
                                        .arg(footerTop)));
            }

            // The first separator (green) is 10 dots of 1200 dpi thick, about 0.21 mm, at every quality.
            const QImage img = kit::pdfPageImage(pdf, 1, folder_->file(QStringLiteral("line%1").arg(dpi)));
            int thickest = 0;
            for (int x = img.width() / 4; x < img.width() * 3 / 4; x += 50) {
                int run = 0;
                for (int y = 0; y < img.height() / 2; ++y) {
                    const QColor c = img.pixelColor(x, y);
                    run = c.green() >= 200 && c.red() <= 200 && std::abs(c.red() - c.blue()) <= 30 ? run + 1 : 0;
                    thickest = std::max(thickest, run);
                }
            }
            // At 100 dpi for the image: 0.21 mm is under one pixel, antialiased into at most two.
            QVERIFY2(thickest >= 1 && thickest <= 2,
                     qPrintable(QStringLiteral("%1 dpi: %2 px").arg(dpi).arg(thickest)));
            // On paper at 1200 dpi the header's separators are 10 pixels thick whatever the print's
            // resolution: a hairline (pen width 0) comes out thinner, a line of 10 printer dots is 80
            // pixels at 150 dpi.
            const QImage strip = kit::pdfPageImage(pdf, 1, folder_->file(QStringLiteral("strip%1").arg(dpi)), 1200,
                                                   QRect(4950, 0, 20, 7000));
            QVERIFY(!strip.isNull());
            const int onPaper = kit::thickestRun(
                strip, [](QRgb c) { return qGreen(c) >= 128 && qRed(c) <= 200 && std::abs(qRed(c) - qBlue(c)) <= 30; });
            QVERIFY2(onPaper >= 9 && onPaper <= 11,
                     qPrintable(QStringLiteral("%1 dpi: %2 px at 1200 dpi").arg(dpi).arg(onPaper)));
        }

        // The job is named for the report's exam number, not for the patient.
        const QString info = kit::runTool(QStringLiteral("pdfinfo"), {folder_->file(QStringLiteral("out.pdf"))});
        QVERIFY2(QRegularExpression(QStringLiteral("Title:\\s+X2024-0305\\n")).match(info).hasMatch(),
                 qPrintable(info));
        QVERIFY(!info.contains(QStringLiteral("张三丰")));
    }

    void sparseLayoutMissingFontsAndMargins()
    {
        // Only the findings slot, malformed numbers, no hospital name, no logo, font faces this
        // machine does not have, and a body size whose characters do not divide the text width
        // evenly (18 pt): the layout takes its defaults and prints the title in the name's place,
        // in an installed face that has the Chinese characters.
        QVERIFY(kit::writeBytes(folder_->file(QStringLiteral("options.ini")),
                                "[parameter]\r\nbTop=abc\r\nZoom=\r\n[font1]\r\nmFontsize=x\r\n"
                                "[font6]\r\nmFontsize=18\r\n[rptxm]\r\nxm21=19\r\nid21=18\r\n"));
        Modini::SetIniValue(QStringLiteral("font1"), QStringLiteral("mFontname"), QStringLiteral("不存在的字体"));
        Modini::SetIniValue(QStringLiteral("font6"), QStringLiteral("mFontname"), QStringLiteral("No Such Face"));
        QFile::remove(folder_->file(QStringLiteral("head.bmp")));
        Mmain::gHospitalName.clear();
        const QString sevens(150, QLatin1Char('7'));
        QString findings = QString(120, QChar(0x80BA)) + QStringLiteral("\nhttps://pacs.example.org/viewer?study=1.")
                           + sevens + QLatin1Char('\n');
        for (int i = 0; i < 30; ++i)
            findings += QStringLiteral("右肺\U0001F600结节");
        QVERIFY(print(addReport(findings, true)));
        QCOMPARE(failures_, QStringList());
        QVERIFY(settings_.top == 12.0 && settings_.zoom == 1.0 && settings_.fonts[0].size == 20.0);
        const QString pdf = folder_->file(QStringLiteral("out.pdf"));
        QCOMPARE(kit::pdfPages(pdf), 1);
        const QString t = kit::pdfText(pdf);
        QVERIFY2(t.startsWith(QStringLiteral("放射检查报告单放射检查报告单检查所见:") + QString(20, QChar(0x80BA))),
                 qPrintable(t));
        QVERIFY(t.contains(QStringLiteral("打印日期：")) && t.contains(sevens.left(20)));
        QVERIFY(!t.contains(QStringLiteral("检查号")) && !t.contains(QStringLiteral("张三丰")));   // no header item
        QVERIFY(Mmain::gHospitalName.isEmpty());
        const QString fonts = kit::runTool(QStringLiteral("pdffonts"), {pdf});
        QVERIFY2(fonts.contains(QStringLiteral("WenQuanYi"), Qt::CaseInsensitive), qPrintable(fonts));
        const QImage page = kit::pdfPageImage(pdf, 1, folder_->file(QStringLiteral("sp")));
        QVERIFY(!colourBox(page, kPictureColours[0], 100).isNull());   // the picture row stays
        QVERIFY(colourBox(page, kLogoBlue, 100, 30).isNull());

        const QString words = kit::pdfWordBoxes(pdf);
        const QRegularExpression word(QStringLiteral("<word xMin=\"[\\d.]+\" yMin=\"[\\d.]+\" xMax=\"([\\d.]+)\""));
        int n = 0;
        double right = 0;
        for (auto it = word.globalMatch(words); it.hasNext(); ++n)
            right = std::max(right, it.next().captured(1).toDouble() * 25.4 / 72);
        QVERIFY(n > 20);
        // The sheet's printable area starts 5 mm in, the right margin is 15 mm of its 200 mm, and
        // the character that reaches the limit 2 mm inside it (6.35 mm at 18 pt) stays on its line:
        // 27 of them, 171.45 mm of the 168 mm limit.
        QVERIFY2(right <= 5 + 200 - 15 - 2 + 6.35 + 0.3, qPrintable(QString::number(right)));
        const QStringList lines = kit::ideographs(kit::runTool(QStringLiteral("pdftotext"), {pdf, QStringLiteral("-")}))
                                      .split(QLatin1Char('\n'));
        QVERIFY(lines.contains(QString(27, QChar(0x80BA))) && lines.contains(QString(120 - 4 * 27, QChar(0x80BA))));
    }

    void largestValueSaidFits_data()
    {
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("field");
        QTest::newRow("top margin") << "bTop"
                                    << "上边距";
        QTest::newRow("bottom margin") << "bBotton"
                                       << "下边距";
        QTest::newRow("picture height") << "PicHeight"
                                        << "图像高度";
        QTest::newRow("line spacing two") << "hjj2"
                                          << "行距二";
        QTest::newRow("line spacing one") << "hjj"
                                          << "行距一";
    }
    void largestValueSaidFits()
    {
        // A length far too large is refused naming its field and the largest value that fits;
        // printed at that value, the first page holds the header, the four pictures and the
        // footer on the sheet, one below the other; a tenth more is refused again.
        QFETCH(QString, key);
        QFETCH(QString, field);
        useEveryItem();
        const qint64 id = addReport(longFindings(), true);
        QStringList captions;
        QVERIFY(!ReportData::loadItemCaptions(captions).failed());
        auto refusal = [&](const QString& value) {
            Modini::SetIniValue(QStringLiteral("parameter"), key, value);
            PrintSettings s;
            s.load(captions);
            ReportContent c;
            if (ReportData::loadReport(id, c).failed())
                return QStringLiteral("no report");
            const auto r = ReportRenderer(s, c).roomRefusal();
            return r ? PageRoom::refusalText(*r) : QString();
        };
        const QString told = refusal(QStringLiteral("1000"));
        const auto said =
            QRegularExpression(QStringLiteral("^%1过大.*%1最大为 (\\d+(\\.\\d)?) 毫米$").arg(field)).match(told);
        QVERIFY2(said.hasMatch(), qPrintable(told));
        const double largest = said.captured(1).toDouble();
        QVERIFY2(refusal(QString::number(largest + 0.1)).startsWith(field), qPrintable(told));
        QCOMPARE(refusal(said.captured(1)), QString());

        QVERIFY(print(id));
        QCOMPARE(failures_, QStringList());
        const QString pdf = folder_->file(QStringLiteral("out.pdf"));
        const QString page1 = kit::pdfWordBoxes(pdf).section(QStringLiteral("</page>"), 0, 0);
        // The boxes of the words (the last of each text) in millimetres from the sheet's top left.
        auto boxesOf = [&page1](const QStringList& texts) {
            QList<QRectF> found;
            for (const QString& text : texts) {
                const QRegularExpression re(
                    QStringLiteral("<word xMin=\"([\\d.]+)\" yMin=\"([\\d.]+)\" xMax=\"([\\d.]+)\" "
                                   "yMax=\"([\\d.]+)\">%1</word>")
                        .arg(QRegularExpression::escape(text)));
                QRegularExpressionMatch m;   // the last one: footer captions may be header captions too
                for (auto it = re.globalMatch(page1); it.hasNext();)
                    m = it.next();
                if (!m.hasMatch())
                    return QList<QRectF>();
                const double mm = 25.4 / 72;
                found << QRectF(QPointF(m.captured(1).toDouble() * mm, m.captured(2).toDouble() * mm),
                                QPointF(m.captured(3).toDouble() * mm, m.captured(4).toDouble() * mm));
            }
            return found;
        };
        const QList<QRectF> header = boxesOf(
            {QStringLiteral("东方市第一人民医院"), captions[0] + QLatin1Char(':'), printedValue(24), printedValue(1)});
        const QList<QRectF> footer = boxesOf({captions[22] + QLatin1Char(':'), captions[12] + QLatin1Char(':'),
                                              captions[13] + QLatin1Char(':'), QStringLiteral("本报告仅供临床参考")});
        QVERIFY2(header.size() == 4 && footer.size() == 4, qPrintable(page1.left(3000)));
        const QImage sheet = kit::pdfPageImage(pdf, 1, folder_->file(QStringLiteral("limit")));
        QList<QRectF> pictures;
        for (const QColor& colour : kPictureColours)
            pictures << colourBox(sheet, colour, 100);
        const QRectF paper(0, 0, 210, 297);
        double headerBottom = 0, picturesTop = 297, picturesBottom = 0, footerTop = 297;
        for (const QRectF& b : header)
            headerBottom = std::max(headerBottom, b.bottom());
        for (const QRectF& b : footer)
            footerTop = std::min(footerTop, b.top());
        for (const QRectF& b : pictures) {
            QVERIFY(!b.isNull());
            picturesTop = std::min(picturesTop, b.top());
            picturesBottom = std::max(picturesBottom, b.bottom());
        }
        for (const QRectF& b : header + pictures + footer)
            QVERIFY2(
                paper.contains(b),
                qPrintable(QStringLiteral("%1 %2 %3 %4").arg(b.left()).arg(b.top()).arg(b.right()).arg(b.bottom())));
        QVERIFY2(headerBottom <= picturesTop && picturesBottom <= footerTop,
                 qPrintable(QStringLiteral("header to %1, pictures %2 to %3, footer from %4")
                                .arg(headerBottom)
                                .arg(picturesTop)
                                .arg(picturesBottom)
                                .arg(footerTop)));
    }

    void failuresStopTheJob()
    {
        // The printer cannot start the job: reported, and no file is left.
        useEveryItem();
        backend_->setOutputFile(folder_->file(QStringLiteral("no/such/folder/out.pdf")));
        QVERIFY(print(addReport(QStringLiteral("正常"), true)));
        QCOMPARE(failures_.size(), 1);
        QVERIFY(failures_.first().startsWith(QStringLiteral("482:")));
        QVERIFY(!QFile::exists(folder_->file(QStringLiteral("no/such/folder/out.pdf"))));
    }

    void damagedHugeAndMissingPictures()
    {
        useEveryItem();
        const qint64 id = addReport(QStringLiteral("胸廓对称。"), true);
        // A damaged logo; picture 1 a camera picture far larger than the page needs (its header
        // says 9000 x 9000, more than the image reader takes whole), picture 2 missing,
        // picture 3 damaged, picture 4 good.
        QVERIFY(kit::writeBytes(folder_->file(QStringLiteral("head.bmp")), "BM broken"));
        QByteArray huge = kit::jpegBytes(320, 240, kPictureColours[0], 95);
        const qsizetype sof = huge.indexOf(QByteArray("\xff\xc0", 2));
        QVERIFY(sof > 0);
        huge.replace(sof + 5, 4, QByteArray("\x23\x28\x23\x28", 4));
        QVERIFY(TestFolder::exec(QStringLiteral("update reports set picture1=X'%1', picture2=NULL, "
                                                "picture3=X'ffd8ffe000112233'")
                                     .arg(QString::fromLatin1(huge.toHex()))));
        QVERIFY(print(id));
        // One clear message for each damaged file, though the job lays the page out twice;
        // everything else is printed.
        const QStringList boxes = failures_;
        QCOMPARE(boxes.size(), 2);
        const QString logoText = boxes.at(0);
        QVERIFY2(logoText.startsWith(QStringLiteral("481:")) && logoText.contains(QStringLiteral("head.bmp")),
                 qPrintable(logoText));
        QVERIFY2(boxes.at(1).startsWith(QStringLiteral("481:报告图片 3 ")), qPrintable(boxes.at(1)));
        QVERIFY(MessageBox::shownBoxes().isEmpty());   // the renderer shows nothing itself
        const QString pdf = folder_->file(QStringLiteral("out.pdf"));
        QCOMPARE(kit::pdfPages(pdf), 1);
        const QString t = kit::pdfText(pdf);
        QVERIFY(t.startsWith(QStringLiteral("东方市第一人民医院")) && t.contains(QStringLiteral("胸廓对称。")));
        QVERIFY(t.contains(QStringLiteral("打印日期：")));
        // Three places in the row (three pictures stored): the huge one first, an empty
        // place, the good one last.
        const QImage page = kit::pdfPageImage(pdf, 1, folder_->file(QStringLiteral("dh")));
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
        QVERIFY(colourBox(page, kPictureColours[2], 100).isNull() && colourBox(page, kLogoBlue, 100, 30).isNull());
    }

    void boldCaptionsOnPaper_data()
    {
        QTest::addColumn<QString>("face");   // the face of the body captions (font set 5)
        QTest::newRow("宋体") << "宋体";
        QTest::newRow("黑体") << "黑体";
        QTest::newRow("a face named as installed") << "AR PL UMing CN";
    }
    void boldCaptionsOnPaper()
    {
        // A bold caption is bold on paper as in the preview, in a face without a bold of its own
        // too: it is drawn in a face of the same style that has one. Seen on the printed page:
        // the caption in bold puts half as much ink again on the paper as the same caption in
        // regular (1.6 to 1.9 times); a bold made up of a second copy shifted by a hair reaches
        // 1.2 to 1.4.
        QFETCH(QString, face);
        useEveryItem();
        kit::setIni("font5", "mFontname", face);
        QStringList captions;
        QVERIFY(!ReportData::loadItemCaptions(captions).failed());
        const QString caption = captions[18] + QLatin1Char(':');   // the findings, body slot 21
        const qint64 id = addReport(QStringLiteral("双肺纹理清晰。"), false);
        const QString pdf = folder_->file(QStringLiteral("out.pdf"));
        const QRegularExpression box(QStringLiteral("<word xMin=\"([\\d.]+)\" yMin=\"([\\d.]+)\" xMax=\"([\\d.]+)\" "
                                                    "yMax=\"([\\d.]+)\">%1</word>")
                                         .arg(QRegularExpression::escape(caption)));
        auto inkOfCaption = [&](bool bold) {
            kit::setIni("font5", "mFontBold", bold ? QStringLiteral("True") : QStringLiteral("False"));
            if (!print(id) || !failures_.isEmpty())
                return -1.0;
            const auto m = box.match(kit::pdfWordBoxes(pdf));
            if (!m.hasMatch())
                return -1.0;
            const double px = 300 / 72.0;
            const QRect crop(QPoint(int(m.captured(1).toDouble() * px) - 2, int(m.captured(2).toDouble() * px) - 2),
                             QPoint(int(m.captured(3).toDouble() * px) + 2, int(m.captured(4).toDouble() * px) + 2));
            const QImage img = kit::pdfPageImage(
                pdf, 1, folder_->file(bold ? QStringLiteral("bold") : QStringLiteral("regular")), 300, crop);
            double ink = 0;
            for (int y = 0; y < img.height(); ++y)
                for (int x = 0; x < img.width(); ++x)
                    ink += 255 - qGray(img.pixel(x, y));
            return ink;
        };
        const double regular = inkOfCaption(false);
        const double bold = inkOfCaption(true);
        QVERIFY(regular > 0);
        QVERIFY2(bold > 1.5 * regular, qPrintable(QStringLiteral("%1 / %2").arg(bold).arg(regular)));
    }

private:
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
        const int placed[25][2] = {{1, 1},   {2, 2},   {3, 3},   {4, 4},   {5, 6},   {6, 7},   {7, 9},
                                   {8, 8},   {9, 10},  {10, 11}, {11, 17}, {12, 12}, {13, 21}, {14, 22},
                                   {15, 18}, {16, 16}, {17, 5},  {18, 15}, {19, 13}, {20, 14}, {21, 19},
                                   {22, 20}, {26, 23}, {27, 13}, {28, 14}};
        for (const auto& [slot, item] : placed)
            set(slot, item);
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
        QStringList columns{QStringLiteral("checksymptom")};
        QVariantList p{findings};
        for (const auto& [field, value] : kStored) {
            columns << ReportRecord::ColumnName(field);
            p << value;
        }
        for (int k = 0; k < 4; ++k) {
            columns << QStringLiteral("picture%1").arg(k + 1);
            p << (pictures ? QVariant(kit::jpegBytes(320, 240, kPictureColours[k], 95)) : QVariant());
        }
        const QueryResult r = Database::ExecuteSql(
            QStringLiteral("insert into reports (%1) values (?%2)")
                .arg(columns.join(QLatin1Char(',')), QStringLiteral(",?").repeated(columns.size() - 1)),
            p);
        if (!r.ok())
            qWarning("%s", qPrintable(r.description));
        return Database::LastInsertId();
    }

    // Reads the layout and the report and prints it as the print command does.
    bool print(qint64 id)
    {
        QStringList captions;
        settings_ = PrintSettings();
        if (ReportData::loadItemCaptions(captions).failed())
            return false;
        settings_.load(captions);
        if (ReportData::loadReport(id, content_).failed())
            return false;
        ReportRenderer r(settings_, content_);
        r.RenderReport(ReportRenderer::kPrintMode, 1, 0);
        failures_ = r.takeFailures();
        return true;
    }

    std::unique_ptr<TestFolder> folder_;
    std::shared_ptr<PdfPrinterBackend> backend_;
    PrintSettings settings_;
    ReportContent content_;
    QStringList failures_;   // what the last print could not do
};

QTEST_MAIN(tst_ReportPrint)
#include "tst_ReportPrint.moc"
