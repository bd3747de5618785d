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
    static const char *const kNames[kParameterCount] = {
        "Fv/Fm",  "PhiPSII", "NPQ",  "qP", "qN", "qL", "ETR", "PhiNPQ", "PhiNO", "qE", "qI",    "alpha",
        "ETRmax", "Ik",      "beta", "R2", "Fj", "Fi", "FP",  "Vj",     "Vi",    "Mo", "PIabs", "tFm"};
    return p >= 0 && p < kParameterCount ? QString::fromLatin1(kNames[p]) : QString();
}

bool HasStandardError(int p) { return p == prAlpha || p == prEtrMax || p == prIk || p == prBeta; }

namespace {

std::optional<double> finite(std::optional<double> v) { return v && std::isfinite(*v) ? v : std::nullopt; }

// num / den, or the reason there is no value.
TValue ratio(double num, double den, const QString &denText) {
    if (den == 0)
        return {std::nullopt, denText + QStringLiteral(" is zero")};
    return {num / den, {}};
}

TValue missing(const QString &what) { return {std::nullopt, QStringLiteral("no ") + what}; }

} // namespace

std::optional<double> GroupLevel(const TGroupValues &v, const QString &mark) {
    return mark == kMarkFo    ? v.Fo
           : mark == kMarkFm  ? v.Fm
           : mark == kMarkFs  ? v.Fs
           : mark == kMarkFmP ? v.FmP
           : mark == kMarkFoP ? v.FoP
                              : v.FmPP;
}

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

    // The lake model's partitioning (Kramer et al. 2004): PhiNO from NPQ, qL
    // and the dark Fm/Fo; PhiNPQ is what PhiPSII and PhiNO leave.
    const TValue *need[] = {&p[prNPQ], &p[prQL], &p[prPhiPSII]};
    const auto gap = std::find_if(std::begin(need), std::end(need), [](const TValue *v) { return !v->Value; });
    if (!Fo || !Fm)
        p[prPhiNO] = missing(!Fo ? kMarkFo : kMarkFm);
    else if (gap != std::end(need))
        p[prPhiNO] = {std::nullopt, (*gap)->Reason};
    else if (*Fo == 0)
        p[prPhiNO] = {std::nullopt, QStringLiteral("Fo is zero")};
    else
        p[prPhiNO] = ratio(1.0, *p[prNPQ].Value + 1 + *p[prQL].Value * (*Fm / *Fo - 1),
                           QStringLiteral("NPQ + 1 + qL (Fm/Fo - 1)"));
    if (p[prPhiNO].Value)
        p[prPhiNPQ] = {1.0 - *p[prPhiPSII].Value - *p[prPhiNO].Value, {}};
    else
        p[prPhiNPQ] = {std::nullopt, p[prPhiNO].Reason};

    // Relaxation in the dark (Walters & Horton 1991): what is left at the last
    // dark flash is qI, what relaxed by then qE.
    const auto FmPP = finite(in.FmPP);
    p[prQI] = !Fm ? missing(kMarkFm) : !FmPP ? missing(kMarkFmPP) : ratio(*Fm - *FmPP, *FmPP, kMarkFmPP);
    if (!p[prNPQ].Value)
        p[prQE] = {std::nullopt, p[prNPQ].Reason};
    else if (!p[prQI].Value)
        p[prQE] = {std::nullopt, p[prQI].Reason};
    else
        p[prQE] = {*p[prNPQ].Value - *p[prQI].Value, {}};
    for (int k = prAlpha; k <= prR2; ++k)
        p[size_t(k)].Reason = QStringLiteral("no light curve");
    for (int k = prFj; k <= prTFm; ++k)
        p[size_t(k)].Reason = QStringLiteral("no induction trace");
    return p;
}

