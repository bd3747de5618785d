#include "app/widgets/PrintCommands.h"

#include "app/ExperimentPrintout.h"
#include "app/InstrumentConfig.h"
#include "app/widgets/ExperimentCommands.h"
#include "app/widgets/ExperimentWindow.h"
#include "app/widgets/MainWindow.h"
#include "app/widgets/ParametersView.h"
#include "authoring/widgets/ProtocolEditor.h"
#include "common/AppPaths.h"
#include "common/MessageService.h"
#include "common/PrintDialogService.h"
#include "graph/widgets/FigureDialog.h"
#include "graph/widgets/XYDEdit.h"
#include "graph/widgets/XYGraph.h"
#include "output/widgets/PageSetupDialog.h"
#include "output/widgets/PrintPreview.h"
#include "output/widgets/PrintProgress.h"
#include "settings/EnvSetup.h"

#include <QAction>
#include <QContextMenuEvent>
#include <QMdiArea>
#include <QMenu>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPrinter>
#include <QToolBar>

namespace tessel {

namespace {

constexpr MainToolbar kToolbars[5] = {MainToolbar::Main, MainToolbar::Graph, MainToolbar::Protocol, MainToolbar::Window,
                                      MainToolbar::Control};
const QString kABMenu = QStringLiteral("mnuABChart");
const char *const kPressedAt = "tesselRightPress";

// The window's graph drawn for paper through its own DrawTo.
std::function<void(QPainter &, const QRect &)> graphDrawer(TXYGraph *graph) {
    return PrintGraphDrawer(graph->Model(), [g = QPointer<TXYGraph>(graph)](QPainter &p, const QRect &r) {
        if (g)
            g->DrawTo(p, r);
    });
}

} // namespace

TPrintCommands::TPrintCommands(TfrmMain &main, TEnvSetup &env, TExperimentCommands &experiments)
    : QObject(&main), m_main(main), m_env(env), m_experiments(experiments),
      m_printer(std::make_unique<QPrinter>(QPrinter::HighResolution)) {
    SetupExperimentPrinter(m_prn);
    auto on = [this](const char *id, auto f) {
        connect(m_main.Action(QLatin1String(id)), &QAction::triggered, this, f);
    };
    on("mniPrint", [this] { mniPrintClick(); });
    on("mniPreview", [this] { mniPreviewClick(); });
    on("mniPrintSetup", [this] { mniPrintSetupClick(); });
    on("mniPageSetup", [this] { mniPageSetupClick(); });
    on("btnPrintProtocol", [this] {
        if (TMDIChild *c = m_experiments.ActiveExperiment())
            c->Editor()->mniPrintClick();
    });
    connect(&m_main.Experiments(), &TMDIList::Changed, this, [this] { wireExperiments(); });
    m_main.installEventFilter(this);
    m_central = m_main.centralWidget();
    if (m_central)
        m_central->installEventFilter(this);
}

TPrintCommands::~TPrintCommands() = default;

TPrintout TPrintCommands::PrintoutOf(TMDIChild &c) {
    TPrintChoices choices;
    choices.Data = m_env.PrintData;
    choices.Notes = m_env.PrintNotes;
    choices.Columns = Config().Instrument.DePrnCol;
    choices.Parameters = m_prn.DataTable() == ptParameters;
    choices.AnalysisIni = AppPaths::iniPath();
    choices.IncludeBase = c.Doc().Protocol.IncludeBase;
    choices.LightCurveModel = c.Parameters()->ChosenModel();
    choices.ScreenDpi = c.logicalDpiX();
    choices.GraphFont = c.Graph->font();
    choices.TableFont = c.DataEdit->font();
    return ExperimentPrintout(c.Doc(), c.DataEdit->Model(), graphDrawer(c.Graph), choices);
}

bool TPrintCommands::askPrinter() {
    m_prn.ApplyTo(*m_printer);
    if (!PrintDialogs().print(*m_printer))
        return false;
    m_prn.TakeFrom(*m_printer);
    return true;
}

void TPrintCommands::print(const std::function<TPrintout()> &make) {
    int from = 0, to = 0;
    if (m_printer->printRange() == QPrinter::PageRange) {
        from = m_printer->fromPage();
        to = m_printer->toPage();
    }
    try {
        ComposePrintout(m_prn, *m_printer, make());
        m_printer->setDocName(m_prn.Title);
        TfrmPrintProgress progress(&m_main);
        m_prn.Print(*m_printer, &progress, from, to);
    } catch (const ETesselError &e) {
        Messages().error(e.message());
    }
}

void TPrintCommands::mniPrintClick() {
    QPointer<TMDIChild> c = m_experiments.ActiveExperiment();
    if (!c || !askPrinter())
        return;
    print([this, c] { return PrintoutOf(*c); });
}

void TPrintCommands::PrintABChart(TMDIChild &chart) {
    QPointer<TMDIChild> c = &chart;
    if (!askPrinter())
        return;
    print([c] {
        TPrintChoices choices;
        choices.ScreenDpi = c->logicalDpiX();
        choices.GraphFont = c->ABGraph()->font();
        return ExperimentPrintout(c->Doc(), c->DataEdit->Model(), graphDrawer(c->ABGraph()), choices);
    });
}

void TPrintCommands::mniPrintSetupClick() {
    m_prn.ApplyTo(*m_printer);
    if (PrintDialogs().printerSetup(*m_printer))
        m_prn.SetOrientation(m_printer->pageLayout().orientation() == QPageLayout::Landscape ? poLandscape
                                                                                             : poPortrait);
}

void TPrintCommands::mniPageSetupClick() { TPageSetupDlg::Execute(m_prn, m_printer.get(), &m_main); }

void TPrintCommands::mniPreviewClick() {
    TMDIChild *c = m_experiments.ActiveExperiment();
    if (!c || m_preview)
        return;
    m_previewOf = c;
    // The preview has the window to itself: toolbars and menu go until Close.
    for (size_t i = 0; i < std::size(kToolbars); ++i) {
        QToolBar *tb = m_main.Toolbar(kToolbars[i]);
        m_toolbarsShown[i] = tb && !tb->isHidden();
        if (tb)
            tb->hide();
    }
    m_main.menuBar()->hide();
    m_prn.ApplyTo(*m_printer);
    m_preview = new TfrmPreview(m_printer.get(), m_prn.ZoomPercent, &m_main);
    connect(m_preview, &TfrmPreview::PaintRequested, this, &TPrintCommands::paintPreview);
    connect(m_preview, &TfrmPreview::CloseRequested, this, &TPrintCommands::ClosePreview);
    connect(m_preview, &TfrmPreview::PrintRequested, this, [this] {
        if (m_previewOf && askPrinter())
            print([this] { return PrintoutOf(*m_previewOf); });
        if (m_preview)
            m_preview->UpdatePreview();
    });
    placePreview();
    m_preview->show();
    m_preview->raise();
}

void TPrintCommands::paintPreview(QPrinter *printer) {
    if (!m_previewOf) {
        QMetaObject::invokeMethod(this, &TPrintCommands::ClosePreview, Qt::QueuedConnection);
        return;
    }
    try {
        ComposePrintout(m_prn, *printer, PrintoutOf(*m_previewOf));
        m_prn.DrawAll(*printer);
    } catch (const ETesselError &e) {
        Messages().error(e.message());
    }
}

void TPrintCommands::ClosePreview() {
    if (!m_preview)
        return;
    m_prn.ZoomPercent = m_preview->ZoomPercent();
    m_preview->hide();
    m_preview->deleteLater();
    m_preview = nullptr;
    m_previewOf = nullptr;
    m_main.menuBar()->show();
    for (size_t i = 0; i < std::size(kToolbars); ++i)
        if (QToolBar *tb = m_main.Toolbar(kToolbars[i]))
            tb->setVisible(m_toolbarsShown[i]);
}

void TPrintCommands::placePreview() {
    if (m_preview && m_central)
        m_preview->setGeometry(m_central->geometry());
}

void TPrintCommands::wireExperiments() {
    for (TMDIChild *c : m_experiments.Experiments()) {
        TXYGraph *chart = c->ABGraph();
        if (!chart || chart->findChild<QMenu *>(kABMenu, Qt::FindDirectChildrenOnly))
            continue;
        auto *menu = new QMenu(chart);
        menu->setObjectName(kABMenu);
        QAction *print = menu->addAction(QStringLiteral("Print"));
        print->setObjectName(QStringLiteral("mniPrintAB"));
        connect(print, &QAction::triggered, this, [this, c = QPointer<TMDIChild>(c)] {
            if (c)
                PrintABChart(*c);
        });
        QAction *save = menu->addAction(QStringLiteral("Save Picture..."));
        save->setObjectName(QStringLiteral("mniSavePictureAB"));
        connect(save, &QAction::triggered, chart, [chart] { SaveGraphPicture(*chart, chart); });
        QAction *copy = menu->addAction(QStringLiteral("Copy Picture"));
        copy->setObjectName(QStringLiteral("mniCopyPictureAB"));
        connect(copy, &QAction::triggered, chart, [chart] { CopyGraphPicture(*chart, chart); });
        chart->installEventFilter(this);
    }
    // A preview whose experiment left the list has nothing left to show.
    if (m_preview && !m_experiments.Experiments().contains(m_previewOf.data()))
        ClosePreview();
}

bool TPrintCommands::eventFilter(QObject *watched, QEvent *e) {
    if (watched == &m_main) {
        if (e->type() == QEvent::Show && !m_setupLoaded) {
            m_setupLoaded = true;
            TPageSetup s = m_prn.PageSetup();
            if (LoadPageSetup(s))
                m_prn.SetPageSetup(s);
        } else if (e->type() == QEvent::Close) {
            // The preview keeps the window open until its own Close.
            if (m_preview) {
                e->ignore();
                return true;
            }
            SavePageSetup(m_prn.PageSetup());
        }
        return false;
    }
    // Only compared: the frame may be on its way out.
    if (watched == m_central) {
        if (e->type() == QEvent::Resize || e->type() == QEvent::Move)
            placePreview();
        return false;
    }
    // The A/B chart's popup: a right click without a drag (a drag zooms out)
    // or the keyboard's menu key.
    auto *chart = qobject_cast<TXYGraph *>(watched);
    QMenu *menu = chart ? chart->findChild<QMenu *>(kABMenu, Qt::FindDirectChildrenOnly) : nullptr;
    if (!menu)
        return false;
    if (e->type() == QEvent::MouseButtonPress) {
        auto *m = static_cast<QMouseEvent *>(e);
        if (m->button() == Qt::RightButton)
            chart->setProperty(kPressedAt, m->position().toPoint());
    } else if (e->type() == QEvent::MouseButtonRelease) {
        auto *m = static_cast<QMouseEvent *>(e);
        const QPoint at = m->position().toPoint();
        const QVariant pressed = chart->property(kPressedAt);
        if (m->button() == Qt::RightButton && pressed.isValid() && (at - pressed.toPoint()).manhattanLength() < 4) {
            const QPoint global = m->globalPosition().toPoint();
            QMetaObject::invokeMethod(
                menu, [menu, global] { menu->popup(global); }, Qt::QueuedConnection);
        }
    } else if (e->type() == QEvent::ContextMenu) {
        auto *c = static_cast<QContextMenuEvent *>(e);
        if (c->reason() == QContextMenuEvent::Keyboard) {
            menu->popup(c->globalPos());
            return true;
        }
    }
    return false;
}

} // namespace tessel
