#pragma once
#include <QSizeF>
#include <QString>
#include <optional>

// Whether the margins of a page leave room for a line of text. The report page and the
// grid print both ask it, at 保存 in their settings dialogs and again before a preview or
// a print from stored settings: margins that leave no room would make every line start a
// page of its own, below or beside the paper, and print hundreds of empty pages.
namespace PageRoom {

enum class Margin {
    Top,
    Bottom,
    Left,
    Right
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

// A margin that leaves no room and the largest value it may take with the other margin of
// its side as it is. Below 0 when that other margin alone leaves no room: then both sides
// together may take at most `together`.
struct Refusal {
    Margin margin = Margin::Top;
    double largest = 0;
    double together = 0;
};

// The first side (top and bottom, then left and right) whose margins leave no room on a
// printable area of `page`. The larger margin of that side is named (on equal values the
// top or the left one). A margin that is not a finite number never fits.
std::optional<Refusal> check(const QSizeF& page, const Margins& margins, const Needed& needed);

// The margin as its settings dialog labels it ("上边距" ...).
QString marginName(Margin margin);
// A value as the dialogs show it to be typed: millimetres to one decimal, rounded down so
// that the value shown is itself accepted.
QString millimetreText(double mm);
// What is wrong and the largest value that fits, in millimetres.
QString refusalText(const Refusal& refusal);
}
