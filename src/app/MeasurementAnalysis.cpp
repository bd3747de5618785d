#include "app/MeasurementAnalysis.h"

#include "common/AppPaths.h"
#include "output/JsonExport.h"
#include "output/LongCsvExport.h"

#include "app/InstrumentConfig.h"
#include "authoring/ProtocolDoc.h"
#include "common/IniFile.h"
#include "common/NumberText.h"
#include "compiler/CompilerLibrary.h"
#include "data/Experiment.h"
#include "data/ExperimentFile.h"
#include "graph/GraphModel.h"

#include <algorithm>
#include <iterator>
#include <numeric>
#include <optional>

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
    // An unknown model name keeps the default rather than failing the analysis.
    c.LightCurveModel = LightCurveModelFromName(ini.ReadString(general, QStringLiteral("LightCurveModel"), QString()))
                            .value_or(c.LightCurveModel);
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
    // As the program image is sent.
    m.LevelsFromVariables = !HostSetsOutputs(device);
    m.TimedMacros = HasTimedMacros(device);
    s.Config = ReadAnalysisConfig(iniPath, DeviceTextOf(device));
    return s;
}

const TAnalysisSetup &TMeasurementAnalyser::setup(TDevice d) {
    auto it = m_setups.find(d);
    if (it == m_setups.end()) {
        it = m_setups.emplace(d, AnalysisSetupFor(m_ini, d, m_includeBase)).first;
        if (m_model)
            it->second.Config.LightCurveModel = *m_model;
    }
    return it->second;
}

const TProtocolMarks &TMeasurementAnalyser::Marks(const TMeasurementRecord &r) {
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
    return it->second;
}

TRecordAnalysis TMeasurementAnalyser::Analyse(const TMeasurementRecord &r) {
    const TProtocolMarks &marks = Marks(r);
    if (!marks.Problem.isEmpty()) {
        TRecordAnalysis a;
        a.Problem = marks.Problem;
        return a;
    }
    const TDevice device = r.DeviceType < kDeviceCount ? TDevice(r.DeviceType) : kStoredDefaultDevice;
    return AnalyseRecord(r, marks.Channels, marks.Light, setup(device).Config);
}

std::vector<TRecordAnalysis> TMeasurementAnalyser::AnalyseAll(const TExperimentModel &m) {
    std::vector<TRecordAnalysis> out;
    for (int i = 1; i < m.RecordCount(); ++i)
        out.push_back(Analyse(m.Record(i)));
    return out;
}

std::array<std::vector<QString>, 2> SampleMarks(const TProtocolMarks &marks, const TMeasurementRecord &r) {
    std::array<std::vector<QString>, 2> out;
    for (size_t c = 0; c < 2 && marks.Problem.isEmpty(); ++c) {
        out[c].resize(size_t(std::max(0, r.Channel(int(c)).Set->Count())));
        for (const TMarkGroupDef &g : marks.Channels[c].Groups)
            for (const TMarkedStep &step : g.Steps)
                for (int32_t i : step.Samples)
                    if (i >= 0 && size_t(i) < out[c].size())
                        out[c][size_t(i)] = g.Name;
    }
    return out;
}

void InstallExportParameters() {
    // Each writer copies the hook with an empty analyser, so one export reads
    // the configuration and compiles each protocol once, and the next one
    // sees the configuration as it is then.
    TJsonExport::DefaultParameters() =
        [analyser = std::optional<TMeasurementAnalyser>()](const TMeasurementRecord &r) mutable {
            if (!analyser)
                analyser.emplace(AppPaths::iniPath());
            return AnalysisJson(analyser->Analyse(r));
        };
    TLongCsvExport::DefaultMarks() = [analyser =
                                          std::optional<TMeasurementAnalyser>()](const TMeasurementRecord &r) mutable {
        if (!analyser)
            analyser.emplace(AppPaths::iniPath());
        return SampleMarks(analyser->Marks(r), r);
    };
}

} // namespace tessel

