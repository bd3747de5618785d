#pragma once

#include "common/Errors.h"

#include <cstdint>
#include <cstring>
#include <type_traits>

namespace tessel {

class EDataListError : public ETesselError {
public:
    using ETesselError::ETesselError;
};

// Growable array of fixed-size records copied in and out by value; one
// contiguous block. Base of the event, variable, window and wizard lists.
class TDataList {
public:
    explicit TDataList(int32_t recordSize);
    virtual ~TDataList();
    TDataList(const TDataList &) = delete;
    TDataList &operator=(const TDataList &) = delete;

    int32_t RecordSize() const { return m_recordSize; }
    int32_t MaxCount() const { return m_maxCount; }
    int32_t Count() const { return m_count; }
    int32_t Capacity() const { return m_capacity; }

    int32_t Add(const void *record);
    void Get(int32_t index, void *record) const;
    void *RecordAt(int32_t index);
    const void *RecordAt(int32_t index) const;
    void Delete(int32_t index);
    void Exchange(int32_t i, int32_t j);
    int32_t IndexOf(const void *record) const;
    int32_t Remove(const void *record);
    void SetCount(int32_t n);
    void SetCapacity(int32_t n);
    void Clear();
    // Exchanges the contents of two lists of one record size.
    void Swap(TDataList &other);

protected:
    void Grow();
    void CheckIndex(int32_t index) const;
    // Room for one more record at the end, counted already.
    void *AppendSlot() {
        if (m_count == m_capacity)
            GrowForAppend();
        return m_data + size_t(m_count++) * size_t(m_recordSize);
    }

private:
    void GrowForAppend();

    int32_t m_recordSize;
    int32_t m_maxCount;
    int32_t m_count = 0;
    int32_t m_capacity = 0;
    unsigned char *m_data = nullptr;
};

// Typed view for trivially copyable records.
template <typename T> class TTypedDataList : public TDataList {
    static_assert(std::is_trivially_copyable_v<T>);

public:
    TTypedDataList() : TDataList(sizeof(T)) {}
    // Copied as a T, not byte by byte: the event builder adds one per action.
    int32_t Add(const T &r) {
        const T copy = r; // r may lie in the block that growing moves
        *static_cast<T *>(AppendSlot()) = copy;
        return Count() - 1;
    }
    T Get(int32_t index) const {
        T r;
        TDataList::Get(index, &r);
        return r;
    }
    T &At(int32_t index) { return *static_cast<T *>(RecordAt(index)); }
    const T &At(int32_t index) const { return *static_cast<const T *>(RecordAt(index)); }
    int32_t IndexOf(const T &r) const { return TDataList::IndexOf(&r); }
    int32_t Remove(const T &r) { return TDataList::Remove(&r); }
};

} // namespace tessel
