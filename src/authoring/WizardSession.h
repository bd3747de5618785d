#pragma once

#include "authoring/WizardFile.h"

#include <functional>
#include <memory>

namespace tessel {

// The wizard command's memory: the wizard chosen last stays loaded with its
// dialog, so the values entered are offered again when the same wizard is
// chosen next; choosing another one replaces it.
class TWizardSession {
public:
    // Builds the dialog of a wizard just loaded (the window library's).
    std::function<void(TWizardFile &)> BuildDialog;

    // Runs the wizard of the chosen file: loads and builds it unless it is
    // the current one, shows its dialog and expands the template. Returns
    // the wizard holding the output lines, or null when the user cancelled
    // or an error was reported to the user.
    TWizardFile *Run(const QString &fileName);

    TWizardFile *Current() const { return m_current.get(); }

private:
    std::unique_ptr<TWizardFile> m_current;
};

} // namespace tessel
