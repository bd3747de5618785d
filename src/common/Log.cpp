#include "common/Log.h"

#include <QDateTime>
#include <QFile>
#include <QLocale>
#include <QMutex>
#include <memory>

namespace tessel {

namespace {
struct LogState {
    QMutex mutex;
    std::unique_ptr<QFile> file;
};
LogState &state() {
    static LogState s;
    return s;
}
} // namespace

void OpenLog(const QString &path) {
    LogState &s = state();
    QMutexLocker lock(&s.mutex);
    s.file.reset();
    auto f = std::make_unique<QFile>(path);
    if (!f->open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Text))
        return;
    const QDateTime now = QDateTime::currentDateTime();
    const QLocale loc = QLocale::system();
    const QString line = QStringLiteral("LogFile created: ") + loc.toString(now.date(), QLocale::ShortFormat) + ' ' +
                         loc.toString(now.time(), QLocale::LongFormat) + '\n';
    f->write(line.toUtf8());
    f->flush();
    s.file = std::move(f);
}

void CloseLog() {
    LogState &s = state();
    QMutexLocker lock(&s.mutex);
    s.file.reset();
}

bool LogEnabled() {
    LogState &s = state();
    QMutexLocker lock(&s.mutex);
    return s.file != nullptr;
}

void WriteLog(const QString &text) {
    LogState &s = state();
    QMutexLocker lock(&s.mutex);
    if (!s.file)
        return;
    s.file->write((text + '\n').toUtf8());
    s.file->flush();
}

} // namespace tessel
