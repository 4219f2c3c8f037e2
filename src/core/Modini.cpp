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
#include <QStringEncoder>

#include <cerrno>
#include <cstring>

#include <sys/stat.h>
#include <unistd.h>

// The shipped data files live in a resource of this static library.
static void initSettingsResource() { Q_INIT_RESOURCE(data); }

namespace {

QString& lastFailure()
{
    static QString text;
    return text;
}

// The program's settings file as the start found it, for the rest of the run.
struct RunSettings {
    QString path;                         // the file the start looked at; empty before its check
    bool inMemory = false;                // what the program remembers by itself stays in memory
    bool told = false;                    // the user has read that such a change is kept for this run only
    QHash<QString, QString> remembered;   // by section and key, lower case
};

RunSettings& runSettings()
{
    static RunSettings run;
    return run;
}

QString memoryKey(const QString& section, const QString& key)
{
    return section.toLower() + QLatin1Char('\n') + key.toLower();
}

// The remembered values while the settings file in use is one the start
// found it could not write: refused, blank or read-only.
QHash<QString, QString>* rememberedValues()
{
    RunSettings& run = runSettings();
    return run.inMemory && run.path == AppPaths::iniFile() ? &run.remembered : nullptr;
}

// A value the user saved in a settings dialog replaces what was remembered.
void forgetRemembered(const QString& section, const QString& key)
{
    if (QHash<QString, QString>* memory = rememberedValues())
        memory->remove(memoryKey(section, key));
}

// The shipped options.ini, built into the program.
QByteArray shippedBytes()
{
    static const QByteArray bytes = [] {
        initSettingsResource();
        QFile f(QStringLiteral(":/data/options.ini"));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }();
    return bytes;
}

const IniFile& shipped()
{
    static const IniFile file(QString(), shippedBytes());
    return file;
}

// How one line's bytes read.
enum class LineCode {
    Ascii,
    Utf8,
    Gb18030,   // not UTF-8, but GB18030 (older Chinese Windows tools)
    Neither
};

// Sets *text when bytes read whole as GB18030.
bool readGb18030(const QByteArray& bytes, QString* text)
{
    QStringDecoder gb("GB18030", QStringDecoder::Flag::Stateless);
    if (!gb.isValid())
        return false;
    const QString t = gb.decode(bytes);
    if (gb.hasError())
        return false;
    *text = t;
    return true;
}

LineCode decodeLine(const QByteArray& bytes, QString* text)
{
    bool ascii = true;
    for (const char c : bytes)
        ascii = ascii && uchar(c) < 0x80;
    if (ascii) {
        *text = QString::fromLatin1(bytes);
        return LineCode::Ascii;
    }
    // Stateless: a sequence cut at the end of the line is an error, not dropped.
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    *text = utf8.decode(bytes);
    if (!utf8.hasError())
        return LineCode::Utf8;
    return readGb18030(bytes, text) ? LineCode::Gb18030 : LineCode::Neither;
}

// A line's bytes without its break (and the byte-order mark before the first).
QByteArray lineBody(QByteArray raw, bool afterBom)
{
    if (raw.endsWith('\n'))
        raw.chop(1);
    if (raw.endsWith('\r'))
        raw.chop(1);
    if (afterBom)
        raw.remove(0, 3);
    return raw;
}

// Whether text holds a character that UTF-8 writes in two bytes (U+0080..U+07FF).
bool hasTwoByteUtf8(const QString& text)
{
    for (const QChar c : text)
        if (c.unicode() >= 0x80 && c.unicode() < 0x800)
            return true;
    return false;
}

// Whether text holds a character that UTF-8 writes in three or four bytes
// (U+0800 and above: Chinese among them).
bool hasWideUtf8(const QString& text)
{
    for (const QChar c : text)
        if (c.unicode() >= 0x800)
            return true;
    return false;
}

// Whether tail is the start of a UTF-8 sequence that lacks its last bytes.
bool cutUtf8Sequence(const QByteArray& tail)
{
    const uchar lead = uchar(tail.front());
    const int length = lead >= 0xC2 && lead <= 0xDF   ? 2
                       : lead >= 0xE0 && lead <= 0xEF ? 3
                       : lead >= 0xF0 && lead <= 0xF4 ? 4
                                                      : 0;
    if (length == 0 || tail.size() >= length)
        return false;
    for (int i = 1; i < tail.size(); ++i)
        if ((uchar(tail[i]) & 0xC0) != 0x80)
            return false;
    return true;
}

// The last line of a file that ends inside a character: without its last one
// to three bytes the line reads, and the bytes cut off begin a character:
// of UTF-8, or of GB18030 when the line does not read whole (gb).
bool cutLastCharacter(const QByteArray& line, bool gb)
{
    QString text;
    for (int k = 1; k <= 3 && k < line.size(); ++k) {
        const LineCode rest = decodeLine(line.chopped(k), &text);
        if ((rest == LineCode::Ascii || rest == LineCode::Utf8) && cutUtf8Sequence(line.right(k)))
            return true;
        if (gb && (rest == LineCode::Ascii || rest == LineCode::Gb18030) && uchar(line[line.size() - k]) >= 0x81)
            return true;
    }
    return false;
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

// What to do about a settings file that is no text of ours or was cut short.
QString emptyItAdvice()
{
    return QStringLiteral("请从备份中取回这个文件，或者清空或删除它（之后各项设置按出厂默认值），然后重新启动。");
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
    const PrivateFile::Name name = PrivateFile::resolve(path_);
    if (!name.refusedLink.isEmpty()) {
        refusedLink_ = name.refusedLink;
        unreadable_ = true;
        return;
    }
    // Read through the entry the rule looked at, never through a name looked up again.
    const int fd = name.ok() ? name.folder.openRead(name.entry) : -name.error;
    QFile f;
    if (fd < 0 || !f.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        if (fd >= 0)
            ::close(fd);
        unreadable_ = fd != -ENOENT;
        return;
    }
    parse(f.readAll());
    if (f.error() != QFileDevice::NoError) {
        *this = IniFile(path_, QByteArray());
        unreadable_ = true;
        loaded_ = false;
    }
}

IniFile::IniFile(const QString& path, const QByteArray& bytes) : path_(path) { parse(bytes); }

IniFile IniFile::forSaving(const QString& path)
{
    IniFile ini(path);
    return ini.blank() ? IniFile(path, shippedBytes()) : ini;
}

void IniFile::parse(const QByteArray& bytes)
{
    loaded_ = true;
    blank_ = bytes.count('\0') == bytes.size();
    bom_ = bytes.startsWith("\xEF\xBB\xBF");
    // Each line is read in its own code: UTF-8, or GB18030 as older Chinese
    // Windows tools wrote it. Its bytes are kept, so that a save writes the
    // lines nobody changed exactly as they were, whatever their code.
    QList<LineCode> codes;
    QByteArray body;
    for (qsizetype from = 0; from < bytes.size();) {
        const qsizetype lf = bytes.indexOf('\n', from);
        const qsizetype end = lf < 0 ? bytes.size() : lf + 1;
        raw_.append(bytes.mid(from, end - from));
        from = end;
        body = lineBody(raw_.last(), raw_.size() == 1 && bom_);
        QString text;
        codes.append(decodeLine(body, &text));
        lines_.append(text);
    }
    // Lines are written back with the break the file uses (its first one).
    eol_ = raw_.isEmpty() || raw_.first().endsWith("\r\n") || !raw_.first().endsWith('\n') ? QStringLiteral("\r\n")
                                                                                           : QStringLiteral("\n");
    // In a file with lines that only GB18030 reads (or none reads), a line
    // that both read is GB18030 unless it holds Chinese as UTF-8 writes it
    // (three bytes a character): pairs of GB18030 bytes that happen to be
    // UTF-8 read as two-byte characters (Latin, Greek, Cyrillic) that no such file holds.
    if (codes.contains(LineCode::Gb18030) || codes.contains(LineCode::Neither))
        for (int i = 0; i < codes.size(); ++i)
            if (codes[i] == LineCode::Utf8 && hasTwoByteUtf8(lines_[i]) && !hasWideUtf8(lines_[i])
                && readGb18030(lineBody(raw_[i], i == 0 && bom_), &lines_[i]))
                codes[i] = LineCode::Gb18030;
    // A file that ends inside a character was cut short: its last line lacks
    // bytes that no save could bring back.
    if (!bytes.isEmpty() && !bytes.endsWith('\n') && codes.last() != LineCode::Ascii
        && codes.last() != LineCode::Utf8) {
        const LineCode last = codes.takeLast();
        cut_ = cutLastCharacter(body, last == LineCode::Neither && !codes.contains(LineCode::Utf8));
        if (!cut_)
            codes.append(last);
    }
    // No settings file holds a NUL: one that does is no text of ours (a file
    // a crash left full of zeros, one saved as UTF-16), and rewriting its
    // lines would mix our text into it.
    undecodable_ = bytes.contains('\0') || codes.contains(LineCode::Neither);
    // Lines that are not UTF-8 in a file that has UTF-8 lines are read as GB18030, each on its own.
    const bool anyUtf8 = codes.contains(LineCode::Utf8);
    gb_ = !anyUtf8 && codes.contains(LineCode::Gb18030);
    for (int i = 0; anyUtf8 && i < codes.size(); ++i)
        if (codes[i] == LineCode::Gb18030)
            gbLines_.append(i + 1);
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
            insertLine(int(lines_.size()), QString());
        insertLine(int(lines_.size()), QLatin1Char('[') + section + QLatin1Char(']'));
        insertLine(int(lines_.size()), key + QLatin1Char('=') + v);
        return;
    }
    const int k = findKey(s, key);
    if (k >= 0) {
        QString name, old;
        splitKey(lines_[k], &name, &old);
        // A value that stays keeps its line as it is.
        if (old == value)
            return;
        lines_[k] = name + QLatin1Char('=') + v;
        raw_[k].clear();
        return;
    }
    // After the last non-blank line of the section.
    int insertAt = sectionEnd(s);
    while (insertAt > s + 1 && lines_[insertAt - 1].trimmed().isEmpty())
        --insertAt;
    insertLine(insertAt, key + QLatin1Char('=') + v);
}

void IniFile::insertLine(int at, const QString& line)
{
    lines_.insert(at, line);
    raw_.insert(at, QByteArray());
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
    if (undecodable_ || cut_) {
        failure_ = (cut_ ? QStringLiteral("设置文件 %1 已损坏（最后一个字符不完整），程序不改动它，设置未保存。")
                         : QStringLiteral("设置文件 %1 不是 UTF-8 或 GB18030 编码的文本，程序不改动它，设置未保存。"))
                       .arg(fileName(path_))
                   + emptyItAdvice();
        return false;
    }
    // Lines nobody changed keep their bytes; a changed or new one is written
    // in the file's code (GB18030 when its other lines are).
    QStringEncoder encoder = gb_ ? QStringEncoder("GB18030") : QStringEncoder(QStringEncoder::Utf8);
    QByteArray bytes;
    for (int i = 0; i < lines_.size(); ++i) {
        if (!raw_[i].isEmpty()) {
            bytes += raw_[i];
            if (!raw_[i].endsWith('\n'))
                bytes += raw_[i].endsWith('\r') ? QByteArray("\n") : eol_.toLatin1();
            continue;
        }
        if (i == 0 && bom_)
            bytes += "\xEF\xBB\xBF";
        bytes += QByteArray(encoder.encode(lines_[i])) + eol_.toLatin1();
    }
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
    // What stays of this run's changes: nothing can be written into a file the
    // program cannot read; one without a setting in it is replaced whole by a
    // settings dialog's save.
    const QString defaults = QStringLiteral("本次各项设置按出厂默认值使用，本次运行中所做的更改都不会保存。");
    const QString replaced = QStringLiteral(
        "本次各项设置按出厂默认值使用。本次运行中程序自己记住的更改（皮肤、编辑报告窗口的选项卡和描述分类）"
        "只保留到程序关闭；在设置窗口中按“保 存”会写入一个完整的新设置文件（出厂默认值加上所做的更改）。");
    if (!ini.refusedLink().isEmpty())
        return linkRefused(ini.refusedLink()) + defaults + QStringLiteral("删除后请重新启动。");
    if (ini.unreadable())
        return QStringLiteral(
                   "无法读取设置文件 %1，程序不改动它，%2请系统管理员给本账户读写这个文件的权限，然后重新启动。")
            .arg(name, defaults);
    if (ini.loaded() && ini.blank()) {
        if (QFileInfo(path).size() == 0)
            return QStringLiteral("设置文件 %1 是空的。").arg(name) + replaced
                   + QStringLiteral("如有备份，请从备份中取回这个文件，然后重新启动。");
        return QStringLiteral("设置文件 %1 全是零字节（可能是断电或死机留下的），不是 UTF-8 或 GB18030 编码的文本。")
                   .arg(name)
               + replaced + emptyItAdvice();
    }
    if (ini.cut())
        return QStringLiteral("设置文件 %1 已损坏：最后一个字符不完整（文件被截断了），程序不改动它，%2")
                   .arg(name, defaults)
               + emptyItAdvice();
    if (ini.undecodable())
        return QStringLiteral("设置文件 %1 不是 UTF-8 或 GB18030 编码的文本，程序不改动它，%2").arg(name, defaults)
               + emptyItAdvice();
    if (!ini.loaded())
        return QString();
    if (!(QFile::permissions(path) & QFile::WriteOwner))
        return QStringLiteral("设置文件 %1 是只读的。程序使用其中的设置，但本次运行中所做的更改都不会保存："
                              "程序自己记住的更改（皮肤、编辑报告窗口的选项卡和描述分类）只保留到程序关闭，"
                              "设置窗口中的“保 存”也不能写入它。要保存更改，请给这个文件加上写权限，然后重新启动。")
            .arg(name);
    if (const QList<int> gb = ini.gb18030Lines(); !gb.isEmpty()) {
        QStringList numbers;
        for (const int n : gb)
            numbers.append(QString::number(n));
        return QStringLiteral(
                   "设置文件 %1 的第 %2 行不是 UTF-8 编码，程序按 GB18030 编码读取这些行，其余各行按 UTF-8 读取；"
                   "更改一项设置只改写它所在的那一行。如果某项设置显示为乱码，"
                   "请用文本编辑器把整个文件另存为 UTF-8 编码，然后重新启动。")
            .arg(name, numbers.join(QStringLiteral("、")));
    }
    return QString();
}

QString CheckSettingsFileAtStart()
{
    const QString path = AppPaths::iniFile();
    runSettings() = RunSettings{path, false, false, {}};
    const IniFile ini(path);
    // A missing file is made from the shipped one, owner-only.
    if (!ini.loaded() && !ini.unreadable()) {
        IniFile made(path, shippedBytes());
        if (made.save())
            return QString();
        runSettings().inMemory = true;
        return QStringLiteral("设置文件 %1 不存在，程序按出厂默认值创建它时出错：%2\n本次各项设置按出厂默认值使用，"
                              "程序自己记住的更改（皮肤、编辑报告窗口的选项卡和描述分类）只保留到程序关闭。")
            .arg(fileName(path), made.failureText());
    }
    const QString problem = SettingsFileProblem();
    // Every problem but lines in two codes leaves the file as the user found it.
    runSettings().inMemory =
        !problem.isEmpty()
        && !(ini.sound() && !ini.gb18030Lines().isEmpty() && (QFile::permissions(path) & QFile::WriteOwner));
    return problem;
}

bool RememberIniValues(const std::vector<std::pair<IniSetting, QString>>& values, QWidget* parent)
{
    QHash<QString, QString>* memory = rememberedValues();
    if (!memory)
        return SetIniValues(values);
    bool changed = false;
    for (const auto& [setting, value] : values) {
        if (GetIniValue(setting.section, setting.key) == value)
            continue;
        memory->insert(memoryKey(setting.section, setting.key), value);
        changed = true;
    }
    RunSettings& run = runSettings();
    if (changed && !run.told) {
        run.told = true;
        MessageBox::show(QStringLiteral("设置文件 %1 有问题（见启动时的提示），这项更改不写入它，只保留到程序关闭。"
                                        "本次运行中不再提示。")
                             .arg(fileName(run.path)),
                         MessageBox::kNoticeTitle, MessageBox::Icon::Information, MessageBox::Buttons::Ok, parent);
    }
    return true;
}

void TellNotSaved(QWidget* parent)
{
    MessageBox::show(LastFailureText(), MessageBox::kErrorTitle, MessageBox::Icon::Critical, MessageBox::Buttons::Ok,
                     parent);
}

std::optional<double> GetIniNumber(const IniSetting& s) { return NumberText::Parse(GetIniValue(s)); }

std::optional<int> GetIniWhole(const IniSetting& s) { return NumberText::ParseWhole(GetIniValue(s)); }

QString ShippedIniValue(const IniSetting& s) { return shipped().value(s.section, s.key); }

QString GetIniValue(const QString& section, const QString& key, const QString& def)
{
    if (const QHash<QString, QString>* memory = rememberedValues()) {
        const auto it = memory->constFind(memoryKey(section, key));
        if (it != memory->constEnd())
            return it->isEmpty() ? def : *it;
    }
    // A file that is missing, blank or cannot be used reads as the shipped one.
    const IniFile ini(AppPaths::iniFile());
    const QString v = ini.sound() ? ini.value(section, key) : shipped().value(section, key);
    return v.isEmpty() ? def : v;
}

bool SetIniValue(const QString& section, const QString& key, const QString& value)
{
    return SetIniValues({{IniSetting{section, key}, value}});
}

bool SetIniValues(const std::vector<std::pair<IniSetting, QString>>& values)
{
    // A file without a setting in it (missing, empty, zeros) is written whole:
    // the shipped defaults with these values.
    IniFile ini = IniFile::forSaving(AppPaths::iniFile());
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
