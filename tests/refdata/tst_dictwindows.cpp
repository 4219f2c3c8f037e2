// Where the dictionary windows depart from the cycle: users (passwords kept,
// duplicate codes, the administrator's protection), sections (codes that read
// as numbers, kept as typed), physicians (the picked section stored as a plain
// whole number, same-named sections told apart), phrases (numbers from the
// database, Null keywords, any text kept whole, the editor's quick buttons) and
// report item captions (only the caption written, read by the printed report).
#include "support/RefdataKit.h"

#include "core/Database.h"
#include "core/Mmain.h"
#include "editor/DataRecord.h"
#include "refdata/FrmJCbgdc.h"
#include "refdata/FrmJCdoctor.h"
#include "refdata/FrmJCsection.h"
#include "refdata/Frmbgxm.h"
#include "refdata/Frmck.h"
#include "refdata/SectionCode.h"
#include "report/ReportData.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QTest>

using namespace kit;

namespace {
QString text(const QString& sql, const QVariantList& params = {})
{
    const QueryResult r = Database::QueryData(sql, params);
    return r.hasRows() ? r.data->text(0, 0) : QStringLiteral("<none>");
}
QString rightsOf(const QString& user)
{
    return text(QStringLiteral("SELECT qx1||qx2||qx3||qx4||qx5||qx6||qx7||qx8 FROM user WHERE userid = ?"), {user});
}
template <class W>
void add(W& w, const QString& a, const QString& b)
{
    w.ButtnNew->click();
    typeText(w.Text1, a);
    typeText(w.Text2, b);
    w.ButtnSave->click();
}
}

class tst_DictWindows : public QObject {
    Q_OBJECT
    std::unique_ptr<TestFolder> folder_;

private slots:
    void init()
    {
        folder_ = refdataFolder();
        Mmain::gRights.fill(true);
    }
    void cleanup()
    {
        for (DictionaryWindow* w :
             std::initializer_list<DictionaryWindow*>{&FrmJCdoctor::instance(), &FrmJCsection::instance(),
                                                      &FrmJCbgdc::instance(), &Frmck::instance(), &Frmbgxm::instance()})
            w->ButtnQuit_Click();
        folder_.reset();
    }

    // An update changes code, name and rights by the old code and keeps the
    // password; a code that exists (in any letter case) is refused.
    void usersKeepPasswordsAndCodes()
    {
        QVERIFY(TestFolder::exec(QStringLiteral("INSERT INTO user VALUES('u2','李四','secret',1,1,0,1,0,1,1,0)")));
        FrmJCdoctor& w = FrmJCdoctor::instance();
        w.showModally();
        clickRow(w, 1);
        QVERIFY(w.Checkqx2->isChecked() && !w.Checkqx3->isChecked() && !w.Picqx->isEnabled());
        w.ButtnUpdate->click();
        typeText(w.Text1, QStringLiteral("u3"));
        w.Checkqx8->click();
        w.ButtnSave->click();
        QCOMPARE(text(QStringLiteral("SELECT userpassword FROM user WHERE userid = 'u3'")), QStringLiteral("secret"));
        QCOMPARE(rightsOf(QStringLiteral("u3")), QStringLiteral("11010111"));
        QVERIFY(w.MSHFlexGrid1->cell(1, 0) == QStringLiteral("u3") && w.Checkqx8->isChecked());

        add(w, QStringLiteral("U3"), QStringLiteral("重复"));
        QVERIFY2(lastText().contains(QStringLiteral("UNIQUE")) && lastTitle() == QStringLiteral("错误"),
                 qPrintable(lastText()));
        QVERIFY(w.editMode() == QStringLiteral("insert") && queryInt(QStringLiteral("SELECT count(*) FROM user")) == 2);
    }

