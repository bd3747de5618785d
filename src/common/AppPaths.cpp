#include "common/AppPaths.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

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
} // namespace

QString AppPaths::programDir() {
    if (!programDirOverride().isEmpty())
        return programDirOverride();
    if (QCoreApplication::instance())
        return withSlash(QCoreApplication::applicationDirPath());
    return withSlash(QFileInfo(QStringLiteral("/proc/self/exe")).canonicalFilePath().section('/', 0, -2));
}

void AppPaths::setProgramDir(const QString &dir) {
    programDirOverride() = dir.isEmpty() ? QString() : withSlash(dir);
}

QString AppPaths::iniPath() { return programDir() + QStringLiteral("Tessel.ini"); }

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

} // namespace tessel
