#pragma once

#include "app/InstrumentConfig.h"
#include "compiler/Compiler.h"
#include "compiler/ProgramImage.h"
#include "device/DeviceTypes.h"
#include "settings/SettingsStore.h"

#include <QObject>
#include <QTimer>
#include <functional>

namespace tessel {

// The shared objects every part of the program uses, alive for the whole run:
// the command link, the status timer, the application settings and the event
// table builder. The command link and the builder join as their subsystems
// provide them; until then the device text comes from the caller.
class TCommonObjs : public QObject {
    Q_OBJECT
public:
    // deviceText yields the current instrument type's section prefix.
    explicit TCommonObjs(std::function<QString()> deviceText, QObject *parent = nullptr);
    ~TCommonObjs() override;

    QTimer StatusTimer;
    TPAppSettings AppSettings;
    TCompiler Compiler;

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

private:
    std::function<QString()> m_deviceText;
};

} // namespace tessel
