#include "authoring/WizardList.h"

#include "common/IniFile.h"

#include <QGuiApplication>
#include <QPainter>
#include <QPalette>
#include <algorithm>

namespace tessel {

void TWizards::Load(const QString &iniPath, const QString &folder) {
    m_entries.clear();
    m_maxColumn = 0;
    m_maxRow = 0;
    const TIniFile2 ini(iniPath);
    for (int k = 1;; ++k) {
        const QString section = QStringLiteral("Wizard%1").arg(k);
        const QString file = ini.ReadString(section, QStringLiteral("FileName"), QStringLiteral("$$$"));
        const QString image = ini.ReadString(section, QStringLiteral("ImageName"), QString());
        if (file == QLatin1String("$$$"))
            break;
        TWizardEntry e;
        e.FileName = folder + file;
        e.Column = ini.ReadInteger(section, QStringLiteral("XPos"), 0);
        e.Row = ini.ReadInteger(section, QStringLiteral("YPos"), 0);
        e.Title = ini.ReadString(section, QStringLiteral("Title"), QString());
        e.LeftTopColor = ini.ReadInteger(section, QStringLiteral("LeftTopColor"), 0);
        e.RightBottomColor = ini.ReadInteger(section, QStringLiteral("RightBottomColor"), 0);
        m_maxColumn = std::max(m_maxColumn, e.Column);
        m_maxRow = std::max(m_maxRow, e.Row);
        if (!image.isEmpty()) {
            e.ImageName = folder + image;
            const QImage picture(e.ImageName);
            // The entry stays selectable; only its title tells what went wrong.
            if (picture.isNull())
                e.Title = QLatin1String(kNoPicture);
            else
                e.Picture = TransparentByBottomLeft(picture);
        }
        m_entries.push_back(std::move(e));
    }
}

const TWizardEntry *TWizards::EntryAt(int column, int row) const {
    for (auto it = m_entries.rbegin(); it != m_entries.rend(); ++it)
        if (it->Column == column && it->Row == row)
            return &*it;
    return nullptr;
}

QImage TransparentByBottomLeft(const QImage &picture) {
    QImage out = picture.convertToFormat(QImage::Format_ARGB32);
    if (out.isNull())
        return out;
    const QRgb key = out.pixel(0, out.height() - 1);
    for (int y = 0; y < out.height(); ++y) {
        auto *line = reinterpret_cast<QRgb *>(out.scanLine(y));
        for (int x = 0; x < out.width(); ++x)
            if (line[x] == key)
                line[x] = qRgba(0, 0, 0, 0);
    }
    return out;
}

QColor IniColor(int32_t value) {
    const auto v = uint32_t(value);
    if ((v & 0xFF000000u) != 0x80000000u)
        return QColor(int(v & 0xFF), int((v >> 8) & 0xFF), int((v >> 16) & 0xFF));
    // The window system's colours by their index, as the palette names them.
    static const std::pair<uint32_t, QPalette::ColorRole> roles[] = {
        {4, QPalette::Window},      {5, QPalette::Base},         {7, QPalette::WindowText},
        {8, QPalette::Text},        {13, QPalette::Highlight},   {14, QPalette::HighlightedText},
        {15, QPalette::Button},     {16, QPalette::Dark},        {17, QPalette::PlaceholderText},
        {18, QPalette::ButtonText}, {20, QPalette::Light},       {21, QPalette::Shadow},
        {22, QPalette::Midlight},   {23, QPalette::ToolTipText}, {24, QPalette::ToolTipBase},
    };
    const QPalette palette = qGuiApp ? QGuiApplication::palette() : QPalette();
    for (const auto &[index, role] : roles)
        if ((v & 0xFFFFFFu) == index)
            return palette.color(role);
    return palette.color(QPalette::Window);
}

QRect TWizardGridGeometry::Cell(int column, int row) const {
    return QRect(Grid.left() + column * (kColumnWidth + kGridLine), Grid.top() + row * (RowHeight + kGridLine),
                 kColumnWidth, RowHeight);
}

bool TWizardGridGeometry::CellAt(const QPoint &p, int &column, int &row) const {
    if (!Grid.contains(p))
        return false;
    column = (p.x() - Grid.left()) / (kColumnWidth + kGridLine);
    row = (p.y() - Grid.top()) / (RowHeight + kGridLine);
    return column < Columns && row < Rows && Cell(column, row).contains(p);
}

TWizardGridGeometry SelectorGeometry(const TWizards &list, int fontHeight, const QSize &screen, const QSize &button) {
    TWizardGridGeometry g;
    g.Columns = list.MaxColumn() + 1;
    g.Rows = list.MaxRow() + 1;
    g.RowHeight = std::abs(fontHeight) + 109;
    const int gridWidth = (TWizardGridGeometry::kColumnWidth + TWizardGridGeometry::kGridLine) * g.Columns;
    const int gridHeight = (g.RowHeight + TWizardGridGeometry::kGridLine) * g.Rows;
    // A one-column grid is narrower than the three buttons; they must not overlap.
    const int buttons = 4 * 7 + 3 * button.width();
    g.Client = QSize(std::min(std::max(gridWidth, buttons), screen.width() - screen.width() / 50),
                     std::min(gridHeight + 14 + button.height(), screen.height() - screen.height() / 50));
    g.Grid = QRect(0, 0, g.Client.width(), gridHeight);
    const int top = g.Client.height() - button.height() - 7;
    g.Ok = QRect(QPoint(7, top), button);
    g.Cancel = QRect(QPoint(button.width() + 14, top), button);
    g.Help = QRect(QPoint(g.Client.width() - 7 - button.width(), top), button);
    return g;
}

void PaintWizardCell(QPainter &p, const QRect &cell, const TWizardEntry *entry, bool selected, int fontHeight,
                     const QColor &window, const QColor &windowText) {
    p.save();
    // A 1-pixel outline drawn inside the cell, as the grid's canvas does.
    p.setPen(QPen(selected ? windowText : window, 1));
    p.setBrush(window);
    p.drawRect(cell.adjusted(0, 0, -1, -1));
    if (entry) {
        QRect r = cell.adjusted(3, 3, -3, -(std::abs(fontHeight) + 6));
        p.setPen(IniColor(entry->LeftTopColor));
        p.drawLine(r.topLeft(), r.topRight());
        p.drawLine(r.topLeft(), r.bottomLeft());
        p.setPen(IniColor(entry->RightBottomColor));
        p.drawLine(r.topRight(), r.bottomRight());
        p.drawLine(r.bottomLeft(), r.bottomRight());
        r.adjust(1, 1, -1, -1);
        p.setPen(windowText);
        p.setBackgroundMode(Qt::TransparentMode);
        const int ascent = p.fontMetrics().ascent();
        p.drawText(QPoint(r.left(), r.bottom() + 1 + ascent), entry->Title);
        if (!entry->Picture.isNull())
            p.drawImage(r, entry->Picture);
    }
    p.restore();
}

} // namespace tessel
