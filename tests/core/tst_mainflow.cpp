// The whole program's report flow through its real windows: log in, the main
// window's list, the editor opened by the main window's commands, save, modify,
// view, delete in both windows, the rights that guard other users' reports, and
// printing from the list through the preview.
// Modal windows are driven from the opener's hook while they are shown.
#include "core/FrmMain.h"
#include "core/ListGrid.h"
#include "core/Mmain.h"
#include "core/Database.h"
#include "core/Palette.h"
#include "core/QvButton.h"
#include "core/QvTextBox.h"
#include "core/ReportList.h"
#include "core/ReportStore.h"
#include "editor/DataRecord.h"
#include "editor/Frmcfsj.h"
#include "imaging/FrmpicView.h"
#include "imaging/VideoCapture.h"
#include "imaging/VideoCaptureTesting.h"
#include "query/Frmfind.h"
#include "report/Frmreport.h"
#include "report/ProgramPrinter.h"
#include "RegisterWindows.h"
#include "platform/Environment.h"
#include "platform/MessageBox.h"
#include "platform/Opener.h"
#include "support/CoreKit.h"
#include "support/PdfKit.h"
#include "support/TestFolder.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QInputMethodEvent>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTableView>
#include <QTest>
#include <functional>

using namespace kit;

namespace {
const QDate kToday(2024, 3, 15);
const QString kAdmin = QStringLiteral("系统管理员");

qint64 addReport(const QString& exam, const QString& name, const QString& rpdate, const QString& rpdr)
{
    const QueryResult r = Database::ExecuteSql(
        QStringLiteral("INSERT INTO reports (obligate5, brname, sex, age, ageunit, sectionoffice, utpatientid, "
                       "inpatientid, pgdate, rpdate, rpdr, times, obligate1, obligate3, checkconclusion, facility) "
                       "VALUES (?, ?, '女', 30, '岁', '外科', '赵医师', 'Z9', ?, ?, ?, 0, 1, 'M9', '旧诊断', '')"),
        {exam, name, rpdate, rpdate, rpdr});
    if (!r.ok())
        qWarning("%s", qPrintable(r.description));
    return Database::LastInsertId();
}

// What a list row shows: the text and alignment of every cell.
struct Row {
    QStringList texts;
    QList<int> alignments;
    bool operator==(const Row&) const = default;
};

Row rowOf(const QTableView* g, int r)
{
    Row out;
    for (int c = 0; c < g->model()->columnCount(); ++c) {
        const QModelIndex at = g->model()->index(r, c);
        out.texts << at.data().toString();
        out.alignments << at.data(Qt::TextAlignmentRole).toInt();
    }
    return out;
}

int rowWithKey(const QTableView* g, int keyColumn, const QString& key)
{
    for (int r = 0; r < ListGrid::RowCount(g); ++r)
        if (ListGrid::Cell(g, r, keyColumn) == key)
            return r;
    return -1;
}
int rowWithKey(const QTableView* g, const QString& key) { return rowWithKey(g, ReportList::kKeyColumn, key); }

QList<Row> rowsOf(const QTableView* g)
{
    QList<Row> rows;
    for (int r = 0; r < g->model()->rowCount(); ++r)
        rows << rowOf(g, r);
    return rows;
}

void typeInto(QWidget* box, const QString& text)
{
    box->setFocus();
    if (auto* e = qobject_cast<QLineEdit*>(box)) {
        e->selectAll();
        QTest::keyClick(e, Qt::Key_Delete);
    } else if (auto* c = qobject_cast<QComboBox*>(box)) {
        box = c->lineEdit();
        c->lineEdit()->selectAll();
        QTest::keyClick(box, Qt::Key_Delete);
    } else if (auto* p = qobject_cast<QPlainTextEdit*>(box)) {
        p->selectAll();
        QTest::keyClick(p, Qt::Key_Delete);
    }
    // Chinese arrives through the input method, as it does for a user.
    QInputMethodEvent commit;
    commit.setCommitString(text);
    QApplication::sendEvent(box, &commit);
}

void click(QWidget* button) { QTest::mouseClick(button, Qt::LeftButton, {}, button->rect().center()); }

// The keys a list shows, top to bottom, from its named key column.
QStringList keysOf(const QTableView* g, int keyColumn)
{
    QStringList keys;
    for (int r = 0; r < ListGrid::RowCount(g); ++r)
        keys << ListGrid::Cell(g, r, keyColumn);
    return keys;
}

// Runs the editor the main window opens: the hook shows it, lets the test
// drive it as a user would, and closes it through its own close button.
struct EditorSession {
    int opened = 0;
    std::function<void(DataRecord&)> drive;
    // Windows the editor opens in turn.
    std::function<void(QDialog*)> other;
    EditorSession()
    {
        Opener::setHook([this](QDialog* d) {
            auto* ed = qobject_cast<DataRecord*>(d);
            if (!ed) {
                if (other)
                    other(d);
                return 0;
            }
            ++opened;
            ed->show();
            (void)QTest::qWaitForWindowExposed(ed);
            // The window manager gives the focus to the modal window.
            ed->activateWindow();
            (void)QTest::qWaitForWindowActive(ed);
            if (drive)
                drive(*ed);
            if (ed->isVisible()) {
                if (ed->ButtnSave->isEnabled())
                    MessageBox::queueAnswer(MessageBox::Answer::No);
                click(ed->ButtnBack);
            }
            // The window manager gives the focus back to the main window.
            if (FrmMain* m = FrmMain::current()) {
                m->activateWindow();
                (void)QTest::qWaitForWindowActive(m);
            }
            return ed->result();
        });
    }
    ~EditorSession()
    {
        Opener::setHook([](QDialog*) { return 0; });
    }
};
}

