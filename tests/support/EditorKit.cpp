#include "support/EditorKit.h"

#include "core/Mmain.h"
#include "core/Openers.h"
#include "editor/DataRecord.h"
#include "editor/EditorOpeners.h"
#include "editor/Frmcfsj.h"
#include "imaging/FrmpicView.h"
#include "platform/Environment.h"
#include "platform/MessageBox.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>

namespace kit {

std::unique_ptr<TestFolder> editorFolder()
{
    // New windows for each case, as at the program's start: nothing a case
    // left in them (a report's key, its edit mode, a failed case's state)
    // reaches the next one.
    DataRecord::discardInstance();
    Frmcfsj::discardInstance();
    FrmpicView::discardInstance();
    EditorOpeners::registerAll();
    Mmain::gUserName = Mmain::gUserId = QStringLiteral("admin");
    Mmain::gRights.fill(true);
    auto folder = freshFolder(QDate(2025, 3, 4), QSize(1024, 768));
    Environment::setPrinterInstalledOverride(true);
    return folder;
}

void closeEditor()
{
    DataRecord& ed = DataRecord::instance();
    if (!ed.isLoaded())
        return;
    if (ed.ButtnSave->isEnabled())
        MessageBox::queueAnswer(MessageBox::Answer::No);
    ed.ButtnBack_Click();
}

void typeRecord(DataRecord& ed, const QString& exam, const QString& name)
{
    ed.Text1->setText(exam);
    ed.Text2->setText(name);
    ed.Text3->setEditText(QStringLiteral("女"));
    ed.Text4->setText(QStringLiteral("42"));
    ed.ComboAge->setEditText(QStringLiteral("岁"));
    ed.Text9->setText(QStringLiteral("2024-05-06"));
    ed.Text10->setText(QStringLiteral("1"));
    ed.Text16->setPlainText(QStringLiteral("未见异常"));
}

FakeList::FakeList()
{
    // The main window's list, whose own editor every test's editor is.
    ReportList::FollowStore(
        grid.get(), [] { return Environment::today(); }, [] { return true; });
}
FakeList::~FakeList() = default;

void FakeList::addRow(qint64 key, const QString& doctor)
{
    const int r = ListGrid::NewRow(grid.get(), ListGrid::kSelButtonShadow);
    setCell(r, ReportList::kDoctorColumn, doctor);
    setCell(r, ReportList::kKeyColumn, QString::number(key));
    ListGrid::SelectRow(grid.get(), r);
}

DataRecord& FakeList::open(qint64 key, const QString& doctor, bool modify)
{
    addRow(key, doctor);
    Openers::EditorOpenFromMainList(modify, current());
    return DataRecord::instance();
}

}
