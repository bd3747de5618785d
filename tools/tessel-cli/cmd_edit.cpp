// tessel-cli edit: drops a measurement of an experiment file or relabels it
// (its title, note and metadata); everything else of the file stays as it was.
#include "Cli.h"

#include "data/ExperimentFile.h"

#include <QJsonObject>

namespace tessel::cli {
namespace {

int usage(CliIO &io, const QString &text, const QCommandLineParser &p) {
    io.err << "tessel-cli edit: " << text << "\n\n" << Help(p);
    return kExitUsage;
}

int run(const QStringList &args, CliIO &io) {
    QCommandLineParser p;
    p.setApplicationDescription(QStringLiteral(
        "Drop a measurement of an experiment file, or relabel one: its title, note and KEY=VALUE metadata. "
        "Measurements are numbered from the oldest (1), as tessel-cli info lists them. The file is replaced "
        "only once the new one is completely written."));
    p.addPositionalArgument(QStringLiteral("FILE"), QStringLiteral("Experiment file (.exp)."));
    p.addOption({QStringLiteral("remove"), QStringLiteral("Drop measurement N."), QStringLiteral("N")});
    p.addOption({QStringLiteral("measurement"), QStringLiteral("The measurement to relabel."), QStringLiteral("N")});
    p.addOption({QStringLiteral("title"), QStringLiteral("Its new title (empty: none)."), QStringLiteral("TEXT")});
    p.addOption({QStringLiteral("note"), QStringLiteral("Its new note (empty: none)."), QStringLiteral("TEXT")});
    p.addOption({QStringLiteral("set"),
                 QStringLiteral("Set a metadata value (empty value: remove the key); "
                                "repeatable."),
                 QStringLiteral("KEY=VALUE")});
    AddJsonOption(p);
    if (int rc = ParseArgs(p, QStringLiteral("edit"), args, io); rc != kContinue)
        return rc;
    const QStringList pos = p.positionalArguments();
    if (pos.size() != 1)
        return usage(io, QStringLiteral("give exactly one experiment file"), p);
    const bool remove = p.isSet(QStringLiteral("remove"));
    const bool relabel =
        p.isSet(QStringLiteral("title")) || p.isSet(QStringLiteral("note")) || p.isSet(QStringLiteral("set"));
    if (remove == (relabel || p.isSet(QStringLiteral("measurement"))))
        return usage(io, QStringLiteral("give either --remove N or --measurement N with --title, --note or --set"), p);
    if (!remove && !relabel)
        return usage(io, QStringLiteral("--measurement needs --title, --note or --set"), p);
    if (!remove && !p.isSet(QStringLiteral("measurement")))
        return usage(io, QStringLiteral("--title, --note and --set need --measurement N"), p);
    bool numberOk = false;
    const int number = p.value(remove ? QStringLiteral("remove") : QStringLiteral("measurement")).toInt(&numberOk);
    if (!numberOk || number < 1)
        return usage(io, QStringLiteral("a measurement number is 1 or more"), p);
    TMetadata changes;
    if (p.isSet(QStringLiteral("title")))
        changes.emplace_back(kMetaTitle, p.value(QStringLiteral("title")));
    if (p.isSet(QStringLiteral("note")))
        changes.emplace_back(kMetaNote, p.value(QStringLiteral("note")));
    for (const QString &pair : p.values(QStringLiteral("set"))) {
        const qsizetype eq = pair.indexOf(u'=');
        if (eq <= 0 || !IsMetadataKey(pair.left(eq)))
            return usage(io,
                         QStringLiteral("--set needs KEY=VALUE with a key of letters, digits, '_', '-' or '.', "
                                        "not '%1'")
                             .arg(pair),
                         p);
        changes.emplace_back(pair.left(eq), pair.mid(eq + 1));
    }

    const QString path = pos.first();
    TExperimentModel model;
    if (!LoadExperiment(model, path, io))
        return kExitFailed;
    const int record = RecordOfMeasurement(model, number);
    if (record < 0) {
        io.err << "tessel-cli edit: " << path << " has no measurement " << number << " (it holds "
               << model.RecordCount() - 1 << ")\n";
        return kExitFailed;
    }
    if (remove) {
        model.RemoveRecord(record);
    } else {
        for (const auto &[key, value] : changes)
            SetMetadata(model.Record(record), key, value);
    }
    if (!SaveExperimentFile(model, path)) {
        io.err << "tessel-cli edit: cannot write '" << path << "'; it was left as it was\n";
        return kExitFailed;
    }
    const int left = model.RecordCount() - 1;
    if (p.isSet(QStringLiteral("json"))) {
        QJsonObject j{{"file", path}, {"measurements", left}};
        if (remove) {
            j["removed"] = number;
        } else {
            QJsonObject meta;
            for (const auto &[key, value] : Metadata(model.Record(record)))
                meta[key] = value;
            j["measurement"] = number;
            j["metadata"] = meta;
        }
        PrintJson(io, QJsonDocument(j));
    } else if (remove) {
        io.out << "Removed measurement " << number << "; " << path << " holds " << left
               << (left == 1 ? " measurement\n" : " measurements\n");
    } else {
        io.out << "Measurement " << number << ": " << MetadataText(model.Record(record)) << '\n';
    }
    return kExitOk;
}

const Registrar reg({QStringLiteral("edit"), QStringLiteral("Drop or relabel a measurement of an experiment file"),
                     run});

} // namespace
} // namespace tessel::cli
