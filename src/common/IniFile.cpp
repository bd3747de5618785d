#include "common/IniFile.h"

#include "common/MessageService.h"
#include "common/NumberText.h"

#include <QFile>
#include <QSaveFile>

namespace tessel {

namespace {
constexpr int kMaxValueLength = 1023;

bool isHeader(const QString &trimmed) { return trimmed.startsWith('[') && trimmed.contains(']'); }

QString headerName(const QString &trimmed) { return trimmed.mid(1, trimmed.indexOf(']') - 1).trimmed(); }

bool isComment(const QString &trimmed) { return trimmed.startsWith(';') || trimmed.startsWith('#'); }

// Splits "key=value"; false for lines without '='.
bool splitEntry(const QString &line, QString &key, QString &value) {
    const int eq = line.indexOf('=');
    if (eq < 0)
        return false;
    key = line.left(eq).trimmed();
    value = line.mid(eq + 1).trimmed();
    return !key.isEmpty();
}
} // namespace

IniDocument::IniDocument(const QString &text) {
    QString t = text;
    t.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    m_lines = t.split('\n');
    if (!m_lines.isEmpty() && m_lines.last().isEmpty())
        m_lines.removeLast();
}

int IniDocument::findSection(const QString &section) const {
    for (int i = 0; i < m_lines.size(); ++i) {
        const QString t = m_lines[i].trimmed();
        if (isHeader(t) && headerName(t).compare(section, Qt::CaseInsensitive) == 0)
            return i;
    }
    return -1;
}

int IniDocument::sectionEnd(int header) const {
    for (int i = header + 1; i < m_lines.size(); ++i)
        if (isHeader(m_lines[i].trimmed()))
            return i;
    return int(m_lines.size());
}

std::optional<QString> IniDocument::value(const QString &section, const QString &key) const {
    const int h = findSection(section);
    if (h < 0)
        return std::nullopt;
    const int end = sectionEnd(h);
    for (int i = h + 1; i < end; ++i) {
        const QString t = m_lines[i].trimmed();
        QString k, v;
        if (!isComment(t) && splitEntry(m_lines[i], k, v) && k.compare(key, Qt::CaseInsensitive) == 0) {
            // A value in matching double quotes loses them, as the platform reader did.
            if (v.size() >= 2 && v.startsWith('"') && v.endsWith('"'))
                v = v.mid(1, v.size() - 2);
            return v;
        }
    }
    return std::nullopt;
}

void IniDocument::setValue(const QString &section, const QString &key, const QString &value) {
    const QString entry = key + '=' + value;
    int h = findSection(section);
    if (h < 0) {
        if (!m_lines.isEmpty() && !m_lines.last().trimmed().isEmpty())
            m_lines.append(QString());
        m_lines.append('[' + section + ']');
        m_lines.append(entry);
        return;
    }
    const int end = sectionEnd(h);
    int lastEntry = h;
    for (int i = h + 1; i < end; ++i) {
        const QString t = m_lines[i].trimmed();
        QString k, v;
        if (isComment(t) || !splitEntry(m_lines[i], k, v))
            continue;
        if (k.compare(key, Qt::CaseInsensitive) == 0) {
            m_lines[i] = entry;
            return;
        }
        lastEntry = i;
    }
    m_lines.insert(lastEntry + 1, entry);
}

QStringList IniDocument::sections() const {
    QStringList out;
    for (const QString &l : m_lines) {
        const QString t = l.trimmed();
        if (isHeader(t))
            out.append(headerName(t));
    }
    return out;
}

QStringList IniDocument::keys(const QString &section) const {
    QStringList out;
    const int h = findSection(section);
    if (h < 0)
        return out;
    const int end = sectionEnd(h);
    for (int i = h + 1; i < end; ++i) {
        QString k, v;
        if (!isComment(m_lines[i].trimmed()) && splitEntry(m_lines[i], k, v))
            out.append(k);
    }
    return out;
}

bool IniDocument::hasSection(const QString &section) const { return findSection(section) >= 0; }

QString IniDocument::text() const {
    QString out = m_lines.join('\n');
    if (!m_lines.isEmpty())
        out += '\n';
    return out;
}

TIniFile2::TIniFile2(const QString &fileName) : m_fileName(fileName) {}

const IniDocument &TIniFile2::doc() const {
    if (!m_doc) {
        QFile f(m_fileName);
        if (f.open(QIODevice::ReadOnly))
            m_doc.emplace(QString::fromUtf8(f.readAll()));
        else
            m_doc.emplace();
    }
    return *m_doc;
}

QString TIniFile2::ReadString(const QString &section, const QString &key, const QString &def) const {
    const auto v = doc().value(section, key);
    QString out = v ? *v : def;
    if (out.size() > kMaxValueLength)
        out.truncate(kMaxValueLength);
    return out;
}

int32_t TIniFile2::ReadInteger(const QString &section, const QString &key, int32_t def) const {
    const QString text = ReadString(section, key, QString());
    std::optional<int32_t> v;
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X'))
        v = ParseHex(text.mid(2));
    else
        v = ParseInt(text);
    return v.value_or(def);
}

bool TIniFile2::ReadBool(const QString &section, const QString &key, bool def) const {
    return ReadInteger(section, key, def ? 1 : 0) != 0;
}

double TIniFile2::ReadFloat(const QString &section, const QString &key, double def) const {
    const QString text = ReadString(section, key, FormatShortest(def));
    if (const auto v = ParseFloat(text))
        return *v;
    if (Report) {
        Messages().error(QStringLiteral("Error in Ini File: %1\n\r Section: %2,  Key: %3  , Read: %4  , Default %5")
                             .arg(m_fileName, section, key, text, FormatG(def)));
    }
    return def;
}

QStringList TIniFile2::ReadSections() const { return doc().sections(); }
QStringList TIniFile2::ReadSection(const QString &section) const { return doc().keys(section); }
bool TIniFile2::SectionExists(const QString &section) const { return doc().hasSection(section); }

void TIniFile2::WriteString(const QString &section, const QString &key, const QString &value) {
    doc();
    m_doc->setValue(section, key, value);
    m_dirty = true;
    if (m_updates == 0)
        commit();
}

void TIniFile2::EndUpdate() {
    if (m_updates > 0 && --m_updates == 0 && m_dirty)
        commit();
}

void TIniFile2::commit() {
    m_dirty = false;
    QSaveFile f(m_fileName);
    if (!f.open(QIODevice::WriteOnly) || f.write(m_doc->text().toUtf8()) < 0 || !f.commit())
        throw ETesselError(QStringLiteral("Unable to write to %1").arg(m_fileName));
}

void TIniFile2::WriteInteger(const QString &section, const QString &key, int32_t value) {
    WriteString(section, key, QString::number(value));
}

void TIniFile2::WriteBool(const QString &section, const QString &key, bool value) {
    WriteString(section, key, value ? QStringLiteral("1") : QStringLiteral("0"));
}

} // namespace tessel
