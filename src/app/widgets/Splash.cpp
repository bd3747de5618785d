#include "app/widgets/Splash.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <cmath>

namespace tessel {

QPixmap SplashPicture() {
    QPixmap pm(480, 260);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient bg(0, 0, 0, pm.height());
    bg.setColorAt(0, QColor(0x12, 0x3a, 0x2c));
    bg.setColorAt(1, QColor(0x05, 0x16, 0x10));
    p.fillRect(pm.rect(), bg);
    // A fluorescence induction curve: the program's subject in one line.
    QPainterPath curve;
    for (int x = 0; x <= 440; ++x) {
        const double t = x / 440.0 * 6;
        const double y = 0.25 + 0.65 * (1 - std::exp(-3 * t)) * std::exp(-0.35 * t) + 0.1 * (1 - std::exp(-t));
        const QPointF pt(20 + x, 230 - y * 150);
        if (x == 0)
            curve.moveTo(pt);
        else
            curve.lineTo(pt);
    }
    p.setPen(QPen(QColor(0x7d, 0xff, 0x9a), 3));
    p.drawPath(curve);
    QFont f = p.font();
    f.setPixelSize(44);
    f.setBold(true);
    p.setFont(f);
    p.setPen(Qt::white);
    p.drawText(QRect(24, 18, 440, 60), Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("Tessel"));
    f.setPixelSize(15);
    f.setBold(false);
    p.setFont(f);
    p.drawText(QRect(26, 70, 440, 24), Qt::AlignLeft | Qt::AlignVCenter,
               QStringLiteral("Fluorescence measurement and evaluation  \u00b7  v3.7"));
    return pm;
}

} // namespace tessel
