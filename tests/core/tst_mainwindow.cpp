// The main window: the day's report list, its selection and pop-up menu, deleting,
// the commands each right disables, skins, re-login and resizing.
#include "core/FrmMain.h"
#include "core/Mmain.h"
#include "core/Database.h"
#include "core/Modini.h"
#include "core/Openers.h"
#include "core/Palette.h"
#include "core/QvButton.h"
#include "core/SkinPanel.h"
#include "core/ReportGrid.h"
#include "core/ReportList.h"
#include "core/ReportRecord.h"
#include "core/ReportStore.h"
#include "core/login.h"
#include "platform/AppPaths.h"
#include "platform/Environment.h"
#include "platform/MessageBox.h"
#include "support/CoreKit.h"
#include "support/TestFolder.h"

#include <QAction>
#include <QApplication>
#include <QDateEdit>
#include <QMenu>
#include <QTableView>
#include <QTest>

using namespace kit;

namespace {
const QDate kToday(2024, 3, 15);

void addReport(const QString& exam, const QString& name, const QVariant& age, const QString& date, const QString& rpdr,
               const QString& conclusion = QString())
{
    const QueryResult r = Database::ExecuteSql(
        QStringLiteral(
            "INSERT INTO reports (obligate5, brname, sex, age, ageunit, sectionoffice, inpatientid, obligate3, "
            "utpatientid, rpdate, rpdr, checkconclusion, picture1) VALUES (?, ?, '男', ?, '岁', '内科', 'Z1', "
            "'M1', '王医师', ?, ?, ?, ?)"),
        {exam, name, age, date, rpdr, conclusion, QByteArray(2048, 'x')});
    QVERIFY2(r.ok(), qPrintable(r.description));
}

void clickAt(QTableView* g, Qt::MouseButton button, const QPoint& at)
{
    QTest::mousePress(g->viewport(), button, {}, at);
    QTest::mouseRelease(g->viewport(), button, {}, at);
    QCoreApplication::processEvents();
}

QString cell(QTableView* g, int r, int c) { return ListGrid::Cell(g, r, c); }

// The check every list's column table passes refuses a table out of step
// with its names: two columns swapped, an age without its unit, a key shown.
namespace columns {
using ReportGrid::Column;
using ReportGrid::Form;
enum Col {
    kAge,
    kName,
    kKey,
    kCount
};
constexpr std::pair<Col, const char*> kNamed[kCount] = {{kAge, "age"}, {kName, "brname"}, {kKey, "ctid"}};
constexpr Column kGood[kCount] = {{"年龄", "age", Form::Age, 600}, {"姓名", "brname"}, {"序号", "ctid"}};
constexpr Column kSwapped[kCount] = {{"姓名", "brname"}, {"年龄", "age", Form::Age, 600}, {"序号", "ctid"}};
constexpr Column kNoUnit[kCount] = {{"年龄", "age", Form::Text, 600}, {"姓名", "brname"}, {"序号", "ctid"}};
constexpr Column kKeyShown[kCount] = {
    {"年龄", "age", Form::Age, 600}, {"姓名", "brname"}, {"序号", "ctid", Form::Text, 300}};
static_assert(ReportGrid::Matches(kGood, kNamed));
static_assert(!ReportGrid::Matches(kSwapped, kNamed) && !ReportGrid::Matches(kNoUnit, kNamed)
              && !ReportGrid::Matches(kKeyShown, kNamed));
}

QStringList column(QTableView* g, int c)
{
    QStringList out;
    for (int r = 0; r < ListGrid::RowCount(g); ++r)
        out << cell(g, r, c);
    return out;
}

// Every command that the rights table names, with the right that disables it.
struct Governed {
    const char* name;
    int right;
    bool button;
};
const Governed kGoverned[] = {
    {"buttnview", 0, true},     {"ButtnPrint", 0, true},    {"查看报告m", 0, false},    {"打印报告m", 0, false},
    {"查看报告", 0, false},     {"打印报告", 0, false},     {"打印纸张设置", 0, false}, {"buttnfix", 1, true},
    {"ButtnDel", 1, true},      {"ButtnNew", 1, true},      {"新建报告", 1, false},     {"修改报告m", 1, false},
    {"删除报告m", 1, false},    {"修改报告", 1, false},     {"删除报告", 1, false},     {"用户设置", 4, false},
    {"科室设置", 4, false},     {"开单医师设置", 4, false}, {"系统设置", 4, false},     {"报告项目设置", 4, false},
    {"检查部位设置", 4, false}, {"部位分类设置", 4, false}, {"词库维护", 5, false},     {"模板管理", 5, false},
    {"查询报告", 6, false},     {"统计报告", 6, false},     {"ButtnGraph", 6, true},    {"ButtnFind", 6, true},
    {"备份数据", 7, false},     {"还原数据", 7, false},     {"清空数据", 7, false},
};

bool enabledOf(FrmMain* w, const Governed& g)
{
    const QString n = QString::fromUtf8(g.name);
    if (g.button)
        return w->findChild<QvButton*>(n)->isEnabled();
    return w->action(n)->isEnabled();
}
}

