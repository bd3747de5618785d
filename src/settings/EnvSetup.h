#pragma once

#include "settings/SettingsStore.h"

#include <QString>

namespace tessel {

// Ordering of experiment windows created after start-up.
enum class ReorderMode : int32_t { None = 0, Tile = 1, Cascade = 2, Minimize = 3 };

// The environment options. The dialog object lives for the whole run and
// other parts read these fields directly.
struct TEnvSetup {
    bool AutoScaleAfterStop = false;
    bool CreateExp = false;
    bool ShowDialogs = true;
    bool ShowWizard = false;
    bool PrintNotes = false; // not stored: off after every start
    bool PrintData = false;  // not stored: off after every start
    bool ExcludeCh = true;
    bool AutoReconnect = false;
    int32_t ReorderOnNew = 0;
    QString LastDir;
    // Held until the program ends; nothing else reads it.
    QString BootFile;

    // The "EnvSetup" store with the eight stored options registered.
    static SettingsStore MakeStore();
    void Restore();
    void Save() const;
    void RestoreFrom(const SettingsStore &store);
    void SaveTo(SettingsStore &store) const;
};

// Folder where the program's file dialogs start: LastDir, else the working folder.
QString StartDir(const TEnvSetup &env);
// Remembers the folder of a file the user chose.
void RememberDir(TEnvSetup &env, const QString &chosenFile);

} // namespace tessel
