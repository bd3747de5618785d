#pragma once

#include "settings/Registry.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <vector>

namespace tessel {

inline const QString kCompany = QStringLiteral("KRT");
inline const QString kSoftware = QStringLiteral("Tessel");
inline const QString kVersion = QStringLiteral("2.90");

// "Software\" + company, software and version, each followed by "\" and
// skipped when empty, + the store's name.
QString StoreKeyName(const QString &company, const QString &software, const QString &version, const QString &name);

enum class SettingKind { Text, Integer, Boolean, TextList };

// Stored forms: a boolean is 5 bytes (tag 4, then 0 or 1); a text list is
// tag 7, its length, then the list in comma form.
QByteArray EncodeBoolean(bool value);
std::optional<bool> DecodeBoolean(const QByteArray &bytes);
QByteArray EncodeTextList(const QStringList &items);
std::optional<QStringList> DecodeTextList(const QByteArray &bytes);

// One settings store (a window's or the application's): registered values
// with defaults, restored from and saved to the per-user store.
class SettingsStore {
public:
    explicit SettingsStore(const QString &name);
    virtual ~SettingsStore() = default;

    const QString &Name() const { return m_name; }
    QString KeyName() const { return StoreKeyName(kCompany, kSoftware, kVersion, m_name); }

    void Register(const QString &name, SettingKind kind, const QVariant &def);
    bool IsRegistered(const QString &name) const;

    // Every registered value takes its stored value, or its default.
    void Restore();
    void Save() const;

    QVariant Value(const QString &name) const;
    void SetValue(const QString &name, const QVariant &value);
    QString Text(const QString &name) const { return Value(name).toString(); }
    int32_t Integer(const QString &name) const { return Value(name).toInt(); }
    bool Boolean(const QString &name) const { return Value(name).toBool(); }
    QStringList TextList(const QString &name) const { return Value(name).toStringList(); }

private:
    struct Setting {
        QString name;
        SettingKind kind;
        QVariant def;
        QVariant value;
    };
    Setting *find(const QString &name);
    const Setting *find(const QString &name) const;
    QString m_name;
    std::vector<Setting> m_settings;
};

// The application store "AppSettings".
class TPAppSettings : public SettingsStore {
public:
    TPAppSettings() : SettingsStore(QStringLiteral("AppSettings")) {}
};

// Window values a window store keeps.
struct WindowValues {
    int32_t Left = -1, Top = -1, Width = -1, Height = -1;
    bool MainForm = false;
    int32_t State = -1; // 0 normal, 1 minimized, 2 maximized
    QString ScreenRes;
    bool hasGeometry() const { return Left != -1 && Top != -1; }
    bool hasSize() const { return Width > 0 && Height > 0; }
};

// A window's store: the main window and the navigator keep every window
// value; the other windows only Left and Top.
class TPFormSettings : public SettingsStore {
public:
    enum class Values { Position, All };
    TPFormSettings(const QString &windowName, Values values);

    Values Kind() const { return m_values; }
    WindowValues Window() const;
    void SetWindow(const WindowValues &w);

    // Recent-file list kept under "MRUList" (main window only).
    void EnableMRU(int maxLength);
    int MRULength() const { return m_mruLength; }

private:
    Values m_values;
    int m_mruLength = 0;
};

} // namespace tessel