class tst_MainWindow : public QObject {
    Q_OBJECT
private slots:
    void init()
    {
        folder_ = freshFolder(kToday, QSize(1280, 1024));
        QVERIFY(folder_->ok());
        actAsAdmin(QStringLiteral("张医生"));
    }
    void cleanup()
    {
        closeWindows();
        folder_.reset();
    }

    void listOfADay()
    {
        addReport(QStringLiteral("X3"), QStringLiteral("丙"), 30.0, QStringLiteral("2024-03-15"),
                  QStringLiteral("张医生"), QStringLiteral("未见异常"));
        addReport(QStringLiteral("X1"), QStringLiteral("甲"), 7, QStringLiteral("2024-03-15"),
                  QStringLiteral("李医生"));
        addReport(QStringLiteral("X2"), QStringLiteral("乙"), 2.5, QStringLiteral("2024-03-14"),
                  QStringLiteral("李医生"));
        FrmMain* w = FrmMain::ShowMain();
        QTableView* g = w->MSHFlexGrid1;
        QCOMPARE(w->DTPicker1->date(), kToday);
        QCOMPARE(ReportList::SelectionColor(g), ReportList::kSelButtonShadow);
        QCOMPARE(column(g, ReportList::kExamColumn), QStringList({"X3", "X1"}));   // key order
        QStringList first;
        for (int c = 0; c < ReportList::kColumns; ++c)
            first << cell(g, 0, c);
        QCOMPARE(first, QStringList({"X3", "丙", "男", "30岁", "内科", "Z1", "M1", "王医师", "2024-03-15", "张医生",
                                     "未见异常", "1"}));
        // Every column of the list's table shows its field: a report with every
        // listed field stored leaves no cell empty.
        for (int c = 0; c < ReportList::kColumns; ++c)
            QVERIFY2(!cell(g, 0, c).isEmpty(), ReportList::kColumnTable[c].header);
        QCOMPARE(cell(g, 1, ReportList::kAgeColumn), QStringLiteral("7岁"));
        QCOMPARE(ListGrid::CurrentRow(g), 0);
        // The date column shows the date part; a text that is no date stays as it is.
        QCOMPARE(ReportGrid::DateText(QStringLiteral("2024-03-15 08:30:00")), QStringLiteral("2024-03-15"));
        QCOMPARE(ReportGrid::DateText(QStringLiteral("2024-02-30")), QStringLiteral("2024-02-30"));
        QCOMPARE(ReportGrid::DateText(QStringLiteral("2024-+3-15")), QStringLiteral("2024-+3-15"));

        // Another date through the picker; then a date without reports.
        w->DTPicker1->setDate(QDate(2024, 3, 14));
        QCOMPARE(column(g, ReportList::kExamColumn), QStringList({"X2"}));
        QCOMPARE(cell(g, 0, ReportList::kAgeColumn), QStringLiteral("2.5岁"));
        w->DTPicker1->setDate(QDate(2024, 3, 1));
        QCOMPARE(column(g, ReportList::kExamColumn), QStringList({QString()}));
        QVERIFY(ReportList::IsEmpty(g));
        QCOMPARE(ReportList::SelectionColor(g), ReportList::kSelWhite);
        QVERIFY(MessageBox::shownBoxes().isEmpty());

        // Right click on the empty list opens nothing; delete refuses.
        w->MSHFlexGrid1_MouseUp(Qt::RightButton, QPoint(10, 5));
        QVERIFY(!w->popupmenut->isVisible());
        w->删除报告_Click();
        QCOMPARE(lastText(), QStringLiteral("当前数据记录为空，不能进行删除操作"));
        QCOMPARE(lastTitle(), QStringLiteral("错误"));
    }

