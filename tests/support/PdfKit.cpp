#include "support/PdfKit.h"

#include <QProcess>
#include <QRegularExpression>

namespace kit {

namespace {
QStringList pageRange(int page)
{
    return {QStringLiteral("-f"), QString::number(page), QStringLiteral("-l"), QString::number(page)};
}
}

QString runTool(const QString& program, const QStringList& args)
{
    QProcess p;
    p.start(program, args);
    if (!p.waitForFinished(60000))
        return QString();
    return QString::fromUtf8(p.readAllStandardOutput());
}

int pdfPages(const QString& pdf)
{
    const auto m =
        QRegularExpression(QStringLiteral("Pages:\\s+(\\d+)")).match(runTool(QStringLiteral("pdfinfo"), {pdf}));
    return m.hasMatch() ? m.captured(1).toInt() : -1;
}

QString pdfText(const QString& pdf, int page, bool raw)
{
    QStringList args = page > 0 ? pageRange(page) : QStringList();
    if (raw)
        args.prepend(QStringLiteral("-raw"));
    QString t = runTool(QStringLiteral("pdftotext"), args << pdf << QStringLiteral("-"));
    return t.remove(QRegularExpression(QStringLiteral("\\s")));
}

QImage pdfPageImage(const QString& pdf, int page, const QString& prefix)
{
    runTool(
        QStringLiteral("pdftoppm"),
        QStringList{QStringLiteral("-r"), QStringLiteral("100"), QStringLiteral("-png"), QStringLiteral("-singlefile")}
            << pageRange(page) << pdf << prefix);
    return QImage(prefix + QStringLiteral(".png"));
}

QImage pdfPageImage(const QString& pdf, int page, const QString& prefix, int dpi, const QRect& crop)
{
    runTool(QStringLiteral("pdftoppm"),
            QStringList{QStringLiteral("-r"), QString::number(dpi), QStringLiteral("-x"), QString::number(crop.x()),
                        QStringLiteral("-y"), QString::number(crop.y()), QStringLiteral("-W"),
                        QString::number(crop.width()), QStringLiteral("-H"), QString::number(crop.height()),
                        QStringLiteral("-png"), QStringLiteral("-singlefile")}
                << pageRange(page) << pdf << prefix);
    return QImage(prefix + QStringLiteral(".png"));
}

int thickestRun(const QImage& img, const std::function<bool(QRgb)>& matches)
{
    int thickest = 0;
    for (int x = 0; x < img.width(); ++x) {
        int run = 0;
        for (int y = 0; y < img.height(); ++y) {
            run = matches(img.pixel(x, y)) ? run + 1 : 0;
            thickest = std::max(thickest, run);
        }
    }
    return thickest;
}
}
