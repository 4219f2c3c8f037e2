#include "core/Database.h"
#include "core/Mmain.h"
#include "core/ReportRecord.h"
#include "core/ReportStore.h"
#include "core/TypedText.h"
#include "support/CoreKit.h"
#include "support/TestFolder.h"

#include <QSignalSpy>
#include <QTest>

using namespace ReportRecord;

namespace {
Texts requiredOnly()
{
    Texts t;
    t[obligate5] = QStringLiteral("X001");
    t[brname] = QStringLiteral("张三");
    t[sex] = QStringLiteral("男");
    t[age] = t[obligate1] = QStringLiteral("30");
    t[ageunit] = QStringLiteral("岁");
    t[pgdate] = QStringLiteral("2024-03-05");
    t[rpdr] = QStringLiteral("admin");
    return t;
}

qint64 insert(const Texts& t, const QString& facilityName, const QDate& today)
{
    QVariantList p;
    if (!InsertParams(t, facilityName, today, p))
        return -1;
    const QueryResult r = Database::ExecuteSql(InsertSql(), p);
    return r.ok() ? Database::LastInsertId() : -1;
}
}

class tst_ReportRecord : public QObject {
    Q_OBJECT
private slots:
    // One database for all: every case reads back only the rows it wrote.
    void initTestCase() { QVERIFY(folder_->ok()); }
    void cleanupTestCase() { folder_.reset(); }

    void fieldMapAgreesWithSchema()
    {
        const QueryResult r = Database::QueryData(QStringLiteral("SELECT * FROM reports LIMIT 0"));
        QCOMPARE(r.data->fieldCount(), kFieldCount);
        for (int f = 0; f < kFieldCount; ++f)
            QCOMPARE(ColumnName(f), f >= 25 && f <= 28 ? QString() : r.data->fieldName(f).toLower());
    }

