// The editing cycle the dictionary windows share, once through a small window
// over a table of its own: the two looks, the states and their buttons, the
// selection rules, the delete question, failed writes and the messages.
#include "RefdataKit.h"

#include "core/Database.h"
#include "core/SkinPanel.h"

#include <QLineEdit>

using namespace refkit;

namespace {
// Code (key), name (required) and an optional note, over table tcycle.
class CycleWindow : public DictionaryWindow {
public:
    CycleWindow() : DictionaryWindow({QStringLiteral("测试窗口")}) {}
    QLineEdit *Text1 = nullptr, *Text2 = nullptr, *Text3 = nullptr;
    QString table = QStringLiteral("tcycle");

protected:
    QList<DictGrid::Column> gridColumns() const override
    {
        return {{QStringLiteral("代号"), 1000}, {QStringLiteral("名称"), 1500}, {QStringLiteral("备注"), 1000}};
    }
    QString listingSql() const override { return QStringLiteral("SELECT code, name, note FROM ") + table; }
    void buildInputs(PaintPanel* p) override
    {
        Text1 = addLineEdit(p, twips(1200, 240, 1935, 360), "Text1");
        Text2 = addLineEdit(p, twips(1200, 720, 1935, 360), "Text2");
        Text3 = addLineEdit(p, twips(1200, 1200, 1935, 360), "Text3");
        bindColumn(0, Text1);
        bindColumn(1, Text2);
        bindColumn(2, Text3);
    }
    bool checkInputs() override
    {
        if (Text2->text().isEmpty())
            return fail(Text2, QStringLiteral("名称不能为空"));
        return true;
    }
    Statement insertStatement() const override
    {
        return {QStringLiteral("INSERT INTO tcycle VALUES(?, ?, ?)"),
                {textValue(Text1->text()), textValue(Text2->text()), textValue(Text3->text())}};
    }
    Statement updateStatement(const QString& key) const override
    {
        return {QStringLiteral("UPDATE tcycle SET code = ?, name = ?, note = ? WHERE code = ?"),
                {textValue(Text1->text()), textValue(Text2->text()), textValue(Text3->text()), key}};
    }
    Statement deleteStatement(const QString& key) const override
    {
        return {QStringLiteral("DELETE FROM tcycle WHERE code = ?"), {key}};
    }
    QString deleteQuestion(const QString& key) const override { return QStringLiteral("删除 ") + key + QStringLiteral("?"); }
    QString deleteNoKeyMessage() const override { return QStringLiteral("请选择"); }
};

int rowsInTable() { return queryInt(QStringLiteral("SELECT count(*) FROM tcycle")); }
}

class TestDictCycle : public QObject {
    Q_OBJECT
    std::unique_ptr<TestFolder> folder_;
    std::unique_ptr<CycleWindow> w_;

    CycleWindow& open()
    {
        w_ = std::make_unique<CycleWindow>();
        w_->showModally();
        return *w_;
    }
    void add(CycleWindow& w, const QString& code, const QString& name, const QString& note = QString())
    {
        w.ButtnNew->click();
        typeText(w.Text1, code);
        typeText(w.Text2, name);
        typeText(w.Text3, note);
        w.ButtnSave->click();
    }

private slots:
    void init()
    {
        folder_ = freshFolder();
        QVERIFY(TestFolder::exec(QStringLiteral("CREATE TABLE tcycle(code TEXT PRIMARY KEY, name TEXT, note TEXT)")));
    }
    void cleanup()
    {
        w_.reset();
        folder_.reset();
    }

