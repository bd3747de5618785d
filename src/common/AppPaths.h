#pragma once

#include <QString>

namespace tessel {

// Where the program finds what ships beside it (Tessel.ini, Default.1st,
// include files, wizards, libCompiler.so) and writes logfile.txt.
class AppPaths {
public:
    // The executable's folder, with a trailing '/'. Tests may redirect it.
    static QString programDir();
    static void setProgramDir(const QString &dir);
    // programDir() + "Tessel.ini"
    static QString iniPath();
    // Folder of the per-user settings store: $TESSEL_CONFIG_DIR, else the
    // value given by --config-dir, else the desktop's configuration folder.
    static QString configDir();
    static void setConfigDir(const QString &dir);
};

} // namespace tessel
