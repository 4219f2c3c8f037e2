// The login window and the system dialogs: keyboard flow, refusals with their
// exact texts, stored passwords, rights and injection strings; the settings,
// password and about dialogs and the menu items that open them.
#include "core/FrmAbout.h"
#include "core/FrmJCpz.h"
#include "core/FrmMain.h"
#include "core/FrmPassword.h"
#include "core/Mmain.h"
#include "core/Database.h"
#include "core/ModPassword.h"
#include "core/Modini.h"
#include "core/Palette.h"
#include "core/QvButton.h"
#include "core/QvTextBox.h"
#include "core/login.h"
#include "platform/AppPaths.h"
#include "platform/MessageBox.h"
#include "platform/Opener.h"
#include "platform/PrivateFileTesting.h"
#include "support/CoreKit.h"
#include "support/TestFolder.h"
#include "platform/FileDialogsTesting.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QFileDialog>
#include <QTemporaryDir>
#include <QTimer>
#include <QStyle>
#include <QTreeView>
#include <QLocale>
#include <QDateTime>
#include <QScopeGuard>
#include <QTest>

#include <sodium.h>

#include <algorithm>
#include <cerrno>

using namespace kit;

namespace {
const QString kHint = QStringLiteral("初始用户代号为\"admin\",密码为空");
const QString kWrong = QStringLiteral("用户登录的用户代号或密码错误！\r\n") + kHint;

QString ini(const QString& key) { return Modini::GetIniValue(QStringLiteral("system"), key); }

QVariant storedPassword(const QString& user)
{
    const QueryResult r = Database::QueryData(QStringLiteral("SELECT userpassword FROM user WHERE userid = ?"), {user});
    return r.hasRows() ? r.data->value(0, 0) : QVariant();
}

// Whether the login window takes these; the database is open again afterwards.
bool logsIn(const QString& user, const QString& password)
{
    const bool ok = logIn(user, password) != nullptr;
    closeWindows();
    if (!Database::isOpen())
        Database::OpenDatabase();
    return ok;
}
}

class tst_SysDialogs : public QObject {
    Q_OBJECT
private slots:
    void init()
    {
        folder_ = freshFolder();
        QVERIFY(folder_->ok());
        Mmain::gHospitalName = QStringLiteral("第一医院");
        Mmain::gUserId.clear();
        Mmain::gRights.fill(false);
    }
    void cleanup()
    {
        closeWindows();
        folder_.reset();
    }

    void enterMovesAndLogsIn()
    {
        login* w = openLogin();
        QVERIFY(w);
        w->Text1->setFocus();
        QTest::keyClicks(w->Text1, QStringLiteral("admin"));
        QTest::keyClick(w->Text1, Qt::Key_Return);
        QCOMPARE(QApplication::focusWidget(), static_cast<QWidget*>(w->Text2));
        QTest::keyClick(w->Text2, Qt::Key_Return);
        flushDeletes();
        QVERIFY(!login::current());
        QVERIFY(FrmMain::current());
        QCOMPARE(Mmain::gUserId, QStringLiteral("admin"));
        QCOMPARE(FrmMain::current()->LabUser->text(), QStringLiteral("用户: 系统管理员"));
        QVERIFY(MessageBox::shownBoxes().isEmpty());
    }

    void emptyCodeAndWrongPassword()
    {
        login* w = openLogin();
        w->Text2->setText(QStringLiteral("xy"));
        QCOMPARE(w->Text2->displayText(), QStringLiteral("**"));   // hidden, one * per character
        w->buttonlogin->click();
        QCOMPARE(lastText(), QStringLiteral("用户代号不能为空！\r\n") + kHint);
        QCOMPARE(lastTitle(), QStringLiteral("错误"));
        QVERIFY(w->Text2->text().isEmpty());
        QCOMPARE(QApplication::focusWidget(), static_cast<QWidget*>(w->Text1));

        QVERIFY(!logIn(QStringLiteral("admin"), QStringLiteral("wrong")));
        QCOMPARE(lastText(), kWrong);
        QCOMPARE(lastTitle(), QStringLiteral("错误"));
        QVERIFY(w->Text1->text().isEmpty() && w->Text2->text().isEmpty());
        QVERIFY(login::current());
        QVERIFY(Mmain::gUserId.isEmpty());
    }

