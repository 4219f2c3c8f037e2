#include "EditorTestKit.h"

#include "core/Modini.h"
#include "core/Palette.h"
#include "editor/ReportLoader.h"
#include "platform/AppPaths.h"
#include "platform/Environment.h"
#include "support/TestFolder.h"

#include <QDir>
#include <QFile>
#include <QLabel>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTableWidget>
#include <QtTest>

using namespace ReportRecord;
using kit::lastText;
using kit::lastTitle;

class tst_DataRecord : public QObject {
    Q_OBJECT
private slots:
    void init()
    {
        folder_ = new TestFolder();
        QVERIFY(folder_->ok());
        kit::loginAs(QStringLiteral("admin"));
        Palette::LoadSkin();
        Environment::setTodayOverride(QDate(2025, 3, 4));
        Environment::setScreenSizeOverride(QSize(1024, 768));
        Environment::setPrinterInstalledOverride(true);
    }

    void cleanup()
    {
        kit::closeEditor();
        MessageBox::clearShown();
        delete folder_;
        folder_ = nullptr;
    }

    void pagesAndViewStyle()
    {
        DataRecord& ed = DataRecord::instance();
        ed.ensureLoaded();
        ed.setViewSytle(QStringLiteral("1"));
        ed.setUpdateTable(true);
        ed.setSavebj(QStringLiteral("insert"));
        ed.setUpdateId(QString());
        ed.showModally();
        QVERIFY(ed.Picpic->isVisibleTo(&ed) && !ed.Picdata2->isVisibleTo(&ed) && ed.Picyc->isVisibleTo(&ed));
        // Pressing the shown page's button changes nothing (not even its colours).
        const QRect store = ed.Picyc->geometry();
        ed.Buttnpic->setColor(0x68030017u, Palette::RGB(255, 0, 0));
        ed.Buttnpic_Click();
        QCOMPARE(ed.Buttnpic->color(ButtonProp::FaceBottom), Palette::RGB(255, 0, 0));
        QCOMPARE(ed.Picyc->geometry(), store);
        // Back to page 0: the store stays (its tab is the pressed one), the picture column follows.
        ed.Buttninfo_Click();
        QCOMPARE(ed.pageFlag(), 0);
        QVERIFY(ed.Picdata2->isVisibleTo(&ed) && !ed.Picpic->isVisibleTo(&ed) && ed.Picyc->isVisibleTo(&ed));
        QCOMPARE(ed.sidePanelTab(), 3);
        QCOMPARE(ed.RptPictureBox->x(), EditorGeometry::px((ed.Picdata2->x() + ed.Picdata2->width()) * 15 + 60));
        ed.setViewSytle(QStringLiteral("abc"));   // no number: the page flag stays
        QCOMPARE(ed.pageFlag(), 0);
    }

    void tallScreenMovesSidePanels()
    {
        DataRecord& ed = DataRecord::instance();
        ed.ensureLoaded();
        const int mc = ed.PicmcRect->y(), rect = ed.PicRect->y(), t15 = ed.Text15->height(), t16 = ed.Text16->y();
        kit::closeEditor();
        Environment::setScreenSizeOverride(QSize(1280, 1024));
        ed.ensureLoaded();
        // 256 pixels more: the side panels move down by them, the report boxes take half each.
        QVERIFY(ed.PicmcRect->y() == mc + 256 && ed.PicRect->y() == rect + 256);
        QVERIFY(ed.Text15->height() == t15 + 128 && ed.Text16->y() == t16 + 128);
        // The side panel's pages follow the taller window; the phrase panel keeps
        // the height its lookup gave it (closed: 0).
        ed.Piczymc->resize(ed.Piczymc->width(), 0);
        ed.resize(1280, 1000);
        ed.Form_Resize();
        QCOMPARE(ed.Picts->height(), ed.Picmc->height() - ed.Picts->y());
        QCOMPARE(ed.Piczymc->height(), 0);
    }

