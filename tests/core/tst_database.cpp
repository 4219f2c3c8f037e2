// The database layer against real encrypted files.
#include "core/ModADOconnect.h"
#include "platform/AppPaths.h"
#include "support/TestFolder.h"

#include <QFile>
#include <QProcess>
#include <QtTest>

using namespace ModADOconnect;

class TestDatabase : public QObject {
    Q_OBJECT
private slots:
    void resultKeys();
    void earlierResultStaysReadable();
    void writes();
    void boundValuesRoundTrip();
    void transactions();
    void closedConnection();
    void openFailures();
    void fileIsEncrypted();
    void schemaShape();
};

void TestDatabase::resultKeys()
{
    TestFolder f;
    QVERIFY(f.ok());

    const QueryResult rows = QueryData(QStringLiteral("select * from bgxm order by xmid"));
    QCOMPARE(rows.number, 0);
    QCOMPARE(rows.item(QueryResult::kNumber).toInt(), 0);
    QCOMPARE(rows.item(QueryResult::kDescription).toString(), QString());
    QVERIFY(rows.contains(QueryResult::kData));
    QCOMPARE(rows.data->recordCount(), 23);
    QCOMPARE(rows.data->text(0), QStringLiteral("01"));

    const QueryResult none = QueryData(QStringLiteral("select * from reports where ctid = -1"));
    QCOMPARE(none.number, 1000);
    QCOMPARE(none.description, QStringLiteral("没有符合条件的数据返回"));
    QVERIFY(none.contains(QueryResult::kData));
    QVERIFY(none.data);
    QCOMPARE(none.data->recordCount(), 0);
    QVERIFY(none.data->eof());
    QCOMPARE(none.data->fieldCount(), 33);

    const QueryResult bad = QueryData(QStringLiteral("selec * form reports"));
    QVERIFY(bad.failed());
    QVERIFY(bad.number != 0 && bad.number != 1000);
    QVERIFY(bad.description.contains(QStringLiteral("syntax error")));
    QVERIFY(!bad.contains(QueryResult::kData));
    QVERIFY(!bad.item(QueryResult::kData).isValid());
    QCOMPARE(bad.keys(), QStringList({QueryResult::kDescription, QueryResult::kNumber}));

    // A second statement in the same text is refused rather than run.
    const QueryResult two = ExecuteSql(QStringLiteral("delete from bgxm; delete from user"));
    QVERIFY(two.failed());
    QCOMPARE(QueryData(QStringLiteral("select * from user")).number, 0);
}

void TestDatabase::earlierResultStaysReadable()
{
    TestFolder f;
    const QueryResult first = QueryData(QStringLiteral("select xmid, xmmc from bgxm order by xmid"));
    const QueryResult second = QueryData(QStringLiteral("select * from user"));
    QVERIFY(ExecuteSql(QStringLiteral("delete from bgxm")).ok());
    CloseDatabase();
    RecordSet& rs = *first.data;
    QCOMPARE(rs.recordCount(), 23);
    int n = 0;
    for (rs.moveFirst(); !rs.eof(); rs.moveNext())
        ++n;
    QCOMPARE(n, 23);
    rs.moveLast();
    QCOMPARE(rs.text(0), QStringLiteral("23"));
    QCOMPARE(second.data->text(0), QStringLiteral("admin"));
}

void TestDatabase::writes()
{
    TestFolder f;
    const QueryResult del = ExecuteSql(QStringLiteral("delete from reports where ctid = 12345"));
    QCOMPARE(del.number, 0);
    QCOMPARE(del.description, QString());
    QVERIFY(!del.contains(QueryResult::kData));

    // Keys are never reused, even after the newest row is deleted.
    QVERIFY(ExecuteSql(QStringLiteral("insert into reports (brname, rpdate) values (?, ?)"),
                       {QStringLiteral("甲"), QStringLiteral("2026-01-01")}).ok());
    const qint64 first = LastInsertId();
    QVERIFY(ExecuteSql(QStringLiteral("delete from reports where ctid = ?"), {first}).ok());
    QCOMPARE(ChangedRows(), 1);
    QVERIFY(ExecuteSql(QStringLiteral("insert into reports (brname, rpdate) values (?, ?)"),
                       {QStringLiteral("乙"), QStringLiteral("2026-01-01")}).ok());
    QVERIFY(LastInsertId() > first);

    // A failing write reports the engine's number and text.
    const QueryResult r = ExecuteSql(QStringLiteral("insert into reports (brname) values ('no date')"));
    QVERIFY(r.failed());
    QVERIFY(r.description.contains(QStringLiteral("NOT NULL")));

    // Codes compare without regard to case.
    QCOMPARE(QueryData(QStringLiteral("select * from user where userid = ?"), {QStringLiteral("ADMIN")}).number, 0);
}

