// The phrase library (numbers from the database, optional keywords stored as
// Null, any text kept whole, quick-insert terms read by the editor) and the
// report item captions (only the caption written, read by the editor and the
// printed report).
#include "RefdataKit.h"

#include "core/Database.h"
#include "core/Mmain.h"
#include "editor/DataRecord.h"
#include "editor/ReportRecord.h"
#include "platform/Environment.h"
#include "refdata/Frmbgxm.h"
#include "refdata/Frmck.h"
#include "report/ReportData.h"

#include <QLineEdit>

using namespace refkit;

namespace {
QString text(const QString& sql, const QVariantList& params = {})
{
    const QueryResult r = Database::QueryData(sql, params);
    return r.hasRows() ? r.data->text(0, 0) : QStringLiteral("<none>");
}

// The editor loaded as the main window opens it, for what it reads of these tables.
DataRecord& loadEditor()
{
    DataRecord& ed = DataRecord::instance();
    if (ed.isLoaded())
        static_cast<QDialog&>(ed).done(0);
    ed.ensureLoaded();
    return ed;
}
}

class TestPhrasesCaptions : public QObject {
    Q_OBJECT
    std::unique_ptr<TestFolder> folder_;

    void addTerm(Frmck& w, const QString& term, const QString& keyword)
    {
        w.ButtnNew->click();
        typeText(w.Text1, term);
        typeText(w.Text2, keyword);
        w.ButtnSave->click();
    }

private slots:
    void init()
    {
        folder_ = freshFolder();
        Mmain::gRights.fill(true);
        Mmain::gUserName = QStringLiteral("admin");
        Environment::setScreenSizeOverride(QSize(1024, 768));
    }
    void cleanup()
    {
        Frmck::instance().ButtnQuit_Click();
        Frmbgxm::instance().ButtnQuit_Click();
        if (DataRecord::instance().isLoaded())
            static_cast<QDialog&>(DataRecord::instance()).done(0);
        folder_.reset();
    }

    // Numbers come from the database, also for a term entered twice; a keyword
    // left or made empty is Null.
    void termsAndKeywords()
    {
        Frmck& w = Frmck::instance();
        w.showModally();
        QCOMPARE(w.currentKey(), QStringLiteral("0"));
        clickRow(w, 0);
        QCOMPARE(buttons(w), QStringLiteral("NUD-"));
        w.ButtnUpdate->click();
        QCOMPARE(lastText(), QStringLiteral("没有符合条件的数据记录"));
        w.ButtnDel->click();
        QCOMPARE(lastText(), QStringLiteral("没有选择要删除的词汇"));
        QCOMPARE(lastTitle(), QStringLiteral("系统错误"));

        addTerm(w, QStringLiteral("肺纹理增粗"), QString());
        const QString first = w.MSHFlexGrid1->cell(0, 0);
        QCOMPARE(first, text(QStringLiteral("SELECT id FROM zymc")));
        QCOMPARE(text(QStringLiteral("SELECT coalesce(fl, 'NULL') FROM zymc")), QStringLiteral("NULL"));
        addTerm(w, QStringLiteral("肺纹理增粗"), QStringLiteral("fw"));
        const QString second = w.MSHFlexGrid1->cell(1, 0);
        QVERIFY(second.toLongLong() > first.toLongLong());
        QCOMPARE(w.currentKey(), second);
        QCOMPARE(rowTexts(w, 1), (QStringList{second, QStringLiteral("肺纹理增粗"), QStringLiteral("fw")}));

        // Only the keyword changed, then cleared: the number stays.
        w.ButtnUpdate->click();
        w.Text2->clear();
        w.ButtnSave->click();
        QCOMPARE(text(QStringLiteral("SELECT coalesce(fl, 'NULL') FROM zymc WHERE id = ?"), {second.toLongLong()}),
                 QStringLiteral("NULL"));
        QCOMPARE(w.MSHFlexGrid1->cell(1, 0), second);

        // Deleting the second term leaves the first; the last one empties the list.
        answerNext(MessageBox::Answer::Ok);
        w.ButtnDel->click();
        QCOMPARE(text(QStringLiteral("SELECT group_concat(id) FROM zymc")), first);
        QCOMPARE(w.currentKey(), first);
        answerNext(MessageBox::Answer::Ok);
        w.ButtnDel->click();
        QVERIFY(!w.MSHFlexGrid1->hasRows());
        QCOMPARE(w.currentKey(), QStringLiteral("0"));
        QCOMPARE(buttons(w), QStringLiteral("N---"));
    }

