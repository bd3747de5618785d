#pragma once

#include <QString>

namespace tessel {

// Where the program finds what ships with it and where it writes.
//
// Two layouts: a self-contained folder (the build tree, or a copy of it) keeps
// everything beside the executable, Tessel.ini included, and writes there; an
// installed tree (bin/, lib/tessel/, share/tessel/) is read-only, so the
// program's ini, the log and the work file go to per-user folders. A program
// folder without Tessel.ini but with ../share/tessel/Tessel.ini is installed.
class AppPaths {
public:
    // The executable's folder, with a trailing '/'. Tests may redirect it.
    static QString programDir();
    static void setProgramDir(const QString &dir);
    static bool isInstalled();
    // Shared resources: the include folder, wizards, protocols, examples and
    // the shipped Tessel.ini. Trailing '/'.
    static QString dataDir();
    // Folder of libCompiler.so. Trailing '/'.
    static QString libraryDir();
    // Folder of the user guide. Trailing '/'.
    static QString docDir();
    // The program's Tessel.ini: beside the program, or, installed, the
    // per-user copy, seeded from the shipped one and merged with a newer
    // shipped one when first asked for in a run (the shipped one itself when
    // the user's copy cannot be made).
    static QString iniPath();
    // The Tessel.ini that ships with the program.
    static QString shippedIniPath();
    // Folder against which relative file names in an ini resolve: the shared
    // resources for the program's own ini, else the ini's folder.
    static QString resourceBase(const QString &iniPath);
    // Folder of the per-user settings store: $TESSEL_CONFIG_DIR, else the
    // value given by --config-dir, else the desktop's configuration folder.
    static QString configDir();
    static void setConfigDir(const QString &dir);
    // Per-user folder for the log: $XDG_STATE_HOME (or ~/.local/state)/KRT/Tessel.
    static QString stateDir();
    // logfile.txt: beside the program, or, installed, in stateDir().
    static QString logPath();
};

} // namespace tessel
