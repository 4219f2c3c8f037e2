#pragma once
#include <QString>
#include <QStringList>

// The settings file: Windows-profile semantics on a UTF-8 text file.
// Sections and keys match without regard to case, the first match wins,
// a write replaces the value in place and keeps every other line.
class IniFile {
public:
    explicit IniFile(const QString& path);

    // The stored value; empty when the section, the key or the value is missing.
    QString value(const QString& section, const QString& key) const;
    bool contains(const QString& section, const QString& key) const;
    QStringList keys(const QString& section) const;
    // Sets the value in memory (creating section and key when missing).
    void setValue(const QString& section, const QString& key, const QString& value);
    // Writes the file atomically. False when it could not be written.
    bool save();
    bool loaded() const { return loaded_; }
    // The file exists but could not be read: saving it would lose every other setting.
    bool unreadable() const { return unreadable_; }

private:
    int findSection(const QString& section) const;   // line index of [section] or -1
    int sectionEnd(int sectionLine) const;           // first line after the section
    int findKey(int sectionLine, const QString& key) const;

    QString path_;
    QStringList lines_;
    QString eol_ = QStringLiteral("\r\n");
    bool bom_ = false;
    bool loaded_ = false;
    bool unreadable_ = false;
};

namespace Modini {
// The stored value, or def when the file, section or key is missing or the value is empty.
QString GetIniValue(const QString& section, const QString& key, const QString& def, const QString& file);
// Writes one value; false when the file could not be written.
bool SetIniValue(const QString& section, const QString& key, const QString& value, const QString& file);

// The same against options.ini in the program folder.
QString GetIniValue(const QString& section, const QString& key, const QString& def = QString());
bool SetIniValue(const QString& section, const QString& key, const QString& value);
}
