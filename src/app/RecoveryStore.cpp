#include "app/RecoveryStore.h"

#include "common/AppPaths.h"
#include "common/Log.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QLocale>
#include <QSaveFile>
#include <QUrl>
#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tessel {

namespace {
const QString kLock = QStringLiteral(".lock");
const QString kCopy = QStringLiteral(".exp");
const QString kMeta = QStringLiteral(".txt");

// The owner part of "<owner>-<key>.<ext>"; empty for other names.
QString OwnerOf(const QString &fileName) {
    const qsizetype dash = fileName.lastIndexOf('-');
    return dash > 0 ? fileName.left(dash) : QString();
}

// Whether the program that named itself owner still runs: it holds the lock.
bool OwnerAlive(const QString &lockPath) {
    const int fd = ::open(QFile::encodeName(lockPath).constData(), O_RDWR | O_CLOEXEC);
    if (fd < 0)
        return false;
    const bool alive = ::flock(fd, LOCK_SH | LOCK_NB) != 0 && errno == EWOULDBLOCK;
    ::close(fd);
    return alive;
}

bool SameFile(int fd, const QString &path) {
    struct stat a {
    }, b{};
    return ::fstat(fd, &a) == 0 && ::stat(QFile::encodeName(path).constData(), &b) == 0 && a.st_dev == b.st_dev &&
           a.st_ino == b.st_ino;
}
} // namespace

QString RestoredFileName(const TRecoveryCopy &c) {
    if (c.FileName.isEmpty())
        return {};
    const QFileInfo original(c.FileName);
    return original.exists() && original.lastModified() > c.Written ? QString() : c.FileName;
}

QString RestoredCaption(const TRecoveryCopy &c) {
    const QString file = RestoredFileName(c);
    if (!file.isEmpty())
        return file;
    const QString mark = QStringLiteral(" (restored)");
    return c.Name.endsWith(mark) ? c.Name : c.Name + mark;
}

QString RestoreQuestion(const TRecoveryCopy &c) {
    return QStringLiteral("Tessel ended without saving \"%1\".\nRestore it from the recovery copy of %2?")
        .arg(c.Name, QLocale::system().toString(c.Written, QLocale::ShortFormat));
}

