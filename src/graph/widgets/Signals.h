#pragma once

#include "data/Vector.h"
#include "graph/SignalSteps.h"
#include "graph/widgets/GraphWindow.h"

#include <array>
#include <cstdint>
#include <utility>
#include <vector>

namespace tessel {

// "Signals": the output lines of the compiled protocol drawn over time, one
// step curve per line, so the user can check the timing before measuring.
// Data sets dragged out of an experiment's data table can be dropped on the
// graph to compare them with the lines.
class TSignals : public TfrmGraph {
    Q_OBJECT
public:
    explicit TSignals(const TGraphBounds &bounds, QWidget *parent = nullptr);
    ~TSignals() override;

    // Point times and the state of the 16 lines at each point.
    TDoubleVector TimeVec;
    TIntVector DataVec;
    // One computed y vector and one data set per line of TSignalSteps::Lines().
    std::array<TVirtualVector, 12> LineVec;
    std::array<TDependency, 12> LineSet;

    QMenu *mnuOffset;
    QAction *mniOffsetNone, *mniOffsetSmall, *mniOffsetLarge;
    TSignalOffset Offset() const { return m_offset; }
    // Checks the offset's item and fits the y axis to the lines' new values.
    void SetOffset(TSignalOffset o);

    // Rebuilds the lines from an event table: (time, state of the lines),
    // then fits both axes. A first point at t <= 0 switches the log scale off.
    void LoadSignals(const std::vector<std::pair<double, uint32_t>> &events);

private:
    void CalcLine(const TVirtualVector &sender, int32_t index, double &value) const;
    TSignalOffset m_offset = TSignalOffset::Large;
};

} // namespace tessel