    void captionsListsAndQuickPhrases()
    {
        QVERIFY(TestFolder::exec(QStringLiteral("UPDATE bgxm SET xmmc = '影像号' WHERE xmid = '01'")));
        QVERIFY(TestFolder::exec(QStringLiteral("INSERT INTO section VALUES ('007', '内科'), ('008', '外科')")));
        QVERIFY(
            TestFolder::exec(QStringLiteral("INSERT INTO zymc (name, fl) VALUES ('①', 'V'), ('②', 'V'), ('x', 'A')")));
        DataRecord& ed = DataRecord::instance();
        ed.ensureLoaded();
        QCOMPARE(ed.Label1->text(), QStringLiteral("影像号"));
        QVERIFY(ed.Text6->count() == 2 && ed.Text6->itemData(0).toString() == QStringLiteral("007"));
        QVERIFY(ed.Text12->count() == 1 && ed.Text12->currentText() == QStringLiteral("admin"));
        QCOMPARE(ed.Text9->text(), QStringLiteral("2025-03-04"));
        QCOMPARE(ed.Text10->text(), QStringLiteral("1"));
        QVERIFY(ed.btnTS.size() == 2 && ed.btnTS[1]->text() == QStringLiteral("②"));   // the 'V' phrases
        QVERIFY(!ed.Text1->isEnabled() && MessageBox::shownBoxes().isEmpty());   // the design state is read-only
        kit::closeEditor();

        // 22 report items: the message, and the design captions stay.
        QVERIFY(TestFolder::exec(QStringLiteral("DELETE FROM bgxm WHERE xmid = '23'")));
        QVERIFY(TestFolder::exec(QStringLiteral("DELETE FROM zymc")));
        ed.ensureLoaded();
        QCOMPARE(lastText(), QStringLiteral("打印项目设置错误"));
        QCOMPARE(lastTitle(), QStringLiteral("错误"));
        QCOMPARE(ed.Label1->text(), QStringLiteral("检 查 号"));
    }

    void failingListIsReportedAndLoadGoesOn()
    {
        QVERIFY(TestFolder::exec(QStringLiteral("DROP TABLE section")));
        QVERIFY(TestFolder::exec(QStringLiteral("DROP TABLE zymc")));
        DataRecord& ed = DataRecord::instance();
        ed.ensureLoaded();
        QCOMPARE(MessageBox::shownBoxes().size(), 2);
        QVERIFY(MessageBox::shownBoxes()[0].text.contains(QStringLiteral("section")));
        QCOMPARE(MessageBox::shownBoxes()[0].title, QStringLiteral("错误"));
        // The defaults are still set, so a save can succeed.
        QVERIFY(ed.Text12->currentText() == QStringLiteral("admin") &&
                ed.Text9->text() == QStringLiteral("2025-03-04"));
        QVERIFY(ed.Text11->count() == 1 && ed.sidePanelTab() == 3);
    }

    void validation_data()
    {
        QTest::addColumn<QString>("controlName");
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("message");
        QTest::addColumn<bool>("selected");
        QTest::newRow("exam blank") << "Text1" << "   " << "X线号不能为空" << false;
        QTest::newRow("name blank") << "Text2" << " " << "病人姓名不能为空" << false;
        QTest::newRow("sex empty") << "Text3" << "" << "病人姓别不能为空" << false;
        QTest::newRow("age empty") << "Text4" << "" << "年龄不能为空" << false;
        QTest::newRow("age letters") << "Text4" << "abc" << "年龄应该为数字" << true;
        QTest::newRow("age 1,000") << "Text4" << "1,000" << "年龄应该为数字" << true;
        QTest::newRow("unit empty") << "ComboAge" << "" << "年龄单位不能为空" << false;
        QTest::newRow("unit wrong") << "ComboAge" << "年" << "年龄单位不正确，请重新填写" << true;
        QTest::newRow("date empty") << "Text9" << "" << "报告日期不能为空" << false;
        QTest::newRow("date time") << "Text9" << "12:30" << "报告日期格式不正确，请按照“yyyy-mm-dd”填写" << true;
        QTest::newRow("count empty") << "Text10" << "" << "检查次数不能为空" << false;
        QTest::newRow("count letters") << "Text10" << "x" << "检查次数应该为数字" << true;
        QTest::newRow("doctor empty") << "Text12" << "" << "检查医师不能为空" << false;
        QTest::newRow("fee letters") << "Text13" << "十元" << "收费金额应该为数字" << true;
        QTest::newRow("sex one space passes") << "Text3" << " " << "" << false;
        QTest::newRow("slashed date passes") << "Text9" << "2024/1/5" << "" << false;
    }