    void passwordsAndRights()
    {
        // A hashed password, an empty-text password and rights 0, 2 and 6 only.
        const QVariant hash = ModPassword::HashPassword(QStringLiteral("s3cr'et"));
        QVERIFY(Database::ExecuteSql(QStringLiteral("INSERT INTO user VALUES (?, ?, ?, 1, 0, -1, 0, 0, 0, 1, 0)"),
                                     {QStringLiteral("Li"), QStringLiteral("李医生"), hash})
                    .ok());
        QVERIFY(
            TestFolder::exec(QStringLiteral("INSERT INTO user VALUES ('blank', '空', '', 1, 1, 1, 1, 1, 1, 1, 1)")));

        // An empty password does not match a stored empty text.
        QVERIFY(!logIn(QStringLiteral("blank")));
        QCOMPARE(lastText(), kWrong);
        // Injection strings are plain text, as password and as code (with the
        // empty password that the administrator's row would accept).
        for (const QString& attack : {QStringLiteral("' or ''='"), QStringLiteral("x' OR 1=1 --")}) {
            QVERIFY(!logIn(QStringLiteral("li"), attack));
            QCOMPARE(lastText(), kWrong);
            QVERIFY(!logIn(attack));
            QCOMPARE(lastText(), kWrong);
        }
        // The password is exact, the code is not case sensitive.
        QVERIFY(!logIn(QStringLiteral("LI"), QStringLiteral("S3CR'ET")));
        const int shown = MessageBox::shownBoxes().size();
        QVERIFY(logIn(QStringLiteral("LI"), QStringLiteral("s3cr'et")));
        QCOMPARE(MessageBox::shownBoxes().size(), shown);
        QCOMPARE(Mmain::gUserId, QStringLiteral("Li"));
        const std::array<bool, 8> expected{true, false, true, false, false, false, true, false};
        for (int k = 0; k < 8; ++k)
            QCOMPARE(Mmain::gRights[k], expected[k]);
    }

    void quitWithoutMainWindowCloses()
    {
        openLogin()->buttonquit->click();
        flushDeletes();
        QVERIFY(!login::current());
        QVERIFY(!Database::isOpen());
    }

    void settingsLoadAndSave()
    {
        // kz missing reads as clear; "1" ticks.
        QVERIFY(setIni("system", "kz", QString()) && setIni("system", "machine", QStringLiteral("DR-1")));
        {
            FrmJCpz d;
            d.Form_Load();
            QVERIFY(!d.Checkkz->isChecked());
            QCOMPARE(d.Text1->text(), QStringLiteral("第一医院"));
            QCOMPARE(d.Text2->text(), QStringLiteral("DR-1"));
            d.show();

            // Empty fields are refused; blanks are content.
            d.Text1->clear();
            d.ButtnSave->click();
            QCOMPARE(lastText(), QStringLiteral("医院名称不能为空"));
            QCOMPARE(lastTitle(), QStringLiteral("错误"));
            d.Text1->setText(QStringLiteral("   "));
            d.Text2->clear();
            d.ButtnSave->click();
            QCOMPARE(lastText(), QStringLiteral("机器名称不能为空"));
            QVERIFY(d.isVisible());
            d.Text2->setText(QStringLiteral("DR-2"));
            d.Checkkz->setChecked(true);
            d.ButtnSave->click();
            QVERIFY(!d.isVisible());
        }
        QVERIFY(readBytes(AppPaths::iniFile()).contains("\nhname=   \n"));   // blanks are kept
        QCOMPARE(ini(QStringLiteral("machine")), QStringLiteral("DR-2"));
        QCOMPARE(ini(QStringLiteral("kz")), QStringLiteral("1"));
        QCOMPARE(Mmain::gHospitalName, QStringLiteral("   "));

        // Quit writes nothing.
        const QByteArray before = readBytes(AppPaths::iniFile());
        {
            FrmJCpz d;
            d.Form_Load();
            QVERIFY(d.Checkkz->isChecked());
            d.Text1->setText(QStringLiteral("别的医院"));
            d.Checkkz->setChecked(false);
            d.ButtnQuit->click();
        }
        QCOMPARE(readBytes(AppPaths::iniFile()), before);
        QCOMPARE(Mmain::gHospitalName, QStringLiteral("   "));

        // A failed write is shown (options.ini cannot be replaced when a folder stands in its
        // place); the dialog stays and the hospital name is kept.
        QVERIFY(QFile::remove(AppPaths::iniFile()) && QDir().mkpath(AppPaths::iniFile()));
        FrmJCpz d;
        d.Form_Load();
        d.Text1->setText(QStringLiteral("新医院"));
        d.Text2->setText(QStringLiteral("M"));
        d.show();
        d.ButtnSave->click();
        QCOMPARE(lastTitle(), QStringLiteral("错误"));
        QVERIFY(lastText().contains(QStringLiteral("options.ini")));
        QVERIFY(d.isVisible());
        QCOMPARE(Mmain::gHospitalName, QStringLiteral("   "));

        // A settings file in neither UTF-8 nor GB18030 is left as it is, and the
        // user is told the settings were not saved.
        QVERIFY(QDir().rmdir(AppPaths::iniFile()));
        const QByteArray odd = "[system]\r\nhname=\xFF\xFE hospital\r\n";
        QVERIFY(writeBytes(AppPaths::iniFile(), odd));
        MessageBox::clearShown();
        d.ButtnSave->click();
        QCOMPARE(lastTitle(), QStringLiteral("错误"));
        QVERIFY2(lastText().contains(QStringLiteral("UTF-8 或 GB18030"))
                     && lastText().contains(QStringLiteral("设置未保存")),
                 qPrintable(lastText()));
        QCOMPARE(readBytes(AppPaths::iniFile()), odd);
        QVERIFY(d.isVisible());
        QCOMPARE(Mmain::gHospitalName, QStringLiteral("   "));
    }