void InductionParameters(const std::vector<std::pair<double, double>> &trace, std::optional<double> markedFo,
                         TParameters &p) {
    auto all = [&](const QString &why) {
        for (int k = prFj; k <= prTFm; ++k)
            p[size_t(k)] = {std::nullopt, why};
    };
    // A fast trace starts within a millisecond of light-on.
    if (trace.empty() || trace.front().first > 1e-3 || trace.front().first <= 0)
        return all(QStringLiteral("no induction trace (no sample within 1 ms of light-on)"));
    // F at a time after light-on, linear in log time between the samples around it.
    auto at = [&](double t) -> std::optional<double> {
        if (t < trace.front().first || t > trace.back().first)
            return std::nullopt;
        size_t i = 1;
        while (i < trace.size() && trace[i].first < t)
            ++i;
        if (i == trace.size() || trace[i].first == t)
            return trace[std::min(i, trace.size() - 1)].second;
        const auto [t0, f0] = trace[i - 1];
        const auto [t1, f1] = trace[i];
        return f0 + (f1 - f0) * std::log(t / t0) / std::log(t1 / t0);
    };
    const auto peak =
        std::max_element(trace.begin(), trace.end(), [](const auto &a, const auto &b) { return a.second < b.second; });
    const double fp = peak->second;
    p[prFP] = {fp, {}};
    p[prTFm] = {peak->first, {}};
    // Fo as a plain value beside its presence: an optional here draws a false
    // "may be used uninitialized" from the optimiser.
    const bool haveFo = markedFo.has_value() || trace.front().first <= 50e-6;
    const double fo = markedFo ? *markedFo : trace.front().second;
    const std::optional<double> fj = at(2e-3), fi = at(30e-3), f300 = at(300e-6);
    p[prFj] = fj ? TValue{fj, {}} : TValue{std::nullopt, QStringLiteral("no samples around 2 ms after light-on")};
    p[prFi] = fi ? TValue{fi, {}} : TValue{std::nullopt, QStringLiteral("no samples around 30 ms after light-on")};
    const QString noFo = QStringLiteral("no Fo (neither marked nor sampled by 50 us after light-on)");
    const QString flat = QStringLiteral("FP - Fo is zero");
    auto relative = [&](std::optional<double> f, const TValue &input) {
        if (!haveFo)
            return TValue{std::nullopt, noFo};
        if (!f)
            return TValue{std::nullopt, input.Reason};
        return ratio(*f - fo, fp - fo, QStringLiteral("FP - Fo"));
    };
    p[prVj] = relative(fj, p[prFj]);
    p[prVi] = relative(fi, p[prFi]);
    p[prMo] = relative(f300, TValue{std::nullopt, QStringLiteral("no samples around 300 us after light-on")});
    if (p[prMo].Value)
        p[prMo].Value = 4 * *p[prMo].Value; // per ms: over the 0.25 ms from 50 to 300 us
    // PIabs = (RC/ABS) (phiPo / (1 - phiPo)) (psiO / (1 - psiO)) with RC/ABS =
    // phiPo Vj / Mo, phiPo = 1 - Fo/FP, psiO = 1 - Vj.
    if (!p[prVj].Value || !p[prMo].Value)
        p[prPIabs] = {std::nullopt, !p[prVj].Value ? p[prVj].Reason : p[prMo].Reason};
    else if (fp == 0)
        p[prPIabs] = {std::nullopt, QStringLiteral("FP is zero")};
    else if (*p[prMo].Value == 0 || (haveFo && fo == 0))
        p[prPIabs] = {std::nullopt, (haveFo && fo == 0) ? QStringLiteral("Fo is zero") : QStringLiteral("Mo is zero")};
    else {
        const double phiPo = 1 - fo / fp, vj = *p[prVj].Value;
        p[prPIabs] = {phiPo * phiPo * (1 - vj) / (*p[prMo].Value * (1 - phiPo)), {}};
    }
    if (!p[prFvFm].Value && p[prFvFm].Reason == QStringLiteral("no Fm") && haveFo && fp != 0)
        p[prFvFm] = {(fp - fo) / fp, {}};
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

// The light curve of a flash series under several PARs: its fit goes into the
// headline values; the flashes' own rows say where to look.
void fitLightCurve(TChannelAnalysis &a, const TAnalysisConfig &config) {
    std::vector<std::pair<double, double>> points;
    for (const TStepParameters &s : a.Steps)
        if (s.Par && s.Values[prETR].Value)
            points.emplace_back(*s.Par, *s.Values[prETR].Value);
    const bool curve =
        std::any_of(points.begin(), points.end(), [&](const auto &pt) { return pt.first != points.front().first; });
    for (TStepParameters &s : a.Steps)
        for (int k = prAlpha; k <= prR2; ++k)
            s.Values[size_t(k)].Reason = QStringLiteral("a value of the whole light curve");
    if (!curve) {
        for (int k = prAlpha; k <= prR2; ++k)
            a.Values[size_t(k)].Reason = a.Steps.empty() ? QStringLiteral("no light curve (no flash series)")
                                                         : QStringLiteral("no light curve (one PAR)");
        return;
    }
    a.LightCurve = FitLightCurve(points, config.LightCurveModel);
    const TLightCurveFit &f = *a.LightCurve;
    auto set = [&](int k, std::optional<TFitValue> v, const QString &why) {
        a.Values[size_t(k)] = v ? TValue{v->Value, {}, v->SE} : TValue{std::nullopt, why, std::nullopt};
    };
    const bool ok = f.Ok();
    set(prAlpha, ok ? std::optional(f.Alpha) : std::nullopt, f.Problem);
    set(prEtrMax, ok ? std::optional(f.EtrMax) : std::nullopt, f.Problem);
    set(prIk, ok ? std::optional(f.Ik) : std::nullopt, f.Problem);
    set(prBeta, ok && f.Model == TLightCurveModel::Platt ? std::optional(f.Beta) : std::nullopt,
        ok ? QStringLiteral("not in the %1 model").arg(LightCurveModelName(f.Model)) : f.Problem);
    set(prR2, ok ? std::optional(TFitValue{f.R2, std::nullopt}) : std::nullopt, f.Problem);
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
                      *foP = group(kMarkFoP), *fmPP = group(kMarkFmPP);

    TGroupValues v{mean(fo), mean(fm), mean(fs), mean(fmP), mean(foP), std::nullopt, std::nullopt};
    if (fmPP)
        v.FmPP = fmPP->Steps.back().Mean;
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
            a.Steps.push_back({fmP->Steps[k].Time, sv.Par, ComputeParameters(sv, config), sv});
        }
        a.Par = a.Steps.back().Par;
        a.Values = a.Steps.back().Values;
    } else {
        if (fmP)
            v.Par = light.ParAt(fmP->Steps.back().Time);
        a.Par = v.Par;
        a.Values = ComputeParameters(v, config);
    }
    fitLightCurve(a, config);
    // The unmarked samples after light-on form the induction trace.
    if (light.FirstOn && marks.Times.size() == y.size()) {
        std::vector<bool> marked(y.size(), false);
        for (const TMarkGroupDef &g : marks.Groups)
            for (const TMarkedStep &st : g.Steps)
                for (int32_t i : st.Samples)
                    marked[size_t(i)] = true;
        std::vector<std::pair<double, double>> trace;
        for (size_t i = 0; i < y.size(); ++i)
            if (!marked[i] && marks.Times[i] > *light.FirstOn)
                trace.emplace_back(marks.Times[i] - *light.FirstOn, y[i]);
        std::stable_sort(trace.begin(), trace.end(), [](const auto &l, const auto &r) { return l.first < r.first; });
        InductionParameters(trace, v.Fo, a.Values);
    }
    // The relaxation in the dark: NPQ at each Fm'' flash, (Fm - Fm'') / Fm''.
    if (fmPP)
        for (const TStepStats &st : fmPP->Steps) {
            TGroupValues dv{v.Fo, v.Fm, std::nullopt, st.Mean, std::nullopt, light.ParAt(st.Time), v.FmPP};
            TStepParameters step{st.Time, dv.Par, ComputeParameters(dv, config), dv, true};
            step.Inputs.FmP.reset();
            step.Inputs.FmPP = st.Mean;
            a.Steps.push_back(std::move(step));
        }
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

