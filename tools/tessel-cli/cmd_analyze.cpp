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
#include <memory>

namespace tessel::cli {
namespace {

// Six digits for reading.
QString g6(std::optional<double> v) { return v ? QString::number(*v, 'g', 6) : QStringLiteral("-"); }

QString deviceName(uint8_t d) { return d < kDeviceCount ? QString::fromLatin1(DeviceInfo(TDevice(d)).name) : "?"; }

// One analysed experiment file.
struct TAnalysedFile {
    QString Path;
    std::unique_ptr<TExperimentModel> Model;
    std::vector<TRecordAnalysis> All; // by record: newest first
    // Measurement n (1 = the oldest) and its analysis.
    int Count() const { return int(All.size()); }
    const TMeasurementRecord &Record(int n) const { return Model->Record(RecordOfMeasurement(*Model, n)); }
    const TRecordAnalysis &Analysis(int n) const { return All[size_t(RecordOfMeasurement(*Model, n) - 1)]; }
};

// Every file's measurements in one table.
void printCsv(CliIO &io, const std::vector<TAnalysedFile> &files) {
    std::vector<TAnalysedExperiment> table;
    for (const TAnalysedFile &f : files)
        table.push_back({f.Path, f.Model.get(), f.All});
    io.out << AnalysisCsv(table);
}

void printText(CliIO &io, const TAnalysedFile &file, bool named) {
    if (named)
        io.out << "File " << file.Path << '\n';
    for (int n = 1; n <= file.Count(); ++n) {
        const TMeasurementRecord &rec = file.Record(n);
        const TRecordAnalysis &a = file.Analysis(n);
        io.out << "Measurement " << n << " (" << deviceName(rec.DeviceType) << ")";
        if (QString t = IsoDateTimeText(rec.Time); !t.isEmpty())
            io.out << ", " << t.replace(u'T', u' ');
        io.out << '\n';
        if (const QString meta = MetadataText(rec); !meta.isEmpty())
            io.out << "  " << meta << '\n';
        if (!a.Problem.isEmpty()) {
            io.out << "  " << a.Problem << '\n';
            continue;
        }
        if (!a.HasMarks()) {
            io.out << "  No marked samples\n";
            continue;
        }
        for (size_t c = 0; c < 2; ++c) {
            const TChannelAnalysis &ch = a.Channels[c];
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
            if (!ch.Steps.empty())
                io.out << "    Values from " << HeadlineFrom(ch) << '\n';
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
                io.out << "    Flashes: time, PAR, Fs, Fm'";
                for (int p = 0; p < kParameterCount; ++p)
                    io.out << ", " << ParameterName(p);
                io.out << '\n';
                for (const TStepParameters &s : ch.Steps) {
                    io.out << "      " << g6(s.Time) << ", " << g6(s.Par) << ", " << g6(s.Inputs.Fs) << ", "
                           << g6(s.Dark ? s.Inputs.FmPP : s.Inputs.FmP);
                    for (const TValue &v : s.Values)
                        io.out << ", " << g6(v.Value);
                    io.out << (s.Dark ? "  (dark)" : "") << '\n';
                }
            }
        }
    }
}

QJsonObject fileJson(const TAnalysedFile &file) {
    QJsonArray list;
    for (int n = 1; n <= file.Count(); ++n) {
        const TMeasurementRecord &rec = file.Record(n);
        const TRecordAnalysis &a = file.Analysis(n);
        QJsonObject o = AnalysisJson(a);
        // Each channel says which flash its headline values come from.
        QJsonArray channels = o.value(QStringLiteral("channels")).toArray();
        for (qsizetype i = 0; i < channels.size(); ++i) {
            QJsonObject ch = channels[i].toObject();
            const int c = ch.value(QStringLiteral("channel")).toString() == QLatin1String("B") ? 1 : 0;
            ch[QStringLiteral("from")] = HeadlineFrom(a.Channels[size_t(c)]);
            channels[i] = ch;
        }
        if (o.contains(QStringLiteral("channels")))
            o[QStringLiteral("channels")] = channels;
        QJsonObject meta;
        for (const auto &[key, value] : Metadata(rec))
            meta[key] = value;
        o[QStringLiteral("file")] = file.Path;
        o[QStringLiteral("measurement")] = n;
        o[QStringLiteral("time")] = IsoDateTimeText(rec.Time);
        o[QStringLiteral("metadata")] = meta;
        o[QStringLiteral("device")] = deviceName(rec.DeviceType);
        list.append(o);
    }
    return {{"file", file.Path}, {"measurements", list}};
}

int run(const QStringList &args, CliIO &io) {
    QCommandLineParser p;
    p.setApplicationDescription(QStringLiteral("The fluorescence parameters (Fv/Fm, PhiPSII, NPQ, qP, qN, qL, ETR, "
                                               "PhiNPQ, PhiNO, qE, qI, the JIP-test) and the light-curve fit of "
                                               "every measurement of one or more experiments, from the samples "
                                               "their protocols mark. Measurements are numbered from the oldest "
                                               "(1), as in tessel-cli info."));
    p.addPositionalArgument(QStringLiteral("FILE"), QStringLiteral("Experiment files (.exp)."),
                            QStringLiteral("FILE..."));
    p.addOption({QStringLiteral("csv"), QStringLiteral("Comma-separated values, one row per measurement and "
                                                       "channel and one per flash of a series, every file in one "
                                                       "table.")});
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
    if (pos.isEmpty() || (p.isSet(QStringLiteral("csv")) && p.isSet(QStringLiteral("json")))) {
        io.err << "tessel-cli analyze: give one or more experiment files and at most one of --json, --csv\n\n"
               << Help(p);
        return kExitUsage;
    }
    const QString ini = p.isSet(QStringLiteral("ini")) ? p.value(QStringLiteral("ini")) : AppPaths::iniPath();
    if (p.isSet(QStringLiteral("ini")) && !QFileInfo(ini).isFile()) {
        io.err << "tessel-cli analyze: no such file '" << ini << "'\n";
        return kExitFailed;
    }
    std::vector<TAnalysedFile> files;
    bool unreadable = false;
    for (const QString &path : pos) {
        TAnalysedFile f{path, std::make_unique<TExperimentModel>(), {}};
        if (LoadExperiment(*f.Model, path, io))
            files.push_back(std::move(f));
        else
            unreadable = true;
    }
    if (files.empty())
        return kExitFailed;
    TCommandCompilerLibrary library;
    if (!library.Ensure())
        return kExitFailed;
    // One analyser for all files: a protocol measured again and again is
    // compiled once.
    TMeasurementAnalyser analyser(ini, p.value(QStringLiteral("include")));
    analyser.SetLightCurveModel(fit);
    for (TAnalysedFile &f : files)
        f.All = analyser.AnalyseAll(*f.Model);
    if (p.isSet(QStringLiteral("json"))) {
        QJsonArray list;
        for (const TAnalysedFile &f : files) {
            const QJsonObject o = fileJson(f);
            for (const QJsonValue &m : o.value(QStringLiteral("measurements")).toArray())
                list.append(m);
        }
        QJsonObject doc{{"measurements", list}};
        if (pos.size() == 1)
            doc["file"] = pos.first();
        PrintJson(io, QJsonDocument(doc));
    } else if (p.isSet(QStringLiteral("csv"))) {
        printCsv(io, files);
    } else {
        for (const TAnalysedFile &f : files)
            printText(io, f, pos.size() > 1);
    }
    return unreadable ? kExitFailed : kExitOk;
}

const Registrar reg({QStringLiteral("analyze"), QStringLiteral("Fluorescence parameters of an experiment"), run});

} // namespace
} // namespace tessel::cli
