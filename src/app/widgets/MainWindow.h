#pragma once

#include "app/MDIList.h"
#include "app/MainCommands.h"
#include "settings/EnvSetup.h"
#include "settings/RecentFiles.h"
#include "settings/SettingsStore.h"

#include <QHash>
#include <QMainWindow>
#include <QSet>
#include <QTimer>
#include <array>

class QAction;
class QLabel;
class QMdiArea;
class QMenu;
class QToolBar;

namespace tessel {

class TfrmHelp;

class TCommonObjs;
class TEnvSetupDialog;
class TNavigator;
class TStartServer;

// Owner-drawn status panel with the channels' gains and offsets.
class TGainPanel : public QWidget {
    Q_OBJECT
public:
    explicit TGainPanel(QWidget *parent = nullptr);
    void SetText(const QString &a, const QString &b);
    QString TextA() const { return m_a; }
    QString TextB() const { return m_b; }

protected:
    void paintEvent(QPaintEvent *) override;

private:
    QString m_a, m_b;
};

// The frame window: menus, five dockable toolbars, the status bar, the timers
// and the experiment windows. CommandEnabled decides which commands are on.
class TfrmMain : public QMainWindow {
    Q_OBJECT
public:
    static constexpr int kStatusPanels = 9;

    TfrmMain(TCommonObjs *common, TEnvSetup *env, QWidget *parent = nullptr);
    ~TfrmMain() override;

    QAction *Action(const QString &id) const { return m_actions.value(id); }
    QMenu *Menu(MainMenu m) const { return m_menus.value(int(m)); }
    QToolBar *Toolbar(MainToolbar t) const { return m_toolbars.value(int(t)); }
    QLabel *Panel(int i) const { return i >= 0 && i < 8 ? m_panels[i] : nullptr; }
    TGainPanel *GainPanel() const { return m_gainPanel; }
    QMdiArea *MdiArea() const { return m_mdi; }
    TMDIList &Experiments() { return m_experiments; }
    TRecentFiles &RecentFiles() { return m_recent; }
    TPFormSettings &Store() { return m_store; }
    QTimer &ReconnectTimer() { return m_reconnect; }
    bool ShownOnce() const { return m_shownOnce; }
    int ExperimentCounter() const { return m_experimentCounter; }
    // The running number of the next new experiment; never reset.
    int NextExperimentNumber() { return ++m_experimentCounter; }

    void SetNavigator(TNavigator *nav);
    void SetEnvDialog(TEnvSetupDialog *dlg) { m_envDialog = dlg; }
    // Starts listening for "TesselStart" requests of other programs.
    bool ListenForStart(const QString &name = {});
    TStartServer *StartServer() const { return m_startServer; }

    // Keeps a built command disabled while something else owns it (the
    // protocol views while the signals view is shown).
    void SetCommandSuppressed(const QString &id, bool suppressed);
    // The measurement run's idle and measuring states switch commands off
    // and on again (ids of actions, "mnuTestKeys" for the submenu); the
    // caller ends a batch with UpdateDocumentControls().
    void SetRunEnabled(const QString &id, bool on);

    // The work of the first show; runs once.
    void FirstShow();
    // Enables the document controls when an experiment exists.
    void UpdateDocumentControls();
    // Idle state of the controls: Start enabled when it can run.
    void SetIdleState();

    void RestoreSettings();
    void SaveSettings();
    void RebuildRecentFiles();
    // The experiment-list caption of a recent file, shortened to 300 pixels.
    QString ShortenedPath(const QString &path) const;

    // Experiment and measurement hooks, filled in by the command classes.
    std::function<bool(const QString &file)> OpenExperimentFile;
    std::function<void()> NewExperiment;
    // Whether an experiment window (or its protocol editor) is the active child.
    std::function<bool()> ActiveExperimentExists;
    std::function<void()> RunWizard;
    // After the first show: open the command-line file, else offer the wizard
    // and a blank experiment as the environment options say.
    void RunStartupActions(const QString &commandLineFile);
    std::function<void()> StartMeasurement;
    // The measurement run's idle state of the controls.
    std::function<void()> IdleState;
    std::function<void()> SendStop;
    // Closes every document window first; false when one stays open.
    std::function<bool()> CloseDocuments;
    // An experiment file named by another program ("tessel-cli start --open").
    std::function<void(const QString &)> OpenRequested;
    // First show: select the stored default instrument type.
    std::function<void()> ApplyDefaultDevice;
    // First show: read the baud rates, open the stored port, identify.
    std::function<void()> OpenDeviceLink;
    // Saved with the window's settings: the link's port choice.
    std::function<void()> SaveLinkSettings;

signals:
    void StartRequested();

public slots:
    void mniExitClick();
    void mniAboutClick();
    // Help button, Help > Contents and Search: the user guide in a window.
    void btnHelpClick();
    void mniEnvOptionsClick();
    void mniNavigatorClick();
    void mniTileClick();
    void mniCascadeClick();
    void mniStartClick();

public:
    TfrmHelp *HelpWindow() const;

protected:
    void showEvent(QShowEvent *e) override;
    void closeEvent(QCloseEvent *e) override;

private:
    TfrmHelp *m_help = nullptr;
    void createActions();
    void createMenus();
    void createToolbars();
    void createStatusBar();
    void updateExperimentMenu();
    void updateWindowMenu();
    void onRecentFile(const QString &path);

    TCommonObjs *m_common;
    TEnvSetup *m_env;
    TMDIList m_experiments;
    TRecentFiles m_recent{9};
    TPFormSettings m_store;
    QMdiArea *m_mdi;
    QHash<QString, QAction *> m_actions;
    QHash<int, QMenu *> m_menus;
    QHash<int, QToolBar *> m_toolbars;
    QList<QAction *> m_recentActions;
    QAction *m_recentSeparator = nullptr;
    QAction *m_windowListSeparator = nullptr;
    std::array<QLabel *, 8> m_panels{};
    TGainPanel *m_gainPanel;
    QTimer m_reconnect;
    QSet<QString> m_suppressed;
    QSet<QString> m_runOff;
    TNavigator *m_navigator = nullptr;
    TEnvSetupDialog *m_envDialog = nullptr;
    TStartServer *m_startServer = nullptr;
    bool m_shownOnce = false;
    int m_experimentCounter = 0;
    int m_pollFailuresLeft = 3;
};

} // namespace tessel
