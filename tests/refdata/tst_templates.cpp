// Body parts, template categories and the template library: the tree of parts
// and categories, the template list and display, New, Update, Save and Delete
// with and without the template right, and the exchange with the report
// editor (a template appended to the report, the report's texts offered as a
// new template). Parts and categories of the same name are told apart by
// number throughout.
#include "support/EditorKit.h"
#include "support/RefdataKit.h"

#include "RegisterWindows.h"

#include "core/Database.h"
#include "core/FrmMain.h"
#include "core/Mmain.h"
#include "core/Openers.h"
#include "editor/DataRecord.h"
#include "refdata/FrmMBassort.h"
#include "refdata/FrmMBmanager.h"
#include "refdata/FrmMBpart.h"
#include "refdata/PickCombo.h"

#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTest>
#include <QTreeWidget>

using namespace kit;

namespace {
// Body parts 1 胸部, 2 and 3 both 腹部, 4 头颅 (no categories); category 4 belongs
// to a part that was deleted. Templates 1 and 3 under 肺, 2 under 心, 4 under 肝.
const char* kLibrary = R"(
INSERT INTO bodypart VALUES (1, '胸部'), (2, '腹部'), (3, '腹部'), (4, '头颅');
INSERT INTO assortpart VALUES (1, '肺', 1), (2, '心', 1), (3, '肝', 3), (4, '孤立', 99);
INSERT INTO templet(mbid, assortid, checkname, checksymptom, checkconclusion) VALUES
  (1, 1, '胸部正位', '两肺纹理清晰。', '心肺未见异常'), (2, 2, '心脏三位', '心影不大。', '心脏未见异常'),
  (3, 1, '胸部侧位', '肺野清晰。', '肺部未见异常'), (4, 3, '腹部平片', '肝影不大。', '肝脏未见异常'),
  (5, 4, '孤立模板', '无', '无');
)";

// Runs statements separated by ";".
bool seed(const char* script)
{
    for (const QString& st : QString::fromUtf8(script).split(QLatin1Char(';'), Qt::SkipEmptyParts))
        if (!st.trimmed().isEmpty() && !TestFolder::exec(st))
            return false;
    return true;
}

QString text(const QString& sql, const QVariantList& params = {})
{
    const QueryResult r = Database::QueryData(sql, params);
    return r.hasRows() ? r.data->text(0, 0) : QStringLiteral("<none>");
}

// Which of New, Update, Delete, Save and Load are enabled, "-" for off.
QString buttons(const FrmMBmanager& m)
{
    QString s;
    const std::pair<QvButton*, char> all[] = {
        {m.ButtnNew, 'N'}, {m.ButtnUpdate, 'U'}, {m.ButtnDel, 'D'}, {m.ButtnSave, 'S'}, {m.ButtnLoad, 'L'}};
    for (const auto& [b, c] : all)
        s += b->isEnabled() ? QLatin1Char(c) : QLatin1Char('-');
    return s;
}

QStringList shown(const FrmMBmanager& m)
{
    return {m.Combopart->currentText(), m.Comboassort->currentText(), m.Text1->text(), m.Text2->toPlainText(),
            m.Text3->toPlainText()};
}

QTreeWidgetItem* node(FrmMBmanager& m, const QString& key)
{
    for (QTreeWidgetItemIterator it(m.TreeView1); *it; ++it)
        if ((*it)->data(0, Qt::UserRole).toString() == key)
            return *it;
    return nullptr;
}

void clickNode(FrmMBmanager& m, const QString& key)
{
    m.TreeView1->expandAll();
    QTreeWidgetItem* n = node(m, key);
    QVERIFY2(n, qPrintable(key));
    QTest::mouseClick(m.TreeView1->viewport(), Qt::LeftButton, {}, m.TreeView1->visualItemRect(n).center());
}

void clickListRow(FrmMBmanager& m, int row)
{
    DictGrid* g = m.MSHFlexGrid1;
    QTest::mouseClick(g->viewport(), Qt::LeftButton, {}, g->visualItemRect(g->item(row, 0)).center());
}

int pickByText(PickCombo* c, const QString& t)
{
    const int i = c->findText(t, Qt::MatchExactly);
    pick(c, i);
    return i;
}

void typeInto(PickCombo* c, const QString& t) { typeText(c->lineEdit(), t); }

QColor textColour(QWidget* w) { return w->palette().color(QPalette::Active, QPalette::Text); }
}

class tst_Templates : public QObject {
    Q_OBJECT
    std::unique_ptr<TestFolder> folder_;

    FrmMBmanager& openLibrary()
    {
        FrmMBmanager& m = FrmMBmanager::instance();
        Openers::OpenTemplateManager();
        return m;
    }

private slots:
    void init()
    {
        folder_ = refdataFolder();
        registerWindows();
        Mmain::gRights.fill(true);
        Mmain::gUserName = Mmain::gUserId = QStringLiteral("admin");
    }
    void cleanup()
    {
        FrmMBmanager::instance().ButtnQuit_Click();
        FrmMBpart::instance().ButtnQuit_Click();
        FrmMBassort::instance().ButtnQuit_Click();
        closeEditor();
        kit::closeWindows();
        folder_.reset();
    }

