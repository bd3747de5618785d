#include "settings/Registry.h"

#include "common/AppPaths.h"

#include <QDir>
#include <QSettings>

namespace tessel {

namespace {
// Keys are stored as QSettings groups; '\' separates registry key levels.
QString group(const QString &key) {
    QString g = key;
    g.replace('\\', '/');
    return g;
}
} // namespace

QString TPRegistry::storeFile() { return AppPaths::configDir() + QStringLiteral("/Tessel.conf"); }

TPRegistry::TPRegistry() {
    QDir().mkpath(AppPaths::configDir());
    m_settings = std::make_unique<QSettings>(storeFile(), QSettings::IniFormat);
    m_damaged = m_settings->status() != QSettings::NoError;
}

TPRegistry::~TPRegistry() = default;

QString TPRegistry::path(const QString &key, const QString &name) const { return group(key) + '/' + name; }

std::optional<QVariant> TPRegistry::raw(const QString &key, const QString &name) const {
    if (m_damaged)
        return std::nullopt;
    const QString p = path(key, name);
    if (!m_settings->contains(p))
        return std::nullopt;
    return m_settings->value(p);
}

bool TPRegistry::KeyExists(const QString &key) const {
    if (m_damaged)
        return false;
    const QString g = group(key);
    const QStringList all = m_settings->allKeys();
    for (const QString &k : all)
        if (k.startsWith(g + '/'))
            return true;
    // An empty key created on purpose carries a marker value.
    return m_settings->contains(g + QStringLiteral("/.key"));
}

bool TPRegistry::ValueExists(const QString &key, const QString &name) const { return raw(key, name).has_value(); }

std::optional<QString> TPRegistry::ReadString(const QString &key, const QString &name) const {
    auto v = raw(key, name);
    if (!v || v->typeId() == QMetaType::QByteArray)
        return std::nullopt;
    return v->toString();
}

std::optional<int32_t> TPRegistry::ReadInteger(const QString &key, const QString &name) const {
    auto v = raw(key, name);
    if (!v)
        return std::nullopt;
    bool ok = false;
    const int i = v->toString().toInt(&ok);
    if (!ok)
        return std::nullopt;
    return i;
}

std::optional<QByteArray> TPRegistry::ReadBinary(const QString &key, const QString &name) const {
    auto v = raw(key, name);
    if (!v || v->typeId() != QMetaType::QByteArray)
        return std::nullopt;
    return v->toByteArray();
}

void TPRegistry::WriteString(const QString &key, const QString &name, const QString &value) {
    m_settings->setValue(path(key, name), value);
}

void TPRegistry::WriteInteger(const QString &key, const QString &name, int32_t value) {
    m_settings->setValue(path(key, name), value);
}

void TPRegistry::WriteBinary(const QString &key, const QString &name, const QByteArray &value) {
    m_settings->setValue(path(key, name), value);
}

void TPRegistry::CreateKey(const QString &key) {
    if (!KeyExists(key))
        m_settings->setValue(group(key) + QStringLiteral("/.key"), 1);
}

void TPRegistry::DeleteValue(const QString &key, const QString &name) { m_settings->remove(path(key, name)); }

void TPRegistry::Flush() {
    // A damaged file is replaced by what the program writes now.
    if (m_damaged) {
        m_damaged = false;
    }
    m_settings->sync();
}

} // namespace tessel
