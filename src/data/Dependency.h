#pragma once

#include "common/Errors.h"

#include <QString>
#include <cstdint>
#include <vector>

namespace tessel {

class TStream;
class TVector;
class TDependency;

class EDependencyError : public ETesselError {
public:
    using ETesselError::ETesselError;
};

enum TDrawStyle : uint8_t { dsAvg = 0, dsMinMax = 1, dsPoint = 2 };
enum TPointStyle : uint8_t { ptDot, ptCircle, ptSquare, ptTriangleUp, ptTriangleDown, ptDiamond, ptStar };
enum TPenStyle : uint8_t { psSolid, psDash, psDot, psDashDot, psDashDotDot, psClear, psInsideFrame };
// Solid, clear, then the hatch styles.
enum TBrushStyle : uint8_t {
    bsSolid,
    bsClear,
    bsHorizontal,
    bsVertical,
    bsFDiagonal,
    bsBDiagonal,
    bsCross,
    bsDiagCross
};

enum TDependencyOption : uint8_t { doShowInDataEd = 1, doSkipNumber = 2 };

// Colours are 32-bit with red in the low byte, then green and blue.
using TColor = uint32_t;
constexpr TColor clRed = 0x0000FF;
constexpr TColor clWhite = 0xFFFFFF;

struct TBrush {
    TColor Color = clRed;
    TBrushStyle Style = bsClear;
};

// Anything that lists data sets (the XY graph) joins the registry so that a
// data set being destroyed can leave every list first.
class IDependencyHolder {
public:
    virtual ~IDependencyHolder() = default;
    virtual void RemoveDependency(TDependency *d) = 0;
};

// The one registry of the program; user-interface thread only.
class TGraphRegistry {
public:
    static TGraphRegistry &Instance();
    void Register(IDependencyHolder *g);
    void Unregister(IDependencyHolder *g);
    void RemoveFromAll(TDependency *d);
    int Count() const { return int(m_holders.size()); }

private:
    std::vector<IDependencyHolder *> m_holders;
};

// One curve: references to an x and a y vector (not owned) with the style
// under which graphs, tables, exports and printouts show it.
class TDependency {
public:
    TDependency() = default;
    TDependency(TVector *x, TVector *y) : X(x), Y(y) {}
    // Leaves every registered graph before it goes.
    virtual ~TDependency();
    TDependency(const TDependency &) = delete;
    TDependency &operator=(const TDependency &) = delete;

    TVector *X = nullptr;
    TVector *Y = nullptr;
    TColor Color = clRed;
    TBrush Brush;
    TDrawStyle DrawStyle = dsAvg;
    TPenStyle LineStyle = psSolid;
    TPointStyle PointStyle = ptDot;
    int32_t PointSize = 4;
    int32_t Thickness = 1;
    bool Visible = true;
    QString Caption;
    uint8_t Options = doShowInDataEd | doSkipNumber;

    // Count of Y (0 without Y); setting changes each vector present.
    int32_t Count() const;
    void SetCount(int32_t n);
    void SetCapacity(int32_t n);
    // Capacity of Y: what a measurement plans for this channel.
    int32_t PlannedCount() const;

    // Style block (21 bytes), caption, X, Y. With dataOnly the style and the
    // caption are skipped and only the vector contents replaced. X and Y
    // must exist with the writer's classes and transformation shapes.
    virtual void LoadFromStream(TStream &s, bool dataOnly = false);
    virtual void SaveToStream(TStream &s) const;

    static constexpr int kStyleBlockSize = 21;
};

} // namespace tessel
