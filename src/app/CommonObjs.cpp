#include "app/CommonObjs.h"

#include "common/AppPaths.h"
#include "device/PortList.h"
#include "device/PosixCommPort.h"

namespace tessel {

TCommonObjs::TCommonObjs(std::unique_ptr<TCommunication> comm, QObject *parent)
    : QObject(parent),
      Comm(comm ? std::move(comm)
                : std::make_unique<TCommunication>(std::make_unique<TPosixCommPort>(), PortNames().first())),
      Session(*Comm, AppPaths::iniPath(), &Config().Instrument), Commands(Session.Commands()),
      Connection(Session.Connection()), StatusTimer(Session.StatusTimer()), Compiler(Session.Compiler()) {
    AppSettings.Register(QStringLiteral("DefaultDevice"), SettingKind::Integer, 0);
    AppSettings.Restore();
    ReadInstrumentConfig();
}

TCommonObjs::~TCommonObjs() { AppSettings.Save(); }

int32_t TCommonObjs::SendProgram(IProgramLoader &link, TDevice device) {
    const TInstrumentConfig &c = Session.Configuration();
    return tessel::SendProgram(link, Compiler, TProgramTarget{device, c.DacAliases, c.MaxDAValue});
}

void TCommonObjs::ReadInstrumentConfig() { Session.ReadConfiguration(); }

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

namespace tessel {

void TCommonObjs::ApplyDeviceInfo(const TDeviceInfoRecord &r, TInstrumentConfig &config) {
    TCompilerConstants &k = config.Compiler;
    k.TimerBits = r.TimerBits;
    k.TimeBase = r.TimeBase;
    k.TimePropagation = r.TimePropagation;
    k.MinTimer = r.MinTimer;
    k.MaxEvents = r.MaxEvents;
    k.MaxASamples = r.MaxASamples;
    k.MaxBSamples = r.MaxBSamples;
    k.Bounds = r.Bounds;
    k.SamplesPerEventA = r.SamplesPerEventA;
    k.SamplesPerEventB = r.SamplesPerEventB;
    k.SampleDistanceA = r.SampleDistanceA;
    k.SampleDistanceB = r.SampleDistanceB;
    config.BitResA = r.BitResA;
    config.BitResB = r.BitResB;
    config.MoChA = r.MoChA;
    config.MoChB = r.MoChB;
}

TDeviceInfoRecord TCommonObjs::DeviceInfoOf(const TInstrumentConfig &config) {
    const TCompilerConstants &k = config.Compiler;
    TDeviceInfoRecord r;
    r.TimerBits = k.TimerBits;
    r.TimeBase = k.TimeBase;
    r.TimePropagation = k.TimePropagation;
    r.MinTimer = k.MinTimer;
    r.MaxEvents = k.MaxEvents;
    r.MaxASamples = k.MaxASamples;
    r.MaxBSamples = k.MaxBSamples;
    r.Bounds = k.Bounds;
    r.SamplesPerEventA = k.SamplesPerEventA;
    r.SamplesPerEventB = k.SamplesPerEventB;
    r.SampleDistanceA = k.SampleDistanceA;
    r.SampleDistanceB = k.SampleDistanceB;
    r.BitResA = config.BitResA;
    r.BitResB = config.BitResB;
    r.MoChA = config.MoChA;
    r.MoChB = config.MoChB;
    return r;
}

} // namespace tessel
