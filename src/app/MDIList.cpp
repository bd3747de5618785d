#include "app/MDIList.h"

namespace tessel {

void TMDIList::Add(QObject *w) {
    if (!w || m_items.IndexOf(w) >= 0)
        return;
    m_items.Add(w);
    emit Changed();
}

void TMDIList::Remove(QObject *w) {
    if (m_items.Remove(w) < 0)
        return;
    if (m_active == w)
        m_active = nullptr;
    emit Changed();
}

void TMDIList::SetActive(QObject *w) {
    if (w && m_items.IndexOf(w) < 0)
        return;
    m_active = w;
}

} // namespace tessel
