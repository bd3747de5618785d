#include "graph/GraphFigure.h"

#include "common/MessageService.h"

#include <QFileInfo>
#include <QImageWriter>
#include <QPainter>
#include <QPdfWriter>
#include <QSaveFile>
#include <QSvgGenerator>

namespace tessel {
namespace {

constexpr int kDpi = 96; // one picture pixel is one screen pixel

void paint(QPaintDevice &dev, QSize size, const QFont &font, const TFigureDrawer &draw) {
    QPainter p(&dev);
    p.setFont(font);
    draw(p, QRect(QPoint(), size));
}

} // namespace

std::optional<TFigureFormat> FigureFormatOf(const QString &path) {
    const QString ext = QFileInfo(path).suffix().toLower();
    if (ext == QLatin1String("png"))
        return TFigureFormat::Png;
    if (ext == QLatin1String("svg"))
        return TFigureFormat::Svg;
    if (ext == QLatin1String("pdf"))
        return TFigureFormat::Pdf;
    return std::nullopt;
}

bool ValidFigureSize(QSize s) {
    auto ok = [](int v) { return v >= kMinFigureSide && v <= kMaxFigureSide; };
    return ok(s.width()) && ok(s.height());
}

QImage FigureImage(QSize size, const QFont &font, const TFigureDrawer &draw) {
    QImage img(size, QImage::Format_RGB32);
    img.setDotsPerMeterX(int(kDpi / 0.0254 + 0.5));
    img.setDotsPerMeterY(int(kDpi / 0.0254 + 0.5));
    img.fill(Qt::white);
    paint(img, size, font, draw);
    return img;
}

bool WriteFigure(const QString &path, QSize size, const QFont &font, const TFigureDrawer &draw, const QString &title) {
    const std::optional<TFigureFormat> format = FigureFormatOf(path);
    if (!format) {
        Messages().error(path + QStringLiteral(": the picture's name must end in .png, .svg or .pdf"));
        return false;
    }
    if (!ValidFigureSize(size)) {
        Messages().error(QStringLiteral("A picture's width and height must lie between %1 and %2 pixels")
                             .arg(kMinFigureSide)
                             .arg(kMaxFigureSide));
        return false;
    }
    QSaveFile f(path);
    bool ok = f.open(QIODevice::WriteOnly);
    QString why;
    if (ok) {
        switch (*format) {
        case TFigureFormat::Png: {
            QImageWriter w(&f, "png");
            ok = w.write(FigureImage(size, font, draw));
            why = w.errorString();
            break;
        }
        case TFigureFormat::Svg: {
            QSvgGenerator svg;
            svg.setOutputDevice(&f);
            svg.setSize(size);
            svg.setViewBox(QRect(QPoint(), size));
            svg.setResolution(kDpi);
            svg.setTitle(title);
            paint(svg, size, font, draw);
            break;
        }
        case TFigureFormat::Pdf: {
            QPdfWriter pdf(&f);
            pdf.setTitle(title);
            pdf.setCreator(QStringLiteral("Tessel"));
            pdf.setResolution(kDpi);
            pdf.setPageMargins(QMarginsF());
            pdf.setPageSize(QPageSize(QSizeF(size) * 72.0 / kDpi, QPageSize::Point, QString(), QPageSize::ExactMatch));
            paint(pdf, size, font, draw);
            break;
        }
        }
    }
    // An error of the device (a full disc) shows here as well.
    if (!ok || !f.commit()) {
        Messages().error(path + QStringLiteral(": ") + (why.isEmpty() ? f.errorString() : why));
        return false;
    }
    return true;
}

} // namespace tessel
