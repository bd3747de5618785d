#pragma once

#include "common/DataList.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <vector>

namespace tessel {

// Bits of a primitive action's code beyond the 16 output lines.
constexpr uint32_t kResetBit = 1u << 28;       // the action switches its lines off
constexpr uint32_t kMultiSampleBit = 1u << 24; // sample SamplesPerEvent times
constexpr uint32_t kSkipSampleABit = 1u << 5;  // channel A sample not recorded
constexpr uint32_t kSkipSampleBBit = 1u << 6;  // channel B sample not recorded
constexpr uint32_t kRestState = 0x80;          // line 7 (detector enable) is on at rest

// A primitive action, or an event of the finished table (Code is then the
// complete state of the 16 lines). Kept naturally aligned (16 bytes) so
// its fields can be bound by reference.
struct TEventRec {
    double Time;
    uint32_t Code;
};

// Sorts records with a Time member in place: quicksort, middle element as
// pivot, smaller side first so the stack stays logarithmic. Equal times end
// up in no defined order.
template <typename T> void QuickSortByTime(T *a, int32_t left, int32_t right) {
    while (left < right) {
        int32_t i = left, j = right;
        const double pivot = a[left + (right - left) / 2].Time;
        while (i <= j) {
            while (a[i].Time < pivot)
                ++i;
            while (a[j].Time > pivot)
                --j;
            if (i <= j) {
                if (i != j) {
                    T t = a[i];
                    a[i] = a[j];
                    a[j] = t;
                }
                ++i;
                --j;
            }
        }
        if (j - left < right - i) {
            QuickSortByTime(a, left, j);
            left = i;
        } else {
            QuickSortByTime(a, i, right);
            right = j;
        }
    }
}

class TEvents : public TTypedDataList<TEventRec> {
public:
    using TTypedDataList::Add;
    int32_t Add(double time, uint32_t code) { return TTypedDataList::Add(TEventRec{time, code}); }
    const TEventRec &Last() const { return At(Count() - 1); }
    void Sort();
};

// A variable the protocol defined. The record holds the index of its name.
struct TVariableRec {
    int32_t NameIndex;
    double Value;
};

class TVariables : public TTypedDataList<TVariableRec> {
public:
    int32_t Add(const QString &name, double value);
    QString Name(int32_t index) const { return m_names.at(At(index).NameIndex); }
    double Value(int32_t index) const { return At(index).Value; }
    // Searches from the last record backwards (a later definition wins);
    // exact, case-sensitive. Returns the index or -1.
    int32_t Find(const QString &name) const;
    void Clear();

private:
    QStringList m_names;
};

// A macro: its (quantised) time and the content bytes passed to the
// instrument unchanged. The length byte is Bytes.size().
struct TMacroRec {
    double Time = 0;
    QByteArray Bytes;
};
using TMacroList = std::vector<TMacroRec>;

void SortMacros(TMacroList &macros);

// The recorded sample instants of one channel, ascending.
class TSampleTimes {
public:
    int32_t Count() const { return int32_t(m_times.size()); }
    bool IsEmpty() const { return m_times.empty(); }
    double operator[](int32_t i) const { return m_times[size_t(i)]; }
    double Last() const { return m_times.back(); }
    void Add(double t) { m_times.push_back(t); }
    void Clear() { m_times.clear(); }
    const std::vector<double> &Values() const { return m_times; }

private:
    std::vector<double> m_times;
};

} // namespace tessel
