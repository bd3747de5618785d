#include "data/Transformation.h"

#include "data/Stream.h"
#include "data/Vector.h"

#include <stdexcept>

namespace tessel {

TTransformation &SharedIdentity() {
    static TTransformation identity;
    return identity;
}

double TTransformation::GetValue(const TVector &v, int32_t index) const { return v.GetItem(index); }
double TTransformation::Min(const TVector &v, int32_t start, int32_t n) const { return v.Min(start, n); }
double TTransformation::Max(const TVector &v, int32_t start, int32_t n) const { return v.Max(start, n); }
double TTransformation::Mean(const TVector &v, int32_t start, int32_t n) const { return v.Mean(start, n); }

void TLinTransformation::SetTransformBefore(TTransformation *t) {
    for (TTransformation *p = t; p; ) {
        if (p == this)
            throw std::invalid_argument("transformation chain would loop");
        auto *lin = dynamic_cast<TLinTransformation *>(p);
        p = lin ? lin->m_before : nullptr;
    }
    m_before = t;
}

double TLinTransformation::GetValue(const TVector &v, int32_t index) const {
    return Transform(m_before ? m_before->GetValue(v, index) : v.GetItem(index));
}

double TLinTransformation::InnerMin(const TVector &v, int32_t start, int32_t n) const {
    return m_before ? m_before->Min(v, start, n) : v.Min(start, n);
}

double TLinTransformation::InnerMax(const TVector &v, int32_t start, int32_t n) const {
    return m_before ? m_before->Max(v, start, n) : v.Max(start, n);
}

// A negative (or zero) factor turns the inner maximum into the displayed
// minimum; the sign decides even while disabled.
double TLinTransformation::Min(const TVector &v, int32_t start, int32_t n) const {
    return Transform(MulKoef > 0 ? InnerMin(v, start, n) : InnerMax(v, start, n));
}

double TLinTransformation::Max(const TVector &v, int32_t start, int32_t n) const {
    return Transform(MulKoef > 0 ? InnerMax(v, start, n) : InnerMin(v, start, n));
}

double TLinTransformation::Mean(const TVector &v, int32_t start, int32_t n) const {
    return Transform(m_before ? m_before->Mean(v, start, n) : v.Mean(start, n));
}

void TLinTransformation::LoadFromStream(TStream &s) {
    MulKoef = s.ReadF64();
    AddKoef = s.ReadF64();
    if (m_before)
        m_before->LoadFromStream(s);
}

void TLinTransformation::SaveToStream(TStream &s) const {
    s.WriteF64(MulKoef);
    s.WriteF64(AddKoef);
    if (m_before)
        m_before->SaveToStream(s);
}

int64_t TLinTransformation::StreamSize() const { return 16 + (m_before ? m_before->StreamSize() : 0); }

} // namespace tessel
