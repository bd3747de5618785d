#include "data/analysis/ProtocolMarks.h"

#include "compiler/Compiler.h"
#include "compiler/CompilerRun.h"
#include "compiler/Events.h"

#include <QFile>
#include <QTemporaryDir>
#include <algorithm>
#include <cmath>
#include <map>

namespace tessel {
namespace {

constexpr uint32_t kRecordBit[2] = {1u << 0, 1u << 1};
constexpr uint32_t kSkipBit[2] = {kSkipSampleABit, kSkipSampleBBit};
constexpr uint32_t kActinic1Line = 1u << 4, kActinic2Line = 1u << 5, kMacroLine = 1u << 15;

// One recorded sample slot of a channel, as the builder lists them.
struct Slot {
    double time;
    uint32_t mark;
};

// Level (%) from the "SA3" / "SA5" commands inside a macro; -1 when none.
double levelFromMacro(const QByteArray &bytes, char output, int32_t maxDA) {
    double level = -1;
    const QByteArray cmd = QByteArray("SA") + output;
    for (qsizetype i = bytes.indexOf(cmd); i >= 0 && i + 5 <= bytes.size(); i = bytes.indexOf(cmd, i + 1)) {
        const int v = uint8_t(bytes[i + 3]) | (uint8_t(bytes[i + 4]) << 8);
        level = maxDA > 0 ? std::clamp(100.0 * v / maxDA, 0.0, 100.0) : 0.0;
    }
    return level;
}

TLightPlan lightPlan(const TCompilerRun &run, const TMarkSetup &setup, const TAnalysisConfig &config) {
    double level1 = 0, level2 = 0;
    if (setup.LevelsFromVariables)
        for (const TCompilerCall &c : run.calls)
            if (c.kind == TCompilerCall::Variable) {
                const QString name = QString::fromUtf8(c.name);
                if (name == setup.Actinic1Alias)
                    level1 = std::clamp(double(c.value), 0.0, 100.0);
                if (name == setup.Actinic2Alias)
                    level2 = std::clamp(double(c.value), 0.0, 100.0);
            }
    // Light switches and level commands by time; initial macros (negative
    // times) apply before the start.
    struct Step {
        double time;
        int what; // 0 lines, 1 level 1, 2 level 2
        bool on;
        uint32_t lines;
        double level;
    };
    std::vector<Step> steps;
    // The instrument runs its timed macros in time order, those of one instant
    // together, each group when the macro line next rises.
    std::vector<double> edges;
    std::vector<std::pair<double, const TCompilerCall *>> timed;
    for (const TCompilerCall &c : run.calls) {
        const double t = Quantise(setup.TimeBase, double(c.time));
        if (c.kind == TCompilerCall::Action && t >= 0 && (c.code & kMacroLine) && !(c.code & kResetBit))
            edges.push_back(t);
        else if (c.kind == TCompilerCall::Macro && t >= 0 && setup.TimedMacros)
            timed.emplace_back(t, &c);
    }
    std::sort(edges.begin(), edges.end());
    std::stable_sort(timed.begin(), timed.end(), [](const auto &a, const auto &b) { return a.first < b.first; });
    std::map<const TCompilerCall *, double> runAt;
    for (size_t i = 0, group = 0; i < timed.size() && group < edges.size(); ++group) {
        const double at = timed[i].first;
        for (; i < timed.size() && std::abs(timed[i].first - at) < setup.TimeBase / 2; ++i)
            runAt[timed[i].second] = edges[group];
    }
    for (const TCompilerCall &c : run.calls) {
        const double t = Quantise(setup.TimeBase, double(c.time));
        if (c.kind == TCompilerCall::Action && t >= 0) {
            // Bit 5 of a sampling switch-on means "not recorded", not the light.
            uint32_t lines = c.code & kActinic1Line;
            if (!(c.code & kRecordBit[0]))
                lines |= c.code & kActinic2Line;
            if (lines)
                steps.push_back({t, 0, !(c.code & kResetBit), lines, 0});
        } else if (c.kind == TCompilerCall::Macro && (t < 0 || runAt.count(&c))) {
            for (int k = 1; k <= 2; ++k) {
                const double l = levelFromMacro(c.bytes, k == 1 ? '3' : '5', setup.MaxDAValue);
                if (l >= 0) {
                    if (t < 0)
                        (k == 1 ? level1 : level2) = l;
                    else
                        steps.push_back({runAt[&c], k, false, 0, l});
                }
            }
        }
    }
    std::stable_sort(steps.begin(), steps.end(), [](const Step &a, const Step &b) { return a.time < b.time; });
    bool on1 = false, on2 = false;
    TLightPlan plan;
    auto par = [&]() -> std::optional<double> {
        double sum = 0;
        for (auto [on, level, table] :
             {std::tuple{on1, level1, &config.Actinic1Par}, std::tuple{on2, level2, &config.Actinic2Par}}) {
            if (!on)
                continue;
            const std::optional<double> p = ParFromLevel(*table, level);
            if (!p)
                return std::nullopt;
            sum += *p;
        }
        return sum;
    };
    for (const Step &s : steps) {
        if (s.what == 0 && s.on && !plan.FirstOn)
            plan.FirstOn = s.time;
        if (s.what == 0) {
            if (s.lines & kActinic1Line)
                on1 = s.on;
            if (s.lines & kActinic2Line)
                on2 = s.on;
        } else {
            (s.what == 1 ? level1 : level2) = s.level;
        }
        plan.Changes.push_back({s.time, par()});
    }
    return plan;
}

} // namespace

TProtocolMarks RecoverMarks(ICompilerLibrary &lib, const QStringList &protocol, const TMarkSetup &setup,
                            const TAnalysisConfig &config) {
    TProtocolMarks out;
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("protocol.p"));
    QFile f(file);
    if (!dir.isValid() || !f.open(QIODevice::WriteOnly)) {
        out.Problem = QStringLiteral("Cannot write a temporary file");
        return out;
    }
    f.write(protocol.join(QLatin1Char('\n')).toUtf8() + '\n');
    f.close();
    const TCompilerRun run = RunCompiler(lib, file, setup.IncludeDir);
    if (!run.ok) {
        out.Problem = QStringLiteral("The protocol does not compile: %1 (line %2, column %3)")
                          .arg(run.errorMsg)
                          .arg(run.errorLine)
                          .arg(run.errorColumn);
        return out;
    }