namespace tessel {

namespace {

const QString kTableGroups[] = {kMarkFo, kMarkFm, kMarkFs, kMarkFmP, kMarkFoP, kMarkFmPP};

TParameterCell valueCell(const TValue &v, int digits = 4) {
    if (v.Value)
        return {QString::number(*v.Value, 'g', digits),
                v.SE ? QStringLiteral("standard error %1").arg(*v.SE, 0, 'g', 3) : QString()};
    return {QStringLiteral("-"), v.Reason};
}

} // namespace

QStringList ParameterTableTitles() {
    QStringList t{QStringLiteral("Data Set"), QStringLiteral("Sample")};
    for (const QString &g : kTableGroups)
        t << g;
    t << QStringLiteral("PAR");
    for (int p = 0; p < kParameterCount; ++p)
        t << ParameterTitle(p);
    return t;
}

std::vector<TParameterRow> ParameterTableRows(const TExperimentModel &m, const std::vector<TRecordAnalysis> &all) {
    std::vector<TParameterRow> rows;
    const int columns = int(ParameterTableTitles().size());
    // Oldest first, as the data table lists the data sets.
    const size_t n = std::min(all.size(), size_t(std::max(0, m.RecordCount() - 1)));
    for (size_t r = n; r-- > 0;) {
        const TMeasurementRecord &rec = m.Record(int(r) + 1);
        // The sample's title, note and metadata, as tessel-cli measure --title/--note/--set stored them.
        const QString sample = MetadataText(rec);
        if (!all[r].Problem.isEmpty()) {
            TParameterRow row;
            row.Cells.push_back({rec.A.Set ? rec.A.Set->Caption : QString(), {}});
            row.Cells.push_back({sample, sample});
            row.Cells.push_back({all[r].Problem, all[r].Problem});
            row.Cells.resize(size_t(columns));
            rows.push_back(std::move(row));
            continue;
        }
        for (int c = 0; c < 2; ++c) {
            const TChannelAnalysis &ch = all[r].Channels[size_t(c)];
            if (ch.Groups.empty() && ch.Problem.isEmpty())
                continue;
            const TDependency *set = rec.Channel(c).Set.get();
            TParameterRow row;
            row.Cells.push_back({set ? set->Caption : QString(), {}});
            row.Cells.push_back({sample, sample});
            if (!ch.Problem.isEmpty()) {
                row.Cells.push_back({ch.Problem, ch.Problem});
                row.Cells.resize(size_t(columns));
                rows.push_back(std::move(row));
                continue;
            }
            for (const QString &g : kTableGroups) {
                TParameterCell cell;
                for (const TGroupStats &s : ch.Groups)
                    if (s.Name == g)
                        cell = {QString::number(s.Mean, 'g', 5),
                                QStringLiteral("%1 samples, SD %2").arg(s.Count).arg(s.SD, 0, 'g', 3)};
                row.Cells.push_back(cell);
            }
            row.Cells.push_back(valueCell({ch.Par, QStringLiteral("no PAR")}, 5));
            for (const TValue &v : ch.Values)
                row.Cells.push_back(valueCell(v));
            rows.push_back(std::move(row));
            for (const TStepParameters &s : ch.Steps) {
                TParameterRow step;
                step.Step = true;
                step.Cells.push_back(
                    {QStringLiteral("    %1 at %2 s").arg(s.Dark ? "dark flash" : "flash").arg(s.Time, 0, 'g', 6), {}});
                step.Cells.push_back({}); // the sample column
                for (const QString &g : kTableGroups)
                    step.Cells.push_back(
                        valueCell({GroupLevel(s.Inputs, g), QStringLiteral("no %1 for this flash").arg(g)}, 5));
                step.Cells.push_back(valueCell({s.Par, QStringLiteral("no PAR")}, 5));
                for (const TValue &v : s.Values)
                    step.Cells.push_back(valueCell(v));
                rows.push_back(std::move(step));
            }
        }
    }
    return rows;
}

QString LightCurveModelText(TLightCurveModel m) {
    switch (m) {
    case TLightCurveModel::EilersPeeters:
        return QStringLiteral("Eilers & Peeters (1988)");
    case TLightCurveModel::JassbyPlatt:
        return QStringLiteral("Jassby & Platt (1976)");
    case TLightCurveModel::Platt:
        break;
    }
    return QStringLiteral("Platt et al. (1980)");
}

QString ParameterTitle(int p) {
    switch (p) {
    case prPhiPSII:
        return QStringLiteral("\u03A6PSII");
    case prPhiNPQ:
        return QStringLiteral("\u03A6NPQ");
    case prPhiNO:
        return QStringLiteral("\u03A6NO");
    case prAlpha:
        return QStringLiteral("\u03B1");
    case prBeta:
        return QStringLiteral("\u03B2");
    case prR2:
        return QStringLiteral("R\u00B2");
    default:
        return ParameterName(p);
    }
}

std::vector<TEtrCurve> EtrCurves(const TExperimentModel &m, const std::vector<TRecordAnalysis> &all) {
    std::vector<TEtrCurve> curves;
    for (size_t r = 0; r < all.size() && int(r) + 1 < m.RecordCount(); ++r)
        for (int c = 0; c < 2; ++c) {
            const TChannelAnalysis &ch = all[r].Channels[size_t(c)];
            TEtrCurve curve;
            for (const TStepParameters &s : ch.Steps)
                if (s.Par && s.Values[prETR].Value)
                    curve.Points.emplace_back(*s.Par, *s.Values[prETR].Value);
            std::stable_sort(curve.Points.begin(), curve.Points.end(),
                             [](const QPointF &a, const QPointF &b) { return a.x() < b.x(); });
            if (curve.Points.size() < 2 || curve.Points.front().x() == curve.Points.back().x())
                continue;
            const TDependency *set = m.Record(int(r) + 1).Channel(c).Set.get();
            curve.Caption = set ? set->Caption : QString();
            curve.Color = set ? set->Color : 0;
            if (ch.LightCurve && ch.LightCurve->Ok()) {
                // Drawn from 0 to the highest PAR, finely enough to look smooth.
                const double top = curve.Points.back().x();
                for (int i = 0; i <= kFitCurvePoints; ++i) {
                    const double par = top * i / kFitCurvePoints;
                    curve.Fit.emplace_back(par, ch.LightCurve->Evaluate(par));
                }
                curve.Model = LightCurveModelName(ch.LightCurve->Model);
            }
            curves.push_back(std::move(curve));
        }
    return curves;
}

QString ParameterUnit(int p) {
    switch (p) {
    case prETR:
    case prEtrMax:
    case prIk:
        return QStringLiteral("µmol m⁻² s⁻¹");
    case prMo:
        return QStringLiteral("ms⁻¹");
    case prTFm:
        return QStringLiteral("s");
    case prFj:
    case prFi:
    case prFP:
        return QStringLiteral("V");
    default:
        return {};
    }
}

void TitleEtrGraph(TGraphModel &g) {
    g.XTitle = {QStringLiteral("PAR"), QStringLiteral("µmol m⁻² s⁻¹")};
    g.YTitle = {QStringLiteral("ETR"), QStringLiteral("µmol m⁻² s⁻¹")};
    g.ShowLegend = true;
}

std::vector<TParameterGroup> GroupParameter(const TExperimentModel &m, const std::vector<TRecordAnalysis> &all,
                                            int parameter, int channel, const QString &byKey) {
    std::vector<TParameterGroup> groups;
    // all is newest first, as the records are.
    for (size_t k = all.size(); k-- > 0;) {
        const int r = int(k) + 1;
        if (r >= m.RecordCount() || !all[k].Problem.isEmpty())
            continue;
        const TValue &v = all[k].Channels[size_t(channel)].Values[size_t(parameter)];
        if (!v.Value)
            continue;
        const TMeasurementRecord &rec = m.Record(r);
        QString key;
        if (byKey.isEmpty()) {
            key = MetadataValue(rec, kMetaTitle);
            // Without a title a measurement stands alone.
            if (key.isEmpty()) {
                const TDependency *set = rec.Channel(channel).Set.get();
                key = set ? set->Caption : QString::number(MeasurementNumber(m, r));
            }
        } else {
            key = MetadataValue(rec, byKey);
        }
        auto it = std::find_if(groups.begin(), groups.end(), [&](const TParameterGroup &g) { return g.Key == key; });
        if (it == groups.end())
            it = groups.insert(groups.end(), TParameterGroup{key, {}, 0, 0});
        it->Values.push_back(*v.Value);
    }
    for (TParameterGroup &g : groups) {
        const double n = double(g.Values.size());
        g.Mean = std::accumulate(g.Values.begin(), g.Values.end(), 0.0) / n;
        double ss = 0;
        for (double x : g.Values)
            ss += (x - g.Mean) * (x - g.Mean);
        g.SD = g.Values.size() > 1 ? std::sqrt(ss / (n - 1)) : 0;
    }
    return groups;
}

} // namespace tessel

