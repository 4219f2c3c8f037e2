#include "report/PrintSettings.h"

#include "core/Modini.h"
#include "report/ProgramPrinter.h"
#include "report/ReportUnits.h"

#include <QHash>
#include <cmath>

namespace {

struct Key {
    const char* section;
    const char* key;
    const char* value;
};

// The shipped layout: an A4 page with the patient's data in three rows, findings
// and diagnosis, and the doctors' names at the foot. data/options.ini holds the same.
const Key kDefaults[] = {
    {"printer", "mPrinter", ""},
    {"printer", "mPaper", "9"},
    {"printer", "mColor", "2"},
    {"printer", "mDirection", "1"},
    {"printer", "mQuality", "-3"},
    {"parameter", "bTop", "12"},
    {"parameter", "bBotton", "10"},
    {"parameter", "bLeft", "15"},
    {"parameter", "bRight", "15"},
    {"parameter", "hjj", "3"},
    {"parameter", "hjj2", "1.5"},
    {"parameter", "djj1", "5"},
    {"parameter", "djj2", "5"},
    {"parameter", "djj3", "5"},
    {"parameter", "djj4", "5"},
    {"parameter", "PicWidth", "40"},
    {"parameter", "PicHeight", "30"},
    {"parameter", "Zoom", "1"},
    {"parameter", "bpic", "1"},
    {"parameter", "LineColor", "0"},
    {"parameter", "rpthead", ""},
    {"parameter", "rptfoot", "本报告仅供临床参考"},
};

struct FontDefault {
    const char* name;
    const char* size;
    bool bold;
};
const FontDefault kFontDefaults[PrintSettings::kFontSets] = {
    {"黑体", "20", true},     // 1 hospital name
    {"黑体", "16", true},     // 2 title
    {"宋体", "10.5", true},   // 3 header captions
    {"宋体", "10.5", false},  // 4 header values
    {"宋体", "12", true},     // 5 body captions
    {"宋体", "12", false},    // 6 body text
    {"宋体", "10.5", true},   // 7 footer captions
    {"宋体", "10.5", false},  // 8 footer values
    {"宋体", "9", false},     // 9 print-date line
};

const QString kFontKeys[] = {QStringLiteral("mFontname"), QStringLiteral("mFontsize"),
                             QStringLiteral("mforecolor"), QStringLiteral("mFontBold"),
                             QStringLiteral("mFontItalic"), QStringLiteral("mFontStrikethru"),
                             QStringLiteral("mFontUnderline")};

const QHash<QString, QString>& defaultTable()
{
    static const QHash<QString, QString> table = [] {
        QHash<QString, QString> t;
        auto put = [&t](const QString& s, const QString& k, const QString& v) {
            t.insert(s.toLower() + QLatin1Char('/') + k.toLower(), v);
        };
        for (const Key& k : kDefaults)
            put(QString::fromUtf8(k.section), QString::fromUtf8(k.key), QString::fromUtf8(k.value));
        for (int n = 0; n < PrintSettings::kFontSets; ++n) {
            const QString s = QStringLiteral("font%1").arg(n + 1);
            const FontDefault& f = kFontDefaults[n];
            put(s, kFontKeys[0], QString::fromUtf8(f.name));
            put(s, kFontKeys[1], QString::fromUtf8(f.size));
            put(s, kFontKeys[2], QStringLiteral("0"));
            put(s, kFontKeys[3], f.bold ? QStringLiteral("True") : QStringLiteral("False"));
            for (int k = 4; k < 7; ++k)
                put(s, kFontKeys[k], QStringLiteral("False"));
        }
        return t;
    }();
    return table;
}

QString raw(const QString& section, const QString& key)
{
    return Modini::GetIniValue(section, key, QString());
}

double number(const QString& section, const QString& key)
{
    if (const auto v = ReportUnits::toNumber(raw(section, key)))
        return *v;
    return ReportUnits::toNumber(PrintSettings::defaultValue(section, key)).value_or(0.0);
}

qint32 int32(const QString& section, const QString& key)
{
    double v = number(section, key);
    if (v > 2147483647.0 || v < -2147483648.0)
        v = ReportUnits::toNumber(PrintSettings::defaultValue(section, key)).value_or(0.0);
    return qint32(ReportUnits::roundEven(v));
}

bool boolean(const QString& section, const QString& key)
{
    if (const auto v = ReportUnits::toBoolean(raw(section, key)))
        return *v;
    return ReportUnits::toBoolean(PrintSettings::defaultValue(section, key)).value_or(false);
}

QString textOrDefault(const QString& section, const QString& key)
{
    const QString v = raw(section, key);
    return v.isEmpty() ? PrintSettings::defaultValue(section, key) : v;
}
}

