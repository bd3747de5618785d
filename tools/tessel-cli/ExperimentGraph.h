#pragma once

// An experiment loaded as its window shows it, without the window: the
// graph on the experiment axes and bounds of Tessel.ini, and the A/B chart.
// Shared by the subcommands that draw (print, plot).
#include "app/ExperimentDoc.h"
#include "app/InstrumentConfig.h"
#include "common/AppPaths.h"
#include "common/MessageService.h"
#include "compiler/Compiler.h"
#include "graph/AxisTr.h"
#include "graph/GraphModel.h"
#include "settings/EnvSetup.h"

#include <memory>

namespace tessel::cli {

struct TExperimentGraph {
    TInstrumentConfig Config = ReadInstrumentConfig(AppPaths::iniPath(), QString());
    // The graphs outlive the document, which takes its data sets out of them.
    TLinAxisTr X, Y;
    TLogAxisTr LogX;
    TGraphModel Graph, AB;
    TCompiler Compiler;
    TEnvSetup Env;
    std::unique_ptr<TExperimentDoc> Doc;

    TExperimentGraph() {
        ApplyBounds(ReadGraphBounds(AppPaths::iniPath(), QStringLiteral("GraphBounds")), X, Y, LogX);
        for (TAxisTr *a : std::initializer_list<TAxisTr *>{&X, &Y})
            a->SetDefaultRange();
        Graph.SetXAxis(&X);
        Graph.SetYAxis(&Y);
        Graph.Options = grDrawGrid | grShowCursors;
        AB.Caption = QStringLiteral("Graph A/B");
        {
            // The editor's template is of no use here; its absence is no error.
            TKeptMessages quiet;
            ScopedMessageService scope(&quiet);
            Doc = std::make_unique<TExperimentDoc>(Compiler, Env, IncludeBaseDir(Config), ModelF, TChannelScaling{});
        }
        Doc->SetGraphs(&Graph, &AB);
        TitleExperimentGraphs(Graph, AB, Config.SignalUnit);
    }
    ~TExperimentGraph() { Doc.reset(); }
    TExperimentGraph(const TExperimentGraph &) = delete;
    TExperimentGraph &operator=(const TExperimentGraph &) = delete;

    // False (the reason told, with the file's name) when the file cannot be read.
    bool Load(const QString &path) {
        TKeptMessages said;
        bool ok = false;
        {
            ScopedMessageService scope(&said);
            ok = Doc->Load(path);
        }
        for (const auto &e : said.entries)
            Messages().show(e.type, e.text + QStringLiteral(": ") + path, e.buttons);
        if (!ok)
            return false;
        Graph.Caption = Doc->Protocol.Title.isEmpty() ? QStringLiteral("Signals") : Doc->Protocol.Title;
        return true;
    }
};

} // namespace tessel::cli
