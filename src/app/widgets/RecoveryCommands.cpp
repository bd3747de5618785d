#include "app/widgets/RecoveryCommands.h"

#include "app/MeasurementRun.h"
#include "app/widgets/ExperimentCommands.h"
#include "app/widgets/ExperimentWindow.h"
#include "app/widgets/MainWindow.h"
#include "common/MessageService.h"

namespace tessel {

namespace {
QString Content(TMDIChild *c) {
    const TProtocolDoc &p = c->Doc().Protocol;
    return p.Title + QChar(0) + p.Description + QChar(0) + p.Text;
}
} // namespace

TRecoveryCommands::TRecoveryCommands(TfrmMain &main, TExperimentCommands &experiments, TMeasurementRun &run,
                                     std::unique_ptr<TRecoveryStore> store)
    : QObject(&main), m_experiments(experiments),
      m_store(store ? std::move(store) : std::make_unique<TRecoveryStore>()) {
    connect(&main.Experiments(), &TMDIList::Changed, this, [this] {
        for (TMDIChild *c : m_experiments.Experiments())
            if (!m_created.contains(c))
                track(c);
    });
    // TESSEL_RECOVERY_INTERVAL (seconds) shortens the wait, for tests and
    // for those who want copies more often.
    bool ok = false;
    const int seconds = qEnvironmentVariableIntValue("TESSEL_RECOVERY_INTERVAL", &ok);
    m_timer.setInterval(ok && seconds > 0 ? seconds * 1000 : kIntervalMs);
    connect(&m_timer, &QTimer::timeout, this, &TRecoveryCommands::WriteAll);
    m_timer.start();
    auto finished = std::move(run.Host().Finished);
    run.Host().Finished = [this, finished](const TRunReport &r) {
        if (finished)
            finished(r);
        if (r.Outcome == TRunOutcome::Measured)
            WriteAll();
    };
}

TRecoveryCommands::~TRecoveryCommands() {
    for (auto it = m_keys.cbegin(); it != m_keys.cend(); ++it)
        it.key()->Doc().OnSaved = nullptr;
}

void TRecoveryCommands::track(TMDIChild *c) {
    m_created.insert(c, Content(c));
    connect(c, &QObject::destroyed, this, [this, c] {
        m_created.remove(c);
        const int key = m_keys.take(c);
        if (key && !m_keep)
            m_store->Remove(key);
    });
}

bool TRecoveryCommands::untouched(TMDIChild *c) const {
    const TExperimentDoc &d = c->Doc();
    return d.FileOp.ForceSaveAs && !d.Modified && d.Model.RecordCount() <= 1 && !m_keys.contains(c) &&
           m_created.value(c) == Content(c);
}

int TRecoveryCommands::keyOf(TMDIChild *c, int key) {
    if (auto it = m_keys.constFind(c); it != m_keys.cend())
        return it.value();
    if (!m_created.contains(c))
        track(c);
    key = key ? key : m_store->NewKey();
    m_keys.insert(c, key);
    c->Doc().OnSaved = [this, c] { m_store->Remove(m_keys.value(c)); };
    return key;
}

QString TRecoveryCommands::CopyOf(TMDIChild *c) const {
    const int key = m_keys.value(c);
    return key && m_store->Has(key) ? m_store->PathOf(key) : QString();
}

void TRecoveryCommands::WriteAll() {
    for (TMDIChild *c : m_experiments.Experiments()) {
        TExperimentDoc &d = c->Doc();
        if (!m_created.contains(c))
            track(c);
        if (!d.NeedsSave() || untouched(c)) {
            if (m_keys.contains(c))
                m_store->Remove(m_keys.value(c));
            continue;
        }
        const QString file = d.FileOp.ForceSaveAs ? QString() : d.FileOp.FileName;
        m_store->Write(keyOf(c), d.DocName, file, [&d](const QString &path) { return d.WriteCopy(path); });
    }
}

void TRecoveryCommands::OfferRestore() {
    for (const TRecoveryCopy &leftover : m_store->Leftovers()) {
        const int key = m_store->NewKey();
        const std::optional<TRecoveryCopy> copy = m_store->Claim(leftover, key);
        if (!copy)
            continue; // another program took it
        switch (Messages().show(MsgType::Confirmation, RestoreQuestion(*copy), mbRestore | mbDiscard)) {
        case mbRestore:
            restore(*copy, key);
            break;
        case mbDiscard:
            m_store->Remove(key);
            break;
        default:
            return; // no answer, the program ends: they are offered at the next start
        }
    }
}

void TRecoveryCommands::restore(const TRecoveryCopy &copy, int key) {
    TMDIChild *c = m_experiments.OpenExperiment(copy.Path, true);
    if (!c)
        return;
    TExperimentDoc &d = c->Doc();
    const QString file = RestoredFileName(copy);
    d.DocName = RestoredCaption(copy);
    d.FileOp.FileName = file.isEmpty() ? QStringLiteral("NoName.exp") : file;
    d.FileOp.ForceSaveAs = file.isEmpty();
    d.Modified = true;
    c->UpdateCaptions();
    // The copy stays until the experiment is saved or closed.
    keyOf(c, key);
}

} // namespace tessel
