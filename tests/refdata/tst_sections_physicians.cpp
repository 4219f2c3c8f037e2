// The sections window (codes that read as numbers, kept as typed; information
// messages) and the physicians window (the section picked from the list and
// stored as a plain whole number; same-named sections told apart by code).
#include "RefdataKit.h"

#include "core/Database.h"
#include "refdata/FrmJCbgdc.h"
#include "refdata/FrmJCsection.h"
#include "refdata/SectionCode.h"

#include <QComboBox>
#include <QLineEdit>

using namespace refkit;

namespace {
QString stored(const QString& sql, const QVariantList& params = {})
{
    const QueryResult r = Database::QueryData(sql, params);
    return r.hasRows() ? r.data->text(0, 0) : QStringLiteral("<none>");
}
}

class TestSectionsPhysicians : public QObject {
    Q_OBJECT
    std::unique_ptr<TestFolder> folder_;

    void addSection(FrmJCsection& w, const QString& code, const QString& name)
    {
        w.ButtnNew->click();
        typeText(w.Text1, code);
        typeText(w.Text2, name);
        w.ButtnSave->click();
    }

private slots:
    void init() { folder_ = freshFolder(); }
    void cleanup()
    {
        FrmJCsection::instance().ButtnQuit_Click();
        FrmJCbgdc::instance().ButtnQuit_Click();
        folder_.reset();
    }

