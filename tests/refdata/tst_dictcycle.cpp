// The editing cycle the dictionary windows share, once through a small window
// over a table of its own: the two looks, the states and their buttons, the
// selection rules, the delete question, failed writes and the messages.
#include "support/RefdataKit.h"

#include "core/Database.h"
#include "platform/Opener.h"

#include <QLineEdit>
#include <QTest>
#include <QTimer>

using namespace kit;

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
    bool checkInputs() override { return !Text2->text().isEmpty() || fail(Text2, QStringLiteral("名称不能为空")); }
    QVariantList values() const
    {
        return {textValue(Text1->text()), textValue(Text2->text()), textValue(Text3->text())};
    }
    Statement insertStatement() const override
    {
        return {QStringLiteral("INSERT INTO tcycle VALUES(?, ?, ?)"), values()};
    }
    Statement updateStatement(const QString& key) const override
    {
        return {QStringLiteral("UPDATE tcycle SET code = ?, name = ?, note = ? WHERE code = ?"), values() << key};
    }
    Statement deleteStatement(const QString& key) const override
    {
        return {QStringLiteral("DELETE FROM tcycle WHERE code = ?"), {key}};
    }
    QString deleteQuestion(const QString& key) const override
    {
        return QStringLiteral("删除 ") + key + QStringLiteral("?");
    }
    QString deleteNoKeyMessage() const override { return QStringLiteral("请选择"); }
};

int rowsInTable() { return queryInt(QStringLiteral("SELECT count(*) FROM tcycle")); }
}

class tst_DictCycle : public QObject {
    Q_OBJECT
    std::unique_ptr<TestFolder> folder_;
    std::unique_ptr<CycleWindow> w_;

    CycleWindow& open(const QString& rows = QString())
    {
        if (!rows.isEmpty())
            TestFolder::exec(QStringLiteral("INSERT INTO tcycle VALUES ") + rows);
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
        folder_ = refdataFolder();
        QVERIFY(TestFolder::exec(QStringLiteral("CREATE TABLE tcycle(code TEXT PRIMARY KEY, name TEXT, note TEXT)")));
    }
    void cleanup()
    {
        w_.reset();
        folder_.reset();
    }

    // Empty look with New only; the first save fills the blank row, the second
    // is appended; each saved row is selected and current; Null for an empty note.
    void emptyTableThenSaves()
    {
        CycleWindow& w = open();
        QVERIFY(!w.MSHFlexGrid1->hasRows() && w.MSHFlexGrid1->rows() == 1);
        QCOMPARE(buttons(w), QStringLiteral("N---"));
        w.ButtnNew->click();
        QCOMPARE(buttons(w), QStringLiteral("---S"));
        QVERIFY(w.Text1->isEnabled() && w.Text1->hasFocus());
        typeText(w.Text1, QStringLiteral("A1"));
        typeText(w.Text2, QStringLiteral("甲"));
        w.ButtnSave->click();
        QVERIFY(w.MSHFlexGrid1->hasRows() && w.MSHFlexGrid1->rows() == 1);
        QCOMPARE(rowTexts(w, 0), (QStringList{QStringLiteral("A1"), QStringLiteral("甲"), QString()}));
        QCOMPARE(buttons(w), QStringLiteral("NUD-"));
        QVERIFY(w.currentKey() == QStringLiteral("A1") && w.editMode().isEmpty() && !w.Text1->isEnabled());
        add(w, QStringLiteral("B2"), QStringLiteral("乙"), QStringLiteral("注"));
        QVERIFY(w.MSHFlexGrid1->endRow() == 1 && w.currentKey() == QStringLiteral("B2"));
        QCOMPARE(queryInt(QStringLiteral("SELECT count(*) FROM tcycle WHERE note IS NULL")), 1);

        // Save with nothing pending writes nothing.
        w.ButtnSave->setEnabled(true);
        w.ButtnSave->click();
        QCOMPARE(lastText() + lastTitle(), QStringLiteral("数据已经保存错误"));
        QCOMPARE(rowsInTable(), 2);
        // Reopened: row 0 current, nothing pending.
        w.ButtnQuit->click();
        QVERIFY(!w.isVisible() && !w.isLoaded());
        w.showModally();
        QVERIFY(w.MSHFlexGrid1->rows() == 2 && w.currentKey() == QStringLiteral("A1"));
        QCOMPARE(buttons(w), QStringLiteral("NUD-"));
    }

