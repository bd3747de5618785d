#include "compiler/Events.h"

namespace tessel {

void TEvents::Sort() {
    if (Count() > 1)
        QuickSortByTime(static_cast<TEventRec *>(RecordAt(0)), 0, Count() - 1);
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
