#include "EditorTestKit.h"

#include "core/Palette.h"
#include "editor/ReportLoader.h"
#include "platform/AppPaths.h"
#include "platform/Environment.h"
#include "support/TestFolder.h"

#include <QTableWidget>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QtTest>

using namespace ReportRecord;
using kit::lastText;
using kit::lastTitle;

class tst_ReportLoader : public QObject {
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
        shown_.clear();
        Opener::setHook([this](QDialog* d) {
            shown_.append(d);
            return 0;
        });
    }

    void cleanup()
    {
        kit::closeEditor();
        delete folder_;
        folder_ = nullptr;
    }

    void nullFieldsAndFeeFormats()
    {
        const qint64 nullFee = kit::insertReport(QStringLiteral("N1"), QStringLiteral("甲"), QStringLiteral("admin"));
        const qint64 halfFee =
            kit::insertReport(QStringLiteral("N3"), QStringLiteral("丙"), QStringLiteral("admin"), 12.5);
        DataRecord& ed = DataRecord::instance();
        QVERIFY(ReportLoader::LoadReportIntoEditor(QString::number(nullFee), ReportLoader::Variant::View));
        QCOMPARE(ed.Text1->text(), QStringLiteral("N1"));
        QCOMPARE(ed.Text4->text(), QStringLiteral("30"));   // a stored 30.0 reads "30"
        QCOMPARE(ed.Text9->text(), QStringLiteral("2024-01-02"));
        for (QLineEdit* e : {ed.Text5, ed.Text8, ed.Text17, ed.Text18, ed.Text19, ed.Text14, ed.Text13})
            QCOMPARE(e->text(), QString());
        for (QComboBox* c : {ed.Text6, ed.Text11, ed.Combojs})
            QCOMPARE(c->currentText(), QString());
        QVERIFY(ed.Text15->toPlainText().isEmpty() && !ed.editing());
        kit::closeEditor();
        QVERIFY(ReportLoader::LoadReportIntoEditor(QString::number(halfFee), ReportLoader::Variant::View));
        QCOMPARE(ed.Text13->text(), QStringLiteral("12.50"));
        QCOMPARE(shown_.size(), 2);
    }

    // Each slot file holds exactly its field's bytes; empty, Null and damaged fields leave
    // their slot empty without a file (nor one of an earlier record).
    void slotFilesFollowTheFields()
    {
        const qint64 key = kit::insertReport(QStringLiteral("P3"), QStringLiteral("丁"), QStringLiteral("admin"));
        const QByteArray big = kit::jpegBytes(640, 480, QColor(10, 200, 30));
        const QByteArray small = kit::jpegBytes(16, 16, Qt::black);
        kit::storePictures(key, {big, QByteArray("not a picture"), small, QByteArray("")});
        for (int n : {2, 4})   // files of an earlier record
            kit::writeFile(ReportLoader::SlotFile(n), "old");
        QVERIFY(ReportLoader::LoadReportIntoEditor(QString::number(key), ReportLoader::Variant::View));
        DataRecord& ed = DataRecord::instance();
        QCOMPARE(MessageBox::shownBoxes().size(), 1);   // the damaged picture
        QCOMPARE(lastTitle(), QStringLiteral("系统错误"));
        for (int n : {1, 3})
            QVERIFY(ed.Picload[size_t(n - 1)]->Tag == ReportLoader::SlotFile(n) &&
                    ed.Picload[size_t(n - 1)]->hasPicture());
        QCOMPARE(kit::fileBytes(ReportLoader::SlotFile(1)), big);
        QCOMPARE(kit::fileBytes(ReportLoader::SlotFile(3)), small);
        for (int n : {2, 4}) {
            QVERIFY(!QFileInfo::exists(ReportLoader::SlotFile(n)));
            QVERIFY(ed.Picload[size_t(n - 1)]->Tag.isEmpty() && !ed.Picload[size_t(n - 1)]->hasPicture());
        }
        // The picture is drawn stretched over the whole slot.
        ed.Picload[0]->resize(160, 120);
        QVERIFY(QColor(ed.Picload[0]->grab().toImage().pixel(150, 110)).green() > 160);
        QCOMPARE(shown_.size(), 1);
    }

    // A picture that could not be put in its slot (no picture folder, a slot file
    // that cannot be replaced, damaged picture data) leaves the slot empty; saving
    // the modified record must not wipe the stored picture for that.
    void picturesNotShownAreKeptBySave()
    {
        const qint64 key = kit::insertReport(QStringLiteral("K1"), QStringLiteral("庚"), QStringLiteral("admin"));
        const QByteArray good = kit::jpegBytes(40, 30, Qt::red);
        const QByteArray damaged("not a picture");
        const QByteArray third = kit::jpegBytes(30, 40, Qt::green);
        kit::storePictures(key, {good, damaged, third});
        kit::FakeList list;
        list.addRow(key, QStringLiteral("admin"));
        auto stored = [key](int field) {
            const RecordSetPtr r = kit::storedRow(key);
            return r->isNull(field) ? QByteArray("<null>") : r->blob(field);
        };
        DataRecord& ed = DataRecord::instance();

        // A file where the picture folder should be: no slot can be written.
        QVERIFY(QDir(AppPaths::imageFolder()).removeRecursively());
        kit::writeFile(AppPaths::imageFolder(), {});
        Openers::EditorOpenFromMainList(true);
        QVERIFY(ed.editing());
        QCOMPARE(MessageBox::shownBoxes().size(), 4);   // the folder, then each picture
        QCOMPARE(MessageBox::shownBoxes().last().title, QStringLiteral("系统错误"));
        QVERIFY(!lastText().endsWith(QStringLiteral("\r\n")));
        for (EdPicture* p : ed.Picload)
            QCOMPARE(p->Tag, QString());
        ed.Text2->setText(QStringLiteral("庚二"));
        MessageBox::clearShown();
        ed.ButtnSave_Click();
        QVERIFY2(MessageBox::shownBoxes().isEmpty(), qPrintable(lastText()));
        QCOMPARE(stored(1), QByteArrayLiteral("庚二"));
        QCOMPARE(QList<QByteArray>({stored(29), stored(30), stored(31), stored(32)}),
                 QList<QByteArray>({good, damaged, third, "<null>"}));
        kit::closeEditor();

        // With the folder back, only the damaged picture stays off screen; a slot
        // the user empties is still cleared, the damaged one is still kept.
        QVERIFY(QFile::remove(AppPaths::imageFolder()));
        MessageBox::clearShown();
        Openers::EditorOpenFromMainList(true);
        QCOMPARE(MessageBox::shownBoxes().size(), 1);
        QVERIFY(ed.Picload[0]->Tag == ReportLoader::SlotFile(1) && ed.Picload[1]->Tag.isEmpty());
        ed.Picload[2]->Cls();
        ed.Picload[2]->Tag.clear();   // the user takes picture 3 out
        MessageBox::clearShown();
        ed.ButtnSave_Click();
        QVERIFY2(MessageBox::shownBoxes().isEmpty(), qPrintable(lastText()));
        QCOMPARE(QList<QByteArray>({stored(29), stored(30), stored(31)}), QList<QByteArray>({good, damaged, "<null>"}));

        // A new record starts with no such memory: its empty slots are empty fields.
        ed.ButtnNew_Click();
        QVERIFY(!ed.keepsStoredPicture(1));
    }

    // Stored texts longer than a line edit's default limit come back whole.
    void longTextsSurviveModifyAndSave()
    {
        const qint64 key = kit::insertReport(QStringLiteral("T1"), QStringLiteral("辛"), QStringLiteral("admin"));
        const QString longText = QString::fromUtf8("O'Neil 50% \"引号\" 😀 ").repeated(2500);
        const int fields[] = {brname, checkname, bedid, part, pgdr, obligate4};
        for (int f : fields)
            QVERIFY(ModADOconnect::ExecuteSql(
                        QStringLiteral("UPDATE reports SET %1 = ? WHERE ctid = ?").arg(ColumnName(f)), {longText, key})
                        .ok());
        kit::FakeList list;
        DataRecord& ed = list.open(key, QStringLiteral("admin"), true);
        QVERIFY(ed.Text2->text() == longText && ed.Combopart->currentText() == longText);
        ed.Text8->setText(QStringLiteral("住院-1"));
        ed.ButtnSave_Click();
        QVERIFY2(MessageBox::shownBoxes().isEmpty(), qPrintable(lastText()));
        const RecordSetPtr r = kit::storedRow(key);
        for (int f : fields)
            QCOMPARE(r->text(f).toUtf8(), longText.toUtf8());
        QCOMPARE(r->text(inpatientid), QStringLiteral("住院-1"));
    }

    void modifyRefusedBeforeTheDatabaseIsRead()
    {
        kit::FakeList list;
        list.addRow(424242, QStringLiteral("李医生"));   // no such row: a read would report it
        Mmain::gRights[Mmain::RightEditOthers] = false;
        Openers::EditorOpenFromMainList(true);
        QCOMPARE(MessageBox::shownBoxes().size(), 1);
        QCOMPARE(lastText(), QStringLiteral("你没有修改其他人所建报告的权限，操作取消"));
        QCOMPARE(lastTitle(), QStringLiteral("提示"));
        QVERIFY(shown_.isEmpty() && !DataRecord::instance().isLoaded());
        // Empty list, and no list at all.
        kit::FakeList empty;
        Openers::EditorOpenFromMainList(true);
        QCOMPARE(lastText(), QStringLiteral("当前数据记录为空，不能进行修改操作"));
        Openers::SetMainReportList(nullptr);
        Openers::EditorOpenFromMainList(false);
        QCOMPARE(lastText(), QStringLiteral("当前数据记录为空，不能进行查看操作"));
        QCOMPARE(lastTitle(), QStringLiteral("错误"));
        QVERIFY(shown_.isEmpty());
    }

    void deletedKeyOpensNothing()
    {
        kit::FakeList list;
        list.addRow(77, QStringLiteral("admin"));
        const QString rpt = ReportLoader::SlotFile(1);
        kit::writeFile(rpt, {});
        Openers::EditorOpenFromMainList(false);
        QCOMPARE(lastText(), QStringLiteral("没有符合条件的数据返回"));
        QCOMPARE(lastTitle(), QStringLiteral("系统错误"));
        QVERIFY(shown_.isEmpty() && QFileInfo::exists(rpt));   // no files touched
        // A key cell that is no number never reaches SQL.
        list.setCell(0, 11, QStringLiteral("1 OR 1=1"));
        MessageBox::clearShown();
        Openers::EditorOpenFromMainList(false);
        QCOMPARE(lastText(), QStringLiteral("没有符合条件的数据返回"));
        QVERIFY(shown_.isEmpty());
    }

    void viewAndModifyStates()
    {
        const qint64 key = kit::insertReport(QStringLiteral("V1"), QStringLiteral("庚"), QStringLiteral("admin"));
        kit::FakeList list;
        // View without right 1: New, Modify, Delete off; Print as loaded.
        Mmain::gRights[Mmain::RightEditOwn] = false;
        DataRecord& ed = list.open(key, QStringLiteral("admin"), false);
        QCOMPARE(shown_.size(), 1);
        QVERIFY(!ed.ButtnNew->isEnabled() && !ed.ButtnEnable->isEnabled() && !ed.ButtnDel->isEnabled());
        QVERIFY(ed.ButtnPrint->isEnabled() && !ed.ButtnSave->isEnabled() && !ed.ButtnClear->isEnabled());
        QVERIFY(ed.updateTable() && ed.pageFlag() == 0 && ed.savebj() == QStringLiteral("update"));
        QCOMPARE(ed.UpdateIdout(), QString::number(key));
        kit::closeEditor();
        // Modify: everything but the reporting doctor enabled.
        Mmain::gRights[Mmain::RightEditOwn] = true;
        Openers::EditorOpenFromMainList(true);
        QCOMPARE(shown_.size(), 2);
        for (QWidget* w : ed.inputControls())
            QVERIFY(w->isEnabled());
        QVERIFY(!ed.Text12->isEnabled() && !ed.ButtnNew->isEnabled() && !ed.ButtnPrint->isEnabled());
        ed.Text2->setText(QStringLiteral("庚二"));
        ed.ButtnSave_Click();
        QCOMPARE(list.cell(0, 1), QStringLiteral("庚二"));
        QCOMPARE(kit::countReports(), 1);
    }

    void queryView()
    {
        const qint64 key = kit::insertReport(QStringLiteral("Q1"), QStringLiteral("辛"), QStringLiteral("admin"));
        const QByteArray pic = kit::jpegBytes(30, 30, Qt::yellow);
        kit::storePictures(key, {pic, {}, pic});
        kit::FakeList mainList;
        QTableWidget mgrid(2, 22);
        mgrid.setProperty("HighLight", 0);
        ReportLoader::QueryView(&mgrid);   // no result yet
        QCOMPARE(lastText(), QStringLiteral("当前没有查询数据"));
        QCOMPARE(lastTitle(), QStringLiteral("提示"));
        mgrid.setProperty("HighLight", 1);
        mgrid.setItem(0, 21, new QTableWidgetItem(QString()));
        mgrid.setCurrentCell(0, 0);
        MessageBox::clearShown();
        ReportLoader::QueryView(&mgrid);   // the key cell is empty
        QCOMPARE(lastText(), QStringLiteral("当前没有查询数据"));
        QVERIFY(shown_.isEmpty());

        for (int n : {2, 4})
            kit::writeFile(ReportLoader::SlotFile(n), {});
        mgrid.item(0, 21)->setText(QString::number(key));
        Mmain::gRights[Mmain::RightEditOwn] = false;
        ReportLoader::QueryView(&mgrid);
        QCOMPARE(shown_.size(), 1);
        DataRecord& ed = DataRecord::instance();
        QVERIFY(QFileInfo::exists(ReportLoader::SlotFile(1)) && QFileInfo::exists(ReportLoader::SlotFile(3)));
        QVERIFY(!QFileInfo::exists(ReportLoader::SlotFile(2)) && !QFileInfo::exists(ReportLoader::SlotFile(4)));
        QVERIFY(!ed.updateTable() && ed.UpdateIdout() == QString::number(key));
        QVERIFY(!ed.ButtnNew->isEnabled() && !ed.ButtnEnable->isEnabled() && !ed.ButtnDel->isEnabled());
        QVERIFY(ed.ButtnPrint->isEnabled());
        // A save from here leaves the main list alone.
        Mmain::gRights[Mmain::RightEditOwn] = true;
        ed.ButtnEnable->setEnabled(true);
        ed.ButtnEnable_Click();
        ed.Text2->setText(QStringLiteral("辛二"));
        ed.ButtnSave_Click();
        QVERIFY2(!lastText().contains(QStringLiteral("错误")), qPrintable(lastText()));
        QVERIFY(mainList.highlight() == 0 && mainList.cell(0, 1).isEmpty());
    }

    void relatedCopyAndView()
    {
        const qint64 key = kit::insertReport(QStringLiteral("R1"), QStringLiteral("壬"), QStringLiteral("李医生"));
        QVERIFY(
            ModADOconnect::ExecuteSql(QStringLiteral("UPDATE reports SET pgdr = '王医生' WHERE ctid = ?"), {key}).ok());
        kit::FakeList mainList;
        DataRecord& ed = DataRecord::instance();
        ed.ensureLoaded();
        ed.ButtnNew_Click();
        ed.Picload[0]->Tag = QStringLiteral("/somewhere/rpt1.jpg");
        QTableWidget related(1, 8);
        related.setProperty("HighLight", 0);
        QVERIFY(!ReportLoader::RelatedCopy(&related));
        QCOMPARE(lastText(), QStringLiteral("当前数据记录为空，不能进行查看操作"));
        QCOMPARE(ed.Picload[0]->Tag, QString());   // emptied even when refused
        related.setProperty("HighLight", 1);
        related.setItem(0, 7, new QTableWidgetItem(QString::number(key)));
        related.setCurrentCell(0, 0);
        QVERIFY(ReportLoader::RelatedCopy(&related));
        QVERIFY(shown_.isEmpty());   // the editor is already open
        // A new record with the copied texts, today's date and this user as its doctor.
        QVERIFY(ed.savebj() == QStringLiteral("insert") && ed.UpdateIdout().isEmpty() && ed.updateTable());
        QCOMPARE(ed.Text9->text(), QStringLiteral("2025-03-04"));
        QCOMPARE(ed.Text12->currentText(), QStringLiteral("admin"));
        QCOMPARE(ed.Text11->currentText(), QStringLiteral("王医生"));
        ed.ButtnSave_Click();
        QCOMPARE(kit::countReports(), 2);
        QCOMPARE(mainList.cell(0, 0), QStringLiteral("R1"));

        // Related view: read-only, printing on, New/Modify/Delete follow right 1.
        ed.ButtnNew_Click();
        Mmain::gRights[Mmain::RightEditOwn] = false;
        QVERIFY(ReportLoader::RelatedView(&related));
        QVERIFY(!ed.editing());
        for (QWidget* w : ed.inputControls())
            QVERIFY(!w->isEnabled());
        QVERIFY(ed.ButtnPrint->isEnabled() && !ed.ButtnNew->isEnabled() && !ed.ButtnDel->isEnabled());
        QVERIFY(!ed.updateTable() && ed.savebj() == QStringLiteral("update"));
        QCOMPARE(ed.UpdateIdout(), QString::number(key));
        QCOMPARE(ed.Text12->currentText(), QStringLiteral("李医生"));
    }

private:
    TestFolder* folder_ = nullptr;
    QList<QDialog*> shown_;
};

QTEST_MAIN(tst_ReportLoader)
#include "tst_reportloader.moc"
