#include "core/Modini.h"

#include "core/NumberText.h"
#include "platform/AppPaths.h"
#include "platform/MessageBox.h"
#include "platform/PrivateFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QStringDecoder>

#include <cerrno>
#include <cstring>

#include <sys/stat.h>
#include <unistd.h>

namespace {

QString& lastFailure()
{
    static QString text;
    return text;
}

// The settings file the start refused, and what the program remembered by
// itself since then: it stays here until the program ends.
struct RefusedFile {
    QString path;
    QHash<QString, QString> remembered;   // by section and key, lower case
};

RefusedFile& refusedFile()
{
    static RefusedFile file;
    return file;
}

QString memoryKey(const QString& section, const QString& key)
{
    return section.toLower() + QLatin1Char('\n') + key.toLower();
}

// The remembered values while the settings file in use is the one the start refused.
QHash<QString, QString>* rememberedValues()
{
    RefusedFile& f = refusedFile();
    return !f.path.isEmpty() && f.path == AppPaths::iniFile() ? &f.remembered : nullptr;
}

// A value the user saved in a settings dialog replaces what was remembered.
void forgetRemembered(const QString& section, const QString& key)
{
    if (QHash<QString, QString>* memory = rememberedValues())
        memory->remove(memoryKey(section, key));
}

// The file's text; *whole is false when it is neither UTF-8 nor GB18030 (the
// text then has U+FFFD for every byte that could not be read).
QString decode(const QByteArray& bytes, bool* whole)
{
    // No settings file holds a NUL: one that does is no text of ours (a file
    // a crash left full of zeros, one saved as UTF-16), and rewriting its
    // lines would mix our text into it.
    *whole = !bytes.contains('\0');
    QStringDecoder utf8(QStringDecoder::Utf8);
    QString text = utf8.decode(bytes);
    if (!*whole)
        return text;
    if (!utf8.hasError())
        return text;
    // Files written by older Chinese Windows tools are in GB18030.
    QStringDecoder gb("GB18030");
    if (gb.isValid()) {
        QString t = gb.decode(bytes);
        if (!gb.hasError())
            return t;
    }
    *whole = false;
    return text;
}

QString fileName(const QString& path) { return QFileInfo(path).fileName(); }

// Why a file could not be written, in the user's words.
QString writeFailure(const QString& path, int err)
{
    QString why;
    switch (err) {
    case ENOSPC:
    case EDQUOT:
    case EFBIG: why = QStringLiteral("磁盘已满"); break;
    case EACCES:
    case EPERM:
    case EROFS: why = QStringLiteral("没有写入权限"); break;
    case ENOENT:
    case ENOTDIR: why = QStringLiteral("文件夹不存在"); break;
    case EISDIR: why = QStringLiteral("同名的是一个文件夹"); break;
    default: why = QString::fromLocal8Bit(std::strerror(err)); break;
    }
    return QStringLiteral("无法写入设置文件 %1（%2），设置未保存，原来的设置保持不变。").arg(fileName(path), why);
}

QString linkRefused(const QString& link)
{
    return PrivateFile::refusedLinkText(link, PrivateFile::Remedy::Administrator) + QStringLiteral("。");
}

QString sectionName(const QString& line)
{
    const QString t = line.trimmed();
    if (!t.startsWith(QLatin1Char('[')))
        return QString();
    const int close = t.indexOf(QLatin1Char(']'));
    if (close < 0)
        return QString();
    return t.mid(1, close - 1).trimmed();
}

bool isSection(const QString& line)
{
    const QString t = line.trimmed();
    return t.startsWith(QLatin1Char('[')) && t.contains(QLatin1Char(']'));
}

// Splits "key = value"; false for lines without '=' and comment lines.
bool splitKey(const QString& line, QString* key, QString* value)
{
    const QString t = line.trimmed();
    if (t.isEmpty() || t.startsWith(QLatin1Char(';')))
        return false;
    const int eq = t.indexOf(QLatin1Char('='));
    if (eq < 0)
        return false;
    *key = t.left(eq).trimmed();
    QString v = t.mid(eq + 1).trimmed();
    // One pair of double or single quotes around the value is not part of it.
    if (v.size() >= 2 && (v.front() == QLatin1Char('"') || v.front() == QLatin1Char('\'')) && v.back() == v.front())
        v = v.mid(1, v.size() - 2);
    *value = v;
    return true;
}

}