    void validation()
    {
        QFETCH(QString, controlName);
        QFETCH(QString, value);
        QFETCH(QString, message);
        QFETCH(bool, selected);
        kit::FakeList list;
        DataRecord& ed = DataRecord::instance();
        ed.ensureLoaded();
        ed.show();
        ed.ButtnNew_Click();
        kit::typeRecord(ed, QStringLiteral("X1"), QStringLiteral("张三"));
        const QHash<QString, QWidget*> named{
            {QStringLiteral("Text1"), ed.Text1},       {QStringLiteral("Text2"), ed.Text2},
            {QStringLiteral("Text3"), ed.Text3},       {QStringLiteral("Text4"), ed.Text4},
            {QStringLiteral("ComboAge"), ed.ComboAge}, {QStringLiteral("Text9"), ed.Text9},
            {QStringLiteral("Text10"), ed.Text10},     {QStringLiteral("Text12"), ed.Text12},
            {QStringLiteral("Text13"), ed.Text13}};
        QWidget* target = named.value(controlName);
        if (auto* e = qobject_cast<QLineEdit*>(target))
            e->setText(value);
        else if (auto* c = qobject_cast<QComboBox*>(target))
            c->setEditText(value);
        const int before = kit::countReports();
        ed.ButtnSave_Click();
        if (message.isEmpty()) {
            QVERIFY2(MessageBox::shownBoxes().isEmpty(), qPrintable(lastText()));
            QCOMPARE(kit::countReports(), before + 1);
            if (controlName == QStringLiteral("Text9")) {
                const QueryResult r = ModADOconnect::QueryData(QStringLiteral("SELECT pgdate, times FROM reports"));
                QCOMPARE(r.data->text(0), QStringLiteral("2024-01-05"));
                QCOMPARE(r.data->field(1), QVariant(qlonglong(0)));   // an empty fee stores 0
            }
            return;
        }
        QCOMPARE(MessageBox::shownBoxes().size(), 1);
        QCOMPARE(lastText(), message);
        QCOMPARE(lastTitle(), QStringLiteral("错误"));
        QCOMPARE(MessageBox::shownBoxes().last().icon, MessageBox::Icon::Critical);
        QCOMPARE(kit::countReports(), before);
        QVERIFY(ed.editing());
        // The box in question takes the focus (the reporting doctor's, never enabled, cannot).
        if (target->isEnabled())
            QVERIFY(ed.focusWidget() == target || ed.focusWidget()->parentWidget() == target);
        auto* edit = qobject_cast<QLineEdit*>(target);
        if (auto* c = qobject_cast<QComboBox*>(target))
            edit = c->lineEdit();
        QCOMPARE(edit ? edit->selectedText() : QString(), selected ? value : QString());
    }

    void insertAndUpdateKeepTheListInStep()
    {
        kit::FakeList list;
        Openers::EditorNewReport();
        DataRecord& ed = DataRecord::instance();
        QCOMPARE(ed.pageFlag(), 1);
        QCOMPARE(ed.savebj(), QStringLiteral("insert"));
        QVERIFY(ed.Text1->isEnabled() && !ed.Text12->isEnabled() && !ed.ButtnNew->isEnabled());
        kit::typeRecord(ed, QStringLiteral("X100"), QStringLiteral("王五"));
        ed.Text18->setText(QStringLiteral("M-9"));
        ed.Text13->setText(QStringLiteral("12.5"));
        ed.ButtnSave_Click();
        QVERIFY2(MessageBox::shownBoxes().isEmpty(), qPrintable(lastText()));
        QCOMPARE(kit::countReports(), 1);
        const QString key1 = ed.UpdateIdout();
        QVERIFY(!key1.isEmpty());
        QCOMPARE(kit::storedRow(key1.toLongLong())->field(ReportRecord::times).toDouble(), 12.5);
        // The blank row of the empty list became the new row, selected.
        QCOMPARE(list.rows(), 1);
        QCOMPARE(list.highlight(), 1);
        QCOMPARE(list.selectionColor(), 0x8000000Fu);
        const QStringList row = {QStringLiteral("X100"), QStringLiteral("42岁"), QStringLiteral("M-9"),
                                 QStringLiteral("2025-03-04"), QStringLiteral("admin"), QStringLiteral("未见异常"), key1};
        const int cols[] = {0, 3, 6, 8, 9, 10, 11};
        for (int i = 0; i < row.size(); ++i)
            QCOMPARE(list.cell(0, cols[i]), row[i]);
        QCOMPARE(list.currentRow(), 0);
        // Viewing state.
        QVERIFY(!ed.editing());
        QVERIFY(ed.ButtnNew->isEnabled() && ed.ButtnEnable->isEnabled() && ed.ButtnDel->isEnabled());
        QVERIFY(ed.ButtnPrint->isEnabled() && !ed.ButtnSave->isEnabled() && !ed.ButtnClear->isEnabled());

        // A second report is appended below.
        ed.ButtnNew_Click();
        kit::typeRecord(ed, QStringLiteral("X101"), QStringLiteral("赵六"));
        ed.ButtnSave_Click();
        QCOMPARE(list.rows(), 2);
        QCOMPARE(list.currentRow(), 1);
        QVERIFY(ed.UpdateIdout() != key1);

        // An update of an older report rewrites its row but keeps the date column.
        list.select(0);
        list.setCell(0, 8, QStringLiteral("2020-01-01"));
        ed.setUpdateId(key1);
        ed.ButtnEnable_Click();
        QCOMPARE(ed.savebj(), QStringLiteral("update"));
        ed.Text2->setText(QStringLiteral("王五五"));
        ed.ButtnSave_Click();
        QVERIFY2(MessageBox::shownBoxes().isEmpty(), qPrintable(lastText()));
        QCOMPARE(kit::countReports(), 2);
        QCOMPARE(list.cell(0, 1), QStringLiteral("王五五"));
        QCOMPARE(list.cell(0, 8), QStringLiteral("2020-01-01"));
        QCOMPARE(list.cell(0, 11), key1);
        QCOMPARE(kit::storedRow(key1.toLongLong())->text(ReportRecord::brname), QStringLiteral("王五五"));
    }

