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

std::vector<QRect> TileRects(const QRect &area, int n) {
    std::vector<QRect> out;
    if (n <= 0 || area.isEmpty())
        return out;
    int columns = 1;
    while (columns * columns < n)
        ++columns;
    const int rows = (n + columns - 1) / columns;
    for (int i = 0; i < n; ++i) {
        const int row = i / columns;
        const int inRow = row == rows - 1 ? n - row * columns : columns;
        const int col = i % columns;
        const int x0 = area.left() + area.width() * col / inRow, x1 = area.left() + area.width() * (col + 1) / inRow;
        const int y0 = area.top() + area.height() * row / rows, y1 = area.top() + area.height() * (row + 1) / rows;
        out.emplace_back(QPoint(x0, y0), QPoint(x1 - 1, y1 - 1));
    }
    return out;
}

} // namespace tessel
