#pragma once

#include <QMdiArea>
#include <QMdiSubWindow>
#include <QObject>
#include <QPointer>
#include <QString>
#include <functional>

namespace tessel {

class TCommonObjs;
class TfrmExport;
class TfrmMain;
class TGraphMscl;
class TSignals;
class TMDIChild;
class TNavigator;
struct TEnvSetup;

// Alt+letter opens a menu of the main window or of the active child window
// only: the menu bars of the other child windows give up their mnemonics.
void ArmMenuMnemonics(QMdiArea *mdi);

// The main window's experiment commands: New, Open, Save, Save As, Close,
// Close All, Export, Make Active, the recent files, the View pages and the
// Graph and Protocol toolbars, all on the experiment windows in the MDI area.
class TExperimentCommands : public QObject {
    Q_OBJECT
public:
    TExperimentCommands(TfrmMain &main, TCommonObjs &common, TEnvSetup &env, TNavigator *navigator,
                        TfrmExport *exportDialog, TGraphMscl *manualScale = nullptr);
    ~TExperimentCommands() override;

    // Creates an experiment window named name; with load, reads that file
    // (loaded tells whether it was read completely).
    TMDIChild *OpenExperiment(const QString &name, bool load, bool *loaded = nullptr);
    // The active child window, or the experiment owning the active protocol editor.
    TMDIChild *ActiveExperiment() const;
    QList<TMDIChild *> Experiments() const;

    void mniNewClick();
    void mniOpenClick();
    // Opens a named file and lists it among the recent files.
    TMDIChild *OpenFile(const QString &path);
    bool Save(TMDIChild *c, bool saveAs);
    void mniCloseClick();
    void mniCloseAllClick();
    // Closes every experiment; false when one stayed open (Cancel, or measuring).
    bool CloseAll();
    void mniExportClick();
    // Makes the experiment the measurement target, unless a measurement runs.
    bool MakeActive(TMDIChild *c);

    // View > Signals: the compiled protocol's output lines.
    void SetSignalsShown(bool on);
    TSignals *Signals() const;
    // Reloads the signals view from the last build, when it is shown.
    void RefreshSignals();

    // After "Load Protocol" the next Start must compile and download.
    std::function<void()> OnProtocolLoaded;

protected:
    bool eventFilter(QObject *watched, QEvent *e) override;

private:
    void wire();
    void showSize(TMDIChild *c);
    void forget(TMDIChild *c);
    void closeSignals();
    // The experiments' windows side by side over the free area.
    void tileExperiments();

    TfrmMain &m_main;
    TCommonObjs &m_common;
    TEnvSetup &m_env;
    TNavigator *m_navigator;
    TfrmExport *m_export;
    TGraphMscl *m_manualScale;
    QPointer<TSignals> m_signals;
    QPointer<QMdiSubWindow> m_signalsFrame, m_beforeSignals;
    bool m_switchingSignals = false;
};

} // namespace tessel
