#include "settings/RecentFiles.h"

namespace tessel {

void TRecentFiles::SetItems(const QStringList &items) {
    m_items.clear();
    for (const QString &i : items)
        if (!i.isEmpty() && !m_items.contains(i) && m_items.size() < m_max)
            m_items.append(i);
}

void TRecentFiles::Add(const QString &path) {
    if (path.isEmpty())
        return;
    m_items.removeAll(path);
    m_items.prepend(path);
    while (m_items.size() > m_max)
        m_items.removeLast();
}

void TRecentFiles::Remove(const QString &path) { m_items.removeAll(path); }

QString TRecentFiles::Caption(int index, const QString &shownPath) {
    return QStringLiteral("&%1 %2").arg(index + 1).arg(shownPath);
}

} // namespace tessel
