#pragma once

#include "data/Dependency.h"
#include "output/PagePrinter.h"

#include <QFont>
#include <QRect>
#include <QStringList>
#include <functional>
#include <optional>
#include <vector>

class QPagedPaintDevice;
class QPainter;

namespace tessel {

// The graph's height on the page: the width over the golden ratio
// (width x 2 / (sqrt 5 + 1), to the nearest pixel), at most maxHeight.
int GoldenHeight(int width, int maxHeight);

// Printer pixels per table pixel: printer over screen pixels per inch, with
// the printer's figure lowered to the integer part of (printer ppi x
// printable width / scaled table width), at least 1, when the table would
// otherwise be wider than the printable width.
double TableScale(int tableWidth, double screenDpi, double printerDpi, int printableWidth);

// One cell of a printed table: text, or the data set editor's pictures.
struct TPrintCell {
    enum class Kind { Text, Mark, LineSample, Swatch };
    Kind What = Kind::Text;
    QString Text;
    TPointStyle PointStyle = ptDot;
    int MarkSize = 8;
    TColor Color = 0;
    TBrush Brush;
    TPenStyle LineStyle = psSolid;
    int Thickness = 1;

    static TPrintCell OfText(const QString &text) {
        TPrintCell c;
        c.Text = text;
        return c;
    }
};

// A table as printed: titles on a header row, then the rows, all in table
// pixels (the screen's); a column of width 0 is left out.
struct TPrintTable {
    QStringList Titles;
    std::vector<int> Widths;
    std::vector<std::vector<TPrintCell>> Rows;
    int RowHeight = 18;
    QFont Font; // sized in pixels

    int Width() const;
    // Widens the columns that are not left out to their title and texts.
    void FitColumns();
};

// Rows first .. end-1 under the header row, from origin, in table pixels.
// The header takes the window colour, as the grid's fixed cells do on paper.
void PaintTable(QPainter &p, const TPrintTable &t, QPoint origin, int first, int end);

// A printout: a graph across the printable width at the golden ratio, then
// optionally a table and text lines, on the page printer's pages.
struct TPrintout {
    QString Title, FileName;
    double Date = 0; // days since 30 Dec 1899; 0: now
    // Draws the graph into r; the painter is scaled so that one unit is one
    // screen pixel, with GraphFont set.
    std::function<void(QPainter &, const QRect &)> DrawGraph;
    QFont GraphFont; // sized in pixels
    std::optional<TPrintTable> Table;
    std::optional<QStringList> Notes;
    double ScreenDpi = 96;
};

// Where the parts of the first page go, device pixels.
struct TPrintoutLayout {
    QRect Graph;
    int TableTop = 0;
    double TableScale = 1;
};
TPrintoutLayout LayOutPrintout(const TPageGeometry &g, const TPrintout &p);

// Composes the printout for the device on the page printer: title, file
// name and date, the graph, the table (continued on further pages with its
// header when it is longer than the page) and the notes.
void ComposePrintout(TPagePrinter &prn, QPagedPaintDevice &device, const TPrintout &printout);

// A font of a window (in points) for painting in screen pixels.
QFont PixelFont(const QFont &f, double screenDpi);

// Composes with compose and prints the pages into a PDF file; returns the
// page count. Raises EPrinterError when the file cannot be written.
int PrintToPdf(TPagePrinter &prn, const QString &path, const std::function<void(QPagedPaintDevice &)> &compose);

} // namespace tessel
