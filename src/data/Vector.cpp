#include "data/Vector.h"

#include "data/Stream.h"

#include <QtEndian>
#include <algorithm>
#include <cstdlib>
#include <cstring>
#ifdef __GLIBC__
#include <malloc.h>
#endif
#include <new>
#include <typeinfo>

namespace tessel {

TVector::TVector(int32_t elemSize, bool hasStorage)
    : m_tr(&SharedIdentity()), m_elemSize(elemSize), m_hasStorage(hasStorage) {}

TVector::~TVector() { std::free(m_items); }

TTransformation *TVector::Transformation() const { return m_tr == &SharedIdentity() ? nullptr : m_tr; }

void TVector::CheckIndex(int32_t index) const {
    if (index < 0 || index >= m_capacity)
        throw ETesselError(QString::asprintf("List index out of bounds (%d)", index));
}

void TVector::CheckItems(int32_t start, int32_t n) const {
    if (n > 0) {
        CheckIndex(start);
        CheckIndex(start + n - 1);
    }
}

void TVector::GetItems(int32_t start, int32_t n, double *out) const {
    for (int32_t i = 0; i < n; ++i)
        out[i] = GetItem(start + i);
}

bool TVector::ClipRange(int32_t &start, int32_t &n) const {
    if (start < 0) {
        n += start;
        start = 0;
    }
    if (int64_t(start) + n > m_capacity)
        n = m_capacity - start;
    return n > 0;
}

void TVector::SetCapacity(int32_t n) { Resize(n, true); }

void TVector::Resize(int32_t n, bool zeroNew) {
    if (n == m_capacity)
        return;
    if (n < 0)
        throw std::bad_alloc();
    if (m_hasStorage) {
        const size_t bytes = size_t(n) * size_t(m_elemSize);
        if (n == 0) {
            std::free(m_items);
            m_items = nullptr;
        } else {
            auto *p = static_cast<unsigned char *>(std::realloc(m_items, bytes));
            if (!p)
                throw std::bad_alloc();
            // New storage starts zeroed so that a saved file never carries
            // leftovers of memory.
            if (zeroNew && n > m_capacity)
                std::memset(p + size_t(m_capacity) * size_t(m_elemSize), 0,
                            bytes - size_t(m_capacity) * size_t(m_elemSize));
            m_items = p;
        }
    }
    m_capacity = n;
    if (m_count > n)
        m_count = n;
}

void TVector::SetCount(int32_t n) {
    if (n < 0)
        n = 0;
    if (n > m_capacity)
        SetCapacity(n);
    m_count = n;
}

void TVector::Grow() {
    int32_t delta;
    if (m_capacity > 64)
        delta = m_capacity / 4;
    else if (m_capacity > 8)
        delta = 16;
    else
        delta = 4;
    SetCapacity(m_capacity + delta);
}

int64_t TVector::StreamSize() const {
    return 8 + m_tr->StreamSize() + (m_hasStorage ? int64_t(m_capacity) * m_elemSize : 0);
}

void TVector::LoadFromStream(TStream &s) {
    const int32_t capacity = s.ReadI32();
    const int32_t count = s.ReadI32();
    // A damaged file must not make us allocate what the file cannot hold,
    // nor hold a count beyond the storage.
    if (capacity < 0 || count < 0 || count > capacity)
        throw EReadError();
    const int64_t elementBytes = m_hasStorage ? int64_t(capacity) * m_elemSize : 0;
    s.Need(m_tr->StreamSize() + elementBytes);
    // The element block overwrites the whole storage; no need to clear it.
    Resize(capacity, !m_hasStorage || capacity == 0);
    SetCount(count);
    try {
        m_tr->LoadFromStream(s);
        s.ReadBuffer(m_items, elementBytes);
    } catch (...) {
        if (elementBytes > 0)
            std::memset(m_items, 0, size_t(elementBytes));
        throw;
    }
    if (elementBytes > 0) {
        if constexpr (Q_BYTE_ORDER == Q_BIG_ENDIAN) {
            if (m_elemSize == 2)
                qFromLittleEndian<int16_t>(m_items, capacity, m_items);
            else
                qFromLittleEndian<uint64_t>(m_items, capacity, m_items);
        }
    }
}

void TVector::SaveToStream(TStream &s) const {
    s.WriteI32(m_capacity);
    s.WriteI32(m_count);
    m_tr->SaveToStream(s);
    if (m_hasStorage && m_capacity > 0) {
        const int64_t bytes = int64_t(m_capacity) * m_elemSize;
        if constexpr (Q_BYTE_ORDER == Q_BIG_ENDIAN) {
            QByteArray le(qsizetype(bytes), Qt::Uninitialized);
            if (m_elemSize == 2)
                qToLittleEndian<int16_t>(m_items, m_capacity, le.data());
            else
                qToLittleEndian<uint64_t>(m_items, m_capacity, le.data());
            s.WriteBuffer(le.constData(), bytes);
        } else {
            s.WriteBuffer(m_items, bytes);
        }
    }
}

void TVector::Append(const TVector &) { throw EConvertError(QStringLiteral("Unable to append incompatible vectors")); }

void TVector::Assign(const TVector &source) {
    if (typeid(source) != typeid(*this))
        throw EConvertError(QStringLiteral("Cannot assign a %1 to a %2").arg(source.ClassName(), ClassName()));
    if (&source == this)
        return;
    SetCapacity(source.m_capacity);
    m_count = source.m_count;
    if (m_hasStorage && m_capacity > 0)
        std::memcpy(m_items, source.m_items, size_t(m_capacity) * size_t(m_elemSize));
}

namespace {

// Same-class append: storage grows to exactly the sum.
void AppendBlock(TVector &self, const TVector &other, unsigned char *&items, int32_t elemSize) {
    const int32_t old = self.Count();
    const int32_t add = other.Count();
    if (int64_t(old) + add > INT32_MAX)
        throw std::bad_alloc();
    // Copy first: other may be self.
    QByteArray copy(static_cast<const char *>(other.RawData()), qsizetype(add) * elemSize);
    self.SetCount(old + add);
    if (add > 0)
        std::memcpy(items + size_t(old) * size_t(elemSize), copy.constData(), size_t(add) * size_t(elemSize));
}

} // namespace

// --- TIntVector

double TIntVector::GetItem(int32_t index) const {
    CheckIndex(index);
    return Items()[index];
}

void TIntVector::GetItems(int32_t start, int32_t n, double *out) const {
    CheckItems(start, n);
    const int16_t *items = Items() + start;
    for (int32_t i = 0; i < n; ++i)
        out[i] = items[i];
}

void TIntVector::SetItem(int32_t index, int32_t v) {
    CheckIndex(index);
    reinterpret_cast<int16_t *>(m_items)[index] = int16_t(uint16_t(uint32_t(v)));
}

double TIntVector::Min(int32_t start, int32_t n) const {
    if (!ClipRange(start, n))
        return 0;
    return *std::min_element(Items() + start, Items() + start + n);
}

double TIntVector::Max(int32_t start, int32_t n) const {
    if (!ClipRange(start, n))
        return 0;
    return *std::max_element(Items() + start, Items() + start + n);
}

double TIntVector::Mean(int32_t start, int32_t n) const {
    if (!ClipRange(start, n))
        return 0;
    int64_t sum = 0;
    for (const int16_t *p = Items() + start, *e = p + n; p != e; ++p)
        sum += *p;
    return double(sum) / double(n);
}

void TIntVector::Append(const TVector &other) {
    if (typeid(other) != typeid(TIntVector))
        return TVector::Append(other);
    AppendBlock(*this, other, m_items, 2);
}

// --- TDoubleVector

double TDoubleVector::GetItem(int32_t index) const {
    CheckIndex(index);
    return Items()[index];
}

void TDoubleVector::GetItems(int32_t start, int32_t n, double *out) const {
    CheckItems(start, n);
    std::copy_n(Items() + start, n, out);
}

void TDoubleVector::SetItem(int32_t index, double v) {
    CheckIndex(index);
    reinterpret_cast<double *>(m_items)[index] = v;
}

int32_t TDoubleVector::Add(double v) {
    if (Count() == Capacity())
        Grow();
    const int32_t i = Count();
    reinterpret_cast<double *>(m_items)[i] = v;
    SetCount(i + 1);
    return i;
}

double TDoubleVector::Min(int32_t start, int32_t n) const {
    if (!ClipRange(start, n))
        return 0;
    const double *p = Items() + start;
    double m = p[0];
    for (int32_t i = 1; i < n; ++i)
        if (p[i] < m)
            m = p[i];
    return m;
}

double TDoubleVector::Max(int32_t start, int32_t n) const {
    if (!ClipRange(start, n))
        return 0;
    const double *p = Items() + start;
    double m = p[0];
    for (int32_t i = 1; i < n; ++i)
        if (p[i] > m)
            m = p[i];
    return m;
}

double TDoubleVector::Mean(int32_t start, int32_t n) const {
    if (!ClipRange(start, n))
        return 0;
    // Four running sums: extended precision adds are slow one after the
    // other but overlap well (the graph averages every pixel column).
    long double sum[4] = {0, 0, 0, 0};
    const double *p = Items() + start;
    int32_t i = 0;
    for (; i + 4 <= n; i += 4) {
        sum[0] += p[i];
        sum[1] += p[i + 1];
        sum[2] += p[i + 2];
        sum[3] += p[i + 3];
    }
    for (; i < n; ++i)
        sum[0] += p[i];
    return double(((sum[0] + sum[1]) + (sum[2] + sum[3])) / n);
}

void TDoubleVector::Append(const TVector &other) {
    if (typeid(other) != typeid(TDoubleVector))
        return TVector::Append(other);
    AppendBlock(*this, other, m_items, 8);
}

// --- TVirtualVector

double TVirtualVector::GetItem(int32_t index) const {
    double v = 0;
    if (OnCalcItem)
        OnCalcItem(*this, index, v);
    return v;
}

double TVirtualVector::Min(int32_t start, int32_t n) const {
    if (!ClipRange(start, n))
        return 0;
    double m = GetItem(start);
    for (int32_t i = 1; i < n; ++i)
        m = std::min(m, GetItem(start + i));
    return m;
}

double TVirtualVector::Max(int32_t start, int32_t n) const {
    if (!ClipRange(start, n))
        return 0;
    double m = GetItem(start);
    for (int32_t i = 1; i < n; ++i)
        m = std::max(m, GetItem(start + i));
    return m;
}

double TVirtualVector::Mean(int32_t start, int32_t n) const {
    if (!ClipRange(start, n))
        return 0;
    double sum = 0;
    for (int32_t i = 0; i < n; ++i)
        sum += GetItem(start + i);
    return sum / n;
}

void KeepFreedSampleStorage() {
#ifdef __GLIBC__
    // Blocks under 32 MB come from the heap, which is trimmed only beyond
    // 256 MB free (setting either ends glibc's own adjustment of both).
    mallopt(M_MMAP_THRESHOLD, 32 << 20);
    mallopt(M_TRIM_THRESHOLD, 256 << 20);
#endif
}

} // namespace tessel
