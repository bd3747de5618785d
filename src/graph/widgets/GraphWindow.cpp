#include "graph/widgets/GraphWindow.h"

#include "common/MessageService.h"
#include "graph/GraphRules.h"
#include "graph/widgets/DepSel.h"
#include "graph/widgets/FigureDialog.h"
#include "graph/widgets/XYDEdit.h"
#include "graph/widgets/XYGraph.h"

#include <QMenuBar>
#include <QSignalBlocker>
#include <QStackedWidget>
#include <QVBoxLayout>

namespace tessel {

namespace {

QWidget *PageWith(QWidget *content) {
    auto *page = new QWidget;
    auto *lay = new QVBoxLayout(page);
    lay->setContentsMargins(0, 0, 0, 0);
    if (content)
        lay->addWidget(content);
    return page;
}

} // namespace

TfrmGraph::TfrmGraph(const TGraphBounds &bounds, QWidget *parent) : QMainWindow(parent) {
    ApplyBounds(bounds, LinAxisTrX, LinAxisTrY, LogAxisTrX);
    // The bounds may exclude the axes' construction ranges; start inside them.
    for (TAxisTr *a : std::initializer_list<TAxisTr *>{&LinAxisTrX, &LinAxisTrY, &LogAxisTrX}) {
        try {
            a->SetDefaultRange();
        } catch (const ETesselError &e) {
            Messages().error(e.message());
        }
        a->OnSetRange = [this] { emit RangesChanged(); };
    }

    Graph = new TXYGraph;
    Graph->setObjectName(QStringLiteral("Graph"));
    TGraphModel &m = Graph->Model();
    m.Caption = QStringLiteral("Signals");
    m.Options = grDrawGrid | grShowCursors;
    Graph->setCursor(Qt::CrossCursor);
    Graph->DrawOnIdle = true;
    Graph->SetXAxis(&LinAxisTrX);
    Graph->SetYAxis(&LinAxisTrY);

    DataEdit = new TXYDEdit;
    DataEdit->setObjectName(QStringLiteral("DataEdit"));
    DataEdit->SetOptions2(deDialogs | deYAutoScale | deAllowRemove);
    QStringList titles = TDataEditModel::DefaultTitles();
    titles[ecThickness] = QStringLiteral("Thickness");
    DataEdit->SetTitles(titles);
    DataEdit->SetGraph(Graph);
    DataEdit->OnChange = [this](TXYDEdit *sender, TDependency *d) { DataEditChange(sender, d); };

    DepSel = new TDependencySelector(this);
    DepSel->Graph = &m;
    // The table, the window's other views and its modified flag follow the
    // selector as they follow the table's own Show cells.
    DepSel->OnChange = [this](TDependency *d) { DataEditChange(DataEdit, d); };

    Pages = new QStackedWidget;
    pgGraph = PageWith(Graph);
    pgData = PageWith(DataEdit);
    pgAB = PageWith(nullptr);
    Pages->addWidget(pgGraph);
    Pages->addWidget(pgData);
    Pages->addWidget(pgAB);
    setCentralWidget(Pages);

    CreateMenu();
    resize(sizeHint());
}

TfrmGraph::~TfrmGraph() {
    // The axes are members and go before the child widgets; nothing may
    // reach them through the graph or the range signal afterwards.
    for (TAxisTr *a : std::initializer_list<TAxisTr *>{&LinAxisTrX, &LinAxisTrY, &LogAxisTrX})
        a->OnSetRange = nullptr;
    Graph->SetXAxis(nullptr);
    Graph->SetYAxis(nullptr);
}

QSize TfrmGraph::sizeHint() const { return {640, 400}; }

void TfrmGraph::CreateMenu() {
    mnuGraph = menuBar()->addMenu(QStringLiteral("&Graph"));
    mniUndo = mnuGraph->addAction(QStringLiteral("&Undo"), this, [this] {
        Graph->Undo();
        Graph->Changed();
    });
    mniUndo->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_U));
    mniLogScaleX = mnuGraph->addAction(QStringLiteral("&Log Scale X"));
    mniLogScaleX->setCheckable(true);
    connect(mniLogScaleX, &QAction::triggered, this, [this](bool on) { SetLogScaleX(on); });
    mniAutoScaleX = mnuGraph->addAction(QStringLiteral("Auto Scale &X"), this, [this] { Graph->AutoScaleX(); });
    mniAutoScaleY = mnuGraph->addAction(QStringLiteral("Auto Scale &Y"), this, [this] { Graph->AutoScaleY(); });
    mniAutoScaleXY = mnuGraph->addAction(QStringLiteral("&Auto Scale XY"), this, [this] { Graph->AutoScaleXY(); });
    mniAutoScaleXY->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_0));
    mnuGraph->addSeparator();
    mniShowAll = mnuGraph->addAction(QStringLiteral("&Show All"), this, [this] { DataEdit->ShowAll(); });
    mniHideAll = mnuGraph->addAction(QStringLiteral("&Hide All"), this, [this] { DataEdit->HideAll(); });
    mniToggleAll = mnuGraph->addAction(QStringLiteral("&Toggle All"), this, [this] { DataEdit->ToggleAll(); });
    mnuGraph->addSeparator();
    mniSelectSignal = mnuGraph->addAction(QStringLiteral("Select Signal"), this, [this] {
        if (DepSel->Execute(this))
            DataEdit->RebuildRows();
    });
    mnuGraph->addSeparator();
    mniLegend = mnuGraph->addAction(QStringLiteral("Show &Legend"));
    mniLegend->setCheckable(true);
    connect(mniLegend, &QAction::triggered, this, [this](bool on) {
        Graph->Model().ShowLegend = on;
        Graph->Changed();
    });
    connect(mnuGraph, &QMenu::aboutToShow, this, [this] { mniLegend->setChecked(Graph->Model().ShowLegend); });
    mniSavePicture = mnuGraph->addAction(QStringLiteral("Save &Picture..."), this,
                                         [this] { SaveGraphPicture(*PictureGraph(), this); });
    mniCopyPicture =
        mnuGraph->addAction(QStringLiteral("&Copy Picture"), this, [this] { CopyGraphPicture(*PictureGraph(), this); });
    // Several graph windows share the frame; each one's keys act only while
    // the focus is inside it.
    for (QAction *a : mnuGraph->actions()) {
        a->setShortcutContext(Qt::WidgetWithChildrenShortcut);
        addAction(a);
    }
}