    // Quotes, %, emoji and a 10,000-character term are stored and listed whole;
    // terms marked "V" (in either case) become the editor's quick buttons.
    void anyTextAndTheEditorsQuickButtons()
    {
        const QString odd = QStringLiteral("O'Brien \"引号\" 100% _x_ 😀");
        QString huge;
        for (int i = 0; huge.size() < 10000; ++i)
            huge += QStringLiteral("第%1句，双肺纹理清晰。").arg(i);
        huge.truncate(10000);
        Frmck& w = Frmck::instance();
        w.showModally();
        addTerm(w, odd, QStringLiteral("V"));
        addTerm(w, huge, QString());
        addTerm(w, QStringLiteral("未见异常"), QStringLiteral("v"));
        w.ButtnQuit->click();
        w.showModally();
        QCOMPARE(w.MSHFlexGrid1->rows(), 3);
        QCOMPARE(w.MSHFlexGrid1->cell(0, 1), odd);
        QCOMPARE(w.MSHFlexGrid1->cell(1, 1), huge);
        clickRow(w, 1);
        QCOMPARE(w.Text1->text(), huge);
        QCOMPARE(text(QStringLiteral("SELECT name FROM zymc WHERE length(name) = 10000")), huge);

        DataRecord& ed = loadEditor();
        QCOMPARE(ed.btnTS.size(), 2);
        QCOMPARE(ed.btnTS[0]->text(), odd);
        QCOMPARE(ed.btnTS[1]->text(), QStringLiteral("未见异常"));
    }

    // A caption is the only value written; the editor and the printed report
    // label their field with it.
    void captionsRenamed()
    {
        Frmbgxm& w = Frmbgxm::instance();
        w.showModally();
        QVERIFY(!w.ButtnNew && !w.ButtnDel);
        QCOMPARE(w.MSHFlexGrid1->rows(), 23);
        QCOMPARE(rowTexts(w, 0), (QStringList{QStringLiteral("01"), QStringLiteral("检查号"), QStringLiteral("文本")}));
        QCOMPARE(buttons(w), QStringLiteral("-U--"));

        clickRow(w, 1);
        w.ButtnUpdate->click();
        QVERIFY(w.Text2->isEnabled() && w.Text2->hasFocus() && !w.Text1->isEnabled() && !w.Comboks->isEnabled());
        QCOMPARE(w.Text2->selectedText(), QStringLiteral("病人姓名"));
        QCOMPARE(buttons(w), QStringLiteral("---S"));
        w.Text2->clear();
        w.ButtnSave->click();
        QCOMPARE(lastText(), QStringLiteral("请输入项目名称"));
        QCOMPARE(lastTitle(), QStringLiteral("提示"));
        QCOMPARE(MessageBox::shownBoxes().last().icon, MessageBox::Icon::Information);
        // Another row clicked drops the typed caption.
        typeText(w.Text2, QStringLiteral("丢弃"));
        clickRow(w, 2);
        QCOMPARE(w.Text2->text(), QStringLiteral("性别"));
        QVERIFY(!w.Text2->isEnabled());

        clickRow(w, 1);
        w.ButtnUpdate->click();
        typeText(w.Text2, QStringLiteral("患者'姓名"));
        w.ButtnSave->click();
        QCOMPARE(rowTexts(w, 1), (QStringList{QStringLiteral("02"), QStringLiteral("患者'姓名"), QStringLiteral("文本")}));
        QCOMPARE(text(QStringLiteral("SELECT group_concat(xmid || xmmc || xmlx) FROM bgxm WHERE xmmc LIKE '%姓名'")),
                 QStringLiteral("02患者'姓名文本"));
        QCOMPARE(queryInt(QStringLiteral("SELECT count(*) FROM bgxm")), 23);
        QVERIFY(text(QStringLiteral("SELECT xmmc FROM bgxm WHERE xmid = '03'")) == QStringLiteral("性别"));

        QCOMPARE(loadEditor().labelCaption(ReportRecord::brname), QStringLiteral("患者'姓名"));
        QStringList captions;
        QVERIFY(ReportData::loadItemCaptions(captions).ok());
        QCOMPARE(captions.value(1), QStringLiteral("患者'姓名"));
        QVERIFY(w.grab().save(testOutputFolder() + QStringLiteral("/Frmbgxm.png")));

        // With no rows there is nothing to change.
        w.ButtnQuit->click();
        QVERIFY(TestFolder::exec(QStringLiteral("DELETE FROM bgxm")));
        w.showModally();
        QCOMPARE(buttons(w), QStringLiteral("----"));
    }
};

QTEST_MAIN(TestPhrasesCaptions)
#include "tst_phrases_captions.moc"
