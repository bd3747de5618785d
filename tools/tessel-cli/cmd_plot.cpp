// tessel-cli plot: the experiment's graph (or its A/B chart) as a PNG, SVG
// or PDF picture, drawn by the graph's own painter as the window shows it.
#include "Cli.h"
#include "ExperimentGraph.h"

#include "app/MeasurementAnalysis.h"
#include "graph/GraphFigure.h"
#include "graph/GraphPainter.h"

#include <QGuiApplication>
#include <QJsonObject>
#include <QRegularExpression>
#include <deque>
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

// A figure of the analysis (ETR against PAR, a parameter across the
// measurements) on linear axes, its data sets held here.
struct TAnalysisFigure {
    struct Curve {
        TDoubleVector X, Y;
        TDependency Set{&X, &Y};
    };
    std::deque<Curve> Curves;
    TLinAxisTr X, Y;
    TGraphModel Graph;
    TAnalysisFigure() {
        Graph.SetXAxis(&X);
        Graph.SetYAxis(&Y);
        Graph.Options = grDrawGrid;
    }
    void Add(const QString &caption, TColor color, const std::vector<QPointF> &points, bool line) {
        Curve &c = Curves.emplace_back();
        c.Set.Caption = caption;
        c.Set.Color = color;
        c.Set.DrawStyle = line ? dsAvg : dsPoint;
        c.Set.PointStyle = line ? ptDot : ptCircle;
        c.X.SetCount(int32_t(points.size()));
        c.Y.SetCount(int32_t(points.size()));
        for (int32_t i = 0; i < int32_t(points.size()); ++i) {
            c.X.SetItem(i, points[size_t(i)].x());
            c.Y.SetItem(i, points[size_t(i)].y());
        }
        Graph.AddDependency(&c.Set);
    }
};

// ETR against PAR of each light curve with its fitted curve; false when the
// experiment holds none.
bool etrFigure(TAnalysisFigure &f, const TExperimentModel &m, const std::vector<TRecordAnalysis> &all) {
    for (const TEtrCurve &e : EtrCurves(m, all)) {
        f.Add(e.Caption, e.Color, e.Points, false);
        if (!e.Fit.empty())
            f.Add(QStringLiteral("%1 (%2 fit)").arg(e.Caption, e.Model), e.Color, e.Fit, true);
    }
    f.Graph.Caption = QStringLiteral("ETR against PAR");
    TitleEtrGraph(f.Graph);
    return f.Graph.DependencyCount() > 0;
}

