// 打印报告 in the preview against Qt drawing the same texts, lines and pictures straight
// onto a QPdfWriter, and, when the system has a printer queue, against a small QPrinter
// program printing them to that queue. See README.md (bench_report_print).
#include "common.h"

#include "../tests/support/TestFolder.h"
#include "core/Database.h"
#include "core/Mmain.h"
#include "core/Modini.h"
#include "platform/MessageBox.h"
#include "platform/Opener.h"
#include "report/Frmreport.h"
#include "report/PrintSettings.h"
#include "report/ProgramPrinter.h"
#include "report/ReportData.h"
#include "report/ReportRenderer.h"
#include "report/ReportUnits.h"

#include <QApplication>
#include <QBuffer>
#include <QFileInfo>
#include <QImageWriter>
#include <QLinearGradient>
#include <QPainter>
#include <QPdfWriter>
#include <QPrinter>
#include <QThread>
#include <cups/cups.h>
#include <functional>
#include <optional>
#include <variant>

namespace {

// A camera-like picture: a gradient with shapes and fine noise, as JPEG of quality 90.
QByteArray picture(int k, int width, int height)
{
    QImage img(width, height, QImage::Format_RGB32);
    QPainter p(&img);
    QLinearGradient g(0, 0, width, height);
    g.setColorAt(0, QColor(20 + 40 * k, 30, 60));
    g.setColorAt(1, QColor(200, 180 - 30 * k, 120 + 20 * k));
    p.fillRect(img.rect(), g);
    p.setPen(QPen(Qt::white, 3));
    for (int i = 0; i < 12; ++i)
        p.drawEllipse(QPoint(width / 2, height / 2), 20 * i + 10 * k, 15 * i);
    p.end();
    quint32 seed = 12345u + quint32(k);
    for (int y = 0; y < height; ++y) {
        auto* line = reinterpret_cast<QRgb*>(img.scanLine(y));
        for (int x = 0; x < width; ++x) {
            seed = seed * 1664525u + 1013904223u;
            const int d = int(seed >> 28) - 8;
            const QRgb c = line[x];
            line[x] = qRgb(std::clamp(qRed(c) + d, 0, 255), std::clamp(qGreen(c) + d, 0, 255),
                           std::clamp(qBlue(c) + d, 0, 255));
        }
    }
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "jpeg");
    writer.setQuality(90);
    if (!writer.write(img))
        bench::die("no JPEG writer");
    return bytes;
}

// What the page holds, in the job's dots: the reference draws exactly this.
struct SetFont {
    QFont font;
};
struct SetPen {
    QPen pen;
};
struct Text {
    QPointF at;
    QString text;
};
struct Line {
    QLineF line;
};
struct Picture {
    QRectF rect;
    QImage image;
};
struct NewPage {};
using Op = std::variant<SetFont, SetPen, Text, Line, Picture, NewPage>;

std::vector<Op> record(const ReportLayout& layout, double dpi, const QDateTime& printed)
{
    std::vector<Op> ops;
    const double f = dpi / ReportUnits::kMmPerInch;
    QFont font;
    QColor colour;
    bool haveFont = false;
    for (int n = 1; n <= layout.pageCount(); ++n) {
        if (n > 1)
            ops.emplace_back(NewPage{});
        for (const ReportLayout::Item& it : layout.pages[n - 1].items) {
            switch (it.kind) {
            case ReportLayout::Item::Text:
                if (!haveFont || it.font != font) {
                    font = it.font;
                    haveFont = true;
                    ops.emplace_back(SetFont{font});
                }
                ops.emplace_back(SetPen{QPen(it.color)});
                ops.emplace_back(Text{QPointF(it.x * f, it.y * f),
                                      it.printDate ? ReportSurface::printDateText(printed, it.text) : it.text});
                break;
            case ReportLayout::Item::Line: {
                QPen pen(it.color);
                pen.setWidthF(it.width * f);
                pen.setCapStyle(Qt::FlatCap);
                ops.emplace_back(SetPen{pen});
                ops.emplace_back(Line{QLineF(it.x * f, it.y * f, it.x2 * f, it.y2 * f)});
                break;
            }
            case ReportLayout::Item::Picture:
                ops.emplace_back(
                    Picture{QRectF(it.x * f, it.y * f, it.x2 * f, it.y2 * f), layout.pictures[it.picture]});
                break;
            }
        }
    }
    return ops;
}