    // Numbers come from the database, so a second part of the same name is a
    // new row and the current one; a rename keeps the number; a deleted part
    // leaves its categories stored but listed nowhere.
    void bodyParts()
    {
        Openers::OpenMaintenance(Openers::Window::FrmMBpart);
        FrmMBpart& w = FrmMBpart::instance();
        QVERIFY(w.isVisible());
        QCOMPARE(kit::buttons(w), QStringLiteral("N---"));
        clickRow(w, 0);
        w.ButtnUpdate->click();
        QCOMPARE(lastText(), QStringLiteral("没有符合条件的数据记录"));
        w.ButtnDel->click();
        QCOMPARE(lastText() + lastTitle(), QStringLiteral("请选择你要删除的检查部位系统错误"));

        for (const QString& name : {QStringLiteral("胸部"), QStringLiteral("胸部"),
                                    QStringLiteral("O'Neil \"部\" 100%"), QStringLiteral("  ")}) {
            w.ButtnNew->click();
            typeText(w.Text1, name);
            w.ButtnSave->click();
            const QString id = QString::number(Database::LastInsertId());
            QCOMPARE(rowTexts(w, w.MSHFlexGrid1->rows() - 1), (QStringList{id, name}));
            QCOMPARE(w.currentKey(), id);
            QCOMPARE(text(QStringLiteral("SELECT partname FROM bodypart WHERE partid = ?"), {id}), name);
        }
        QCOMPARE(queryInt(QStringLiteral("SELECT count(DISTINCT partid) FROM bodypart WHERE partname = '胸部'")), 2);

        // A rename keeps the number.
        clickRow(w, 0);
        w.ButtnUpdate->click();
        typeText(w.Text1, QStringLiteral("胸廓"));
        w.ButtnSave->click();
        QCOMPARE(rowTexts(w, 0), (QStringList{QStringLiteral("1"), QStringLiteral("胸廓")}));
        QCOMPARE(text(QStringLiteral("SELECT partname FROM bodypart WHERE partid = 1")), QStringLiteral("胸廓"));
        QVERIFY(w.grab().save(testOutputFolder() + QStringLiteral("/FrmMBpart.png")));

        // Deleting a part with a category: the question warns, the category stays.
        QVERIFY(TestFolder::exec(QStringLiteral("INSERT INTO assortpart VALUES (7, '肺', 1)")));
        MessageBox::queueAnswer(MessageBox::Answer::Ok);
        w.ButtnDel->click();
        QVERIFY(lastText().startsWith(QStringLiteral("你将删除自动编号为 1 的检查部位,删除后将不能恢复.\r\n并且")));
        QCOMPARE(queryInt(QStringLiteral("SELECT count(*) FROM bodypart WHERE partid = 1")), 0);
        QCOMPARE(queryInt(QStringLiteral("SELECT count(*) FROM assortpart WHERE assortid = 7")), 1);
        w.ButtnQuit->click();
        Openers::OpenMaintenance(Openers::Window::FrmMBassort);
        QVERIFY(!FrmMBassort::instance().MSHFlexGrid1->hasRows());
    }

    // A category keeps the part it is filed under by number, even when another
    // part has the same name; a part counts only when picked from the list.
    void categoriesKeepTheirPart()
    {
        // No parts at all: nothing can be saved.
        FrmMBassort& w = FrmMBassort::instance();
        Openers::OpenMaintenance(Openers::Window::FrmMBassort);
        QCOMPARE(w.Text2->count(), 0);
        w.ButtnNew->click();
        typeText(w.Text1, QStringLiteral("肺"));
        w.ButtnSave->click();
        QCOMPARE(lastText(), QStringLiteral("请在部位列表中选择所属检查部位"));
        QVERIFY(w.Text2->hasFocus());
        w.ButtnQuit->click();

        QVERIFY(seed("INSERT INTO bodypart VALUES (1, '腹部'), (2, '腹部'), (3, '胸部');"
                     "INSERT INTO assortpart VALUES (10, '肝', 2)"));
        Openers::OpenMaintenance(Openers::Window::FrmMBassort);
        QCOMPARE(rowTexts(w, 0), (QStringList{QStringLiteral("10"), QStringLiteral("肝"), QStringLiteral("腹部")}));
        QCOMPARE(w.partTag(), QStringLiteral("2"));
        QCOMPARE(w.Text2->chosen(), 1);

        // A rename leaves the category under its own part 2, not the first 腹部.
        w.ButtnUpdate->click();
        typeText(w.Text1, QStringLiteral("肝胆"));
        w.ButtnSave->click();
        QCOMPARE(text(QStringLiteral("SELECT assortname || partid FROM assortpart WHERE assortid = 10")),
                 QStringLiteral("肝胆2"));

        // A typed part name is no pick: refused and emptied.
        w.ButtnUpdate->click();
        w.Text2->setTypedText(QString());
        typeInto(w.Text2, QStringLiteral("胸部"));
        w.ButtnSave->click();
        QCOMPARE(lastText(), QStringLiteral("请在部位列表中选择所属检查部位"));
        QVERIFY(w.Text2->currentText().isEmpty() && w.Text2->hasFocus());
        pickByText(w.Text2, QStringLiteral("胸部"));
        w.ButtnSave->click();
        QCOMPARE(rowTexts(w, 0), (QStringList{QStringLiteral("10"), QStringLiteral("肝胆"), QStringLiteral("胸部")}));
        QCOMPARE(queryInt(QStringLiteral("SELECT partid FROM assortpart WHERE assortid = 10")), 3);
        QVERIFY(w.grab().save(testOutputFolder() + QStringLiteral("/FrmMBassort.png")));

        // New: an empty part box is refused; a picked part is stored, the number from the database.
        w.ButtnNew->click();
        typeText(w.Text1, QStringLiteral("O'x 100%"));
        w.ButtnSave->click();
        QVERIFY(w.Text2->hasFocus() && w.editMode() == QStringLiteral("insert"));
        w.Text2->choose(1);
        w.ButtnSave->click();
        const QString id = QString::number(Database::LastInsertId());
        QCOMPARE(rowTexts(w, 1), (QStringList{id, QStringLiteral("O'x 100%"), QStringLiteral("腹部")}));
        QCOMPARE(text(QStringLiteral("SELECT partid FROM assortpart WHERE assortid = ?"), {id}), QStringLiteral("2"));
    }