class tst_MainFlow : public QObject {
    Q_OBJECT
private slots:
    void init()
    {
        registerWindows();
        folder_ = freshFolder(kToday, QSize(1280, 1024));
        QVERIFY(folder_->ok());
        Environment::setPrinterInstalledOverride(true);
        // 李医生 edits his own reports only (no right 2).
        QVERIFY(
            TestFolder::exec(QStringLiteral("INSERT INTO user VALUES ('li', '李医生', NULL, 1, 1, 0, 1, 1, 1, 1, 1)")));
    }
    void cleanup()
    {
        DataRecord& ed = DataRecord::instance();
        if (ed.isVisible())
            ed.hide();
        closeWindows();
        folder_.reset();
    }

    void newModifyViewAndDeleteAReport()
    {
        const qint64 oldKey =
            addReport(QStringLiteral("OLD1"), QStringLiteral("李四"), QStringLiteral("2024-03-14"), kAdmin);
        FrmMain* w = logIn(QStringLiteral("admin"));
        QVERIFY(w);
        QTableView* g = w->MSHFlexGrid1;
        QVERIFY(ReportList::IsEmpty(g));

        // New report from the tool bar: typed, saved, closed.
        EditorSession session;
        session.drive = [](DataRecord& ed) {
            QCOMPARE(ed.savebj(), QStringLiteral("insert"));
            click(ed.Buttninfo);
            typeInto(ed.Text1, QStringLiteral("X2024"));
            typeInto(ed.Text2, QStringLiteral("王小明"));
            typeInto(ed.Text4, QStringLiteral("07.50"));                  // stored as 7.5
            QCOMPARE(ed.ComboAge->currentText(), QStringLiteral("岁"));   // a new record's default unit
            typeInto(ed.Text6, QStringLiteral("内科"));
            typeInto(ed.Text8, QStringLiteral("Z100"));
            typeInto(ed.Text18, QStringLiteral("M100"));
            typeInto(ed.Text7, QStringLiteral("钱医师"));
            typeInto(ed.Text16, QStringLiteral("两肺未见明显异常"));
            click(ed.ButtnSave);
            QVERIFY2(MessageBox::shownBoxes().isEmpty(), qPrintable(lastText()));
            QVERIFY(!ed.editing());
        };
        click(w->ButtnNew);
        QCOMPARE(session.opened, 1);
        const QString newKey =
            QString::number(queryInt(QStringLiteral("SELECT ctid FROM reports WHERE obligate5 = 'X2024'")));

        // The blank row became the new report, selected.
        QCOMPARE(ReportList::SelectionColor(g), ReportList::kSelButtonFace);
        QCOMPARE(ListGrid::RowCount(g), 1);
        QCOMPARE(ReportList::SelectedRow(g), 0);
        const Row saved = rowOf(g, 0);
        QCOMPARE(saved.texts, QStringList({"X2024", "王小明", "男", "7.5岁", "内科", "Z100", "M100", "钱医师",
                                           "2024-03-15", kAdmin, "两肺未见明显异常", newKey}));
        // The selected row stays legible on the light selection colour.
        const QPalette pal = g->palette();
        QVERIFY(qAbs(qGray(pal.color(QPalette::Highlight).rgb()) - qGray(pal.color(QPalette::HighlightedText).rgb()))
                > 100);
        // Exactly the row the main window's own loader gives.
        w->DTPicker1_Change();
        QCOMPARE(ReportList::SelectionColor(g), ReportList::kSelButtonShadow);
        QCOMPARE(rowOf(g, rowWithKey(g, newKey)), saved);

        // Modify the older report from its own day's list: the date column stays.
        w->DTPicker1->setDate(QDate(2024, 3, 14));
        QCOMPARE(ListGrid::RowCount(g), 1);
        const QRect r0 = g->visualRect(g->model()->index(0, ReportList::kNameColumn));
        QTest::mouseClick(g->viewport(), Qt::LeftButton, {}, r0.center());
        QCoreApplication::processEvents();
        session.drive = [](DataRecord& ed) {
            QCOMPARE(ed.savebj(), QStringLiteral("update"));
            QCOMPARE(ed.Text1->text(), QStringLiteral("OLD1"));
            typeInto(ed.Text2, QStringLiteral("李四新"));
            typeInto(ed.Text16, QStringLiteral("右下肺少许炎症"));
            QTest::keyClick(&ed, Qt::Key_F5);   // save by its key
            QVERIFY2(MessageBox::shownBoxes().isEmpty(), qPrintable(lastText()));
            QVERIFY(!ed.editing());
        };
        QTest::keyClick(w, Qt::Key_F3);
        QCOMPARE(session.opened, 2);
        const Row modified = rowOf(g, 0);
        QCOMPARE(modified.texts.at(ReportList::kNameColumn), QStringLiteral("李四新"));
        QCOMPARE(modified.texts.at(ReportList::kDateColumn), QStringLiteral("2024-03-14"));
        QCOMPARE(modified.texts.at(ReportList::kDiagnosisColumn), QStringLiteral("右下肺少许炎症"));
        w->DTPicker1_Change();   // what was stored reads back as the same row
        QCOMPARE(rowOf(g, 0), modified);

        // View, then delete from the editor: the row leaves the list, which is empty again.
        session.drive = [](DataRecord& ed) {
            QVERIFY(!ed.editing());
            QCOMPARE(ed.Text16->toPlainText(), QStringLiteral("右下肺少许炎症"));
            MessageBox::queueAnswer(MessageBox::Answer::Ok);
            click(ed.ButtnDel);
        };
        QTest::keyClick(w, Qt::Key_F4);
        QCOMPARE(session.opened, 3);
        QVERIFY(ReportList::IsEmpty(g));
        QCOMPARE(ReportList::SelectionColor(g), ReportList::kSelWhite);
        QCOMPARE(queryInt(QStringLiteral("SELECT count(*) FROM reports WHERE ctid = ?"), {oldKey}), 0);
        // Nothing to view now.
        MessageBox::clearShown();
        QTest::keyClick(w, Qt::Key_F4);
        QCOMPARE(lastText(), QStringLiteral("当前数据记录为空，不能进行查看操作"));
        QCOMPARE(session.opened, 3);
    }

