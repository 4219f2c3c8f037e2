#include "report/ReportFonts.h"

#include <QFont>
#include <QFontDatabase>
#include <QFontInfo>
#include <QHash>
#include <QMutex>
#include <QPair>
#include <QStringList>

namespace ReportFonts {

namespace {
// The names a style goes by in stored layouts and the installed faces that draw it,
// first the one scripts/setup-deps installs.
struct Style {
    QStringList names;
    QStringList faces;
};

const QList<Style>& styles()
{
    static const QList<Style> list{
        // Song (Ming) serif faces.
        {{QStringLiteral("宋体"), QStringLiteral("新宋体"), QStringLiteral("SimSun"), QStringLiteral("NSimSun")},
         {QStringLiteral("AR PL UMing CN"), QStringLiteral("Noto Serif CJK SC"), QStringLiteral("AR PL UMing TW")}},
        // Hei sans faces.
        {{QStringLiteral("黑体"), QStringLiteral("SimHei")},
         {QStringLiteral("WenQuanYi Zen Hei"), QStringLiteral("Noto Sans CJK SC"),
          QStringLiteral("WenQuanYi Micro Hei")}},
    };
    return list;
}

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

void installSubstitutions()
{
    static const bool installed = [] {
        for (const Style& s : styles())
            for (const QString& name : s.names)
                QFont::insertSubstitutions(name, s.faces);
        return true;
    }();
    (void)installed;
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

namespace {
bool hasBold(const QString& face)
{
    for (const QString& style : QFontDatabase::styles(face))
        if (QFontDatabase::weight(face, style) >= QFont::Bold)
            return true;
    return false;
}

bool listed(const QStringList& list, const QString& name) { return list.contains(name.trimmed(), Qt::CaseInsensitive); }

QStringList lookUpFaces(const QString& name, bool bold)
{
    const QString face = installedFace(name);
    if (!bold || hasBold(face))
        return {name};
    for (const Style& s : styles()) {
        if (!listed(s.names, name) && !listed(s.faces, name) && !listed(s.faces, face))
            continue;
        for (const QString& candidate : s.faces)
            if (const QString f = installedSpelling(candidate); !f.isEmpty() && hasBold(f))
                return {f};
    }
    return {name};
}
}

QStringList faces(const QString& name, bool bold)
{
    // A layout sets its faces at every text it draws; the font database is asked once
    // per name for the session (faces installed while the program runs count from the
    // next start).
    static QMutex lock;
    static QHash<QPair<QString, bool>, QStringList> known;
    const QMutexLocker hold(&lock);
    const auto key = qMakePair(name, bold);
    const auto found = known.constFind(key);
    if (found != known.constEnd())
        return *found;
    return *known.insert(key, lookUpFaces(name, bold));
}
}
