// The road through the main window: the administrator adds a user with three
// rights; that user logs in and finds exactly those commands enabled, adds a
// section and a physician, picks them in a new report, and renames a report
// item that the editor then shows.
#include "support/RefdataKit.h"

#include "RegisterWindows.h"

#include "core/Database.h"
#include "core/FrmMain.h"
#include "core/Mmain.h"
#include "core/login.h"
#include "editor/DataRecord.h"
#include "core/ReportRecord.h"
#include "refdata/FrmJCbgdc.h"
#include "refdata/FrmJCdoctor.h"
#include "refdata/FrmJCsection.h"
#include "refdata/Frmbgxm.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTest>

using namespace kit;

namespace {
int findText(QComboBox* c, const QString& text) { return c->findText(text, Qt::MatchExactly); }
}

class tst_RefdataRoad : public QObject {
    Q_OBJECT
    std::unique_ptr<TestFolder> folder_;

private slots:
    void init()
    {
        folder_ = refdataFolder();
        registerWindows();
    }
    void cleanup()
    {
        kit::closeWindows();
        folder_.reset();
    }

    void administratorToNewUserToReport()
    {
        // The administrator adds a user with rights 0, 1 and 4 only.
        FrmMain* main = kit::logIn(QStringLiteral("admin"));
        QVERIFY(main);
        main->action(QStringLiteral("用户设置"))->trigger();
        FrmJCdoctor& users = FrmJCdoctor::instance();
        QVERIFY(users.isVisible());
        users.ButtnNew->click();
        QVERIFY(users.Picqx->isEnabled());
        QString defaults;
        for (QCheckBox* b : users.rightBoxes())
            defaults += b->isChecked() ? QLatin1Char('1') : QLatin1Char('0');
        QCOMPARE(defaults, QStringLiteral("11010110"));
        typeText(users.Text1, QStringLiteral("li"));
        typeText(users.Text2, QStringLiteral("李医生"));
        for (QCheckBox* b : users.rightBoxes())
            b->setChecked(false);
        users.Checkqx1->click();
        users.Checkqx2->click();
        users.Checkqx5->click();
        users.ButtnSave->click();
        QCOMPARE(queryInt(QStringLiteral("SELECT count(*) FROM user WHERE userid = 'li' AND userpassword IS NULL")), 1);
        users.ButtnQuit->click();
        QVERIFY(!users.isVisible());

        main->重新登录_Click();
        kit::flushDeletes();
        main = kit::logIn(QStringLiteral("li"));
        QVERIFY(main);
        QCOMPARE(Mmain::gUserName, QStringLiteral("李医生"));
        // Which command each right governs is the main window's test.
        QString rights;
        for (int k = 0; k < 8; ++k)
            rights += Mmain::gRights[k] ? QLatin1Char('1') : QLatin1Char('0');
        QCOMPARE(rights, QStringLiteral("11001000"));
        QVERIFY(!main->action(QStringLiteral("查询报告"))->isEnabled());

        // A section and a physician of it.
        main->action(QStringLiteral("科室设置"))->trigger();
        FrmJCsection& sections = FrmJCsection::instance();
        sections.ButtnNew->click();
        typeText(sections.Text1, QStringLiteral("21"));
        typeText(sections.Text2, QStringLiteral("骨科"));
        sections.ButtnSave->click();
        sections.ButtnQuit->click();
        main->action(QStringLiteral("开单医师设置"))->trigger();
        FrmJCbgdc& physicians = FrmJCbgdc::instance();
        physicians.ButtnNew->click();
        typeText(physicians.Text1, QStringLiteral("G1"));
        typeText(physicians.Text2, QStringLiteral("周医生"));
        pick(physicians.Comboks, findText(physicians.Comboks, QStringLiteral("骨科")));
        physicians.ButtnSave->click();
        QCOMPARE(physicians.MSHFlexGrid1->cell(0, 2), QStringLiteral("骨科"));
        physicians.ButtnQuit->click();

        // A report item renamed.
        main->action(QStringLiteral("报告项目设置"))->trigger();
        Frmbgxm& items = Frmbgxm::instance();
        clickRow(items, 5);
        QCOMPARE(items.Text2->text(), QStringLiteral("科室"));
        items.ButtnUpdate->click();
        typeText(items.Text2, QStringLiteral("申请科室"));
        items.ButtnSave->click();
        items.ButtnQuit->click();

        // The new report offers both and labels its section with the new caption.
        main->action(QStringLiteral("新建报告"))->trigger();
        DataRecord& ed = DataRecord::instance();
        QVERIFY(ed.isVisible());
        QCOMPARE(ed.labelCaption(ReportRecord::sectionoffice), QStringLiteral("申请科室"));
        ed.Text1->setText(QStringLiteral("X21"));
        ed.Text2->setText(QStringLiteral("吴某"));
        ed.Text4->setText(QStringLiteral("40"));
        ed.Text16->setPlainText(QStringLiteral("未见异常"));
        pick(ed.Text6, findText(ed.Text6, QStringLiteral("骨科")));
        pick(ed.Text7, findText(ed.Text7, QStringLiteral("周医生")));
        ed.ButtnSave->click();
        QVERIFY2(MessageBox::shownBoxes().isEmpty() || !ed.ButtnSave->isEnabled(), qPrintable(lastText()));
        const QueryResult r = Database::QueryData(
            QStringLiteral("SELECT sectionoffice, utpatientid, rpdr FROM reports WHERE obligate5 = 'X21'"));
        QVERIFY(r.hasRows());
        QCOMPARE(r.data->text(0, 0), QStringLiteral("骨科"));
        QCOMPARE(r.data->text(0, 1), QStringLiteral("周医生"));
        QCOMPARE(r.data->text(0, 2), QStringLiteral("李医生"));
        ed.ButtnBack_Click();
    }
};

QTEST_MAIN(tst_RefdataRoad)
#include "tst_refdata_road.moc"