    // "admin" is neither changed nor deleted, whether it is the code shown or the
    // row worked on; "Admin" is someone else. An empty list's blank row is silent.
    void administratorIsProtected()
    {
        QVERIFY(TestFolder::exec(QStringLiteral("INSERT INTO user VALUES('u1','甲',NULL,1,1,0,1,0,1,1,0)")));
        FrmJCdoctor& w = FrmJCdoctor::instance();
        w.showModally();
        w.ButtnUpdate->click();
        QCOMPARE(lastText() + lastTitle(), QStringLiteral("不能修改管理员用户信息提示"));
        QVERIFY(MessageBox::shownBoxes().last().icon == MessageBox::Icon::Information && w.editMode().isEmpty());
        w.ButtnDel->click();
        QCOMPARE(lastText(), QStringLiteral("不能删除管理员用户信息"));
        // The administrator's row no longer readable while another user is shown.
        clickRow(w, 1);
        QVERIFY(TestFolder::exec(QStringLiteral("DELETE FROM user WHERE userid = 'admin'")));
        clickRow(w, 0);
        QVERIFY(w.currentKey() == QStringLiteral("admin") && w.Text1->text() == QStringLiteral("u1"));
        MessageBox::clearShown();
        w.ButtnDel->click();
        QCOMPARE(lastText(), QStringLiteral("不能删除管理员用户信息"));
        QCOMPARE(queryInt(QStringLiteral("SELECT count(*) FROM user")), 1);
        w.ButtnQuit->click();

        QVERIFY(TestFolder::exec(QStringLiteral("UPDATE user SET userid = 'Admin'")));
        w.showModally();
        w.ButtnUpdate->click();
        QCOMPARE(w.editMode(), QStringLiteral("update"));
        w.ButtnQuit->click();
        QVERIFY(TestFolder::exec(QStringLiteral("DELETE FROM user")));
        w.showModally();
        MessageBox::clearShown();
        clickRow(w, 0);
        QVERIFY(MessageBox::shownBoxes().isEmpty() && buttons(w) == QStringLiteral("N---"));
    }

    void sectionCodeForms_data()
    {
        QTest::addColumn<QString>("code");
        QTest::addColumn<bool>("numeric");
        QTest::addColumn<int>("whole");   // 0: no 32-bit whole number
        for (const auto& [code, numeric, whole] :
             std::initializer_list<std::tuple<const char*, bool, int>>{{"007", true, 7},
                                                                       {"-3", true, -3},
                                                                       {"1.5", true, 2},
                                                                       {"2.5", true, 2},
                                                                       {" 12 ", true, 12},
                                                                       {"1e3", true, 1000},
                                                                       {"3000000000", true, 0},
                                                                       {"A1", false, 0},
                                                                       {"12a", false, 0},
                                                                       {"1,000", false, 0},
                                                                       {"0x10", false, 0},
                                                                       {"inf", false, 0}})
            QTest::newRow(code) << QString::fromLatin1(code) << numeric << whole;
    }
    void sectionCodeForms()
    {
        QFETCH(QString, code);
        QFETCH(bool, numeric);
        QFETCH(int, whole);
        QCOMPARE(SectionCode::IsNumeric(code), numeric);
        QCOMPARE(SectionCode::ToInt32(code).value_or(0), whole);
    }

    // Codes are kept as typed; the checks speak as information messages; a
    // deleted section leaves its physicians.
    void sections()
    {
        FrmJCsection& w = FrmJCsection::instance();
        w.showModally();
        clickRow(w, 0);
        w.ButtnUpdate->click();
        QCOMPARE(lastText() + lastTitle(), QStringLiteral("没有符合条件的数据记录提示"));
        w.ButtnNew->click();
        w.ButtnSave->click();
        QCOMPARE(lastText() + lastTitle(), QStringLiteral("科室编号不能为空,请输入提示"));
        typeText(w.Text1, QStringLiteral("12a"));
        w.ButtnSave->click();
        QVERIFY(lastText() == QStringLiteral("科室编号必须为数字,请重新输入")
                && w.Text1->selectedText() == QStringLiteral("12a"));
        w.Text1->setText(QStringLiteral("007"));
        w.ButtnSave->click();
        QCOMPARE(lastText(), QStringLiteral("科室名称名称不能为空,请输入"));
        typeText(w.Text2, QStringLiteral("内科"));
        w.ButtnSave->click();
        add(w, QStringLiteral("-3"), QStringLiteral("儿科 100%"));
        QCOMPARE(text(QStringLiteral("SELECT group_concat(ksid || ksname, '|') FROM section")),
                 QStringLiteral("007内科|-3儿科 100%"));

        QVERIFY(TestFolder::exec(QStringLiteral("INSERT INTO doctor VALUES('D1','王医生','-3')")));
        MessageBox::queueAnswer(MessageBox::Answer::Ok);
        w.ButtnDel->click();
        QCOMPARE(MessageBox::shownBoxes().last().text,
                 QStringLiteral("你将删除科室编号为 -3 的科室,删除后将不能恢复,请确认是否删除?"));
        QVERIFY(queryInt(QStringLiteral("SELECT count(*) FROM section")) == 1
                && queryInt(QStringLiteral("SELECT count(*) FROM doctor")) == 1);

        // Code and name changed in one update: the row is found by the code it
        // was stored under, not by the one typed.
        clickRow(w, 0);
        w.ButtnUpdate->click();
        w.Text1->selectAll();
        typeText(w.Text1, QStringLiteral("8"));
        w.Text2->selectAll();
        typeText(w.Text2, QStringLiteral("外科"));
        w.ButtnSave->click();
        QVERIFY2(w.editMode().isEmpty(), qPrintable(lastText()));
        QCOMPARE(rowTexts(w, 0), (QStringList{QStringLiteral("8"), QStringLiteral("外科")}));
        QCOMPARE(text(QStringLiteral("SELECT group_concat(ksid || ksname, '|') FROM section")),
                 QStringLiteral("8外科"));
    }

