#include "report/PrintSettings.h"

#include "core/Modini.h"
#include "core/NumberText.h"
#include "platform/Units.h"
#include "report/ProgramPrinter.h"
#include "report/ReportUnits.h"

#include <QHash>
#include <cmath>

namespace {

// The shipped layout: an A4 page with the patient's data in three rows, findings
// and diagnosis, and the doctors' names at the foot. data/options.ini holds the same.
const QList<std::pair<IniSetting, QString>>& defaults()
{
    using namespace PrintKey;
    static const QList<std::pair<IniSetting, QString>> list{
        {Printer, QString()},
        {Paper, QStringLiteral("9")},
        {Color, QStringLiteral("2")},
        {Direction, QStringLiteral("1")},
        {Quality, QStringLiteral("-3")},
        {Top, QStringLiteral("12")},
        {Bottom, QStringLiteral("10")},
        {Left, QStringLiteral("15")},
        {Right, QStringLiteral("15")},
        {LineSpacing, QStringLiteral("3")},
        {TextSpacing, QStringLiteral("1.5")},
        {ParagraphSpacing(1), QStringLiteral("5")},
        {ParagraphSpacing(2), QStringLiteral("5")},
        {ParagraphSpacing(3), QStringLiteral("5")},
        {ParagraphSpacing(4), QStringLiteral("5")},
        {PicWidth, QStringLiteral("40")},
        {PicHeight, QStringLiteral("30")},
        {Zoom, QStringLiteral("1")},
        {Pictures, QStringLiteral("1")},
        {LineColor, QStringLiteral("0")},
        {Head, QString()},
        {Foot, QStringLiteral("本报告仅供临床参考")},
    };
    return list;
}

struct FontDefault {
    const char* name;
    const char* size;
    bool bold;
};
const FontDefault kFontDefaults[PrintSettings::kFontSets] = {
    {"黑体", "20", true},      // 1 hospital name
    {"黑体", "16", true},      // 2 title
    {"宋体", "10.5", true},    // 3 header captions
    {"宋体", "10.5", false},   // 4 header values
    {"宋体", "12", true},      // 5 body captions
    {"宋体", "12", false},     // 6 body text
    {"宋体", "10.5", true},    // 7 footer captions
    {"宋体", "10.5", false},   // 8 footer values
    {"宋体", "9", false},      // 9 print-date line
};

using PrintKey::kFontKeys;

const QHash<QString, QString>& defaultTable()
{
    static const QHash<QString, QString> table = [] {
        QHash<QString, QString> t;
        auto put = [&t](const QString& s, const QString& k, const QString& v) {
            t.insert(s.toLower() + QLatin1Char('/') + k.toLower(), v);
        };
        for (const auto& [k, value] : defaults())
            put(k.section, k.key, value);
        for (int n = 0; n < PrintSettings::kFontSets; ++n) {
            const QString s = PrintKey::FontSection(n + 1);
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

QString raw(const QString& section, const QString& key) { return Modini::GetIniValue(section, key, QString()); }
QString raw(const IniSetting& k) { return raw(k.section, k.key); }

double number(const QString& section, const QString& key)
{
    if (const auto v = NumberText::Parse(raw(section, key)))
        return *v;
    return NumberText::Parse(PrintSettings::defaultValue(section, key)).value_or(0.0);
}

double number(const IniSetting& k) { return number(k.section, k.key); }

qint32 int32(const QString& section, const QString& key)
{
    double v = number(section, key);
    if (v > 2147483647.0 || v < -2147483648.0)
        v = NumberText::Parse(PrintSettings::defaultValue(section, key)).value_or(0.0);
    return qint32(Units::roundEven(v));
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
    auto name = [](const IniSetting& k) { return k.section + QLatin1Char('/') + k.key; };
    for (const auto& [k, value] : defaults())
        out << name(k);
    for (int n = 1; n <= kFontSets; ++n)
        for (const QString& k : kFontKeys)
            out << PrintKey::FontSection(n) + QLatin1Char('/') + k;
    for (int n = 1; n <= kSlots; ++n)
        out << name(PrintKey::ItemRow(n)) << name(PrintKey::ItemField(n));
    return out;
}

void PrintSettings::readSettingsFile(const QStringList& itemCaptions)
{
    using namespace PrintKey;
    printerName = raw(Printer);
    paperCode = storedWhole(Paper);
    // The modes as read: a missing or non-numeric one leaves the printer's own value.
    colorMode = raw(Color);
    orientation = raw(Direction);
    quality = raw(Quality);

    top = number(Top);
    bottom = number(Bottom);
    left = number(Left);
    right = number(Right);
    hjj = number(LineSpacing);
    hjj2 = number(TextSpacing);
    for (int i = 0; i < 4; ++i)
        djj[i] = number(ParagraphSpacing(i + 1));
    picWidth = number(PicWidth);
    picHeight = number(PicHeight);
    zoom = number(Zoom);
    printPictures = storedBoolean(Pictures);
    lineColor = storedWhole(LineColor);
    rpthead = raw(Head);
    rptfoot = raw(Foot);

    for (int n = 0; n < kFontSets; ++n)
        fonts[n] = storedFontSet(n + 1);
    correctFontsForPage();

    for (int n = 0; n < kSlots; ++n) {
        const QString xm = raw(ItemRow(n + 1));
        if (xm.isEmpty()) {
            slotCaptions[n].clear();
        } else if (const auto v = NumberText::Parse(xm)) {
            const double whole = std::floor(*v);
            if (whole >= 1 && whole <= 23)
                slotCaptions[n] = itemCaptions.value(int(whole) - 1);
        }
        slotFields[n] = raw(ItemField(n + 1));
    }
}

void PrintSettings::correctFontsForPage()
{
    // The hospital name is never printed in a light colour or below 12 points.
    FontSet& f = fonts[0];
    if (f.color > 16711680)
        f.color = 0;
    if (f.size < 12)
        f.size = 12;
}

void PrintSettings::applyToPrinter()
{
    ProgramPrinter::instance().selectPrinter(printerName);   // no match keeps the current printer
    applyModesToPrinter();
}

void PrintSettings::applyModesToPrinter()
{
    ProgramPrinter& printer = ProgramPrinter::instance();
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

qint32 PrintSettings::storedWhole(const IniSetting& key) { return int32(key.section, key.key); }

bool PrintSettings::storedBoolean(const IniSetting& key) { return boolean(key.section, key.key); }

QString PrintSettings::storedNumberText(const IniSetting& key)
{
    const QString v = raw(key);
    return NumberText::Parse(v) ? v : defaultValue(key.section, key.key);
}

FontSet PrintSettings::storedFontSet(int n)
{
    const QString s = PrintKey::FontSection(n);
    FontSet f;
    f.name = textOrDefault(s, kFontKeys[0]);
    f.size = number(s, kFontKeys[1]);
    f.color = int32(s, kFontKeys[2]);
    f.bold = boolean(s, kFontKeys[3]);
    f.italic = boolean(s, kFontKeys[4]);
    f.strikeout = boolean(s, kFontKeys[5]);
    f.underline = boolean(s, kFontKeys[6]);
    return f;
}

void PrintSettings::load(const QStringList& itemCaptions)
{
    readSettingsFile(itemCaptions);
    applyToPrinter();
    pageCount = 0;
    currentPage = 1;
    pageCounter = 1;
}
