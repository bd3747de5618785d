#pragma once

#include <QColor>
#include <QImage>
#include <QRect>
#include <QSize>
#include <QString>
#include <vector>

class QPainter;

namespace tessel {

// One wizard offered by the selector, as listed in Tessel.ini.
struct TWizardEntry {
    QString FileName; // program folder + "FileName"
    int Column = 0;
    int Row = 0;
    QString Title;
    int32_t LeftTopColor = 0;
    int32_t RightBottomColor = 0;
    QString ImageName; // program folder + "ImageName"; empty without a picture
    // Transparent where the picture had its bottom-left pixel's colour;
    // null without a usable picture.
    QImage Picture;
};

// The wizard list of the selector: sections [Wizard1], [Wizard2], ... up to
// the first whose FileName is "$$$" (missing), so a gap ends the list.
class TWizards {
public:
    static constexpr const char *kNoPicture = "Unable to display bitmap";

    // Clears the entries and reads them from the ini file; file and picture
    // names are taken relative to folder (the program's folder).
    void Load(const QString &iniPath, const QString &folder);

    const std::vector<TWizardEntry> &Entries() const { return m_entries; }
    bool IsEmpty() const { return m_entries.empty(); }
    // Largest column and row met; the grid has one more of each.
    int MaxColumn() const { return m_maxColumn; }
    int MaxRow() const { return m_maxRow; }
    // The entry drawn on a cell: when two share it, the later one.
    const TWizardEntry *EntryAt(int column, int row) const;

private:
    std::vector<TWizardEntry> m_entries;
    int m_maxColumn = 0;
    int m_maxRow = 0;
};

// A copy of the picture in which every pixel of the bottom-left pixel's
// colour is transparent.
QImage TransparentByBottomLeft(const QImage &picture);

// Colours of the ini file: 0x00BBGGRR, or a system colour (0x80000000 plus
// the index of a window-system colour) taken from the palette.
QColor IniColor(int32_t value);

// Where the selector's parts go. Grid cells are 156 pixels wide and
// |font height| + 109 high, separated by 1-pixel grid lines.
struct TWizardGridGeometry {
    static constexpr int kColumnWidth = 156;
    static constexpr int kGridLine = 1;
    int Columns = 1;
    int Rows = 1;
    int RowHeight = 0;
    QSize Client;
    QRect Grid;
    QRect Ok, Cancel, Help;

    QRect Cell(int column, int row) const;
    // The cell under a point of the grid; false outside every cell.
    bool CellAt(const QPoint &p, int &column, int &row) const;
};

// fontHeight: the character height of the window's font in pixels;
// screen: the available screen size, which caps the client area.
TWizardGridGeometry SelectorGeometry(const TWizards &list, int fontHeight, const QSize &screen, const QSize &button);

// Draws one cell: background and selection outline, then the entry's
// three-dimensional frame, its picture stretched into the frame and its
// title on the line below.
void PaintWizardCell(QPainter &p, const QRect &cell, const TWizardEntry *entry, bool selected, int fontHeight,
                     const QColor &window, const QColor &windowText);

} // namespace tessel
