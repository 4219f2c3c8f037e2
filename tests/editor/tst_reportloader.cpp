#include "support/EditorKit.h"

#include "editor/Frmcfsj.h"
#include "editor/ReportLoader.h"
#include "platform/AppPaths.h"

#include <QDir>
#include <QFileInfo>
#include <QTableWidget>

using namespace ReportRecord;
using kit::lastText;
using kit::lastTitle;

class tst_ReportLoader : public QObject {
    Q_OBJECT
private slots:
    void init()
    {
        folder_ = kit::editorFolder();
        QVERIFY(folder_->ok());
        shown_ = 0;
        Opener::setHook([this](QDialog*) {
            ++shown_;
            return 0;
        });
    }

    void cleanup()
    {
        kit::closeEditor();
        folder_.reset();
    }

    // Null fields load as empty boxes, numbers in their short and fee forms. Each slot file holds
    // exactly its field's bytes; empty, Null and damaged fields leave their slot empty without a
    // file (nor one of an earlier record).
    void fieldsAndSlotFiles()
    {
        const UmaskScope umask(022);
        const qint64 key = kit::insertReport(QStringLiteral("P3"), QStringLiteral("丁"), QStringLiteral("admin"), 12.5);
        const QByteArray big = kit::jpegBytes(640, 480, QColor(10, 200, 30));
        const QByteArray small = kit::jpegBytes(16, 16, Qt::black);
        kit::storePictures(key, {big, QByteArray("not a picture"), small, QByteArray("")});
        for (int n : {2, 4})   // files of an earlier record
            QVERIFY(kit::writeBytes(ReportLoader::SlotFile(n), "old"));
        QVERIFY(ReportLoader::LoadReportIntoEditor(QString::number(key), ReportLoader::Variant::View));
        DataRecord& ed = DataRecord::instance();
        QVERIFY(shown_ == 1 && !ed.editing());
        QVERIFY(ed.Text4->text() == QStringLiteral("30") && ed.Text13->text() == QStringLiteral("12.50"));
        for (QLineEdit* e : {ed.Text5, ed.Text8, ed.Text17, ed.Text18, ed.Text19, ed.Text14})
            QCOMPARE(e->text(), QString());
        QVERIFY(ed.Text6->currentText().isEmpty() && ed.Combojs->currentText().isEmpty());
        QVERIFY(ed.Text15->toPlainText().isEmpty());
        QCOMPARE(MessageBox::shownBoxes().size(), 1);   // the damaged picture
        QCOMPARE(lastTitle(), QStringLiteral("系统错误"));
        for (int n : {1, 3})
            QVERIFY(ed.Picload[size_t(n - 1)]->Tag == ReportLoader::SlotFile(n)
                    && ed.Picload[size_t(n - 1)]->hasPicture());
        for (const auto& [n, bytes] : {std::pair(1, big), std::pair(3, small)}) {
            QFile f(ReportLoader::SlotFile(n));
            QVERIFY(f.open(QIODevice::ReadOnly) && f.readAll() == bytes);
        }
        for (int n : {2, 4}) {
            QVERIFY(!QFileInfo::exists(ReportLoader::SlotFile(n)));
            QVERIFY(ed.Picload[size_t(n - 1)]->Tag.isEmpty() && !ed.Picload[size_t(n - 1)]->hasPicture());
        }
        // The picture is drawn stretched over the whole slot.
        ed.Picload[0]->resize(160, 120);
        QVERIFY(QColor(ed.Picload[0]->grab().toImage().pixel(150, 110)).green() > 160);
        // The decrypted copies are owner-only and go when the editor closes.
        QCOMPARE(fileMode(ReportLoader::SlotFile(1)), 0600);
        kit::closeEditor();
        for (int n = 1; n <= 4; ++n)
            QVERIFY(!QFileInfo::exists(ReportLoader::SlotFile(n)));
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
        auto stored = [key](int first, int last) {
            const RecordSetPtr r = kit::storedRow(key);
            QList<QByteArray> out;
            for (int f = first; f <= last; ++f)
                out << (r->isNull(f) ? QByteArray("<null>") : r->blob(f));
            return out;
        };
        DataRecord& ed = DataRecord::instance();

        // A file where the picture folder should be: no slot can be written.
        QVERIFY(QDir(AppPaths::imageFolder()).removeRecursively());
        QVERIFY(kit::writeBytes(AppPaths::imageFolder(), {}));
        Openers::EditorOpenFromMainList(true, list.current());
        QVERIFY(ed.editing());
        QCOMPARE(MessageBox::shownBoxes().size(), 4);   // the folder, then each picture
        QCOMPARE(lastTitle(), QStringLiteral("系统错误"));
        QVERIFY(!lastText().endsWith(QStringLiteral("\r\n")));
        for (EdPicture* p : ed.Picload)
            QCOMPARE(p->Tag, QString());
        ed.Text2->setText(QStringLiteral("庚二"));
        MessageBox::clearShown();
        ed.ButtnSave_Click();
        QVERIFY2(MessageBox::shownBoxes().isEmpty(), qPrintable(lastText()));
        QCOMPARE(kit::storedRow(key)->text(brname), QStringLiteral("庚二"));
        QCOMPARE(stored(picture1, picture4), QList<QByteArray>({good, damaged, third, "<null>"}));
        kit::closeEditor();

        // With the folder back, only the damaged picture stays off screen; a slot
        // the user empties is still cleared, the damaged one is still kept.
        QVERIFY(QFile::remove(AppPaths::imageFolder()));
        MessageBox::clearShown();
        Openers::EditorOpenFromMainList(true, list.current());
        QCOMPARE(MessageBox::shownBoxes().size(), 1);
        QVERIFY(ed.Picload[0]->Tag == ReportLoader::SlotFile(1) && ed.Picload[1]->Tag.isEmpty());
        ed.Picload[2]->Cls();
        ed.Picload[2]->Tag.clear();   // the user takes picture 3 out
        MessageBox::clearShown();
        ed.ButtnSave_Click();
        QVERIFY2(MessageBox::shownBoxes().isEmpty(), qPrintable(lastText()));
        QCOMPARE(stored(picture1, picture3), QList<QByteArray>({good, damaged, "<null>"}));
        QCOMPARE(kit::storedRow(key)->text(rpdate), QStringLiteral("2024-01-02"));   // the report date is kept

        // A new record starts with no such memory: its empty slots are empty fields.
        ed.ButtnNew_Click();
        QVERIFY(!ed.keepsStoredPicture(1));
    }

