// The DICOM conversion and send settings dialogs: load, save, every refusal
// (nothing stored), the atomic save, and the main window's menu items.
#include "core/Database.h"
#include "core/FrmMain.h"
#include "core/Modini.h"
#include "core/Palette.h"
#include "imaging/FrmdcmConv.h"
#include "imaging/FrmdcmSend.h"
#include "imaging/ImagingOpeners.h"
#include "platform/AppPaths.h"
#include "platform/FileDialogs.h"
#include "platform/MessageBox.h"
#include "platform/Opener.h"
#include "support/CoreKit.h"
#include "support/TestFolder.h"

#include <QCheckBox>
#include <QFile>
#include <QLineEdit>
#include <QTest>

using namespace kit;

namespace {
QString output(const QString& key) { return Modini::GetIniValue(QStringLiteral("output"), key); }
void setOutput(const QString& key, const QString& v) { Modini::SetIniValue(QStringLiteral("output"), key, v); }
int counter(const QString& name)
{
    return queryInt(QStringLiteral("SELECT CSid FROM DCMConvertCS WHERE CSname = ?"), {name});
}
}

class tst_DicomDialogs : public QObject {
    Q_OBJECT
private slots:
    void init()
    {
        folder_ = std::make_unique<TestFolder>();
        QVERIFY(folder_->ok());
        Palette::LoadSkin();
    }
    void cleanup()
    {
        closeWindows();
        folder_.reset();
    }

    void conversionSettingsLoad()
    {
        FrmdcmConv& d = FrmdcmConv::instance();
        QVERIFY(TestFolder::exec(QStringLiteral("UPDATE DCMConvertCS SET CSid = 100 WHERE CSname = 'studyid'")));
        setOutput(QStringLiteral("dcmDir"), QStringLiteral("/srv/dicom/"));
        d.Form_Load();
        QCOMPARE(d.windowTitle(), QStringLiteral("DICOM图像转换参数"));
        QCOMPARE(d.Text1->text(), QStringLiteral("100"));
        QCOMPARE(d.Text2->text(), QStringLiteral("0"));
        QCOMPARE(d.Text3->text(), QStringLiteral("/srv/dicom/"));
        d.show();
        d.grab().save(testOutputFolder() + QStringLiteral("/dicom-conv.png"));
        d.hide();

        // Without the studyid row: the message, every field empty, seriesid not read.
        QVERIFY(TestFolder::exec(QStringLiteral("DELETE FROM DCMConvertCS WHERE CSname = 'studyid'")));
        MessageBox::clearShown();
        d.Form_Load();
        QCOMPARE(MessageBox::shownBoxes().size(), 1);
        QCOMPARE(lastText(), QStringLiteral("参数表数据错误！"));
        QCOMPARE(lastTitle(), QStringLiteral("错误"));
        QVERIFY(d.Text1->text().isEmpty() && d.Text2->text().isEmpty() && d.Text3->text().isEmpty());
    }

