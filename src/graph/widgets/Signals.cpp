#include "graph/widgets/Signals.h"

#include "graph/widgets/XYDEdit.h"
#include "graph/widgets/XYGraph.h"

#include <QActionGroup>
#include <QMenu>

namespace tessel {

TSignals::TSignals(const TGraphBounds &bounds, QWidget *parent) : TfrmGraph(bounds, parent) {
    setWindowTitle(QStringLiteral("Signals"));
    const auto &lines = TSignalSteps::Lines();
    for (size_t i = 0; i < lines.size(); ++i) {
        LineVec[i].OnCalcItem = [this](const TVirtualVector &v, int32_t index, double &value) {
            CalcLine(v, index, value);
        };
        TDependency &d = LineSet[i];
        d.X = &TimeVec;
        d.Y = &LineVec[i];
        d.Caption = QString::fromLatin1(lines[i].Caption);
        d.Color = lines[i].Color;
        d.DrawStyle = dsPoint;
        d.PointStyle = ptDot;
        d.LineStyle = psSolid;
        d.Thickness = 1;
        d.Brush.Style = bsClear;
        Graph->AddDependency(&d);
    }
    DataEdit->RebuildRows();
    Graph->SetAcceptDependencyDrops(true);
    Graph->OnDependenciesDropped = [this](int) { DataEdit->RebuildRows(); };

    mnuGraph->addSeparator();
    mnuOffset = mnuGraph->addMenu(QStringLiteral("&Offset"));
    auto *group = new QActionGroup(this);
    auto add = [&](const char *caption, TSignalOffset o) {
        QAction *a = mnuOffset->addAction(QString::fromLatin1(caption));
        a->setCheckable(true);
        a->setData(int(o));
        group->addAction(a);
        connect(a, &QAction::triggered, this, [this, o] { SetOffset(o); });
        return a;
    };
    mniOffsetNone = add("None", TSignalOffset::None);
    mniOffsetSmall = add("&Small", TSignalOffset::Small);
    mniOffsetLarge = add("&Large", TSignalOffset::Large);
    mniOffsetLarge->setChecked(true);
}

TSignals::~TSignals() = default;

void TSignals::CalcLine(const TVirtualVector &sender, int32_t index, double &value) const {
    const auto k = size_t(&sender - LineVec.data());
    // The raw samples are signed 16-bit; the lines are their bits.
    const uint32_t pattern = uint32_t(int32_t(DataVec.GetItem(index))) & 0xFFFFu;
    value = TSignalSteps::Value(pattern, TSignalSteps::Lines()[k].Bit, m_offset);
}

void TSignals::SetOffset(TSignalOffset o) {
    m_offset = o;
    for (QAction *a : {mniOffsetNone, mniOffsetSmall, mniOffsetLarge})
        if (a->data().toInt() == int(o))
            a->setChecked(true);
    Graph->AutoScaleY();
}

void TSignals::LoadSignals(const std::vector<std::pair<double, uint32_t>> &events) {
    const TSignalSteps steps(events);
    const auto room = int32_t(2 * events.size());
    TimeVec.SetCapacity(room);
    DataVec.SetCapacity(room);
    for (TDependency &d : LineSet)
        d.SetCapacity(room);
    const int32_t n = steps.Count();
    for (int32_t i = 0; i < n; ++i) {
        TimeVec.SetItem(i, steps.Time(i));
        DataVec.SetItem(i, int32_t(steps.Pattern(i)));
    }
    DataVec.SetCount(n);
    for (TDependency &d : LineSet)
        d.SetCount(n);
    if (n > 0 && steps.Time(0) <= 0 && LogScaleX())
        SetLogScaleX(false);
    Graph->AutoScaleXY();
    DataEdit->RebuildRows();
}

} // namespace tessel