    // Deleting one of two categories of a body part deletes that category
    // alone: the other stays, with its templates in the library; the deleted
    // one's template stays stored but is listed nowhere.
    void deletingACategoryKeepsItsSiblings()
    {
        QVERIFY(seed(kLibrary));
        FrmMBassort& w = FrmMBassort::instance();
        Openers::OpenMaintenance(Openers::Window::FrmMBassort);
        QCOMPARE(rowTexts(w, 1), (QStringList{QStringLiteral("2"), QStringLiteral("心"), QStringLiteral("胸部")}));
        clickRow(w, 1);
        MessageBox::queueAnswer(MessageBox::Answer::Ok);
        w.ButtnDel->click();
        QVERIFY(lastText().startsWith(QStringLiteral("你将删除自动编号为 2 的分类名称")));
        QCOMPARE(text(QStringLiteral("SELECT group_concat(assortid || assortname, '|') FROM "
                                     "(SELECT * FROM assortpart ORDER BY assortid)")),
                 QStringLiteral("1肺|3肝|4孤立"));
        QCOMPARE(queryInt(QStringLiteral("SELECT count(*) FROM templet")), 5);
        QCOMPARE(w.MSHFlexGrid1->rows(), 2);
        QCOMPARE(rowTexts(w, 0).mid(0, 2), (QStringList{QStringLiteral("1"), QStringLiteral("肺")}));
        w.ButtnQuit->click();

        FrmMBmanager& m = openLibrary();
        QVERIFY(!node(m, QStringLiteral("xu2")));
        clickNode(m, QStringLiteral("xu1"));
        QCOMPARE(m.MSHFlexGrid1->rows(), 2);
        QCOMPARE(m.MSHFlexGrid1->cell(0, 0) + m.MSHFlexGrid1->cell(1, 0), QStringLiteral("13"));
        clickNode(m, QStringLiteral("ro1"));
        QCOMPARE(m.MSHFlexGrid1->rows(), 2);
    }

    // Typing into the part or category box after an entry was picked undoes
    // the pick, even when the typed name is on the list: the save is refused
    // and nothing is filed under the entry picked before.
    void typingAfterAPickIsNoPick()
    {
        QVERIFY(seed(kLibrary));
        auto retype = [](PickCombo* c, const QString& t) {
            c->lineEdit()->selectAll();
            typeInto(c, t);
        };
        FrmMBassort& w = FrmMBassort::instance();
        Openers::OpenMaintenance(Openers::Window::FrmMBassort);
        w.ButtnNew->click();
        typeText(w.Text1, QStringLiteral("纵隔"));
        pickByText(w.Text2, QStringLiteral("胸部"));
        QVERIFY(w.Text2->chosen() >= 0);
        retype(w.Text2, QStringLiteral("头颅"));
        w.ButtnSave->click();
        QCOMPARE(lastText(), QStringLiteral("请在部位列表中选择所属检查部位"));
        QCOMPARE(w.editMode(), QStringLiteral("insert"));
        pickByText(w.Text2, QStringLiteral("胸部"));
        typeInto(w.Text2, QStringLiteral("x"));
        MessageBox::clearShown();
        w.ButtnSave->click();
        QCOMPARE(lastText(), QStringLiteral("请在部位列表中选择所属检查部位"));
        QCOMPARE(queryInt(QStringLiteral("SELECT count(*) FROM assortpart WHERE assortname = '纵隔'")), 0);
        w.ButtnQuit->click();

        FrmMBmanager& m = openLibrary();
        m.ButtnNew->click();
        m.Text1->setText(QStringLiteral("纵隔正位"));
        m.Text2->setPlainText(QStringLiteral("纵隔不宽。"));
        m.Text3->setPlainText(QStringLiteral("纵隔未见异常"));
        pickByText(m.Combopart, QStringLiteral("胸部"));
        pickByText(m.Comboassort, QStringLiteral("心"));
        retype(m.Combopart, QStringLiteral("头颅"));
        MessageBox::clearShown();
        m.ButtnSave->click();
        QCOMPARE(lastText(), QStringLiteral("请在部位列表中选择所属检查部位"));
        QVERIFY(m.Combopart->hasFocus());
        pickByText(m.Combopart, QStringLiteral("胸部"));
        pickByText(m.Comboassort, QStringLiteral("心"));
        retype(m.Comboassort, QStringLiteral("肺"));
        MessageBox::clearShown();
        m.ButtnSave->click();
        QCOMPARE(lastText(), QStringLiteral("请在部位列表中选择所属检查部位"));
        QVERIFY(m.Comboassort->hasFocus());
        QCOMPARE(m.editMode(), QStringLiteral("insert"));
        QCOMPARE(queryInt(QStringLiteral("SELECT count(*) FROM templet WHERE checkname = '纵隔正位'")), 0);
        // Picked again, it counts.
        pickByText(m.Comboassort, QStringLiteral("肺"));
        m.ButtnSave->click();
        QCOMPARE(text(QStringLiteral("SELECT assortid FROM templet WHERE checkname = '纵隔正位'")),
                 QStringLiteral("1"));
    }