IniFile::IniFile(const QString& path) : path_(path)
{
    // A link the one link rule does not follow (another account's, where
    // others may write) could lead to any file: its settings are not read,
    // nor written.
    if (const PrivateFile::Name name = PrivateFile::resolve(path_); !name.refusedLink.isEmpty()) {
        refusedLink_ = name.refusedLink;
        unreadable_ = true;
        return;
    }
    QFile f(path_);
    if (!f.open(QIODevice::ReadOnly)) {
        unreadable_ = f.exists();
        return;
    }
    const QByteArray bytes = f.readAll();
    if (f.error() != QFileDevice::NoError) {
        unreadable_ = true;
        return;
    }
    loaded_ = true;
    bom_ = bytes.startsWith("\xEF\xBB\xBF");
    bool whole = true;
    QString text = decode(bytes, &whole);
    undecodable_ = !whole;
    if (text.startsWith(QChar(0xFEFF)))
        text.remove(0, 1);
    // Lines are written back with the break the file uses (its first one).
    const int lf = text.indexOf(QLatin1Char('\n'));
    eol_ = lf < 0 || (lf > 0 && text.at(lf - 1) == QLatin1Char('\r')) ? QStringLiteral("\r\n") : QStringLiteral("\n");
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    lines_ = text.split(QLatin1Char('\n'));
    if (!lines_.isEmpty() && lines_.last().isEmpty())
        lines_.removeLast();
}

int IniFile::findSection(const QString& section) const
{
    for (int i = 0; i < lines_.size(); ++i)
        if (isSection(lines_[i]) && sectionName(lines_[i]).compare(section, Qt::CaseInsensitive) == 0)
            return i;
    return -1;
}

int IniFile::sectionEnd(int sectionLine) const
{
    int i = sectionLine + 1;
    while (i < lines_.size() && !isSection(lines_[i]))
        ++i;
    return i;
}

int IniFile::findKey(int sectionLine, const QString& key) const
{
    const int end = sectionEnd(sectionLine);
    QString k, v;
    for (int i = sectionLine + 1; i < end; ++i)
        if (splitKey(lines_[i], &k, &v) && k.compare(key, Qt::CaseInsensitive) == 0)
            return i;
    return -1;
}

QString IniFile::value(const QString& section, const QString& key) const
{
    const int s = findSection(section);
    if (s < 0)
        return QString();
    const int k = findKey(s, key);
    if (k < 0)
        return QString();
    QString name, v;
    splitKey(lines_[k], &name, &v);
    return v;
}

bool IniFile::contains(const QString& section, const QString& key) const
{
    const int s = findSection(section);
    return s >= 0 && findKey(s, key) >= 0;
}

QStringList IniFile::keys(const QString& section) const
{
    QStringList out;
    const int s = findSection(section);
    if (s < 0)
        return out;
    QString k, v;
    const int end = sectionEnd(s);
    for (int i = s + 1; i < end; ++i)
        if (splitKey(lines_[i], &k, &v))
            out.append(k);
    return out;
}

void IniFile::setValue(const QString& section, const QString& key, const QString& value)
{
    // A value cannot span lines in this format.
    QString v = value;
    v.replace(QLatin1Char('\r'), QLatin1Char(' ')).replace(QLatin1Char('\n'), QLatin1Char(' '));
    // A reader takes one pair of quotes around a value off: a value that is
    // quoted itself gets a pair more, so that its own quotes come back.
    const QString t = v.trimmed();
    if (t.size() >= 2 && (t.front() == QLatin1Char('"') || t.front() == QLatin1Char('\'')) && t.back() == t.front())
        v = QLatin1Char('"') + t + QLatin1Char('"');
    int s = findSection(section);
    if (s < 0) {
        if (!lines_.isEmpty() && !lines_.last().trimmed().isEmpty())
            lines_.append(QString());
        lines_.append(QLatin1Char('[') + section + QLatin1Char(']'));
        lines_.append(key + QLatin1Char('=') + v);
        return;
    }
    const int k = findKey(s, key);
    if (k >= 0) {
        QString name, old;
        splitKey(lines_[k], &name, &old);
        lines_[k] = name + QLatin1Char('=') + v;
        return;
    }
    // After the last non-blank line of the section.
    int insertAt = sectionEnd(s);
    while (insertAt > s + 1 && lines_[insertAt - 1].trimmed().isEmpty())
        --insertAt;
    lines_.insert(insertAt, key + QLatin1Char('=') + v);
}

