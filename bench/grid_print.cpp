// The grid printer against Qt drawing the same texts and lines straight onto a
// QPdfWriter. See README.md (bench_grid_print).
#include "common.h"

#include "../tests/support/GridSamples.h"
#include "core/Modini.h"
#include "platform/AppPaths.h"
#include "platform/MessageBox.h"
#include "report/GridPrinter.h"
#include "report/ProgramPrinter.h"
#include "report/ReportSurface.h"

#include <QApplication>
#include <QFileInfo>
#include <QFontMetricsF>
#include <QPainter>
#include <QPdfWriter>
#include <QPrinter>
#include <QTemporaryDir>
#include <variant>

namespace {

constexpr double kTwipsPerInch = 1440.0;

// One drawing operation in printer dots, ready to be replayed.
struct SetFont {
    QFont font;
    QColor color;
};
struct DrawLine {
    QLineF line;
};
struct DrawText {
    QPointF baseline;
    QString text;
};
struct NewPage {};
using Op = std::variant<SetFont, DrawLine, DrawText, NewPage>;

// Passes everything on to the printer's surface and notes it in printer dots.
class Tee : public GridSurface {
public:
    Tee(GridSurface& inner, QPaintDevice* device, double dotsPerTwip)
        : inner_(inner), device_(device), scale_(dotsPerTwip)
    {}
    std::vector<Op> ops;

