#pragma once

#include "common/Errors.h"
#include "data/Transformation.h"

#include <cstdint>
#include <functional>

namespace tessel {

class TStream;

// Conversion errors of vectors ("Unable to append incompatible vectors",
// assignments between unrelated vector classes).
class EConvertError : public ETesselError {
public:
    using ETesselError::ETesselError;
};

// A numeric column: Capacity elements of storage in one block, the first
// Count of them valid. Elements are read as displayed values through the
// vector's transformation, so scaling never touches the stored samples.
class TVector {
public:
    virtual ~TVector();
    TVector(const TVector &) = delete;
    TVector &operator=(const TVector &) = delete;

    int32_t Count() const { return m_count; }
    int32_t Capacity() const { return m_capacity; }
    int32_t ElemSize() const { return m_elemSize; }
    // Grows storage to exactly N when N exceeds the capacity.
    void SetCount(int32_t n);

    // None while the shared identity is installed; setting none installs it.
    TTransformation *Transformation() const;
    void SetTransformation(TTransformation *t) { m_tr = t ? t : &SharedIdentity(); }
    const TTransformation &ActiveTransformation() const { return *m_tr; }

    // Raw element as a double; index must lie within the capacity.
    virtual double GetItem(int32_t index) const = 0;
    // Raw elements start .. start+n-1 into out, for whole columns at once.
    virtual void GetItems(int32_t start, int32_t n, double *out) const;
    virtual void SetCapacity(int32_t n);
    void Grow();
    // Raw statistics of Start .. Start+N-1, clipped to the storage; an empty
    // range gives 0.
    virtual double Min(int32_t start, int32_t n) const = 0;
    virtual double Max(int32_t start, int32_t n) const = 0;
    virtual double Mean(int32_t start, int32_t n) const = 0;
    virtual void LoadFromStream(TStream &s);
    virtual void SaveToStream(TStream &s) const;
    virtual void Append(const TVector &other);
    // Same class only: copies capacity, count and the whole block.
    void Assign(const TVector &source);

    double Value(int32_t index) const { return m_tr->GetValue(*this, index); }
    // Value() of start .. start+n-1 into out, without a call per element.
    void Values(int32_t start, int32_t n, double *out) const { m_tr->GetValues(*this, start, n, out); }
    double TrMin(int32_t start, int32_t n) const { return m_tr->Min(*this, start, n); }
    double TrMax(int32_t start, int32_t n) const { return m_tr->Max(*this, start, n); }
    double TrMean(int32_t start, int32_t n) const { return m_tr->Mean(*this, start, n); }

    // Bytes of the stream form as it would be written now.
    int64_t StreamSize() const;
    const void *RawData() const { return m_items; }
    virtual const char *ClassName() const = 0;

protected:
    explicit TVector(int32_t elemSize, bool hasStorage = true);
    void CheckIndex(int32_t index) const;
    // Both ends of a range of n > 0 elements; nothing for an empty one.
    void CheckItems(int32_t start, int32_t n) const;
    // Clips [start, start+n) to the storage; false when nothing is left.
    bool ClipRange(int32_t &start, int32_t &n) const;
    void Resize(int32_t n, bool zeroNew);
    unsigned char *m_items = nullptr;

private:
    TTransformation *m_tr;
    int32_t m_count = 0;
    int32_t m_capacity = 0;
    int32_t m_elemSize;
    bool m_hasStorage;
};

// Raw instrument samples, signed 16-bit.
class TIntVector : public TVector {
public:
    TIntVector() : TVector(2) {}
    double GetItem(int32_t index) const override;
    void GetItems(int32_t start, int32_t n, double *out) const override;
    // Keeps the low 16 bits.
    void SetItem(int32_t index, int32_t v);
    double Min(int32_t start, int32_t n) const override;
    double Max(int32_t start, int32_t n) const override;
    double Mean(int32_t start, int32_t n) const override;
    void Append(const TVector &other) override;
    const int16_t *Items() const { return reinterpret_cast<const int16_t *>(m_items); }
    const char *ClassName() const override { return "TIntVector"; }
};

class TDoubleVector : public TVector {
public:
    TDoubleVector() : TVector(8) {}
    double GetItem(int32_t index) const override;
    void GetItems(int32_t start, int32_t n, double *out) const override;
    void SetItem(int32_t index, double v);
    // Appends with the growth step; returns the index used.
    int32_t Add(double v);
    double Min(int32_t start, int32_t n) const override;
    double Max(int32_t start, int32_t n) const override;
    double Mean(int32_t start, int32_t n) const override;
    void Append(const TVector &other) override;
    const double *Items() const { return reinterpret_cast<const double *>(m_items); }
    const char *ClassName() const override { return "TDoubleVector"; }
};

// Elements computed on demand; the capacity is only a number.
class TVirtualVector : public TVector {
public:
    using TCalcEvent = std::function<void(const TVirtualVector &sender, int32_t index, double &value)>;
    TVirtualVector() : TVector(8, false) {}
    TCalcEvent OnCalcItem;
    double GetItem(int32_t index) const override;
    double Min(int32_t start, int32_t n) const override;
    double Max(int32_t start, int32_t n) const override;
    double Mean(int32_t start, int32_t n) const override;
    const char *ClassName() const override { return "TVirtualVector"; }
};

// Keeps freed sample storage in the process for the next experiment. The C
// library otherwise hands a closed experiment's blocks back to the system,
// and the next one loaded takes fresh pages, one fault for every 4 KiB of
// its samples: more time than reading them. Up to 256 MB stay. For the
// programs' start-up; a module loaded into someone else's process (Python)
// leaves that process's allocator alone.
void KeepFreedSampleStorage();

} // namespace tessel
