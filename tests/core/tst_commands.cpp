// Every command of the main window and the editor opens a window that the
// program registers at start-up (registerWindows). The registered openers are
// replaced by recorders, so no window is shown: what is checked is that each
// command reaches a window in the table, the right one, with its opening
// property. A command whose window is missing logs "no window registered" and
// fails this test.
#include "RegisterWindows.h"
#include "core/FrmMain.h"
#include "core/Mmain.h"
#include "core/Openers.h"
#include "core/QvButton.h"
#include "editor/DataRecord.h"
#include "platform/Environment.h"
#include "platform/MessageBox.h"
#include "platform/Opener.h"
#include "support/CoreKit.h"
#include "support/EditorKit.h"

#include <QAction>
#include <QMenu>
#include <QRegularExpression>
#include <QTest>

using namespace kit;

class tst_commands : public QObject {
    Q_OBJECT
private slots:
    void everyCommandReachesARegisteredWindow()
    {
        auto folder = editorFolder();
        QVERIFY(folder->ok());
        Environment::setPrinterInstalledOverride(true);
        actAsAdmin();
        registerWindows();
        auto opened = std::make_shared<QStringList>();
        for (const Openers::Window window : Openers::registered())
            Openers::setOpener(window, [window, opened](Openers::How how) {
                *opened << Openers::name(window) + QLatin1Char('/') + Openers::name(how);
            });
        QTest::failOnWarning(QRegularExpression(QStringLiteral("no window registered")));

        insertReport(QStringLiteral("C1"), QStringLiteral("命令"), QStringLiteral("系统管理员"));
        FrmMain* w = FrmMain::ShowMain();
        QVERIFY(w);
        struct Command {
            const char* item;     // menu item, or pop-up item
            const char* button;   // its tool-bar button, if any
            const char* window;   // the window and its opening property
        };
        const Command commands[] = {
            {"新建报告", "ButtnNew", "DataRecord/new"},
            {"查看报告m", "buttnview", "DataRecord/view"},
            {"修改报告m", "buttnfix", "DataRecord/modify"},
            {"打印报告m", "ButtnPrint", "Frmreport/frmmain"},
            {"查看报告", nullptr, "DataRecord/view"},
            {"修改报告", nullptr, "DataRecord/modify"},
            {"打印报告", nullptr, "Frmreport/frmmain"},
            {"用户设置", nullptr, "FrmJCdoctor/"},
            {"科室设置", nullptr, "FrmJCsection/"},
            {"开单医师设置", nullptr, "FrmJCbgdc/"},
            {"报告项目设置", nullptr, "Frmbgxm/"},
            {"打印纸张设置", nullptr, "Frmprintset/"},
            {"DICOM图像转换参数", nullptr, "FrmdcmConv/"},
            {"DICOM图像发送参数", nullptr, "FrmdcmSend/"},
            {"脚踏开关端口设置", nullptr, "FrmComset/"},
            {"检查部位设置", nullptr, "FrmMBpart/"},
            {"部位分类设置", nullptr, "FrmMBassort/"},
            {"模板管理", nullptr, "FrmMBmanager/"},
            {"词库维护", nullptr, "Frmck/"},
            {"查询报告", "ButtnFind", "Frmfind/"},
            {"统计报告", "ButtnGraph", "FrmTJ/"},
        };
        for (const Command& c : commands) {
            const QString item = QString::fromUtf8(c.item);
            QAction* a = w->action(item);
            QVERIFY2(a && a->isEnabled(), c.item);
            w->LoadDayList(QDate(2024, 1, 2));   // the report's day: a current row
            opened->clear();
            MessageBox::clearShown();
            a->trigger();
            QVERIFY2(MessageBox::shownBoxes().isEmpty(), qPrintable(item + QStringLiteral(": ") + lastText()));
            QCOMPARE(*opened, QStringList{QString::fromUtf8(c.window)});
            if (!c.button)
                continue;
            auto* b = w->findChild<QvButton*>(QString::fromLatin1(c.button));
            QVERIFY2(b && b->isEnabled(), c.button);
            w->LoadDayList(QDate(2024, 1, 2));
            opened->clear();
            QTest::mouseClick(b, Qt::LeftButton);
            QCOMPARE(*opened, QStringList{QString::fromUtf8(c.window)});
        }
        // The window's other commands open windows of core itself, not through the table.
        for (const QAction* a : w->findChildren<QAction*>()) {
            if (a->objectName().isEmpty() || a->menu() || a->isSeparator())
                continue;
            const bool listed = std::any_of(std::begin(commands), std::end(commands), [&](const Command& c) {
                return a->objectName() == QString::fromUtf8(c.item);
            });
            static const QStringList own{"删除报告m", "删除报告", "系统设置",   "密码设置", "备份数据",
                                         "还原数据",  "清空数据", "关于本软件", "主题帮助", "金属",
                                         "秋实",      "海洋",     "重新登录",   "退出"};
            QVERIFY2(listed || own.contains(a->objectName()), qPrintable(a->objectName() + " is not checked here"));
        }

        // The editor's commands: the template manager for loading and for
        // saving as a template, the preview of a saved report.
        DataRecord& ed = DataRecord::instance();
        ed.ensureLoaded();
        ed.ButtnNew_Click();
        typeRecord(ed, QStringLiteral("C2"), QStringLiteral("编辑"));
        opened->clear();
        ed.Buttnmbzr_Click();
        ed.ButtnSwmb_Click();
        QCOMPARE(*opened, (QStringList{"FrmMBmanager/load", "FrmMBmanager/insert"}));
        ed.ButtnSave_Click();
        opened->clear();
        MessageBox::clearShown();
        ed.ButtnPrint_Click();
        QVERIFY2(MessageBox::shownBoxes().isEmpty(), qPrintable(lastText()));
        QCOMPARE(*opened, QStringList{"Frmreport/datarecord"});
        closeEditor();

        // A window missing from the table is no silent failure.
        Openers::setOpener(Openers::Window::FrmTJ, {});
        QTest::ignoreMessage(QtWarningMsg, "no window registered as FrmTJ");
        w->action(QStringLiteral("统计报告"))->trigger();
        QCOMPARE(lastText(), QStringLiteral("程序错误：窗口 FrmTJ 没有登记。"));
        QCOMPARE(lastTitle(), QStringLiteral("错误"));
        closeWindows();
        flushDeletes();
        Environment::setPrinterInstalledOverride(std::nullopt);
    }
};

QTEST_MAIN(tst_commands)
#include "tst_commands.moc"
