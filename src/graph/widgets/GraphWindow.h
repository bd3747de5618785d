#pragma once

#include "common/GraphBounds.h"
#include "graph/AxisTr.h"

#include <QMainWindow>

class QAction;
class QMenu;
class QStackedWidget;

namespace tessel {

class TDependency;
class TDependencySelector;
class TXYDEdit;
class TXYGraph;

// Base of every window that shows data sets: the graph, the data set editor
// and an A/B page that subclasses fill, switched without tabs, and the
// "&Graph" menu. The main window shows it inside a QMdiSubWindow.
class TfrmGraph : public QMainWindow {
    Q_OBJECT
public:
    explicit TfrmGraph(const TGraphBounds &bounds, QWidget *parent = nullptr);
    ~TfrmGraph() override;

    TXYGraph *Graph;
    TXYDEdit *DataEdit;
    TDependencySelector *DepSel;
    // The graph starts on the two linear axes; the x axis switches to
    // LogAxisTrX and back. Their OnSetRange belongs to this window, which
    // passes every range change on as RangesChanged.
    TLinAxisTr LinAxisTrX, LinAxisTrY;
    TLogAxisTr LogAxisTrX;

    QStackedWidget *Pages;
    QWidget *pgGraph, *pgData, *pgAB;
    enum class TPage { Graph, Data, AB };
    // Emits PageChanged on every call, so subclasses can keep captions in step.
    virtual void ShowPage(TPage p);
    TPage Page() const;

    QMenu *mnuGraph;
    QAction *mniUndo, *mniLogScaleX, *mniAutoScaleX, *mniAutoScaleY, *mniAutoScaleXY, *mniShowAll, *mniHideAll,
        *mniToggleAll, *mniSelectSignal, *mniLegend, *mniSavePicture, *mniCopyPicture;

    // The graph that "Save Picture..." and "Copy Picture" draw.
    virtual TXYGraph *PictureGraph() const { return Graph; }

    bool LogScaleX() const;
    // Switches the x axis between LinAxisTrX and LogAxisTrX and auto-scales
    // both axes. Switching on is refused, with a message, while a data set
    // with points starts at x <= 0. Returns whether the axis is as asked.
    bool SetLogScaleX(bool on);

    // The data set editor's OnChange: a data set made visible under the log
    // axis that starts at x <= 0 is hidden again.
    virtual void DataEditChange(TXYDEdit *sender, TDependency *d);

    QSize sizeHint() const override;

signals:
    void PageChanged();
    // Any of the three axes took a new range.
    void RangesChanged();

private:
    void CreateMenu();
};

} // namespace tessel