    // The tree of parts and categories, the list of a node's templates, the
    // read-only display with the captions of the report items, the blank row
    // and a template that went away after it was listed.
    void browsing()
    {
        QVERIFY(seed(kLibrary));
        QVERIFY(TestFolder::exec(QStringLiteral("UPDATE bgxm SET xmmc = 'X线所见' WHERE xmid = '19'")));
        FrmMBmanager& m = openLibrary();
        QVERIFY(m.isVisible() && !m.ButtnLoad->isVisible());
        QCOMPARE(buttons(m), QStringLiteral("N----"));
        QVERIFY(m.Text1->isReadOnly() && !m.Combopart->isLocked());
        QStringList top;
        for (int i = 0; i < m.TreeView1->topLevelItemCount(); ++i)
            top << m.TreeView1->topLevelItem(i)->text(0) + QString::number(m.TreeView1->topLevelItem(i)->childCount());
        QCOMPARE(top, (QStringList{QStringLiteral("胸部2"), QStringLiteral("腹部0"), QStringLiteral("腹部1"),
                                   QStringLiteral("头颅0")}));
        QVERIFY(!node(m, QStringLiteral("xu4")));
        QCOMPARE(m.Label1->text() + m.Label4->text() + m.Label5->text() + m.Label3->text() + m.Label2->text(),
                 QStringLiteral("检查部位X线所见诊断意见检查名称二级分类"));

        // A part lists the templates of all its categories, a category its own.
        clickNode(m, QStringLiteral("ro1"));
        QCOMPARE(m.MSHFlexGrid1->rows(), 3);
        QCOMPARE(m.MSHFlexGrid1->cell(1, 0) + m.MSHFlexGrid1->cell(2, 1), QStringLiteral("2肺部未见异常"));
        QCOMPARE(shown(m), (QStringList{QStringLiteral("胸部"), QStringLiteral("肺"), QStringLiteral("胸部正位"),
                                        QStringLiteral("两肺纹理清晰。"), QStringLiteral("心肺未见异常")}));
        QVERIFY(m.fieldsLocked() && m.Combopart->isLocked() && m.Text3->isEnabled());
        QCOMPARE(textColour(m.Text2), QColor(0x40, 0x40, 0x40));
        QCOMPARE(buttons(m), QStringLiteral("NUD-L"));
        QCOMPARE(m.partTag() + m.assortTag(), QStringLiteral("11"));
        QVERIFY(m.grab().save(testOutputFolder() + QStringLiteral("/FrmMBmanager.png")));
        clickListRow(m, 1);
        QCOMPARE(m.templateNumber(), qint64(2));
        QCOMPARE(m.Comboassort->currentText(), QStringLiteral("心"));
        clickNode(m, QStringLiteral("xu2"));
        QCOMPARE(m.MSHFlexGrid1->rows(), 1);
        QCOMPARE(m.MSHFlexGrid1->cell(0, 0), QStringLiteral("2"));
        // A click beside the nodes lists the selected node again from its first template.
        clickNode(m, QStringLiteral("ro1"));
        clickListRow(m, 2);
        QTest::mouseClick(m.TreeView1->viewport(), Qt::LeftButton, {},
                          QPoint(5, m.TreeView1->viewport()->height() - 5));
        QCOMPARE(m.MSHFlexGrid1->rows(), 3);
        QCOMPARE(m.templateNumber(), qint64(1));

        // The second 腹部 shows its own category 肝, not the first 腹部's (none).
        clickNode(m, QStringLiteral("ro3"));
        QCOMPARE(m.partTag() + QLatin1Char('/') + m.assortTag(), QStringLiteral("3/3"));
        QCOMPARE(m.Comboassort->chosen(), 0);

        // A part without categories: the empty state; the blank row is no template.
        clickNode(m, QStringLiteral("ro4"));
        QVERIFY(!m.MSHFlexGrid1->hasRows() && m.templateNumber() == 0);
        QCOMPARE(shown(m).join(QString()), QString());
        QCOMPARE(buttons(m), QStringLiteral("N----"));
        clickListRow(m, 0);
        QCOMPARE(m.templateNumber(), 0);
        m.ButtnUpdate_Click();
        QCOMPARE(lastText(), QStringLiteral("没有符合条件的数据记录"));
        m.ButtnDel_Click();
        QCOMPARE(lastText(), QStringLiteral("请选择你要删除的模板"));
        m.ButtnLoad_Click();
        QCOMPARE(lastText(), QStringLiteral("没有符合条件的数据记录"));

        // A listed template deleted meanwhile: nothing of the one before stays.
        clickNode(m, QStringLiteral("ro1"));
        QVERIFY(TestFolder::exec(QStringLiteral("DELETE FROM templet WHERE mbid = 3")));
        clickListRow(m, 2);
        QCOMPARE(m.templateNumber(), qint64(3));
        QCOMPARE(shown(m).join(QString()), QString());
        QCOMPARE(buttons(m), QStringLiteral("N----"));

        // 22 report items: the built-in captions; without the template right
        // templates can be listed and loaded, not changed.
        m.ButtnQuit->click();
        QVERIFY(TestFolder::exec(QStringLiteral("DELETE FROM bgxm WHERE xmid = '23'")));
        Mmain::gRights[Mmain::RightTemplates] = false;
        MessageBox::clearShown();
        openLibrary();
        QCOMPARE(lastText(), QStringLiteral("打印项目设置错误"));
        QCOMPARE(m.Label1->text(), QStringLiteral("部    位"));
        QCOMPARE(buttons(m), QStringLiteral("-----"));
        clickNode(m, QStringLiteral("ro1"));
        QCOMPARE(buttons(m), QStringLiteral("----L"));
    }

