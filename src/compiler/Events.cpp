#include "compiler/Events.h"

#include <algorithm>

namespace tessel {

void TEvents::Sort() {
    if (Count() < 2)
        return;
    // Protocols mostly yield their actions in time order already.
    TEventRec *a = &At(0);
    if (std::is_sorted(a, a + Count(), [](const TEventRec &x, const TEventRec &y) { return x.Time < y.Time; }))
        return;
    QuickSortByTime(a, 0, Count() - 1);
}

int32_t TVariables::Add(const QString &name, double value) {
    m_names.append(name);
    return TTypedDataList::Add(TVariableRec{int32_t(m_names.size() - 1), value});
}

int32_t TVariables::Find(const QString &name) const {
    for (int32_t i = Count() - 1; i >= 0; --i)
        if (m_names.at(At(i).NameIndex) == name)
            return i;
    return -1;
}

void TVariables::Clear() {
    TTypedDataList::Clear();
    m_names.clear();
}

void SortMacros(TMacroList &macros) {
    if (macros.size() > 1)
        QuickSortByTime(macros.data(), 0, int32_t(macros.size()) - 1);
}

} // namespace tessel
