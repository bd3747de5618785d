#pragma once

#include "common/Errors.h"

#include <QString>
#include <QStringList>
#include <optional>

namespace tessel {

// Plain ini text kept line by line: sections and keys stay in file order and
// writing one key leaves every other line as it was. Section and key names
// compare without regard to case; values are trimmed of surrounding blanks.
class IniDocument {
public:
    IniDocument() = default;
    explicit IniDocument(const QString &text);

    std::optional<QString> value(const QString &section, const QString &key) const;
    void setValue(const QString &section, const QString &key, const QString &value);
    QStringList sections() const;
    QStringList keys(const QString &section) const;
    bool hasSection(const QString &section) const;
    QString text() const;

private:
    // Index of the header line of a section, or -1.
    int findSection(const QString &section) const;
    // End of the section body (index of the next header or line count).
    int sectionEnd(int header) const;
    QStringList m_lines;
};

// Reader/writer of one ini file for the duration of one load or save.
class TIniFile2 {
public:
    explicit TIniFile2(const QString &fileName);

    const QString &FileName() const { return m_fileName; }
    // When on, an unreadable float shows the ini error dialog.
    bool Report = false;

    QString ReadString(const QString &section, const QString &key, const QString &def) const;
    int32_t ReadInteger(const QString &section, const QString &key, int32_t def) const;
    bool ReadBool(const QString &section, const QString &key, bool def) const;
    double ReadFloat(const QString &section, const QString &key, double def) const;
    QStringList ReadSections() const;
    QStringList ReadSection(const QString &section) const;
    bool SectionExists(const QString &section) const;

    // Raise ETesselError("Unable to write to <file>") when the file cannot be written.
    void WriteString(const QString &section, const QString &key, const QString &value);
    void WriteInteger(const QString &section, const QString &key, int32_t value);
    void WriteBool(const QString &section, const QString &key, bool value);
    // Writes between these two go to the file once, at the outermost EndUpdate.
    void BeginUpdate() { ++m_updates; }
    void EndUpdate();

private:
    void commit();
    const IniDocument &doc() const;
    QString m_fileName;
    mutable std::optional<IniDocument> m_doc;
    int m_updates = 0;
    bool m_dirty = false;
};

} // namespace tessel