namespace tessel {

namespace {

// Numbers for machines in files.
QString machineText(std::optional<double> v) { return v ? FormatMachine(*v) : QString(); }

// RFC 4180: a field with a comma, quote or line break goes in quotes, its
// quotes doubled.
QString csvField(const QString &s) {
    if (!s.contains(QLatin1Char(',')) && !s.contains(QLatin1Char('"')) && !s.contains(QLatin1Char('\n')) &&
        !s.contains(QLatin1Char('\r')))
        return s;
    QString q = s;
    q.replace(QLatin1String("\""), QLatin1String("\"\""));
    return QLatin1Char('"') + q + QLatin1Char('"');
}

// The metadata keys of every measurement, title and note first, then in the
// order they first appear.
QStringList metadataKeys(const std::vector<TAnalysedExperiment> &files) {
    QStringList keys{kMetaTitle, kMetaNote};
    for (const TAnalysedExperiment &f : files)
        for (int r = 1; r < f.Model->RecordCount(); ++r)
            for (const auto &kv : Metadata(f.Model->Record(r)))
                if (!keys.contains(kv.first))
                    keys << kv.first;
    return keys;
}

} // namespace

QString IsoDateTimeText(double days) {
    const std::optional<QDateTime> t = DateTimeFromDays(days);
    return t ? t->toString(Qt::ISODate) : QString();
}

QString HeadlineFrom(const TChannelAnalysis &ch) {
    for (size_t k = ch.Steps.size(); k-- > 0;) {
        bool same = ch.Steps[k].Par == ch.Par;
        for (size_t p = 0; same && p < ch.Values.size(); ++p)
            same = ch.Steps[k].Values[p].Value == ch.Values[p].Value;
        if (same)
            return QStringLiteral("flash %1 of %2 at %3 s")
                .arg(k + 1)
                .arg(ch.Steps.size())
                .arg(QString::number(ch.Steps[k].Time, 'g', 6));
    }
    return QStringLiteral("means");
}

QString AnalysisCsv(const std::vector<TAnalysedExperiment> &files) {
    QStringList head{"file", "measurement", "measured"};
    const QStringList keys = metadataKeys(files);
    for (const QString &k : keys)
        head << (head.contains(k) ? kMetaPrefix + k : k);
    head << "channel"
         << "step"
         << "time"
         << "from";
    for (const QString &g : kTableGroups)
        head << g;
    head << "PAR";
    for (int p = 0; p < kParameterCount; ++p)
        head << ParameterName(p);
    for (int p = 0; p < kParameterCount; ++p)
        if (HasStandardError(p))
            head << "SE " + ParameterName(p);
    for (QString &x : head)
        x = csvField(x);
    QStringList rows{head.join(QLatin1Char(','))};
    for (const TAnalysedExperiment &file : files) {
        const TExperimentModel &model = *file.Model;
        for (int n = 1; n < model.RecordCount(); ++n) {
            const int record = RecordOfMeasurement(model, n);
            const TMeasurementRecord &rec = model.Record(record);
            QStringList lead{file.Path, QString::number(n), IsoDateTimeText(rec.Time)};
            for (const QString &k : keys)
                lead << MetadataValue(rec, k);
            for (size_t c = 0; c < 2; ++c) {
                const TChannelAnalysis &ch = file.All[size_t(record - 1)].Channels[c];
                if (ch.Groups.empty())
                    continue;
                // The headline row gives the group means, a flash row the levels it used.
                auto row = [&](const QString &step, const QString &time, const QString &from,
                               const TGroupValues *levels, std::optional<double> par, const TParameters &values) {
                    QStringList f = lead;
                    f << (c == 0 ? "A" : "B") << step << time << from;
                    for (const QString &g : kTableGroups) {
                        QString cell;
                        if (levels)
                            cell = machineText(GroupLevel(*levels, g));
                        else
                            for (const TGroupStats &s : ch.Groups)
                                if (s.Name == g)
                                    cell = machineText(s.Mean);
                        f << cell;
                    }
                    f << machineText(par);
                    for (const TValue &v : values)
                        f << machineText(v.Value);
                    for (int p = 0; p < kParameterCount; ++p)
                        if (HasStandardError(p))
                            f << machineText(values[size_t(p)].SE);
                    for (QString &x : f)
                        x = csvField(x);
                    rows << f.join(QLatin1Char(','));
                };
                row({}, {}, HeadlineFrom(ch), nullptr, ch.Par, ch.Values);
                for (size_t s = 0; s < ch.Steps.size(); ++s)
                    row(QString::number(s + 1), FormatMachine(ch.Steps[s].Time), {}, &ch.Steps[s].Inputs,
                        ch.Steps[s].Par, ch.Steps[s].Values);
            }
        }
    }
    return rows.join(QLatin1String("\r\n")) + QLatin1String("\r\n");
}

} // namespace tessel
