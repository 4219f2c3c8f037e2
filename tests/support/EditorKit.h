#pragma once
// Steps the tests of the editor share (the rest are in CoreKit.h).
#include "support/CoreKit.h"

#include "core/ListGrid.h"
#include "core/Mmain.h"
#include "core/Openers.h"
#include "core/Palette.h"
#include "core/ReportList.h"
#include "editor/DataRecord.h"
#include "platform/Environment.h"
#include "platform/MessageBox.h"
#include "platform/Opener.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTableView>
#include <QtTest>

#include <memory>

namespace kit {

// A fresh program folder with the editor registered in the opener table,
// "admin" logged in with every right, the saved skin, today 2025-03-04 and a
// 1024x768 screen with a printer; the editor, the related-records window and
// the picture viewer are new windows (references to the earlier ones are void).
std::unique_ptr<TestFolder> editorFolder();

// Closes the editor if it is loaded, answering No to the unsaved-report question.
void closeEditor();

// Types a minimal valid record into the editor (which must be editing).
void typeRecord(DataRecord& ed, const QString& exam, const QString& name);

// The main window's report list on its own, in the empty state, showing today:
// it follows the store's announcements and offers its current report as the
// main window does.
struct FakeList {
    std::unique_ptr<QTableView> grid{ReportList::CreateView(nullptr)};
    FakeList();
    ~FakeList();
    // Lists a report (its doctor and key only) as the selected row.
    void addRow(qint64 key, const QString& doctor);
    // Lists a stored report and opens the editor on it, to view or to modify.
    DataRecord& open(qint64 key, const QString& doctor, bool modify);
    // The current report, as the main window's commands pass it to the editor.
    Openers::ListedReport current() const { return ReportList::CurrentOf(grid.get()); }
    QString cell(int r, int c) const { return ListGrid::Cell(grid.get(), r, c); }
    void setCell(int r, int c, const QString& text) { ListGrid::SetCell(grid.get(), r, c, text); }
    int rows() const { return ListGrid::RowCount(grid.get()); }
    int currentRow() const { return ListGrid::CurrentRow(grid.get()); }
    void select(int r) { ListGrid::SelectRow(grid.get(), r); }
    int highlight() const { return grid->property("HighLight").toInt(); }
    unsigned selectionColor() const { return ListGrid::SelectionColor(grid.get()); }
};

}
