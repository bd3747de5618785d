#pragma once

#include "data/Dependency.h"
#include "graph/AxisTr.h"

#include <QPoint>
#include <QRect>
#include <QString>
#include <QStringList>
#include <deque>
#include <functional>
#include <optional>
#include <utility>
#include <vector>

namespace tessel {

enum TGraphOption : uint8_t { grDrawGrid = 1, grShowCursors = 2, grDrawFrame = 4 };
enum TCursorStyle : uint8_t { csDefault, csLines };

// Colour set of a graph; Monochrome (printing) reads the lines black and the
// surfaces white.
struct TGraphColors {
    TColor Axis = 0x000000;
    TColor BackGround = 0xFFFFFF;
    TColor Highlight = 0xFFFFFF;
    TColor Shadow = 0x808080;
    TColor Frame = 0xF0F0F0;
    bool Monochrome = false;

    TColor AxisColor() const { return Monochrome ? 0x000000 : Axis; }
    TColor BackGroundColor() const { return Monochrome ? 0xFFFFFF : BackGround; }
    TColor HighlightColor() const { return Monochrome ? 0x000000 : Highlight; }
    TColor ShadowColor() const { return Monochrome ? 0x000000 : Shadow; }
    TColor FrameColor() const { return Monochrome ? 0xFFFFFF : Frame; }
};

// What an axis title says; an empty quantity leaves the axis caption alone.
struct TAxisTitle {
    QString Quantity; // "Time", "Fluorescence"
    QString Unit;     // "s", "V"; empty for a ratio
};

struct TUndoEntry {
    double XMin, XMax, YMin, YMax;
};

// What a mouse release means (press and release in plot pixels).
enum class TGesture { None, PlaceCursor, ZoomIn, ZoomOut, Undo };
enum class TMouseButton { Left, Right, Middle };
TGesture ClassifyGesture(QPoint press, QPoint release, TMouseButton button);

// One measuring cursor: a pixel column and where it sits within the plot, so
// that it keeps its place when the plot is resized. A placed cursor is
// visible while its column fits the plot; a plot too small for it hides it
// only until the plot grows again.
struct TGraphCursor {
    int32_t Column = 0;
    bool Visible = false;
    bool Placed = false;
    double Relative = 0;
};

// The numbers of the cursor read-out.
struct TReadout {
    double X = 0, Y = 0; // mouse
    double X1 = 0, Y1 = 0, X2 = 0, Y2 = 0, DeltaX = 0, DeltaY = 0, Slope = 0;
    bool HasMouse = false;
    QString Selected;
};

// The state and the arithmetic of the XY graph that need no window: the
// data sets shown, the axes, zoom, scroll and undo, auto-scaling, cursors and
// their read-out, and finding the curve under the mouse. The window
// (TXYGraph) owns one and repaints when OnChanged fires.
class TGraphModel : public IDependencyHolder {
public:
    TGraphModel();
    ~TGraphModel() override;
    TGraphModel(const TGraphModel &) = delete;
    TGraphModel &operator=(const TGraphModel &) = delete;

    QString Caption;
    TGraphColors Colors;
    uint8_t Options = grDrawGrid | grShowCursors | grDrawFrame;
    TCursorStyle CursorStyle = csDefault;
    int32_t BevelWidth = 1;
    // Axis titles with units, worded anew at each layout (a time axis
    // switches between s and ms with its range).
    TAxisTitle XTitle, YTitle;
    // A box naming each shown data set, where it covers the fewest points.
    bool ShowLegend = false;
    // What the legend says of a data set; its caption when unset or empty.
    std::function<QString(const TDependency &)> LegendText;

    // Half-lengths of vertical error bars at each point of d (a mean +- SD);
    // none removes them. Auto-scaling keeps the bars inside.
    void SetErrorBars(const TDependency *d, std::vector<double> halfLengths);
    const std::vector<double> *ErrorBars(const TDependency *d) const;