// One parameter of every measurement, one series per channel. Where
// measurements share a title (or a metadata value) each group is one point
// at its mean with an error bar of one SD, x counting the groups; otherwise
// x counts the measurements from the oldest.
bool parameterFigure(TAnalysisFigure &f, int parameter, const TExperimentModel &m,
                     const std::vector<TRecordAnalysis> &all, const QString &byKey) {
    std::array<std::vector<TParameterGroup>, 2> groups;
    bool repeats = false;
    for (int c = 0; c < 2; ++c) {
        groups[size_t(c)] = GroupParameter(m, all, parameter, c, byKey);
        for (const TParameterGroup &g : groups[size_t(c)])
            repeats = repeats || g.Values.size() > 1;
    }
    const QString name = ParameterName(parameter);
    const TColor colors[2] = {0x0000FF, 0xFF0000};
    const char *const channels[2] = {"A", "B"};
    if (repeats) {
        // Each group a data set of its own, so that the legend names it.
        const bool both = !groups[0].empty() && !groups[1].empty();
        int number = 0;
        for (int c = 0; c < 2; ++c)
            for (size_t k = 0; k < groups[size_t(c)].size(); ++k) {
                const TParameterGroup &g = groups[size_t(c)][k];
                const QString key = g.Key.isEmpty() ? QStringLiteral("(no name)") : g.Key;
                // Numbered as x counts them.
                const QString spread = g.Values.size() > 1 ? QStringLiteral(" ± ") + FormatDigits(g.SD, 2) : QString();
                f.Add(QStringLiteral("%1. %2%3: %4%5 (n = %6)")
                          .arg(QString::number(k + 1), key,
                               both ? QStringLiteral(", %1").arg(QLatin1String(channels[c])) : QString(),
                               FormatDigits(g.Mean, 4), spread, QString::number(g.Values.size())),
                      kMeasurementPalette[size_t(++number) % kMeasurementPalette.size()],
                      {QPointF(double(k + 1) + (both ? (c == 0 ? -0.1 : 0.1) : 0), g.Mean)}, false);
                f.Curves.back().Set.PointStyle = c == 0 ? ptCircle : ptSquare;
                f.Curves.back().Set.PointSize = 8;
                f.Curves.back().Set.Brush = {f.Curves.back().Set.Color, bsSolid};
                if (g.Values.size() > 1)
                    f.Graph.SetErrorBars(&f.Curves.back().Set, {g.SD});
            }
        f.Graph.Caption = QStringLiteral("%1 by group (mean ± SD)").arg(name);
        f.Graph.XTitle = {byKey.isEmpty() ? QStringLiteral("Sample") : byKey, {}};
    } else {
        for (size_t c = 0; c < 2; ++c) {
            std::vector<QPointF> points;
            for (size_t r = 0; r < all.size(); ++r)
                if (const TValue &v = all[r].Channels[c].Values[size_t(parameter)]; all[r].Problem.isEmpty() && v.Value)
                    points.emplace_back(double(all.size() - r), *v.Value);
            std::reverse(points.begin(), points.end());
            if (!points.empty())
                f.Add(QStringLiteral("%1, channel %2").arg(name, QLatin1String(channels[c])), colors[c], points, false);
        }
        f.Graph.Caption = QStringLiteral("%1 of each measurement").arg(name);
        f.Graph.XTitle = {QStringLiteral("Measurement"), {}};
    }
    f.Graph.YTitle = {name, ParameterUnit(parameter)};
    f.Graph.ShowLegend = true;
    return f.Graph.DependencyCount() > 0;
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
    p.addOption(
        {QStringLiteral("etr"), QStringLiteral("Draw ETR against PAR of every light curve with its fitted curve.")});
    p.addOption({QStringLiteral("parameters"),
                 QStringLiteral("Draw a parameter (Fv/Fm, PhiPSII, NPQ, ... as tessel-cli analyze names them) of "
                                "every measurement, oldest first."),
                 QStringLiteral("NAME")});
    p.addOption({QStringLiteral("group-by"),
                 QStringLiteral("For --parameters: measurements with one title (default) or one value of the "
                                "metadata KEY are repeats of a sample, drawn as mean ± SD."),
                 QStringLiteral("KEY")});
    p.addOption({QStringLiteral("fit"),
                 QStringLiteral("Light-curve model for --etr: Platt, EilersPeeters or JassbyPlatt."),
                 QStringLiteral("MODEL")});
    p.addOption({QStringLiteral("ini"),
                 QStringLiteral("Ini file the analysis reads for --etr and --parameters (default: Tessel.ini "
                                "beside the program)."),
                 QStringLiteral("PATH")});
    p.addOption({QStringLiteral("include"),
                 QStringLiteral("Include folder for the analysis (default: the configured one)."),
                 QStringLiteral("DIR")});
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
            return usage(
                io,
                QStringLiteral("--size wants WxH with each side from %1 to %2").arg(kMinFigureSide).arg(kMaxFigureSide),
                p);
    }

    const int figures = int(p.isSet(QStringLiteral("ab"))) + int(p.isSet(QStringLiteral("etr"))) +
                        int(p.isSet(QStringLiteral("parameters")));
    if (figures > 1)
        return usage(io, QStringLiteral("give at most one of --ab, --etr, --parameters"), p);
    int parameter = -1;
    if (p.isSet(QStringLiteral("parameters"))) {
        for (int k = 0; k < kParameterCount && parameter < 0; ++k)
            if (ParameterName(k).compare(p.value(QStringLiteral("parameters")), Qt::CaseInsensitive) == 0)
                parameter = k;
        if (parameter < 0)
            return usage(
                io, QStringLiteral("--parameters: no parameter '%1'").arg(p.value(QStringLiteral("parameters"))), p);
    }
    const std::optional<TLightCurveModel> fit = LightCurveModelFromName(p.value(QStringLiteral("fit")));
    if (p.isSet(QStringLiteral("fit")) && !fit)
        return usage(io, QStringLiteral("--fit: no light-curve model '%1'").arg(p.value(QStringLiteral("fit"))), p);

    TExperimentGraph e;
    if (!e.Load(pos.first()))
        return kExitFailed;
    if (p.isSet(QStringLiteral("etr")) || parameter >= 0) {
        TCommandCompilerLibrary library;
        if (!library.Ensure())
            return kExitFailed;
        TMeasurementAnalyser analyser(p.isSet(QStringLiteral("ini")) ? p.value(QStringLiteral("ini"))
                                                                     : AppPaths::iniPath(),
                                      p.value(QStringLiteral("include")));
        analyser.SetLightCurveModel(fit);
        const std::vector<TRecordAnalysis> all = analyser.AnalyseAll(e.Doc->Model);
        TAnalysisFigure f;
        if (!(parameter >= 0 ? parameterFigure(f, parameter, e.Doc->Model, all, p.value(QStringLiteral("group-by")))
                             : etrFigure(f, e.Doc->Model, all))) {
            io.err << "tessel-cli plot: "
                   << (parameter >= 0 ? QStringLiteral("no measurement has a value of %1").arg(ParameterName(parameter))
                                      : QStringLiteral("no light curve"))
                   << " in " << pos.first() << '\n';
            return kExitFailed;
        }
        f.Graph.AutoScaleXY();
        if (parameter >= 0) // half a step beside the first and last point
            f.X.SetRange(f.X.RangeMin() - 0.5, f.X.RangeMax() + 0.5);
        if (!WriteFigure(
                out, size, QGuiApplication::font(), [&f](QPainter &pa, const QRect &r) { RenderGraph(pa, f.Graph, r); },
                f.Graph.Caption))
            return kExitFailed;
        const int shown = f.Graph.DependencyCount();
        if (p.isSet(QStringLiteral("json")))
            PrintJson(io, QJsonDocument(QJsonObject{{"File", out},
                                                    {"Width", size.width()},
                                                    {"Height", size.height()},
                                                    {"DataSets", shown},
                                                    {"Chart", parameter >= 0 ? "parameters" : "etr"}}));
        else
            io.out << "Drew " << shown << (shown == 1 ? " data set" : " data sets") << " into " << out << '\n';
        return kExitOk;
    }
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
    if (!WriteFigure(
            out, size, QGuiApplication::font(), [&g](QPainter &pa, const QRect &r) { RenderGraph(pa, g, r); },
            g.Caption))
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
