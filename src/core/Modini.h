#pragma once
#include <QString>
#include <QStringList>
#include <optional>
#include <utility>
#include <vector>

class QWidget;

// The settings file: Windows-profile semantics on a UTF-8 text file.
// Sections and keys match without regard to case, the first match wins,
// a write replaces the value in place and keeps every other line byte for
// byte (a line in GB18030, as older Chinese Windows tools wrote it, too).
class IniFile {
public:
    explicit IniFile(const QString& path);
    // The file at path as if it held bytes (a save writes path).
    IniFile(const QString& path, const QByteArray& bytes);
    // The file at path as a settings dialog's save starts from: one without a
    // setting in it (missing, empty, zeros) is the shipped options.ini, so
    // that the save writes a whole file, never a file of the dialog's keys.
    static IniFile forSaving(const QString& path);

    // The stored value; empty when the section, the key or the value is missing.
    QString value(const QString& section, const QString& key) const;
    bool contains(const QString& section, const QString& key) const;
    QStringList keys(const QString& section) const;
    // Sets the value in memory (creating section and key when missing).
    void setValue(const QString& section, const QString& key, const QString& value);
    // Writes the file as every file of ours is written: a temporary file
    // beside it, every write checked, synced, renamed over it, the folder
    // synced. False when it could not be written; the old file is then whole.
    bool save();
    bool loaded() const { return loaded_; }
    // The file exists but could not be read: saving it would lose every other
    // setting. So is a file behind another account's link, which is not followed.
    bool unreadable() const { return unreadable_; }
    // The file is text in neither UTF-8 nor GB18030: it is read as well as it
    // goes but never rewritten, as that would replace every byte it could not read.
    bool undecodable() const { return undecodable_; }
    // The file ends inside a character: it was cut short, and is never rewritten.
    bool cut() const { return cut_; }
    // Missing, empty or nothing but NUL bytes: there is no setting in it to lose.
    bool blank() const { return (!loaded_ && !unreadable_) || (loaded_ && blank_); }
    // Read whole: there, readable, text, not cut short and not blank.
    bool sound() const { return loaded_ && !undecodable_ && !cut_ && !blank_; }
    // In a file of UTF-8 lines, the numbers (from 1) of the lines read as GB18030.
    QList<int> gb18030Lines() const { return gbLines_; }
    // The file's name when it is another account's link, which is not followed.
    QString refusedLink() const { return refusedLink_; }
    // Why the last save() failed, a sentence for the user that ends with the
    // setting not having been saved; empty when it did not fail.
    QString failureText() const { return failure_; }

private:
    void parse(const QByteArray& bytes);
    void insertLine(int at, const QString& line);
    int findSection(const QString& section) const;   // line index of [section] or -1
    int sectionEnd(int sectionLine) const;           // first line after the section
    int findKey(int sectionLine, const QString& key) const;

    QString path_;
    QStringList lines_;
    QList<QByteArray> raw_;   // each line's bytes as read, with its break; empty once it is changed
    QString eol_ = QStringLiteral("\r\n");
    bool bom_ = false;
    bool loaded_ = false;
    bool unreadable_ = false;
    bool undecodable_ = false;
    bool cut_ = false;
    bool blank_ = false;
    bool gb_ = false;   // changed lines are written in GB18030
    QList<int> gbLines_;
    QString refusedLink_;   // the file's name, when it is another account's link
    QString failure_;
};

// One setting of options.ini: its section and key.
struct IniSetting {
    QString section;
    QString key;
};