    void popupAndRowSelection()
    {
        for (int i = 0; i < 3; ++i)
            addReport(QStringLiteral("P%1").arg(i), QStringLiteral("病人"), 40, QStringLiteral("2024-03-15"),
                      QStringLiteral("张医生"));
        FrmMain* w = FrmMain::ShowMain();
        QTableView* g = w->MSHFlexGrid1;
        QTest::qWait(0);
        clickAt(g, Qt::RightButton, g->visualRect(g->model()->index(1, ReportList::kNameColumn)).center());
        QCOMPARE(ListGrid::CurrentRow(g), 1);
        QCOMPARE(g->selectionModel()->selectedIndexes().size(), int(ReportList::kColumns));   // the whole row
        QVERIFY(w->popupmenut->isVisible());
        w->popupmenut->hide();

        // A right click below the last row: the menu acts on the current row,
        // which stays visibly selected.
        clickAt(g, Qt::LeftButton, g->visualRect(g->model()->index(2, ReportList::kInpatientColumn)).center());
        const QPoint below(40, g->viewport()->height() - 4);
        QVERIFY(g->indexAt(below).row() < 0);
        clickAt(g, Qt::RightButton, below);
        QVERIFY(w->popupmenut->isVisible());
        QCOMPARE(ListGrid::CurrentRow(g), 2);
        QCOMPARE(g->selectionModel()->selectedIndexes().size(), int(ReportList::kColumns));
        w->popupmenut->hide();
    }

    void deleteReports()
    {
        addReport(QStringLiteral("D1"), QStringLiteral("一"), 1, QStringLiteral("2024-03-15"),
                  QStringLiteral("张医生"));
        addReport(QStringLiteral("D2"), QStringLiteral("二"), 2, QStringLiteral("2024-03-15"),
                  QStringLiteral("李医生"));
        addReport(QStringLiteral("D3"), QStringLiteral("三"), 3, QStringLiteral("2024-03-15"),
                  QStringLiteral("张医生"));
        QVERIFY(
            TestFolder::exec(QStringLiteral("INSERT INTO Study (StudyUID, Status) VALUES ('u1', '2'), ('u2', '3')")));
        FrmMain* w = FrmMain::ShowMain();
        QTableView* g = w->MSHFlexGrid1;

        // Cancel keeps everything.
        g->selectRow(1);
        MessageBox::queueAnswer(MessageBox::Answer::Cancel);
        w->删除报告_Click();
        QCOMPARE(lastText(), QStringLiteral("你将删除检查号为 D2 的报告,删除后将不能恢复,请确认是否删除?"));
        QCOMPARE(lastTitle(), QStringLiteral("提示"));
        QCOMPARE(MessageBox::shownBoxes().last().buttons, MessageBox::Buttons::OkCancel);
        QCOMPARE(ListGrid::RowCount(g), 3);

        // The middle one of three goes; the others keep their order.
        MessageBox::queueAnswer(MessageBox::Answer::Ok);
        w->删除报告_Click();
        QCOMPARE(column(g, ReportList::kExamColumn), QStringList({"D1", "D3"}));
        QCOMPARE(queryInt(QStringLiteral("SELECT count(*) FROM reports")), 2);
        QCOMPARE(queryInt(QStringLiteral("SELECT count(*) FROM Study WHERE Status IS NULL")), 1);
        QCOMPARE(queryInt(QStringLiteral("SELECT count(*) FROM Study WHERE Status = '3'")), 1);

        // Own report without right 2, then the last one: the empty state.
        Mmain::gRights[Mmain::RightEditOthers] = false;
        for (const QStringList& left : {QStringList({"D1"}), QStringList({QString()})}) {
            g->selectRow(ListGrid::RowCount(g) - 1);
            MessageBox::queueAnswer(MessageBox::Answer::Ok);
            w->删除报告_Click();
            QCOMPARE(column(g, ReportList::kExamColumn), left);
        }
        QVERIFY(ReportList::IsEmpty(g));
        QCOMPARE(queryInt(QStringLiteral("SELECT count(*) FROM reports")), 0);
        QCOMPARE(queryInt(QStringLiteral("SELECT count(*) FROM Study WHERE Status IS NULL")), 2);
    }

