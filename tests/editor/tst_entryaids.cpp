#include "support/EditorKit.h"

#include "core/Modini.h"
#include "editor/Frmcfsj.h"
#include "editor/PhraseLookup.h"
#include "editor/ReportLoader.h"
#include "editor/StockDescriptions.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QFontMetrics>
#include <QInputMethodEvent>
#include <QLabel>
#include <QScrollBar>
#include <QTableWidget>
#include <QTreeWidget>

using kit::lastText;
using kit::lastTitle;

namespace {
// Text as an input method commits it (Chinese is never typed key by key).
void type(QWidget* w, const QString& text)
{
    QInputMethodEvent e;
    e.setCommitString(text);
    QApplication::sendEvent(w, &e);
}

// Chooses an entry from a combo's list with the mouse.
void choose(QComboBox* combo, int index)
{
    combo->showPopup();
    QAbstractItemView* view = combo->view();
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, view->visualRect(view->model()->index(index, 0)).center());
    QCoreApplication::processEvents();
}

// A double click as the mouse makes it: a click, then the second press.
void doubleClick(QWidget* w, QPoint pos)
{
    QTest::mouseClick(w, Qt::LeftButton, {}, pos);
    QTest::mouseDClick(w, Qt::LeftButton, {}, pos);
    QTest::mouseRelease(w, Qt::LeftButton, {}, pos);
}

void enter(QWidget* w)
{
    QTest::keyClick(w, Qt::Key_Return);
    QCoreApplication::processEvents();
}

QStringList captions(const DataRecord& ed)
{
    QStringList out;
    for (const QLabel* l : ed.Labelzych)
        if (!l->text().isEmpty())
            out << l->text();
    return out;
}

// A click as the mouse makes it: at a point of the window, on whatever lies
// there on top.
void clickAt(QWidget* w, QPoint pos)
{
    QWidget* top = w->window();
    QTest::mouseClick(top->windowHandle(), Qt::LeftButton, {}, w->mapTo(top, pos));
    QCoreApplication::processEvents();
}

// A click in the middle of a phrase shown on the panel.
void clickPhrase(const DataRecord& ed, int k)
{
    QLabel* label = ed.Labelzych[k];
    QVERIFY(label->isVisible() && !label->text().isEmpty());
    clickAt(label, label->rect().center());
}

void setCaret(QPlainTextEdit* box, int position, int anchor = -1)
{
    QTextCursor c = box->textCursor();
    c.setPosition(anchor < 0 ? position : anchor);
    c.setPosition(position, QTextCursor::KeepAnchor);
    box->setTextCursor(c);
}
}

class tst_EntryAids : public QObject {
    Q_OBJECT
private slots:
    void init()
    {
        folder_ = kit::editorFolder();
        QVERIFY(folder_->ok());
        opened_.clear();
        Opener::setHook([this](QDialog* d) {
            opened_ << d->objectName() + d->windowTitle();
            if (onOpen_)
                onOpen_(d);
            return 0;
        });
    }

    void cleanup()
    {
        onOpen_ = nullptr;
        Openers::setOpener(Openers::Window::FrmMBmanager, {});
        kit::closeEditor();
        folder_.reset();
    }

    // Enter moves on in the window's order and skips what is disabled; the
    // exam number and the patient name first look for earlier reports.
    void enterAndDuplicateChecks()
    {
        kit::insertReport(QStringLiteral("X'1"), QStringLiteral("张三"), QStringLiteral("admin"));
        kit::insertReport(QStringLiteral("X'1"), QStringLiteral("李四"), QStringLiteral("admin"));
        DataRecord& ed = newReport();
        const int units = ed.ComboAge->count();
        for (auto [from, to] : {std::pair<QWidget*, QWidget*>{ed.Text3, ed.Text4},
                                {ed.ComboAge, ed.Text5},
                                {ed.Text7, ed.Text17},
                                {ed.Text10, ed.Text11},
                                {ed.Combojs, ed.Combopart},
                                {ed.Combopart, ed.Text15}}) {
            from->setFocus();
            enter(from);
            QVERIFY2(QApplication::focusWidget() == to, qPrintable(from->objectName()));
        }
        QCOMPARE(ed.ComboAge->count(), units);   // Enter in a combo adds nothing to its list

        // An exam number two reports have (matched regardless of case, the quote bound).
        ed.Text1->setFocus();
        ed.Text1->setText(QStringLiteral("x'1"));
        enter(ed.Text1);
        QCOMPARE(opened_, QStringList{QStringLiteral("相关报告记录")});
        QVERIFY(Frmcfsj::instance().filterColumn() == Frmcfsj::By::ExamNumber
                && Frmcfsj::instance().filterValue() == QStringLiteral("x'1"));
        QCOMPARE(ListGrid::RowCount(Frmcfsj::instance().MSHFlexGrid1), 2);
        QCOMPARE(QApplication::focusWidget(), ed.Text1);   // the focus stays
        // An unknown one, also with a quote: on to the next field.
        ed.Text1->setText(QStringLiteral("Y'2"));
        enter(ed.Text1);
        QVERIFY(opened_.size() == 1 && QApplication::focusWidget() == ed.Text2);
        // The patient name likewise.
        ed.Text2->setText(QStringLiteral("李四"));
        enter(ed.Text2);
        QVERIFY(opened_.size() == 2 && Frmcfsj::instance().filterColumn() == Frmcfsj::By::PatientName);
        QCOMPARE(ListGrid::RowCount(Frmcfsj::instance().MSHFlexGrid1), 1);
        QVERIFY(MessageBox::shownBoxes().isEmpty());
    }

