#include "app/MeasurementAnalysis.h"

#include "app/InstrumentConfig.h"
#include "authoring/ProtocolDoc.h"
#include "common/IniFile.h"
#include "compiler/CompilerLibrary.h"
#include "data/Experiment.h"

namespace tessel {

TAnalysisConfig ReadAnalysisConfig(const QString &iniPath, const QString &deviceText) {
    const TIniFile2 ini(iniPath);
    const QString general = QStringLiteral("Analysis"), own = deviceText + QStringLiteral("Analysis");
    TAnalysisConfig c;
    auto table = [&](const QString &key) {
        const QString text = ini.ReadString(own, key, ini.ReadString(general, key, QString()));
        // An unreadable table leaves the light uncalibrated rather than wrong.
        return ParseParTable(text).value_or(std::vector<std::pair<double, double>>{});
    };
    c.Actinic1Par = table(QStringLiteral("Actinic1PAR"));
    c.Actinic2Par = table(QStringLiteral("Actinic2PAR"));
    auto share = [&](const QString &key, double def) {
        const double v = ini.ReadFloat(general, key, def);
        return v > 0 && v <= 1 ? v : def;
    };
    c.PsiiShare = share(QStringLiteral("ETRPSIIShare"), c.PsiiShare);
    c.Absorptance = share(QStringLiteral("ETRAbsorptance"), c.Absorptance);
    return c;
}

TAnalysisSetup AnalysisSetupFor(const QString &iniPath, TDevice device, const QString &includeBase) {
    const TInstrumentConfig ic = ReadInstrumentConfig(iniPath, DeviceTextOf(device));
    TAnalysisSetup s;
    TMarkSetup &m = s.Marks;
    m.IncludeDir = DeviceIncludeDir(includeBase.isEmpty() ? IncludeBaseDir(ic) : includeBase, device);
    m.TimeBase = ic.Compiler.TimeBase;
    m.SamplesPerEventA = ic.Compiler.SamplesPerEventA;
    m.SamplesPerEventB = ic.Compiler.SamplesPerEventB;
    m.SampleDistanceA = ic.Compiler.SampleDistanceA;
    m.SampleDistanceB = ic.Compiler.SampleDistanceB;
    m.MaxDAValue = ic.MaxDAValue;
    m.Actinic1Alias = ic.DacAliases[2];
    m.Actinic2Alias = ic.DacAliases[3];
    // As the program image is sent: ModelW gets no analog outputs from the
    // variables, ModelE and ModelF no timed macros.
    m.LevelsFromVariables = device != ModelW;
    m.TimedMacros = device != ModelE && device != ModelF;
    s.Config = ReadAnalysisConfig(iniPath, DeviceTextOf(device));
    return s;
}

const TAnalysisSetup &TMeasurementAnalyser::setup(TDevice d) {
    auto it = m_setups.find(d);
    if (it == m_setups.end())
        it = m_setups.emplace(d, AnalysisSetupFor(m_ini, d, m_includeBase)).first;
    return it->second;
}

TRecordAnalysis TMeasurementAnalyser::Analyse(const TMeasurementRecord &r) {
    const TDevice device = r.DeviceType < kDeviceCount ? TDevice(r.DeviceType) : kStoredDefaultDevice;
    const TAnalysisSetup &s = setup(device);
    const auto key = std::pair(device, r.Protocol.join(QLatin1Char('\n')));
    auto it = m_marks.find(key);
    if (it == m_marks.end()) {
        ICompilerLibrary *lib = CompilerLibrary();
        TProtocolMarks marks;
        if (!lib)
            marks.Problem = QStringLiteral("The compiler library is not loaded");
        else
            marks = RecoverMarks(*lib, r.Protocol, s.Marks, s.Config);
        it = m_marks.emplace(key, std::move(marks)).first;
    }
    if (!it->second.Problem.isEmpty()) {
        TRecordAnalysis a;
        a.Problem = it->second.Problem;
        return a;
    }
    return AnalyseRecord(r, it->second.Channels, it->second.Light, s.Config);
}

std::vector<TRecordAnalysis> TMeasurementAnalyser::AnalyseAll(const TExperimentModel &m) {
    std::vector<TRecordAnalysis> out;
    for (int i = 1; i < m.RecordCount(); ++i)
        out.push_back(Analyse(m.Record(i)));
    return out;
}

QJsonObject ParametersJson(const TMeasurementRecord &r, const QString &iniPath) {
    return AnalysisJson(TMeasurementAnalyser(iniPath).Analyse(r));
}

} // namespace tessel
