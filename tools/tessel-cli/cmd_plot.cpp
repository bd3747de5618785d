// tessel-cli plot: the experiment's graph (or its A/B chart) as a PNG, SVG
// or PDF picture, drawn by the graph's own painter as the window shows it.
#include "Cli.h"
#include "ExperimentGraph.h"

#include "graph/GraphFigure.h"
#include "graph/GraphPainter.h"

#include <QGuiApplication>
#include <QJsonObject>
#include <QRegularExpression>
#include <set>

namespace tessel::cli {
namespace {

int usage(CliIO &io, const QString &text, const QCommandLineParser &p) {
    io.err << "tessel-cli plot: " << text << "\n\n" << Help(p);
    return kExitUsage;
}

// "all", "visible", or a comma-separated list of measurement numbers (1 is
// the oldest, as everywhere in tessel-cli), each with an optional channel
// ("2B"), ranges "2-4" and exact captions. Returns the chosen sets, or
// nothing with the offending item in bad.
std::optional<std::set<const TDependency *>> chooseSets(const TGraphModel &g, const TExperimentModel &m,
                                                        const QString &list, QString &bad) {
    std::set<const TDependency *> chosen;
    const int n = g.DependencyCount();
    if (list == QLatin1String("all") || list == QLatin1String("visible")) {
        for (int i = 0; i < n; ++i)
            if (list == QLatin1String("all") || g.Dependency(i)->Visible)
                chosen.insert(g.Dependency(i));
        return chosen;
    }
    static const QRegularExpression range(QStringLiteral("^(\\d+)(?:-(\\d+))?([AB]?)$"));
    for (const QString &raw : list.split(u',')) {
        const QString item = raw.trimmed();
        const QRegularExpressionMatch match = range.match(item);
        if (match.hasMatch()) {
            const int from = match.captured(1).toInt();
            const int to = match.captured(2).isEmpty() ? from : match.captured(2).toInt();
            if (from < 1 || to >= m.RecordCount() || from > to) {
                bad = item;
                return std::nullopt;
            }
            for (int i = 0; i < n; ++i) {
                const TDependency *d = g.Dependency(i);
                const int record = m.IndexOf(d);
                if (record < 1)
                    continue;
                const int number = MeasurementNumber(m, record);
                const bool isA = m.Record(record).A.Set.get() == d;
                if (number >= from && number <= to &&
                    (match.captured(3).isEmpty() || match.captured(3) == QLatin1String(isA ? "A" : "B")))
                    chosen.insert(d);
            }
            continue;
        }
        int found = -1;
        for (int i = 0; i < n && found < 0; ++i)
            if (g.Dependency(i)->Caption == item)
                found = i;
        if (found < 0) {
            bad = item;
            return std::nullopt;
        }
        chosen.insert(g.Dependency(found));
    }
    return chosen;
}

int run(const QStringList &args, CliIO &io) {
    QCommandLineParser p;
    p.setApplicationDescription(
        QStringLiteral("Draw an experiment's graph into a PNG, SVG or PDF picture, as the window shows it."));
    p.addPositionalArgument(QStringLiteral("FILE"), QStringLiteral("Experiment file (.exp)."));
    p.addOption({QStringLiteral("out"), QStringLiteral("Picture to write: FILE.png, FILE.svg or FILE.pdf."),
                 QStringLiteral("OUT")});
    p.addOption({QStringLiteral("size"), QStringLiteral("Width and height in pixels (default 800x600)."),
                 QStringLiteral("WxH")});
    p.addOption({QStringLiteral("sets"),
                 QStringLiteral("Data sets to draw: visible (default, as saved), all, or a comma-separated list "
                                "of measurement numbers (1 is the oldest) with an optional channel (2B), ranges "
                                "like 2-4, or captions."),
                 QStringLiteral("LIST")});
    p.addOption({QStringLiteral("ab"), QStringLiteral("Draw the A/B chart (channel B against channel A).")});
    AddJsonOption(p);
    if (int rc = ParseArgs(p, QStringLiteral("plot"), args, io); rc != kContinue)
        return rc;
    const QStringList pos = p.positionalArguments();
    if (pos.size() != 1)
        return usage(io, QStringLiteral("give exactly one experiment file"), p);
    const QString out = p.value(QStringLiteral("out"));
    if (out.isEmpty())
        return usage(io, QStringLiteral("give the picture file with --out"), p);
    if (!FigureFormatOf(out))
        return usage(io, QStringLiteral("the picture's name must end in .png, .svg or .pdf"), p);
    QSize size(800, 600);
    if (p.isSet(QStringLiteral("size"))) {
        static const QRegularExpression wxh(QStringLiteral("^(\\d{1,5})[xX](\\d{1,5})$"));
        const QRegularExpressionMatch m = wxh.match(p.value(QStringLiteral("size")));
        size = m.hasMatch() ? QSize(m.captured(1).toInt(), m.captured(2).toInt()) : QSize();
        if (!ValidFigureSize(size))
            return usage(io, QStringLiteral("--size wants WxH with each side from %1 to %2")
                                 .arg(kMinFigureSide)
                                 .arg(kMaxFigureSide),
                         p);
    }

    TExperimentGraph e;
    if (!e.Load(pos.first()))
        return kExitFailed;
    QString bad;
    const auto chosen = chooseSets(
        e.Graph, e.Doc->Model,
        p.value(QStringLiteral("sets")).isEmpty() ? QStringLiteral("visible") : p.value(QStringLiteral("sets")), bad);
    if (!chosen)
        return usage(io, QStringLiteral("--sets: no data set '%1'").arg(bad), p);
    // The picture shows the chosen sets, scaled to them; the A/B series
    // follow their channel A.
    for (int i = 0; i < e.Graph.DependencyCount(); ++i) {
        TDependency *d = e.Graph.Dependency(i);
        d->Visible = chosen->count(d) > 0;
        e.Doc->DataSetChanged(d);
    }
    e.Graph.AutoScaleXY();
    e.Doc->ScaleAB();

    TGraphModel &g = p.isSet(QStringLiteral("ab")) ? e.AB : e.Graph;
    if (!WriteFigure(out, size, QGuiApplication::font(),
                     [&g](QPainter &pa, const QRect &r) { RenderGraph(pa, g, r); }, g.Caption))
        return kExitFailed;
    const int shown = int(chosen->size());
    if (p.isSet(QStringLiteral("json")))
        PrintJson(io, QJsonDocument(QJsonObject{{"File", out},
                                                {"Width", size.width()},
                                                {"Height", size.height()},
                                                {"DataSets", shown},
                                                {"Chart", p.isSet(QStringLiteral("ab")) ? "ab" : "graph"}}));
    else
        io.out << "Drew " << shown << (shown == 1 ? " data set" : " data sets") << " into " << out << '\n';
    return kExitOk;
}

const Registrar reg({QStringLiteral("plot"), QStringLiteral("Draw an experiment's graph into a picture"), run, true});

} // namespace
} // namespace tessel::cli
