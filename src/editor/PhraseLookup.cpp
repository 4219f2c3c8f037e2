#include "editor/PhraseLookup.h"

#include <QSize>

namespace PhraseLookup {

QString KeyBefore(const QString& text, int p)
{
    if (p <= 0 || p > text.size())
        return QString();
    if (p >= 2 && text.at(p - 1).isLowSurrogate() && text.at(p - 2).isHighSurrogate())
        return text.mid(p - 2, 2);
    return text.mid(p - 1, 1);
}

QString LikePattern(const QString& key)
{
    QString escaped;
    for (const QChar c : key) {
        if (c == QLatin1Char('%') || c == QLatin1Char('_') || c == QLatin1Char('\\'))
            escaped += QLatin1Char('\\');
        escaped += c;
    }
    return QLatin1Char('%') + escaped + QLatin1Char('%');
}

QueryResult Find(const QString& key)
{
    const QString pattern = LikePattern(key);
    return Database::QueryData(QStringLiteral("SELECT * FROM zymc WHERE name LIKE ? ESCAPE '\\' "
                                              "OR fl LIKE ? ESCAPE '\\' ORDER BY id"),
                               {pattern, pattern});
}

int LabelsNeeded(int n) { return n <= 0 ? 0 : (n + 49) / 50 * 50; }

Flow LayOut(const QStringList& captions, int width, const Measure& measure)
{
    Flow f;
    const int sample = measure(QStringLiteral("#")).height();
    int x = 0;
    int y = 30;
    f.height = sample + 30;
    const int n = int(captions.size());
    for (int k = 0; k < n; ++k) {
        f.positions.append(QPoint(x, y));
        const QSize size = measure(captions[k]);
        const int w = size.width();
        const int wn = k + 1 < n ? measure(captions[k + 1]).width() : 0;
        bool newRow = true;
        if (x + w + 120 <= width) {
            x += w + 120;
            newRow = x + wn + 120 > width;
        }
        if (newRow) {
            y += size.height() + 30;
            f.height = y + sample;
            x = 0;
        }
    }
    return f;
}

Insertion Insert(int length, int p, int m, int insertedLength, int dropBefore)
{
    p = qBound(0, p, length);
    m = qBound(0, m, length - p);
    if (p == 0)
        return {0, 0, insertedLength};
    const int keep = qBound(0, p - dropBefore, p);
    return {keep, p + m, keep + insertedLength};
}
}