    void conversionSettingsSave()
    {
        FrmdcmConv& d = FrmdcmConv::instance();
        setOutput(QStringLiteral("dcmDir"), QStringLiteral("/old"));
        d.Form_Load();
        auto refused = [&](const QString& message, QLineEdit* field) {
            MessageBox::clearShown();
            d.ButtnSave_Click();
            return lastText() == message && field->selectedText() == field->text()
                   && output(QStringLiteral("dcmDir")) == QStringLiteral("/old")
                   && counter(QStringLiteral("studyid")) == 0;
        };
        const QString badFolder = QStringLiteral("存储目录不正确，请重新设置");
        for (const char* dir : {"", "/", "x", "relative/dir", "/no-such-top/x"}) {
            d.Text3->setText(QString::fromUtf8(dir));
            QVERIFY2(refused(badFolder, d.Text3), dir);
        }
        d.Text3->setText(QStringLiteral("/tmp/a|b"));
        QVERIFY(refused(QStringLiteral("存储目录有特殊字符，请重新设置"), d.Text3));
        d.Text3->setText(QStringLiteral(" /tmp/dicom/ "));
        const QString badStudy = QStringLiteral("检查序号应该为0到2147483646之间的整数，请重新输入");
        for (const char* v : {"", "abc", "1.5", "-1", "2147483647", "1; DROP TABLE reports", "CSid"}) {
            d.Text1->setText(QString::fromUtf8(v));
            QVERIFY2(refused(badStudy, d.Text1), v);
        }
        d.Text1->setText(QStringLiteral(" 2147483646 "));
        d.Text2->setText(QStringLiteral("x"));
        QVERIFY(refused(QStringLiteral("序列序号应该为0到2147483646之间的整数，请重新输入"), d.Text2));

        // The folder browser: cancel keeps the text, a choice replaces it.
        FileDialogs::queueAnswer(QString());
        d.ButtnDir_Click();
        QCOMPARE(d.Text3->text(), QStringLiteral(" /tmp/dicom/ "));
        QCOMPARE(FileDialogs::asked().last().title, QStringLiteral("请选择文件夹"));

        // A settings file that cannot be written: the counters stay as they were too.
        d.Text2->setText(QStringLiteral("7"));
        {
            Unwritable ini(AppPaths::iniFile());
            QVERIFY(ini.ok());
            MessageBox::clearShown();
            d.ButtnSave_Click();
            // The box says why: read-only as an account, or the system's reason as root.
            QVERIFY2(lastText().contains(QStringLiteral("options.ini"))
                         && lastText().contains(QStringLiteral("设置未保存"))
                         && (lastText().contains(QStringLiteral("只读")) || lastText().contains(QStringLiteral("（"))),
                     qPrintable(lastText()));
            QCOMPARE(counter(QStringLiteral("studyid")), 0);
            QCOMPARE(counter(QStringLiteral("seriesid")), 0);
        }
        d.show();
        MessageBox::clearShown();
        d.ButtnSave_Click();
        QVERIFY(MessageBox::shownBoxes().isEmpty());
        QVERIFY(!d.isVisible());
        QCOMPARE(counter(QStringLiteral("studyid")), 2147483646);
        QCOMPARE(counter(QStringLiteral("seriesid")), 7);
        QCOMPARE(output(QStringLiteral("dcmDir")), QStringLiteral("/tmp/dicom/"));

        FileDialogs::queueAnswer(QStringLiteral("/var/tmp"));
        d.ButtnDir_Click();
        QCOMPARE(d.Text3->text(), QStringLiteral("/var/tmp"));
    }