void TfrmGraph::ShowPage(TPage p) {
    Pages->setCurrentIndex(int(p));
    emit PageChanged();
}

TfrmGraph::TPage TfrmGraph::Page() const { return TPage(Pages->currentIndex()); }

bool TfrmGraph::LogScaleX() const { return Graph->XAxis() == &LogAxisTrX; }

bool TfrmGraph::SetLogScaleX(bool on) {
    const bool ok = !on || LogScaleX() || CanSwitchToLogX(Graph->Model());
    if (!ok) {
        Messages().error(QStringLiteral("Unable to switch to log scale\n\n") + LogXRefusalDetail(Graph->Model()));
    } else if (on != LogScaleX()) {
        Graph->SetXAxis(on ? static_cast<TAxisTr *>(&LogAxisTrX) : &LinAxisTrX);
        Graph->AutoScaleXY();
    }
    // A refused click on the check item must not leave it checked.
    mniLogScaleX->setChecked(LogScaleX());
    return ok;
}

void TfrmGraph::DataEditChange(TXYDEdit *sender, TDependency *d) {
    if (!d || !MustHideOnLogX(*d, LogScaleX()))
        return;
    Messages().error(QStringLiteral("Can't make signal visible while in logarithmic scale"));
    d->Visible = false;
    // Only the one cell: the editor may be walking its rows right now.
    if (sender)
        if (const int r = sender->Model().RowOf(d); r >= 1)
            if (QTableWidgetItem *it = sender->item(r - 1, ecShow)) {
                const QSignalBlocker quiet(sender);
                it->setText(sender->Model().CellText(r, ecShow));
            }
    Graph->Changed();
}

} // namespace tessel
