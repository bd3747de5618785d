#include "common/DataList.h"

#include <cstdlib>
#include <limits>
#include <new>
#include <utility>

namespace tessel {

namespace {
[[noreturn]] void raise(const char *fmt, int32_t value) { throw EDataListError(QString::asprintf(fmt, value)); }
} // namespace

TDataList::TDataList(int32_t recordSize)
    : m_recordSize(recordSize < 1 ? 1 : recordSize),
      m_maxCount(std::numeric_limits<int32_t>::max() / m_recordSize - 1) {}

TDataList::~TDataList() { Clear(); }

void TDataList::CheckIndex(int32_t index) const {
    if (index < 0 || index >= m_count)
        raise("DataList index out of bounds (%d)", index);
}

void TDataList::Grow() {
    int32_t delta;
    if (m_capacity > 64)
        delta = m_capacity / 4;
    else if (m_capacity > 8)
        delta = 16;
    else
        delta = 4;
    int64_t wanted = int64_t(m_capacity) + delta;
    if (wanted > m_maxCount)
        wanted = m_maxCount;
    SetCapacity(int32_t(wanted));
}

void TDataList::GrowForAppend() {
    Grow();
    if (m_count == m_capacity)
        raise("DataList count out of bounds (%d)", m_count + 1);
}

int32_t TDataList::Add(const void *record) {
    std::memcpy(AppendSlot(), record, size_t(m_recordSize));
    return m_count - 1;
}

void TDataList::Get(int32_t index, void *record) const {
    CheckIndex(index);
    std::memcpy(record, m_data + size_t(index) * size_t(m_recordSize), size_t(m_recordSize));
}

void *TDataList::RecordAt(int32_t index) {
    CheckIndex(index);
    return m_data + size_t(index) * size_t(m_recordSize);
}

const void *TDataList::RecordAt(int32_t index) const {
    CheckIndex(index);
    return m_data + size_t(index) * size_t(m_recordSize);
}

void TDataList::Delete(int32_t index) {
    CheckIndex(index);
    --m_count;
    if (index < m_count)
        std::memmove(m_data + size_t(index) * size_t(m_recordSize), m_data + size_t(index + 1) * size_t(m_recordSize),
                     size_t(m_count - index) * size_t(m_recordSize));
}

void TDataList::Exchange(int32_t i, int32_t j) {
    CheckIndex(i);
    CheckIndex(j);
    if (i == j)
        return;
    unsigned char *a = m_data + size_t(i) * size_t(m_recordSize);
    unsigned char *b = m_data + size_t(j) * size_t(m_recordSize);
    for (int32_t k = 0; k < m_recordSize; ++k)
        std::swap(a[k], b[k]);
}

int32_t TDataList::IndexOf(const void *record) const {
    for (int32_t i = 0; i < m_count; ++i)
        if (std::memcmp(m_data + size_t(i) * size_t(m_recordSize), record, size_t(m_recordSize)) == 0)
            return i;
    return -1;
}

int32_t TDataList::Remove(const void *record) {
    const int32_t index = IndexOf(record);
    if (index >= 0)
        Delete(index);
    return index;
}

void TDataList::SetCount(int32_t n) {
    if (n < 0 || n > m_maxCount)
        raise("DataList count out of bounds (%d)", n);
    if (n > m_capacity)
        SetCapacity(n);
    if (n > m_count)
        std::memset(m_data + size_t(m_count) * size_t(m_recordSize), 0, size_t(n - m_count) * size_t(m_recordSize));
    m_count = n;
}

void TDataList::SetCapacity(int32_t n) {
    if (n < m_count || n > m_maxCount)
        raise("DataList capacity out of bounds (%d)", n);
    if (n == m_capacity)
        return;
    if (n == 0) {
        std::free(m_data);
        m_data = nullptr;
    } else {
        void *p = std::realloc(m_data, size_t(n) * size_t(m_recordSize));
        if (!p)
            throw std::bad_alloc();
        m_data = static_cast<unsigned char *>(p);
    }
    m_capacity = n;
}

void TDataList::Swap(TDataList &other) {
    if (other.m_recordSize != m_recordSize)
        raise("DataList record sizes differ (%d)", other.m_recordSize);
    std::swap(m_count, other.m_count);
    std::swap(m_capacity, other.m_capacity);
    std::swap(m_data, other.m_data);
}

void TDataList::Clear() {
    m_count = 0;
    SetCapacity(0);
}

} // namespace tessel