    // New, Update, Save and Delete: the checks in order, the part and the
    // category picked from their lists, texts of any kind kept exactly.
    void editing()
    {
        QVERIFY(seed(kLibrary));
        FrmMBmanager& m = openLibrary();
        clickNode(m, QStringLiteral("ro1"));
        m.ButtnNew->click();
        QCOMPARE(buttons(m), QStringLiteral("---S-"));
        QVERIFY(!m.fieldsLocked() && m.Text2->hasFocus() && shown(m).join(QString()).isEmpty());
        QCOMPARE(textColour(m.Text2), QColor(Qt::black));

        const QString name = QStringLiteral("O'Brien \"侧位\" 100%");
        const QString findings =
            QStringLiteral("第一段 'x' 😀\n") + QString(100000, QLatin1Char('a')) + QStringLiteral("\n末段");
        const QString diagnosis = QStringLiteral("诊断 %d '); DROP TABLE templet;--\n第二行");
        auto save = [&m](QWidget* focus, const QString& message) {
            m.ButtnSave->click();
            QCOMPARE(lastText(), message);
            QVERIFY2(focus->hasFocus(), qPrintable(message));
        };
        save(m.Text1, QStringLiteral("模板名称不能为空,请输入"));
        m.Text1->setText(name);
        save(m.Text2, QStringLiteral("X线征象不能为空,请输入"));
        m.Text2->setPlainText(findings);
        save(m.Text3, QStringLiteral("诊断意见不能为空,请输入"));
        m.Text3->setPlainText(diagnosis);
        typeInto(m.Combopart, QStringLiteral("胸部"));
        save(m.Combopart, QStringLiteral("请在部位列表中选择所属检查部位"));
        pickByText(m.Combopart, QStringLiteral("胸部"));
        save(m.Comboassort, QStringLiteral("请在部位列表中选择所属检查部位"));
        pickByText(m.Comboassort, QStringLiteral("肺"));
        // Another part empties the category box: its category must be picked again.
        pick(m.Combopart, 2);
        QVERIFY(m.Comboassort->currentText().isEmpty() && m.assortTag() == QStringLiteral("1"));
        save(m.Comboassort, QStringLiteral("请在部位列表中选择所属检查部位"));
        pickByText(m.Comboassort, QStringLiteral("肝"));
        const int before = queryInt(QStringLiteral("SELECT count(*) FROM templet"));
        m.ButtnSave->click();
        const qint64 id = Database::LastInsertId();
        QCOMPARE(id, qint64(6));
        QCOMPARE(text(QStringLiteral("SELECT checkname FROM templet WHERE mbid = 6")), name);
        QCOMPARE(text(QStringLiteral("SELECT checksymptom FROM templet WHERE mbid = 6")), findings);
        QCOMPARE(text(QStringLiteral("SELECT checkconclusion || assortid FROM templet WHERE mbid = 6")),
                 diagnosis + QStringLiteral("3"));
        QCOMPARE(queryInt(QStringLiteral("SELECT count(*) FROM templet")), before + 1);
        // The row joins the list shown, selected, with the typed diagnosis.
        QCOMPARE(m.MSHFlexGrid1->rows(), 4);
        QCOMPARE(m.MSHFlexGrid1->endRow(), 3);
        QCOMPARE(m.MSHFlexGrid1->cell(3, 0) + m.MSHFlexGrid1->cell(3, 1), QStringLiteral("6") + diagnosis);
        QVERIFY(m.templateNumber() == 6 && m.fieldsLocked() && m.editMode().isEmpty());
        QCOMPARE(buttons(m), QStringLiteral("NUD-L"));

        // Update moves the template to 心: the row stays, with the new diagnosis.
        m.ButtnUpdate->click();
        QCOMPARE(buttons(m), QStringLiteral("---S-"));
        pickByText(m.Combopart, QStringLiteral("胸部"));
        pickByText(m.Comboassort, QStringLiteral("心"));
        m.Text3->setPlainText(QStringLiteral("改后"));
        m.ButtnSave->click();
        QCOMPARE(m.MSHFlexGrid1->cell(3, 1), QStringLiteral("改后"));
        QCOMPARE(text(QStringLiteral("SELECT assortid || checkconclusion FROM templet WHERE mbid = 6")),
                 QStringLiteral("2改后"));

        // Delete: Cancel keeps it; OK removes the row and shows the next.
        clickListRow(m, 1);
        m.ButtnDel->click();
        QCOMPARE(lastText(), QStringLiteral("你将删除自动编号为 2 的模板,删除后将不能恢复.请确认是否删除?"));
        QCOMPARE(queryInt(QStringLiteral("SELECT count(*) FROM templet WHERE mbid = 2")), 1);
        MessageBox::queueAnswer(MessageBox::Answer::Ok);
        m.ButtnDel->click();
        QCOMPARE(queryInt(QStringLiteral("SELECT count(*) FROM templet WHERE mbid = 2")), 0);
        QCOMPARE(m.templateNumber(), qint64(3));
        QCOMPARE(m.Text1->text(), QStringLiteral("胸部侧位"));
        // The only template of a node: the empty state.
        clickNode(m, QStringLiteral("xu3"));
        QCOMPARE(m.MSHFlexGrid1->rows(), 1);
        MessageBox::queueAnswer(MessageBox::Answer::Ok);
        m.ButtnDel->click();
        QVERIFY(!m.MSHFlexGrid1->hasRows() && m.templateNumber() == 0 && m.fieldsLocked());
        QCOMPARE(shown(m).join(QString()), QString());
        QCOMPARE(buttons(m), QStringLiteral("N----"));

        // Quit while inserting stores nothing.
        m.ButtnNew->click();
        m.Text1->setText(QStringLiteral("未存"));
        m.ButtnQuit->click();
        QVERIFY(!m.isVisible());
        QCOMPARE(queryInt(QStringLiteral("SELECT count(*) FROM templet WHERE checkname = '未存'")), 0);
    }

