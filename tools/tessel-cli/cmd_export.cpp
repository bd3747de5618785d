// tessel-cli export: the data sets of an experiment as tab-separated text,
// CSV or JSON, with the choices of the export dialog.
#include "Cli.h"

#include "common/NumberText.h"
#include "data/ExperimentFile.h"
#include "output/DataExport.h"

#include <QJsonObject>

namespace tessel::cli {
namespace {

int usage(CliIO &io, const QString &text, const QCommandLineParser &p) {
    io.err << "tessel-cli export: " << text << "\n\n" << Help(p);
    return kExitUsage;
}

int run(const QStringList &args, CliIO &io) {
    QCommandLineParser p;
    p.setApplicationDescription(
        QStringLiteral("Export the data sets of an experiment as tab-separated text, CSV, JSON or a long CSV table."));
    p.addPositionalArgument(QStringLiteral("FILE"), QStringLiteral("Experiment file (.exp)."));
    p.addOption({QStringLiteral("out"), QStringLiteral("File to write."), QStringLiteral("OUT")});
    p.addOption({QStringLiteral("format"),
                 QStringLiteral("tsv (the text export), csv (one column per data set), json, or long (CSV, one "
                                "row per sample with its measurement, metadata and mark). Default: from the "
                                "ending of --out (.csv, .json, else tsv)."),
                 QStringLiteral("FORMAT")});
    p.addOption({QStringLiteral("delimiter"), QStringLiteral("CSV field delimiter: comma (default), semicolon or tab."),
                 QStringLiteral("D")});
    p.addOption({QStringLiteral("decimal"), QStringLiteral("CSV decimal separator: point (default) or comma."),
                 QStringLiteral("D")});
    p.addOption({QStringLiteral("sets"), QStringLiteral("Which data sets: all (default) or visible."),
                 QStringLiteral("WHICH")});
    p.addOption({QStringLiteral("data"),
                 QStringLiteral("Which data: all (default), graph (the graph's x range in --range-min and "
                                "--range-max) or cursors (the two cursors' x values in --range-min and "
                                "--range-max)."),
                 QStringLiteral("WHICH")});
    p.addOption({QStringLiteral("range-min"), QStringLiteral("Start of the graph's x range."), QStringLiteral("X")});
    p.addOption({QStringLiteral("range-max"), QStringLiteral("End of the graph's x range."), QStringLiteral("X")});
    p.addOption({QStringLiteral("no-header"), QStringLiteral("Leave out the header.")});
    p.addOption({QStringLiteral("locale"),
                 QStringLiteral("Locale of numbers and dates, e.g. de_DE (default: the user's)."),
                 QStringLiteral("NAME")});
    AddJsonOption(p);
    if (int rc = ParseArgs(p, QStringLiteral("export"), args, io); rc != kContinue)
        return rc;
    const QStringList pos = p.positionalArguments();
    if (pos.size() != 1)
        return usage(io, QStringLiteral("give exactly one experiment file"), p);
    if (!p.isSet(QStringLiteral("out")))
        return usage(io, QStringLiteral("give the output file with --out"), p);

    const std::optional<TExportFormat> format =
        p.isSet(QStringLiteral("format")) ? ExportFormatFromName(p.value(QStringLiteral("format")))
                                          : std::optional(ExportFormatFromPath(p.value(QStringLiteral("out"))));
    if (!format)
        return usage(io, QStringLiteral("unknown --format '%1'").arg(p.value(QStringLiteral("format"))), p);
    TCsvStyle csv;
    const QString delimiter = p.value(QStringLiteral("delimiter")), decimal = p.value(QStringLiteral("decimal"));
    if (delimiter == QLatin1String("semicolon"))
        csv.Delimiter = u';';
    else if (delimiter == QLatin1String("tab"))
        csv.Delimiter = u'\t';
    else if (!delimiter.isEmpty() && delimiter != QLatin1String("comma"))
        return usage(io, QStringLiteral("unknown --delimiter '%1'").arg(delimiter), p);
    if (decimal == QLatin1String("comma"))
        csv.Decimal = u',';
    else if (!decimal.isEmpty() && decimal != QLatin1String("point"))
        return usage(io, QStringLiteral("unknown --decimal '%1'").arg(decimal), p);

    TExportOptions opt;
    const QString sets = p.value(QStringLiteral("sets"));
    if (sets == QLatin1String("visible"))
        opt.Sets = TExportSets::Visible;
    else if (!sets.isEmpty() && sets != QLatin1String("all"))
        return usage(io, QStringLiteral("unknown --sets '%1'").arg(sets), p);
    const QString data = p.value(QStringLiteral("data"));
    if (data == QLatin1String("graph"))
        opt.Range = TExportRange::GraphVisible;
    else if (data == QLatin1String("cursors"))
        opt.Range = TExportRange::BetweenCursors;
    else if (!data.isEmpty() && data != QLatin1String("all"))
        return usage(io, QStringLiteral("unknown --data '%1'").arg(data), p);
    opt.IncludeHeader = !p.isSet(QStringLiteral("no-header"));

    double range[2] = {0, 0};
    if (opt.Range != TExportRange::All) {
        const char *names[2] = {"range-min", "range-max"};
        for (int i = 0; i < 2; ++i) {
            const std::optional<double> v = ParseFloat(p.value(QLatin1String(names[i])));
            if (!v)
                return usage(io, QStringLiteral("--data %1 needs a number for --%2").arg(data, names[i]), p);
            range[i] = *v;
        }
    }
    QLocale locale;
    if (p.isSet(QStringLiteral("locale"))) {
        locale = QLocale(p.value(QStringLiteral("locale")));
        if (locale == QLocale::c() && p.value(QStringLiteral("locale")) != QLatin1String("C"))
            return usage(io, QStringLiteral("unknown locale '%1'").arg(p.value(QStringLiteral("locale"))), p);
    }

    TExperimentModel model;
    TFileOp file;
    if (!LoadExperiment(model, pos.first(), io, &file))
        return kExitFailed;
    // The JSON export's parameters and the long table's marks need the
    // protocol language; without it the data are still written.
    TCommandCompilerLibrary library;
    if (*format == TExportFormat::Json || *format == TExportFormat::Long)
        library.Ensure();
    const std::unique_ptr<TDataExport> exp = MakeExport(*format, model, file.FileName, csv);
    exp->Options = opt;
    exp->RangeMin = range[0];
    exp->RangeMax = range[1];
    if (opt.Range == TExportRange::BetweenCursors)
        exp->Cursors = std::pair(range[0], range[1]);
    exp->Locale = locale;
    const QString out = p.value(QStringLiteral("out"));
    if (!exp->WriteFile(out))
        return kExitFailed;
    const auto &s = exp->Summary();
    if (p.isSet(QStringLiteral("json"))) {
        QJsonObject j{{"File", out}, {"DataSets", s.DataSets}, {"Rows", s.Rows}};
        if (s.Rows > 0) {
            j["StartTime"] = s.StartTime;
            j["EndTime"] = s.EndTime;
        }
        PrintJson(io, QJsonDocument(j));
    } else {
        io.out << "Wrote " << s.DataSets << " data sets, " << s.Rows << " rows to " << out << '\n';
    }
    return kExitOk;
}

const Registrar reg({QStringLiteral("export"), QStringLiteral("Export an experiment's data sets as text, CSV or JSON"),
                     run});

} // namespace
} // namespace tessel::cli
