#pragma once

#include "common/DataList.h"

#include <QObject>
#include <QRect>
#include <vector>

namespace tessel {

// The open experiment windows: which one receives the next measurement
// (the active one) and whether a measurement is running (busy).
class TMDIList : public QObject {
    Q_OBJECT
public:
    explicit TMDIList(QObject *parent = nullptr) : QObject(parent) {}

    int Count() const { return m_items.Count(); }
    QObject *Item(int index) const { return m_items.Get(index); }
    int IndexOf(QObject *w) const { return m_items.IndexOf(w); }

    void Add(QObject *w);
    // Removes the window; it gives up the active role.
    void Remove(QObject *w);

    QObject *Active() const { return m_active; }
    void SetActive(QObject *w);
    bool Busy() const { return m_busy; }
    void SetBusy(bool busy) { m_busy = busy; }

signals:
    void Changed();

private:
    TTypedDataList<QObject *> m_items;
    QObject *m_active = nullptr;
    bool m_busy = false;
};

// n windows side by side over area, in as many columns as the square root of
// n needs and rows below them; the last row's windows share its width.
std::vector<QRect> TileRects(const QRect &area, int n);

} // namespace tessel