    // A click or a key shows a row and drops a pending edit; Delete asks (only
    // Cancel stops) and the last row leaves the empty look.
    void selectionAndDelete()
    {
        CycleWindow& w = open(QStringLiteral("('A','甲',NULL),('B','乙','注'),('C','丙',NULL)"));
        w.ButtnUpdate->click();
        typeText(w.Text2, QStringLiteral("改"));
        clickRow(w, 1);
        QVERIFY(w.Text1->text() == QStringLiteral("B") && w.Text3->text() == QStringLiteral("注"));
        QVERIFY(w.editMode().isEmpty() && !w.Text2->isEnabled() && buttons(w) == QStringLiteral("NUD-"));
        w.ButtnNew->click();
        clickRow(w, 1);   // the row already shown
        QVERIFY(w.editMode().isEmpty() && w.Text1->text() == QStringLiteral("B"));
        w.MSHFlexGrid1->setFocus();
        QTest::keyClick(w.MSHFlexGrid1, Qt::Key_Down);
        QVERIFY(w.currentKey() == QStringLiteral("C") && w.Text2->text() == QStringLiteral("丙"));
        QCOMPARE(queryInt(QStringLiteral("SELECT count(*) FROM tcycle WHERE name = '甲'")), 1);

        w.ButtnDel->click();   // the scripted answer is Cancel
        const MessageBox::Shown q = MessageBox::shownBoxes().last();
        QCOMPARE(q.text + q.title, QStringLiteral("删除 C?提示"));
        QVERIFY(q.buttons == MessageBox::Buttons::OkCancel && q.icon == MessageBox::Icon::None);
        QVERIFY(rowsInTable() == 3 && w.MSHFlexGrid1->rows() == 3);
        for (const char* next : {"B", "A"}) {
            MessageBox::queueAnswer(MessageBox::Answer::Ok);
            w.ButtnDel->click();
            QCOMPARE(w.Text1->text(), QString::fromLatin1(next));
        }
        QVERIFY(rowsInTable() == 1 && w.currentKey() == QStringLiteral("A") && buttons(w) == QStringLiteral("NUD-"));
        MessageBox::queueAnswer(MessageBox::Answer::Ok);
        w.ButtnDel->click();
        QVERIFY(rowsInTable() == 0 && !w.MSHFlexGrid1->hasRows() && !w.hasCurrentKey());
        QVERIFY(w.Text1->text().isEmpty() && !w.Text1->isEnabled() && buttons(w) == QStringLiteral("N---"));

        // The blank row clicked: Browse with no key; Update and Delete refuse.
        clickRow(w, 0);
        QCOMPARE(buttons(w), QStringLiteral("NUD-"));
        w.ButtnUpdate->click();
        QCOMPARE(lastText() + lastTitle(), QStringLiteral("没有符合条件的数据记录错误"));
        w.ButtnDel->click();
        QCOMPARE(lastText() + lastTitle(), QStringLiteral("请选择系统错误"));
    }

    // A refused write or check keeps the window editing with what was typed; an
    // update that changes the key finds the row by the old key.
    void failedWritesAndKeyChanges()
    {
        CycleWindow& w = open(QStringLiteral("('A','甲',NULL),('B','乙','x')"));
        add(w, QStringLiteral("B"), QStringLiteral("重复"));
        QVERIFY2(lastText().contains(QStringLiteral("UNIQUE")) && lastTitle() == QStringLiteral("错误"),
                 qPrintable(lastText()));
        QVERIFY(w.editMode() == QStringLiteral("insert") && buttons(w) == QStringLiteral("---S"));
        QVERIFY(w.Text2->text() == QStringLiteral("重复") && w.MSHFlexGrid1->rows() == 2);
        w.Text2->clear();
        w.ButtnSave->click();
        QVERIFY(lastText() == QStringLiteral("名称不能为空") && w.Text2->hasFocus());

        clickRow(w, 1);
        w.ButtnUpdate->click();
        QCOMPARE(w.Text1->selectedText(), QStringLiteral("B"));
        typeText(w.Text1, QStringLiteral("Z9"));
        w.Text3->clear();
        w.ButtnSave->click();
        QCOMPARE(queryInt(QStringLiteral("SELECT count(*) FROM tcycle WHERE code = 'Z9' AND note IS NULL")), 1);
        QCOMPARE(rowsInTable(), 2);
        QCOMPARE(rowTexts(w, 1), (QStringList{QStringLiteral("Z9"), QStringLiteral("乙"), QString()}));
        QCOMPARE(w.currentKey(), QStringLiteral("Z9"));

        // A row deleted behind the window's back: the update says so and
        // stays pending; the list keeps its row as it was.
        clickRow(w, 0);
        QVERIFY(TestFolder::exec(QStringLiteral("DELETE FROM tcycle WHERE code = 'A'")));
        w.ButtnUpdate->click();
        typeText(w.Text2, QStringLiteral("改"));
        MessageBox::clearShown();
        w.ButtnSave->click();
        QCOMPARE(lastText() + lastTitle(), QStringLiteral("没有符合条件的数据记录错误"));
        QCOMPARE(w.editMode(), QStringLiteral("update"));
        QCOMPARE(rowTexts(w, 0), (QStringList{QStringLiteral("A"), QStringLiteral("甲"), QString()}));
        QCOMPARE(rowsInTable(), 1);
    }

    // In the real modal loop Quit and the close box end the window and unload it.
    void modalLoop()
    {
        Opener::setHook({});
        CycleWindow& w = *(w_ = std::make_unique<CycleWindow>());
        QTimer::singleShot(0, &w, [&w] { w.ButtnQuit->click(); });
        w.showModally();
        QTimer::singleShot(0, &w, [&w] { w.close(); });
        w.showModally();
        QVERIFY(!w.isVisible() && !w.isLoaded());
    }

    // A listing that fails is reported; the window opens empty and New still works.
    void listingFailure()
    {
        CycleWindow& w = *(w_ = std::make_unique<CycleWindow>());
        w.table = QStringLiteral("missing");
        w.showModally();
        QVERIFY(lastTitle() == QStringLiteral("系统错误") && lastText().contains(QStringLiteral("missing")));
        add(w, QStringLiteral("A"), QStringLiteral("甲"));
        QVERIFY(rowsInTable() == 1 && w.MSHFlexGrid1->hasRows());
    }
};

QTEST_MAIN(tst_DictCycle)
#include "tst_dictcycle.moc"
