#pragma once

#include "app/RecoveryStore.h"

#include <QHash>
#include <QObject>
#include <QTimer>
#include <memory>

namespace tessel {

class TExperimentCommands;
class TfrmMain;
class TMDIChild;
class TMeasurementRun;

// Keeps a recovery copy of every unsaved experiment: after each measurement
// and on a timer while one is modified. A save or a deliberate close removes
// the copy; a new experiment nobody touched gets none. At start-up the copies a program left when it ended without
// saving are offered back ("Restore" / "Discard").
class TRecoveryCommands : public QObject {
public:
    static constexpr int kIntervalMs = 3 * 60 * 1000;

    TRecoveryCommands(TfrmMain &main, TExperimentCommands &experiments, TMeasurementRun &run,
                      std::unique_ptr<TRecoveryStore> store = nullptr);
    ~TRecoveryCommands() override;

    TRecoveryStore &Store() { return *m_store; }
    QTimer &Timer() { return m_timer; }
    // Copies of the modified experiments written; those of saved ones removed.
    void WriteAll();
    // Asks about each leftover copy; restored experiments open modified.
    void OfferRestore();
    // The program ends without asking: windows that go keep their copies.
    void KeepCopies() { m_keep = true; }
    // The copy of an experiment, empty when it has none.
    QString CopyOf(TMDIChild *c) const;

private:
    // Remembers a new experiment as it was created; forgets it when it goes.
    void track(TMDIChild *c);
    bool untouched(TMDIChild *c) const;
    int keyOf(TMDIChild *c, int key = 0);
    void restore(const TRecoveryCopy &copy, int key);

    TExperimentCommands &m_experiments;
    std::unique_ptr<TRecoveryStore> m_store;
    QTimer m_timer;
    QHash<TMDIChild *, int> m_keys;
    QHash<TMDIChild *, QString> m_created; // title, description and protocol when created
    bool m_keep = false;
};

} // namespace tessel
