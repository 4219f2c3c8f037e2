#include "support/EditorKit.h"

#include "core/Modini.h"
#include "editor/ReportLoader.h"
#include "imaging/VideoCapture.h"
#include "imaging/VideoCaptureTesting.h"
#include "platform/AppPaths.h"
#include "report/Frmreport.h"
#include "report/ProgramPrinter.h"
#include "report/ReportOpeners.h"

#include <QFileInfo>
#include <QHash>
#include <QLabel>
#include <QSignalSpy>
#include <QTableWidget>
#include <QTreeWidget>

#include <cmath>

using namespace ReportRecord;
using kit::lastText;
using kit::lastTitle;

namespace {
// Relative luminance and contrast ratio as the web's accessibility guidelines define them.
double luminance(const QColor& c)
{
    auto channel = [](double v) { return v <= 0.04045 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4); };
    return 0.2126 * channel(c.redF()) + 0.7152 * channel(c.greenF()) + 0.0722 * channel(c.blueF());
}

double contrast(const QColor& a, const QColor& b)
{
    const double la = luminance(a), lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

// The text drawn in a region of a grab, glyph by glyph: the region's most
// common colour is the background; pixels that stand out from it are ink;
// bands of rows with ink are lines of text, and in each line runs of columns
// with ink are glyphs (or the parts of one with a gap between them). For each
// glyph its darkest pixel against the background: antialiasing lightens a
// glyph of thin strokes, which the darkest pixel of the whole field can hide.
struct Glyphs {
    QColor background;
    int count = 0;
    double worst = 21;   // the lowest contrast of a glyph's darkest pixel
    QRect worstRect;
};

Glyphs measureGlyphs(const QImage& img, const QRect& region)
{
    Glyphs g;
    QHash<QRgb, int> counts;
    for (int y = region.top(); y <= region.bottom(); ++y)
        for (int x = region.left(); x <= region.right(); ++x)
            ++counts[img.pixel(x, y)];
    QRgb back = 0;
    for (auto it = counts.cbegin(); it != counts.cend(); ++it)
        if (it.value() > counts.value(back))
            back = it.key();
    g.background = QColor(back);
    auto ink = [&](int x, int y) { return contrast(img.pixelColor(x, y), g.background) >= 1.2; };
    // Whether any pixel of the rectangle is ink.
    auto inked = [&](int left, int right, int top, int bottom) {
        for (int y = top; y <= bottom; ++y)
            for (int x = left; x <= right; ++x)
                if (ink(x, y))
                    return true;
        return false;
    };
    auto rowHasInk = [&](int y) { return inked(region.left(), region.right(), y, y); };
    for (int y = region.top(); y <= region.bottom();) {
        if (!rowHasInk(y)) {
            ++y;
            continue;
        }
        int bottom = y;
        while (bottom + 1 <= region.bottom() && rowHasInk(bottom + 1))
            ++bottom;
        auto columnHasInk = [&](int x) { return inked(x, x, y, bottom); };
        for (int x = region.left(); x <= region.right();) {
            if (!columnHasInk(x)) {
                ++x;
                continue;
            }
            int right = x;
            while (right + 1 <= region.right() && columnHasInk(right + 1))
                ++right;
            QColor darkest = g.background;
            QRect box;
            for (int yy = y; yy <= bottom; ++yy)
                for (int xx = x; xx <= right; ++xx) {
                    if (ink(xx, yy))
                        box |= QRect(xx, yy, 1, 1);
                    if (luminance(img.pixelColor(xx, yy)) < luminance(darkest))
                        darkest = img.pixelColor(xx, yy);
                }
            x = right + 1;
            // A comma, a full stop: marks, not glyphs that carry the value.
            if (box.width() < 5 && box.height() < 5)
                continue;
            const double c = contrast(darkest, g.background);
            ++g.count;
            if (c < g.worst) {
                g.worst = c;
                g.worstRect = box;
            }
        }
        y = bottom + 1;
    }
    return g;
}
}

class tst_DataRecord : public QObject {
    Q_OBJECT
private slots:
    void init()
    {
        folder_ = kit::editorFolder();
        QVERIFY(folder_->ok());
    }

    void cleanup()
    {
        kit::closeEditor();
        folder_.reset();
    }

    void pagesAndPanels()
    {
        DataRecord& ed = DataRecord::instance();
        ed.ensureLoaded();
        const int mc = ed.PicmcRect->y(), rect = ed.PicRect->y(), t15 = ed.Text15->height(), t16 = ed.Text16->y();
        kit::closeEditor();
        Environment::setScreenSizeOverride(QSize(1280, 1024));
        ed.ensureLoaded();
        // 256 pixels more: the side panels move down by them, the report boxes take half each.
        QVERIFY(ed.PicmcRect->y() == mc + 256 && ed.PicRect->y() == rect + 256);
        QVERIFY(ed.Text15->height() == t15 + 128 && ed.Text16->y() == t16 + 128);
        // The side panel's pages follow the taller window; the phrase panel keeps
        // the height its lookup gave it (closed: 0).
        ed.Piczymc->resize(ed.Piczymc->width(), 0);
        ed.resize(1280, 1000);
        ed.Form_Resize();
        QCOMPARE(ed.Picts->height(), ed.Picmc->height() - ed.Picts->y());
        QCOMPARE(ed.Piczymc->height(), 0);

        ed.setViewSytle(QStringLiteral("1"));
        ed.setViewSytle(QStringLiteral("abc"));   // no number: the page flag stays
        ed.showModally();
        QCOMPARE(ed.pageFlag(), 1);
        QVERIFY(ed.Picpic->isVisibleTo(&ed) && !ed.Picdata2->isVisibleTo(&ed) && ed.Picyc->isVisibleTo(&ed));
        // Pressing the shown page's button changes nothing (not even its colours).
        const QRect store = ed.Picyc->geometry();
        ed.Buttnpic->setColor(0x68030017u, Palette::RGB(255, 0, 0));
        ed.Buttnpic_Click();
        QCOMPARE(ed.Buttnpic->color(ButtonProp::FaceBottom), Palette::RGB(255, 0, 0));
        QCOMPARE(ed.Picyc->geometry(), store);
        // Back to page 0: the store stays (its tab is the pressed one), the picture column follows.
        ed.Buttninfo_Click();
        QVERIFY(ed.Picdata2->isVisibleTo(&ed) && !ed.Picpic->isVisibleTo(&ed) && ed.Picyc->isVisibleTo(&ed));
        QCOMPARE(ed.RptPictureBox->x(), EditorGeometry::px((ed.Picdata2->x() + ed.Picdata2->width()) * 15 + 60));
    }