    // Stored texts of 100,000 characters, far over a line edit's default limit, come back whole.
    void longTextsSurviveModifyAndSave()
    {
        const qint64 key = kit::insertReport(QStringLiteral("T1"), QStringLiteral("辛"), QStringLiteral("admin"));
        const QString longText = QString::fromUtf8("O'Neil 50% \"引号\" 😀 ").repeated(5300).left(100000);
        const int fields[] = {brname, checkname, bedid, part, pgdr, obligate4, checksymptom};
        for (int f : fields)
            QVERIFY(Database::ExecuteSql(QStringLiteral("UPDATE reports SET %1 = ? WHERE ctid = ?").arg(ColumnName(f)),
                                         {longText, key})
                        .ok());
        kit::FakeList list;
        DataRecord& ed = list.open(key, QStringLiteral("admin"), true);
        QVERIFY(ed.Text2->text() == longText && ed.Combopart->currentText() == longText);
        // Modify: everything but the reporting doctor enabled.
        for (QWidget* w : ed.inputControls())
            QVERIFY(w->isEnabled());
        QVERIFY(!ed.Text12->isEnabled() && !ed.ButtnNew->isEnabled() && !ed.ButtnPrint->isEnabled());
        ed.Text8->setText(QStringLiteral("住院-1"));
        ed.ButtnSave_Click();
        QVERIFY2(MessageBox::shownBoxes().isEmpty(), qPrintable(lastText()));
        QVERIFY(shown_ == 1 && list.cell(0, ReportList::kNameColumn) == longText);
        const RecordSetPtr r = kit::storedRow(key);
        for (int f : fields)
            QCOMPARE(r->text(f).toUtf8(), longText.toUtf8());
        QCOMPARE(r->text(inpatientid), QStringLiteral("住院-1"));
    }

    void openingFromTheListIsGuarded()
    {
        kit::FakeList list;
        list.addRow(424242, QStringLiteral("李医生"));   // no such row
        Mmain::gRights[Mmain::RightEditOthers] = false;
        Openers::EditorOpenFromMainList(true, list.current());   // refused before the database is read
        QCOMPARE(MessageBox::shownBoxes().size(), 1);
        QCOMPARE(lastText(), QStringLiteral("你没有修改其他人所建报告的权限，操作取消"));
        QCOMPARE(lastTitle(), QStringLiteral("提示"));
        QVERIFY(!DataRecord::instance().isLoaded());
        // A deleted key opens nothing and touches no file; nor does a key cell that is no number.
        const QString rpt = ReportLoader::SlotFile(1);
        QVERIFY(kit::writeBytes(rpt, {}));
        for (const QString& keyCell : {QStringLiteral("424242"), QStringLiteral("1 OR 1=1")}) {
            list.setCell(0, ReportList::kKeyColumn, keyCell);
            MessageBox::clearShown();
            Openers::EditorOpenFromMainList(false, list.current());
            QCOMPARE(lastText(), QStringLiteral("没有符合条件的数据返回"));
            QCOMPARE(lastTitle(), QStringLiteral("系统错误"));
            QVERIFY(QFileInfo::exists(rpt));
        }
        // Empty list, and no list at all.
        kit::FakeList empty;
        Openers::EditorOpenFromMainList(true, empty.current());
        QCOMPARE(lastText(), QStringLiteral("当前数据记录为空，不能进行修改操作"));
        Openers::EditorOpenFromMainList(false, {});
        QCOMPARE(lastText(), QStringLiteral("当前数据记录为空，不能进行查看操作"));
        QCOMPARE(lastTitle(), QStringLiteral("错误"));
        QCOMPARE(shown_, 0);
    }