    // Changes made elsewhere leave the user's place: a report deleted above the
    // selected one, and a new report of the day saved from another window,
    // keep the selection on its report; only a new report from the editor this
    // window opened takes it.
    void storeChangesKeepTheSelection()
    {
        for (const char* exam : {"S1", "S2", "S3"})
            addReport(QString::fromLatin1(exam), QStringLiteral("甲"), 1, QStringLiteral("2024-03-15"),
                      QStringLiteral("张医生"));
        FrmMain* w = FrmMain::ShowMain();
        QTableView* g = w->MSHFlexGrid1;
        auto saveNew = [](const QString& exam) {
            ReportRecord::Texts t;
            t[ReportRecord::obligate5] = exam;
            t[ReportRecord::brname] = QStringLiteral("乙");
            QVERIFY(ReportStore::Insert(t, QString(), kToday, {}).result.ok());
        };
        auto selectedExam = [g] { return ReportList::SelectedText(g, ReportList::kExamColumn); };
        ListGrid::SelectRow(g, 1);
        QVERIFY(ReportStore::Delete(cell(g, 0, ReportList::kKeyColumn)).ok());
        QCOMPARE(column(g, ReportList::kExamColumn), QStringList({"S2", "S3"}));
        QVERIFY(ReportList::SelectedRow(g) == 0 && selectedExam() == QStringLiteral("S2"));

        saveNew(QStringLiteral("S4"));
        QCOMPARE(column(g, ReportList::kExamColumn), QStringList({"S2", "S3", "S4"}));
        QCOMPARE(selectedExam(), QStringLiteral("S2"));

        Openers::setOpener(Openers::Window::DataRecord, [&saveNew](Openers::How) { saveNew(QStringLiteral("S5")); });
        w->新建报告_Click();
        Openers::setOpener(Openers::Window::DataRecord, {});
        QCOMPARE(column(g, ReportList::kExamColumn), QStringList({"S2", "S3", "S4", "S5"}));
        QCOMPARE(selectedExam(), QStringLiteral("S5"));
    }

    void rightsDisableExactlyTheirCommands()
    {
        for (int right : {0, 1, 2, 3, 4, 5, 6, 7}) {
            Mmain::gRights.fill(true);
            Mmain::gRights[right] = false;
            FrmMain* w = FrmMain::ShowMain();
            for (const Governed& g : kGoverned)
                QVERIFY2(enabledOf(w, g) == (g.right != right), g.name);
            for (const char* free : {"DICOM图像转换参数", "DICOM图像发送参数", "脚踏开关端口设置", "密码设置",
                                     "关于本软件", "主题帮助", "金属", "海洋", "秋实", "重新登录", "退出"})
                QVERIFY2(w->action(QString::fromUtf8(free))->isEnabled(), free);
            // A skin change only colours: it enables nothing.
            w->ChangeSkin(3);
            for (const Governed& g : kGoverned)
                QVERIFY2(enabledOf(w, g) == (g.right != right), g.name);
            w->close();
            flushDeletes();
            Database::OpenDatabase();
        }
    }

