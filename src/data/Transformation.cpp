#include "data/Transformation.h"

#include "data/Stream.h"
#include "data/Vector.h"

#include <algorithm>
#include <stdexcept>
#include <tuple>
#include <type_traits>
#include <typeinfo>
#include <utility>
#include <vector>

namespace tessel {

TTransformation &SharedIdentity() {
    static TTransformation identity;
    return identity;
}

double TTransformation::GetValue(const TVector &v, int32_t index) const { return v.GetItem(index); }
// Element by element, so that a class overriding GetValue alone stays right.
void TTransformation::GetValues(const TVector &v, int32_t start, int32_t n, double *out) const {
    if (typeid(*this) == typeid(TTransformation)) {
        v.GetItems(start, n, out);
        return;
    }
    for (int32_t i = 0; i < n; ++i)
        out[i] = GetValue(v, start + i);
}
double TTransformation::Min(const TVector &v, int32_t start, int32_t n) const { return v.Min(start, n); }
double TTransformation::Max(const TVector &v, int32_t start, int32_t n) const { return v.Max(start, n); }
double TTransformation::Mean(const TVector &v, int32_t start, int32_t n) const { return v.Mean(start, n); }

void TLinTransformation::SetTransformBefore(TTransformation *t) {
    for (TTransformation *p = t; p;) {
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

// The same arithmetic as GetValue, in one pass over the column for the
// linear levels of the chain (the sampled channels have three).
void TLinTransformation::GetValues(const TVector &v, int32_t start, int32_t n, double *out) const {
    std::vector<std::pair<double, double>> levels; // enabled ones, innermost last
    const TTransformation *inner = this;
    while (const auto *lin = dynamic_cast<const TLinTransformation *>(inner)) {
        if (lin->Enabled)
            levels.emplace_back(lin->MulKoef, lin->AddKoef);
        inner = lin->m_before;
    }
    if (inner)
        inner->GetValues(v, start, n, out);
    else
        v.GetItems(start, n, out);
    std::reverse(levels.begin(), levels.end());
    // Local copies, so that writes to out cannot alias the factors.
    auto apply = [&](auto count) {
        constexpr size_t m = decltype(count)::value;
        double k[m], d[m];
        for (size_t l = 0; l < m; ++l)
            std::tie(k[l], d[l]) = levels[l];
        for (int32_t i = 0; i < n; ++i) {
            double x = out[i];
            for (size_t l = 0; l < m; ++l)
                x = k[l] * x + d[l];
            out[i] = x;
        }
    };
    switch (levels.size()) {
    case 0:
        break;
    case 1:
        apply(std::integral_constant<size_t, 1>());
        break;
    case 2:
        apply(std::integral_constant<size_t, 2>());
        break;
    case 3:
        apply(std::integral_constant<size_t, 3>());
        break;
    default:
        for (int32_t i = 0; i < n; ++i)
            for (const auto &[k, d] : levels)
                out[i] = k * out[i] + d;
    }
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