    void queryView()
    {
        const qint64 key = kit::insertReport(QStringLiteral("Q1"), QStringLiteral("辛"), QStringLiteral("admin"));
        kit::storePictures(key, {kit::jpegBytes(30, 30, Qt::yellow), {}, kit::jpegBytes(30, 30, Qt::yellow)});
        kit::FakeList mainList;
        // No result, or a result whose key cell is empty.
        ReportLoader::QueryView(QString());
        QCOMPARE(lastText(), QStringLiteral("当前没有查询数据"));
        QCOMPARE(lastTitle(), QStringLiteral("提示"));
        QCOMPARE(shown_, 0);
        // A stored report opens read-only; New, Modify and Delete follow right 1.
        Mmain::gRights[Mmain::RightEditOwn] = false;
        ReportLoader::QueryView(QString::number(key));
        QCOMPARE(shown_, 1);
        DataRecord& ed = DataRecord::instance();
        QVERIFY(ed.Picload[2]->hasPicture() && !ed.editing());
        QCOMPARE(ed.UpdateIdout(), QString::number(key));
        QVERIFY(!ed.ButtnNew->isEnabled() && !ed.ButtnEnable->isEnabled() && ed.ButtnPrint->isEnabled());
        // A save of a report the main list does not show leaves that list alone.
        Mmain::gRights[Mmain::RightEditOwn] = true;
        ed.ButtnEnable->setEnabled(true);
        ed.ButtnEnable_Click();
        ed.Text2->setText(QStringLiteral("辛二"));
        MessageBox::clearShown();
        ed.ButtnSave_Click();
        QVERIFY2(MessageBox::shownBoxes().isEmpty(), qPrintable(lastText()));
        QVERIFY(mainList.highlight() == 0 && mainList.cell(0, ReportList::kNameColumn).isEmpty());
    }

    void relatedCopyAndView()
    {
        const qint64 key = kit::insertReport(QStringLiteral("R1"), QStringLiteral("壬"), QStringLiteral("李医生"));
        QVERIFY(TestFolder::exec(QStringLiteral("UPDATE reports SET pgdr = '王医生'")));
        kit::FakeList mainList;
        DataRecord& ed = DataRecord::instance();
        ed.ensureLoaded();
        ed.ButtnNew_Click();
        ed.Picload[0]->Tag = QStringLiteral("/somewhere/rpt1.jpg");
        QTableWidget related(1, Frmcfsj::kColumns);
        related.setProperty("HighLight", 0);
        QVERIFY(!ReportLoader::RelatedCopy(&related));
        QCOMPARE(lastText(), QStringLiteral("当前数据记录为空，不能进行查看操作"));
        QCOMPARE(ed.Picload[0]->Tag, QStringLiteral("/somewhere/rpt1.jpg"));   // a refused copy keeps the slots
        related.setProperty("HighLight", 1);
        related.setItem(0, Frmcfsj::kKeyColumn,
                        new QTableWidgetItem(QStringLiteral("424242")));   // a row deleted meanwhile
        related.setCurrentCell(0, 0);
        QVERIFY(!ReportLoader::RelatedCopy(&related));
        QCOMPARE(ed.Picload[0]->Tag, QStringLiteral("/somewhere/rpt1.jpg"));
        related.item(0, Frmcfsj::kKeyColumn)->setText(QString::number(key));
        QVERIFY(ReportLoader::RelatedCopy(&related));
        QCOMPARE(ed.Picload[0]->Tag, QString());   // the copied report has no pictures
        QCOMPARE(shown_, 0);                       // the editor is already open
        // A new record with the copied texts, today's date and this user as its doctor.
        QVERIFY(ed.savebj() == QStringLiteral("insert") && ed.UpdateIdout().isEmpty());
        QVERIFY(ed.Text9->text() == QStringLiteral("2025-03-04")
                && ed.Text11->currentText() == QStringLiteral("王医生"));
        QCOMPARE(ed.Text12->currentText(), QStringLiteral("admin"));
        ed.ButtnSave_Click();
        QVERIFY(kit::countReports() == 2 && mainList.cell(0, ReportList::kExamColumn) == QStringLiteral("R1"));

        // Related view: read-only, printing on, New/Modify/Delete follow right 1.
        ed.ButtnNew_Click();
        Mmain::gRights[Mmain::RightEditOwn] = false;
        QVERIFY(ReportLoader::RelatedView(&related));
        for (QWidget* w : ed.inputControls())
            QVERIFY(!w->isEnabled());
        QVERIFY(ed.ButtnPrint->isEnabled() && !ed.ButtnNew->isEnabled() && !ed.ButtnDel->isEnabled());
        QCOMPARE(ed.savebj(), QStringLiteral("update"));
        QVERIFY(ed.UpdateIdout() == QString::number(key) && ed.Text12->currentText() == QStringLiteral("李医生"));
    }

private:
    std::unique_ptr<TestFolder> folder_;
    int shown_ = 0;
};

QTEST_MAIN(tst_ReportLoader)
#include "tst_reportloader.moc"