    // A template's part and category are chosen by number: with two
    // categories named alike (and two parts named alike), a save that changes
    // only the texts leaves the template where it was.
    void sameNamesKeepTheTemplateInPlace()
    {
        QVERIFY(seed(kLibrary));
        QVERIFY(seed("INSERT INTO assortpart VALUES (7, '肺', 1);"
                     "INSERT INTO templet(mbid, assortid, checkname, checksymptom, checkconclusion) VALUES "
                     "(8, 7, '第二个肺', '所见', '诊断')"));
        FrmMBmanager& m = openLibrary();
        struct Case {
            const char* node;
            qint64 mbid;
            const char* where;   // assortid after the save
        };
        for (const Case& c : {Case{"xu7", 8, "7"}, Case{"xu1", 1, "1"}, Case{"xu3", 4, "3"}}) {
            clickNode(m, QString::fromLatin1(c.node));
            for (int r = 1; r < m.MSHFlexGrid1->rows(); ++r)
                if (m.MSHFlexGrid1->cell(r, 0) == QString::number(c.mbid))
                    clickListRow(m, r);
            QCOMPARE(m.templateNumber(), c.mbid);
            m.ButtnUpdate->click();
            m.Text3->setPlainText(QStringLiteral("只改诊断"));
            m.ButtnSave->click();
            QVERIFY2(m.editMode().isEmpty(), qPrintable(lastText()));
            QCOMPARE(text(QStringLiteral("SELECT assortid || checkconclusion FROM templet WHERE mbid = ?"), {c.mbid}),
                     QString::fromLatin1(c.where) + QStringLiteral("只改诊断"));
        }
    }

    // An update stores every text the user changed, the exam name too: the
    // library shows the new texts, and a report loading the template gets them.
    void updateKeepsEveryText()
    {
        QVERIFY(seed(kLibrary));
        FrmMBmanager& m = openLibrary();
        clickNode(m, QStringLiteral("xu2"));
        QCOMPARE(m.templateNumber(), qint64(2));
        m.ButtnUpdate->click();
        const QStringList edited{QStringLiteral("心脏正位（复查）"), QStringLiteral("心影稍大。"),
                                 QStringLiteral("心脏稍大")};
        m.Text1->selectAll();
        typeText(m.Text1, edited[0]);
        m.Text2->setPlainText(edited[1]);
        m.Text3->setPlainText(edited[2]);
        m.ButtnSave->click();
        QVERIFY2(m.editMode().isEmpty(), qPrintable(lastText()));
        QCOMPARE(text(QStringLiteral("SELECT checkname || '|' || checksymptom || '|' || checkconclusion || '|' || "
                                     "assortid FROM templet WHERE mbid = 2")),
                 edited.join(QLatin1Char('|')) + QStringLiteral("|2"));
        clickNode(m, QStringLiteral("xu1"));
        clickNode(m, QStringLiteral("xu2"));
        QCOMPARE(shown(m).mid(2), edited);
        m.ButtnQuit->click();

        Openers::open(Openers::Window::DataRecord, Openers::How::New);
        DataRecord& ed = DataRecord::instance();
        QVERIFY(ed.isVisible() && ed.editing());
        ed.Text14->clear();
        ed.Text15->clear();
        ed.Text16->clear();
        Openers::open(Openers::Window::FrmMBmanager, Openers::How::Load);
        clickNode(m, QStringLiteral("xu2"));
        m.ButtnLoad->click();
        QCOMPARE((QStringList{ed.Text14->text(), ed.Text15->toPlainText(), ed.Text16->toPlainText()}), edited);
    }

    // A template deleted behind the window's back since it was shown: the
    // update says so and stays pending, the list keeps its row.
    void updateOfAVanishedTemplate()
    {
        QVERIFY(seed(kLibrary));
        FrmMBmanager& m = openLibrary();
        clickNode(m, QStringLiteral("xu2"));
        QVERIFY(TestFolder::exec(QStringLiteral("DELETE FROM templet WHERE mbid = 2")));
        m.ButtnUpdate->click();
        m.Text3->setPlainText(QStringLiteral("改后"));
        MessageBox::clearShown();
        m.ButtnSave->click();
        QCOMPARE(lastText() + lastTitle(), QStringLiteral("没有符合条件的数据记录错误"));
        QCOMPARE(m.editMode(), QStringLiteral("update"));
        QCOMPARE(m.MSHFlexGrid1->cell(0, 1), QStringLiteral("心脏未见异常"));
        QCOMPARE(queryInt(QStringLiteral("SELECT count(*) FROM templet WHERE mbid = 2")), 0);
    }

