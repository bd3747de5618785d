#pragma once

#include <QFont>
#include <QImage>
#include <QSize>
#include <QString>
#include <functional>
#include <optional>

class QPainter;
class QRect;

namespace tessel {

// Pictures of a graph as files: the graph's own painter draws into an image,
// an SVG or a PDF page of the chosen size, so the file looks as the screen.
enum class TFigureFormat { Png, Svg, Pdf };

// By the file name's suffix (.png, .svg, .pdf, any case); nullopt otherwise.
std::optional<TFigureFormat> FigureFormatOf(const QString &path);

// Sides of a picture in pixels (1/96 inch in SVG and PDF).
constexpr int kMinFigureSide = 16, kMaxFigureSide = 8000;
bool ValidFigureSize(QSize s);

// Paints the whole graph into the rectangle.
using TFigureDrawer = std::function<void(QPainter &, const QRect &)>;

QImage FigureImage(QSize size, const QFont &font, const TFigureDrawer &draw);

// Writes the picture in the format its suffix names. A failure (unknown
// suffix, size out of range, unwritable file) goes to Messages() and leaves
// an older file of that name as it was.
bool WriteFigure(const QString &path, QSize size, const QFont &font, const TFigureDrawer &draw,
                 const QString &title = {});

} // namespace tessel