    // Enter walks a copied record from the sex down to the findings and
    // changes none of its values: every combo box holds a value that is not
    // its list's first entry (or is no entry at all), and the stored copy is
    // what was shown, field by field.
    void enterKeepsEveryValue()
    {
        QVERIFY(TestFolder::exec(QStringLiteral("INSERT INTO section VALUES ('12', '外科'), ('5', '内科')")));
        QVERIFY(TestFolder::exec(
            QStringLiteral("INSERT INTO doctor VALUES ('d1', '张医生', '12'), ('d2', '李医生', '5')")));
        QVERIFY(TestFolder::exec(
            QStringLiteral("INSERT INTO user (userid, username) VALUES ('u2', '李主任'), ('u3', '王主任')")));
        QVERIFY(
            TestFolder::exec(QStringLiteral("INSERT INTO bodypart (partname) VALUES ('胸部'), ('腹部'), ('头颅')")));
        const qint64 source =
            kit::insertReport(QStringLiteral("CT-9"), QStringLiteral("王芳"), QStringLiteral("李主任"), QVariant(12.5));
        QVERIFY(
            Database::ExecuteSql(
                QStringLiteral("UPDATE reports SET sex = '女', ageunit = '月', bedid = '138', sectionoffice = '内科', "
                               "utpatientid = '李医生', inpatientid = 'Z7', pgdr = 'admin', part = '头颅', "
                               "checktechnique = '阳性', checkname = '头颅平扫', checksymptom = '所见', "
                               "checkconclusion = '意见', obligate2 = '3床', obligate3 = 'M8', obligate4 = '阴' "
                               "WHERE ctid = ?"),
                {source})
                .ok());
        DataRecord& ed = newReport();
        QVERIFY(ReportLoader::LoadReportIntoEditor(QString::number(source), ReportLoader::Variant::Copy));
        QVERIFY(ed.editing() && !ed.Text12->isEnabled());
        QStringList shown;
        for (int f = 1; f <= 24; ++f)
            shown << ed.controlText(f);
        QCOMPARE(ed.controlText(ReportRecord::sex), QStringLiteral("女"));
        QCOMPARE(ed.controlText(ReportRecord::part), QStringLiteral("头颅"));

        // Tab into the sex, then Enter from field to field, down the panel,
        // skipping the reporting doctor (never editable), from the result to
        // the body part and on to the findings.
        ed.Text2->setFocus();
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), ed.Text3);
        const QList<QWidget*> order = {ed.Text4,  ed.ComboAge, ed.Text5,     ed.Text6,  ed.Text7,  ed.Text17,
                                       ed.Text8,  ed.Text18,   ed.Text9,     ed.Text10, ed.Text11, ed.Text13,
                                       ed.Text19, ed.Combojs,  ed.Combopart, ed.Text15};
        for (QWidget* next : order) {
            QWidget* from = QApplication::focusWidget();
            enter(from);
            QVERIFY2(QApplication::focusWidget() == next, qPrintable(from->objectName() + QStringLiteral(" -> ")
                                                                     + QApplication::focusWidget()->objectName()));
        }
        for (int f = 1; f <= 24; ++f)
            QVERIFY2(ed.controlText(f) == shown[f - 1],
                     qPrintable(QStringLiteral("field %1: %2, was %3").arg(f).arg(ed.controlText(f), shown[f - 1])));
        QCOMPARE(ed.Text7->count(), 2);   // passing the section chose none: all physicians stay listed

        ed.ButtnSave_Click();
        QVERIFY2(MessageBox::shownBoxes().isEmpty(), qPrintable(lastText()));
        const RecordSetPtr copy = kit::storedRow(source + 1);
        QVERIFY(copy && copy->recordCount() == 1);
        for (int f = 1; f <= 24; ++f) {
            if (f == ReportRecord::rpdate || f == ReportRecord::facility)
                continue;
            const QString stored = f == ReportRecord::times ? ReportRecord::FeeText(copy->field(f))
                                                            : ReportRecord::ValueText(copy->field(f));
            QVERIFY2(stored == shown[f - 1],
                     qPrintable(QStringLiteral("field %1: stored %2, shown %3").arg(f).arg(stored, shown[f - 1])));
        }
        const RecordSetPtr original = kit::storedRow(source);
        for (int f : {ReportRecord::sex, ReportRecord::ageunit, ReportRecord::sectionoffice, ReportRecord::utpatientid,
                      ReportRecord::pgdr, ReportRecord::part, ReportRecord::checktechnique})
            QCOMPARE(copy->text(f), original->text(f));
    }

    // Tab in the findings and the diagnosis moves on as the tab order says.
    void tabLeavesTheReportBoxes()
    {
        DataRecord& ed = newReport();
        ed.Text15->setFocus();
        ed.Text15->setPlainText(QStringLiteral("所见"));
        QTest::keyClick(ed.Text15, Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), ed.Text16);
        QTest::keyClick(ed.Text16, Qt::Key_Tab);
        QVERIFY(QApplication::focusWidget() != ed.Text16);
        QVERIFY(ed.Text15->toPlainText() == QStringLiteral("所见") && ed.Text16->toPlainText().isEmpty());
        // Backwards too.
        ed.Text16->setFocus();
        QTest::keyClick(ed.Text16, Qt::Key_Backtab, Qt::ShiftModifier);
        QCOMPARE(QApplication::focusWidget(), ed.Text15);
        QTest::keyClick(ed.Text15, Qt::Key_Backtab, Qt::ShiftModifier);
        QCOMPARE(QApplication::focusWidget(), ed.Combopart);
        // Enter still breaks the line there.
        ed.Text16->setFocus();
        enter(ed.Text16);
        QCOMPARE(ed.Text16->toPlainText(), QStringLiteral("\n"));
    }

    // Choosing a section lists its physicians, typing in it lists all; a
    // physician already there stays.
    void physiciansOfTheSection()
    {
        // The list's positions are not the sections' numbers.
        QVERIFY(TestFolder::exec(
            QStringLiteral("INSERT INTO section VALUES ('3', '内科'), ('007', '骨科'), ('1', '外科'), ('0', '急诊')")));
        QVERIFY(TestFolder::exec(QStringLiteral(
            "INSERT INTO doctor VALUES ('d1', '张医生', '3'), ('d2', '李医生', '3'), ('d3', '王医生', '007'), "
            "('d4', '赵医生', '1'), ('d5', '钱医生', '2'), ('d6', '孙医生', '0')")));
        DataRecord& ed = newReport();
        auto list = [&ed] {
            QStringList out;
            for (int i = 0; i < ed.Text7->count(); ++i)
                out << ed.Text7->itemText(i);
            return out;
        };
        ed.Text7->setEditText(QStringLiteral("赵医生"));
        choose(ed.Text6, 0);
        QCOMPARE(list(), (QStringList{QStringLiteral("张医生"), QStringLiteral("李医生")}));
        QCOMPARE(ed.Text7->currentText(), QStringLiteral("赵医生"));
        choose(ed.Text6, 2);
        QCOMPARE(list(), QStringList{QStringLiteral("赵医生")});
        choose(ed.Text6, 3);
        QCOMPARE(list(), QStringList{QStringLiteral("孙医生")});
        choose(ed.Text6, 1);   // "007" is kept as the number 7: no physician
        QVERIFY(list().isEmpty());
        QTest::keyClick(ed.Text6, Qt::Key_Backspace);
        QCOMPARE(list().size(), 6);
        // A failing list is reported and the list stays.
        QVERIFY(TestFolder::exec(QStringLiteral("DROP TABLE doctor")));
        choose(ed.Text6, 0);
        QVERIFY(lastTitle() == QStringLiteral("错误") && lastText().contains(QStringLiteral("doctor")));
        QCOMPARE(list().size(), 6);
    }

    void bodyPartMemory()
    {
        QVERIFY(TestFolder::exec(QStringLiteral("INSERT INTO bodypart (partname) VALUES ('胸部'), ('腹部')")));
        DataRecord& ed = newReport();
        choose(ed.Combopart, 0);
        choose(ed.Combopart, 1);
        QCOMPARE(ed.Combopart->currentText(), QStringLiteral("胸部,腹部"));
        choose(ed.Combopart, 0);
        QCOMPARE(ed.Combopart->currentText(), QStringLiteral("胸部,腹部,胸部"));
        ed.Combopart->setFocus();
        ed.Combopart->lineEdit()->selectAll();
        QTest::keyClick(ed.Combopart, Qt::Key_Backspace);   // typed away
        choose(ed.Combopart, 1);
        QCOMPARE(ed.Combopart->currentText(), QStringLiteral("腹部"));
        // A program's text (a template's body part) restarts the memory too.
        ed.setControlText(ReportRecord::part, QStringLiteral("头颅"));
        choose(ed.Combopart, 0);
        QCOMPARE(ed.Combopart->currentText(), QStringLiteral("头颅,胸部"));
        QCOMPARE(ed.Combopart->count(), 2);

        // Enter and Tab through the field leave the parts as they are: after
        // choices, and with a text that is one entry of the list.
        ed.Combopart->lineEdit()->clear();
        ed.Combopart_Change();
        choose(ed.Combopart, 0);
        choose(ed.Combopart, 1);
        choose(ed.Combopart, 0);
        QCOMPARE(ed.Combopart->currentText(), QStringLiteral("胸部,腹部,胸部"));
        ed.activateWindow();   // back from the list's popup
        QVERIFY(QTest::qWaitForWindowActive(&ed));
        ed.Combojs->setFocus();
        enter(ed.Combojs);
        QCOMPARE(QApplication::focusWidget(), ed.Combopart);
        enter(ed.Combopart);
        QCOMPARE(QApplication::focusWidget(), ed.Text15);
        QCOMPARE(ed.Combopart->currentText(), QStringLiteral("胸部,腹部,胸部"));
        QCOMPARE(ed.bodyPartMemory(), QStringLiteral("胸部,腹部,胸部"));
        for (const QString& one : {QStringLiteral("腹部"), QStringLiteral("胸部")}) {   // an entry
            ed.setControlText(ReportRecord::part, one);
            ed.Combojs->setFocus();
            enter(ed.Combojs);
            enter(ed.Combopart);
            QCOMPARE(ed.Combopart->currentText(), one);
            ed.Combopart->setFocus();
            QTest::keyClick(ed.Combopart, Qt::Key_Tab);
            QCOMPARE(QApplication::focusWidget(), ed.Text15);
            QCOMPARE(ed.Combopart->currentText(), one);
        }
        // Choosing still adds to the text shown.
        choose(ed.Combopart, 1);
        QCOMPARE(ed.Combopart->currentText(), QStringLiteral("胸部,腹部"));
    }

    void phraseLookupAndInsertion()
    {
        QVERIFY(TestFolder::exec(QStringLiteral(
            "INSERT INTO zymc (name, fl) VALUES ('肺纹理增粗', 'fw'), ('心影不大', '肺'), ('肺野清晰', ''), "
            "('100%', ''), ('O''Neil征', ''), ('a_b', ''), ('ab', '')")));
        DataRecord& ed = newReport();
        QTest::mouseClick(ed.btnCK, Qt::LeftButton);
        ed.Text15->setFocus();
        QCOMPARE(ed.lastReportBox(), QStringLiteral("Text15"));
        ed.Text15->setPlainText(QStringLiteral("两"));   // a program's text: caret 0, no lookup
        QVERIFY(captions(ed).isEmpty());
        setCaret(ed.Text15, 1);
        type(ed.Text15, QStringLiteral("肺"));
        // name or keyword, in id order
        QCOMPARE(captions(ed),
                 (QStringList{QStringLiteral("肺纹理增粗"), QStringLiteral("心影不大"), QStringLiteral("肺野清晰")}));
        QVERIFY(ed.phrasePanelHeight() > 0 && ed.Piczymc->height() > 0 && !ed.butnCKdown->isVisibleTo(&ed));
        // The first phrase takes the key's place, the next goes after it.
        clickPhrase(ed, 2);
        QCOMPARE(ed.Text15->toPlainText(), QStringLiteral("两肺野清晰"));
        QCOMPARE(ed.Text15->textCursor().position(), 5);
        clickPhrase(ed, 1);
        QCOMPARE(ed.Text15->toPlainText(), QStringLiteral("两肺野清晰心影不大"));
        QCOMPARE(captions(ed).size(), 3);   // the insertions ran no lookup
        // At the very start the phrase goes in front; a selection elsewhere is replaced.
        setCaret(ed.Text15, 0);
        clickPhrase(ed, 0);
        QVERIFY(ed.Text15->toPlainText().startsWith(QStringLiteral("肺纹理增粗两"))
                && ed.Text15->textCursor().position() == 5);
        setCaret(ed.Text15, 9, 6);
        clickPhrase(ed, 1);
        QCOMPARE(ed.Text15->toPlainText(), QStringLiteral("肺纹理增粗两心影不大晰心影不大"));

        // %, _ and ' are looked for as they are.
        for (const auto& [key, found] : {std::pair{QStringLiteral("%"), QStringLiteral("100%")},
                                         {QStringLiteral("_"), QStringLiteral("a_b")},
                                         {QStringLiteral("'"), QStringLiteral("O'Neil征")}}) {
            ed.Text16->setFocus();
            ed.Text16->moveCursor(QTextCursor::End);
            type(ed.Text16, key);
            QCOMPARE(captions(ed), QStringList{found});
        }
        QCOMPARE(ed.lastReportBox(), QStringLiteral("Text16"));
        type(ed.Text16, QStringLiteral("无"));   // no match
        QVERIFY(ed.phrasePanelHeight() == 0 && ed.Piczymc->height() == 0);
        type(ed.Text16, QStringLiteral("肺"));
        QVERIFY(ed.phrasePanelHeight() > 0);
        // A box shown read-only runs no lookup and takes no phrase; emptied, it closes the panel.
        ed.Text16->setEnabled(false);
        const QString before = ed.Text16->toPlainText();
        QTest::mouseClick(ed.Labelzych[0], Qt::LeftButton);
        QCOMPARE(ed.Text16->toPlainText(), before);
        ed.Text16->setPlainText(QStringLiteral("x肺"));
        QVERIFY(ed.phrasePanelHeight() > 0 && captions(ed).size() == 3);
        ed.Text16->clear();
        QCOMPARE(ed.phrasePanelHeight(), 0);

        // A key typed, a click anywhere on the phrase: the phrase takes the
        // key's place. The labels no phrase uses are out of the way, so a
        // click beside the phrase inserts nothing.
        ed.Text16->setEnabled(true);
        ed.Text16->setFocus();
        type(ed.Text16, QStringLiteral("fw"));
        QCOMPARE(captions(ed), QStringList{QStringLiteral("肺纹理增粗")});
        for (QLabel* spare : ed.Labelzych.mid(1))
            QVERIFY(!spare->isVisible() || spare->testAttribute(Qt::WA_TransparentForMouseEvents));
        QLabel* phrase = ed.Labelzych[0];
        clickAt(phrase, QPoint(phrase->width() + 40, phrase->height() / 2));
        QCOMPARE(ed.Text16->toPlainText(), QStringLiteral("fw"));
        clickPhrase(ed, 0);
        QCOMPARE(ed.Text16->toPlainText(), QStringLiteral("f肺纹理增粗"));
        QCOMPARE(ed.Text16->textCursor().position(), 6);
    }

    // Every way a phrase goes in, in the middle of a text: the phrase stands
    // at the caret (in place of the key typed, or of the selection) and the
    // caret right after it, not at the end of the text or where it was.
    void insertionsInTheMiddle()
    {
        QVERIFY(TestFolder::exec(QStringLiteral(
            "INSERT INTO zymc (name, fl) VALUES ('心影不大', ''), ('双肺纹理清晰', ''), ('±', 'V'), ('×', 'V')")));
        QVERIFY(TestFolder::exec(QStringLiteral("UPDATE cyms SET txtms = '述' || flid || row || col")));
        DataRecord& ed = newReport();
        QTest::mouseClick(ed.btnCK, Qt::LeftButton);
        auto state = [](QPlainTextEdit* box) {
            return box->toPlainText() + QLatin1Char('|') + QString::number(box->textCursor().position());
        };
        for (QPlainTextEdit* box : {ed.Text15, ed.Text16}) {
            box->setFocus();
            box->setPlainText(QStringLiteral("左肺。右肺。"));
            // The lookup's list: the first phrase takes the key's place.
            setCaret(box, 3);
            type(box, QStringLiteral("心"));
            QCOMPARE(captions(ed), QStringList{QStringLiteral("心影不大")});
            clickPhrase(ed, 0);
            QCOMPARE(state(box), QStringLiteral("左肺。心影不大右肺。|7"));
            // The next goes in at the caret, then over a selection.
            clickPhrase(ed, 0);
            QCOMPARE(state(box), QStringLiteral("左肺。心影不大心影不大右肺。|11"));
            setCaret(box, 2, 1);
            clickPhrase(ed, 0);
            QCOMPARE(state(box), QStringLiteral("左心影不大。心影不大心影不大右肺。|5"));

            // A quick phrase button.
            box->setPlainText(QStringLiteral("甲乙丙"));
            setCaret(box, 1);
            QvButton* times = nullptr;
            for (QvButton* b : ed.btnTS)
                if (b->text() == QStringLiteral("×"))
                    times = b;
            QVERIFY(times);
            QTest::mouseClick(ed.btnFH, Qt::LeftButton);
            QTest::mouseClick(times, Qt::LeftButton);
            QCOMPARE(state(box), QStringLiteral("甲×乙丙|2"));
            setCaret(box, 3, 2);
            QTest::mouseClick(times, Qt::LeftButton);
            QCOMPARE(state(box), QStringLiteral("甲××丙|3"));

            // A stock description, by a double click on its cell.
            box->setPlainText(QStringLiteral("甲乙丙"));
            setCaret(box, 2);
            QTest::mouseClick(ed.btnMS, Qt::LeftButton);
            const QRect r = ed.Gridms->visualItemRect(ed.Gridms->item(0, 0));
            doubleClick(ed.Gridms->viewport(), r.center());
            QCOMPARE(state(box), QStringLiteral("甲乙述100丙|6"));
            QTest::mouseClick(ed.btnCK, Qt::LeftButton);
        }
    }

    // 120 phrases: the labels grow in blocks of 50, the rows pass the
    // viewport and the scroll buttons appear; a phrase wider than the panel
    // stands alone on its row.
    void manyAndWidePhrases()
    {
        QVERIFY(TestFolder::exec(
            QStringLiteral("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 120) "
                           "INSERT INTO zymc (name, fl) SELECT '肺' || i || '号常用描述', '' FROM n")));
        QVERIFY(Database::ExecuteSql(QStringLiteral("UPDATE zymc SET name = ? WHERE id = 3"),
                                     {QStringLiteral("肺").repeated(200)})
                    .ok());
        DataRecord& ed = newReport();
        ed.Text15->setFocus();
        type(ed.Text15, QStringLiteral("肺"));
        QVERIFY(ed.phraseLabelCount() == 150 && ed.Labelzych.size() == 150);
        QCOMPARE(captions(ed).size(), 120);
        QCOMPARE(ed.findChild<QLabel*>(QStringLiteral("Labelzych(149)")), ed.Labelzych[149]);
        // The wide phrase starts a row of its own, and the next one's; each row
        // a line and 30 twips below the one before.
        const int rowTw = QFontMetrics(ed.Piczymc->font()).height() * 15 + 30;
        QVERIFY(ed.Labelzych[1]->y() == ed.Labelzych[0]->y() && ed.Labelzych[1]->x() > 0);
        QCOMPARE(ed.Labelzych[0]->y(), EditorGeometry::px(30));
        QCOMPARE(ed.Labelzych[2]->pos(), QPoint(0, EditorGeometry::px(30 + rowTw)));
        QCOMPARE(ed.Labelzych[3]->pos(), QPoint(0, EditorGeometry::px(30 + 2 * rowTw)));
        QVERIFY(ed.butnCKup->isVisibleTo(&ed) && ed.butnCKdown->isVisibleTo(&ed));
        const int height = ed.phrasePanelHeight();
        QVERIFY(height > ed.Picmc->height() * 15);
        ed.butnCKup_Click();   // at the top already
        QCOMPARE(ed.phrasePanelTop(), 0);
        for (int i = 0; i < 1000 && -ed.phrasePanelTop() < height; ++i)
            ed.butnCKdown_Click();
        QVERIFY(-ed.phrasePanelTop() >= height && -ed.phrasePanelTop() < height + 250);
        QCOMPARE(ed.Piczymc->y(), EditorGeometry::px(ed.phrasePanelTop()));
        // A save closes the panel; the next lookup starts at the top.
        kit::typeRecord(ed, QStringLiteral("P1"), QStringLiteral("甲"));
        ed.ButtnSave_Click();
        QVERIFY(ed.phrasePanelHeight() == 0 && captions(ed).isEmpty());
    }

    // The phrases flow 120 twips apart; a row ends where the next phrase
    // would not fit, and the next row starts the ending phrase's height and
    // 30 twips further down; a phrase wider than the panel stands alone.
    void phraseRows()
    {
        const auto measure = [](const QString& s) { return QSize(int(s.size()) * 100, 200); };
        const PhraseLookup::Flow f =
            PhraseLookup::LayOut({QStringLiteral("aaaa"), QStringLiteral("bbbb"), QStringLiteral("cc"),
                                  QStringLiteral("dddddddddddd"), QStringLiteral("e")},
                                 1000, measure);
        QCOMPARE(f.positions, (QVector<QPoint>{{0, 30}, {0, 260}, {520, 260}, {0, 490}, {0, 720}}));
        QCOMPARE(f.height, 720 + 200);
        QCOMPARE(PhraseLookup::LayOut({}, 1000, measure).height, 230);
    }

    // The four tabs: the pressed one lighter by 30/10, the others by 80/40.
    void sideTabs()
    {
        DataRecord& ed = newReport();
        auto colours = [](QvButton* b) {
            QList<qint32> out;
            for (quint32 p : {0x68030017u, 0x68030015u, 0x68030016u, 0x68030014u, 0x68030012u, 0x68030013u})
                out << b->colors().value(p, -1);
            return out;
        };
        auto expected = [](int first, int second) {
            const qint32 a = Palette::AdjustColor(Palette::gCaptionColorFrom, first);
            const qint32 b = Palette::AdjustColor(Palette::gCaptionColorFrom, second);
            return QList<qint32>{a, a, a, b, b, b};
        };
        QVERIFY(ed.sidePanelTab() == 3 && ed.Picyc->isVisibleTo(&ed));
        const std::pair<QvButton*, QWidget*> tabs[] = {
            {ed.btnCK, ed.Piczymc}, {ed.btnFH, ed.Picts}, {ed.btnMS, ed.Picms}, {ed.btnYC, ed.Picyc}};
        for (int t : {3, 0, 1, 2, 3}) {
            QTest::mouseClick(tabs[t].first, Qt::LeftButton);
            QCOMPARE(ed.sidePanelTab(), t);
            for (int k = 0; k < 4; ++k)
                QCOMPARE(colours(tabs[k].first), k == t ? expected(30, 10) : expected(80, 40));
            QVERIFY(tabs[t].second->isVisibleTo(&ed));
            if (t < 3) {
                QVERIFY(!ed.Picyc->isVisibleTo(&ed));
                for (int k = 0; k < 3; ++k)
                    QCOMPARE(tabs[k].second->isVisibleTo(&ed), k == t);
                grabSidePanel(ed, QStringLiteral("entryaids-tab%1.png").arg(t));
            }
        }
    }

    void stockGridGeometry()
    {
        using StockDescriptions::Geometry;
        const auto g0 = Geometry(0, QSize(1600, 1200), 2760, 2760, 2130);
        QCOMPARE(g0.colWidths, (QVector<int>{1600, 1600, 2105, 2105}));
        QCOMPARE(g0.rowHeights, QVector<int>(10, 286));
        QCOMPARE(Geometry(7, QSize(1600, 1200), 2760, 2760, 2130).colWidths, g0.colWidths);   // not 1: as 0
        QCOMPARE(Geometry(1, QSize(1024, 768), 2760, 2760, 2130).rowHeights, g0.rowHeights);
        // 1280 x 1024: columns of 1760 (6, remainder 700), rows of 315 (9, remainder 30).
        const auto g1 = Geometry(1, QSize(1280, 1024), 2760, 2760, 2130);
        QCOMPARE(g1.colWidths, (QVector<int>{1760, 1760, 1760, 1760, 2105, 2105}));
        QCOMPARE(g1.rowHeights, QVector<int>(9, 318));

        using StockDescriptions::PlaceEditor;
        auto e = PlaceEditor(g0, 2, 1, 2, 1, 2130, 1935);   // the visible top left cell
        QVERIFY(e.open && !e.scroll && e.left == 2130 && e.top == 0 && e.width == 1590 && e.height == 276);
        e = PlaceEditor(g0, 0, 0, 6, 3, 2130, 1935);   // partly visible at the bottom
        QVERIFY(e.open && e.scroll && e.left == 2130 + 5305 && e.top == 6 * 286 - 277);
        QVERIFY(!PlaceEditor(g0, 0, 0, 7, 0, 2130, 1935).open);   // below the grid
    }

    // Categories, the cell editor and its save, insertion of cells and symbols.
    void stockDescriptions()
    {
        QVERIFY(TestFolder::exec(QStringLiteral("UPDATE cyms SET txtms = '一' || flid || row || col")));
        QVERIFY(TestFolder::exec(QStringLiteral("DELETE FROM cyms WHERE flid = 3 AND row = 0 AND col = 1")));
        QVERIFY(TestFolder::exec(QStringLiteral("INSERT INTO zymc (name, fl) VALUES ('±', 'V'), ('×', 'V')")));
        QVERIFY(kit::setIni("system", "kz", QStringLiteral("0")));
        DataRecord& ed = newReport();
        QVERIFY(ed.descriptionCategory() == 1 && ed.TextMatrix(0, 0) == QStringLiteral("一100"));
        QVERIFY(ed.Gridms->rowCount() == 10 && ed.Gridms->columnCount() == 4);
        QTest::mouseClick(ed.btnMS, Qt::LeftButton);
        clickNode(ed, 2);
        QVERIFY(ed.descriptionCategory() == 3 && ed.TextMatrix(0, 1).isEmpty());   // no row: an empty cell
        QCOMPARE(ed.TextMatrix(9, 3), QStringLiteral("一393"));

        // Enter opens the editor over the cell; a text with quote and blanks is stored trimmed.
        ed.Gridms->setFocus();
        ed.Gridms->setCurrentCell(0, 1);
        enter(ed.Gridms);
        QVERIFY(ed.Textedit->isVisibleTo(&ed) && ed.Textedit->hasFocus());
        QCOMPARE(ed.Textedit->geometry(), EditorGeometry::pxRect(2130 + 1600, 0, 1590, 276));
        ed.Textedit->setText(QStringLiteral("  O'Neil 50%  "));
        enter(ed.Textedit);
        QVERIFY(!ed.Textedit->isVisibleTo(&ed) && MessageBox::shownBoxes().isEmpty());
        QCOMPARE(ed.TextMatrix(0, 1), QStringLiteral("  O'Neil 50%  "));
        QCOMPARE(cell(3, 0, 1), QStringLiteral("O'Neil 50%"));   // the missing row was made
        ed.TreeMS_NodeClick(ed.TreeMS->topLevelItem(2));
        QCOMPARE(ed.TextMatrix(0, 1), QStringLiteral("O'Neil 50%"));
        // An unchanged text sends nothing.
        QVERIFY(
            TestFolder::exec(QStringLiteral("UPDATE cyms SET txtms = 'db' WHERE flid = 3 AND row = 0 AND col = 1")));
        ed.Gridms->setCurrentCell(0, 1);
        enter(ed.Gridms);
        enter(ed.Textedit);
        QVERIFY(!ed.Textedit->isVisibleTo(&ed) && cell(3, 0, 1) == QStringLiteral("db"));
        // A character no text of a report may hold: named, nothing stored, the editor stays open.
        enter(ed.Gridms);
        ed.Textedit->setText(QStringLiteral("左\u202E右"));
        enter(ed.Textedit);
        QCOMPARE(lastText(), QStringLiteral("常用描述含有不允许的字符（文字方向控制符 U+202E），请重新输入"));
        QVERIFY(ed.Textedit->isVisibleTo(&ed) && cell(3, 0, 1) == QStringLiteral("db"));
        ed.Textedit->setText(ed.TextMatrix(0, 1));   // as it was: nothing to store
        enter(ed.Textedit);
        // A category's name is kept in the settings file: one with such a character goes back.
        const QString kept = ed.TreeMS->topLevelItem(1)->text(0);
        ed.TreeMS->topLevelItem(1)->setText(0, QStringLiteral("胸\x1b部"));
        QCOMPARE(lastText(), QStringLiteral("描述分类名称含有不允许的字符（控制字符 U+001B），请重新输入"));
        QCOMPARE(ed.TreeMS->topLevelItem(1)->text(0), kept);
        QCOMPARE(Modini::GetIniValue(IniKey::DescriptionName(2)), kept);
        MessageBox::clearShown();
        // A failing save: the message, the editor stays open with the text, the cell as it was.
        QVERIFY(TestFolder::exec(QStringLiteral("ALTER TABLE cyms RENAME TO cyms_gone")));
        enter(ed.Gridms);
        ed.Textedit->setText(QStringLiteral("新"));
        enter(ed.Textedit);
        QCOMPARE(lastTitle(), QStringLiteral("系统错误"));
        QVERIFY(ed.Textedit->isVisibleTo(&ed) && ed.Textedit->text() == QStringLiteral("新"));
        QCOMPARE(ed.TextMatrix(0, 1), QStringLiteral("O'Neil 50%"));
        QVERIFY(TestFolder::exec(QStringLiteral("ALTER TABLE cyms_gone RENAME TO cyms")));
        enter(ed.Textedit);   // Enter tries again
        QVERIFY(!ed.Textedit->isVisibleTo(&ed) && cell(3, 0, 1) == QStringLiteral("新"));

        // A double click puts the cell at the findings' caret, replacing the selection.
        ed.Text15->setFocus();
        ed.Text15->setPlainText(QStringLiteral("ABCD"));
        setCaret(ed.Text15, 3, 1);
        ed.Gridms->scrollToItem(ed.Gridms->item(9, 3));
        const QRect r = ed.Gridms->visualItemRect(ed.Gridms->item(9, 3));
        doubleClick(ed.Gridms->viewport(), r.center());
        QCOMPARE(ed.Text15->toPlainText(), QStringLiteral("A一393D"));
        QCOMPARE(ed.Text15->textCursor().position(), 5);
        // A symbol goes in the same way and leaves an open cell editor open.
        ed.Gridms->setCurrentCell(1, 1);
        enter(ed.Gridms);
        ed.btnTS_Click(1);
        QVERIFY(ed.Textedit->isVisibleTo(&ed) && ed.Text15->toPlainText() == QStringLiteral("A一393×D"));
        // Not editable: nothing goes in.
        kit::typeRecord(ed, QStringLiteral("S1"), QStringLiteral("乙"));
        ed.ButtnSave_Click();
        QVERIFY(!ed.Text14->isEnabled());
        ed.btnTS_Click(0);
        QCOMPARE(ed.Text15->toPlainText(), QStringLiteral("A一393×D"));

        // Renaming a category writes its setting, also empty.
        ed.TreeMS->editItem(ed.TreeMS->topLevelItem(4));
        auto* label = ed.TreeMS->viewport()->findChild<QLineEdit*>();
        QVERIFY(label);
        label->clear();
        enter(label);
        const IniFile ini(folder_->file(QStringLiteral("options.ini")));
        QVERIFY(ini.contains(QStringLiteral("system"), QStringLiteral("ms5")));
        QCOMPARE(ini.value(QStringLiteral("system"), QStringLiteral("ms5")), QString());
        kit::closeEditor();
        QCOMPARE(Modini::GetIniValue(QStringLiteral("system"), QStringLiteral("mrms")), QStringLiteral("3"));
    }

    void templateButtons()
    {
        QStringList manager;   // the template manager's openings
        Openers::setOpener(Openers::Window::FrmMBmanager,
                           [&manager](Openers::How how) { manager << Openers::name(how); });
        DataRecord& ed = DataRecord::instance();
        ed.ensureLoaded();
        ed.Buttnmbzr_Click();   // not editing
        QVERIFY(lastText() == QStringLiteral("请在可编辑状态载入模板") && lastTitle() == QStringLiteral("提示"));
        QVERIFY(manager.isEmpty());
        // Both show the information page first.
        ed.ButtnNew_Click();
        ed.Buttnpic_Click();
        ed.ButtnSwmb_Click();
        QCOMPARE(ed.pageFlag(), 0);
        ed.Buttnpic_Click();
        ed.Buttnmbzr_Click();
        QVERIFY(manager == (QStringList{QStringLiteral("insert"), QStringLiteral("load")}) && ed.pageFlag() == 0);
        Openers::setOpener(Openers::Window::FrmMBmanager, {});
    }

    // A radiologist's way through a new report, on the shown window.
    void newReportWithTheAids()
    {
        const qint64 key = kit::insertReport(QStringLiteral("DX-7"), QStringLiteral("周五"), QStringLiteral("李医生"));
        QVERIFY(Database::ExecuteSql(QStringLiteral("UPDATE reports SET checkconclusion = ?, part = ? WHERE ctid = ?"),
                                     {QStringLiteral("双肺未见异常"), QStringLiteral("胸部"), key})
                    .ok());
        kit::storePictures(key, {kit::jpegBytes(64, 48, Qt::darkCyan), {}, kit::jpegBytes(64, 48, Qt::darkRed)});
        QVERIFY(TestFolder::exec(QStringLiteral("INSERT INTO zymc (name, fl) VALUES ('肺纹理增多', ''), ('肺门不大', "
                                                "''), ('心影正常', '心'), ('±', 'V')")));
        QVERIFY(TestFolder::exec(QStringLiteral("UPDATE cyms SET txtms = '骨质未见异常' WHERE flid = 1 AND row = 0")));
        // The main window's new-report command opens the editor on its picture page.
        Openers::EditorNewReport();
        DataRecord& ed = DataRecord::instance();
        ed.show();
        ed.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&ed));
        QTest::mouseClick(ed.Buttninfo, Qt::LeftButton);
        opened_.clear();
        onOpen_ = [](QDialog* d) {
            auto* related = qobject_cast<Frmcfsj*>(d);
            QVERIFY(related);
            related->show();
            QVERIFY(QTest::qWaitForWindowExposed(related));
            related->grab().save(testOutputFolder() + QStringLiteral("/entryaids-Frmcfsj.png"));
            QTest::mouseClick(related->ButtnCopy, Qt::LeftButton);
            QVERIFY(!related->isVisible());
        };
        ed.Text1->setFocus();
        QTest::keyClicks(ed.Text1, QStringLiteral("dx-7"));
        enter(ed.Text1);
        QCOMPARE(opened_.size(), 1);
        ed.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&ed));
        QVERIFY(ed.Text1->text() == QStringLiteral("DX-7") && ed.Text2->text() == QStringLiteral("周五"));
        QVERIFY(ed.Text16->toPlainText() == QStringLiteral("双肺未见异常") && ed.editing());
        QVERIFY(!ed.Picload[0]->Tag.isEmpty() && ed.Picload[1]->Tag.isEmpty() && !ed.Picload[2]->Tag.isEmpty());

        QTest::mouseClick(ed.btnCK, Qt::LeftButton);
        QTest::mouseClick(ed.Text15->viewport(), Qt::LeftButton);
        type(ed.Text15, QStringLiteral("两肺"));
        QCOMPARE(captions(ed), (QStringList{QStringLiteral("肺纹理增多"), QStringLiteral("肺门不大")}));
        QCoreApplication::processEvents();
        ed.grab().save(testOutputFolder() + QStringLiteral("/entryaids-phrases.png"));
        grabSidePanel(ed, QStringLiteral("entryaids-tab0.png"));
        QTest::mouseClick(ed.Labelzych[0], Qt::LeftButton);
        QTest::mouseClick(ed.btnMS, Qt::LeftButton);
        grabSidePanel(ed, QStringLiteral("entryaids-tab2.png"));
        doubleClick(ed.Gridms->viewport(), ed.Gridms->visualItemRect(ed.Gridms->item(0, 0)).center());
        QTest::mouseClick(ed.btnFH, Qt::LeftButton);
        grabSidePanel(ed, QStringLiteral("entryaids-tab1.png"));
        QTest::mouseClick(ed.btnTS[0], Qt::LeftButton);
        QCOMPARE(ed.Text15->toPlainText(), QStringLiteral("两肺纹理增多骨质未见异常±"));
        ed.ButtnSave_Click();
        QVERIFY2(MessageBox::shownBoxes().isEmpty(), qPrintable(lastText()));
        QCOMPARE(kit::countReports(), 2);
        const RecordSetPtr copy = kit::storedRow(key + 1);
        QVERIFY(copy->text(ReportRecord::checksymptom) == ed.Text15->toPlainText() && !copy->isNull(31));
    }