    // The hospital name is printed on every report, the machine name stored
    // with each: a refused character is named and nothing is written.
    void settingsRefuseRefusedCharacters_data()
    {
        QTest::addColumn<QString>("hospital");
        QTest::addColumn<QString>("machine");
        QTest::addColumn<QString>("message");
        QTest::newRow("hospital ESC") << QStringLiteral("第一\x1b医院") << "DR"
                                      << "医院名称含有不允许的字符（控制字符 U+001B），请重新输入";
        QTest::newRow("hospital U+2028") << QStringLiteral("第一\u2028医院") << "DR"
                                         << "医院名称含有不允许的字符（行分隔符 U+2028），请重新输入";
        QTest::newRow("machine U+FEFF") << "第一医院" << QStringLiteral("\ufeffDR")
                                        << "机器名称含有不允许的字符（字节顺序标记 U+FEFF），请重新输入";
    }

    void settingsRefuseRefusedCharacters()
    {
        QFETCH(QString, hospital);
        QFETCH(QString, machine);
        QFETCH(QString, message);
        QVERIFY(setIni("system", "machine", QStringLiteral("DR-1")));
        const QByteArray before = readBytes(AppPaths::iniFile());
        const QString name = Mmain::gHospitalName;
        FrmJCpz d;
        d.Form_Load();
        d.show();
        d.Text1->setText(hospital);
        d.Text2->setText(machine);
        d.ButtnSave->click();
        QCOMPARE(lastText() + lastTitle(), message + QStringLiteral("错误"));
        QVERIFY(d.isVisible());
        QCOMPARE(readBytes(AppPaths::iniFile()), before);
        QCOMPARE(Mmain::gHospitalName, name);
    }

    // The three settings are saved whole: whichever replacement of
    // options.ini fails, either every key is new, nothing was said and the
    // program has the new hospital name, or no key changed, the user read
    // that the settings stayed as they were, and the program kept the old name.
    void settingsSavedWhole()
    {
        QVERIFY(setIni("system", "hname", QStringLiteral("第一医院"))
                && setIni("system", "machine", QStringLiteral("M1")) && setIni("system", "kz", QStringLiteral("0")));
        const QByteArray before = readBytes(AppPaths::iniFile());
        const QString file = AppPaths::iniFile();
        for (int failing = 1; failing <= 3; ++failing) {
            QVERIFY(writeBytes(file, before));
            Mmain::gHospitalName = QStringLiteral("第一医院");
            MessageBox::clearShown();
            int commits = 0;
            PrivateFile::setCommitFault([&](const QString& target) {
                return QFileInfo(target) == QFileInfo(file) && ++commits == failing ? ENOSPC : 0;
            });
            FrmJCpz d;
            d.Form_Load();
            d.show();
            d.Text1->setText(QStringLiteral("新医院"));
            d.Text2->setText(QStringLiteral("M2"));
            d.Checkkz->setChecked(true);
            d.ButtnSave->click();
            PrivateFile::setCommitFault({});
            const QString at = QStringLiteral("replacement %1 failing").arg(failing);
            if (MessageBox::shownBoxes().isEmpty()) {
                QVERIFY2(failing > 1, qPrintable(at));
                QVERIFY2(!d.isVisible(), qPrintable(at));
                QCOMPARE(ini(QStringLiteral("hname")), QStringLiteral("新医院"));
                QCOMPARE(ini(QStringLiteral("machine")), QStringLiteral("M2"));
                QCOMPARE(ini(QStringLiteral("kz")), QStringLiteral("1"));
                QCOMPARE(Mmain::gHospitalName, QStringLiteral("新医院"));
            } else {
                QCOMPARE(lastTitle(), QStringLiteral("错误"));
                QVERIFY2(lastText().contains(QStringLiteral("原来的设置保持不变")), qPrintable(lastText()));
                QVERIFY2(readBytes(file) == before, qPrintable(at));
                QVERIFY(d.isVisible());
                QCOMPARE(Mmain::gHospitalName, QStringLiteral("第一医院"));
            }
        }
    }

