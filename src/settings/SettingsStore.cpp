#include "settings/SettingsStore.h"

#include "settings/CommaText.h"

#include <QtEndian>

namespace tessel {

QString StoreKeyName(const QString &company, const QString &software, const QString &version, const QString &name) {
    QString key = QStringLiteral("Software\\");
    for (const QString &part : {company, software, version})
        if (!part.isEmpty())
            key += part + '\\';
    return key + name;
}

namespace {
constexpr uint32_t kTagBoolean = 4;
constexpr uint32_t kTagTextList = 7;

QByteArray le32(uint32_t v) {
    QByteArray b(4, '\0');
    qToLittleEndian(v, b.data());
    return b;
}
} // namespace

QByteArray EncodeBoolean(bool value) { return le32(kTagBoolean) + QByteArray(1, value ? '\1' : '\0'); }

std::optional<bool> DecodeBoolean(const QByteArray &bytes) {
    if (bytes.size() != 5 || qFromLittleEndian<uint32_t>(bytes.constData()) != kTagBoolean)
        return std::nullopt;
    return bytes[4] != '\0';
}

QByteArray EncodeTextList(const QStringList &items) {
    const QByteArray text = ToCommaText(items).toUtf8();
    return le32(kTagTextList) + le32(uint32_t(text.size())) + text;
}

std::optional<QStringList> DecodeTextList(const QByteArray &bytes) {
    if (bytes.size() < 8 || qFromLittleEndian<uint32_t>(bytes.constData()) != kTagTextList)
        return std::nullopt;
    const uint32_t n = qFromLittleEndian<uint32_t>(bytes.constData() + 4);
    if (n != uint32_t(bytes.size() - 8))
        return std::nullopt;
    return FromCommaText(QString::fromUtf8(bytes.constData() + 8, int(n)));
}

SettingsStore::SettingsStore(const QString &name) : m_name(name) {}

SettingsStore::Setting *SettingsStore::find(const QString &name) {
    for (Setting &s : m_settings)
        if (s.name == name)
            return &s;
    return nullptr;
}

const SettingsStore::Setting *SettingsStore::find(const QString &name) const {
    for (const Setting &s : m_settings)
        if (s.name == name)
            return &s;
    return nullptr;
}

void SettingsStore::Register(const QString &name, SettingKind kind, const QVariant &def) {
    if (Setting *s = find(name)) {
        s->kind = kind;
        s->def = def;
        return;
    }
    m_settings.push_back({name, kind, def, def});
}

bool SettingsStore::IsRegistered(const QString &name) const { return find(name) != nullptr; }

void SettingsStore::Restore() {
    TPRegistry reg;
    const QString key = KeyName();
    for (Setting &s : m_settings) {
        s.value = s.def;
        switch (s.kind) {
        case SettingKind::Text:
            if (auto v = reg.ReadString(key, s.name))
                s.value = *v;
            break;
        case SettingKind::Integer:
            if (auto v = reg.ReadInteger(key, s.name))
                s.value = *v;
            break;
        case SettingKind::Boolean:
            if (auto b = reg.ReadBinary(key, s.name))
                if (auto v = DecodeBoolean(*b))
                    s.value = *v;
            break;
        case SettingKind::TextList:
            if (auto b = reg.ReadBinary(key, s.name))
                if (auto v = DecodeTextList(*b))
                    s.value = *v;
            break;
        }
    }
}

void SettingsStore::Save() const {
    TPRegistry reg;
    const QString key = KeyName();
    reg.CreateKey(key);
    for (const Setting &s : m_settings) {
        switch (s.kind) {
        case SettingKind::Text:
            reg.WriteString(key, s.name, s.value.toString());
            break;
        case SettingKind::Integer:
            reg.WriteInteger(key, s.name, s.value.toInt());
            break;
        case SettingKind::Boolean:
            reg.WriteBinary(key, s.name, EncodeBoolean(s.value.toBool()));
            break;
        case SettingKind::TextList:
            reg.WriteBinary(key, s.name, EncodeTextList(s.value.toStringList()));
            break;
        }
    }
    reg.Flush();
}

QVariant SettingsStore::Value(const QString &name) const {
    const Setting *s = find(name);
    return s ? s->value : QVariant();
}

void SettingsStore::SetValue(const QString &name, const QVariant &value) {
    if (Setting *s = find(name))
        s->value = value;
}

TPFormSettings::TPFormSettings(const QString &windowName, Values values) : SettingsStore(windowName), m_values(values) {
    Register(QStringLiteral("Left"), SettingKind::Integer, -1);
    Register(QStringLiteral("Top"), SettingKind::Integer, -1);
    if (values == Values::All) {
        Register(QStringLiteral("Width"), SettingKind::Integer, -1);
        Register(QStringLiteral("Height"), SettingKind::Integer, -1);
        Register(QStringLiteral("MainForm"), SettingKind::Boolean, false);
        Register(QStringLiteral("State"), SettingKind::Integer, -1);
    }
    Register(QStringLiteral("ScreenRes"), SettingKind::Text, QString());
}

WindowValues TPFormSettings::Window() const {
    WindowValues w;
    w.Left = Integer(QStringLiteral("Left"));
    w.Top = Integer(QStringLiteral("Top"));
    if (m_values == Values::All) {
        w.Width = Integer(QStringLiteral("Width"));
        w.Height = Integer(QStringLiteral("Height"));
        w.MainForm = Boolean(QStringLiteral("MainForm"));
        w.State = Integer(QStringLiteral("State"));
    }
    w.ScreenRes = Text(QStringLiteral("ScreenRes"));
    return w;
}

void TPFormSettings::SetWindow(const WindowValues &w) {
    SetValue(QStringLiteral("Left"), w.Left);
    SetValue(QStringLiteral("Top"), w.Top);
    if (m_values == Values::All) {
        SetValue(QStringLiteral("Width"), w.Width);
        SetValue(QStringLiteral("Height"), w.Height);
        SetValue(QStringLiteral("MainForm"), w.MainForm);
        SetValue(QStringLiteral("State"), w.State);
    }
    SetValue(QStringLiteral("ScreenRes"), w.ScreenRes);
}

void TPFormSettings::EnableMRU(int maxLength) {
    m_mruLength = maxLength;
    Register(QStringLiteral("MRUList"), SettingKind::TextList, QStringList());
}

} // namespace tessel
