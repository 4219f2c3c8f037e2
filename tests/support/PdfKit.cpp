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
}