    void setDrawWidth(int dots) override { inner_.setDrawWidth(dots); }
    void setFont(const GridFont& f) override
    {
        inner_.setFont(f);
        font_.setPointSizeF(f.size);
        font_.setBold(f.bold);
        font_.setFamilies({f.name});
        font_.setItalic(f.italic);
        font_.setStrikeOut(f.strikeout);
        font_.setUnderline(f.underline);
        ops.emplace_back(SetFont{font_, f.color});
    }
    double textWidth(const QString& t) override { return inner_.textWidth(t); }
    double textHeight() override { return inner_.textHeight(); }
    void print(double x, double y, const QString& t) override
    {
        inner_.print(x, y, t);
        const double ascent = QFontMetricsF(font_, device_).ascent();
        ops.emplace_back(DrawText{QPointF(x * scale_, y * scale_ + ascent), t});
    }
    void line(double x1, double y1, double x2, double y2) override
    {
        inner_.line(x1, y1, x2, y2);
        ops.emplace_back(DrawLine{QLineF(x1 * scale_, y1 * scale_, x2 * scale_, y2 * scale_)});
    }
    void newPage() override
    {
        inner_.newPage();
        ops.emplace_back(NewPage{});
    }
    void endDoc() override { inner_.endDoc(); }
    void killDoc() override { inner_.killDoc(); }

private:
    GridSurface& inner_;
    QPaintDevice* device_;
    double scale_;
    QFont font_;
};

// Qt alone: the recorded texts and lines at their recorded places, nothing measured.
void replay(const std::vector<Op>& ops, const QString& file, const QPageLayout& layout, int dpi)
{
    QPdfWriter writer(file);
    writer.setResolution(dpi);
    writer.setPageLayout(layout);
    QPainter p(&writer);
    QPen pen(Qt::black);
    pen.setWidthF(5.0 * dpi / ReportMeasure::kDpi);   // the printer's cell lines: 5 dots at 1200 dpi
    pen.setCapStyle(Qt::SquareCap);
    p.setPen(pen);
    for (const Op& op : ops) {
        if (const auto* f = std::get_if<SetFont>(&op)) {
            p.setFont(f->font);
            if (pen.color() != f->color) {
                pen.setColor(f->color);
                p.setPen(pen);
            }
        } else if (const auto* l = std::get_if<DrawLine>(&op)) {
            p.drawLine(l->line);
        } else if (const auto* t = std::get_if<DrawText>(&op)) {
            p.drawText(t->baseline, t->text);
        } else {
            writer.newPage();
        }
    }
    p.end();
}

struct Condition {
    const char* name;
    const char* paper;
    const char* direction;
    std::vector<int> widths;   // empty: the sample's own
};

}

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    const int rows = argc > 1 ? std::atoi(argv[1]) : 2000;
    const int repeats = argc > 2 ? std::atoi(argv[2]) : 5;
    QTemporaryDir dir;
    AppPaths::setProgramFolder(dir.path());
    MessageBox::setScripted(true);
    auto backend = std::make_shared<PdfPrinterBackend>();
    backend->addPrinter(PdfPrinterBackend::standardPrinter(QStringLiteral("PDF")));
    const QString ours = dir.filePath(QStringLiteral("ours.pdf")), qt = dir.filePath(QStringLiteral("qt.pdf"));
    backend->setOutputFile(ours);
    ProgramPrinter::setBackend(backend);
    const std::pair<IniSetting, QString> keys[] = {{IniKey::GridTop, "10"},          {IniKey::GridBottom, "10"},
                                                   {IniKey::GridLeft, "10"},         {IniKey::GridRight, "10"},
                                                   {IniKey::GridPrinterName, "PDF"}, {IniKey::GridColor, "2"},
                                                   {IniKey::GridQuality, "-3"}};
    for (const auto& [k, v] : keys)
        Modini::SetIniValue(k, v);

    const Condition conditions[] = {
        {"A3 landscape, one column block", "8", "2", {}},
        {"A4 portrait, the query list's own widths (3 column blocks)", "9", "1", {900,  1000, 600,  600,  1000, 1000,
                                                                                  1000, 1000, 900,  1000, 1300, 950,
                                                                                  950,  1000, 1000, 1000, 1200, 2000,
                                                                                  3500, 3500, 3500, 0}},
    };
    for (const Condition& c : conditions) {
        Modini::SetIniValue(IniKey::GridPaper, QString::fromLatin1(c.paper));
        Modini::SetIniValue(IniKey::GridDirection, QString::fromLatin1(c.direction));
        MemoryGrid grid = gridsamples::queryList(rows);
        if (!c.widths.empty())
            grid.widths = c.widths;
        GridPrinter printer;
        printer.SetupGridPrinter();
        if (!printer.ready())
            bench::die("the grid print settings do not set up");

        // The operations our printer sends, recorded once in printer dots.
        std::vector<Op> ops;
        QPageLayout layout;
        int dpi = 0;
        {
            QPrinter job(QPrinter::HighResolution);
            ProgramPrinter::instance().configure(job);
            layout = job.pageLayout();
            dpi = job.resolution();
            PrinterGridSurface surface(job);
            Tee tee(surface, &job, dpi / kTwipsPerInch);
            printer.PrintGrid(grid, tee);
            ops = std::move(tee.ops);
        }
        if (!MessageBox::shownBoxes().isEmpty())
            bench::die("printing failed", MessageBox::shownBoxes().last().text);

        std::vector<double> a, b;
        for (int i = 0; i < repeats; ++i) {
            auto t0 = bench::Clock::now();
            printer.SetupGridPrinter();
            printer.PrintGrid(grid);
            a.push_back(bench::millisecondsSince(t0));
            t0 = bench::Clock::now();
            replay(ops, qt, layout, dpi);
            b.push_back(bench::millisecondsSince(t0));
        }
        size_t texts = 0, pages = 1;
        for (const Op& op : ops) {
            texts += std::holds_alternative<DrawText>(op);
            pages += std::holds_alternative<NewPage>(op);
        }
        std::printf("%s: %d rows x %d columns, %zu pages, %zu texts, %d dpi\n", c.name, grid.rows(), grid.cols(), pages,
                    texts, dpi);
        std::printf("  grid printer   median %8.1f ms  min %8.1f ms  (%lld bytes)\n", bench::median(a),
                    bench::minimum(a), static_cast<long long>(QFileInfo(ours).size()));
        std::printf("  Qt, QPdfWriter median %8.1f ms  min %8.1f ms  (%lld bytes)\n", bench::median(b),
                    bench::minimum(b), static_cast<long long>(QFileInfo(qt).size()));
        std::printf("  ratio (medians) %.2f\n", bench::median(a) / bench::median(b));
    }
    return 0;
}