    // An options.ini its owner made read-only is not replaced, even when the
    // program runs as root: the user is told why, nothing changes.
    void readOnlySettingsKept()
    {
        QVERIFY(setIni("system", "machine", QStringLiteral("M1")));
        const QByteArray before = readBytes(AppPaths::iniFile());
        QVERIFY(QFile::setPermissions(AppPaths::iniFile(), QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther));
        FrmJCpz d;
        d.Form_Load();
        d.show();
        d.Text1->setText(QStringLiteral("新医院"));
        d.ButtnSave->click();
        QCOMPARE(lastTitle(), QStringLiteral("错误"));
        QVERIFY2(lastText().contains(QStringLiteral("options.ini 是只读的")), qPrintable(lastText()));
        QCOMPARE(readBytes(AppPaths::iniFile()), before);
        QCOMPARE(fileMode(AppPaths::iniFile()), 0444);
        QVERIFY(d.isVisible());
        QCOMPARE(Mmain::gHospitalName, QStringLiteral("第一医院"));
        QVERIFY(QFile::setPermissions(AppPaths::iniFile(), QFile::ReadOwner | QFile::WriteOwner));
    }

    void passwordChange()
    {
        actAsAdmin();
        FrmPassword d;
        d.Form_Load();
        d.show();
        d.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&d));

        // Mismatch; every box hides what is typed, one * per character.
        d.Text2->setText(QStringLiteral("a"));
        d.Text3->setText(QStringLiteral("bc"));
        QCOMPARE(d.Text1->displayText() + d.Text2->displayText() + d.Text3->displayText(), QStringLiteral("***"));
        d.ButtnSave->click();
        QCOMPARE(lastText(), QStringLiteral("两次输入的新密码不一致，请从新输入"));
        QCOMPARE(lastTitle(), QStringLiteral("错误"));
        QVERIFY(d.Text2->text().isEmpty() && d.Text3->text().isEmpty());
        QVERIFY(d.Text2->hasFocus());

        // Null password, empty old one: a new password with a quote is stored hashed.
        const QString pw = QStringLiteral("it's me");
        d.Text2->setText(pw);
        d.Text3->setText(pw);
        d.ButtnSave->click();
        const QVariant stored = storedPassword(QStringLiteral("admin"));
        QVERIFY(ModPassword::IsHash(stored.toString()));
        QVERIFY(!stored.toString().contains(pw));
        // argon2id at the interactive cost, neither a weaker kind nor a lower cost.
        const QByteArray hash = stored.toString().toLatin1();
        QVERIFY2(hash.startsWith("$argon2id$"), hash.constData());
        QVERIFY(sodium_init() >= 0);
        QCOMPARE(crypto_pwhash_str_needs_rehash(hash.constData(), crypto_pwhash_OPSLIMIT_INTERACTIVE,
                                                crypto_pwhash_MEMLIMIT_INTERACTIVE),
                 0);
        QVERIFY(logsIn(QStringLiteral("admin"), pw));
        QVERIFY(!logsIn(QStringLiteral("admin"), QString()));

        // A wrong old password keeps the typed text.
        FrmPassword e;
        e.Form_Load();
        e.show();
        e.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&e));
        e.Text1->setText(QStringLiteral("nope"));
        e.ButtnSave->click();
        QCOMPARE(lastText(), QStringLiteral("输入的原密码不正确，请重新输入"));
        QCOMPARE(e.Text1->text(), QStringLiteral("nope"));
        QVERIFY(e.Text1->hasFocus());

        // Back to empty: Null is stored and the empty password logs in again.
        e.Text1->setText(pw);
        e.ButtnSave->click();
        QVERIFY(storedPassword(QStringLiteral("admin")).isNull());
        QVERIFY(logsIn(QStringLiteral("admin"), QString()));

        // The user's row gone meanwhile: the database's answer.
        actAsAdmin();
        QVERIFY(TestFolder::exec(QStringLiteral("DELETE FROM user WHERE userid = 'admin'")));
        e.ButtnSave->click();
        QCOMPARE(lastText(), QStringLiteral("没有符合条件的数据返回"));
        QCOMPARE(lastTitle(), QStringLiteral("系统错误"));
    }

    void aboutAndOpeners()
    {
        actAsAdmin();
        FrmAbout a;
        a.Form_Load();
        a.show();
        a.ButtnSave->click();
        QVERIFY(!a.isVisible());

        // The main window's menu items open the three dialogs modally.
        QStringList opened;
        Opener::setHook([&opened](QDialog* d) {
            opened << d->windowTitle();
            return 0;
        });
        FrmMain* w = FrmMain::ShowMain();
        for (const char* n : {"系统设置", "密码设置", "关于本软件"})
            w->action(QString::fromUtf8(n))->trigger();
        QCOMPARE(opened, QStringList({"系统设置", "密码设置", "关于本软件"}));
    }

    // 主题帮助 (F1) says why it cannot show the help: no help file, no
    // launcher, no program for the file's type. With both, the launcher gets
    // the file and nothing is said. The launcher is played by scripts on PATH.
    void helpSaysWhyItCannotOpen()
    {
        actAsAdmin();
        FrmMain* w = FrmMain::ShowMain();
        w->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(w));
        const QString help = AppPaths::file(QStringLiteral("help.chm"));
        const QTemporaryDir bin;
        const QByteArray path = qgetenv("PATH");
        qputenv("PATH", QFile::encodeName(bin.path()));
        const auto f1 = [&] {
            MessageBox::clearShown();
            QTest::keyClick(w, Qt::Key_F1);
            return MessageBox::shownBoxes().size() == 1 && lastTitle() == QStringLiteral("错误") ? lastText()
                                                                                                 : QString();
        };
        const QString missing = f1();
        QVERIFY(writeBytes(help, "ITSF"));
        const QString noLauncher = f1();
        const auto script = [&](const char* name, const QByteArray& body) {
            const QString file = bin.path() + QLatin1Char('/') + QLatin1String(name);
            return writeBytes(file, "#!/bin/sh\n" + body + "\n")
                   && QFile::setPermissions(file, QFile::ReadOwner | QFile::ExeOwner);
        };
        const QString opened = bin.path() + QStringLiteral("/opened");
        QVERIFY(script("xdg-open", "echo \"$1\" > " + QFile::encodeName(opened)));
        QVERIFY(script("xdg-mime", "exit 0"));
        const QString noViewer = f1();
        QVERIFY(script("xdg-mime", "[ \"$3\" = application/vnd.ms-htmlhelp ] && echo xchm.desktop; exit 0"));
        MessageBox::clearShown();
        QTest::keyClick(w, Qt::Key_F1);
        QTRY_VERIFY_WITH_TIMEOUT(readBytes(opened) == QFile::encodeName(help) + "\n", 60000);
        const bool silent = MessageBox::shownBoxes().isEmpty();
        // The viewer registered for the type is not installed: the launcher starts, gives up
        // and says so; its words are passed on.
        QVERIFY(script("xdg-open", "echo \"xdg-open: no method available for opening '$1'\" >&2; exit 3"));
        MessageBox::clearShown();
        QTest::keyClick(w, Qt::Key_F1);
        QTRY_VERIFY_WITH_TIMEOUT(!MessageBox::shownBoxes().isEmpty(), 60000);
        const QString gaveUp =
            MessageBox::shownBoxes().size() == 1 && lastTitle() == QStringLiteral("错误") ? lastText() : QString();
        qputenv("PATH", path);

        QCOMPARE(missing, QStringLiteral("53:帮助文件 %1 未找到").arg(help));
        QCOMPARE(
            noLauncher,
            QStringLiteral("本机没有 xdg-open，无法打开帮助文件 %1。请安装 xdg-utils 和一个 CHM 阅读器（如 xchm）。")
                .arg(help));
        QCOMPARE(noViewer, QStringLiteral(
                               "本机没有能打开 CHM 文件的程序，无法打开帮助文件 %1。请安装一个 CHM 阅读器（如 xchm）。")
                               .arg(help));
        QVERIFY(silent);
        QCOMPARE(gaveUp,
                 QStringLiteral("无法打开帮助文件 %1：本机登记的 CHM 阅读器无法启动（xdg-open: no method available "
                                "for opening '%1'）。请安装一个 CHM 阅读器（如 xchm）。")
                     .arg(help));
    }

    // The backup and restore dialogs are Qt's own, in Chinese on a machine
    // of another language: their texts, and the type, size and date of the
    // files they list. A grab is left in the test output for people to see.
    void fileDialogsInChinese()
    {
        if (QLocale::system().language() == QLocale::Chinese)
            QSKIP("the machine speaks Chinese already");
        // The language start-up sets for the whole program.
        const QLocale chinese(QLocale::Chinese, QLocale::China);
        QLocale::setDefault(chinese);
        const auto back = qScopeGuard([] { QLocale::setDefault(QLocale::system()); });
        actAsAdmin();
        FrmMain* w = FrmMain::ShowMain();
        QVERIFY(QDir().mkdir(AppPaths::file(QStringLiteral("备份"))));
        QVERIFY(writeBytes(AppPaths::file(QStringLiteral("x.BAK")), QByteArray(2048, 'x')));
        QVERIFY(writeBytes(AppPaths::file(QStringLiteral("y.BAK")), QByteArray(176128, 'y')));
        const QDateTime modified = QFileInfo(AppPaths::file(QStringLiteral("备份"))).lastModified();
        FileDialogs::setScripted(false);
        QStringList rows;
        QString title;
        QString accept;
        QTimer::singleShot(0, this, [&] {
            // The dialog goes whatever happens here, so the command returns.
            const auto close = qScopeGuard([] {
                if (auto* d = qobject_cast<QDialog*>(QApplication::activeModalWidget()))
                    d->reject();
            });
            QFileDialog* dialog = nullptr;
            QTRY_VERIFY_WITH_TIMEOUT((dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget())), 60000);
            title = dialog->windowTitle();
            accept = dialog->labelText(QFileDialog::Accept);
            auto* view = dialog->findChild<QTreeView*>(QStringLiteral("treeView"));
            QVERIFY(view);
            dialog->setViewMode(QFileDialog::Detail);
            QAbstractItemModel* m = view->model();
            const QModelIndex root = view->rootIndex();
            const auto listed = [&](const QString& name) {
                for (int r = 0; r < m->rowCount(root); ++r)
                    if (m->index(r, 0, root).data().toString() == name)
                        return true;
                return false;
            };
            QTRY_VERIFY_WITH_TIMEOUT(listed(QStringLiteral("备份")) && listed(QStringLiteral("y.BAK")), 60000);
            // Every size and date shows whole at the dialog's first size: the cell's
            // text and the delegate's margins fit in the column.
            const int margins = 2 * (view->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, view) + 1);
            for (int r = 0; r < m->rowCount(root); ++r) {
                QStringList cells;
                for (int c = 0; c < 4; ++c)
                    cells << m->index(r, c, root).data().toString();
                rows << cells.join(QLatin1Char('|'));
                for (int c : {1, 3})
                    QTRY_VERIFY2_WITH_TIMEOUT(view->fontMetrics().horizontalAdvance(cells[c]) + margins
                                                  <= view->columnWidth(c),
                                              qPrintable(cells.join(QLatin1Char('|'))), 20000);
            }
            dialog->resize(700, 420);
            QVERIFY(dialog->grab().save(testOutputFolder() + QStringLiteral("/backup-dialog.png")));
        });
        w->备份数据_Click();
        FileDialogs::setScripted(true);
        QCOMPARE(title, QStringLiteral("备份数据库"));
        QVERIFY2(accept.startsWith(QStringLiteral("保存")), qPrintable(accept));
        QVERIFY2(rows.contains(QStringLiteral("备份||文件夹|") + chinese.toString(modified, QLocale::ShortFormat)),
                 qPrintable(rows.join(QLatin1Char('\n'))));
        const QString size = QStringLiteral("x.BAK|") + chinese.formattedDataSize(2048) + QLatin1Char('|');
        QVERIFY2(std::any_of(rows.cbegin(), rows.cend(), [&](const QString& row) { return row.startsWith(size); }),
                 qPrintable(rows.join(QLatin1Char('\n'))));
    }

private:
    std::unique_ptr<TestFolder> folder_;
};

QTEST_MAIN(tst_SysDialogs)
#include "tst_sysdialogs.moc"