PrintSettings::PrintSettings()
{
    for (int n = 0; n < kFontSets; ++n) {
        fonts[n].name = QString::fromUtf8(kFontDefaults[n].name);
        fonts[n].size = QString::fromUtf8(kFontDefaults[n].size).toDouble();
        fonts[n].bold = kFontDefaults[n].bold;
    }
}

QString PrintSettings::defaultValue(const QString& section, const QString& key)
{
    return defaultTable().value(section.toLower() + QLatin1Char('/') + key.toLower());
}

QStringList PrintSettings::allKeys()
{
    QStringList out;
    for (const Key& k : kDefaults)
        out << QString::fromUtf8(k.section) + QLatin1Char('/') + QString::fromUtf8(k.key);
    for (int n = 1; n <= kFontSets; ++n)
        for (const QString& k : kFontKeys)
            out << QStringLiteral("font%1/").arg(n) + k;
    for (int n = 1; n <= kSlots; ++n)
        out << QStringLiteral("rptxm/xm%1").arg(n) << QStringLiteral("rptxm/id%1").arg(n);
    return out;
}

void PrintSettings::readSettingsFile(const QStringList& itemCaptions)
{
    const QString P = QStringLiteral("printer");
    printerName = raw(P, QStringLiteral("mPrinter"));
    paperCode = int32(P, QStringLiteral("mPaper"));
    // The modes as read: a missing or non-numeric one leaves the printer's own value.
    colorMode = raw(P, QStringLiteral("mColor"));
    orientation = raw(P, QStringLiteral("mDirection"));
    quality = raw(P, QStringLiteral("mQuality"));

    const QString A = QStringLiteral("parameter");
    top = number(A, QStringLiteral("bTop"));
    bottom = number(A, QStringLiteral("bBotton"));
    left = number(A, QStringLiteral("bLeft"));
    right = number(A, QStringLiteral("bRight"));
    hjj = number(A, QStringLiteral("hjj"));
    hjj2 = number(A, QStringLiteral("hjj2"));
    for (int i = 0; i < 4; ++i)
        djj[i] = number(A, QStringLiteral("djj%1").arg(i + 1));
    picWidth = number(A, QStringLiteral("PicWidth"));
    picHeight = number(A, QStringLiteral("PicHeight"));
    zoom = number(A, QStringLiteral("Zoom"));
    printPictures = boolean(A, QStringLiteral("bpic"));
    lineColor = int32(A, QStringLiteral("LineColor"));
    rpthead = raw(A, QStringLiteral("rpthead"));
    rptfoot = raw(A, QStringLiteral("rptfoot"));

    for (int n = 0; n < kFontSets; ++n) {
        const QString s = QStringLiteral("font%1").arg(n + 1);
        FontSet& f = fonts[n];
        f.name = textOrDefault(s, kFontKeys[0]);
        f.size = number(s, kFontKeys[1]);
        f.color = int32(s, kFontKeys[2]);
        f.bold = boolean(s, kFontKeys[3]);
        f.italic = boolean(s, kFontKeys[4]);
        f.strikeout = boolean(s, kFontKeys[5]);
        f.underline = boolean(s, kFontKeys[6]);
        if (n == 0) {
            // The hospital name is never printed in a light colour or below 12 points.
            if (f.color > 16711680)
                f.color = 0;
            if (f.size < 12)
                f.size = 12;
        }
    }

    const QString X = QStringLiteral("rptxm");
    for (int n = 0; n < kSlots; ++n) {
        const QString xm = raw(X, QStringLiteral("xm%1").arg(n + 1));
        if (xm.isEmpty()) {
            slotCaptions[n].clear();
        } else if (const auto v = ReportUnits::toNumber(xm)) {
            const double whole = std::floor(*v);
            if (whole >= 1 && whole <= 23)
                slotCaptions[n] = itemCaptions.value(int(whole) - 1);
        }
        slotFields[n] = raw(X, QStringLiteral("id%1").arg(n + 1));
    }
}

void PrintSettings::applyToPrinter()
{
    ProgramPrinter& printer = ProgramPrinter::instance();
    printer.selectPrinter(printerName);   // no match keeps the current printer
    printer.setPaperCode(paperCode);
    if (const auto c = ReportUnits::toCode16(colorMode))
        printer.setColorCode(*c);
    if (const auto c = ReportUnits::toCode16(orientation))
        printer.setOrientationCode(*c);
    if (const auto c = ReportUnits::toCode16(quality))
        printer.setQualityCode(*c);

    const QRectF printable = printer.printableRectMm();
    const QSizeF paper = printer.paperSizeMm();
    pageWidth = printable.width();
    pageHeight = printable.height();
    offsetX = (paper.width() - pageWidth) / 2;
    offsetY = (paper.height() - pageHeight) / 2;
}

void PrintSettings::load(const QStringList& itemCaptions)
{
    readSettingsFile(itemCaptions);
    applyToPrinter();
    pageCount = 0;
    currentPage = 1;
    pageCounter = 1;
}
