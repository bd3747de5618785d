#include "app/widgets/Icons.h"

#include <QHash>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace tessel {

namespace {
struct Glyph {
    QColor colour;
    QString text; // a short label drawn on the tile when no shape fits
};

void drawShape(QPainter &p, const QString &name, const QRectF &r) {
    const QPointF c = r.center();
    const double s = r.width();
    QPen pen(Qt::white, s * 0.09, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
    p.setPen(pen);
    p.setBrush(Qt::NoBrush);
    if (name == "media-playback-start") {
        QPolygonF tri;
        tri << QPointF(c.x() - s * 0.18, c.y() - s * 0.25) << QPointF(c.x() + s * 0.25, c.y())
            << QPointF(c.x() - s * 0.18, c.y() + s * 0.25);
        p.setBrush(Qt::white);
        p.drawPolygon(tri);
    } else if (name == "media-playback-stop") {
        p.setBrush(Qt::white);
        p.drawRect(QRectF(c.x() - s * 0.2, c.y() - s * 0.2, s * 0.4, s * 0.4));
    } else if (name.startsWith("document-new") || name.startsWith("protocol-clear")) {
        QPainterPath page;
        page.addRect(QRectF(c.x() - s * 0.2, c.y() - s * 0.27, s * 0.4, s * 0.54));
        p.drawPath(page);
        if (name.startsWith("protocol-clear"))
            p.drawLine(QPointF(c.x() - s * 0.12, c.y() + s * 0.12), QPointF(c.x() + s * 0.12, c.y() - s * 0.12));
    } else if (name == "document-open" || name == "protocol-open") {
        p.drawRect(QRectF(c.x() - s * 0.27, c.y() - s * 0.15, s * 0.54, s * 0.38));
        p.drawLine(QPointF(c.x() - s * 0.27, c.y() - s * 0.15), QPointF(c.x() - s * 0.12, c.y() - s * 0.27));
        p.drawLine(QPointF(c.x() - s * 0.12, c.y() - s * 0.27), QPointF(c.x() + s * 0.05, c.y() - s * 0.27));
    } else if (name == "document-save" || name == "protocol-save" || name == "document-save-as") {
        p.drawRect(QRectF(c.x() - s * 0.25, c.y() - s * 0.25, s * 0.5, s * 0.5));
        p.drawRect(QRectF(c.x() - s * 0.13, c.y() - s * 0.25, s * 0.26, s * 0.17));
    } else if (name.contains("print")) {
        p.drawRect(QRectF(c.x() - s * 0.28, c.y() - s * 0.08, s * 0.56, s * 0.26));
        p.drawRect(QRectF(c.x() - s * 0.16, c.y() - s * 0.28, s * 0.32, s * 0.2));
        if (name.contains("preview"))
            p.drawEllipse(QPointF(c.x() + s * 0.18, c.y() + s * 0.2), s * 0.08, s * 0.08);
    } else if (name == "edit-undo") {
        QPainterPath a;
        a.moveTo(c.x() + s * 0.22, c.y() + s * 0.2);
        a.cubicTo(c.x() + s * 0.22, c.y() - s * 0.2, c.x() - s * 0.1, c.y() - s * 0.2, c.x() - s * 0.2, c.y() - s * 0.05);
        p.drawPath(a);
        p.drawLine(QPointF(c.x() - s * 0.2, c.y() - s * 0.05), QPointF(c.x() - s * 0.22, c.y() - s * 0.25));
        p.drawLine(QPointF(c.x() - s * 0.2, c.y() - s * 0.05), QPointF(c.x() + s * 0.0, c.y() - s * 0.02));
    } else if (name == "view-graph" || name == "select-signal") {
        QPainterPath curve;
        curve.moveTo(c.x() - s * 0.28, c.y() + s * 0.2);
        curve.cubicTo(c.x() - s * 0.1, c.y() - s * 0.35, c.x() + s * 0.05, c.y() + s * 0.1, c.x() + s * 0.28, c.y() - s * 0.15);
        p.drawPath(curve);
        p.drawLine(QPointF(c.x() - s * 0.3, c.y() + s * 0.28), QPointF(c.x() + s * 0.3, c.y() + s * 0.28));
    } else if (name == "view-signals") {
        QPolygonF step;
        step << QPointF(c.x() - s * 0.3, c.y() + s * 0.15) << QPointF(c.x() - s * 0.12, c.y() + s * 0.15)
             << QPointF(c.x() - s * 0.12, c.y() - s * 0.15) << QPointF(c.x() + s * 0.1, c.y() - s * 0.15)
             << QPointF(c.x() + s * 0.1, c.y() + s * 0.15) << QPointF(c.x() + s * 0.3, c.y() + s * 0.15);
        p.drawPolyline(step);
    } else {
        return;
    }
}

QString labelFor(const QString &name) {
    static const QHash<QString, QString> labels = {
        {"scale-x", "X"},           {"scale-y", "Y"},          {"scale-xy", "XY"},
        {"show-all", "\u25c9"},     {"hide-all", "\u25cb"},      {"view-data", "123"},
        {"view-protocol", "P"},     {"view-notes", "N"},       {"view-graph-ab", "A/B"},
        {"view-navigator", "Nav"},  {"tools-wizard", "W"},     {"macro-send", "M"},
        {"help-contents", "?"},     {"help-about", "i"},       {"protocol-check", "\u2713"},
        {"protocol-copy", "\u21c4"}, {"application-exit", "\u23fb"}, {"system-monitor", "\u223f"},
        {"test-keys", "K"},         {"tessel", "T"},
    };
    return labels.value(name);
}

QColor tileColour(const QString &name) {
    if (name.startsWith("media-playback-start"))
        return QColor(0x2e, 0x9d, 0x4f);
    if (name.startsWith("media-playback-stop"))
        return QColor(0xc6, 0x3a, 0x32);
    if (name.startsWith("protocol"))
        return QColor(0x8a, 0x5a, 0xb8);
    if (name.startsWith("scale") || name.endsWith("-all") || name == "edit-undo" || name == "select-signal")
        return QColor(0x2f, 0x7f, 0xb5);
    if (name.startsWith("view") || name == "tools-wizard" || name == "macro-send")
        return QColor(0x1f, 0x8f, 0x8a);
    return QColor(0x45, 0x5a, 0x70);
}

QPixmap drawIcon(const QString &name, int size) {
    QPixmap pm(size, size);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF r(1, 1, size - 2, size - 2);
    p.setPen(Qt::NoPen);
    p.setBrush(tileColour(name));
    p.drawRoundedRect(r, size * 0.18, size * 0.18);
    const QString label = labelFor(name);
    if (!label.isEmpty()) {
        QFont f = p.font();
        f.setBold(true);
        f.setPixelSize(int(size * (label.size() > 2 ? 0.3 : label.size() == 2 ? 0.38 : 0.55)));
        p.setFont(f);
        p.setPen(Qt::white);
        p.drawText(r, Qt::AlignCenter, label);
    } else {
        drawShape(p, name, r);
    }
    return pm;
}
} // namespace

QIcon TesselIcon(const QString &name) {
    QIcon drawn;
    for (int size : {16, 22, 24, 32, 48})
        drawn.addPixmap(drawIcon(name, size));
    return QIcon::fromTheme(name, drawn);
}

QIcon AppIcon() {
    QIcon icon;
    for (int size : {16, 32, 48, 64, 128})
        icon.addPixmap(drawIcon(QStringLiteral("tessel"), size));
    return icon;
}

} // namespace tessel