    // An empty table opens in the empty look with New only; the first save fills
    // the blank row, the second is appended; each saved row is selected and current.
    void emptyTableThenTwoSaves()
    {
        CycleWindow& w = open();
        QVERIFY(w.isVisible());
        QCOMPARE(w.MSHFlexGrid1->rows(), 1);
        QVERIFY(!w.MSHFlexGrid1->hasRows());
        QCOMPARE(buttons(w), QStringLiteral("N---"));
        QVERIFY(!w.Text1->isEnabled());

        w.ButtnNew->click();
        QCOMPARE(buttons(w), QStringLiteral("---S"));
        QCOMPARE(w.editMode(), QStringLiteral("insert"));
        QVERIFY(w.Text1->isEnabled() && w.Text1->hasFocus());
        typeText(w.Text1, QStringLiteral("A1"));
        typeText(w.Text2, QStringLiteral("甲"));
        w.ButtnSave->click();
        QCOMPARE(w.MSHFlexGrid1->rows(), 1);
        QVERIFY(w.MSHFlexGrid1->hasRows());
        QCOMPARE(rowTexts(w, 0), (QStringList{QStringLiteral("A1"), QStringLiteral("甲"), QString()}));
        QCOMPARE(buttons(w), QStringLiteral("NUD-"));
        QCOMPARE(w.currentKey(), QStringLiteral("A1"));
        QVERIFY(w.editMode().isEmpty() && !w.Text1->isEnabled());

        add(w, QStringLiteral("B2"), QStringLiteral("乙"), QStringLiteral("注"));
        QCOMPARE(w.MSHFlexGrid1->rows(), 2);
        QCOMPARE(w.MSHFlexGrid1->endRow(), 1);
        QCOMPARE(w.currentKey(), QStringLiteral("B2"));
        QCOMPARE(rowsInTable(), 2);

        // An empty optional input is Null; Save with nothing pending writes nothing.
        QCOMPARE(queryInt(QStringLiteral("SELECT count(*) FROM tcycle WHERE note IS NULL")), 1);
        MessageBox::clearShown();
        w.ButtnSave->setEnabled(true);
        w.ButtnSave->click();
        QCOMPARE(lastText(), QStringLiteral("数据已经保存"));
        QCOMPARE(lastTitle(), QStringLiteral("错误"));
        QCOMPARE(rowsInTable(), 2);

        // Reopened, the rows come back and row 0 is current, nothing pending.
        w.ButtnQuit->click();
        QVERIFY(!w.isVisible() && !w.isLoaded());
        w.showModally();
        QCOMPARE(w.MSHFlexGrid1->rows(), 2);
        QCOMPARE(w.currentKey(), QStringLiteral("A1"));
        QCOMPARE(w.Text2->text(), QStringLiteral("甲"));
        QCOMPARE(buttons(w), QStringLiteral("NUD-"));
    }

    // A click on a row shows it and drops a pending edit; keys move the same way.
    void selectionShowsRowsAndDropsEdits()
    {
        QVERIFY(TestFolder::exec(QStringLiteral("INSERT INTO tcycle VALUES('A','甲',NULL),('B','乙','注'),('C','丙',NULL)")));
        CycleWindow& w = open();
        QCOMPARE(w.Text1->text(), QStringLiteral("A"));
        w.ButtnUpdate->click();
        typeText(w.Text2, QStringLiteral("改"));
        clickRow(w, 1);
        QCOMPARE(w.Text1->text(), QStringLiteral("B"));
        QCOMPARE(w.Text3->text(), QStringLiteral("注"));
        QCOMPARE(buttons(w), QStringLiteral("NUD-"));
        QVERIFY(w.editMode().isEmpty() && !w.Text2->isEnabled());
        QCOMPARE(queryInt(QStringLiteral("SELECT count(*) FROM tcycle WHERE name LIKE '%改%'")), 0);

        // Clicking the row already shown also drops a pending New.
        w.ButtnNew->click();
        clickRow(w, 1);
        QVERIFY(w.editMode().isEmpty());
        QCOMPARE(w.Text1->text(), QStringLiteral("B"));

        w.MSHFlexGrid1->setFocus();
        QTest::keyClick(w.MSHFlexGrid1, Qt::Key_Down);
        QCOMPARE(w.currentKey(), QStringLiteral("C"));
        QCOMPARE(w.Text2->text(), QStringLiteral("丙"));
        QCOMPARE(w.MSHFlexGrid1->selectionModel()->selectedRows().size(), 1);
    }

