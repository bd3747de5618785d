#pragma once

#include "authoring/WizardSession.h"

#include <QObject>
#include <QString>
#include <functional>

namespace tessel {

class TExperimentCommands;
class TfrmMain;
class TMDIChild;

// Protocol Wizard (Window menu and toolbar, and "Show wizard on startup"):
// the user picks a wizard, fills in its dialog and gets a new experiment,
// named after the wizard, whose protocol is the wizard's output.
class TWizardCommand : public QObject {
    Q_OBJECT
public:
    TWizardCommand(TfrmMain &main, TExperimentCommands &experiments);

    // The command; returns the new experiment, null when nothing was made.
    TMDIChild *Run();

    // The chosen wizard file, empty when the user cancelled. By default the
    // "Select Wizard" window on Tessel.ini in the program's folder.
    std::function<QString()> ChooseWizard;
    TWizardSession &Session() { return m_session; }

private:
    TfrmMain &m_main;
    TExperimentCommands &m_experiments;
    TWizardSession m_session;
};

} // namespace tessel