    void strictParsers_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("number");
        QTest::addColumn<QString>("date");   // normalised, or "" when not a date
        QTest::newRow("blanks and sign") << " -12.5 " << true << "";
        QTest::newRow("exponent") << "1e3" << true << "";
        QTest::newRow("leading point") << ".5" << true << "";
        QTest::newRow("thousands separator") << "1,000" << false << "";
        QTest::newRow("hex") << "&H10" << false << "";
        QTest::newRow("two points") << "1.2.3" << false << "";
        QTest::newRow("infinity") << "inf" << false << "";
        QTest::newRow("iso") << "2024-01-05" << false << "2024-01-05";
        QTest::newRow("slashes short") << "2024/1/5" << false << "2024-01-05";
        QTest::newRow("dots") << "2024.12.31" << false << "2024-12-31";
        QTest::newRow("chinese") << "2024年2月29日" << false << "2024-02-29";
        QTest::newRow("no leap day") << "2023-02-29" << false << "";
        QTest::newRow("no 30 February") << "2023-02-30" << false << "";
        QTest::newRow("no 31 April") << "2024年4月31日" << false << "";
        QTest::newRow("month 13") << "2024/13/1" << false << "";
        QTest::newRow("day 0") << "2024.1.0" << false << "";
        QTest::newRow("time") << "12:30" << false << "";
        QTest::newRow("mixed separators") << "2024-1/5" << false << "";
        // A two-digit year: 00-29 in this century, 30-99 in the last; never year 24.
        QTest::newRow("year 24") << "24-1-5" << false << "2024-01-05";
        QTest::newRow("year 00") << "00/2/29" << false << "2000-02-29";
        QTest::newRow("year 29") << "29年12月31日" << false << "2029-12-31";
        QTest::newRow("year 30") << "30.1.1" << false << "1930-01-01";
        QTest::newRow("year 99") << "99-12-31" << false << "1999-12-31";
        QTest::newRow("three-digit year") << "024-1-5" << false << "";
    }

    void strictParsers()
    {
        QFETCH(QString, text);
        QFETCH(bool, number);
        QFETCH(QString, date);
        QCOMPARE(ParseNumber(text).has_value(), number);
        // An impossible date is refused: no date at all, not an invalid one
        // (whose text would be empty too).
        const auto d = ParseDate(text);
        QCOMPARE(d.has_value(), !date.isEmpty());
        if (d) {
            QVERIFY(d->isValid());
            QCOMPARE(DateText(*d), date);
        }
    }

    // What a typed text may hold: the one rule every save applies. A refused
    // character is found where it stands, U+0000 included.
    void typedTextCharacters_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("oneLine");    // the position refused in a one-line text, -1: kept
        QTest::addColumn<int>("free");       // the same in a free text
        QTest::addColumn<QString>("name");   // how the refused character is named
        auto row = [](const char* tag, const QString& text, int oneLine, int free, const char* name) {
            QTest::newRow(tag) << text << oneLine << free << QString::fromUtf8(name);
        };
        const QChar nul(0);
        row("U+0000", QStringLiteral("王") + nul + QStringLiteral("五"), 1, 1, "空字符 U+0000");
        row("U+0000 first", QString(nul), 0, 0, "空字符 U+0000");
        row("ESC", QStringLiteral("内\x1b科"), 1, 1, "控制字符 U+001B");
        row("BEL", QStringLiteral("a\ab"), 1, 1, "控制字符 U+0007");
        row("DEL", QStringLiteral("a\x7f"), 1, 1, "控制字符 U+007F");
        row("U+0085", QStringLiteral("3") + QChar(0x85), 1, 1, "控制字符 U+0085");
        row("U+009F", QString(QChar(0x9F)), 0, 0, "控制字符 U+009F");
        row("U+2028", QStringLiteral("钱\u2028七"), 1, 1, "行分隔符 U+2028");
        row("U+2029", QStringLiteral("钱\u2029"), 1, 1, "段落分隔符 U+2029");
        row("U+202E", QStringLiteral("周\u202e九十"), 1, 1, "文字方向控制符 U+202E");
        row("U+2066", QStringLiteral("\u2066x"), 0, 0, "文字方向控制符 U+2066");
        row("U+200E", QStringLiteral("a\u200e"), 1, 1, "文字方向控制符 U+200E");
        row("U+200B", QStringLiteral("吴\u200b十"), 1, 1, "零宽空格 U+200B");
        row("U+FEFF", QStringLiteral("\ufeff吴"), 0, 0, "字节顺序标记 U+FEFF");
        row("lone high surrogate", QStringLiteral("a") + QChar(0xD83D) + QStringLiteral("b"), 1, 1,
            "不成对的代理码 U+D83D");
        row("lone low surrogate at the end", QStringLiteral("ab") + QChar(0xDE00), 2, 2, "不成对的代理码 U+DE00");
        row("joiner between letters", QStringLiteral("王\u200d五"), 1, 1, "零宽连接符 U+200D");
        row("tab", QStringLiteral("甲\t乙"), 1, -1, "制表符");
        row("LF", QStringLiteral("甲\n乙"), 1, -1, "换行符");
        row("CR LF", QStringLiteral("甲\r\n乙"), 1, -1, "换行符");
        row("family emoji with joiners", QStringLiteral("\U0001F468\u200D\U0001F469\u200D\U0001F467"), -1, -1, "");
        row("flag emoji with selector and joiner", QStringLiteral("\U0001F3F3\uFE0F\u200D\U0001F308"), -1, -1, "");
        row("skin tone and joiner", QStringLiteral("\U0001F469\U0001F3FD\u200D\u2695\uFE0F"), -1, -1, "");
        row("astral CJK", QStringLiteral("\U00020BB7野家"), -1, -1, "");
        row("CJK, quotes, percent", QStringLiteral("张三 O'Brien \"100%\" “引号”"), -1, -1, "");
        row("empty", QString(), -1, -1, "");
    }

    void typedTextCharacters()
    {
        QFETCH(QString, text);
        QFETCH(int, oneLine);
        QFETCH(int, free);
        QFETCH(QString, name);
        const auto line = TypedText::FirstRefused(text, TypedText::Kind::OneLine);
        QCOMPARE(line ? int(line->at) : -1, oneLine);
        const auto longText = TypedText::FirstRefused(text, TypedText::Kind::Free);
        QCOMPARE(longText ? int(longText->at) : -1, free);
        if (line)
            QCOMPARE(TypedText::CharacterName(line->character), name);
    }

    void emptyOptionalFieldsFollowTheNullRules()
    {
        Texts t = requiredOnly();
        t[obligate1].clear();   // the count may be empty at this level: Null
        t[age].clear();
        t[pgdate] = QStringLiteral("2024/3/5");
        const RecordSetPtr rs = kit::storedRow(insert(t, QString(), QDate(2025, 6, 7)));
        QVERIFY(rs && rs->recordCount() == 1);
        for (int f :
             {bedid, sectionoffice, utpatientid, inpatientid, pgdr, part, checktechnique, checkname, checksymptom,
              checkconclusion, obligate2, obligate3, obligate4, age, obligate1, picture1, picture2, picture3, picture4})
            QVERIFY2(rs->isNull(f), qPrintable(ColumnName(f)));
        QCOMPARE(rs->field(times), QVariant(qlonglong(0)));
        QCOMPARE(rs->text(rpdate), QStringLiteral("2025-06-07"));
        QCOMPARE(rs->text(pgdate), QStringLiteral("2024-03-05"));
        QVERIFY(!rs->isNull(facility) && rs->text(facility).isEmpty());
        // A text of spaces is not empty and is kept as it is.
        Texts s = requiredOnly();
        s[bedid] = QStringLiteral("  ");
        const RecordSetPtr r2 = kit::storedRow(insert(s, QStringLiteral("DR-1"), QDate(2025, 6, 7)));
        QVERIFY(r2->text(bedid) == QStringLiteral("  ") && r2->text(facility) == QStringLiteral("DR-1"));
    }

    void updateKeepsReportDateAndRefusesBadValues()
    {
        const qint64 key = insert(requiredOnly(), QStringLiteral("A"), QDate(2020, 2, 3));
        QVERIFY(key > 0);
        Texts t = requiredOnly();
        t[brname] = QStringLiteral("李四");
        t[times] = QStringLiteral("12.5");
        t[age] = QStringLiteral("7");
        QVariantList p;
        QVERIFY(UpdateParams(t, QStringLiteral("机'房"), key, p));
        QVERIFY(Database::ExecuteSql(UpdateSql(), p).ok());
        const RecordSetPtr rs = kit::storedRow(key);
        QCOMPARE(rs->text(rpdate), QStringLiteral("2020-02-03"));
        QCOMPARE(rs->text(brname), QStringLiteral("李四"));
        QCOMPARE(rs->text(facility), QStringLiteral("机'房"));
        QCOMPARE(rs->field(times).toDouble(), 12.5);
        QCOMPARE(rs->field(age), QVariant(qlonglong(7)));
        // A number or date the parsers refuse never reaches SQL, and names its field.
        int bad = 0;
        t[times] = QStringLiteral("1,000");
        QVERIFY(!InsertParams(t, QString(), QDate(2025, 1, 1), p, &bad));
        QVERIFY(bad == int(times) && p.isEmpty());
        t = requiredOnly();
        t[pgdate] = QStringLiteral("12:30");
        QVERIFY(!UpdateParams(t, QString(), key, p, &bad));
        QCOMPARE(bad, int(pgdate));
    }

    void valueAndFeeTexts()
    {
        QCOMPARE(ValueText(QVariant(12.5)), QStringLiteral("12.5"));
        QCOMPARE(FeeText(QVariant(qlonglong(0))), QStringLiteral("0.00"));
        QCOMPARE(FeeText(QVariant(0.125)), QStringLiteral("0.13"));
        QCOMPARE(FeeText(QVariant(-0.125)), QStringLiteral("-0.13"));
        // To the cent on the decimal value, when shown and when saved.
        QCOMPARE(FeeText(QVariant(1.005)), QStringLiteral("1.01"));
        QCOMPARE(FeeText(QVariant(2.675)), QStringLiteral("2.68"));
        QCOMPARE(FeeText(QVariant(qlonglong(1000000))), QStringLiteral("1000000.00"));
        QCOMPARE(EncodeFee(QStringLiteral("1.005")), std::optional<QVariant>(QVariant(1.01)));
        QCOMPARE(EncodeFee(QStringLiteral("0.125")), std::optional<QVariant>(QVariant(0.13)));
        QCOMPARE(EncodeFee(QStringLiteral("2.675")), std::optional<QVariant>(QVariant(2.68)));
        QCOMPARE(EncodeFee(QStringLiteral("1000000.004")), std::optional<QVariant>(QVariant(qlonglong(1000000))));
        QVERIFY(!EncodeFee(QStringLiteral("1e300")));
        QCOMPARE(ParseKey(QStringLiteral(" 12 ")), std::optional<qint64>(12));
        QVERIFY(!ParseKey(QString()) && !ParseKey(QStringLiteral("1 or 1=1")));
    }

    // The store writes a report with its pictures, and deletes it with its
    // study link, each whole or not at all; a text that is no key reaches no
    // statement. It announces every change, and only once it is committed: a
    // failed save or delete is never announced.
    void storeWritesAndDeletesWhole()
    {
        using namespace ReportStore;
        QSignalSpy saved(notifier(), &Notifier::reportSaved);
        QSignalSpy deleted(notifier(), &Notifier::reportDeleted);
        const QVariant a(QByteArray("AB")), c(QByteArray("CD"));
        constexpr auto none = std::nullopt;
        SaveResult s = Insert(requiredOnly(), QStringLiteral("F"), QDate(2025, 1, 2), {a, QVariant(), none, none});
        QVERIFY(s.result.ok() && s.key > 0 && s.listRow && s.listRow->recordCount() == 1);
        QCOMPARE(saved.count(), 1);
        QCOMPARE(saved.at(0).at(1).toBool(), true);
        const qint64 key = s.key;
        RecordSetPtr rs = kit::storedRow(key);
        QVERIFY(rs->blob(picture1) == "AB" && rs->isNull(picture2) && rs->text(rpdate) == QStringLiteral("2025-01-02"));

        // An unset picture keeps what is stored; a bad value names its field and writes nothing.
        Texts t = requiredOnly();
        t[brname] = QStringLiteral("李四");
        QVERIFY(Update(key, t, QStringLiteral("F"), {none, c, none, none}).result.ok());
        QCOMPARE(saved.count(), 2);
        rs = kit::storedRow(key);
        QVERIFY(rs->blob(picture1) == "AB" && rs->blob(picture2) == "CD" && rs->text(brname) == QStringLiteral("李四"));
        t[times] = QStringLiteral("十元");
        s = Update(key, t, QStringLiteral("F"), {QVariant(), none, none, none});
        QVERIFY(!s.result.ok() && s.badField == int(times));
        QCOMPARE(s.result.description, QStringLiteral("“收费金额”的内容不正确"));
        QVERIFY(kit::storedRow(key)->blob(picture1) == "AB");
        s = Update(key + 1000, requiredOnly(), QString(), {});
        QVERIFY(s.result.noRows() && s.result.description == QueryResult::kNoRows);
        QCOMPARE(saved.count(), 2);
        QVERIFY(Update(key, requiredOnly(), QStringLiteral("F"), {}).result.ok());
        QCOMPARE(saved.count(), 3);
        QCOMPARE(saved.at(2).at(1).toBool(), false);

        // A picture that cannot be written takes its row with it.
        const int before = kit::countReports();
        QVERIFY(TestFolder::exec(QStringLiteral("CREATE TRIGGER nopic BEFORE UPDATE OF picture3 ON reports "
                                                "BEGIN SELECT RAISE(ABORT, 'no pictures'); END")));
        s = Insert(requiredOnly(), QString(), QDate(2025, 1, 2), {none, none, a, none});
        QVERIFY(s.result.failed() && s.result.description.contains(QStringLiteral("no pictures")));
        QCOMPARE(kit::countReports(), before);
        QCOMPARE(saved.count(), 3);
        QVERIFY(TestFolder::exec(QStringLiteral("DROP TRIGGER nopic")));

        // Load and delete take the key text as the lists hold it.
        QVERIFY(Load(QStringLiteral(" %1 ").arg(key)).hasRows());
        const QueryResult notAKey = Load(QStringLiteral("%1 or 1=1").arg(key));
        QVERIFY(notAKey.noRows() && notAKey.data && notAKey.data->recordCount() == 0);
        QVERIFY(TestFolder::exec(QStringLiteral("INSERT INTO Study (StudyUID, Status) VALUES ('a', '%1'), ('b', '%2')")
                                     .arg(key)
                                     .arg(key + 1)));
        QVERIFY(Delete(QStringLiteral("%1 or 1=1").arg(key)).noRows());
        QCOMPARE(kit::countReports(), before);
        QVERIFY(deleted.isEmpty());
        QVERIFY(Delete(QStringLiteral(" %1 ").arg(key)).ok());
        QCOMPARE(kit::countReports(), before - 1);
        QCOMPARE(deleted.count(), 1);
        QCOMPARE(deleted.at(0).at(0).toLongLong(), key);
        QCOMPARE(kit::queryInt(QStringLiteral("SELECT count(*) FROM Study WHERE Status IS NULL")), 1);
    }

    void storeRightsAndCaptions()
    {
        Mmain::gUserName = QStringLiteral("admin");
        Mmain::gRights.fill(true);
        Mmain::gRights[Mmain::RightEditOthers] = false;
        QVERIFY(ReportStore::MayChange(QStringLiteral("admin")));
        QVERIFY(!ReportStore::MayChange(QStringLiteral("Admin")) && !ReportStore::MayChange(QString()));
        Mmain::gRights[Mmain::RightEditOthers] = true;
        QVERIFY(ReportStore::MayChange(QStringLiteral("someone else")));

        QStringList captions;
        QVERIFY(ReportStore::ItemCaptions(captions).hasRows());
        QCOMPARE(captions.size(), kItemCount);
        QCOMPARE(captions.first(), QStringLiteral("检查号"));
        QCOMPARE(captions.last(), QStringLiteral("报告日期"));
        // In xmid order, whatever order the rows were written in.
        QVERIFY(TestFolder::exec(QStringLiteral("UPDATE bgxm SET xmid = '24' WHERE xmid = '01'")));
        QVERIFY(ReportStore::ItemCaptions(captions).hasRows());
        QCOMPARE(captions.first(), QStringLiteral("病人姓名"));
        QCOMPARE(captions.last(), QStringLiteral("检查号"));
        QVERIFY(TestFolder::exec(QStringLiteral("UPDATE bgxm SET xmid = '01' WHERE xmid = '24'")));
    }

private:
    std::unique_ptr<TestFolder> folder_ = std::make_unique<TestFolder>();
};

QTEST_MAIN(tst_ReportRecord)
#include "tst_reportrecord.moc"
