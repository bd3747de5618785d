#include "app/widgets/MainWindow.h"

#include "app/CommonObjs.h"
#include "app/InstrumentConfig.h"
#include "app/StartServer.h"
#include "app/widgets/HelpWindow.h"
#include "app/widgets/Icons.h"
#include "common/AppPaths.h"
#include "common/Errors.h"
#include "common/Log.h"
#include "common/MessageService.h"
#include "graph/widgets/Navigator.h"
#include "settings/widgets/EnvSetupDialog.h"
#include "settings/widgets/WindowGeometry.h"

#include <QAction>
#include <QCloseEvent>
#include <QFileInfo>
#include <QFontMetrics>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QPainter>
#include <QStatusBar>
#include <QToolBar>

namespace tessel {

namespace {
const QString kToolbarLayout = QStringLiteral("ToolbarLayout");
const QString kMRUList = QStringLiteral("MRUList");

} // namespace

TGainPanel::TGainPanel(QWidget *parent) : QWidget(parent) { setMinimumWidth(180); }

void TGainPanel::SetText(const QString &a, const QString &b) {
    m_a = a;
    m_b = b;
    QFont f = font();
    f.setBold(true);
    const QFontMetrics fm(f);
    setMinimumWidth(std::max(180, fm.horizontalAdvance(a) + fm.horizontalAdvance(b) + 16));
    update();
}

void TGainPanel::paintEvent(QPaintEvent *) {
    QPainter p(this);
    QFont f = font();
    f.setBold(true);
    p.setFont(f);
    const QRect r = rect().adjusted(2, 0, -2, 0);
    // One text (the gains of both channels) starts at the left edge.
    if (m_b.isEmpty()) {
        p.drawText(r, Qt::AlignVCenter | Qt::AlignLeft, m_a);
        return;
    }
    p.setPen(QColor(0, 0, 160));
    p.drawText(r.adjusted(0, 0, -r.width() / 2, 0), Qt::AlignVCenter | Qt::AlignLeft, m_a);
    p.setPen(QColor(160, 0, 0));
    p.drawText(r.adjusted(r.width() / 2, 0, 0, 0), Qt::AlignVCenter | Qt::AlignLeft, m_b);
}

TfrmMain::TfrmMain(TCommonObjs *common, TEnvSetup *env, QWidget *parent)
    : QMainWindow(parent), m_common(common), m_env(env),
      m_store(QStringLiteral("frmMain"), TPFormSettings::Values::All) {
    setObjectName(QStringLiteral("frmMain"));
    setWindowTitle(QStringLiteral("Tessel for Windows v3.7"));
    setWindowIcon(AppIcon());
    resize(940, 439);
    m_store.EnableMRU(9);
    m_store.Register(kToolbarLayout, SettingKind::Text, QString());

    m_mdi = new QMdiArea(this);
    m_mdi->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    m_mdi->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setCentralWidget(m_mdi);

    createActions();
    createMenus();
    createToolbars();
    connect(Action("btnStart"), &QAction::triggered, this, &TfrmMain::mniStartClick);
    createStatusBar();

    m_pollFailuresLeft = 3;
    Config().Thickness = ReadThickness(AppPaths::iniPath());
    m_reconnect.setInterval(3000);
    connect(&m_experiments, &TMDIList::Changed, this, &TfrmMain::UpdateDocumentControls);
    UpdateDocumentControls();
}

TfrmMain::~TfrmMain() = default;

void TfrmMain::createActions() {
    for (const MainCommand &c : MainCommands()) {
        auto *a = new QAction(QString::fromLatin1(c.caption), this);
        a->setObjectName(QLatin1String(c.id));
        if (*c.shortcut)
            a->setShortcut(QKeySequence(QString::fromLatin1(c.shortcut)));
        if (*c.hint)
            a->setToolTip(QString::fromLatin1(c.hint));
        if (*c.icon)
            a->setIcon(TesselIcon(QString::fromLatin1(c.icon)));
        a->setCheckable(c.checkable);
        m_actions.insert(QLatin1String(c.id), a);
    }
    connect(Action("mniExit"), &QAction::triggered, this, &TfrmMain::mniExitClick);
    connect(Action("mniAbout"), &QAction::triggered, this, &TfrmMain::mniAboutClick);
    connect(Action("btnHelp"), &QAction::triggered, this, &TfrmMain::btnHelpClick);
    connect(Action("mniContents"), &QAction::triggered, this, &TfrmMain::btnHelpClick);
    connect(Action("mniSearchHelp"), &QAction::triggered, this, &TfrmMain::btnHelpClick);
    connect(Action("mniHowToUse"), &QAction::triggered, this, [] {
        Messages().information(QStringLiteral("Help > Contents and the Help button open the user guide in a window; "
                                              "its links lead to the pictures and sections it names."));
    });
    connect(Action("mniEnvOptions"), &QAction::triggered, this, &TfrmMain::mniEnvOptionsClick);
    connect(Action("mniNavigator"), &QAction::triggered, this, &TfrmMain::mniNavigatorClick);
    connect(Action("mniTile"), &QAction::triggered, this, &TfrmMain::mniTileClick);
    connect(Action("mniCascade"), &QAction::triggered, this, &TfrmMain::mniCascadeClick);
    connect(Action("mniStart"), &QAction::triggered, this, &TfrmMain::mniStartClick);
}

void TfrmMain::createMenus() {
    for (MainMenu m :
         {MainMenu::Experiment, MainMenu::View, MainMenu::System, MainMenu::Setup, MainMenu::Window, MainMenu::Help}) {
        QMenu *menu = menuBar()->addMenu(MenuCaption(m));
        m_menus.insert(int(m), menu);
    }
    auto *toolbars = new QMenu(MenuCaption(MainMenu::ViewToolbars), this);
    m_menus.insert(int(MainMenu::ViewToolbars), toolbars);
    auto *testKeys = new QMenu(MenuCaption(MainMenu::TestKeys), this);
    m_menus.insert(int(MainMenu::TestKeys), testKeys);

    for (const MainCommand &c : MainCommands()) {
        QMenu *menu = Menu(c.menu);
        if (!menu)
            continue;
        if (c.separatorBefore)
            menu->addSeparator();
        menu->addAction(Action(QLatin1String(c.id)));
    }
    Menu(MainMenu::View)->addSeparator();
    Menu(MainMenu::View)->addMenu(toolbars);
    Menu(MainMenu::System)->addSeparator();
    Menu(MainMenu::System)->addMenu(testKeys);
    m_windowListSeparator = Menu(MainMenu::Window)->addSeparator();

    connect(Menu(MainMenu::Experiment), &QMenu::aboutToShow, this, &TfrmMain::updateExperimentMenu);
    connect(Menu(MainMenu::Window), &QMenu::aboutToShow, this, &TfrmMain::updateWindowMenu);
    RebuildRecentFiles();
}

void TfrmMain::createToolbars() {
    for (MainToolbar t :
         {MainToolbar::Main, MainToolbar::Graph, MainToolbar::Protocol, MainToolbar::Window, MainToolbar::Control}) {
        // Two rows fit the frame's initial width.
        if (t == MainToolbar::Window)
            addToolBarBreak();
        QToolBar *tb = addToolBar(ToolbarCaption(t));
        tb->setObjectName(ToolbarName(t));
        tb->setIconSize(QSize(22, 22));
        m_toolbars.insert(int(t), tb);
    }
    for (const MainCommand &c : MainCommands()) {
        QToolBar *tb = Toolbar(c.toolbar);
        if (!tb)
            continue;
        QAction *a = Action(QLatin1String(c.id));
        // Start and Abort have a button whose state differs from the menu's.
        if (c.toolbar == MainToolbar::Control) {
            const QString id = QStringLiteral("btn") + QLatin1String(c.id).mid(3);
            auto *b = new QAction(a->icon(), a->text(), this);
            b->setObjectName(id);
            b->setToolTip(a->toolTip());
            m_actions.insert(id, b);
            a = b;
        }
        tb->addAction(a);
        // Screen readers name a button by its tip: the icon alone says nothing.
        if (QWidget *button = tb->widgetForAction(a))
            button->setAccessibleName(a->toolTip());
    }
    const std::pair<const char *, MainToolbar> toggles[] = {{"mniTbMain", MainToolbar::Main},
                                                            {"mniTbGraph", MainToolbar::Graph},
                                                            {"mniTbWindow", MainToolbar::Window},
                                                            {"mniTbControl", MainToolbar::Control}};
    for (const auto &[id, t] : toggles) {
        QAction *a = Action(QLatin1String(id));
        QToolBar *tb = Toolbar(t);
        a->setChecked(true);
        connect(a, &QAction::toggled, tb, &QToolBar::setVisible);
        connect(tb, &QToolBar::visibilityChanged, a, &QAction::setChecked);
    }
}

void TfrmMain::createStatusBar() {
    const char *texts[8] = {"Status:", "Not connected", "File Size:", "0 kB", "Date:", "", "", ""};
    for (int i = 0; i < 8; ++i) {
        auto *l = new QLabel(QString::fromLatin1(texts[i]), this);
        l->setObjectName(QStringLiteral("Panel%1").arg(i));
        if (i == 1) {
            l->setMinimumWidth(150);
            l->setAlignment(Qt::AlignCenter);
        }
        if (i == 6)
            l->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        statusBar()->addWidget(l, i == 7 ? 1 : 0);
        m_panels[i] = l;
    }
    m_gainPanel = new TGainPanel(this);
    m_gainPanel->setObjectName(QStringLiteral("Panel8"));
    statusBar()->addPermanentWidget(m_gainPanel);
}

void TfrmMain::SetCommandSuppressed(const QString &id, bool suppressed) {
    if (suppressed)
        m_suppressed.insert(id);
    else
        m_suppressed.remove(id);
    UpdateDocumentControls();
}

void TfrmMain::UpdateDocumentControls() {
    TCommandInputs in;
    in.AnyExperiment = m_experiments.Count() > 0;
    in.ActiveExperiment = ActiveExperimentExists ? ActiveExperimentExists() : m_experiments.Active() != nullptr;
    auto apply = [&](const QString &id) {
        in.Suppressed = m_suppressed.contains(id);
        in.RunOff = m_runOff.contains(id);
        Action(id)->setEnabled(CommandEnabled(id, in));
    };
    for (const MainCommand &c : MainCommands())
        apply(QLatin1String(c.id));
    apply(QStringLiteral("btnStart"));
    apply(QStringLiteral("btnAbort"));
    Menu(MainMenu::TestKeys)->setEnabled(!m_runOff.contains(QStringLiteral("mnuTestKeys")));
}

void TfrmMain::SetRunEnabled(const QString &id, bool on) {
    if (on)
        m_runOff.remove(id);
    else
        m_runOff.insert(id);
}

void TfrmMain::SetIdleState() {
    if (IdleState)
        IdleState();
    UpdateDocumentControls();
}

void TfrmMain::updateExperimentMenu() {
    UpdateDocumentControls();
    Action("mniCloseAll")->setEnabled(!m_mdi->subWindowList().isEmpty());
}

void TfrmMain::updateWindowMenu() {
    QMenu *menu = Menu(MainMenu::Window);
    const QList<QAction *> all = menu->actions();
    const int start = int(all.indexOf(m_windowListSeparator));
    for (int i = start + 1; i < all.size(); ++i) {
        menu->removeAction(all[i]);
        delete all[i];
    }
    Action("mniMakeActive")
        ->setEnabled(!m_experiments.Busy() && (ActiveExperimentExists ? ActiveExperimentExists() : false));
    const QList<QMdiSubWindow *> windows = m_mdi->subWindowList();
    m_windowListSeparator->setVisible(!windows.isEmpty());
    int n = 0;
    for (QMdiSubWindow *w : windows) {
        QAction *a = menu->addAction(QStringLiteral("&%1 %2").arg(++n).arg(w->windowTitle()));
        a->setCheckable(true);
        a->setChecked(w == m_mdi->activeSubWindow());
        connect(a, &QAction::triggered, this, [this, w] { m_mdi->setActiveSubWindow(w); });
    }
}

QString TfrmMain::ShortenedPath(const QString &path) const {
    return QFontMetrics(Menu(MainMenu::Experiment)->font()).elidedText(path, Qt::ElideMiddle, 300);
}

void TfrmMain::RebuildRecentFiles() {
    QMenu *menu = Menu(MainMenu::Experiment);
    for (QAction *a : m_recentActions) {
        menu->removeAction(a);
        delete a;
    }
    m_recentActions.clear();
    if (m_recentSeparator) {
        menu->removeAction(m_recentSeparator);
        delete m_recentSeparator;
        m_recentSeparator = nullptr;
    }
    const QStringList items = m_recent.Items();
    if (items.isEmpty())
        return;
    QAction *exit = Action("mniExit");
    for (int i = 0; i < items.size(); ++i) {
        auto *a = new QAction(TRecentFiles::Caption(i, ShortenedPath(items[i])), menu);
        a->setObjectName(QStringLiteral("mniRecent%1").arg(i + 1));
        a->setData(items[i]);
        const QString path = items[i];
        connect(a, &QAction::triggered, this, [this, path] { onRecentFile(path); });
        menu->insertAction(exit, a);
        m_recentActions.append(a);
    }
    m_recentSeparator = new QAction(menu);
    m_recentSeparator->setSeparator(true);
    menu->insertAction(exit, m_recentSeparator);
}

void TfrmMain::onRecentFile(const QString &path) {
    if (OpenExperimentFile)
        OpenExperimentFile(path);
}

void TfrmMain::SetNavigator(TNavigator *nav) { m_navigator = nav; }

bool TfrmMain::ListenForStart(const QString &name) {
    if (!m_startServer)
        m_startServer =
            new TStartServer([this] { return Action("btnStart")->isEnabled(); }, [this] { mniStartClick(); }, this);
    m_startServer->OnOpen = [this](const QString &file) {
        if (OpenRequested)
            OpenRequested(file);
    };
    return m_startServer->Listen(name.isEmpty() ? TStartServer::SocketName() : name);
}

void TfrmMain::showEvent(QShowEvent *e) {
    QMainWindow::showEvent(e);
    if (!m_shownOnce)
        FirstShow();
}

void TfrmMain::FirstShow() {
    if (m_shownOnce)
        return;
    m_shownOnce = true;
    SetIdleState();
    if (m_env && m_env->AutoReconnect)
        m_reconnect.start();
    if (OpenDeviceLink)
        OpenDeviceLink();
    if (ApplyDefaultDevice)
        ApplyDefaultDevice();
}

void TfrmMain::RestoreSettings() {
    m_store.Restore();
    // The designed 940 x 439 is cramped on today's screens; the first start
    // takes most of the screen instead, later starts what the user left.
    if (!m_store.Window().hasGeometry())
        PlaceOnFirstStart(this, 0.8);
    const int state = ApplyWindow(this, m_store.Window(), true);
    if (state == 2)
        setWindowState(windowState() | Qt::WindowMaximized);
    m_recent.SetItems(m_store.TextList(kMRUList));
    RebuildRecentFiles();
    const QString layout = m_store.Text(kToolbarLayout);
    if (!layout.isEmpty())
        restoreState(QByteArray::fromBase64(layout.toLatin1()));
    for (const char *id : {"mniTbMain", "mniTbGraph", "mniTbWindow", "mniTbControl"}) {
        const MainToolbar t = QLatin1String(id) == QLatin1String("mniTbMain")     ? MainToolbar::Main
                              : QLatin1String(id) == QLatin1String("mniTbGraph")  ? MainToolbar::Graph
                              : QLatin1String(id) == QLatin1String("mniTbWindow") ? MainToolbar::Window
                                                                                  : MainToolbar::Control;
        Action(QLatin1String(id))->setChecked(!Toolbar(t)->isHidden());
    }
}

void TfrmMain::SaveSettings() {
    m_store.SetWindow(CaptureWindow(this, true));
    QStringList mru = m_recent.Items();
    while (mru.size() > m_store.MRULength())
        mru.removeLast();
    m_store.SetValue(kMRUList, mru);
    m_store.SetValue(kToolbarLayout, QString::fromLatin1(saveState().toBase64()));
    m_store.Save();
    if (SaveLinkSettings)
        SaveLinkSettings();
    if (m_env)
        m_env->Save();
    if (m_navigator)
        m_navigator->SaveSettings();
}

void TfrmMain::closeEvent(QCloseEvent *e) {
    // Unsaved experiments are asked about first; Cancel keeps the program.
    if (CloseDocuments && !CloseDocuments()) {
        e->ignore();
        return;
    }
    if (SendStop)
        SendStop();
    try {
        SavePrintColumns(AppPaths::iniPath(), Config().Instrument.DePrnCol);
        SaveThickness(AppPaths::iniPath(), Config().Thickness);
    } catch (const ETesselError &err) {
        Messages().error(err.message());
    }
    SaveSettings();
    if (m_navigator)
        m_navigator->close();
    e->accept();
}

void TfrmMain::RunStartupActions(const QString &commandLineFile) {
    const QString file = commandLineFile.trimmed();
    if (!file.isEmpty()) {
        if (OpenExperimentFile)
            OpenExperimentFile(file);
        else
            WriteLog(QStringLiteral("Experiment not opened: ") + file);
        return;
    }
    if (m_env && m_env->ShowWizard && RunWizard)
        RunWizard();
    if (m_env && m_env->CreateExp && m_experiments.Count() == 0 && NewExperiment)
        NewExperiment();
}

void TfrmMain::mniExitClick() { close(); }

void TfrmMain::mniAboutClick() {
    Messages().information(QStringLiteral("Tessel for Windows v3.7\n\nMeasures, keeps and evaluates the "
                                          "fluorescence of both channels of the instrument.\n\nMIT License."));
}

void TfrmMain::btnHelpClick() {
    // The user guide ships with the program and shows in a window of its own:
    // no help viewer needs to be installed.
    if (!m_help)
        m_help = new TfrmHelp(this);
    if (!m_help->Load(AppPaths::docDir())) {
        Messages().error(QStringLiteral("The user guide (user-guide.html or user-guide.md) was not found in ") +
                         AppPaths::docDir());
        return;
    }
    m_help->showNormal();
    m_help->raise();
    m_help->activateWindow();
}

TfrmHelp *TfrmMain::HelpWindow() const { return m_help; }

void TfrmMain::mniEnvOptionsClick() {
    if (m_envDialog)
        m_envDialog->Execute();
}

void TfrmMain::mniNavigatorClick() {
    if (!m_navigator)
        return;
    if (m_navigator->isVisible() && !m_navigator->isMinimized()) {
        m_navigator->close();
        return;
    }
    m_navigator->showNormal();
    m_navigator->raise();
}

void TfrmMain::mniTileClick() { m_mdi->tileSubWindows(); }
void TfrmMain::mniCascadeClick() { m_mdi->cascadeSubWindows(); }

void TfrmMain::mniStartClick() {
    if (!Action("btnStart")->isEnabled())
        return;
    emit StartRequested();
    if (StartMeasurement)
        StartMeasurement();
}

} // namespace tessel
