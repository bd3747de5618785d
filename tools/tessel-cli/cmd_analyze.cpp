// tessel-cli analyze: the fluorescence parameters of every measurement of an
// experiment, from the samples its protocol marks.
#include "Cli.h"

#include "app/MeasurementAnalysis.h"
#include "common/AppPaths.h"
#include "common/NumberText.h"
#include "data/ExperimentFile.h"
#include "data/FileOp.h"

#include <QFileInfo>
#include <QJsonArray>
#include <QJsonObject>

namespace tessel::cli {
namespace {

// Full precision for files, six digits for reading.
QString num(std::optional<double> v) {
    return v ? FormatShortest(*v) : QString();
}
QString g6(std::optional<double> v) {
    return v ? QString::number(*v, 'g', 6) : QStringLiteral("-");
}

QString deviceName(uint8_t d) {
    return d < kDeviceCount ? QString::fromLatin1(DeviceInfo(TDevice(d)).name) : "?";
}

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

const QString kGroupColumns[] = {kMarkFo, kMarkFm, kMarkFs, kMarkFmP, kMarkFoP, kMarkFmPP};

std::optional<double> level(const TGroupValues &v, const QString &name) {
    return name == kMarkFo    ? v.Fo
           : name == kMarkFm  ? v.Fm
           : name == kMarkFs  ? v.Fs
           : name == kMarkFmP ? v.FmP
           : name == kMarkFoP ? v.FoP
                              : v.FmPP;
}

// One row per measurement and channel, then one per flash of a series.
void printCsv(CliIO &io, const std::vector<TRecordAnalysis> &all) {
    QStringList head{"measurement", "channel", "step", "time"};
    for (const QString &g : kGroupColumns)
        head << g;
    head << "PAR";
    for (int p = 0; p < kParameterCount; ++p)
        head << ParameterName(p);
    for (int p = 0; p < kParameterCount; ++p)
        if (HasStandardError(p))
            head << "SE " + ParameterName(p);
    QStringList rows{head.join(QLatin1Char(','))};
    for (size_t r = 0; r < all.size(); ++r)
        for (size_t c = 0; c < 2; ++c) {
            const TChannelAnalysis &ch = all[r].Channels[c];
            if (ch.Groups.empty())
                continue;
            auto row = [&](const QString &step, const QString &time, const TGroupValues *levels,
                           std::optional<double> par, const TParameters &values) {
                QStringList f{QString::number(r + 1), c == 0 ? "A" : "B", step, time};
                for (const QString &g : kGroupColumns) {
                    QString cell;
                    if (levels)
                        cell = num(level(*levels, g));
                    else
                        for (const TGroupStats &s : ch.Groups)
                            if (s.Name == g)
                                cell = num(s.Mean);
                    f << cell;
                }
                f << num(par);
                for (const TValue &v : values)
                    f << num(v.Value);
                for (int p = 0; p < kParameterCount; ++p)
                    if (HasStandardError(p))
                        f << num(values[size_t(p)].SE);
                for (QString &x : f)
                    x = csvField(x);
                rows << f.join(QLatin1Char(','));
            };
            row({}, {}, nullptr, ch.Par, ch.Values);
            for (size_t s = 0; s < ch.Steps.size(); ++s)
                row(QString::number(s + 1), FormatShortest(ch.Steps[s].Time), &ch.Steps[s].Inputs, ch.Steps[s].Par,
                    ch.Steps[s].Values);
        }
    io.out << rows.join(QLatin1String("\r\n")) << "\r\n";
}

void printText(CliIO &io, const TExperimentModel &m, const std::vector<TRecordAnalysis> &all) {
    for (size_t r = 0; r < all.size(); ++r) {
        const TMeasurementRecord &rec = m.Record(int(r) + 1);
        io.out << "Measurement " << r + 1 << " (" << deviceName(rec.DeviceType) << ")\n";
        if (!all[r].Problem.isEmpty()) {
            io.out << "  " << all[r].Problem << '\n';
            continue;
        }
        if (!all[r].HasMarks()) {
            io.out << "  No marked samples\n";
            continue;
        }
        for (size_t c = 0; c < 2; ++c) {
            const TChannelAnalysis &ch = all[r].Channels[c];
            if (ch.Groups.empty() && ch.Problem.isEmpty())
                continue;
            io.out << "  Channel " << (c == 0 ? 'A' : 'B') << '\n';
            if (!ch.Problem.isEmpty()) {
                io.out << "    " << ch.Problem << '\n';
                continue;
            }
            for (const TGroupStats &g : ch.Groups)
                io.out << "    " << qSetFieldWidth(8) << Qt::left << g.Name << qSetFieldWidth(0) << "mean "
                       << g6(g.Mean) << "  sd " << g6(g.SD) << "  n " << g.Count << '\n';
            if (ch.Par)
                io.out << "    PAR     " << g6(ch.Par) << '\n';
            for (int p = 0; p < kParameterCount; ++p) {
                const TValue &v = ch.Values[size_t(p)];
                io.out << "    " << qSetFieldWidth(8) << Qt::left << ParameterName(p) << qSetFieldWidth(0)
                       << (v.Value ? g6(v.Value) : QStringLiteral("- (%1)").arg(v.Reason))
                       << (v.SE ? QStringLiteral("  SE %1").arg(g6(v.SE)) : QString()) << '\n';
            }
            if (ch.LightCurve && ch.LightCurve->Ok())
                io.out << "    Light curve fitted with the " << LightCurveModelName(ch.LightCurve->Model)
                       << " model to " << ch.LightCurve->Points << " flashes\n";
            if (!ch.Steps.empty()) {
                io.out << "    Flashes: time, PAR, Fs, Fm', PhiPSII, NPQ, qP, ETR\n";
                for (const TStepParameters &s : ch.Steps)
                    io.out << "      " << g6(s.Time) << ", " << g6(s.Par) << ", " << g6(s.Inputs.Fs) << ", "
                           << g6(s.Dark ? s.Inputs.FmPP : s.Inputs.FmP) << ", " << g6(s.Values[prPhiPSII].Value) << ", "
                           << g6(s.Values[prNPQ].Value) << ", " << g6(s.Values[prQP].Value) << ", "
                           << g6(s.Values[prETR].Value) << (s.Dark ? "  (dark)" : "") << '\n';
            }
        }
    }
}

int run(const QStringList &args, CliIO &io) {
    QCommandLineParser p;
    p.setApplicationDescription(QStringLiteral("The fluorescence parameters (Fv/Fm, PhiPSII, NPQ, qP, qN, qL, ETR, "
                                               "PhiNPQ, PhiNO, qE, qI) and the light-curve fit "
                                               "of every measurement of an experiment, from the samples its "
                                               "protocol marks. Measurements are numbered newest first."));
    p.addPositionalArgument(QStringLiteral("FILE"), QStringLiteral("Experiment file (.exp)."));
    p.addOption({QStringLiteral("csv"), QStringLiteral("Comma-separated values, one row per measurement and "
                                                       "channel and one per flash of a series.")});
    p.addOption({QStringLiteral("ini"), QStringLiteral("Ini file (default: Tessel.ini beside the program)."),
                 QStringLiteral("PATH")});
    p.addOption({QStringLiteral("include"),
                 QStringLiteral("Include folder (default: the configured one); the type's folder below it is used."),
                 QStringLiteral("DIR")});
    p.addOption({QStringLiteral("fit"),
                 QStringLiteral("Light-curve model: Platt, EilersPeeters or JassbyPlatt (default: Tessel.ini "
                                "[Analysis] LightCurveModel, else Platt)."),
                 QStringLiteral("MODEL")});
    AddJsonOption(p);
    if (int rc = ParseArgs(p, QStringLiteral("analyze"), args, io); rc != kContinue)
        return rc;
    const std::optional<TLightCurveModel> fit =
        p.isSet(QStringLiteral("fit")) ? LightCurveModelFromName(p.value(QStringLiteral("fit"))) : std::nullopt;
    if (p.isSet(QStringLiteral("fit")) && !fit) {
        io.err << "tessel-cli analyze: unknown light-curve model '" << p.value(QStringLiteral("fit"))
               << "' (Platt, EilersPeeters, JassbyPlatt)\n";
        return kExitUsage;
    }
    const QStringList pos = p.positionalArguments();
    if (pos.size() != 1 || (p.isSet(QStringLiteral("csv")) && p.isSet(QStringLiteral("json")))) {
        io.err << "tessel-cli analyze: give exactly one experiment file and at most one of --json, --csv\n\n"
               << p.helpText();
        return kExitUsage;
    }
    const QString ini = p.isSet(QStringLiteral("ini")) ? p.value(QStringLiteral("ini")) : AppPaths::iniPath();
    if (p.isSet(QStringLiteral("ini")) && !QFileInfo(ini).isFile()) {
        io.err << "tessel-cli analyze: no such file '" << ini << "'\n";
        return kExitFailed;
    }
    TExperimentModel model;
    TFileOp file;
    if (!LoadExperimentFile(model, pos.first(), &file))
        return kExitFailed;
    TCommandCompilerLibrary library;
    if (!library.Ensure())
        return kExitFailed;

    TMeasurementAnalyser analyser(ini, p.value(QStringLiteral("include")));
    analyser.SetLightCurveModel(fit);
    const std::vector<TRecordAnalysis> all = analyser.AnalyseAll(model);
    if (p.isSet(QStringLiteral("json"))) {
        QJsonArray list;
        for (size_t r = 0; r < all.size(); ++r) {
            QJsonObject o = AnalysisJson(all[r]);
            o[QStringLiteral("measurement")] = int(r + 1);
            o[QStringLiteral("device")] = deviceName(model.Record(int(r) + 1).DeviceType);
            list.append(o);
        }
        PrintJson(io, QJsonDocument(QJsonObject{{"file", pos.first()}, {"measurements", list}}));
    } else if (p.isSet(QStringLiteral("csv"))) {
        printCsv(io, all);
    } else {
        printText(io, model, all);
    }
    return kExitOk;
}

const Registrar reg({QStringLiteral("analyze"), QStringLiteral("Fluorescence parameters of an experiment"), run});

} // namespace
} // namespace tessel::cli
