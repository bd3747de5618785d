#include "app/widgets/WizardCommand.h"

#include "app/widgets/ExperimentCommands.h"
#include "app/widgets/ExperimentWindow.h"
#include "app/widgets/MainWindow.h"
#include "authoring/widgets/ProtocolEditor.h"
#include "authoring/widgets/WizardDialog.h"
#include "authoring/widgets/WizardSelector.h"
#include "common/AppPaths.h"

#include <QAction>

namespace tessel {

TWizardCommand::TWizardCommand(TfrmMain &main, TExperimentCommands &experiments)
    : QObject(&main), m_main(main), m_experiments(experiments) {
    m_session.BuildDialog = BuildWizardDialog;
    ChooseWizard = [this] {
        TWzdSelector selector;
        selector.Load(AppPaths::iniPath());
        return selector.Execute(&m_main) ? selector.SelectedFileName() : QString();
    };
    connect(m_main.Action(QStringLiteral("mniWizard")), &QAction::triggered, this, [this] { Run(); });
    m_main.RunWizard = [this] { Run(); };
}

TMDIChild *TWizardCommand::Run() {
    const QString file = ChooseWizard ? ChooseWizard() : QString();
    if (file.isEmpty())
        return nullptr;
    const TWizardFile *wizard = m_session.Run(file);
    if (!wizard)
        return nullptr;
    TMDIChild *child = m_experiments.OpenExperiment(wizard->Title(), false);
    child->Doc().Protocol.SetText(wizard->OutputLines().join(QLatin1Char('\n')) + QLatin1Char('\n'));
    child->Editor()->ReloadText();
    child->RefreshAll();
    child->Editor()->ShowProtocolFace();
    TMDIChild::ShowFrame(child->EditorFrame);
    return child;
}

} // namespace tessel
