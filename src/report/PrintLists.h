#pragma once
#include <QList>
#include <QString>

class QComboBox;
class QWidget;

// The printer, paper and print-mode lists that both print settings dialogs show.
// Each dialog owns its combo boxes and passes them in.
namespace PrintLists {

struct Code {
    QString text;
    int code;
};
// The rows of the colour, orientation and quality lists with their stored codes.
const QList<Code>& ColorModeCodes();
const QList<Code>& OrientationCodes();
const QList<Code>& PrintQualityCodes();

// Fills a mode list with its texts (row i has code i of the table).
void fillCodeCombo(QComboBox* combo, const QList<Code>& table);
// Selects the row whose code equals code; none matching leaves no selection.
void selectCode(QComboBox* combo, const QList<Code>& table, int code);
// The code of the selected row, or nullopt-like false when no row is selected.
bool selectedCode(const QComboBox* combo, const QList<Code>& table, int* code);

// A printer, paper or mode list: an editable text where only a row chosen from
// the list counts.
QComboBox* makeList(QWidget* parent, const char* name);
// The row chosen from a list; -1 when none is, or when its text was changed by typing.
int chosenRow(const QComboBox* list);
// A failed check's control: the focus, and its whole text selected.
void focusAndSelect(QWidget* control);

// Every installed printer's device name, in the system's order.
void FillPrinterCombo(QComboBox* printers);
// Refills the papers of the program's current printer (item data = paper code) and
// selects its current paper. A printer without papers gets "该打印机无有效的打印纸张大小"
// and an empty list; a failed query empties the list silently.
void FillPaperCombo(QComboBox* papers);
// A printer row was chosen: it becomes the program's printer and its papers are listed.
void cboPrinter_Click(QComboBox* printers, QComboBox* papers);
}
