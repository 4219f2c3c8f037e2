#include "support/CoreKit.h"

#include "core/FrmMain.h"
#include "core/Mmain.h"
#include "core/Modini.h"
#include "core/Palette.h"
#include "core/QvButton.h"
#include "core/QvTextBox.h"
#include "core/login.h"
#include "platform/Environment.h"
#include "platform/MessageBox.h"

#include <QApplication>
#include <QBuffer>
#include <QCoreApplication>
#include <QLabel>
#include <QImage>
#include <QProcess>
#include <QTest>
#include <QtEndian>

#include <sqlcipher/sqlite3.h>

#include <csignal>

#include <linux/capability.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace kit {

std::unique_ptr<TestFolder> freshFolder(const QDate& today, const QSize& screen)
{
    auto folder = std::make_unique<TestFolder>();
    Palette::LoadSkin();
    if (today.isValid())
        Environment::setTodayOverride(today);
    if (screen.isValid())
        Environment::setScreenSizeOverride(screen);
    return folder;
}

namespace {
// The key data.db is made with; earlier builds used it with the engine's default pages.
const char* const kKey = "PRAGMA key = 'velkora';";
}

bool makeEarlierDatabase(const QString& path, const QString& script)
{
    sqlite3* db = nullptr;
    const QByteArray sql = QByteArray(kKey) + script.toUtf8();
    const bool ok =
        sqlite3_open_v2(QFile::encodeName(path).constData(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr)
            == SQLITE_OK
        && sqlite3_exec(db, sql.constData(), nullptr, nullptr, nullptr) == SQLITE_OK;
    sqlite3_close(db);
    return ok;
}

bool readsWithPages(const QString& path, int pageSize)
{
    sqlite3* db = nullptr;
    const QByteArray sql = QByteArray(kKey)
                           + (pageSize ? " PRAGMA cipher_page_size = " + QByteArray::number(pageSize) + ";" : "")
                           + " SELECT count(*) FROM sqlite_master;";
    const bool ok =
        sqlite3_open_v2(QFile::encodeName(path).constData(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK
        && sqlite3_exec(db, sql.constData(), nullptr, nullptr, nullptr) == SQLITE_OK;
    sqlite3_close(db);
    return ok;
}

NoticeWatch::NoticeWatch(std::function<bool()> done) : done_(std::move(done)) { qApp->installEventFilter(this); }

NoticeWatch::~NoticeWatch() { qApp->removeEventFilter(this); }

bool NoticeWatch::eventFilter(QObject* watched, QEvent* event)
{
    if (watched->objectName() != QLatin1String("FrmNotice") || !watched->isWidgetType())
        return false;
    auto* w = static_cast<QWidget*>(watched);
    auto text = [w](const char* name) {
        const auto* l = w->findChild<QLabel*>(QLatin1String(name));
        return l ? l->text() : QString();
    };
    if (event->type() == QEvent::Paint && current_ != watched) {
        current_ = watched;
        notices.append({text("Label1"), text("Label2"), !done_(), false});
    } else if (event->type() == QEvent::Hide && current_ == watched) {
        current_ = nullptr;
        notices.last().goneAfterDone = done_();
    }
    return false;
}

void flushDeletes()
{
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QCoreApplication::processEvents();
}

QString lastText() { return MessageBox::shownBoxes().isEmpty() ? QString() : MessageBox::shownBoxes().last().text; }

QString lastTitle() { return MessageBox::shownBoxes().isEmpty() ? QString() : MessageBox::shownBoxes().last().title; }

void actAsAdmin(const QString& userName)
{
    Mmain::gUserId = QStringLiteral("admin");
    Mmain::gUserName = userName;
    Mmain::gRights.fill(true);
}

login* openLogin()
{
    if (!login::current())
        Mmain::ShowLogin();
    login* w = login::current();
    if (w) {
        w->activateWindow();
        (void)QTest::qWaitForWindowActive(w);
    }
    return w;
}

FrmMain* logIn(const QString& code, const QString& password)
{
    login* l = openLogin();
    if (!l)
        return nullptr;
    l->Text1->setText(code);
    l->Text2->setText(password);
    l->buttonlogin->click();
    flushDeletes();
    FrmMain* w = FrmMain::current();
    if (w) {
        w->activateWindow();
        (void)QTest::qWaitForWindowActive(w);
    }
    return w;
}

void closeWindows()
{
    if (FrmMain* m = FrmMain::current())
        m->close();
    if (login* l = login::current())
        l->close();
    flushDeletes();
}

int queryInt(const QString& sql, const QVariantList& params)
{
    const QueryResult r = Database::QueryData(sql, params);
    return r.hasRows() ? r.data->value(0, 0).toInt() : -1;
}

int countReports() { return queryInt(QStringLiteral("SELECT count(*) FROM reports")); }

qint64 insertReport(const QString& exam, const QString& name, const QString& doctor, const QVariant& fee)
{
    const QueryResult r = Database::ExecuteSql(
        QStringLiteral("INSERT INTO reports (obligate5, brname, sex, age, ageunit, pgdate, rpdate, rpdr, times, "
                       "obligate1, facility) VALUES (?,?,'男',30.0,'岁','2024-01-02','2024-01-02',?,?,1,'')"),
        {exam, name, doctor, fee});
    if (!r.ok())
        qWarning("%s", qPrintable(r.description));
    return Database::LastInsertId();
}

void storePictures(qint64 key, const QList<QByteArray>& pictures)
{
    for (int k = 0; k < pictures.size(); ++k) {
        const QVariant v = pictures[k].isNull() ? QVariant() : QVariant(pictures[k]);
        const QString sql = QStringLiteral("UPDATE reports SET picture%1 = ? WHERE ctid = ?").arg(k + 1);
        QVERIFY(Database::ExecuteSql(sql, {v, key}).ok());
    }
}

RecordSetPtr storedRow(qint64 key)
{
    return Database::QueryData(QStringLiteral("SELECT * FROM reports WHERE ctid = ?"), {key}).data;
}

QByteArray readBytes(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

bool writeBytes(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(bytes) == bytes.size();
}

QByteArray jpegBytes(int width, int height, QColor colour, int quality)
{
    QImage img(width, height, QImage::Format_RGB32);
    img.fill(colour);
    QBuffer buf;
    buf.open(QIODevice::WriteOnly);
    img.save(&buf, "JPEG", quality);
    return buf.data();
}

bool setIni(const char* section, const char* key, const QString& value)
{
    return Modini::SetIniValue(QString::fromLatin1(section), QString::fromLatin1(key), value);
}

QList<quint32> checkAviFinalised(const QString& path)
{
    const QByteArray all = readBytes(path);
    QList<quint32> sizes;
    // The top-level chunks after "RIFF" <size> "AVI "; idx1 entries are 16 bytes, the size last.
    for (qsizetype at = 12; at + 8 <= all.size();) {
        const quint32 size = qFromLittleEndian<quint32>(all.constData() + at + 4);
        if (all.mid(at, 4) == "idx1") {
            for (qsizetype e = at + 8; e + 16 <= at + 8 + qsizetype(size) && e + 16 <= all.size(); e += 16)
                if (all.mid(e, 4) == "00dc" || all.mid(e, 4) == "00db")
                    sizes.append(qFromLittleEndian<quint32>(all.constData() + e + 12));
            break;
        }
        at += 8 + qsizetype(size) + (size & 1);
    }
    [&] {
        QVERIFY2(all.size() > 1000 && all.startsWith("RIFF") && all.mid(8, 4) == "AVI ", qPrintable(path));
        // The muxer rewrites the RIFF size at the end: nothing else is in the file.
        QCOMPARE(qFromLittleEndian<quint32>(all.constData() + 4) + 8, quint32(all.size()));
        QVERIFY2(!sizes.isEmpty(), "no idx1 index with frames: the file was not finalised");
        // avih: dwTotalFrames is the fifth field of the main header.
        const qsizetype avih = all.indexOf("avih");
        QVERIFY(avih > 0);
        QCOMPARE(qFromLittleEndian<quint32>(all.constData() + avih + 8 + 16), quint32(sizes.size()));
    }();
    return sizes;
}

FileSizeLimit::FileSizeLimit(rlim_t bytes) : handler_(std::signal(SIGXFSZ, SIG_IGN))
{
    if (getrlimit(RLIMIT_FSIZE, &old_) != 0)
        return;
    rlimit small = old_;
    small.rlim_cur = bytes;
    ok_ = setrlimit(RLIMIT_FSIZE, &small) == 0;
}

FileSizeLimit::~FileSizeLimit()
{
    if (ok_)
        setrlimit(RLIMIT_FSIZE, &old_);
    std::signal(SIGXFSZ, handler_);
}

Unwritable::Unwritable(const QString& path) : path_(path)
{
    if (geteuid() != 0) {
        perms_ = QFile::permissions(path_);
        ok_ = QFile::setPermissions(
            path_, perms_ & ~(QFile::WriteOwner | QFile::WriteUser | QFile::WriteGroup | QFile::WriteOther));
    } else {
        ok_ = QProcess::execute(QStringLiteral("chattr"), {QStringLiteral("+i"), path_}) == 0;
    }
}

Unwritable::~Unwritable() { undo(); }

void Unwritable::undo()
{
    if (!ok_)
        return;
    ok_ = false;
    if (geteuid() != 0)
        QFile::setPermissions(path_, perms_);
    else
        QProcess::execute(QStringLiteral("chattr"), {QStringLiteral("-i"), path_});
}

namespace {
// The effective capabilities of the calling thread (the first 32).
bool capabilities(quint32* effective, bool set)
{
    __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct data[2]{};
    if (syscall(SYS_capget, &header, data) != 0)
        return false;
    if (!set) {
        *effective = data[0].effective;
        return true;
    }
    data[0].effective = *effective;
    return syscall(SYS_capset, &header, data) == 0;
}
constexpr quint32 kPassOverPermissions = (1u << CAP_DAC_OVERRIDE) | (1u << CAP_DAC_READ_SEARCH);
}

Unreadable::Unreadable(const QString& path) : path_(path), perms_(QFile::permissions(path))
{
    if (!QFile::setPermissions(path_, QFile::WriteOwner))
        return;
    ok_ = true;
    if (geteuid() == 0) {
        quint32 fewer = 0;
        ok_ = capabilities(&effective_, false);
        fewer = effective_ & ~kPassOverPermissions;
        ok_ = ok_ && capabilities(&fewer, true);
    }
    QFile probe(path_);
    ok_ = ok_ && !probe.open(QIODevice::ReadOnly);
}

Unreadable::~Unreadable()
{
    if (geteuid() == 0 && effective_ != 0)
        capabilities(&effective_, true);
    QFile::setPermissions(path_, perms_);
}

}