    // A section's code and a physician's code are the keys of their tables:
    // a second row with a code in use is refused by the database (the save
    // reports it and keeps the typed values), so an update or a delete by
    // code never reaches more than one row.
    void codesAreKeys()
    {
        FrmJCsection& sections = FrmJCsection::instance();
        sections.showModally();
        add(sections, QStringLiteral("12"), QStringLiteral("内科"));
        MessageBox::clearShown();
        add(sections, QStringLiteral("12"), QStringLiteral("外科"));
        QCOMPARE(lastTitle(), QStringLiteral("错误"));
        QVERIFY2(lastText().contains(QStringLiteral("UNIQUE")), qPrintable(lastText()));
        QCOMPARE(sections.editMode(), QStringLiteral("insert"));
        QCOMPARE(text(QStringLiteral("SELECT group_concat(ksid || ksname) FROM section")), QStringLiteral("12内科"));
        sections.ButtnQuit->click();

        QVERIFY(TestFolder::exec(QStringLiteral("INSERT INTO section VALUES('1','内科')")));
        FrmJCbgdc& w = FrmJCbgdc::instance();
        w.showModally();
        for (const char* code : {"D1", "D1"}) {
            w.ButtnNew->click();
            typeText(w.Text1, QString::fromLatin1(code));
            typeText(w.Text2, QStringLiteral("王医生"));
            pick(w.Comboks, 0);
            MessageBox::clearShown();
            w.ButtnSave->click();
        }
        QCOMPARE(lastTitle(), QStringLiteral("错误"));
        QVERIFY2(lastText().contains(QStringLiteral("UNIQUE")), qPrintable(lastText()));
        QCOMPARE(queryInt(QStringLiteral("SELECT count(*) FROM doctor")), 1);
        for (const char* table : {"section", "doctor"}) {
            // The key column is the table's primary key.
            const QueryResult r =
                Database::QueryData(QStringLiteral("PRAGMA table_info(%1)").arg(QLatin1String(table)));
            QVERIFY(r.hasRows());
            QCOMPARE(r.data->text(0, 5), QStringLiteral("1"));
        }
    }

    // A physician stores the picked section's number in plain decimal, the key
    // by which the editor lists a section's physicians; a typed name is no pick.
    void physicianSections()
    {
        QVERIFY(TestFolder::exec(QStringLiteral("INSERT INTO section VALUES('007','内科'),('12','外科')")));
        FrmJCbgdc& w = FrmJCbgdc::instance();
        w.showModally();
        add(w, QStringLiteral("D1"), QStringLiteral("王医生"));
        QCOMPARE(lastText(), QStringLiteral("所属科室不能为空,请输入"));
        typeText(w.Comboks->lineEdit(), QStringLiteral("内科"));
        QTest::keyClick(w.Comboks, Qt::Key_Return);
        w.ButtnSave->click();
        QVERIFY(lastText() == QStringLiteral("所属科室输入不正确") && w.Comboks->hasFocus());
        pick(w.Comboks, 0);
        w.ButtnSave->click();
        QCOMPARE(rowTexts(w, 0), (QStringList{QStringLiteral("D1"), QStringLiteral("王医生"), QStringLiteral("内科")}));
        const QString key = QString::number(SectionCode::ToInt32(QStringLiteral("007")).value());
        QCOMPARE(text(QStringLiteral("SELECT dcname FROM doctor WHERE ksid = ?"), {key}), QStringLiteral("王医生"));

        // Listed again, "007" is not "7": no section shown, none picked, and the
        // save stops until one is; a changed code is found by the old one.
        w.ButtnQuit->click();
        w.showModally();
        QVERIFY(w.MSHFlexGrid1->cell(0, 2).isEmpty());
        w.ButtnUpdate->click();
        w.Text1->setText(QStringLiteral("D9"));
        w.ButtnSave->click();
        QCOMPARE(lastText(), QStringLiteral("所属科室不能为空,请输入"));
        pick(w.Comboks, 1);
        w.ButtnSave->click();
        QCOMPARE(text(QStringLiteral("SELECT group_concat(dcid || ksid) FROM doctor")), QStringLiteral("D912"));
        QVERIFY(w.currentKey() == QStringLiteral("D9") && w.MSHFlexGrid1->cell(0, 2) == QStringLiteral("外科"));
    }

