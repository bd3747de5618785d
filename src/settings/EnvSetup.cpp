#include "settings/EnvSetup.h"

#include <QDir>
#include <QFileInfo>

namespace tessel {

SettingsStore TEnvSetup::MakeStore() {
    SettingsStore s(QStringLiteral("EnvSetup"));
    const TEnvSetup d;
    s.Register(QStringLiteral("AutoScaleAfterStop"), SettingKind::Boolean, d.AutoScaleAfterStop);
    s.Register(QStringLiteral("CreateExp"), SettingKind::Boolean, d.CreateExp);
    s.Register(QStringLiteral("ShowDialogs"), SettingKind::Boolean, d.ShowDialogs);
    s.Register(QStringLiteral("ShowWizard"), SettingKind::Boolean, d.ShowWizard);
    s.Register(QStringLiteral("ExcludeCh"), SettingKind::Boolean, d.ExcludeCh);
    s.Register(QStringLiteral("AutoReconnect"), SettingKind::Boolean, d.AutoReconnect);
    s.Register(QStringLiteral("ReorderOnNew"), SettingKind::Integer, d.ReorderOnNew);
    s.Register(QStringLiteral("LastDir"), SettingKind::Text, d.LastDir);
    return s;
}

void TEnvSetup::RestoreFrom(const SettingsStore &s) {
    AutoScaleAfterStop = s.Boolean(QStringLiteral("AutoScaleAfterStop"));
    CreateExp = s.Boolean(QStringLiteral("CreateExp"));
    ShowDialogs = s.Boolean(QStringLiteral("ShowDialogs"));
    ShowWizard = s.Boolean(QStringLiteral("ShowWizard"));
    ExcludeCh = s.Boolean(QStringLiteral("ExcludeCh"));
    AutoReconnect = s.Boolean(QStringLiteral("AutoReconnect"));
    ReorderOnNew = qBound(0, s.Integer(QStringLiteral("ReorderOnNew")), 3);
    LastDir = s.Text(QStringLiteral("LastDir"));
}

void TEnvSetup::SaveTo(SettingsStore &s) const {
    s.SetValue(QStringLiteral("AutoScaleAfterStop"), AutoScaleAfterStop);
    s.SetValue(QStringLiteral("CreateExp"), CreateExp);
    s.SetValue(QStringLiteral("ShowDialogs"), ShowDialogs);
    s.SetValue(QStringLiteral("ShowWizard"), ShowWizard);
    s.SetValue(QStringLiteral("ExcludeCh"), ExcludeCh);
    s.SetValue(QStringLiteral("AutoReconnect"), AutoReconnect);
    s.SetValue(QStringLiteral("ReorderOnNew"), ReorderOnNew);
    s.SetValue(QStringLiteral("LastDir"), LastDir);
}

void TEnvSetup::Restore() {
    SettingsStore s = MakeStore();
    s.Restore();
    RestoreFrom(s);
}

void TEnvSetup::Save() const {
    SettingsStore s = MakeStore();
    SaveTo(s);
    s.Save();
}

QString StartDir(const TEnvSetup &env) {
    if (!env.LastDir.isEmpty() && QFileInfo(env.LastDir).isDir())
        return env.LastDir;
    return QDir::currentPath();
}

void RememberDir(TEnvSetup &env, const QString &chosenFile) {
    if (!chosenFile.isEmpty())
        env.LastDir = QFileInfo(chosenFile).absolutePath();
}

} // namespace tessel
