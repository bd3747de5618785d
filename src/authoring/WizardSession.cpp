#include "authoring/WizardSession.h"

#include "common/MessageService.h"

namespace tessel {

TWizardFile *TWizardSession::Run(const QString &fileName) {
    try {
        if (!m_current || m_current->FileName() != fileName) {
            m_current.reset();
            auto wizard = std::make_unique<TWizardFile>(fileName);
            // Only a wizard that loaded and built becomes current: one that
            // failed is read again next time, after the user fixed the file.
            wizard->Load();
            if (BuildDialog)
                BuildDialog(*wizard);
            m_current = std::move(wizard);
        }
        if (!m_current->Execute())
            return nullptr;
        m_current->Expand();
        return m_current.get();
    } catch (const ETesselError &e) {
        Messages().error(e.message());
    }
    return nullptr;
}

} // namespace tessel