    void awkwardTextsSaveThroughTheEditor()
    {
        DataRecord& ed = DataRecord::instance();
        ed.ensureLoaded();
        ed.ButtnNew_Click();
        const QString findings = QStringLiteral("两肺野清晰，心影不大 O'Brien 50%\n").repeated(4000).left(100000);
        const QString name = QString::fromUtf8("O'Neil '' \"王\" \xF0\x9F\x98\x80");
        const QString bed = QStringLiteral("50% _x_ \\ \"y\"");
        kit::typeRecord(ed, QStringLiteral("Q'1"), name);
        ed.Text5->setText(bed);
        ed.Text15->setPlainText(findings);
        ed.ButtnSave_Click();
        QVERIFY2(MessageBox::shownBoxes().isEmpty(), qPrintable(lastText()));
        const RecordSetPtr r = kit::storedRow(ed.UpdateIdout().toLongLong());
        QCOMPARE(r->text(brname).toUtf8(), name.toUtf8());
        QCOMPARE(r->text(bedid), bed);
        QCOMPARE(r->text(checksymptom).toUtf8(), findings.toUtf8());
        QCOMPARE(r->text(obligate5), QStringLiteral("Q'1"));
    }

    void missingSlotFileRollsBack()
    {
        kit::FakeList list;
        DataRecord& ed = DataRecord::instance();
        ed.ensureLoaded();
        ed.setUpdateTable(true);
        ed.ButtnNew_Click();
        kit::typeRecord(ed, QStringLiteral("X7"), QStringLiteral("甲"));
        const QString good = AppPaths::imageFolder() + QStringLiteral("/rpt1.jpg");
        const QByteArray pic = kit::jpegBytes(40, 30, Qt::blue);
        kit::writeFile(good, pic);
        QVERIFY(ed.showSlotFile(0, good));
        ed.Picload[1]->Tag = AppPaths::imageFolder() + QStringLiteral("/rpt2.jpg");   // no such file
        ed.ButtnSave_Click();
        QCOMPARE(MessageBox::shownBoxes().size(), 1);
        QCOMPARE(lastTitle(), QStringLiteral("错误"));
        QVERIFY(lastText().contains(QStringLiteral("rpt2.jpg")));
        QCOMPARE(kit::countReports(), 0);
        QVERIFY(ed.editing());
        QCOMPARE(ed.savebj(), QStringLiteral("insert"));
        QCOMPARE(ed.UpdateIdout(), QString());
        QCOMPARE(list.highlight(), 0);
        // Put the file back: the retry stores one row with both pictures.
        QVERIFY(QFile::copy(good, ed.Picload[1]->Tag));
        MessageBox::clearShown();
        ed.ButtnSave_Click();
        QVERIFY2(MessageBox::shownBoxes().isEmpty(), qPrintable(lastText()));
        QCOMPARE(kit::countReports(), 1);
        const RecordSetPtr r = kit::storedRow(ed.UpdateIdout().toLongLong());
        QCOMPARE(r->blob(picture1), pic);
        QCOMPARE(r->blob(picture2), pic);
        QVERIFY(r->isNull(picture3));
    }

