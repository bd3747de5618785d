// tessel-cli print: the experiment printout of the program, written into a
// PDF file without a window: graph, optionally data table and notes, with the
// stored page setup's margins, header and footer.
#include "Cli.h"
#include "ExperimentGraph.h"

#include "app/ExperimentPrintout.h"
#include "graph/DataEditModel.h"
#include "graph/GraphPainter.h"
#include "output/PageSetup.h"

#include <QGuiApplication>
#include <QJsonObject>
#include <QPagedPaintDevice>

namespace tessel::cli {
namespace {

int usage(CliIO &io, const QString &text, const QCommandLineParser &p) {
    io.err << "tessel-cli print: " << text << "\n\n" << Help(p);
    return kExitUsage;
}

int run(const QStringList &args, CliIO &io) {
    QCommandLineParser p;
    p.setApplicationDescription(
        QStringLiteral("Print an experiment into a PDF file: its graph and, as chosen, the data table and the "
                       "notes, on pages with the stored page setup's margins, header and footer."));
    p.addPositionalArgument(QStringLiteral("FILE"), QStringLiteral("Experiment file (.exp)."));
    p.addOption({QStringLiteral("pdf"), QStringLiteral("PDF file to write."), QStringLiteral("OUT")});
    p.addOption({QStringLiteral("data"), QStringLiteral("Print the data table (as \"Print Data\").")});
    p.addOption({QStringLiteral("notes"), QStringLiteral("Print the description (as \"Print Notes\").")});
    p.addOption({QStringLiteral("table"),
                 QStringLiteral("What the data table lists: properties (the data sets' display properties) or "
                                "parameters (Fv/Fm, PhiPSII, NPQ ... of each measurement, as tessel-cli analyze "
                                "computes them). Default: the stored page setup's choice."),
                 QStringLiteral("WHAT")});
    p.addOption({QStringLiteral("ini"),
                 QStringLiteral("Ini file the analysis reads for --table parameters (default: Tessel.ini beside "
                                "the program)."),
                 QStringLiteral("PATH")});
    p.addOption({QStringLiteral("include"),
                 QStringLiteral("Include folder for the analysis (default: the configured one)."),
                 QStringLiteral("DIR")});
    p.addOption({QStringLiteral("header"),
                 QStringLiteral("Header template, e.g. \"&l &f &r &p\" (default: the stored page setup's)."),
                 QStringLiteral("T")});
    p.addOption({QStringLiteral("footer"), QStringLiteral("Footer template (default: the stored page setup's)."),
                 QStringLiteral("T")});
    AddJsonOption(p);
    if (int rc = ParseArgs(p, QStringLiteral("print"), args, io); rc != kContinue)
        return rc;
    const QStringList pos = p.positionalArguments();
    if (pos.size() != 1)
        return usage(io, QStringLiteral("give exactly one experiment file"), p);
    if (p.value(QStringLiteral("pdf")).isEmpty())
        return usage(io, QStringLiteral("give the PDF file with --pdf"), p);
    const QString table = p.value(QStringLiteral("table"));
    if (p.isSet(QStringLiteral("table")) && table != QLatin1String("properties") &&
        table != QLatin1String("parameters"))
        return usage(io, QStringLiteral("--table wants properties or parameters"), p);

    TExperimentGraph e;
    if (!e.Load(pos.first()))
        return kExitFailed;
    TExperimentDoc &doc = *e.Doc;
    TGraphModel &graph = e.Graph;
    TDataEditModel rows;
    rows.Graph = &graph;
    rows.RebuildRows();

    TPagePrinter prn;
    SetupExperimentPrinter(prn);
    TPageSetup setup = prn.PageSetup();
    LoadPageSetup(setup);
    prn.SetPageSetup(setup);
    if (p.isSet(QStringLiteral("header")))
        prn.SetFriendlyHeader(p.value(QStringLiteral("header")));
    if (p.isSet(QStringLiteral("footer")))
        prn.SetFriendlyFooter(p.value(QStringLiteral("footer")));

    if (p.isSet(QStringLiteral("table")))
        prn.SetDataTable(table == QLatin1String("parameters") ? ptParameters : ptProperties);

    TPrintChoices choices;
    choices.Parameters = prn.DataTable() == ptParameters;
    TCommandCompilerLibrary library;
    if (choices.Parameters && p.isSet(QStringLiteral("data")) && !library.Ensure())
        return kExitFailed;
    choices.AnalysisIni = p.isSet(QStringLiteral("ini")) ? p.value(QStringLiteral("ini")) : AppPaths::iniPath();
    choices.IncludeBase = p.value(QStringLiteral("include"));
    choices.Data = p.isSet(QStringLiteral("data"));
    choices.Notes = p.isSet(QStringLiteral("notes"));
    choices.Columns = e.Config.DePrnCol;
    choices.GraphFont = choices.TableFont = QGuiApplication::font();
    const TPrintout printout = ExperimentPrintout(
        doc, rows, PrintGraphDrawer(graph, [&graph](QPainter &pa, const QRect &r) { RenderGraph(pa, graph, r); }),
        choices);
    const QString out = p.value(QStringLiteral("pdf"));
    int pages = 0;
    try {
        pages = PrintToPdf(prn, out, [&](QPagedPaintDevice &d) { ComposePrintout(prn, d, printout); });
    } catch (const ETesselError &e) {
        io.err << "tessel-cli print: " << e.message() << '\n';
        return kExitFailed;
    }
    if (p.isSet(QStringLiteral("json")))
        PrintJson(io, QJsonDocument(QJsonObject{{"File", out}, {"Pages", pages}, {"Title", printout.Title}}));
    else
        io.out << "Wrote " << pages << (pages == 1 ? " page" : " pages") << " to " << out << '\n';
    return kExitOk;
}

const Registrar reg({QStringLiteral("print"), QStringLiteral("Print an experiment into a PDF file"), run, true});

} // namespace
} // namespace tessel::cli