    // Of two sections with one name, each physician keeps its own on an
    // unrelated change.
    void sameNamedSections()
    {
        QVERIFY(TestFolder::exec(QStringLiteral("INSERT INTO section VALUES('1','内科'),('2','内科')")));
        QVERIFY(TestFolder::exec(QStringLiteral("INSERT INTO doctor VALUES('D1','甲','1'),('D2','乙','2')")));
        FrmJCbgdc& w = FrmJCbgdc::instance();
        w.showModally();
        for (int row : {0, 1}) {
            clickRow(w, row);
            w.ButtnUpdate->click();
            typeText(w.Text2, QStringLiteral("医生"));
            w.ButtnSave->click();
        }
        QCOMPARE(text(QStringLiteral("SELECT group_concat(dcid || dcname || ksid, ' ') FROM doctor")),
                 QStringLiteral("D1甲医生1 D2乙医生2"));
    }

    // Numbers come from the database, also for a term entered twice; a keyword
    // left or made empty is Null; any text is kept whole; terms marked "V" (in
    // either case) become the editor's quick buttons.
    void phrases()
    {
        Frmck& w = Frmck::instance();
        w.showModally();
        QCOMPARE(w.currentKey(), QStringLiteral("0"));
        clickRow(w, 0);
        w.ButtnDel->click();
        QCOMPARE(lastText() + lastTitle(), QStringLiteral("没有选择要删除的词汇系统错误"));
        add(w, QStringLiteral("肺纹理增粗"), QString());
        add(w, QStringLiteral("肺纹理增粗"), QStringLiteral("fw"));
        const QString first = w.MSHFlexGrid1->cell(0, 0), second = w.MSHFlexGrid1->cell(1, 0);
        QVERIFY(first == text(QStringLiteral("SELECT min(id) FROM zymc")) && second.toLongLong() > first.toLongLong());
        QCOMPARE(w.currentKey(), second);
        w.ButtnUpdate->click();
        w.Text2->clear();
        w.ButtnSave->click();
        QCOMPARE(queryInt(QStringLiteral("SELECT count(*) FROM zymc WHERE fl IS NULL")), 2);
        QCOMPARE(w.MSHFlexGrid1->cell(1, 0), second);
        MessageBox::queueAnswer(MessageBox::Answer::Ok);
        w.ButtnDel->click();
        QVERIFY(text(QStringLiteral("SELECT group_concat(id) FROM zymc")) == first && w.currentKey() == first);
        MessageBox::queueAnswer(MessageBox::Answer::Ok);
        w.ButtnDel->click();
        QVERIFY(!w.MSHFlexGrid1->hasRows() && w.currentKey() == QStringLiteral("0"));

        const QString odd = QStringLiteral("O'Brien \"引号\" 100% _x_ 😀");
        QString huge;
        for (int i = 0; huge.size() < 10000; ++i)
            huge += QStringLiteral("第%1句，双肺纹理清晰。").arg(i);
        huge.truncate(10000);
        add(w, odd, QStringLiteral("V"));
        add(w, huge, QString());
        add(w, QStringLiteral("未见异常"), QStringLiteral("v"));
        w.ButtnQuit->click();
        w.showModally();
        QVERIFY(w.MSHFlexGrid1->cell(0, 1) == odd && w.MSHFlexGrid1->cell(1, 1) == huge);
        clickRow(w, 1);
        QCOMPARE(w.Text1->text(), huge);
        QCOMPARE(text(QStringLiteral("SELECT name FROM zymc WHERE length(name) = 10000")), huge);

        DataRecord& ed = DataRecord::instance();
        ed.ensureLoaded();
        QVERIFY(ed.btnTS.size() == 2 && ed.btnTS[0]->text() == odd
                && ed.btnTS[1]->text() == QStringLiteral("未见异常"));
        static_cast<QDialog&>(ed).done(0);
    }