    void emptiedSlotStoresNull()
    {
        const qint64 key = kit::insertReport(QStringLiteral("P1"), QStringLiteral("乙"), QStringLiteral("admin"));
        const QByteArray pic = kit::jpegBytes(64, 48, Qt::green);
        kit::storePictures(key, {pic, pic});
        kit::FakeList list;
        DataRecord& ed = list.open(key, QStringLiteral("admin"), true);
        QVERIFY(ed.editing());
        QVERIFY(!ed.Picload[1]->Tag.isEmpty());
        ed.Picload[1]->Cls();
        ed.Picload[1]->Tag.clear();
        ed.ButtnSave_Click();
        QVERIFY2(MessageBox::shownBoxes().isEmpty(), qPrintable(lastText()));
        const RecordSetPtr r = kit::storedRow(key);
        QCOMPARE(r->blob(picture1), pic);
        QVERIFY(r->isNull(picture2));
        QCOMPARE(r->text(rpdate), QStringLiteral("2024-01-02"));   // the report date is kept
    }

    void deleteWithStudyRows()
    {
        const qint64 key = kit::insertReport(QStringLiteral("D1"), QStringLiteral("丁"), QStringLiteral("admin"));
        QVERIFY(
            TestFolder::exec(QStringLiteral("INSERT INTO Study (StudyUID, Status) VALUES ('a', '%1'), ('b', '999'), "
                                            "('c', '%1')")
                                 .arg(key)));
        kit::FakeList list;
        DataRecord& ed = list.open(key, QStringLiteral("admin"), false);
        // Cancel changes nothing.
        MessageBox::queueAnswer(MessageBox::Answer::Cancel);
        ed.ButtnDel_Click();
        QCOMPARE(kit::countReports(), 1);
        QCOMPARE(ed.Text1->text(), QStringLiteral("D1"));
        MessageBox::queueAnswer(MessageBox::Answer::Ok);
        ed.ButtnDel_Click();
        QCOMPARE(lastText(), QStringLiteral("你将删除本报告,删除后将不能恢复,请确认是否删除?"));
        QCOMPARE(MessageBox::shownBoxes().last().buttons, MessageBox::Buttons::OkCancel);
        QCOMPARE(kit::countReports(), 0);
        // Its studies are released; another report's study keeps its link.
        const QueryResult s = ModADOconnect::QueryData(QStringLiteral("SELECT Status FROM Study ORDER BY StudyUID"));
        QVERIFY(s.data->isNull(0));
        s.data->moveNext();
        QCOMPARE(s.data->text(0), QStringLiteral("999"));
        s.data->moveNext();
        QVERIFY(s.data->isNull(0));
        // The only listed report is gone: one blank row in the empty state.
        QCOMPARE(list.rows(), 1);
        QCOMPARE(list.cell(0, 11), QString());
        QCOMPARE(list.highlight(), 0);
        QCOMPARE(list.selectionColor(), 0x00FFFFFFu);
        // The editor is empty and read-only; only New is left.
        QCOMPARE(ed.UpdateIdout(), QString());
        QCOMPARE(ed.Text1->text(), QString());
        QVERIFY(!ed.Text1->isEnabled() && ed.ButtnNew->isEnabled());
        QVERIFY(!ed.ButtnEnable->isEnabled() && !ed.ButtnDel->isEnabled() && !ed.ButtnPrint->isEnabled());
    }

    void deleteGuards()
    {
        const qint64 mine = kit::insertReport(QStringLiteral("G1"), QStringLiteral("戊"), QStringLiteral("admin"));
        const qint64 other = kit::insertReport(QStringLiteral("G2"), QStringLiteral("己"), QStringLiteral("李医生"));
        DataRecord& ed = DataRecord::instance();
        ed.ensureLoaded();
        ed.ButtnDel_Click();   // never stored
        QCOMPARE(lastText(), QStringLiteral("新建状态下不能删除报告记录"));
        QCOMPARE(lastTitle(), QStringLiteral("系统错误"));
        kit::closeEditor();

        kit::loginAs(QStringLiteral("admin"));
        Mmain::gRights[Mmain::RightEditOthers] = false;
        kit::FakeList list;
        list.addRow(mine, QStringLiteral("admin"));
        list.addRow(other, QStringLiteral("李医生"));
        Openers::EditorOpenFromMainList(false);   // the selected row is the other user's report
        QCOMPARE(ed.Text12->currentText(), QStringLiteral("李医生"));
        MessageBox::clearShown();
        ed.ButtnDel_Click();
        QCOMPARE(lastText(), QStringLiteral("你没有删除其他人所建报告的权限，操作取消"));
        QCOMPARE(kit::countReports(), 2);
        kit::closeEditor();
        // Opened from elsewhere (no list update): the list stays as it is.
        list.select(0);
        Openers::EditorOpenFromMainList(false);
        ed.setUpdateTable(false);
        MessageBox::queueAnswer(MessageBox::Answer::Ok);
        ed.ButtnDel_Click();
        QCOMPARE(kit::countReports(), 1);
        QCOMPARE(list.rows(), 2);
    }

