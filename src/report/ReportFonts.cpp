#include "report/ReportFonts.h"

#include <QFont>
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
        for (const QString& name : {QStringLiteral("宋体"), QStringLiteral("新宋体"), QStringLiteral("SimSun"),
                                    QStringLiteral("NSimSun")})
            QFont::insertSubstitutions(name, song);
        for (const QString& name : {QStringLiteral("黑体"), QStringLiteral("SimHei")})
            QFont::insertSubstitutions(name, hei);
        return true;
    }();
    (void)installed;
}
}