    // Delete asks; Cancel keeps everything, OK deletes and shows the next row;
    // the last row leaves the empty look.
    void deleteAsksAndEmptiesTheList()
    {
        QVERIFY(TestFolder::exec(QStringLiteral("INSERT INTO tcycle VALUES('A','甲',NULL),('B','乙',NULL)")));
        CycleWindow& w = open();
        MessageBox::clearShown();
        w.ButtnDel->click();   // the scripted answer is Cancel
        QCOMPARE(lastText(), QStringLiteral("删除 A?"));
        QCOMPARE(lastTitle(), QStringLiteral("提示"));
        QCOMPARE(MessageBox::shownBoxes().last().buttons, MessageBox::Buttons::OkCancel);
        QCOMPARE(MessageBox::shownBoxes().last().icon, MessageBox::Icon::None);
        QCOMPARE(rowsInTable(), 2);
        QCOMPARE(w.MSHFlexGrid1->rows(), 2);

        answerNext(MessageBox::Answer::Ok);
        w.ButtnDel->click();
        QCOMPARE(rowsInTable(), 1);
        QCOMPARE(w.MSHFlexGrid1->rows(), 1);
        QCOMPARE(w.currentKey(), QStringLiteral("B"));
        QCOMPARE(w.Text1->text(), QStringLiteral("B"));
        QCOMPARE(buttons(w), QStringLiteral("NUD-"));

        answerNext(MessageBox::Answer::Ok);
        w.ButtnDel->click();
        QCOMPARE(rowsInTable(), 0);
        QVERIFY(!w.MSHFlexGrid1->hasRows());
        QCOMPARE(rowTexts(w, 0), (QStringList{QString(), QString(), QString()}));
        QVERIFY(w.Text1->text().isEmpty() && !w.Text1->isEnabled());
        QCOMPARE(buttons(w), QStringLiteral("N---"));
        QVERIFY(!w.hasCurrentKey());

        // The blank row clicked: a row display with no key; Update and Delete refuse.
        clickRow(w, 0);
        QCOMPARE(buttons(w), QStringLiteral("NUD-"));
        w.ButtnUpdate->click();
        QCOMPARE(lastText(), QStringLiteral("没有符合条件的数据记录"));
        QCOMPARE(lastTitle(), QStringLiteral("错误"));
        w.ButtnDel->click();
        QCOMPARE(lastText(), QStringLiteral("请选择"));
        QCOMPARE(lastTitle(), QStringLiteral("系统错误"));
    }

    // A write the database refuses keeps the window editing with what was typed;
    // an update that changes the key finds the row by the old key.
    void failedWritesAndKeyChanges()
    {
        QVERIFY(TestFolder::exec(QStringLiteral("INSERT INTO tcycle VALUES('A','甲',NULL),('B','乙','x')")));
        CycleWindow& w = open();
        add(w, QStringLiteral("B"), QStringLiteral("重复"));
        QVERIFY2(lastText().contains(QStringLiteral("UNIQUE")), qPrintable(lastText()));
        QCOMPARE(lastTitle(), QStringLiteral("错误"));
        QCOMPARE(w.editMode(), QStringLiteral("insert"));
        QCOMPARE(buttons(w), QStringLiteral("---S"));
        QCOMPARE(w.Text2->text(), QStringLiteral("重复"));
        QCOMPARE(w.MSHFlexGrid1->rows(), 2);

        // A failed check: message, focus, nothing written, still editing.
        w.Text2->clear();
        w.ButtnSave->click();
        QCOMPARE(lastText(), QStringLiteral("名称不能为空"));
        QVERIFY(w.Text2->hasFocus());
        QCOMPARE(w.editMode(), QStringLiteral("insert"));

        clickRow(w, 1);
        w.ButtnUpdate->click();
        QCOMPARE(w.Text1->selectedText(), QStringLiteral("B"));
        typeText(w.Text1, QStringLiteral("Z9"));
        w.Text3->clear();
        w.ButtnSave->click();
        QCOMPARE(queryInt(QStringLiteral("SELECT count(*) FROM tcycle WHERE code = 'Z9' AND note IS NULL")), 1);
        QCOMPARE(queryInt(QStringLiteral("SELECT count(*) FROM tcycle WHERE code = 'B'")), 0);
        QCOMPARE(rowTexts(w, 1), (QStringList{QStringLiteral("Z9"), QStringLiteral("乙"), QString()}));
        QCOMPARE(w.currentKey(), QStringLiteral("Z9"));
    }

    // A listing that fails is reported; the window opens empty and New still works.
    void listingFailure()
    {
        CycleWindow& w = *(w_ = std::make_unique<CycleWindow>());
        w.table = QStringLiteral("missing");
        w.showModally();
        QCOMPARE(lastTitle(), QStringLiteral("系统错误"));
        QVERIFY(lastText().contains(QStringLiteral("missing")));
        QCOMPARE(buttons(w), QStringLiteral("N---"));
        add(w, QStringLiteral("A"), QStringLiteral("甲"));
        QCOMPARE(rowsInTable(), 1);
        QVERIFY(w.MSHFlexGrid1->hasRows());
    }
};

QTEST_MAIN(TestDictCycle)
#include "tst_dictcycle.moc"