    void deleteRollsBackWithoutStudyTable()
    {
        const qint64 key = kit::insertReport(QStringLiteral("R1"), QStringLiteral("庚"), QStringLiteral("admin"));
        QVERIFY(TestFolder::exec(QStringLiteral("DROP TABLE Study")));
        kit::FakeList list;
        DataRecord& ed = list.open(key, QStringLiteral("admin"), false);
        MessageBox::queueAnswer(MessageBox::Answer::Ok);
        ed.ButtnDel_Click();
        QCOMPARE(lastTitle(), QStringLiteral("系统错误"));
        QVERIFY(lastText().contains(QStringLiteral("Study")));
        QCOMPARE(kit::countReports(), 1);
        QVERIFY(list.rows() == 1 && list.cell(0, 11) == QString::number(key));
        QVERIFY(ed.UpdateIdout() == QString::number(key) && ed.Text1->text() == QStringLiteral("R1"));
    }

    void printGuards()
    {
        DataRecord& ed = DataRecord::instance();
        ed.ensureLoaded();
        Environment::setPrinterInstalledOverride(false);
        ed.ButtnNew_Click();
        ed.ButtnPrint_Click();   // the printer test comes first, even for an unsaved record
        QCOMPARE(lastText(), QStringLiteral("未打印机，安装打印机后才能使用打印设置功能。"));
        QCOMPARE(lastTitle(), QStringLiteral("错误"));
        Environment::setPrinterInstalledOverride(true);
        ed.ButtnPrint_Click();
        QCOMPARE(lastText(), QStringLiteral("新建状态或修改状态下不能进行此操作，请保存报告后打印"));
        kit::typeRecord(ed, QStringLiteral("PR1"), QStringLiteral("辛"));
        ed.ButtnSave_Click();
        MessageBox::clearShown();
        ed.ButtnPrint_Click();
        // The preview is reached with the saved key (a notice until the preview exists).
        QCOMPARE(MessageBox::shownBoxes().size(), 1);
        QVERIFY(lastText() != QStringLiteral("新建状态或修改状态下不能进行此操作，请保存报告后打印"));
        QCOMPARE(ed.UpdateIdout(), QString::number(ModADOconnect::LastInsertId()));
    }

    void functionKeysFollowTheirButtons()
    {
        DataRecord& ed = DataRecord::instance();
        ed.ensureLoaded();
        ed.show();
        QSignalSpy templates(&ed, &DataRecord::templateLoadRequested);
        QSignalSpy captures(&ed, &DataRecord::captureRequested);
        // Viewing state after a save: F5 does nothing, F2 starts a new record.
        ed.ButtnNew_Click();
        kit::typeRecord(ed, QStringLiteral("K1"), QStringLiteral("壬"));
        QTest::keyClick(ed.Text1, Qt::Key_F5);
        QVERIFY(kit::countReports() == 1 && !ed.editing());
        QTest::keyClick(&ed, Qt::Key_F5);
        QTest::keyClick(&ed, Qt::Key_F8);
        QVERIFY(kit::countReports() == 1 && templates.isEmpty());
        QTest::keyClick(&ed, Qt::Key_F2);
        QVERIFY(ed.editing() && ed.Text1->text().isEmpty());
        QTest::keyClick(ed.Text2, Qt::Key_F8);
        QCOMPARE(templates.count(), 1);
        // F2 while New is disabled does nothing.
        ed.Text1->setText(QStringLiteral("typed"));
        QTest::keyClick(ed.Text1, Qt::Key_F2);
        QCOMPARE(ed.Text1->text(), QStringLiteral("typed"));
        QTest::keyClick(&ed, Qt::Key_F9);
        QCOMPARE(captures.count(), 1);
        ed.BVidCapture->setEnabled(false);
        QTest::keyClick(&ed, Qt::Key_F9);
        QCOMPARE(captures.count(), 1);
        // A key whose command is off goes on to the control: F2 edits a grid cell.
        ed.Buttninfo_Click();
        ed.Picyc->hide();
        ed.Picms->show();
        ed.Gridms->setRowCount(1);
        ed.Gridms->setColumnCount(1);
        ed.Gridms->setItem(0, 0, new QTableWidgetItem(QStringLiteral("描述")));
        ed.Gridms->setCurrentCell(0, 0);
        ed.Gridms->setFocus();
        QTest::keyClick(ed.Gridms, Qt::Key_F2);
        QVERIFY(ed.Gridms->viewport()->findChild<QLineEdit*>() != nullptr);   // the cell editor is open
        QCOMPARE(ed.Text1->text(), QStringLiteral("typed"));
        // Escape while typing does not close the window.
        MessageBox::clearShown();
        QTest::keyClick(ed.Text2, Qt::Key_Escape);
        QTest::keyClick(&ed, Qt::Key_Escape);
        QVERIFY(ed.isLoaded() && ed.isVisible() && MessageBox::shownBoxes().isEmpty());
        QCOMPARE(ed.Text1->text(), QStringLiteral("typed"));
    }

