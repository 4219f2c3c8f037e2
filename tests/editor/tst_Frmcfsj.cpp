#include "support/EditorKit.h"

#include "editor/Frmcfsj.h"
#include "editor/ReportLoader.h"
#include "platform/AppPaths.h"

#include <QDir>
#include <QFileInfo>
#include <QHeaderView>
#include <QSignalSpy>

using namespace ReportRecord;
using kit::lastText;
using kit::lastTitle;

class tst_Frmcfsj : public QObject {
    Q_OBJECT
private slots:
    void init()
    {
        folder_ = kit::editorFolder();
        QVERIFY(folder_->ok());
    }

    void cleanup()
    {
        kit::closeEditor();
        folder_.reset();
    }

    // One row per earlier report with the value, regardless of case; age and
    // unit joined, the date as yyyy-mm-dd, Null as empty, the key hidden; the
    // first row selected. No rows, and a failing list, leave the empty list.
    void listedReports()
    {
        const qint64 first = kit::insertReport(QStringLiteral("R1"), QStringLiteral("王五"), QStringLiteral("李医生"));
        const qint64 second = kit::insertReport(QStringLiteral("r1"), QStringLiteral("王五"), QStringLiteral("张医生"));
        kit::insertReport(QStringLiteral("R2"), QStringLiteral("王五"), QStringLiteral("张医生"));
        QVERIFY(Database::ExecuteSql(
                    QStringLiteral("UPDATE reports SET age = 35, part = '胸部', pgdate = '2024-01-02 08:30:00' "
                                   "WHERE ctid = ?"),
                    {first})
                    .ok());
        QVERIFY(
            Database::ExecuteSql(QStringLiteral("UPDATE reports SET age = NULL, sex = NULL WHERE ctid = ?"), {second})
                .ok());
        Frmcfsj& w = Frmcfsj::instance();
        w.setSql(Frmcfsj::By::ExamNumber, QStringLiteral("R1"));
        w.showModally();
        QTableView* grid = w.MSHFlexGrid1;
        QStringList headers;
        for (int c = 0; c < Frmcfsj::kColumns; ++c)
            headers << grid->model()->headerData(c, Qt::Horizontal).toString();
        QCOMPARE(headers,
                 (QStringList{"检查号", "病人姓名", "性别", "年龄", "检查部位", "检查日期", "报告医师", "序号"}));
        QVERIFY(grid->isColumnHidden(Frmcfsj::kKeyColumn));
        QCOMPARE(ListGrid::RowCount(grid), 2);
        QStringList row0, row1;
        for (int c = 0; c < Frmcfsj::kColumns; ++c) {
            row0 << ListGrid::Cell(grid, 0, c);
            row1 << ListGrid::Cell(grid, 1, c);
        }
        QCOMPARE(row0,
                 (QStringList{"R1", "王五", "男", "35岁", "胸部", "2024-01-02", "李医生", QString::number(first)}));
        QCOMPARE(row1, (QStringList{"r1", "王五", "", "岁", "", "2024-01-02", "张医生", QString::number(second)}));
        QVERIFY(!ListGrid::IsEmpty(grid) && ListGrid::SelectionColor(grid) == ListGrid::kSelButtonShadow);
        QCOMPARE(ListGrid::SelectedRow(grid), 0);

        w.setSql(Frmcfsj::By::PatientName, QStringLiteral("无此人"));
        w.showModally();
        QVERIFY(ListGrid::IsEmpty(grid) && ListGrid::RowCount(grid) == 1 && MessageBox::shownBoxes().isEmpty());
        QVERIFY(TestFolder::exec(QStringLiteral("ALTER TABLE reports RENAME TO reports_gone")));
        w.setSql(Frmcfsj::By::PatientName, QStringLiteral("王五"));
        w.showModally();
        QVERIFY(ListGrid::IsEmpty(grid) && ListGrid::RowCount(grid) == 1);
        QCOMPARE(lastTitle(), QStringLiteral("系统错误"));
        QVERIFY(TestFolder::exec(QStringLiteral("ALTER TABLE reports_gone RENAME TO reports")));
    }

