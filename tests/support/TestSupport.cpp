#include "support/TestSupport.h"

#include "common/AppPaths.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTimer>
#include <clocale>
#include <stdexcept>

namespace tessel::test {

QString SourcePath(const QString &relative) { return QStringLiteral(TESSEL_SOURCE_DIR "/") + relative; }

void WriteTextFile(const QString &path, const QString &text) {
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        throw std::runtime_error("cannot write " + path.toStdString());
    f.write(text.toUtf8());
}

QByteArray ReadBytes(const QString &path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

QString ReadTextFile(const QString &path) { return QString::fromUtf8(ReadBytes(path)); }

static void whenModal(std::function<void(QWidget *)> act, int tries) {
    QTimer::singleShot(0, [act, tries] {
        if (QWidget *w = QApplication::activeModalWidget())
            act(w);
        else if (tries > 0)
            whenModal(act, tries - 1);
    });
}

void WhenModal(std::function<void(QWidget *)> act) { whenModal(std::move(act), 50); }

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

CommaLocale::CommaLocale(const QString &dir) {
    WriteTextFile(dir + "/comma.src", "LC_NUMERIC\ndecimal_point \",\"\nthousands_sep \"\"\n"
                                      "grouping -1\nEND LC_NUMERIC\n");
    QProcess::execute(QStringLiteral("localedef"), {"-c", "-i", dir + "/comma.src", "-f", "UTF-8", dir + "/comma"});
    qputenv("LOCPATH", QFile::encodeName(dir));
    active = std::setlocale(LC_NUMERIC, "comma") != nullptr;
}

CommaLocale::~CommaLocale() {
    std::setlocale(LC_NUMERIC, "C");
    qunsetenv("LOCPATH");
}

QString TestDir::path(const QString &name) const { return name.isEmpty() ? m_dir.path() : m_dir.filePath(name); }

} // namespace tessel::test
