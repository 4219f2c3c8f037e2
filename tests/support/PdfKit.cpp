#include "support/PdfKit.h"

#include <QFont>
#include <QFontInfo>
#include <QHash>
#include <QProcess>
#include <QRawFont>
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
    QString t = ideographs(runTool(QStringLiteral("pdftotext"), args << pdf << QStringLiteral("-")));
    return t.remove(QRegularExpression(QStringLiteral("\\s")));
}

QString pdfWordBoxes(const QString& pdf)
{
    return ideographs(runTool(QStringLiteral("pdftotext"), {QStringLiteral("-bbox"), pdf, QStringLiteral("-")}));
}

QString ideographs(QString text)
{
    // Radicals (CJK Radicals Supplement and Kangxi Radicals) to the unified ideograph a face
    // draws with the same glyph.
    static const QHash<QChar, QChar> ideograph = [] {
        QHash<QChar, QChar> map;
        QString unified;
        for (char16_t c = 0x4E00; c <= 0x9FFF; ++c)
            unified += QChar(c);
        for (const char* face : {"Noto Serif CJK SC", "Noto Sans CJK SC"})
            for (const bool bold : {false, true}) {
                QFont f(QString::fromLatin1(face));
                f.setBold(bold);
                if (QFontInfo(f).family() != f.family())
                    continue;   // not installed
                const QRawFont raw = QRawFont::fromFont(f);
                const QList<quint32> glyphs = raw.glyphIndexesForString(unified);
                QHash<quint32, QChar> byGlyph;
                for (qsizetype i = 0; i < glyphs.size(); ++i)
                    if (glyphs[i])
                        byGlyph.insert(glyphs[i], unified[i]);
                for (char16_t c = 0x2E80; c <= 0x2FDF; ++c) {
                    const QList<quint32> g = raw.glyphIndexesForString(QString(QChar(c)));
                    if (!g.isEmpty() && g[0] && byGlyph.contains(g[0]))
                        map.insert(QChar(c), byGlyph.value(g[0]));
                }
            }
        return map;
    }();
    for (QChar& c : text)
        c = ideograph.value(c, c);
    return text;
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
