#pragma once

#include "graph/GraphModel.h"

#include <QColor>
#include <QFont>
#include <QImage>
#include <QLineF>
#include <QPen>
#include <QRect>
#include <array>
#include <map>
#include <vector>

class QPainter;
class QFontMetrics;

namespace tessel {

QColor ToQColor(TColor c);
TColor FromQColor(const QColor &c);
Qt::PenStyle ToQtPenStyle(TPenStyle s);
Qt::BrushStyle ToQtBrushStyle(TBrushStyle s);

// A mark of the given size centred on (x, y): solid 1-pixel pen in the
// colour, filled with the brush.
void DrawMark(QPainter &p, int x, int y, TPointStyle style, int size, TColor color, const TBrush &brush);
// Sample of a line style across a cell (the data set editor).
void DrawLineSample(QPainter &p, const QRect &r, TPenStyle style, TColor color, int thickness);
// Swatch: half the cell's width and height, centred, black outline.
void DrawSwatch(QPainter &p, const QRect &cell, TColor color);

// Cuts the segment to the rectangle (edges included); false when nothing of
// it is inside. Works in doubles, so far-off pixels never overflow.
bool ClipLine(QLineF &line, const QRectF &r);

// Which labels of an axis are drawn, in tick order: one that would touch the
// last drawn label (less than gap pixels apart) is left out, so a narrow graph
// shows every other label instead of an unreadable run of digits.
std::vector<bool> LabelsToDraw(const std::vector<QRect> &rects, int gap);

// Where the parts of a graph go inside its rectangle. Laying out also sets
// the pixel spans of both axes and rebuilds their ticks.
struct TGraphLayout {
    QRect Bounds;
    QRect Plot;
    QRect CaptionRect;
    QRect ReadoutRect;              // empty without cursors
    QRect Legend;                   // empty without a legend
    std::vector<QRect> LegendItems; // one per entry of LegendEntries
    int TextHeight = 0;

    static TGraphLayout Compute(TGraphModel &g, const QRect &bounds, const QFontMetrics &fm);
};

// Background, frame, grid, ticks, labels and the caption; no curves.
void PaintFrame(QPainter &p, const TGraphModel &g, const TGraphLayout &l);
// The legend box over the curves, and error bars under them.
void PaintLegend(QPainter &p, const TGraphModel &g, const TGraphLayout &l);
void PaintErrorBars(QPainter &p, const TGraphModel &g, const TGraphLayout &l);
// Cursor lines (inverting) and their markers above the plot.
void PaintCursors(QPainter &p, const TGraphModel &g, const TGraphLayout &l);
// The two read-out rows on a band of the Frame colour.
void PaintReadout(QPainter &p, const TGraphModel &g, const TGraphLayout &l, const QPoint *mouse);

// The draw list: the curves are drawn column by column, a few at a time,
// so that a large data set never blocks the window for long.
class TCurveDrawer {
public:
    // Starts every visible data set of the graph anew.
    void Start(const TGraphModel &g);
    void Clear() { m_list.clear(); }
    // Draws until about pointBudget points have been consumed; true when
    // every curve is finished.
    bool Step(QPainter &p, const TGraphModel &g, int pointBudget = 20000);
    bool Done() const;
    // Runs all steps; returns how many it took.
    int DrawAll(QPainter &p, const TGraphModel &g, int pointBudget = 20000);

    struct TEntry {
        TDependency *D = nullptr;
        bool Done = false;
        bool First = true;
        QPointF Last;     // last vertex, in pixels
        double LastX = 0; // last x value drawn
        int32_t Next = 0; // next point to read
    };
    const std::vector<TEntry> &Entries() const { return m_list; }

private:
    struct TCurvePaint;
    // A mark drawn once, cut to its pixels; Centre is where (x, y) falls.
    struct TMarkImage {
        QImage Image;
        QPoint Centre;
    };
    void Vertex(QPainter &p, const TGraphModel &g, TEntry &e, QPointF v);
    int Column(QPainter &p, const TGraphModel &g, TEntry &e);
    // The mark of the curve as a picture to copy, when copying draws exactly
    // the pixels DrawMark would; null otherwise.
    const TMarkImage *MarkImage(const TDependency &d);
    std::vector<TEntry> m_list;
    const TCurvePaint *m_paint = nullptr; // the curve being drawn
    std::map<std::array<uint32_t, 5>, TMarkImage> m_marks;
};

// Renders the whole graph (frame and curves, no cursors and so no read-out
// rows) into a rectangle of another paint device, as printing needs. The
// graph's own layout, cursors included, is left as it was.
void RenderGraph(QPainter &p, TGraphModel &g, const QRect &r);

} // namespace tessel