    // 载入模板: the chosen template is appended to the report being edited.
    void loadIntoEditor()
    {
        QVERIFY(seed(kLibrary));
        Openers::open(Openers::Window::DataRecord, Openers::How::New);
        DataRecord& ed = DataRecord::instance();
        QVERIFY(ed.isVisible() && ed.editing());
        ed.Combopart->setEditText(QStringLiteral("胸部"));
        ed.Text15->setPlainText(QStringLiteral("旧段落"));

        Mmain::gRights[Mmain::RightTemplates] = false;
        Openers::open(Openers::Window::FrmMBmanager, Openers::How::Load);
        FrmMBmanager& m = FrmMBmanager::instance();
        QVERIFY(m.isVisible() && m.ButtnLoad->isVisible());
        QCOMPARE(buttons(m), QStringLiteral("-----"));
        clickNode(m, QStringLiteral("ro3"));
        m.ButtnLoad->click();
        QVERIFY(!m.isVisible());
        QCOMPARE(ed.Combopart->currentText(), QStringLiteral("胸部,腹部"));
        QCOMPARE(ed.bodyPartMemory(), QStringLiteral("胸部,腹部"));
        QCOMPARE(ed.Text14->text(), QStringLiteral("腹部平片"));
        QCOMPARE(ed.Text15->toPlainText(), QStringLiteral("旧段落\n\n肝影不大。"));
        QCOMPARE(ed.Text16->toPlainText(), QStringLiteral("肝脏未见异常"));

        // Into empty fields: exact copies, no separator in front.
        ed.ButtnClear_Click();
        ed.Combopart->setEditText(QString());
        Openers::open(Openers::Window::FrmMBmanager, Openers::How::Load);
        clickNode(m, QStringLiteral("xu2"));
        m.ButtnLoad->click();
        QCOMPARE(ed.Combopart->currentText() + ed.Text14->text() + ed.Text15->toPlainText() + ed.Text16->toPlainText(),
                 QStringLiteral("胸部心脏三位心影不大。心脏未见异常"));
    }

    // 设为模板: the report's texts offered as a new template, saved even
    // without the template right once a part and a category are picked.
    void offerFromEditor()
    {
        QVERIFY(seed(kLibrary));
        Openers::open(Openers::Window::DataRecord, Openers::How::New);
        DataRecord& ed = DataRecord::instance();
        ed.Text14->setText(QStringLiteral("胸片'复查'"));
        ed.Text15->setPlainText(QStringLiteral("两肺纹理增多。\n心影不大。"));
        Mmain::gRights[Mmain::RightTemplates] = false;
        Openers::open(Openers::Window::FrmMBmanager, Openers::How::Insert);
        FrmMBmanager& m = FrmMBmanager::instance();
        QVERIFY(m.isVisible() && !m.ButtnLoad->isVisible());
        QCOMPARE(shown(m).mid(2),
                 (QStringList{QStringLiteral("胸片'复查'"), QStringLiteral("两肺纹理增多。\n心影不大。"), QString()}));
        QVERIFY(!m.fieldsLocked() && !m.Combopart->isLocked() && m.editMode() == QStringLiteral("insert"));
        QCOMPARE(buttons(m), QStringLiteral("---S-"));
        QVERIFY(m.grab().save(testOutputFolder() + QStringLiteral("/FrmMBmanager-offer.png")));
        m.ButtnSave->click();
        QCOMPARE(lastText(), QStringLiteral("诊断意见不能为空,请输入"));
        QVERIFY(m.Text3->hasFocus());
        m.Text3->setPlainText(QStringLiteral("支气管炎"));
        pickByText(m.Combopart, QStringLiteral("胸部"));
        pickByText(m.Comboassort, QStringLiteral("肺"));
        m.ButtnSave->click();
        QCOMPARE(text(QStringLiteral("SELECT checkname || '|' || checksymptom || '|' || checkconclusion || '|' || "
                                     "assortid FROM templet WHERE mbid = ?"),
                      {Database::LastInsertId()}),
                 QStringLiteral("胸片'复查'|两肺纹理增多。\n心影不大。|支气管炎|1"));
        QVERIFY(m.MSHFlexGrid1->hasRows() && m.MSHFlexGrid1->rows() == 1 && m.MSHFlexGrid1->endRow() == 0);
        QCOMPARE(buttons(m), QStringLiteral("----L"));
        QVERIFY(!m.ButtnLoad->isVisible());
    }

