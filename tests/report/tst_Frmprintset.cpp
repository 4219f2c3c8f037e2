// The print layout settings dialog: loading, the checks, saving every key, the item
// lists, the font and colour dialogs, and leaving without saving.
#include "core/Modini.h"
#include "core/QvButton.h"
#include "platform/AppPaths.h"
#include "platform/Environment.h"
#include "platform/MessageBox.h"
#include "platform/Opener.h"
#include "report/FontColorDialogs.h"
#include "report/Frmprintset.h"
#include "report/ReportFonts.h"
#include "report/ProgramPrinter.h"
#include "report/ReportData.h"
#include "report/ReportRenderer.h"
#include "support/CoreKit.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QFontDatabase>
#include <QFontDialog>
#include <QTimer>
#include <QLineEdit>
#include <QRegularExpression>
#include <QtTest>

namespace {
// Answers of the font and colour dialogs: a cancel, or the given choice.
struct ScriptedDialogs : FontColorDialogs {
    std::optional<FontSet> font;
    std::optional<qint32> color;
    int shown = 0;
    bool chooseFont(FontSet& f, QWidget*) override
    {
        ++shown;
        if (font)
            f = *font;
        return bool(font);
    }
    bool chooseColor(qint32& c, QWidget*) override
    {
        ++shown;
        if (color)
            c = *color;
        return bool(color);
    }
};

QString ini(const char* section, const char* key)
{
    return Modini::GetIniValue(QString::fromLatin1(section), QString::fromLatin1(key));
}
QByteArray fileBytes() { return kit::readBytes(AppPaths::iniFile()); }
}

class tst_Frmprintset : public QObject {
    Q_OBJECT

private slots:
    void init()
    {
        folder_ = kit::freshFolder();
        QVERIFY(folder_->ok());
        backend_ = std::make_shared<PdfPrinterBackend>();
        backend_->addPrinter(PdfPrinterBackend::standardPrinter(QStringLiteral("报告打印机")));
        auto other = PdfPrinterBackend::standardPrinter(QStringLiteral("胶片打印机"));
        other.defaultPaperCode = 8;   // A3
        backend_->addPrinter(other);
        ProgramPrinter::setBackend(backend_);
        dialogs_ = std::make_shared<ScriptedDialogs>();
        FontColorDialogs::setCurrent(dialogs_);
    }
    void cleanup()
    {
        FontColorDialogs::setCurrent(nullptr);
        ProgramPrinter::setBackend(nullptr);
        folder_.reset();
    }