void replay(const std::vector<Op>& ops, QPagedPaintDevice& writer)
{
    QPainter p(&writer);
    p.setRenderHint(QPainter::SmoothPixmapTransform);
    for (const Op& op : ops) {
        if (const auto* t = std::get_if<Text>(&op))
            p.drawText(t->at, t->text);
        else if (const auto* f = std::get_if<SetFont>(&op))
            p.setFont(f->font);
        else if (const auto* s = std::get_if<SetPen>(&op))
            p.setPen(s->pen);
        else if (const auto* l = std::get_if<Line>(&op))
            p.drawLine(l->line);
        else if (const auto* pic = std::get_if<Picture>(&op))
            p.drawImage(pic->rect, pic->image);
        else
            writer.newPage();
    }
    p.end();
}

void replay(const std::vector<Op>& ops, const QString& file, const QPageLayout& pageLayout, int dpi)
{
    QPdfWriter writer(file);
    writer.setResolution(dpi);
    writer.setPageLayout(pageLayout);
    replay(ops, writer);
}

// The small QPrinter program: the same pages to the queue through Qt's own print engine.
void replayToQueue(const std::vector<Op>& ops, const QString& queue, const QPageLayout& pageLayout, int dpi)
{
    QPrinter printer(QPrinter::HighResolution);
    printer.setPrinterName(queue);
    printer.setResolution(dpi);
    printer.setPageLayout(pageLayout);
    printer.setDocName(QStringLiteral("X2026-0001"));
    replay(ops, printer);
}

// Waits (untimed) until the queue has printed every job, so each side starts on a quiet queue.
void drain(const QString& queue)
{
    const QByteArray name = queue.toUtf8();
    for (int i = 0; i < 600; ++i) {
        cups_job_t* jobs = nullptr;
        const int n = cupsGetJobs2(CUPS_HTTP_DEFAULT, &jobs, name.constData(), 0, CUPS_WHICHJOBS_ACTIVE);
        cupsFreeJobs(n, jobs);
        if (n <= 0)
            return;
        QThread::msleep(50);
    }
    bench::die("the queue does not empty", queue);
}

// One round of 打印报告 (ours) against the reference, timed in turn (the side that goes
// first alternates by round), `between` untimed after each side.
void takeTurns(int round, const std::function<void()>& ours, const std::function<void()>& reference,
               const std::function<void()>& between, std::vector<double>& a, std::vector<double>& b,
               std::vector<double>& ratio)
{
    double ta = 0, tb = 0;
    for (int k = 0; k < 2; ++k) {
        const bool oursFirst = (round % 2 == 0) == (k == 0);
        const auto t0 = bench::Clock::now();
        (oursFirst ? ours : reference)();
        (oursFirst ? ta : tb) = bench::millisecondsSince(t0);
        between();
    }
    a.push_back(ta);
    b.push_back(tb);
    ratio.push_back(ta / tb);
}

// A stored report with the print settings, laid out as the preview lays it out.
struct LoadedReport {
    explicit LoadedReport(qint64 id)
    {
        QStringList captions;
        ReportData::loadItemCaptions(captions);
        settings.load(captions);
        ReportData::loadReport(id, content);
        renderer.emplace(settings, content);
    }
    PrintSettings settings;
    ReportContent content;
    std::optional<ReportRenderer> renderer;
};

