#pragma once
#include <QSizeF>
#include <QString>
#include <optional>

// Whether the lengths of a page's settings keep what is printed on the paper. The report
// page and the grid print both ask it, at 保存 in their settings dialogs and again before a
// preview or a print from stored settings: a negative margin puts the first lines above or
// beside the sheet, and margins that leave no room would make every line start a page of its
// own, below or beside the paper, and print hundreds of empty pages.
namespace PageRoom {

// The lengths, as their settings dialogs label them; the four margins come first, in the
// order the dialogs check them.
enum class Field {
    Top,
    Bottom,
    Left,
    Right,
    LineSpacing,
    TextSpacing,
    Paragraph1,
    Paragraph2,
    Paragraph3,
    Paragraph4,
    PicWidth,
    PicHeight
};

// Margins in millimetres from the edges of the printable area.
struct Margins {
    double top = 0, bottom = 0, left = 0, right = 0;
};

// What has to fit between the margins, in millimetres: down the page one line of text with
// whatever each page shows above and below it, across it one character with its insets.
struct Needed {
    double height = 0;
    double width = 0;
};

// What is wrong with a length.
struct Refusal {
    enum class Kind {
        Negative,         // below 0
        TooLarge,         // larger than `largest`, the most it may take with the others as they are
        PairTooLarge,     // a margin that with the other of its side passes `together`
        OthersTooLarge,   // too large, and even 0 would not fit with the others as they are
        PaperTooSmall,    // both margins of the side at 0 leave no room
        PageTooSmall      // the whole page does not fit with every length at its default
    };
    Field field = Field::Top;
    Kind kind = Kind::TooLarge;
    double largest = 0;
    double together = 0;
    bool wholePage = false;   // what does not fit: the whole report page, else a line of text
};

// Margins below 0, in the order top, bottom, left, right.
std::optional<Refusal> negativeMargin(const Margins& margins);
// One side of a page (top and bottom, or left and right) of `length` whose margins a and b
// must keep `needed` free: the larger margin is named (on equal values a), a margin that is
// not a finite number never fits.
std::optional<Refusal> checkSide(double length, double a, double b, double needed, Field aName, Field bName);

// A negative margin, else the first side (top and bottom, then left and right) whose margins
// leave no room on a printable area of `page`.
std::optional<Refusal> check(const QSizeF& page, const Margins& margins, const Needed& needed);

// The field as its settings dialog labels it ("上边距", "图像高度" ...).
QString fieldName(Field field);
// A value as the dialogs show it to be typed: millimetres to one decimal, rounded down so
// that the value shown is itself accepted.
QString millimetreText(double mm);
// What is wrong and, where there is one, the value that fits.
QString refusalText(const Refusal& refusal);
}
