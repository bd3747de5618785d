#pragma once

#include "app/ExperimentDoc.h"
#include "app/InstrumentConfig.h"
#include "app/MeasurementAnalysis.h"
#include "output/Printout.h"

#include <QFont>
#include <array>
#include <functional>
#include <optional>

namespace tessel {

class TDataEditModel;
class TGraphModel;

// The main window's page printer as laid out: Courier New of 13 pixels,
// header "&c &i &r &t  &D", footer "&l &F &r &p", left and right margins
// 1.0 and top and bottom 1.5369458128078817 (inches).
void SetupExperimentPrinter(TPagePrinter &prn);

// What goes into an experiment printout besides the graph.
struct TPrintChoices {
    bool Data = false;  // the environment option "Print Data"
    bool Notes = false; // the environment option "Print Notes"
    std::array<bool, kPrintColumns> Columns = [] {
        std::array<bool, kPrintColumns> a{};
        a.fill(true);
        return a;
    }();
    // The table lists each measurement's parameters (as the data page does)
    // in place of the data sets' display properties; the analysis reads
    // this ini file and include folder.
    bool Parameters = false;
    QString AnalysisIni, IncludeBase;
    std::optional<TLightCurveModel> LightCurveModel;
    double ScreenDpi = 96;
    QFont GraphFont, TableFont; // the windows' fonts, in points
};

// The experiment's data table for paper: the rows of the data set editor
// with the document's own columns; a column whose print flag is off is left
// out (the last column has no flag and always prints).
TPrintTable ExperimentPrintTable(const TExperimentDoc &doc, const TDataEditModel &rows,
                                 const std::array<bool, kPrintColumns> &columns, const QFont &pixelFont);

// The parameters table for paper: the data page's rows, leaving out the
// columns in which no row has a value.
TPrintTable ParameterPrintTable(const TExperimentModel &m, const std::vector<TRecordAnalysis> &all,
                                const QFont &pixelFont);

// A graph as it goes on paper: black frame and axes on white, no cursors.
// draw renders the graph model (TXYGraph::DrawTo in the program).
std::function<void(QPainter &, const QRect &)> PrintGraphDrawer(TGraphModel &graph,
                                                                std::function<void(QPainter &, const QRect &)> draw);

// The experiment printout: the experiment's title and file name, the time of
// the record at the end of its list (its first measurement; now when it has
// none), the graph, and as chosen the data table and the description.
TPrintout ExperimentPrintout(const TExperimentDoc &doc, const TDataEditModel &rows,
                             std::function<void(QPainter &, const QRect &)> drawGraph, const TPrintChoices &choices);

} // namespace tessel
