#include "app/widgets/ExperimentCommands.h"

#include "app/CommonObjs.h"
#include "app/InstrumentConfig.h"
#include "app/SignalEvents.h"
#include "app/widgets/ExperimentWindow.h"
#include "app/widgets/MainWindow.h"
#include "authoring/widgets/ProtocolEditor.h"
#include "common/AppPaths.h"
#include "common/FileDialogService.h"
#include "graph/widgets/DepSel.h"
#include "graph/widgets/ManualScale.h"
#include "graph/widgets/Navigator.h"
#include "graph/widgets/Signals.h"
#include "graph/widgets/XYDEdit.h"
#include "graph/widgets/XYGraph.h"
#include "output/widgets/ExportDialog.h"
#include "settings/EnvSetup.h"

#include <QAction>
#include <QDir>
#include <QEvent>
#include <QLabel>
#include <QMainWindow>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenuBar>

namespace tessel {

TExperimentCommands::TExperimentCommands(TfrmMain &main, TCommonObjs &common, TEnvSetup &env, TNavigator *navigator,
                                         TfrmExport *exportDialog, TGraphMscl *manualScale)
    : QObject(&main), m_main(main), m_common(common), m_env(env), m_navigator(navigator), m_export(exportDialog),
      m_manualScale(manualScale) {
    wire();
}

TExperimentCommands::~TExperimentCommands() = default;

QList<TMDIChild *> TExperimentCommands::Experiments() const {
    QList<TMDIChild *> out;
    for (int i = 0; i < m_main.Experiments().Count(); ++i)
        if (auto *c = qobject_cast<TMDIChild *>(m_main.Experiments().Item(i)))
            out << c;
    return out;
}

TMDIChild *TExperimentCommands::ActiveExperiment() const {
    QMdiSubWindow *sub = m_main.MdiArea()->activeSubWindow();
    if (!sub)
        return nullptr;
    for (TMDIChild *c : Experiments())
        if (c->Frame == sub || c->EditorFrame == sub)
            return c;
    return nullptr;
}

TMDIChild *TExperimentCommands::OpenExperiment(const QString &name, bool load, bool *loaded) {
    const TInstrumentConfig &cfg = Config().Instrument;
    const TChannelScaling scaling{cfg.MulA, cfg.MulB, cfg.YShiftA, cfg.YShiftB, Config().Thickness};
    const QString includeBase = IncludeBaseDir(cfg);
    auto *child = new TMDIChild(m_common.Compiler, m_env, includeBase, m_common.Comm->Device(), scaling,
                                Config().GraphBounds, name);
    QMdiArea *mdi = m_main.MdiArea();
    // Whether the user works with maximised windows, seen before the new ones take the area.
    const QMdiSubWindow *before = mdi->activeSubWindow();
    const bool wasMaximised = before && before->isMaximized();
    child->EditorFrame = mdi->addSubWindow(child->Editor());
    child->EditorFrame->setAttribute(Qt::WA_DeleteOnClose, false);
    child->Frame = mdi->addSubWindow(child);
    // A closed experiment is gone; its protocol window only hides.
    child->Frame->setAttribute(Qt::WA_DeleteOnClose);
    child->NavigatorKey = child->Frame;
    child->OnSaveRequest = [this](TMDIChild *c) { return Save(c, false); };
    child->OnViewHint = [this](TMDIChild *c, const QString &text) {
        if (QLabel *p = m_main.Panel(6); p && (!text.isEmpty() || c == ActiveExperiment()))
            p->setText(text);
    };
    child->CurrentScaling = [] {
        const TInstrumentConfig &now = Config().Instrument;
        return TChannelScaling{now.MulA, now.MulB, now.YShiftA, now.YShiftB, Config().Thickness};
    };
    child->OnManualScale = [this](TMDIChild *c) {
        if (m_manualScale) {
            m_manualScale->SetGraph(c);
            m_manualScale->show();
            m_manualScale->raise();
        }
    };
    child->Editor()->OnChecked = [this] { RefreshSignals(); };
    // Checks look for the include files of the type connected at that moment.
    child->Protocol().CurrentDevice = [this] { return m_common.Comm->Device(); };
    child->OnDestroying = [this](TMDIChild *c) { forget(c); };
    child->OnCaptionChanged = [this](TMDIChild *c) {
        if (m_navigator)
            m_navigator->RenameExperiment(c->NavigatorKey, c->Doc().DocName);
    };
    m_main.Experiments().Add(child);
    if (m_navigator)
        m_navigator->AddExperiment(child->Frame, child->EditorFrame, name);

    child->EditorFrame->show();
    child->Frame->show();
    switch (ReorderMode(m_env.ReorderOnNew)) {
    case ReorderMode::Minimize:
        child->EditorFrame->showMinimized();
        child->Frame->showMaximized();
        break;
    case ReorderMode::Tile:
        mdi->tileSubWindows();
        break;
    case ReorderMode::Cascade:
        mdi->cascadeSubWindows();
        break;
    default:
        // The experiment takes the free area: all of it when it is the only
        // one or the user keeps windows maximised, else a tile of it.
        if (m_main.Experiments().Count() == 1 || wasMaximised)
            child->Frame->showMaximized();
        else
            tileExperiments();
        break;
    }
    MakeActive(child);
    if (load) {
        const bool ok = child->Doc().Load(name);
        if (loaded)
            *loaded = ok;
        child->RefreshAll();
    }
    child->UpdateCaptions();
    mdi->setActiveSubWindow(child->Frame);
    ArmMenuMnemonics(mdi);
    showSize(child);
    return child;
}

void TExperimentCommands::tileExperiments() {
    QList<TMDIChild *> shown;
    for (TMDIChild *c : Experiments())
        if (c->Frame && !c->Frame->isMinimized())
            shown << c;
    const std::vector<QRect> rects = TileRects(m_main.MdiArea()->viewport()->rect(), int(shown.size()));
    for (int i = 0; i < int(rects.size()); ++i) {
        TMDIChild *c = shown[i];
        if (c->Frame->isMaximized())
            c->Frame->showNormal();
        c->Frame->setGeometry(rects[size_t(i)]);
        // The protocol opens where its experiment is.
        if (c->EditorFrame && !c->EditorFrame->isMinimized() && !c->EditorFrame->isMaximized())
            c->EditorFrame->setGeometry(rects[size_t(i)]);
    }
}

void TExperimentCommands::forget(TMDIChild *c) {
    if (m_navigator)
        m_navigator->RemoveExperiment(c->NavigatorKey);
    m_main.Experiments().Remove(c);
    // The signals view lives only while an experiment does.
    if (m_main.Experiments().Count() == 0)
        closeSignals();
}

TSignals *TExperimentCommands::Signals() const { return m_signals; }

void TExperimentCommands::RefreshSignals() {
    if (m_signals && m_signalsFrame && m_signalsFrame->isVisible())
        m_signals->LoadSignals(SignalEventsOf(m_common.Compiler));
}

void TExperimentCommands::SetSignalsShown(bool on) {
    if (m_switchingSignals)
        return;
    m_switchingSignals = true;
    QAction *toggle = m_main.Action(QStringLiteral("mniSignals"));
    toggle->setChecked(on);
    QMdiArea *mdi = m_main.MdiArea();
    if (on) {
        if (!m_signalsFrame || !m_signalsFrame->isVisible())
            m_beforeSignals = mdi->activeSubWindow();
        if (!m_signals) {
            m_signals = new TSignals(Config().SignalBounds);
            m_signalsFrame = mdi->addSubWindow(m_signals);
            // Its own close and hide switch the toggle off.
            m_signalsFrame->installEventFilter(this);
        }
        m_signalsFrame->show();
        mdi->setActiveSubWindow(m_signalsFrame);
        m_signals->LoadSignals(SignalEventsOf(m_common.Compiler));
    } else {
        if (m_signalsFrame && m_signalsFrame->isVisible())
            m_signalsFrame->hide();
        if (m_beforeSignals)
            TMDIChild::ShowFrame(m_beforeSignals);
    }
    for (const char *id : {"mniProtocol", "mniDescription"})
        m_main.SetCommandSuppressed(QLatin1String(id), on);
    m_switchingSignals = false;
}

void TExperimentCommands::closeSignals() {
    if (m_signalsFrame) {
        m_signalsFrame->removeEventFilter(this);
        delete m_signalsFrame.data();
    }
    m_main.Action(QStringLiteral("mniSignals"))->setChecked(false);
    for (const char *id : {"mniProtocol", "mniDescription"})
        m_main.SetCommandSuppressed(QLatin1String(id), false);
}

bool TExperimentCommands::eventFilter(QObject *watched, QEvent *e) {
    if (watched == m_signalsFrame && (e->type() == QEvent::Hide || e->type() == QEvent::Show) && !m_switchingSignals)
        QMetaObject::invokeMethod(
            this, [this, on = e->type() == QEvent::Show] { SetSignalsShown(on); }, Qt::QueuedConnection);
    if (watched == m_signalsFrame && e->type() == QEvent::Close) {
        // Closing the view only hides it; the toggle brings it back.
        e->ignore();
        m_signalsFrame->hide();
        return true;
    }
    return QObject::eventFilter(watched, e);
}

void ArmMenuMnemonics(QMdiArea *mdi) {
    static const char *const kText = "tesselMenuText";
    for (QMdiSubWindow *w : mdi->subWindowList()) {
        auto *window = qobject_cast<QMainWindow *>(w->widget());
        if (!window || !window->menuBar())
            continue;
        const bool armed = w == mdi->activeSubWindow();
        for (QAction *a : window->menuBar()->actions()) {
            if (!a->property(kText).isValid())
                a->setProperty(kText, a->text());
            QString text = a->property(kText).toString();
            if (!armed) {
                // "&&" is a plain ampersand and stays.
                const QChar keep(0x1);
                text.replace(QLatin1String("&&"), keep).remove(QLatin1Char('&')).replace(keep, QLatin1String("&&"));
            }
            a->setText(text);
        }
    }
}

bool TExperimentCommands::MakeActive(TMDIChild *c) {
    TMDIList &list = m_main.Experiments();
    if (!c || list.Busy())
        return false;
    if (auto *previous = qobject_cast<TMDIChild *>(list.Active()); previous && previous != c)
        previous->SetActiveMark(false);
    list.SetActive(c);
    c->SetActiveMark(true);
    return true;
}

void TExperimentCommands::showSize(TMDIChild *c) {
    if (QLabel *p = m_main.Panel(3))
        p->setText(QString::number(c->Doc().Model.SizeEstimate() / 1024) + QStringLiteral(" kB"));
}

void TExperimentCommands::mniNewClick() {
    TMDIChild *c = OpenExperiment(QStringLiteral("Experiment %1").arg(m_main.NextExperimentNumber()), false);
    c->RefreshAll();
}

void TExperimentCommands::mniOpenClick() {
    const QString path = FileDialogs().getOpenFileName(QStringLiteral("Open"), StartDir(m_env),
                                                       QStringLiteral("Experiment Files (*.exp)|*.exp"));
    if (path.isEmpty())
        return;
    RememberDir(m_env, path);
    OpenFile(path);
}

TMDIChild *TExperimentCommands::OpenFile(const QString &path) {
    bool loaded = false;
    TMDIChild *c = OpenExperiment(path, true, &loaded);
    if (loaded) {
        m_main.RecentFiles().Add(path);
        m_main.RebuildRecentFiles();
    }
    return c;
}

bool TExperimentCommands::Save(TMDIChild *c, bool saveAs) {
    if (!c)
        return false;
    if (c->Doc().FileOp.SaveDialog)
        c->Doc().FileOp.SaveDialog->InitialDir = StartDir(m_env);
    if (!c->Doc().Save(saveAs))
        return false;
    c->Editor()->RefreshState(); // no longer modified
    RememberDir(m_env, c->Doc().DocName);
    m_main.RecentFiles().Add(c->Doc().DocName);
    m_main.RebuildRecentFiles();
    showSize(c);
    return true;
}

void TExperimentCommands::mniCloseClick() {
    if (TMDIChild *c = ActiveExperiment())
        c->Frame ? void(c->Frame->close()) : void(c->close());
}

void TExperimentCommands::mniCloseAllClick() { CloseAll(); }

bool TExperimentCommands::CloseAll() {
    for (TMDIChild *c : Experiments())
        if (c->Frame && !c->Frame->close())
            return false;
    return true;
}

void TExperimentCommands::mniExportClick() {
    TMDIChild *c = ActiveExperiment();
    if (!c || !m_export)
        return;
    c->Doc().SyncTexts();
    const TAxisTr *x = c->Graph->XAxis();
    m_export->Show(c->Doc().Model, c->Doc().FileOp.FileName, c->windowTitle(), x->RangeMin(), x->RangeMax(),
                   c->Graph->Model().CursorRange());
}

void TExperimentCommands::wire() {
    auto on = [this](const char *id, auto f) {
        QAction *a = m_main.Action(QLatin1String(id));
        connect(a, &QAction::triggered, this, f);
    };
    // Runs f on the active experiment, when there is one.
    auto withActive = [this](std::function<void(TMDIChild &)> f) {
        return [this, f] {
            if (TMDIChild *c = ActiveExperiment())
                f(*c);
        };
    };
    on("mniNew", [this] { mniNewClick(); });
    on("mniOpen", [this] { mniOpenClick(); });
    on("mniSave", withActive([this](TMDIChild &c) { Save(&c, false); }));
    on("mniSaveAs", withActive([this](TMDIChild &c) { Save(&c, true); }));
    on("mniClose", [this] { mniCloseClick(); });
    on("mniCloseAll", [this] { mniCloseAllClick(); });
    on("mniExport", [this] { mniExportClick(); });
    on("mniMakeActive", withActive([this](TMDIChild &c) { MakeActive(&c); }));

    auto page = [withActive](TfrmGraph::TPage p) {
        return withActive([p](TMDIChild &c) {
            c.ShowPage(p);
            TMDIChild::ShowFrame(c.Frame);
        });
    };
    on("mniGraph", page(TfrmGraph::TPage::Graph));
    on("mniData", page(TfrmGraph::TPage::Data));
    on("btnGraphAB", page(TfrmGraph::TPage::AB));
    on("mniProtocol", withActive([](TMDIChild &c) {
           c.Editor()->ShowProtocolFace();
           TMDIChild::ShowFrame(c.EditorFrame);
       }));
    on("mniDescription", withActive([](TMDIChild &c) {
           c.Editor()->ShowDescriptionFace();
           TMDIChild::ShowFrame(c.EditorFrame);
       }));

    on("btnUndo", withActive([](TMDIChild &c) {
           c.Graph->Undo();
           c.Graph->Changed();
       }));
    on("btnAutoScaleX", withActive([](TMDIChild &c) { c.Graph->AutoScaleX(); }));
    on("btnAutoScaleY", withActive([](TMDIChild &c) { c.Graph->AutoScaleY(); }));
    on("btnAutoScaleXY", withActive([](TMDIChild &c) { c.Graph->AutoScaleXY(); }));
    on("btnShowAll", withActive([](TMDIChild &c) { c.mniShowAll->trigger(); }));
    on("btnHideAll", withActive([](TMDIChild &c) { c.mniHideAll->trigger(); }));
    on("btnSelectSignal", withActive([](TMDIChild &c) { c.mniSelectSignal->trigger(); }));

    on("btnSaveProtocol", withActive([](TMDIChild &c) { c.Editor()->mniSaveAsClick(); }));
    on("btnLoadProtocol", withActive([this](TMDIChild &c) {
           c.Editor()->mniOpenClick();
           if (OnProtocolLoaded)
               OnProtocolLoaded();
       }));
    on("btnCheck", withActive([](TMDIChild &c) { c.Editor()->mniCheckClick(); }));
    on("btnClearProtocol", withActive([](TMDIChild &c) { c.Editor()->mniClearClick(); }));
    on("btnCopyProtocol", withActive([](TMDIChild &c) { c.Editor()->mniCopyToCurrentClick(); }));

    on("mniSignals", [this] { SetSignalsShown(m_main.Action(QStringLiteral("mniSignals"))->isChecked()); });
    m_main.OpenExperimentFile = [this](const QString &path) { return OpenFile(path) != nullptr; };
    m_main.NewExperiment = [this] { mniNewClick(); };
    m_main.CloseDocuments = [this] { return CloseAll(); };
    m_main.OpenRequested = [this](const QString &path) { OpenFile(path); };
    m_main.ActiveExperimentExists = [this] { return ActiveExperiment() != nullptr; };
    connect(m_main.MdiArea(), &QMdiArea::subWindowActivated, this, [this](QMdiSubWindow *) {
        ArmMenuMnemonics(m_main.MdiArea());
        m_main.UpdateDocumentControls();
        TMDIChild *c = ActiveExperiment();
        if (c && m_manualScale && c->Frame == m_main.MdiArea()->activeSubWindow())
            m_manualScale->SetGraph(c);
    });
}

} // namespace tessel
