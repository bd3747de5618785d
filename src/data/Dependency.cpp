#include "data/Dependency.h"

#include "data/Stream.h"
#include "data/Vector.h"

#include <algorithm>

namespace tessel {

TGraphRegistry &TGraphRegistry::Instance() {
    static TGraphRegistry r;
    return r;
}

void TGraphRegistry::Register(IDependencyHolder *g) {
    if (g && std::find(m_holders.begin(), m_holders.end(), g) == m_holders.end())
        m_holders.push_back(g);
}

void TGraphRegistry::Unregister(IDependencyHolder *g) {
    m_holders.erase(std::remove(m_holders.begin(), m_holders.end(), g), m_holders.end());
}

void TGraphRegistry::RemoveFromAll(TDependency *d) {
    // A holder may unregister another while it removes; work on a copy and
    // skip those that left meanwhile.
    const std::vector<IDependencyHolder *> holders = m_holders;
    for (IDependencyHolder *g : holders)
        if (std::find(m_holders.begin(), m_holders.end(), g) != m_holders.end())
            g->RemoveDependency(d);
}

TDependency::~TDependency() { TGraphRegistry::Instance().RemoveFromAll(this); }

int32_t TDependency::Count() const { return Y ? Y->Count() : 0; }

void TDependency::SetCount(int32_t n) {
    if (X)
        X->SetCount(n);
    if (Y)
        Y->SetCount(n);
}

void TDependency::SetCapacity(int32_t n) {
    if (X)
        X->SetCapacity(n);
    if (Y)
        Y->SetCapacity(n);
}

int32_t TDependency::PlannedCount() const { return Y ? Y->Capacity() : 0; }

void TDependency::LoadFromStream(TStream &s, bool dataOnly) {
    if (!X || !Y)
        throw EDependencyError(QStringLiteral("Data set without vectors cannot be loaded"));
    if (dataOnly) {
        s.Need(kStyleBlockSize);
        uint8_t skip[kStyleBlockSize];
        s.ReadBuffer(skip, kStyleBlockSize);
        s.ReadStr();
    } else {
        Color = s.ReadLE<uint32_t>();
        Brush.Color = s.ReadLE<uint32_t>();
        Brush.Style = TBrushStyle(s.ReadU8());
        DrawStyle = TDrawStyle(s.ReadU8());
        LineStyle = TPenStyle(s.ReadU8());
        PointStyle = TPointStyle(s.ReadU8());
        PointSize = s.ReadI32();
        Thickness = s.ReadI32();
        Visible = s.ReadU8() != 0;
        Caption = s.ReadStr();
    }
    X->LoadFromStream(s);
    Y->LoadFromStream(s);
}

void TDependency::SaveToStream(TStream &s) const {
    if (!X || !Y)
        throw EDependencyError(QStringLiteral("Data set without vectors cannot be saved"));
    s.WriteLE<uint32_t>(Color);
    s.WriteLE<uint32_t>(Brush.Color);
    s.WriteU8(Brush.Style);
    s.WriteU8(DrawStyle);
    s.WriteU8(LineStyle);
    s.WriteU8(PointStyle);
    s.WriteI32(PointSize);
    s.WriteI32(Thickness);
    s.WriteU8(Visible ? 1 : 0);
    s.WriteStr(Caption);
    X->SaveToStream(s);
    Y->SaveToStream(s);
}

} // namespace tessel
