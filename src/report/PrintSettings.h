#pragma once
#include <QString>
#include <QStringList>
#include <array>

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
    static constexpr int kItems = 24;      // entries of the item caption list
    static constexpr int kValues = 26;     // report value list, index = reports field number

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

    // Reads every key from options.ini in the program folder. A missing or
    // malformed number takes the shipped default (and never stops the loading),
    // except the colour mode, orientation and quality, which then leave the printer's own;
    // itemCaptions are the bgxm captions in xmid order. Then selects the printer,
    // applies paper and modes to it, takes its printable area and resets the pages.
    void load(const QStringList& itemCaptions);

    // Only the options.ini part of load(), without touching the printer or the pages.
    void readSettingsFile(const QStringList& itemCaptions);
    // Selects and prepares the program's printer and takes its page size.
    void applyToPrinter();

    // The shipped default text of a key, "" when it has none.
    static QString defaultValue(const QString& section, const QString& key);
    // Every key this layout reads, as "section/key".
    static QStringList allKeys();
};