    // A report saved as a template: its texts go by the rule of what a typed
    // text may hold (the two report texts keep line breaks and tabs); a refused
    // character is named with its field and no template is stored.
    void offeredTextsAreChecked_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("findings");
        QTest::addColumn<QString>("diagnosis");
        QTest::addColumn<QString>("message");
        QTest::newRow("findings ESC") << "胸片" << QStringLiteral("两肺\n\x1b纹理") << "支气管炎"
                                      << "检查所见含有不允许的字符（控制字符 U+001B），请重新输入";
        QTest::newRow("name U+202E") << QStringLiteral("胸\u202e片") << "两肺"
                                     << "支气管炎"
                                     << "检查名称含有不允许的字符（文字方向控制符 U+202E），请重新输入";
        QTest::newRow("diagnosis U+2066") << "胸片"
                                          << "两肺" << QStringLiteral("支气管炎\u2066")
                                          << "诊断意见含有不允许的字符（文字方向控制符 U+2066），请重新输入";
        QTest::newRow("tabs and breaks kept") << "胸片" << QStringLiteral("两肺\t纹理\r\n心影") << "支气管炎\n"
                                              << "";
    }

    void offeredTextsAreChecked()
    {
        QFETCH(QString, name);
        QFETCH(QString, findings);
        QFETCH(QString, diagnosis);
        QFETCH(QString, message);
        QVERIFY(seed(kLibrary));
        const int before = queryInt(QStringLiteral("SELECT count(*) FROM templet"));
        Openers::open(Openers::Window::DataRecord, Openers::How::New);
        DataRecord& ed = DataRecord::instance();
        ed.Text14->setText(name);
        ed.Text15->setPlainText(findings);
        ed.Text16->setPlainText(diagnosis);
        Openers::open(Openers::Window::FrmMBmanager, Openers::How::Insert);
        FrmMBmanager& m = FrmMBmanager::instance();
        pickByText(m.Combopart, QStringLiteral("胸部"));
        pickByText(m.Comboassort, QStringLiteral("肺"));
        MessageBox::clearShown();
        m.ButtnSave->click();
        if (message.isEmpty()) {
            QVERIFY2(MessageBox::shownBoxes().isEmpty(), qPrintable(lastText()));
            QCOMPARE(
                text(QStringLiteral("SELECT checksymptom FROM templet WHERE mbid = ?"), {Database::LastInsertId()}),
                QString(findings).replace(QStringLiteral("\r\n"), QStringLiteral("\n")));
            return;
        }
        QCOMPARE(lastText() + lastTitle(), message + QStringLiteral("错误"));
        QCOMPARE(queryInt(QStringLiteral("SELECT count(*) FROM templet")), before);
        QVERIFY(m.editMode() == QStringLiteral("insert") && !m.fieldsLocked());
    }

    // The road through the main window: a part, a category and a template are
    // made, a new report takes the template (F8) and is saved; its findings,
    // changed, become a new template that the library then lists.
    void libraryThroughMainWindow()
    {
        FrmMain* main = kit::logIn(QStringLiteral("admin"));
        QVERIFY(main);
        main->action(QStringLiteral("检查部位设置"))->trigger();
        FrmMBpart& parts = FrmMBpart::instance();
        parts.ButtnNew->click();
        typeText(parts.Text1, QStringLiteral("胸部"));
        parts.ButtnSave->click();
        parts.ButtnQuit->click();
        main->action(QStringLiteral("部位分类设置"))->trigger();
        FrmMBassort& assorts = FrmMBassort::instance();
        assorts.ButtnNew->click();
        typeText(assorts.Text1, QStringLiteral("肺"));
        pickByText(assorts.Text2, QStringLiteral("胸部"));
        assorts.ButtnSave->click();
        assorts.ButtnQuit->click();

        main->action(QStringLiteral("模板管理"))->trigger();
        FrmMBmanager& m = FrmMBmanager::instance();
        QVERIFY(m.isVisible());
        m.ButtnNew->click();
        m.Text1->setText(QStringLiteral("胸部正位"));
        m.Text2->setPlainText(QStringLiteral("两肺纹理清晰。"));
        m.Text3->setPlainText(QStringLiteral("心肺未见异常"));
        pickByText(m.Combopart, QStringLiteral("胸部"));
        pickByText(m.Comboassort, QStringLiteral("肺"));
        m.ButtnSave->click();
        QCOMPARE(queryInt(QStringLiteral("SELECT count(*) FROM templet")), 1);
        m.ButtnQuit->click();

        main->action(QStringLiteral("新建报告"))->trigger();
        DataRecord& ed = DataRecord::instance();
        QVERIFY(ed.isVisible() && ed.editing());
        typeRecord(ed, QStringLiteral("X100"), QStringLiteral("王某"));
        ed.Text16->clear();
        QTest::keyClick(ed.Text2, Qt::Key_F8);
        QVERIFY(m.isVisible() && m.ButtnLoad->isVisible());
        clickNode(m, QStringLiteral("xu1"));
        m.ButtnLoad->click();
        QVERIFY(!m.isVisible());
        ed.ButtnSave->click();
        QVERIFY2(!ed.ButtnSave->isEnabled(), qPrintable(lastText()));
        QCOMPARE(text(QStringLiteral("SELECT part || checkname || checksymptom || checkconclusion FROM reports "
                                     "WHERE obligate5 = 'X100'")),
                 QStringLiteral("胸部胸部正位两肺纹理清晰。心肺未见异常"));
        QVERIFY(ed.grab().save(testOutputFolder() + QStringLiteral("/template-into-report.png")));
        // Outside the edit state no template is loaded.
        ed.Buttnmbzr_Click();
        QCOMPARE(lastText(), QStringLiteral("请在可编辑状态载入模板"));
        QVERIFY(!m.isVisible());

        ed.ButtnEnable->click();
        ed.Text15->setPlainText(QStringLiteral("两肺纹理增多。"));
        ed.ButtnSwmb->click();
        QVERIFY(m.isVisible());
        QCOMPARE(m.Text2->toPlainText(), QStringLiteral("两肺纹理增多。"));
        pickByText(m.Combopart, QStringLiteral("胸部"));
        pickByText(m.Comboassort, QStringLiteral("肺"));
        m.ButtnSave->click();
        m.ButtnQuit->click();
        ed.ButtnSave->click();
        closeEditor();

        main->action(QStringLiteral("模板管理"))->trigger();
        clickNode(m, QStringLiteral("ro1"));
        QCOMPARE(m.MSHFlexGrid1->rows(), 2);
        clickListRow(m, 1);
        QCOMPARE(m.Text2->toPlainText(), QStringLiteral("两肺纹理增多。"));
        QVERIFY(m.grab().save(testOutputFolder() + QStringLiteral("/FrmMBmanager-library.png")));
    }
};

QTEST_MAIN(tst_Templates)
#include "tst_templates.moc"