QJsonValue json(std::optional<double> v) { return v ? QJsonValue(*v) : QJsonValue(QJsonValue::Null); }

void addParameters(QJsonObject &o, const TParameters &p) {
    QJsonObject values, reasons, errors;
    for (int k = 0; k < kParameterCount; ++k) {
        values[ParameterName(k)] = json(p[size_t(k)].Value);
        if (!p[size_t(k)].Value)
            reasons[ParameterName(k)] = p[size_t(k)].Reason;
        if (p[size_t(k)].SE)
            errors[ParameterName(k)] = *p[size_t(k)].SE;
    }
    o[QStringLiteral("parameters")] = values;
    if (!reasons.isEmpty())
        o[QStringLiteral("reasons")] = reasons;
    if (!errors.isEmpty())
        o[QStringLiteral("errors")] = errors;
}

QJsonObject levels(const TGroupValues &v) {
    QJsonObject o;
    const std::pair<const QString &, std::optional<double>> all[] = {
        {kMarkFo, v.Fo}, {kMarkFm, v.Fm}, {kMarkFs, v.Fs}, {kMarkFmP, v.FmP}, {kMarkFoP, v.FoP}, {kMarkFmPP, v.FmPP}};
    for (const auto &[name, value] : all)
        if (value)
            o[name] = *value;
    return o;
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
                QJsonObject so{{"time", s.Time}, {"par", json(s.Par)}, {"levels", levels(s.Inputs)}};
                if (s.Dark)
                    so[QStringLiteral("dark")] = true;
                addParameters(so, s.Values);
                steps.append(so);
            }
            o[QStringLiteral("steps")] = steps;
        }
        if (ch.LightCurve && ch.LightCurve->Ok()) {
            QJsonArray coefficients;
            for (double c : ch.LightCurve->Coefficients)
                coefficients.append(c);
            o[QStringLiteral("lightCurve")] = QJsonObject{{"model", LightCurveModelName(ch.LightCurve->Model)},
                                                          {"points", ch.LightCurve->Points},
                                                          {"coefficients", coefficients}};
        }
        channels.append(o);
    }
    return {{"channels", channels}};
}

} // namespace tessel