    void checksInOrder()
    {
        Frmprintset& d = open();
        d.show();
        d.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&d));
        QCOMPARE(d.cboPrinter->currentText(), QStringLiteral("报告打印机"));
        QCOMPARE(d.ComboPaper->currentData().toInt(), 9);

        // Every list without a chosen row and every number box empty: each 保 存 shows the
        // first failing check, with the focus on its control, and writes nothing.
        const QByteArray before = fileBytes();
        for (QComboBox* c : {d.cboPrinter, d.ComboPaper, d.ComboColor, d.ComboDirection, d.ComboQuality})
            c->setEditText(QStringLiteral("不在列表中"));
        for (QLineEdit* t : {d.Ttop, d.Tbotton, d.Tleft, d.Tright, d.Thjj, d.Thjj2, d.Tdjj[0], d.Tdjj[1], d.Tpicwidth,
                             d.Tpicheight, d.Tzoom})
            t->setText(t == d.Ttop ? QStringLiteral("1O") : QString());
        struct Check {
            QWidget* control;
            const char* text;
            const char* title;
        };
        const Check checks[] = {{d.cboPrinter, "请选择正确的打印机", "设置错误"},
                                {d.ComboPaper, "请选择正确的打印纸张", "设置错误"},
                                {d.ComboColor, "请选择正确的打印颜色模式设置", "设置错误"},
                                {d.ComboDirection, "请选择正确的打印方向设置", "设置错误"},
                                {d.ComboQuality, "请选择正确的打印质量设置", "设置错误"},
                                {d.Ttop, "上边距应该为数字", "错误"},
                                {d.Tbotton, "下边距应该为数字", "错误"},
                                {d.Tleft, "左边距应该为数字", "错误"},
                                {d.Tright, "右边距应该为数字", "错误"},
                                {d.Thjj, "行间距应该为数字", "错误"},
                                {d.Thjj2, "行间距应该为数字", "错误"},
                                {d.Tdjj[0], "段距一应该为数字", "错误"},
                                {d.Tdjj[1], "段距二应该为数字", "错误"},
                                {d.Tpicwidth, "图片大小应该为数字", "错误"},
                                {d.Tpicheight, "图片大小应该为数字", "错误"},
                                {d.Tzoom, "预览倍数应该为数字", "错误"}};
        for (const Check& c : checks) {
            MessageBox::clearShown();
            d.ButtnSave->click();
            QCOMPARE(MessageBox::shownBoxes().size(), 1);
            QCOMPARE(MessageBox::shownBoxes().first().text, QString::fromUtf8(c.text));
            QCOMPARE(MessageBox::shownBoxes().first().title, QString::fromUtf8(c.title));
            QCOMPARE(MessageBox::shownBoxes().first().icon, MessageBox::Icon::Critical);
            QCOMPARE(QApplication::focusWidget(), c.control);
            if (auto* box = qobject_cast<QLineEdit*>(c.control))
                QCOMPARE(box->selectedText(), box->text());
            QVERIFY(!d.Bset() && fileBytes() == before);
            // Put this one right: a row chosen from its list, or a number (signs and blanks pass).
            if (auto* list = qobject_cast<QComboBox*>(c.control)) {
                list->setCurrentIndex(list->count() - 1);
                if (list == d.cboPrinter) {
                    d.cboPrinter_Click();   // lists the new printer's papers with its own chosen
                    d.ComboPaper->setEditText(QStringLiteral("不在列表中"));
                }
            } else {
                // A number beyond every number the page could use is none either.
                auto* box = static_cast<QLineEdit*>(c.control);
                box->setText(QStringLiteral("-1e999"));
                MessageBox::clearShown();
                d.ButtnSave->click();
                QCOMPARE(MessageBox::shownBoxes().first().text, QString::fromUtf8(c.text));
                QVERIFY(!d.Bset() && fileBytes() == before);
                box->setText(QStringLiteral(" +2.5 "));
            }
        }
        // Paragraph spacings three and four are saved as typed.
        d.Tdjj[2]->setText(QStringLiteral("abc"));
        MessageBox::clearShown();
        d.ButtnSave->click();
        QVERIFY(MessageBox::shownBoxes().isEmpty() && d.Bset());
        QCOMPARE(ini("parameter", "djj3"), QStringLiteral("abc"));
        QVERIFY(fileBytes().contains("\nbTop= +2.5 \n") || fileBytes().contains("\nbTop= +2.5 \r\n"));   // as typed
        QCOMPARE(ini("printer", "mPrinter"), QStringLiteral("胶片打印机"));
        QCOMPARE(ini("printer", "mQuality"), QStringLiteral("-4"));
        QCOMPARE(ini("printer", "mPaper"), QString::number(d.ComboPaper->currentData().toInt()));

        // No printer installed: empty lists, and the first check says so.
        ProgramPrinter::setBackend(std::make_shared<PdfPrinterBackend>());
        open();
        QVERIFY(d.cboPrinter->count() == 0 && d.ComboPaper->count() == 0);
        MessageBox::clearShown();
        d.ButtnSave->click();
        QCOMPARE(MessageBox::shownBoxes().first().text, QStringLiteral("请选择正确的打印机"));
        // None because the print service is not running: that is said instead, without the
        // service's words that tell nothing.
        auto down = std::make_shared<PdfPrinterBackend>();
        down->setServiceDown(QStringLiteral("Bad file descriptor"));
        ProgramPrinter::setBackend(down);
        MessageBox::clearShown();
        d.ButtnSave->click();
        QCOMPARE(MessageBox::shownBoxes().first().text,
                 QStringLiteral("打印服务没有运行，找不到任何打印机；请启动打印服务（CUPS）后再进行此操作"));
        d.hide();
    }

    void saveReloadAndItemLists()
    {
        // Stored slots: "0", "abc", "30" and "24" (past the list) leave theirs empty, "3" chooses
        // row 3; malformed numbers show the layout's defaults; a missing text key is empty.
        const char* const stored[][3] = {{"rptxm", "xm5", "0"},        {"rptxm", "xm6", "abc"},
                                         {"rptxm", "xm7", "30"},       {"rptxm", "xm8", "24"},
                                         {"rptxm", "xm9", "3"},        {"parameter", "djj4", "x"},
                                         {"parameter", "rptfoot", ""}, {"printer", "mPaper", "A4"},
                                         {"font3", "mFontsize", "大"}, {"font1", "mFontsize", "10.5"}};
        for (const auto& [section, key, value] : stored)
            kit::setIni(section, key, QString::fromUtf8(value));
        Frmprintset& d = open();
        for (int slot : {5, 6, 7, 8})
            QCOMPARE(d.Comboxm[size_t(slot - 1)]->currentIndex(), -1);
        QCOMPARE(d.Comboxm[8]->currentIndex(), 3);
        QCOMPARE(d.Comboxm[8]->currentData().toInt(), 2);   // the third item prints field 2
        QCOMPARE(d.Comboxm[0]->count(), 24);
        QCOMPARE(d.Tdjj[3]->text(), QStringLiteral("5"));
        QVERIFY(d.Txtfoot->text().isEmpty());
        QCOMPARE(d.ComboPaper->currentData().toInt(), 9);
        QCOMPARE(d.fontSets()[2].size, 10.5);
        QCOMPARE(d.fontSets()[0].size, 10.5);   // as stored: the page makes it 12, not the dialog

        // "<无>" empties a slot; a font chosen in the dialog and the line colour are saved.
        d.Comboxm[0]->setCurrentIndex(0);
        emit d.Comboxm[0]->activated(0);
        QCOMPARE(d.Comboxm[0]->currentIndex(), -1);
        d.Comboxm[9]->setCurrentIndex(23);
        FontSet f{QStringLiteral("AR PL UMing CN"), 10.5, 0x0000FF, true, false, true, false};
        dialogs_->font = f;
        d.E2Fontset->click();   // font set 8
        dialogs_->color = 0x00FF8000;
        d.LineSet->click();
        d.Chkpic->setChecked(false);
        d.Txthead->setText(QStringLiteral("院内 \"头\" 100% 😀"));
        d.ButtnSave->click();
        QVERIFY(d.Bset());
        QVERIFY(ini("rptxm", "xm1").isEmpty() && ini("rptxm", "id1").isEmpty());
        QCOMPARE(ini("rptxm", "xm9"), QStringLiteral("3"));
        QCOMPARE(ini("rptxm", "id9"), QStringLiteral("2"));
        QCOMPARE(ini("rptxm", "xm10"), QStringLiteral("23"));
        QCOMPARE(ini("rptxm", "id10"), QStringLiteral("10"));
        QVERIFY(ini("rptxm", "xm5").isEmpty() && ini("rptxm", "id5").isEmpty());
        QCOMPARE(ini("font8", "mFontname"), QStringLiteral("AR PL UMing CN"));
        QCOMPARE(ini("font8", "mFontsize"), QStringLiteral("10.5"));
        QCOMPARE(ini("font8", "mforecolor"), QStringLiteral("255"));
        QCOMPARE(ini("font8", "mFontBold"), QStringLiteral("True"));
        QCOMPARE(ini("font8", "mFontItalic"), QStringLiteral("False"));
        QCOMPARE(ini("font8", "mFontStrikethru"), QStringLiteral("True"));
        QCOMPARE(ini("font1", "mFontsize"), QStringLiteral("10.5"));
        QCOMPARE(ini("font3", "mFontsize"), QStringLiteral("10.5"));
        QCOMPARE(ini("parameter", "LineColor"), QString::number(0x00FF8000));
        QCOMPARE(ini("parameter", "bpic"), QStringLiteral("0"));
        QCOMPARE(ini("parameter", "djj4"), QStringLiteral("5"));
        QCOMPARE(ini("parameter", "rpthead"), QStringLiteral("院内 \"头\" 100% 😀"));
        QCOMPARE(ini("printer", "mPaper"), QStringLiteral("9"));

        // What was saved loads again as it was saved.
        const QByteArray saved = fileBytes();
        open();
        QCOMPARE(d.fontSets()[7].name, QStringLiteral("AR PL UMing CN"));
        QVERIFY(d.fontSets()[7].bold && d.fontSets()[7].strikeout && !d.Chkpic->isChecked());
        QCOMPARE(d.lineColor(), 0x00FF8000);
        d.ButtnSave->click();
        QCOMPARE(fileBytes(), saved);

        // A header in quotes of its own keeps them.
        const QString quoted = QStringLiteral("\"人民医院\" 放射科 \"报告\"");
        d.Txthead->setText(quoted);
        d.ButtnSave->click();
        open();
        QCOMPARE(d.Txthead->text(), quoted);
    }

    void cancelQuitAndCloseBox()
    {
        Frmprintset& d = open();
        const auto fonts = d.fontSets();
        const qint32 line = d.lineColor();
        // Cancelled font and colour dialogs change nothing.
        for (QvButton* b : {d.A1Fontset, d.B1Fontset, d.C1Fontset, d.C2Fontset, d.D1Fontset, d.D2Fontset, d.E1Fontset,
                            d.E2Fontset, d.F1Fontset, d.LineSet})
            b->click();
        QCOMPARE(dialogs_->shown, 10);
        for (int n = 0; n < 9; ++n)
            QVERIFY(d.fontSets()[size_t(n)].name == fonts[size_t(n)].name
                    && d.fontSets()[size_t(n)].size == fonts[size_t(n)].size);
        QCOMPARE(d.lineColor(), line);

        // 退 出 after choosing another printer writes nothing, but the program prints there now.
        const QByteArray before = fileBytes();
        d.cboPrinter->setCurrentIndex(1);
        d.cboPrinter_Click();
        QCOMPARE(d.ComboPaper->currentData().toInt(), 8);
        d.ButtnQuit->click();
        QVERIFY(!d.Bset() && fileBytes() == before);
        QCOMPARE(ProgramPrinter::instance().printerName(), QStringLiteral("胶片打印机"));

        // A save, then the close box: the next opening counts as not saved.
        open();
        d.ButtnSave->click();
        QVERIFY(d.Bset());
        open();
        d.reject();
        QVERIFY(!d.Bset());

        // A settings file that cannot be written: the message, nothing saved, the dialog stays.
        open();
        MessageBox::clearShown();
        {
            kit::Unwritable locked(folder_->path());
            QVERIFY(locked.ok());
            d.ButtnSave->click();
        }
        QVERIFY(!d.Bset());
        QCOMPARE(MessageBox::shownBoxes().size(), 1);
        QCOMPARE(MessageBox::shownBoxes().first().title, QStringLiteral("错误"));
    }

    void fontDialogKeepsTheFace()
    {
        // Qt's own font dialog, answered as soon as it shows. The stored faces (黑体, 宋体) are
        // not installed: the dialog opens on the faces they are drawn in, and 确定 without a
        // change stores every value as it was.
        FontColorDialogs::setCurrent(std::make_shared<QtFontColorDialogs>());
        Modini::SetIniValue(QStringLiteral("font3"), QStringLiteral("mFontsize"), QStringLiteral("10.5"));
        Frmprintset& d = open();
        const auto before = d.fontSets();
        QCOMPARE(before[0].name, QStringLiteral("黑体"));
        QCOMPARE(before[2].name, QStringLiteral("宋体"));
        QString shownFace;
        std::function<void(QFontDialog*)> change;
        auto answer = [&] {
            QTimer::singleShot(0, this, [&] {
                auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
                QVERIFY(dialog);
                auto* picker = dialog->findChild<QFontDialog*>();
                QVERIFY(picker);
                shownFace = picker->currentFont().family();
                if (change)
                    change(picker);
                dialog->accept();
            });
        };
        answer();
        d.A1Fontset->click();
        QCOMPARE(shownFace, ReportFonts::installedFace(QStringLiteral("黑体")));
        QVERIFY(QFontDatabase::hasFamily(shownFace));
        answer();
        d.C1Fontset->click();
        QCOMPARE(shownFace, ReportFonts::installedFace(QStringLiteral("宋体")));
        QVERIFY(shownFace != ReportFonts::installedFace(QStringLiteral("黑体")));
        for (int n : {0, 2}) {
            const FontSet& a = d.fontSets()[size_t(n)];
            const FontSet& b = before[size_t(n)];
            QVERIFY2(a.name == b.name && a.size == b.size && a.bold == b.bold && a.italic == b.italic
                         && a.color == b.color,
                     qPrintable(QStringLiteral("%1 %2 %3").arg(a.name).arg(a.size).arg(a.bold)));
        }
        d.ButtnSave->click();
        QVERIFY(d.Bset());
        QCOMPARE(ini("font1", "mFontname"), QStringLiteral("黑体"));
        QCOMPARE(ini("font1", "mFontBold"), QStringLiteral("True"));
        QCOMPARE(ini("font3", "mFontname"), QStringLiteral("宋体"));
        QCOMPARE(ini("font3", "mFontsize"), QStringLiteral("10.5"));

        // Another face chosen is stored by its name.
        open();
        const QString other = ReportFonts::installedFace(QStringLiteral("黑体"));
        change = [&](QFontDialog* picker) { picker->setCurrentFont(QFont(other, 12)); };
        answer();
        d.C1Fontset->click();
        QCOMPARE(d.fontSets()[2].name, other);
    }

    void marginsAtTheLimitAndPast_data()
    {
        // The hospital name's size as stored (below 12 points the page prints it at 12), the
        // line spacings and the picture row vary: 保 存 must measure the page as the preview
        // does with each of them.
        QTest::addColumn<int>("field");   // 0..3 the margins, 4 行距一, 5 行距二, 6 图像高度
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QStringList>("stored");   // "section/key=value" before the dialog opens
        const QString name9 = QStringLiteral("font1/mFontsize=9"), noPictures = QStringLiteral("parameter/bpic=0");
        auto spacing = [](int n, const char* mm) {
            return QStringLiteral("parameter/hjj%1=%2").arg(n == 1 ? "" : "2", QString::fromLatin1(mm));
        };
        QTest::newRow("top 300") << 0 << "300" << QStringList();
        QTest::newRow("top 1e308") << 0 << "1e308" << QStringList();
        QTest::newRow("bottom 300") << 1 << "300" << QStringList();
        QTest::newRow("left 250") << 2 << "250" << QStringList();
        QTest::newRow("right 1e308") << 3 << "1e308" << QStringList();
        QTest::newRow("top, name 9 pt") << 0 << "300" << QStringList{name9};
        QTest::newRow("top, spacing one 8") << 0 << "300" << QStringList{spacing(1, "8")};
        QTest::newRow("bottom, spacing two 40") << 1 << "300" << QStringList{spacing(2, "40")};
        QTest::newRow("top, spacing two 0.5, no pictures") << 0 << "300" << QStringList{spacing(2, "0.5"), noPictures};
        QTest::newRow("spacing one, name 9 pt, spacing two 40") << 4 << "100" << QStringList{name9, spacing(2, "40")};
        QTest::newRow("spacing two, name 10.5 pt, spacing one 5, no pictures")
            << 5 << "300" << QStringList{QStringLiteral("font1/mFontsize=10.5"), spacing(1, "5"), noPictures};
        QTest::newRow("picture height, name 9 pt, spacing one 4") << 6 << "300" << QStringList{name9, spacing(1, "4")};
    }
    void marginsAtTheLimitAndPast()
    {
        // A length that does not keep the report on A4 is refused at 保 存 with the field and
        // the largest value that fits; that value is saved, and the preview lays the page out
        // from it without a word; a tenth more is refused again, by 保 存 and by the preview.
        QFETCH(int, field);
        QFETCH(QString, typed);
        QFETCH(QStringList, stored);
        for (const QString& v : stored)
            QVERIFY(kit::setIni(qPrintable(v.section(QLatin1Char('/'), 0, 0)),
                                qPrintable(v.section(QLatin1Char('/'), 1).section(QLatin1Char('='), 0, 0)),
                                v.section(QLatin1Char('='), 1)));
        Frmprintset& d = open();
        d.show();
        d.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&d));
        QLineEdit* const boxes[] = {d.Ttop, d.Tbotton, d.Tleft, d.Tright, d.Thjj, d.Thjj2, d.Tpicheight};
        const char* const names[] = {"上边距", "下边距", "左边距", "右边距", "行距一", "行距二", "图像高度"};
        const char* const keys[] = {"bTop", "bBotton", "bLeft", "bRight", "hjj", "hjj2", "PicHeight"};
        QLineEdit* box = boxes[field];
        const QByteArray before = fileBytes();
        const QRegularExpression largestSaid(QStringLiteral("最大为 (\\d+(\\.\\d)?) 毫米"));
        auto refusedWith = [&](const QString& value) {
            box->setText(value);
            MessageBox::clearShown();
            d.ButtnSave->click();
            const auto shown = MessageBox::shownBoxes();
            if (shown.size() != 1 || d.Bset() || fileBytes() != before || QApplication::focusWidget() != box
                || !shown.first().text.startsWith(QString::fromUtf8(names[field]))) {
                qWarning("%s", qPrintable(shown.isEmpty() ? QStringLiteral("saved") : shown.first().text));
                return QString();
            }
            return largestSaid.match(shown.first().text).captured(1);
        };
        const QString largest = refusedWith(typed);
        QVERIFY(!largest.isEmpty());
        const double mm = largest.toDouble();
        QVERIFY2(mm > 0 && mm < (field == 2 || field == 3 ? 200 : 287), qPrintable(largest));
        const QString past = QString::number(mm + 0.1);
        QCOMPARE(refusedWith(past), largest);

        box->setText(largest);
        MessageBox::clearShown();
        d.ButtnSave->click();
        QVERIFY(MessageBox::shownBoxes().isEmpty() && d.Bset());
        QCOMPARE(ini("parameter", keys[field]), largest);
        d.hide();
        // The preview measures the stored settings as 保 存 measured the typed ones.
        auto previewRefusal = [] {
            PrintSettings saved;
            QStringList captions;
            ReportData::loadItemCaptions(captions);
            saved.load(captions);
            ReportContent content;
            const auto r = ReportRenderer(saved, content).roomRefusal();
            return r ? PageRoom::refusalText(*r) : QString();
        };
        QCOMPARE(previewRefusal(), QString());
        QVERIFY(kit::setIni("parameter", keys[field], past));
        QVERIFY2(previewRefusal().startsWith(QString::fromUtf8(names[field])), qPrintable(previewRefusal()));
    }

    void negativeLengthsRefused_data()
    {
        QTest::addColumn<int>("field");   // in the order of the boxes below
        QTest::addColumn<QString>("typed");
        QTest::newRow("top -50") << 0 << "-50";
        QTest::newRow("top -1e308") << 0 << "-1e308";
        QTest::newRow("bottom -0.1") << 1 << "-0.1";
        QTest::newRow("right -5") << 3 << "-5";
        QTest::newRow("spacing two -1") << 5 << "-1";
        QTest::newRow("paragraph four -2") << 9 << "-2";
        QTest::newRow("picture height -30") << 11 << "-30";
    }
    void negativeLengthsRefused()
    {
        // A negative length would print the header above the sheet or lines over each other:
        // 保 存 refuses it naming the field, and writes nothing.
        QFETCH(int, field);
        QFETCH(QString, typed);
        Frmprintset& d = open();
        d.show();
        d.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&d));
        QLineEdit* const boxes[] = {d.Ttop,    d.Tbotton, d.Tleft,   d.Tright,  d.Thjj,      d.Thjj2,
                                    d.Tdjj[0], d.Tdjj[1], d.Tdjj[2], d.Tdjj[3], d.Tpicwidth, d.Tpicheight};
        const char* const names[] = {"上边距", "下边距", "左边距", "右边距", "行距一",   "行距二",
                                     "段距一", "段距二", "段距三", "段距四", "图像宽度", "图像高度"};
        const QByteArray before = fileBytes();
        boxes[field]->setText(typed);
        MessageBox::clearShown();
        d.ButtnSave->click();
        QCOMPARE(MessageBox::shownBoxes().size(), 1);
        QCOMPARE(MessageBox::shownBoxes().first().text,
                 QStringLiteral("%1不能为负数：%1最小为 0 毫米").arg(QString::fromUtf8(names[field])));
        QVERIFY(!d.Bset());
        QVERIFY(fileBytes() == before);
        QCOMPARE(d.focusWidget(), boxes[field]);
        d.hide();
    }

private:
    Frmprintset& open()
    {
        Frmprintset& d = Frmprintset::instance();
        d.showModally();   // the test folder's hook returns at once
        return d;
    }

    std::unique_ptr<TestFolder> folder_;
    std::shared_ptr<PdfPrinterBackend> backend_;
    std::shared_ptr<ScriptedDialogs> dialogs_;
};

QTEST_MAIN(tst_Frmprintset)
#include "tst_Frmprintset.moc"
