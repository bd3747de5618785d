#pragma once

#include <QDateTime>
#include <QList>
#include <QString>
#include <functional>
#include <optional>

namespace tessel {

// A recovery copy of an experiment and what it was when it was written.
struct TRecoveryCopy {
    QString Path;     // the experiment file of the copy
    QString Name;     // the experiment's caption
    QString FileName; // the file it was last saved as; empty when it never was
    QDateTime Written;
};

// The file a restored experiment saves to: the one it was saved as, unless
// that file was written after the copy (by another program, or a save after
// the copy): then Save asks for a name rather than overwrite it.
QString RestoredFileName(const TRecoveryCopy &c);
// The caption of a restored experiment: its file, else its caption marked
// "(restored)" so that it is not taken for a new experiment of that number.
QString RestoredCaption(const TRecoveryCopy &c);
// The start-up question about a leftover copy (Restore / Discard).
QString RestoreQuestion(const TRecoveryCopy &c);

// Recovery copies of unsaved experiments, so that a program that ends without
// saving (a crash, kill -9, a logout) loses nothing.
//
// Each running program owns the copies named "<owner>-<key>.exp" in the
// folder, beside a "<owner>-<key>.txt" with the caption and the saved file's
// name. The owner holds an flock on "<owner>.lock" for as long as it lives;
// the kernel drops it however the process ends, so a copy whose owner's lock
// can be taken is a leftover, and a reused pid cannot fake a live owner.
// Taking a leftover over renames it, so of two programs starting at once only
// one gets it.
class TRecoveryStore {
public:
    // owner: a name unique among live programs; by default the process id
    // (with a suffix for a second store of the same process).
    explicit TRecoveryStore(QString folder = DefaultFolder(), QString owner = {});
    ~TRecoveryStore();
    TRecoveryStore(const TRecoveryStore &) = delete;
    TRecoveryStore &operator=(const TRecoveryStore &) = delete;

    // "recovery" in the per-user state folder.
    static QString DefaultFolder();
    QString Folder() const { return m_folder; }
    QString Owner() const { return m_owner; }

    // A key for a new copy of this program.
    int NewKey() { return ++m_lastKey; }
    QString PathOf(int key) const;
    bool Has(int key) const;
    // Writes copy key: write(path) must replace the file at path atomically.
    // False (and logged) when the folder or the file could not be written.
    bool Write(int key, const QString &name, const QString &fileName,
               const std::function<bool(const QString &path)> &write);
    void Remove(int key);

    // Copies whose programs no longer run, oldest first.
    QList<TRecoveryCopy> Leftovers() const;
    // Makes a leftover this program's copy key; nothing when another program
    // took it first or it is gone.
    std::optional<TRecoveryCopy> Claim(const TRecoveryCopy &leftover, int key);
    // Removes a leftover without taking it over.
    void Discard(const TRecoveryCopy &leftover);

private:
    bool lock();
    QString metaPath(const QString &copyPath) const;
    // Lock files, stray temporaries and captions of owners that are gone.
    void tidy() const;

    QString m_folder;
    QString m_owner;
    int m_lockFd = -1;
    int m_lastKey = 0;
};

} // namespace tessel