    void closeQuestion()
    {
        QVERIFY(Modini::SetIniValue(QStringLiteral("system"), QStringLiteral("fzindex"), QStringLiteral("0")));
        QVERIFY(Modini::SetIniValue(QStringLiteral("system"), QStringLiteral("mrms"), QStringLiteral("5")));
        DataRecord& ed = DataRecord::instance();
        ed.ensureLoaded();
        QCOMPARE(ed.descriptionCategory(), 5);
        ed.ButtnNew_Click();
        kit::typeRecord(ed, QStringLiteral("C1"), QStringLiteral("癸"));
        // Yes: stays open and saves.
        MessageBox::queueAnswer(MessageBox::Answer::Yes);
        ed.ButtnBack_Click();
        QCOMPARE(MessageBox::shownBoxes().first().text, QStringLiteral("报告未保存，是否保存？"));
        QCOMPARE(MessageBox::shownBoxes().first().title, QStringLiteral("提示"));
        QVERIFY(ed.isLoaded());
        QCOMPARE(kit::countReports(), 1);
        QCOMPARE(Modini::GetIniValue(QStringLiteral("system"), QStringLiteral("fzindex")), QStringLiteral("3"));
        // No: closes without saving.
        Modini::SetIniValue(QStringLiteral("system"), QStringLiteral("fzindex"), QStringLiteral("0"));
        ed.ButtnNew_Click();
        kit::typeRecord(ed, QStringLiteral("C2"), QStringLiteral("子"));
        MessageBox::queueAnswer(MessageBox::Answer::No);
        ed.ButtnBack_Click();
        QVERIFY(!ed.isLoaded());
        QCOMPARE(kit::countReports(), 1);
        QCOMPARE(Modini::GetIniValue(QStringLiteral("system"), QStringLiteral("fzindex")), QStringLiteral("3"));
        QCOMPARE(Modini::GetIniValue(QStringLiteral("system"), QStringLiteral("mrms")), QStringLiteral("5"));
        // Without unsaved edits: no question.
        MessageBox::clearShown();
        ed.ensureLoaded();
        ed.ButtnSave->setEnabled(false);
        ed.ButtnBack_Click();
        QVERIFY(MessageBox::shownBoxes().isEmpty());
        QVERIFY(!ed.isLoaded());
    }

    void clearAndModifyRights()
    {
        const qint64 key = kit::insertReport(QStringLiteral("M1"), QStringLiteral("丑"), QStringLiteral("李医生"));
        kit::FakeList list;
        DataRecord& ed = list.open(key, QStringLiteral("李医生"), false);
        // Clear and Save do nothing while viewing.
        ed.ButtnClear_Click();
        ed.Text2->setText(QStringLiteral("改"));
        ed.ButtnSave_Click();
        QCOMPARE(ed.Text1->text(), QStringLiteral("M1"));
        QCOMPARE(kit::storedRow(key)->text(brname), QStringLiteral("丑"));
        QVERIFY(MessageBox::shownBoxes().isEmpty());
        // Modify by another user without right 2 is refused.
        Mmain::gRights[Mmain::RightEditOthers] = false;
        ed.ButtnEnable_Click();
        QCOMPARE(lastText(), QStringLiteral("你没有修改其他人所建报告的权限，操作取消"));
        QVERIFY(!ed.editing());
        Mmain::gRights[Mmain::RightEditOthers] = true;
        ed.ButtnEnable_Click();
        QVERIFY(ed.editing());
        QCOMPARE(ed.savebj(), QStringLiteral("update"));
        QCOMPARE(ed.UpdateIdout(), QString::number(key));
        ed.ButtnClear_Click();   // empties the boxes, keeps the record being modified
        QCOMPARE(ed.Text1->text(), QString());
        QCOMPARE(ed.Text12->currentText(), QStringLiteral("admin"));
        QVERIFY(ed.UpdateIdout() == QString::number(key) && ed.ButtnSave->isEnabled());
    }