    void numericCodes_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("numeric");
        QTest::addColumn<int>("whole");
        QTest::newRow("12") << "12" << true << 12;
        QTest::newRow("007") << "007" << true << 7;
        QTest::newRow("-3") << "-3" << true << -3;
        QTest::newRow("1.5 to even") << "1.5" << true << 2;
        QTest::newRow("2.5 to even") << "2.5" << true << 2;
        QTest::newRow("blanks") << " 12 " << true << 12;
        QTest::newRow("exponent") << "1e3" << true << 1000;
        QTest::newRow("A1") << "A1" << false << 0;
        QTest::newRow("12a") << "12a" << false << 0;
        QTest::newRow("grouped") << "1,000" << false << 0;
        QTest::newRow("hex") << "0x10" << false << 0;
        QTest::newRow("inf") << "inf" << false << 0;
        QTest::newRow("beyond 32 bits") << "3000000000" << true << 0;
    }
    void numericCodes()
    {
        QFETCH(QString, text);
        QFETCH(bool, numeric);
        QFETCH(int, whole);
        QCOMPARE(SectionCode::IsNumeric(text), numeric);
        const auto v = SectionCode::ToInt32(text);
        QCOMPARE(v.has_value(), whole != 0);
        if (v)
            QCOMPARE(*v, whole);
    }

    // Codes are kept as typed; the checks speak as information messages.
    void sectionChecksAndCodes()
    {
        FrmJCsection& w = FrmJCsection::instance();
        w.showModally();
        // The blank row of the empty list leads to Browse with no key.
        clickRow(w, 0);
        QCOMPARE(buttons(w), QStringLiteral("NUD-"));
        w.ButtnUpdate->click();
        QCOMPARE(lastText(), QStringLiteral("没有符合条件的数据记录"));
        QCOMPARE(lastTitle(), QStringLiteral("提示"));
        w.ButtnDel->click();
        QCOMPARE(lastTitle(), QStringLiteral("系统错误"));
        QCOMPARE(MessageBox::shownBoxes().last().icon, MessageBox::Icon::Critical);
        w.ButtnSave->setEnabled(true);
        w.ButtnSave->click();
        QCOMPARE(lastText(), QStringLiteral("数据已经保存"));
        QCOMPARE(lastTitle(), QStringLiteral("提示"));

        w.ButtnNew->click();
        w.ButtnSave->click();
        QCOMPARE(lastText(), QStringLiteral("科室编号不能为空,请输入"));
        typeText(w.Text1, QStringLiteral("12a"));
        w.Text1->setCursorPosition(0);
        w.ButtnSave->click();
        QCOMPARE(lastText(), QStringLiteral("科室编号必须为数字,请重新输入"));
        QCOMPARE(lastTitle(), QStringLiteral("提示"));
        QCOMPARE(w.Text1->selectedText(), QStringLiteral("12a"));
        w.Text1->setText(QStringLiteral("007"));
        w.ButtnSave->click();
        QCOMPARE(lastText(), QStringLiteral("科室名称名称不能为空,请输入"));
        typeText(w.Text2, QStringLiteral("内科"));
        w.ButtnSave->click();
        addSection(w, QStringLiteral("1.5"), QStringLiteral("外科"));
        addSection(w, QStringLiteral("-3"), QStringLiteral("儿科 100%"));
        QCOMPARE(queryInt(QStringLiteral("SELECT count(*) FROM section")), 3);
        QCOMPARE(stored(QStringLiteral("SELECT ksid FROM section WHERE ksname = '内科'")), QStringLiteral("007"));
        w.ButtnQuit->click();
        w.showModally();
        QCOMPARE(rowTexts(w, 0), (QStringList{QStringLiteral("007"), QStringLiteral("内科")}));

        // Deleting a section leaves its physicians.
        QVERIFY(TestFolder::exec(QStringLiteral("INSERT INTO doctor VALUES('D1','王医生','7')")));
        answerNext(MessageBox::Answer::Ok);
        w.ButtnDel->click();
        QCOMPARE(MessageBox::shownBoxes().last().text,
                 QStringLiteral("你将删除科室编号为 007 的科室,删除后将不能恢复,请确认是否删除?"));
        QCOMPARE(queryInt(QStringLiteral("SELECT count(*) FROM section")), 2);
        QCOMPARE(queryInt(QStringLiteral("SELECT count(*) FROM doctor")), 1);
    }

    // A physician stores the picked section's number in plain decimal; the
    // editor's lookup by that number finds the physician.
    void physicianStoresThePickedSection()
    {
        QVERIFY(TestFolder::exec(QStringLiteral("INSERT INTO section VALUES('007','内科'),('12','外科')")));
        FrmJCbgdc& w = FrmJCbgdc::instance();
        w.showModally();
        QCOMPARE(buttons(w), QStringLiteral("N---"));
        QCOMPARE(w.Comboks->count(), 2);
        w.ButtnNew->click();
        typeText(w.Text1, QStringLiteral("D1"));
        typeText(w.Text2, QStringLiteral("王医生"));
        // A typed name, even one on the list, is no pick.
        typeText(w.Comboks->lineEdit(), QStringLiteral("内科"));
        QTest::keyClick(w.Comboks, Qt::Key_Return);
        w.ButtnSave->click();
        QCOMPARE(lastText(), QStringLiteral("所属科室输入不正确"));
        QCOMPARE(lastTitle(), QStringLiteral("错误"));
        QVERIFY(w.Comboks->hasFocus());
        pick(w.Comboks, 0);
        QCOMPARE(w.chosenSection(), 0);
        w.ButtnSave->click();
        QCOMPARE(stored(QStringLiteral("SELECT ksid FROM doctor WHERE dcid = 'D1'")), QStringLiteral("7"));
        QCOMPARE(rowTexts(w, 0), (QStringList{QStringLiteral("D1"), QStringLiteral("王医生"), QStringLiteral("内科")}));
        // The editor lists a section's physicians by the section's number.
        const QString key = QString::number(*SectionCode::ToInt32(QStringLiteral("007")));
        QCOMPARE(stored(QStringLiteral("SELECT dcname FROM doctor WHERE ksid = ?"), {key}), QStringLiteral("王医生"));

        // Listed again, "007" is not "7": the physician shows no section, and
        // its save stops until one is picked.
        w.ButtnQuit->click();
        w.showModally();
        QCOMPARE(w.MSHFlexGrid1->rows(), 1);
        QCOMPARE(w.MSHFlexGrid1->cell(0, 2), QString());
        w.ButtnUpdate->click();
        w.ButtnSave->click();
        QCOMPARE(lastText(), QStringLiteral("所属科室不能为空,请输入"));
        pick(w.Comboks, 1);
        w.Text1->setText(QStringLiteral("D9"));
        w.ButtnSave->click();
        QCOMPARE(stored(QStringLiteral("SELECT dcid || ksid FROM doctor")), QStringLiteral("D912"));
        QCOMPARE(rowTexts(w, 0), (QStringList{QStringLiteral("D9"), QStringLiteral("王医生"), QStringLiteral("外科")}));
        QCOMPARE(w.currentKey(), QStringLiteral("D9"));

        // Without sections nothing can be saved.
        w.ButtnQuit->click();
        QVERIFY(TestFolder::exec(QStringLiteral("DELETE FROM section")));
        w.showModally();
        QCOMPARE(w.Comboks->count(), 0);
        w.ButtnNew->click();
        typeText(w.Text1, QStringLiteral("D2"));
        typeText(w.Text2, QStringLiteral("赵"));
        typeText(w.Comboks->lineEdit(), QStringLiteral("外科"));
        w.ButtnSave->click();
        QCOMPARE(lastText(), QStringLiteral("所属科室输入不正确"));
        QCOMPARE(queryInt(QStringLiteral("SELECT count(*) FROM doctor")), 1);
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
        QCOMPARE(stored(QStringLiteral("SELECT group_concat(dcid || dcname || ksid, ' ') FROM doctor")),
                 QStringLiteral("D1甲医生1 D2乙医生2"));
    }
};

QTEST_MAIN(TestSectionsPhysicians)
#include "tst_sections_physicians.moc"