    // Copy: the old report becomes the editor's new one, with its pictures in
    // their slots and files; saving it adds a second row.
    void copyIntoTheEditor()
    {
        const qint64 key =
            kit::insertReport(QStringLiteral("C1"), QStringLiteral("赵六"), QStringLiteral("李医生"), 12.5);
        const QByteArray big = kit::jpegBytes(320, 240, Qt::blue);
        const QByteArray small = kit::jpegBytes(32, 24, Qt::green);
        kit::storePictures(key, {big, small});
        QVERIFY(QDir(AppPaths::imageFolder()).removeRecursively());   // made again when needed
        DataRecord& ed = DataRecord::instance();
        ed.ButtnNew_Click();
        ed.Text1->setText(QStringLiteral("C1"));
        Frmcfsj& w = Frmcfsj::instance();
        QSignalSpy closed(&w, &QDialog::finished);
        w.setSql(Frmcfsj::By::ExamNumber, ed.Text1->text());
        w.showModally();
        w.ButtnCopy_Click();
        QCOMPARE(closed.size(), 1);
        QVERIFY(ed.Text2->text() == QStringLiteral("赵六") && ed.Text13->text() == QStringLiteral("12.50"));
        QVERIFY(ed.Text9->text() == QStringLiteral("2025-03-04")
                && ed.Text12->currentText() == QStringLiteral("admin"));
        QVERIFY(ed.savebj() == QStringLiteral("insert") && ed.UpdateIdout().isEmpty());
        QVERIFY(ed.editing() && ed.ButtnSave->isEnabled() && ed.ButtnSwmb->isEnabled() && !ed.ButtnPrint->isEnabled());
        QVERIFY(ed.Picload[0]->Tag == ReportLoader::SlotFile(1) && ed.Picload[1]->Tag == ReportLoader::SlotFile(2));
        QVERIFY(ed.Picload[2]->Tag.isEmpty() && !QFileInfo::exists(ReportLoader::SlotFile(3)));
        QCOMPARE(kit::readBytes(ReportLoader::SlotFile(2)), small);   // exactly its own field
        ed.ButtnSave_Click();
        QVERIFY2(MessageBox::shownBoxes().isEmpty(), qPrintable(lastText()));
        QCOMPARE(kit::countReports(), 2);
        const RecordSetPtr copy = kit::storedRow(key + 1);
        QVERIFY(copy->blob(picture1) == big && copy->blob(picture2) == small && copy->isNull(picture3));
        QVERIFY(copy->text(obligate5) == QStringLiteral("C1") && copy->text(pgdate) == QStringLiteral("2025-03-04"));
        QCOMPARE(kit::storedRow(key)->text(rpdr), QStringLiteral("李医生"));   // the original stays
    }

    // View: the stored report as itself, read-only; New, Modify and Delete
    // follow right 1, printing is on, the editing buttons off.
    void viewWithAndWithoutRight1()
    {
        const qint64 key = kit::insertReport(QStringLiteral("V1"), QStringLiteral("钱七"), QStringLiteral("李医生"));
        QVERIFY(TestFolder::exec(QStringLiteral("UPDATE reports SET pgdate = '2024-01-02 08:30:00'")));
        DataRecord& ed = DataRecord::instance();
        Frmcfsj& w = Frmcfsj::instance();
        for (const bool right : {false, true}) {
            Mmain::gRights[Mmain::RightEditOwn] = right;
            ed.ButtnNew_Click();
            ed.Text12->setEnabled(right);   // left as it is
            w.setSql(Frmcfsj::By::PatientName, QStringLiteral("钱七"));
            w.showModally();
            w.ButtnViewer_Click();
            for (QWidget* f : ed.inputControls())
                QVERIFY2(!f->isEnabled(), qPrintable(f->objectName()));
            QCOMPARE(ed.Text12->isEnabled(), right);
            for (QvButton* b : {ed.ButtnNew, ed.ButtnEnable, ed.ButtnDel})
                QCOMPARE(b->isEnabled(), right);
            QVERIFY(ed.ButtnPrint->isEnabled());
            for (QvButton* b : {ed.ButtnSave, ed.Buttnmbzr, ed.ButtnSwmb, ed.ButtnClear})
                QVERIFY(!b->isEnabled());
            QVERIFY(ed.savebj() == QStringLiteral("update") && ed.UpdateIdout() == QString::number(key));
            QCOMPARE(ed.Text12->currentText(), QStringLiteral("李医生"));
            QVERIFY(ed.Text9->text() == QStringLiteral("2024-01-02 08:30:00") && ed.Text13->text().isEmpty());
        }
    }

    // A refused or failed action and Close leave the record being typed as it
    // was, its picture slots included.
    void refusedFailedAndClosed()
    {
        kit::insertReport(QStringLiteral("F1"), QStringLiteral("孙八"), QStringLiteral("李医生"));
        DataRecord& ed = DataRecord::instance();
        ed.ButtnNew_Click();
        ed.Text2->setText(QStringLiteral("孙八"));
        const QString mine = ReportLoader::SlotFile(4);
        QVERIFY(kit::writeBytes(mine, kit::jpegBytes(20, 20, Qt::black)) && ed.showSlotFile(3, mine));
        Frmcfsj& w = Frmcfsj::instance();
        QSignalSpy closed(&w, &QDialog::finished);
        w.setSql(Frmcfsj::By::PatientName, QStringLiteral("无此人"));
        w.showModally();
        w.ButtnCopy_Click();
        QCOMPARE(lastText(), QStringLiteral("当前数据记录为空，不能进行查看操作"));
        QCOMPARE(lastTitle(), QStringLiteral("错误"));
        w.setSql(Frmcfsj::By::PatientName, QStringLiteral("孙八"));
        w.showModally();
        QVERIFY(TestFolder::exec(QStringLiteral("DELETE FROM reports")));   // gone meanwhile
        w.ButtnViewer_Click();
        QCOMPARE(lastText(), QStringLiteral("没有符合条件的数据返回"));
        QCOMPARE(lastTitle(), QStringLiteral("系统错误"));
        QVERIFY(closed.isEmpty() && ed.editing() && ed.Text2->text() == QStringLiteral("孙八"));
        QCOMPARE(ed.Picload[3]->Tag, mine);
        w.ButtnClose_Click();
        QVERIFY(closed.size() == 1 && ed.Picload[3]->Tag == mine && ed.Picload[3]->hasPicture());
    }

