// The users and rights window: new users' rights and empty password as the
// login reads them, passwords kept on update, the administrator's protection,
// duplicate codes, and the blank row of an empty list.
#include "RefdataKit.h"

#include "core/Database.h"
#include "core/FrmMain.h"
#include "core/Mmain.h"
#include "refdata/FrmJCdoctor.h"

#include <QCheckBox>

using namespace refkit;

namespace {
QString rightsOf(const QString& user)
{
    const QueryResult r = Database::QueryData(
        QStringLiteral("SELECT qx1||qx2||qx3||qx4||qx5||qx6||qx7||qx8 FROM user WHERE userid = ?"), {user});
    return r.hasRows() ? r.data->text(0, 0) : QString();
}
QString boxes(const FrmJCdoctor& w)
{
    QString s;
    for (QCheckBox* b : w.rightBoxes())
        s += b->isChecked() ? QLatin1Char('1') : QLatin1Char('0');
    return s;
}
QVariant password(const QString& user)
{
    const QueryResult r = Database::QueryData(QStringLiteral("SELECT userpassword FROM user WHERE userid = ?"), {user});
    return r.hasRows() ? r.data->value(0, 0) : QVariant(QStringLiteral("<no row>"));
}
}

class TestUsers : public QObject {
    Q_OBJECT
    std::unique_ptr<TestFolder> folder_;

    FrmJCdoctor& open()
    {
        FrmJCdoctor& w = FrmJCdoctor::instance();
        w.showModally();
        return w;
    }

private slots:
    void init() { folder_ = freshFolder(); }
    void cleanup()
    {
        FrmJCdoctor::instance().ButtnQuit_Click();
        corekit::closeWindows();
        folder_.reset();
    }

    // New ticks the general rights only; the user logs in with an empty password
    // and gets exactly the rights saved.
    void newUserRightsReachTheLogin()
    {
        FrmJCdoctor& w = open();
        QCOMPARE(w.Text1->text(), QStringLiteral("admin"));
        QCOMPARE(boxes(w), QStringLiteral("11111111"));
        QVERIFY(!w.Picqx->isEnabled());
        w.ButtnNew->click();
        QVERIFY(w.Picqx->isEnabled() && w.Text1->text().isEmpty());
        QCOMPARE(boxes(w), QStringLiteral("11010110"));
        typeText(w.Text1, QStringLiteral("u1"));
        typeText(w.Text2, QStringLiteral("O'Brien 张三"));
        w.Checkqx2->click();   // no editing of own reports
        w.ButtnSave->click();
        QCOMPARE(rightsOf(QStringLiteral("u1")), QStringLiteral("10010110"));
        QVERIFY(password(QStringLiteral("u1")).isNull());
        QCOMPARE(rowTexts(w, 1), (QStringList{QStringLiteral("u1"), QStringLiteral("O'Brien 张三")}));
        QVERIFY(!w.Picqx->isEnabled());
        w.ButtnQuit->click();

        // The login reads the same rights.
        QVERIFY(corekit::logIn(QStringLiteral("u1")));
        QCOMPARE(Mmain::gUserName, QStringLiteral("O'Brien 张三"));
        const bool expected[8] = {true, false, false, true, false, true, true, false};
        for (int k = 0; k < 8; ++k)
            QCOMPARE(Mmain::gRights[size_t(k)], expected[k]);
    }