    // The editor rewrites and removes the row of its own report, even when the
    // list's selection has moved meanwhile; the selection stays on the report
    // it was on, and the commands act on that report.
    void listRowsFollowTheReportKey()
    {
        addReport(QStringLiteral("K1"), QStringLiteral("甲"), QStringLiteral("2024-03-15"), kAdmin);
        addReport(QStringLiteral("K2"), QStringLiteral("乙"), QStringLiteral("2024-03-15"), kAdmin);
        const qint64 k3 = addReport(QStringLiteral("K3"), QStringLiteral("丙"), QStringLiteral("2024-03-15"), kAdmin);
        FrmMain* w = logIn(QStringLiteral("admin"));
        QVERIFY(w);
        QTableView* g = w->MSHFlexGrid1;
        const Row second = rowOf(g, 1);
        EditorSession session;
        session.drive = [g](DataRecord& ed) {
            ListGrid::SelectRow(g, 2);
            click(ed.ButtnEnable);
            typeInto(ed.Text2, QStringLiteral("甲改"));
            click(ed.ButtnSave);
            QCOMPARE(ListGrid::Cell(g, 0, ReportList::kNameColumn), QStringLiteral("甲改"));
            QCOMPARE(ReportList::SelectedRow(g), 2);
            MessageBox::queueAnswer(MessageBox::Answer::Ok);
            click(ed.ButtnDel);
        };
        ListGrid::SelectRow(g, 0);
        QTest::keyClick(w, Qt::Key_F4);
        QCOMPARE(session.opened, 1);
        QCOMPARE(ListGrid::RowCount(g), 2);
        QCOMPARE(rowOf(g, 0), second);
        QCOMPARE(queryInt(QStringLiteral("SELECT count(*) FROM reports WHERE obligate5 = 'K2' AND brname = '乙'")), 1);
        QCOMPARE(ReportList::SelectedText(g, ReportList::kKeyColumn), QString::number(k3));
        session.drive = [](DataRecord& ed) { QCOMPARE(ed.Text1->text(), QStringLiteral("K3")); };
        QTest::keyClick(w, Qt::Key_F4);
        QCOMPARE(session.opened, 2);

        // A report below the selected one leaves: the selection stays put.
        ListGrid::SelectRow(g, 0);
        QVERIFY(ReportStore::Delete(QString::number(k3)).ok());
        QCOMPARE(ListGrid::RowCount(g), 1);
        QCOMPARE(ReportList::SelectedRow(g), 0);
        QCOMPARE(rowOf(g, 0), second);
    }