    TAxisTr *XAxis() const { return m_x; }
    TAxisTr *YAxis() const { return m_y; }
    // Axes are not owned; none falls back to the graph's own linear axes.
    void SetXAxis(TAxisTr *a);
    void SetYAxis(TAxisTr *a);

    void AddDependency(TDependency *d);
    // Adds those not yet shown; returns how many were added.
    int AddDependencies(const std::vector<TDependency *> &list);
    void RemoveDependency(TDependency *d) override;
    bool Contains(const TDependency *d) const;
    int DependencyCount() const { return int(m_deps.size()); }
    // Raises "List index out of bounds (%d)" outside the list.
    TDependency *Dependency(int index) const;
    int IndexOf(const TDependency *d) const;
    TDependency *Selected() const { return m_selected; }
    void SetSelected(TDependency *d);

    void AutoScaleX();
    void AutoScaleY();
    void AutoScaleXY();
    void Undo();
    void ZoomX(int p);
    void ZoomY(int p);
    void ScrollX(double f);
    void ScrollY(double f);
    // Rectangle in widget pixels, already clamped to the plot.
    void ZoomInRect(const QRect &r);
    void ZoomOutRect(const QRect &r);
    // Runs the command of a key; false when the key means nothing here.
    bool KeyCommand(int qtKey, bool keypad);
    int UndoCount() const { return int(m_undo.size()); }
    static constexpr int kMaxUndo = 1000;

    // Plot rectangle of the last layout; the cursors follow it.
    QRect Plot() const { return m_plot; }
    void SetPlot(const QRect &plot);
    // What laying out changes: the plot with the cursors' columns and the
    // axes' pixel spans. Rendering elsewhere saves and restores it.
    struct TView {
        QRect Plot;
        TGraphCursor Cursors[2];
        int32_t XStart = 0, XLength = 0, YStart = 0, YLength = 0;
    };
    TView SaveView() const;
    void RestoreView(const TView &v);
    QPoint ClampToPlot(QPoint p) const;

    const TGraphCursor &LeftCursor() const { return m_cursor[0]; }
    const TGraphCursor &RightCursor() const { return m_cursor[1]; }
    // False when the column is not inside the plot with room to spare.
    bool PlaceCursor(bool left, int32_t column);
    int32_t LeftCursorIndex() const;
    int32_t RightCursorIndex() const;
    // Displayed y of D at a pixel column: the mean of its points in the
    // column, else interpolated; 0 without a point on one side.
    double ValueAtColumn(const TDependency &d, int32_t column) const;
    TReadout Readout(const QPoint *mouse) const;
    // X1 and X2 of the read-out while both cursors are shown.
    std::optional<std::pair<double, double>> CursorRange() const;
    // "X: ", "X1: ", "X2: ", "DeltaX: ", "Slope: ", then the y row.
    QStringList ReadoutTexts(const TReadout &r) const;

    // The last visible data set whose curve passes within 3 pixels.
    TDependency *HitTest(QPoint mouse) const;

    std::function<void()> OnChanged;
    std::function<void(TDependency *)> OnRemoveDependency;
    std::function<void(int32_t)> OnSetLeftCursor, OnSetRightCursor;

    // Full redraw: layout, axes, then the curves.
    void Changed();

private:
    void PushUndo();
    void SetRanges(double x0, double x1, double y0, double y1);
    void RangesChanged();
    // First index with x >= v (or > v when after) over the count points.
    int32_t Lower(const TDependency &d, double v, bool after) const;

    std::vector<TDependency *> m_deps;
    std::vector<std::pair<const TDependency *, std::vector<double>>> m_errors;
    TDependency *m_selected = nullptr;
    std::deque<TUndoEntry> m_undo;
    TLinAxisTr m_ownX, m_ownY;
    TAxisTr *m_x, *m_y;
    QRect m_plot;
    TGraphCursor m_cursor[2];
};

// General format with the given significant digits, locale-free.
QString FormatDigits(double v, int digits);

} // namespace tessel