// The settings the program reads and writes by name, each spelled once, as
// the shipped options.ini spells it (matching ignores case). The report
// page's settings are listed with their defaults in PrintSettings.
namespace IniKey {
inline const QString kSystem = QStringLiteral("system");
inline const IniSetting HospitalName{kSystem, QStringLiteral("hname")};         // printed at the top of reports
inline const IniSetting SkinId{kSystem, QStringLiteral("skinid")};              // 1..3
inline const IniSetting Machine{kSystem, QStringLiteral("machine")};            // the equipment's name
inline const IniSetting LayoutMode{kSystem, QStringLiteral("kz")};              // the editor's layout: "1" or "0"
inline const IniSetting DescriptionCategory{kSystem, QStringLiteral("mrms")};   // the editor's last category
inline const IniSetting SidePanelTab{kSystem, QStringLiteral("fzindex")};       // the editor's last side tab
inline const IniSetting ComPort{kSystem, QStringLiteral("comport")};            // the foot switch's port; empty: none
// The name of description category n (1..8): "ms1" .. "ms8".
inline IniSetting DescriptionName(int n) { return {kSystem, QStringLiteral("ms%1").arg(n)}; }

// The capture device and its format and compression (the video dialogs' own section).
inline const QString kVideo = QStringLiteral("video");
inline const IniSetting VideoDevice{kVideo, QStringLiteral("device")};
inline const IniSetting VideoWidth{kVideo, QStringLiteral("width")};
inline const IniSetting VideoHeight{kVideo, QStringLiteral("height")};
inline const IniSetting VideoFps{kVideo, QStringLiteral("fps")};
inline const IniSetting VideoCodec{kVideo, QStringLiteral("codec")};
inline const IniSetting VideoQuality{kVideo, QStringLiteral("quality")};
inline const QString kOutput = QStringLiteral("output");
inline const IniSetting DicomServerIp{kOutput, QStringLiteral("svrIp")};         // the PACS address
inline const IniSetting DicomServerTitle{kOutput, QStringLiteral("svrTitle")};   // its AE title, calling and called
inline const IniSetting DicomServerPort{kOutput, QStringLiteral("svrPort")};     // a number
inline const IniSetting DicomAutoSend{kOutput, QStringLiteral("autoSend")};      // "1": send each converted picture
inline const IniSetting DicomFolder{kOutput, QStringLiteral("dcmDir")};          // where the DICOM files go

// The grid printer's settings (the query and statistics lists); margins in millimetres.
inline const QString kGridPrint = QStringLiteral("gridprint");
inline const IniSetting GridTop{kGridPrint, QStringLiteral("bTop")};
inline const IniSetting GridBottom{kGridPrint, QStringLiteral("bBotton")};   // the stored spelling
inline const IniSetting GridLeft{kGridPrint, QStringLiteral("bLeft")};
inline const IniSetting GridRight{kGridPrint, QStringLiteral("bRight")};
inline const IniSetting GridPrinterName{kGridPrint, QStringLiteral("mPrinter")};   // device name
inline const IniSetting GridPaper{kGridPrint, QStringLiteral("mPaper")};           // paper code
inline const IniSetting GridColor{kGridPrint, QStringLiteral("mColor")};           // 1 mono, 2 colour
inline const IniSetting GridDirection{kGridPrint, QStringLiteral("mDirection")};   // 1 portrait, 2 landscape
inline const IniSetting GridQuality{kGridPrint, QStringLiteral("mQuality")};       // -1 .. -4
}

namespace Modini {
// The stored value, or def when the file, section or key is missing or the value is empty.
QString GetIniValue(const QString& section, const QString& key, const QString& def, const QString& file);
// Writes one value; false when the file could not be written (the old file
// is then whole, and LastFailureText() says why).
bool SetIniValue(const QString& section, const QString& key, const QString& value, const QString& file);
// Why the last SetIniValue failed, for the user.
QString LastFailureText();

// What is wrong with the program's options.ini, said at start: one that is
// there but cannot be read or decoded, was cut short, is empty or holds only
// NUL bytes (every setting then reads as the shipped options.ini), one that
// is read-only, or one with lines in two codes. Empty when it is sound or not
// there at all.
QString SettingsFileProblem();
// The start's check of the settings file: a missing one is made from the
// shipped options.ini; otherwise SettingsFileProblem(). When the file cannot
// be written (refused, blank or read-only), what the program remembers by
// itself (RememberIniValues) stays in memory for the rest of the run and
// reads of those values come from there; the file is left as the user found
// it but for a settings dialog's save (SetIniValue, SetIniValues), which
// replaces a blank one with a whole file.
QString CheckSettingsFileAtStart();
// Tells the user that a setting was not saved, and why (a critical box titled "错误").
void TellNotSaved(QWidget* parent = nullptr);

// The same against options.ini in the program folder. A file that is missing,
// blank or cannot be used reads as the shipped options.ini, built into the
// program; a sound one gives def for a key it lacks, as above.
QString GetIniValue(const QString& section, const QString& key, const QString& def = QString());
bool SetIniValue(const QString& section, const QString& key, const QString& value);
inline QString GetIniValue(const IniSetting& s, const QString& def = QString())
{
    return GetIniValue(s.section, s.key, def);
}
inline bool SetIniValue(const IniSetting& s, const QString& value) { return SetIniValue(s.section, s.key, value); }
// Writes several values of options.ini in one replacement of the file, for
// a command that saves them together: either every value is stored or none
// is (the old file is then whole, and LastFailureText() says why). A missing
// or blank file becomes the shipped options.ini with these values.
bool SetIniValues(const std::vector<std::pair<IniSetting, QString>>& values);
// Values the program keeps for the next run by itself, without the user
// saving them in a settings dialog (the editor's tab, the skin chosen from
// the menu): written like SetIniValues, or kept in memory when the start
// found that the settings file cannot be written (true then; the first change
// kept so says once per run that it lasts until the program ends).
bool RememberIniValues(const std::vector<std::pair<IniSetting, QString>>& values, QWidget* parent = nullptr);
inline bool RememberIniValue(const IniSetting& s, const QString& value, QWidget* parent = nullptr)
{
    return RememberIniValues({{s, value}}, parent);
}
// The value of the shipped options.ini, for a reader that cannot work without one.
QString ShippedIniValue(const IniSetting& s);
// A setting read by the program's number test (core/NumberText.h); none when
// it is missing, empty or no number.
std::optional<double> GetIniNumber(const IniSetting& s);
// A setting written as a whole number (an optional sign and digits) within the
// range of int; none otherwise.
std::optional<int> GetIniWhole(const IniSetting& s);
}