    // Every list follows every save and delete, whichever window opened the
    // editor: the query window's view saves, deletes and starts new reports,
    // and afterwards the day list and the query's results are row by row what
    // a reload of each gives.
    void queryOpeningsKeepBothListsInStep()
    {
        const qint64 k1 = addReport(QStringLiteral("Q1"), QStringLiteral("甲"), QStringLiteral("2024-03-15"), kAdmin);
        const qint64 k2 = addReport(QStringLiteral("Q2"), QStringLiteral("乙"), QStringLiteral("2024-03-15"), kAdmin);
        const qint64 k0 = addReport(QStringLiteral("Q0"), QStringLiteral("丁"), QStringLiteral("2024-03-14"), kAdmin);
        FrmMain* w = logIn(QStringLiteral("admin"));
        QVERIFY(w);
        QTableView* g = w->MSHFlexGrid1;
        // Each list as followed must be the list a reload gives.
        auto dayListHolds = [w, g] {
            const QList<Row> followed = rowsOf(g);
            w->DTPicker1_Change();
            return rowsOf(g) == followed;
        };
        auto resultsHold = [](Frmfind* f) {
            const QList<Row> followed = rowsOf(f->MGrid);
            MessageBox::clearShown();
            click(f->buttonYes);
            return MessageBox::shownBoxes().isEmpty() && rowsOf(f->MGrid) == followed;
        };
        EditorSession session;
        int queries = 0;
        session.other = [&](QDialog* d) {
            auto* f = qobject_cast<Frmfind*>(d);
            if (!f)
                return;
            ++queries;
            f->show();
            QVERIFY(QTest::qWaitForWindowExposed(f));
            QCoreApplication::processEvents();   // the maximised window's resize resets the grid
            // The reports examined from 2024-03-14 on: Q1, Q2 and the older Q0.
            f->DT1Check->setChecked(true);
            f->DT1->setDate(QDate(2024, 3, 14));
            click(f->buttonYes);
            QCOMPARE(keysOf(f->MGrid, FrmfindResults::kKeyColumn),
                     QStringList({QString::number(k1), QString::number(k2), QString::number(k0)}));

            // Modify Q1 and save; then a new report of today, saved and deleted.
            session.drive = [&](DataRecord& ed) {
                click(ed.ButtnEnable);
                typeInto(ed.Text2, QStringLiteral("甲改"));
                typeInto(ed.Text16, QStringLiteral("新诊断"));
                click(ed.ButtnSave);
                QVERIFY2(MessageBox::shownBoxes().isEmpty(), qPrintable(lastText()));
                const int inQuery = rowWithKey(f->MGrid, FrmfindResults::kKeyColumn, QString::number(k1));
                QCOMPARE(ListGrid::Cell(f->MGrid, inQuery, FrmfindResults::kNameColumn), QStringLiteral("甲改"));
                const int inDay = rowWithKey(g, ReportList::kKeyColumn, QString::number(k1));
                QCOMPARE(ListGrid::Cell(g, inDay, ReportList::kNameColumn), QStringLiteral("甲改"));
                QCOMPARE(ListGrid::Cell(g, inDay, ReportList::kDiagnosisColumn), QStringLiteral("新诊断"));

                click(ed.ButtnNew);
                typeInto(ed.Text1, QStringLiteral("Q3"));
                typeInto(ed.Text2, QStringLiteral("丙"));
                typeInto(ed.Text4, QStringLiteral("40"));
                click(ed.ButtnSave);   // a new report of the day the list shows joins it
                QVERIFY2(MessageBox::shownBoxes().isEmpty(), qPrintable(lastText()));
                QCOMPARE(ListGrid::RowCount(g), 3);
                QCOMPARE(ListGrid::Cell(g, 2, ReportList::kExamColumn), QStringLiteral("Q3"));
                QCOMPARE(ListGrid::RowCount(f->MGrid), 3);   // not a result of the query shown
                QVERIFY(dayListHolds());
                MessageBox::queueAnswer(MessageBox::Answer::Ok);
                click(ed.ButtnDel);
                QCOMPARE(ListGrid::RowCount(g), 2);
            };
            ListGrid::SelectRow(f->MGrid, 0);
            click(f->buttnview);
            QCOMPARE(session.opened, 1);
            QVERIFY(dayListHolds());
            QVERIFY(resultsHold(f));

            // Delete Q2, listed second in both lists.
            session.drive = [&](DataRecord& ed) {
                QCOMPARE(ed.UpdateIdout(), QString::number(k2));
                MessageBox::queueAnswer(MessageBox::Answer::Ok);
                click(ed.ButtnDel);
                QVERIFY(ed.UpdateIdout().isEmpty());
            };
            ListGrid::SelectRow(f->MGrid, 1);
            click(f->buttnview);
            QCOMPARE(session.opened, 2);
            QCOMPARE(keysOf(f->MGrid, FrmfindResults::kKeyColumn),
                     QStringList({QString::number(k1), QString::number(k0)}));
            QCOMPARE(ListGrid::CurrentRow(f->MGrid), 1);
            QCOMPARE(ListGrid::RowCount(g), 1);
            QVERIFY(dayListHolds());
            QVERIFY(resultsHold(f));

            // 查看报告 opens a listed report, never a deleted one. A new report
            // of today stays out of a day list that shows another date.
            w->DTPicker1->setDate(QDate(2024, 3, 14));
            session.drive = [&](DataRecord& ed) {
                QCOMPARE(ed.Text1->text(), QStringLiteral("Q1"));
                click(ed.ButtnNew);
                typeInto(ed.Text1, QStringLiteral("Q4"));
                typeInto(ed.Text2, QStringLiteral("戊"));
                typeInto(ed.Text4, QStringLiteral("50"));
                click(ed.ButtnSave);
                QVERIFY2(MessageBox::shownBoxes().isEmpty(), qPrintable(lastText()));
                QCOMPARE(keysOf(g, ReportList::kKeyColumn), QStringList({QString::number(k0)}));
                MessageBox::queueAnswer(MessageBox::Answer::Ok);
                click(ed.ButtnDel);
            };
            ListGrid::SelectRow(f->MGrid, 0);
            MessageBox::clearShown();
            click(f->buttnview);
            QCOMPARE(session.opened, 3);
            QVERIFY(dayListHolds());

            // The last result deleted: the grid shows no result, and 查看报告 says so.
            f->DT1Check->setChecked(false);
            f->Text6->setText(QStringLiteral("甲改"));
            click(f->buttonYes);
            QCOMPARE(keysOf(f->MGrid, FrmfindResults::kKeyColumn), QStringList({QString::number(k1)}));
            session.drive = [&](DataRecord& ed) {
                MessageBox::queueAnswer(MessageBox::Answer::Ok);
                click(ed.ButtnDel);
            };
            click(f->buttnview);
            QCOMPARE(session.opened, 4);
            QCOMPARE(FrmfindResults::Mode(f->MGrid), FrmfindResults::kEmptyLook);
            MessageBox::clearShown();
            click(f->buttnview);
            QCOMPARE(session.opened, 4);
            QCOMPARE(lastText(), QStringLiteral("当前没有查询数据"));
            click(f->ButtnQuit);
        };
        click(w->ButtnFind);
        QCOMPARE(queries, 1);
        QCOMPARE(queryInt(QStringLiteral("SELECT count(*) FROM reports")), 1);
        QCOMPARE(keysOf(g, ReportList::kKeyColumn), QStringList({QString::number(k0)}));

        // A report deleted by the editor the list opened leaves it too.
        session.drive = [](DataRecord& ed) {
            MessageBox::queueAnswer(MessageBox::Answer::Ok);
            click(ed.ButtnDel);
        };
        ListGrid::SelectRow(g, 0);
        QTest::keyClick(w, Qt::Key_F4);
        QCOMPARE(session.opened, 5);
        QVERIFY(ReportList::IsEmpty(g));
    }