    void screenshots()
    {
        const qint64 key = kit::insertReport(QStringLiteral("S-2025-001"), QStringLiteral("张三"),
                                             QStringLiteral("admin"), QVariant(25.0));
        kit::storePictures(key, {kit::jpegBytes(320, 240, QColor(90, 90, 90)), {},
                                 kit::jpegBytes(200, 300, QColor(160, 160, 160))});
        QVERIFY(TestFolder::exec(QStringLiteral("UPDATE reports SET checksymptom = '胸廓对称，双肺纹理清晰。', "
                                                "checkconclusion = '胸部未见明显异常。', part = '胸部'")));
        auto open = [](QSize window, bool insert) -> DataRecord& {
            if (insert)
                Openers::EditorNewReport();
            else
                Openers::EditorOpenFromMainList(false);
            DataRecord& ed = DataRecord::instance();
            ed.setWindowState(Qt::WindowNoState);
            ed.resize(window);
            ed.show();
            ed.Form_Resize();
            return ed;
        };
        // On a small and a large screen the panels fill the window and the picture column stays on it.
        for (const QSize screen : {QSize(1024, 768), QSize(1920, 1080)}) {
            Environment::setScreenSizeOverride(screen);
            kit::FakeList list;
            list.addRow(key, QStringLiteral("admin"));
            DataRecord& ed = open(screen - QSize(0, 30), false);
            for (int page : {1, 0}) {
                page == 0 ? ed.Buttninfo_Click() : ed.Buttnpic_Click();
                QVERIFY(ed.RptPictureBox->geometry().right() <= ed.width());
                QCOMPARE(ed.Picbottom->geometry().bottom(), ed.height() - 1);
            }
            QCoreApplication::processEvents();
            if (screen.width() == 1024)
                QVERIFY(ed.grab().save(testOutputFolder() + QStringLiteral("/editor_1024x768_page0.png")));
            kit::closeEditor();
        }
        // The insert state with texts far longer than the boxes: every box keeps its
        // design place and size, the report boxes scroll.
        {
            Environment::setScreenSizeOverride(QSize(1024, 768));
            kit::FakeList list;
            DataRecord& ed = open(QSize(1024, 738), true);
            const QRect nameBox = ed.Text2->geometry();
            const QString longLine = QString::fromUtf8("非常长的文本😀'%\"").repeated(200);
            for (QLineEdit* e : {ed.Text1, ed.Text2, ed.Text5, ed.Text8, ed.Text14, ed.Text17, ed.Text18, ed.Text19})
                e->setText(longLine);
            for (QComboBox* c : {ed.Text6, ed.Text7, ed.Text11, ed.Combopart})
                c->setEditText(longLine);
            ed.Text15->setPlainText(QString::fromUtf8("两肺纹理增多，紊乱，可见斑片状模糊影。").repeated(3000));
            ed.Text16->setPlainText(QString::fromUtf8("考虑支气管肺炎，建议复查。\n").repeated(200));
            ed.Buttninfo_Click();
            QCoreApplication::processEvents();
            QVERIFY(ed.grab().save(testOutputFolder() + QStringLiteral("/editor_insert_long_page0.png")));
            QCOMPARE(ed.Text2->geometry(), nameBox);
            QVERIFY(ed.Text15->verticalScrollBar()->isVisible());
            kit::closeEditor();
        }
        // Layout mode 1 on a wide screen: the page follows the window, the edit boxes end 5 px before its edge.
        QVERIFY(Modini::SetIniValue(QStringLiteral("system"), QStringLiteral("kz"), QStringLiteral("1")));
        Environment::setScreenSizeOverride(QSize(1920, 1080));
        kit::FakeList list;
        list.addRow(key, QStringLiteral("admin"));
        DataRecord& ed = open(QSize(1920, 1050), false);
        QCOMPARE(ed.layoutMode(), 1);
        ed.Buttninfo_Click();
        QCOMPARE(ed.Text15->geometry().right(), ed.Picdata2->width() - 5 - 1);
        const int left = ed.RptPictureBox->x();
        QCOMPARE(left, EditorGeometry::px((ed.Picdata2->x() + ed.Picdata2->width()) * 15 + 60));
        ed.Buttnpic_Click();   // the picture column stays where it is on either page
        QCOMPARE(ed.RptPictureBox->x(), left);
    }

private:
    TestFolder* folder_ = nullptr;
};

QTEST_MAIN(tst_DataRecord)
#include "tst_datarecord.moc"
