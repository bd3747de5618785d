#include "common/AppPaths.h"

#include "common/UserIni.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QMutex>
#include <QStandardPaths>

// Folders of an installed tree relative to its bin folder, from the build's
// install directories (lib is lib/<triplet> on Debian).
#ifndef TESSEL_REL_DATADIR
#define TESSEL_REL_DATADIR "../share/tessel"
#endif
#ifndef TESSEL_REL_LIBDIR
#define TESSEL_REL_LIBDIR "../lib/tessel"
#endif
#ifndef TESSEL_REL_DOCDIR
#define TESSEL_REL_DOCDIR "../share/doc/tessel"
#endif

namespace tessel {

namespace {
QString &programDirOverride() {
    static QString dir;
    return dir;
}
QString &configDirOverride() {
    static QString dir;
    return dir;
}
QString withSlash(QString dir) {
    if (!dir.endsWith('/'))
        dir += '/';
    return dir;
}
QString installedDir(const char *relative) {
    return withSlash(QDir::cleanPath(AppPaths::programDir() + QLatin1String(relative)));
}
} // namespace

QString AppPaths::programDir() {
    if (!programDirOverride().isEmpty())
        return programDirOverride();
    if (QCoreApplication::instance())
        return withSlash(QCoreApplication::applicationDirPath());
    return withSlash(QFileInfo(QStringLiteral("/proc/self/exe")).canonicalFilePath().section('/', 0, -2));
}

void AppPaths::setProgramDir(const QString &dir) { programDirOverride() = dir.isEmpty() ? QString() : withSlash(dir); }

bool AppPaths::isInstalled() {
    return !QFileInfo::exists(programDir() + QStringLiteral("Tessel.ini")) &&
           QFileInfo::exists(installedDir(TESSEL_REL_DATADIR) + QStringLiteral("Tessel.ini"));
}

QString AppPaths::dataDir() { return isInstalled() ? installedDir(TESSEL_REL_DATADIR) : programDir(); }

QString AppPaths::libraryDir() { return isInstalled() ? installedDir(TESSEL_REL_LIBDIR) : programDir(); }

QString AppPaths::docDir() {
    return isInstalled() ? installedDir(TESSEL_REL_DOCDIR) : programDir() + QStringLiteral("doc/");
}

QString AppPaths::shippedIniPath() { return dataDir() + QStringLiteral("Tessel.ini"); }

QString AppPaths::iniPath() {
    if (!isInstalled())
        return programDir() + QStringLiteral("Tessel.ini");
    const QString user = QDir(configDir()).filePath(QStringLiteral("Tessel.ini"));
    // Seed or merge once per run and per place; readers in the same run then
    // see one stable file.
    static QMutex mutex;
    static QString prepared;
    QMutexLocker lock(&mutex);
    if (prepared != user) {
        PrepareUserIni(shippedIniPath(), user);
        prepared = user;
    }
    // A configuration folder that cannot be written still lets the program
    // read the shipped settings; saving them then reports the failure.
    return QFileInfo::exists(user) ? user : shippedIniPath();
}

QString AppPaths::resourceBase(const QString &iniPath) {
    if (QFileInfo(iniPath).absoluteFilePath() == QFileInfo(AppPaths::iniPath()).absoluteFilePath())
        return dataDir();
    return withSlash(QFileInfo(iniPath).absolutePath());
}

QString AppPaths::configDir() {
    if (!configDirOverride().isEmpty())
        return configDirOverride();
    const QString env = qEnvironmentVariable("TESSEL_CONFIG_DIR");
    if (!env.isEmpty())
        return env;
    const QString base = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    return base + QStringLiteral("/KRT/Tessel");
}

void AppPaths::setConfigDir(const QString &dir) { configDirOverride() = dir; }

QString AppPaths::stateDir() {
    QString base = qEnvironmentVariable("XDG_STATE_HOME");
    if (base.isEmpty() || !QDir::isAbsolutePath(base))
        base = QDir::homePath() + QStringLiteral("/.local/state");
    return base + QStringLiteral("/KRT/Tessel");
}

QString AppPaths::logPath() {
    if (!isInstalled())
        return programDir() + QStringLiteral("logfile.txt");
    QDir().mkpath(stateDir());
    return stateDir() + QStringLiteral("/logfile.txt");
}

} // namespace tessel
