#pragma once

#include "app/InstrumentConfig.h"
#include "app/MeasurementRun.h"
#include "compiler/Compiler.h"
#include "device/CommandSet.h"
#include "device/Communication.h"
#include "device/ConnectionManager.h"

#include <QString>
#include <QTimer>
#include <memory>

namespace tessel {

class TMDIList;

// Everything that talks to one instrument: the command link with its command
// set and connection manager, the
// configuration of its type (with what the instrument says about itself),
// the compiler set up for it, the status timer and the measurement run.
// The program's windows and the command line build it the same way.
class TInstrumentSession {
public:
    // config: where the configuration lives when others read it as well
    // (the program's windows); without one the session keeps its own.
    TInstrumentSession(std::unique_ptr<TCommunication> link, const QString &iniPath,
                       TInstrumentConfig *config = nullptr);
    // A link owned elsewhere; it must outlive the session.
    TInstrumentSession(TCommunication &link, const QString &iniPath, TInstrumentConfig *config = nullptr);
    TInstrumentSession(const TInstrumentSession &) = delete;
    TInstrumentSession &operator=(const TInstrumentSession &) = delete;

    TCommunication &Link() { return m_link; }
    TCommandSet &Commands() { return m_commands; }
    TConnectionManager &Connection() { return m_connection; }
    const TInstrumentConfig &Configuration() const { return *m_config; }
    TInstrumentConfig &Configuration() { return *m_config; }
    TCompiler &Compiler() { return m_compiler; }
    QTimer &StatusTimer() { return m_statusTimer; }
    const QString &IniPath() const { return m_ini; }

    // The ini's baud rates, then the port opened; raises ECommError.
    void Open();
    // Searches the instrument (waking it first when asked); false when none answered.
    bool Identify(bool wake);
    // The ini's configuration of the link's current type; the compiler takes its constants.
    void ReadConfiguration();
    enum class TDeviceInfoRead { NotNeeded, Applied, Failed };
    // Types that describe themselves: their limits replace the configured
    // ones for the next build. On failure the configuration stays and the
    // connection manager's DeviceInfoError() says why.
    TDeviceInfoRead ReadDeviceInfo();
    // Gains, offsets and photodiode sensitivities as the instrument has them
    // now (zero where its type has none).
    TConditions ReadConditions();
    // A run over this session's link, compiler, configuration and status
    // timer into the active experiment of experiments.
    std::unique_ptr<TMeasurementRun> NewRun(TMDIList &experiments, TMeasurementHost host = {});

private:
    std::unique_ptr<TCommunication> m_owned;
    TCommunication &m_link;
    TCommandSet m_commands{m_link};
    TConnectionManager m_connection{m_link, m_commands};
    QString m_ini;
    TInstrumentConfig m_ownConfig;
    TInstrumentConfig *m_config;
    TCompiler m_compiler;
    QTimer m_statusTimer;
};

} // namespace tessel