    // The related-records window's view: a save rewrites the report's row in the
    // day list and in the related list, a delete takes it out of both.
    void relatedOpeningsKeepBothListsInStep()
    {
        const qint64 k1 = addReport(QStringLiteral("R1"), QStringLiteral("甲"), QStringLiteral("2024-03-15"), kAdmin);
        addReport(QStringLiteral("R1"), QStringLiteral("乙"), QStringLiteral("2024-03-15"), kAdmin);
        FrmMain* w = logIn(QStringLiteral("admin"));
        QVERIFY(w);
        QTableView* g = w->MSHFlexGrid1;
        Frmcfsj& related = Frmcfsj::instance();
        EditorSession session;
        session.other = [&](QDialog* d) {
            if (d != &related)
                return;
            related.show();
            QVERIFY(QTest::qWaitForWindowExposed(&related));
            QCOMPARE(keysOf(related.MSHFlexGrid1, Frmcfsj::kKeyColumn),
                     QStringList({QString::number(k1), QString::number(k1 + 1)}));
            ListGrid::SelectRow(related.MSHFlexGrid1, 0);
            click(related.ButtnViewer);
        };
        session.drive = [&](DataRecord& ed) {
            related.setSql(Frmcfsj::By::ExamNumber, QStringLiteral("R1"));
            related.showModally();
            QCOMPARE(ed.UpdateIdout(), QString::number(k1));
            click(ed.ButtnEnable);
            typeInto(ed.Text2, QStringLiteral("甲改"));
            typeInto(ed.Text4, QStringLiteral("31"));
            click(ed.ButtnSave);
            QVERIFY2(MessageBox::shownBoxes().isEmpty(), qPrintable(lastText()));
            const QTableView* r = related.MSHFlexGrid1;
            QCOMPARE(ListGrid::Cell(r, 0, Frmcfsj::kNameColumn), QStringLiteral("甲改"));
            QCOMPARE(ListGrid::Cell(r, 0, Frmcfsj::kAgeColumn), QStringLiteral("31岁"));
            QCOMPARE(ListGrid::Cell(r, 0, Frmcfsj::kKeyColumn), QString::number(k1));
            QCOMPARE(ListGrid::Cell(g, 0, ReportList::kNameColumn), QStringLiteral("甲改"));
            QCOMPARE(ListGrid::Cell(g, 0, ReportList::kAgeColumn), QStringLiteral("31岁"));
            MessageBox::queueAnswer(MessageBox::Answer::Ok);
            click(ed.ButtnDel);
            QCOMPARE(keysOf(r, Frmcfsj::kKeyColumn), QStringList({QString::number(k1 + 1)}));
            QCOMPARE(keysOf(g, ReportList::kKeyColumn), QStringList({QString::number(k1 + 1)}));
        };
        click(w->ButtnNew);
        QCOMPARE(session.opened, 1);
        const QList<Row> followed = rowsOf(g);
        w->DTPicker1_Change();
        QCOMPARE(rowsOf(g), followed);
    }