    void controlsCarryDesignNames()
    {
        DataRecord& ed = DataRecord::instance();
        ed.ensureLoaded();
        QCOMPARE(ed.findChild<QLineEdit*>(QStringLiteral("Text14")), ed.Text14);
        QCOMPARE(ed.findChild<QvButton*>(QStringLiteral("ButtnSave")), ed.ButtnSave);
        QCOMPARE(ed.findChild<EdPicture*>(QStringLiteral("Picload(3)")), ed.Picload[3]);
        QCOMPARE(ed.findChild<QLabel*>(QStringLiteral("Labelzych(49)")), ed.Labelzych[49]);
        // Nothing the window places on its panels is anonymous.
        for (const PaintPanel* panel : ed.findChildren<PaintPanel*>())
            for (const QWidget* w : panel->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
                QVERIFY2(!w->objectName().isEmpty(), qPrintable(panel->objectName()));
    }

    void captionsListsAndQuickPhrases()
    {
        QVERIFY(TestFolder::exec(QStringLiteral("UPDATE bgxm SET xmmc = '影像号' WHERE xmid = '01'")));
        QVERIFY(TestFolder::exec(QStringLiteral("INSERT INTO section VALUES ('007', '内科'), ('008', '外科')")));
        QVERIFY(
            TestFolder::exec(QStringLiteral("INSERT INTO zymc (name, fl) VALUES ('①', 'V'), ('②', 'V'), ('x', 'A')")));
        DataRecord& ed = DataRecord::instance();
        ed.ensureLoaded();
        QCOMPARE(ed.Label1->text(), QStringLiteral("影像号"));
        QVERIFY(ed.Text6->count() == 2 && ed.Text6->itemData(0).toString() == QStringLiteral("007"));
        QVERIFY(ed.Text12->count() == 1 && ed.Text12->currentText() == QStringLiteral("admin"));
        QVERIFY(ed.btnTS.size() == 2 && ed.btnTS[1]->text() == QStringLiteral("②"));   // the 'V' phrases
        QCOMPARE(ed.findChild<QvButton*>(QStringLiteral("btnTS(1)")), ed.btnTS[1]);
        QVERIFY(!ed.Text1->isEnabled() && MessageBox::shownBoxes().isEmpty());   // the starting state is read-only
        kit::closeEditor();
        MessageBox::clearShown();

        // 22 report items, no section list, no phrase table: each is reported and the load goes on.
        for (const char* sql : {"DELETE FROM bgxm WHERE xmid = '23'", "DROP TABLE section", "DROP TABLE zymc"})
            QVERIFY(TestFolder::exec(QString::fromLatin1(sql)));
        ed.ensureLoaded();
        const QList<MessageBox::Shown> boxes = MessageBox::shownBoxes();
        QCOMPARE(boxes.size(), 3);
        QVERIFY(boxes[0].text == QStringLiteral("打印项目设置错误") && boxes[0].title == QStringLiteral("错误"));
        QVERIFY(boxes[1].text.contains(QStringLiteral("section")) && boxes[1].title == QStringLiteral("错误"));
        QCOMPARE(ed.Label1->text(), QStringLiteral("检 查 号"));   // the built-in captions stay
        // The later lists and the defaults are still set, so a save can succeed.
        QVERIFY(ed.Text11->count() == 1 && ed.Text12->currentText() == QStringLiteral("admin"));
        QCOMPARE(ed.Text9->text(), QStringLiteral("2025-03-04"));
    }

    void validation_data()
    {
        QTest::addColumn<int>("field");
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("message");
        QTest::addColumn<bool>("selected");
        QTest::newRow("exam blank") << int(obligate5) << "   "
                                    << "X线号不能为空" << false;
        QTest::newRow("name blank") << int(brname) << " "
                                    << "病人姓名不能为空" << false;
        QTest::newRow("sex empty") << int(sex) << ""
                                   << "病人姓别不能为空" << false;
        QTest::newRow("age empty") << int(age) << ""
                                   << "年龄不能为空" << false;
        QTest::newRow("age 1,000") << int(age) << "1,000"
                                   << "年龄应该为数字" << true;
        QTest::newRow("unit empty") << int(ageunit) << ""
                                    << "年龄单位不能为空" << false;
        QTest::newRow("unit wrong") << int(ageunit) << "年"
                                    << "年龄单位不正确，请重新填写" << true;
        QTest::newRow("date empty") << int(pgdate) << ""
                                    << "报告日期不能为空" << false;
        QTest::newRow("date time") << int(pgdate) << "12:30"
                                   << "报告日期格式不正确，请按照“yyyy-mm-dd”填写" << true;
        QTest::newRow("count empty") << int(obligate1) << ""
                                     << "检查次数不能为空" << false;
        QTest::newRow("count letters") << int(obligate1) << "x"
                                       << "检查次数应该为数字" << true;
        QTest::newRow("doctor empty") << int(rpdr) << ""
                                      << "检查医师不能为空" << false;
        QTest::newRow("fee letters") << int(times) << "十元"
                                     << "收费金额应该为数字" << true;
        // One-line fields refuse control characters, named as the DICOM conversion names them.
        QTest::newRow("name U+0001") << int(brname) << "张\x01三"
                                     << "病人姓名含有不允许的字符（控制字符 U+0001），请重新输入" << true;
        QTest::newRow("exam tab") << int(obligate5) << "X\t1"
                                  << "检查号含有不允许的字符（制表符），请重新输入" << true;
        QTest::newRow("section ESC") << int(sectionoffice) << "内\x1b科"
                                     << "科室含有不允许的字符（控制字符 U+001B），请重新输入" << true;
        QTest::newRow("bed C1") << int(obligate2) << "3\xc2\x85"
                                << "床号含有不允许的字符（控制字符 U+0085），请重新输入" << true;
        // U+0000 is a character like any other, not "none".
        QTest::newRow("name U+0000") << int(brname) << QStringLiteral("王") + QChar(0) + QStringLiteral("五")
                                     << "病人姓名含有不允许的字符（空字符 U+0000），请重新输入" << true;
        QTest::newRow("name U+202E") << int(brname) << QStringLiteral("周\u202e九十")
                                     << "病人姓名含有不允许的字符（文字方向控制符 U+202E），请重新输入" << true;
        QTest::newRow("findings ESC") << int(checksymptom) << QStringLiteral("双肺\n\x1b纹理")
                                      << "检查所见含有不允许的字符（控制字符 U+001B），请重新输入" << false;
        QTest::newRow("diagnosis BEL") << int(checkconclusion) << QStringLiteral("未见\a异常")
                                       << "诊断意见含有不允许的字符（控制字符 U+0007），请重新输入" << false;
        QTest::newRow("age negative") << int(age) << "-3"
                                      << "年龄不能为负数，请重新输入" << true;
        QTest::newRow("name with emoji and joiner passes")
            << int(brname) << QStringLiteral("王五\U0001F468\u200D\U0001F469") << "" << false;
        QTest::newRow("diagnosis keeps breaks and tabs") << int(checkconclusion) << "甲\n\t乙\r\n"
                                                         << "" << false;
        QTest::newRow("sex one space passes") << int(sex) << " "
                                              << "" << false;
        QTest::newRow("slashed date passes") << int(pgdate) << "2024/1/5"
                                             << "" << false;
        QTest::newRow("two-digit year passes") << int(pgdate) << "24-1-5"
                                               << "" << false;
    }

    void validation()
    {
        QFETCH(int, field);
        QFETCH(QString, value);
        QFETCH(QString, message);
        QFETCH(bool, selected);
        DataRecord& ed = DataRecord::instance();
        ed.ButtnNew_Click();
        ed.show();
        kit::typeRecord(ed, QStringLiteral("X1"), QStringLiteral("张三"));
        ed.setControlText(field, value);
        ed.ButtnSave_Click();
        if (message.isEmpty()) {
            QVERIFY2(MessageBox::shownBoxes().isEmpty(), qPrintable(lastText()));
            const QueryResult r = Database::QueryData(QStringLiteral("SELECT pgdate, times FROM reports"));
            QCOMPARE(r.data->recordCount(), 1);
            if (field == pgdate) {
                QCOMPARE(r.data->text(0), QStringLiteral("2024-01-05"));
                QCOMPARE(r.data->field(1), QVariant(qlonglong(0)));   // an empty fee stores 0
            }
            return;
        }
        QCOMPARE(MessageBox::shownBoxes().size(), 1);
        QCOMPARE(lastText(), message);
        QCOMPARE(lastTitle(), QStringLiteral("错误"));
        QCOMPARE(MessageBox::shownBoxes().last().icon, MessageBox::Icon::Critical);
        QVERIFY(kit::countReports() == 0 && ed.editing());
        // The box in question takes the focus (the reporting doctor's, never enabled, cannot).
        QWidget* target = ed.control(field);
        if (target->isEnabled())
            QVERIFY(ed.focusWidget() == target || ed.focusWidget()->parentWidget() == target);
        auto* edit = qobject_cast<QLineEdit*>(target);
        if (auto* c = qobject_cast<QComboBox*>(target))
            edit = c->lineEdit();
        QCOMPARE(edit ? edit->selectedText() : QString(), selected ? value : QString());
    }

    // A section offered by the list that holds a refused character can only be
    // corrected where sections are kept: the message names that window.
    void storedSectionIsSentToItsWindow()
    {
        QVERIFY(TestFolder::exec(QStringLiteral("INSERT INTO section VALUES ('007', '内\x1b科')")));
        DataRecord& ed = DataRecord::instance();
        ed.ensureLoaded();
        ed.ButtnNew_Click();
        ed.show();
        kit::typeRecord(ed, QStringLiteral("X1"), QStringLiteral("张三"));
        ed.Text6->setCurrentIndex(0);
        ed.ButtnSave_Click();
        QCOMPARE(lastText(), QStringLiteral("科室含有不允许的字符（控制字符 U+001B），请在 科室设置 中改正"));
        QVERIFY(kit::countReports() == 0 && ed.editing());
    }

    // With every checked box wrong, the messages come in the order of the
    // form: each save names the first box still wrong and gives it the focus.
    void validationOrder()
    {
        DataRecord& ed = DataRecord::instance();
        ed.ButtnNew_Click();
        ed.show();
        const std::pair<int, const char*> order[] = {{obligate5, "X线号不能为空"},    {brname, "病人姓名不能为空"},
                                                     {sex, "病人姓别不能为空"},       {age, "年龄不能为空"},
                                                     {ageunit, "年龄单位不能为空"},   {pgdate, "报告日期不能为空"},
                                                     {obligate1, "检查次数不能为空"}, {times, "收费金额应该为数字"}};
        for (const auto& [field, message] : order)
            ed.setControlText(field, field == times ? QStringLiteral("x") : QString());
        const QStringList good = {QStringLiteral("X9"), QStringLiteral("张三"), QStringLiteral("男"),
                                  QStringLiteral("30"), QStringLiteral("岁"),   QStringLiteral("2024-01-05"),
                                  QStringLiteral("1"),  QStringLiteral("5")};
        for (std::size_t i = 0; i < std::size(order); ++i) {
            MessageBox::clearShown();
            ed.ButtnSave_Click();
            QCOMPARE(lastText(), QString::fromUtf8(order[i].second));
            QWidget* target = ed.control(order[i].first);
            QVERIFY(ed.focusWidget() == target || ed.focusWidget()->parentWidget() == target);
            ed.setControlText(order[i].first, good[qsizetype(i)]);
        }
        MessageBox::clearShown();
        ed.ButtnSave_Click();
        QVERIFY2(MessageBox::shownBoxes().isEmpty() && kit::countReports() == 1, qPrintable(lastText()));
    }

    void insertAndUpdateKeepTheListInStep()
    {
        kit::FakeList list;
        Openers::EditorNewReport();
        DataRecord& ed = DataRecord::instance();
        QVERIFY(ed.pageFlag() == 1 && ed.savebj() == QStringLiteral("insert"));
        QVERIFY(ed.Text1->isEnabled() && !ed.Text12->isEnabled() && !ed.ButtnNew->isEnabled());
        // Quotes, %, backslashes and emoji are stored as typed.
        const QString name = QString::fromUtf8("O'Neil '' \"王\" \xF0\x9F\x98\x80 50% _x_ \\");
        kit::typeRecord(ed, QStringLiteral("X'100"), name);
        ed.Text18->setText(QStringLiteral("M-9"));
        ed.Text13->setText(QStringLiteral("12.5"));
        ed.ButtnSave_Click();
        QVERIFY2(MessageBox::shownBoxes().isEmpty(), qPrintable(lastText()));
        QCOMPARE(kit::countReports(), 1);
        const QString key1 = ed.UpdateIdout();
        const RecordSetPtr stored = kit::storedRow(key1.toLongLong());
        QVERIFY(stored->text(brname).toUtf8() == name.toUtf8() && stored->text(obligate5) == QStringLiteral("X'100"));
        QCOMPARE(stored->field(times).toDouble(), 12.5);
        // The blank row of the empty list became the new row, selected; the editor views the record.
        QVERIFY(list.rows() == 1 && list.highlight() == 1 && list.currentRow() == 0);
        const QStringList row = {QStringLiteral("X'100"),
                                 QStringLiteral("42岁"),
                                 QStringLiteral("M-9"),
                                 QStringLiteral("2025-03-04"),
                                 QStringLiteral("admin"),
                                 QStringLiteral("未见异常"),
                                 key1};
        using namespace ReportList;
        const int cols[] = {kExamColumn,   kAgeColumn,       kOutpatientColumn, kDateColumn,
                            kDoctorColumn, kDiagnosisColumn, kKeyColumn};
        for (int i = 0; i < row.size(); ++i)
            QCOMPARE(list.cell(0, cols[i]), row[i]);
        QVERIFY(!ed.editing() && ed.ButtnEnable->isEnabled() && ed.ButtnPrint->isEnabled());
        QVERIFY(!ed.ButtnSave->isEnabled() && !ed.ButtnClear->isEnabled());

        // A second report is appended below.
        ed.ButtnNew_Click();
        kit::typeRecord(ed, QStringLiteral("X101"), QStringLiteral("赵六"));
        ed.ButtnSave_Click();
        QVERIFY(list.rows() == 2 && list.currentRow() == 1 && ed.UpdateIdout() != key1);

        // An update of the older report rewrites its own row (found by its key, not by the
        // selection) and keeps its report date.
        QVERIFY(TestFolder::exec(QStringLiteral("UPDATE reports SET rpdate = '2020-01-01' WHERE ctid = %1").arg(key1)));
        ed.setUpdateId(key1);
        ed.ButtnEnable_Click();
        QCOMPARE(ed.savebj(), QStringLiteral("update"));
        ed.Text2->setText(QStringLiteral("王五"));
        ed.ButtnSave_Click();
        QVERIFY2(MessageBox::shownBoxes().isEmpty(), qPrintable(lastText()));
        QCOMPARE(kit::countReports(), 2);
        QVERIFY(list.cell(0, ReportList::kNameColumn) == QStringLiteral("王五")
                && list.cell(0, ReportList::kDateColumn) == QStringLiteral("2020-01-01"));
        QVERIFY(list.cell(1, ReportList::kNameColumn) == QStringLiteral("赵六")
                && list.cell(0, ReportList::kKeyColumn) == key1);
        QCOMPARE(kit::storedRow(key1.toLongLong())->text(brname), QStringLiteral("王五"));

        // An update whose row has gone meanwhile is not reported as saved.
        QVERIFY(TestFolder::exec(QStringLiteral("DELETE FROM reports WHERE ctid = %1").arg(key1)));
        ed.ButtnEnable_Click();
        ed.ButtnSave_Click();
        QCOMPARE(lastText(), QStringLiteral("没有符合条件的数据返回"));
        QVERIFY(ed.editing() && kit::countReports() == 1);
    }

    void missingSlotFileRollsBack()
    {
        kit::FakeList list;
        DataRecord& ed = DataRecord::instance();
        ed.ButtnNew_Click();
        kit::typeRecord(ed, QStringLiteral("X7"), QStringLiteral("甲"));
        const QString good = AppPaths::imageFolder() + QStringLiteral("/rpt1.jpg");
        const QByteArray pic = kit::jpegBytes(40, 30, Qt::blue);
        QVERIFY(kit::writeBytes(good, pic));
        QVERIFY(ed.showSlotFile(0, good));
        ed.Picload[1]->Tag = AppPaths::imageFolder() + QStringLiteral("/rpt2.jpg");   // no such file
        ed.ButtnSave_Click();
        QCOMPARE(MessageBox::shownBoxes().size(), 1);
        QCOMPARE(lastTitle(), QStringLiteral("错误"));
        QVERIFY(lastText().contains(QStringLiteral("rpt2.jpg")));
        QCOMPARE(kit::countReports(), 0);
        QVERIFY(ed.editing() && ed.savebj() == QStringLiteral("insert") && ed.UpdateIdout().isEmpty());
        QCOMPARE(list.highlight(), 0);
        // Put the file back: the retry stores one row with both pictures.
        QVERIFY(QFile::copy(good, ed.Picload[1]->Tag));
        MessageBox::clearShown();
        ed.ButtnSave_Click();
        QVERIFY2(MessageBox::shownBoxes().isEmpty(), qPrintable(lastText()));
        QCOMPARE(kit::countReports(), 1);
        const RecordSetPtr r = kit::storedRow(ed.UpdateIdout().toLongLong());
        QVERIFY(r->blob(picture1) == pic && r->blob(picture2) == pic && r->isNull(picture3));
    }

    // Delete takes the row and its study links together or not at all.
    void deleteReleasesStudiesTogether()
    {
        const qint64 key = kit::insertReport(QStringLiteral("D1"), QStringLiteral("丁"), QStringLiteral("admin"));
        kit::storePictures(key, {kit::jpegBytes(16, 16, Qt::black)});
        QVERIFY(TestFolder::exec(QStringLiteral("INSERT INTO Study (StudyUID, Status) VALUES ('a', '%1'), "
                                                "('b', '999'), ('c', '%1')")
                                     .arg(key)));
        kit::FakeList list;
        DataRecord& ed = list.open(key, QStringLiteral("admin"), false);
        QVERIFY(QFileInfo::exists(ReportLoader::SlotFile(1)));
        // Cancel changes nothing.
        MessageBox::queueAnswer(MessageBox::Answer::Cancel);
        ed.ButtnDel_Click();
        QCOMPARE(lastText(), QStringLiteral("你将删除本报告,删除后将不能恢复,请确认是否删除?"));
        QCOMPARE(MessageBox::shownBoxes().last().buttons, MessageBox::Buttons::OkCancel);
        QVERIFY(kit::countReports() == 1 && ed.Text1->text() == QStringLiteral("D1"));
        // Without the study table the report stays, in the list and in the editor.
        QVERIFY(TestFolder::exec(QStringLiteral("ALTER TABLE Study RENAME TO StudyAway")));
        MessageBox::queueAnswer(MessageBox::Answer::Ok);
        ed.ButtnDel_Click();
        QCOMPARE(lastTitle(), QStringLiteral("系统错误"));
        QVERIFY(lastText().contains(QStringLiteral("Study")));
        QCOMPARE(kit::countReports(), 1);
        QVERIFY(list.rows() == 1 && list.cell(0, ReportList::kKeyColumn) == QString::number(key));
        QVERIFY(ed.UpdateIdout() == QString::number(key) && ed.Text1->text() == QStringLiteral("D1"));
        QVERIFY(TestFolder::exec(QStringLiteral("ALTER TABLE StudyAway RENAME TO Study")));
        MessageBox::queueAnswer(MessageBox::Answer::Ok);
        ed.ButtnDel_Click();
        QCOMPARE(kit::countReports(), 0);
        QVERIFY(!QFileInfo::exists(ReportLoader::SlotFile(1)));   // its picture's copy goes with it
        // Its studies are released; another report's study keeps its link.
        QCOMPARE(kit::queryInt(QStringLiteral("SELECT count(*) FROM Study WHERE Status IS NULL")), 2);
        QCOMPARE(kit::queryInt(QStringLiteral("SELECT count(*) FROM Study WHERE Status = '999'")), 1);
        // The only listed report is gone: one blank row in the empty state.
        QVERIFY(list.rows() == 1 && list.cell(0, ReportList::kKeyColumn).isEmpty() && list.highlight() == 0);
        QCOMPARE(list.selectionColor(), 0x00FFFFFFu);
        // The editor is empty and read-only; only New is left.
        QVERIFY(ed.UpdateIdout().isEmpty() && ed.Text1->text().isEmpty() && !ed.Text1->isEnabled());
        QVERIFY(ed.ButtnNew->isEnabled() && !ed.ButtnEnable->isEnabled() && !ed.ButtnDel->isEnabled());
        QVERIFY(!ed.ButtnPrint->isEnabled());
    }

    void rightsAndGuards()
    {
        const qint64 mine = kit::insertReport(QStringLiteral("G1"), QStringLiteral("戊"), QStringLiteral("admin"));
        const qint64 other = kit::insertReport(QStringLiteral("M1"), QStringLiteral("丑"), QStringLiteral("李医生"));
        DataRecord& ed = DataRecord::instance();
        ed.ensureLoaded();
        ed.ButtnDel_Click();   // never stored
        QCOMPARE(lastText(), QStringLiteral("新建状态下不能删除报告记录"));
        QCOMPARE(lastTitle(), QStringLiteral("系统错误"));
        kit::closeEditor();

        // Another user's report, viewed: Clear and Save do nothing, Delete and Modify need right 2.
        Mmain::gRights[Mmain::RightEditOthers] = false;
        kit::FakeList list;
        list.addRow(mine, QStringLiteral("admin"));
        list.open(other, QStringLiteral("李医生"), false);
        MessageBox::clearShown();
        ed.ButtnClear_Click();
        ed.Text2->setText(QStringLiteral("改"));
        ed.ButtnSave_Click();
        QVERIFY(ed.Text1->text() == QStringLiteral("M1")
                && kit::storedRow(other)->text(brname) == QStringLiteral("丑"));
        QVERIFY(MessageBox::shownBoxes().isEmpty());
        ed.ButtnDel_Click();
        QCOMPARE(lastText(), QStringLiteral("你没有删除其他人所建报告的权限，操作取消"));
        ed.ButtnEnable_Click();
        QCOMPARE(lastText(), QStringLiteral("你没有修改其他人所建报告的权限，操作取消"));
        QVERIFY(!ed.editing() && kit::countReports() == 2);
        Mmain::gRights[Mmain::RightEditOthers] = true;
        ed.ButtnEnable_Click();
        QVERIFY(ed.editing() && ed.savebj() == QStringLiteral("update"));
        ed.ButtnClear_Click();   // empties the boxes, keeps the record being modified
        QVERIFY(ed.Text1->text().isEmpty() && ed.Text12->currentText() == QStringLiteral("admin"));
        QVERIFY(ed.UpdateIdout() == QString::number(other) && ed.ButtnSave->isEnabled());
        kit::closeEditor();

        // A delete takes the report's row out of the list, and only that row.
        list.select(0);
        Openers::EditorOpenFromMainList(false, list.current());
        MessageBox::queueAnswer(MessageBox::Answer::Ok);
        ed.ButtnDel_Click();
        QVERIFY(kit::countReports() == 1 && list.rows() == 1);
        QCOMPARE(list.cell(0, ReportList::kKeyColumn), QString::number(other));

        // Print: the printer test comes first, even for an unsaved record.
        ed.ButtnNew_Click();
        Environment::setPrinterInstalledOverride(false);
        ProgramPrinter::setBackend(std::make_shared<PdfPrinterBackend>());   // a print service that answers
        ed.ButtnPrint_Click();
        QCOMPARE(lastText(), QStringLiteral("未打印机，安装打印机后才能使用打印设置功能。"));
        QCOMPARE(lastTitle(), QStringLiteral("错误"));
        // No printer because the print service is not running: that is said instead, without
        // the service's words that tell nothing.
        auto down = std::make_shared<PdfPrinterBackend>();
        down->setServiceDown(QStringLiteral("Bad file descriptor"));
        ProgramPrinter::setBackend(down);
        ed.ButtnPrint_Click();
        ProgramPrinter::setBackend(nullptr);
        QCOMPARE(lastText(),
                 QStringLiteral("打印服务没有运行，找不到任何打印机；请启动打印服务（CUPS）后再进行此操作"));
        QCOMPARE(lastTitle(), QStringLiteral("错误"));
        Environment::setPrinterInstalledOverride(true);
        ed.ButtnPrint_Click();
        const QString unsaved = QStringLiteral("新建状态或修改状态下不能进行此操作，请保存报告后打印");
        QCOMPARE(lastText(), unsaved);
        kit::typeRecord(ed, QStringLiteral("PR1"), QStringLiteral("辛"));
        ed.ButtnSave_Click();
        MessageBox::clearShown();
        // The preview opens on the saved record.
        ReportOpeners::registerAll();
        ProgramPrinter::setBackend(std::make_shared<PdfPrinterBackend>());
        int previewPages = -1;
        Opener::setHook([&previewPages](QDialog* d) {
            if (auto* preview = qobject_cast<Frmreport*>(d))
                previewPages = preview->pageCount();
            return 0;
        });
        ed.ButtnPrint_Click();
        Opener::setHook([](QDialog*) { return 0; });
        Openers::setOpener(Openers::Window::Frmreport, nullptr);
        ProgramPrinter::setBackend(nullptr);
        QVERIFY(MessageBox::shownBoxes().isEmpty() && previewPages == 1);
        QCOMPARE(ed.UpdateIdout(), QString::number(Database::LastInsertId()));

        // The load applies rights 3 (video) and 5 (templates) at every opening.
        for (bool right : {false, true}) {
            kit::closeEditor();
            Mmain::gRights[Mmain::RightVideo] = Mmain::gRights[Mmain::RightTemplates] = right;
            ed.ensureLoaded();
            QCOMPARE(ed.BVidOn->isEnabled(), right);
            QCOMPARE(ed.ButtnSwmb->isEnabled(), right);
        }
    }

    // The edit states as the record commands and the openers leave them, for
    // a user without the print (0) and template (5) rights: the openers keep
    // 设为模板 as the load left it, New and Modify turn it on regardless.
    void editStatesAndTheirButtons()
    {
        Mmain::gRights[Mmain::RightViewPrint] = Mmain::gRights[Mmain::RightTemplates] = false;
        kit::FakeList list;
        DataRecord& ed = DataRecord::instance();
        auto expect = [&ed](bool fields, bool record, bool print, bool editingButtons, bool swmb) {
            for (QWidget* w : ed.inputControls())
                QVERIFY2(w->isEnabled() == fields, qPrintable(w->objectName()));
            QVERIFY(!ed.Text12->isEnabled());
            for (QvButton* b : {ed.ButtnEnable, ed.ButtnDel})
                QVERIFY2(b->isEnabled() == record, qPrintable(b->objectName()));
            QCOMPARE(ed.ButtnPrint->isEnabled(), print);
            for (QvButton* b : {ed.ButtnSave, ed.Buttnmbzr, ed.ButtnClear})
                QVERIFY2(b->isEnabled() == editingButtons, qPrintable(b->objectName()));
            QCOMPARE(ed.ButtnSwmb->isEnabled(), swmb);
        };

        Openers::EditorNewReport();   // opened for a new report
        expect(true, false, false, true, false);
        QVERIFY(!ed.ButtnNew->isEnabled() && ed.savebj() == QStringLiteral("insert"));
        kit::typeRecord(ed, QStringLiteral("S1"), QStringLiteral("状态"));
        ed.ButtnSave_Click();   // saved: printing needs right 0
        QVERIFY2(MessageBox::shownBoxes().isEmpty(), qPrintable(lastText()));
        expect(false, true, false, false, false);
        QVERIFY(ed.ButtnNew->isEnabled());
        ed.ButtnEnable_Click();   // modifying
        expect(true, false, false, true, true);
        QVERIFY(!ed.ButtnNew->isEnabled() && ed.savebj() == QStringLiteral("update"));
        ed.ButtnClear_Click();   // keeps the state
        expect(true, false, false, true, true);
        const qint64 key = ed.UpdateIdout().toLongLong();
        kit::closeEditor();

        list.open(key, QStringLiteral("admin"), true);   // opened for modifying
        expect(true, false, false, true, false);
        ed.ButtnNew_Click();   // new
        expect(true, false, false, true, true);
        QVERIFY(ed.savebj() == QStringLiteral("insert") && ed.UpdateIdout().isEmpty());
        kit::closeEditor();

        list.open(key, QStringLiteral("admin"), false);   // opened for viewing
        expect(false, true, true, false, false);
        Mmain::gRights[Mmain::RightViewPrint] = true;
        ed.ButtnEnable_Click();
        kit::typeRecord(ed, QStringLiteral("S2"), QStringLiteral("状态"));
        MessageBox::clearShown();
        ed.ButtnSave_Click();   // saved with right 0
        QVERIFY2(MessageBox::shownBoxes().isEmpty(), qPrintable(lastText()));
        expect(false, true, true, false, false);
        MessageBox::queueAnswer(MessageBox::Answer::Ok);
        ed.ButtnDel_Click();   // deleted: only New
        expect(false, false, false, false, false);
        QVERIFY(ed.ButtnNew->isEnabled());
    }

    void functionKeysFollowTheirButtons()
    {
        DataRecord& ed = DataRecord::instance();
        ed.ButtnNew_Click();
        ed.show();
        QStringList templates;   // the template manager's openings
        Openers::setOpener(Openers::Window::FrmMBmanager,
                           [&templates](Openers::How how) { templates << Openers::name(how); });
        // F5 saves; in the viewing state F5 and F8 do nothing, F2 starts a new record.
        kit::typeRecord(ed, QStringLiteral("K1"), QStringLiteral("壬"));
        QTest::keyClick(ed.Text1, Qt::Key_F5);
        QVERIFY(kit::countReports() == 1 && !ed.editing());
        QTest::keyClick(&ed, Qt::Key_F5);
        QTest::keyClick(&ed, Qt::Key_F8);
        QVERIFY(kit::countReports() == 1 && templates.isEmpty());
        QTest::keyClick(&ed, Qt::Key_F2);
        QVERIFY(ed.editing() && ed.Text1->text().isEmpty());
        QTest::keyClick(ed.Text2, Qt::Key_F8);
        QCOMPARE(templates, QStringList{QStringLiteral("load")});
        Openers::setOpener(Openers::Window::FrmMBmanager, {});
        // F2 while New is disabled does nothing; F9 follows its button.
        ed.Text1->setText(QStringLiteral("typed"));
        QTest::keyClick(ed.Text1, Qt::Key_F2);
        QImage frame(64, 48, QImage::Format_RGB32);
        frame.fill(Qt::darkCyan);
        VideoCaptureTesting::presentFrame(*ed.VideoCapture1, frame);
        ed.BVidCapture->setEnabled(true);
        QTest::keyClick(&ed, Qt::Key_F9);
        ed.BVidCapture->setEnabled(false);
        QTest::keyClick(&ed, Qt::Key_F9);
        QVERIFY(!ed.Pictmp[0]->Tag.isEmpty() && ed.Pictmp[1]->Tag.isEmpty());
        // A key whose command is off goes on to the control: F2 edits a category's name.
        ed.Buttninfo_Click();
        ed.btnMS_Click();
        ed.TreeMS->setCurrentItem(ed.TreeMS->topLevelItem(0));
        ed.TreeMS->setFocus();
        QTest::keyClick(ed.TreeMS, Qt::Key_F2);
        QVERIFY(ed.TreeMS->viewport()->findChild<QLineEdit*>() != nullptr);   // the label editor is open
        // Escape while typing does not close the window.
        QTest::keyClick(ed.Text2, Qt::Key_Escape);
        QTest::keyClick(&ed, Qt::Key_Escape);
        QVERIFY(ed.isLoaded() && ed.isVisible() && MessageBox::shownBoxes().isEmpty());
        QCOMPARE(ed.Text1->text(), QStringLiteral("typed"));
    }

    void closeQuestion()
    {
        auto ini = [](const char* key) {
            return Modini::GetIniValue(QStringLiteral("system"), QString::fromLatin1(key));
        };
        QVERIFY(Modini::SetIniValue(QStringLiteral("system"), QStringLiteral("mrms"), QStringLiteral("5")));
        DataRecord& ed = DataRecord::instance();
        ed.ensureLoaded();
        QCOMPARE(ed.descriptionCategory(), 5);
        // Yes stays open and saves, No closes without saving; either way the side tab is kept.
        for (const auto answer : {MessageBox::Answer::Yes, MessageBox::Answer::No}) {
            QVERIFY(Modini::SetIniValue(QStringLiteral("system"), QStringLiteral("fzindex"), QStringLiteral("0")));
            ed.ButtnNew_Click();
            kit::typeRecord(ed, QStringLiteral("C1"), QStringLiteral("癸"));
            MessageBox::clearShown();
            MessageBox::queueAnswer(answer);
            ed.ButtnBack_Click();
            QCOMPARE(lastText(), QStringLiteral("报告未保存，是否保存？"));
            QCOMPARE(lastTitle(), QStringLiteral("提示"));
            QCOMPARE(ed.isLoaded(), answer == MessageBox::Answer::Yes);
            QCOMPARE(kit::countReports(), 1);
            QVERIFY(ini("fzindex") == QStringLiteral("3") && ini("mrms") == QStringLiteral("5"));
        }
        // Without unsaved edits: no question.
        MessageBox::clearShown();
        ed.ensureLoaded();
        ed.ButtnSave->setEnabled(false);
        ed.ButtnBack_Click();
        QVERIFY(MessageBox::shownBoxes().isEmpty() && !ed.isLoaded());
    }

    // A report opened for viewing shows every field disabled and still
    // legible: the text at least 4.5:1 against its background, in the
    // palette and on the screen; nothing can be typed in.
    void viewedReportIsLegible()
    {
        const qint64 key = kit::insertReport(QStringLiteral("S-2025-007"), QStringLiteral("张三丰"),
                                             QStringLiteral("admin"), QVariant(25.0));
        QVERIFY(TestFolder::exec(QStringLiteral(
            "UPDATE reports SET sex = '女', bedid = '13800000000', sectionoffice = '内科', utpatientid = '李医生', "
            "inpatientid = 'Z-77', pgdr = '王主任', part = '胸部', checktechnique = '阴性', checkname = '胸部正位', "
            "checksymptom = '胸廓对称，双肺纹理清晰，肺门不大。', checkconclusion = '胸部未见明显异常。', "
            "obligate2 = '12床', obligate3 = 'M-88', obligate4 = '阴性'")));
        kit::FakeList list;
        for (int skin : {1, 2, 3}) {
            Palette::SetSkinColors(skin);
            DataRecord& ed = list.open(key, QStringLiteral("admin"), false);
            ed.resize(1024, 738);
            ed.show();
            QVERIFY(QTest::qWaitForWindowExposed(&ed));
            ed.Buttninfo_Click();
            QCoreApplication::processEvents();
            const QImage shot = ed.grab().toImage();
            QVERIFY(shot.save(testOutputFolder() + QStringLiteral("/editor_view_skin%1.png").arg(skin)));
            QList<QWidget*> fields = ed.inputControls();
            fields << ed.Text12;
            for (QWidget* w : fields) {
                QVERIFY2(!w->isEnabled(), qPrintable(w->objectName()));
                const QPalette pal = w->palette();
                const double inPalette = contrast(pal.color(QPalette::Disabled, QPalette::Text),
                                                  pal.color(QPalette::Disabled, QPalette::Base));
                QVERIFY2(inPalette >= 4.5, qPrintable(QStringLiteral("%1: %2").arg(w->objectName()).arg(inPalette)));
                // As drawn: every glyph of the value, "女" alone included,
                // against the colour most of the box shows.
                QWidget* area = w;
                if (auto* c = qobject_cast<QComboBox*>(w))
                    area = c->lineEdit();
                else if (auto* t = qobject_cast<QPlainTextEdit*>(w))
                    area = t->viewport();
                const QImage drawn = w->grab().toImage();
                const QRect r = QRect(area->mapTo(w, QPoint(0, 0)), area->size()).adjusted(2, 2, -2, -2);
                const Glyphs g = measureGlyphs(drawn, r);
                QVERIFY2(g.count > 0, qPrintable(w->objectName()));
                QVERIFY2(g.worst >= 4.5, qPrintable(QStringLiteral("%1: a glyph at %2 measures %3:1 on %4")
                                                        .arg(w->objectName())
                                                        .arg(g.worstRect.x())
                                                        .arg(g.worst)
                                                        .arg(g.background.name())));
            }
            // Not editable: typing changes nothing.
            ed.Text2->setFocus();
            QTest::keyClicks(ed.Text2, QStringLiteral("x"));
            QTest::keyClicks(ed.Text15, QStringLiteral("x"));
            QVERIFY(ed.Text2->text() == QStringLiteral("张三丰")
                    && !ed.Text15->toPlainText().contains(QLatin1Char('x')));
            kit::closeEditor();
        }
    }

    // On a small and a large screen, in layout mode 0 and as shipped (mode 1): the panels fill
    // the window, the picture column stays on it, and on either page and after a resize the
    // video box stays clear of the capture store and its caption strip, which is painted whole.
    void windowLayouts()
    {
        const qint64 key = kit::insertReport(QStringLiteral("S-2025-001"), QStringLiteral("张三"),
                                             QStringLiteral("admin"), QVariant(25.0));
        kit::storePictures(
            key, {kit::jpegBytes(320, 240, QColor(90, 90, 90)), {}, kit::jpegBytes(200, 300, QColor(160, 160, 160))});
        QVERIFY(TestFolder::exec(QStringLiteral("UPDATE reports SET checksymptom = '胸廓对称，双肺纹理清晰。', "
                                                "checkconclusion = '胸部未见明显异常。', part = '胸部'")));
        kit::FakeList list;
        list.addRow(key, QStringLiteral("admin"));
        const auto inWindow = [](DataRecord& ed, QWidget* w) { return QRect(w->mapTo(&ed, QPoint(0, 0)), w->size()); };
        const auto checkVideo = [&](DataRecord& ed) {
            const QRect video = inWindow(ed, ed.PicVideo);
            const int strip = inWindow(ed, ed.PicRect).top();
            QVERIFY2(video.bottom() < strip, qPrintable(QStringLiteral("%1 %2").arg(video.bottom()).arg(strip)));
            QVERIFY(!video.intersects(inWindow(ed, ed.Picyc)));
            // ... and it takes the room there is: down to the strip or across to the buttons.
            QVERIFY(strip - video.bottom() <= 3 || ed.Picpic->width() - video.width() - ed.BVidOn->width() <= 49);
        };
        struct Case {
            QSize screen;
            int mode;   // -1: as shipped
        };
        for (const Case& c : {Case{QSize(1920, 1080), -1}, Case{QSize(1024, 768), 0}, Case{QSize(1920, 1080), 0}}) {
            Environment::setScreenSizeOverride(c.screen);
            if (c.mode >= 0)
                QVERIFY(Modini::SetIniValue(QStringLiteral("system"), QStringLiteral("kz"), QString::number(c.mode)));
            else
                Palette::SetSkinColors(3);   // a skin whose panels differ from the platform's grey
            Openers::EditorOpenFromMainList(false, list.current());
            DataRecord& ed = DataRecord::instance();
            ed.setWindowState(Qt::WindowNoState);
            ed.resize(c.screen - QSize(0, 30));
            ed.show();
            ed.Form_Resize();
            QCOMPARE(ed.layoutMode(), c.mode >= 0 ? c.mode : 1);
            const QString name = QStringLiteral("/editor_%1x%2_mode%3_page%4.png")
                                     .arg(c.screen.width())
                                     .arg(c.screen.height())
                                     .arg(ed.layoutMode());
            for (int page : {1, 0}) {
                page == 0 ? ed.Buttninfo_Click() : ed.Buttnpic_Click();
                QVERIFY(ed.RptPictureBox->geometry().right() <= ed.width());
                QCOMPARE(ed.Picbottom->geometry().bottom(), ed.height() - 1);
                checkVideo(ed);
                QCoreApplication::processEvents();
                const QImage shot = ed.grab().toImage();
                if (page == 1 && c.mode < 0) {
                    // Each row of the strip is one colour from end to end; below the caption
                    // rows the strip shows the page's own colour, as the page under it does.
                    const QRect strip = inWindow(ed, ed.PicRect);
                    QCOMPARE(strip.height(), 26);
                    const QColor page1 = shot.pixelColor(strip.right(), strip.bottom() + 2);
                    QCOMPARE(page1, Palette::ToQColor(Palette::gPanelBackColor));
                    for (int y = strip.top(); y <= strip.bottom(); ++y) {
                        QCOMPARE(shot.pixelColor(strip.right(), y), shot.pixelColor(strip.left() + 1, y));
                        if (y > strip.top() + Palette::gCaptionHeight)
                            QCOMPARE(shot.pixelColor(strip.right(), y), page1);
                    }
                }
                QVERIFY(shot.save(testOutputFolder() + name.arg(page)));
            }
            if (ed.layoutMode() == 1) {
                // The page follows the window, the edit boxes end 5 px before its edge, and the
                // picture column stays where it is on either page.
                QCOMPARE(ed.Text15->geometry().right(), ed.Picdata2->width() - 5 - 1);
                const int left = ed.RptPictureBox->x();
                QCOMPARE(left, EditorGeometry::px((ed.Picdata2->x() + ed.Picdata2->width()) * 15 + 60));
                ed.Buttnpic_Click();
                QCOMPARE(ed.RptPictureBox->x(), left);
            }
            // Smaller, then full size again: the store and the video follow at once, on the page
            // shown and on the other.
            for (const QSize size : {c.screen * 4 / 5, c.screen - QSize(0, 30)}) {
                ed.resize(size);
                for (int page : {ed.pageFlag(), 1 - ed.pageFlag()}) {
                    page == 0 ? ed.Buttninfo_Click() : ed.Buttnpic_Click();
                    checkVideo(ed);
                }
            }
            kit::closeEditor();
        }
    }

private:
    std::unique_ptr<TestFolder> folder_;
};

QTEST_MAIN(tst_DataRecord)
#include "tst_datarecord.moc"
