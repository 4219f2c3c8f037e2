#include "core/StagedFiles.h"

#include "platform/AppPaths.h"
#include "platform/PrivateFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QRegularExpression>
#include <QStringList>
#include <QUrl>

#include <ctime>
#include <mutex>

#include <sys/stat.h>

namespace StagedFiles {
namespace {

constexpr time_t kEmptyGraceSeconds = 600;

std::mutex& noteMutex()
{
    static std::mutex m;
    return m;
}

QString notePath() { return AppPaths::file(QStringLiteral("staging.txt")); }

// How many jobs of this program run with each noted entry: a job cancelled
// and left to end by itself may still run beside a new one in its folder, and
// the entry goes with the last of them.
QHash<QString, int>& running()
{
    static QHash<QString, int> jobs;
    return jobs;
}

// One entry a line: the folder and the prefix joined, percent-encoded.
QStringList readNote()
{
    QFile f(notePath());
    QStringList entries;
    if (!f.open(QIODevice::ReadOnly))
        return entries;
    for (const QByteArray& line : f.readAll().split('\n'))
        if (!line.trimmed().isEmpty())
            entries << QUrl::fromPercentEncoding(line.trimmed());
    return entries;
}

bool writeNote(const QStringList& entries)
{
    if (entries.isEmpty())
        return !QFile::exists(notePath()) || QFile::remove(notePath());
    QByteArray bytes;
    for (const QString& e : entries)
        bytes += QUrl::toPercentEncoding(e, "/") + '\n';
    return PrivateFile::replace(notePath(), bytes) == 0;
}

QString entry(const QString& folder, const QString& prefix) { return folder + QLatin1Char('/') + prefix; }

QStringList leftovers(const QString& folder, const QString& prefix)
{
    const QRegularExpression name(QLatin1Char('^') + QRegularExpression::escape(prefix)
                                  + QStringLiteral("[A-Za-z0-9]{6}$"));
    QStringList found;
    for (const QString& n : QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::System))
        if (name.match(n).hasMatch())
            found << folder + QLatin1Char('/') + n;
    return found;
}
}

int RemoveLeftovers(const QString& folder, const QString& prefix)
{
    // Never through another account's link in a shared folder: its owner may
    // have pointed it at a folder of ours.
    const QString at = PrivateFile::followLinks(folder).path;
    if (at.isEmpty())
        return 0;
    const time_t now = ::time(nullptr);
    int removed = 0;
    for (const QString& path : leftovers(at, prefix)) {
        struct stat st {};
        if (::lstat(QFile::encodeName(path).constData(), &st) != 0)
            continue;
        // A job locks its file before it writes a byte: an empty one may not be locked yet.
        if (st.st_size == 0 && now - st.st_mtime < kEmptyGraceSeconds)
            continue;
        if (PrivateFile::removeLeftover(path))
            ++removed;
    }
    return removed;
}

bool Note(const QString& folder, const QString& prefix)
{
    const std::lock_guard lock(noteMutex());
    ++running()[entry(folder, prefix)];
    QStringList entries = readNote();
    if (entries.contains(entry(folder, prefix)))
        return true;
    entries << entry(folder, prefix);
    return writeNote(entries);
}

void Forget(const QString& folder, const QString& prefix)
{
    const std::lock_guard lock(noteMutex());
    const auto job = running().find(entry(folder, prefix));
    if (job != running().end() && --*job > 0)
        return;
    if (job != running().end())
        running().erase(job);
    QStringList entries = readNote();
    if (entries.removeAll(entry(folder, prefix)) > 0)
        writeNote(entries);
}

int RemoveNotedLeftovers()
{
    const std::lock_guard lock(noteMutex());
    const QStringList entries = readNote();
    QStringList kept;
    int removed = 0;
    for (const QString& e : entries) {
        const QFileInfo at(e);
        // A folder gone, or now reached only through another account's link, is forgotten.
        const QString folder = PrivateFile::followLinks(at.path()).path;
        if (folder.isEmpty() || !QFileInfo(folder).isDir())
            continue;
        removed += RemoveLeftovers(folder, at.fileName());
        if (!leftovers(folder, at.fileName()).isEmpty())
            kept << e;
    }
    if (kept != entries)
        writeNote(kept);
    return removed;
}
}