    void sendSettings()
    {
        FrmdcmSend& d = FrmdcmSend::instance();
        d.Form_Load();
        QCOMPARE(d.windowTitle(), QStringLiteral("DICOM图像发送参数"));
        QVERIFY(d.TxtIp->text().isEmpty() && d.TxtPort->text().isEmpty() && !d.Chksend->isChecked());
        for (const auto& [stored, checked] :
             {std::pair{"1", true}, {"1.7", true}, {"2", false}, {"0", false}, {"x", false}}) {
            setOutput(QStringLiteral("autoSend"), QString::fromUtf8(stored));
            d.Form_Load();
            QVERIFY2(d.Chksend->isChecked() == checked, stored);
        }
        d.show();
        d.grab().save(testOutputFolder() + QStringLiteral("/dicom-send.png"));

        for (const char* port : {"", "abc", "1 04"}) {
            d.TxtPort->setText(QString::fromUtf8(port));
            MessageBox::clearShown();
            d.ButtnSave_Click();
            QCOMPARE(lastText(), QStringLiteral("服务器端口号必须为数字"));
            QCOMPARE(MessageBox::shownBoxes().last().icon, MessageBox::Icon::Information);
            QCOMPARE(lastTitle(), QStringLiteral("提示"));
            QVERIFY(output(QStringLiteral("svrPort")).isEmpty() && d.isVisible());
        }
        // A typed text with a refused character is named, and nothing is stored.
        d.TxtIp->setText(QStringLiteral("127.0.0.1\x1b"));
        d.TxtPort->setText(QStringLiteral("104"));
        d.ButtnSave_Click();
        QCOMPARE(lastText(), QStringLiteral("服务器IP含有不允许的字符（控制字符 U+001B），请重新输入"));
        QVERIFY(output(QStringLiteral("svrIp")).isEmpty() && output(QStringLiteral("svrPort")).isEmpty());
        d.TxtIp->setText(QStringLiteral(" 127.0.0.1 "));
        d.TxtTitle->setText(QStringLiteral(" PACS "));
        d.TxtPort->setText(QStringLiteral(" 104.5 "));
        d.Chksend->setChecked(false);
        d.ButtnSave_Click();
        QVERIFY(!d.isVisible());
        QCOMPARE(output(QStringLiteral("svrIp")), QStringLiteral("127.0.0.1"));
        QCOMPARE(output(QStringLiteral("svrTitle")), QStringLiteral("PACS"));
        QCOMPARE(output(QStringLiteral("svrPort")), QStringLiteral("104.5"));
        QCOMPARE(output(QStringLiteral("autoSend")), QStringLiteral("0"));

        // Quit stores nothing.
        d.Form_Load();
        d.TxtPort->setText(QStringLiteral("11112"));
        d.ButtnQuit_Click();
        QCOMPARE(output(QStringLiteral("svrPort")), QStringLiteral("104.5"));
    }

    // Saved into a settings file without a setting in it, either dialog writes the whole
    // shipped file with its values, never a file of its own keys only (reports would then
    // print blank from the next start on).
    void blankSettingsFileSavedWhole_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("empty") << QByteArray();
        QTest::newRow("zeros") << QByteArray(64, '\0');
    }
    void blankSettingsFileSavedWhole()
    {
        QFETCH(QByteArray, bytes);
        const auto blank = [&] {
            QFile f(AppPaths::iniFile());
            return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(bytes) == bytes.size();
        };
        const auto whole = [] {
            return IniFile(AppPaths::iniFile()).value(QStringLiteral("rptxm"), QStringLiteral("xm1"))
                   == QStringLiteral("1");
        };

        QVERIFY(blank());
        FrmdcmConv& conv = FrmdcmConv::instance();
        conv.Form_Load();
        conv.Text3->setText(QStringLiteral("/srv/dicom"));
        conv.ButtnSave_Click();
        QVERIFY(whole());
        QVERIFY(output(QStringLiteral("dcmDir")).startsWith(QStringLiteral("/srv/dicom")));

        QVERIFY(blank());
        FrmdcmSend& send = FrmdcmSend::instance();
        send.Form_Load();
        send.TxtIp->setText(QStringLiteral("127.0.0.1"));
        send.TxtPort->setText(QStringLiteral("104"));
        send.ButtnSave_Click();
        QVERIFY(whole());
        QCOMPARE(output(QStringLiteral("svrPort")), QStringLiteral("104"));
    }

    void menuItemsOpenTheDialogs()
    {
        actAsAdmin();
        ImagingOpeners::registerAll();
        QStringList opened;
        Opener::setHook([&opened](QDialog* d) {
            opened << d->windowTitle();
            return 0;
        });
        FrmMain* w = FrmMain::ShowMain();
        for (const char* n : {"DICOM图像转换参数", "DICOM图像发送参数"})
            w->action(QString::fromUtf8(n))->trigger();
        QCOMPARE(opened, QStringList({"DICOM图像转换参数", "DICOM图像发送参数"}));
        QVERIFY(MessageBox::shownBoxes().isEmpty());
    }

private:
    std::unique_ptr<TestFolder> folder_;
};

QTEST_MAIN(tst_DicomDialogs)
#include "tst_DicomDialogs.moc"
