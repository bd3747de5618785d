#include "support/TestSupport.h"

#include "common/AppPaths.h"

#include <QDir>
#include <QFile>
#include <stdexcept>

namespace tessel::test {

QString SourcePath(const QString &relative) { return QStringLiteral(TESSEL_SOURCE_DIR "/") + relative; }

void WriteTextFile(const QString &path, const QString &text) {
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        throw std::runtime_error("cannot write " + path.toStdString());
    f.write(text.toUtf8());
}

QString ReadTextFile(const QString &path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(f.readAll());
}

TestDir::TestDir() {
    if (!m_dir.isValid())
        throw std::runtime_error("cannot create a temporary folder");
    QDir().mkpath(path(QStringLiteral("config")));
    AppPaths::setConfigDir(path(QStringLiteral("config")));
    AppPaths::setProgramDir(path());
}

TestDir::~TestDir() {
    AppPaths::setConfigDir({});
    AppPaths::setProgramDir({});
}

QString TestDir::path(const QString &name) const { return name.isEmpty() ? m_dir.path() : m_dir.filePath(name); }

} // namespace tessel::test