    // Mark numbers to group names; two spellings of one quantity share a group.
    std::map<uint32_t, QString> names;
    for (const TCompilerCall &c : run.calls)
        if (c.kind == TCompilerCall::Variable && c.name.startsWith(kMarkVariablePrefix.toLatin1()))
            names[uint32_t(c.value)] = NormalMarkName(QString::fromUtf8(c.name.mid(kMarkVariablePrefix.size())));

    const int32_t perEvent[2] = {setup.SamplesPerEventA, setup.SamplesPerEventB};
    const double distance[2] = {setup.SampleDistanceA, setup.SampleDistanceB};
    for (int ch = 0; ch < 2; ++ch) {
        // The recorded taken in the builder's order: by time.
        std::vector<Slot> taken;
        for (const TCompilerCall &c : run.calls) {
            if (c.kind != TCompilerCall::Action || (c.code & kResetBit))
                continue;
            const double t = Quantise(setup.TimeBase, double(c.time));
            if (t < 0 || !(c.code & kRecordBit[ch]) || (c.code & kSkipBit[ch]))
                continue;
            const int32_t n = (c.code & kMultiSampleBit) ? std::max(perEvent[ch], 1) : 1;
            for (int32_t k = 0; k < n; ++k)
                taken.push_back({t + k * distance[ch], (c.code >> kMarkShift) & 0xFFu});
        }
        std::stable_sort(taken.begin(), taken.end(), [](const Slot &a, const Slot &b) { return a.time < b.time; });
        TChannelMarks &m = out.Channels[size_t(ch)];
        m.SampleCount = int32_t(taken.size());
        for (const Slot &slot : taken)
            m.Times.push_back(slot.time);
        // A step is a run of neighbouring samples with one mark: the samples
        // of one flash, say, between those of a running trace.
        std::map<QString, size_t> index;
        for (size_t s = 0; s < taken.size(); ++s) {
            const auto name = names.find(taken[s].mark);
            if (taken[s].mark == 0 || name == names.end())
                continue;
            auto it = index.find(name->second);
            if (it == index.end()) {
                it = index.emplace(name->second, m.Groups.size()).first;
                m.Groups.push_back({name->second, {}});
            }
            std::vector<TMarkedStep> &steps = m.Groups[it->second].Steps;
            const auto prev = s > 0 ? names.find(taken[s - 1].mark) : names.end();
            const bool sameRun = prev != names.end() && prev->second == name->second && !steps.empty();
            if (!sameRun)
                steps.push_back({taken[s].time, {}});
            steps.back().Samples.push_back(int32_t(s));
        }
    }
    out.Light = lightPlan(run, setup, config);
    return out;
}

} // namespace tessel