bool IniFile::save()
{
    failure_.clear();
    if (!refusedLink_.isEmpty()) {
        failure_ = linkRefused(refusedLink_) + QStringLiteral("设置未保存。");
        return false;
    }
    if (unreadable_) {
        failure_ = QStringLiteral("无法读取设置文件 %1，设置未保存，原来的设置保持不变。").arg(fileName(path_));
        return false;
    }
    if (undecodable_) {
        failure_ = QStringLiteral("设置文件 %1 不是 UTF-8 或 GB18030 编码的文本，程序不改动它，设置未保存。"
                                  "请用文本编辑器把它另存为 UTF-8 编码后再试。")
                       .arg(fileName(path_));
        return false;
    }
    QString text = lines_.join(eol_);
    text += eol_;
    if (bom_)
        text.prepend(QChar(0xFEFF));
    const QByteArray bytes = text.toUtf8();
    PrivateFile::Replacement out(path_);
    // A file its owner made read-only is kept as it is, even for a user whom
    // the system would let write it (root).
    if (out.targetRefused() && out.error() == EACCES && !(QFile::permissions(path_) & QFile::WriteOwner)) {
        failure_ = QStringLiteral("设置文件 %1 是只读的，设置未保存，原来的设置保持不变。").arg(fileName(path_));
        return false;
    }
    out.write(bytes.constData(), bytes.size());
    if (const int err = out.commit()) {
        failure_ = writeFailure(path_, err);
        return false;
    }
    return true;
}

namespace Modini {

QString GetIniValue(const QString& section, const QString& key, const QString& def, const QString& file)
{
    const QString v = IniFile(file).value(section, key);
    return v.isEmpty() ? def : v;
}

bool SetIniValue(const QString& section, const QString& key, const QString& value, const QString& file)
{
    IniFile ini(file);
    ini.setValue(section, key, value);
    const bool saved = ini.save();
    lastFailure() = ini.failureText();
    return saved;
}

QString LastFailureText()
{
    return lastFailure().isEmpty() ? QStringLiteral("无法写入设置文件 options.ini，设置未保存。") : lastFailure();
}

QString SettingsFileProblem()
{
    const QString path = AppPaths::iniFile();
    const IniFile ini(path);
    const QString name = fileName(path);
    const QString defaults = QStringLiteral("本次各项设置按默认值使用。");
    if (!ini.refusedLink().isEmpty())
        return linkRefused(ini.refusedLink()) + defaults + QStringLiteral("删除后请重新启动。");
    if (ini.unreadable())
        return QStringLiteral(
                   "无法读取设置文件 %1，程序不改动它，%2请系统管理员给本账户读写这个文件的权限，然后重新启动。")
            .arg(name, defaults);
    if (ini.undecodable())
        return QStringLiteral("设置文件 %1 不是 UTF-8 或 GB18030 编码的文本，程序不改动它，%2"
                              "请从备份中取回这个文件，或用文本编辑器把它另存为 UTF-8 编码，然后重新启动。")
            .arg(name, defaults);
    if (ini.loaded() && QFileInfo(path).size() == 0)
        return QStringLiteral("设置文件 %1 是空的，%2请从备份中取回这个文件并重新启动，或在系统设置中重新设置。")
            .arg(name, defaults);
    return QString();
}

QString CheckSettingsFileAtStart()
{
    const QString problem = SettingsFileProblem();
    refusedFile() = {problem.isEmpty() ? QString() : AppPaths::iniFile(), {}};
    return problem;
}

bool RememberIniValues(const std::vector<std::pair<IniSetting, QString>>& values)
{
    QHash<QString, QString>* memory = rememberedValues();
    if (!memory)
        return SetIniValues(values);
    for (const auto& [setting, value] : values)
        memory->insert(memoryKey(setting.section, setting.key), value);
    return true;
}

void TellNotSaved(QWidget* parent)
{
    MessageBox::show(LastFailureText(), MessageBox::kErrorTitle, MessageBox::Icon::Critical, MessageBox::Buttons::Ok,
                     parent);
}

std::optional<double> GetIniNumber(const IniSetting& s) { return NumberText::Parse(GetIniValue(s)); }

std::optional<int> GetIniWhole(const IniSetting& s) { return NumberText::ParseWhole(GetIniValue(s)); }

QString GetIniValue(const QString& section, const QString& key, const QString& def)
{
    if (const QHash<QString, QString>* memory = rememberedValues()) {
        const auto it = memory->constFind(memoryKey(section, key));
        if (it != memory->constEnd())
            return it->isEmpty() ? def : *it;
    }
    return GetIniValue(section, key, def, AppPaths::iniFile());
}

bool SetIniValue(const QString& section, const QString& key, const QString& value)
{
    const bool saved = SetIniValue(section, key, value, AppPaths::iniFile());
    if (saved)
        forgetRemembered(section, key);
    return saved;
}

bool SetIniValues(const std::vector<std::pair<IniSetting, QString>>& values)
{
    IniFile ini(AppPaths::iniFile());
    for (const auto& [setting, value] : values)
        ini.setValue(setting.section, setting.key, value);
    const bool saved = ini.save();
    lastFailure() = ini.failureText();
    if (saved)
        for (const auto& [setting, value] : values)
            forgetRemembered(setting.section, setting.key);
    return saved;
}

}
