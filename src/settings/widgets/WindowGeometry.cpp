#include "settings/widgets/WindowGeometry.h"

#include <QGuiApplication>
#include <QScreen>
#include <QStyle>
#include <QWidget>

namespace tessel {

namespace {
QScreen *screenOf(const QWidget *w) {
    QScreen *s = w ? w->screen() : nullptr;
    return s ? s : QGuiApplication::primaryScreen();
}
} // namespace

QString CurrentScreenRes(const QWidget *w) {
    QScreen *s = screenOf(w);
    if (!s)
        return {};
    return QString::asprintf("%dx%d", s->size().width(), s->size().height());
}

WindowValues CaptureWindow(const QWidget *w, bool isMainForm) {
    WindowValues v;
    const QRect r = w->isMaximized() || w->isMinimized() ? w->normalGeometry() : w->geometry();
    v.Left = r.left();
    v.Top = r.top();
    v.Width = r.width();
    v.Height = r.height();
    v.MainForm = isMainForm;
    v.State = w->isMinimized() ? 1 : (w->isMaximized() ? 2 : 0);
    v.ScreenRes = CurrentScreenRes(w);
    return v;
}

int ApplyWindow(QWidget *w, const WindowValues &v, bool withSize) {
    if (!v.hasGeometry())
        return v.State;
    QRect r(v.Left, v.Top, w->width(), w->height());
    if (withSize && v.hasSize())
        r.setSize(QSize(v.Width, v.Height));
    if (QScreen *s = screenOf(w)) {
        const QRect avail = s->availableGeometry();
        if (v.ScreenRes != CurrentScreenRes(w) || !avail.intersects(r)) {
            r.setWidth(qMin(r.width(), avail.width()));
            r.setHeight(qMin(r.height(), avail.height()));
            r.moveLeft(qBound(avail.left(), r.left(), avail.right() - r.width() + 1));
            r.moveTop(qBound(avail.top(), r.top(), avail.bottom() - r.height() + 1));
        }
    }
    // The stored values are the client area's (CaptureWindow reads geometry()):
    // move() would place the frame there and the window would creep down by
    // its title bar at every start.
    w->setGeometry(r);
    return v.State;
}

void PlaceOnFirstStart(QWidget *w, double share) {
    QScreen *s = screenOf(w);
    if (!s)
        return;
    const QRect avail = s->availableGeometry();
    const QSize size = (avail.size() * share).expandedTo(w->size()).boundedTo(avail.size());
    w->setGeometry(QStyle::alignedRect(Qt::LeftToRight, Qt::AlignCenter, size, avail));
}

} // namespace tessel
