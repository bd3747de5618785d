#include "data/analysis/Analysis.h"

#include "data/Experiment.h"

#include <QJsonArray>
#include <algorithm>
#include <cmath>

namespace tessel {

QString NormalMarkName(const QString &name) {
    if (name == QLatin1String("F0"))
        return kMarkFo;
    if (name == QLatin1String("F0'"))
        return kMarkFoP;
    return name;
}

std::optional<double> ParFromLevel(const std::vector<std::pair<double, double>> &table, double level) {
    if (table.empty())
        return std::nullopt;
    if (table.size() == 1)
        return table.front().second;
    // The segment that holds the level, or the end segment nearest to it.
    size_t i = 1;
    while (i + 1 < table.size() && level > table[i].first)
        ++i;
    const auto [x0, y0] = table[i - 1];
    const auto [x1, y1] = table[i];
    return y0 + (y1 - y0) * (level - x0) / (x1 - x0);
}

std::optional<std::vector<std::pair<double, double>>> ParseParTable(const QString &text) {
    std::vector<std::pair<double, double>> t;
    for (const QString &item : text.split(QLatin1Char(','), Qt::SkipEmptyParts)) {
        const QStringList parts = item.trimmed().split(QLatin1Char(':'));
        bool okL = false, okP = false;
        const double level = parts.size() == 2 ? parts[0].trimmed().toDouble(&okL) : 0;
        const double par = parts.size() == 2 ? parts[1].trimmed().toDouble(&okP) : 0;
        if (!okL || !okP || !std::isfinite(level) || !std::isfinite(par))
            return std::nullopt;
        t.emplace_back(level, par);
    }
    std::sort(t.begin(), t.end());
    // Two points at one level leave the slope undefined.
    for (size_t i = 1; i < t.size(); ++i)
        if (t[i].first == t[i - 1].first)
            return std::nullopt;
    return t;
}

std::optional<double> TLightPlan::ParAt(double time) const {
    std::optional<double> par = 0.0;
    for (const Change &c : Changes) {
        if (c.Time > time)
            break;
        par = c.Par;
    }
    return par;
}

QString ParameterName(int p) {
    static const char *const kNames[kParameterCount] = {"Fv/Fm", "PhiPSII", "NPQ", "qP", "qN", "qL", "ETR"};
    return p >= 0 && p < kParameterCount ? QString::fromLatin1(kNames[p]) : QString();
}

namespace {

std::optional<double> finite(std::optional<double> v) {
    return v && std::isfinite(*v) ? v : std::nullopt;
}

// num / den, or the reason there is no value.
TValue ratio(double num, double den, const QString &denText) {
    if (den == 0)
        return {std::nullopt, denText + QStringLiteral(" is zero")};
    return {num / den, {}};
}

TValue missing(const QString &what) {
    return {std::nullopt, QStringLiteral("no ") + what};
}

} // namespace

TParameters ComputeParameters(const TGroupValues &in, const TAnalysisConfig &config) {
    const auto Fo = finite(in.Fo), Fm = finite(in.Fm), Fs = finite(in.Fs), FmP = finite(in.FmP), FoP = finite(in.FoP),
               Par = finite(in.Par);
    TParameters p;
    // Fm below Fo: the flash never reached this detector (channel B of a
    // leaf seen only by A, say); a negative yield would be a wrong number.
    p[prFvFm] = !Fo                     ? missing(kMarkFo)
                : !Fm                   ? missing(kMarkFm)
                : *Fm < *Fo && *Fm != 0 ? TValue{std::nullopt, QStringLiteral("Fm below Fo: no rise at the flash")}
                                        : ratio(*Fm - *Fo, *Fm, kMarkFm);
    p[prPhiPSII] = !Fs ? missing(kMarkFs) : !FmP ? missing(kMarkFmP) : ratio(*FmP - *Fs, *FmP, kMarkFmP);
    p[prNPQ] = !Fm ? missing(kMarkFm) : !FmP ? missing(kMarkFmP) : ratio(*Fm - *FmP, *FmP, kMarkFmP);
    p[prQP] = !Fs    ? missing(kMarkFs)
              : !FmP ? missing(kMarkFmP)
              : !FoP ? missing(kMarkFoP)
                     : ratio(*FmP - *Fs, *FmP - *FoP, QStringLiteral("Fm' - Fo'"));
    if (!Fo || !Fm || !FmP || !FoP) {
        p[prQN] = missing(!Fo ? kMarkFo : !Fm ? kMarkFm : !FmP ? kMarkFmP : kMarkFoP);
    } else {
        p[prQN] = ratio(*FmP - *FoP, *Fm - *Fo, QStringLiteral("Fm - Fo"));
        if (p[prQN].Value)
            p[prQN].Value = 1.0 - *p[prQN].Value;
    }
    if (!p[prQP].Value)
        p[prQL] = {std::nullopt, p[prQP].Reason};
    else
        p[prQL] = ratio(*p[prQP].Value * *FoP, *Fs, kMarkFs);
    if (!p[prPhiPSII].Value)
        p[prETR] = {std::nullopt, p[prPhiPSII].Reason};
    else if (!Par)
        p[prETR] = {std::nullopt, QStringLiteral("no PAR (actinic light not calibrated)")};
    else
        p[prETR] = {*p[prPhiPSII].Value * *Par * config.PsiiShare * config.Absorptance, {}};
    return p;
}

namespace {

struct Moments {
    int32_t n = 0;
    double mean = 0, sd = 0;
};

Moments moments(const std::vector<double> &y, const std::vector<int32_t> &idx) {
    Moments m;
    m.n = int32_t(idx.size());
    if (m.n == 0)
        return m;
    double sum = 0;
    for (int32_t i : idx)
        sum += y[size_t(i)];
    m.mean = sum / m.n;
    if (m.n > 1) {
        double ss = 0;
        for (int32_t i : idx)
            ss += (y[size_t(i)] - m.mean) * (y[size_t(i)] - m.mean);
        m.sd = std::sqrt(ss / (m.n - 1));
    }
    return m;
}

} // namespace

TChannelAnalysis AnalyseChannel(const std::vector<double> &y, const TChannelMarks &marks, const TLightPlan &light,
                                const TAnalysisConfig &config) {
    TChannelAnalysis a;
    for (TValue &v : a.Values)
        v.Reason = QStringLiteral("no marked samples");
    if (marks.Groups.empty())
        return a;
    if (int64_t(y.size()) != marks.SampleCount) {
        a.Problem =
            QStringLiteral("The protocol gives %1 samples, the data hold %2").arg(marks.SampleCount).arg(y.size());
        for (TValue &v : a.Values)
            v.Reason = a.Problem;
        return a;
    }
    for (const TMarkGroupDef &g : marks.Groups) {
        TGroupStats s;
        s.Name = g.Name;
        std::vector<int32_t> all;
        for (const TMarkedStep &st : g.Steps) {
            const Moments m = moments(y, st.Samples);
            s.Steps.push_back({st.Time, m.n, m.mean});
            all.insert(all.end(), st.Samples.begin(), st.Samples.end());
        }
        const Moments m = moments(y, all);
        s.Count = m.n;
        s.Mean = m.mean;
        s.SD = m.sd;
        a.Groups.push_back(std::move(s));
    }
    auto group = [&](const QString &name) -> const TGroupStats * {
        for (const TGroupStats &g : a.Groups)
            if (g.Name == name && g.Count > 0)
                return &g;
        return nullptr;
    };
    auto mean = [](const TGroupStats *g) { return g ? std::optional<double>(g->Mean) : std::nullopt; };
    const TGroupStats *fo = group(kMarkFo), *fm = group(kMarkFm), *fs = group(kMarkFs), *fmP = group(kMarkFmP),
                      *foP = group(kMarkFoP);

    TGroupValues v{mean(fo), mean(fm), mean(fs), mean(fmP), mean(foP), std::nullopt};
    // A series of flashes under light: one set of values per flash when the
    // Fs steps (and the Fo' steps, if Fo' is a series too) pair up with those
    // of Fm'; the last flash, the steadiest state, gives the headline values.
    const size_t n = fmP ? fmP->Steps.size() : 0;
    if (n >= 2 && fs && fs->Steps.size() == n) {
        for (size_t k = 0; k < n; ++k) {
            TGroupValues sv = v;
            sv.FmP = fmP->Steps[k].Mean;
            sv.Fs = fs->Steps[k].Mean;
            if (foP && foP->Steps.size() == n)
                sv.FoP = foP->Steps[k].Mean;
            sv.Par = light.ParAt(fmP->Steps[k].Time);
            a.Steps.push_back({fmP->Steps[k].Time, sv.Par, ComputeParameters(sv, config)});
        }
        a.Par = a.Steps.back().Par;
        a.Values = a.Steps.back().Values;
        return a;
    }
    if (fmP)
        v.Par = light.ParAt(fmP->Steps.back().Time);
    a.Par = v.Par;
    a.Values = ComputeParameters(v, config);
    return a;
}

bool TRecordAnalysis::HasMarks() const {
    return std::any_of(Channels.begin(), Channels.end(), [](const TChannelAnalysis &c) { return !c.Groups.empty(); });
}

TRecordAnalysis AnalyseRecord(const TMeasurementRecord &r, const std::array<TChannelMarks, 2> &marks,
                              const TLightPlan &light, const TAnalysisConfig &config) {
    TRecordAnalysis a;
    for (int c = 0; c < 2; ++c) {
        std::vector<double> y;
        if (const TDependency *set = r.Channel(c).Set.get(); set && set->Y) {
            y.reserve(size_t(set->Count()));
            for (int32_t i = 0; i < set->Count(); ++i)
                y.push_back(set->Y->Value(i));
        }
        a.Channels[size_t(c)] = AnalyseChannel(y, marks[size_t(c)], light, config);
    }
    return a;
}

namespace {

QJsonValue json(std::optional<double> v) {
    return v ? QJsonValue(*v) : QJsonValue(QJsonValue::Null);
}

void addParameters(QJsonObject &o, const TParameters &p) {
    QJsonObject values, reasons;
    for (int k = 0; k < kParameterCount; ++k) {
        values[ParameterName(k)] = json(p[size_t(k)].Value);
        if (!p[size_t(k)].Value)
            reasons[ParameterName(k)] = p[size_t(k)].Reason;
    }
    o[QStringLiteral("parameters")] = values;
    if (!reasons.isEmpty())
        o[QStringLiteral("reasons")] = reasons;
}

} // namespace

QJsonObject AnalysisJson(const TRecordAnalysis &a) {
    if (!a.Problem.isEmpty())
        return {{"problem", a.Problem}};
    QJsonArray channels;
    for (size_t c = 0; c < a.Channels.size(); ++c) {
        const TChannelAnalysis &ch = a.Channels[c];
        if (ch.Groups.empty() && ch.Problem.isEmpty())
            continue;
        QJsonObject o{{"channel", c == 0 ? "A" : "B"}};
        if (!ch.Problem.isEmpty())
            o[QStringLiteral("problem")] = ch.Problem;
        QJsonArray groups;
        for (const TGroupStats &g : ch.Groups)
            groups.append(QJsonObject{{"name", g.Name}, {"count", g.Count}, {"mean", g.Mean}, {"sd", g.SD}});
        o[QStringLiteral("groups")] = groups;
        o[QStringLiteral("par")] = json(ch.Par);
        addParameters(o, ch.Values);
        if (!ch.Steps.empty()) {
            QJsonArray steps;
            for (const TStepParameters &s : ch.Steps) {
                QJsonObject so{{"time", s.Time}, {"par", json(s.Par)}};
                addParameters(so, s.Values);
                steps.append(so);
            }
            o[QStringLiteral("steps")] = steps;
        }
        channels.append(o);
    }
    return {{"channels", channels}};
}

} // namespace tessel
