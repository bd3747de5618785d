#pragma once

#include <QString>
#include <QStringList>

namespace tessel {

// Most recently used experiment files, newest first, at most MaxLength.
class TRecentFiles {
public:
    explicit TRecentFiles(int maxLength = 9) : m_max(maxLength) {}

    int MaxLength() const { return m_max; }
    const QStringList &Items() const { return m_items; }
    int Count() const { return int(m_items.size()); }

    void SetItems(const QStringList &items);
    // Moves an existing entry to the top, or inserts it there.
    void Add(const QString &path);
    void Remove(const QString &path);
    // Menu caption "&%d %s" for entry index (0-based) with an already shortened path.
    static QString Caption(int index, const QString &shownPath);

private:
    int m_max;
    QStringList m_items;
};

} // namespace tessel