void TestDatabase::boundValuesRoundTrip()
{
    TestFolder f;
    const QString tricky = QStringLiteral("O'Neil 100% \"引号\" 😀 _\\ ;--");
    const QString longText = QString(100000, QChar(0x6587)) + QStringLiteral("\nend");
    QByteArray blob(70000, '\0');
    for (int i = 0; i < blob.size(); ++i)
        blob[i] = char(i * 7);
    QVERIFY(ExecuteSql(QStringLiteral("insert into reports (brname, checksymptom, age, times, rpdate, picture3) "
                                      "values (?, ?, ?, ?, ?, ?)"),
                       {tricky, longText, 42, 12.5, QDate(2026, 3, 4), blob}).ok());
    const qint64 id = LastInsertId();
    const QueryResult r = QueryData(QStringLiteral("select * from reports where ctid = ?"), {id});
    QCOMPARE(r.number, 0);
    const RecordSet& rs = *r.data;
    QCOMPARE(rs.text(1), tricky);
    QCOMPARE(rs.text(18), longText);
    QCOMPARE(rs.field(3).toInt(), 42);
    QCOMPARE(rs.field(14).toDouble(), 12.5);
    QCOMPARE(rs.text(10), QStringLiteral("2026-03-04"));
    QCOMPARE(rs.blob(31), blob);
    QVERIFY(rs.isNull(29));
    QVERIFY(rs.isNull(2));
    QCOMPARE(rs.text(2), QString());

    // Matching a quote and a percent sign literally.
    QCOMPARE(QueryData(QStringLiteral("select ctid from reports where brname like ? escape '\\'"),
                       {QStringLiteral("%100\\%%")}).number, 0);
    QCOMPARE(QueryData(QStringLiteral("select ctid from reports where brname = ?"), {QStringLiteral("' or ''='")}).number,
             1000);
    // Wrong parameter count is a failure, not a crash.
    QVERIFY(QueryData(QStringLiteral("select * from reports where ctid = ?"), {}).failed());
}

void TestDatabase::transactions()
{
    TestFolder f;
    {
        Transaction t;
        QVERIFY(t.started());
        QVERIFY(ExecuteSql(QStringLiteral("delete from bgxm")).ok());
        // leaves scope without commit
    }
    QCOMPARE(QueryData(QStringLiteral("select * from bgxm")).data->recordCount(), 23);
    {
        Transaction t;
        QVERIFY(ExecuteSql(QStringLiteral("update bgxm set xmmc = ? where xmid = ?"),
                           {QStringLiteral("新"), QStringLiteral("01")}).ok());
        QVERIFY(t.commit().ok());
    }
    QCOMPARE(QueryData(QStringLiteral("select xmmc from bgxm where xmid='01'")).data->text(0), QStringLiteral("新"));
}

void TestDatabase::closedConnection()
{
    TestFolder f(false);
    CloseDatabase();   // before any open: silent
    CloseDatabase();
    const QueryResult r = QueryData(QStringLiteral("select * from reports"));
    QVERIFY(r.failed());
    QVERIFY(!r.contains(QueryResult::kData));
    QVERIFY(ExecuteSql(QStringLiteral("delete from reports")).failed());
    OpenDatabase();
    QCOMPARE(QueryData(QStringLiteral("select count(*) from reports")).number, 0);
    CloseDatabase();
    CloseDatabase();
}

void TestDatabase::openFailures()
{
    TestFolder f(false);
    const QString db = AppPaths::databaseFile();

    QVERIFY(QFile::remove(db));
    try {
        OpenDatabase();
        QFAIL("opened a missing database");
    } catch (const DbOpenError& e) {
        QCOMPARE(e.number, 3000);
        QCOMPARE(e.text, QStringLiteral("未能连接到数据库，数据库被更名或损坏！\r\n错误"));
    }
    QVERIFY(!QFile::exists(db));   // nothing was created
    QVERIFY(!isOpen());

    // A plain, unencrypted SQLite file is not ours.
    QProcess p;
    p.start(QStringLiteral("sqlite3"), {db, QStringLiteral("create table reports(x);")});
    QVERIFY(p.waitForFinished());
    QVERIFY(QFile::exists(db));
    QVERIFY_THROWS_EXCEPTION(DbOpenError, OpenDatabase());
    QVERIFY(!IsOurDatabase(db));

    // Nor is a text file.
    QFile t(db);
    QVERIFY(t.open(QIODevice::WriteOnly | QIODevice::Truncate));
    t.write(QByteArray(4096, 'x'));
    t.close();
    QVERIFY_THROWS_EXCEPTION(DbOpenError, OpenDatabase());
}

void TestDatabase::fileIsEncrypted()
{
    TestFolder f;
    QVERIFY(IsOurDatabase(AppPaths::databaseFile()));
    QProcess p;
    p.start(QStringLiteral("sqlite3"), {AppPaths::databaseFile(), QStringLiteral(".tables")});
    QVERIFY(p.waitForFinished());
    const QByteArray out = p.readAllStandardOutput() + p.readAllStandardError();
    QVERIFY2(!out.contains("reports"), out.constData());
    QVERIFY(p.exitCode() != 0 || out.contains("not a database"));
}

void TestDatabase::schemaShape()
{
    TestFolder f;
    const QueryResult r = QueryData(QStringLiteral("select * from reports"));
    QCOMPARE(r.number, 1000);
    QCOMPARE(r.data->fieldCount(), 33);
    QCOMPARE(r.data->fieldName(0), QStringLiteral("ctid"));
    QCOMPARE(r.data->fieldName(14), QStringLiteral("times"));
    QCOMPARE(r.data->fieldName(24), QStringLiteral("obligate5"));
    QCOMPARE(r.data->fieldName(29), QStringLiteral("picture1"));
    QCOMPARE(r.data->fieldName(32), QStringLiteral("picture4"));
    QCOMPARE(QueryData(QStringLiteral("select * from user")).data->fieldCount(), 11);
    // The administrator exists with an empty password and every right.
    const QueryResult admin = QueryData(QStringLiteral("select * from user where userid='admin'"));
    QVERIFY(admin.data->isNull(2));
    for (int i = 3; i <= 10; ++i)
        QCOMPARE(admin.data->field(i).toInt(), 1);
    // A section code keeps its leading zeros.
    QVERIFY(ExecuteSql(QStringLiteral("insert into section values (?, ?)"), {QStringLiteral("007"), QStringLiteral("放射科")}).ok());
    QCOMPARE(QueryData(QStringLiteral("select ksid from section")).data->text(0), QStringLiteral("007"));
}

QTEST_GUILESS_MAIN(TestDatabase)
#include "tst_database.moc"