// 打印报告 against the QPrinter program on a real queue, taking turns, the queue drained between.
void compareOnQueue(Frmreport& w, const QString& queue, qint64 id, int rounds)
{
    ProgramPrinter::setBackend(std::make_shared<SystemPrinterBackend>());
    if (!ProgramPrinter::instance().selectPrinter(queue))
        bench::die("no such queue", queue);
    // The reference's operations: the report laid out for this queue's page, in its dots.
    LoadedReport report(id);
    ReportRenderer& renderer = *report.renderer;
    QPrinter probe(QPrinter::HighResolution);
    ProgramPrinter::instance().configure(probe);
    const QPageLayout layout = probe.pageLayout();
    const int dpi = probe.resolution();
    const std::vector<Op> ops = record(renderer.layout(), dpi, QDateTime::currentDateTime());
    w.CmdPrint_Click();   // one untimed round of each
    replayToQueue(ops, queue, layout, dpi);
    drain(queue);
    if (!MessageBox::shownBoxes().isEmpty())
        bench::die("printing to the queue failed", MessageBox::shownBoxes().last().text);
    std::vector<double> a, b, ratio;
    for (int i = 0; i < rounds; ++i) {
        takeTurns(
            i, [&] { w.CmdPrint_Click(); }, [&] { replayToQueue(ops, queue, layout, dpi); }, [&] { drain(queue); }, a,
            b, ratio);
    }
    if (!MessageBox::shownBoxes().isEmpty())
        bench::die("printing to the queue failed", MessageBox::shownBoxes().last().text);
    std::printf("queue %s, %d pages, %d dpi, %d rounds\n", qPrintable(queue), renderer.layout().pageCount(), dpi,
                rounds);
    std::printf("  打印报告          median %7.2f ms  min %7.2f ms\n", bench::median(a), bench::minimum(a));
    std::printf("  QPrinter program  median %7.2f ms  min %7.2f ms\n", bench::median(b), bench::minimum(b));
    std::printf("  ratio per round   median %.2f  min %.2f   (ratio of medians %.2f; goal <= 1.15)\n",
                bench::median(ratio), bench::minimum(ratio), bench::median(a) / bench::median(b));
}

}

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    const int rounds = argc > 1 ? std::atoi(argv[1]) : 30;
    const int pictureWidth = argc > 2 ? std::atoi(argv[2]) : 768;
    const int pictureHeight = pictureWidth * 3 / 4;
    TestFolder folder;
    if (!folder.ok())
        bench::die("no program folder");
    auto backend = std::make_shared<PdfPrinterBackend>();
    backend->addPrinter(PdfPrinterBackend::standardPrinter(QStringLiteral("PDF")));
    const QString ours = folder.file(QStringLiteral("ours.pdf")), qt = folder.file(QStringLiteral("qt.pdf"));
    backend->setOutputFile(ours);
    ProgramPrinter::setBackend(backend);
    Mmain::gHospitalName = QStringLiteral("东方市第一人民医院");

    // A report of two pages (the shipped layout, medium quality: 600 dpi) with four pictures.
    QString findings;
    for (int n = 1; findings.size() < 1000; ++n)
        findings += QStringLiteral("第%1句：双肺纹理清晰，走行自然，肺门不大，心影大小形态正常。").arg(n)
                    + (n % 4 == 0 ? QStringLiteral("\n") : QString());
    const QueryResult r = Database::ExecuteSql(
        QStringLiteral("insert into reports (obligate5, brname, sex, age, ageunit, sectionoffice, utpatientid, rpdate, "
                       "pgdate, times, part, checkname, checksymptom, checkconclusion, rpdr, pgdr, picture1, picture2, "
                       "picture3, picture4) values (?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?)"),
        {QStringLiteral("X2026-0001"),
         QStringLiteral("张三丰"),
         QStringLiteral("男"),
         45,
         QStringLiteral("岁"),
         QStringLiteral("呼吸内科"),
         QStringLiteral("李时珍"),
         QStringLiteral("2026-12-07"),
         QStringLiteral("2026-12-07"),
         30,
         QStringLiteral("胸部"),
         QStringLiteral("胸部正侧位"),
         findings,
         QStringLiteral("右下肺炎症，建议抗炎治疗后复查。"),
         QStringLiteral("扁鹊"),
         QStringLiteral("华佗"),
         picture(0, pictureWidth, pictureHeight),
         picture(1, pictureWidth, pictureHeight),
         picture(2, pictureWidth, pictureHeight),
         picture(3, pictureWidth, pictureHeight)});
    if (!r.ok())
        bench::die("the report is not stored", r.description);
    const qint64 id = Database::LastInsertId();

    Frmreport& w = Frmreport::instance();
    w.setOpenStatus(QStringLiteral("datarecord"));
    w.setReportKey(QString::number(id));
    Opener::setHook([&](QDialog*) {
        if (w.pageCount() != 2)
            bench::die("the report is not two pages long", QString::number(w.pageCount()));

        // The reference's operations: the layout the preview shows, in the job's dots.
        LoadedReport report(id);
        ReportRenderer& renderer = *report.renderer;
        QPrinter job(QPrinter::HighResolution);
        ProgramPrinter::instance().configure(job);
        const int dpi = job.resolution();
        const std::vector<Op> ops = record(renderer.layout(), dpi, QDateTime::currentDateTime());

        size_t texts = 0, pictures = 0, lines = 0;
        for (const Op& op : ops) {
            texts += std::holds_alternative<Text>(op);
            pictures += std::holds_alternative<Picture>(op);
            lines += std::holds_alternative<Line>(op);
        }
        // One untimed round of each.
        w.CmdPrint_Click();
        replay(ops, qt, job.pageLayout(), dpi);
        if (!MessageBox::shownBoxes().isEmpty())
            bench::die("printing failed", MessageBox::shownBoxes().last().text);

        std::vector<double> a, b, ratio, c;
        for (int i = 0; i < rounds; ++i) {
            // For comparison, untimed against the others: a print that lays the report out again.
            {
                const auto t0 = bench::Clock::now();
                renderer.invalidate();
                renderer.RenderReport(ReportRenderer::Mode::Print, 1, 0);
                c.push_back(bench::millisecondsSince(t0));
            }
            takeTurns(
                i, [&] { w.CmdPrint_Click(); }, [&] { replay(ops, qt, job.pageLayout(), dpi); }, [] {}, a, b, ratio);
        }
        std::printf("2 pages, %zu texts, %zu lines, %zu pictures of %dx%d, %d dpi, %d rounds\n", texts, lines, pictures,
                    pictureWidth, pictureHeight, dpi, rounds);
        std::printf("  打印报告          median %7.2f ms  min %7.2f ms  (%lld bytes)\n", bench::median(a),
                    bench::minimum(a), static_cast<long long>(QFileInfo(ours).size()));
        std::printf("  Qt, QPdfWriter    median %7.2f ms  min %7.2f ms  (%lld bytes)\n", bench::median(b),
                    bench::minimum(b), static_cast<long long>(QFileInfo(qt).size()));
        std::printf("  laid out again    median %7.2f ms  min %7.2f ms  (a fresh layout and the print)\n",
                    bench::median(c), bench::minimum(c));
        std::printf("  ratio per round   median %.2f  min %.2f   (ratio of medians %.2f; goal <= 1.15)\n",
                    bench::median(ratio), bench::minimum(ratio), bench::median(a) / bench::median(b));

        // The same on a real queue when the system has one (WS_BENCH_QUEUE names it, else the
        // default printer).
        QString queue = qEnvironmentVariable("WS_BENCH_QUEUE");
        if (queue.isEmpty())
            queue = SystemPrinterBackend().defaultPrinterName();
        if (queue.isEmpty()) {
            std::printf("no printer queue: add one to measure against it, e.g.\n"
                        "  sudo apt-get install printer-driver-cups-pdf   (a queue named PDF)\n");
            return 0;
        }
        compareOnQueue(w, queue, id, rounds);
        return 0;
    });
    w.showModally();
    return 0;
}
