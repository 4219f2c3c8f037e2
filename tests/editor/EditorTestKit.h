#pragma once
// Shared helpers of the editor tests.
#include "core/Mmain.h"
#include "core/ModADOconnect.h"
#include "core/Openers.h"
#include "core/ReportList.h"
#include "editor/DataRecord.h"
#include "platform/MessageBox.h"
#include "platform/Opener.h"

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

inline void loginAs(const QString& name, bool allRights = true)
{
    Mmain::gUserName = name;
    Mmain::gUserId = name;
    Mmain::gRights.fill(allRights);
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
                           const QVariant& fee = QVariant(), const QString& rpdate = QStringLiteral("2024-01-02"))
{
    const QueryResult r = ModADOconnect::ExecuteSql(
        QStringLiteral("INSERT INTO reports (obligate5, brname, sex, age, ageunit, pgdate, rpdate, rpdr, times, "
                       "obligate1, facility) VALUES (?,?,?,?,?,?,?,?,?,?,?)"),
        {exam, name, QStringLiteral("男"), 30.0, QStringLiteral("岁"), QStringLiteral("2024-01-02"), rpdate, doctor,
         fee, 1, QStringLiteral("")});
    if (!r.ok())
        qWarning("%s", qPrintable(r.description));
    return ModADOconnect::LastInsertId();
}

// Stores pictures 1.. of a report (a null QByteArray leaves the field Null).
inline void storePictures(qint64 key, const QList<QByteArray>& pictures)
{
    QVariantList p;
    QStringList set;
    for (int k = 0; k < pictures.size(); ++k) {
        set << QStringLiteral("picture%1 = ?").arg(k + 1);
        p << (pictures[k].isNull() ? QVariant() : QVariant(pictures[k]));
    }
    p << key;
    const QueryResult r = ModADOconnect::ExecuteSql(
        QStringLiteral("UPDATE reports SET %1 WHERE ctid = ?").arg(set.join(QStringLiteral(", "))), p);
    QVERIFY2(r.ok(), qPrintable(r.description));
}

// The stored row of a report (all 33 fields in table order).
inline RecordSetPtr storedRow(qint64 key)
{
    return ModADOconnect::QueryData(QStringLiteral("SELECT * FROM reports WHERE ctid = ?"), {key}).data;
}

inline QByteArray fileBytes(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<no file>");
}

inline void writeFile(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    QVERIFY2(f.open(QIODevice::WriteOnly), qPrintable(path));
    f.write(bytes);
}

inline int countReports()
{
    const QueryResult r = ModADOconnect::QueryData(QStringLiteral("SELECT count(*) FROM reports"));
    return r.hasRows() ? r.data->field(0).toInt() : -1;
}

inline QString lastText()
{
    const auto& s = MessageBox::shownBoxes();
    return s.isEmpty() ? QString() : s.last().text;
}
inline QString lastTitle()
{
    const auto& s = MessageBox::shownBoxes();
    return s.isEmpty() ? QString() : s.last().title;
}
}