    // An update changes code, name and rights by the old code and leaves the
    // password alone; the boxes keep what was saved.
    void updateKeepsThePassword()
    {
        QVERIFY(TestFolder::exec(QStringLiteral("INSERT INTO user VALUES('u2','李四','secret',1,1,0,1,0,1,1,0)")));
        FrmJCdoctor& w = open();
        clickRow(w, 1);
        QCOMPARE(boxes(w), QStringLiteral("11010110"));
        w.ButtnUpdate->click();
        QCOMPARE(w.Text1->selectedText(), QStringLiteral("u2"));
        typeText(w.Text1, QStringLiteral("u3"));
        w.Checkqx8->click();
        w.ButtnSave->click();
        QCOMPARE(password(QStringLiteral("u3")), QVariant(QStringLiteral("secret")));
        QCOMPARE(rightsOf(QStringLiteral("u3")), QStringLiteral("11010111"));
        QCOMPARE(queryInt(QStringLiteral("SELECT count(*) FROM user WHERE userid = 'u2'")), 0);
        QCOMPARE(w.MSHFlexGrid1->cell(1, 0), QStringLiteral("u3"));
        QCOMPARE(boxes(w), QStringLiteral("11010111"));

        // A code that exists already (in any letter case) is refused by the database.
        w.ButtnNew->click();
        typeText(w.Text1, QStringLiteral("U3"));
        typeText(w.Text2, QStringLiteral("重复"));
        w.ButtnSave->click();
        QCOMPARE(lastTitle(), QStringLiteral("错误"));
        QVERIFY2(lastText().contains(QStringLiteral("UNIQUE")), qPrintable(lastText()));
        QCOMPARE(w.editMode(), QStringLiteral("insert"));
        QCOMPARE(queryInt(QStringLiteral("SELECT count(*) FROM user")), 2);
    }

    // "admin" cannot be changed or deleted, whether the code shown or the row
    // worked on is the administrator's; "Admin" is someone else.
    void administratorIsProtected()
    {
        QVERIFY(TestFolder::exec(QStringLiteral("INSERT INTO user VALUES('u1','甲',NULL,1,1,0,1,0,1,1,0)")));
        FrmJCdoctor& w = open();
        w.ButtnUpdate->click();
        QCOMPARE(lastText(), QStringLiteral("不能修改管理员用户信息"));
        QCOMPARE(lastTitle(), QStringLiteral("提示"));
        QCOMPARE(MessageBox::shownBoxes().last().icon, MessageBox::Icon::Information);
        QVERIFY(w.editMode().isEmpty() && !w.Text1->isEnabled());
        w.ButtnDel->click();
        QCOMPARE(lastText(), QStringLiteral("不能删除管理员用户信息"));

        // The administrator's row, unreadable, while another user is shown.
        clickRow(w, 1);
        QVERIFY(TestFolder::exec(QStringLiteral("DELETE FROM user WHERE userid = 'admin'")));
        clickRow(w, 0);
        QCOMPARE(w.currentKey(), QStringLiteral("admin"));
        QCOMPARE(w.Text1->text(), QStringLiteral("u1"));
        MessageBox::clearShown();
        w.ButtnDel->click();
        QCOMPARE(lastText(), QStringLiteral("不能删除管理员用户信息"));
        QCOMPARE(queryInt(QStringLiteral("SELECT count(*) FROM user WHERE userid = 'u1'")), 1);
        w.ButtnQuit->click();

        QVERIFY(TestFolder::exec(QStringLiteral("INSERT INTO user VALUES('Admin','别人',NULL,1,1,0,1,0,1,1,0)")));
        w.showModally();
        clickRow(w, 1);
        QCOMPARE(w.Text1->text(), QStringLiteral("Admin"));
        w.ButtnUpdate->click();
        QCOMPARE(w.editMode(), QStringLiteral("update"));
    }

    // With no users the blank row gives nothing to show and stays silent.
    void blankRowOfAnEmptyList()
    {
        QVERIFY(TestFolder::exec(QStringLiteral("DELETE FROM user")));
        FrmJCdoctor& w = open();
        MessageBox::clearShown();
        clickRow(w, 0);
        QCOMPARE(MessageBox::shownBoxes().size(), 0);
        QCOMPARE(buttons(w), QStringLiteral("N---"));
    }

    // The window as the user sees it, for a look.
    void screenshot()
    {
        QVERIFY(TestFolder::exec(QStringLiteral("INSERT INTO user VALUES('u1','张医生',NULL,1,1,0,1,0,1,1,0)")));
        FrmJCdoctor& w = open();
        clickRow(w, 1);
        QVERIFY(w.grab().save(testOutputFolder() + QStringLiteral("/FrmJCdoctor.png")));
        w.ButtnNew->click();
        QVERIFY(w.grab().save(testOutputFolder() + QStringLiteral("/FrmJCdoctor-new.png")));
    }
};

QTEST_MAIN(TestUsers)
#include "tst_users.moc"