private:
    DataRecord& newReport()
    {
        DataRecord& ed = DataRecord::instance();
        ed.ensureLoaded();
        ed.ButtnNew_Click();
        ed.show();
        ed.activateWindow();
        [&] { QVERIFY(QTest::qWaitForWindowActive(&ed)); }();
        return ed;
    }

    static void clickNode(DataRecord& ed, int index)
    {
        QTreeWidgetItem* node = ed.TreeMS->topLevelItem(index);
        QTest::mouseClick(ed.TreeMS->viewport(), Qt::LeftButton, {}, ed.TreeMS->visualItemRect(node).center());
    }

    static QString cell(int flid, int row, int col)
    {
        const QueryResult r = Database::QueryData(
            QStringLiteral("SELECT txtms FROM cyms WHERE flid = ? AND row = ? AND col = ?"), {flid, row, col});
        return r.hasRows() ? r.data->text(0, 0) : QStringLiteral("<none>");
    }

    static void grabSidePanel(DataRecord& ed, const QString& name)
    {
        const QRect area(ed.PicmcRect->mapTo(&ed, QPoint(0, 0)), ed.PicmcRect->size());
        ed.grab(area).save(testOutputFolder() + QLatin1Char('/') + name);
    }

    std::unique_ptr<TestFolder> folder_;
    QStringList opened_;
    std::function<void(QDialog*)> onOpen_;
};

QTEST_MAIN(tst_EntryAids)
#include "tst_entryaids.moc"