    void rightsGuardOtherUsersReports()
    {
        addReport(QStringLiteral("A1"), QStringLiteral("甲"), QStringLiteral("2024-03-15"), kAdmin);
        addReport(QStringLiteral("L1"), QStringLiteral("乙"), QStringLiteral("2024-03-15"), QStringLiteral("李医生"));
        FrmMain* w = logIn(QStringLiteral("li"));
        QVERIFY(w);
        QTableView* g = w->MSHFlexGrid1;
        EditorSession session;

        // Another user's report: modify and delete are refused before anything opens.
        ListGrid::SelectRow(g, 0);
        QTest::keyClick(w, Qt::Key_F3);
        QCOMPARE(lastText(), QStringLiteral("你没有修改其他人所建报告的权限，操作取消"));
        QTest::keyClick(w, Qt::Key_Delete);
        QCOMPARE(lastText(), QStringLiteral("你没有删除其他人所建报告的权限，操作取消"));
        QCOMPARE(session.opened, 0);
        // Viewing it is allowed (the editor's own refusals are the editor's tests).
        session.drive = [](DataRecord& ed) { QVERIFY(ed.Text1->text() == QStringLiteral("A1") && !ed.editing()); };
        QTest::keyClick(w, Qt::Key_F4);
        QCOMPARE(session.opened, 1);

        // His own report opens for modifying.
        ListGrid::SelectRow(g, 1);
        session.drive = [](DataRecord& ed) {
            QVERIFY2(MessageBox::shownBoxes().isEmpty(), qPrintable(lastText()));
            QVERIFY(ed.editing());
        };
        MessageBox::clearShown();
        QTest::keyClick(w, Qt::Key_F3);
        QCOMPARE(session.opened, 2);
    }

