#pragma once

#include <cstdint>

namespace tessel {

class TStream;
class TVector;

// Maps a vector's raw elements to displayed values. The plain class is the
// identity; stream forms carry no class tag, so a reader must already hold a
// chain of the writer's shape.
class TTransformation {
public:
    TTransformation() = default;
    virtual ~TTransformation() = default;
    TTransformation(const TTransformation &) = delete;
    TTransformation &operator=(const TTransformation &) = delete;

    bool Enabled = true;

    virtual double Transform(double x) const { return x; }
    virtual double GetValue(const TVector &v, int32_t index) const;
    // GetValue of start .. start+n-1 into out.
    virtual void GetValues(const TVector &v, int32_t start, int32_t n, double *out) const;
    virtual double Min(const TVector &v, int32_t start, int32_t n) const;
    virtual double Max(const TVector &v, int32_t start, int32_t n) const;
    virtual double Mean(const TVector &v, int32_t start, int32_t n) const;
    virtual void LoadFromStream(TStream &) {}
    virtual void SaveToStream(TStream &) const {}
    // Bytes of the stream form: 0 for the identity, 16 per linear level.
    virtual int64_t StreamSize() const { return 0; }
};

// The one identity every vector falls back to; lives for the whole run.
TTransformation &SharedIdentity();

// MulKoef * x + AddKoef, where x is the value TransformBefore yields (or the
// raw element when there is none).
class TLinTransformation : public TTransformation {
public:
    double MulKoef = 1.0;
    double AddKoef = 0.0;

    TTransformation *TransformBefore() const { return m_before; }
    // Not owned. A link that would close a loop is refused (std::invalid_argument).
    void SetTransformBefore(TTransformation *t);

    double Transform(double x) const override { return Enabled ? MulKoef * x + AddKoef : x; }
    double GetValue(const TVector &v, int32_t index) const override;
    void GetValues(const TVector &v, int32_t start, int32_t n, double *out) const override;
    double Min(const TVector &v, int32_t start, int32_t n) const override;
    double Max(const TVector &v, int32_t start, int32_t n) const override;
    double Mean(const TVector &v, int32_t start, int32_t n) const override;
    void LoadFromStream(TStream &s) override;
    void SaveToStream(TStream &s) const override;
    int64_t StreamSize() const override;

private:
    double InnerMin(const TVector &v, int32_t start, int32_t n) const;
    double InnerMax(const TVector &v, int32_t start, int32_t n) const;
    TTransformation *m_before = nullptr;
};

} // namespace tessel
