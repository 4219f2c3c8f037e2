#include "report/ReportFonts.h"

#include <QFont>
#include <QFontDatabase>
#include <QFontInfo>
#include <QStringList>

namespace ReportFonts {

void installSubstitutions()
{
    static const bool installed = [] {
        // Song (Ming) serif faces, first the one scripts/setup-deps installs.
        const QStringList song{QStringLiteral("AR PL UMing CN"), QStringLiteral("Noto Serif CJK SC"),
                               QStringLiteral("AR PL UMing TW")};
        // Hei sans faces.
        const QStringList hei{QStringLiteral("WenQuanYi Zen Hei"), QStringLiteral("Noto Sans CJK SC"),
                              QStringLiteral("WenQuanYi Micro Hei")};
        for (const QString& name :
             {QStringLiteral("宋体"), QStringLiteral("新宋体"), QStringLiteral("SimSun"), QStringLiteral("NSimSun")})
            QFont::insertSubstitutions(name, song);
        for (const QString& name : {QStringLiteral("黑体"), QStringLiteral("SimHei")})
            QFont::insertSubstitutions(name, hei);
        return true;
    }();
    (void)installed;
}

namespace {
// The face as the font database spells it (mappings are kept in lower case); empty
// when it is not installed.
QString installedSpelling(const QString& face)
{
    for (const QString& f : QFontDatabase::families())
        if (f.compare(face, Qt::CaseInsensitive) == 0)
            return f;
    return QString();
}
}

QString installedFace(const QString& name)
{
    installSubstitutions();
    if (!name.trimmed().isEmpty()) {
        if (const QString f = installedSpelling(name); !f.isEmpty())
            return f;
        for (const QString& face : QFont::substitutes(name))
            if (const QString f = installedSpelling(face); !f.isEmpty())
                return f;
    }
    const QString fallback = QFontInfo(name.trimmed().isEmpty() ? QFont() : QFont(name)).family();
    const QString f = installedSpelling(fallback);
    return f.isEmpty() ? fallback : f;
}
}