    // Every dictionary window's 保存 refuses a character a typed text may not
    // hold, names the field by its label, and stores nothing.
    void typedCharactersRefused_data()
    {
        QTest::addColumn<QString>("window");
        QTest::addColumn<QString>("input");
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("table");
        QTest::addColumn<QString>("message");
        QTest::newRow("科室设置 ESC") << "科室设置"
                                      << "Text2" << QStringLiteral("内\x1b科")
                                      << "SELECT count(*) || group_concat(ksname) FROM section"
                                      << "科室名称含有不允许的字符（控制字符 U+001B），请重新输入";
        QTest::newRow("用户管理 U+202E") << "用户管理"
                                         << "Text2" << QStringLiteral("周\u202e九十")
                                         << "SELECT count(*) || group_concat(username) FROM user"
                                         << "用户姓名含有不允许的字符（文字方向控制符 U+202E），请重新输入";
        QTest::newRow("词库维护 U+200B") << "词库维护"
                                         << "Text1" << QStringLiteral("肺\u200b纹理") << "SELECT count(*) FROM zymc"
                                         << "专业词汇含有不允许的字符（零宽空格 U+200B），请重新输入";
        QTest::newRow("报告项目名称设置 U+0000")
            << "报告项目名称设置"
            << "Text2" << QStringLiteral("姓名") + QChar(0) << "SELECT group_concat(xmmc) FROM bgxm"
            << "项目名称含有不允许的字符（空字符 U+0000），请重新输入";
    }

    void typedCharactersRefused()
    {
        QFETCH(QString, window);
        QFETCH(QString, input);
        QFETCH(QString, value);
        QFETCH(QString, table);
        QFETCH(QString, message);
        DictionaryWindow* w = nullptr;
        for (DictionaryWindow* d : std::initializer_list<DictionaryWindow*>{
                 &FrmJCsection::instance(), &FrmJCdoctor::instance(), &Frmck::instance(), &Frmbgxm::instance()})
            if (d->windowTitle() == window)
                w = d;
        QVERIFY(w);
        w->showModally();
        const QString before = text(table);
        if (w->ButtnNew) {
            w->ButtnNew->click();
            typeText(w->findChild<QLineEdit*>(QStringLiteral("Text1")), QStringLiteral("9"));
        } else {
            clickRow(*w, 1);
            w->ButtnUpdate->click();
        }
        auto* box = w->findChild<QLineEdit*>(input);
        box->setText(value);
        MessageBox::clearShown();
        w->ButtnSave->click();
        QCOMPARE(lastText() + lastTitle(), message + QStringLiteral("错误"));
        QCOMPARE(text(table), before);
        QVERIFY(!w->editMode().isEmpty() && box->hasFocus());
    }

    // Only the caption of the row worked on is written; the printed report's
    // captions follow. An empty table leaves nothing to do.
    void captions()
    {
        Frmbgxm& w = Frmbgxm::instance();
        w.showModally();
        QVERIFY(!w.ButtnNew && !w.ButtnDel && w.MSHFlexGrid1->rows() == 23 && buttons(w) == QStringLiteral("-U--"));
        clickRow(w, 1);
        w.ButtnUpdate->click();
        QVERIFY(w.Text2->hasFocus() && !w.Text1->isEnabled() && !w.Comboks->isEnabled());
        QCOMPARE(w.Text2->selectedText(), QStringLiteral("病人姓名"));
        w.Text2->clear();
        w.ButtnSave->click();
        QCOMPARE(lastText() + lastTitle(), QStringLiteral("请输入项目名称提示"));
        typeText(w.Text2, QStringLiteral("丢弃"));
        clickRow(w, 2);
        QVERIFY(w.Text2->text() == QStringLiteral("性别") && !w.Text2->isEnabled());
        const QString all = QStringLiteral("SELECT group_concat(xmid || xmmc || xmlx, '|') FROM bgxm");
        const QString before = text(all);
        clickRow(w, 1);
        w.ButtnUpdate->click();
        typeText(w.Text2, QStringLiteral("患者'姓名"));
        w.ButtnSave->click();
        QCOMPARE(rowTexts(w, 1),
                 (QStringList{QStringLiteral("02"), QStringLiteral("患者'姓名"), QStringLiteral("文本")}));
        QCOMPARE(text(all), QString(before).replace(QStringLiteral("02病人姓名"), QStringLiteral("02患者'姓名")));
        QStringList printed;
        QVERIFY(ReportData::loadItemCaptions(printed).ok());
        QCOMPARE(printed.value(1), QStringLiteral("患者'姓名"));

        w.ButtnQuit->click();
        QVERIFY(TestFolder::exec(QStringLiteral("DELETE FROM bgxm")));
        w.showModally();
        QCOMPARE(buttons(w), QStringLiteral("----"));
    }
};

QTEST_MAIN(tst_DictWindows)
#include "tst_dictwindows.moc"