    void disabledShortcutsDoNothing()
    {
        Mmain::gRights[Mmain::RightEditOwn] = false;
        Mmain::gRights[Mmain::RightViewPrint] = false;
        FrmMain* w = FrmMain::ShowMain();
        w->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(w));
        int fired = 0;
        for (const char* n : {"新建报告", "查看报告m", "修改报告m", "删除报告m", "打印报告m", "查询报告"})
            connect(w->action(QString::fromUtf8(n)), &QAction::triggered, this, [&fired] { ++fired; });
        for (Qt::Key k : {Qt::Key_F2, Qt::Key_F3, Qt::Key_F4, Qt::Key_F8, Qt::Key_Delete})
            QTest::keyClick(w, k);
        QCOMPARE(fired, 0);
        // An enabled one does fire by its key.
        QTest::keyClick(w, Qt::Key_F9);
        QCOMPARE(fired, 1);
    }

    // After login the date picker has the focus; the menu keys still run their commands
    // from there, while the picker keeps its own arrow keys.
    void menuKeysActFromTheDatePicker()
    {
        FrmMain* w = FrmMain::ShowMain();
        QVERIFY(QTest::qWaitForWindowActive(w));
        QDateEdit* picker = w->DTPicker1;
        QCOMPARE(QApplication::focusWidget(), picker);
        QTest::keyClick(picker, Qt::Key_Delete);
        QCOMPARE(lastText(), QStringLiteral("当前数据记录为空，不能进行删除操作"));
        auto sections = std::make_shared<int>(0);
        Openers::setOpener(Openers::Window::FrmJCsection, [sections](Openers::How) { ++*sections; });
        QTest::keyClick(picker, Qt::Key_K, Qt::ControlModifier);
        Openers::setOpener(Openers::Window::FrmJCsection, {});
        QCOMPARE(*sections, 1);
        QCOMPARE(picker->text(), QStringLiteral("2024-03-15"));
        QTest::keyClick(picker, Qt::Key_Down);
        QVERIFY(picker->date() < kToday);
        QTest::keyClick(picker, Qt::Key_Up);
        QCOMPARE(picker->date(), kToday);
        QTest::keyClick(picker, Qt::Key_E, Qt::ControlModifier);
        flushDeletes();
        QVERIFY(!FrmMain::current());
    }

    void newReportMovesTheListToToday()
    {
        // The editor is registered by its own layer; here the table records the openings.
        auto opened = std::make_shared<QStringList>();
        Openers::setOpener(Openers::Window::DataRecord, [opened](Openers::How how) { *opened << Openers::name(how); });
        addReport(QStringLiteral("Y1"), QStringLiteral("昨"), 1, QStringLiteral("2024-03-14"),
                  QStringLiteral("张医生"));
        FrmMain* w = FrmMain::ShowMain();
        QTableView* g = w->MSHFlexGrid1;
        QVERIFY(ReportList::IsEmpty(g));
        // On today's list no reload happens: a row added behind its back stays unseen.
        addReport(QStringLiteral("T1"), QStringLiteral("今"), 1, QStringLiteral("2024-03-15"),
                  QStringLiteral("张医生"));
        w->新建报告_Click();
        QVERIFY(ReportList::IsEmpty(g));
        // From another date the list moves to today and reloads.
        w->DTPicker1->setDate(QDate(2024, 3, 14));
        QCOMPARE(column(g, ReportList::kExamColumn), QStringList({"Y1"}));
        w->新建报告_Click();
        QCOMPARE(w->DTPicker1->date(), kToday);
        QCOMPARE(column(g, ReportList::kExamColumn), QStringList({"T1"}));
        QCOMPARE(*opened, QStringList({"new", "new"}));
        Openers::setOpener(Openers::Window::DataRecord, {});
    }

    void openersAndPrintMessages()
    {
        FrmMain* w = FrmMain::ShowMain();
        // The command opens the window registered for it.
        auto found = std::make_shared<int>(0);
        Openers::setOpener(Openers::Window::Frmfind, [found](Openers::How) { ++*found; });
        MessageBox::clearShown();
        w->查询报告_Click();
        QCOMPARE(*found, 1);
        QVERIFY(MessageBox::shownBoxes().isEmpty());
        Openers::setOpener(Openers::Window::Frmfind, {});

        // The print commands need a printer, then a report.
        Environment::setPrinterInstalledOverride(false);
        w->打印报告_Click();
        QCOMPARE(lastText(), QStringLiteral("没有安装打印机，请安装后再进行此操作"));
        QCOMPARE(lastTitle(), QStringLiteral("提示"));
        w->打印纸张设置_Click();
        QCOMPARE(lastText(), QStringLiteral("未打印机，安装打印机后才能使用打印设置功能。"));
        QCOMPARE(lastTitle(), QStringLiteral("错误"));
        // None because the print service does not run: the printing layer's words, under one
        // title for both commands.
        Openers::setPrintServiceDown([] { return std::optional(QStringLiteral("打印服务没有运行")); });
        for (const auto command : {&FrmMain::打印报告_Click, &FrmMain::打印纸张设置_Click}) {
            (w->*command)();
            QCOMPARE(lastText(), QStringLiteral("打印服务没有运行"));
            QCOMPARE(lastTitle(), QStringLiteral("错误"));
        }
        Openers::setPrintServiceDown(nullptr);
        Environment::setPrinterInstalledOverride(true);
        w->打印报告_Click();
        QCOMPARE(lastText(), QStringLiteral("当前记录集为空，没有需要打印的报告"));
    }

    void skinChoice()
    {
        FrmMain* w = FrmMain::ShowMain();
        QVERIFY(w->action(QStringLiteral("金属"))->isChecked());
        w->action(QStringLiteral("海洋"))->trigger();
        QCOMPARE(Modini::GetIniValue(QStringLiteral("system"), QStringLiteral("skinid")), QStringLiteral("2"));
        QVERIFY(!w->action(QStringLiteral("金属"))->isChecked());
        // The tool bar's lines and the status bar follow the palette; the menu skin,
        // recoloured after them, leaves the window's own colours alone.
        const QImage shot = w->grab().toImage();
        QCOMPARE(shot.pixelColor(w->Pictool->mapTo(w, QPoint(10, 0))), Palette::ToQColor(Palette::gLineColor));
        QCOMPARE(shot.pixelColor(w->Linetool2->mapTo(w, QPoint(10, 0))), Palette::ToQColor(Palette::gLineColor));
        QCOMPARE(shot.pixelColor(w->PicStatusBar->mapTo(w, QPoint(10, 0))), Palette::ToQColor(Palette::gStatusColorTo));
        w->ChangeSkin(1);

        // A choice that cannot be remembered (a full disk, a settings file the
        // program does not rewrite) still colours this run, and the user is told.
        QVERIFY(MessageBox::shownBoxes().isEmpty());
        const QByteArray odd = "[system]\r\nskinid=1\r\nhname=\xFF\xFE\r\n";
        QVERIFY(writeBytes(AppPaths::iniFile(), odd));
        w->ChangeSkin(3);
        QCOMPARE(Palette::gSkinId, 3);
        QCOMPARE(lastTitle(), QStringLiteral("错误"));
        QVERIFY2(lastText().contains(QStringLiteral("设置未保存")), qPrintable(lastText()));
        QCOMPARE(readBytes(AppPaths::iniFile()), odd);
        w->ChangeSkin(1);
    }

    void reloginAndExit()
    {
        FrmMain* w = FrmMain::ShowMain();
        w->重新登录_Click();
        flushDeletes();
        QVERIFY(!FrmMain::current());
        QVERIFY(Database::isOpen());
        QVERIFY(logIn(QStringLiteral("admin")));
        FrmMain::current()->退出_Click();
        flushDeletes();
        QVERIFY(!FrmMain::current() && !login::current());
        QVERIFY(!Database::isOpen());
        // The closed window's list no longer follows the store.
        emit ReportStore::notifier()->reportDeleted(1);
    }

    // The list follows the window down to 5600 x 4000 twips; below that nothing moves.
    void resizeRule()
    {
        FrmMain* w = FrmMain::ShowMain();
        w->showNormal();
        w->resize(900, 700);
        QCoreApplication::processEvents();
        const QSize gridBefore = w->MSHFlexGrid1->size();
        QCOMPARE(gridBefore.width(), 900);
        QCOMPARE(w->MSHFlexGrid1->geometry().bottom() + 1, w->height() - FrmMain::kStatusBarHeight);
        w->resize(300, 250);
        QCoreApplication::processEvents();
        QCOMPARE(w->MSHFlexGrid1->size(), gridBefore);
    }

private:
    std::unique_ptr<TestFolder> folder_;
};

QTEST_MAIN(tst_MainWindow)
#include "tst_mainwindow.moc"
