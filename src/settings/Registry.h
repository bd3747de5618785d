#pragma once

#include <QByteArray>
#include <QString>
#include <QVariant>
#include <memory>
#include <optional>

class QSettings;

namespace tessel {

// The per-user store, laid out like the registry keys the program has always
// used ("Software\KRT\Tessel\2.90\frmMain"), kept in one QSettings ini file
// in AppPaths::configDir(). A damaged or missing file reads as empty.
class TPRegistry {
public:
    TPRegistry();
    ~TPRegistry();

    static QString storeFile();

    bool KeyExists(const QString &key) const;
    bool ValueExists(const QString &key, const QString &name) const;
    std::optional<QString> ReadString(const QString &key, const QString &name) const;
    std::optional<int32_t> ReadInteger(const QString &key, const QString &name) const;
    std::optional<QByteArray> ReadBinary(const QString &key, const QString &name) const;
    void WriteString(const QString &key, const QString &name, const QString &value);
    void WriteInteger(const QString &key, const QString &name, int32_t value);
    void WriteBinary(const QString &key, const QString &name, const QByteArray &value);
    void CreateKey(const QString &key);
    void DeleteValue(const QString &key, const QString &name);
    void Flush();

private:
    QString path(const QString &key, const QString &name) const;
    std::optional<QVariant> raw(const QString &key, const QString &name) const;
    std::unique_ptr<QSettings> m_settings;
    bool m_damaged = false;
};

} // namespace tessel
