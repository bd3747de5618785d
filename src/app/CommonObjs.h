#pragma once

#include "app/InstrumentConfig.h"
#include "app/InstrumentSession.h"
#include "compiler/Compiler.h"
#include "compiler/ProgramImage.h"
#include "device/ConnectionManager.h"
#include "device/DeviceTypes.h"
#include "settings/SettingsStore.h"

#include <QObject>
#include <QTimer>
#include <functional>
#include <memory>

namespace tessel {

// The shared objects every part of the program uses, alive for the whole run:
// the instrument session (command link with its command set and connection
// manager, configuration, event table builder, status timer) and the
// application settings.
class TCommonObjs : public QObject {
    Q_OBJECT
public:
    // comm: the command link to own; by default one on the first entry of
    // PortNames() through the system's serial port.
    explicit TCommonObjs(std::unique_ptr<TCommunication> comm = {}, QObject *parent = nullptr);
    ~TCommonObjs() override;

    std::unique_ptr<TCommunication> Comm;
    // Its configuration is the process-wide one the windows read.
    TInstrumentSession Session;
    TCommandSet &Commands;
    TConnectionManager &Connection;

    QTimer &StatusTimer;
    TPAppSettings AppSettings;
    TCompiler &Compiler;

    // Reads the instrument configuration for the current type into Config()
    // and loads its constants into Compiler.
    void ReadInstrumentConfig();
    // Downloads Compiler's last build (only when its Status is 0) through
    // link to an instrument of the given type; a kSend* result.
    int32_t SendProgram(IProgramLoader &link, TDevice device);
    // The stored "DefaultDevice" (0 when none is stored).
    int32_t StoredDefaultDevice() const;
    // The type selected at the main window's first show: the stored one when
    // the link accepts it, else the link's built-in default.
    TDevice DefaultDeviceToApply(const TKnownDevices &known, TDevice builtinDefault) const;

    // The instrument's self-description replaces the configured values.
    static void ApplyDeviceInfo(const TDeviceInfoRecord &r, TInstrumentConfig &config);
    // The values the "Device Info" window shows, from the configuration.
    static TDeviceInfoRecord DeviceInfoOf(const TInstrumentConfig &config);
};

} // namespace tessel