TRecoveryStore::TRecoveryStore(QString folder, QString owner) : m_folder(std::move(folder)), m_owner(std::move(owner)) {
    if (QDir().mkpath(m_folder))
        QFile::setPermissions(m_folder, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    if (!m_owner.isEmpty()) {
        lock();
        return;
    }
    // The pid names the owner; the start time keeps a reused pid (after a
    // reboot) from adopting the copies of a program that died with it.
    const QString pid = QString::number(QCoreApplication::applicationPid());
    const qint64 start = QDateTime::currentMSecsSinceEpoch();
    for (int i = 0; i < 100 && m_lockFd < 0; ++i) {
        m_owner = pid + QLatin1Char('.') + QString::number(start + i, 36);
        lock();
    }
}

TRecoveryStore::~TRecoveryStore() {
    if (m_lockFd < 0)
        return;
    // Without copies there is nothing to recover: the lock file goes too.
    const QStringList mine = QDir(m_folder).entryList({m_owner + QStringLiteral("-*") + kCopy}, QDir::Files);
    if (mine.isEmpty())
        QFile::remove(QDir(m_folder).filePath(m_owner + kLock));
    ::close(m_lockFd);
}

QString TRecoveryStore::DefaultFolder() { return AppPaths::stateDir() + QStringLiteral("/recovery"); }

bool TRecoveryStore::lock() {
    const QString path = QDir(m_folder).filePath(m_owner + kLock);
    // A program tidying up may unlink the file between open and flock:
    // only a lock on the file that is still there counts.
    for (int attempt = 0; attempt < 5; ++attempt) {
        const int fd = ::open(QFile::encodeName(path).constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
        if (fd < 0)
            break;
        if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
            ::close(fd);
            return false;
        }
        if (SameFile(fd, path) && QDir(m_folder).entryList({m_owner + QStringLiteral("-*")}, QDir::Files).isEmpty()) {
            m_lockFd = fd;
            return true;
        }
        const bool stale = SameFile(fd, path);
        ::close(fd);
        if (stale) // a dead program's copies carry this name
            return false;
    }
    WriteLog(QStringLiteral("Recovery folder not usable: ") + m_folder);
    return false;
}

QString TRecoveryStore::PathOf(int key) const {
    return QDir(m_folder).filePath(QStringLiteral("%1-%2").arg(m_owner).arg(key) + kCopy);
}

QString TRecoveryStore::metaPath(const QString &copyPath) const {
    return copyPath.left(copyPath.size() - kCopy.size()) + kMeta;
}

bool TRecoveryStore::Has(int key) const { return QFileInfo::exists(PathOf(key)); }

bool TRecoveryStore::Write(int key, const QString &name, const QString &fileName,
                           const std::function<bool(const QString &path)> &write) {
    const QString path = PathOf(key);
    QSaveFile meta(metaPath(path));
    bool ok = m_lockFd >= 0 && meta.open(QIODevice::WriteOnly);
    if (ok) {
        meta.write(QUrl::toPercentEncoding(name) + '\n' + QUrl::toPercentEncoding(fileName) + '\n');
        ok = meta.commit() && write(path);
    }
    if (!ok)
        WriteLog(QStringLiteral("Recovery copy not written: ") + path);
    return ok;
}

void TRecoveryStore::Remove(int key) {
    const QString path = PathOf(key);
    QFile::remove(path);
    QFile::remove(metaPath(path));
}

QList<TRecoveryCopy> TRecoveryStore::Leftovers() const {
    tidy();
    QList<TRecoveryCopy> out;
    QHash<QString, bool> alive;
    const QDir dir(m_folder);
    for (const QFileInfo &f : dir.entryInfoList({QStringLiteral("*") + kCopy}, QDir::Files)) {
        const QString owner = OwnerOf(f.fileName());
        if (owner.isEmpty() || owner == m_owner)
            continue;
        if (!alive.contains(owner))
            alive.insert(owner, OwnerAlive(dir.filePath(owner + kLock)));
        if (alive.value(owner))
            continue;
        TRecoveryCopy c{f.filePath(), f.completeBaseName(), {}, f.lastModified()};
        QFile meta(metaPath(f.filePath()));
        if (meta.open(QIODevice::ReadOnly)) {
            const QList<QByteArray> lines = meta.readAll().split('\n');
            if (lines.size() >= 2) {
                c.Name = QUrl::fromPercentEncoding(lines[0]);
                c.FileName = QUrl::fromPercentEncoding(lines[1]);
            }
        }
        out << c;
    }
    std::stable_sort(out.begin(), out.end(),
                     [](const TRecoveryCopy &a, const TRecoveryCopy &b) { return a.Written < b.Written; });
    return out;
}

std::optional<TRecoveryCopy> TRecoveryStore::Claim(const TRecoveryCopy &leftover, int key) {
    TRecoveryCopy c = leftover;
    c.Path = PathOf(key);
    // rename() is atomic: of two programs only one moves the file.
    if (m_lockFd < 0 || ::rename(QFile::encodeName(leftover.Path).constData(), QFile::encodeName(c.Path).constData()))
        return std::nullopt;
    ::rename(QFile::encodeName(metaPath(leftover.Path)).constData(), QFile::encodeName(metaPath(c.Path)).constData());
    return c;
}

void TRecoveryStore::Discard(const TRecoveryCopy &leftover) {
    QFile::remove(leftover.Path);
    QFile::remove(metaPath(leftover.Path));
}

void TRecoveryStore::tidy() const {
    const QDir dir(m_folder);
    for (const QString &lockName : dir.entryList({QStringLiteral("*") + kLock}, QDir::Files)) {
        const QString owner = lockName.left(lockName.size() - kLock.size());
        if (owner == m_owner)
            continue;
        const QString path = dir.filePath(lockName);
        const int fd = ::open(QFile::encodeName(path).constData(), O_RDWR | O_CLOEXEC);
        if (fd < 0)
            continue;
        // Held while tidying, so the owner cannot come back meanwhile.
        if (::flock(fd, LOCK_EX | LOCK_NB) == 0) {
            bool copiesLeft = false;
            for (const QString &f : dir.entryList({owner + QStringLiteral("-*")}, QDir::Files)) {
                const QString base = f.section('.', 0, -2);
                if (f.endsWith(kCopy))
                    copiesLeft = true;
                else if (!f.endsWith(kMeta) || !dir.exists(base + kCopy))
                    QFile::remove(dir.filePath(f)); // a temporary of an interrupted write, or a lone caption
            }
            if (!copiesLeft)
                QFile::remove(path);
        }
        ::close(fd);
    }
}

} // namespace tessel
