#include "support/TestFolder.h"

#include "core/Database.h"
#include "core/Modini.h"
#include "platform/AppPaths.h"
#include "platform/Environment.h"
#include "platform/FileDialogs.h"
#include "platform/MessageBox.h"
#include "platform/Opener.h"

#include <QDir>
#include <QFile>

#include <sys/stat.h>

TestFolder::TestFolder(bool openDatabase)
{
    latest_ = this;
    if (!dir_.isValid())
        return;
    AppPaths::setProgramFolder(dir_.path());
    QDir(dir_.path()).mkpath(QStringLiteral("img"));
    QFile::copy(QStringLiteral(WS_SOURCE_DIR "/data/options.ini"), file(QStringLiteral("options.ini")));
    QFile::setPermissions(file(QStringLiteral("options.ini")), QFile::ReadOwner | QFile::WriteOwner);
    // No test opens the machine's own serial port by chance: a test of the
    // foot switch sets the port and the kind of port it wants.
    Modini::SetIniValue(IniKey::ComPort, QString());
    if (QFile::exists(QStringLiteral(WS_SOURCE_DIR "/data/head.bmp")))
        QFile::copy(QStringLiteral(WS_SOURCE_DIR "/data/head.bmp"), file(QStringLiteral("head.bmp")));
    const QString why = Database::CreateDatabaseFile(AppPaths::databaseFile(), Database::ShippedSchema());
    if (!why.isEmpty()) {
        qWarning("TestFolder: %s", qPrintable(why));
        return;
    }
    MessageBox::setScripted(true);
    MessageBox::clearShown();
    FileDialogs::setScripted(true);
    Opener::setHook([](QDialog*) { return 0; });
    if (openDatabase)
        Database::OpenDatabase();
    ok_ = true;
}

TestFolder::~TestFolder()
{
    if (latest_ != this)
        return;
    latest_ = nullptr;
    Database::CloseDatabase();
    Environment::setTodayOverride(std::nullopt);
    Environment::setScreenSizeOverride(std::nullopt);
    Environment::setPrinterInstalledOverride(std::nullopt);
    AppPaths::setProgramFolder(QString());
}

bool TestFolder::exec(const QString& sql)
{
    const QueryResult r = Database::ExecuteSql(sql);
    if (!r.ok())
        qWarning("SQL failed: %s: %s", qPrintable(sql), qPrintable(r.description));
    return r.ok();
}

QString testOutputFolder()
{
    QString d = qEnvironmentVariable("WS_TEST_OUTPUT");
    if (d.isEmpty())
        d = QStringLiteral(WS_BINARY_DIR "/test-output");
    QDir().mkpath(d);
    return d;
}

int fileMode(const QString& path)
{
    struct stat st {};
    return ::stat(QFile::encodeName(path).constData(), &st) == 0 ? int(st.st_mode & 07777) : -1;
}

UmaskScope::UmaskScope(unsigned mask) : previous_(::umask(mode_t(mask))) {}
UmaskScope::~UmaskScope() { ::umask(mode_t(previous_)); }