    // Live video on the test pattern: three frames captured, the viewer steps
    // through them, two go into the report, which is saved with them; viewed
    // from the main list, the report shows the two pictures.
    void captureFlow()
    {
        QVERIFY(setIni("video", "device", QStringLiteral("test")));
        FrmMain* w = logIn(QStringLiteral("admin"));
        QVERIFY(w);
        EditorSession session;
        const QString out = testOutputFolder();
        session.other = [&](QDialog* d) {
            auto* v = qobject_cast<FrmpicView*>(d);
            QVERIFY(v);
            v->show();
            QVERIFY(QTest::qWaitForWindowExposed(v));
            QCOMPARE(v->PicId, 0);
            click(v->Bdown);
            click(v->Bdown);
            QCOMPARE(v->PicId, 2);
            v->grab().save(out + QStringLiteral("/capture_viewer.png"));
            click(v->Bdown);
            QCOMPARE(v->PicId, 2);
            v->hide();
        };
        session.drive = [&](DataRecord& ed) {
            QCOMPARE(ed.pageFlag(), 1);
            click(ed.BVidOn);
            QVERIFY(ed.videoOn());
            VideoCapture* video = ed.VideoCapture1;
            for (int i = 0; i < 3; ++i) {
                QVERIFY(
                    VideoCaptureTesting::waitForFrame(*video, VideoCaptureTesting::framesReceived(*video) + 1, 60000));
                QTest::keyClick(&ed, Qt::Key_F9);
            }
            QVERIFY(!ed.Pictmp[2]->Tag.isEmpty() && ed.Pictmp[3]->Tag.isEmpty());
            QVERIFY(ed.Pictmp[0]->picture() != ed.Pictmp[2]->picture());   // the ball moves
            QTest::mouseClick(ed.Pictmp[0], Qt::LeftButton);
            click(ed.Bpicview1);
            QTest::mouseClick(ed.Pictmp[0], Qt::LeftButton);
            QTest::mouseClick(ed.Pictmp[1], Qt::LeftButton);
            QVERIFY(VideoCaptureTesting::waitForFrame(*video, VideoCaptureTesting::framesReceived(*video) + 1, 60000));
            ed.grab().save(out + QStringLiteral("/capture_editor_live.png"));
            click(ed.ButtonAddPic);
            QVERIFY(ed.Picload[0]->hasPicture() && ed.Picload[1]->hasPicture() && ed.Picload[2]->Tag.isEmpty());
            ed.grab().save(out + QStringLiteral("/capture_editor_added.png"));
            click(ed.Buttninfo);
            typeInto(ed.Text1, QStringLiteral("V1"));
            typeInto(ed.Text2, QStringLiteral("孙七"));
            typeInto(ed.Text4, QStringLiteral("40"));
            typeInto(ed.Text16, QStringLiteral("未见异常"));
            click(ed.ButtnSave);
            QVERIFY2(MessageBox::shownBoxes().isEmpty(), qPrintable(lastText()));
        };
        click(w->ButtnNew);
        QCOMPARE(session.opened, 1);
        QCOMPARE(queryInt(QStringLiteral("SELECT count(*) FROM reports WHERE obligate5 = 'V1' AND picture1 IS NOT "
                                         "NULL AND picture2 IS NOT NULL AND picture3 IS NULL")),
                 1);
        session.drive = [&](DataRecord& ed) {
            QCOMPARE(ed.Text1->text(), QStringLiteral("V1"));
            QVERIFY(ed.Picload[0]->hasPicture() && ed.Picload[1]->hasPicture() && !ed.Picload[2]->hasPicture());
            ed.grab().save(out + QStringLiteral("/capture_report_viewed.png"));
        };
        QTest::keyClick(w, Qt::Key_F4);
        QCOMPARE(session.opened, 2);
    }

