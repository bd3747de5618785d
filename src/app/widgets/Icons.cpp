#include "app/widgets/Icons.h"

#include <QFile>
#include <QPainter>
#include <QPixmap>
#include <QSvgRenderer>

namespace tessel {

namespace {
// Rendered at each size the toolbars, menus and window lists ask for, so the
// strokes stay crisp instead of being scaled from one bitmap.
QIcon renderedIcon(const QString &name, std::initializer_list<int> sizes) {
    QSvgRenderer svg(QStringLiteral(":/icons/") + name + QStringLiteral(".svg"));
    QIcon icon;
    if (!svg.isValid())
        return icon;
    for (int size : sizes) {
        for (qreal dpr : {1.0, 2.0}) {
            QPixmap pm(QSize(size, size) * dpr);
            pm.setDevicePixelRatio(dpr);
            pm.fill(Qt::transparent);
            QPainter p(&pm);
            svg.render(&p, QRectF(0, 0, size, size));
            p.end();
            icon.addPixmap(pm);
        }
    }
    return icon;
}
} // namespace

bool HasShippedIcon(const QString &name) {
    return QFile::exists(QStringLiteral(":/icons/") + name + QStringLiteral(".svg"));
}

QIcon TesselIcon(const QString &name) { return QIcon::fromTheme(name, renderedIcon(name, {16, 22, 24, 32, 48})); }

QIcon AppIcon() {
    return QIcon::fromTheme(QStringLiteral("tessel"),
                            renderedIcon(QStringLiteral("tessel"), {16, 24, 32, 48, 64, 128, 256}));
}

} // namespace tessel
