#pragma once
// Shared helpers of the editor tests.
#include "core/Mmain.h"
#include "core/Database.h"
#include "core/Openers.h"
#include "core/Palette.h"
#include "core/ReportList.h"
#include "editor/DataRecord.h"
#include "platform/Environment.h"
#include "platform/MessageBox.h"
#include "platform/Opener.h"
#include "support/TestFolder.h"

#include <QBuffer>
#include <QComboBox>
#include <QFile>
#include <QImage>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTableView>

#include <memory>
#include <QtTest>

namespace kit {

// A fresh program folder, "admin" logged in with every right, the saved skin,
// today 2025-03-04 and a 1024x768 screen with a printer.
inline std::unique_ptr<TestFolder> freshFolder()
{
    auto folder = std::make_unique<TestFolder>();
    Mmain::gUserName = Mmain::gUserId = QStringLiteral("admin");
    Mmain::gRights.fill(true);
    Palette::LoadSkin();
    Environment::setTodayOverride(QDate(2025, 3, 4));
    Environment::setScreenSizeOverride(QSize(1024, 768));
    Environment::setPrinterInstalledOverride(true);
    return folder;
}

// Closes the editor if it is loaded, answering No to the unsaved-report question.
inline void closeEditor()
{
    DataRecord& ed = DataRecord::instance();
    if (!ed.isLoaded())
        return;
    if (ed.ButtnSave->isEnabled())
        MessageBox::queueAnswer(MessageBox::Answer::No);
    ed.ButtnBack_Click();
}

// The main window's report list on its own, in the empty state.
struct FakeList {
    std::unique_ptr<QTableView> grid{ReportList::CreateView(nullptr)};
    FakeList() { Openers::SetMainReportList(grid.get()); }
    ~FakeList() { Openers::SetMainReportList(nullptr); }
    // Lists a report (its doctor and key only) as the selected row.
    void addRow(qint64 key, const QString& doctor)
    {
        const int r = ListGrid::NewRow(grid.get(), ListGrid::kSelButtonShadow);
        setCell(r, ReportList::kDoctorColumn, doctor);
        setCell(r, ReportList::kKeyColumn, QString::number(key));
        ListGrid::SelectRow(grid.get(), r);
    }
    // Lists a stored report and opens the editor on it, to view or to modify.
    DataRecord& open(qint64 key, const QString& doctor, bool modify)
    {
        addRow(key, doctor);
        Openers::EditorOpenFromMainList(modify);
        return DataRecord::instance();
    }
    QString cell(int r, int c) const { return ListGrid::Cell(grid.get(), r, c); }
    void setCell(int r, int c, const QString& text) { ListGrid::SetCell(grid.get(), r, c, text); }
    int rows() const { return ListGrid::RowCount(grid.get()); }
    int currentRow() const { return ListGrid::CurrentRow(grid.get()); }
    void select(int r) { ListGrid::SelectRow(grid.get(), r); }
    int highlight() const { return grid->property("HighLight").toInt(); }
    unsigned selectionColor() const { return ListGrid::SelectionColor(grid.get()); }
};

inline QByteArray jpegBytes(int w, int h, QColor c)
{
    QImage img(w, h, QImage::Format_RGB32);
    img.fill(c);
    QByteArray bytes;
    QBuffer buf(&bytes);
    buf.open(QIODevice::WriteOnly);
    img.save(&buf, "JPG", 90);
    return bytes;
}

// Types a minimal valid record into the editor (which must be editing).
inline void typeRecord(DataRecord& ed, const QString& exam, const QString& name)
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

inline qint64 insertReport(const QString& exam, const QString& name, const QString& doctor,
                           const QVariant& fee = QVariant())
{
    const QueryResult r = Database::ExecuteSql(
        QStringLiteral("INSERT INTO reports (obligate5, brname, sex, age, ageunit, pgdate, rpdate, rpdr, times, "
                       "obligate1, facility) VALUES (?,?,'男',30.0,'岁','2024-01-02','2024-01-02',?,?,1,'')"),
        {exam, name, doctor, fee});
    if (!r.ok())
        qWarning("%s", qPrintable(r.description));
    return Database::LastInsertId();
}

// Stores pictures 1.. of a report (a null QByteArray leaves the field Null).
inline void storePictures(qint64 key, const QList<QByteArray>& pictures)
{
    for (int k = 0; k < pictures.size(); ++k) {
        const QVariant v = pictures[k].isNull() ? QVariant() : QVariant(pictures[k]);
        const QString sql = QStringLiteral("UPDATE reports SET picture%1 = ? WHERE ctid = ?").arg(k + 1);
        QVERIFY(Database::ExecuteSql(sql, {v, key}).ok());
    }
}

// The stored row of a report (all 33 fields in table order).
inline RecordSetPtr storedRow(qint64 key)
{
    return Database::QueryData(QStringLiteral("SELECT * FROM reports WHERE ctid = ?"), {key}).data;
}

inline void writeFile(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    QVERIFY2(f.open(QIODevice::WriteOnly), qPrintable(path));
    f.write(bytes);
}

// The first column of the first row of a query, as a number (-1 on failure).
inline int queryInt(const QString& sql)
{
    const QueryResult r = Database::QueryData(sql);
    return r.hasRows() ? r.data->field(0).toInt() : -1;
}
inline int countReports() { return queryInt(QStringLiteral("SELECT count(*) FROM reports")); }

// The text and title of the last box shown (empty when none was).
inline QString lastText() { return MessageBox::shownBoxes().value(MessageBox::shownBoxes().size() - 1).text; }
inline QString lastTitle() { return MessageBox::shownBoxes().value(MessageBox::shownBoxes().size() - 1).title; }
}
