#pragma once
#include "core/Openers.h"

#include <QString>

class QTableView;

// Opens a stored report in the editor: one loader with five entry points.
namespace ReportLoader {

enum class Variant {
    View,
    Modify,
    QueryView,
    Copy,
    RelatedView
};

// The main window's view and modify commands, on the main list's current
// report as the opening carries it.
void ViewFromMainList(const Openers::ListedReport& current);
void ModifyFromMainList(const Openers::ListedReport& current);

// The query window's view command on the key of its grid's current row ("" when
// the grid shows no result).
void QueryView(const QString& key);

// The related-records window's copy and view commands on its selected row
// (key in Frmcfsj::kKeyColumn). They work on the open editor; true when the
// load succeeded and the related-records window should now close.
bool RelatedCopy(const QTableView* grid);
bool RelatedView(const QTableView* grid);

// Reads the row with this key into the editor and sets it up for the variant.
// False (after a message) when the row could not be read.
bool LoadReportIntoEditor(const QString& key, Variant variant);

// Makes sure img exists and removes the four slot files. False when the
// folder cannot be made; *failed lists slot files that could not be removed.
bool PrepareImageFolder(QString* error = nullptr);
// Removes the slot files, the decrypted copies of a report's pictures: when
// the editor closes and when its report is deleted. False when one stays.
bool RemoveSlotFiles(QString* error = nullptr);
// img/rptN.jpg, N = 1..4.
QString SlotFile(int n);
}
