#pragma once
#include "core/Modini.h"
#include "core/ReportRecord.h"

#include <QString>
#include <QStringList>
#include <array>

// The keys of the report page layout in options.ini, each spelled once as the
// shipped file spells it; their defaults are listed in PrintSettings.cpp.
namespace PrintKey {
inline const QString kPrinter = QStringLiteral("printer");
inline const QString kParameter = QStringLiteral("parameter");
inline const QString kItems = QStringLiteral("rptxm");
inline const IniSetting Printer{kPrinter, QStringLiteral("mPrinter")};       // device name
inline const IniSetting Paper{kPrinter, QStringLiteral("mPaper")};           // paper code
inline const IniSetting Color{kPrinter, QStringLiteral("mColor")};           // 1 monochrome, 2 colour
inline const IniSetting Direction{kPrinter, QStringLiteral("mDirection")};   // 1 portrait, 2 landscape
inline const IniSetting Quality{kPrinter, QStringLiteral("mQuality")};       // -1 draft .. -4 high
inline const IniSetting Top{kParameter, QStringLiteral("bTop")};             // margins, millimetres
inline const IniSetting Bottom{kParameter, QStringLiteral("bBotton")};
inline const IniSetting Left{kParameter, QStringLiteral("bLeft")};
inline const IniSetting Right{kParameter, QStringLiteral("bRight")};
inline const IniSetting LineSpacing{kParameter, QStringLiteral("hjj")};    // between header lines and rows
inline const IniSetting TextSpacing{kParameter, QStringLiteral("hjj2")};   // after each body line
inline const IniSetting PicWidth{kParameter, QStringLiteral("PicWidth")};
inline const IniSetting PicHeight{kParameter, QStringLiteral("PicHeight")};
inline const IniSetting Zoom{kParameter, QStringLiteral("Zoom")};       // preview factor, 1 = 100 %
inline const IniSetting Pictures{kParameter, QStringLiteral("bpic")};   // "1": print the picture row
inline const IniSetting LineColor{kParameter, QStringLiteral("LineColor")};
inline const IniSetting Head{kParameter, QStringLiteral("rpthead")};   // kept, printed nowhere
inline const IniSetting Foot{kParameter, QStringLiteral("rptfoot")};   // end of the print-date line
// The gap before body slot 21 + n (n = 1..4): "djj1" .. "djj4".
inline IniSetting ParagraphSpacing(int n) { return {kParameter, QStringLiteral("djj%1").arg(n)}; }
// Slot n (1..28): the bgxm row it shows ("xmN") and the field it prints ("idN").
inline IniSetting ItemRow(int n) { return {kItems, QStringLiteral("xm%1").arg(n)}; }
inline IniSetting ItemField(int n) { return {kItems, QStringLiteral("id%1").arg(n)}; }
// Font set n (1..9): section "fontN", keys face, size, colour, bold, italic, strikeout, underline.
inline QString FontSection(int n) { return QStringLiteral("font%1").arg(n); }
inline const std::array<QString, 7> kFontKeys = {QStringLiteral("mFontname"),     QStringLiteral("mFontsize"),
                                                 QStringLiteral("mforecolor"),    QStringLiteral("mFontBold"),
                                                 QStringLiteral("mFontItalic"),   QStringLiteral("mFontStrikethru"),
                                                 QStringLiteral("mFontUnderline")};
}

// One of the nine font sets of the report page.
struct FontSet {
    QString name;
    double size = 12;
    qint32 color = 0;   // red in the low byte
    bool bold = false;
    bool italic = false;
    bool strikeout = false;
    bool underline = false;
};

// The report page layout as kept in options.ini ([printer], [parameter], [font1]..[font9],
// [rptxm]) together with the preview's page state. One instance lives with the
// preview window; load() fills it and prepares the program's printer.
class PrintSettings {
public:
    static constexpr int kSlots = 28;
    static constexpr int kFontSets = 9;
    static constexpr int kItems = 24;    // entries of the item caption list
    static constexpr int kValues = 26;   // report value list, index = reports field number

    // Page state.
    int pageCount = 0;
    int currentPage = 1;
    int pageCounter = 1;

    // [printer]
    QString printerName;
    int paperCode = 9;
    QString colorMode;
    QString orientation;
    QString quality;

    // [parameter], millimetres
    double left = 15, right = 15, top = 12, bottom = 10;
    double hjj = 3, hjj2 = 1.5;
    std::array<double, 4> djj{5, 5, 5, 5};
    double picWidth = 40, picHeight = 30;
    double zoom = 1;
    QString rpthead, rptfoot;
    qint32 lineColor = 0;
    bool printPictures = true;

    // Unprintable offsets and the printable page, millimetres.
    double offsetX = 0, offsetY = 0;
    double pageWidth = 200, pageHeight = 287;

    std::array<FontSet, kFontSets> fonts;   // index 0 = font set 1

    // Item slots 1..28 at index 0..27: caption and reports field number (text).
    std::array<QString, kSlots> slotCaptions;
    std::array<QString, kSlots> slotFields;

    PrintSettings();

    // The reports field number each bgxm row prints (row 1..23 in xmid order at index 0..22).
    static constexpr const std::array<int, ReportRecord::kItemCount>& kItemFieldMap = ReportRecord::kItemFields;

    // Reads every key from options.ini in the program folder. A missing or
    // malformed number takes the shipped default (and never stops the loading),
    // except the colour mode, orientation and quality, which then leave the printer's own;
    // itemCaptions are the bgxm captions in xmid order. Then selects the printer,
    // applies paper and modes to it, takes its printable area and resets the pages.
    void load(const QStringList& itemCaptions);

    // Only the options.ini part of load(), without touching the printer or the pages.
    void readSettingsFile(const QStringList& itemCaptions);
    // The corrections the page makes to the font sets as stored (the hospital name's).
    void correctFontsForPage();
    // Selects and prepares the program's printer and takes its page size.
    void applyToPrinter();
    // Applies the stored paper and modes to the program's current printer (whichever
    // it is) and takes its page size; what the printer refuses it keeps its own.
    void applyModesToPrinter();

    // The shipped default text of a key, "" when it has none.
    static QString defaultValue(const QString& section, const QString& key);
    // Every key this layout reads, as "section/key".
    static QStringList allKeys();

    // Single stored values as the layout reads them. A number that is missing or
    // malformed gives the key's default.
    static qint32 storedWhole(const IniSetting& key);
    static bool storedBoolean(const IniSetting& key);
    // The stored text of a numeric key when it reads as a number, else the default's text.
    static QString storedNumberText(const IniSetting& key);
    // Font set n (1..9) as stored, without the corrections the page applies to set 1.
    static FontSet storedFontSet(int n);
};
