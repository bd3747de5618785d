#include "app/CommonObjs.h"

#include "common/AppPaths.h"

namespace tessel {

TCommonObjs::TCommonObjs(std::function<QString()> deviceText, QObject *parent)
    : QObject(parent), m_deviceText(std::move(deviceText)) {
    StatusTimer.setInterval(1000);
    StatusTimer.stop();
    AppSettings.Register(QStringLiteral("DefaultDevice"), SettingKind::Integer, 0);
    AppSettings.Restore();
    ReadInstrumentConfig();
}

TCommonObjs::~TCommonObjs() { AppSettings.Save(); }

void TCommonObjs::ReadInstrumentConfig() {
    Config().Instrument = tessel::ReadInstrumentConfig(AppPaths::iniPath(), m_deviceText());
    Compiler.SetConstants(Config().Instrument.Compiler);
}

int32_t TCommonObjs::SendProgram(IProgramLoader &link, TDevice device) {
    const TInstrumentConfig &c = Config().Instrument;
    return tessel::SendProgram(link, Compiler, TProgramTarget{device, c.DacAliases, c.MaxDAValue});
}

int32_t TCommonObjs::StoredDefaultDevice() const { return AppSettings.Integer(QStringLiteral("DefaultDevice")); }

} // namespace tessel

namespace tessel {

TDevice TCommonObjs::DefaultDeviceToApply(const TKnownDevices &known, TDevice builtinDefault) const {
    const int32_t stored = StoredDefaultDevice();
    if (stored >= 0 && stored < kDeviceCount && known.contains(TDevice(stored)))
        return TDevice(stored);
    return builtinDefault;
}

} // namespace tessel