    // The list follows the store: a report viewed from it and saved shows its
    // new texts in its own row, a deleted one leaves the list, and each time the
    // rows are those a fresh load gives.
    void listFollowsSavesAndDeletes()
    {
        const qint64 first = kit::insertReport(QStringLiteral("F1"), QStringLiteral("孙八"), QStringLiteral("admin"));
        const qint64 second = kit::insertReport(QStringLiteral("F1"), QStringLiteral("周九"), QStringLiteral("admin"));
        DataRecord& ed = DataRecord::instance();
        ed.ButtnNew_Click();
        Frmcfsj& w = Frmcfsj::instance();
        QTableView* grid = w.MSHFlexGrid1;
        w.setSql(Frmcfsj::By::ExamNumber, QStringLiteral("F1"));
        w.showModally();
        auto rows = [grid] {
            QList<QStringList> out;
            for (int r = 0; r < ListGrid::RowCount(grid); ++r) {
                QStringList cells;
                for (int c = 0; c < Frmcfsj::kColumns; ++c)
                    cells << ListGrid::Cell(grid, r, c);
                out << cells;
            }
            return out;
        };
        auto asLoaded = [&] {
            const QList<QStringList> followed = rows();
            w.showModally();
            return rows() == followed;
        };
        ListGrid::SelectRow(grid, 1);
        w.ButtnViewer_Click();
        QCOMPARE(ed.UpdateIdout(), QString::number(second));
        ed.ButtnEnable_Click();
        ed.Text2->setText(QStringLiteral("周九改"));
        ed.Text4->setText(QStringLiteral("8"));
        ed.ComboAge->setEditText(QStringLiteral("月"));
        ed.Combopart->setEditText(QStringLiteral("腹部"));
        ed.Text9->setText(QStringLiteral("2025-02-03"));
        ed.ButtnSave_Click();
        QVERIFY2(MessageBox::shownBoxes().isEmpty(), qPrintable(lastText()));
        QCOMPARE(ListGrid::Cell(grid, 1, Frmcfsj::kNameColumn), QStringLiteral("周九改"));
        QCOMPARE(ListGrid::Cell(grid, 1, Frmcfsj::kAgeColumn), QStringLiteral("8月"));
        QCOMPARE(ListGrid::Cell(grid, 1, Frmcfsj::kPartColumn), QStringLiteral("腹部"));
        QCOMPARE(ListGrid::Cell(grid, 1, Frmcfsj::kDateColumn), QStringLiteral("2025-02-03"));
        QCOMPARE(ListGrid::Cell(grid, 0, Frmcfsj::kNameColumn), QStringLiteral("孙八"));
        QVERIFY(asLoaded());

        ListGrid::SelectRow(grid, 0);
        w.ButtnViewer_Click();
        QCOMPARE(ed.UpdateIdout(), QString::number(first));
        MessageBox::queueAnswer(MessageBox::Answer::Ok);
        ed.ButtnDel_Click();
        QCOMPARE(ListGrid::RowCount(grid), 1);
        QCOMPARE(ListGrid::Cell(grid, 0, Frmcfsj::kKeyColumn), QString::number(second));
        QVERIFY(asLoaded());
    }

    // 40,000 reports of one name: every one listed, the last one copied.
    void manyRelatedReports()
    {
        QVERIFY(TestFolder::exec(QStringLiteral(
            "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 40000) "
            "INSERT INTO reports (obligate5, brname, sex, age, ageunit, pgdate, rpdate, rpdr, obligate1, facility) "
            "SELECT 'M' || i, '同名', '女', 40, '岁', '2024-02-03', '2024-02-03', '李医生', 1, '' FROM n")));
        DataRecord& ed = DataRecord::instance();
        ed.ButtnNew_Click();
        Frmcfsj& w = Frmcfsj::instance();
        w.setSql(Frmcfsj::By::PatientName, QStringLiteral("同名"));
        w.showModally();
        QCOMPARE(ListGrid::RowCount(w.MSHFlexGrid1), 40000);
        ListGrid::SelectRow(w.MSHFlexGrid1, 39999);
        w.ButtnCopy_Click();
        QCOMPARE(ed.Text1->text(), QStringLiteral("M40000"));
    }

private:
    std::unique_ptr<TestFolder> folder_;
};

QTEST_MAIN(tst_Frmcfsj)
#include "tst_Frmcfsj.moc"
