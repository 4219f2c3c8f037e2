#include "core/Mmain.h"

#include "core/Database.h"
#include "core/ModBackup.h"
#include "core/Modini.h"
#include "core/Palette.h"
#include "platform/AppPaths.h"
#include "platform/FileDialogs.h"
#include "platform/InstanceGuard.h"
#include "platform/MessageBox.h"
#include "platform/PrivateFile.h"
#include "platform/ProgramFolder.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLocale>
#include <QRegularExpression>
#include <QThread>
#include <cerrno>
#include <csignal>
#include <memory>

#include <sys/stat.h>
#include <unistd.h>

namespace Mmain {

QString gHospitalName;
QString gUserId;
QString gUserName;
std::array<bool, 11> gRights{};

namespace {
std::unique_ptr<InstanceGuard>& guard()
{
    static std::unique_ptr<InstanceGuard> g;
    return g;
}
}

void LoadHospitalName() { gHospitalName = Modini::GetIniValue(IniKey::HospitalName); }

int RemovePictureLeftovers()
{
    // The editor's report slots and the preview's copies: patient pictures
    // that live only while their window is open.
    const QString folder = AppPaths::imageFolder();
    int removed = 0;
    for (const char* stem : {"rpt", "rptview"})
        for (int n = 1; n <= 4; ++n) {
            const QByteArray name =
                QFile::encodeName(folder + QStringLiteral("/%1%2.jpg").arg(QLatin1String(stem)).arg(n));
            struct stat st {};
            // Files and links only (a link goes, not what it points at).
            if (::lstat(name.constData(), &st) == 0 && (S_ISREG(st.st_mode) || S_ISLNK(st.st_mode))
                && ::unlink(name.constData()) == 0)
                ++removed;
        }
    // A capture killed while it wrote a picture under a temporary name (file
    // systems without unnamed files) left it hidden beside the picture.
    static const QRegularExpression captured(QStringLiteral("^image[0-9]+\\.(jpg|bmp)$"));
    removed +=
        PrivateFile::removeLeftovers(folder, [](const QString& base) { return captured.match(base).hasMatch(); });
    return removed;
}

QString DatabaseOpenAdvice()
{
    const QString file = QDir::toNativeSeparators(AppPaths::databaseFile());
    const QString folder = QDir::toNativeSeparators(AppPaths::programFolder());
    if (!QFileInfo::exists(AppPaths::databaseFile()))
        return QStringLiteral(
                   "程序文件夹 %1 中没有数据库文件 data.db。请把最近的备份文件复制到这个文件夹并改名为 data.db，"
                   "然后重新启动。")
            .arg(folder);
    // A file this account may not read is no damaged file: a backup must not replace it.
    if (::access(QFile::encodeName(AppPaths::databaseFile()).constData(), R_OK) != 0 && errno == EACCES)
        return QStringLiteral("本账户没有读取 %1 的权限，程序没有改动它，它本身可能完好。"
                              "请系统管理员给本账户读写这个文件的权限，然后重新启动；不要用备份替换它。")
            .arg(file);
    return QStringLiteral("程序没有改动 %1。请先把它另存一份，再把最近的备份文件复制到程序文件夹 %2 并改名为 data.db，"
                          "然后重新启动。")
        .arg(file, folder);
}

void ReportOpenErrorAndQuit(int number, const QString& text)
{
    // The words users know come first; what to do follows them.
    const QString advice =
        text == Database::openErrorText() ? QStringLiteral("\r\n\r\n") + DatabaseOpenAdvice() : QString();
    MessageBox::show(QStringLiteral("运行时错误 '%1':\r\n\r\n%2").arg(number).arg(text) + advice,
                     QString::fromLatin1(kProgramName), MessageBox::Icon::Critical, MessageBox::Buttons::Ok);
    Quit(3);
}

void Quit(int exitCode)
{
    Database::CloseDatabase();
    // Outside the event loop (start-up, tests) there is nothing to leave; an
    // exit request then would make every later modal loop return at once.
    if (QThread::currentThread()->loopLevel() > 0)
        QCoreApplication::exit(exitCode);
}

StartResult Main()
{
    // A file-size limit (ulimit -f) makes a write that passes it fail with
    // EFBIG, reported like a full disk, rather than end the program in the
    // middle of writing a file.
    std::signal(SIGXFSZ, SIG_IGN);

    // The program speaks Chinese whatever the machine's locale: dates, numbers
    // and every calendar pop-up follow the default locale.
    QLocale::setDefault(QLocale(QLocale::Chinese, QLocale::China));
    // Qt's own dialogs (file dialogs, standard buttons) speak Chinese like the rest.
    FileDialogs::loadStandardTexts();
    if (auto* app = qobject_cast<QGuiApplication*>(QCoreApplication::instance()))
        app->setQuitOnLastWindowClosed(false);

    // Nothing in the program folder is read before it is known to be the
    // user's alone: in a folder another account may write, that account could
    // have put links among our files.
    if (const QString refused = ProgramFolder::checkUnlessChecked(AppPaths::programFolder()); !refused.isEmpty()) {
        MessageBox::show(refused, MessageBox::kSorryTitle, MessageBox::Icon::Critical, MessageBox::Buttons::Ok);
        return {false, 1};
    }

    // Only one copy runs per program folder.
    guard() = std::make_unique<InstanceGuard>(AppPaths::programFolder());
    if (!guard()->tryAcquire()) {
        const QString owner = guard()->foreignOwner();
        const QString text =
            owner.isEmpty() ? QStringLiteral("此程式已经在执行中！")
                            : QStringLiteral("程序文件夹中的锁文件 %1 属于账户 %2，无法判断该账户的程序是否仍在执行。\n"
                                             "请确认该账户已退出本程序，再由该账户或管理员删除这个文件，然后重新启动。")
                                  .arg(QDir::toNativeSeparators(guard()->lockPath()), owner);
        guard().reset();
        MessageBox::show(text, MessageBox::kSorryTitle, MessageBox::Icon::Critical, MessageBox::Buttons::Ok);
        return {false, 1};
    }
    // What a copy killed during a restore, a conversion or a settings write
    // left behind (a whole database, possibly) goes, now that no other copy
    // can be writing it.
    ModBackup::RemoveProgramFolderLeftovers();
    RemovePictureLeftovers();

    // The database opens, or the program ends saying why.
    try {
        Database::OpenDatabase();
    } catch (const DbOpenError& e) {
        ReportOpenErrorAndQuit(e.number, e.description);
        ReleaseInstanceLock();
        return {false, 3};
    }

    // It must answer a query on the reports.
    const QueryResult probe = Database::QueryData(QStringLiteral("select count(*) from reports"));
    if (probe.failed()) {
        MessageBox::show(probe.description, MessageBox::kErrorTitle, MessageBox::Icon::Critical,
                         MessageBox::Buttons::Ok);
        Database::CloseDatabase();
        ReleaseInstanceLock();
        return {false, 2};
    }

    // A settings file the program cannot use is said before anything runs on
    // its defaults; what the program remembers by itself then stays in memory.
    if (const QString problem = Modini::CheckSettingsFileAtStart(); !problem.isEmpty())
        MessageBox::show(problem, MessageBox::kSettingsErrorTitle, MessageBox::Icon::Exclamation,
                         MessageBox::Buttons::Ok);

    // The colours of the chosen skin and the hospital name.
    Palette::LoadSkin();
    LoadHospitalName();

    // Then the user logs in.
    if (!ShowLogin()) {
        Database::CloseDatabase();
        ReleaseInstanceLock();
        return {false, 0};
    }
    return {true, 0};
}

bool Relogin()
{
    try {
        Database::OpenDatabase();
    } catch (const DbOpenError& e) {
        ReportOpenErrorAndQuit(e.number, e.description);
        return false;
    }
    if (!ShowLogin()) {
        Quit(0);
        return false;
    }
    return true;
}

void ReleaseInstanceLock() { guard().reset(); }

}
