#include "app/InstrumentSession.h"

#include "app/CommonObjs.h"
#include "device/DeviceTypes.h"

namespace tessel {

TInstrumentSession::TInstrumentSession(std::unique_ptr<TCommunication> link, const QString &iniPath,
                                       TInstrumentConfig *config)
    : m_owned(std::move(link)), m_link(*m_owned), m_ini(iniPath), m_config(config ? config : &m_ownConfig) {
    m_statusTimer.setInterval(1000);
}

TInstrumentSession::TInstrumentSession(TCommunication &link, const QString &iniPath, TInstrumentConfig *config)
    : m_link(link), m_ini(iniPath), m_config(config ? config : &m_ownConfig) {
    m_statusTimer.setInterval(1000);
}

void TInstrumentSession::Open() {
    m_connection.LoadBaudRates(m_ini);
    m_link.Open();
}

bool TInstrumentSession::Identify(bool wake) { return m_connection.Connect(true, wake); }

void TInstrumentSession::ReadConfiguration() {
    *m_config = ReadInstrumentConfig(m_ini, m_connection.DeviceText());
    m_compiler.Constants = m_config->Compiler;
}

TInstrumentSession::TDeviceInfoRead TInstrumentSession::ReadDeviceInfo() {
    if (!HasDeviceInfo(m_link.Device()))
        return TDeviceInfoRead::NotNeeded;
    TDeviceInfoRecord r;
    if (!m_connection.ReadDeviceInfo(r))
        return TDeviceInfoRead::Failed;
    TCommonObjs::ApplyDeviceInfo(r, *m_config);
    m_compiler.Constants = m_config->Compiler;
    return TDeviceInfoRead::Applied;
}

TConditions TInstrumentSession::ReadConditions() {
    TConditions c;
    int gA = 0, gB = 0, oA = 0, oB = 0, s1 = 0, s2 = 0;
    const TDevice t = m_link.Device();
    if (HasMonitorGains(t) && m_commands.GetGains(gA, gB, oA, oB)) {
        c.GainA = uint8_t(gA);
        c.GainB = uint8_t(gB);
        c.OffsetA = uint8_t(oA);
        c.OffsetB = uint8_t(oB);
    }
    if (HasMonitorApd(t) && m_commands.GetApd(s1, s2)) {
        c.SensA = uint8_t(s1);
        c.SensB = uint8_t(s2);
    }
    return c;
}

std::unique_ptr<TMeasurementRun> TInstrumentSession::NewRun(TMDIList &experiments, TMeasurementHost host) {
    return std::make_unique<TMeasurementRun>(m_commands, m_compiler, *m_config, experiments, m_statusTimer,
                                             std::move(host));
}

} // namespace tessel