    // F8 on the list previews the selected report (findings over two pages), which prints
    // as it is previewed. The preview's own settings and paging are the preview's tests.
    void printAReportFromTheList()
    {
        const qint64 key = addReport(QStringLiteral("P1"), QStringLiteral("丙"), QStringLiteral("2024-03-15"), kAdmin);
        QString findings;
        for (int i = 1; i <= 40; ++i)
            findings += QStringLiteral("第%1行：双肺纹理清晰，走行自然，肺门不大。\n").arg(i);
        QVERIFY(
            Database::ExecuteSql(QStringLiteral("UPDATE reports SET checksymptom = ? WHERE ctid = ?"), {findings, key})
                .ok());
        auto printers = std::make_shared<PdfPrinterBackend>();
        printers->addPrinter(PdfPrinterBackend::standardPrinter(QStringLiteral("报告打印机")));
        const QString pdf = folder_->file(QStringLiteral("printed.pdf"));
        printers->setOutputFile(pdf);
        ProgramPrinter::setBackend(printers);

        FrmMain* w = logIn(QStringLiteral("admin"));
        QVERIFY(w);
        QTableView* g = w->MSHFlexGrid1;
        ListGrid::SelectRow(g, rowWithKey(g, QString::number(key)));
        int pages = 0, printed = 0;
        Opener::setHook([&](QDialog* d) {
            auto* preview = qobject_cast<Frmreport*>(d);
            if (!preview)
                return 0;
            preview->show();
            (void)QTest::qWaitForWindowExposed(preview);
            pages = preview->pageCount();
            click(preview->CmdPrint);
            printed = pdfPages(pdf);
            click(preview->ButtnQuit);
            return 0;
        });
        QTest::keyClick(g, Qt::Key_F8);
        Opener::setHook([](QDialog*) { return 0; });
        ProgramPrinter::setBackend(nullptr);
        QVERIFY2(MessageBox::shownBoxes().isEmpty(), qPrintable(lastText()));
        QVERIFY(pages == 2 && printed == 2);
    }

private:
    std::unique_ptr<TestFolder> folder_;
};

QTEST_MAIN(tst_MainFlow)
#include "tst_mainflow.moc"
